#include "AlarmText.h"

#include <QRegularExpression>
#include <cmath>

#include "device/NumberText.h"

namespace alarms {

QString alarmKey(Alarm a) {
    switch (a) {
        case Alarm::Low:
            return QStringLiteral("low");
        case Alarm::High:
            return QStringLiteral("high");
        case Alarm::Valve:
            return QStringLiteral("valve");
        case Alarm::Silent:
            return QStringLiteral("silent");
        case Alarm::Probe:
            return QStringLiteral("probe");
    }
    return {};
}

std::optional<Alarm> alarmFromKey(const QString& key) {
    for (Alarm a : AllAlarms)
        if (alarmKey(a) == key) return a;
    return std::nullopt;
}

QString alarmTitle(Alarm a) {
    switch (a) {
        case Alarm::Low:
            return QStringLiteral("pH low");
        case Alarm::High:
            return QStringLiteral("pH high");
        case Alarm::Valve:
            return QStringLiteral("Valve open too long");
        case Alarm::Silent:
            return QStringLiteral("Regulator silent");
        case Alarm::Probe:
            return QStringLiteral("Probe out of range");
    }
    return {};
}

std::optional<qint64> parseDurationMs(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,7})([smh])$"));
    const auto match = form.match(text.trimmed());
    if (!match.hasMatch()) return std::nullopt;
    const qint64 count = match.captured(1).toLongLong();
    const QChar unit = match.captured(2).front();
    const qint64 ms = count * (unit == u's' ? 1000 : unit == u'm' ? 60'000 : 3'600'000);
    constexpr qint64 Week = 7 * 24 * 3'600'000LL;
    if (ms < 1000 || ms > Week) return std::nullopt;
    return ms;
}

std::optional<int> parsePh(const QString& text, const QLocale& locale) {
    QString t = text.trimmed();
    // The windows write the locale's separator; a service's configuration is often typed
    // with a '.', so either is the same number.
    if (const QString point = locale.decimalPoint(); point.size() == 1 && point != u".")
        t.replace(point, QStringLiteral("."));
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,2})(?:\\.([0-9]{1,2}))?$"));
    const auto match = form.match(t);
    if (!match.hasMatch()) return std::nullopt;
    const QString decimals = match.captured(2).leftJustified(2, u'0');
    const int hundredths = match.captured(1).toInt() * 100 + decimals.toInt();
    if (hundredths > 1400) return std::nullopt;
    return hundredths;
}

QString noticeLine(const AlarmNotice& n, const QLocale& locale) {
    QString line = n.raised ? QStringLiteral("Alarm raised: %1 since %2")
                            : QStringLiteral("Alarm cleared: %1, gone since %2");
    line = line.arg(alarmTitle(n.alarm), locale.toString(n.since, QLocale::ShortFormat));
    if (n.ph && n.target) {
        line += QStringLiteral(" (pH %1, target pH %2)")
                    .arg(device::formatHundredths(*n.ph, locale),
                         device::formatHundredths(*n.target, locale));
    }
    return line + u'.';
}

double co2MgPerLitre(double kh, int phHundredths) {
    return 3.0 * kh * std::pow(10.0, 7.0 - phHundredths / 100.0);
}

QString formatCo2(double mgPerLitre, const QLocale& locale) {
    return locale.toString(device::roundHalfEven(mgPerLitre, 1), 'f', 1);
}

}  // namespace alarms
