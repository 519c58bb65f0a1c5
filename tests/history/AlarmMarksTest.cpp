#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "HistoryLogs.h"
#include "history/AlarmMarks.h"
#include "history/HistoryPlot.h"
#include "history/HistoryWindow.h"

using namespace historytest;
using alarms::Alarm;
using history::AlarmMark;

namespace {

const QDateTime Night(QDate(2026, 12, 9), QTime(1, 0, 0));

// A night at a line a second: ten steady minutes, a CO2 overdose from 01:10:00 for
// `lowSeconds`, one odd line at 01:30:00, then steady again.
std::vector<Entry> night(int lowSeconds) {
    auto entries = steady(Night, 3600, 1);
    for (int s = 600; s < 600 + lowSeconds; ++s) entries[s].ph = 680;  // target 7.20 - 0.40
    entries[1800].ph = 300;
    entries[1800].valveOpen = true;
    return entries;
}

}  // namespace

TEST(AlarmMarks, TheLogGivesTheSpanFromTheRaiseToTheClearWithTheProgramsRules) {
    for (const int lowSeconds : {299, 300, 900}) {
        SCOPED_TRACE(lowSeconds);
        std::vector<history::LogLine> lines;
        for (const Entry& e : night(lowSeconds))
            lines.push_back({moment(e.time), static_cast<qint16>(e.ph),
                             static_cast<qint16>(e.target), e.valveOpen});
        history::AlarmMarker marker({});
        marker.feed(lines);
        const qint64 start = moment(Night) + 600;
        if (lowSeconds < 300) {
            // Low for 4 min 59 s, then an odd line far out of range: nothing to mark.
            EXPECT_TRUE(marker.marks().empty());
            continue;
        }
        // The last low line is at start + lowSeconds - 1; raised five minutes after the
        // first, cleared two minutes after the first good one.
        EXPECT_EQ(marker.marks(),
                  (std::vector<AlarmMark>{{Alarm::Low, {start + 300, start + lowSeconds + 120}}}));
    }
}

class AlarmMarksFile : public ::testing::Test {
protected:
    void SetUp() override { QStandardPaths::setTestModeEnabled(true); }
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("log.txt"));
    const QLocale locale{QLocale::German, QLocale::Germany};
};

// Read back from the file in the user's formats, and read on as the file grows: a mark still
// raised at the end of the file runs to its last line and closes once the clear is logged.
TEST_F(AlarmMarksFile, TheWindowMarksThePastAlarmsAndReadsOnAsTheLogGrows) {
    auto entries = steady(Night, 1200, 1);
    for (int s = 600; s < 1200; ++s) entries[s].ph = 680;
    append(path, headerLine() + lines(entries, locale));
    touch(path, entries.back().time);

    history::HistoryWindow window(path, nullptr, history::AlarmView{{}, 4.0});
    QSignalSpy shown(&window, &history::HistoryWindow::alarmMarksShown);
    window.resize(1000, 560);
    window.show();
    ASSERT_TRUE(shown.wait(10000));
    const qint64 raised = moment(Night) + 900;
    const qint64 last = moment(entries.back().time);
    EXPECT_EQ(window.plot()->alarmMarks(), (std::vector<AlarmMark>{{Alarm::Low, {raised, last}}}));

    // Drawn as a red band along the top of the plot over that span, and nowhere else.
    const QImage picture = window.plot()->picture();
    const history::Layout layout = history::layoutFor(picture.size(), window.plot()->span(), {});
    const int y = layout.plot.top() + 1;
    const QRgb red = qRgb(255, 40, 40);
    EXPECT_EQ(picture.pixel(layout.x(raised + 60), y), red);
    EXPECT_NE(picture.pixel(layout.x(raised - 60), y), red);

    auto more = steady(entries.back().time.addSecs(1), 600, 1);
    append(path, lines(more, locale));
    touch(path, more.back().time);
    ASSERT_TRUE(shown.wait(10000));
    EXPECT_EQ(window.plot()->alarmMarks(),
              (std::vector<AlarmMark>{{Alarm::Low, {raised, last + 1 + 120}}}));
}

TEST_F(AlarmMarksFile, WithAKhThePointedLineShowsItsCo2) {
    append(path, headerLine() + lines(steady(Night, 60, 1), locale));
    touch(path, Night.addSecs(59));
    history::Summary summary = *history::loadSummary(path);
    QImage withKh(1000, 500, QImage::Format_RGB32), without = withKh;
    const history::LogLine pointed{moment(Night) + 30, 700, 720, false};
    history::drawHistory(withKh, summary, history::wholeSpan(summary), {pointed, 4.0});
    history::drawHistory(without, summary, history::wholeSpan(summary), {pointed, {}});
    // The readout's right end: empty without a KH, "CO2: 12,0 mg/l" with one.
    const auto inked = [](const QImage& image) {
        int n = 0;
        for (int y = 0; y < 18; ++y)
            for (int x = 600; x < 800; ++x) n += image.pixel(x, y) != qRgb(0, 0, 0);
        return n;
    };
    EXPECT_EQ(inked(without), 0);
    EXPECT_GT(inked(withKh), 50);
}
