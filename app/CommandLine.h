#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

#include "AlarmOptions.h"
#include "mqtt/BrokerUrl.h"

// The program's command line, read in one place for the whole program.
namespace app {

// What the program is started to do.
enum class Mode {
    Window,    // the main window, as designed
    Headless,  // the same work with no display at all: a service, a Pi without a screen
    History,   // the history window over a log file, no port and no logging
    ExportPng  // the history of a log file drawn into a PNG, then exit
};

// Whether a mode shows a window, decided from the parsed line alone: only then may a window system
// be touched at all.
constexpr bool needsDisplay(Mode mode) {
    return mode == Mode::Window || mode == Mode::History;
}

// The exit status of a command line refused, distinct from a run that failed (1), so that a service
// manager can tell a mistyped line, which no restart mends.
constexpr int BadCommandLineStatus = 2;

struct CommandLine {
    Mode mode = Mode::Window;
    std::optional<QString> portName;
    std::optional<mqtt::BrokerSettings> broker;
    // Logging from start-up into this file, appended to, never emptied.
    std::optional<QString> logPath;
    // The update rate, as if typed into "Interval".
    std::optional<int> interval;
    // The log file the history shows; none: a dialog asks.
    std::optional<QString> historyPath;
    QString pngPath;
    std::optional<QDate> from, to;
    // The alarms' thresholds and durations, their command and the water's KH.
    AlarmLine alarms;
};

// Either a command line to run with, or a text to print and an exit status: the help
// (standard output, status 0) or a one-line reason (standard error, non-zero status).
struct ParsedCommandLine {
    std::optional<CommandLine> run;
    QString message;
    int exitCode = 0;
};

// `arguments` starts with the program's name, as argv does; read before any application exists.
// Qt's own single-dash options (-style, -platform ...) are let through for the application to take.
// Without MQTT built in, --mqtt and its companions are refused with a reason saying so.
ParsedCommandLine parseCommandLine(const QStringList& arguments,
                                   const std::optional<QString>& passwordFromEnvironment,
                                   bool mqttBuiltIn);

}  // namespace app
