#include "LogLine.h"

#include "device/NumberText.h"
#include "device/RegionalText.h"

namespace textlog {

QString printZoneLine(const QStringList& items) {
    QString line;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0) {
            const qsizetype nextZone = (line.size() / PrintZoneWidth + 1) * PrintZoneWidth;
            line.append(QString(nextZone - line.size(), QLatin1Char(' ')));
        }
        line.append(items[i]);
    }
    line.append(QStringLiteral("\r\n"));
    return line;
}

QString fileHeaderLine() {
    return printZoneLine({QStringLiteral("Date"), QStringLiteral("Time"), QStringLiteral("pH"),
                          QStringLiteral("Limit"), QStringLiteral("Valve"), QStringLiteral("pH"),
                          QStringLiteral("Limit"), QStringLiteral("pH7"), QStringLiteral("pH4"),
                          QStringLiteral("k"), QStringLiteral("m")});
}

QString fileDataLine(const device::LogRecord& r, const QLocale& locale) {
    return printZoneLine({device::formatRegionalDate(r.date, locale),
                          device::formatRegionalTime(r.time, locale), r.measuredPh, r.targetPh,
                          r.valveHex, device::formatSigned(r.raw), device::formatSigned(r.limit),
                          device::formatSigned(r.raw7), device::formatSigned(r.raw4),
                          device::formatSigned(r.k), device::formatSigned(r.m)});
}

QString textLogLine(const device::LogRecord& r, const QLocale& locale) {
    const QChar tab(u'\t');
    return device::formatRegionalDate(r.date, locale) + u' ' +
           device::formatRegionalTime(r.time, locale) + QStringLiteral("  ") + r.measuredPh + tab +
           r.targetPh + tab + r.valveHex + QStringLiteral("\r\n");
}

}  // namespace textlog
