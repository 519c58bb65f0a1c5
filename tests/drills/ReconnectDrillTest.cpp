// A Bluetooth serial port left alone for weeks: it drops, its name (as /dev/rfcomm0 is a name
// for whatever link is up) vanishes and comes back on a new link, and the program reopens it
// by itself.
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "DrillFixture.h"
#include "graph/Form3.h"

using drills::DrillTest;
using drills::idle;
using drills::LightRed;
using testsupport::PseudoTerminal;
using testsupport::waitUntil;

namespace {

const QColor LightGreen(192, 255, 192);

// An opening that blocks its caller until released or for five seconds, as opening a
// Bluetooth port blocks while the system pages a device out of range. HoldingThePort opens
// first and then blocks, as the system's open does once the port's lock is taken.
class SlowOpening {
public:
    enum Order { BlockingFirst, HoldingThePort };
    explicit SlowOpening(Order order = BlockingFirst) : order_(order) {}
    ~SlowOpening() { release(); }
    device::PortOpener opener() {
        return [this](QSerialPort& port) {
            ++calls_;
            const bool openedFirst = order_ == HoldingThePort && device::openForReading(port);
            {
                std::unique_lock lock(mutex_);
                entered_ = true;
                released_.wait_for(lock, std::chrono::seconds(5), [this] { return free_; });
            }
            return order_ == HoldingThePort ? openedFirst : device::openForReading(port);
        };
    }
    void release() {
        std::lock_guard lock(mutex_);
        free_ = true;
        released_.notify_all();
    }
    bool entered() {
        std::lock_guard lock(mutex_);
        return entered_;
    }
    int calls() const { return calls_; }

private:
    const Order order_;
    std::atomic<int> calls_{0};
    std::mutex mutex_;
    std::condition_variable released_;
    bool entered_ = false, free_ = false;
};

class ReconnectDrill : public DrillTest {
protected:
    ReconnectDrill() {
        // The design's second and half-minute, shortened so a drill takes moments.
        form.MSComm1.setRetryDelays(50, 400);
        form.MSComm1.setOpener([this](QSerialPort& port) {
            ++openings;
            return device::openForReading(port);
        });
    }

    // The stable name now leads to this link, replaced in one step.
    void pointAt(const PseudoTerminal& pty) {
        const QString temp = name + QStringLiteral(".new");
        QFile::remove(temp);
        ASSERT_TRUE(QFile::link(pty.slaveName(), temp));
        ASSERT_EQ(::rename(temp.toLocal8Bit().constData(), name.toLocal8Bit().constData()), 0);
    }
    // The link drops and its name goes with it.
    void drop(PseudoTerminal& pty) {
        pty.closeMaster();
        QFile::remove(name);
    }
    device::LinkState state() const { return form.MSComm1.linkState(); }

    const QString name = dir.filePath(QStringLiteral("rfcomm0"));
    std::atomic<int> openings{0};
};

int headerLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    return static_cast<int>(file.readAll().count("Date"));
}

}  // namespace

