#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "HistoryLogs.h"
#include "graph/GraphDrawing.h"
#include "history/Export.h"
#include "history/HistoryDrawing.h"
#include "history/HistoryPlot.h"
#include "history/HistoryWindow.h"

using namespace historytest;
namespace bgr = graph::bgr;

namespace {

int countInColumn(const QImage& image, int x, const QRect& plot, quint32 colour) {
    int n = 0;
    for (int y = plot.top(); y <= plot.bottom(); ++y) n += isColour(image, x, y, colour);
    return n;
}

class HistoryDrawingTest : public ::testing::Test {
protected:
    void SetUp() override { QStandardPaths::setTestModeEnabled(true); }
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("log.txt"));
    const QLocale locale{QLocale::English, QLocale::UnitedStates};
    const QDateTime day{QDate(2026, 12, 9), QTime(0, 0, 0)};
};

}  // namespace

// A day at a line a second with one line at pH 6.20: every zoom shows it, the whole day in
// 600 columns as well as two hours line by line.
TEST_F(HistoryDrawingTest, OneSampleDipIsKeptInItsColumn) {
    auto entries = steady(day, 86400, 1);
    entries[43200].ph = 620;
    append(path, headerLine() + lines(entries, locale));
    const auto s = history::loadSummary(path);
    ASSERT_TRUE(s);
    const qint64 noon = moment(day) + 43200;
    for (const history::Span span :
         {history::wholeSpan(*s), history::Span{noon - 3600, noon + 3600}}) {
        const auto columns = history::columnsFor(*s, span, 600);
        int dips = 0;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (columns[c].phLo != 620) continue;
            ++dips;
            EXPECT_EQ(int(c), int((noon - span.from) * 600 / span.length()));
        }
        EXPECT_EQ(dips, 1) << span.length();
    }
}

// A known day drawn into a PNG: a dip at noon, no lines from 15:00 to 17:00, the target at
// 7.20 and the valve open from 06:00 to 06:10.
TEST_F(HistoryDrawingTest, ExportShowsTheDipTheGapAndTheTargetWhereTheyFall) {
    std::vector<Entry> entries;
    for (const Entry& e : steady(day, 8640, 10)) {
        const int hour = e.time.time().hour();
        if (hour == 15 || hour == 16) continue;
        entries.push_back(e);
        if (e.time.time() == QTime(12, 0)) entries.back().ph = 650;
        if (e.time.time() >= QTime(6, 0) && e.time.time() < QTime(6, 10))
            entries.back().valveOpen = true;
    }
    append(path, headerLine() + lines(entries, locale));
    const QString png = dir.filePath(QStringLiteral("day.png"));
    ASSERT_EQ(history::exportPng({path, png, QDate(2026, 12, 9), QDate(2026, 12, 9)}),
              std::nullopt);
    const QImage image(png);
    ASSERT_EQ(image.size(), QSize(1200, 600));

    const auto s = history::loadSummary(path);
    const history::Span span{moment(day), moment(day) + 86400};
    const auto layout = history::layoutFor(image.size(), span, history::columnsFor(*s, span, 1200));
    const QRect plot = layout.plot;
    const auto at = [&](int h, int m) { return layout.x(moment(day) + h * 3600 + m * 60); };
    EXPECT_TRUE(isColour(image, 2, 2, bgr::Black));
    EXPECT_TRUE(isColour(image, plot.left(), plot.top() + 40, bgr::LightGrey));
    EXPECT_TRUE(isColour(image, plot.right(), plot.top() + 40, bgr::LightGrey));

    EXPECT_TRUE(isColour(image, at(12, 0), layout.y(650), bgr::Yellow));
    EXPECT_FALSE(isColour(image, at(12, 0) - 4, layout.y(650), bgr::Yellow));
    EXPECT_FALSE(isColour(image, at(12, 0) + 4, layout.y(650), bgr::Yellow));
    for (int h : {2, 8, 14, 20}) {
        EXPECT_TRUE(isColour(image, at(h, 0), layout.y(700), bgr::Yellow)) << h;
        EXPECT_TRUE(isColour(image, at(h, 0), layout.y(720), bgr::Red)) << h;
        EXPECT_FALSE(isColour(image, at(h, 0), plot.bottom() - 5, bgr::Orange)) << h;
    }
    for (int x = at(15, 0) + 2; x <= at(17, 0) - 2; ++x) {
        EXPECT_EQ(countInColumn(image, x, plot, bgr::Yellow), 0) << x;
        EXPECT_EQ(countInColumn(image, x, plot, bgr::Red), 0) << x;
        EXPECT_TRUE(isColour(image, x, layout.y(700) + 1, bgr::DarkBlue)) << x;
    }
    EXPECT_TRUE(isColour(image, at(6, 5), plot.bottom() - 5, bgr::Orange));
    EXPECT_TRUE(isColour(image, at(6, 5), plot.bottom() - 30, bgr::Orange));
    EXPECT_FALSE(isColour(image, at(6, 5), plot.bottom() - 31, bgr::Orange));

    const auto missing =
        history::exportPng({dir.filePath(QStringLiteral("none.txt")), png, {}, {}});
    ASSERT_TRUE(missing);
    EXPECT_TRUE(missing->contains(QStringLiteral("none.txt")));
    EXPECT_FALSE(missing->contains(u'\n'));
    EXPECT_TRUE(
        history::exportPng({path, dir.filePath(QStringLiteral("no/such/folder/x.png")), {}, {}}));
    EXPECT_TRUE(history::exportPng({path, png, QDate(2026, 12, 10), QDate(2026, 12, 9)}));
}

