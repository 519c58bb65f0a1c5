#include <gtest/gtest.h>

#include <QSignalSpy>

#include "Frames.h"
#include "alarms/AlarmWatch.h"

using namespace alarms;

// Durations go by the steady clock, and the facts tell the wall clock's time: a clock put
// forward an hour in the middle of a silence neither raises it early nor misdates it.
TEST(AlarmWatch, ASilenceIsTimedOnTheSteadyClockAndDatedOnTheWallClock) {
    const QDateTime start(QDate(2026, 12, 9), QTime(2, 0, 0));
    device::ManualClock clock(start);
    AlarmSettings settings;
    settings.silentForMs = 60'000;
    settings.clearAfterMs = 10'000;
    AlarmWatch watch(settings, clock);
    watch.setPort(QStringLiteral("/dev/rfcomm0"));
    QSignalSpy notices(&watch, &AlarmWatch::notice);

    watch.frameAccepted(*device::decodeFrame(testsupport::referenceFrame()), start);
    watch.setLinkState(QStringLiteral("connected"));
    clock.advanceMs(30'000);
    clock.set(clock.now().addSecs(3600));  // the user sets the clock
    EXPECT_FALSE(notices.wait(AlarmWatch::TickMs + 300));
    clock.advanceMs(30'000);
    ASSERT_TRUE(notices.wait(AlarmWatch::TickMs + 300));
    const auto raised = notices[0][0].value<AlarmNotice>();
    EXPECT_EQ(raised.alarm, Alarm::Silent);
    EXPECT_TRUE(raised.raised);
    // The silence began at the frame, an hour later by the clock as it now reads.
    EXPECT_EQ(raised.since, start.addSecs(3600));
    EXPECT_EQ(raised.ph, 699);
    EXPECT_EQ(raised.target, 741);
    EXPECT_EQ(raised.port, QStringLiteral("/dev/rfcomm0"));

    // Disconnected by the user: no silence any more, cleared after the clearing time.
    watch.setLinkState(QStringLiteral("disconnected"));
    clock.advanceMs(10'000);
    ASSERT_TRUE(notices.wait(AlarmWatch::TickMs + 300));
    EXPECT_FALSE(notices[1][0].value<AlarmNotice>().raised);
    EXPECT_FALSE(watch.anyRaised());
}
