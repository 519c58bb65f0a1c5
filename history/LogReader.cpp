#include "LogReader.h"

#include <QChar>
#include <QDate>
#include <QLocale>
#include <QString>
#include <QStringEncoder>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <tuple>
#include <utility>

namespace history {

namespace {

// Items of a log line start at multiples of this many characters.
constexpr std::size_t ZoneWidth = 14;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A UTF-8 sequence's code point and length; a stray byte stands for itself.
char32_t decode(const unsigned char* p, const unsigned char* end, int& length) {
    const unsigned char c = *p;
    int n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (end - p < n) n = 1;
    if (n == 1) {
        length = 1;
        return c;
    }
    char32_t cp = c & (0x3F >> (n - 1));
    for (int i = 1; i < n; ++i) cp = (cp << 6) | (p[i] & 0x3F);
    length = n;
    return cp;
}

// The decimal value of a digit in any script, or -1.
int digitAt(const unsigned char* p, const unsigned char* end, int& length) {
    if (*p < 0x80) {
        length = 1;
        return isDigit(static_cast<char>(*p)) ? *p - '0' : -1;
    }
    const char32_t cp = decode(p, end, length);
    return cp <= 0xFFFF ? QChar(static_cast<char16_t>(cp)).digitValue() : -1;
}

// "6.99", "6,99", "7", "6٫9": hundredths, whatever the one separator is.
bool parseHundredths(std::string_view t, qint16& value) {
    std::size_t i = 0;
    const bool negative = !t.empty() && t[0] == '-';
    if (negative) ++i;
    // Any 12 bytes make a frame, so a pH may have four whole digits (1677.72 at most); up to
    // five are taken, and more make the line no data line.
    int whole = 0, digits = 0;
    while (i < t.size() && isDigit(t[i]) && digits < 5)
        whole = whole * 10 + (t[i++] - '0'), ++digits;
    if (digits == 0) return false;
    int frac = 0;
    if (i < t.size()) {
        int length = 1;
        const auto* p = reinterpret_cast<const unsigned char*>(t.data()) + i;
        const auto* end = reinterpret_cast<const unsigned char*>(t.data()) + t.size();
        if (digitAt(p, end, length) >= 0) return false;
        i += static_cast<std::size_t>(length);
        int decimals = 0;
        while (i < t.size() && isDigit(t[i]) && decimals < 2)
            frac = frac * 10 + (t[i++] - '0'), ++decimals;
        if (decimals == 0 || i != t.size()) return false;
        if (decimals == 1) frac *= 10;
    }
    // Kept within what the summary holds: far above any scale shown.
    const int v = std::min(whole * 100 + frac, 32767);
    value = static_cast<qint16>(negative ? -v : v);
    return true;
}

bool isInteger(std::string_view t) {
    std::size_t i = t.size() > 1 && t[0] == '-' ? 1 : 0;
    if (t.size() - i > 6) return false;
    for (; i < t.size(); ++i)
        if (!isDigit(t[i])) return false;
    return !t.empty();
}

bool parseHex(std::string_view t, bool& nonZero) {
    if (t.empty() || t.size() > 2) return false;
    nonZero = false;
    for (char c : t) {
        const bool hex = isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        if (!hex) return false;
        nonZero = nonZero || c != '0';
    }
    return true;
}

int daysInMonth(int year, int month) {
    static constexpr std::array<int, 12> days{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Year, month and day from the three numbers of a date in the given order; 2-digit years are
// this century's, as the short formats that write them mean.
std::optional<std::array<int, 3>> civil(const int* n, DateOrder order) {
    int y, m, d;
    switch (order) {
        case DateOrder::DayMonthYear:
            d = n[0], m = n[1], y = n[2];
            break;
        case DateOrder::MonthDayYear:
            m = n[0], d = n[1], y = n[2];
            break;
        default:
            y = n[0], m = n[1], d = n[2];
            break;
    }
    if (y < 100) y += 2000;
    if (y < 1970 || y > 9999 || m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m))
        return std::nullopt;
    return std::array<int, 3>{y, m, d};
}

// The day-half markers of every locale that writes them, morning's and afternoon's.
const std::vector<std::pair<std::string, std::string>>& knownMarkers() {
    static const std::vector<std::pair<std::string, std::string>> markers = [] {
        std::vector<std::pair<std::string, std::string>> m;
        const auto locales = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                      QLocale::AnyTerritory);
        for (const QLocale& l : locales) {
            const QString am = l.amText(), pm = l.pmText();
            if (am.isEmpty() || pm.isEmpty() || am == pm) continue;
            // Formats with "AP" write them in capitals, with "ap" in small letters.
            // The log is written in the system's encoding: UTF-8 here, a code page on Windows.
            for (const auto& [a, p] : {std::pair(am, pm), std::pair(am.toUpper(), pm.toUpper()),
                                       std::pair(am.toLower(), pm.toLower())}) {
                for (auto encoding : {QStringConverter::Utf8, QStringConverter::System}) {
                    QStringEncoder encode(encoding);
                    const QByteArray ea = encode(a), ep = encode(p);
                    std::pair<std::string, std::string> pair(ea.toStdString(), ep.toStdString());
                    if (encode.hasError() || ea.isEmpty() || ea == ep ||
                        std::find(m.begin(), m.end(), pair) != m.end())
                        continue;
                    m.push_back(std::move(pair));
                }
            }
        }
        return m;
    }();
    return markers;
}

using MonthNames = std::vector<std::pair<std::string, int>>;

// Every locale's month names, long and short, as a date and as a word alone: one list per
// locale, since a file's dates are all in one.
const std::vector<MonthNames>& knownMonthNames() {
    static const std::vector<MonthNames> all = [] {
        std::vector<MonthNames> lists;
        auto locales = QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript,
                                                QLocale::AnyTerritory);
        locales.prepend(QLocale::c());
        for (const QLocale& l : locales) {
            MonthNames names;
            for (int month = 1; month <= 12; ++month) {
                for (auto format : {QLocale::LongFormat, QLocale::ShortFormat}) {
                    for (const QString& name :
                         {l.monthName(month, format), l.standaloneMonthName(month, format)}) {
                        std::pair<std::string, int> entry(name.toStdString(), month);
                        if (name.isEmpty() ||
                            std::find(names.begin(), names.end(), entry) != names.end())
                            continue;
                        names.push_back(std::move(entry));
                    }
                }
            }
            if (std::find(lists.begin(), lists.end(), names) == lists.end()) lists.push_back(names);
        }
        return lists;
    }();
    return all;
}

bool isWordByte(unsigned char c) {
    return c >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The month a word at p names, and where the word (with a closing '.' that is part of the
// name, as in "déc.") ends.
std::optional<int> monthNamed(const unsigned char*& p, const unsigned char* end,
                              const MonthNames& names) {
    const unsigned char* wordEnd = p;
    while (wordEnd < end && isWordByte(*wordEnd)) ++wordEnd;
    const auto text = [&](const unsigned char* to) {
        return std::string_view(reinterpret_cast<const char*>(p), static_cast<std::size_t>(to - p));
    };
    for (const unsigned char* to :
         {wordEnd < end && *wordEnd == '.' ? wordEnd + 1 : wordEnd, wordEnd}) {
        for (const auto& [name, month] : names) {
            if (text(to) == name) {
                p = to;
                return month;
            }
        }
    }
    p = wordEnd;
    return std::nullopt;
}

void addOnce(std::vector<std::string>& list, const std::string& marker) {
    if (std::find(list.begin(), list.end(), marker) == list.end()) list.push_back(marker);
}

bool contains(std::string_view text, const std::vector<std::string>& markers) {
    for (const std::string& m : markers)
        if (text.find(m) != std::string_view::npos) return true;
    return false;
}

}  // namespace

namespace {

// Lists of a stored format are a handful of names; more is a damaged file.
constexpr quint32 MostNames = 256;

void writeNames(QDataStream& out, const std::vector<std::string>& names) {
    out << quint32(names.size());
    for (const std::string& name : names) out << QByteArray::fromStdString(name);
}

void readNames(QDataStream& in, std::vector<std::string>& names) {
    quint32 n = 0;
    in >> n;
    if (n > MostNames) {
        in.setStatus(QDataStream::ReadCorruptData);
        return;
    }
    names.clear();
    for (quint32 k = 0; k < n && in.status() == QDataStream::Ok; ++k) {
        QByteArray name;
        in >> name;
        names.push_back(name.toStdString());
    }
}

}  // namespace

QDataStream& operator<<(QDataStream& out, const LineFormat& f) {
    out << quint8(f.order) << f.twelveHour;
    writeNames(out, f.amMarkers);
    writeNames(out, f.pmMarkers);
    out << quint32(f.monthNames.size());
    for (const auto& [name, month] : f.monthNames)
        out << QByteArray::fromStdString(name) << qint32(month);
    return out;
}

QDataStream& operator>>(QDataStream& in, LineFormat& f) {
    quint8 order = 0;
    in >> order >> f.twelveHour;
    if (order > quint8(DateOrder::YearMonthDay)) in.setStatus(QDataStream::ReadCorruptData);
    f.order = static_cast<DateOrder>(order);
    readNames(in, f.amMarkers);
    readNames(in, f.pmMarkers);
    quint32 n = 0;
    in >> n;
    if (n > MostNames) {
        in.setStatus(QDataStream::ReadCorruptData);
        return in;
    }
    f.monthNames.clear();
    for (quint32 k = 0; k < n && in.status() == QDataStream::Ok; ++k) {
        QByteArray name;
        qint32 month = 0;
        in >> name >> month;
        if (month < 1 || month > 12) in.setStatus(QDataStream::ReadCorruptData);
        f.monthNames.emplace_back(name.toStdString(), month);
    }
    return in;
}

qint64 daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<qint64>(doe) - 719468;
}

LineKind splitLine(std::string_view line, LineItems& items) {
    std::size_t end = line.size();
    while (end > 0 && isBlank(line[end - 1])) --end;
    if (end == 0) return LineKind::Blank;
    if (line.substr(0, 4) == "Date") return LineKind::Header;
    // The nine items after the date and time, from the right: pH, limit, valve, then six
    // whole numbers.
    // These are plain ASCII, each at the start of a print zone: the one before an item
    // usually starts a zone width before it, which saves walking over the blanks between.
    std::array<std::string_view, 9> tokens;
    std::size_t start = end;
    for (int k = 8; k >= 0; --k) {
        const std::size_t zoneBefore = start - ZoneWidth;
        if (k < 8 && start > ZoneWidth && isBlank(line[start - 1]) && !isBlank(line[zoneBefore]) &&
            isBlank(line[zoneBefore - 1])) {
            end = zoneBefore + 1;
            while (end < start && !isBlank(line[end])) ++end;
            start = zoneBefore;
        } else {
            if (k < 8) {
                end = start;
                while (end > 0 && isBlank(line[end - 1])) --end;
            }
            start = end;
            while (start > 0 && !isBlank(line[start - 1])) --start;
            if (start == end) return LineKind::Unreadable;
        }
        tokens[static_cast<std::size_t>(k)] = line.substr(start, end - start);
    }
    end = start;
    while (end > 0 && isBlank(line[end - 1])) --end;
    if (end == 0) return LineKind::Unreadable;
    for (std::size_t k = 3; k < 9; ++k)
        if (!isInteger(tokens[k])) return LineKind::Unreadable;
    if (!parseHundredths(tokens[0], items.ph) || !parseHundredths(tokens[1], items.target) ||
        !parseHex(tokens[2], items.valveOpen))
        return LineKind::Unreadable;
    items.dateTime = line.substr(0, end);
    return LineKind::Data;
}

int numbersIn(std::string_view text, int* numbers, int max, const char** endOfThird,
              const MonthNames* monthNames, int* namedAt) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    int count = 0, value = 0, digits = 0;
    while (p < end) {
        if (monthNames && digits == 0 && count < 3 && isWordByte(*p)) {
            if (const auto month = monthNamed(p, end, *monthNames)) {
                if (count == 2 && endOfThird) *endOfThird = reinterpret_cast<const char*>(p);
                if (namedAt) *namedAt = count;
                numbers[count++] = *month;
                if (count == max) return count;
            }
            continue;
        }
        int length = 1;
        const int d = digitAt(p, end, length);
        if (d >= 0) {
            if (digits < 6) value = value * 10 + d;
            ++digits;
        } else if (digits > 0) {
            if (count == 2 && endOfThird) *endOfThird = reinterpret_cast<const char*>(p);
            numbers[count++] = value;
            value = digits = 0;
            if (count == max) return count;
        }
        p += length;
    }
    if (digits > 0 && count < max) {
        if (count == 2 && endOfThird) *endOfThird = reinterpret_cast<const char*>(end);
        numbers[count++] = value;
    }
    return count;
}