// The window reads the file on its worker, shows it and follows it as it grows.
TEST_F(HistoryDrawingTest, WindowShowsTheFileAndFollowsItsGrowth) {
    const auto first = steady(day, 600, 1);
    append(path, headerLine() + lines(first, locale) + "garbage\r\n");
    history::HistoryWindow window(path);
    QSignalSpy shown(&window, &history::HistoryWindow::summaryShown);
    window.show();
    ASSERT_TRUE(shown.wait(10000));
    const QImage picture = window.plot()->picture();
    int yellow = 0;
    for (int x = 0; x < picture.width(); ++x)
        yellow += countInColumn(picture, x, picture.rect(), bgr::Yellow);
    EXPECT_GT(yellow, 0);
    EXPECT_EQ(window.plot()->span().from, moment(day));
    EXPECT_EQ(window.findChild<QLabel*>()->text(),
              QStringLiteral("1 line could not be read and was left out."));

    const auto more = steady(day.addSecs(600), 600, 1);
    append(path, lines(more, locale));
    ASSERT_TRUE(shown.wait(10000));
    EXPECT_GE(window.plot()->span().to, moment(more.back().time));
}

// The pH scale fits what is shown with four to ten round steps: a steady tank, a wide swing,
// a device that sent nonsense.
TEST(HistoryScale, FitsTheRangeShownWithFewRoundSteps) {
    struct Case {
        int lo, hi;
    };
    for (const Case c : {Case{700, 700}, Case{650, 720}, Case{0, 1400}, Case{0, 32767}}) {
        history::Column column;
        column.data = true;
        column.phLo = column.targetLo = static_cast<qint16>(c.lo);
        column.phHi = column.targetHi = static_cast<qint16>(c.hi);
        const auto l = history::layoutFor(QSize(1200, 600), {0, 3600}, {column});
        const double steps = (l.phHigh - l.phLow) / l.labelStep;
        EXPECT_GE(steps, 4 - 1e-9) << c.hi;
        EXPECT_LE(steps, 10 + 1e-9) << c.hi;
        EXPECT_LE(l.phLow, c.lo / 100.0 + 1e-9);
        EXPECT_GE(l.phHigh, c.hi / 100.0 - 1e-9);
        EXPECT_LT(l.y(c.hi), l.y(c.lo) + (c.hi == c.lo ? 1 : 0));
    }
}

// A log with a line every ten minutes, zoomed to an hour between its lines: the curve reaches
// both edges, where the lines to the lines beyond them cross, but not across a gap.
TEST_F(HistoryDrawingTest, SparseCurveRunsOutToTheEdgesButNotOverAGap) {
    auto entries = steady(day, 12, 600);
    for (int k = 0; k < 12; ++k) entries[std::size_t(k)].ph = static_cast<int>(700 + 10 * k);
    entries.erase(entries.begin() + 9, entries.end() - 1);
    entries.back().time = day.addSecs(9000);  // 01:20 to 02:30 is a gap
    append(path, headerLine() + lines(entries, locale));
    const auto s = history::loadSummary(path);
    ASSERT_TRUE(s);
    const qint64 t0 = moment(day);
    const auto columns = history::columnsFor(*s, {t0 + 300, t0 + 3900}, 360);
    ASSERT_TRUE(columns.front().data);
    EXPECT_EQ(columns.front().phFirst, 705);  // halfway from 7.00 to 7.10
    ASSERT_TRUE(columns.back().data);
    EXPECT_EQ(columns.back().phLast, 765);  // at 01:04:50, between 7.60 and 7.70

    const auto overGap = history::columnsFor(*s, {t0 + 4500, t0 + 6600}, 360);
    EXPECT_FALSE(overGap.back().data);
    const auto last = std::find_if(overGap.rbegin(), overGap.rend(),
                                   [](const history::Column& c) { return c.data; });
    ASSERT_NE(last, overGap.rend());
    EXPECT_EQ(last->phLast, 780);  // 01:20, the last line before the gap
}
