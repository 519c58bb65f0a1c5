#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <limits>
#include <thread>

#include "Frames.h"
#include "device/Clock.h"
#include "device/Countdown.h"
#include "device/Frame.h"
#include "device/NumberText.h"
#include "device/RegionalText.h"

using namespace device;
using testsupport::bytes;
using testsupport::referenceFrame;

namespace {
const QByteArray kReferenceFrame = referenceFrame();
const QLocale kPeriod(QLocale::English, QLocale::UnitedStates);
const QLocale kComma(QLocale::German, QLocale::Germany);
}  // namespace

TEST(FrameFormat, ReferenceFrameRegisters) {
    const auto f = decodeFrame(kReferenceFrame);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->limit, 812);
    EXPECT_EQ(f->raw7, 651);
    EXPECT_EQ(f->raw4, 253);
    EXPECT_EQ(f->k, 90);
    EXPECT_EQ(f->valve, 1);
    EXPECT_EQ(f->m, 1000);
    EXPECT_EQ(f->raw, 766);
    EXPECT_EQ(formatHundredths(phHundredths(f->raw, f->k, f->m), kPeriod), "6.99");
    EXPECT_EQ(formatHundredths(phHundredths(f->limit, f->k, f->m), kPeriod), "7.41");
}

TEST(FrameFormat, ShortInputIsNoFrameAndExtraBytesAreIgnored) {
    EXPECT_FALSE(decodeFrame(kReferenceFrame.left(11)));
    const auto f = decodeFrame(kReferenceFrame + bytes({0xFF}));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->raw, 766);
}

TEST(FrameFormat, KIsByteSevenAloneWhateverTheValveByte) {
    auto frame = kReferenceFrame;
    frame[6] = 0x01;
    frame[7] = static_cast<char>(0xFF);
    const auto f = decodeFrame(frame);
    EXPECT_EQ(f->k, 1);
    EXPECT_EQ(f->valve, 255);
    EXPECT_EQ(formatBracketed(f->k), "[ 1]");
}

