#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QLocale>
#include <QString>
#include <optional>

#include "alarms/AlarmEngine.h"

// The alarms' part of the command line: thresholds, durations, the command run for them and
// the water's KH. Read by the program's one parser, beside the other options.
namespace app {

struct AlarmLine {
    alarms::AlarmSettings settings;
    // Run for every raise and clear, without a shell.
    std::optional<QString> command;
    // The water's carbonate hardness in degrees: the CO2 is shown and published.
    std::optional<double> kh;
};

struct AlarmOptions {
    AlarmOptions();
    QList<QCommandLineOption> all() const;
    // The same, each where it lives: every one of them takes a value.
    QList<const QCommandLineOption*> each() const;

    QCommandLineOption low, lowFor, high, highFor, valveFor, silentFor, probeFor, clearAfter, off,
        command, kh;
};

// Fills `line` from what the parser found; a reason when a value is not what it takes. pH
// values are read as the windows show them in `locale`, with '.' accepted too.
std::optional<QString> readAlarmOptions(const QCommandLineParser& parser,
                                        const AlarmOptions& options, const QLocale& locale,
                                        AlarmLine& line);

}  // namespace app
