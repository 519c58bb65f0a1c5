#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

#include "AlarmEngine.h"

// The alarms' names on the command line and in topics, their values as the user types them,
// and what is said when one is raised or cleared.
namespace alarms {

// "low", "high", "valve", "silent", "probe": options, topics and the command's environment.
QString alarmKey(Alarm a);
std::optional<Alarm> alarmFromKey(const QString& key);
// "pH low", "Regulator silent" ...: what a person reads.
QString alarmTitle(Alarm a);

// A duration as 90s, 5m or 2h: a whole number of seconds, minutes or hours, at least a second
// and at most a week.
std::optional<qint64> parseDurationMs(const QString& text);

// A pH as the windows show it, with '.' or the locale's decimal separator and at most two
// decimals, from 0 to 14; in hundredths.
std::optional<int> parsePh(const QString& text, const QLocale& locale);

// Everything known when an alarm is raised or cleared.
struct AlarmNotice {
    Alarm alarm = Alarm::Low;
    bool raised = true;
    QDateTime since;  // the condition's start (raised) or end (cleared)
    // The latest frame's values, if a frame has come.
    std::optional<int> ph;
    std::optional<int> target;
    QString port;
};

// One line: "Alarm raised: pH low since 18:02:11 (pH 6.52, target pH 7)."
QString noticeLine(const AlarmNotice& notice, const QLocale& locale);

// Dissolved CO2 in mg/l from the carbonate hardness (degrees) and the pH in hundredths:
// 3 x KH x 10^(7 - pH).
double co2MgPerLitre(double kh, int phHundredths);
// As the windows show it: one decimal, in the locale's digits.
QString formatCo2(double mgPerLitre, const QLocale& locale);

}  // namespace alarms
