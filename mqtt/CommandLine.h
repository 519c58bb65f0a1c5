#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The program's command line: an optional port to connect to at start and, opt-in, an MQTT
// broker to publish every frame to.
namespace mqtt {

// Where and as whom to publish. The password never comes from the command line.
struct BrokerSettings {
    bool tls = false;
    QString host;
    int port = 0;
    QString user;      // empty: anonymous
    QString password;  // from VELLICOR_MQTT_PASSWORD; empty when unset
    QString caFile;    // empty: the broker's certificate is checked against the system's store
    QString id;        // the topics' level under vellicor/
};

struct CommandLine {
    std::optional<QString> portName;
    std::optional<BrokerSettings> broker;
};

// Either a command line to run with, or a text to print and an exit status: the help
// (standard output, status 0) or a one-line reason (standard error, non-zero status).
struct ParsedCommandLine {
    std::optional<CommandLine> run;
    QString message;
    int exitCode = 0;
};

inline const QString PasswordVariable = QStringLiteral("VELLICOR_MQTT_PASSWORD");

// `arguments` starts with the program's name, as QCoreApplication::arguments() gives it.
// Without MQTT built in, --mqtt and its companions are refused with a reason saying so.
ParsedCommandLine parseCommandLine(const QStringList& arguments,
                                   const std::optional<QString>& passwordFromEnvironment,
                                   bool mqttBuiltIn);

// mqtt://[user@]host[:port] or mqtts://...; on failure `error` says why.
std::optional<BrokerSettings> parseBrokerUrl(const QString& url, QString* error);

// The port's name reduced to a topic level: the last path element, lower case, every run of
// characters other than letters, digits and '_' made one '_' ("/dev/rfcomm0" -> "rfcomm0",
// "COM3" -> "com3").
QString idFromPortName(const QString& portName);

}  // namespace mqtt
