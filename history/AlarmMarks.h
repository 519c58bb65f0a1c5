#pragma once

#include <QImage>
#include <atomic>
#include <optional>
#include <vector>

#include "HistoryDrawing.h"
#include "Summary.h"
#include "alarms/AlarmEngine.h"

// The alarms of the past, read back from the log with the rules of the running program: the
// same engine over the logged lines. A log cannot tell a silent regulator from a program
// that was not running, so the silent alarm is not marked; its pause shows as a break in the
// curves already.
namespace history {

// What the window shows of the alarms, as the command line set them.
struct AlarmView {
    alarms::AlarmSettings settings;
    std::optional<double> kh;  // the water's KH: the header then shows the CO2
};

// A stretch in which an alarm was raised: from its raise to its clear (or the last line).
struct AlarmMark {
    alarms::Alarm alarm = alarms::Alarm::Low;
    Span span;
    bool operator==(const AlarmMark&) const = default;
};

// Feeds lines in file order, however many at a time, to one engine; a log that grows is read
// on where it stopped.
class AlarmMarker {
public:
    explicit AlarmMarker(alarms::AlarmSettings settings, int usualInterval = 1);

    void feed(const std::vector<LogLine>& lines);
    // The marks so far; one still raised runs to the last line fed.
    std::vector<AlarmMark> marks() const;
    qint64 lastTime() const { return lastTime_; }

    // The lines of the summary after those fed already, read a day at a time.
    bool readOn(const Summary& summary, const std::atomic_bool* cancel = nullptr);

private:
    alarms::AlarmEngine engine_;
    std::vector<AlarmMark> closed_;
    std::array<std::optional<qint64>, alarms::AlarmCount> open_{};
    std::optional<qint64> fedTo_;  // lines up to this time are in
    qint64 lastTime_ = 0;
};

// A band along the top of the plot for each mark, in the red of an alarm.
void drawAlarmMarks(QImage& image, const Layout& layout, const std::vector<AlarmMark>& marks);

}  // namespace history
