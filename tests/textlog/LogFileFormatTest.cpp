#include <gtest/gtest.h>

#include "LoggingHarness.h"
#include "textlog/LogLine.h"

using namespace textlogtest;

namespace {

class LocaleGuard {
public:
    explicit LocaleGuard(const QLocale& l) { QLocale::setDefault(l); }
    ~LocaleGuard() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
};

const QByteArray kHeader =
    "Date          Time          pH            Limit         Valve         pH            "
    "Limit         pH7           pH4           k             m\r\n";

}  // namespace

TEST(PrintZones, EachItemStartsAtTheNextZoneAndLongItemsKeepABlank) {
    struct Case {
        QStringList items;
        QString line;
    };
    const std::vector<Case> cases = {
        {{}, "\r\n"},
        {{"a"}, "a\r\n"},
        {{"a", "b"}, "a             b\r\n"},
        {{"", "b"}, "              b\r\n"},
        {{"1234567890123", "x"}, "1234567890123 x\r\n"},
        {{"12345678901234", "x"}, "12345678901234              x\r\n"},
        {{"123456789012345678901234567", "x"}, "123456789012345678901234567 x\r\n"},
        {{"a", "12345678901234", "b"}, "a             12345678901234              b\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(textlog::printZoneLine(c.items), c.line) << c.line.toStdString();
}

TEST(LogFileFormat, HeaderColumnsStandAboveTheirItems) {
    EXPECT_EQ(textlog::fileHeaderLine().toLatin1(), kHeader);
}

struct FormatCase {
    const char* name;
    QLocale locale;
    QString rate;
    int frames;
    QByteArray expected;  // after the header
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

class LogFileFormatByLocaleAndRate : public ::testing::TestWithParam<FormatCase> {};

TEST_P(LogFileFormatByLocaleAndRate, ByteExactLines) {
    const FormatCase& c = GetParam();
    LocaleGuard guard(c.locale);
    LoggingHarness h;
    h.stand.rate = c.rate;
    const QString file = h.path("log.txt");
    h.saveLogTo(file);
    h.frames(c.frames);
    EXPECT_EQ(readAll(file).toStdString(), (kHeader + c.expected).toStdString());
}

// Frames arrive one second apart from 9:05:07 on 8 December 2026.
INSTANTIATE_TEST_SUITE_P(
    Lines, LogFileFormatByLocaleAndRate,
    ::testing::Values(
        FormatCase{"PeriodLocaleRate1", QLocale(QLocale::English, QLocale::UnitedStates), "1", 2,
                   "12/8/26       9:05:07 AM    6.99          7.41          1"
                   "              766           812           651           253           90"
                   "            1000\r\n"
                   "12/8/26       9:05:08 AM    6.99          7.41          1"
                   "              766           812           651           253           90"
                   "            1000\r\n"},
        FormatCase{"CommaLocaleRate1", QLocale(QLocale::German, QLocale::Germany), "1", 1,
                   "08.12.26      09:05:07      6,99          7,41          1"
                   "              766           812           651           253           90"
                   "            1000\r\n"},
        FormatCase{"PeriodLocaleRate3", QLocale(QLocale::English, QLocale::UnitedStates), "3", 7,
                   "12/8/26       9:05:09 AM    6.99          7.41          1"
                   "              766           812           651           253           90"
                   "            1000\r\n"
                   "12/8/26       9:05:12 AM    6.99          7.41          1"
                   "              766           812           651           253           90"
                   "            1000\r\n"},
        FormatCase{"CommaLocaleRate3", QLocale(QLocale::German, QLocale::Germany), "3", 6,
                   "08.12.26      09:05:09      6,99          7,41          1"
                   "              766           812           651           253           90"
                   "            1000\r\n"
                   "08.12.26      09:05:12      6,99          7,41          1"
                   "              766           812           651           253           90"
                   "            1000\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LogFileFormat, RateChangedWhileLoggingPacesTheFollowingLines) {
    LocaleGuard guard(QLocale(QLocale::German, QLocale::Germany));
    LoggingHarness h;
    const QString file = h.path("log.txt");
    h.saveLogTo(file);
    h.frames(2);         // 09:05:07 and :08 logged
    h.stand.rate = "2";  // :09 not, :10 logged
    h.frames(2);
    h.stand.rate = "1";  // :11 logged
    h.frames(1);
    const QList<QByteArray> lines = readAll(file).split('\n');
    ASSERT_EQ(lines.size(), 6);  // header, four lines, empty tail
    EXPECT_TRUE(lines[1].startsWith("08.12.26      09:05:07 "));
    EXPECT_TRUE(lines[2].startsWith("08.12.26      09:05:08 "));
    EXPECT_TRUE(lines[3].startsWith("08.12.26      09:05:10 "));
    EXPECT_TRUE(lines[4].startsWith("08.12.26      09:05:11 "));
    EXPECT_TRUE(lines[5].isEmpty());
}

TEST(LogFileFormat, SaveLogRestartsTheCountSoTheFirstLineComesAfterRateFrames) {
    LoggingHarness h;
    h.stand.rate = "3";
    h.frames(2);  // counted before logging started
    const QString file = h.path("log.txt");
    h.saveLogTo(file);
    EXPECT_EQ(h.history.SampleCount, 0);
    h.frames(2);
    EXPECT_EQ(readAll(file), kHeader);
    h.frames(1);
    EXPECT_EQ(readAll(file).count("\r\n"), 2);
}

TEST(LogFileFormat, LargeRawValuesKeepTheirTrueValue) {
    LoggingHarness h;
    const QString file = h.path("log.txt");
    h.saveLogTo(file);
    h.frames(1, QByteArray::fromHex("ffff0000ffffff00ffffffff"));
    const QByteArray line = readAll(file).mid(kHeader.size());
    EXPECT_TRUE(line.endsWith(
        "65535         65535         0             65535         255           65535\r\n"))
        << line.constData();
}