TEST_F(ReconnectDrill, LostLinkIsReopenedBehindItsNameAndLogsOnIntoTheSameFile) {
    ASSERT_NO_FATAL_FAILURE(startLog());
    auto pty = std::make_unique<PseudoTerminal>();
    ASSERT_NO_FATAL_FAILURE(pointAt(*pty));
    ASSERT_NO_FATAL_FAILURE(connect(*pty));  // the pty's own name first, as a user might
    form.Combo1->setEditText(name);
    form.Command2->click();
    ASSERT_TRUE(form.MSComm1.PortOpen());
    std::vector<int> sent;
    constexpr int Rounds = 3;
    for (int round = 0; round < Rounds; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(sendAndSee(*pty, 2000 + round));
        sent.push_back(2000 + round);

        drop(*pty);
        ASSERT_TRUE(waitUntil([&] { return state() == device::LinkState::Retrying; }));
        EXPECT_EQ(form.connectColour(), LightRed);
        // Tries fail while the name is gone, and are not told one by one.
        const int before = openings;
        ASSERT_TRUE(waitUntil([&] { return openings >= before + 2; }));
        EXPECT_EQ(messages.size(), round + 1);
        EXPECT_TRUE(messages.last().contains("lost")) << messages.last().toStdString();

        pty = std::make_unique<PseudoTerminal>();
        ASSERT_NO_FATAL_FAILURE(pointAt(*pty));
        ASSERT_TRUE(waitUntil([&] { return form.MSComm1.PortOpen(); }));
        EXPECT_EQ(form.connectColour(), LightGreen);
        // The countdown restarts as after Connect.
        form.Timer2_Timer();
        EXPECT_GE(form.Label6->text().toInt(), 91);
    }
    ASSERT_TRUE(sendAndSee(*pty, 2999));
    sent.push_back(2999);
    EXPECT_EQ(drills::loggedRaws(dialog.path), sent);
    EXPECT_EQ(headerLines(dialog.path), 1);
    EXPECT_EQ(messages.size(), Rounds);
    EXPECT_EQ(form.MSComm1.watch().past().size(), static_cast<std::size_t>(Rounds));
}

TEST_F(ReconnectDrill, DisconnectWhileTryingStopsTheTries) {
    auto pty = std::make_unique<PseudoTerminal>();
    ASSERT_NO_FATAL_FAILURE(pointAt(*pty));
    form.connectTo(name);
    ASSERT_TRUE(form.MSComm1.PortOpen());
    drop(*pty);
    ASSERT_TRUE(waitUntil([&] { return openings >= 3; }));

    form.Command3->click();
    EXPECT_EQ(state(), device::LinkState::Closed);
    EXPECT_EQ(form.connectColour(), LightRed);
    const int stoppedAt = openings;
    pty = std::make_unique<PseudoTerminal>();
    ASSERT_NO_FATAL_FAILURE(pointAt(*pty));
    idle(1000);  // more than two tries at the shortened cap
    EXPECT_EQ(openings, stoppedAt);
    EXPECT_FALSE(form.MSComm1.PortOpen());

    // Connect starts over with the port chosen then.
    form.Command2->click();
    EXPECT_TRUE(form.MSComm1.PortOpen());
}

TEST_F(ReconnectDrill, ConnectThatFailsWhileTheUserIsThereIsNotTriedAgain) {
    form.connectTo(dir.filePath(QStringLiteral("rfcom0")));  // mistyped
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("rfcom0")) << messages[0].toStdString();
    EXPECT_EQ(state(), device::LinkState::Closed);
    EXPECT_EQ(form.connectColour(), LightRed);
    idle(600);
    EXPECT_EQ(openings, 1);
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(ReconnectDrill, StartedBeforeItsPortExistsOpensItWhenItAppears) {
    ASSERT_NO_FATAL_FAILURE(startLog());
    form.watchPort(name);
    ASSERT_TRUE(waitUntil([&] { return openings >= 3; }));
    EXPECT_EQ(state(), device::LinkState::Retrying);
    EXPECT_EQ(form.connectColour(), LightRed);
    // Told once that it waits, not once a try.
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("Waiting for")) << messages[0].toStdString();

    PseudoTerminal pty;
    ASSERT_NO_FATAL_FAILURE(pointAt(pty));
    ASSERT_TRUE(waitUntil([&] { return form.MSComm1.PortOpen(); }));
    EXPECT_EQ(form.connectColour(), LightGreen);
    ASSERT_TRUE(sendAndSee(pty, 4242));
    EXPECT_EQ(drills::loggedRaws(dialog.path), std::vector<int>{4242});
    EXPECT_EQ(messages.size(), 1);
}

