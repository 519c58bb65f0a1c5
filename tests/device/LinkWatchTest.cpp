#include <gtest/gtest.h>

#include "device/LinkWatch.h"

using device::LinkWatch;

namespace {
const QDateTime Night(QDate(2026, 12, 8), QTime(2, 0, 0));
}

TEST(LinkWatch, TriesBackOffFromASecondToHalfAMinuteAndStayThere) {
    std::vector<int> delays;
    for (int tries = 0; tries < 9; ++tries) delays.push_back(LinkWatch::retryDelayMs(tries));
    EXPECT_EQ(delays,
              (std::vector<int>{1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000, 30000}));
    // A week of failed tries does not overflow into a short or negative wait.
    EXPECT_EQ(LinkWatch::retryDelayMs(1'000'000), 30000);
}

TEST(LinkWatch, KeepsTheLastTenOutagesNewestFirstWithTheirTries) {
    LinkWatch watch;
    for (int i = 0; i < 12; ++i) {
        const QDateTime lost = Night.addSecs(i * 600);
        watch.begin(lost, QStringLiteral("hung up"));
        for (int t = 0; t < i; ++t) watch.failedTry(QStringLiteral("no such file"));
        watch.restored(lost.addSecs(60 + i));
    }
    ASSERT_EQ(watch.past().size(), LinkWatch::KeptOutages);
    EXPECT_FALSE(watch.current());
    const device::Outage& newest = watch.past().front();
    EXPECT_EQ(newest.lost, Night.addSecs(11 * 600));
    EXPECT_EQ(newest.back, Night.addSecs(11 * 600 + 71));
    EXPECT_EQ(newest.tries, 12);  // eleven failed, one that worked
    EXPECT_EQ(watch.past().back().lost, Night.addSecs(2 * 600));
}

TEST(LinkWatch, ALinkThatFallsAgainBeforeAnyByteWasNeverBack) {
    LinkWatch watch;
    watch.begin(Night, QStringLiteral("hung up"));
    watch.failedTry(QStringLiteral("no such file"));
    watch.restored(Night.addSecs(3));
    watch.resume(QStringLiteral("hung up"));
    ASSERT_TRUE(watch.current());
    EXPECT_TRUE(watch.past().empty());
    EXPECT_EQ(watch.current()->lost, Night);
    EXPECT_FALSE(watch.current()->back.isValid());
    // The backoff goes on from where it was, not from a second again.
    EXPECT_EQ(watch.current()->tries, 2);
    watch.restored(Night.addSecs(40));
    ASSERT_EQ(watch.past().size(), 1u);
    EXPECT_EQ(watch.past().front().lost.secsTo(watch.past().front().back), 40);
}

TEST(LinkWatch, PublishedNamesFollowTheLossAndTheTries) {
    using device::LinkState;
    LinkWatch watch;
    EXPECT_EQ(device::linkStateName(LinkState::Closed, watch), "disconnected");
    EXPECT_EQ(device::linkStateName(LinkState::Opening, watch), "disconnected");
    EXPECT_EQ(device::linkStateName(LinkState::Open, watch), "connected");
    watch.begin(Night, QStringLiteral("hung up"));
    EXPECT_EQ(device::linkStateName(LinkState::Retrying, watch), "lost");
    watch.failedTry(QStringLiteral("no such file"));
    EXPECT_EQ(device::linkStateName(LinkState::Retrying, watch), "trying again");
    // Not there at start-up: nothing was lost.
    watch.begin(Night, QString(), true);
    EXPECT_EQ(device::linkStateName(LinkState::Retrying, watch), "trying again");
}
