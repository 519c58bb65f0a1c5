#include "Frame.h"

namespace device {

namespace {
std::int32_t word(const std::array<std::uint8_t, FrameLength>& b, int low) {
    return b[low] + 256 * b[low + 1];
}
}  // namespace

std::optional<DeviceFrame> decodeFrame(const QByteArray& input) {
    if (input.size() < FrameLength) return std::nullopt;
    DeviceFrame f;
    for (int i = 0; i < FrameLength; ++i) f.bytes[i] = static_cast<std::uint8_t>(input[i]);
    f.limit = word(f.bytes, 0);
    f.raw7 = word(f.bytes, 2);
    f.raw4 = word(f.bytes, 4);
    f.k = f.bytes[6];
    f.valve = f.bytes[7];
    f.m = word(f.bytes, 8);
    f.raw = word(f.bytes, 10);
    return f;
}

std::int64_t phHundredths(std::int32_t raw, std::int32_t k, std::int32_t m) {
    // pH * 100 = (raw * k + m) / 100; the division's remainder decides the rounding exactly.
    const std::int64_t n = static_cast<std::int64_t>(raw) * k + m;
    std::int64_t q = n / 100;
    const std::int64_t r = n % 100;
    if (r > 50 || (r == 50 && q % 2 != 0)) ++q;
    return q;
}

}  // namespace device
