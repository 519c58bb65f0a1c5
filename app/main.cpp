#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "CommandLine.h"
#include "HeadlessStation.h"
#include "ParentConsole.h"
#include "StopSignals.h"
#include "device/MeasurementHistory.h"
#include "history/Export.h"
#include "history/HistoryWindow.h"
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

// The publisher hears every frame and the link's state from whichever side watches the port.
template <typename Watcher>
std::unique_ptr<QObject> publishFrom(Watcher& watcher, const app::CommandLine& line,
                                     std::function<void(const QString&)> refused) {
#ifdef VELLICOR_MQTT
    if (!line.broker) return nullptr;
    auto publisher =
        std::make_unique<mqtt::Publisher>(*line.broker, QStringLiteral(VELLICOR_VERSION));
    QObject::connect(&watcher, &Watcher::frameDecoded, publisher.get(),
                     &mqtt::Publisher::frameAccepted);
    QObject::connect(&watcher, &Watcher::linkStateNamed, publisher.get(),
                     &mqtt::Publisher::setLinkState);
    QObject::connect(publisher.get(), &mqtt::Publisher::refused, &watcher, std::move(refused));
    return publisher;
#else
    (void)watcher, (void)line, (void)refused;
    return nullptr;
#endif
}

int runHeadless(const app::CommandLine& line, std::unique_ptr<textlog::LogFile> log) {
    device::MeasurementHistory history;
    app::HeadlessStation station(history);
    app::StopSignals stopSignals;
    QObject::connect(&stopSignals, &app::StopSignals::stopRequested, &station,
                     &app::HeadlessStation::exit);
    QObject::connect(&station, &app::HeadlessStation::exited, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    const auto publisher = publishFrom(station, line, [](const QString& reason) {
        say(QStringLiteral("vellicor: the MQTT broker: ") + reason, 1);
    });
    if (line.interval) station.setUpdateRate(*line.interval);
    if (log) station.logInto(std::move(log));
    station.watchPort(*line.portName);
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
    const auto publisher = publishFrom(form1, line, [&form1](const QString& reason) {
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
    history::HistoryWindow window(*path);
    window.setAttribute(Qt::WA_QuitOnClose);
    window.show();
    return QApplication::exec();
}

// Drawn without a display, for a web page or a daily e-mail; fonts still need a GUI
// application, which the offscreen platform gives without any window system.
int exportHistory(int argc, char** argv, const app::CommandLine& line) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
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
    if (!line.logPath || log) return std::nullopt;
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
    // Read before any application exists: the help, a refusal and a bad log file must not
    // need a display, and a run without one must never reach for it.
    const QStringList raw = rawArguments(argc, argv);
    app::ParsedCommandLine parsed = parse(raw);
    const bool noDisplay = app::wantsNoDisplay(raw);
    // Qt's own options (-style, -platform ...) are known only to a QApplication, which takes
    // them out of the arguments; a refusal stands only once they are out.
    if (!parsed.run && (parsed.exitCode == 0 || noDisplay))
        return say(parsed.message, parsed.exitCode);

    if (parsed.run && parsed.run->mode == app::Mode::ExportPng)
        return exportHistory(argc, argv, *parsed.run);

    std::unique_ptr<textlog::LogFile> log;
    if (parsed.run) {
        if (auto error = openLog(*parsed.run, log)) return say(*error, 1);
    }

    if (noDisplay) {
        QCoreApplication core(argc, argv);
        return runHeadless(*parsed.run, std::move(log));
    }
    QApplication gui(argc, argv);
    parsed = parse(QCoreApplication::arguments());
    if (!parsed.run) return say(parsed.message, parsed.exitCode);
    if (parsed.run->mode == app::Mode::History) return runHistory(*parsed.run);
    if (auto error = openLog(*parsed.run, log)) return say(*error, 1);
    return runWindow(*parsed.run, std::move(log));
}
