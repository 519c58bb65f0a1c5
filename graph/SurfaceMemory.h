#pragma once

#include <QImage>
#include <algorithm>
#include <vector>

// Where the graph surface was drawn over its frame (fills, axes, grid and ticks), so a new
// frame only needs to fill again what the texts, the curve, the limit line and the valve bars
// covered, a small part of it, instead of the whole surface.
namespace graph {

// Device pixels drawn over since the frame was laid, as one span per row.
class SurfaceDamage {
public:
    void clear(int height) { spans_.assign(static_cast<std::size_t>(std::max(0, height)), None); }

    // Both corners belong to the rectangle; the caller keeps it on the surface.
    void add(int left, int top, int right, int bottom) {
        for (int y = top; y <= bottom; ++y) {
            Span& s = spans_[static_cast<std::size_t>(y)];
            s.left = std::min(s.left, left);
            s.right = std::max(s.right, right);
        }
    }

    template <typename Visit>  // Visit(row, left, right)
    void forEachSpan(Visit visit) const {
        for (std::size_t y = 0; y < spans_.size(); ++y) {
            if (spans_[y].left <= spans_[y].right)
                visit(static_cast<int>(y), spans_[y].left, spans_[y].right);
        }
    }

private:
    struct Span {
        int left;
        int right;
    };
    static constexpr Span None{1 << 30, -1};
    std::vector<Span> spans_;
};

// The last surface the graph was drawn on: its frame's geometry and what has been drawn over
// the frame since. Trusted only while every change to that image went through the graph's
// own drawing: the image's cache key moves with every write to it, so a change made any other
// way (or another image) is seen and the next frame is laid in full.
class SurfaceMemory {
public:
    // Before a frame is laid: what was drawn over the last one, if only that needs putting
    // back; null when the frame must be laid in full.
    const SurfaceDamage* drawnOverFrame(const QImage& image, bool showGrid) const {
        const bool same = tracking(image) && size_ == image.size() &&
                          ratio_ == image.devicePixelRatio() && showGrid_ == showGrid;
        return same ? &damage_ : nullptr;
    }
    // After a frame is laid: nothing is drawn over it.
    void frameLaid(const QImage& image, bool showGrid) {
        size_ = image.size();
        ratio_ = image.devicePixelRatio();
        showGrid_ = showGrid;
        damage_.clear(image.height());
        key_ = image.cacheKey();
        valid_ = true;
    }

    // Where a drawing over the frame must note the pixels it covers, or null when the memory
    // no longer knows the image. Call before writing, and wrote() after.
    SurfaceDamage* damageFor(const QImage& image) {
        if (!tracking(image)) {
            valid_ = false;
            return nullptr;
        }
        return &damage_;
    }
    void wrote(const QImage& image) {
        if (valid_) key_ = image.cacheKey();
    }

private:
    bool tracking(const QImage& image) const { return valid_ && key_ == image.cacheKey(); }

    QSize size_;
    qreal ratio_ = 0;
    bool showGrid_ = false;
    SurfaceDamage damage_;
    qint64 key_ = 0;
    bool valid_ = false;
};

// The graph surface's memory; the graph is drawn from the GUI thread only.
SurfaceMemory& surfaceMemory();

}  // namespace graph
