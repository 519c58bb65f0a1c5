#include <gtest/gtest.h>

#include <cmath>

#include "GraphTestSupport.h"

using namespace graph;
using graphtest::countColour;
using graphtest::isColour;
using graphtest::Newest;

namespace {

// With 700 / 400 the fixed scale puts raw 600 on y = 350 (pH 6), 700 on 200 and 800 on 50.
// The self-defined scale from 6.0 puts raw 650 on y = 200, 640 on 230 and 660 on 170.
class GraphCurves : public ::testing::Test {
protected:
    void SetUp() override {
        graphtest::roundCalibration(history);
        computeScaleMappings(history, 6.0, false);
    }

    QImage fixed(CurveOptions options = {}) {
        QImage image = makeSurfaceImage();
        drawGraphFrame(image, history, false, {}, QDateTime());
        drawFixedScaleGraph(image, history, options);
        return image;
    }

    QImage selfDefined(double minimum = 6.0, bool magnify = false, CurveOptions options = {}) {
        QImage image = makeSurfaceImage();
        drawGraphFrame(image, history, false, {}, QDateTime());
        drawSelfDefinedGraph(image, history, minimum, magnify, options);
        return image;
    }

    void fillPh(int from, int to, int value) {
        for (int i = from; i <= to; ++i) history.PhHistory[i] = value;
    }

