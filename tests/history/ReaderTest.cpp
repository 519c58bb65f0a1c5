#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "HistoryLogs.h"
#include "history/HistoryDrawing.h"
#include "history/Summary.h"

using namespace historytest;
using history::Summary;

namespace {

class ReaderTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { QStandardPaths::setTestModeEnabled(true); }
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("log.txt"));
};

QByteArray fileHash(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
}

}  // namespace

// A log in one locale: a stretch across noon, a line torn by a power cut, a garbage line,
// then a restart the next afternoon that appends without a header; opened again from the
// cache, and grown.
TEST_P(ReaderTest, ReadsTheLocaleAcrossRestartsTornAndGarbageLines) {
    const QLocale locale{QString::fromLatin1(GetParam())};
    const QDateTime start(QDate(2026, 12, 9), QTime(11, 59, 0));
    auto first = steady(start, 240, 1);
    first[90].ph = 685;      // 12:00:30, after noon
    first[100].ph = 167772;  // any 12 bytes are a frame: the highest pH one can show
    const QDateTime restart(QDate(2026, 12, 10), QTime(13, 30, 0));
    auto second = steady(restart, 100, 1);
    second[99].ph = 712;
    second[99].valveOpen = true;
    const QByteArray torn = dataLine(second[0], locale).left(20) + "\r\n";
    append(path, headerLine() + lines(first, locale) + torn + "not a line of this log\r\n" +
                     lines(second, locale));
    touch(path, second.back().time);
    const QByteArray before = fileHash(path);

    const auto s = history::loadSummary(path);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->lines, 340);
    EXPECT_EQ(s->unreadable, 2);
    EXPECT_EQ(s->firstTime(), moment(start));
    EXPECT_EQ(s->lastTime, moment(second.back().time));
    ASSERT_EQ(s->gaps.size(), 1u);
    EXPECT_EQ(s->gaps[0].before, moment(first.back().time));
    EXPECT_EQ(s->gaps[0].after, moment(restart));

    // The afternoon lines read as afternoon, with their values.
    const qint64 dip = moment(first[90].time);
    const auto read = history::readLines(*s, dip, dip + 1, 1000);
    const auto at = std::find_if(read.lines.begin(), read.lines.end(),
                                 [&](const history::LogLine& l) { return l.time == dip; });
    ASSERT_NE(at, read.lines.end());
    EXPECT_EQ(at->ph, 685);
    EXPECT_EQ(at->target, 720);
    const auto nonsense = std::find_if(read.lines.begin(), read.lines.end(), [&](const auto& l) {
        return l.time == moment(first[100].time);
    });
    ASSERT_NE(nonsense, read.lines.end());
    EXPECT_EQ(nonsense->ph, 32767);
    const auto last = history::readLines(*s, s->lastTime, s->lastTime + 1, 1000);
    ASSERT_FALSE(last.lines.empty());
    EXPECT_EQ(last.lines.back().time, moment(second.back().time));
    EXPECT_EQ(last.lines.back().ph, 712);
    EXPECT_TRUE(last.lines.back().valveOpen);
    EXPECT_EQ(fileHash(path), before) << "reading wrote to the log";

    // Opened again, its summary from the cache, then grown: read as it was the first time.
    const auto reopened = history::loadSummary(path);
    ASSERT_TRUE(reopened && reopened->format);
    EXPECT_EQ(*reopened->format, *s->format);
    EXPECT_EQ(history::columnsFor(*reopened, {dip - 60, dip + 60}, 120)[60].phLo, 685);
    const auto third = steady(restart.addSecs(100), 60, 1);
    append(path, lines(third, locale));
    touch(path, third.back().time);
    const auto grown = history::loadSummary(path);
    ASSERT_TRUE(grown);
    EXPECT_EQ(grown->lines, 400);
    EXPECT_EQ(grown->unreadable, 2);
    EXPECT_EQ(grown->lastTime, moment(third.back().time));
}

INSTANTIATE_TEST_SUITE_P(Locales, ReaderTest,
                         ::testing::Values("en_US", "de_DE", "fi_FI", "en_CA", "ko_KR", "ar_EG",
                                           "C"),
                         [](const auto& info) { return std::string(info.param); });

