#include "MSComm.h"

#include <QFileInfo>

namespace device {

MSComm::MSComm(QObject* parent) : QObject(parent) {
    connect(&port_, &QSerialPort::readyRead, this, &MSComm::readArrived);
    connect(&port_, &QSerialPort::errorOccurred, this, &MSComm::portError);
}

MSComm::~MSComm() {
    setPortOpen(false);
}

bool MSComm::setPortOpen(bool open) {
    if (!open) {
        if (port_.isOpen()) port_.close();
        return true;
    }
    if (port_.isOpen()) return true;
    port_.setPortName(portName_);
    port_.setBaudRate(QSerialPort::Baud9600);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    if (!port_.open(QIODevice::ReadOnly)) {
        errorString_ = describeOpenFailure(portName_, port_.error(), port_.errorString());
        port_.clearError();
        return false;
    }
    errorString_.clear();
    // Bytes left over from an earlier link (dropped mid-frame) would be glued to the new
    // link's first frame.
    buffer_.clear();
    sinceLastByte_.start();
    return true;
}

QByteArray MSComm::Input() {
    return buffer_.take(ReadLength);
}

void MSComm::setInBufferCount(int count) {
    if (count == 0) {
        buffer_.clear();
        if (port_.isOpen()) port_.clear(QSerialPort::Input);
    }
}

void MSComm::readArrived() {
    const QByteArray fresh = port_.readAll();
    if (fresh.isEmpty()) return;
    buffer_.arrive(fresh, sinceLastByte_.restart());
    raiseNotifications();
}

void MSComm::raiseNotifications() {
    // Several frames may arrive in one read; notify until fewer than a frame waits, but stop
    // if the reader leaves the buffer as it was.
    while (buffer_.count() >= ReceiveThreshold && port_.isOpen()) {
        const int before = buffer_.count();
        emit OnComm();
        if (buffer_.count() == before) break;
    }
}

void MSComm::portError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError) return;
    if (!port_.isOpen()) return;  // late errors of a closed port mean nothing
    // Every other error on an open receive-only port means the link is gone; keeping the
    // descriptor would only make it fire again and again.
    const QString reason = describeLinkLoss(error, port_.errorString());
    port_.clearError();
    port_.close();
    emit linkLost(reason);
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
