#include "Clock.h"

#include <QElapsedTimer>
#include <limits>

#if defined(Q_OS_LINUX)
#include <time.h>
#elif defined(Q_OS_WIN)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace device {

namespace {
class SystemClock final : public Clock {
public:
    // The local time, from the zone's offset to UTC. Working out that offset checks the zone
    // file on every call, at least once a frame at the line's rate, so it is kept for a second
    // at a time, and only when the offset at the end of that second is the same: a change of
    // season is never crossed, and a change of zone shows within the second. Each thread keeps
    // its own, as the link's threads read the clock too.
    QDateTime now() const override {
        thread_local qint64 offsetFromMs = std::numeric_limits<qint64>::min();
        thread_local int offsetSeconds = 0;
        const qint64 utcMs = QDateTime::currentMSecsSinceEpoch();
        if (utcMs < offsetFromMs || utcMs >= offsetFromMs + OffsetKeptMs) {
            offsetSeconds = offsetAt(utcMs);
            offsetFromMs = offsetAt(utcMs + OffsetKeptMs) == offsetSeconds
                               ? utcMs
                               : std::numeric_limits<qint64>::min();
            if (offsetFromMs != utcMs) return QDateTime::fromMSecsSinceEpoch(utcMs);
        }
        return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::OffsetFromUTC, offsetSeconds);
    }
    // A clock that keeps counting while the computer sleeps: a device silent through a night
    // of standby has been silent all that time.
    qint64 steadyMs() const override {
#if defined(Q_OS_LINUX)
        timespec t{};
        clock_gettime(CLOCK_BOOTTIME, &t);
        return static_cast<qint64>(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
#elif defined(Q_OS_WIN)
        return static_cast<qint64>(GetTickCount64());
#else
        return QElapsedTimer::msecsSinceReference();
#endif
    }

private:
    static constexpr qint64 OffsetKeptMs = 1000;
    static int offsetAt(qint64 utcMs) {
        return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::LocalTime).offsetFromUtc();
    }
};
}  // namespace

const Clock& Clock::system() {
    static const SystemClock clock;
    return clock;
}

float secondsSinceMidnight(const QTime& t) {
    return static_cast<float>(t.msecsSinceStartOfDay() / 1000.0);
}

}  // namespace device
