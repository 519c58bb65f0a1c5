#pragma once

#include <QByteArray>
#include <array>
#include <cstdint>
#include <optional>

namespace device {

constexpr int FrameLength = 12;

// One device frame taken apart. 16-bit registers are little-endian.
struct DeviceFrame {
    std::array<std::uint8_t, FrameLength> bytes{};
    std::int32_t limit = 0;  // raw pH limit (the target)
    std::int32_t raw7 = 0;   // calibration reading for pH 7.00
    std::int32_t raw4 = 0;   // calibration reading for pH 4.00
    std::int32_t k = 0;      // slope: byte 7 alone; byte 8 is the valve, not a high byte
    std::int32_t valve = 0;  // byte 8
    std::int32_t m = 0;      // offset
    std::int32_t raw = 0;    // probe reading
};

// Takes the first 12 bytes apart; shorter input gives nothing.
std::optional<DeviceFrame> decodeFrame(const QByteArray& input);

// pH = (raw * k + m) / 10000 in hundredths, rounded half to even, computed exactly in integers.
std::int64_t phHundredths(std::int32_t raw, std::int32_t k, std::int32_t m);

}  // namespace device
