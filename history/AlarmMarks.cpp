#include "AlarmMarks.h"

#include <algorithm>

namespace history {

namespace {
// Tall enough to see on a year's view, low enough to leave the curves clear.
constexpr int MarkHeight = 5;
const QRgb MarkColour = qRgb(255, 40, 40);

alarms::AlarmSettings forTheLog(alarms::AlarmSettings s, int usualInterval) {
    s.enabled[static_cast<std::size_t>(alarms::Alarm::Silent)] = false;
    // A log written every n-th frame has its own pace; a pause is what the curves call a gap.
    s.frameGapMs = std::max<qint64>(s.frameGapMs, gapThreshold(usualInterval) * 1000);
    return s;
}
}  // namespace

AlarmMarker::AlarmMarker(alarms::AlarmSettings settings, int usualInterval)
    : engine_(forTheLog(settings, usualInterval)) {}

void AlarmMarker::feed(const std::vector<LogLine>& lines) {
    for (const LogLine& line : lines) {
        // The log counts in seconds; the engine in milliseconds.
        const auto events =
            engine_.frame(line.time * 1000, alarms::Reading{line.ph, line.target, line.valveOpen});
        for (const alarms::AlarmEvent& e : events) {
            auto& open = open_[static_cast<std::size_t>(e.alarm)];
            if (e.raised) {
                open = e.at / 1000;
            } else if (open) {
                closed_.push_back({e.alarm, {*open, e.at / 1000}});
                open.reset();
            }
        }
        lastTime_ = line.time;
    }
}

std::vector<AlarmMark> AlarmMarker::marks() const {
    std::vector<AlarmMark> all = closed_;
    for (alarms::Alarm a : alarms::AllAlarms)
        if (const auto& open = open_[static_cast<std::size_t>(a)])
            all.push_back({a, {*open, std::max(*open + 1, lastTime_)}});
    return all;
}

bool AlarmMarker::readOn(const Summary& summary, const std::atomic_bool* cancel) {
    if (summary.buckets.empty()) return true;
    constexpr qint64 Day = 86400;
    qint64 from = fedTo_ ? *fedTo_ : summary.firstTime();
    const qint64 end = summary.lastTime + 1;
    while (from < end) {
        if (cancel && *cancel) return false;
        const qint64 to = std::min(from + Day, end);
        LinesRead read = readLines(summary, from, to, std::numeric_limits<std::size_t>::max());
        std::erase_if(read.lines, [&](const LogLine& l) { return l.time < from || l.time >= to; });
        feed(read.lines);
        from = to;
        fedTo_ = to;
    }
    return true;
}

void drawAlarmMarks(QImage& image, const Layout& layout, const std::vector<AlarmMark>& marks) {
    const QRect plot = layout.plot;
    for (const AlarmMark& m : marks) {
        if (m.span.to <= layout.span.from || m.span.from >= layout.span.to) continue;
        const int left = std::max(plot.left() + 1, layout.x(m.span.from));
        // At least a pixel, so that a short alarm on a year's view still shows.
        const int right = std::min(plot.right() - 1, std::max(left, layout.x(m.span.to)));
        for (int y = plot.top(); y < plot.top() + MarkHeight && y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = std::max(0, left); x <= right && x < image.width(); ++x)
                row[x] = MarkColour;
        }
    }
}

}  // namespace history
