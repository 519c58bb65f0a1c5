#pragma once

#include <QDateTime>

namespace device {

// Where the program reads the time of day. Tests substitute a clock they control.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    static const Clock& system();
};

// A clock that stands still until told otherwise.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start) : now_(std::move(start)) {}
    QDateTime now() const override { return now_; }
    void set(QDateTime t) { now_ = std::move(t); }
    void advanceMs(qint64 ms) { now_ = now_.addMSecs(ms); }

private:
    QDateTime now_;
};

// Seconds since midnight, with the fraction, in single precision as the countdown keeps it.
float secondsSinceMidnight(const QTime& t);

}  // namespace device
