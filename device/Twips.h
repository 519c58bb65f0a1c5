#pragma once

#include <QRect>

namespace device {

// Windows and controls are designed in twips: 1440 to the inch, so 15 to a pixel at 96 dots
// per inch. A length that is no whole number of pixels goes to the nearest one; none is ever
// half way.
constexpr int TwipsPerPixel = 15;

constexpr int twipsToPixels(int twips) {
    return (twips + (twips < 0 ? -TwipsPerPixel / 2 : TwipsPerPixel / 2)) / TwipsPerPixel;
}

constexpr QRect twipRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

}  // namespace device
