#include "Countdown.h"

#include "NumberText.h"

namespace device {

int countdownSeconds(float lastFrameTime, float now) {
    constexpr float secondsPerDay = 86400.0f;
    float elapsed = now - lastFrameTime;
    if (elapsed < 0) elapsed += secondsPerDay;
    return countdownAfter(elapsed);
}

int countdownAfter(double elapsedSeconds) {
    return static_cast<int>(roundHalfEven(92.0 - elapsedSeconds, 0));
}

void stampLastFrame(MeasurementHistory& history, const Clock& clock, const QDateTime& now) {
    stampLastFrame(history, now, clock.steadyMs());
}

void stampLastFrame(MeasurementHistory& history, const QDateTime& time, qint64 steadyMs) {
    history.LastFrameTime = secondsSinceMidnight(time.time());
    history.LastFrameSteadyMs = steadyMs;
}

int countdownNow(const MeasurementHistory& history, const Clock& clock) {
    // Before the first frame or Connect there is nothing to measure from but midnight.
    if (history.LastFrameSteadyMs < 0) {
        return countdownSeconds(history.LastFrameTime, secondsSinceMidnight(clock.now().time()));
    }
    return countdownAfter((clock.steadyMs() - history.LastFrameSteadyMs) / 1000.0);
}

}  // namespace device
