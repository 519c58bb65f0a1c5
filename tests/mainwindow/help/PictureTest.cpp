#include <gtest/gtest.h>

#include <QImage>

#include "AssetDrawing.h"
#include "assets/Assets.h"

using namespace assetgen;

TEST(Pictures, ResourcesHaveTheirDesignedSizesAndNoAlpha) {
    const QImage backdrop(assets::backdropPath());
    const QImage table(assets::co2TablePath());
    ASSERT_FALSE(backdrop.isNull());
    ASSERT_FALSE(table.isNull());
    EXPECT_EQ(backdrop.size(), QSize(470, 200));
    EXPECT_EQ(table.size(), QSize(575, 469));
    EXPECT_FALSE(backdrop.hasAlphaChannel());
    EXPECT_FALSE(table.hasAlphaChannel());
    // Their twins for scaled screens: twice as many pixels each way.
    EXPECT_EQ(QImage(QStringLiteral(":/assets/backdrop@2x.png")).size(), QSize(940, 400));
    EXPECT_EQ(QImage(QStringLiteral(":/assets/co2table@2x.png")).size(), QSize(1150, 938));
}

// White text and the value displays sit on the backdrop, so it must stay dark blue nearly
// everywhere: bubbles are allowed to brighten only a few sample points.
TEST(Pictures, BackdropIsMostlyDarkBlue) {
    const QImage backdrop(assets::backdropPath());
    int samples = 0;
    int darkBlue = 0;
    for (int y = 5; y < backdrop.height(); y += 10) {
        for (int x = 5; x < backdrop.width(); x += 10) {
            const QColor c = backdrop.pixelColor(x, y);
            ++samples;
            if (c.blue() > c.red() + 20 && c.blue() > c.green() && c.lightness() < 110) {
                ++darkBlue;
            }
        }
    }
    EXPECT_GT(darkBlue, samples * 9 / 10) << darkBlue << " of " << samples;
}

// The committed pictures must be what the generator draws today. The backdrop has no text,
// so it is compared pixel for pixel; the table's text depends on the fonts installed.
TEST(Pictures, CommittedPicturesMatchTheGenerator) {
    const QImage drawnBackdrop = drawBackdrop();
    EXPECT_EQ(QImage(assets::backdropPath()).convertToFormat(drawnBackdrop.format()), drawnBackdrop)
        << "run vellicor-assetgen assets/ and commit the pictures";
    EXPECT_EQ(QImage(assets::co2TablePath()).size(), drawCo2Table().size());
    const QImage drawnSharp = drawBackdrop(2);
    EXPECT_EQ(
        QImage(QStringLiteral(":/assets/backdrop@2x.png")).convertToFormat(drawnSharp.format()),
        drawnSharp)
        << "run vellicor-assetgen assets/ and commit the pictures";
}

TEST(Pictures, TableCellsCarryTheirBandColours) {
    // Sample the KH 4 row (third data row) in the legend's colours: pH 6.3 too much,
    // 6.6 enough, 7.5 not enough. Cell centres follow the table's fixed grid.
    const QImage table = drawCo2Table();
    const int rowCentreY = 7 + 32 + 24 + 26 + 2 * 26 + 4;
    const auto columnX = [](int column) { return 7 + 54 + column * 39 + 4; };
    EXPECT_EQ(table.pixelColor(columnX(0), rowCentreY), bandColour(Co2Band::TooMuch));
    EXPECT_EQ(table.pixelColor(columnX(3), rowCentreY), bandColour(Co2Band::Enough));
    EXPECT_EQ(table.pixelColor(columnX(12), rowCentreY), bandColour(Co2Band::NotEnough));
}
