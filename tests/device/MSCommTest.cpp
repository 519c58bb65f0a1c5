#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <atomic>

#include "Frames.h"
#include "PseudoTerminal.h"
#include "RecordingSink.h"
#include "device/FrameDecoder.h"
#include "device/MSComm.h"
#include "device/ReceiveBuffer.h"

using namespace device;
using testsupport::PseudoTerminal;
using testsupport::waitUntil;

namespace {

class SerialLink : public ::testing::Test {
protected:
    void SetUp() override {
        comm.setCommPort(pty.slaveName());
        comm.setQuickOpenMs(testsupport::TestQuickOpenMs);
        ASSERT_TRUE(comm.setPortOpen(true)) << comm.errorString().toStdString();
    }
    PseudoTerminal pty;
    MSComm comm;
};
}  // namespace

TEST_F(SerialLink, EveryByteValueArrivesUnchangedAndInOrder) {
    QByteArray all;
    for (int v = 0; v < 256; ++v) all.append(static_cast<char>(v));
    all.append(all.left(8));  // 264 = 22 reads of 12
    QByteArray received;
    QObject::connect(&comm, &MSComm::OnComm, [&] { received += comm.Input(); });
    pty.write(all);
    ASSERT_TRUE(waitUntil([&] { return received.size() == all.size(); }))
        << "got " << received.size();
    EXPECT_EQ(received, all);
}

TEST_F(SerialLink, FrameWithNulAndFlowControlBytesIsDecoded) {
    MeasurementHistory history;
    RecordingSink sink;
    FrameDecoder decoder(history, sink);
    QObject::connect(&comm, &MSComm::OnComm, [&] { decoder.decode(comm.Input()); });
    // limit 0x1100 (XON high), raw7 0x0013 (XOFF), raw4 0, valve 0x11
    pty.write(testsupport::bytes(
        {0x00, 0x11, 0x13, 0x00, 0x00, 0x00, 0x5A, 0x11, 0xE8, 0x03, 0x13, 0x11}));
    ASSERT_TRUE(waitUntil([&] { return !sink.shown.empty(); }));
    const RegisterTexts& t = sink.shown[0];
    EXPECT_EQ(t.limit, "[ 4352]");
    EXPECT_EQ(t.raw7, "[ 19]");
    EXPECT_EQ(t.hex[7], "11");
    EXPECT_EQ(t.raw, "[ 4371]");
}

TEST_F(SerialLink, ReadTakesTwelveAndLeavesTheRestWaiting) {
    QByteArray twenty;
    for (int v = 1; v <= 20; ++v) twenty.append(static_cast<char>(v));
    QByteArray first;
    int remaining = -1;
    QObject::connect(&comm, &MSComm::OnComm, [&] {
        if (!first.isEmpty()) return;
        first = comm.Input();
        remaining = comm.InBufferCount();
    });
    pty.write(twenty);
    ASSERT_TRUE(waitUntil([&] { return !first.isEmpty(); }));
    EXPECT_EQ(first, twenty.left(12));
    EXPECT_EQ(remaining, 8);
    EXPECT_EQ(comm.Input(), twenty.mid(12));
    EXPECT_EQ(comm.InBufferCount(), 0);
    EXPECT_TRUE(comm.Input().isEmpty());
}

namespace {
// Counts the hand-overs from the link's thread: each is a queued call delivered to the owner,
// and each costs the window's thread a wake-up.
class HandOverCounter final : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MetaCall) ++count;
        return false;
    }
};
}  // namespace

TEST_F(SerialLink, AFrameInPiecesAndTheFramesOfABatchIntervalAreHandedOverOnce) {
    QTest::qWait(50);  // the news of the opening
    HandOverCounter handOvers;
    comm.installEventFilter(&handOvers);
    QList<QByteArray> frames;
    QObject::connect(&comm, &MSComm::OnComm, [&] { frames << comm.Input(); });
    const QByteArray frame = testsupport::referenceFrame();
    for (const char byte : frame) {  // as a line at 9600 baud hands them to a quick reader
        pty.write(QByteArray(1, byte));
        QThread::msleep(2);
    }
    ASSERT_TRUE(waitUntil([&] { return frames.size() == 1; }));
    EXPECT_EQ(handOvers.count, 1);
    // Five frames come within the interval after it: the link's thread keeps them without a
    // word, and they go together when the interval ends.
    for (int i = 0; i < 5; ++i) {
        pty.write(frame);
        QThread::msleep(3);
    }
    ASSERT_TRUE(waitUntil([&] { return frames.size() == 6; }));
    EXPECT_EQ(handOvers.count, 1);
    for (const QByteArray& f : frames) EXPECT_EQ(f, frame);
    // After a quiet interval the next frame is told of at once.
    QTest::qWait(2 * MSComm::BatchIntervalMs);
    pty.write(frame);
    ASSERT_TRUE(waitUntil([&] { return frames.size() == 7; }));
    EXPECT_EQ(handOvers.count, 2);
}

