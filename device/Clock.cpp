#include "Clock.h"

#include <QElapsedTimer>

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
    QDateTime now() const override { return QDateTime::currentDateTime(); }
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
