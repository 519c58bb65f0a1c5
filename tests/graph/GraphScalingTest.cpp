#include <gtest/gtest.h>

#include <QFrame>
#include <QPixmap>
#include <QSet>
#include <cmath>
#include <memory>

#include "GraphTestSupport.h"
#include "graph/Form3.h"

// The graph window on a scaled display. The test registration runs this program once per
// scale factor (QT_SCALE_FACTOR 1.25, 1.5 and 2), and every check works on the window as
// grabbed, in device pixels.
using namespace graph;
using graphtest::rgb;

namespace {

class ScaledGraph : public ::testing::Test {
protected:
    void SetUp() override {
        graphtest::roundCalibration(history);
        history.computeFixedMapping();
        // A flat curve at y = 275 that steps up to y = 230 at sample 300.
        for (int i = 0; i <= 560; ++i) history.PhHistory[i] = i < 300 ? 650 : 680;
        form = std::make_unique<Form3>(
            history,
            [] {
                return HeaderTexts{QStringLiteral("6.99"), QStringLiteral("6.8")};
            },
            clock);
        form->show();
        form->fixedRedraw();
        ratio = form->devicePixelRatioF();
        shot = form->grab().toImage().convertToFormat(QImage::Format_RGB32);
        brush = static_cast<int>(std::floor(ratio));
        origin = surfaceOrigin();
    }

    // Where the surface's first device pixel landed in the grab: the widget's inner corner
    // times the ratio, give or take the rounding of a fraction.
    QPoint surfaceOrigin() const {
        const QPoint inner =
            form->Picture1->mapTo(form.get(), form->Picture1->contentsRect().topLeft());
        const QImage& image = form->image();
        for (int oy = -1; oy <= 1; ++oy) {
            for (int ox = -1; ox <= 1; ++ox) {
                const QPoint at(static_cast<int>(std::floor(inner.x() * ratio)) + ox,
                                static_cast<int>(std::floor(inner.y() * ratio)) + oy);
                if (shot.copy(QRect(at, QSize(40, 40))) == image.copy(0, 0, 40, 40)) return at;
            }
        }
        return {-1, -1};
    }

    // Device position of logical pixel c of the surface.
    int device(int c) const { return static_cast<int>(std::floor(c * ratio + 1e-9)); }
    QRgb at(int x, int y) const { return shot.pixel(origin.x() + x, origin.y() + y); }

    device::MeasurementHistory history;
    device::ManualClock clock{QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53))};
    std::unique_ptr<Form3> form;
    qreal ratio = 1;
    QImage shot;
    int brush = 1;
    QPoint origin;
};

TEST_F(ScaledGraph, SurfaceIsDrawnAtTheScreenRatioAndShownUnstretched) {
    ASSERT_GT(ratio, 1.0) << "run with QT_SCALE_FACTOR set";
    const QImage& image = form->image();
    EXPECT_EQ(image.devicePixelRatio(), ratio);
    EXPECT_GE(image.width(), 637 * ratio);
    EXPECT_GE(image.height(), 381 * ratio);
    ASSERT_NE(origin, QPoint(-1, -1));
    // Every device pixel of the surface reaches the screen as it is: nothing resampled.
    const QRect shown(0, 0, device(637) - 1, device(381) - 1);
    EXPECT_EQ(shot.copy(shown.translated(origin)), image.copy(shown));
}

TEST_F(ScaledGraph, GridDotsStaySeparateWithAGapAfterEach) {
    ASSERT_NE(origin, QPoint(-1, -1));
    const QRgb grid = rgb(bgr::MutedBlue);
    const int y = device(200);  // the 7.00 line
    int dots = 0;
    for (int x = 16; x <= 574; x += 2) {
        // Beside a vertical grid line or an axis a dot may touch it; everywhere else each dot
        // is one brush wide with unlit pixels before and after it.
        if ((x - 15) % 40 == 39 || (x - 15) % 40 == 1) continue;
        const int left = device(x);
        for (int i = 0; i < brush; ++i) EXPECT_EQ(at(left + i, y), grid) << x;
        EXPECT_NE(at(left - 1, y), grid) << x;
        EXPECT_NE(at(left + brush, y), grid) << x;
        ++dots;
    }
    EXPECT_EQ(dots, 280 - 28);
    // Each dot is as tall as it is wide: the rows just above and below hold none.
    for (int x = device(16); x < device(575); ++x) {
        EXPECT_NE(at(x, y - 1), grid) << x;
        EXPECT_NE(at(x, y + brush), grid) << x;
    }
}

TEST_F(ScaledGraph, CurveIsOneCrispEvenStroke) {
    ASSERT_NE(origin, QPoint(-1, -1));
    const QRgb yellow = rgb(bgr::Yellow);
    auto yellowIn = [&](int x1, int y1, int x2, int y2) {
        int n = 0;
        for (int y = y1; y <= y2; ++y)
            for (int x = x1; x <= x2; ++x) n += at(x, y) == yellow;
        return n;
    };
    // The flat part: every column holds exactly one brush of yellow, on the rows of y = 275.
    for (int x = device(100); x < device(300); ++x) {
        EXPECT_EQ(yellowIn(x, device(50), x, device(350)), brush) << x;
        EXPECT_EQ(yellowIn(x, device(275), x, device(275) + brush - 1), brush) << x;
    }
    // The step from y = 275 up to y = 230: no row left out, none thicker than the rest.
    for (int y = device(230) + brush; y < device(275); ++y)
        EXPECT_EQ(yellowIn(device(15), y, device(576), y), brush) << y;
    // Only the palette's own colours in the plot: no smoothed or blended pixels.
    const QSet<QRgb> palette{
        rgb(bgr::DarkBlue), rgb(bgr::MutedBlue), rgb(bgr::LightGrey), rgb(bgr::White), yellow,
        rgb(bgr::Red)};
    for (int y = device(30); y < device(351); ++y)
        for (int x = device(15); x < device(576); ++x)
            ASSERT_TRUE(palette.contains(at(x, y))) << x << "," << y;
}

TEST_F(ScaledGraph, TextIsPrintedAtTheRatioNotStretched) {
    ASSERT_NE(origin, QPoint(-1, -1));
    // The header band holds only black and the texts' own colours.
    const QSet<QRgb> colours{rgb(bgr::Black), rgb(bgr::LightOrange), rgb(bgr::Red),
                             rgb(bgr::LightBlue)};
    const QRect band(0, 0, device(560), device(20));
    for (int y = band.top(); y <= band.bottom(); ++y)
        for (int x = band.left(); x <= band.right(); ++x)
            ASSERT_TRUE(colours.contains(at(x, y))) << x << "," << y;
    // The same frame drawn at 1 and stretched is what this must not be.
    QImage plain = makeSurfaceImage(1);
    drawGraphFrame(plain, history, true, {QStringLiteral("6.99"), QStringLiteral("6.8")},
                   clock.now());
    const QImage stretched =
        plain.scaled(form->image().size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    EXPECT_NE(form->image().copy(band), stretched.copy(band));
}

}  // namespace
