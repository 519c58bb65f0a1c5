#include "MeasurementHistory.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace device {

void MeasurementHistory::AppendSample(std::int32_t raw, const QString& timeText, std::int32_t valve,
                                      std::int32_t limit) {
    // Forward order: each entry is read before it is overwritten; entry 0 drops out.
    const auto shift = [](auto& entries) {
        std::move(entries.begin() + 1, entries.begin() + HistoryNewest + 1, entries.begin());
    };
    shift(PhHistory);
    // 560 string moves one by one cost more than the rest of a frame's decoding. A QString
    // may change address as plain bytes (Qt moves them so in its own containers), so entry 0
    // lets go of its text and the others slide down in one copy; the newest slot, whose bytes
    // now also sit one slot lower, starts over as an empty string.
    static_assert(QTypeInfo<QString>::isRelocatable);
    TimeHistory[0].~QString();
    std::memmove(static_cast<void*>(TimeHistory.data()), TimeHistory.data() + 1,
                 HistoryNewest * sizeof(QString));
    new (&TimeHistory[HistoryNewest]) QString();
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
