#include "MeasurementHistory.h"

namespace device {

void MeasurementHistory::AppendSample(std::int32_t raw, const QString& timeText,
                                      std::int32_t valve, std::int32_t limit) {
    // Increasing index order: each entry is read before it is overwritten.
    for (int i = 0; i < HistoryNewest; ++i) {
        PhHistory[i] = PhHistory[i + 1];
        TimeHistory[i] = std::move(TimeHistory[i + 1]);
        ValveHistory[i] = ValveHistory[i + 1];
        LimitHistory[i] = LimitHistory[i + 1];
    }
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
