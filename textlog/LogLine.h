#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

#include "device/FrameSink.h"

namespace textlog {

// Width of one print zone in a log file line.
constexpr int PrintZoneWidth = 14;

// Lays the items out in print zones: each item starts at the next column that is a multiple of
// 14 (from column 0), so an item of 14 or more characters is still followed by a blank. The
// line ends with CR LF and carries no trailing blanks.
QString printZoneLine(const QStringList& items);

// The first line of every log file; its columns stand above the data lines' items.
QString fileHeaderLine();

// A logged frame's date and time in the user's regional formats, worked out once for both of
// its lines: asking the system for its formats is most of the cost of a line.
struct LineStamp {
    QString date;
    QString time;
};
LineStamp lineStamp(const device::LogRecord& record, const QLocale& locale);

// One logged frame as the log file holds it.
QString fileDataLine(const device::LogRecord& record, const LineStamp& stamp);
QString fileDataLine(const device::LogRecord& record, const QLocale& locale);

// One logged frame as the text log window shows it: date, time, measured pH, target pH and
// valve, ending with CR LF.
QString textLogLine(const device::LogRecord& record, const LineStamp& stamp);
QString textLogLine(const device::LogRecord& record, const QLocale& locale);

}  // namespace textlog
