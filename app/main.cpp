#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QSystemTrayIcon>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "CommandLine.h"
#include "HeadlessFace.h"
#include "ParentConsole.h"
#include "StopSignals.h"
#include "alarms/AlarmCommand.h"
#include "alarms/AlarmWatch.h"
#include "device/MeasurementHistory.h"
#include "history/Export.h"
#include "history/HistoryWindow.h"
#include "mainwindow/AlarmTray.h"
#include "mainwindow/Form1.h"
#include "textlog/LogFile.h"
#include "textlog/LogSession.h"
#ifdef VELLICOR_MQTT
#include "mqtt/Publisher.h"
constexpr bool MqttBuiltIn = true;
#else
constexpr bool MqttBuiltIn = false;
#endif

namespace {

int say(const QString& text, int exitCode) {
    std::fputs(qPrintable(text + u'\n'), exitCode == 0 ? stdout : stderr);
    return exitCode;
}

app::ParsedCommandLine parse(const QStringList& arguments) {
    const std::optional<QString> password =
        qEnvironmentVariableIsSet(qPrintable(mqtt::PasswordVariable))
            ? std::optional(qEnvironmentVariable(qPrintable(mqtt::PasswordVariable)))
            : std::nullopt;
    return app::parseCommandLine(arguments, password, MqttBuiltIn);
}

QStringList rawArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// The publisher hears every frame, the link's state and the alarms from the station, whichever
// face it has.
std::unique_ptr<QObject> publishFrom(station::Station& station, const app::CommandLine& line,
                                     alarms::AlarmWatch& alarmWatch,
                                     std::function<void(const QString&)> refused) {
#ifdef VELLICOR_MQTT
    if (!line.broker) return nullptr;
    mqtt::Extras extras;
    for (const alarms::Alarm a : alarms::AllAlarms)
        if (line.alarms.settings.isEnabled(a)) extras.alarms.push_back(a);
    extras.kh = line.alarms.kh;
    auto publisher =
        std::make_unique<mqtt::Publisher>(*line.broker, QStringLiteral(VELLICOR_VERSION), extras);
    QObject::connect(&station, &station::Station::frameDecoded, publisher.get(),
                     &mqtt::Publisher::frameAccepted);
    QObject::connect(&station, &station::Station::linkStateNamed, publisher.get(),
                     &mqtt::Publisher::setLinkState);
    QObject::connect(&alarmWatch, &alarms::AlarmWatch::notice, publisher.get(),
                     [p = publisher.get()](const alarms::AlarmNotice& n) {
                         p->setAlarm(alarms::alarmKey(n.alarm), n.raised);
                     });
    QObject::connect(publisher.get(), &mqtt::Publisher::refused, &station, std::move(refused));
    return publisher;
#else
    (void)station, (void)line, (void)alarmWatch, (void)refused;
    return nullptr;
#endif
}

// The alarms hear the same frames and link states as the publisher.
void watchAlarms(station::Station& station, alarms::AlarmWatch& alarmWatch) {
    QObject::connect(&station, &station::Station::frameDecoded, &alarmWatch,
                     &alarms::AlarmWatch::frameAccepted);
    QObject::connect(&station, &station::Station::linkStateNamed, &alarmWatch,
                     &alarms::AlarmWatch::setLinkState);
}

std::unique_ptr<alarms::AlarmCommand> alarmCommandFor(const app::CommandLine& line,
                                                      std::function<void(const QString&)> failed) {
    if (!line.alarms.command) return nullptr;
    auto command = std::make_unique<alarms::AlarmCommand>(*line.alarms.command);
    QObject::connect(command.get(), &alarms::AlarmCommand::failed, command.get(),
                     std::move(failed));
    return command;
}

int runHeadless(const app::CommandLine& line, std::unique_ptr<textlog::LogFile> log) {
    device::MeasurementHistory history;
    app::HeadlessFace face(history);
    app::StopSignals stopSignals;
    QObject::connect(&stopSignals, &app::StopSignals::stopRequested, &face,
                     &app::HeadlessFace::exit);
    QObject::connect(&face, &app::HeadlessFace::exited, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    alarms::AlarmWatch alarmWatch(line.alarms.settings);
    alarmWatch.setPort(*line.portName);
    watchAlarms(face.station, alarmWatch);
    const auto command = alarmCommandFor(
        line, [](const QString& reason) { say(QStringLiteral("vellicor: ") + reason, 1); });
    // One line for each raise and each clear: a service's journal keeps them.
    QObject::connect(&alarmWatch, &alarms::AlarmWatch::notice, &alarmWatch,
                     [&command](const alarms::AlarmNotice& n) {
                         say(QStringLiteral("vellicor: ") + alarms::noticeLine(n, QLocale()), 1);
                         if (command) command->run(n);
                     });
    const auto publisher = publishFrom(face.station, line, alarmWatch, [](const QString& reason) {
        say(QStringLiteral("vellicor: the MQTT broker: ") + reason, 1);
    });
    if (line.interval) face.setUpdateRate(*line.interval);
    if (log) face.station.logInto(std::move(log));
    face.station.watchPort(*line.portName);
    return QCoreApplication::exec();
}

int runWindow(const app::CommandLine& line, std::unique_ptr<textlog::LogFile> log) {
    device::MeasurementHistory history;
    textlog::QtSaveDialog dialog;
    mainwindow::Form1 form1(history, dialog);
    app::StopSignals stopSignals;
    QObject::connect(&stopSignals, &app::StopSignals::stopRequested, &form1,
                     &mainwindow::Form1::Command7_Click);
    QObject::connect(&form1, &mainwindow::Form1::exited, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    form1.setHistoryAlarms({line.alarms.settings, line.alarms.kh});
    station::Station& station = form1.station();
    alarms::AlarmWatch alarmWatch(line.alarms.settings);
    // The port in an alarm's facts is the one being watched when it comes.
    QObject::connect(&station, &station::Station::linkStateNamed, &alarmWatch,
                     [&] { alarmWatch.setPort(station.MSComm1.CommPort()); });
    watchAlarms(station, alarmWatch);
    mainwindow::AlarmTray tray(
        line.alarms.kh,
        [&form1](const QString& text) { form1.report(mainwindow::MessageKind::AlarmRaised, text); },
        QSystemTrayIcon::isSystemTrayAvailable());
    QObject::connect(&station, &station::Station::frameDecoded, &tray,
                     &mainwindow::AlarmTray::frameAccepted);
    const auto command = alarmCommandFor(line, [&form1](const QString& reason) {
        form1.report(mainwindow::MessageKind::AlarmCommandFailed, reason);
    });
    QObject::connect(&alarmWatch, &alarms::AlarmWatch::notice, &tray,
                     [&](const alarms::AlarmNotice& n) {
                         tray.notice(n, alarmWatch.anyRaised());
                         if (command) command->run(n);
                     });
    const auto publisher = publishFrom(station, line, alarmWatch, [&form1](const QString& reason) {
        form1.report(mainwindow::MessageKind::MqttRefused, reason);
    });
    if (line.interval) form1.Text1->setText(QString::number(*line.interval));
    form1.show();
    if (log) form1.logInto(std::move(log));
    if (const auto& port = line.portName) {
        QTimer::singleShot(0, &form1, [&form1, portName = *port] { form1.watchPort(portName); });
    }
    return QApplication::exec();
}

// The history window alone: no port, no logging.
int runHistory(const app::CommandLine& line) {
    const std::optional<QString> path =
        line.historyPath ? line.historyPath : history::askLogFile(nullptr);
    if (!path) return 0;
    history::HistoryWindow window(*path, nullptr,
                                  history::AlarmView{line.alarms.settings, line.alarms.kh});
    window.setAttribute(Qt::WA_QuitOnClose);
    window.show();
    return QApplication::exec();
}

// Drawn without a display, for a web page or a daily e-mail; fonts still need a GUI
// application, which the offscreen platform gives without any window system. Windows' own
// platform needs no display, and offscreen there finds none of the system's fonts: its text
// came out as empty boxes.
int exportHistory(int argc, char** argv, const app::CommandLine& line) {
#ifndef Q_OS_WIN
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    QGuiApplication gui(argc, argv);
    const std::optional<QString> error =
        history::exportPng({*line.historyPath, line.pngPath, line.from, line.to});
    if (error) return say(QStringLiteral("vellicor: ") + *error, 1);
    return 0;
}

// Opened before any window, so that a log that cannot be written stops the program at once,
// with the reason, rather than a service running for weeks without logging.
std::optional<QString> openLog(const app::CommandLine& line,
                               std::unique_ptr<textlog::LogFile>& log) {
    if (!line.logPath) return std::nullopt;
    log = std::make_unique<textlog::LogFile>();
    if (log->open(*line.logPath, textlog::LogFile::Mode::Append)) return std::nullopt;
    return QStringLiteral("vellicor: cannot open the log file \"%1\": %2")
        .arg(*line.logPath, log->errorString());
}

}  // namespace

// vellicor [PORT] [--log FILE] [--interval N] [--headless] [--mqtt URL ...]: the port is kept
// open from start-up (one that is not there yet is tried again by itself);
// vellicor --history [FILE] [--export-png PNG [--from DATE] [--to DATE]]: a log looked back on;
// see --help.
int main(int argc, char** argv) {
    app::useParentConsole();
    // Parsed once, before any application exists: the help, a refusal and a bad log file must not
    // need a display, and a run without one must never reach for it.
    const app::ParsedCommandLine parsed = parse(rawArguments(argc, argv));
    if (!parsed.run) return say(parsed.message, parsed.exitCode);
    const app::CommandLine& line = *parsed.run;

    if (line.mode == app::Mode::ExportPng) return exportHistory(argc, argv, line);

    std::unique_ptr<textlog::LogFile> log;
    if (auto error = openLog(line, log)) return say(*error, 1);

    if (!app::needsDisplay(line.mode)) {
        QCoreApplication core(argc, argv);
        return runHeadless(line, std::move(log));
    }
    // Takes Qt's own options (-style, -platform ...), which the parser let through.
    QApplication gui(argc, argv);
    if (line.mode == app::Mode::History) return runHistory(line);
    return runWindow(line, std::move(log));
}
