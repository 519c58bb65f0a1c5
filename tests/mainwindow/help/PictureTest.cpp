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

// The shipped pictures must be what the generator draws today, pixel for pixel. The table's
// text is drawn in Liberation Sans, which the build's packages install.
TEST(Pictures, ShippedPicturesMatchTheGenerator) {
    const struct {
        QString path;
        QImage drawn;
    } pictures[] = {
        {assets::backdropPath(), drawBackdrop()},
        {QStringLiteral(":/assets/backdrop@2x.png"), drawBackdrop(2)},
        {assets::co2TablePath(), drawCo2Table()},
        {QStringLiteral(":/assets/co2table@2x.png"), drawCo2Table(2)},
    };
    for (const auto& picture : pictures) {
        EXPECT_EQ(QImage(picture.path).convertToFormat(picture.drawn.format()), picture.drawn)
            << picture.path.toStdString() << ": run vellicor-assetgen assets/ and commit it";
    }
}

TEST(Pictures, TableCellsCarryTheirBandColours) {
    // Sample the KH 4 row (third data row) in the legend's colours: pH 6.3 too much,
    // 6.6 enough, 7.5 not enough. Cell centres follow the table's fixed grid.
    const QImage table(assets::co2TablePath());
    const int rowCentreY = 7 + 32 + 24 + 26 + 2 * 26 + 4;
    const auto columnX = [](int column) { return 7 + 54 + column * 39 + 4; };
    EXPECT_EQ(table.pixelColor(columnX(0), rowCentreY), bandColour(Co2Band::TooMuch));
    EXPECT_EQ(table.pixelColor(columnX(3), rowCentreY), bandColour(Co2Band::Enough));
    EXPECT_EQ(table.pixelColor(columnX(12), rowCentreY), bandColour(Co2Band::NotEnough));
}
