#pragma once

#include <QDataStream>
#include <QtGlobal>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Reads the log files this program writes, in whatever regional formats they were written.
// The file does not say which formats those were, so they are worked out from the file's own
// lines once, and then every line is taken apart by hand: a year's log has 31.5 million.
namespace history {

enum class DateOrder : quint8 { DayMonthYear, MonthDayYear, YearMonthDay };

struct LineFormat {
    DateOrder order = DateOrder::DayMonthYear;
    bool twelveHour = false;
    // The day-half markers as the file spells them (UTF-8), where the clock is a 12-hour one.
    std::vector<std::string> amMarkers;
    std::vector<std::string> pmMarkers;
    // Where the date spells its month ("9 Dec 2026", as the C locale and many others write it):
    // the names it may use (UTF-8) and their months. Empty where the date is all numbers.
    std::vector<std::pair<std::string, int>> monthNames;

    bool operator==(const LineFormat&) const = default;
};

// The whole format, kept with a log's summary: every field goes through this one pair, so that
// a format read back reads the file as the one detected did.
QDataStream& operator<<(QDataStream& out, const LineFormat& format);
QDataStream& operator>>(QDataStream& in, LineFormat& format);

// One data line and the values the history shows. Its time as parsed is the wall-clock time it
// shows, as seconds since 1970 with no time zone (the file has none); a summary's lines carry
// their real moment instead (LocalClock).
struct LogLine {
    qint64 time = 0;
    qint16 ph = 0;      // measured pH, hundredths
    qint16 target = 0;  // target pH, hundredths
    bool valveOpen = false;
};

enum class LineKind { Data, Header, Blank, Unreadable };

// The items of a line that do not depend on the regional formats, and the text of its date
// and time, which does.
struct LineItems {
    std::string_view dateTime;
    qint16 ph = 0;
    qint16 target = 0;
    bool valveOpen = false;
};

// A line without its line end. Data lines have eleven items, the last nine free of blanks.
LineKind splitLine(std::string_view line, LineItems& items);

// The numbers in the text of a date and time, in any script's decimal digits; up to max. A
// word among monthNames counts as its month's number, and namedAt says which number it was.
int numbersIn(std::string_view text, int* numbers, int max, const char** endOfThird = nullptr,
              const std::vector<std::pair<std::string, int>>* monthNames = nullptr,
              int* namedAt = nullptr);

// A data line's time in the given formats, if it is a real date and time.
std::optional<qint64> lineTime(const LineItems& items, const LineFormat& format);

// Both at once: nothing unless the line is a data line with a real date and time.
std::optional<LogLine> parseLine(std::string_view line, const LineFormat& format);

// The formats of the data lines among these, taken in file order; the file's modification
// day (days since 1970, or none) and the user's own date order settle what the lines leave
// open. Nothing if no line reads as a data line.
std::optional<LineFormat> detectFormat(const std::vector<std::string_view>& lines,
                                       std::optional<qint64> modifiedDay);

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
qint64 daysFromCivil(int year, int month, int day);

}  // namespace history
