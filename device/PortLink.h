#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSemaphore>
#include <QSerialPort>
#include <QString>
#include <functional>
#include <memory>

#include "Clock.h"
#include "LinkInbox.h"

namespace device {

// How a link opens its port. The default opens it for reading; tests put a slow opening in
// front of it, as a Bluetooth port that pages an absent device blocks its caller for seconds.
using PortOpener = std::function<bool(QSerialPort&)>;
bool openForReading(QSerialPort& port);

// One opening of the serial port and its life until it closes, on a thread of its own, so that
// an opening that blocks for seconds never holds the window up. Everything it learns goes out
// as signals; the owner on the window's thread decides what still matters.
//
// The link never ends its thread: only the owner does, once, by quitting it, so the owner never
// posts to a thread that may be tearing its event dispatcher down. The link goes with its
// thread (deleted there as the thread finishes), and the port with it.
class PortLink : public QObject {
    Q_OBJECT
public:
    // The clock stamps each read; it must outlive the link.
    PortLink(const QString& portName, PortOpener opener, std::shared_ptr<LinkInbox> inbox,
             const Clock& clock = Clock::system());

    // The slots run on the link's thread.
    void open();
    void discardInput();

    // On the owner's thread: waits at most ms for the opening to end, and says whether it did.
    bool waitOpened(int ms) { return openDone_.tryAcquire(1, ms); }
    // Why the opening failed, empty when it worked; read only after waitOpened() said yes.
    QString openError() const { return openError_; }

signals:
    // error is empty when the port opened.
    void opened(const QString& error);
    // A whole read waits in the inbox; told again only once the owner has looked.
    void readWaiting();
    // The device went away while open; the port is already closed.
    void lost(const QString& reason);

private:
    void readArrived();
    void portError(QSerialPort::SerialPortError error);

    QString portName_;
    PortOpener opener_;
    std::shared_ptr<LinkInbox> inbox_;  // shared, as a link stuck at exit outlives its owner
    const Clock& clock_;
    QSerialPort* port_ = nullptr;  // made on the link's thread, which then owns it
    QElapsedTimer sinceLastByte_;
    int emptyReads_ = 0;  // in a row, no byte between
    QSemaphore openDone_;
    QString openError_;
};

}  // namespace device
