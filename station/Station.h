#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <memory>

#include "device/Clock.h"
#include "device/FrameDecoder.h"
#include "device/FrameSink.h"
#include "device/MSComm.h"
#include "device/MeasurementHistory.h"
#include "textlog/LogSession.h"

namespace textlog {
class LogFile;
}

namespace station {

// What only a face can do with a frame: show it, draw it, and read the update rate it holds.
// A face without a screen keeps the defaults.
class Face {
public:
    virtual ~Face() = default;

    // Text1 in a window, the --interval of a headless run; read anew at each decision.
    virtual QString updateRateText() const = 0;
    virtual void showRegisters(const device::RegisterTexts&) {}
    // Reading the scale option may create the graph window, hidden.
    virtual device::GraphScale graphScale() { return device::GraphScale::Fixed; }
    virtual void computeScaleMappings() {}
    virtual void redrawGraph(device::GraphScale) {}
};

// One station, whichever face shows it: the port kept by MSComm1 (which tries a lost link
// again by itself), the decoder, the log file, the link's state in the words a publisher
// uses, and the order things close at the end. A face connects to MSComm1's signals only to
// show what happens; every rule about the data lives here.
class Station : public QObject, private device::FrameSink {
    Q_OBJECT
public:
    // `hooks` are the log's ways into the face: its text log window, the path shown, its
    // messages. A face without a screen leaves all but reportError empty.
    Station(device::MeasurementHistory& history, Face& face, textlog::SaveDialog& dialog,
            textlog::LogSession::Hooks hooks, const device::Clock& clock = device::Clock::system(),
            QObject* parent = nullptr);
    // As shutdown(), but telling no one: a face may be half gone by then.
    ~Station() override;

    // Keeps the port open from now on, trying it again by itself while it is not there.
    void watchPort(const QString& portName);
    // Whether a port is watched at all: open, opening or tried again. Told by
    // MSComm1.linkStateChanged, which also tells the changes linkStateNamed does not name.
    bool watchingPort() const { return MSComm1.linkState() != device::LinkState::Closed; }
    // "Save Log": asks for a file and logs into it from now on.
    void saveLog();
    // Logs from now on into a file already open.
    void logInto(std::unique_ptr<textlog::LogFile> opened);
    bool isLogging() const { return logSession_.isLogging(); }
    // The log file closed first, so that its last line is on disk whatever the port does,
    // then the port (an opening or a trying again stopped too). Once only.
    void shutdown();
    // The latest name linkStateNamed gave, or the start-up one.
    QString linkStateName() const { return linkStateName_; }

    device::MSComm MSComm1;

signals:
    // Every accepted frame with the time the link read its last byte, before it is logged; the
    // frames of a batch one by one, in order.
    void frameDecoded(const device::DeviceFrame& frame, const QDateTime& time);
    // The serial link as a publisher names it, when that name changes: "connected", "lost",
    // "trying again" or "disconnected".
    void linkStateNamed(const QString& state);

private:
    // The frame's road: the frames the port has handed over since the last time, a batch at
    // most every repaint interval, each in the decoder's order handed on with the time it came,
    // logged and added to the history; the newest shown, the graph redrawn once, and the batch's
    // lines put on the text log window in the same wake-up.
    void readPort();
    void nameLinkState();

    // FrameSink: the decoder's calls, those for the screen passed to the face.
    void showRegisters(const device::RegisterTexts& texts) override { face_.showRegisters(texts); }
    void frameAccepted(const device::DeviceFrame& frame, const QDateTime& time) override;
    QString updateRateText() const override { return face_.updateRateText(); }
    void logSample(const device::LogRecord& record) override;
    device::GraphScale graphScale() override { return face_.graphScale(); }
    void computeScaleMappings() override { face_.computeScaleMappings(); }
    void redrawGraph(device::GraphScale scale) override { face_.redrawGraph(scale); }

    device::MeasurementHistory& history_;
    Face& face_;
    const device::Clock& clock_;
    device::FrameDecoder decoder_;
    textlog::LogSession logSession_;
    QString linkStateName_;
    bool shutDown_ = false;
};

}  // namespace station
