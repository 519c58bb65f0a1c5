#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSemaphore>
#include <QString>
#include <functional>
#include <memory>
#ifdef Q_OS_WIN
#include <atomic>
#else
#include <QSerialPort>
#endif
#ifdef Q_OS_LINUX
#include "EdgeReader.h"
#endif

#include "Clock.h"
#include "LinkInbox.h"

namespace device {

// The port a link reads: QSerialPort, or on Windows the COM port through the Win32
// communications API (SerialPort_win.h), as Qt's serial port module is not built there.
#ifdef Q_OS_WIN
class SerialPortWin;
using SerialPort = SerialPortWin;
#else
using SerialPort = QSerialPort;
#endif

// How a link opens its port. The default opens it for reading; tests put a slow opening in
// front of it, as a Bluetooth port that pages an absent device blocks its caller for seconds.
using PortOpener = std::function<bool(SerialPort&)>;
bool openForReading(SerialPort& port);

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
    ~PortLink() override;

    // The slots run on the link's thread.
    void open();
    void discardInput();

    // On the owner's thread: waits at most ms for the opening to end, and says whether it did.
    bool waitOpened(int ms) { return openDone_.tryAcquire(1, ms); }
    // Why the opening failed, empty when it worked; read only after waitOpened() said yes.
    QString openError() const { return openError_; }
    // From the owner's thread, just before it ends the link's thread: a read that blocks the
    // link's thread returns now rather than at its timeout. Nothing where reads never block.
    void interrupt();

signals:
    // error is empty when the port opened.
    void opened(const QString& error);
    // A whole read waits in the inbox; told again only once the owner has looked.
    void readWaiting();
    // The device went away while open; the port is already closed.
    void lost(const QString& reason);

private:
#ifdef Q_OS_WIN
    void readOnce();
    void lose(const QString& reason);
#else
    void readArrived();
    void portError(QSerialPort::SerialPortError error);
    void take(const QByteArray& fresh);
    void readNothing();
    void lose(QSerialPort::SerialPortError error, const QString& systemReason);
#endif

    QString portName_;
    PortOpener opener_;
    std::shared_ptr<LinkInbox> inbox_;  // shared, as a link stuck at exit outlives its owner
    const Clock& clock_;
#ifdef Q_OS_WIN
    std::unique_ptr<SerialPortWin> port_;  // made on the link's thread, which then owns it
    std::atomic<bool> interrupted_ = false;
#else
    QSerialPort* port_ = nullptr;  // made on the link's thread, which then owns it
    int emptyReads_ = 0;           // in a row, no byte between
#endif
#ifdef Q_OS_LINUX
    std::unique_ptr<EdgeReader> edges_;  // reads the port where the system allows it
#endif
    QElapsedTimer sinceLastByte_;
    QSemaphore openDone_;
    QString openError_;
};

#ifndef Q_OS_WIN
// What became of a link that went away while open, in words that say what happened.
QString describeLinkLoss(QSerialPort::SerialPortError error, const QString& systemReason);

// Explains a failed open in words a user can act on.
QString describeOpenFailure(const QString& portName, QSerialPort::SerialPortError error,
                            const QString& systemReason);
#endif

}  // namespace device
