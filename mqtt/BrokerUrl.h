#pragma once

#include <QString>
#include <optional>

// Where the program publishes to, as the command line names it.
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

inline const QString PasswordVariable = QStringLiteral("VELLICOR_MQTT_PASSWORD");

// mqtt://[user@]host[:port] or mqtts://...; on failure `error` says why.
std::optional<BrokerSettings> parseBrokerUrl(const QString& url, QString* error);

// The port's name reduced to a topic level: the last path element, lower case, every run of
// characters other than letters, digits and '_' made one '_' ("/dev/rfcomm0" -> "rfcomm0",
// "COM3" -> "com3").
QString idFromPortName(const QString& portName);
// The id when none is given: from the port's name, or "vellicor" without a port.
QString defaultId(const std::optional<QString>& portName);
// 1 to 64 letters, digits, '_' and '-'.
bool isTopicId(const QString& id);

}  // namespace mqtt
