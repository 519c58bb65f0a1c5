#include <gtest/gtest.h>

#include "mainwindow/LinkStory.h"

using device::LinkState;
using device::LinkWatch;
using mainwindow::describeLinkStory;

namespace {
const QLocale English(QLocale::English, QLocale::UnitedKingdom);
const QDateTime SmallHours(QDate(2026, 12, 8), QTime(2, 13, 5));
}  // namespace

TEST(LinkStory, TellsTheOutageUnderWayThenItsEndAndKeepsTheLastTen) {
    LinkWatch watch;
    watch.begin(SmallHours,
                QStringLiteral("the device or the system closed the connection (hung up)"));
    for (int i = 0; i < 5; ++i) watch.failedTry(QStringLiteral("Cannot open /dev/rfcomm0"));
    watch.setNextTry(SmallHours.addSecs(61));
    const QString trying = describeLinkStory(QStringLiteral("/dev/rfcomm0"), LinkState::Retrying,
                                             watch, SmallHours.addSecs(40), English);
    EXPECT_TRUE(
        trying.startsWith("The connection on /dev/rfcomm0 was lost at 02:13:05: the "
                          "device or the system closed the connection (hung up)."))
        << trying.toStdString();
    // Why the latest try failed, beside why the link went.
    EXPECT_TRUE(trying.contains("\n\nCannot open /dev/rfcomm0\n\n")) << trying.toStdString();
    EXPECT_TRUE(trying.contains("since 02:13:05: 5 tries so far, the next at 02:14:06."))
        << trying.toStdString();

    watch.restored(SmallHours.addSecs(61));
    // The morning after: the date shows for what was not today.
    const QDateTime morning(QDate(2026, 12, 9), QTime(7, 30));
    const QString back =
        describeLinkStory(QStringLiteral("/dev/rfcomm0"), LinkState::Open, watch, morning, English);
    EXPECT_TRUE(
        back.startsWith("The connection on /dev/rfcomm0 is back since 08/12/2026 "
                        "02:14:06, after 1 min 1 s without it."))
        << back.toStdString();
    EXPECT_TRUE(back.contains("08/12/2026 02:13:05 to 08/12/2026 02:14:06 (1 min 1 s, 6 tries)"))
        << back.toStdString();

    for (int i = 1; i <= 12; ++i) {
        watch.begin(SmallHours.addSecs(i * 3600), QStringLiteral("hung up"));
        watch.restored(SmallHours.addSecs(i * 3600 + 2 * 3600 + 300));
    }
    const QString full =
        describeLinkStory(QStringLiteral("/dev/rfcomm0"), LinkState::Open, watch, morning, English);
    EXPECT_EQ(full.count(" to "), 10) << full.toStdString();
    EXPECT_TRUE(full.contains("(2 h 5 min, 1 try)")) << full.toStdString();
}

TEST(LinkStory, StartUpBeforeThePortExistsSaysItWaits) {
    LinkWatch watch;
    watch.begin(SmallHours, QString(), true);
    watch.failedTry(QStringLiteral("Cannot open /dev/rfcomm0: No such file or directory"));
    const QString text = describeLinkStory(QStringLiteral("/dev/rfcomm0"), LinkState::Retrying,
                                           watch, SmallHours, English);
    EXPECT_TRUE(
        text.startsWith("Waiting for /dev/rfcomm0 since 02:13:05.\n\nCannot open "
                        "/dev/rfcomm0: No such file or directory"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("1 try so far, one under way.")) << text.toStdString();
}