TEST_F(ReconnectDrill, FiveSecondOpeningNeverHoldsTheWindow) {
    SlowOpening slow;
    form.MSComm1.setOpener(slow.opener());
    form.MSComm1.setQuickOpenMs(device::MSComm::DefaultQuickOpenMs);
    PseudoTerminal pty;
    ASSERT_NO_FATAL_FAILURE(pointAt(pty));

    QElapsedTimer clicked;
    clicked.start();
    form.connectTo(name);
    EXPECT_LT(clicked.elapsed(), 1000);
    EXPECT_EQ(state(), device::LinkState::Opening);
    EXPECT_EQ(form.connectColour(), LightGreen);  // Connect colours first, as designed

    // While the opening blocks its thread, the window's own timers keep their pace, the
    // countdown ticks and a button answers.
    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 longestGap = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    beat.start(20);
    const QString countdownBefore = form.Label6->text();
    idle(2200);
    EXPECT_LT(longestGap, 250);
    EXPECT_NE(form.Label6->text(), countdownBefore);
    form.Command4->click();
    EXPECT_TRUE(form.form3()->isVisible());
    EXPECT_TRUE(slow.entered());
    EXPECT_FALSE(form.MSComm1.PortOpen());

    // Its outcome comes when the system answers.
    ASSERT_TRUE(waitUntil([&] { return form.MSComm1.PortOpen(); }, 8000));
    EXPECT_EQ(form.connectColour(), LightGreen);
    ASSERT_TRUE(sendAndSee(pty, 555));
    EXPECT_TRUE(messages.isEmpty());
}

// An impatient second click on Connect while a Bluetooth port pages its device: a second
// opening beside the first would find the port locked by it and report a failure.
TEST_F(ReconnectDrill, ConnectAgainDuringASlowOpeningWaitsForThatOpening) {
    SlowOpening slow(SlowOpening::HoldingThePort);
    form.MSComm1.setOpener(slow.opener());
    form.MSComm1.setQuickOpenMs(100);
    PseudoTerminal pty;
    ASSERT_NO_FATAL_FAILURE(pointAt(pty));
    form.connectTo(name);
    ASSERT_TRUE(waitUntil([&] { return slow.entered(); }));
    EXPECT_EQ(state(), device::LinkState::Opening);

    form.connectTo(name);
    slow.release();
    ASSERT_TRUE(waitUntil([&] { return form.MSComm1.PortOpen(); }, 8000));
    idle(300);
    EXPECT_TRUE(form.MSComm1.PortOpen());
    EXPECT_EQ(form.connectColour(), LightGreen);
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(slow.calls(), 1);
    ASSERT_TRUE(sendAndSee(pty, 777));
}

// The user comes back and presses Connect just as a try of the program's own is paging the
// device: that try becomes the user's opening instead of locking the user's out.
TEST_F(ReconnectDrill, ConnectWhileATryIsUnderWayTakesThatTryOver) {
    form.MSComm1.setRetryDelays(300, 400);
    auto pty = std::make_unique<PseudoTerminal>();
    ASSERT_NO_FATAL_FAILURE(pointAt(*pty));
    form.connectTo(name);
    ASSERT_TRUE(form.MSComm1.PortOpen());
    SlowOpening slow(SlowOpening::HoldingThePort);
    form.MSComm1.setOpener(slow.opener());
    form.MSComm1.setQuickOpenMs(100);
    auto back = std::make_unique<PseudoTerminal>();
    drop(*pty);
    ASSERT_NO_FATAL_FAILURE(pointAt(*back));
    ASSERT_TRUE(waitUntil([&] { return slow.entered(); }));
    EXPECT_EQ(state(), device::LinkState::Retrying);
    ASSERT_EQ(messages.size(), 1);  // the loss

    form.connectTo(name);
    slow.release();
    ASSERT_TRUE(waitUntil([&] { return form.MSComm1.PortOpen(); }, 8000));
    idle(600);  // longer than the tries' cap: none comes after
    EXPECT_TRUE(form.MSComm1.PortOpen());
    EXPECT_EQ(messages.size(), 1) << messages.join('\n').toStdString();
    EXPECT_EQ(slow.calls(), 1);
    ASSERT_TRUE(sendAndSee(*back, 778));
}

