#pragma once

#include <QByteArray>
#include <cstdint>

namespace device {

// The bytes received and not yet read, oldest first. After a long enough silence, bytes
// still waiting are a torn frame (the program started listening mid-frame, or the device
// stopped mid-frame); they are dropped so the next frame starts aligned.
class ReceiveBuffer {
public:
    explicit ReceiveBuffer(std::int64_t resyncGapMs) : resyncGapMs_(resyncGapMs) {}

    // New bytes that arrived msSincePrevious after the previous ones.
    void arrive(const QByteArray& bytes, std::int64_t msSincePrevious);
    // At most maxCount waiting bytes, oldest first, removed from the buffer.
    QByteArray take(int maxCount);
    void clear() { waiting_.clear(); }
    int count() const { return static_cast<int>(waiting_.size()); }
    void setResyncGapMs(std::int64_t ms) { resyncGapMs_ = ms; }
    // How many bytes were dropped at gaps, for the curious.
    std::int64_t droppedBytes() const { return dropped_; }

private:
    QByteArray waiting_;
    std::int64_t resyncGapMs_;
    std::int64_t dropped_ = 0;
};

}  // namespace device
