#include "AlarmOptions.h"

#include "alarms/AlarmText.h"

namespace app {

namespace {
QCommandLineOption option(const char* name, const QString& help, const char* value) {
    return QCommandLineOption(QString::fromLatin1(name), help, QString::fromLatin1(value));
}
}  // namespace

AlarmOptions::AlarmOptions()
    : low(option("alarm-low",
                 QStringLiteral("Alarm when the pH stays below PH (as the window shows it) "
                                "instead of more than 0.3 below the target."),
                 "PH")),
      lowFor(option("alarm-low-for",
                    QStringLiteral("How long the pH must stay low: 90s, 5m, 2h (5m)."),
                    "DURATION")),
      high(option("alarm-high",
                  QStringLiteral("Alarm when the pH stays above PH instead of more than 0.5 "
                                 "above the target."),
                  "PH")),
      highFor(option("alarm-high-for", QStringLiteral("How long the pH must stay high (30m)."),
                     "DURATION")),
      valveFor(option("alarm-valve-for",
                      QStringLiteral("Alarm when the valve stays open this long (60m)."),
                      "DURATION")),
      silentFor(option("alarm-silent-for",
                       QStringLiteral("Alarm when no message comes this long while a port is "
                                      "watched (5m)."),
                       "DURATION")),
      probeFor(option("alarm-probe-for",
                      QStringLiteral("Alarm when the pH stays outside 4 to 9.5 this long (1m)."),
                      "DURATION")),
      clearAfter(option("alarm-clear-after",
                        QStringLiteral("An alarm is cleared once its cause has been gone this "
                                       "long (2m)."),
                        "DURATION")),
      off(option("alarm-off",
                 QStringLiteral("Turn one alarm off: low, high, valve, silent or probe; may be "
                                "given more than once."),
                 "NAME")),
      command(option("alarm-command",
                     QStringLiteral("Run PROGRAM (no shell) for every alarm raised and cleared, "
                                    "with VELLICOR_ALARM, VELLICOR_ALARM_STATE, VELLICOR_PH, "
                                    "VELLICOR_TARGET_PH, VELLICOR_SINCE and VELLICOR_PORT in its "
                                    "environment; stopped after 30 s."),
                     "PROGRAM")),
      kh(option("kh",
                QStringLiteral("The water's carbonate hardness in degrees: shows and publishes "
                               "the dissolved CO2 in mg/l."),
                "DEGREES")) {}

QList<QCommandLineOption> AlarmOptions::all() const {
    return {low,      lowFor,     high, highFor, valveFor, silentFor,
            probeFor, clearAfter, off,  command, kh};
}

QList<const QCommandLineOption*> AlarmOptions::each() const {
    return {&low,      &lowFor,     &high, &highFor, &valveFor, &silentFor,
            &probeFor, &clearAfter, &off,  &command, &kh};
}

std::optional<QString> readAlarmOptions(const QCommandLineParser& parser,
                                        const AlarmOptions& options, const QLocale& locale,
                                        AlarmLine& line) {
    alarms::AlarmSettings& s = line.settings;
    const auto name = [](const QCommandLineOption& o) { return o.names().front(); };
    for (auto [o, level] : {std::pair{&options.low, &s.lowLevel}, {&options.high, &s.highLevel}}) {
        if (!parser.isSet(*o)) continue;
        *level = alarms::parsePh(parser.value(*o), locale);
        if (!*level)
            return QStringLiteral(
                       "--%1 takes a pH from 0 to 14 as the window shows it, for "
                       "example 6.5, not \"%2\"")
                .arg(name(*o), parser.value(*o));
    }
    for (auto [o, ms] : {std::pair{&options.lowFor, &s.lowForMs},
                         {&options.highFor, &s.highForMs},
                         {&options.valveFor, &s.valveForMs},
                         {&options.silentFor, &s.silentForMs},
                         {&options.probeFor, &s.probeForMs},
                         {&options.clearAfter, &s.clearAfterMs}}) {
        if (!parser.isSet(*o)) continue;
        const auto parsed = alarms::parseDurationMs(parser.value(*o));
        if (!parsed)
            return QStringLiteral(
                       "--%1 takes a duration such as 90s, 5m or 2h (at most a "
                       "week), not \"%2\"")
                .arg(name(*o), parser.value(*o));
        *ms = *parsed;
    }
    for (const QString& key : parser.values(options.off)) {
        const auto alarm = alarms::alarmFromKey(key);
        if (!alarm)
            return QStringLiteral(
                       "--alarm-off takes low, high, valve, silent or probe, not "
                       "\"%1\"")
                .arg(key);
        s.enabled[static_cast<std::size_t>(*alarm)] = false;
    }
    if (parser.isSet(options.command)) {
        line.command = parser.value(options.command);
        if (line.command->isEmpty())
            return QStringLiteral("--alarm-command needs the program to run");
    }
    if (parser.isSet(options.kh)) {
        // Degrees with a decimal or not, as the help window's table counts them.
        QString text = parser.value(options.kh).trimmed();
        text.replace(locale.decimalPoint(), QStringLiteral("."));
        bool ok = false;
        const double kh = QLocale::c().toDouble(text, &ok);
        if (!ok || !(kh > 0) || kh > 100)
            return QStringLiteral(
                       "--kh takes the carbonate hardness in degrees, more than 0 "
                       "and at most 100, not \"%1\"")
                .arg(parser.value(options.kh));
        line.kh = kh;
    }
    return std::nullopt;
}

}  // namespace app
