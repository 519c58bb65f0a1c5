#pragma once

#include <QObject>
#include <QString>
#include <functional>
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

namespace app {

// The program's work without a window or a display: the port kept open and tried again, every
// frame decoded, logged and handed on to the publisher. What a window would show in a message
// goes out as one line through `say` (standard error unless set), which a service's journal
// keeps. There is no graph to draw and no text log window to fill.
class HeadlessStation : public QObject, public device::FrameSink {
    Q_OBJECT
public:
    explicit HeadlessStation(device::MeasurementHistory& history,
                             const device::Clock& clock = device::Clock::system(),
                             QObject* parent = nullptr);
    ~HeadlessStation() override;

    void setUpdateRate(int rate) { updateRate_ = QString::number(rate); }
    void logInto(std::unique_ptr<textlog::LogFile> opened);
    // Keeps the port open from now on, trying it again by itself while it is not there.
    void watchPort(const QString& portName);
    // As "Exit": the log file closed, then the port; exited() follows.
    void exit();

    std::function<void(const QString&)> say;
    device::MSComm MSComm1;

    // FrameSink
    void showRegisters(const device::RegisterTexts&) override {}
    void frameAccepted(const device::DeviceFrame& frame, const QDateTime& time) override;
    QString updateRateText() const override { return updateRate_; }
    void logSample(const device::LogRecord& record) override;
    device::GraphScale graphScale() override { return device::GraphScale::Fixed; }
    void computeScaleMappings() override {}
    void redrawGraph(device::GraphScale) override {}

signals:
    void exited();
    void frameDecoded(const device::DeviceFrame& frame, const QDateTime& time);
    // As the main window names it: "connected", "lost", "trying again" or "disconnected".
    void linkStateNamed(const QString& state);

private:
    void sayLine(const QString& text) const;
    void linkStateChanged();

    device::MeasurementHistory& history_;
    const device::Clock& clock_;
    device::FrameDecoder decoder_;
    // Never asked: without a display nobody can answer a dialog.
    struct NoDialog final : textlog::SaveDialog {
        std::optional<QString> askFileName(QWidget*) override { return std::nullopt; }
    } noDialog_;
    textlog::LogSession logSession_;
    QString updateRate_ = QStringLiteral("1");
    QString linkStateName_;
    bool exited_ = false;
    bool outageTold_ = false;
};

}  // namespace app
