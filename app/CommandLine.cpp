#include "CommandLine.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QLocale>

#include "device/NumberText.h"

namespace app {

namespace {

ParsedCommandLine failure(const QString& reason) {
    return ParsedCommandLine{std::nullopt, QStringLiteral("vellicor: ") + reason,
                             BadCommandLineStatus};
}

// The options every Qt application takes, which its QApplication reads from argv itself.
const QStringList QtOptionsWithValue = {
    QStringLiteral("style"),           QStringLiteral("stylesheet"),
    QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"),    QStringLiteral("session"),
    QStringLiteral("display"),         QStringLiteral("geometry"),
};
// Those that take their value only after '='.
const QStringList QtOptionsWithEquals = {QStringLiteral("qmljsdebugger")};
const QStringList QtFlags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                             QStringLiteral("nograb"), QStringLiteral("dograb"),
                             QStringLiteral("sync")};

// The arguments without Qt's own options ("-style fusion", "-style=fusion", "-reverse"), which
// would otherwise read as bundles of unknown one-letter options.
QStringList withoutQtOptions(const QStringList& arguments) {
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        // Everything after "--" is a positional argument.
        if (i > 0 && a == u"--") {
            kept << arguments.mid(i);
            break;
        }
        if (i == 0 || !a.startsWith(u'-') || a.startsWith(u"--")) {
            kept << a;
            continue;
        }
        const qsizetype equals = a.indexOf(u'=');
        const QString name = a.mid(1, equals < 0 ? -1 : equals - 1);
        if (QtFlags.contains(name) && equals < 0) continue;
        if (QtOptionsWithEquals.contains(name) && equals >= 0) continue;
        if (QtOptionsWithValue.contains(name)) {
            if (equals < 0) ++i;
            continue;
        }
        kept << a;
    }
    return kept;
}

// A value taken from the next argument that is itself an option ("--log --headless") means the
// value was forgotten: it is no file name or number. A file named so is still given in a form that
// cannot be mistaken: "--log=./--x".
std::optional<QString> missingValue(const QCommandLineParser& parser,
                                    const QList<const QCommandLineOption*>& options) {
    for (const QCommandLineOption* o : options) {
        if (!parser.isSet(*o)) continue;
        for (const QString& value : parser.values(*o)) {
            if (!value.isEmpty() && !value.startsWith(u"--")) continue;
            // Read out as letters, "N" and "ID" take "an".
            const QString name = o->valueName();
            const bool an = name == u"N" || name == u"ID";
            return QStringLiteral("--%1 needs %2 %3")
                .arg(o->names().front(), an ? QStringLiteral("an") : QStringLiteral("a"), name);
        }
    }
    return std::nullopt;
}

const QString HeadlessFlag = QStringLiteral("headless");
const QString ExportFlag = QStringLiteral("export-png");

// The options that only make sense for a program that watches a port.
struct WatchOptions {
    QCommandLineOption log{QStringLiteral("log"),
                           QStringLiteral("Log every sample from start-up into FILE, as \"Save "
                                          "Log\" would, but appending: an existing file is never "
                                          "emptied, and gets no second header."),
                           QStringLiteral("FILE")};
    QCommandLineOption interval{
        QStringLiteral("interval"),
        QStringLiteral("Log and draw every N-th message (\"Interval\"; 1 by default)."),
        QStringLiteral("N")};
    QCommandLineOption headless{HeadlessFlag,
                                QStringLiteral("Run without any window or display (a service, a "
                                               "computer without a screen); messages go to "
                                               "standard error. Needs PORT.")};
};

struct HistoryOptions {
    QCommandLineOption history{
        QStringLiteral("history"),
        QStringLiteral("Show a log file whole as a graph; the positional argument is then the "
                       "log FILE instead of a port (without it a dialog asks for one).")};
    QCommandLineOption exportPng{ExportFlag,
                                 QStringLiteral("With --history FILE: draw the history into PNG "
                                                "without any display, then exit."),
                                 QStringLiteral("PNG")};
    QCommandLineOption from{QStringLiteral("from"),
                            QStringLiteral("With --export-png: the first day drawn (YYYY-MM-DD)."),
                            QStringLiteral("DATE")};
    QCommandLineOption to{QStringLiteral("to"),
                          QStringLiteral("With --export-png: the last day drawn (YYYY-MM-DD)."),
                          QStringLiteral("DATE")};
};

