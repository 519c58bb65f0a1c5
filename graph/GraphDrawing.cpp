#include "GraphDrawing.h"

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QLocale>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "device/FrameFormat.h"

namespace graph {

using device::MeasurementHistory;

QColor fromBgr(quint32 bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

namespace {

QRgb rgbOf(quint32 bgr) {
    return fromBgr(bgr).rgb();
}

// Where logical pixel c begins on the device, and how wide a stroke is there. Every logical
// pixel starts at floor(c x ratio); dots are squares and lines strokes of floor(ratio) device
// pixels, so at 1.25 and 1.5 a grid dot keeps an unlit gap after it and a line keeps one
// thickness along its whole length. At ratio 1 this is the identity.
class DeviceScale {
public:
    explicit DeviceScale(qreal ratio)
        : ratio_(ratio > 0 ? ratio : 1),
          brush_(std::max(1, static_cast<int>(std::floor(ratio_ + 1e-9)))) {}

    int operator()(int c) const {
        return ratio_ == 1 ? c : static_cast<int>(std::floor(c * ratio_ + 1e-9));
    }
    int brush() const { return brush_; }

private:
    qreal ratio_;
    int brush_;
};

// Pixel-exact drawing straight into the image. QPainter's aliased lines drop the end point
// only when drawn downwards, and the ticks and upward curve segments must keep their start
// and lose their end like every other line here.
class Raster {
public:
    explicit Raster(QImage& image)
        : bits_(reinterpret_cast<QRgb*>(image.bits())),
          stride_(image.bytesPerLine() / static_cast<int>(sizeof(QRgb))),
          width_(image.width()),
          height_(image.height()),
          scale_(image.devicePixelRatio()) {}

    void point(int x, int y, QRgb colour) { brushAt(scale_(x), scale_(y), colour); }

    // Both corners belong to the rectangle.
    void fill(int x1, int y1, int x2, int y2, QRgb colour) {
        fillDevice(scale_(std::min(x1, x2)), scale_(std::min(y1, y2)),
                   scale_(std::max(x1, x2) + 1) - 1, scale_(std::max(y1, y2) + 1) - 1, colour);
    }
    // The whole image but the rectangle with these corners: with a fill of the rectangle
    // after it, the same as filling everything first, without writing the pixels twice.
    void fillAround(int x1, int y1, int x2, int y2, QRgb colour) {
        const int left = scale_(std::min(x1, x2));
        const int top = scale_(std::min(y1, y2));
        const int right = scale_(std::max(x1, x2) + 1) - 1;
        const int bottom = scale_(std::max(y1, y2) + 1) - 1;
        fillDevice(0, 0, width_ - 1, top - 1, colour);
        fillDevice(0, top, left - 1, bottom, colour);
        fillDevice(right + 1, top, width_ - 1, bottom, colour);
        fillDevice(0, bottom + 1, width_ - 1, height_ - 1, colour);
    }

    // One stroke from the first point towards the second, without the second.
    void line(int x1, int y1, int x2, int y2, QRgb colour) {
        deviceLine(scale_(x1), scale_(y1), scale_(x2), scale_(y2), colour);
    }

    // Every other pixel of the line lit, starting with the first; each lit pixel is a dot.
    void dottedLine(int x1, int y1, int x2, int y2, QRgb colour) {
        const int dx = std::abs(x2 - x1);
        const int dy = std::abs(y2 - y1);
        const int sx = x2 >= x1 ? 1 : -1;
        const int sy = y2 >= y1 ? 1 : -1;
        const int steps = std::max(dx, dy);
        for (int k = 0; k < steps; k += 2) {
            if (dx >= dy)
                point(x1 + sx * k, y1 + sy * ((2 * k * dy + dx) / (2 * dx)), colour);
            else
                point(x1 + sx * ((2 * k * dx + dy) / (2 * dy)), y1 + sy * k, colour);
        }
    }

private:
    void pixel(int x, int y, QRgb colour) {
        if (static_cast<unsigned>(x) < static_cast<unsigned>(width_) &&
            static_cast<unsigned>(y) < static_cast<unsigned>(height_))
            bits_[y * stride_ + x] = colour;
    }

    void brushAt(int x, int y, QRgb colour) {
        const int size = scale_.brush();
        if (size == 1) return pixel(x, y, colour);
        for (int j = 0; j < size; ++j)
            for (int i = 0; i < size; ++i) pixel(x + i, y + j, colour);
    }

    void fillDevice(int x1, int y1, int x2, int y2, QRgb colour) {
        const int left = std::max(0, x1);
        const int right = std::min(width_ - 1, x2);
        const int top = std::max(0, y1);
        const int bottom = std::min(height_ - 1, y2);
        if (left > right || top > bottom) return;
        for (int y = top; y <= bottom; ++y)
            std::fill(bits_ + y * stride_ + left, bits_ + y * stride_ + right + 1, colour);
    }

    // The minor coordinate of step k is k x minor / major rounded half up, kept as a running
    // quotient and remainder instead of a division per pixel.
    void deviceLine(int x1, int y1, int x2, int y2, QRgb colour) {
        const int dx = std::abs(x2 - x1);
        const int dy = std::abs(y2 - y1);
        const int sx = x2 >= x1 ? 1 : -1;
        const int sy = y2 >= y1 ? 1 : -1;
        const bool alongX = dx >= dy;
        const int major = alongX ? dx : dy;
        const int minor = alongX ? dy : dx;
        const int size = scale_.brush();
        const bool inside = std::min(x1, x2) >= 0 && std::max(x1, x2) + size <= width_ &&
                            std::min(y1, y2) >= 0 && std::max(y1, y2) + size <= height_;
        if (inside && size == 1) {
            // The common case, a curve segment or a bar: step through memory directly.
            const qsizetype majorStep = alongX ? sx : sy * qsizetype{stride_};
            const qsizetype minorStep = alongX ? sy * qsizetype{stride_} : sx;
            qsizetype at = y1 * qsizetype{stride_} + x1;
            int remainder = major;
            for (int k = 0; k < major; ++k) {
                bits_[at] = colour;
                at += majorStep;
                remainder += 2 * minor;
                if (remainder >= 2 * major) {
                    at += minorStep;
                    remainder -= 2 * major;
                }
            }
            return;
        }
        // A wider stroke widens each step across the line only, so every column of a flat
        // line and every row of a steep one holds exactly one brush width.
        int offset = 0;
        int remainder = major;
        for (int k = 0; k < major; ++k) {
            for (int w = 0; w < size; ++w) {
                if (alongX)
                    pixel(x1 + sx * k, y1 + sy * offset + w, colour);
                else
                    pixel(x1 + sx * offset + w, y1 + sy * k, colour);
            }
            remainder += 2 * minor;
            if (remainder >= 2 * major) {
                ++offset;
                remainder -= 2 * major;
            }
        }
    }

    QRgb* bits_;
    int stride_;
    int width_;
    int height_;
    DeviceScale scale_;
};

struct TextItem {
    int x;
    int y;
    QString text;
    QColor colour;
};

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
        const DeviceScale scale(ratio_);
        const QRect area = QRect(QPoint(scale(x - margin), scale(y - margin)),
                                 QPoint(scale(x + metrics.horizontalAdvance(text) + margin),
                                        scale(y + 2 * margin)))
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
                if (coverage != 0)
                    sprite.pixels.push_back(
                        {area.left() + column, area.top() + row, static_cast<uchar>(coverage)});
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

// Each text's top-left corner sits at its point; only the glyphs are painted. Texts go on
// after the pixel work; none of them overlaps a line, so the order is unchanged on screen.
void printTexts(QImage& image, const std::vector<TextItem>& items) {
    TextSprites& sprites = textSprites();
    auto* const bits = reinterpret_cast<QRgb*>(image.bits());
    const qsizetype stride = image.bytesPerLine() / static_cast<qsizetype>(sizeof(QRgb));
    for (const TextItem& item : items) {
        if (item.text.isEmpty()) continue;
        // The sprites were taken on a surface of this very size, so every pixel fits.
        const Sprite& sprite = sprites.find(image, item.x, item.y, item.text);
        const QRgb colour = item.colour.rgb();
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
}

void ensureFormat(QImage& image) {
    if (image.isNull()) image = makeSurfaceImage();
    if (image.format() != QImage::Format_RGB32) image = image.convertToFormat(QImage::Format_RGB32);
}

// Fills, axes, grid and ticks. Plain pixel work, cheaper to repeat than to keep a copy of.
void drawFramePixels(QImage& image, bool showGrid) {
    Raster raster(image);
    // Black from (0, 0) to (700, 380), which reaches past every edge of the surface, then the
    // plot area over it.
    raster.fillAround(PlotLeft, PlotTop, PlotRight, PlotBottom, rgbOf(bgr::Black));
    raster.fill(PlotLeft, PlotTop, PlotRight, PlotBottom, rgbOf(bgr::DarkBlue));

    const QRgb grey = rgbOf(bgr::LightGrey);
    raster.line(PlotLeft, PlotBottom, PlotRight, PlotBottom, grey);
    raster.line(PlotLeft, PlotTop, PlotLeft, PlotBottom, grey);
    raster.line(PlotRight, PlotTop, PlotRight, PlotBottom, grey);

    if (showGrid) {
        // Single pixels, every second one lit, so the dots never join into a line.
        const QRgb grid = rgbOf(bgr::MutedBlue);
        for (int h = 30; h <= 300; h += 30)
            for (int x = 16; x <= 574; x += 2) raster.point(x, PlotBottom - h, grid);
        for (int x = 55; x <= 535; x += 40)
            for (int y = 30; y <= 348; y += 2) raster.point(x, y, grid);
    }

    const QRgb white = rgbOf(bgr::White);
    for (int h = 0; h <= 300; h += 15)
        raster.line(PlotRight, PlotBottom - h, PlotRight + 4, PlotBottom - h, white);
    for (int h = 0; h <= 300; h += 150)
        raster.line(PlotRight, PlotBottom - h, PlotRight + 10, PlotBottom - h, white);

    for (int x = 15; x <= 575; x += 40) raster.dottedLine(x, 353, x, 350, white);
    for (int x = 15; x <= 575; x += 20) raster.dottedLine(x, 352, x, 350, white);
}

int mapY(double offset, double slope, double raw) {
    return clampY(offset + slope * raw);
}

void drawLimitLine(Raster& raster, const MeasurementHistory& h, double offset, double slope) {
    const QRgb red = rgbOf(bgr::Red);
    for (int i = 0; i < MeasurementHistory::HistoryNewest; ++i) {
        const int y1 = mapY(offset, slope, h.LimitHistory[i]);
        const int y2 = mapY(offset, slope, h.LimitHistory[i + 1]);
        raster.line(PlotLeft + i, y1, PlotLeft + 1 + i, y2, red);
    }
}

void drawValveBars(Raster& raster, const MeasurementHistory& h) {
    const QRgb orange = rgbOf(bgr::Orange);
    for (int i = 0; i <= MeasurementHistory::HistoryNewest; ++i) {
        if (h.ValveHistory[i] != 0)
            raster.line(PlotLeft + i, PlotBottom - 30, PlotLeft + i, PlotBottom, orange);
    }
}

// The last segment's right end marks the newest sample, if there is one.
void markNewest(Raster& raster, const MeasurementHistory& h, int i, int y2) {
    if (i == MeasurementHistory::HistoryNewest - 1 && h.PhHistory[i + 1] != 0)
        raster.point(PlotRight, y2, rgbOf(bgr::Red));
}

// Each label adds one step to the last, and the colour rule sees that accumulated value.
void DrawNextScaleLabel(double& scaleLabelValue, double step, std::vector<ScaleLabel>& labels) {
    scaleLabelValue += step;
    labels.push_back({scaleLabelText(scaleLabelValue), ColourScaleLabel(scaleLabelValue)});
}

}  // namespace

int clampY(double y) {
    if (!(y >= ScaleTop)) return ScaleTop;  // also catches NaN
    if (y > PlotBottom) return PlotBottom;
    return static_cast<int>(std::lround(y));
}

std::optional<double> parseMinScale(const QString& text) {
    QString normalized = text.trimmed();
    normalized.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = QLocale::c().toDouble(normalized, &ok);
    if (!ok || !std::isfinite(value)) return std::nullopt;
    return value;
}

QString scaleLabelText(double value) {
    const double rounded = device::roundHalfEven(value, 2);
    QString digits = QString::number(std::abs(rounded), 'f', 2);
    while (digits.endsWith(QLatin1Char('0'))) digits.chop(1);
    if (digits.endsWith(QLatin1Char('.'))) digits.chop(1);
    const bool negative = rounded < 0 && digits != QLatin1String("0");
    QString text = (negative ? QStringLiteral("-") : QStringLiteral(" ")) + digits;
    if (text.size() == 4) text += QLatin1Char('0');
    if (text.size() == 2) text += QStringLiteral(".00");
    return text;
}

QColor ColourScaleLabel(double value) {
    const double rounded = device::roundHalfEven(value, 2);
    if (rounded < 7) return fromBgr(bgr::LightRed);
    if (rounded == 7) return fromBgr(bgr::LightGreen);
    return fromBgr(bgr::LightBlue);
}

std::vector<ScaleLabel> selfDefinedLabels(double minimum, bool magnify, double* lastValue) {
    const double step = magnify ? 0.05 : 0.1;
    std::vector<ScaleLabel> labels;
    labels.reserve(11);
    double value = minimum;
    labels.push_back({scaleLabelText(value), ColourScaleLabel(value)});
    for (int n = 0; n < 10; ++n) DrawNextScaleLabel(value, step, labels);
    if (lastValue) *lastValue = value;
    return labels;
}

QImage makeSurfaceImage(qreal ratio) {
    if (!(ratio > 0)) ratio = 1;
    // Enough device pixels to cover the interior even where it ends inside a device pixel.
    QImage image(static_cast<int>(std::ceil(SurfaceWidth * ratio - 1e-9)),
                 static_cast<int>(std::ceil(SurfaceHeight * ratio - 1e-9)), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(QColor(240, 240, 240));  // an empty picture box shows the button face
    return image;
}

TimeLabels timeLabels(const MeasurementHistory& history) {
    TimeLabels labels;
    for (int k = 0; k < TimeLabelCount; ++k) labels[k] = history.TimeHistory[40 * k].left(5);
    return labels;
}

void drawGraphFrame(QImage& image, const MeasurementHistory& history, bool showGrid,
                    const HeaderTexts& header, const QDateTime& now) {
    drawGraphFrame(image, timeLabels(history), showGrid, header, now);
}

void drawGraphFrame(QImage& image, const TimeLabels& labels, bool showGrid,
                    const HeaderTexts& header, const QDateTime& now) {
    ensureFormat(image);
    drawFramePixels(image, showGrid);

    std::vector<TextItem> texts;
    texts.reserve(TimeLabelCount + 9);
    for (int k = 0; k < TimeLabelCount; ++k)
        texts.push_back({40 * k + 3, 360, labels[k], fromBgr(bgr::LightBlue)});
    const QLocale locale;
    texts.push_back({593, 18, QStringLiteral("pH"), fromBgr(bgr::LightGrey)});
    texts.push_back({150, 3, QStringLiteral("Time:"), fromBgr(bgr::LightOrange)});
    texts.push_back({30, 3, QStringLiteral("Date:"), fromBgr(bgr::LightOrange)});
    texts.push_back(
        {177, 3, device::formatRegionalTime(now.time(), locale), fromBgr(bgr::LightOrange)});
    texts.push_back(
        {57, 3, device::formatRegionalDate(now.date(), locale), fromBgr(bgr::LightOrange)});
    texts.push_back({400, 3, QStringLiteral("pH:"), fromBgr(bgr::LightBlue)});
    texts.push_back({430, 3, header.measuredPh, fromBgr(bgr::LightBlue)});
    texts.push_back({280, 3, QStringLiteral("Limit:"), fromBgr(bgr::Red)});
    texts.push_back({320, 3, header.targetPh, fromBgr(bgr::Red)});
    printTexts(image, texts);
}

void computeScaleMappings(MeasurementHistory& history, double minimum, bool magnify) {
    history.ScaleLabelValue = minimum;
    const double pixelsPerPh = magnify ? 600 : 300;
    history.SelfYAtPh7 = 350 - pixelsPerPh * (7 - minimum);
    history.SelfYAtPh4 = history.SelfYAtPh7 + 3 * pixelsPerPh;
    const double span = static_cast<double>(history.RawAtPh7) - history.RawAtPh4;
    if (span != 0) {
        history.SelfSlope = (history.SelfYAtPh7 - history.SelfYAtPh4) / span;
        history.SelfOffset = history.SelfYAtPh7 - history.RawAtPh7 * history.SelfSlope;
    }
    history.computeFixedMapping();
}

void drawFixedScaleGraph(QImage& image, const MeasurementHistory& history, CurveOptions options) {
    ensureFormat(image);
    static const struct {
        const char* text;
        int y;
        quint32 colour;
    } labels[] = {
        {"6.00", 344, bgr::LightRed},  {"6.20", 314, bgr::LightRed},
        {"6.40", 284, bgr::LightRed},  {"6.60", 254, bgr::LightRed},
        {"6.80", 224, bgr::LightRed},  {"7.00", 194, bgr::LightGreen},
        {"7.20", 164, bgr::LightBlue}, {"7.40", 134, bgr::LightBlue},
        {"7.60", 104, bgr::LightBlue}, {"7.80", 74, bgr::LightBlue},
        {"8.00", 44, bgr::LightBlue},
    };
    std::vector<TextItem> texts;
    for (const auto& label : labels)
        texts.push_back({592, label.y, QString::fromLatin1(label.text), fromBgr(label.colour)});
    printTexts(image, texts);

    Raster raster(image);
    const double offset = history.FixedOffset;
    const double slope = history.FixedSlope;
    if (options.showLimit) drawLimitLine(raster, history, offset, slope);

    const QRgb yellow = rgbOf(bgr::Yellow);
    for (int i = 0; i < MeasurementHistory::HistoryNewest; ++i) {
        const int y1 = mapY(offset, slope, history.PhHistory[i]);
        const int y2 = mapY(offset, slope, history.PhHistory[i + 1]);
        if (history.PhHistory[i] != 0) raster.line(PlotLeft + i, y1, PlotLeft + 1 + i, y2, yellow);
        markNewest(raster, history, i, y2);
    }

    if (options.showValve) drawValveBars(raster, history);
}

void drawSelfDefinedGraph(QImage& image, MeasurementHistory& history, double minimum, bool magnify,
                          CurveOptions options) {
    ensureFormat(image);
    double lastValue = minimum;
    const std::vector<ScaleLabel> labels = selfDefinedLabels(minimum, magnify, &lastValue);
    history.ScaleLabelValue = lastValue;
    std::vector<TextItem> texts;
    int y = 344;
    for (const ScaleLabel& label : labels) {
        texts.push_back({592, y, label.text, label.colour});
        y -= 30;
    }
    printTexts(image, texts);

    Raster raster(image);
    const double offset = history.SelfOffset;
    const double slope = history.SelfSlope;
    if (options.showLimit) drawLimitLine(raster, history, offset, slope);

    const auto& ph = history.PhHistory;
    const QRgb yellow = rgbOf(bgr::Yellow);
    // Samples 0 to 2 only feed the trailing mean; the curve starts at sample 3.
    for (int i = 3; i < MeasurementHistory::HistoryNewest; ++i) {
        double a = ph[i];
        double b = ph[i + 1];
        if (ph[i - 3] > 0 && ph[i - 2] > 0 && ph[i - 1] > 0) {
            a = (static_cast<double>(ph[i - 3]) + ph[i - 2] + ph[i - 1] + ph[i]) / 4;
            b = (static_cast<double>(ph[i - 2]) + ph[i - 1] + ph[i] + ph[i + 1]) / 4;
        }
        const int y1 = mapY(offset, slope, a);
        const int y2 = mapY(offset, slope, b);
        if (ph[i] != 0) raster.line(PlotLeft + i, y1, PlotLeft + 1 + i, y2, yellow);
        markNewest(raster, history, i, y2);
    }

    if (options.showValve) drawValveBars(raster, history);
}

}  // namespace graph
