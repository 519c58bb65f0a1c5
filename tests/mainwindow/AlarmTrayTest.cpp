#include <gtest/gtest.h>

#include <QSystemTrayIcon>

#include "Frames.h"
#include "mainwindow/AlarmTray.h"

using mainwindow::AlarmTray;

namespace {

const QDateTime Night(QDate(2026, 12, 9), QTime(3, 0, 0));

alarms::AlarmNotice notice(alarms::Alarm a, bool raised) {
    return {a, raised, Night, 652, 700, QStringLiteral("/dev/rfcomm0")};
}

QColor middleLeft(const QIcon& icon) {
    const QImage image = icon.pixmap(64, 64).toImage();
    return image.pixelColor(6, 32);
}

}  // namespace

// The offscreen platform, like some desktops, has no tray: each raise is told once in a
// message window, a clear is not, and nothing else is tried.
TEST(AlarmTray, WithoutATrayEachRaiseIsToldOnceInAMessage) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    QStringList told;
    AlarmTray tray(
        4.0, [&](const QString& text) { told << text; }, QSystemTrayIcon::isSystemTrayAvailable());
    EXPECT_EQ(tray.trayIcon(), nullptr);
    tray.frameAccepted(*device::decodeFrame(testsupport::referenceFrame()), Night);
    tray.notice(notice(alarms::Alarm::Low, true), true);
    tray.notice(notice(alarms::Alarm::Low, false), false);
    tray.notice(notice(alarms::Alarm::Valve, true), true);
    ASSERT_EQ(told.size(), 2);
    EXPECT_TRUE(told[0].startsWith(QStringLiteral("Alarm raised: pH low since")));
    EXPECT_TRUE(told[1].startsWith(QStringLiteral("Alarm raised: Valve open too long")));
}

// Where there is a tray, as far as Qt lets one look at it without a desktop: its tooltip, its
// icon and the notification asked for.
TEST(AlarmTray, TheIconShowsThePhAndTheCo2AndTurnsRedWhileAnAlarmIsRaised) {
    int told = 0;
    AlarmTray tray(
        4.0, [&](const QString&) { ++told; }, true);
    ASSERT_NE(tray.trayIcon(), nullptr);
    tray.frameAccepted(*device::decodeFrame(testsupport::referenceFrame()), Night);
    // pH 6.99 at KH 4: 3 x 4 x 10^0.01 = 12.28 mg/l.
    EXPECT_EQ(tray.trayIcon()->toolTip(),
              QStringLiteral("Vellicor pH controller\npH 6.99 (target 7.41)\nCO2 12.3 mg/l"));
    EXPECT_GT(middleLeft(tray.trayIcon()->icon()).green(), 120);

    tray.notice(notice(alarms::Alarm::Low, true), true);
    const QColor raised = middleLeft(tray.trayIcon()->icon());
    EXPECT_GT(raised.red(), 180);
    EXPECT_LT(raised.green(), 80);
    EXPECT_TRUE(tray.trayIcon()->toolTip().endsWith(QStringLiteral("\nAlarm raised")));
    EXPECT_TRUE(tray.lastNotification().startsWith(QStringLiteral("Alarm raised: pH low")));

    tray.notice(notice(alarms::Alarm::Low, false), false);
    EXPECT_GT(middleLeft(tray.trayIcon()->icon()).green(), 120);
    EXPECT_TRUE(tray.lastNotification().startsWith(QStringLiteral("Alarm cleared: pH low")));
    EXPECT_EQ(told, 0);

    // Without a KH, no CO2.
    AlarmTray plain(std::nullopt, {}, true);
    plain.frameAccepted(*device::decodeFrame(testsupport::referenceFrame()), Night);
    EXPECT_FALSE(plain.trayIcon()->toolTip().contains(QStringLiteral("CO2")));
}
