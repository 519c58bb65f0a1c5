#include "SimModel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sim {

namespace {
// Limits the displayed pH may stray from the calibration before the pair is refused. The
// hundredths rounding of the display adds up to 0.005 on top.
constexpr double MaxConversionError = 0.045;
constexpr double CheckedPhLow = 4.0;
constexpr double CheckedPhHigh = 10.0;

std::uint16_t clampRegister(long value) {
    return static_cast<std::uint16_t>(std::clamp<long>(value, 0, 65535));
}
}  // namespace

double phFromRaw(double raw, const Calibration& cal) {
    return 7.0 + 3.0 * (raw - cal.raw7) / (cal.raw7 - cal.raw4);
}

int rawFromPh(double ph, const Calibration& cal) {
    return static_cast<int>(std::lround(cal.raw7 + (ph - 7.0) * (cal.raw7 - cal.raw4) / 3.0));
}

double displayedPh(int raw, const Conversion& conv) {
    return (static_cast<double>(raw) * conv.k + conv.m) / 10000.0;
}

std::optional<Conversion> chooseConversion(const Calibration& cal) {
    const int span = cal.raw7 - cal.raw4;
    if (span <= 0) return std::nullopt;
    // Exact at pH 7, where the tank spends its time; the rounding of k tilts the line a little
    // away from it.
    Conversion conv;
    conv.k = static_cast<int>(std::lround(30000.0 / span));
    conv.m = 70000 - cal.raw7 * conv.k;
    if (conv.k < 1 || conv.k > 255 || conv.m < 0 || conv.m > 65535) return std::nullopt;
    for (const double ph : {CheckedPhLow, CheckedPhHigh}) {
        const double raw = cal.raw7 + (ph - 7.0) * span / 3.0;
        const double shown = (raw * conv.k + conv.m) / 10000.0;
        if (std::abs(shown - ph) > MaxConversionError) return std::nullopt;
    }
    return conv;
}

Frame encodeFrame(const FrameFields& f) {
    const auto lo = [](std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); };
    const auto hi = [](std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); };
    return Frame{lo(f.limit), hi(f.limit), lo(f.raw7), hi(f.raw7), lo(f.raw4), hi(f.raw4),
                 f.k,         f.valve,     lo(f.m),    hi(f.m),    lo(f.raw),  hi(f.raw)};
}

std::string toHex(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    char cell[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(cell, sizeof cell, "%02X", bytes[i]);
        if (i > 0) text += ' ';
        text += cell;
    }
    return text;
}

// The standard distributions may differ between libraries; these do not.
double Random::uniform() {
    return static_cast<double>(engine_() >> 11) * 0x1.0p-53;
}
std::uint8_t Random::byte() {
    return static_cast<std::uint8_t>(engine_() >> 56);
}

Tank::Tank(const TankSettings& settings, const Conversion& conversion, Random& random)
    : settings_(settings),
      conversion_(conversion),
      random_(random),
      ph_(settings.startPh),
      limitRaw_(clampRegister(rawFromPh(settings.limitPh, settings.calibration))) {}

void Tank::step() {
    if (ph_ > settings_.limitPh + settings_.hysteresis) valveOpen_ = true;
    if (ph_ < settings_.limitPh - settings_.hysteresis) valveOpen_ = false;
    const double co2 = valveOpen_ ? settings_.co2Step : 0.0;
    ph_ += settings_.degasRate * (settings_.restPh - ph_) - co2;
}

FrameFields Tank::read() {
    const double noise = (random_.uniform() * 2.0 - 1.0) * settings_.probeNoisePh;
    FrameFields f;
    f.limit = static_cast<std::uint16_t>(limitRaw_);
    f.raw7 = clampRegister(settings_.calibration.raw7);
    f.raw4 = clampRegister(settings_.calibration.raw4);
    f.k = static_cast<std::uint8_t>(conversion_.k);
    f.valve = valveOpen_ ? 1 : 0;
    f.m = clampRegister(conversion_.m);
    f.raw = clampRegister(rawFromPh(ph_ + noise, settings_.calibration));
    return f;
}

const char* kindName(Chunk::Kind kind) {
    switch (kind) {
        case Chunk::Kind::Frame:
            return "frame";
        case Chunk::Kind::Partial:
            return "partial";
        case Chunk::Kind::Garbage:
            return "garbage";
        case Chunk::Kind::Misaligned:
            return "misaligned";
    }
    return "?";
}

FrameStream::FrameStream(const TankSettings& settings, const Conversion& conversion,
                         const Faults& faults, std::uint64_t seed)
    : faults_(faults), random_(seed), tank_(settings, conversion, random_) {}

std::vector<Chunk> FrameStream::next() {
    std::vector<Chunk> out;
    if (linkDropped()) return out;
    const int number = frames_ + 1;
    if (number == faults_.garbageAt) {
        Bytes garbage(static_cast<std::size_t>(std::max(faults_.garbageLength, 0)));
        for (auto& b : garbage) b = random_.byte();
        out.push_back({Chunk::Kind::Garbage, std::move(garbage)});
    }
    const Frame frame = encodeFrame(tank_.read());
    tank_.step();
    const auto cut = [](int n) { return static_cast<std::size_t>(std::clamp(n, 0, FrameLength)); };
    if (number == 1 && faults_.misalignBytes > 0) {
        out.push_back({Chunk::Kind::Misaligned,
                       Bytes(frame.begin() + cut(faults_.misalignBytes), frame.end())});
    } else if (number == faults_.partialAt) {
        out.push_back({Chunk::Kind::Partial,
                       Bytes(frame.begin(), frame.begin() + cut(faults_.partialLength))});
    } else {
        out.push_back({Chunk::Kind::Frame, Bytes(frame.begin(), frame.end())});
    }
    ++frames_;
    return out;
}

}  // namespace sim
