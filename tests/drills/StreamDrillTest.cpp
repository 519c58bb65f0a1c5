// Bytes that do not line up with frames. The device's frame has no marker and no checksum,
// so only a pause on the line lets the receiver realign.
#include <QTest>

#include "DrillFixture.h"

using drills::DrillTest;
using drills::frameWithRaw;
using drills::loggedRaws;
using testsupport::PseudoTerminal;
using testsupport::waitUntil;

namespace {

constexpr int ShortGapMs = 60;

QByteArray garbage(int length, int seed) {
    QByteArray bytes;
    for (int i = 0; i < length; ++i) bytes.append(static_cast<char>((seed * 37 + i * 11) & 0xFF));
    return bytes;
}

// The raw reading the decoder takes from the first 12 bytes of a chunk.
int rawOf(const QByteArray& twelve) {
    return static_cast<quint8>(twelve[10]) + 256 * static_cast<quint8>(twelve[11]);
}

class StreamDrill : public DrillTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(connect(pty));
        ASSERT_NO_FATAL_FAILURE(startLog());
    }

    void writeAndWaitFor(const QByteArray& bytes, int waiting) {
        pty.write(bytes);
        ASSERT_TRUE(waitUntil([&] { return form.MSComm1.InBufferCount() == waiting; }));
    }

    PseudoTerminal pty;
};

}  // namespace

TEST_F(StreamDrill, MisalignedStartThenTheDefaultPauseThenEveryFrameRight) {
    ASSERT_NO_FATAL_FAILURE(writeAndWaitFor(frameWithRaw(1).right(5), 5));
    QTest::qWait(device::MSComm::DefaultResyncGapMs + 100);
    std::vector<int> sent;
    QByteArray burst;
    for (int raw = 2; raw <= 21; ++raw) {
        burst += frameWithRaw(raw);
        sent.push_back(raw);
    }
    pty.write(burst);
    ASSERT_TRUE(waitUntil([&] { return form.Label40->text() == "[ 21]"; }));
    EXPECT_EQ(loggedRaws(dialog.path), sent);
    EXPECT_EQ(form.MSComm1.InBufferCount(), 0);
}

TEST_F(StreamDrill, GarbageAndTornFramesBetweenPausesCostOnlyThemselves) {
    form.MSComm1.setResyncGapMs(ShortGapMs);
    // Pieces shorter than a frame vanish at the next pause. A piece of 12 or more bytes is
    // indistinguishable from a frame and is taken as one; its remainder vanishes.
    std::vector<int> expected;
    int raw = 100;
    for (const int length : {7, 11, 1, 20, 3, 12, 30}) {
        SCOPED_TRACE(length);
        ASSERT_TRUE(sendAndSee(pty, raw));
        expected.push_back(raw++);
        QTest::qWait(2 * ShortGapMs);
        const QByteArray junk = garbage(length, length);
        for (int at = 0; at + 12 <= length; at += 12) expected.push_back(rawOf(junk.mid(at, 12)));
        ASSERT_NO_FATAL_FAILURE(writeAndWaitFor(junk, length % 12));
        QTest::qWait(2 * ShortGapMs);
    }
    ASSERT_TRUE(sendAndSee(pty, raw));
    expected.push_back(raw);
    EXPECT_EQ(loggedRaws(dialog.path), expected);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(StreamDrill, WithoutAPauseFramesAreTakenAtTheWrongPositionsUntilThePause) {
    form.MSComm1.setResyncGapMs(ShortGapMs);
    const QByteArray torn = garbage(5, 1);
    QByteArray stream = torn + frameWithRaw(1) + frameWithRaw(2) + frameWithRaw(3);
    ASSERT_NO_FATAL_FAILURE(writeAndWaitFor(stream, 5));
    // Three frames' worth was taken, each from the wrong position: its "raw reading" is
    // bytes 6 and 7 of the frame the device sent.
    const std::vector<int> shifted = {rawOf(stream.mid(0, 12)), rawOf(stream.mid(12, 12)),
                                      rawOf(stream.mid(24, 12))};
    EXPECT_EQ(loggedRaws(dialog.path), shifted);
    for (const int r : shifted) EXPECT_TRUE(r < 1 || r > 3) << r;

    QTest::qWait(2 * ShortGapMs);
    ASSERT_TRUE(sendAndSee(pty, 4));
    auto expected = shifted;
    expected.push_back(4);
    EXPECT_EQ(loggedRaws(dialog.path), expected);
}
