#include "ReceiveBuffer.h"

namespace device {

void ReceiveBuffer::arrive(const QByteArray& bytes, std::int64_t msSincePrevious,
                           const ArrivalTime& when) {
    if (bytes.isEmpty()) return;
    const qsizetype torn = waiting_.size() % readLength_;
    if (torn > 0 && msSincePrevious > resyncGapMs_) {
        dropped_ += torn;
        waiting_.chop(torn);
    }
    waiting_.append(bytes);
    while (completed_.size() < static_cast<std::size_t>(waiting_.size() / readLength_))
        completed_.push_back(when);
}

QByteArray ReceiveBuffer::take(int maxCount) {
    if (maxCount <= 0) return {};
    QByteArray chunk = waiting_.left(maxCount);
    waiting_.remove(0, chunk.size());
    while (completed_.size() > static_cast<std::size_t>(waiting_.size() / readLength_))
        completed_.pop_front();
    return chunk;
}

std::vector<ArrivedFrame> ReceiveBuffer::takeReads() {
    std::vector<ArrivedFrame> reads;
    reads.reserve(completed_.size());
    for (std::size_t i = 0; i < completed_.size(); ++i) {
        reads.push_back({waiting_.mid(static_cast<qsizetype>(i) * readLength_, readLength_),
                         completed_[i].time, completed_[i].steadyMs});
    }
    waiting_.remove(0, static_cast<qsizetype>(completed_.size()) * readLength_);
    completed_.clear();
    return reads;
}

}  // namespace device
