#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>

#include "GraphTestSupport.h"
#include "graph/DemoHistory.h"
#include "graph/Form3.h"

using namespace graph;
using graphtest::Newest;

namespace {

TEST(FillDemoHistory, FillsTheWholeWindowAndNothingBeyond) {
    device::MeasurementHistory history;
    history.LimitHistory[450] = 777;
    history.PhHistory[Newest + 1] = 1234;
    history.FixedSlope = -2;
    const device::ManualClock clock(QDateTime(QDate(2026, 3, 14), QTime(9, 5, 59)));
    FillDemoHistory(history, clock);

    EXPECT_EQ(history.RawAtPh7, 651);
    EXPECT_EQ(history.RawAtPh4, 253);
    EXPECT_EQ(history.FixedSlope, -2);  // mappings are not recomputed
    int open = 0;
    for (int i = 0; i <= Newest; ++i) {
        EXPECT_GE(history.PhHistory[i], 500);
        EXPECT_LE(history.PhHistory[i], 700);
        EXPECT_GE(history.ValveHistory[i], 0);
        EXPECT_LE(history.ValveHistory[i], 6);
        EXPECT_EQ(history.TimeHistory[i], QStringLiteral("09:05"));
        open += history.ValveHistory[i] != 0;
    }
    // Open for about six samples in seven.
    EXPECT_GT(open, 420);
    EXPECT_LT(open, 540);
    EXPECT_EQ(history.PhHistory[Newest + 1], 1234);
    EXPECT_TRUE(history.TimeHistory[Newest + 1].isEmpty());
}

TEST(FillDemoHistory, LimitStaircaseOverTheFirstFourHundredSamples) {
    device::MeasurementHistory history;
    history.LimitHistory.fill(612);
    FillDemoHistory(history);
    const struct {
        int index;
        int limit;
    } steps[] = {{0, 500},   {99, 500},  {100, 540}, {199, 540}, {200, 640},
                 {299, 640}, {300, 660}, {399, 660}, {400, 612}, {560, 612}};
    for (const auto& s : steps) EXPECT_EQ(history.LimitHistory[s.index], s.limit) << s.index;
}

TEST(FillDemoHistory, GeneratorStaysInItsRangeAndKeepsGoing) {
    double lowest = 1, highest = 0;
    double previous = -1;
    int repeats = 0;
    for (int n = 0; n < 20000; ++n) {
        const double u = demoRandom();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
        lowest = std::min(lowest, u);
        highest = std::max(highest, u);
        repeats += u == previous;
        previous = u;
    }
    EXPECT_LT(lowest, 0.01);
    EXPECT_GT(highest, 0.99);
    EXPECT_EQ(repeats, 0);
}

// The demo on the fixed scale, as the documentation's screenshot shows it. Set
// VELLICOR_SCREENSHOT_DIR to write the picture.
TEST(FillDemoHistory, DemoOnTheFixedScale) {
    device::MeasurementHistory history;
    history.RawAtPh7 = 1;
    const device::ManualClock clock(QDateTime(QDate(2026, 3, 14), QTime(21, 42, 7)));
    Form3 form(
        history,
        [] {
            return HeaderTexts{QStringLiteral("6.84"), QStringLiteral("6.8")};
        },
        clock);
    form.Check1->setChecked(true);
    form.Check4->setChecked(true);
    // A first fill (the other demo button) brings the demo calibration, so the mapping
    // computed next spans the band.
    FillDemoHistory(history, clock);
    form.ComputeScaleMappings();
    form.DrawGraphFrame();
    FillDemoHistory(history, clock);
    form.DrawFixedScaleGraph();
    const QImage& image = form.image();
    const QRgb yellow = fromBgr(bgr::Yellow).rgb();
    int top = 350, bottom = 50;
    for (int y = 50; y <= 350; ++y)
        for (int x = 15; x < 575; ++x)
            if (image.pixel(x, y) == yellow) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    // Readings 500 to 700 span about pH 5.86 to 7.37: from the bottom axis to near 7.40.
    EXPECT_EQ(bottom, 350);
    EXPECT_GE(top, 140);
    EXPECT_LE(top, 160);

    if (const QByteArray dir = qgetenv("VELLICOR_SCREENSHOT_DIR"); !dir.isEmpty()) {
        form.show();
        const QString path = QDir(QString::fromLocal8Bit(dir)).filePath("graph-window.png");
        EXPECT_TRUE(form.grab().save(path));
        form.hide();
    }
}

}  // namespace
