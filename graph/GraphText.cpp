#include "GraphText.h"

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QPainter>

#include "Raster.h"
#include "SurfaceMemory.h"

namespace graph {

namespace {

QFont graphFont() {
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    // Crisp glyphs in their exact colour, like the rest of the pixel-drawn plot.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// What one text leaves on the surface at one place: its lit device pixels and how much of
// each it covers (all or nothing with the unsmoothed font).
struct Sprite {
    struct Pixel {
        int x;
        int y;
        uchar coverage;
    };
    std::vector<Pixel> pixels;
    QRect bounds;  // of the pixels
};

struct SpriteKey {
    QString text;
    int x;
    int y;
    bool operator==(const SpriteKey&) const = default;
};

size_t qHash(const SpriteKey& key, size_t seed = 0) {
    return qHashMulti(seed, key.text, key.x, key.y);
}

// Laying out and rasterising text costs far more than the rest of a redraw, and the graph
// shows the same few texts at the same places frame after frame. Each text is printed once
// onto a black band of a surface of the same size and ratio as the target, as it would be
// printed there, and its pixels are kept; later prints copy them.
class TextSprites {
public:
    const Sprite& find(const QImage& target, int x, int y, const QString& text) {
        if (size_ != target.size() || ratio_ != target.devicePixelRatio() ||
            dotsPerMeter_ != QSize(target.dotsPerMeterX(), target.dotsPerMeterY())) {
            size_ = target.size();
            ratio_ = target.devicePixelRatio();
            dotsPerMeter_ = QSize(target.dotsPerMeterX(), target.dotsPerMeterY());
            sprites_.clear();
        }
        SpriteKey key{text, x, y};
        const auto found = sprites_.constFind(key);
        if (found != sprites_.constEnd()) return *found;
        // Header times change every second; old ones are not worth keeping for long.
        if (sprites_.size() >= 512) sprites_.clear();
        return *sprites_.insert(std::move(key), capture(x, y, text));
    }

private:
    Sprite capture(int x, int y, const QString& text) const {
        const QFont font = graphFont();
        const QFontMetrics metrics(font, nullptr);
        // The glyphs stay within a font height of the text's line and its advance, so that
        // much around them is printed and read. A fresh band each time: no paint engine then
        // outlives the application in a cache that lives until exit.
        const int margin = metrics.height();
        // The characters' own advances, one pixel each added for kerning, reach at least as
        // far as the laid-out text, without the cost of shaping it a second time.
        int advance = 0;
        for (const QChar c : text) advance += metrics.horizontalAdvance(c) + 1;
        const DeviceScale scale(ratio_);
        const QRect area = QRect(QPoint(scale(x - margin), scale(y - margin)),
                                 QPoint(scale(x + advance + margin), scale(y + 2 * margin)))
                               .intersected(QRect(QPoint(0, 0), size_));
        if (area.isEmpty()) return {};
        QImage band(area.size(), QImage::Format_RGB32);
        band.setDevicePixelRatio(ratio_);
        band.setDotsPerMeterX(dotsPerMeter_.width());
        band.setDotsPerMeterY(dotsPerMeter_.height());
        band.fill(Qt::black);
        {
            QPainter painter(&band);
            painter.setFont(font);
            painter.setPen(Qt::white);
            // Shifted by whole device pixels, so the glyphs land as on the surface itself.
            painter.translate(-area.left() / ratio_, -area.top() / ratio_);
            painter.drawText(x, y + painter.fontMetrics().ascent(), text);
        }
        Sprite sprite;
        const int width = band.width();
        for (int row = 0; row < band.height(); ++row) {
            const auto* line = reinterpret_cast<const QRgb*>(band.constScanLine(row));
            for (int column = 0; column < width; ++column) {
                const int coverage = qGreen(line[column]);
                if (coverage == 0) continue;
                const QPoint at(area.left() + column, area.top() + row);
                sprite.pixels.push_back({at.x(), at.y(), static_cast<uchar>(coverage)});
                sprite.bounds |= QRect(at, QSize(1, 1));
            }
        }
        return sprite;
    }

    QSize size_;
    qreal ratio_ = 0;
    QSize dotsPerMeter_;
    QHash<SpriteKey, Sprite> sprites_;
};

TextSprites& textSprites() {
    static TextSprites sprites;
    return sprites;
}

int blend(int over, int under, int coverage) {
    return (over * coverage + under * (255 - coverage) + 127) / 255;
}

}  // namespace

// Each text's top-left corner sits at its point; only the glyphs are painted. Texts go on
// after the pixel work; none of them overlaps a line, so the order is unchanged on screen.
void printTexts(QImage& image, const std::vector<TextItem>& items) {
    TextSprites& sprites = textSprites();
    SurfaceMemory& memory = surfaceMemory();
    SurfaceDamage* const damage = memory.damageFor(image);
    auto* const bits = reinterpret_cast<QRgb*>(image.bits());
    const qsizetype stride = image.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    for (const TextItem& item : items) {
        if (item.text.isEmpty()) continue;
        // The sprites were taken on a surface of this very size, so every pixel fits.
        const Sprite& sprite = sprites.find(image, item.x, item.y, item.text);
        const QRgb colour = item.colour.rgb();
        if (damage && !sprite.bounds.isEmpty()) {
            damage->add(sprite.bounds.left(), sprite.bounds.top(), sprite.bounds.right(),
                        sprite.bounds.bottom());
        }
        for (const Sprite::Pixel& p : sprite.pixels) {
            QRgb* const pixel = bits + p.y * stride + p.x;
            if (p.coverage == 255) {
                *pixel = colour;
                continue;
            }
            *pixel = qRgb(blend(qRed(colour), qRed(*pixel), p.coverage),
                          blend(qGreen(colour), qGreen(*pixel), p.coverage),
                          blend(qBlue(colour), qBlue(*pixel), p.coverage));
        }
    }
    memory.wrote(image);
}

}  // namespace graph