TEST(FrameFormat, TextsOfRegisters) {
    EXPECT_EQ(formatHex(0), "0");
    EXPECT_EQ(formatHex(10), "A");
    EXPECT_EQ(formatHex(255), "FF");
    EXPECT_EQ(formatHex(0x2C), "2C");
    EXPECT_EQ(formatBracketed(812), "[ 812]");
    EXPECT_EQ(formatBracketed(0), "[ 0]");
    EXPECT_EQ(formatBracketed(65535), "[ 65535]");
    EXPECT_EQ(formatSigned(766), " 766");
    EXPECT_EQ(formatSigned(-5), "-5");
    EXPECT_EQ(formatSigned(0), " 0");
    EXPECT_EQ(formatSigned(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
    EXPECT_EQ(formatBracketed(-1), "[-1]");
    EXPECT_EQ(formatHundredths(-5, kPeriod), "-0.05");
    EXPECT_EQ(formatHundredths(-700, kPeriod), "-7");
    EXPECT_EQ(formatHundredths(1005, u"\u066B"), "10\u066B05");  // a non-Latin separator
}

TEST(FrameFormat, PhRoundsHalvesToEvenExactly) {
    // (raw*k+m) = 69850 -> 6.985 -> 6.98 (8 even); 69950 -> 6.995 -> 7 (9 odd goes up)
    EXPECT_EQ(phHundredths(0, 0, 69850), 698);
    EXPECT_EQ(phHundredths(0, 0, 69950), 700);
    EXPECT_EQ(phHundredths(0, 0, 69851), 699);
    EXPECT_EQ(phHundredths(0, 0, 69849), 698);
    EXPECT_EQ(formatHundredths(700, kPeriod), "7");
    EXPECT_EQ(formatHundredths(690, kPeriod), "6.9");
    EXPECT_EQ(formatHundredths(5, kPeriod), "0.05");
}

TEST(FrameFormat, LargestRegistersDoNotOverflow) {
    // 65535 * 255 + 65535 = 16776960 -> 1677.696
    EXPECT_EQ(phHundredths(65535, 255, 65535), 167770);
    EXPECT_EQ(formatHundredths(167770, kPeriod), "1677.7");
}

TEST(FrameFormat, RegionalDecimalSeparator) {
    EXPECT_EQ(formatHundredths(699, kComma), "6,99");
    EXPECT_EQ(formatHundredths(741, kComma), "7,41");
    EXPECT_EQ(formatHundredths(690, kComma), "6,9");
    EXPECT_EQ(formatHundredths(699, QLocale(QLocale::French, QLocale::France)), "6,99");
}

TEST(FrameFormat, UpdateRateAcceptsOnlyReachableWholeNumbers) {
    EXPECT_EQ(parseUpdateRate("1", kPeriod), 1);
    EXPECT_EQ(parseUpdateRate(" 3 ", kPeriod), 3);
    EXPECT_EQ(parseUpdateRate("32767", kPeriod), 32767);
    for (const char* bad : {"", "0", "-1", "abc", "2.5", "99999999999", "inf", "nan", "1e400"}) {
        EXPECT_FALSE(parseUpdateRate(bad, kPeriod)) << bad;
    }
    EXPECT_FALSE(parseUpdateRate("2,5", kComma));
    EXPECT_EQ(parseUpdateRate("3,0", kComma), 3);
}

TEST(FrameFormat, SampleTimeIsAlwaysHoursAndMinutes) {
    EXPECT_EQ(formatSampleTime(QTime(9, 5, 7)), "09:05");
    EXPECT_EQ(formatSampleTime(QTime(21, 45, 0)), "21:45");
    // The text of the last minute is kept: a new hour or an invalid time must still change it.
    EXPECT_EQ(formatSampleTime(QTime(21, 45, 59)), "21:45");
    EXPECT_EQ(formatSampleTime(QTime(22, 45, 0)), "22:45");
    EXPECT_EQ(formatSampleTime(QTime()), "");
    EXPECT_EQ(formatSampleTime(QTime(22, 45, 1)), "22:45");
    // A 12-hour regional format must not leak into the sample's time text.
    const QString regional = formatRegionalTime(QTime(9, 5, 7), kPeriod);
    EXPECT_TRUE(regional.startsWith("9:05:07")) << regional.toStdString();
    EXPECT_FALSE(regional.contains("UTC"));
    EXPECT_EQ(formatRegionalTime(QTime(21, 5, 7), kComma), "21:05:07");
    const QLocale bracketedZone("fa_IR");  // "H:mm:ss (t)"
    EXPECT_EQ(formatRegionalTime(QTime(21, 5, 7), bracketedZone),
              bracketedZone.toString(QTime(21, 5, 7), "H:mm:ss"));
}

// Date and time texts are kept between calls; a change of value, second or locale must show.
TEST(FrameFormat, RegionalTextsFollowEachCallsValueAndLocale) {
    const QTime t(21, 5, 7, 100);
    EXPECT_EQ(formatRegionalTime(t, kComma), "21:05:07");
    EXPECT_EQ(formatRegionalTime(t.addMSecs(800), kComma), "21:05:07");
    EXPECT_EQ(formatRegionalTime(t.addMSecs(900), kComma), "21:05:08");
    EXPECT_EQ(formatRegionalTime(t, kPeriod), kPeriod.toString(t, "h:mm:ss AP"));
    EXPECT_EQ(formatRegionalTime(t, kComma), "21:05:07");
    const QDate d(2026, 12, 8);
    EXPECT_EQ(formatRegionalDate(d, kComma), "08.12.26");
    EXPECT_EQ(formatRegionalDate(d, kPeriod), "12/8/26");
    EXPECT_EQ(formatRegionalDate(d.addDays(1), kPeriod), "12/9/26");
}

TEST(FrameFormat, CountdownRoundsHalvesToEvenAndSurvivesMidnight) {
    EXPECT_EQ(countdownSeconds(100.0f, 100.0f), 92);
    EXPECT_EQ(countdownSeconds(100.0f, 100.5f), 92);  // 91.5 -> 92
    EXPECT_EQ(countdownSeconds(100.0f, 101.5f), 90);  // 90.5 -> 90
    EXPECT_EQ(countdownSeconds(100.0f, 193.0f), -1);
    EXPECT_EQ(countdownSeconds(0.0f, 36000.0f), -35908);  // never connected, 10:00:00
    // Frame at 23:59:50, tick at 00:00:05: 15 seconds have passed.
    EXPECT_EQ(countdownSeconds(86390.0f, 5.0f), 77);
}

TEST(FrameFormat, RoundHalfEven) {
    EXPECT_DOUBLE_EQ(roundHalfEven(6.5 + 10 * 0.05, 2), 7.0);
    EXPECT_DOUBLE_EQ(roundHalfEven(0.125, 2), 0.12);
    EXPECT_DOUBLE_EQ(roundHalfEven(0.135, 2), 0.14);
    EXPECT_DOUBLE_EQ(roundHalfEven(2.5, 0), 2.0);
    EXPECT_DOUBLE_EQ(roundHalfEven(-2.5, 0), -2.0);
    EXPECT_DOUBLE_EQ(roundHalfEven(3.5, 0), 4.0);
}

// The system clock keeps the zone's offset for a second at a time; the local time must still be
// the system's own, and a new zone must show once that second is over.
TEST(SystemClock, LocalTimeFollowsTheZoneWithinASecond) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << "Windows takes its time zone from its settings, which TZ does not change";
#endif
    const QByteArray savedZone = qgetenv("TZ");
    const auto wallMsApart = [](const QDateTime& a, const QDateTime& b) {
        return std::abs(
            QDateTime(a.date(), a.time(), Qt::UTC).msecsTo(QDateTime(b.date(), b.time(), Qt::UTC)));
    };
    const Clock& clock = Clock::system();
    qputenv("TZ", "UTC0");
    clock.now();
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_LT(wallMsApart(clock.now(), QDateTime::currentDateTime()), 1000);
    qputenv("TZ", "EXT-5");  // five hours ahead of UTC
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const QDateTime shifted = clock.now();
    EXPECT_EQ(shifted.offsetFromUtc(), 5 * 3600);
    EXPECT_LT(wallMsApart(shifted, QDateTime::currentDateTime()), 1000);
    if (savedZone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", savedZone);
}
