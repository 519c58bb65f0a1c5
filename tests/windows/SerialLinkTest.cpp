// The Win32 link under Wine, on a COM port that is a pseudo-terminal played from Linux by
// tests/windows/com-pty: every request below ("pty send ...") is carried out on the line's
// other side before the driver reads the next.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <cstdio>

#include "Frames.h"
#include "WaitUntil.h"
#include "device/MSComm.h"
#include "device/SerialPort_win.h"

using namespace device;
using testsupport::waitUntil;

namespace {

const QString Port = QStringLiteral("COM5");

void askLine(const char* request, const QByteArray& bytes = {}) {
    std::printf("pty %s %s\n", request, bytes.toHex().constData());
    std::fflush(stdout);
}

class Win32Link : public ::testing::Test {
protected:
    void SetUp() override {
        comm.setCommPort(Port);
        comm.setQuickOpenMs(5000);
        comm.setRetryDelays(100, 100);
        QObject::connect(&comm, &MSComm::OnComm, [this] { received += comm.Input(); });
        ASSERT_TRUE(comm.setPortOpen(true)) << comm.errorString().toStdString();
    }
    // As Disconnect: the port is closed once this returns (Exit would not wait for that).
    void TearDown() override { comm.setPortOpen(false); }
    MSComm comm;
    QByteArray received;
};

}  // namespace

TEST_F(Win32Link, EveryByteValueArrivesUnchangedAndInOrder) {
    QByteArray all;
    for (int v = 0; v < 256; ++v) all.append(static_cast<char>(v));
    all.append(all.left(8));  // 264 = 22 reads of 12; XON, XOFF, NUL and CR among them
    askLine("send", all.left(100));
    askLine("send", all.mid(100));
    ASSERT_TRUE(waitUntil([&] { return received.size() == all.size(); }, 5000))
        << "got " << received.size();
    EXPECT_EQ(received, all);
}

TEST_F(Win32Link, FramesInPiecesAndInBurstsAreHandedOverWhole) {
    const QByteArray frame = testsupport::referenceFrame();
    askLine("send", frame.left(5));
    askLine("send", frame.mid(5));
    askLine("send", frame + frame + frame);
    ASSERT_TRUE(waitUntil([&] { return received.size() == 4 * frame.size(); }, 5000));
    EXPECT_EQ(received, frame.repeated(4));
}

// Under Wine a line whose far side hung up reads like a quiet one: the link stays open, its
// reads keep waiting their whole time rather than spinning, and nothing is reported lost.
// Disconnect and Connect then find the device that came back behind the same name.
TEST_F(Win32Link, AHungUpLineReadsAsAQuietOneAndConnectFindsTheDeviceBack) {
    QSignalSpy lost(&comm, &MSComm::linkLost);
    askLine("send", testsupport::referenceFrame());
    ASSERT_TRUE(waitUntil([&] { return received.size() == 12; }, 5000));
    askLine("hangup");
    waitUntil([] { return false; }, 3 * int(SerialPortWin::ReadWaitMs));
    EXPECT_EQ(lost.count(), 0);
    EXPECT_EQ(comm.linkState(), LinkState::Open);

    askLine("renew");
    comm.setPortOpen(false);
    ASSERT_TRUE(comm.setPortOpen(true)) << comm.errorString().toStdString();
    received.clear();
    askLine("send", testsupport::referenceFrame());
    ASSERT_TRUE(waitUntil([&] { return received.size() == 12; }, 5000));
}

// Wine lets a COM port be opened twice, so a read of the link before that is still waiting
// would take bytes meant for the next one: Disconnect returns only once that read is over.
TEST_F(Win32Link, AfterDisconnectEveryByteGoesToTheNextConnection) {
    waitUntil([] { return false; }, 100);  // the link's read now waits on the quiet line
    comm.setPortOpen(false);
    ASSERT_TRUE(comm.setPortOpen(true)) << comm.errorString().toStdString();
    const QByteArray frames = testsupport::referenceFrame().repeated(3);
    askLine("send", frames);
    ASSERT_TRUE(waitUntil([&] { return received.size() == frames.size(); }, 5000))
        << "got " << received.size();
}

TEST(Win32Port, AMissingPortSaysSoInWordsAUserCanActOn) {
    MSComm comm;
    comm.setCommPort(QStringLiteral("COM9"));
    comm.setQuickOpenMs(5000);
    EXPECT_FALSE(comm.setPortOpen(true));
    const QString error = comm.errorString();
    EXPECT_TRUE(error.startsWith("Cannot open COM9: ")) << error.toStdString();
    EXPECT_NE(error.indexOf("paired and switched on"), -1) << error.toStdString();
}

TEST(Win32Port, HighPortNumbersOpenThroughTheDevicePath) {
    EXPECT_EQ(devicePathOf("COM3"), "\\\\.\\COM3");
    EXPECT_EQ(devicePathOf("COM12"), "\\\\.\\COM12");
    EXPECT_EQ(devicePathOf("\\\\.\\COM12"), "\\\\.\\COM12");
}
