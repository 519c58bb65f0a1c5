#include <gtest/gtest.h>

#include <QTest>
#include <QThread>
#include <thread>
#include <vector>

#include "Frames.h"
#include "PseudoTerminal.h"
#include "device/MSComm.h"

using namespace device;
using testsupport::PseudoTerminal;
using testsupport::waitUntil;

namespace {

// Frame number n in its last two bytes, so order and loss show.
QByteArray numberedFrame(int n) {
    QByteArray f = testsupport::referenceFrame();
    f[10] = static_cast<char>(n & 0xFF);
    f[11] = static_cast<char>(n >> 8);
    return f;
}

int numberOf(const ArrivedFrame& f) {
    return static_cast<quint8>(f.bytes[10]) | static_cast<quint8>(f.bytes[11]) << 8;
}

qint64 steadyNow() {
    return Clock::system().steadyMs();
}

// A link on a pseudo-terminal whose owner takes every whole frame at each notification, and
// notes when each batch came.
class BatchedLink : public ::testing::Test {
protected:
    void SetUp() override {
        comm.setCommPort(pty.slaveName());
        comm.setQuickOpenMs(testsupport::TestQuickOpenMs);
        ASSERT_TRUE(comm.setPortOpen(true)) << comm.errorString().toStdString();
        QTest::qWait(50);  // the news of the opening
        QObject::connect(&comm, &MSComm::OnComm, [this] {
            std::vector<ArrivedFrame> frames = comm.takeFrames();
            if (frames.empty()) return;
            batches.push_back({std::move(frames), steadyNow()});
        });
    }
    int framesTaken() const {
        int n = 0;
        for (const Batch& b : batches) n += static_cast<int>(b.frames.size());
        return n;
    }

    struct Batch {
        std::vector<ArrivedFrame> frames;
        qint64 takenMs;
    };
    PseudoTerminal pty;
    MSComm comm;
    std::vector<Batch> batches;
};

}  // namespace

// The first frame after a quiet spell goes at once; those that follow within the interval
// wait and go together, in order, each with the moment its last byte was read, not the
// moment the batch was taken.
TEST_F(BatchedLink, FramesWithinOneIntervalGoTogetherEachWithTheTimeItCame) {
    // Written from a thread of its own, at the line's pace, while this one takes frames.
    std::vector<qint64> writtenMs(6);
    std::vector<QDateTime> writtenAt(6);
    std::thread device([&] {
        for (int n = 0; n < 6; ++n) {
            writtenMs[n] = steadyNow();
            writtenAt[n] = QDateTime::currentDateTime();
            pty.write(numberedFrame(n));
            QThread::msleep(12);
        }
    });
    const bool all = waitUntil([&] { return framesTaken() == 6; });
    device.join();
    ASSERT_TRUE(all);
    ASSERT_EQ(batches.size(), 2u);
    ASSERT_EQ(batches[0].frames.size(), 1u);
    EXPECT_GE(batches[1].takenMs - batches[0].takenMs, MSComm::BatchIntervalMs * 9 / 10);
    int n = 0;
    for (const Batch& batch : batches) {
        for (const ArrivedFrame& f : batch.frames) {
            EXPECT_EQ(numberOf(f), n);
            EXPECT_NEAR(f.steadyMs, writtenMs[n], 10) << "frame " << n;
            EXPECT_LE(std::abs(f.time.msecsTo(writtenAt[n])), 10) << "frame " << n;
            ++n;
        }
    }
}

// At the device's usual pace nothing waits for an interval: each frame is taken at once.
TEST_F(BatchedLink, AtOneFrameASecondEachFrameIsTakenAtOnce) {
    std::vector<qint64> writtenMs;
    for (int n = 0; n < 3; ++n) {
        if (n > 0) QTest::qWait(1000);
        writtenMs.push_back(steadyNow());
        pty.write(numberedFrame(n));
        ASSERT_TRUE(waitUntil([&] { return framesTaken() == n + 1; }));
    }
    ASSERT_EQ(batches.size(), 3u);
    for (int n = 0; n < 3; ++n) EXPECT_LT(batches[n].takenMs - writtenMs[n], 100) << "frame " << n;
}

TEST_F(BatchedLink, ABurstOfAThousandFramesLosesNone) {
    QByteArray burst;
    for (int n = 0; n < 1000; ++n) burst += numberedFrame(n);
    pty.write(burst);
    ASSERT_TRUE(waitUntil([&] { return framesTaken() == 1000; }, 10000)) << framesTaken();
    int n = 0;
    for (const Batch& batch : batches)
        for (const ArrivedFrame& f : batch.frames) EXPECT_EQ(numberOf(f), n++);
    EXPECT_EQ(comm.InBufferCount(), 0);
}
