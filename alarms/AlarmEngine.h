#pragma once

#include <QtGlobal>
#include <array>
#include <optional>
#include <vector>

// When the tank is in danger, decided from what the program receives alone: the readings and
// whether a port is being watched, each with its moment on one clock in milliseconds. The
// engine keeps no clock of its own, so the program, its tests and the history window's look
// back over a log all drive it the same way.
namespace alarms {

enum class Alarm { Low, High, Valve, Silent, Probe };
constexpr std::size_t AlarmCount = 5;
constexpr std::array<Alarm, AlarmCount> AllAlarms{Alarm::Low, Alarm::High, Alarm::Valve,
                                                  Alarm::Silent, Alarm::Probe};

struct AlarmSettings {
    // pH in hundredths, as the windows show it. Without a level, the limits follow the target.
    std::optional<int> lowLevel;
    std::optional<int> highLevel;
    // A fall of 0.3 is about twice the CO2 the aquarist chose; a rise of 0.5, an empty bottle.
    int lowBelowTarget = 30;
    int highAboveTarget = 50;
    // No probe in water reads outside these.
    int probeMin = 400;
    int probeMax = 950;

    qint64 lowForMs = 5 * 60'000;
    qint64 highForMs = 30 * 60'000;
    qint64 valveForMs = 60 * 60'000;
    qint64 silentForMs = 5 * 60'000;
    qint64 probeForMs = 60'000;
    qint64 clearAfterMs = 2 * 60'000;
    // A pause between frames longer than this is an interruption: what was seen before it
    // does not count towards what is seen after it. The countdown's 92 seconds.
    qint64 frameGapMs = 92'000;

    std::array<bool, AlarmCount> enabled{true, true, true, true, true};

    bool isEnabled(Alarm a) const { return enabled[static_cast<std::size_t>(a)]; }
    qint64 durationMs(Alarm a) const;
};

// One reading as the windows show it.
struct Reading {
    int ph = 0;      // hundredths
    int target = 0;  // hundredths
    bool valveOpen = false;
};

struct AlarmEvent {
    Alarm alarm = Alarm::Low;
    bool raised = true;  // false: cleared
    qint64 at = 0;       // when it was decided
    qint64 since = 0;    // when the condition began (raised) or ended (cleared)
};

class AlarmEngine {
public:
    explicit AlarmEngine(AlarmSettings settings = {}) : settings_(settings) {}

    // A decoded frame.
    std::vector<AlarmEvent> frame(qint64 at, const Reading& reading);
    // A port is watched (open or being tried again) or not (closed by the user).
    std::vector<AlarmEvent> watching(qint64 at, bool watched);
    // Time passes: a silence grows, a silent alarm's clearing comes due.
    std::vector<AlarmEvent> tick(qint64 at);

    bool isRaised(Alarm a) const { return state(a).raised; }
    bool anyRaised() const;
    const AlarmSettings& settings() const { return settings_; }

private:
    // A condition as frames tell it. It changes only when two frames in a row agree on the
    // change, so one odd frame neither starts, nor ends, nor interrupts anything.
    struct State {
        bool raised = false;
        bool holds = false;             // the condition, as settled by the frames
        qint64 since = 0;               // when `holds` last changed
        std::optional<qint64> pending;  // a first frame that disagrees with `holds`
    };

    bool condition(Alarm a, const Reading& r) const;
    void judge(Alarm a, qint64 at, std::vector<AlarmEvent>& events);
    void judgeSilent(qint64 at, std::vector<AlarmEvent>& events);
    State& state(Alarm a) { return states_[static_cast<std::size_t>(a)]; }
    const State& state(Alarm a) const { return states_[static_cast<std::size_t>(a)]; }

    AlarmSettings settings_;
    std::array<State, AlarmCount> states_{};
    std::optional<qint64> lastFrame_;
    bool watched_ = false;
    qint64 quietSince_ = 0;  // the last frame, or the start of the watch if later
    // After a silent alarm: the first frame back, and how many came since without a pause.
    std::optional<qint64> backSince_;
    int backFrames_ = 0;
    std::optional<qint64> unwatchedSince_;
};

}  // namespace alarms
