#pragma once

#include <QDateTime>

namespace device {

// Where the program reads the time. Tests substitute a clock they control.
class Clock {
public:
    virtual ~Clock() = default;
    // The wall clock: date and time of day, which the user or daylight saving may set.
    virtual QDateTime now() const = 0;
    // Milliseconds from an arbitrary start on a clock that only moves forward with real time,
    // whatever happens to the wall clock.
    virtual qint64 steadyMs() const = 0;

    static const Clock& system();
};

// A clock that stands still until told otherwise.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start) : now_(std::move(start)) {}
    QDateTime now() const override { return now_; }
    qint64 steadyMs() const override { return steadyMs_; }
    // Sets the wall clock only, as the user or daylight saving does.
    void set(QDateTime t) { now_ = std::move(t); }
    // Time passes: both clocks move.
    void advanceMs(qint64 ms) {
        now_ = now_.addMSecs(ms);
        steadyMs_ += ms;
    }

private:
    QDateTime now_;
    qint64 steadyMs_ = 0;
};

// Seconds since midnight, with the fraction, in single precision as the countdown keeps it.
float secondsSinceMidnight(const QTime& t);

}  // namespace device