struct MqttOptions {
    QCommandLineOption url, id, ca;
    explicit MqttOptions(const QString& notBuiltIn)
        : url(QStringLiteral("mqtt"),
              QStringLiteral("Publish every frame to an MQTT broker: mqtt://[user@]host[:port], or "
                             "mqtts://... for TLS. The password comes from %1.%2")
                  .arg(mqtt::PasswordVariable, notBuiltIn),
              QStringLiteral("URL")),
          id(QStringLiteral("mqtt-id"),
             QStringLiteral("The regulator's name in the topics vellicor/ID/... (letters, digits, "
                            "'_' and '-'); by default the port's name, for example rfcomm0.%1")
                 .arg(notBuiltIn),
             QStringLiteral("ID")),
          ca(QStringLiteral("mqtt-ca"),
             QStringLiteral("Check an mqtts:// broker's certificate against this CA file instead "
                            "of the system's store.%1")
                 .arg(notBuiltIn),
             QStringLiteral("FILE")) {}
};

std::optional<QString> parseBroker(const QCommandLineParser& parser, const MqttOptions& options,
                                   const std::optional<QString>& portName,
                                   const std::optional<QString>& password,
                                   mqtt::BrokerSettings& broker) {
    QString error;
    auto parsed = mqtt::parseBrokerUrl(parser.value(options.url), &error);
    if (!parsed) return error;
    broker = *parsed;

    if (parser.isSet(options.id)) {
        broker.id = parser.value(options.id);
        if (!mqtt::isTopicId(broker.id))
            return QStringLiteral(
                       "--mqtt-id takes 1 to 64 letters, digits, '_' and '-', not "
                       "\"%1\"")
                .arg(broker.id);
    } else {
        broker.id = mqtt::defaultId(portName);
    }

    if (parser.isSet(options.ca)) {
        if (!broker.tls) return QStringLiteral("--mqtt-ca needs an mqtts:// broker URL");
        const QFileInfo ca(parser.value(options.ca));
        if (!ca.isFile() || !ca.isReadable())
            return QStringLiteral("--mqtt-ca: cannot read \"%1\"").arg(parser.value(options.ca));
        broker.caFile = ca.absoluteFilePath();
    }

    if (password && !password->isEmpty()) {
        if (broker.user.isEmpty())
            return QStringLiteral("%1 is set but the broker URL names no user (mqtt://user@host)")
                .arg(mqtt::PasswordVariable);
        broker.password = *password;
    }
    return std::nullopt;
}

std::optional<QDate> isoDate(const QString& text) {
    const QDate date = QDate::fromString(text, Qt::ISODate);
    return date.isValid() ? std::optional(date) : std::nullopt;
}

ParsedCommandLine historyLine(const QCommandLineParser& parser, const HistoryOptions& options,
                              const QStringList& positional) {
    CommandLine line;
    line.mode = parser.isSet(options.exportPng) ? Mode::ExportPng : Mode::History;
    if (positional.size() > 1)
        return failure(
            QStringLiteral("give at most one log file, not \"%1\"").arg(positional.join(u' ')));
    if (!positional.isEmpty()) line.historyPath = positional.front();
    if (line.mode == Mode::History) {
        for (const QCommandLineOption* o : {&options.from, &options.to})
            if (parser.isSet(*o))
                return failure(
                    QStringLiteral("--%1 goes with --export-png").arg(o->names().front()));
        return ParsedCommandLine{line, QString(), 0};
    }
    if (!line.historyPath) return failure(QStringLiteral("--export-png needs --history FILE"));
    line.pngPath = parser.value(options.exportPng);
    for (auto [option, date] : {std::pair{&options.from, &line.from}, {&options.to, &line.to}}) {
        if (!parser.isSet(*option)) continue;
        *date = isoDate(parser.value(*option));
        if (!*date)
            return failure(QStringLiteral("--%1 takes a date as YYYY-MM-DD, not \"%2\"")
                               .arg(option->names().front(), parser.value(*option)));
    }
    if (line.from && line.to && *line.to < *line.from)
        return failure(QStringLiteral("--to comes before --from"));
    return ParsedCommandLine{line, QString(), 0};
}

}  // namespace

