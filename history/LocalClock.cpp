#include "LocalClock.h"

#include <QDateTime>
#include <algorithm>
#include <limits>
#include <utility>

namespace history {

namespace {
// Beyond the last clock change a zone knows of, or before its first.
constexpr qint64 Forever = std::numeric_limits<qint64>::max() / 4;
}  // namespace

LocalClock::LocalClock() : zone_(QTimeZone::systemTimeZone()) {}

LocalClock::LocalClock(QTimeZone zone) : zone_(std::move(zone)) {}

void LocalClock::load(qint64 real) {
    const QDateTime at = QDateTime::fromSecsSinceEpoch(real, QTimeZone::utc());
    s_.offset = zone_.isValid() ? zone_.offsetFromUtc(at) : 0;
    s_.from = -Forever;
    s_.to = Forever;
    s_.offsetBefore = s_.offsetAfter = s_.offset;
    if (zone_.isValid() && zone_.hasTransitions()) {
        // A change at this very moment starts the stretch.
        const auto before = zone_.previousTransition(at.addSecs(1));
        if (before.atUtc.isValid()) {
            s_.from = before.atUtc.toSecsSinceEpoch();
            s_.offsetBefore = zone_.offsetFromUtc(before.atUtc.addSecs(-1));
        }
        const auto after = zone_.nextTransition(at);
        if (after.atUtc.isValid()) {
            s_.to = after.atUtc.toSecsSinceEpoch();
            s_.offsetAfter = after.offsetFromUtc;
        }
    }
    loaded_ = true;
}

LocalClock::Moments LocalClock::moments(qint64 wall) {
    if (!loaded_) load(wall);
    // Most times lie well inside the stretch last used: one subtraction.
    const qint64 here = wall - s_.offset;
    if (s_.contains(here) && wall - s_.offsetAfter < s_.to && wall - s_.offsetBefore >= s_.from)
        return {{here, 0}, 1};
    for (int attempt = 0; attempt < 3 && !s_.contains(wall - s_.offset); ++attempt)
        load(wall - s_.offset);
    Moments m;
    const auto add = [&](qint64 real, bool inside) {
        if (inside && m.count < 2) m.at[static_cast<std::size_t>(m.count++)] = real;
    };
    const qint64 early = wall - s_.offsetBefore, now = wall - s_.offset,
                 late = wall - s_.offsetAfter;
    add(early, early < s_.from);
    add(now, s_.contains(now));
    add(late, late >= s_.to);
    return m;
}

qint64 LocalClock::realTime(qint64 wall, std::optional<qint64> before) {
    const Moments m = moments(wall);
    if (m.count == 1) return m.at[0];
    if (m.count == 2) return before && *before > m.at[0] ? m.at[1] : m.at[0];
    // Skipped: the clock already moved on, as it shows after the change.
    return wall - std::min({s_.offset, s_.offsetBefore, s_.offsetAfter});
}

qint64 LocalClock::wallTime(qint64 real) {
    if (!loaded_ || !s_.contains(real)) load(real);
    return real + s_.offset;
}

}  // namespace history
