#include <gtest/gtest.h>

#include <QByteArray>
#include <cmath>

#include "device/Frame.h"
#include "tools/sim/SimModel.h"

using namespace sim;

namespace {
QByteArray asBytes(const Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}
Bytes asVector(const Frame& f) {
    return Bytes(f.begin(), f.end());
}

std::vector<std::vector<Chunk>> take(FrameStream& stream, int periods) {
    std::vector<std::vector<Chunk>> out;
    for (int i = 0; i < periods; ++i) out.push_back(stream.next());
    return out;
}

const Conversion DefaultConversion = *chooseConversion(Calibration{});
}  // namespace

TEST(SimFrame, LaysOutRegistersAsTheDeviceDoes) {
    const Frame f = encodeFrame({812, 651, 253, 90, 1, 1000, 766});
    EXPECT_EQ(toHex(f.data(), f.size()), "2C 03 8B 02 FD 00 5A 01 E8 03 FE 02");
}

TEST(SimFrame, ProgramDecodesWhatTheEncoderSent) {
    const FrameFields cases[] = {
        {0, 0, 0, 0, 0, 0, 0},
        {65535, 40000, 32768, 255, 255, 65535, 65535},  // above the signed 16-bit range
        {0x1311, 0x1100, 0x0013, 0x11, 0x13, 0x0A0D, 0x0D0A},
    };
    for (const auto& c : cases) {
        const auto d = device::decodeFrame(asBytes(asVector(encodeFrame(c))));
        ASSERT_TRUE(d);
        EXPECT_EQ(d->limit, c.limit);
        EXPECT_EQ(d->raw7, c.raw7);
        EXPECT_EQ(d->raw4, c.raw4);
        EXPECT_EQ(d->k, c.k);
        EXPECT_EQ(d->valve, c.valve);
        EXPECT_EQ(d->m, c.m);
        EXPECT_EQ(d->raw, c.raw);
    }
}

// The program shows (raw * k + m) / 10000 while its graph uses the calibration readings; the
// device's k and m must tell the same pH.
TEST(SimConversion, DisplayedPhAgreesWithCalibration) {
    const Calibration calibrations[] = {{820, 420}, {651, 253}, {900, 500},
                                        {450, 250}, {933, 133}, {300, 150}};
    for (const auto& cal : calibrations) {
        SCOPED_TRACE(testing::Message() << cal.raw7 << "/" << cal.raw4);
        const auto conv = chooseConversion(cal);
        ASSERT_TRUE(conv);
        for (int raw = rawFromPh(4.0, cal); raw <= rawFromPh(10.0, cal); ++raw) {
            const double shown = device::phHundredths(raw, conv->k, conv->m) / 100.0;
            ASSERT_NEAR(shown, phFromRaw(raw, cal), 0.05) << "raw " << raw;
        }
    }
}

TEST(SimConversion, RefusesCalibrationsNoDevicePairFits) {
    const Calibration refused[] = {
        {400, 400},    // no span
        {420, 820},    // reading falls as the pH rises: k would be negative
        {2000, 1600},  // m would be negative
        {1500, 100},   // k = 21 instead of 21.4 tilts the line 0.06 pH off at pH 4 and 10
        {60000, 100},  // k rounds to 1
    };
    for (const auto& cal : refused) {
        EXPECT_FALSE(chooseConversion(cal)) << cal.raw7 << "/" << cal.raw4;
    }
}

TEST(SimTank, ValveFollowsLimitWithHysteresis) {
    TankSettings s;
    Random random(3);
    Tank tank(s, DefaultConversion, random);
    int openings = 0;
    bool wasOpen = tank.valveOpen();
    for (int i = 0; i < 600; ++i) {
        const double before = tank.ph();
        tank.step();
        if (before > s.limitPh + s.hysteresis) {
            ASSERT_TRUE(tank.valveOpen()) << "step " << i;
        } else if (before < s.limitPh - s.hysteresis) {
            ASSERT_FALSE(tank.valveOpen()) << "step " << i;
        } else {
            ASSERT_EQ(tank.valveOpen(), wasOpen) << "switched inside the band at step " << i;
        }
        // CO2 pulls the pH down; with the valve shut, degassing lets it rise.
        if (tank.valveOpen()) {
            EXPECT_LT(tank.ph(), before);
        } else {
            EXPECT_GT(tank.ph(), before);
        }
        if (tank.valveOpen() && !wasOpen) ++openings;
        wasOpen = tank.valveOpen();
        if (i > 200) {
            ASSERT_NEAR(tank.ph(), s.limitPh, 2 * s.hysteresis) << "step " << i;
        }
    }
    EXPECT_GE(openings, 5);  // it regulates, not just sinks once
}

