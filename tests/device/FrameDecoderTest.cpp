#include <gtest/gtest.h>

#include "Frames.h"
#include "RecordingSink.h"
#include "device/FrameDecoder.h"

using namespace device;

namespace {
const QByteArray kFrame = testsupport::referenceFrame();

QByteArray frameWithRaw(int raw) {
    QByteArray f = kFrame;
    f[10] = static_cast<char>(raw & 0xFF);
    f[11] = static_cast<char>(raw >> 8);
    return f;
}

class Decoding : public ::testing::Test {
protected:
    Decoding() {
        history.RawAtPh7 = 1;
        history.RawAtPh4 = 0;
    }
    MeasurementHistory history;
    RecordingSink sink;
    ManualClock clock{QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7, 250))};
    FrameDecoder decoder{history, sink, clock};
};
}  // namespace

TEST_F(Decoding, ReferenceFrameShowsEveryRegister) {
    ASSERT_TRUE(decoder.decode(kFrame));
    ASSERT_EQ(sink.shown.size(), 1u);
    const RegisterTexts& t = sink.shown[0];
    const QStringList hex = {"2C", "3", "8B", "2", "FD", "0", "5A", "1", "E8", "3", "FE", "2"};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(t.hex[i], hex[i]) << i;
    EXPECT_EQ(t.limit, "[ 812]");
    EXPECT_EQ(t.raw7, "[ 651]");
    EXPECT_EQ(t.raw4, "[ 253]");
    EXPECT_EQ(t.k, "[ 90]");
    EXPECT_EQ(t.m, "[ 1000]");
    EXPECT_EQ(t.raw, "[ 766]");
    EXPECT_EQ(t.measuredPh, "6.99");
    EXPECT_EQ(t.targetPh, "7.41");
    EXPECT_NEAR(history.FixedSlope, -1.13065, 1e-5);
    EXPECT_NEAR(history.FixedOffset, 936.055, 1e-3);
    EXPECT_EQ(history.LimitRaw, 812);
    EXPECT_EQ(history.RawAtPh7, 651);
    EXPECT_EQ(history.RawAtPh4, 253);
    EXPECT_FLOAT_EQ(history.LastFrameTime, 9 * 3600 + 5 * 60 + 7.25f);
}

TEST_F(Decoding, CommaLocaleShowsCommaPh) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    decoder.decode(kFrame);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(sink.shown.at(0).measuredPh, "6,99");
    EXPECT_EQ(sink.shown.at(0).targetPh, "7,41");
}

// Every accepted frame reaches a publisher, due or not, once its texts are on the window.
TEST_F(Decoding, EveryAcceptedFrameIsHandedOverWithItsTime) {
    sink.rate = "3";
    decoder.decode(kFrame);
    clock.advanceMs(1000);
    decoder.decode(frameWithRaw(700));
    sink.rate = "not a number";
    decoder.decode(kFrame);
    ASSERT_EQ(sink.accepted.size(), 3u);
    const DeviceFrame& f = sink.accepted[0].frame;
    EXPECT_EQ(f.raw, 766);
    EXPECT_EQ(f.limit, 812);
    EXPECT_EQ(f.valve, 1);
    EXPECT_EQ(f.k, 90);
    EXPECT_EQ(f.m, 1000);
    EXPECT_EQ(sink.accepted[0].time, QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7, 250)));
    EXPECT_EQ(sink.accepted[1].frame.raw, 700);
    EXPECT_EQ(sink.accepted[1].time, QDateTime(QDate(2026, 12, 8), QTime(9, 5, 8, 250)));
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(sink.accepted[i].shownBefore, i + 1);
}

TEST_F(Decoding, ShortReadChangesNothing) {
    EXPECT_FALSE(decoder.decode(kFrame.left(11)));
    EXPECT_TRUE(sink.accepted.empty());
    EXPECT_TRUE(sink.shown.empty());
    EXPECT_EQ(history.SampleCount, 0);
    EXPECT_EQ(history.LastFrameTime, 0.0f);
    EXPECT_EQ(history.PhHistory[560], 0);
}

TEST_F(Decoding, ThirteenCharactersDecodeTheFirstTwelve) {
    EXPECT_TRUE(decoder.decode(kFrame + testsupport::bytes({0x55})));
    EXPECT_EQ(sink.shown.at(0).raw, "[ 766]");
}

