#pragma once

#include <QImage>
#include <QRect>

#include "device/MeasurementHistory.h"
#include "graph/GraphDrawing.h"

namespace graphtest {

inline constexpr int Newest = device::MeasurementHistory::HistoryNewest;

inline QRgb rgb(quint32 bgr) {
    return graph::fromBgr(bgr).rgb();
}

inline bool isColour(const QImage& image, int x, int y, quint32 bgr) {
    return image.pixel(x, y) == rgb(bgr);
}

inline int countColour(const QImage& image, const QRect& area, quint32 bgr) {
    const QRect r = area.intersected(image.rect());
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += isColour(image, x, y, bgr) ? 1 : 0;
    return n;
}

// Calibration with round numbers: 100 raw units per pH, pH 7 at raw 700.
inline void roundCalibration(device::MeasurementHistory& h) {
    h.RawAtPh7 = 700;
    h.RawAtPh4 = 400;
}

}  // namespace graphtest
