#include "LinkWatch.h"

#include <algorithm>

namespace device {

int LinkWatch::retryDelayMs(int triesSoFar, int firstMs, int capMs) {
    qint64 delay = firstMs;
    for (int i = 0; i < triesSoFar && delay < capMs; ++i) delay *= 2;
    return static_cast<int>(std::min<qint64>(delay, capMs));
}

void LinkWatch::begin(const QDateTime& at, const QString& reason, bool fromStart) {
    current_ = Outage{at, QDateTime(), 0, reason, QString(), fromStart};
    nextTry_ = QDateTime();
}

void LinkWatch::failedTry(const QString& reason) {
    if (!current_) return;
    ++current_->tries;
    current_->tryError = reason;
}

void LinkWatch::restored(const QDateTime& at) {
    if (!current_) return;
    ++current_->tries;  // the try that worked
    current_->back = at;
    past_.push_front(*current_);
    if (past_.size() > KeptOutages) past_.pop_back();
    current_.reset();
    nextTry_ = QDateTime();
}

void LinkWatch::resume(const QString& reason) {
    if (past_.empty()) return;
    current_ = past_.front();
    past_.pop_front();
    current_->back = QDateTime();
    current_->tryError = reason;
}

void LinkWatch::stop() {
    current_.reset();
    nextTry_ = QDateTime();
}

QString linkStateName(LinkState state, const LinkWatch& watch) {
    switch (state) {
        case LinkState::Open:
            return QStringLiteral("connected");
        case LinkState::Retrying: {
            const auto& o = watch.current();
            const bool justLost = o && !o->fromStart && o->tries == 0;
            return justLost ? QStringLiteral("lost") : QStringLiteral("trying again");
        }
        case LinkState::Closed:
        case LinkState::Opening:
            break;
    }
    return QStringLiteral("disconnected");
}

}  // namespace device
