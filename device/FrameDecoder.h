#pragma once

#include <QByteArray>
#include <optional>
#include <vector>

#include "ArrivedFrame.h"
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

    // One notification's read, timed now. Fewer than 12 bytes are dropped without a trace.
    // Returns whether a frame was accepted.
    bool decode(const QByteArray& input);
    // A batch of reads, oldest first, each with the time the link read it. Every frame is
    // handed on, logged and added to the history with its own time, in order; the registers
    // show the newest, the graph is redrawn once and the countdown restarts from the newest.
    // Returns how many frames were accepted.
    int decodeBatch(const std::vector<ArrivedFrame>& reads);

    static RegisterTexts registerTexts(const DeviceFrame& frame, const QLocale& locale);

private:
    MeasurementHistory& history_;
    FrameSink& sink_;
    const Clock& clock_;
};

}  // namespace device