TEST_F(ReconnectDrill, ExitInTheMiddleOfATryEndsAtOnce) {
    PseudoTerminal pty;
    ASSERT_NO_FATAL_FAILURE(pointAt(pty));
    form.connectTo(name);
    ASSERT_TRUE(form.MSComm1.PortOpen());
    SlowOpening slow;
    form.MSComm1.setOpener(slow.opener());
    pty.closeMaster();
    ASSERT_TRUE(waitUntil([&] { return slow.entered(); }));

    QSignalSpy exited(&form, &mainwindow::Form1::exited);
    QElapsedTimer clicked;
    clicked.start();
    form.Command7->click();
    EXPECT_LT(clicked.elapsed(), 500);
    EXPECT_EQ(exited.count(), 1);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(ReconnectDrill, OneLinkWindowTellsTheTriesThenTheReturnAndTheOutagesBefore) {
    // As the program builds it: the story goes to its own window, not to the test.
    mainwindow::Form1 program{history, dialog};
    program.MSComm1.setRetryDelays(50, 400);
    const auto linkWindows = [&] {
        QList<QMessageBox*> boxes;
        for (QMessageBox* box : program.findChildren<QMessageBox*>())
            if (box->isVisible()) boxes << box;
        return boxes;
    };
    auto pty = std::make_unique<PseudoTerminal>();
    ASSERT_NO_FATAL_FAILURE(pointAt(*pty));
    program.connectTo(name);
    ASSERT_TRUE(program.MSComm1.PortOpen());
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        // A frame first: a link that falls again before anything came was never back.
        pty->write(drills::frameWithRaw(round));
        ASSERT_TRUE(
            waitUntil([&] { return program.Label40->text() == QString("[ %1]").arg(round); }));
        drop(*pty);
        ASSERT_TRUE(waitUntil([&] {
            const auto& o = program.MSComm1.watch().current();
            return o && o->tries >= 2;
        }));
        ASSERT_EQ(linkWindows().size(), 1);
        QMessageBox* box = linkWindows()[0];
        EXPECT_EQ(box->windowModality(), Qt::NonModal);
        EXPECT_TRUE(box->text().contains("Trying again by itself since"))
            << box->text().toStdString();
        EXPECT_TRUE(box->text().contains("tries so far")) << box->text().toStdString();

        pty = std::make_unique<PseudoTerminal>();
        ASSERT_NO_FATAL_FAILURE(pointAt(*pty));
        ASSERT_TRUE(waitUntil([&] { return program.MSComm1.PortOpen(); }));
        ASSERT_EQ(linkWindows().size(), 1);
        EXPECT_TRUE(box->text().contains("is back since")) << box->text().toStdString();
        EXPECT_EQ(box->text().count(" to "), round) << box->text().toStdString();
    }
}

// A Bluetooth port bound with rfcomm opens at once even with the device out of range, and
// hangs up when the paging fails: such a return is no return, and the backoff goes on.
TEST_F(ReconnectDrill, ReturnThatFallsBeforeAnyFrameStaysOneOutage) {
    auto pty = std::make_unique<PseudoTerminal>();
    ASSERT_NO_FATAL_FAILURE(pointAt(*pty));
    form.connectTo(name);
    ASSERT_TRUE(form.MSComm1.PortOpen());
    drop(*pty);
    ASSERT_TRUE(waitUntil([&] { return state() == device::LinkState::Retrying; }));
    const QDateTime lost = form.MSComm1.watch().current()->lost;
    for (int flap = 0; flap < 2; ++flap) {
        pty = std::make_unique<PseudoTerminal>();
        ASSERT_NO_FATAL_FAILURE(pointAt(*pty));
        ASSERT_TRUE(waitUntil([&] { return form.MSComm1.PortOpen(); }));
        drop(*pty);
        ASSERT_TRUE(waitUntil([&] { return state() == device::LinkState::Retrying; }));
    }
    ASSERT_TRUE(form.MSComm1.watch().current());
    EXPECT_EQ(form.MSComm1.watch().current()->lost, lost);
    EXPECT_GE(form.MSComm1.watch().current()->tries, 2);
    EXPECT_TRUE(form.MSComm1.watch().past().empty());
    EXPECT_EQ(messages.size(), 1);
}