// A pause is a gap when it lasts more than a few of the log's usual intervals: a missed line
// is none, and the clock put back is one.
TEST(GapRule, GapsAreLongerThanAFewUsualIntervals) {
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir dir;
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    const QDateTime t0(QDate(2026, 3, 14), QTime(8, 0, 0));
    struct Case {
        int pace, hiccup, pause;
    };
    for (const Case c :
         {Case{1, 2, 10}, Case{5, 10, 60}, Case{60, 120, 600}, Case{600, 1200, 7200}}) {
        const QString path = dir.filePath(QStringLiteral("pace%1.txt").arg(c.pace));
        auto a = steady(t0, 100, c.pace);
        auto b = steady(a.back().time.addSecs(c.hiccup), 100, c.pace);
        auto d = steady(b.back().time.addSecs(c.pause), 100, c.pace);
        append(path, headerLine() + lines(a, locale) + lines(b, locale) + lines(d, locale));
        const auto s = history::loadSummary(path);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->usualInterval(), c.pace);
        ASSERT_EQ(s->gaps.size(), 1u) << "pace " << c.pace;
        EXPECT_EQ(s->gaps[0].after - s->gaps[0].before, c.pause);
    }
    // The update rate changed at a restart: a line a second, then one a minute. The slower
    // lines are no gaps once their pace is known.
    const QString changed = dir.filePath(QStringLiteral("changed.txt"));
    auto fast = steady(t0, 100, 1);
    auto slow = steady(fast.back().time.addSecs(60), 100, 60);
    append(changed, lines(fast, locale) + lines(slow, locale));
    const auto paced = history::loadSummary(changed);
    ASSERT_TRUE(paced);
    EXPECT_GE(paced->gaps.size(), 1u);
    EXPECT_LE(paced->gaps.size(), 5u);

    const QString back = dir.filePath(QStringLiteral("back.txt"));
    auto a = steady(t0, 100, 1);
    auto b = steady(t0.addSecs(-3600 + 100), 100, 1);
    append(back, lines(a, locale) + lines(b, locale));
    const auto s = history::loadSummary(back);
    ASSERT_TRUE(s);
    ASSERT_EQ(s->gaps.size(), 1u);
    EXPECT_LT(s->gaps[0].after, s->gaps[0].before);
}

// The summary is kept in the cache, read on when the log grows, made afresh when it is
// replaced, and the same each way as a fresh reading.
TEST(SummaryCache, KeptReadOnWhenGrownAndMadeAgainWhenReplaced) {
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    const QLocale locale(QLocale::German, QLocale::Germany);
    const QDateTime t0(QDate(2026, 12, 1), QTime(22, 0, 0));
    const auto a = steady(t0, 3000, 2);
    append(path, headerLine() + lines(a, locale));
    touch(path, a.back().time);
    const auto first = history::loadSummary(path);
    ASSERT_TRUE(first);
    const auto cached = history::loadCached(path);
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->lines, 3000);
    EXPECT_EQ(cached->buckets.size(), first->buckets.size());

    // Grown: the rest of the line being written, then more lines.
    const auto b = steady(a.back().time.addSecs(2), 2000, 2);
    const QByteArray more = lines(b, locale);
    append(path, more.left(30));
    const auto partial = history::loadSummary(path);
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->lines, 3000);
    EXPECT_EQ(partial->unreadable, 0) << "a line being written is not a torn one";
    append(path, more.mid(30));
    touch(path, b.back().time);
    const auto grown = history::loadSummary(path);
    ASSERT_TRUE(grown);
    QFile::remove(history::cacheFile(path));
    const auto fresh = history::loadSummary(path);
    ASSERT_TRUE(fresh);
    for (const Summary* s : {&*grown, &*fresh}) {
        EXPECT_EQ(s->lines, 5000);
        EXPECT_EQ(s->unreadable, 0);
        EXPECT_EQ(s->lastTime, moment(b.back().time));
        EXPECT_TRUE(s->gaps.empty());
    }
    EXPECT_EQ(grown->buckets.size(), fresh->buckets.size());
    EXPECT_EQ(grown->buckets.back().lines, fresh->buckets.back().lines);
    EXPECT_EQ(grown->buckets.back().offset, fresh->buckets.back().offset);

    // Replaced ("Save Log" empties the file it is given).
    QFile::remove(path);
    const auto c = steady(t0.addDays(3), 10, 1);
    append(path, headerLine() + lines(c, locale));
    touch(path, c.back().time);
    const auto replaced = history::loadSummary(path);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->lines, 10);
    EXPECT_EQ(replaced->firstTime(), moment(t0.addDays(3)));

    // A log that is gone leaves no summary behind once another is read.
    ASSERT_TRUE(QFile::exists(history::cacheFile(path)));
    QFile::remove(path);
    const QString other = dir.filePath(QStringLiteral("other.txt"));
    append(other, lines(c, locale));
    ASSERT_TRUE(history::loadSummary(other));
    EXPECT_FALSE(QFile::exists(history::cacheFile(path)));
    EXPECT_TRUE(QFile::exists(history::cacheFile(other)));
}

