#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QString>

#include "AssetDrawing.h"

namespace assetgen {

namespace {

constexpr int kMargin = 7;
constexpr int kHeadWidth = 54;  // the KH column
constexpr int kCellWidth = 39;
constexpr int kTitleHeight = 32;
constexpr int kBandHeight = 24;
constexpr int kRowHeight = 26;
constexpr int kLegendGap = 8;
constexpr int kLegendHeight = 28;
static_assert(2 * kMargin + kHeadWidth + kColumns * kCellWidth == kTableWidth);

constexpr int kGridLeft = kMargin;
constexpr int kBandTop = kMargin + kTitleHeight;
constexpr int kHeadTop = kBandTop + kBandHeight;
constexpr int kCellsTop = kHeadTop + kRowHeight;
constexpr int kGridBottom = kCellsTop + kRows * kRowHeight;
constexpr int kLegendTop = kGridBottom + kLegendGap;
static_assert(kLegendTop + kLegendHeight <= kTableHeight - kMargin + 1);

const QColor kHeadColour(196, 222, 248);
const QColor kLineColour(70, 80, 95);
const QColor kInk(20, 20, 30);

QFont tableFont(int pixelSize, bool bold) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

void cell(QPainter& p, const QRect& r, const QColor& fill, const QString& text) {
    p.fillRect(r, fill);
    p.setPen(kLineColour);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setPen(kInk);
    p.drawText(r, Qt::AlignCenter, text);
}

QString phHead(int column) {
    const int tenths = columnPhTenths(column);
    return QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
}

// "Enough CO2" with the 2 lowered and smaller, centred as one piece in the field.
void legendField(QPainter& p, const QRect& r, Co2Band band, const QString& text,
                 bool subscriptTwo) {
    p.fillRect(r, bandColour(band));
    p.setPen(kLineColour);
    p.drawRect(r.adjusted(0, 0, -1, -1));
    p.setPen(kInk);
    const QFont main = tableFont(13, true);
    if (!subscriptTwo) {
        p.setFont(main);
        p.drawText(r, Qt::AlignCenter, text);
        return;
    }
    const QString body = text.chopped(1);
    const QFont sub = tableFont(9, true);
    const QFontMetrics mm(main);
    const QFontMetrics sm(sub);
    const int width = mm.horizontalAdvance(body) + sm.horizontalAdvance(QStringLiteral("2"));
    const int x = r.left() + (r.width() - width) / 2;
    const int baseline = r.top() + (r.height() + mm.ascent() - mm.descent()) / 2;
    p.setFont(main);
    p.drawText(x, baseline, body);
    p.setFont(sub);
    p.drawText(x + mm.horizontalAdvance(body), baseline + 4, QStringLiteral("2"));
}

}  // namespace

QColor bandColour(Co2Band band) {
    switch (band) {
        case Co2Band::NotEnough:
            return QColor(255, 234, 90);
        case Co2Band::Enough:
            return QColor(120, 206, 104);
        case Co2Band::TooMuch:
            return QColor(236, 92, 80);
    }
    return {};
}

QImage drawCo2Table(int scale) {
    QImage image(kTableWidth * scale, kTableHeight * scale, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::TextAntialiasing);
        if (scale != 1) p.scale(scale, scale);

        p.setPen(kInk);
        p.setFont(tableFont(16, true));
        p.drawText(QRect(0, kMargin, kTableWidth, kTitleHeight), Qt::AlignCenter,
                   QStringLiteral("CO2 Levels (in ppm) Based on KH (in Degrees) and pH"));

        const int columnsLeft = kGridLeft + kHeadWidth;
        p.setFont(tableFont(13, true));
        cell(p, QRect(columnsLeft, kBandTop, kColumns * kCellWidth, kBandHeight), kHeadColour,
             QStringLiteral("pH Value"));
        cell(p, QRect(kGridLeft, kBandTop, kHeadWidth, kBandHeight + kRowHeight), kHeadColour,
             QStringLiteral("KH"));
        for (int c = 0; c < kColumns; ++c) {
            cell(p, QRect(columnsLeft + c * kCellWidth, kHeadTop, kCellWidth, kRowHeight),
                 kHeadColour, phHead(c));
        }

        for (int row = 0; row < kRows; ++row) {
            const int kh = kFirstKh + row;
            const int top = kCellsTop + row * kRowHeight;
            p.setFont(tableFont(13, true));
            cell(p, QRect(kGridLeft, top, kHeadWidth, kRowHeight), kHeadColour,
                 QString::number(kh));
            p.setFont(tableFont(13, false));
            for (int c = 0; c < kColumns; ++c) {
                const int ppm = co2Ppm(kh, c);
                cell(p, QRect(columnsLeft + c * kCellWidth, top, kCellWidth, kRowHeight),
                     bandColour(co2Band(ppm)), QString::number(ppm));
            }
        }

        const int fieldWidth = (kTableWidth - 2 * kMargin) / 3;
        const int legendLeft = kMargin;
        legendField(p, QRect(legendLeft, kLegendTop, fieldWidth, kLegendHeight), Co2Band::NotEnough,
                    QStringLiteral("Not Enough CO2"), false);
        legendField(p, QRect(legendLeft + fieldWidth, kLegendTop, fieldWidth, kLegendHeight),
                    Co2Band::Enough, QStringLiteral("Enough CO2"), true);
        legendField(p,
                    QRect(legendLeft + 2 * fieldWidth, kLegendTop,
                          kTableWidth - 2 * kMargin - 2 * fieldWidth, kLegendHeight),
                    Co2Band::TooMuch, QStringLiteral("Too Much CO2"), true);
    }
    return image.convertToFormat(QImage::Format_RGB888);
}

}  // namespace assetgen
