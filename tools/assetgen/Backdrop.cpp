#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdint>
#include <random>

#include "AssetDrawing.h"

namespace assetgen {

namespace {

// The standard distributions differ between library vendors; mapping the engine's raw
// output ourselves keeps the picture identical wherever it is regenerated.
class Dice {
public:
    double uniform(double lo, double hi) {
        return lo + (hi - lo) * (static_cast<double>(engine_()) / 4294967296.0);
    }

private:
    std::mt19937 engine_{20240517u};
};

void drawWater(QPainter& p) {
    QLinearGradient water(0, 0, 0, kBackdropHeight);
    water.setColorAt(0.0, QColor(18, 66, 122));
    water.setColorAt(0.35, QColor(9, 40, 88));
    water.setColorAt(1.0, QColor(2, 12, 38));
    p.fillRect(0, 0, kBackdropWidth, kBackdropHeight, water);
}

// Faint shafts of light from the surface, slanting a little, fading with depth.
void drawRays(QPainter& p, Dice& dice) {
    for (int i = 0; i < 6; ++i) {
        const double top = dice.uniform(-40, kBackdropWidth);
        const double width = dice.uniform(14, 40);
        const double slant = dice.uniform(30, 90);
        QPainterPath ray;
        ray.moveTo(top, 0);
        ray.lineTo(top + width, 0);
        ray.lineTo(top + width * 2.2 + slant, kBackdropHeight);
        ray.lineTo(top + slant, kBackdropHeight);
        ray.closeSubpath();
        QLinearGradient fade(0, 0, 0, kBackdropHeight);
        fade.setColorAt(0.0, QColor(150, 200, 255, 34));
        fade.setColorAt(0.8, QColor(150, 200, 255, 0));
        p.fillPath(ray, fade);
    }
}

void drawBubble(QPainter& p, QPointF centre, double r) {
    QRadialGradient body(centre, r, centre + QPointF(-r * 0.35, -r * 0.35));
    body.setColorAt(0.0, QColor(170, 215, 255, 70));
    body.setColorAt(0.75, QColor(90, 150, 220, 40));
    body.setColorAt(1.0, QColor(200, 235, 255, 120));
    p.setBrush(body);
    p.setPen(QPen(QColor(190, 230, 255, 150), r > 4 ? 1.0 : 0.7));
    p.drawEllipse(centre, r, r);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 190));
    const double hr = std::max(0.8, r * 0.28);
    p.drawEllipse(centre + QPointF(-r * 0.4, -r * 0.4), hr, hr);
}

// Bubbles rise in a few streams from the bottom, swelling and wobbling as they go,
// plus a scatter of small loose ones.
void drawBubbles(QPainter& p, Dice& dice) {
    for (int stream = 0; stream < 7; ++stream) {
        const double x0 = dice.uniform(20, kBackdropWidth - 20);
        double y = kBackdropHeight + dice.uniform(0, 20);
        while (y > -10) {
            const double rise = 1.0 - y / kBackdropHeight;
            const double r = 1.6 + rise * dice.uniform(2.0, 5.5);
            // One draw per statement: the order of draws within an expression is up to the
            // compiler, and the picture must not depend on which one built it.
            const double wobble = dice.uniform(-6, 6);
            const double drift = dice.uniform(-10, 10);
            const double x = x0 + wobble + rise * drift;
            drawBubble(p, QPointF(x, y), r);
            y -= r * 2 + dice.uniform(4, 16);
        }
    }
    for (int i = 0; i < 40; ++i) {
        const double r = dice.uniform(0.9, 2.4);
        const double y = dice.uniform(0, kBackdropHeight);
        const double x = dice.uniform(0, kBackdropWidth);
        drawBubble(p, QPointF(x, y), r);
    }
}

}  // namespace

QImage drawBackdrop(int scale) {
    QImage image(kBackdropWidth * scale, kBackdropHeight * scale, QImage::Format_RGB32);
    Dice dice;
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        if (scale != 1) p.scale(scale, scale);
        drawWater(p);
        drawRays(p, dice);
        drawBubbles(p, dice);
    }
    return image.convertToFormat(QImage::Format_RGB888);
}

}  // namespace assetgen