// A week early in a month reads as days either way round; read as months it would span half
// a year. Told apart whatever the user's own order and the file's date.
TEST(DateOrder, DayAndMonthToldApartByTheDaysALogSpans) {
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir dir;
    const QLocale us(QLocale::English, QLocale::UnitedStates),
        de(QLocale::German, QLocale::Germany);
    for (const auto& [writer, user] : {std::pair(us, de), std::pair(de, us)}) {
        QLocale::setDefault(user);
        const QString path = dir.filePath(writer.name() + QStringLiteral(".txt"));
        const auto week = steady(QDateTime(QDate(2027, 1, 1), QTime(0, 0)), 7 * 144, 600);
        append(path, headerLine() + lines(week, writer));
        const auto s = history::loadSummary(path);
        ASSERT_TRUE(s);
        EXPECT_EQ(s->firstTime(), moment(week.front().time)) << writer.name().toStdString();
        EXPECT_EQ(s->lastTime, moment(week.back().time)) << writer.name().toStdString();
    }
    // A month written as a name is the month, whatever the user's order: a day of a log
    // written with no locale ("1 Jun 2026") read by a US user is no January the 6th.
    const QString spelled = dir.filePath(QStringLiteral("c.txt"));
    const auto day = steady(QDateTime(QDate(2026, 6, 1), QTime(8, 0)), 100, 60);
    append(spelled, headerLine() + lines(day, QLocale::c()));
    const auto c = history::loadSummary(spelled);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->firstTime(), moment(day.front().time));
    QLocale::setDefault(us);
}

// Dates run to the year 9999: a log dated far ahead keeps its minutes in order and its lines
// where they fall, and a picture with no room draws nothing rather than out of bounds.
TEST(FarDates, MinutesBeyondThe32BitRangeKeepTheirOrder) {
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("far.txt"));
    const QDateTime start(QDate(9000, 6, 1), QTime(10, 0, 0));
    auto entries = steady(start, 300, 1);
    entries[150].ph = 640;
    append(path, headerLine() + lines(entries, QLocale::c()));
    const auto s = history::loadSummary(path);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->lines, 300);
    EXPECT_EQ(s->firstTime(), moment(start));
    EXPECT_EQ(s->buckets.size(), 5u);
    const qint64 dip = moment(entries[150].time);
    for (const auto& span : {history::Span{dip - 60, dip + 60}, history::wholeSpan(*s)}) {
        const auto columns = history::columnsFor(*s, span, 120);
        EXPECT_EQ(columns[std::size_t((dip - span.from) * 120 / span.length())].phLo, 640);
        EXPECT_TRUE(history::columnsFor(*s, span, 0).empty());
    }
    const auto read = history::readLines(*s, dip, dip + 1, 1000);
    EXPECT_TRUE(history::columnsFromLines(read.lines, s->gaps, {dip - 60, dip + 60}, 0).empty());
}
