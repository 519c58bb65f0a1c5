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

bool FrameDecoder::sampleDue() const {
    const auto rate = parseUpdateRate(sink_.updateRateText(), QLocale());
    return rate && history_.SampleCount >= *rate;
}

bool FrameDecoder::decode(const QByteArray& input) {
    const auto frame = decodeFrame(input);
    if (!frame) return false;

    const QDateTime now = clock_.now();
    stampLastFrame(history_, clock_, now);
    history_.countFrame();

    history_.LimitRaw = frame->limit;
    history_.RawAtPh7 = frame->raw7;
    history_.RawAtPh4 = frame->raw4;
    const RegisterTexts texts = registerTexts(*frame, QLocale());
    sink_.showRegisters(texts);
    sink_.frameAccepted(*frame, now);

    // Nothing below can change the rate text or the count before the refresh, so one reading
    // of the rate decides logging, history and refresh alike.
    const bool due = sampleDue();
    if (history_.LogToFile && due) {
        sink_.logSample(LogRecord{now.date(), now.time(), texts.measuredPh, texts.targetPh,
                                  texts.hex[7], frame->raw, frame->limit, frame->raw7, frame->raw4,
                                  frame->k, frame->m});
    }
    if (due) {
        history_.AppendSample(frame->raw, formatSampleTime(now.time()), frame->valve,
                              history_.LimitRaw);
    }

    history_.computeFixedMapping();

    const GraphScale scale = sink_.graphScale();
    if (scale == GraphScale::SelfDefined) sink_.computeScaleMappings();
    if (due) {
        sink_.redrawGraph(scale);
        history_.SampleCount = 0;
    }
    return true;
}

}  // namespace device
