// The real main window on the wall clock, fed through a pseudo-terminal: frames that come
// faster than the screen's pace are handled in batches, and each keeps the time it came.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <limits>
#include <thread>
#include <vector>

#include "Form1Fixture.h"
#include "Frames.h"
#include "PseudoTerminal.h"
#include "device/NumberText.h"
#include "device/RegionalText.h"
#include "textlog/LogFile.h"

using testsupport::PseudoTerminal;
using testsupport::waitUntil;

namespace {

// The raw reading carries the frame's number.
QByteArray numberedFrame(int n) {
    QByteArray f = testsupport::referenceFrame();
    f[10] = static_cast<char>(n & 0xFF);
    f[11] = static_cast<char>(n >> 8);
    return f;
}

class BatchedFrames : public ::testing::Test {
protected:
    void SetUp() override {
        form.reportError = [this](const QString& text) { messages << text; };
        form.MSComm1.setQuickOpenMs(testsupport::TestQuickOpenMs);
        QObject::connect(&form.station(), &station::Station::frameDecoded,
                         [this](const device::DeviceFrame& f, const QDateTime& time) {
                             decoded.push_back({f.raw, time});
                         });
        auto log = std::make_unique<textlog::LogFile>();
        ASSERT_TRUE(log->open(dir.filePath("log.txt")));
        form.logInto(std::move(log));
        form.connectTo(pty.slaveName());
        ASSERT_TRUE(form.MSComm1.PortOpen()) << messages.join("\n").toStdString();
        QTest::qWait(50);  // the news of the opening
    }
    // The file's data lines, the header left out.
    QStringList loggedLines() const {
        QFile file(dir.filePath("log.txt"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        QStringList lines =
            QString::fromLocal8Bit(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
        if (!lines.isEmpty()) lines.removeFirst();
        return lines;
    }
    // The raw reading is the sixth column from the end (raw, limit, pH7, pH4, k, m).
    static bool lineIsFrame(const QString& line, int n) {
        const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
        return fields.size() >= 6 && fields[fields.size() - 6] == QString::number(n);
    }

    struct Decoded {
        int raw;
        QDateTime time;
    };
    QTemporaryDir dir;
    PseudoTerminal pty;
    device::MeasurementHistory history;
    mainwindowtest::ScriptedDialog dialog;
    mainwindow::Form1 form{history, dialog};
    QStringList messages;
    std::vector<Decoded> decoded;
};

}  // namespace

TEST_F(BatchedFrames, FramesOfOneBatchAreLoggedInOrderEachWithTheTimeItCame) {
    constexpr int Count = 6;
    std::vector<QDateTime> written(Count);
    // Written at the line's pace from a thread of its own while the window takes them.
    std::thread device([&] {
        for (int n = 0; n < Count; ++n) {
            written[n] = QDateTime::currentDateTime();
            pty.write(numberedFrame(n));
            QThread::msleep(12);
        }
    });
    const bool all = waitUntil([&] { return loggedLines().size() == Count; });
    device.join();
    ASSERT_TRUE(all) << loggedLines().join("\n").toStdString();
    ASSERT_EQ(decoded.size(), std::size_t{Count});
    const QStringList lines = loggedLines();
    // A time taken when the batch is handled would be up to a batch late for most frames; a
    // busy machine may still make the odd read late, so most, not all, must be on time.
    int onTime = 0;
    for (int n = 0; n < Count; ++n) {
        EXPECT_EQ(decoded[n].raw, n);
        if (std::abs(decoded[n].time.msecsTo(written[n])) <= 10) ++onTime;
        // The line is the frame's, and bears the second the frame came in.
        EXPECT_TRUE(lineIsFrame(lines[n], n)) << lines[n].toStdString();
        EXPECT_TRUE(
            lines[n].contains(device::formatRegionalTime(decoded[n].time.time(), QLocale())))
            << lines[n].toStdString();
    }
    EXPECT_GE(onTime, Count - 1);
    EXPECT_EQ(form.Label40->text(), device::formatBracketed(Count - 1));
}

TEST_F(BatchedFrames, AtOneFrameASecondEachReachesTheDisplayAndTheLogAtOnce) {
    // A frame held for the batch pace would be 100 ms late every time; a busy machine may
    // delay one of them, not all.
    qint64 fastest = std::numeric_limits<qint64>::max();
    for (int n = 1; n <= 3; ++n) {
        if (n > 1) QTest::qWait(1000);
        QElapsedTimer since;
        since.start();
        pty.write(numberedFrame(n));
        ASSERT_TRUE(waitUntil([&] {
            return form.Label40->text() == device::formatBracketed(n) && loggedLines().size() == n;
        }));
        fastest = std::min(fastest, since.elapsed());
        EXPECT_TRUE(lineIsFrame(loggedLines().back(), n));
    }
    EXPECT_LT(fastest, 100);
}

TEST_F(BatchedFrames, ABurstOfAThousandFramesLosesNone) {
    QByteArray burst;
    for (int n = 0; n < 1000; ++n) burst += numberedFrame(n);
    pty.write(burst);
    ASSERT_TRUE(waitUntil([&] { return decoded.size() == 1000; }, 10000)) << decoded.size();
    for (int n = 0; n < 1000; ++n) ASSERT_EQ(decoded[n].raw, n);
    const QStringList lines = loggedLines();
    ASSERT_EQ(lines.size(), 1000);
    for (int n = 0; n < 1000; n += 111) EXPECT_TRUE(lineIsFrame(lines[n], n)) << n;
    EXPECT_TRUE(lineIsFrame(lines.back(), 999));
}