// Frames still waiting for their batch when the line goes, or when the user disconnects, are
// handed over first: the pace never drops a frame that came.
TEST_F(SerialLink, FramesWaitingForTheirBatchAreHandedOverWhenTheLineGoesOrCloses) {
    QTest::qWait(50);  // the news of the opening
    int taken = 0;
    QObject::connect(&comm, &MSComm::OnComm,
                     [&] { taken += static_cast<int>(comm.takeFrames().size()); });
    const QByteArray frame = testsupport::referenceFrame();
    pty.write(frame);
    ASSERT_TRUE(waitUntil([&] { return taken == 1; }));
    pty.write(frame + frame);
    // (A loaded machine may let the interval end first: then they went with it.)
    ASSERT_TRUE(waitUntil([&] { return comm.InBufferCount() == 24 || taken == 3; }));
    pty.closeMaster();
    ASSERT_TRUE(waitUntil([&] { return comm.linkState() == LinkState::Retrying; }));
    EXPECT_EQ(taken, 3);

    PseudoTerminal second;
    comm.setCommPort(second.slaveName());
    ASSERT_TRUE(comm.setPortOpen(true));
    second.write(frame);
    ASSERT_TRUE(waitUntil([&] { return taken == 4; }));
    second.write(frame);
    ASSERT_TRUE(waitUntil([&] { return comm.InBufferCount() == 12 || taken == 5; }));
    comm.setPortOpen(false);
    EXPECT_EQ(taken, 5);
}

TEST_F(SerialLink, GapRealignsAfterAMisalignedStart) {
    comm.setResyncGapMs(100);
    MeasurementHistory history;
    RecordingSink sink;
    FrameDecoder decoder(history, sink);
    QObject::connect(&comm, &MSComm::OnComm, [&] { decoder.decode(comm.Input()); });
    const QByteArray frame = testsupport::referenceFrame();
    pty.write(frame.mid(5));  // the tail of a frame that began before we listened
    waitUntil([&] { return comm.InBufferCount() == 7; });
    QThread::msleep(250);
    pty.write(frame + frame);
    ASSERT_TRUE(waitUntil([&] { return sink.shown.size() == 2; }));
    for (const auto& t : sink.shown) EXPECT_EQ(t.raw, "[ 766]");
    EXPECT_EQ(comm.InBufferCount(), 0);
}

TEST_F(SerialLink, ReconnectDoesNotPrefixTheNewLinkWithBytesOfTheOld) {
    MeasurementHistory history;
    RecordingSink sink;
    FrameDecoder decoder(history, sink);
    QObject::connect(&comm, &MSComm::OnComm, [&] { decoder.decode(comm.Input()); });
    const QByteArray frame = testsupport::referenceFrame();
    pty.write(frame.left(5));  // the link drops mid-frame
    ASSERT_TRUE(waitUntil([&] { return comm.InBufferCount() == 5; }));
    comm.setPortOpen(false);
    ASSERT_TRUE(comm.setPortOpen(true));
    pty.write(frame);  // the first frame follows the reconnect at once
    ASSERT_TRUE(waitUntil([&] { return !sink.shown.empty(); }));
    EXPECT_EQ(sink.shown[0].raw, "[ 766]");
    EXPECT_EQ(comm.InBufferCount(), 0);
}

