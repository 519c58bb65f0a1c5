#include "LinkInbox.h"

namespace device {

bool LinkInbox::arrive(const QByteArray& bytes, std::int64_t msSincePrevious,
                       const ArrivalTime& when) {
    const QMutexLocker lock(&mutex_);
    if (bytes.isEmpty()) return false;
    anyArrived_ = true;
    buffer_.arrive(bytes, msSincePrevious, when);
    if (told_ || buffer_.count() < threshold_) return false;
    told_ = true;
    return true;
}

void LinkInbox::look() {
    const QMutexLocker lock(&mutex_);
    told_ = false;
}

void LinkInbox::hold() {
    const QMutexLocker lock(&mutex_);
    told_ = true;
}

std::vector<ArrivedFrame> LinkInbox::takeReads() {
    const QMutexLocker lock(&mutex_);
    return buffer_.takeReads();
}

QByteArray LinkInbox::take(int maxCount) {
    const QMutexLocker lock(&mutex_);
    return buffer_.take(maxCount);
}

int LinkInbox::count() const {
    const QMutexLocker lock(&mutex_);
    return buffer_.count();
}

void LinkInbox::clear() {
    const QMutexLocker lock(&mutex_);
    buffer_.clear();
}

void LinkInbox::setResyncGapMs(std::int64_t ms) {
    const QMutexLocker lock(&mutex_);
    buffer_.setResyncGapMs(ms);
}

bool LinkInbox::anyArrived() const {
    const QMutexLocker lock(&mutex_);
    return anyArrived_;
}

}  // namespace device
