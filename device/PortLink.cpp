#include "PortLink.h"

#include "MSComm.h"

namespace device {

bool openForReading(QSerialPort& port) {
    return port.open(QIODevice::ReadOnly);
}

PortLink::PortLink(const QString& portName, PortOpener opener, std::shared_ptr<LinkInbox> inbox)
    : portName_(portName), opener_(std::move(opener)), inbox_(std::move(inbox)) {}

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
    connect(port_, &QSerialPort::readyRead, this, &PortLink::readArrived);
    connect(port_, &QSerialPort::errorOccurred, this, &PortLink::portError);
    sinceLastByte_.start();
    openDone_.release();
    emit opened(QString());
}

void PortLink::discardInput() {
    if (port_ && port_->isOpen()) port_->clear(QSerialPort::Input);
}

void PortLink::readArrived() {
    const QByteArray fresh = port_->readAll();
    if (fresh.isEmpty()) return;
    if (inbox_->arrive(fresh, sinceLastByte_.restart())) emit readWaiting();
}

void PortLink::portError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError) return;
    if (!port_->isOpen()) return;  // late errors of a closed port mean nothing
    // Every other error on an open receive-only port means the link is gone; keeping the
    // descriptor would only make it fire again and again.
    const QString reason = describeLinkLoss(error, port_->errorString());
    port_->close();
    emit lost(reason);
}

}  // namespace device
