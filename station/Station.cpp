#include "Station.h"

#include "device/Countdown.h"
#include "textlog/LogFile.h"

namespace station {

Station::Station(device::MeasurementHistory& history, Face& face, textlog::SaveDialog& dialog,
                 textlog::LogSession::Hooks hooks, const device::Clock& clock, QObject* parent)
    : QObject(parent),
      history_(history),
      face_(face),
      clock_(clock),
      decoder_(history, *this, clock),
      logSession_(history, dialog, std::move(hooks)) {
    // The start-up state: no calibration heard yet, no log file, nothing waiting.
    history_.RawAtPh7 = 1;
    history_.RawAtPh4 = 0;
    history_.LogToFile = false;
    MSComm1.setClock(clock_);
    MSComm1.setInBufferCount(0);
    connect(&MSComm1, &device::MSComm::OnComm, this, &Station::readPort);
    // The countdown starts afresh when the link is back, as after Connect.
    connect(&MSComm1, &device::MSComm::linkRestored, this,
            [this] { device::stampLastFrame(history_, clock_, clock_.now()); });
    connect(&MSComm1, &device::MSComm::linkStateChanged, this, &Station::nameLinkState);
    linkStateName_ = device::linkStateName(MSComm1.linkState(), MSComm1.watch());
}

Station::~Station() {
    // Nobody is told any more: the face may be half gone by now.
    MSComm1.blockSignals(true);
    shutdown();
}

void Station::readPort() {
    if (decoder_.decodeBatch(MSComm1.takeFrames()) > 0) logSession_.showLoggedLines();
}

void Station::watchPort(const QString& portName) {
    MSComm1.setCommPort(portName);
    MSComm1.keepOpen();
}

void Station::saveLog() {
    logSession_.saveLog();
}

void Station::logInto(std::unique_ptr<textlog::LogFile> opened) {
    logSession_.logInto(std::move(opened));
}

void Station::shutdown() {
    if (shutDown_) return;
    shutDown_ = true;
    // The frames of the last batch interval go into the log before it closes.
    MSComm1.handOverWaiting();
    logSession_.close();
    if (MSComm1.linkState() != device::LinkState::Closed) MSComm1.setPortOpen(false);
}

void Station::frameAccepted(const device::DeviceFrame& frame, const QDateTime& time) {
    emit frameDecoded(frame, time);
}

void Station::logSample(const device::LogRecord& record) {
    logSession_.logSample(record);
}

void Station::nameLinkState() {
    const QString name = device::linkStateName(MSComm1.linkState(), MSComm1.watch());
    if (name == linkStateName_) return;
    linkStateName_ = name;
    emit linkStateNamed(name);
}

}  // namespace station
