#include "FrameDecoder.h"

#include "Countdown.h"
#include "NumberText.h"
#include "RegionalText.h"

namespace device {

RegisterTexts FrameDecoder::registerTexts(const DeviceFrame& f, const QLocale& locale) {
    RegisterTexts t;
    for (int i = 0; i < FrameLength; ++i) t.hex[i] = formatHex(f.bytes[i]);
    t.limit = formatBracketed(f.limit);
    t.raw7 = formatBracketed(f.raw7);
    t.raw4 = formatBracketed(f.raw4);
    t.k = formatBracketed(f.k);
    t.m = formatBracketed(f.m);
    t.raw = formatBracketed(f.raw);
    // Asked once for both: for the system locale every asking goes to the system.
    const QString point = locale.decimalPoint();
    t.measuredPh = formatHundredths(phHundredths(f.raw, f.k, f.m), point);
    t.targetPh = formatHundredths(phHundredths(f.limit, f.k, f.m), point);
    return t;
}

bool FrameDecoder::decode(const QByteArray& input) {
    return decodeBatch({ArrivedFrame{input, clock_.now(), clock_.steadyMs()}}) > 0;
}

int FrameDecoder::decodeBatch(const std::vector<ArrivedFrame>& reads) {
    // The newest frame is the last read long enough to be one.
    auto newest = reads.rend();
    for (auto it = reads.rbegin(); it != reads.rend(); ++it) {
        if (it->bytes.size() >= FrameLength) {
            newest = it;
            break;
        }
    }
    if (newest == reads.rend()) return 0;
    const ArrivedFrame* const shown = &*newest;

    const QLocale locale;
    const QString point = locale.decimalPoint();
    // Nothing in a batch can change the rate text, so one reading of it decides logging,
    // history and refresh for every frame. The n-th frame is due; a count that has passed a
    // lowered rate is due too, so logging never stalls for good; text that is no valid rate is
    // never due.
    const std::optional<int> rate = parseUpdateRate(sink_.updateRateText(), locale);
    int accepted = 0;
    bool redraw = false;
    for (const ArrivedFrame& read : reads) {
        const auto frame = decodeFrame(read.bytes);
        if (!frame) continue;
        ++accepted;
        history_.countFrame();
        history_.LimitRaw = frame->limit;
        history_.RawAtPh7 = frame->raw7;
        history_.RawAtPh4 = frame->raw4;
        // Only the newest reaches the displays: nobody reads a number shown for 12 ms.
        if (&read == shown) {
            stampLastFrame(history_, read.time, read.steadyMs);
            sink_.showRegisters(registerTexts(*frame, locale));
        }
        sink_.frameAccepted(*frame, read.time);

        if (!rate || history_.SampleCount < *rate) continue;
        if (history_.LogToFile) {
            const QString measured =
                formatHundredths(phHundredths(frame->raw, frame->k, frame->m), point);
            const QString target =
                formatHundredths(phHundredths(frame->limit, frame->k, frame->m), point);
            sink_.logSample(LogRecord{read.time.date(), read.time.time(), measured, target,
                                      formatHex(frame->bytes[7]), frame->raw, frame->limit,
                                      frame->raw7, frame->raw4, frame->k, frame->m});
        }
        history_.AppendSample(frame->raw, formatSampleTime(read.time.time()), frame->valve,
                              history_.LimitRaw);
        history_.SampleCount = 0;
        redraw = true;
    }

    history_.computeFixedMapping();
    const GraphScale scale = sink_.graphScale();
    if (scale == GraphScale::SelfDefined) sink_.computeScaleMappings();
    if (redraw) sink_.redrawGraph(scale);
    return accepted;
}

}  // namespace device
