#include "MSComm.h"

#include <QThread>

namespace device {

namespace {
// Exit must not wait for an opening stuck in the system; a closing port ends within this.
constexpr int CloseWaitMs = 1000;
constexpr int ExitWaitMs = 200;
}  // namespace

MSComm::MSComm(QObject* parent) : QObject(parent) {
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &MSComm::tryAgain);
    batchPace_.setSingleShot(true);
    batchPace_.setInterval(BatchIntervalMs);
    connect(&batchPace_, &QTimer::timeout, this, [this] {
        if (state_ == LinkState::Open) handOverBatch();
    });
}

MSComm::~MSComm() {
    retryTimer_.stop();
    closeCurrent(false);
    for (Attempt& a : attempts_) {
        if (a.thread->wait(ExitWaitMs)) {
            delete a.thread;
        } else {
            // An opening is stuck in the system: rather than hold Exit up, its thread is left
            // to end by itself, or with the process. It touches nothing but its own objects.
            connect(a.thread, &QThread::finished, a.thread, &QObject::deleteLater);
        }
    }
}

void MSComm::setResyncGapMs(int ms) {
    resyncGapMs_ = ms;
    inbox_->setResyncGapMs(ms);
    for (const Attempt& a : attempts_) a.inbox->setResyncGapMs(ms);
}

void MSComm::setRetryDelays(int firstMs, int capMs) {
    firstRetryMs_ = firstMs;
    retryCapMs_ = capMs;
}

bool MSComm::setPortOpen(bool open) {
    if (!open) {
        retryTimer_.stop();
        const bool wasOpen = state_ == LinkState::Open;
        handOverWaiting();
        closeCurrent(wasOpen);
        if (state_ != LinkState::Closed) {
            watch_.stop();
            state_ = LinkState::Closed;
            emit linkStateChanged();
        }
        return true;
    }
    if (state_ == LinkState::Open) return true;
    retryTimer_.stop();
    Attempt* attempt = openingUnderWay();
    if (!attempt) {
        closeCurrent(false);
        attempt = &startAttempt();
    }
    watch_.stop();
    state_ = LinkState::Opening;
    if (attempt->link->waitOpened(quickOpenMs_))
        opened(attempt->generation, attempt->link->openError(), false);
    emit linkStateChanged();
    return PortOpen();
}

// A second opening of a port beside one still under way would find it locked by the first, and
// report a port that is about to open as one that cannot be opened; the first one is taken over
// instead, and its outcome is the user's.
MSComm::Attempt* MSComm::openingUnderWay() {
    if (outcomeTaken_) return nullptr;
    if (state_ != LinkState::Opening && state_ != LinkState::Retrying) return nullptr;
    for (Attempt& a : attempts_)
        if (a.generation == generation_ && a.portName == portName_) return &a;
    return nullptr;
}

void MSComm::keepOpen() {
    retryTimer_.stop();
    handOverWaiting();
    closeCurrent(state_ == LinkState::Open);
    state_ = LinkState::Retrying;
    watch_.begin(now(), QString(), true);
    startAttempt();
    emit linkStateChanged();
}

MSComm::Attempt& MSComm::startAttempt() {
    const quint64 generation = ++generation_;
    outcomeTaken_ = false;
    auto* thread = new QThread;  // no parent: it may have to outlive this object at exit
    thread->setObjectName(QStringLiteral("serial link"));
    auto inbox = newInbox();
    auto* link = new PortLink(portName_, opener_, inbox, *clock_);
    link->moveToThread(thread);
    connect(thread, &QThread::started, link, &PortLink::open);
    // Deleted on its own thread as that ends, so the port closes where it was opened.
    connect(thread, &QThread::finished, link, &QObject::deleteLater);
    connect(link, &PortLink::opened, this,
            [this, generation](const QString& error) { opened(generation, error, true); });
    connect(link, &PortLink::readWaiting, this, [this, generation] { readWaiting(generation); });
    connect(link, &PortLink::lost, this,
            [this, generation](const QString& reason) { lost(generation, reason); });
    connect(thread, &QThread::finished, this, [this, thread] { attemptEnded(thread); });
    attempts_.push_back(Attempt{thread, link, std::move(inbox), generation, portName_});
    if (threadHook_) threadHook_(*thread);
    thread->start();
    return attempts_.back();
}

void MSComm::opened(quint64 generation, const QString& error, bool late) {
    if (!error.isEmpty()) endAttemptOf(generation);
    if (generation != generation_ || outcomeTaken_) return;
    outcomeTaken_ = true;
    const LinkState was = state_;
    if (error.isEmpty()) {
        errorString_.clear();
        batchPace_.stop();  // a new link's first frame goes out at once
        for (const Attempt& a : attempts_)
            if (a.generation == generation) inbox_ = a.inbox;
        reopenedByItself_ = was == LinkState::Retrying;
        state_ = LinkState::Open;
        if (reopenedByItself_) {
            watch_.restored(now());
            emit linkStateChanged();
            emit linkRestored();
        } else if (late) {
            emit linkStateChanged();
            emit openFinished(true);
        }
        return;
    }
    errorString_ = error;
    if (was == LinkState::Retrying) {
        const bool first =
            watch_.current() && watch_.current()->fromStart && watch_.current()->tries == 0;
        watch_.failedTry(error);
        scheduleTry();
        emit linkStateChanged();
        // A port kept open from start-up that is not there yet: told once, as a loss is.
        if (first) emit linkLost(error);
        return;
    }
    state_ = LinkState::Closed;
    if (late) {
        emit linkStateChanged();
        emit openFinished(false);
    }
}

