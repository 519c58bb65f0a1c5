#include "ReceiveBuffer.h"

namespace device {

void ReceiveBuffer::arrive(const QByteArray& bytes, std::int64_t msSincePrevious) {
    if (bytes.isEmpty()) return;
    const qsizetype torn = waiting_.size() % readLength_;
    if (torn > 0 && msSincePrevious > resyncGapMs_) {
        dropped_ += torn;
        waiting_.chop(torn);
    }
    waiting_.append(bytes);
}

QByteArray ReceiveBuffer::take(int maxCount) {
    if (maxCount <= 0) return {};
    QByteArray chunk = waiting_.left(maxCount);
    waiting_.remove(0, chunk.size());
    return chunk;
}

}  // namespace device
