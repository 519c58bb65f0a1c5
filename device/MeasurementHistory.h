#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace device {

// The program-wide measurement state: the rolling sample window the graph draws, the device's
// latest calibration readings, the graph mappings and the counter that paces logging.
// One instance lives from start to exit; pass it by reference.
struct MeasurementHistory {
    static constexpr int HistorySize = 1001;  // indices 561..1000 exist but are never used
    static constexpr int HistoryNewest = 560;
    static constexpr int SampleCountLimit = 32767;

    // Raw readings are the device's unsigned 16-bit registers. They are kept in 32-bit fields
    // so a reading above 32767 keeps its true value instead of wrapping negative.
    std::array<std::int32_t, HistorySize> PhHistory{};     // raw pH reading, 0 = no sample
    std::array<QString, HistorySize> TimeHistory{};        // "HH:mm" of the sample
    std::array<std::int32_t, HistorySize> ValveHistory{};  // frame byte 8, nonzero = open
    std::array<std::int32_t, HistorySize> LimitHistory{};  // raw pH limit at the sample

    int SampleCount = 0;  // accepted frames since the last graph refresh; saturates, never wraps
    std::int32_t LimitRaw = 0;
    std::int32_t RawAtPh7 = 0;  // raw reading the device stored for pH 7.00
    std::int32_t RawAtPh4 = 0;  // raw reading the device stored for pH 4.00

    double FixedSlope = 0;  // fixed "pH 6-8" mapping: y = FixedOffset + FixedSlope * raw
    double FixedOffset = 0;
    double SelfYAtPh7 = 0;  // self-defined scale working values
    double SelfYAtPh4 = 0;
    double SelfSlope = 0;
    double SelfOffset = 0;
    double ScaleLabelValue = 0;

    float LastFrameTime = 0;        // seconds since midnight of the latest frame or Connect
    qint64 LastFrameSteadyMs = -1;  // the same moment on the steady clock; -1 before the first

    bool LogToFile = false;  // a log file is open and receives lines
    QString LogFileName;

    void AppendSample(std::int32_t raw, const QString& timeText, std::int32_t valve,
                      std::int32_t limit);

    // Counts one accepted frame without ever overflowing.
    void countFrame();

    // Recomputes the fixed mapping from the calibration readings. Equal readings would divide
    // by zero, so the previous mapping is kept and false is returned.
    bool computeFixedMapping();
};

}  // namespace device
