#include "MeasurementHistory.h"

#include <algorithm>

namespace device {

void MeasurementHistory::AppendSample(std::int32_t raw, const QString& timeText, std::int32_t valve,
                                      std::int32_t limit) {
    // Forward order: each entry is read before it is overwritten; entry 0 drops out.
    const auto shift = [](auto& entries) {
        std::move(entries.begin() + 1, entries.begin() + HistoryNewest + 1, entries.begin());
    };
    shift(PhHistory);
    shift(TimeHistory);
    shift(ValveHistory);
    shift(LimitHistory);
    PhHistory[HistoryNewest] = raw;
    TimeHistory[HistoryNewest] = timeText;
    ValveHistory[HistoryNewest] = valve;
    LimitHistory[HistoryNewest] = limit;
}

void MeasurementHistory::countFrame() {
    if (SampleCount < SampleCountLimit) ++SampleCount;
}

bool MeasurementHistory::computeFixedMapping() {
    const double span = static_cast<double>(RawAtPh7) - RawAtPh4;
    if (span == 0) return false;
    FixedSlope = -450.0 / span;
    FixedOffset = 200.0 - RawAtPh7 * FixedSlope;
    return true;
}

}  // namespace device
