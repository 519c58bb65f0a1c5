#include <gtest/gtest.h>

#include <array>

#include "Co2Table.h"

using namespace assetgen;

namespace {

struct PrintedRow {
    int kh;
    std::array<int, kColumns> ppm;
};

const PrintedRow kPrinted[] = {
    {2, {32, 25, 20, 16, 13, 10, 8, 6, 5, 4, 3, 3, 2}},
    {4, {64, 51, 40, 32, 25, 20, 16, 13, 10, 7, 6, 5, 4}},
    {14, {223, 177, 141, 112, 89, 70, 56, 44, 35, 28, 22, 18, 14}},
};

}  // namespace

TEST(Co2Table, PrintedRowsStandAsPrinted) {
    for (const PrintedRow& row : kPrinted) {
        for (int c = 0; c < kColumns; ++c) {
            EXPECT_EQ(co2Ppm(row.kh, c), row.ppm[c]) << "KH " << row.kh << " column " << c;
        }
    }
}

TEST(Co2Table, BandBoundariesAreInclusive) {
    EXPECT_EQ(co2Band(13), Co2Band::NotEnough);
    EXPECT_EQ(co2Band(14), Co2Band::Enough);
    EXPECT_EQ(co2Band(33), Co2Band::Enough);
    EXPECT_EQ(co2Band(34), Co2Band::TooMuch);
}

// Each row reads from too much CO2 on the acid side, through exactly four green cells in a
// row, to not enough; the green cells step one column right for every few degrees of KH.
TEST(Co2Table, EveryRowHasOneRunOfFourGreenCellsBetweenTooMuchAndNotEnough) {
    int previousFirstGreen = -1;
    for (int kh = kFirstKh; kh <= kLastKh; ++kh) {
        int firstGreen = -1;
        int greens = 0;
        Co2Band previous = Co2Band::TooMuch;
        for (int c = 0; c < kColumns; ++c) {
            const Co2Band band = co2Band(co2Ppm(kh, c));
            EXPECT_GE(static_cast<int>(previous), static_cast<int>(band))
                << "KH " << kh << " column " << c << " breaks the band order";
            if (band == Co2Band::Enough) {
                if (firstGreen < 0) firstGreen = c;
                ++greens;
            }
            previous = band;
        }
        EXPECT_EQ(greens, 4) << "KH " << kh;
        EXPECT_GE(firstGreen, previousFirstGreen) << "KH " << kh;
        previousFirstGreen = firstGreen;
    }
}

TEST(Co2Table, GrowsWithKhAndFallsWithPh) {
    for (int kh = kFirstKh; kh <= kLastKh; ++kh) {
        for (int c = 0; c < kColumns; ++c) {
            if (c + 1 < kColumns) {
                EXPECT_GE(co2Ppm(kh, c), co2Ppm(kh, c + 1)) << kh << "/" << c;
            }
            if (kh < kLastKh) {
                EXPECT_LT(co2Ppm(kh, c), co2Ppm(kh + 1, c)) << kh << "/" << c;
            }
        }
    }
}
