#include "GraphDrawing.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "GraphText.h"
#include "Raster.h"
#include "SurfaceMemory.h"
#include "device/NumberText.h"
#include "device/RegionalText.h"

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

void ensureFormat(QImage& image) {
    if (image.isNull()) image = makeSurfaceImage();
    if (image.format() != QImage::Format_RGB32) image = image.convertToFormat(QImage::Format_RGB32);
}

// Fills, axes, grid and ticks. The fills are most of the work, so on the surface drawn last
// time only what was drawn over them is filled again; the axes, grid and ticks are redrawn
// whole, which leaves their pixels as they were wherever nothing covered them.
void drawFramePixels(QImage& image, bool showGrid) {
    SurfaceMemory& memory = surfaceMemory();
    const SurfaceDamage* const drawnOver = memory.drawnOverFrame(image, showGrid);
    Raster raster(image);
    // Black from (0, 0) to (700, 380), which reaches past every edge of the surface, then the
    // plot area over it.
    if (drawnOver) {
        raster.refillAround(*drawnOver, PlotLeft, PlotTop, PlotRight, PlotBottom, rgbOf(bgr::Black),
                            rgbOf(bgr::DarkBlue));
    } else {
        raster.fillAround(PlotLeft, PlotTop, PlotRight, PlotBottom, rgbOf(bgr::Black));
        raster.fill(PlotLeft, PlotTop, PlotRight, PlotBottom, rgbOf(bgr::DarkBlue));
    }

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
    memory.frameLaid(image, showGrid);
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

    SurfaceMemory& memory = surfaceMemory();
    Raster raster(image, memory.damageFor(image));
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
    memory.wrote(image);
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

    SurfaceMemory& memory = surfaceMemory();
    Raster raster(image, memory.damageFor(image));
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
    memory.wrote(image);
}

}  // namespace graph