std::optional<qint64> lineTime(const LineItems& items, const LineFormat& format) {
    int n[6];
    const char* timeStart = items.dateTime.data();
    const MonthNames* names = format.monthNames.empty() ? nullptr : &format.monthNames;
    if (numbersIn(items.dateTime, n, 6, &timeStart, names) < 6) return std::nullopt;
    const auto date = civil(n, format.order);
    if (!date) return std::nullopt;
    int hour = n[3];
    if (format.twelveHour) {
        const std::string_view time(
            timeStart,
            static_cast<std::size_t>(items.dateTime.data() + items.dateTime.size() - timeStart));
        if (hour < 1 || hour > 12) return std::nullopt;
        hour = hour % 12 + (contains(time, format.pmMarkers) ? 12 : 0);
    }
    if (hour > 23 || n[4] > 59 || n[5] > 60) return std::nullopt;
    return daysFromCivil((*date)[0], (*date)[1], (*date)[2]) * 86400 + hour * 3600 + n[4] * 60 +
           n[5];
}

std::optional<LogLine> parseLine(std::string_view line, const LineFormat& format) {
    LineItems items;
    if (splitLine(line, items) != LineKind::Data) return std::nullopt;
    const auto time = lineTime(items, format);
    if (!time) return std::nullopt;
    return LogLine{*time, items.ph, items.target, items.valveOpen};
}

