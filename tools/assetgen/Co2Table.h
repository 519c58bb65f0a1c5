#pragma once

namespace assetgen {

// The help window's table of dissolved CO2 by KH (rows) and pH (columns).
inline constexpr int kFirstKh = 2;
inline constexpr int kLastKh = 14;
inline constexpr int kRows = kLastKh - kFirstKh + 1;
inline constexpr int kColumns = 13;  // pH 6.3 to 7.5

// The range of CO2 that suits plants and fish alike.
inline constexpr int kLeastEnoughPpm = 14;
inline constexpr int kMostEnoughPpm = 33;

enum class Co2Band { NotEnough, Enough, TooMuch };

// pH of a column, in tenths (63 for pH 6.3), so heads print without float noise.
constexpr int columnPhTenths(int column) {
    return 63 + column;
}

// CO2 in ppm for a KH in degrees (kFirstKh..kLastKh) and a column (0..kColumns-1).
int co2Ppm(int kh, int column);

Co2Band co2Band(int ppm);

}  // namespace assetgen
