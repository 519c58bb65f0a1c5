#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include "assets/Assets.h"
#include "mainwindow/BackdropPanel.h"
#include "mainwindow/Form4.h"

// The pictures on a screen scaled by 2 (the test registration sets QT_SCALE_FACTOR): each
// shows its twin drawn at twice the resolution, pixel for pixel, not itself stretched.
namespace {

QImage rgb32(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB32);
}

TEST(SharpPictures, HelpTableShowsItsTwiceAsFineTwin) {
    mainwindow::Form4 form;
    form.show();
    ASSERT_EQ(form.devicePixelRatioF(), 2.0) << "run with QT_SCALE_FACTOR=2";
    EXPECT_EQ(form.Picture1->pixmap().size(), QSize(575, 469));
    const QImage shown = rgb32(form.Picture1->grab().toImage());
    const QImage sharp = rgb32(QImage(QStringLiteral(":/assets/co2table@2x.png")));
    ASSERT_EQ(sharp.size(), QSize(1150, 938));
    // Inside the one-pixel border, now two device pixels wide.
    EXPECT_EQ(shown.copy(2, 2, 1150, 938), sharp);
}

TEST(SharpPictures, BackdropShowsItsTwiceAsFineTwinCutOffAtTheBorder) {
    mainwindow::BackdropPanel panel;
    panel.resize(444, 183);
    panel.setPicture(QPixmap(assets::backdropPath()), QStringLiteral(":/assets/backdrop@2x.png"));
    panel.show();
    ASSERT_EQ(panel.devicePixelRatioF(), 2.0) << "run with QT_SCALE_FACTOR=2";
    const QImage shown = rgb32(panel.grab().toImage());
    const QImage sharp = rgb32(QImage(QStringLiteral(":/assets/backdrop@2x.png")));
    const int border = 2 * mainwindow::BackdropPanel::BorderWidth;
    const QSize inner(2 * 444 - 2 * border, 2 * 183 - 2 * border);
    EXPECT_EQ(shown.copy(QRect(QPoint(border, border), inner)), sharp.copy(QRect({0, 0}, inner)));
}

}  // namespace