TEST_F(SerialLink, VanishingDeviceClosesThePortOnce) {
    QSignalSpy lost(&comm, &MSComm::linkLost);
    pty.closeMaster();
    ASSERT_TRUE(waitUntil([&] { return !comm.PortOpen(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(lost.count(), 1);
}

// A read that finds nothing on a live line, as a terminal set to return at once gives when it
// woke its reader a moment early: Qt reports a read error and reads on. The kernel's timing
// cannot be had at will, so the port's report is made by hand, on the port's own thread.
TEST(SerialLinkRead, AReadThatFindsNothingOnALiveLineIsNoLossAndAHangUpStillIs) {
    PseudoTerminal pty;
    MSComm comm;
    std::atomic<QSerialPort*> port{nullptr};
    comm.setOpener([&](QSerialPort& p) {
        port = &p;
        return openForReading(p);
    });
    comm.setCommPort(pty.slaveName());
    comm.setQuickOpenMs(testsupport::TestQuickOpenMs);
    ASSERT_TRUE(comm.setPortOpen(true));
    QSignalSpy lost(&comm, &MSComm::linkLost);
    QList<QByteArray> frames;
    QObject::connect(&comm, &MSComm::OnComm, [&] { frames << comm.Input(); });
    QSerialPort* p = port.load();
    QMetaObject::invokeMethod(p, [p] { emit p->errorOccurred(QSerialPort::ReadError); });
    QTest::qWait(50);
    EXPECT_TRUE(comm.PortOpen());
    pty.write(testsupport::referenceFrame());
    ASSERT_TRUE(waitUntil([&] { return frames.size() == 1; }));
    EXPECT_EQ(lost.count(), 0);
    pty.closeMaster();
    ASSERT_TRUE(waitUntil([&] { return !comm.PortOpen(); }));
    EXPECT_EQ(lost.count(), 1);
}

TEST(SerialLinkClosed, BufferCanBeEmptiedWhileClosedAndOpenFailuresExplain) {
    MSComm comm;
    comm.setInBufferCount(0);
    EXPECT_EQ(comm.InBufferCount(), 0);
    EXPECT_FALSE(comm.PortOpen());
    comm.setCommPort("/dev/does-not-exist-vellicor");
    EXPECT_FALSE(comm.setPortOpen(true));
    EXPECT_FALSE(comm.PortOpen());
    EXPECT_TRUE(comm.errorString().contains("/dev/does-not-exist-vellicor"));
    EXPECT_TRUE(describeOpenFailure("/dev/ttyS0", QSerialPort::PermissionError, "denied")
                    .contains("group"));
}

TEST(ReceiveBuffer, PauseDropsOnlyATornFrame) {
    ReceiveBuffer buffer(500);
    buffer.arrive("abcde", 0);
    buffer.arrive("fg", 499);  // within a frame's pause: kept
    EXPECT_EQ(buffer.count(), 7);
    buffer.arrive("0123456789AB", 501);  // after silence: the torn bytes go
    EXPECT_EQ(buffer.take(12), "0123456789AB");
    EXPECT_EQ(buffer.droppedBytes(), 7);
    buffer.arrive("xy", 10000);  // nothing waiting, nothing dropped
    EXPECT_EQ(buffer.take(12), "xy");
    EXPECT_EQ(buffer.droppedBytes(), 7);
    // A reader that is behind loses no whole frame at a pause: only the torn tail goes.
    buffer.arrive(QByteArray(24, 'f') + "tor", 0);
    buffer.arrive("0123456789AB", 600);
    EXPECT_EQ(buffer.count(), 36);
    EXPECT_EQ(buffer.take(12), QByteArray(12, 'f'));
    EXPECT_EQ(buffer.droppedBytes(), 10);
}

// A read's time is that of the arrival that brought its last byte; a torn frame dropped at a
// pause takes no time with it, so the times stay with their reads.
TEST(ReceiveBuffer, EachWholeReadKeepsTheTimeItsLastByteCame) {
    const auto at = [](int ms) {
        return ArrivalTime{QDateTime(QDate(2026, 12, 8), QTime(9, 0).addMSecs(ms)), ms};
    };
    ReceiveBuffer buffer(500);
    buffer.arrive("abcde", 0, at(0));
    buffer.arrive("fghijklmnopq", 10, at(10));  // completes one read, starts the next
    buffer.arrive("rstuvwx", 10, at(20));       // completes the second
    buffer.arrive("tor", 10, at(30));
    buffer.arrive("0123456789AB", 600, at(630));  // "tor" goes at the pause
    buffer.arrive("01234", 0, at(640));
    EXPECT_EQ(buffer.take(12), "abcdefghijkl");  // one read taken alone drops its time
    const std::vector<ArrivedFrame> reads = buffer.takeReads();
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].bytes, "mnopqrstuvwx");
    EXPECT_EQ(reads[0].steadyMs, 20);
    EXPECT_EQ(reads[0].time, at(20).time);
    EXPECT_EQ(reads[1].bytes, "0123456789AB");
    EXPECT_EQ(reads[1].steadyMs, 630);
    EXPECT_EQ(buffer.count(), 5);  // the part of a read waits for its rest
    buffer.arrive("56789ab", 5, at(645));
    const std::vector<ArrivedFrame> last = buffer.takeReads();
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0].bytes, "0123456789ab");
    EXPECT_EQ(last[0].steadyMs, 645);
    EXPECT_EQ(buffer.count(), 0);
}