TEST_F(Decoding, RateOneLogsAppendsAndRedrawsEveryFrame) {
    history.LogToFile = true;
    for (int i = 0; i < 3; ++i) {
        decoder.decode(frameWithRaw(700 + i));
        EXPECT_EQ(history.SampleCount, 0);
    }
    EXPECT_EQ(sink.logged.size(), 3u);
    EXPECT_EQ(history.PhHistory[560], 702);
    EXPECT_EQ(history.PhHistory[559], 701);
    EXPECT_EQ(history.TimeHistory[560], "09:05");
    EXPECT_EQ(history.ValveHistory[560], 1);
    EXPECT_EQ(history.LimitHistory[560], 812);
    const QStringList expected = {"log",          "redraw-fixed", "log",
                                  "redraw-fixed", "log",          "redraw-fixed"};
    EXPECT_EQ(QStringList(sink.events.begin(), sink.events.end()), expected);
}

TEST_F(Decoding, RateThreeTakesEveryThirdFrame) {
    history.LogToFile = true;
    sink.rate = "3";
    for (int i = 1; i <= 9; ++i) decoder.decode(frameWithRaw(600 + i));
    EXPECT_EQ(sink.shown.size(), 9u);
    ASSERT_EQ(sink.logged.size(), 3u);
    EXPECT_EQ(sink.logged[0].raw, 603);
    EXPECT_EQ(sink.logged[2].raw, 609);
    EXPECT_EQ(history.PhHistory[558], 603);
    EXPECT_EQ(history.PhHistory[559], 606);
    EXPECT_EQ(history.PhHistory[560], 609);
    EXPECT_EQ(history.PhHistory[557], 0);
}

TEST_F(Decoding, LogRecordCarriesDisplayedAndRawValues) {
    history.LogToFile = true;
    decoder.decode(kFrame);
    const LogRecord& r = sink.logged.at(0);
    EXPECT_EQ(r.date, QDate(2026, 12, 8));
    EXPECT_EQ(r.time, QTime(9, 5, 7, 250));
    EXPECT_EQ(r.measuredPh, "6.99");
    EXPECT_EQ(r.targetPh, "7.41");
    EXPECT_EQ(r.valveHex, "1");
    EXPECT_EQ(r.raw, 766);
    EXPECT_EQ(r.limit, 812);
    EXPECT_EQ(r.raw7, 651);
    EXPECT_EQ(r.raw4, 253);
    EXPECT_EQ(r.k, 90);
    EXPECT_EQ(r.m, 1000);
}

TEST_F(Decoding, NothingIsLoggedWithoutLogFile) {
    decoder.decode(kFrame);
    EXPECT_TRUE(sink.logged.empty());
    EXPECT_EQ(history.PhHistory[560], 766);  // the history fills all the same
}

TEST_F(Decoding, LoweredRateResumesInsteadOfStallingForever) {
    sink.rate = "5";
    for (int i = 0; i < 3; ++i) decoder.decode(kFrame);
    EXPECT_EQ(history.SampleCount, 3);
    sink.rate = "2";  // the count has already passed the new rate
    decoder.decode(kFrame);
    EXPECT_EQ(history.SampleCount, 0);
    EXPECT_EQ(sink.events.back(), "redraw-fixed");
}

TEST_F(Decoding, InvalidRateUpdatesLabelsOnlyAndCounterSaturates) {
    history.LogToFile = true;
    for (const char* rate : {"", "0", "-1", "abc", "2.5", "99999999999"}) {
        sink.rate = rate;
        decoder.decode(kFrame);
    }
    EXPECT_EQ(sink.shown.size(), 6u);
    EXPECT_TRUE(sink.logged.empty());
    EXPECT_EQ(history.PhHistory[560], 0);
    history.SampleCount = MeasurementHistory::SampleCountLimit;
    decoder.decode(kFrame);
    EXPECT_EQ(history.SampleCount, MeasurementHistory::SampleCountLimit);
    sink.rate = "1";  // a valid rate brings it back at once
    decoder.decode(kFrame);
    EXPECT_EQ(history.SampleCount, 0);
}

TEST_F(Decoding, SelfDefinedScaleRecomputesMappingsOnEveryFrame) {
    sink.scale = GraphScale::SelfDefined;
    sink.rate = "2";
    decoder.decode(kFrame);
    decoder.decode(kFrame);
    const QStringList expected = {"mappings", "mappings", "redraw-self"};
    EXPECT_EQ(QStringList(sink.events.begin(), sink.events.end()), expected);
}

TEST_F(Decoding, EqualCalibrationKeepsPreviousMapping) {
    decoder.decode(kFrame);
    const double slope = history.FixedSlope, offset = history.FixedOffset;
    QByteArray flat = kFrame;
    flat[2] = flat[3] = flat[4] = flat[5] = 0;  // raw7 = raw4 = 0
    decoder.decode(flat);
    EXPECT_EQ(history.FixedSlope, slope);
    EXPECT_EQ(history.FixedOffset, offset);
    EXPECT_EQ(sink.shown.back().raw7, "[ 0]");
}

