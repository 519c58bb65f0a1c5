#include <gtest/gtest.h>

#include "device/MeasurementHistory.h"

using device::MeasurementHistory;

TEST(MeasurementHistory, FirstAppendLandsAtTheNewestIndex) {
    MeasurementHistory h;
    h.AppendSample(700, "10:15", 1, 650);
    EXPECT_EQ(h.PhHistory[560], 700);
    EXPECT_EQ(h.TimeHistory[560], "10:15");
    EXPECT_EQ(h.ValveHistory[560], 1);
    EXPECT_EQ(h.LimitHistory[560], 650);
    for (int i = 0; i < 560; ++i) {
        ASSERT_EQ(h.PhHistory[i], 0);
        ASSERT_TRUE(h.TimeHistory[i].isEmpty());
    }
}

TEST(MeasurementHistory, KeepsTheLast561SamplesOldestFirst) {
    MeasurementHistory h;
    for (int n = 1; n <= 562; ++n) h.AppendSample(n, QString::number(n), n % 2, n + 1000);
    EXPECT_EQ(h.PhHistory[0], 2);  // the first sample is gone
    EXPECT_EQ(h.TimeHistory[0], "2");
    EXPECT_EQ(h.PhHistory[560], 562);
    EXPECT_EQ(h.LimitHistory[300], 302 + 1000);
    EXPECT_EQ(h.ValveHistory[299], 301 % 2);
    for (int i = 561; i < MeasurementHistory::HistorySize; ++i) {
        ASSERT_EQ(h.PhHistory[i], 0);
        ASSERT_TRUE(h.TimeHistory[i].isEmpty());
    }
}

TEST(MeasurementHistory, FixedMappingFromStartValues) {
    MeasurementHistory h;
    h.RawAtPh7 = 1;
    h.RawAtPh4 = 0;
    ASSERT_TRUE(h.computeFixedMapping());
    EXPECT_EQ(h.FixedSlope, -450);
    EXPECT_EQ(h.FixedOffset, 650);
    h.RawAtPh4 = 1;
    EXPECT_FALSE(h.computeFixedMapping());
    EXPECT_EQ(h.FixedSlope, -450);
}

TEST(MeasurementHistory, FrameCounterNeverOverflows) {
    MeasurementHistory h;
    h.SampleCount = MeasurementHistory::SampleCountLimit - 1;
    h.countFrame();
    h.countFrame();
    EXPECT_EQ(h.SampleCount, MeasurementHistory::SampleCountLimit);
}
