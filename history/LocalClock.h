#pragma once

#include <QByteArray>
#include <QTimeZone>
#include <QtGlobal>
#include <array>
#include <optional>

// A log shows wall-clock times, which jump twice a year. The history places each line at its
// real moment (seconds since 1970, UTC) in the time zone of the computer that shows it (TZ
// where set): the hour a clock change repeats is drawn twice, one pass after the other, and
// the hour it skips leaves no pause.
namespace history {

class LocalClock {
public:
    // The computer's own zone.
    LocalClock();
    explicit LocalClock(QTimeZone zone);

    // What the zone is called: a summary made in another zone is made again.
    QByteArray zoneId() const { return zone_.id(); }

    // The real moments that show this wall-clock time: none in the hour a clock change skips,
    // two in the hour it repeats, earlier first.
    struct Moments {
        std::array<qint64, 2> at{};
        int count = 0;
    };
    Moments moments(qint64 wall);

    // The real moment of a line's wall-clock time, given the line before: in a repeated hour
    // the first pass, unless the line before is already past it. A time that a clock change
    // skips is taken as the clock shows it after the change.
    qint64 realTime(qint64 wall, std::optional<qint64> before);

    qint64 wallTime(qint64 real);

private:
    // The stretch between two clock changes around a moment, and its neighbours' offsets.
    struct Stretch {
        qint64 from = 0, to = 0;  // [from, to) in real time
        int offset = 0;           // seconds ahead of UTC
        int offsetBefore = 0, offsetAfter = 0;
        bool contains(qint64 real) const { return real >= from && real < to; }
    };
    void load(qint64 real);

    QTimeZone zone_;
    Stretch s_;
    bool loaded_ = false;
};

}  // namespace history
