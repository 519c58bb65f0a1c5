#include <gtest/gtest.h>

#include <QPainter>

#include "GraphTestSupport.h"
#include "graph/SurfaceMemory.h"

using namespace graph;
using graphtest::countColour;
using graphtest::isColour;

namespace {

class GraphFrame : public ::testing::Test {
protected:
    QImage draw(bool showGrid = true) {
        QImage image = makeSurfaceImage();
        drawGraphFrame(image, history, showGrid, header, now);
        return image;
    }

    device::MeasurementHistory history;
    HeaderTexts header{QStringLiteral("6.99"), QStringLiteral("6.8")};
    QDateTime now{QDate(2026, 3, 14), QTime(9, 26, 53)};
};

TEST_F(GraphFrame, FillsCoverSurfaceAndPlotAreaAndEraseOldDrawing) {
    QImage image = makeSurfaceImage();
    image.fill(Qt::yellow);  // a previous plot
    drawGraphFrame(image, history, false, header, now);

    EXPECT_TRUE(isColour(image, 0, 0, bgr::Black));
    EXPECT_TRUE(isColour(image, SurfaceWidth - 1, SurfaceHeight - 1, bgr::Black));
    EXPECT_TRUE(isColour(image, 14, 200, bgr::Black));
    EXPECT_TRUE(isColour(image, 300, 29, bgr::Black));
    // Inside the plot only the dark blue fill, the axes and the bottom ticks remain.
    const QRect inside(16, 30, 559, 320);
    EXPECT_EQ(countColour(image, inside, bgr::DarkBlue), inside.width() * inside.height());
    EXPECT_EQ(countColour(image, image.rect(), 0x00FFFF), 0);
}

// A frame laid on the surface drawn last fills again only what was drawn over the last one.
// Whatever was drawn, at any ratio, with the grid switched and after the surface was painted
// on by other means, the result must be exactly what a fresh surface shows.
TEST_F(GraphFrame, RedrawOnTheSameSurfaceEqualsAFreshOne) {
    graphtest::roundCalibration(history);
    history.computeFixedMapping();
    computeScaleMappings(history, 6.0, false);
    const auto drawStep = [&](QImage& image, int step) {
        for (int i = 0; i <= 560; ++i) {
            history.PhHistory[i] = 400 + (i * (step + 3) * 37 + step * 101) % 420;
            history.ValveHistory[i] = (i + step) % 3 == 0;
            history.LimitHistory[i] = 600 + step * 20;
            history.TimeHistory[i] =
                QStringLiteral("%1:%2").arg(9 + step).arg(i % 60, 2, 10, QLatin1Char('0'));
        }
        const bool grid = step != 3;
        const HeaderTexts h{QString::number(6.5 + step / 10.0), header.targetPh};
        drawGraphFrame(image, history, grid, h, now.addSecs(step));
        const CurveOptions options{step % 3 != 0, step % 2 == 0};
        if (step % 2 == 1)
            drawSelfDefinedGraph(image, history, 6.0 + step / 10.0, step == 5, options);
        else
            drawFixedScaleGraph(image, history, options);
    };
    constexpr int Steps = 7;
    for (const qreal ratio : {1.0, 1.25, 2.0}) {
        std::vector<QImage> fresh;
        for (int step = 0; step < Steps; ++step) {
            fresh.push_back(makeSurfaceImage(ratio));
            drawStep(fresh.back(), step);
        }
        QImage kept = makeSurfaceImage(ratio);
        for (int step = 0; step < Steps; ++step) {
            if (step == 5) {
                QPainter painter(&kept);
                painter.fillRect(QRect(100, 100, 50, 50), Qt::green);
            }
            // Only the first drawing, the grid's switches and the painting lay it in full.
            const bool quick = step != 0 && step != 3 && step != 4 && step != 5;
            EXPECT_EQ(surfaceMemory().drawnOverFrame(kept, step != 3) != nullptr, quick)
                << ratio << " " << step;
            drawStep(kept, step);
            EXPECT_TRUE(kept == fresh[static_cast<std::size_t>(step)]) << ratio << " " << step;
        }
    }
}

TEST_F(GraphFrame, ThreeAxesWithoutTop) {
    const QImage image = draw(false);
    for (int y = 30; y < 350; ++y) {
        EXPECT_TRUE(isColour(image, 15, y, bgr::LightGrey)) << y;
        // Right-hand ticks start on the axis every 15 rows.
        const quint32 right = y >= 50 && (350 - y) % 15 == 0 ? bgr::White : bgr::LightGrey;
        EXPECT_TRUE(isColour(image, 575, y, right)) << y;
    }
    // The bottom axis stops short of its end point, where the right-hand tick starts.
    for (int x = 15; x < 575; ++x) EXPECT_TRUE(isColour(image, x, 350, bgr::LightGrey)) << x;
    EXPECT_TRUE(isColour(image, 575, 350, bgr::White));
    for (int x = 16; x < 575; ++x) EXPECT_TRUE(isColour(image, x, 30, bgr::DarkBlue)) << x;
}

TEST_F(GraphFrame, GridDotsAreSinglePixelsEverySecondOne) {
    const QImage image = draw(true);
    for (int y = 50; y <= 320; y += 30) {
        int dots = 0;
        for (int x = 16; x <= 574; x += 2) dots += isColour(image, x, y, bgr::MutedBlue);
        EXPECT_EQ(dots, 280) << y;
        // Between the dots only the vertical grid lines cross.
        EXPECT_EQ(countColour(image, QRect(16, y, 559, 1), bgr::MutedBlue), 280 + 13) << y;
    }
    for (int x = 55; x <= 535; x += 40)
        EXPECT_EQ(countColour(image, QRect(x, 30, 1, 320), bgr::MutedBlue), 160) << x;
    // No grid on the bottom label line, nor on the rows and columns between.
    EXPECT_EQ(countColour(image, QRect(15, 351, 600, 1), bgr::MutedBlue), 0);
    EXPECT_EQ(countColour(image, QRect(16, 51, 559, 1), bgr::MutedBlue), 0);
    EXPECT_EQ(countColour(image, QRect(75, 30, 1, 320), bgr::MutedBlue), 0);
}

TEST_F(GraphFrame, NoGridWhenSwitchedOff) {
    const QImage image = draw(false);
    EXPECT_EQ(countColour(image, image.rect(), bgr::MutedBlue), 0);
    EXPECT_TRUE(isColour(image, 15, 100, bgr::LightGrey));
}

TEST_F(GraphFrame, RightTicksShortEveryHalfStepLongAtFixedScaleLines) {
    const QImage image = draw();
    for (int h = 0; h <= 300; h += 15) {
        const int y = 350 - h;
        const bool isLong = h % 150 == 0;
        const int end = isLong ? 585 : 579;
        for (int x = 576; x < end; ++x)
            EXPECT_TRUE(isColour(image, x, y, bgr::White)) << x << "," << y;
        EXPECT_FALSE(isColour(image, end, y, bgr::White)) << y;
    }
    EXPECT_FALSE(isColour(image, 578, 349, bgr::White));
}

TEST_F(GraphFrame, BottomTicksAreDottedAndStartBelowTheAxis) {
    const QImage image = draw();
    // Every 40 pixels both dotted ticks meet and fill the three rows under the axis.
    for (int x = 15; x <= 575; x += 40) {
        for (int y = 351; y <= 353; ++y) EXPECT_TRUE(isColour(image, x, y, bgr::White)) << x;
        EXPECT_FALSE(isColour(image, x, 354, bgr::White));
    }
    for (int x = 35; x <= 555; x += 40) {
        EXPECT_TRUE(isColour(image, x, 352, bgr::White)) << x;
        EXPECT_FALSE(isColour(image, x, 351, bgr::White)) << x;
        EXPECT_FALSE(isColour(image, x, 353, bgr::White)) << x;
    }
    EXPECT_FALSE(isColour(image, 25, 352, bgr::White));
}

TEST_F(GraphFrame, TimeLabelsOnlyForFilledEntries) {
    history.TimeHistory[0] = QStringLiteral("08:15");
    history.TimeHistory[280] = QStringLiteral("10:35:59");  // only the first 5 characters
    const QImage image = draw();
    auto labelArea = [](int k) { return QRect(40 * k + 3, 360, 38, 21); };
    EXPECT_GT(countColour(image, labelArea(0), bgr::LightBlue), 5);
    EXPECT_GT(countColour(image, labelArea(7), bgr::LightBlue), 5);
    EXPECT_EQ(countColour(image, labelArea(14), bgr::LightBlue), 0);
    EXPECT_EQ(countColour(image, QRect(0, 355, SurfaceWidth, 26), bgr::LightBlue),
              countColour(image, labelArea(0), bgr::LightBlue) +
                  countColour(image, labelArea(7), bgr::LightBlue));

    // The same label truncated to five characters paints the same pixels.
    history.TimeHistory[280] = QStringLiteral("10:35");
    const QImage shorter = draw();
    EXPECT_EQ(image.copy(labelArea(7)), shorter.copy(labelArea(7)));
}

TEST_F(GraphFrame, EmptyHistoryDrawsNoTimeLabels) {
    const QImage image = draw();
    EXPECT_EQ(countColour(image, QRect(0, 355, SurfaceWidth, 26), bgr::LightBlue), 0);
}

TEST_F(GraphFrame, HeaderColoursAtTheirPositions) {
    const QImage image = draw();
    struct Item {
        QRect area;
        quint32 colour;
    };
    const Item items[] = {
        {{30, 3, 25, 14}, bgr::LightOrange},   // "Date:"
        {{57, 3, 90, 14}, bgr::LightOrange},   // date
        {{150, 3, 25, 14}, bgr::LightOrange},  // "Time:"
        {{177, 3, 90, 14}, bgr::LightOrange},  // time
        {{280, 3, 38, 14}, bgr::Red},          // "Limit:"
        {{320, 3, 40, 14}, bgr::Red},          // target pH
        {{400, 3, 28, 14}, bgr::LightBlue},    // "pH:"
        {{430, 3, 40, 14}, bgr::LightBlue},    // measured pH
        {{593, 18, 20, 14}, bgr::LightGrey},   // axis title
    };
    for (const Item& item : items)
        EXPECT_GT(countColour(image, item.area, item.colour), 3) << item.area.x();
    EXPECT_EQ(countColour(image, QRect(0, 0, SurfaceWidth, 3), bgr::Red), 0);
}

TEST_F(GraphFrame, HeaderFollowsTheMainWindowTexts) {
    header = {};
    const QImage empty = draw();
    EXPECT_EQ(countColour(empty, QRect(430, 3, 60, 14), bgr::LightBlue), 0);
    EXPECT_EQ(countColour(empty, QRect(320, 3, 60, 14), bgr::Red), 0);
    header = {QStringLiteral("7.12"), QStringLiteral("6.9")};
    const QImage shown = draw();
    EXPECT_GT(countColour(shown, QRect(430, 3, 60, 14), bgr::LightBlue), 3);
    EXPECT_GT(countColour(shown, QRect(320, 3, 60, 14), bgr::Red), 3);
}

TEST(Colours, FromBgrPutsRedInTheLowByte) {
    EXPECT_EQ(fromBgr(0x5A0000), QColor(0, 0, 0x5A));
    EXPECT_EQ(fromBgr(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(fromBgr(0x625208), QColor(0x08, 0x52, 0x62));
}

}  // namespace
