#pragma once

#include <QDateTime>
#include <QMutex>

namespace device {

// Where the program reads the time. Tests substitute a clock they control. Read from any
// thread: a link's thread stamps each frame as its last byte is read.
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
    QDateTime now() const override {
        const QMutexLocker lock(&mutex_);
        return now_;
    }
    qint64 steadyMs() const override {
        const QMutexLocker lock(&mutex_);
        return steadyMs_;
    }
    // Sets the wall clock only, as the user or daylight saving does.
    void set(QDateTime t) {
        const QMutexLocker lock(&mutex_);
        now_ = std::move(t);
    }
    // Time passes: both clocks move.
    void advanceMs(qint64 ms) {
        const QMutexLocker lock(&mutex_);
        now_ = now_.addMSecs(ms);
        steadyMs_ += ms;
    }

private:
    mutable QMutex mutex_;
    QDateTime now_;
    qint64 steadyMs_ = 0;
};

// Seconds since midnight, with the fraction, in single precision as the countdown keeps it.
float secondsSinceMidnight(const QTime& t);

}  // namespace device
