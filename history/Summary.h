#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <atomic>
#include <functional>
#include <optional>
#include <vector>

#include "LogReader.h"

// What the history window needs of a whole log file, small enough to keep: per minute the
// lowest, highest, first and last pH and target pH, the valve's openings and where in the
// file the minute's lines begin; and every pause in the logging. A year at a line a second
// fits in about 20 MB, and the lines themselves are read again from the file when the view
// is close enough to show them one by one.
namespace history {

constexpr qint64 BucketSeconds = 60;

struct Bucket {
    qint64 offset = 0;  // of the first line in the file
    // Real minutes since 1970, UTC: 64 bits, as the dates read run to the year 9999 (the struct
    // keeps its size, the padding after a 32-bit count had the room).
    qint64 minute = 0;
    qint32 lines = 0;
    qint32 valveOpen = 0;  // lines with the valve open
    qint16 phMin = 0, phMax = 0, phFirst = 0, phLast = 0;
    qint16 targetMin = 0, targetMax = 0, targetFirst = 0, targetLast = 0;
};

// A pause between two lines longer than a few of the log's usual intervals, or a step back
// in time that no clock change explains (the clock set back by hand): the curves stop at one
// and start again at the other. Times are real moments; a summary keeps its gaps in order of
// `after`, then `before`, for isGap to search.
struct Gap {
    qint64 before = 0;  // time of the line before
    qint64 after = 0;   // time of the line after
};

struct Summary {
    QString path;
    qint64 fileSize = 0;  // when last read
    qint64 modified = 0;  // ms since 1970
    QByteArray head;      // the file's first bytes (up to 256): the same file, grown
    QByteArray tail;      // the bytes just before readTo: nothing before it rewritten
    qint64 readTo = 0;    // end of the last whole line read
    std::optional<LineFormat> format;
    QByteArray zone;  // the time zone the lines' real moments were worked out in

    std::vector<Bucket> buckets;
    std::vector<Gap> gaps;
    // How many times each interval between lines came: seconds up to a minute, then minutes
    // up to an hour, then hours up to a day (see intervalBin).
    std::array<qint64, 144> intervals{};
    // The last intervals between lines, the log's pace of late: the update rate may change
    // from one run to the next.
    std::array<qint32, 8> recent{};
    qint64 recentCount = 0;  // intervals seen; the next goes to recent[recentCount % 8]
    qint64 lines = 0;        // data lines
    qint64 unreadable = 0;   // lines that are neither data nor a header
    qint64 lastTime = 0;     // real moment of the last data line

    qint64 firstTime() const { return buckets.empty() ? 0 : qint64(buckets.front().minute) * 60; }
    // The median of the intervals between lines: the log's own pace.
    int usualInterval() const;
};

// The histogram's bin of an interval, and the interval a bin stands for.
std::size_t intervalBin(qint64 seconds);
qint64 binInterval(std::size_t bin);

// Longer than this is a gap: a few of the usual intervals, so that a missed frame is not.
qint64 gapThreshold(int usualInterval);

// Whether the summary has a gap between lines at these two times.
bool isGap(const std::vector<Gap>& gaps, qint64 before, qint64 after);

// Reads what of the file is not yet in summary (all of it, or what was appended), with
// progress as bytes read and total; stops early and returns false when cancel is set.
using Progress = std::function<void(qint64 done, qint64 total)>;
bool readFile(Summary& summary, const Progress& progress = {},
              const std::atomic_bool* cancel = nullptr);

// The summary of the file at path: the cached one if the file is unchanged, read on from it
// if the file only grew, else read afresh; the result is kept in the cache again.
std::optional<Summary> loadSummary(const QString& path, const Progress& progress = {},
                                   const std::atomic_bool* cancel = nullptr,
                                   QString* error = nullptr);

// The cache: one file per log under the user's cache folder.
QString cacheFile(const QString& logPath);
std::optional<Summary> loadCached(const QString& logPath);
bool saveCached(const Summary& summary);
// Drops the summaries of logs that are gone (deleted, moved) and of earlier reader versions.
void pruneCache();

// Whether the file is still the one summarised, perhaps grown: its first bytes and the bytes
// before readTo unchanged.
bool sameFileGrown(const Summary& summary);

// The data lines between two times and the minutes with lines either side of them, read from
// the file through the summary, at most max.
struct LinesRead {
    std::vector<LogLine> lines;
    bool complete = true;  // false when max was reached
};
LinesRead readLines(const Summary& summary, qint64 from, qint64 to, std::size_t max);

// The index of the first bucket that ends after time t.
std::size_t bucketAt(const Summary& summary, qint64 t);

}  // namespace history
