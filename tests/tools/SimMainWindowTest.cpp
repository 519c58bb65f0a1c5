#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include "PseudoTerminal.h"
#include "SimProcess.h"
#include "device/NumberText.h"
#include "mainwindow/Form1.h"
#include "textlog/LogSession.h"

using namespace simtest;
using testsupport::waitUntil;

namespace {

struct ScriptedDialog : textlog::SaveDialog {
    QString path;
    std::optional<QString> askFileName(QWidget*) override { return path; }
};

// The simulator and the whole main window, connected as a user would: the port name typed
// into the selector, "Connect" pressed.
class SimulatorAndMainWindow : public ::testing::Test {
protected:
    SimulatorAndMainWindow() {
        dialog.path = dir.filePath(QStringLiteral("log.txt"));
        trace = dir.filePath(QStringLiteral("trace.txt"));
        form.reportError = [this](const QString& text) { messages << text; };
        form.MSComm1.setQuickOpenMs(testsupport::TestQuickOpenMs);
        form.show();
    }

    void connectTo(const QString& port) {
        form.Combo1->setEditText(port);
        form.Command2->click();
        ASSERT_TRUE(form.MSComm1.PortOpen()) << messages.join('\n').toStdString();
    }

    QTemporaryDir dir;
    QString trace;
    device::MeasurementHistory history;
    ScriptedDialog dialog;
    mainwindow::Form1 form{history, dialog};
    QStringList messages;
};

}  // namespace

TEST_F(SimulatorAndMainWindow, LogFileAndHistoryHoldEveryFrameTheSimulatorSent) {
    constexpr int Frames = 25;
    form.Command6->click();  // "Save Log"
    ASSERT_TRUE(history.LogToFile);
    SimProcess simulator(
        {"--period", "10", "--frames", QString::number(Frames), "--seed", "11", "--trace", trace});
    VELLICOR_SKIP_IF_EMULATOR_CANNOT_START(simulator.process());
    ASSERT_FALSE(simulator.port().isEmpty()) << simulator.process().readAllStandardError().data();
    connectTo(simulator.port());
    ASSERT_TRUE(waitUntil([&] { return logLines(dialog.path).size() == Frames + 1; }, 10000))
        << logLines(dialog.path).size();

    const auto sent = tracedFrames(trace);
    ASSERT_EQ(sent.size(), static_cast<std::size_t>(Frames));
    const QStringList lines = logLines(dialog.path).mid(1);  // after the header
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
        // The displayed pH agrees with the calibration the graph goes by.
        EXPECT_NEAR(item(9).toDouble(), sim::phFromRaw(word(f, 10), cal), 0.05);
        EXPECT_NEAR(item(8).toDouble(), sim::phFromRaw(word(f, 0), cal), 0.05);
        // Update rate 1: every frame is a sample for the graph too, the newest last.
        const int slot = device::MeasurementHistory::HistoryNewest - (Frames - 1 - i);
        EXPECT_EQ(history.PhHistory[slot], word(f, 10));
        EXPECT_EQ(history.ValveHistory[slot], f[7]);
    }
    EXPECT_EQ(form.Label40->text(), device::formatBracketed(word(sent.back(), 10)));
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(SimulatorAndMainWindow, DroppedLinkLeavesTheWindowDisconnected) {
    SimProcess simulator({"--period", "10", "--drop-after", "3", "--trace", trace});
    VELLICOR_SKIP_IF_EMULATOR_CANNOT_START(simulator.process());
    ASSERT_FALSE(simulator.port().isEmpty());
    connectTo(simulator.port());
    ASSERT_TRUE(waitUntil([&] { return !form.MSComm1.PortOpen(); }, 10000));
    EXPECT_EQ(form.connectColour(), QColor(mainwindow::Form1::Disconnected));
    EXPECT_EQ(messages.size(), 1);
    const auto sent = tracedFrames(trace);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(form.Label40->text(), device::formatBracketed(word(sent.back(), 10)));
    ASSERT_TRUE(simulator.finished());
    EXPECT_EQ(simulator.process().exitCode(), 0);
}
