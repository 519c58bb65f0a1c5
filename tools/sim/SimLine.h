#pragma once

#include <QSerialPort>
#include <QString>
#include <memory>

#include "SimModel.h"

namespace sim {

// Where the simulated device's bytes go.
class Line {
public:
    virtual ~Line() = default;
    virtual QString portName() const = 0;
    // Blocks until someone listens. A Bluetooth link only carries data while connected, so
    // nothing piles up for a program that opens the port later.
    virtual void waitForListener() {}
    virtual bool hasListener() const { return true; }
    virtual bool write(const Bytes& bytes) = 0;
    // Waits a while for the listener to take what was sent, so that a hang-up right after
    // does not swallow the last frames.
    virtual void drain() {}
    // The link goes down: the listener sees the line hang up.
    virtual void hangUp() = 0;
};

// A pseudo-terminal of our own; the program opens its other end like a serial port.
class PtyLine final : public Line {
public:
    PtyLine();  // throws std::runtime_error when no pseudo-terminal is to be had
    ~PtyLine() override;
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    QString portName() const override { return name_; }
    void waitForListener() override;
    bool hasListener() const override;
    bool write(const Bytes& bytes) override;
    void drain() override;
    void hangUp() override;

private:
    int master_ = -1;
    QString name_;
};

// An existing port (a null-modem pair, a USB adapter), 9600 8N1 like the device.
class PortLine final : public Line {
public:
    explicit PortLine(const QString& name);
    bool open(QString* error);

    QString portName() const override { return port_.portName(); }
    bool write(const Bytes& bytes) override;
    void hangUp() override { port_.close(); }

private:
    QSerialPort port_;
};

}  // namespace sim
