#include "LogLine.h"

#include <utility>

#include "device/NumberText.h"
#include "device/RegionalText.h"

namespace textlog {

namespace {

// Each item after the first starts at the next print zone, at least one blank after the last.
class ZoneLine {
public:
    ZoneLine() { line_.reserve(12 * PrintZoneWidth); }
    ZoneLine& operator<<(QStringView item) {
        if (items_++ > 0) line_.resize((line_.size() / PrintZoneWidth + 1) * PrintZoneWidth, u' ');
        line_ += item;
        return *this;
    }
    QString finish() {
        line_ += QStringLiteral("\r\n");
        return std::move(line_);
    }

private:
    QString line_;
    int items_ = 0;
};

}  // namespace

QString printZoneLine(const QStringList& items) {
    ZoneLine line;
    for (const QString& item : items) line << item;
    return line.finish();
}

QString fileHeaderLine() {
    return printZoneLine({QStringLiteral("Date"), QStringLiteral("Time"), QStringLiteral("pH"),
                          QStringLiteral("Limit"), QStringLiteral("Valve"), QStringLiteral("pH"),
                          QStringLiteral("Limit"), QStringLiteral("pH7"), QStringLiteral("pH4"),
                          QStringLiteral("k"), QStringLiteral("m")});
}

LineStamp lineStamp(const device::LogRecord& r, const QLocale& locale) {
    return {device::formatRegionalDate(r.date, locale), device::formatRegionalTime(r.time, locale)};
}

QString fileDataLine(const device::LogRecord& r, const LineStamp& stamp) {
    using device::formatSigned;
    return (ZoneLine() << stamp.date << stamp.time << r.measuredPh << r.targetPh << r.valveHex
                       << formatSigned(r.raw) << formatSigned(r.limit) << formatSigned(r.raw7)
                       << formatSigned(r.raw4) << formatSigned(r.k) << formatSigned(r.m))
        .finish();
}

QString fileDataLine(const device::LogRecord& r, const QLocale& locale) {
    return fileDataLine(r, lineStamp(r, locale));
}

QString textLogLine(const device::LogRecord& r, const LineStamp& stamp) {
    const QChar tab(u'\t');
    return stamp.date + u' ' + stamp.time + QStringLiteral("  ") + r.measuredPh + tab + r.targetPh +
           tab + r.valveHex + QStringLiteral("\r\n");
}

QString textLogLine(const device::LogRecord& r, const QLocale& locale) {
    return textLogLine(r, lineStamp(r, locale));
}

}  // namespace textlog
