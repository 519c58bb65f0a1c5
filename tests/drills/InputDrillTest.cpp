// Bad input from the user and a log file that cannot be written: reported once, and no good
// frame that is due goes unlogged.
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>

#include "DrillFixture.h"
#include "graph/Form3.h"
#include "textlog/Form2.h"

using drills::DrillTest;
using drills::loggedRaws;
using testsupport::PseudoTerminal;

namespace {

class InputDrill : public DrillTest {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(connect(pty)); }
    PseudoTerminal pty;
};

}  // namespace

TEST_F(InputDrill, FullDiskIsReportedOnceWhileFramesGoOn) {
    dialog.path = QStringLiteral("/dev/full");
    form.Command6->click();
    ASSERT_EQ(messages.size(), 1);  // the header already failed
    // Clear enough to act on: which file, and why.
    EXPECT_TRUE(messages[0].contains("/dev/full")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("No space left")) << messages[0].toStdString();
    for (int raw = 1; raw <= 10; ++raw) ASSERT_TRUE(sendAndSee(pty, raw));
    EXPECT_EQ(messages.size(), 1);
    // The screen keeps every line the disk could not take.
    EXPECT_EQ(form.form2()->text().count("\r\n"), 10);
    EXPECT_EQ(history.PhHistory[device::MeasurementHistory::HistoryNewest], 10);

    // Room again: logging carries on in a file that works.
    dialog.path = dir.filePath("after.txt");
    form.Command6->click();
    ASSERT_TRUE(sendAndSee(pty, 11));
    EXPECT_EQ(loggedRaws(dialog.path), std::vector<int>{11});
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(InputDrill, LogPathThatCannotBeCreatedLeavesTheRunningLogAlone) {
    const struct {
        QString path;
        const char* why;
    } cases[] = {{dir.filePath("missing/log.txt"), "No such file"}, {dir.path(), "directory"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        messages.clear();
        dialog.path = c.path;
        form.Command6->click();
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(messages[0].contains(c.path)) << messages[0].toStdString();
        EXPECT_TRUE(messages[0].contains(c.why)) << messages[0].toStdString();
    }
    EXPECT_FALSE(history.LogToFile);
    EXPECT_FALSE(form.Text2->isVisible());
    ASSERT_TRUE(sendAndSee(pty, 1));  // shown, though nothing is logged

    const QString good = dir.filePath("good.txt");
    dialog.path = good;
    ASSERT_NO_FATAL_FAILURE(startLog());
    ASSERT_TRUE(sendAndSee(pty, 2));
    messages.clear();
    dialog.path = dir.filePath("missing/again.txt");
    form.Command6->click();
    EXPECT_EQ(messages.size(), 1);
    ASSERT_TRUE(sendAndSee(pty, 3));
    EXPECT_EQ(loggedRaws(good), (std::vector<int>{2, 3}));
    EXPECT_EQ(form.Text2->text(), good);
}

TEST_F(InputDrill, UpdateRateTextsThatAreNoRateLogNothingAndStopNothing) {
    ASSERT_NO_FATAL_FAILURE(startLog());
    int raw = 1;
    for (const char* text : {"", "0", "-1", "2,5", "abc", "99999999999", "1e400", " "}) {
        SCOPED_TRACE(text);
        form.Text1->setText(QString::fromLatin1(text));
        for (int i = 0; i < 3; ++i) ASSERT_TRUE(sendAndSee(pty, raw++));
        EXPECT_TRUE(loggedRaws(dialog.path).empty());
    }
    // Back to a valid rate, the very next frame is due: the count ran past it meanwhile.
    form.Text1->setText(QStringLiteral("1"));
    ASSERT_TRUE(sendAndSee(pty, 500));
    ASSERT_TRUE(sendAndSee(pty, 501));
    EXPECT_EQ(loggedRaws(dialog.path), (std::vector<int>{500, 501}));
    EXPECT_EQ(history.SampleCount, 0);
}

TEST_F(InputDrill, MinimumScaleTextsThatAreNoNumberKeepTheLastMinimum) {
    ASSERT_NO_FATAL_FAILURE(startLog());
    form.Command4->click();
    form.form3()->Option2->click();  // "Self defined"
    // The minimum sets where pH 7 lies: 300 pixels per pH below the top of the band at 350.
    const struct {
        const char* text;
        double minimum;
    } cases[] = {{"", 6.0}, {"x", 6.0},   {"6.5", 6.5}, {"x", 6.5},   {"6,5", 6.5},
                 {"", 6.5}, {"6,2", 6.2}, {"nan", 6.2}, {"inf", 6.2}, {"1e999", 6.2}};
    int raw = 10;
    std::vector<int> sent;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        form.form3()->Combo1->setEditText(QString::fromLatin1(c.text));
        ASSERT_TRUE(sendAndSee(pty, raw));
        sent.push_back(raw++);
        EXPECT_NEAR(history.SelfYAtPh7, 350 - 300 * (7 - c.minimum), 1e-9);
    }
    EXPECT_EQ(loggedRaws(dialog.path), sent);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
}

TEST_F(InputDrill, TypedPortNamesThatAreNoSerialPortAreRefused) {
    QFile plain(dir.filePath("frames.bin"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.write(drills::frameWithRaw(1).repeated(4));
    plain.close();
    // A file, a directory and character devices that are no terminal: none is a device link,
    // and /dev/zero would otherwise pour out frames of zeros without end.
    for (const QString& name :
         {plain.fileName(), dir.path(), QStringLiteral("/dev/zero"), QStringLiteral("/dev/null"),
          QStringLiteral("zero"), QStringLiteral(""), QStringLiteral("   ")}) {
        SCOPED_TRACE(name.toStdString());
        messages.clear();
        form.Combo1->setEditText(name);
        form.Command2->click();
        EXPECT_FALSE(form.MSComm1.PortOpen());
        EXPECT_EQ(messages.size(), 1);
    }
    testsupport::waitUntil([] { return false; }, 50);
    EXPECT_EQ(history.SampleCount, 0);
}
