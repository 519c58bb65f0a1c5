#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <array>

#include "Frame.h"

namespace device {

// The texts a frame puts on the main window's register panel and pH displays.
struct RegisterTexts {
    std::array<QString, FrameLength> hex;  // bytes 1..12 at indices 0..11
    QString limit, raw7, raw4, k, m, raw;  // bracketed 16-bit values
    QString measuredPh;                    // Label56
    QString targetPh;                      // Label7
};

// Everything one logged frame writes to the file and to the text log window.
struct LogRecord {
    QDate date;
    QTime time;
    QString measuredPh;
    QString targetPh;
    QString valveHex;
    std::int32_t raw = 0, limit = 0, raw7 = 0, raw4 = 0, k = 0, m = 0;
};

enum class GraphScale { Fixed, SelfDefined };

// The windows a decoded frame reaches. The decoder only calls these; the main window
// plugs its labels, the text log and the graph in.
class FrameSink {
public:
    virtual ~FrameSink() = default;

    virtual void showRegisters(const RegisterTexts& texts) = 0;
    // Every accepted frame with the time it was stamped, for sinks that want the values
    // themselves (a publisher) rather than their texts.
    virtual void frameAccepted(const DeviceFrame& /*frame*/, const QDateTime& /*time*/) {}
    // Text1, read anew at each decision.
    virtual QString updateRateText() const = 0;
    // Called only while a log file is open.
    virtual void logSample(const LogRecord& record) = 0;
    // Reading the scale option may create the graph window, hidden.
    virtual GraphScale graphScale() = 0;
    virtual void computeScaleMappings() = 0;
    virtual void redrawGraph(GraphScale scale) = 0;
};

}  // namespace device