TEST_F(Decoding, ReadingsAboveSignedRangeKeepTheirTrueValue) {
    QByteArray f = kFrame;
    f[0] = static_cast<char>(0xFF);
    f[1] = static_cast<char>(0xFF);  // limit 65535
    f[10] = static_cast<char>(0x40);
    f[11] = static_cast<char>(0x9C);  // raw 40000
    decoder.decode(f);
    EXPECT_EQ(history.PhHistory[560], 40000);
    EXPECT_EQ(history.LimitHistory[560], 65535);
    EXPECT_EQ(history.ValveHistory[560], 1);
    EXPECT_EQ(sink.shown.at(0).raw, "[ 40000]");
    EXPECT_EQ(sink.shown.at(0).limit, "[ 65535]");
}

namespace {
ArrivedFrame arrivedAt(const QByteArray& bytes, const QTime& time, qint64 steadyMs) {
    return {bytes, QDateTime(QDate(2026, 12, 8), time), steadyMs};
}
}  // namespace

// A batch is handled frame by frame in the usual order, each with the time it came; what only
// the eye reads (registers, graph) is done once, for the newest, and the countdown runs from it.
TEST_F(Decoding, BatchLogsEveryFrameWithItsOwnTimeAndShowsTheNewestOnce) {
    history.LogToFile = true;
    const std::vector<ArrivedFrame> batch = {
        arrivedAt(frameWithRaw(701), QTime(9, 5, 59, 950), 1000),
        arrivedAt(kFrame.left(7), QTime(9, 5, 59, 960), 1010),  // a short read: no frame
        arrivedAt(frameWithRaw(702), QTime(9, 5, 59, 990), 1040),
        arrivedAt(frameWithRaw(703), QTime(9, 6, 0, 3), 1053),
        arrivedAt(kFrame.left(11), QTime(9, 6, 0, 10), 1060)};
    EXPECT_EQ(decoder.decodeBatch(batch), 3);

    ASSERT_EQ(sink.logged.size(), 3u);
    ASSERT_EQ(sink.accepted.size(), 3u);
    const int raws[] = {701, 702, 703};
    const QTime times[] = {QTime(9, 5, 59, 950), QTime(9, 5, 59, 990), QTime(9, 6, 0, 3)};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sink.logged[i].raw, raws[i]);
        EXPECT_EQ(sink.logged[i].time, times[i]);
        EXPECT_EQ(sink.accepted[i].frame.raw, raws[i]);
        EXPECT_EQ(sink.accepted[i].time.time(), times[i]);
    }
    // The minute each sample is filed under is its own, not the batch's.
    EXPECT_EQ(history.TimeHistory[559], "09:05");
    EXPECT_EQ(history.TimeHistory[560], "09:06");
    EXPECT_EQ(history.PhHistory[558], 701);
    EXPECT_EQ(history.PhHistory[560], 703);

    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].raw, "[ 703]");
    EXPECT_EQ(sink.accepted[2].shownBefore, 1u);  // the newest once its texts are on the window
    const QStringList expected = {"log", "log", "log", "redraw-fixed"};
    EXPECT_EQ(QStringList(sink.events.begin(), sink.events.end()), expected);
    EXPECT_EQ(history.LastFrameSteadyMs, 1053);
    EXPECT_FLOAT_EQ(history.LastFrameTime, 9 * 3600 + 6 * 60 + 0.003f);
    EXPECT_EQ(history.SampleCount, 0);
}

// The rate counts frames, not batches: at rate 3 a batch of four logs its third, and the
// fourth counts towards the next.
TEST_F(Decoding, RateCountsFramesAcrossBatches) {
    history.LogToFile = true;
    sink.rate = "3";
    std::vector<ArrivedFrame> batch;
    for (int i = 1; i <= 4; ++i) batch.push_back(arrivedAt(frameWithRaw(600 + i), QTime(9, 0), i));
    decoder.decodeBatch(batch);
    decoder.decodeBatch({arrivedAt(frameWithRaw(605), QTime(9, 0), 5),
                         arrivedAt(frameWithRaw(606), QTime(9, 0), 6)});
    ASSERT_EQ(sink.logged.size(), 2u);
    EXPECT_EQ(sink.logged[0].raw, 603);
    EXPECT_EQ(sink.logged[1].raw, 606);
    EXPECT_EQ(sink.shown.size(), 2u);
}
