#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace sim {

constexpr int FrameLength = 12;
using Frame = std::array<std::uint8_t, FrameLength>;
using Bytes = std::vector<std::uint8_t>;

// The raw probe readings the device stored for pH 7.00 and pH 4.00.
struct Calibration {
    int raw7 = 820;
    int raw4 = 420;
};

// The device's own conversion: displayed pH = (raw * k + m) / 10000.
struct Conversion {
    int k = 0;  // one byte
    int m = 0;  // 16 bits
};

// pH from a raw reading through the two calibration points, and back.
double phFromRaw(double raw, const Calibration& cal);
int rawFromPh(double ph, const Calibration& cal);
double displayedPh(int raw, const Conversion& conv);

// The k and m a device with this calibration would send. They must fit one byte and 16 bits,
// so the reading has to rise with the pH and the calibration span must not be so wide that k
// rounds to nothing; otherwise there is no such pair.
std::optional<Conversion> chooseConversion(const Calibration& cal);

// The registers one frame carries, in the device's units.
struct FrameFields {
    std::uint16_t limit = 0;
    std::uint16_t raw7 = 0;
    std::uint16_t raw4 = 0;
    std::uint8_t k = 0;
    std::uint8_t valve = 0;  // 0 closed, anything else open
    std::uint16_t m = 0;
    std::uint16_t raw = 0;
};

// Lays the registers out as the device sends them, 16-bit values low byte first.
Frame encodeFrame(const FrameFields& fields);

std::string toHex(const std::uint8_t* bytes, std::size_t count);  // "2C 03 8B"

// A generator whose numbers depend only on the seed, wherever the program is built.
class Random {
public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    double uniform();  // [0, 1)
    std::uint8_t byte();

private:
    std::mt19937_64 engine_;
};

// How the simulated tank behaves. Rates are per frame period, so a fast frame period shows
// a day's regulation in a minute.
struct TankSettings {
    Calibration calibration;
    double limitPh = 6.8;
    double hysteresis = 0.05;  // the valve opens above limit + this and closes below limit - this
    double startPh = 7.4;
    double co2Step = 0.015;       // pH drop per period while the valve is open
    double degasRate = 0.01;      // share of the distance to restPh regained per period
    double restPh = 7.8;          // where the water settles without CO2
    double probeNoisePh = 0.004;  // jitter of the reading, not of the water
};

class Tank {
public:
    Tank(const TankSettings& settings, const Conversion& conversion, Random& random);

    // One frame period: the valve decides on the current pH, then CO2 and degassing act.
    void step();

    double ph() const { return ph_; }
    bool valveOpen() const { return valveOpen_; }
    int limitRaw() const { return limitRaw_; }
    // The registers as the device would report them now, the reading with probe noise.
    FrameFields read();

private:
    TankSettings settings_;
    Conversion conversion_;
    Random& random_;
    double ph_;
    bool valveOpen_ = false;
    int limitRaw_;
};

// Faults to inject into the byte stream. Frame numbers count from 1; 0 means never.
struct Faults {
    int partialAt = 0;      // this frame is cut short
    int partialLength = 7;  // bytes of it that go out
    int garbageAt = 0;      // random bytes go out just before this frame
    int garbageLength = 5;
    int misalignBytes = 0;  // the first frame loses this many leading bytes
    int dropAfter = 0;      // the link goes down once this many frames went out
};

// A piece of the byte stream and what it is.
struct Chunk {
    enum class Kind { Frame, Partial, Garbage, Misaligned };
    Kind kind;
    Bytes bytes;
};

const char* kindName(Chunk::Kind kind);

// The bytes the device sends, one frame period at a time, with the faults worked in.
class FrameStream {
public:
    FrameStream(const TankSettings& settings, const Conversion& conversion, const Faults& faults,
                std::uint64_t seed);
    // The tank keeps a reference to the generator beside it.
    FrameStream(const FrameStream&) = delete;
    FrameStream& operator=(const FrameStream&) = delete;

    // What goes out in the next frame period, in order.
    std::vector<Chunk> next();

    int framesSent() const { return frames_; }
    // True once the link should go down.
    bool linkDropped() const { return faults_.dropAfter > 0 && frames_ >= faults_.dropAfter; }
    const Tank& tank() const { return tank_; }

private:
    Faults faults_;
    Random random_;
    Tank tank_;
    int frames_ = 0;
};

}  // namespace sim