void MSComm::readWaiting(quint64 generation) {
    if (generation != generation_ || state_ != LinkState::Open) return;
    // Told while a batch's interval runs (the link added bytes as the last one was taken):
    // they go with the next batch, when the interval ends.
    if (batchPace_.isActive()) return;
    handOverBatch();
}

// A batch taken starts the interval; the inbox holds its news meanwhile, so the frames of the
// interval cost the link's thread its reads and this thread nothing until the interval ends.
// An interval that ends with nothing waiting lets the inbox tell of the next frame at once.
void MSComm::handOverBatch() {
    const int before = inbox_->count();
    raiseNotifications();
    if (state_ != LinkState::Open || inbox_->count() == before) return;
    inbox_->hold();
    batchPace_.start();
}

void MSComm::lost(quint64 generation, const QString& reason) {
    endAttemptOf(generation);
    if (generation != generation_ || state_ != LinkState::Open) return;
    // Frames that came before the line went are the device's last words, not the outage's.
    handOverWaiting();
    batchPace_.stop();
    state_ = LinkState::Retrying;
    ++generation_;  // nothing more counts from the dead link
    if (reopenedByItself_ && !inbox_->anyArrived()) {
        watch_.resume(reason);
        scheduleTry();
        emit linkStateChanged();
        return;
    }
    watch_.begin(now(), reason);
    scheduleTry();
    emit linkStateChanged();
    emit linkLost(reason);
}

void MSComm::scheduleTry() {
    const int tries = watch_.current() ? watch_.current()->tries : 0;
    const int delay = LinkWatch::retryDelayMs(tries, firstRetryMs_, retryCapMs_);
    retryTimer_.start(delay);
    watch_.setNextTry(now().addMSecs(delay));
}

void MSComm::tryAgain() {
    if (state_ != LinkState::Retrying) return;
    // An opening still stuck in the system is waited for rather than joined by another.
    if (attemptsUnderWay()) {
        retryTimer_.start(firstRetryMs_);
        return;
    }
    watch_.setNextTry(QDateTime());
    startAttempt();
    emit linkStateChanged();
}

bool MSComm::attemptsUnderWay() const {
    for (const Attempt& a : attempts_)
        if (!a.thread->isFinished()) return true;
    return false;
}

// The one place a link's thread is told to end. A thread that quit by itself could be tearing
// its event dispatcher down while this thread posts to it, and that post wakes a dispatcher
// that is no longer there; so a link never quits its thread, and once this has quit it, nothing
// is posted to it again. Quitting is safe at any moment before, even while the link is still
// in its opening: the thread then ends as soon as the opening returns.
void MSComm::endAttempt(Attempt& attempt) {
    if (attempt.ending) return;
    attempt.ending = true;
    attempt.link->interrupt();
    attempt.thread->quit();
}

void MSComm::endAttemptOf(quint64 generation) {
    for (Attempt& a : attempts_)
        if (a.generation == generation) endAttempt(a);
}

void MSComm::attemptEnded(QThread* thread) {
    for (auto it = attempts_.begin(); it != attempts_.end(); ++it) {
        if (it->thread != thread) continue;
        thread->wait();  // finished() comes just before the thread is quite done
        delete thread;
        attempts_.erase(it);
        return;
    }
}

void MSComm::closeCurrent(bool waitForClose) {
    ++generation_;  // late news of the link being closed no longer counts
    batchPace_.stop();
    for (Attempt& a : attempts_) {
        endAttempt(a);
        // Reopening the same port at once needs this one really closed: its lock and its
        // exclusive access go with the close, as the link is deleted at its thread's end.
        if (waitForClose) a.thread->wait(CloseWaitMs);
    }
}

QByteArray MSComm::Input() {
    return inbox_->take(ReadLength);
}

void MSComm::handOverWaiting() {
    if (state_ == LinkState::Open) raiseNotifications();
}

std::vector<ArrivedFrame> MSComm::takeFrames() {
    return inbox_->takeReads();
}

void MSComm::setInBufferCount(int count) {
    if (count != 0) return;
    inbox_->clear();
    if (state_ != LinkState::Open) return;
    for (Attempt& a : attempts_) {
        if (a.generation == generation_ && !a.ending)
            QMetaObject::invokeMethod(a.link, &PortLink::discardInput, Qt::QueuedConnection);
    }
}

void MSComm::raiseNotifications() {
    // Several frames may wait after one wake-up; notify until fewer than a frame waits, but
    // stop if the reader leaves the buffer as it was.
    inbox_->look();
    while (inbox_->count() >= ReceiveThreshold && state_ == LinkState::Open) {
        const int before = inbox_->count();
        emit OnComm();
        if (inbox_->count() == before) break;
    }
}

}  // namespace device
