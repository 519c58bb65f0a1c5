#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <deque>
#include <memory>

#include "PseudoTerminal.h"
#include "SimProcess.h"
#include "device/FrameDecoder.h"
#include "device/MSComm.h"
#include "textlog/Form2.h"
#include "textlog/LogSession.h"

using namespace simtest;
using testsupport::waitUntil;

namespace {

struct ScriptedDialog : textlog::SaveDialog {
    QString path;
    std::optional<QString> askFileName(QWidget*) override { return path; }
};

// The main window's part in the frame's road: every frame due (update rate 1), fixed scale.
struct LoggingSink : device::FrameSink {
    textlog::LogSession* session = nullptr;
    int framesShown = 0;
    void showRegisters(const device::RegisterTexts&) override { ++framesShown; }
    QString updateRateText() const override { return QStringLiteral("1"); }
    void logSample(const device::LogRecord& r) override { session->logSample(r); }
    device::GraphScale graphScale() override { return device::GraphScale::Fixed; }
    void computeScaleMappings() override {}
    void redrawGraph(device::GraphScale) override {}
};

class SimulatorLink : public ::testing::Test {
protected:
    SimulatorLink() : session(history, dialog, hooks()), decoder(history, sink) {
        sink.session = &session;
        dialog.path = dir.filePath(QStringLiteral("log.txt"));
        trace = dir.filePath(QStringLiteral("trace.txt"));
        QObject::connect(&comm, &device::MSComm::OnComm, [this] { decoder.decode(comm.Input()); });
    }

    textlog::LogSession::Hooks hooks() {
        textlog::LogSession::Hooks h;
        h.textLogWindow = [this] {
            if (!textLog) textLog = std::make_unique<textlog::Form2>(nullptr);
            return textLog.get();
        };
        h.showTextLogWindow = [] {};
        h.showLogPath = [](const QString&) {};
        h.reportError = [this](const QString& e) { errors.push_back(e); };
        return h;
    }

    void connectTo(const QString& port) {
        comm.setCommPort(port);
        ASSERT_TRUE(comm.setPortOpen(true)) << comm.errorString().toStdString();
    }

    QTemporaryDir dir;
    QString trace;
    device::MeasurementHistory history;
    ScriptedDialog dialog;
    std::unique_ptr<textlog::Form2> textLog;
    std::vector<QString> errors;
    textlog::LogSession session;
    LoggingSink sink;
    device::FrameDecoder decoder;
    device::MSComm comm;
};

}  // namespace

TEST_F(SimulatorLink, LogFileHoldsEveryFrameTheSimulatorSent) {
    constexpr int Frames = 25;
    session.saveLog();
    ASSERT_TRUE(history.LogToFile);
    SimProcess simulator(
        {"--period", "10", "--frames", QString::number(Frames), "--seed", "11", "--trace", trace});
    ASSERT_FALSE(simulator.port().isEmpty()) << simulator.process().readAllStandardError().data();
    connectTo(simulator.port());
    ASSERT_TRUE(waitUntil([&] { return sink.framesShown == Frames; }, 10000)) << sink.framesShown;

    const auto sent = tracedFrames(trace);
    ASSERT_EQ(sent.size(), static_cast<std::size_t>(Frames));
    QFile log(dialog.path);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromLatin1(log.readAll()).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.takeLast(), QString());  // every line ends with CR LF
    lines.removeFirst();                     // header
    ASSERT_EQ(lines.size(), Frames);
    const sim::Calibration cal;
    for (int i = 0; i < Frames; ++i) {
        SCOPED_TRACE(lines[i].toStdString());
        // The line ends in the measured pH, target pH, valve, raw, limit, pH7, pH4, k and m;
        // the date and time before them may hold blanks of their own.
        const QStringList items = lines[i].simplified().split(' ');
        ASSERT_GE(items.size(), 11);
        const auto item = [&](int fromEnd) { return items[items.size() - fromEnd]; };
        const sim::Bytes& f = sent[static_cast<std::size_t>(i)];
        EXPECT_EQ(item(6).toInt(), word(f, 10));      // raw
        EXPECT_EQ(item(5).toInt(), word(f, 0));       // limit
        EXPECT_EQ(item(4).toInt(), word(f, 2));       // raw7
        EXPECT_EQ(item(3).toInt(), word(f, 4));       // raw4
        EXPECT_EQ(item(2).toInt(), f[6]);             // k
        EXPECT_EQ(item(1).toInt(), word(f, 8));       // m
        EXPECT_EQ(item(7).toInt(nullptr, 16), f[7]);  // valve
        // What the program displays agrees with the calibration the graph uses.
        EXPECT_NEAR(item(9).toDouble(), sim::phFromRaw(word(f, 10), cal), 0.05);
        EXPECT_NEAR(item(8).toDouble(), sim::phFromRaw(word(f, 0), cal), 0.05);
    }
    EXPECT_TRUE(errors.empty());
}

TEST_F(SimulatorLink, DroppedLinkClosesThePortAfterItsFrames) {
    QSignalSpy lost(&comm, &device::MSComm::linkLost);
    SimProcess simulator({"--period", "10", "--drop-after", "3", "--trace", trace});
    ASSERT_FALSE(simulator.port().isEmpty());
    connectTo(simulator.port());
    ASSERT_TRUE(waitUntil([&] { return lost.count() == 1; }, 10000));
    EXPECT_FALSE(comm.PortOpen());
    EXPECT_EQ(sink.framesShown, 3);
    EXPECT_EQ(tracedFrames(trace).size(), 3u);
    ASSERT_TRUE(simulator.process().state() == QProcess::NotRunning ||
                simulator.process().waitForFinished(5000));
    EXPECT_EQ(simulator.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(simulator.process().exitCode(), 0);
}
