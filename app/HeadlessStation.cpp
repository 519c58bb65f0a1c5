#include "HeadlessStation.h"

#include <cstdio>

#include "device/Countdown.h"
#include "textlog/LogFile.h"

namespace app {

HeadlessStation::HeadlessStation(device::MeasurementHistory& history, const device::Clock& clock,
                                 QObject* parent)
    : QObject(parent),
      history_(history),
      clock_(clock),
      decoder_(history, *this, clock),
      logSession_(
          history, noDialog_,
          textlog::LogSession::Hooks{
              .textLogWindow = nullptr,
              .showTextLogWindow = nullptr,
              .showLogPath = nullptr,
              .reportError = [this](textlog::LogFailure, const QString& text) { sayLine(text); },
              .dialogParent = nullptr}) {
    history_.RawAtPh7 = 1;
    history_.RawAtPh4 = 0;
    history_.LogToFile = false;
    MSComm1.setClock(clock_);
    connect(&MSComm1, &device::MSComm::OnComm, this, [this] { decoder_.decode(MSComm1.Input()); });
    connect(&MSComm1, &device::MSComm::linkLost, this, [this](const QString& reason) {
        // Once an outage (or a wait for a port not there yet), never once per try: a service's
        // journal would fill with a line every 30 s for as long as the device is away.
        sayLine(QStringLiteral("%1: %2 Trying again by itself.").arg(MSComm1.CommPort(), reason));
        outageTold_ = true;
    });
    connect(&MSComm1, &device::MSComm::linkRestored, this, [this] {
        device::stampLastFrame(history_, clock_, clock_.now());
        sayLine(outageTold_ ? QStringLiteral("%1 is back.").arg(MSComm1.CommPort())
                            : QStringLiteral("Listening to %1.").arg(MSComm1.CommPort()));
        outageTold_ = false;
    });
    connect(&MSComm1, &device::MSComm::linkStateChanged, this, &HeadlessStation::linkStateChanged);
    linkStateName_ = device::linkStateName(MSComm1.linkState(), MSComm1.watch());
}

HeadlessStation::~HeadlessStation() {
    exit();
}

void HeadlessStation::sayLine(const QString& text) const {
    if (say) {
        say(text);
        return;
    }
    std::fputs(qPrintable(QStringLiteral("vellicor: ") + text + u'\n'), stderr);
    std::fflush(stderr);
}

void HeadlessStation::logInto(std::unique_ptr<textlog::LogFile> opened) {
    logSession_.logInto(std::move(opened));
}

void HeadlessStation::watchPort(const QString& portName) {
    MSComm1.setCommPort(portName);
    MSComm1.keepOpen();
}

void HeadlessStation::exit() {
    if (exited_) return;
    exited_ = true;
    logSession_.close();
    if (MSComm1.linkState() != device::LinkState::Closed) MSComm1.setPortOpen(false);
    emit exited();
}

void HeadlessStation::frameAccepted(const device::DeviceFrame& frame, const QDateTime& time) {
    emit frameDecoded(frame, time);
}

void HeadlessStation::logSample(const device::LogRecord& record) {
    logSession_.logSample(record);
}

void HeadlessStation::linkStateChanged() {
    const QString name = device::linkStateName(MSComm1.linkState(), MSComm1.watch());
    if (name == linkStateName_) return;
    linkStateName_ = name;
    emit linkStateNamed(name);
}

}  // namespace app
