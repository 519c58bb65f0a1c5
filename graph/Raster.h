#pragma once

#include <QImage>
#include <QRgb>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "SurfaceMemory.h"

// The graph's pixel work, straight into the surface image at its device pixel ratio.
namespace graph {

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
    // With damage, every pixel written is noted there.
    explicit Raster(QImage& image, SurfaceDamage* damage = nullptr)
        : bits_(reinterpret_cast<QRgb*>(image.bits())),
          stride_(image.bytesPerLine() / static_cast<int>(sizeof(QRgb))),
          width_(image.width()),
          height_(image.height()),
          scale_(image.devicePixelRatio()),
          damage_(damage) {}

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

    // Within the damaged spans only: what fillAround with the first colour, then fill with the
    // second, leave there.
    void refillAround(const SurfaceDamage& damage, int x1, int y1, int x2, int y2, QRgb around,
                      QRgb inside) {
        const int left = scale_(std::min(x1, x2));
        const int top = scale_(std::min(y1, y2));
        const int right = scale_(std::max(x1, x2) + 1) - 1;
        const int bottom = scale_(std::max(y1, y2) + 1) - 1;
        damage.forEachSpan([&](int y, int from, int to) {
            if (y < top || y > bottom) return fillDevice(from, y, to, y, around);
            fillDevice(from, y, std::min(to, left - 1), y, around);
            fillDevice(std::max(from, left), y, std::min(to, right), y, inside);
            fillDevice(std::max(from, right + 1), y, to, y, around);
        });
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
            static_cast<unsigned>(y) < static_cast<unsigned>(height_)) {
            bits_[y * stride_ + x] = colour;
            if (damage_) damage_->add(x, y, x, y);
        }
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
        if (damage_) damage_->add(left, top, right, bottom);
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
            if (damage_ && major > 0)
                damage_->add(std::min(x1, x2), std::min(y1, y2), std::max(x1, x2),
                             std::max(y1, y2));
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
    SurfaceDamage* damage_;
};

}  // namespace graph
