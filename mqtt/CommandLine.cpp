#include "CommandLine.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace mqtt {

namespace {
constexpr int PlainPort = 1883;
constexpr int TlsPort = 8883;
// Home Assistant takes only these characters in a discovery topic's levels, and '/', '+' and
// '#' would change what the topics mean.
const QRegularExpression IdPattern(QStringLiteral("^[A-Za-z0-9_-]{1,64}$"));
// Started without a port, the program cannot know which regulator it will show.
const QString FallbackId = QStringLiteral("vellicor");

ParsedCommandLine failure(const QString& reason) {
    return ParsedCommandLine{std::nullopt, QStringLiteral("vellicor: ") + reason, 2};
}
}  // namespace

QString idFromPortName(const QString& portName) {
    const qsizetype cut = std::max(portName.lastIndexOf(u'/'), portName.lastIndexOf(u'\\'));
    const QString base = portName.mid(cut + 1).toLower();
    QString id;
    bool gap = false;
    for (const QChar c : base) {
        const bool kept = (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_';
        if (kept) {
            if (gap && !id.isEmpty()) id += u'_';
            id += c;
        }
        gap = !kept;
    }
    return id;
}

std::optional<BrokerSettings> parseBrokerUrl(const QString& text, QString* error) {
    const auto fail = [error](const QString& reason) {
        if (error) *error = reason;
        return std::nullopt;
    };
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) return fail(QStringLiteral("not a broker URL: %1").arg(url.errorString()));
    const QString scheme = url.scheme().toLower();
    if (scheme != u"mqtt" && scheme != u"mqtts")
        return fail(
            QStringLiteral("the broker URL must start with mqtt:// or mqtts://: \"%1\"").arg(text));
    if (url.host().isEmpty())
        return fail(QStringLiteral("the broker URL names no host: \"%1\"").arg(text));
    if (!url.password().isEmpty() || url.userInfo().contains(u':'))
        return fail(QStringLiteral("put no password in the broker URL; set %1 instead")
                        .arg(PasswordVariable));
    if (url.authority().contains(u'@') && url.userName().isEmpty())
        return fail(QStringLiteral("the broker URL names an empty user: \"%1\"").arg(text));
    if (!url.path().isEmpty() && url.path() != u"/")
        return fail(QStringLiteral("the broker URL may hold no path: \"%1\"").arg(text));
    if (url.hasQuery() || url.hasFragment())
        return fail(
            QStringLiteral("the broker URL may hold no query or fragment: \"%1\"").arg(text));
    if (url.port() == 0) return fail(QStringLiteral("port 0 is no broker port: \"%1\"").arg(text));

    BrokerSettings s;
    s.tls = scheme == u"mqtts";
    s.host = url.host();
    s.port = url.port(s.tls ? TlsPort : PlainPort);
    s.user = url.userName();
    return s;
}

ParsedCommandLine parseCommandLine(const QStringList& arguments,
                                   const std::optional<QString>& passwordFromEnvironment,
                                   bool mqttBuiltIn) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Desktop companion of the Vellicor pH controller."));
    const QCommandLineOption help = parser.addHelpOption();
    parser.addPositionalArgument(
        QStringLiteral("port"),
        QStringLiteral("Serial port to connect to at start, for example /dev/rfcomm0 or COM3."),
        QStringLiteral("[PORT]"));
    const QString notBuiltIn =
        mqttBuiltIn ? QString() : QStringLiteral(" (not built into this program)");
    const QCommandLineOption mqttOption(
        QStringLiteral("mqtt"),
        QStringLiteral("Publish every frame to an MQTT broker: mqtt://[user@]host[:port], or "
                       "mqtts://... for TLS. The password comes from %1.%2")
            .arg(PasswordVariable, notBuiltIn),
        QStringLiteral("URL"));
    const QCommandLineOption idOption(
        QStringLiteral("mqtt-id"),
        QStringLiteral("The regulator's name in the topics vellicor/ID/... (letters, digits, "
                       "'_' and '-'); by default the port's name, for example rfcomm0.%1")
            .arg(notBuiltIn),
        QStringLiteral("ID"));
    const QCommandLineOption caOption(
        QStringLiteral("mqtt-ca"),
        QStringLiteral("Check an mqtts:// broker's certificate against this CA file instead of "
                       "the system's store.%1")
            .arg(notBuiltIn),
        QStringLiteral("FILE"));
    parser.addOptions({mqttOption, idOption, caOption});

    if (!parser.parse(arguments)) return failure(parser.errorText());
    if (parser.isSet(help)) return ParsedCommandLine{std::nullopt, parser.helpText(), 0};

    CommandLine line;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return failure(
            QStringLiteral("give at most one serial port, not \"%1\"").arg(positional.join(u' ')));
    if (!positional.isEmpty()) line.portName = positional.front();

    const bool wantsMqtt = parser.isSet(mqttOption);
    for (const QCommandLineOption* companion : {&idOption, &caOption}) {
        if (parser.isSet(*companion) && !wantsMqtt)
            return failure(QStringLiteral("--%1 goes with --mqtt").arg(companion->names().front()));
    }
    if (!wantsMqtt) return ParsedCommandLine{line, QString(), 0};
    if (!mqttBuiltIn) return failure(QStringLiteral("--mqtt: MQTT is not built into this program"));

    QString error;
    auto broker = parseBrokerUrl(parser.value(mqttOption), &error);
    if (!broker) return failure(error);

    if (parser.isSet(idOption)) {
        broker->id = parser.value(idOption);
        if (!IdPattern.match(broker->id).hasMatch())
            return failure(QStringLiteral("--mqtt-id takes 1 to 64 letters, digits, '_' and "
                                          "'-', not \"%1\"")
                               .arg(broker->id));
    } else {
        broker->id = line.portName ? idFromPortName(*line.portName) : QString();
        if (broker->id.isEmpty()) broker->id = FallbackId;
        broker->id.truncate(64);
    }

    if (parser.isSet(caOption)) {
        if (!broker->tls) return failure(QStringLiteral("--mqtt-ca needs an mqtts:// broker URL"));
        const QFileInfo ca(parser.value(caOption));
        if (!ca.isFile() || !ca.isReadable())
            return failure(
                QStringLiteral("--mqtt-ca: cannot read \"%1\"").arg(parser.value(caOption)));
        broker->caFile = ca.absoluteFilePath();
    }

    if (passwordFromEnvironment && !passwordFromEnvironment->isEmpty()) {
        if (broker->user.isEmpty())
            return failure(QStringLiteral("%1 is set but the broker URL names no user "
                                          "(mqtt://user@host)")
                               .arg(PasswordVariable));
        broker->password = *passwordFromEnvironment;
    }
    line.broker = broker;
    return ParsedCommandLine{line, QString(), 0};
}

}  // namespace mqtt
