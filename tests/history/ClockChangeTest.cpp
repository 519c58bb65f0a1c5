// Logs across the clock changes of the zone the history is shown in, in a log written with no
// locale and in one written in a US locale with its 12-hour clock.
#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimeZone>
#include <ctime>
#include <tuple>

#include "HistoryLogs.h"
#include "graph/GraphDrawing.h"
#include "history/HistoryDrawing.h"

using namespace historytest;
namespace bgr = graph::bgr;

namespace {

// The computer's zone for the life of a test: the history reads it from TZ, as does the C
// library behind local QDateTimes.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone)
        : saved_(qgetenv("TZ")), had_(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneScope() {
        if (had_)
            qputenv("TZ", saved_);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray saved_;
    bool had_;
};

// Whether the history and the C library both took the zone from TZ; Windows takes the
// computer's zone from its own settings.
bool zoneTaken(const char* zone) {
    const QDateTime summer(QDate(2026, 7, 1), QTime(12, 0));
    return QTimeZone::systemTimeZoneId() == zone &&
           summer.offsetFromUtc() == QTimeZone::systemTimeZone().offsetFromUtc(summer);
}

class ClockChange : public ::testing::TestWithParam<std::tuple<const char*, const char*>> {
protected:
    void SetUp() override {
        QStandardPaths::setTestModeEnabled(true);
        if (!zoneTaken(std::get<0>(GetParam()))) GTEST_SKIP() << "the zone is not set by TZ here";
    }
    // The real moment of the zone's first clock change of 2026 after the given day.
    qint64 changeAfter(QDate day) const {
        const auto t =
            QTimeZone::systemTimeZone().nextTransition(day.startOfDay(QTimeZone::systemTimeZone()));
        return t.atUtc.toSecsSinceEpoch();
    }
    ZoneScope zone{std::get<0>(GetParam())};
    const QLocale locale{QString::fromLatin1(std::get<1>(GetParam()))};
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("log.txt"));
};

QDateTime local(qint64 real) {
    return QDateTime::fromSecsSinceEpoch(real);
}

}  // namespace

// Autumn: the hour before the change is written twice. A dip in its second pass is drawn at
// its real moment, an hour after the same wall-clock time in the first pass, zoomed in to the
// lines and out to the minutes; the change is no gap.
TEST_P(ClockChange, AutumnSecondPassDrawnAtItsRealMoment) {
    const qint64 change = changeAfter(QDate(2026, 7, 1));
    auto entries = steady(local(change - 3 * 3600), 6 * 3600, 1);
    const std::size_t dip = 3 * 3600 + 1800, firstPass = dip - 3600;
    entries[dip].ph = 620;
    ASSERT_EQ(entries[dip].time.time(), entries[firstPass].time.time()) << "no repeated hour";
    append(path, headerLine() + lines(entries, locale));
    const auto s = history::loadSummary(path);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->lines, qint64(entries.size()));
    EXPECT_EQ(s->unreadable, 0);
    EXPECT_TRUE(s->gaps.empty());
    EXPECT_EQ(s->lastTime, moment(entries.back().time));

    const qint64 at = change + 1800, before = at - 3600;
    for (const history::Span span :
         {history::Span{change - 3600, change + 3600}, history::wholeSpan(*s)}) {
        QImage image(1200, 600, QImage::Format_RGB32);
        const auto layout = history::drawHistory(image, *s, span);
        EXPECT_TRUE(isColour(image, layout.x(at), layout.y(620), bgr::Yellow)) << span.length();
        EXPECT_FALSE(isColour(image, layout.x(before), layout.y(620), bgr::Yellow));
        EXPECT_TRUE(isColour(image, layout.x(before), layout.y(700), bgr::Yellow));
    }
}

// Spring: the hour the clock skips leaves no pause; the curve runs straight across it.
TEST_P(ClockChange, SpringSkippedHourDrawsNoBreak) {
    const qint64 change = changeAfter(QDate(2026, 1, 1));
    const auto entries = steady(local(change - 3 * 3600), 6 * 360, 10);
    ASSERT_EQ(entries[1080].time.time().hour(), entries[1079].time.time().hour() + 2);
    append(path, headerLine() + lines(entries, locale));
    const auto s = history::loadSummary(path);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->lines, qint64(entries.size()));
    EXPECT_TRUE(s->gaps.empty());
    for (const history::Span span :
         {history::Span{change - 1800, change + 1800}, history::wholeSpan(*s)}) {
        QImage image(1200, 600, QImage::Format_RGB32);
        const auto layout = history::drawHistory(image, *s, span);
        for (int x = layout.x(std::max(span.from, change - 1800)); x < layout.x(change + 1800); ++x)
            ASSERT_TRUE(isColour(image, x, layout.y(700), bgr::Yellow)) << x;
    }
}

INSTANTIATE_TEST_SUITE_P(ZonesAndLocales, ClockChange,
                         ::testing::Combine(::testing::Values("Europe/Berlin", "America/New_York"),
                                            ::testing::Values("C", "en_US")),
                         [](const auto& info) {
                             std::string name = std::string(std::get<0>(info.param)) + "_" +
                                                std::get<1>(info.param);
                             std::replace(name.begin(), name.end(), '/', '_');
                             return name;
                         });

// The clock set back by hand, a day, on no clock change: a gap as ever. The gaps found after it
// lie before it in time, and a pause found before it is still a break.
TEST(ClockSetBack, StaysAGapAndKeepsTheGapsInOrder) {
    QStandardPaths::setTestModeEnabled(true);
    const ZoneScope zone("Europe/Berlin");
    if (!zoneTaken("Europe/Berlin")) GTEST_SKIP() << "the zone is not set by TZ here";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    const QLocale locale(QLocale::German, QLocale::Germany);
    const QDateTime start(QDate(2026, 6, 10), QTime(10, 0));
    const auto runLines = [&](const QDateTime& from) {
        const auto a = steady(from, 100, 10);
        return lines(a, locale) + lines(steady(a.back().time.addSecs(1800), 100, 10), locale);
    };
    append(path, headerLine() + runLines(start) + runLines(start.addDays(-1)));
    const auto s = history::loadSummary(path);
    ASSERT_TRUE(s);
    ASSERT_EQ(s->gaps.size(), 3u);
    EXPECT_TRUE(std::is_sorted(s->gaps.begin(), s->gaps.end(),
                               [](const auto& a, const auto& b) { return a.after < b.after; }));
    const qint64 pauseFrom = moment(start) + 990, pauseTo = pauseFrom + 1800;
    EXPECT_TRUE(history::isGap(s->gaps, pauseFrom, pauseTo));
    const history::Span span{pauseFrom - 600, pauseTo + 600};
    const auto columns = history::columnsFor(*s, span, 600);
    const auto column = [&](qint64 t) {
        return std::size_t((t - span.from) * 600 / span.length());
    };
    EXPECT_TRUE(columns[column(pauseTo)].breakBefore);
    for (std::size_t c = column(pauseFrom) + 1; c < column(pauseTo); ++c)
        EXPECT_FALSE(columns[c].data) << c;
}
