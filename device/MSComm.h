#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "Clock.h"
#include "LinkInbox.h"
#include "LinkWatch.h"
#include "PortLink.h"

class QThread;

namespace device {

// The one owner of the serial port. Receive only, 9600 8N1 without flow control, so every
// byte value 0..255 (XON and XOFF included) reaches the reader unchanged and in order.
// OnComm fires while 12 or more bytes wait; Input() hands out at most 12 of them, takeFrames()
// every whole frame waiting, each with the time its last byte was read.
//
// Frames are handed over in batches, at most one a BatchIntervalMs: the window's thread is
// woken once for a run of frames rather than once for each. A frame after a quiet interval
// goes out at once.
//
// The port lives on a thread of its own (PortLink), because opening a Bluetooth port can
// block for seconds. A link that was open and is lost, or a port kept open from start-up that
// is not there yet, is tried again by itself until it opens or the user says otherwise.
class MSComm : public QObject {
    Q_OBJECT
public:
    static constexpr int ReceiveThreshold = 12;
    static constexpr int ReadLength = 12;
    // Silence on the line this long means the next byte starts a new frame: partial bytes
    // left over from a misaligned start are dropped. A frame takes 12.5 ms at 9600 baud.
    static constexpr int DefaultResyncGapMs = 500;
    // How long an opening asked for by the user may hold the window before it goes on in the
    // background: a local port opens within it, so its outcome shows at once.
    static constexpr int DefaultQuickOpenMs = 300;
    // The screen's own pace (ten pictures a second): a batch shows everything that came since
    // the last one, and no frame waits longer than a repaint would anyway.
    static constexpr int BatchIntervalMs = 100;

    explicit MSComm(QObject* parent = nullptr);
    ~MSComm() override;

    void setCommPort(const QString& portName) { portName_ = portName; }
    QString CommPort() const { return portName_; }

    bool PortOpen() const { return state_ == LinkState::Open; }
    // true: opens the port, waiting at most the quick-open time, and returns whether it is
    // open. A slower opening goes on and openFinished() tells how it ended; one that fails is
    // not tried again, for a user who is there to see why. Once open, a lost link is tried
    // again by itself. An opening of the same port already under way, the user's or a try of
    // its own, is waited for rather than joined by a second one.
    // false: closes the port, and stops any opening and any trying again.
    bool setPortOpen(bool open);
    // Opens the port and keeps it open, trying again by itself while it is not there yet, for
    // a start-up with no one to press Connect.
    void keepOpen();
    LinkState linkState() const { return state_; }
    const LinkWatch& watch() const { return watch_; }
    // Why the latest opening failed.
    QString errorString() const { return errorString_; }

    QByteArray Input();
    // Every whole frame waiting, oldest first; a part of a frame stays for the next time.
    std::vector<ArrivedFrame> takeFrames();
    // Tells at once of whole frames still waiting for their batch, as before the port closes:
    // a frame that came is never dropped for the pace it was to be handed over at. Closing the
    // port and losing the link do this by themselves.
    void handOverWaiting();
    int InBufferCount() const { return inbox_->count(); }
    // Discards waiting bytes; allowed while the port is closed.
    void setInBufferCount(int count);

    void setResyncGapMs(int ms);
    void setClock(const Clock& clock) { clock_ = &clock; }
    void setOpener(PortOpener opener) { opener_ = std::move(opener); }
    void setQuickOpenMs(int ms) { quickOpenMs_ = ms; }
    void setRetryDelays(int firstMs, int capMs);
    // Called with each link's thread just before it starts; tests give it their own event
    // dispatcher, or a delay, to see what crosses into a link thread and when.
    void setLinkThreadHook(std::function<void(QThread&)> hook) { threadHook_ = std::move(hook); }

signals:
    void OnComm();
    // The link went away while open, or a port kept open was not there at the first try.
    // Trying again has begun.
    void linkLost(const QString& reason);
    // The port opened again by itself.
    void linkRestored();
    // An opening asked for by the user that outlasted the quick-open time has ended.
    void openFinished(bool opened);
    // The state or the watch's story changed.
    void linkStateChanged();

private:
    struct Attempt {
        QThread* thread;
        PortLink* link;  // lives on the thread and goes with it
        std::shared_ptr<LinkInbox> inbox;
        quint64 generation;
        QString portName;
        bool ending = false;  // its thread was told to quit: nothing more is posted to it
    };

    Attempt& startAttempt();
    Attempt* openingUnderWay();
    void opened(quint64 generation, const QString& error, bool late);
    void readWaiting(quint64 generation);
    void handOverBatch();
    void lost(quint64 generation, const QString& reason);
    void endAttempt(Attempt& attempt);
    void endAttemptOf(quint64 generation);
    void attemptEnded(QThread* thread);
    void closeCurrent(bool waitForClose);
    void scheduleTry();
    void tryAgain();
    void raiseNotifications();
    bool attemptsUnderWay() const;
    QDateTime now() const { return clock_->now(); }
    std::shared_ptr<LinkInbox> newInbox() const {
        return std::make_shared<LinkInbox>(ReceiveThreshold, resyncGapMs_);
    }

    QString portName_;
    QString errorString_;
    LinkState state_ = LinkState::Closed;
    LinkWatch watch_;
    int resyncGapMs_ = DefaultResyncGapMs;
    // The bytes of the link opened last; bytes of an earlier link never reach a later one.
    std::shared_ptr<LinkInbox> inbox_ = newInbox();
    const Clock* clock_ = &Clock::system();
    PortOpener opener_ = openForReading;
    int quickOpenMs_ = DefaultQuickOpenMs;
    int firstRetryMs_ = LinkWatch::FirstRetryMs;
    int retryCapMs_ = LinkWatch::RetryCapMs;
    std::function<void(QThread&)> threadHook_;
    QTimer retryTimer_;
    // Runs from one batch to the earliest moment of the next; frames meanwhile wait untold.
    QTimer batchPace_;
    std::vector<Attempt> attempts_;
    quint64 generation_ = 0;  // of the attempt whose news still counts
    bool outcomeTaken_ = false;
    bool reopenedByItself_ = false;
};

}  // namespace device