TEST(SimTank, FramesReportValveLimitAndReading) {
    TankSettings s;
    s.probeNoisePh = 0;
    Random random(1);
    Tank tank(s, DefaultConversion, random);
    for (int i = 0; i < 100; ++i) {
        const FrameFields f = tank.read();
        EXPECT_EQ(f.valve != 0, tank.valveOpen());
        EXPECT_NEAR(displayedPh(f.raw, DefaultConversion), tank.ph(), 0.05);
        EXPECT_NEAR(displayedPh(f.limit, DefaultConversion), s.limitPh, 0.01);
        EXPECT_EQ(f.raw7, s.calibration.raw7);
        EXPECT_EQ(f.raw4, s.calibration.raw4);
        tank.step();
    }
}

TEST(SimStream, SameSeedSameStreamOtherSeedOther) {
    Faults faults;
    faults.garbageAt = 4;
    FrameStream a(TankSettings{}, DefaultConversion, faults, 42);
    FrameStream b(TankSettings{}, DefaultConversion, faults, 42);
    FrameStream c(TankSettings{}, DefaultConversion, faults, 43);
    bool differs = false;
    for (int i = 0; i < 50; ++i) {
        const auto x = a.next(), y = b.next(), z = c.next();
        ASSERT_EQ(x.size(), y.size());
        for (std::size_t j = 0; j < x.size(); ++j) ASSERT_EQ(x[j].bytes, y[j].bytes);
        for (std::size_t j = 0; j < x.size() && j < z.size(); ++j) {
            differs = differs || x[j].bytes != z[j].bytes;
        }
    }
    EXPECT_TRUE(differs);
}

TEST(SimStream, FaultsProduceWhatTheySay) {
    TankSettings quiet;
    quiet.probeNoisePh = 0;  // garbage draws on the generator; the frames must not change
    FrameStream clean(quiet, DefaultConversion, Faults{}, 9);
    const auto reference = take(clean, 6);
    const auto frame = [&](int period) -> const Bytes& { return reference[period][0].bytes; };

    Faults f;
    f.misalignBytes = 5;
    f.garbageAt = 2;
    f.garbageLength = 6;
    f.partialAt = 3;
    f.partialLength = 4;
    f.dropAfter = 4;
    FrameStream faulty(quiet, DefaultConversion, f, 9);
    const auto got = take(faulty, 6);

    ASSERT_EQ(got[0].size(), 1u);
    EXPECT_EQ(got[0][0].kind, Chunk::Kind::Misaligned);
    EXPECT_EQ(got[0][0].bytes, Bytes(frame(0).begin() + 5, frame(0).end()));
    ASSERT_EQ(got[1].size(), 2u);
    EXPECT_EQ(got[1][0].kind, Chunk::Kind::Garbage);
    EXPECT_EQ(got[1][0].bytes.size(), 6u);
    EXPECT_EQ(got[1][1].kind, Chunk::Kind::Frame);
    EXPECT_EQ(got[1][1].bytes, frame(1));
    ASSERT_EQ(got[2].size(), 1u);
    EXPECT_EQ(got[2][0].kind, Chunk::Kind::Partial);
    EXPECT_EQ(got[2][0].bytes, Bytes(frame(2).begin(), frame(2).begin() + 4));
    EXPECT_EQ(got[3][0].bytes, frame(3));
    // The link is down after the fourth frame: nothing more goes out.
    EXPECT_TRUE(faulty.linkDropped());
    EXPECT_TRUE(got[4].empty());
    EXPECT_TRUE(got[5].empty());
    EXPECT_EQ(faulty.framesSent(), 4);
}
