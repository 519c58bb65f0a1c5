#include "ReceiveBuffer.h"

namespace device {

void ReceiveBuffer::arrive(const QByteArray& bytes, std::int64_t msSincePrevious) {
    if (bytes.isEmpty()) return;
    if (!waiting_.isEmpty() && msSincePrevious > resyncGapMs_) {
        dropped_ += waiting_.size();
        waiting_.clear();
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
