#include "PortLink.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace device {

namespace {
// Whether the line is really gone after a read found nothing. A terminal that was hung up says
// so to poll(); a live one whose read came before its bytes does not.
bool hungUp(const QSerialPort& port) {
#ifdef Q_OS_UNIX
    pollfd line{port.handle(), POLLIN, 0};
    if (::poll(&line, 1, 0) < 0) return true;
    return (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    Q_UNUSED(port);
    return true;
#endif
}

// A hung-up line fires back to back; a live one finds nothing only now and then.
constexpr int EmptyReadsOfAHungUpLine = 3;
}  // namespace

bool openForReading(QSerialPort& port) {
    return port.open(QIODevice::ReadOnly);
}

PortLink::PortLink(const QString& portName, PortOpener opener, std::shared_ptr<LinkInbox> inbox,
                   const Clock& clock)
    : portName_(portName), opener_(std::move(opener)), inbox_(std::move(inbox)), clock_(clock) {}

PortLink::~PortLink() = default;

// QSerialPort's reads come as notifications on the link's event loop and never block it.
void PortLink::interrupt() {}

void PortLink::open() {
    // Made here, not in the constructor, so that the port and its notifiers belong to this
    // thread from the start.
    port_ = new QSerialPort(this);
    port_->setPortName(portName_);
    port_->setBaudRate(QSerialPort::Baud9600);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::NoFlowControl);
    if (!opener_(*port_)) {
        openError_ = describeOpenFailure(portName_, port_->error(), port_->errorString());
        openDone_.release();
        emit opened(openError_);
        return;
    }
#ifdef Q_OS_LINUX
    edges_ = EdgeReader::watch(*port_);
    if (edges_)
        connect(edges_.get(), &EdgeReader::readable, this, &PortLink::readArrived);
    else
#endif
        connect(port_, &QSerialPort::readyRead, this, &PortLink::readArrived);
    connect(port_, &QSerialPort::errorOccurred, this, &PortLink::portError);
    sinceLastByte_.start();
    openDone_.release();
    emit opened(QString());
}

void PortLink::discardInput() {
    if (!port_ || !port_->isOpen()) return;
    port_->clear(QSerialPort::Input);
#ifdef Q_OS_LINUX
    if (edges_) edges_->keepPortQuiet();
#endif
}

void PortLink::readArrived() {
#ifdef Q_OS_LINUX
    if (edges_) {
        const EdgeReader::Read read = edges_->readAll();
        if (read.error != 0) {
            lose(QSerialPort::ReadError, qt_error_string(read.error));
        } else if (read.bytes.isEmpty()) {
            readNothing();
        } else {
            take(read.bytes);
        }
        return;
    }
#endif
    const QByteArray fresh = port_->readAll();
    if (!fresh.isEmpty()) take(fresh);
}

void PortLink::take(const QByteArray& fresh) {
    emptyReads_ = 0;
    // The moment a frame's last byte is read is its time, however late it is handled.
    const ArrivalTime when{clock_.now(), clock_.steadyMs()};
    if (inbox_->arrive(fresh, sinceLastByte_.restart(), when)) emit readWaiting();
}

void PortLink::portError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError) return;
    if (!port_->isOpen()) return;  // late errors of a closed port mean nothing
    if (error == QSerialPort::ReadError) {
        readNothing();
        return;
    }
    lose(error, port_->errorString());
}

// A terminal set to return at once reads nothing when it woke its reader a moment before its
// bytes were there (seen on pseudo-terminals, right after an opening and when bytes come a few
// at a time); Qt calls that a read error and reads on. It is no loss.
void PortLink::readNothing() {
    if (++emptyReads_ < EmptyReadsOfAHungUpLine && !hungUp(*port_)) return;
    lose(QSerialPort::ReadError, port_->errorString());
}

// Every other error on an open receive-only port means the link is gone; keeping the
// descriptor would only make it fire again and again.
void PortLink::lose(QSerialPort::SerialPortError error, const QString& systemReason) {
    const QString reason = describeLinkLoss(error, systemReason);
#ifdef Q_OS_LINUX
    edges_.reset();
#endif
    port_->close();
    emit lost(reason);
}

QString describeLinkLoss(QSerialPort::SerialPortError error, const QString& systemReason) {
    // A hang-up shows as a read that returns nothing; the error text beside it is whatever an
    // earlier call left behind ("Resource temporarily unavailable"), so it is not repeated.
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
        return QStringLiteral("the device or the system closed the connection (hung up)");
    return systemReason;
}

QString describeOpenFailure(const QString& portName, QSerialPort::SerialPortError error,
                            const QString& systemReason) {
    QString text = QStringLiteral("Cannot open %1: %2").arg(portName, systemReason);
    if (error == QSerialPort::PermissionError) {
#ifdef Q_OS_UNIX
        const QFileInfo info(portName);
        const QString group = info.exists() ? info.group() : QString();
        text += QStringLiteral(
                    "\n\nAccess was denied. Add your user to the group that owns the port "
                    "(%1), for example with \"sudo usermod -aG %1 $USER\", then log out and in "
                    "again.")
                    .arg(group.isEmpty() ? QStringLiteral("dialout") : group);
#else
        text += QStringLiteral("\n\nThe port may be in use by another program.");
#endif
    } else if (error == QSerialPort::DeviceNotFoundError) {
        text += QStringLiteral("\n\nCheck that the device is paired and switched on.");
    }
    return text;
}

}  // namespace device