    device::MeasurementHistory history;
};

TEST_F(GraphCurves, MappingsFollowTheCalibration) {
    EXPECT_DOUBLE_EQ(history.FixedSlope, -1.5);
    EXPECT_DOUBLE_EQ(history.FixedOffset, 1250);
    EXPECT_DOUBLE_EQ(history.SelfYAtPh7, 50);
    EXPECT_DOUBLE_EQ(history.SelfYAtPh4, 950);
    EXPECT_DOUBLE_EQ(history.SelfSlope, -3);
    EXPECT_DOUBLE_EQ(history.SelfOffset, 2150);
    computeScaleMappings(history, 6.5, true);
    EXPECT_DOUBLE_EQ(history.SelfYAtPh7, 50);
    EXPECT_DOUBLE_EQ(history.SelfYAtPh4, 1850);
    EXPECT_DOUBLE_EQ(history.SelfSlope, -6);
}

TEST_F(GraphCurves, EqualCalibrationKeepsThePreviousMappings) {
    history.RawAtPh7 = 512;
    history.RawAtPh4 = 512;
    computeScaleMappings(history, 7.0, false);
    EXPECT_DOUBLE_EQ(history.FixedSlope, -1.5);
    EXPECT_DOUBLE_EQ(history.FixedOffset, 1250);
    EXPECT_DOUBLE_EQ(history.SelfSlope, -3);
    EXPECT_DOUBLE_EQ(history.SelfOffset, 2150);
    fillPh(0, Newest, 700);
    EXPECT_EQ(countColour(fixed(), QRect(15, 200, 560, 1), bgr::Yellow), 560);
}

TEST_F(GraphCurves, FixedScaleConstantReadingIsAFlatLineWithMarker) {
    fillPh(0, Newest, 700);
    const QImage image = fixed();
    EXPECT_EQ(countColour(image, QRect(15, 200, 560, 1), bgr::Yellow), 560);
    EXPECT_TRUE(isColour(image, 575, 200, bgr::Red));
    EXPECT_EQ(countColour(image, QRect(15, 30, 561, 320), bgr::Yellow), 560);
}

TEST_F(GraphCurves, ClampingToTheValueBand) {
    fillPh(0, 99, 900);        // above 8.00
    fillPh(100, 199, 450);     // below 6.00
    fillPh(200, Newest, 800);  // exactly on the top label line
    const QImage image = fixed();
    EXPECT_EQ(countColour(image, QRect(15, 50, 99, 1), bgr::Yellow), 99);
    EXPECT_EQ(countColour(image, QRect(116, 350, 99, 1), bgr::Yellow), 99);
    EXPECT_EQ(countColour(image, QRect(216, 50, 359, 1), bgr::Yellow), 359);
    EXPECT_EQ(countColour(image, QRect(15, 30, 561, 20), bgr::Yellow), 0);
}

TEST_F(GraphCurves, ZeroReadingsAroundSegments) {
    fillPh(100, 300, 700);
    history.PhHistory[200] = 0;
    const QImage image = fixed();
    // Leading zeros draw nothing; the curve starts at the first sample.
    EXPECT_EQ(countColour(image, QRect(15, 30, 100, 321), bgr::Yellow), 0);
    EXPECT_TRUE(isColour(image, 115, 200, bgr::Yellow));
    // The segment into the zero is drawn down to the bottom line, without its end point.
    EXPECT_TRUE(isColour(image, 214, 220, bgr::Yellow));
    EXPECT_TRUE(isColour(image, 215, 349, bgr::Yellow));
    EXPECT_FALSE(isColour(image, 215, 350, bgr::Yellow));
    // The segment out of the zero is not drawn.
    EXPECT_EQ(countColour(image, QRect(216, 201, 1, 150), bgr::Yellow), 0);
    EXPECT_TRUE(isColour(image, 216, 200, bgr::Yellow));
    // No marker without a newest sample; the trailing segment into zero is drawn.
    EXPECT_FALSE(isColour(image, 575, 350, bgr::Red));
    EXPECT_EQ(countColour(image, QRect(15, 30, 561, 321), bgr::Red), 0);
    EXPECT_TRUE(isColour(image, 315, 200, bgr::Yellow));
    EXPECT_EQ(countColour(image, QRect(317, 30, 260, 321), bgr::Yellow), 0);
}

TEST_F(GraphCurves, SteepSegmentSplitsBetweenItsTwoColumns) {
    history.PhHistory[10] = 800;  // y = 50
    history.PhHistory[11] = 600;  // y = 350
    const QImage image = fixed();
    EXPECT_EQ(countColour(image, QRect(25, 50, 1, 150), bgr::Yellow), 150);
    EXPECT_EQ(countColour(image, QRect(26, 200, 1, 150), bgr::Yellow), 150);
}

TEST_F(GraphCurves, UpwardSegmentKeepsItsStartAndDropsItsEnd) {
    // The last segment shows its end: only the marker lands there.
    history.PhHistory[Newest - 1] = 600;  // y = 350
    history.PhHistory[Newest] = 800;      // y = 50
    const QImage image = fixed();
    EXPECT_TRUE(isColour(image, 574, 350, bgr::Yellow));
    EXPECT_TRUE(isColour(image, 575, 51, bgr::Yellow));
    EXPECT_TRUE(isColour(image, 575, 50, bgr::Red));
}

TEST_F(GraphCurves, ValveBarsStandOnTheAxisOverTheCurve) {
    fillPh(0, Newest, 620);  // y = 320, inside the bars
    history.ValveHistory[10] = 1;
    history.ValveHistory[Newest] = -3;
    EXPECT_EQ(countColour(fixed(), QRect(15, 30, 561, 321), bgr::Orange), 0);
    const QImage image = fixed({false, true});
    EXPECT_EQ(countColour(image, QRect(25, 320, 1, 30), bgr::Orange), 30);
    EXPECT_FALSE(isColour(image, 25, 319, bgr::Orange));
    EXPECT_FALSE(isColour(image, 25, 350, bgr::Orange));
    EXPECT_EQ(countColour(image, QRect(575, 320, 1, 30), bgr::Orange), 30);
    EXPECT_EQ(countColour(image, QRect(15, 30, 561, 321), bgr::Orange), 60);
    EXPECT_TRUE(isColour(image, 24, 320, bgr::Yellow));
}

TEST_F(GraphCurves, LimitLineCoversNeverFilledEntries) {
    for (int i = 0; i < 100; ++i) history.LimitHistory[i] = 700;
    EXPECT_EQ(countColour(fixed(), QRect(15, 30, 561, 321), bgr::Red), 0);
    const QImage image = fixed({true, false});
    EXPECT_EQ(countColour(image, QRect(15, 200, 99, 1), bgr::Red), 99);
    // A zero limit maps below the plot and runs along the bottom axis.
    EXPECT_EQ(countColour(image, QRect(115, 350, 460, 1), bgr::Red), 460);
}

TEST_F(GraphCurves, ZeroMappingPutsEverythingOnTheTopLine) {
    device::MeasurementHistory fresh;
    QImage image = makeSurfaceImage();
    fresh.PhHistory[Newest] = 700;
    drawFixedScaleGraph(image, fresh, {true, false});
    EXPECT_EQ(countColour(image, QRect(15, 50, 560, 1), bgr::Red), 560);
    EXPECT_TRUE(isColour(image, 575, 50, bgr::Red));
}

TEST_F(GraphCurves, SelfDefinedSmoothingFlattensAlternatingReadings) {
    for (int i = 0; i <= Newest; ++i) history.PhHistory[i] = i % 2 ? 660 : 640;
    const QImage image = selfDefined();
    // Samples 0 to 2 are never drawn; the mean of four is 650 everywhere.
    EXPECT_EQ(countColour(image, QRect(15, 30, 3, 321), bgr::Yellow), 0);
    EXPECT_EQ(countColour(image, QRect(18, 200, 557, 1), bgr::Yellow), 557);
    EXPECT_EQ(countColour(image, QRect(15, 30, 561, 321), bgr::Yellow), 557);
    EXPECT_TRUE(isColour(image, 575, 200, bgr::Red));
}

TEST_F(GraphCurves, SelfDefinedZeroSuspendsSmoothingForThreeSegments) {
    for (int i = 0; i <= Newest; ++i) history.PhHistory[i] = i % 2 ? 660 : 640;
    history.PhHistory[300] = 0;
    const QImage image = selfDefined();
    EXPECT_FALSE(isColour(image, 315, 200, bgr::Yellow));  // segment from the zero
    EXPECT_TRUE(isColour(image, 316, 170, bgr::Yellow));   // 660, unsmoothed
    EXPECT_TRUE(isColour(image, 317, 230, bgr::Yellow));   // 640
    EXPECT_TRUE(isColour(image, 318, 170, bgr::Yellow));   // 660
    EXPECT_TRUE(isColour(image, 319, 200, bgr::Yellow));   // smoothed again
    EXPECT_EQ(countColour(image, QRect(320, 30, 1, 321), bgr::Yellow), 1);
    EXPECT_EQ(countColour(image, QRect(320, 30, 255, 321), bgr::Yellow), 255);
}

TEST_F(GraphCurves, SelfDefinedPartlyFilledHistoryStartsUnsmoothed) {
    for (int i = 100; i <= Newest; ++i) history.PhHistory[i] = i % 2 ? 660 : 640;
    const QImage image = selfDefined();
    EXPECT_EQ(countColour(image, QRect(15, 30, 100, 321), bgr::Yellow), 0);
    EXPECT_TRUE(isColour(image, 115, 230, bgr::Yellow));
    EXPECT_TRUE(isColour(image, 116, 170, bgr::Yellow));
    EXPECT_TRUE(isColour(image, 117, 230, bgr::Yellow));
    EXPECT_TRUE(isColour(image, 118, 200, bgr::Yellow));
    EXPECT_EQ(countColour(image, QRect(119, 30, 1, 321), bgr::Yellow), 1);
}

TEST_F(GraphCurves, MagnifyDoublesTheSpreadAboveTheMinimum) {
    history.PhHistory.fill(0);
    fillPh(0, Newest, 660);
    computeScaleMappings(history, 6.5, false);
    EXPECT_EQ(countColour(selfDefined(6.5, false), QRect(18, 320, 557, 1), bgr::Yellow), 557);
    computeScaleMappings(history, 6.5, true);
    EXPECT_EQ(countColour(selfDefined(6.5, true), QRect(18, 290, 557, 1), bgr::Yellow), 557);
    fillPh(0, Newest, 650);  // the minimum stays on the bottom line
    EXPECT_EQ(countColour(selfDefined(6.5, true), QRect(18, 350, 557, 1), bgr::Yellow), 557);
}

TEST_F(GraphCurves, SelfDefinedCurvesAboveTheScaleRunAlongTheTop) {
    fillPh(0, Newest, 650);  // pH 6.5
    computeScaleMappings(history, 3.8, false);
    const QImage image = selfDefined(3.8);
    EXPECT_EQ(countColour(image, QRect(18, 50, 557, 1), bgr::Yellow), 557);
}

}  // namespace
