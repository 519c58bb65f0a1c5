#pragma once

#include <QByteArray>
#include <optional>

#include "Clock.h"
#include "Frame.h"
#include "FrameSink.h"
#include "MeasurementHistory.h"

namespace device {

// Turns each read of the serial input into register texts, pH values, the accepted frame
// for publishing, a paced log line, a history sample and a graph refresh, in that order.
class FrameDecoder {
public:
    FrameDecoder(MeasurementHistory& history, FrameSink& sink, const Clock& clock = Clock::system())
        : history_(history), sink_(sink), clock_(clock) {}

    // One notification's read. Fewer than 12 bytes are dropped without a trace.
    // Returns whether a frame was accepted.
    bool decode(const QByteArray& input);

    static RegisterTexts registerTexts(const DeviceFrame& frame, const QLocale& locale);

private:
    // Is the n-th frame due? A count that has passed a lowered rate is due too, so logging
    // never stalls for good; text that is no valid rate is never due.
    bool sampleDue() const;

    MeasurementHistory& history_;
    FrameSink& sink_;
    const Clock& clock_;
};

}  // namespace device