std::optional<LineFormat> detectFormat(const std::vector<std::string_view>& lines,
                                       std::optional<qint64> modifiedDay) {
    struct Sample {
        std::array<int, 3> date;
        int hour;
        std::string_view time;
        int namedAt;  // which number of the date is a month's name, or -1
    };
    std::vector<Sample> samples;
    // The month names of the first locale that reads a date spelling its month; dates are all
    // numbers unless one does.
    const MonthNames* spelled = nullptr;
    for (std::string_view line : lines) {
        LineItems items;
        if (splitLine(line, items) != LineKind::Data) continue;
        int n[6];
        const char* timeStart = items.dateTime.data();
        int namedAt = -1;
        if (numbersIn(items.dateTime, n, 6, &timeStart, spelled, &namedAt) < 6) {
            if (spelled) continue;
            for (const MonthNames& names : knownMonthNames()) {
                timeStart = items.dateTime.data();
                namedAt = -1;
                if (numbersIn(items.dateTime, n, 6, &timeStart, &names, &namedAt) == 6) {
                    spelled = &names;
                    break;
                }
            }
            if (!spelled) continue;
        }
        const auto* textEnd = items.dateTime.data() + items.dateTime.size();
        samples.push_back(
            {{n[0], n[1], n[2]},
             n[3],
             std::string_view(timeStart, static_cast<std::size_t>(textEnd - timeStart)),
             namedAt});
    }
    if (samples.empty()) return std::nullopt;

    // The order under which the most dates are real, then run forwards in file order, then
    // end nearest the day the file was last written, then span the fewest days (read the
    // other way round, a log's days step by months), then is the user's own.
    const QString userFormat = QLocale().dateFormat(QLocale::ShortFormat);
    const auto userIndex = [&](QChar c) { return userFormat.indexOf(c, 0, Qt::CaseInsensitive); };
    const qsizetype uy = userIndex(u'y'), um = userIndex(u'M'), ud = userIndex(u'd');
    const DateOrder userOrder = uy < um && uy < ud ? DateOrder::YearMonthDay
                                : um < ud          ? DateOrder::MonthDayYear
                                                   : DateOrder::DayMonthYear;
    struct Score {
        DateOrder order;
        long valid = 0, forwards = 0, nearModified = 0;
        qint64 span = 0;
        long user = 0;
        auto key() const { return std::tuple(valid, forwards, nearModified, -span, user); }
    };
    std::vector<Score> scores;
    for (DateOrder order :
         {DateOrder::DayMonthYear, DateOrder::MonthDayYear, DateOrder::YearMonthDay}) {
        Score s{order};
        std::optional<qint64> first, previous, last;
        // A month's name says where the month is ("1 Jun 2026" is never January the 6th).
        const int monthAt = order == DateOrder::MonthDayYear ? 0 : 1;
        for (const Sample& sample : samples) {
            const auto date = civil(sample.date.data(), order);
            if (!date || (sample.namedAt >= 0 && sample.namedAt != monthAt)) continue;
            ++s.valid;
            const qint64 day = daysFromCivil((*date)[0], (*date)[1], (*date)[2]);
            if (previous && day < *previous) --s.forwards;
            if (!first) first = day;
            previous = last = day;
        }
        if (first) s.span = std::llabs(*last - *first);
        if (last && modifiedDay && *last <= *modifiedDay && *modifiedDay - *last <= 2)
            s.nearModified = 1;
        s.user = order == userOrder;
        scores.push_back(s);
    }
    const auto best =
        std::max_element(scores.begin(), scores.end(),
                         [](const Score& a, const Score& b) { return a.key() < b.key(); });
    if (best->valid == 0) return std::nullopt;

    LineFormat format;
    format.order = best->order;
    if (spelled) format.monthNames = *spelled;
    // A 12-hour clock shows a day-half marker that some locale writes, and no hour above 12.
    int maxHour = 0;
    std::vector<std::string> found;
    for (const Sample& sample : samples) {
        maxHour = std::max(maxHour, sample.hour);
        std::string longest;
        for (const auto& [am, pm] : knownMarkers())
            for (const std::string* marker : {&am, &pm})
                if (marker->size() > longest.size() &&
                    sample.time.find(*marker) != std::string_view::npos)
                    longest = *marker;
        if (!longest.empty()) addOnce(found, longest);
    }
    if (!found.empty() && maxHour <= 12) {
        // Both halves of each pair seen, so that afternoon lines after a morning's sample
        // still read as afternoon.
        format.twelveHour = true;
        for (const auto& [am, pm] : knownMarkers()) {
            if (std::find(found.begin(), found.end(), am) == found.end() &&
                std::find(found.begin(), found.end(), pm) == found.end())
                continue;
            addOnce(format.amMarkers, am);
            addOnce(format.pmMarkers, pm);
        }
    }
    return format;
}

}  // namespace history
