#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include "ReceiveBuffer.h"

namespace device {

// The one owner of the serial port. Receive only, 9600 8N1 without flow control, so every
// byte value 0..255 (XON and XOFF included) reaches the reader unchanged and in order.
// OnComm fires while 12 or more bytes wait; Input() hands out at most 12 of them.
class MSComm : public QObject {
    Q_OBJECT
public:
    static constexpr int ReceiveThreshold = 12;
    static constexpr int ReadLength = 12;
    // Silence on the line this long means the next byte starts a new frame: partial bytes
    // left over from a misaligned start are dropped. A frame takes 12.5 ms at 9600 baud.
    static constexpr int DefaultResyncGapMs = 500;

    explicit MSComm(QObject* parent = nullptr);
    ~MSComm() override;

    void setCommPort(const QString& portName) { portName_ = portName; }
    QString CommPort() const { return portName_; }

    bool PortOpen() const { return port_.isOpen(); }
    // Opening may fail (missing, busy, no permission); errorString() then tells why and the
    // port stays closed. Closing always succeeds.
    bool setPortOpen(bool open);
    QString errorString() const { return errorString_; }

    QByteArray Input();
    int InBufferCount() const { return buffer_.count(); }
    // Discards waiting bytes; allowed while the port is closed.
    void setInBufferCount(int count);

    void setResyncGapMs(int ms) { buffer_.setResyncGapMs(ms); }

signals:
    void OnComm();
    // The device went away while open (unplugged, Bluetooth dropped). The port is already
    // closed when this fires, so no dead descriptor keeps waking the program.
    void linkLost(const QString& reason);

private:
    void readArrived();
    void portError(QSerialPort::SerialPortError error);
    void raiseNotifications();

    QSerialPort port_;
    QString portName_;
    QString errorString_;
    ReceiveBuffer buffer_{DefaultResyncGapMs};
    QElapsedTimer sinceLastByte_;
};

// What became of a link that went away while open, in words that say what happened.
QString describeLinkLoss(QSerialPort::SerialPortError error, const QString& systemReason);

// Explains a failed open in words a user can act on.
QString describeOpenFailure(const QString& portName, QSerialPort::SerialPortError error,
                            const QString& systemReason);

}  // namespace device
