#include "Icon.h"

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>
#include <optional>
#include <vector>

namespace assetgen {

namespace {

// Shapes are laid out on a 256-unit square and scaled to the size asked for.
constexpr double kUnits = 256.0;
// Control-point distance that makes a cubic follow a quarter circle.
constexpr double kQuarter = 0.5523;

struct Step {
    char op;  // 'M' move, 'L' line, 'C' cubic through two control points, 'Z' close
    std::array<double, 6> v;
};

// A top-to-bottom blend between two colours, in the icon's units.
struct Gradient {
    double y1, y2;
    QColor top, bottom;
};

struct Shape {
    std::vector<Step> path;
    std::optional<QColor> fill;
    std::optional<Gradient> gradient;
    std::optional<QColor> stroke;
    double strokeWidth = 0;
};

std::vector<Step> roundedSquare(double x0, double x1, double r) {
    const double k = r * kQuarter;
    return {{'M', {x0 + r, x0}},
            {'L', {x1 - r, x0}},
            {'C', {x1 - r + k, x0, x1, x0 + r - k, x1, x0 + r}},
            {'L', {x1, x1 - r}},
            {'C', {x1, x1 - r + k, x1 - r + k, x1, x1 - r, x1}},
            {'L', {x0 + r, x1}},
            {'C', {x0 + r - k, x1, x0, x1 - r + k, x0, x1 - r}},
            {'L', {x0, x0 + r}},
            {'C', {x0, x0 + r - k, x0 + r - k, x0, x0 + r, x0}},
            {'Z', {}}};
}

std::vector<Step> circle(double cx, double cy, double r) {
    const double k = r * kQuarter;
    return {{'M', {cx + r, cy}},
            {'C', {cx + r, cy + k, cx + k, cy + r, cx, cy + r}},
            {'C', {cx - k, cy + r, cx - r, cy + k, cx - r, cy}},
            {'C', {cx - r, cy - k, cx - k, cy - r, cx, cy - r}},
            {'C', {cx + k, cy - r, cx + r, cy - k, cx + r, cy}},
            {'Z', {}}};
}

// A round bottom that narrows to a point at the top.
std::vector<Step> drop(double cx, double cy, double r, double tipY) {
    const double k = r * kQuarter;
    return {{'M', {cx, tipY}},
            {'C', {cx + 12, tipY + 44, cx + r, cy - r * 0.9, cx + r, cy}},
            {'C', {cx + r, cy + k, cx + k, cy + r, cx, cy + r}},
            {'C', {cx - k, cy + r, cx - r, cy + k, cx - r, cy}},
            {'C', {cx - r, cy - r * 0.9, cx - 12, tipY + 44, cx, tipY}},
            {'Z', {}}};
}

const std::vector<Shape>& shapes() {
    static const std::vector<Shape> all = [] {
        std::vector<Shape> s;
        s.push_back({roundedSquare(12, 244, 44), std::nullopt,
                     Gradient{12, 244, QColor(26, 96, 166), QColor(5, 26, 70)}, std::nullopt, 0});
        s.push_back({drop(108, 158, 64, 34), std::nullopt,
                     Gradient{34, 222, QColor(196, 236, 255), QColor(72, 170, 232)},
                     QColor(255, 255, 255), 6});
        // The pH trace, in the graph's own green, settling towards its target.
        s.push_back({{{'M', {62, 170}},
                      {'L', {82, 150}},
                      {'L', {100, 178}},
                      {'L', {120, 146}},
                      {'L', {138, 164}},
                      {'L', {156, 156}}},
                     std::nullopt,
                     std::nullopt,
                     QColor(0, 128, 0),
                     9});
        const std::array<std::array<double, 3>, 4> bubbles = {
            {{206, 190, 15}, {216, 138, 11}, {200, 98, 8}, {212, 64, 6}}};
        for (const auto& b : bubbles) {
            s.push_back({circle(b[0], b[1], b[2]), QColor(255, 255, 255, 70), std::nullopt,
                         QColor(220, 240, 255), 4});
        }
        return s;
    }();
    return all;
}

QPainterPath painterPath(const std::vector<Step>& steps) {
    QPainterPath path;
    for (const Step& step : steps) {
        const auto& v = step.v;
        switch (step.op) {
            case 'M':
                path.moveTo(v[0], v[1]);
                break;
            case 'L':
                path.lineTo(v[0], v[1]);
                break;
            case 'C':
                path.cubicTo(v[0], v[1], v[2], v[3], v[4], v[5]);
                break;
            case 'Z':
                path.closeSubpath();
                break;
        }
    }
    return path;
}

QString svgNumber(double value) {
    return QString::number(value, 'g', 6);
}

QString svgPathData(const std::vector<Step>& steps) {
    QStringList parts;
    for (const Step& step : steps) {
        const int count = step.op == 'C' ? 6 : step.op == 'Z' ? 0 : 2;
        QString part(QChar::fromLatin1(step.op));
        for (int i = 0; i < count; ++i) {
            part += (i == 0 ? QString() : QStringLiteral(" ")) + svgNumber(step.v[i]);
        }
        parts << part;
    }
    return parts.join(QLatin1Char(' '));
}

QString svgColour(const QColor& colour, const char* attribute) {
    QString text =
        QStringLiteral(" %1=\"%2\"").arg(QLatin1String(attribute), colour.name(QColor::HexRgb));
    if (colour.alpha() != 255) {
        text += QStringLiteral(" %1-opacity=\"%2\"")
                    .arg(QLatin1String(attribute), svgNumber(colour.alphaF()));
    }
    return text;
}

void appendLittleEndian(QByteArray& out, quint32 value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

}  // namespace

QImage drawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / kUnits, size / kUnits);
        for (const Shape& shape : shapes()) {
            if (shape.gradient) {
                QLinearGradient blend(0, shape.gradient->y1, 0, shape.gradient->y2);
                blend.setColorAt(0, shape.gradient->top);
                blend.setColorAt(1, shape.gradient->bottom);
                p.setBrush(blend);
            } else if (shape.fill) {
                p.setBrush(*shape.fill);
            } else {
                p.setBrush(Qt::NoBrush);
            }
            if (shape.stroke) {
                p.setPen(QPen(*shape.stroke, shape.strokeWidth, Qt::SolidLine, Qt::RoundCap,
                              Qt::RoundJoin));
            } else {
                p.setPen(Qt::NoPen);
            }
            p.drawPath(painterPath(shape.path));
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

QString iconSvg() {
    QString defs;
    QString body;
    int gradients = 0;
    for (const Shape& shape : shapes()) {
        QString fill;
        if (shape.gradient) {
            const QString id = QStringLiteral("blend%1").arg(++gradients);
            defs += QStringLiteral(
                        "    <linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" "
                        "y1=\"%2\" x2=\"0\" y2=\"%3\">\n"
                        "      <stop offset=\"0\" stop-color=\"%4\"/>\n"
                        "      <stop offset=\"1\" stop-color=\"%5\"/>\n"
                        "    </linearGradient>\n")
                        .arg(id, svgNumber(shape.gradient->y1), svgNumber(shape.gradient->y2),
                             shape.gradient->top.name(), shape.gradient->bottom.name());
            fill = QStringLiteral(" fill=\"url(#%1)\"").arg(id);
        } else if (shape.fill) {
            fill = svgColour(*shape.fill, "fill");
        } else {
            fill = QStringLiteral(" fill=\"none\"");
        }
        QString stroke;
        if (shape.stroke) {
            stroke = svgColour(*shape.stroke, "stroke") +
                     QStringLiteral(
                         " stroke-width=\"%1\" stroke-linecap=\"round\" stroke-linejoin=\"round\"")
                         .arg(svgNumber(shape.strokeWidth));
        }
        body +=
            QStringLiteral("  <path d=\"%1\"%2%3/>\n").arg(svgPathData(shape.path), fill, stroke);
    }
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
               "viewBox=\"0 0 %1 %1\">\n"
               "  <defs>\n%2  </defs>\n%3</svg>\n")
        .arg(svgNumber(kUnits), defs, body);
}

QByteArray iconIco() {
    // Each size stored as PNG, which Windows reads in icon files since Vista: a directory of
    // 16-byte entries after a 6-byte header, then the images.
    QByteArray directory;
    QByteArray images;
    const int count = static_cast<int>(kIconSizes.size());
    appendLittleEndian(directory, 0, 2);
    appendLittleEndian(directory, 1, 2);  // an icon, not a cursor
    appendLittleEndian(directory, count, 2);
    const int firstImage = 6 + 16 * count;
    for (const int size : kIconSizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        drawIcon(size).save(&buffer, "PNG");
        appendLittleEndian(directory, size >= 256 ? 0 : size, 1);  // 0 stands for 256
        appendLittleEndian(directory, size >= 256 ? 0 : size, 1);
        appendLittleEndian(directory, 0, 1);   // no palette
        appendLittleEndian(directory, 0, 1);   // reserved
        appendLittleEndian(directory, 1, 2);   // colour planes
        appendLittleEndian(directory, 32, 2);  // bits per pixel
        appendLittleEndian(directory, png.size(), 4);
        appendLittleEndian(directory, firstImage + images.size(), 4);
        images += png;
    }
    return directory + images;
}

}  // namespace assetgen
