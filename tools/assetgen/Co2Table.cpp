#include "Co2Table.h"

#include <array>
#include <cmath>

namespace assetgen {

namespace {

using Row = std::array<int, kColumns>;

// Rows that users already know from the printed chart. No single formula reproduces all
// three to the unit, so they stand as printed and only the other rows are computed.
constexpr Row kKh2 = {32, 25, 20, 16, 13, 10, 8, 6, 5, 4, 3, 3, 2};
constexpr Row kKh4 = {64, 51, 40, 32, 25, 20, 16, 13, 10, 7, 6, 5, 4};
constexpr Row kKh14 = {223, 177, 141, 112, 89, 70, 56, 44, 35, 28, 22, 18, 14};

}  // namespace

int co2Ppm(int kh, int column) {
    switch (kh) {
        case 2:
            return kKh2.at(column);
        case 4:
            return kKh4.at(column);
        case 14:
            return kKh14.at(column);
        default:
            break;
    }
    // CO2 doubles for every 0.3 the pH falls and is KH ppm at pH 7.5; this matches the
    // printed rows more closely than 3 * KH * 10^(7 - pH), which runs about 6 % low.
    const double stepsBelow75 = (kColumns - 1 - column) / 3.0;
    return static_cast<int>(std::floor(kh * std::exp2(stepsBelow75) + 0.5));
}

Co2Band co2Band(int ppm) {
    if (ppm < kLeastEnoughPpm) return Co2Band::NotEnough;
    if (ppm > kMostEnoughPpm) return Co2Band::TooMuch;
    return Co2Band::Enough;
}

}  // namespace assetgen
