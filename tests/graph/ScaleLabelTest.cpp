#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "GraphTestSupport.h"

using namespace graph;

namespace {

TEST(ScaleLabelText, RoundsPadsAndLeavesABlankForTheSign) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {6, " 6.00"},
        {6.5, " 6.50"},
        {6.55, " 6.55"},
        {10, " 10"},
        {9.9, " 9.90"},
        {3.8, " 3.80"},
        {6.549, " 6.55"},
        {6.5 + 10 * 0.05, " 7.00"},
        {9.0 + 10 * 0.1, " 10"},
        {-1, "-1.00"},
        {12.5, " 12.5"},
        {0.5, " 0.50"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scaleLabelText(c.value), QString::fromLatin1(c.text)) << c.value;
}

QStringList texts(const std::vector<ScaleLabel>& labels) {
    QStringList out;
    for (const ScaleLabel& label : labels) out << label.text;
    return out;
}

TEST(SelfDefinedLabels, ElevenLabelsFromTheMinimum) {
    double last = 0;
    EXPECT_EQ(texts(selfDefinedLabels(9.0, false, &last)),
              QStringList({" 9.00", " 9.10", " 9.20", " 9.30", " 9.40", " 9.50", " 9.60", " 9.70",
                           " 9.80", " 9.90", " 10"}));
    EXPECT_NEAR(last, 10.0, 1e-9);
    EXPECT_EQ(texts(selfDefinedLabels(3.8, false)),
              QStringList({" 3.80", " 3.90", " 4.00", " 4.10", " 4.20", " 4.30", " 4.40", " 4.50",
                           " 4.60", " 4.70", " 4.80"}));
    EXPECT_EQ(texts(selfDefinedLabels(6.5, true)),
              QStringList({" 6.50", " 6.55", " 6.60", " 6.65", " 6.70", " 6.75", " 6.80", " 6.85",
                           " 6.90", " 6.95", " 7.00"}));
}

TEST(SelfDefinedLabels, ColourJudgedOnTheRoundedValue) {
    const auto magnified = selfDefinedLabels(6.5, true);
    for (int n = 0; n < 10; ++n) EXPECT_EQ(magnified[n].colour, fromBgr(bgr::LightRed)) << n;
    EXPECT_EQ(magnified[10].colour, fromBgr(bgr::LightGreen));
    for (const ScaleLabel& label : selfDefinedLabels(3.8, false))
        EXPECT_EQ(label.colour, fromBgr(bgr::LightRed));
    const auto around7 = selfDefinedLabels(6.6, false);
    EXPECT_EQ(around7[3].colour, fromBgr(bgr::LightRed));
    EXPECT_EQ(around7[4].colour, fromBgr(bgr::LightGreen));
    EXPECT_EQ(around7[5].colour, fromBgr(bgr::LightBlue));
}

TEST(SelfDefinedLabels, ColoursLandOnTheImageAtTheirRows) {
    device::MeasurementHistory history;
    QImage image = makeSurfaceImage();
    drawGraphFrame(image, history, false, {}, QDateTime());
    drawSelfDefinedGraph(image, history, 6.5, true, {});
    EXPECT_NEAR(history.ScaleLabelValue, 7.0, 1e-9);
    using graphtest::countColour;
    EXPECT_GT(countColour(image, QRect(592, 44, 40, 14), bgr::LightGreen), 5);
    EXPECT_EQ(countColour(image, QRect(592, 44, 40, 14), bgr::LightRed), 0);
    for (int y = 74; y <= 344; y += 30) {
        EXPECT_GT(countColour(image, QRect(592, y, 40, 14), bgr::LightRed), 5) << y;
        EXPECT_EQ(countColour(image, QRect(592, y, 40, 14), bgr::LightGreen), 0) << y;
    }
}

TEST(FixedScaleLabels, ColoursByRow) {
    device::MeasurementHistory history;
    QImage image = makeSurfaceImage();
    drawGraphFrame(image, history, false, {}, QDateTime());
    drawFixedScaleGraph(image, history, {});
    using graphtest::countColour;
    for (int y = 44; y <= 344; y += 30) {
        const quint32 colour = y > 194    ? bgr::LightRed
                               : y == 194 ? bgr::LightGreen
                                          : bgr::LightBlue;
        EXPECT_GT(countColour(image, QRect(592, y, 40, 14), colour), 5) << y;
    }
}

TEST(ParseMinScale, CommaOrPeriodAndNothingElse) {
    EXPECT_EQ(parseMinScale(QStringLiteral("6,5")), 6.5);
    EXPECT_EQ(parseMinScale(QStringLiteral("6.5")), 6.5);
    EXPECT_EQ(parseMinScale(QStringLiteral(" 7,0 ")), 7.0);
    EXPECT_EQ(parseMinScale(QStringLiteral("3,8")), 3.8);
    for (const char* bad : {"", "abc", "6,5,1", "6;5", "inf", "nan", "1e400", "-"})
        EXPECT_FALSE(parseMinScale(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST(ClampY, KeepsInsideTheValueBand) {
    EXPECT_EQ(clampY(49.4), 50);
    EXPECT_EQ(clampY(-1e300), 50);
    EXPECT_EQ(clampY(350.4), 350);
    EXPECT_EQ(clampY(1e300), 350);
    EXPECT_EQ(clampY(200.6), 201);
    EXPECT_EQ(clampY(std::numeric_limits<double>::quiet_NaN()), 50);
}

}  // namespace
