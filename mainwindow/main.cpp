#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "Form1.h"
#include "device/MeasurementHistory.h"
#include "mqtt/CommandLine.h"
#include "textlog/LogSession.h"
#ifdef VELLICOR_MQTT
#include "mqtt/Publisher.h"
constexpr bool MqttBuiltIn = true;
#else
constexpr bool MqttBuiltIn = false;
#endif

// vellicor [PORT] [--mqtt URL [--mqtt-id ID] [--mqtt-ca FILE]]: the port is kept open from as
// soon as the window is up (one that is not there yet is tried again by itself); see --help.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::optional<QString> password =
        qEnvironmentVariableIsSet(qPrintable(mqtt::PasswordVariable))
            ? std::optional(qEnvironmentVariable(qPrintable(mqtt::PasswordVariable)))
            : std::nullopt;
    const mqtt::ParsedCommandLine parsed =
        mqtt::parseCommandLine(app.arguments(), password, MqttBuiltIn);
    if (!parsed.run) {
        std::fputs(qPrintable(parsed.message + u'\n'), parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }

    device::MeasurementHistory history;
    textlog::QtSaveDialog dialog;
    mainwindow::Form1 form1(history, dialog);
    QObject::connect(&form1, &mainwindow::Form1::exited, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
#ifdef VELLICOR_MQTT
    std::unique_ptr<mqtt::Publisher> publisher;
    if (parsed.run->broker) {
        publisher = std::make_unique<mqtt::Publisher>(*parsed.run->broker,
                                                      QStringLiteral(VELLICOR_VERSION));
        QObject::connect(&form1, &mainwindow::Form1::frameDecoded, publisher.get(),
                         &mqtt::Publisher::frameAccepted);
        QObject::connect(&form1, &mainwindow::Form1::linkStateNamed, publisher.get(),
                         &mqtt::Publisher::setLinkState);
        QObject::connect(publisher.get(), &mqtt::Publisher::refused, &form1,
                         [&form1](const QString& reason) {
                             form1.report(mainwindow::MessageKind::MqttRefused, reason);
                         });
    }
#endif
    form1.show();
    if (const auto& port = parsed.run->portName) {
        QTimer::singleShot(0, &form1, [&form1, portName = *port] { form1.watchPort(portName); });
    }
    return app.exec();
}
