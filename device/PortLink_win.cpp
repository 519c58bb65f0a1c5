#include <QMetaObject>
#include <array>

#include "PortLink.h"
#include "SerialPort_win.h"

namespace device {

bool openForReading(SerialPortWin& port) {
    return port.open();
}

PortLink::PortLink(const QString& portName, PortOpener opener, std::shared_ptr<LinkInbox> inbox,
                   const Clock& clock)
    : portName_(portName), opener_(std::move(opener)), inbox_(std::move(inbox)), clock_(clock) {}

PortLink::~PortLink() = default;

void PortLink::interrupt() {
    interrupted_ = true;
    // The port goes only with this link, on its own thread, after its thread was told to end,
    // which comes after this.
    if (port_ && port_->isOpen()) port_->cancelRead();
}

void PortLink::open() {
    port_ = std::make_unique<SerialPortWin>(portName_);
    if (!opener_(*port_)) {
        openError_ = describeOpenFailure(portName_, port_->error(), port_->errorString());
        openDone_.release();
        emit opened(openError_);
        return;
    }
    sinceLastByte_.start();
    openDone_.release();
    emit opened(QString());
    QMetaObject::invokeMethod(this, &PortLink::readOnce, Qt::QueuedConnection);
}

void PortLink::discardInput() {
    if (port_ && port_->isOpen()) port_->discardInput();
}

// One blocking read, then back to the thread's event loop, so that a discard or the end of the
// thread is taken between two reads; the next read is queued behind them.
//
// Only a failed read is a lost link. A Bluetooth or USB port that goes away fails its reads;
// a read that finds nothing is a quiet line, however often it comes. (Under Wine a line whose
// far side hung up reads exactly like a quiet one, each read taking its whole wait, so nothing
// there could tell the two apart; the countdown, going negative, is what shows it.)
void PortLink::readOnce() {
    if (interrupted_ || !port_->isOpen()) return;
    std::array<char, 4096> buffer;
    const std::int64_t count = port_->read(buffer.data(), buffer.size());
    if (interrupted_) return;
    if (count < 0) {
        lose(describeLinkLoss(port_->error(), port_->errorString()));
        return;
    }
    if (count > 0) {
        // The moment a frame's last byte is read is its time, however late it is handled.
        const ArrivalTime when{clock_.now(), clock_.steadyMs()};
        if (inbox_->arrive(QByteArray(buffer.data(), count), sinceLastByte_.restart(), when))
            emit readWaiting();
    }
    QMetaObject::invokeMethod(this, &PortLink::readOnce, Qt::QueuedConnection);
}

void PortLink::lose(const QString& reason) {
    port_->close();
    emit lost(reason);
}

}  // namespace device
