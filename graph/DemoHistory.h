#pragma once

#include "device/Clock.h"
#include "device/MeasurementHistory.h"

namespace graph {

// Fills the whole sample window with generated samples and the demo calibration, so the
// graph can be looked at without a device. The generator is seeded once per process, so every
// run shows the same demo. Mappings are left as they are.
void FillDemoHistory(device::MeasurementHistory& history, const device::Clock& clock);
void FillDemoHistory(device::MeasurementHistory& history);  // the time of day from the system

// The next number of the demo generator, uniform in [0, 1).
double demoRandom();

}  // namespace graph
