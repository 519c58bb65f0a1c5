// The device going away and coming back, as a Bluetooth link does over weeks of running.
#include <sys/resource.h>

#include <QEventLoop>
#include <QTimer>

#include "DrillFixture.h"

using drills::DrillTest;
using drills::idle;
using drills::LightRed;
using testsupport::PseudoTerminal;
using testsupport::waitUntil;

namespace {

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

using LinkDrill = DrillTest;

}  // namespace

TEST_F(LinkDrill, DeviceVanishesAndReturnsAHundredTimes) {
    ASSERT_NO_FATAL_FAILURE(startLog());
    constexpr int Rounds = 100;
    std::vector<int> sent;
    for (int round = 0; round < Rounds; ++round) {
        SCOPED_TRACE(round);
        PseudoTerminal pty;
        ASSERT_NO_FATAL_FAILURE(connect(pty));
        // Each vanishing was told once, and only once, before the user reconnected.
        ASSERT_EQ(messages.size(), round);
        ASSERT_TRUE(sendAndSee(pty, 1000 + round));
        sent.push_back(1000 + round);
        pty.closeMaster();
        ASSERT_TRUE(waitUntil([&] { return !form.MSComm1.PortOpen(); }));
        EXPECT_EQ(form.connectColour(), LightRed);
    }
    idle(50);  // a late error of the closed port must not add a message
    ASSERT_EQ(messages.size(), Rounds);
    for (const QString& m : messages) EXPECT_TRUE(m.contains("lost")) << m.toStdString();
    EXPECT_EQ(drills::loggedRaws(dialog.path), sent);
}

TEST_F(LinkDrill, HungUpPortCostsNoCpu) {
    PseudoTerminal pty;
    ASSERT_NO_FATAL_FAILURE(connect(pty));
    ASSERT_TRUE(sendAndSee(pty, 700));
    pty.closeMaster();
    ASSERT_TRUE(waitUntil([&] { return !form.MSComm1.PortOpen(); }));

    // A descriptor left open after a hang-up reports readable forever; a program that keeps
    // it spins a whole core. One second of idling should cost a few milliseconds at most.
    const double before = processCpuSeconds();
    idle(1000);
    const double spent = processCpuSeconds() - before;
    EXPECT_LT(spent, 0.1) << "CPU seconds spent idling after the hang-up";
    EXPECT_EQ(messages.size(), 1);
}
