#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "Form1Fixture.h"
#include "Frames.h"
#include "PseudoTerminal.h"

using mainwindowtest::Form1Test;
using testsupport::bytes;
using testsupport::PseudoTerminal;
using testsupport::waitUntil;

namespace {

const QByteArray SampleFrame = testsupport::referenceFrame();
// Same frame with the raw reading 0x0300 = 768.
const QByteArray OtherFrame =
    bytes({0x2C, 0x03, 0x8B, 0x02, 0xFD, 0x00, 0x5A, 0x01, 0xE8, 0x03, 0x00, 0x03});

const QColor LightRed(255, 192, 192), LightGreen(192, 255, 192);

using Connection = Form1Test;

}  // namespace

TEST_F(Connection, FrameFromATypedPortShowsInEveryLabel) {
    PseudoTerminal pty;
    form.Combo1->setEditText(pty.slaveName());
    form.Command2->click();
    ASSERT_TRUE(form.MSComm1.PortOpen()) << messages.join("\n").toStdString();
    EXPECT_EQ(form.connectColour(), LightGreen);
    EXPECT_EQ(QColor(form.Command2->grab().toImage().pixel(4, 4)), LightGreen);
    EXPECT_EQ(form.Combo1->count(), 15);

    pty.write(SampleFrame);
    ASSERT_TRUE(waitUntil([&] { return form.Label56->text() != "- . -  -"; }));
    const std::pair<QLabel*, const char*> expected[] = {
        {form.Label8, "2C"},    {form.Label9, "3"},    {form.Label12, "[ 812]"},
        {form.Label16, "8B"},   {form.Label15, "2"},   {form.Label19, "[ 651]"},
        {form.Label21, "FD"},   {form.Label20, "0"},   {form.Label24, "[ 253]"},
        {form.Label25, "5A"},   {form.Label26, "1"},   {form.Label29, "[ 90]"},
        {form.Label31, "E8"},   {form.Label30, "3"},   {form.Label34, "[ 1000]"},
        {form.Label43, "FE"},   {form.Label44, "2"},   {form.Label40, "[ 766]"},
        {form.Label56, "6.99"}, {form.Label7, "7.41"},
    };
    for (const auto& [label, text] : expected)
        EXPECT_EQ(label->text(), text) << label->objectName().toStdString();
    // Update rate 1: the frame went into the history and the count restarted.
    EXPECT_EQ(history.PhHistory[device::MeasurementHistory::HistoryNewest], 766);
    EXPECT_EQ(history.SampleCount, 0);

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    pty.write(SampleFrame);
    const bool regional = waitUntil([&] { return form.Label56->text() == "6,99"; });
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_TRUE(regional);
    EXPECT_EQ(form.Label7->text(), "7,41");
}

TEST_F(Connection, DisconnectOnAClosedPortChangesNothing) {
    form.Command3_Click();
    EXPECT_FALSE(form.MSComm1.PortOpen());
    EXPECT_EQ(form.connectColour(), LightRed);
    EXPECT_TRUE(messages.isEmpty());

    PseudoTerminal pty;
    form.connectTo(pty.slaveName());
    ASSERT_TRUE(form.MSComm1.PortOpen());
    form.Command3_Click();
    EXPECT_FALSE(form.MSComm1.PortOpen());
    EXPECT_EQ(form.connectColour(), LightRed);
}

