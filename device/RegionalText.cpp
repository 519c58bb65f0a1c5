#include "RegionalText.h"

#include <QRegularExpression>

namespace device {

namespace {
// The locale's time format without its zone, worked out again only when that format changes.
QString logTimeFormat(const QLocale& locale) {
    thread_local QString raw, cleaned;
    const QString format = locale.timeFormat(QLocale::LongFormat);
    if (format != raw || cleaned.isEmpty()) {
        // A zone name in a log line would only vary with the season; drop it, with the brackets
        // some locales put around it.
        static const QRegularExpression zone(QStringLiteral("\\s*\\(?\\bt+\\b\\)?\\s*"));
        cleaned = QString(format).replace(zone, QStringLiteral(" ")).trimmed();
        raw = format;
    }
    return cleaned;
}

// The last text formatted, for as long as the same value comes back in the same format: both
// log lines of a frame and the graph's header show the same date and the same second.
template <typename Value>
struct LastText {
    QLocale locale;
    QString format;
    Value value;
    QString text;

    template <typename Format>
    const QString& get(const Value& v, const QString& f, const QLocale& l, Format formatText) {
        if (v != value || f != format || l != locale) {
            text = formatText();
            value = v;
            format = f;
            locale = l;
        }
        return text;
    }
};
}  // namespace

QString formatRegionalTime(const QTime& t, const QLocale& locale) {
    const QString format = logTimeFormat(locale);
    // Without milliseconds in the format, every moment of a second reads the same.
    const QTime shown =
        format.contains(QLatin1Char('z')) ? t : QTime(t.hour(), t.minute(), t.second());
    thread_local LastText<QTime> last;
    return last.get(shown, format, locale, [&] { return locale.toString(t, format); });
}

QString formatRegionalDate(const QDate& d, const QLocale& locale) {
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    thread_local LastText<QDate> last;
    // The format is only the key: the platform may write the short date its own way.
    return last.get(d, format, locale, [&] { return locale.toString(d, QLocale::ShortFormat); });
}

QString formatSampleTime(const QTime& t) {
    // Samples can come many times a minute, and a minute has one text.
    thread_local int lastMinute = -1;
    thread_local QString last;
    const int minute = t.isValid() ? t.hour() * 60 + t.minute() : -2;
    if (minute != lastMinute) {
        last = t.toString(QStringLiteral("HH:mm"));
        lastMinute = minute;
    }
    return last;
}

}  // namespace device
