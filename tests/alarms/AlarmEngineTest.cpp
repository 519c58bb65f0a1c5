#include <gtest/gtest.h>

#include "alarms/AlarmEngine.h"

using namespace alarms;

namespace {

constexpr qint64 S = 1000;
constexpr qint64 M = 60 * S;

const Reading Steady{700, 700, false};   // on target, valve shut
const Reading Low{669, 700, false};      // 0.31 under the target
const Reading JustLow{670, 700, false};  // 0.30 under: not more than 0.3
const Reading High{751, 700, false};
const Reading Open{700, 700, true};
const Reading DeadProbe{320, 700, false};

// Frames once a second, from..to inclusive, each event with the second it came at.
struct Feed {
    AlarmEngine engine;
    std::vector<AlarmEvent> events;

    explicit Feed(AlarmSettings s = {}) : engine(s) { engine.watching(0, true); }
    void frames(qint64 from, qint64 to, const Reading& r, qint64 every = S) {
        for (qint64 t = from; t <= to; t += every) add(engine.frame(t, r));
    }
    void ticks(qint64 from, qint64 to) {
        for (qint64 t = from; t <= to; t += S) add(engine.tick(t));
    }
    void add(const std::vector<AlarmEvent>& e) { events.insert(events.end(), e.begin(), e.end()); }
};

void expectEvent(const AlarmEvent& e, Alarm a, bool raised, qint64 at, qint64 since) {
    EXPECT_EQ(e.alarm, a);
    EXPECT_EQ(e.raised, raised);
    EXPECT_EQ(e.at, at);
    EXPECT_EQ(e.since, since);
}

}  // namespace

TEST(AlarmEngine, EachAlarmIsRaisedAtExactlyItsDefaultDurationAndClearedOnceTwoMinutesAfter) {
    struct Case {
        Alarm alarm;
        Reading bad;
        qint64 duration;
    };
    for (const Case& c : {Case{Alarm::Low, Low, 5 * M}, Case{Alarm::High, High, 30 * M},
                          Case{Alarm::Valve, Open, 60 * M}, Case{Alarm::Probe, DeadProbe, 1 * M}}) {
        SCOPED_TRACE(static_cast<int>(c.alarm));
        Feed f;
        f.frames(0, 10 * S, Steady);
        f.frames(11 * S, 11 * S + c.duration - S, c.bad);
        EXPECT_TRUE(f.events.empty()) << "raised before its duration";
        f.frames(11 * S + c.duration, 11 * S + c.duration + 30 * S, c.bad);
        ASSERT_FALSE(f.events.empty());
        expectEvent(f.events[0], c.alarm, true, 11 * S + c.duration, 11 * S);
        const qint64 good = 11 * S + c.duration + 31 * S;
        f.frames(good, good + 2 * M - S, Steady);
        EXPECT_EQ(f.events.size(), 1u);
        f.frames(good + 2 * M, good + 10 * M, Steady);
        const auto cleared = std::count_if(f.events.begin(), f.events.end(), [&](auto& e) {
            return e.alarm == c.alarm && !e.raised;
        });
        EXPECT_EQ(cleared, 1);
        EXPECT_EQ(f.events.back().at, good + 2 * M);
        EXPECT_EQ(f.events.back().since, good);
        EXPECT_FALSE(f.engine.anyRaised());
    }
}

TEST(AlarmEngine, LowAndHighAreMoreThanTheirDistanceFromTheTargetOrPastAnAbsoluteLevel) {
    Feed atLimit;
    atLimit.frames(0, 20 * M, JustLow);
    atLimit.frames(20 * M + S, 60 * M, Reading{750, 700, false});
    EXPECT_TRUE(atLimit.events.empty());

    AlarmSettings s;
    s.lowLevel = 650;
    s.highLevel = 780;
    s.lowForMs = s.highForMs = 10 * S;
    Feed level(s);
    level.frames(0, 60 * S, Low);  // far under the target but above 6.50
    EXPECT_TRUE(level.events.empty());
    level.frames(61 * S, 80 * S, Reading{649, 650, false});
    level.frames(81 * S, 300 * S, Reading{781, 781, false});
    ASSERT_GE(level.events.size(), 2u);
    expectEvent(level.events[0], Alarm::Low, true, 71 * S, 61 * S);
    EXPECT_TRUE(level.engine.isRaised(Alarm::High));
}

