#pragma once

#include <QDateTime>

#include "Clock.h"
#include "MeasurementHistory.h"

// The countdown beside the measured pH: 92 seconds from the last frame, negative once the
// device has gone quiet.
namespace device {

// Seconds left of the 92-second frame countdown, rounded half to even, from two times of day.
// A frame seen shortly before midnight still counts down normally after midnight.
int countdownSeconds(float lastFrameTime, float now);
// The same from the seconds that have passed since the last frame.
int countdownAfter(double elapsedSeconds);

// Marks the latest frame or Connect: LastFrameTime as the wall clock's time of day, and the
// same moment on the steady clock, from which the countdown measures.
void stampLastFrame(MeasurementHistory& history, const Clock& clock, const QDateTime& now);
// The same for a frame stamped when it arrived, on the wall clock and on the steady clock.
void stampLastFrame(MeasurementHistory& history, const QDateTime& time, qint64 steadyMs);

// What the countdown shows at this moment. A step of the wall clock (setting the time,
// daylight saving, midnight) does not disturb the seconds since the last frame.
int countdownNow(const MeasurementHistory& history, const Clock& clock);

}  // namespace device