TEST_F(Connection, ConnectAgainReopensOnTheNewlySelectedEntry) {
    PseudoTerminal com3, com5;
    form.portNameForNumber = [&](int k) {
        return k == 3   ? com3.slaveName()
               : k == 5 ? com5.slaveName()
                        : QString("/dev/none%1").arg(k);
    };
    form.Combo1->setCurrentIndex(2);
    form.Command2_Click();
    ASSERT_TRUE(form.MSComm1.PortOpen()) << messages.join("\n").toStdString();
    EXPECT_EQ(form.MSComm1.CommPort(), com3.slaveName());

    form.Combo1->setCurrentIndex(4);
    form.Command2_Click();
    ASSERT_TRUE(form.MSComm1.PortOpen());
    EXPECT_EQ(form.MSComm1.CommPort(), com5.slaveName());
    EXPECT_EQ(form.connectColour(), LightGreen);

    com3.write(SampleFrame);  // the old port is closed: this frame must not arrive
    com5.write(OtherFrame);
    ASSERT_TRUE(waitUntil([&] { return form.Label40->text() == "[ 768]"; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(history.PhHistory[device::MeasurementHistory::HistoryNewest - 1], 0);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Connection, FailedOpenIsReportedAndLeavesThePortClosed) {
    PseudoTerminal pty;
    form.connectTo(pty.slaveName());
    ASSERT_TRUE(form.MSComm1.PortOpen());
    const float connectedAt = history.LastFrameTime;
    clock.advanceMs(5000);

    form.connectTo("/dev/vellicor-no-such-port");
    EXPECT_FALSE(form.MSComm1.PortOpen());
    EXPECT_EQ(form.connectColour(), LightRed);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("/dev/vellicor-no-such-port"));
    EXPECT_EQ(history.LastFrameTime, connectedAt);
}

TEST_F(Connection, VanishedDeviceIsReportedOnceAndConnectWorksAgain) {
    {
        PseudoTerminal pty;
        form.connectTo(pty.slaveName());
        ASSERT_TRUE(form.MSComm1.PortOpen());
        pty.closeMaster();
        ASSERT_TRUE(waitUntil([&] { return !form.MSComm1.PortOpen(); }));
    }
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_EQ(messages.size(), 1);
    // What happened, not whatever error number the last system call left behind.
    EXPECT_TRUE(messages[0].contains("hung up")) << messages[0].toStdString();
    EXPECT_FALSE(messages[0].contains("temporarily")) << messages[0].toStdString();
    EXPECT_EQ(form.connectColour(), LightRed);

    PseudoTerminal again;
    form.connectTo(again.slaveName());
    ASSERT_TRUE(form.MSComm1.PortOpen()) << messages.join("\n").toStdString();
    EXPECT_EQ(form.connectColour(), LightGreen);
    again.write(SampleFrame);
    EXPECT_TRUE(waitUntil([&] { return form.Label56->text() == "6.99"; }));
}

TEST_F(Connection, CountdownRestartsAtConnectAndAtEachFrame) {
    auto tick = [&] {
        form.Timer2_Timer();
        return form.Label6->text().toStdString();
    };
    // Before any Connect the last frame time is midnight: 92 - 36000.
    EXPECT_EQ(tick(), "-35908");

    PseudoTerminal pty;
    form.connectTo(pty.slaveName());
    ASSERT_TRUE(form.MSComm1.PortOpen());
    const std::pair<int, const char*> afterConnect[] = {
        {0, "92"},    {400, "92"},  {100, "92"},       // 91.5 rounds to the even 92
        {100, "91"},  {1000, "90"}, {900, "90"},       // 89.5 rounds to the even 90
        {89000, "0"}, {2000, "-2"}, {100000, "-102"},  // -1.5 and -101.5 go to even too
    };
    for (const auto& [advanceMs, shown] : afterConnect) {
        clock.advanceMs(advanceMs);
        EXPECT_EQ(tick(), shown) << "after +" << advanceMs << " ms";
    }

    pty.write(SampleFrame);
    ASSERT_TRUE(waitUntil([&] { return form.Label56->text() == "6.99"; }));
    EXPECT_EQ(tick(), "92");
    clock.advanceMs(1000);
    EXPECT_EQ(tick(), "91");

    // A frame ten seconds before midnight, a tick five seconds after it.
    clock.advanceMs(clock.now().msecsTo(QDateTime(QDate(2024, 3, 5), QTime(23, 59, 50))));
    pty.write(SampleFrame);
    ASSERT_TRUE(waitUntil([&] { return history.LastFrameTime > 86000; }));
    clock.advanceMs(15000);
    EXPECT_EQ(tick(), "77");
}

TEST_F(Connection, CountdownIgnoresStepsOfTheWallClock) {
    auto tick = [&] {
        form.Timer2_Timer();
        return form.Label6->text().toStdString();
    };
    PseudoTerminal pty;
    form.connectTo(pty.slaveName());
    ASSERT_TRUE(form.MSComm1.PortOpen());
    clock.advanceMs(5000);
    // Daylight saving ends or the user sets the clock back: the device has still been silent
    // for five seconds, not for most of a day.
    clock.set(clock.now().addSecs(-3600));
    EXPECT_EQ(tick(), "87");
    clock.advanceMs(1000);
    clock.set(clock.now().addSecs(2 * 3600));
    EXPECT_EQ(tick(), "86");

    // A frame after the steps restarts the count; its time stays the wall clock's time of day.
    pty.write(SampleFrame);
    ASSERT_TRUE(waitUntil([&] { return form.Label56->text() == "6.99"; }));
    EXPECT_FLOAT_EQ(history.LastFrameTime, 11 * 3600 + 6);
    EXPECT_EQ(tick(), "92");
    clock.set(clock.now().addSecs(-30));
    clock.advanceMs(3000);
    EXPECT_EQ(tick(), "89");
}

TEST_F(Connection, RepeatedFailuresShareOneWindowPerKindWithTheNewestReasonAndCount) {
    // As the program builds it: messages go to its own windows, not to the test.
    mainwindow::Form1 program{history, dialog, clock};
    const auto shown = [&] {
        QList<QMessageBox*> boxes;
        for (QMessageBox* box : program.findChildren<QMessageBox*>())
            if (box->isVisible()) boxes << box;
        return boxes;
    };
    for (int i = 1; i <= 3; ++i) program.connectTo(QString("/dev/vellicor-missing-%1").arg(i));
    ASSERT_EQ(shown().size(), 1);
    QMessageBox* connectBox = shown()[0];
    EXPECT_TRUE(connectBox->text().contains("/dev/vellicor-missing-3"))
        << connectBox->text().toStdString();
    EXPECT_FALSE(connectBox->text().contains("/dev/vellicor-missing-1"));
    EXPECT_TRUE(connectBox->text().contains("3 times")) << connectBox->text().toStdString();
    // Never in the way: the main window keeps working while the message waits.
    EXPECT_EQ(connectBox->windowModality(), Qt::NonModal);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // A lost link is another kind of failure: a window of its own.
    for (int round = 0; round < 2; ++round) {
        PseudoTerminal pty;
        program.connectTo(pty.slaveName());
        ASSERT_TRUE(program.MSComm1.PortOpen());
        pty.closeMaster();
        ASSERT_TRUE(waitUntil([&] { return !program.MSComm1.PortOpen(); }));
    }
    ASSERT_EQ(shown().size(), 2);
    QMessageBox* lostBox = shown()[0] == connectBox ? shown()[1] : shown()[0];
    EXPECT_TRUE(lostBox->text().contains("lost")) << lostBox->text().toStdString();
    EXPECT_TRUE(lostBox->text().contains("2 times")) << lostBox->text().toStdString();
    EXPECT_TRUE(connectBox->text().contains("3 times"));

    // Dismissed, the count starts afresh with the next failure.
    connectBox->button(QMessageBox::Ok)->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    program.connectTo("/dev/vellicor-missing-4");
    ASSERT_EQ(shown().size(), 2);
    const QMessageBox* again = shown()[0] == lostBox ? shown()[1] : shown()[0];
    EXPECT_TRUE(again->text().contains("/dev/vellicor-missing-4"));
    EXPECT_FALSE(again->text().contains("times")) << again->text().toStdString();
}

// What a publisher is told of the serial link.
TEST_F(Connection, LinkStateFollowsConnectLossAndDisconnect) {
    QStringList states;
    QObject::connect(&form.station(), &station::Station::linkStateNamed,
                     [&](const QString& s) { states << s; });
    {
        PseudoTerminal pty;
        form.connectTo(pty.slaveName());
        pty.closeMaster();
        ASSERT_TRUE(waitUntil([&] { return !form.MSComm1.PortOpen(); }));
    }
    PseudoTerminal again;
    form.connectTo(again.slaveName());
    form.Command3_Click();
    form.Command3_Click();  // already closed: nothing to say
    form.connectTo("/dev/vellicor-no-such-port");
    // A failed Connect leaves it disconnected: nothing new to say.
    EXPECT_EQ(states, QStringList({"connected", "lost", "connected", "disconnected"}));
}