TEST(AlarmEngine, OneOddFrameNeitherRaisesNorClearsNorInterruptsACount) {
    AlarmSettings s;
    s.lowForMs = 10 * S;
    s.clearAfterMs = 5 * S;
    Feed f(s);
    // A lone low frame among good ones, every few seconds, forever: nothing.
    for (qint64 t = 0; t < 119 * S; t += S) f.add(f.engine.frame(t, t % (7 * S) ? Steady : Low));
    EXPECT_TRUE(f.events.empty());

    // A lone good frame inside a low stretch does not restart its count...
    f.frames(120 * S, 125 * S, Low);
    f.frames(126 * S, 126 * S, Steady);
    f.frames(127 * S, 130 * S, Low);
    ASSERT_EQ(f.events.size(), 1u);
    expectEvent(f.events[0], Alarm::Low, true, 130 * S, 120 * S);
    // ...nor does one inside the clearing time start or end a clearing.
    f.frames(131 * S, 133 * S, Steady);
    f.frames(134 * S, 134 * S, Low);
    f.frames(135 * S, 140 * S, Steady);
    ASSERT_EQ(f.events.size(), 2u);
    expectEvent(f.events[1], Alarm::Low, false, 136 * S, 131 * S);
}

TEST(AlarmEngine, AConditionThatComesBackWithinTheClearingTimeKeepsTheAlarmWithoutASecondRaise) {
    AlarmSettings s;
    s.valveForMs = 10 * S;
    Feed f(s);
    f.frames(0, 10 * S, Open);
    f.frames(11 * S, 60 * S, Steady);  // shut for less than two minutes
    f.frames(61 * S, 200 * S, Open);
    ASSERT_EQ(f.events.size(), 1u);
    EXPECT_TRUE(f.engine.isRaised(Alarm::Valve));
}

TEST(AlarmEngine, SilentCountsFromTheLastFrameWhileWatchedConnectedOrTrying) {
    AlarmSettings s;
    s.silentForMs = 5 * M;
    Feed f(s);
    f.frames(0, 10 * S, Steady);
    f.ticks(11 * S, 10 * S + 5 * M - S);
    EXPECT_TRUE(f.events.empty());
    f.ticks(10 * S + 5 * M, 10 * S + 5 * M);
    ASSERT_EQ(f.events.size(), 1u);
    expectEvent(f.events[0], Alarm::Silent, true, 10 * S + 5 * M, 10 * S);

    // No frame at all since the watch began (a port not there at start) counts from that start.
    Feed fromStart(s);
    fromStart.ticks(S, 5 * M);
    ASSERT_EQ(fromStart.events.size(), 1u);
    EXPECT_EQ(fromStart.events[0].since, 0);
}

TEST(AlarmEngine, SilentIsClearedByFramesThatKeepComingNotByOne) {
    AlarmSettings s;
    s.silentForMs = 10 * S;
    s.clearAfterMs = 5 * S;
    Feed f(s);
    f.ticks(S, 10 * S);
    ASSERT_EQ(f.events.size(), 1u);
    // One frame, then silence again: still raised, however long.
    f.frames(20 * S, 20 * S, Steady);
    f.ticks(21 * S, 100 * S);
    EXPECT_EQ(f.events.size(), 1u);
    // Frames that keep coming clear it once, the clearing time after the first.
    f.frames(101 * S, 110 * S, Steady);
    ASSERT_EQ(f.events.size(), 2u);
    expectEvent(f.events[1], Alarm::Silent, false, 106 * S, 101 * S);
}

TEST(AlarmEngine, NoSilenceWhileNoPortIsWatchedAndARaisedOneClearsAfterTheDisconnect) {
    AlarmSettings s;
    s.silentForMs = 10 * S;
    s.clearAfterMs = 5 * S;
    AlarmEngine e(s);
    for (qint64 t = 0; t < 60 * S; t += S) EXPECT_TRUE(e.tick(t).empty());
    e.watching(60 * S, true);
    EXPECT_TRUE(e.tick(69 * S).empty());
    ASSERT_EQ(e.tick(70 * S).size(), 1u);
    e.watching(71 * S, false);
    EXPECT_TRUE(e.tick(75 * S).empty());
    const auto cleared = e.tick(76 * S);
    ASSERT_EQ(cleared.size(), 1u);
    EXPECT_FALSE(cleared[0].raised);
    EXPECT_EQ(cleared[0].since, 71 * S);
}

TEST(AlarmEngine, APauseInTheFramesRestartsACountRatherThanBridgingIt) {
    AlarmSettings s;
    s.lowForMs = 5 * M;
    s.enabled[static_cast<std::size_t>(Alarm::Silent)] = false;
    Feed f(s);
    f.frames(0, 4 * M, Low);
    // The link was away for ten minutes; the low is counted again from the frames after it.
    f.frames(14 * M, 14 * M + 5 * M - S, Low);
    EXPECT_TRUE(f.events.empty());
    f.frames(19 * M, 19 * M, Low);
    ASSERT_EQ(f.events.size(), 1u);
    EXPECT_EQ(f.events[0].since, 14 * M);
}

TEST(AlarmEngine, AnAlarmTurnedOffIsNeverRaised) {
    AlarmSettings s;
    for (Alarm a : AllAlarms) s.enabled[static_cast<std::size_t>(a)] = false;
    Feed f(s);
    f.frames(0, 2 * 3600 * S, Reading{320, 700, true}, 10 * S);
    f.ticks(2 * 3600 * S, 3 * 3600 * S);
    EXPECT_TRUE(f.events.empty());
}
