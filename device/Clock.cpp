#include "Clock.h"

namespace device {

namespace {
class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
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
