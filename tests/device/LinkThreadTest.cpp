#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>

#include "PseudoTerminal.h"
#include "device/MSComm.h"

using namespace device;
using testsupport::waitUntil;

namespace {

std::atomic<int> lateWakeUps{0};

// A link thread's event dispatcher that notices a wake-up from another thread still under way
// when the thread tears its dispatcher down: with Qt's own dispatcher that wake-up writes into
// a dispatcher being deleted, which crashed the program at exit. Such a wake-up lingers here,
// as if its thread were preempted between finding the dispatcher and waking it, so that the
// window is hit at most tries rather than once in a hundred thousand. It serves only what a
// link whose opening fails needs: posted events, and no timers or socket notifiers.
class WatchfulDispatcher final : public QAbstractEventDispatcher {
public:
    static constexpr auto Linger = std::chrono::milliseconds(3);

    ~WatchfulDispatcher() override {
        closing_ = true;
        while (inFlight_ > 0) std::this_thread::yield();
    }

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override {
        QCoreApplication::sendPostedEvents();
        if (!flags.testFlag(QEventLoop::WaitForMoreEvents)) return false;
        std::unique_lock lock(mutex_);
        rung_.wait(lock, [this] { return woken_; });
        woken_ = false;
        return true;
    }
    void wakeUp() override { ring(); }
    void interrupt() override { ring(); }
    void startingUp() override { home_ = QThread::currentThread(); }
    void closingDown() override {
        closing_ = true;
        if (inFlight_ > 0) ++lateWakeUps;
    }

    void registerSocketNotifier(QSocketNotifier*) override {}
    void unregisterSocketNotifier(QSocketNotifier*) override {}
    void registerTimer(int, qint64, Qt::TimerType, QObject*) override {}
    bool unregisterTimer(int) override { return false; }
    bool unregisterTimers(QObject*) override { return false; }
    QList<TimerInfo> registeredTimers(QObject*) const override { return {}; }
    int remainingTime(int) override { return -1; }

private:
    void ring() {
        const bool foreign = QThread::currentThread() != home_.load();
        if (foreign) {
            ++inFlight_;
            std::this_thread::sleep_for(Linger);
            if (closing_) ++lateWakeUps;
        }
        {
            const std::lock_guard lock(mutex_);
            woken_ = true;
        }
        rung_.notify_all();
        if (foreign) --inFlight_;
    }

    std::atomic<QThread*> home_{nullptr};
    std::atomic<bool> closing_{false};
    std::atomic<int> inFlight_{0};
    std::mutex mutex_;
    std::condition_variable rung_;
    bool woken_ = false;
};

}  // namespace

// Openings that fail, closed at once by Exit, Disconnect or Connect, in the three ways the
// program meets them: the user's opening, a try of its own, and a Connect over a failing try.
// The link's thread is slow to go on after its opening failed, at random, so that the owner's
// close lands on every side of the thread's end.
TEST(LinkThread, ClosingALinkWhoseOpeningJustFailedNeverWakesAThreadThatIsEnding) {
    lateWakeUps = 0;
    std::mt19937 random(29);
    std::uniform_int_distribution<int> slowUs(0, 2500);
    const QString absent = QStringLiteral("/dev/does-not-exist-vellicor");
    for (int cycle = 0; cycle < 90; ++cycle) {
        MSComm comm;
        comm.setCommPort(absent);
        comm.setQuickOpenMs(testsupport::TestQuickOpenMs);
        comm.setRetryDelays(1, 1);
        const auto slow = std::chrono::microseconds(slowUs(random));
        comm.setLinkThreadHook([slow](QThread& thread) {
            thread.setEventDispatcher(new WatchfulDispatcher);
            QObject::connect(&thread, &QThread::started,
                             [slow] { std::this_thread::sleep_for(slow); });
        });
        switch (cycle % 3) {
            case 0:  // the user's Connect fails, then Exit
                EXPECT_FALSE(comm.setPortOpen(true));
                EXPECT_FALSE(comm.errorString().isEmpty());
                break;
            case 1:  // a try of its own fails just as Disconnect comes
                comm.keepOpen();
                std::this_thread::sleep_for(slow);
                comm.setPortOpen(false);
                EXPECT_EQ(comm.linkState(), LinkState::Closed);
                break;
            case 2:  // tries fail again and again, then Connect, which fails too
                comm.keepOpen();
                waitUntil([&] { return comm.watch().current()->tries >= 2; });
                EXPECT_FALSE(comm.setPortOpen(true));
                break;
        }
    }
    EXPECT_EQ(lateWakeUps.load(), 0);
}
