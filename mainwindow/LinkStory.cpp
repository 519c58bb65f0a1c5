#include "LinkStory.h"

#include "device/RegionalText.h"

namespace mainwindow {

namespace {

using device::LinkState;

// The date only when it is not today: a night's outages read as times.
QString moment(const QDateTime& t, const QDateTime& now, const QLocale& locale) {
    const QString time = device::formatRegionalTime(t.time(), locale);
    if (t.date() == now.date()) return time;
    return device::formatRegionalDate(t.date(), locale) + QLatin1Char(' ') + time;
}

QString tries(int n) {
    return n == 1 ? QStringLiteral("1 try") : QStringLiteral("%1 tries").arg(n);
}

QString pastOutages(const device::LinkWatch& watch, const QDateTime& now, const QLocale& locale) {
    if (watch.past().empty()) return {};
    QString text = QStringLiteral("\n\nLast outages, newest first:");
    for (const device::Outage& o : watch.past()) {
        text += QStringLiteral("\n    %1 to %2 (%3, %4)")
                    .arg(moment(o.lost, now, locale), moment(o.back, now, locale),
                         formatDuration(o.lost.secsTo(o.back)), tries(o.tries));
    }
    return text;
}

}  // namespace

QString formatDuration(qint64 seconds) {
    seconds = std::max<qint64>(seconds, 0);
    const qint64 h = seconds / 3600, min = seconds / 60 % 60, s = seconds % 60;
    if (h > 0) return QStringLiteral("%1 h %2 min").arg(h).arg(min);
    if (min > 0) return QStringLiteral("%1 min %2 s").arg(min).arg(s);
    return QStringLiteral("%1 s").arg(s);
}

QString describeLinkStory(const QString& portName, LinkState state, const device::LinkWatch& watch,
                          const QDateTime& now, const QLocale& locale) {
    QString text;
    if (const auto& o = watch.current(); o && state == LinkState::Retrying) {
        if (o->fromStart) {
            text = QStringLiteral("Waiting for %1 since %2.")
                       .arg(portName, moment(o->lost, now, locale));
        } else {
            text = QStringLiteral("The connection on %1 was lost at %2: %3.")
                       .arg(portName, moment(o->lost, now, locale), o->reason);
        }
        if (!o->tryError.isEmpty()) text += QStringLiteral("\n\n") + o->tryError;
        text += QStringLiteral("\n\nTrying again by itself since %1: %2 so far")
                    .arg(moment(o->lost, now, locale), tries(o->tries));
        text += watch.nextTry().isValid()
                    ? QStringLiteral(", the next at %1.").arg(moment(watch.nextTry(), now, locale))
                    : QStringLiteral(", one under way.");
        text += QStringLiteral(" Disconnect stops trying.");
    } else if (state == LinkState::Open && !watch.past().empty()) {
        const device::Outage& last = watch.past().front();
        text = QStringLiteral("The connection on %1 is back since %2, after %3 without it.")
                   .arg(portName, moment(last.back, now, locale),
                        formatDuration(last.lost.secsTo(last.back)));
    } else {
        text = QStringLiteral("The connection on %1 is closed; it is no longer tried again.")
                   .arg(portName);
    }
    return text + pastOutages(watch, now, locale);
}

}  // namespace mainwindow
