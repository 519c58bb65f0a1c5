// Any byte stream, cut into any chunks with any pauses, through the receive buffer and the
// decoder: nothing may crash, overflow or leave the store out of range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "device/FrameDecoder.h"
#include "device/MSComm.h"
#include "device/ReceiveBuffer.h"

namespace {

struct FuzzSink final : device::FrameSink {
    QString rate;
    device::GraphScale scale = device::GraphScale::Fixed;
    int logged = 0;
    void showRegisters(const device::RegisterTexts& t) override {
        if (t.measuredPh.isEmpty() || t.targetPh.isEmpty()) std::abort();
    }
    QString updateRateText() const override { return rate; }
    void logSample(const device::LogRecord&) override { ++logged; }
    device::GraphScale graphScale() override { return scale; }
    void computeScaleMappings() override {}
    void redrawGraph(device::GraphScale) override {}
};

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    device::MeasurementHistory history;
    history.RawAtPh7 = 1;
    history.LogToFile = (data[0] & 1) != 0;
    FuzzSink sink;
    sink.rate = QString::number(data[0] >> 4);  // 0 (never due) .. 15
    sink.scale = (data[0] & 2) ? device::GraphScale::SelfDefined : device::GraphScale::Fixed;
    device::ManualClock clock(QDateTime(QDate(2026, 12, 8), QTime(23, 59, 0)));
    device::FrameDecoder decoder(history, sink, clock);
    device::ReceiveBuffer buffer(device::MSComm::DefaultResyncGapMs);

    std::size_t pos = 1;
    while (pos < size) {
        // A control byte: chunk length (0..31) and the pause before it (0..700 ms).
        const std::uint8_t control = data[pos++];
        const std::size_t length = std::min<std::size_t>(control & 31, size - pos);
        const int pauseMs = (control >> 5) * 100;
        clock.advanceMs(pauseMs);
        buffer.arrive(QByteArray(reinterpret_cast<const char*>(data + pos), length), pauseMs);
        pos += length;
        while (buffer.count() >= device::MSComm::ReceiveThreshold) {
            check(decoder.decode(buffer.take(device::MSComm::ReadLength)));
        }
        check(buffer.count() < device::MSComm::ReceiveThreshold);
    }
    check(history.SampleCount >= 0 && history.SampleCount <= 32767);
    for (int i = 0; i < device::MeasurementHistory::HistorySize; ++i) {
        check(history.PhHistory[i] >= 0 && history.PhHistory[i] <= 65535);
        check(history.LimitHistory[i] >= 0 && history.LimitHistory[i] <= 65535);
        check(history.ValveHistory[i] >= 0 && history.ValveHistory[i] <= 255);
    }
    check(std::isfinite(history.FixedSlope) && std::isfinite(history.FixedOffset));
    check(history.LogToFile || sink.logged == 0);
    return 0;
}
