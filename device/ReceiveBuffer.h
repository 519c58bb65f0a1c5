#pragma once

#include <QByteArray>
#include <cstdint>
#include <deque>
#include <vector>

#include "ArrivedFrame.h"

namespace device {

// The bytes received and not yet read, oldest first, read a frame's length at a time. After a
// long enough silence, waiting bytes too few for a whole read are a torn frame (the program
// started listening mid-frame, or the device stopped mid-frame); they are dropped so the next
// frame starts aligned. Whole reads still waiting are kept: a reader that is behind has not
// lost them. Each whole read keeps the time of the arrival that completed it.
class ReceiveBuffer {
public:
    explicit ReceiveBuffer(std::int64_t resyncGapMs, int readLength = 12)
        : resyncGapMs_(resyncGapMs), readLength_(readLength) {}

    // New bytes that arrived msSincePrevious after the previous ones, at the time given.
    void arrive(const QByteArray& bytes, std::int64_t msSincePrevious,
                const ArrivalTime& when = {});
    // At most maxCount waiting bytes, oldest first, removed from the buffer.
    QByteArray take(int maxCount);
    // Every whole read waiting, oldest first, each with its time; a part of a read stays.
    std::vector<ArrivedFrame> takeReads();
    void clear() {
        waiting_.clear();
        completed_.clear();
    }
    int count() const { return static_cast<int>(waiting_.size()); }
    void setResyncGapMs(std::int64_t ms) { resyncGapMs_ = ms; }
    // How many bytes were dropped at gaps, for the curious.
    std::int64_t droppedBytes() const { return dropped_; }

private:
    QByteArray waiting_;
    // One for each whole read waiting: the arrival of its last byte.
    std::deque<ArrivalTime> completed_;
    std::int64_t resyncGapMs_;
    int readLength_;
    std::int64_t dropped_ = 0;
};

}  // namespace device
