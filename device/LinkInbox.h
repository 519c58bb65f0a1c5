#pragma once

#include <QByteArray>
#include <QMutex>
#include <cstdint>
#include <vector>

#include "ReceiveBuffer.h"

namespace device {

// The bytes of one link not yet read, shared by the link's thread, which adds them as they
// arrive, and the owner's, which reads them. The owner is told once when a whole read waits and
// not again until it has looked, so a frame that comes in pieces, or a burst of frames, costs
// the owner's thread one wake-up; the silence before each piece is judged as it arrives. An
// owner that comes back by itself at a pace of its own holds the news after a read: bytes that
// come meanwhile wait untold until it looks again, and cost its thread no wake-up at all.
// Each whole read carries the time the link read its last byte.
class LinkInbox {
public:
    LinkInbox(int threshold, std::int64_t resyncGapMs)
        : buffer_(resyncGapMs, threshold), threshold_(threshold) {}

    // On the link's thread. True when the owner is to be told now.
    bool arrive(const QByteArray& bytes, std::int64_t msSincePrevious,
                const ArrivalTime& when = {});

    // On the owner's thread, before it reads what it was told about: news of later bytes
    // is told again.
    void look();
    // On the owner's thread, after a read: news of later bytes is not told, as the owner will
    // look again by itself.
    void hold();
    QByteArray take(int maxCount);
    std::vector<ArrivedFrame> takeReads();
    int count() const;
    void clear();
    void setResyncGapMs(std::int64_t ms);
    // Whether a single byte came on this link.
    bool anyArrived() const;

private:
    mutable QMutex mutex_;
    ReceiveBuffer buffer_;
    const int threshold_;
    bool told_ = false;
    bool anyArrived_ = false;
};

}  // namespace device
