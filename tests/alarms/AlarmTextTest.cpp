#include <gtest/gtest.h>

#include "alarms/AlarmText.h"

using namespace alarms;

TEST(AlarmText, DurationsAreWholeSecondsMinutesOrHoursFromASecondToAWeek) {
    EXPECT_EQ(parseDurationMs(QStringLiteral("90s")), 90'000);
    EXPECT_EQ(parseDurationMs(QStringLiteral("5m")), 300'000);
    EXPECT_EQ(parseDurationMs(QStringLiteral("2h")), 7'200'000);
    EXPECT_EQ(parseDurationMs(QStringLiteral("168h")), 168 * 3'600'000LL);
    for (const char* bad : {"", "5", "0s", "1.5m", "5 m", "-5m", "5M", "169h", "5min", "m", "1d"})
        EXPECT_FALSE(parseDurationMs(QString::fromLatin1(bad))) << bad;
}

TEST(AlarmText, APhIsTypedAsTheWindowsShowItWithEitherSeparator) {
    const QLocale c = QLocale::c();
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(parsePh(QStringLiteral("6.5"), c), 650);
    EXPECT_EQ(parsePh(QStringLiteral("6.05"), c), 605);
    EXPECT_EQ(parsePh(QStringLiteral("7"), c), 700);
    EXPECT_EQ(parsePh(QStringLiteral("6,5"), german), 650);
    EXPECT_EQ(parsePh(QStringLiteral("6.5"), german), 650);
    EXPECT_EQ(parsePh(QStringLiteral("14"), c), 1400);
    // More decimals than the windows show, a separator of another locale, out of any range.
    for (const char* bad : {"6.555", "6,5", "14.01", "-1", "", ".5", "6.", "1e1", "seven"})
        EXPECT_FALSE(parsePh(QString::fromLatin1(bad), c)) << bad;
}

TEST(AlarmText, NamesGoBothWays) {
    for (Alarm a : AllAlarms) EXPECT_EQ(alarmFromKey(alarmKey(a)), a);
    EXPECT_FALSE(alarmFromKey(QStringLiteral("Low")));
}

TEST(AlarmText, ANoticeLineShowsThePhAsTheWindowsDo) {
    const QLocale german(QLocale::German, QLocale::Germany);
    const AlarmNotice n{Alarm::Low, true, QDateTime(QDate(2026, 12, 9), QTime(3, 4, 5)),
                        652,        700,  QStringLiteral("/dev/rfcomm0")};
    const QString line = noticeLine(n, german);
    EXPECT_TRUE(line.startsWith(QStringLiteral("Alarm raised: pH low since ")))
        << line.toStdString();
    EXPECT_TRUE(line.endsWith(QStringLiteral("(pH 6,52, target pH 7)."))) << line.toStdString();
    AlarmNotice silent{Alarm::Silent, false, n.since, std::nullopt, std::nullopt, n.port};
    EXPECT_TRUE(noticeLine(silent, german)
                    .startsWith(QStringLiteral("Alarm cleared: Regulator silent, gone since")));
    EXPECT_FALSE(noticeLine(silent, german).contains(QStringLiteral("pH ")));
}

TEST(AlarmText, Co2FromKhAndPh) {
    // 3 x KH x 10^(7 - pH): 12 mg/l at KH 4 and pH 7, ten times that one pH lower.
    EXPECT_DOUBLE_EQ(co2MgPerLitre(4, 700), 12.0);
    EXPECT_NEAR(co2MgPerLitre(4, 600), 120.0, 1e-9);
    EXPECT_NEAR(co2MgPerLitre(6, 680), 28.53, 0.01);
    EXPECT_EQ(formatCo2(co2MgPerLitre(6, 680), QLocale::c()), QStringLiteral("28.5"));
    EXPECT_EQ(formatCo2(12.0, QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("12,0"));
}
