#include "DemoHistory.h"

#include <cmath>
#include <random>

#include "Form3.h"
#include "device/RegionalText.h"

namespace graph {

double demoRandom() {
    // Never reseeded: the demo must look the same on every run.
    static std::mt19937_64 generator(20260508);
    // The top 53 bits scaled by 2^-53 can never reach 1.
    return static_cast<double>(generator() >> 11) * 0x1.0p-53;
}

void FillDemoHistory(device::MeasurementHistory& history, const device::Clock& clock) {
    history.RawAtPh7 = 651;
    history.RawAtPh4 = 253;
    const QString timeText = device::formatSampleTime(clock.now().time());
    for (int i = 0; i <= device::MeasurementHistory::HistoryNewest; ++i) {
        history.PhHistory[i] = static_cast<std::int32_t>(std::nearbyint(500 + 200 * demoRandom()));
        history.TimeHistory[i] = timeText;
        history.ValveHistory[i] = static_cast<std::int32_t>(std::floor(7 * demoRandom()));
        // The limit staircase covers the first 400 samples; the rest keep their old limit.
        if (i < 100)
            history.LimitHistory[i] = 500;
        else if (i < 200)
            history.LimitHistory[i] = 540;
        else if (i < 300)
            history.LimitHistory[i] = 640;
        else if (i < 400)
            history.LimitHistory[i] = 660;
    }
}

void FillDemoHistory(device::MeasurementHistory& history) {
    FillDemoHistory(history, device::Clock::system());
}

}  // namespace graph
