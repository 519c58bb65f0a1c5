#include "AlarmEngine.h"

#include <algorithm>

namespace alarms {

qint64 AlarmSettings::durationMs(Alarm a) const {
    switch (a) {
        case Alarm::Low:
            return lowForMs;
        case Alarm::High:
            return highForMs;
        case Alarm::Valve:
            return valveForMs;
        case Alarm::Silent:
            return silentForMs;
        case Alarm::Probe:
            return probeForMs;
    }
    return 0;
}

bool AlarmEngine::anyRaised() const {
    return std::any_of(states_.begin(), states_.end(), [](const State& s) { return s.raised; });
}

bool AlarmEngine::condition(Alarm a, const Reading& r) const {
    switch (a) {
        case Alarm::Low:
            return settings_.lowLevel ? r.ph < *settings_.lowLevel
                                      : r.target - r.ph > settings_.lowBelowTarget;
        case Alarm::High:
            return settings_.highLevel ? r.ph > *settings_.highLevel
                                       : r.ph - r.target > settings_.highAboveTarget;
        case Alarm::Valve:
            return r.valveOpen;
        case Alarm::Probe:
            return r.ph < settings_.probeMin || r.ph > settings_.probeMax;
        case Alarm::Silent:
            return false;
    }
    return false;
}

std::vector<AlarmEvent> AlarmEngine::frame(qint64 at, const Reading& reading) {
    std::vector<AlarmEvent> events;
    if (lastFrame_ && at - *lastFrame_ > settings_.frameGapMs) {
        // What was seen before a long pause says nothing of the time in it: a condition is
        // counted afresh from the first frames after it, and a raised alarm stays raised
        // until frames show it gone for the whole clearing time.
        for (Alarm a : AllAlarms) {
            State& s = state(a);
            if (a == Alarm::Silent) continue;
            s.holds = s.raised;
            s.since = at;
            s.pending.reset();
        }
    }
    lastFrame_ = at;
    quietSince_ = at;

    for (Alarm a : AllAlarms) {
        if (a == Alarm::Silent || !settings_.isEnabled(a)) continue;
        State& s = state(a);
        const bool c = condition(a, reading);
        if (c == s.holds) {
            s.pending.reset();
        } else if (s.pending) {
            s.holds = c;
            s.since = *s.pending;
            s.pending.reset();
        } else {
            s.pending = at;
        }
        judge(a, at, events);
    }

    if (state(Alarm::Silent).raised) {
        if (!backSince_) {
            backSince_ = at;
            backFrames_ = 0;
        }
        ++backFrames_;
    }
    judgeSilent(at, events);
    return events;
}

std::vector<AlarmEvent> AlarmEngine::watching(qint64 at, bool watched) {
    std::vector<AlarmEvent> events;
    if (watched == watched_) return events;
    watched_ = watched;
    if (watched) {
        quietSince_ = at;
        unwatchedSince_.reset();
        backSince_.reset();
    } else {
        unwatchedSince_ = at;
    }
    judgeSilent(at, events);
    return events;
}

std::vector<AlarmEvent> AlarmEngine::tick(qint64 at) {
    std::vector<AlarmEvent> events;
    judgeSilent(at, events);
    return events;
}

void AlarmEngine::judge(Alarm a, qint64 at, std::vector<AlarmEvent>& events) {
    State& s = state(a);
    if (s.holds && !s.raised && at - s.since >= settings_.durationMs(a)) {
        s.raised = true;
        events.push_back({a, true, at, s.since});
    } else if (!s.holds && s.raised && at - s.since >= settings_.clearAfterMs) {
        s.raised = false;
        events.push_back({a, false, at, s.since});
    }
}

void AlarmEngine::judgeSilent(qint64 at, std::vector<AlarmEvent>& events) {
    if (!settings_.isEnabled(Alarm::Silent)) return;
    State& s = state(Alarm::Silent);
    if (!s.raised) {
        if (watched_ && at - quietSince_ >= settings_.silentForMs) {
            s.raised = true;
            s.since = quietSince_;
            backSince_.reset();
            events.push_back({Alarm::Silent, true, at, quietSince_});
        }
        return;
    }
    if (!watched_) {
        if (unwatchedSince_ && at - *unwatchedSince_ >= settings_.clearAfterMs) {
            s.raised = false;
            events.push_back({Alarm::Silent, false, at, *unwatchedSince_});
        }
        return;
    }
    if (!backSince_) return;
    // Frames are back only while they keep coming: one frame and then silence again is an
    // odd frame, and the clearing starts over with the next frames.
    const qint64 breakMs = std::min(settings_.frameGapMs, settings_.silentForMs);
    if (lastFrame_ && at - *lastFrame_ > breakMs) {
        backSince_.reset();
        backFrames_ = 0;
        return;
    }
    if (backFrames_ >= 2 && at - *backSince_ >= settings_.clearAfterMs) {
        s.raised = false;
        events.push_back({Alarm::Silent, false, at, *backSince_});
        backSince_.reset();
    }
}

}  // namespace alarms