ParsedCommandLine parseCommandLine(const QStringList& arguments,
                                   const std::optional<QString>& passwordFromEnvironment,
                                   bool mqttBuiltIn) {
    QCommandLineParser parser;
    // "-bogus" is then named whole in a refusal, not as five unknown letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        QStringLiteral("Desktop companion of the Vellicor pH controller."));
    const QCommandLineOption help = parser.addHelpOption();
    parser.addPositionalArgument(
        QStringLiteral("port"),
        QStringLiteral("Serial port to connect to at start, for example /dev/rfcomm0 or COM3."),
        QStringLiteral("[PORT]"));
    const WatchOptions watch;
    const HistoryOptions history;
    const MqttOptions mqttOptions(mqttBuiltIn ? QString()
                                              : QStringLiteral(" (not built into this program)"));
    parser.addOptions({watch.log, watch.interval, watch.headless, mqttOptions.url, mqttOptions.id,
                       mqttOptions.ca, history.history, history.exportPng, history.from,
                       history.to});
    const AlarmOptions alarmOptions;
    parser.addOptions(alarmOptions.all());

    if (!parser.parse(withoutQtOptions(arguments))) return failure(parser.errorText());
    if (parser.isSet(help)) {
        // Read before any application exists, the parser cannot know the program's name.
        QString text = parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), QFileInfo(arguments.value(0)).fileName());
        return ParsedCommandLine{std::nullopt, text, 0};
    }

    if (auto missing =
            missingValue(parser,
                         QList<const QCommandLineOption*>{
                             &watch.log, &watch.interval, &mqttOptions.url, &mqttOptions.id,
                             &mqttOptions.ca, &history.exportPng, &history.from, &history.to} +
                             alarmOptions.each()))
        return failure(*missing);

    const QStringList positional = parser.positionalArguments();
    const bool wantsMqtt = parser.isSet(mqttOptions.url);
    for (const QCommandLineOption* companion : {&mqttOptions.id, &mqttOptions.ca}) {
        if (parser.isSet(*companion) && !wantsMqtt)
            return failure(QStringLiteral("--%1 goes with --mqtt").arg(companion->names().front()));
    }

    // The same thresholds mark a log's past alarms as the running program raises them.
    AlarmLine alarmLine;
    if (auto error = readAlarmOptions(parser, alarmOptions, QLocale(), alarmLine))
        return failure(*error);

    if (parser.isSet(history.history)) {
        for (const QCommandLineOption* o : {&watch.log, &watch.interval, &watch.headless,
                                            &mqttOptions.url, &alarmOptions.command}) {
            if (parser.isSet(*o))
                return failure(QStringLiteral("--history shows a log; it takes no --%1")
                                   .arg(o->names().front()));
        }
        ParsedCommandLine parsed = historyLine(parser, history, positional);
        if (parsed.run) parsed.run->alarms = alarmLine;
        return parsed;
    }
    for (const QCommandLineOption* o : {&history.exportPng, &history.from, &history.to}) {
        if (parser.isSet(*o))
            return failure(QStringLiteral("--%1 goes with --history").arg(o->names().front()));
    }

    CommandLine line;
    line.alarms = alarmLine;
    if (positional.size() > 1)
        return failure(
            QStringLiteral("give at most one serial port, not \"%1\"").arg(positional.join(u' ')));
    if (!positional.isEmpty()) line.portName = positional.front();

    if (parser.isSet(watch.headless)) {
        if (!line.portName)
            return failure(QStringLiteral("--headless needs the serial port to watch"));
        line.mode = Mode::Headless;
    }
    if (parser.isSet(watch.log)) line.logPath = parser.value(watch.log);
    if (parser.isSet(watch.interval)) {
        // Whatever "Interval" itself would take; the C locale keeps a service's command line
        // meaning the same on every machine.
        line.interval = device::parseUpdateRate(parser.value(watch.interval), QLocale::c());
        if (!line.interval)
            return failure(QStringLiteral("--interval takes a whole number from 1 to %1, not "
                                          "\"%2\"")
                               .arg(device::kMaxUpdateRate)
                               .arg(parser.value(watch.interval)));
    }

    if (!wantsMqtt) return ParsedCommandLine{line, QString(), 0};
    if (!mqttBuiltIn) return failure(QStringLiteral("--mqtt: MQTT is not built into this program"));
    mqtt::BrokerSettings broker;
    if (auto error =
            parseBroker(parser, mqttOptions, line.portName, passwordFromEnvironment, broker))
        return failure(*error);
    line.broker = broker;
    return ParsedCommandLine{line, QString(), 0};
}

}  // namespace app
