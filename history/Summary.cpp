#include "Summary.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <climits>
#include <cstring>

#include "LocalClock.h"

namespace history {

namespace {

constexpr quint32 CacheMagic = 0x56484953;
// Changes with anything stored: a summary of another version is made again.
constexpr quint32 CacheVersion = 5;
constexpr qint64 ChunkSize = 8 << 20;
constexpr int Witness = 256;  // bytes kept of the head and before readTo

// Adds the data lines one by one, keeping the per-minute figures and the pauses.
class Builder {
public:
    explicit Builder(Summary& s) : s_(s), pace_(recentPace()) {}

    void add(qint64 offset, const LogLine& line) {
        if (s_.lines > 0) {
            const qint64 dt = line.time - s_.lastTime;
            // Measured against the pace of the last few lines, worked out again every few
            // lines and whenever a pause looks long against it.
            if (dt < 0 || (s_.recentCount > 0 && dt > gapThreshold(pace_) &&
                           dt > gapThreshold(pace_ = recentPace())))
                addGap({s_.lastTime, line.time});
            if (dt >= 0) {
                ++s_.intervals[intervalBin(dt)];
                s_.recent[static_cast<std::size_t>(s_.recentCount % 8)] =
                    static_cast<qint32>(std::min<qint64>(dt, INT32_MAX));
                if (++s_.recentCount % 8 == 0 || s_.recentCount < 8) pace_ = recentPace();
            }
        }
        const qint64 minute =
            line.time >= 0 ? line.time / BucketSeconds : (line.time + 1) / BucketSeconds - 1;
        // A step back in time stays in the minute it happened in, so the minutes stay in
        // order and can be searched.
        if (s_.buckets.empty() || minute > s_.buckets.back().minute) {
            Bucket b;
            b.offset = offset;
            b.minute = minute;
            b.phMin = b.phMax = b.phFirst = line.ph;
            b.targetMin = b.targetMax = b.targetFirst = line.target;
            s_.buckets.push_back(b);
        }
        Bucket& b = s_.buckets.back();
        ++b.lines;
        b.valveOpen += line.valveOpen;
        b.phMin = std::min(b.phMin, line.ph);
        b.phMax = std::max(b.phMax, line.ph);
        b.phLast = line.ph;
        b.targetMin = std::min(b.targetMin, line.target);
        b.targetMax = std::max(b.targetMax, line.target);
        b.targetLast = line.target;
        s_.lastTime = line.time;
        ++s_.lines;
    }

private:
    // In order, whatever the order of the lines: after the clock was set back, a gap's lines
    // lie before those of the gaps already found.
    void addGap(Gap gap) {
        const auto key = [](const Gap& g) { return std::pair(g.after, g.before); };
        s_.gaps.insert(
            std::upper_bound(s_.gaps.begin(), s_.gaps.end(), gap,
                             [&](const Gap& a, const Gap& b) { return key(a) < key(b); }),
            gap);
    }

    // The median of the last intervals.
    int recentPace() const {
        const auto n = static_cast<std::size_t>(std::min<qint64>(s_.recentCount, 8));
        if (n == 0) return 1;
        std::array<qint32, 8> sorted = s_.recent;
        std::nth_element(sorted.begin(), sorted.begin() + n / 2, sorted.begin() + n);
        return std::max(1, sorted[n / 2]);
    }

    Summary& s_;
    int pace_;
};

// Whole lines of a piece of the file; the partial ones at its ends are left out unless the
// piece starts at the file's start or ends at its end.
void wholeLines(const QByteArray& piece, bool fromStart, bool toEnd,
                std::vector<std::string>& lines) {
    qsizetype begin = 0;
    if (!fromStart) {
        begin = piece.indexOf('\n');
        if (begin < 0) return;
        ++begin;
    }
    while (begin < piece.size()) {
        qsizetype end = piece.indexOf('\n', begin);
        if (end < 0) {
            if (toEnd) lines.emplace_back(piece.constData() + begin, piece.size() - begin);
            return;
        }
        lines.emplace_back(piece.constData() + begin, end - begin);
        begin = end + 1;
    }
}

// The formats, from lines at the start of what is to be read, spread over it and at its end:
// a day's lines alone may not tell the day from the month.
std::optional<LineFormat> detectIn(QFile& file, qint64 from, qint64 size,
                                   std::optional<qint64> modifiedDay) {
    std::vector<std::string> lines;
    constexpr qint64 Head = 256 << 10, Piece = 64 << 10;
    file.seek(from);
    wholeLines(file.read(Head), true, from + Head >= size, lines);
    if (size - from > 4 * Head) {
        for (int k = 1; k <= 32; ++k) {
            const qint64 at = from + (size - from - Piece) * k / 32;
            file.seek(at);
            wholeLines(file.read(Piece), false, k == 32, lines);
        }
    }
    std::vector<std::string_view> views(lines.begin(), lines.end());
    return detectFormat(views, modifiedDay);
}

QByteArray bytesAt(QFile& file, qint64 at, qint64 length) {
    if (!file.seek(at)) return {};
    return file.read(length);
}

}  // namespace

std::size_t intervalBin(qint64 seconds) {
    if (seconds < 60) return static_cast<std::size_t>(std::max<qint64>(0, seconds));
    if (seconds < 3600) return static_cast<std::size_t>(60 + seconds / 60 - 1);
    return static_cast<std::size_t>(std::min<qint64>(143, 118 + seconds / 3600));
}

qint64 binInterval(std::size_t bin) {
    if (bin < 60) return qint64(bin);
    if (bin < 119) return qint64(bin - 59) * 60;
    return qint64(bin - 118) * 3600;
}

int Summary::usualInterval() const {
    qint64 total = 0;
    for (qint64 n : intervals) total += n;
    if (total == 0) return 1;
    qint64 seen = 0;
    for (std::size_t bin = 0; bin < intervals.size(); ++bin) {
        seen += intervals[bin];
        if (2 * seen >= total) return static_cast<int>(std::max<qint64>(1, binInterval(bin)));
    }
    return static_cast<int>(binInterval(intervals.size() - 1));
}

bool isGap(const std::vector<Gap>& gaps, qint64 before, qint64 after) {
    if (after < before) return true;
    auto g = std::partition_point(gaps.begin(), gaps.end(),
                                  [after](const Gap& gap) { return gap.after < after; });
    for (; g != gaps.end() && g->after == after; ++g)
        if (g->before == before) return true;
    return false;
}

qint64 gapThreshold(int usualInterval) {
    return 3 * qint64(std::max(1, usualInterval));
}

bool readFile(Summary& s, const Progress& progress, const std::atomic_bool* cancel) {
    QFile file(s.path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const qint64 size = file.size();
    if (!s.format) {
        const QDateTime modified = QDateTime::fromMSecsSinceEpoch(s.modified);
        const QDate day = modified.date();
        s.format =
            detectIn(file, s.readTo, size,
                     s.modified > 0
                         ? std::optional<qint64>(daysFromCivil(day.year(), day.month(), day.day()))
                         : std::nullopt);
    }
    if (s.head.size() < Witness) s.head = bytesAt(file, 0, Witness);

    LocalClock clock;
    if (s.zone.isEmpty()) s.zone = clock.zoneId();
    Builder builder(s);
    std::vector<char> buffer(static_cast<std::size_t>(ChunkSize));
    qint64 at = s.readTo;  // file offset of buffer[0]
    std::size_t kept = 0;  // bytes of a partial line carried to the front
    file.seek(at);
    for (;;) {
        if (cancel && cancel->load()) return false;
        const qint64 got = file.read(buffer.data() + kept, ChunkSize - static_cast<qint64>(kept));
        if (got <= 0) break;
        const char* p = buffer.data();
        const char* end = p + kept + got;
        LineItems items;
        while (p < end) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
            if (!nl) break;
            const std::string_view line(p, static_cast<std::size_t>(nl - p));
            const qint64 offset = at + (p - buffer.data());
            switch (splitLine(line, items)) {
                case LineKind::Data:
                    if (const auto wall = s.format ? lineTime(items, *s.format) : std::nullopt) {
                        const qint64 time = clock.realTime(
                            *wall, s.lines > 0 ? std::optional(s.lastTime) : std::nullopt);
                        builder.add(offset, {time, items.ph, items.target, items.valveOpen});
                        break;
                    }
                    ++s.unreadable;
                    break;
                case LineKind::Unreadable:
                    ++s.unreadable;
                    break;
                default:
                    break;
            }
            p = nl + 1;
        }
        const std::size_t consumed = static_cast<std::size_t>(p - buffer.data());
        s.readTo = at + static_cast<qint64>(consumed);
        kept = static_cast<std::size_t>(end - p);
        // A line longer than the whole buffer is no line of this program's.
        if (kept == buffer.size()) {
            ++s.unreadable;
            s.readTo += static_cast<qint64>(kept);
            kept = 0;
        }
        std::memmove(buffer.data(), p, kept);
        at = s.readTo;
        if (progress) progress(at, size);
    }
    s.fileSize = s.readTo + static_cast<qint64>(kept);
    s.tail =
        bytesAt(file, std::max<qint64>(0, s.readTo - Witness), std::min<qint64>(s.readTo, Witness));
    // A file with no readable line yet is looked at afresh when it has some.
    if (s.lines == 0) s.format.reset();
    return true;
}

bool sameFileGrown(const Summary& s) {
    QFile file(s.path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < s.readTo) return false;
    const QByteArray head = bytesAt(file, 0, s.head.size());
    if (!head.startsWith(s.head.left(head.size())) ||
        head.size() < std::min<qint64>(s.head.size(), file.size()))
        return false;
    return bytesAt(file, s.readTo - s.tail.size(), s.tail.size()) == s.tail;
}

QString cacheFile(const QString& logPath) {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
                           QStringLiteral("/history");
    const QByteArray key = QCryptographicHash::hash(QFileInfo(logPath).absoluteFilePath().toUtf8(),
                                                    QCryptographicHash::Sha1);
    return folder + u'/' + QString::fromLatin1(key.toHex()) + QStringLiteral(".summary");
}

bool saveCached(const Summary& s) {
    const QString name = cacheFile(s.path);
    QDir().mkpath(QFileInfo(name).absolutePath());
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QDataStream out(&file);
    out << CacheMagic << CacheVersion << s.path << s.fileSize << s.modified << s.head << s.tail
        << s.readTo << s.lines << s.unreadable << s.lastTime << s.zone;
    out << bool(s.format);
    if (s.format) out << *s.format;
    for (qint64 n : s.intervals) out << n;
    for (qint32 n : s.recent) out << n;
    out << s.recentCount;
    out << quint64(s.buckets.size());
    out.writeRawData(reinterpret_cast<const char*>(s.buckets.data()),
                     static_cast<int>(s.buckets.size() * sizeof(Bucket)));
    out << quint64(s.gaps.size());
    out.writeRawData(reinterpret_cast<const char*>(s.gaps.data()),
                     static_cast<int>(s.gaps.size() * sizeof(Gap)));
    return out.status() == QDataStream::Ok && file.commit();
}

std::optional<Summary> loadCached(const QString& logPath) {
    QFile file(cacheFile(logPath));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QDataStream in(&file);
    quint32 magic = 0, version = 0;
    in >> magic >> version;
    if (magic != CacheMagic || version != CacheVersion) return std::nullopt;
    Summary s;
    in >> s.path >> s.fileSize >> s.modified >> s.head >> s.tail >> s.readTo >> s.lines >>
        s.unreadable >> s.lastTime >> s.zone;
    if (s.path != QFileInfo(logPath).absoluteFilePath()) return std::nullopt;
    bool hasFormat = false;
    in >> hasFormat;
    if (hasFormat) in >> s.format.emplace();
    for (qint64& n : s.intervals) in >> n;
    for (qint32& n : s.recent) in >> n;
    in >> s.recentCount;
    const auto readVector = [&](auto& vector) {
        quint64 n = 0;
        in >> n;
        using T = typename std::decay_t<decltype(vector)>::value_type;
        if (n > quint64(file.size()) / sizeof(T)) return false;
        vector.resize(n);
        const qint64 bytes = static_cast<qint64>(n * sizeof(T));
        return in.readRawData(reinterpret_cast<char*>(vector.data()), static_cast<int>(bytes)) ==
               bytes;
    };
    if (!readVector(s.buckets) || !readVector(s.gaps) || in.status() != QDataStream::Ok)
        return std::nullopt;
    return s;
}

void pruneCache() {
    const QDir folder(QFileInfo(cacheFile(QStringLiteral("x"))).absolutePath());
    const auto names = folder.entryList({QStringLiteral("*.summary")}, QDir::Files);
    for (const QString& name : names) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) continue;
        QDataStream in(&file);
        quint32 magic = 0, version = 0;
        QString path;
        in >> magic >> version >> path;
        file.close();
        if (magic != CacheMagic || version != CacheVersion || !QFileInfo::exists(path))
            file.remove();
    }
}

std::optional<Summary> loadSummary(const QString& path, const Progress& progress,
                                   const std::atomic_bool* cancel, QString* error) {
    const QFileInfo info(path);
    QFile probe(path);
    if (!info.isFile() || !probe.open(QIODevice::ReadOnly)) {
        if (error)
            *error = !info.exists()   ? QStringLiteral("%1: no such file").arg(path)
                     : !info.isFile() ? QStringLiteral("%1: not a file").arg(path)
                                      : QStringLiteral("%1: %2").arg(path, probe.errorString());
        return std::nullopt;
    }
    probe.close();
    const qint64 modified = info.lastModified().toMSecsSinceEpoch();
    Summary s;
    s.path = info.absoluteFilePath();
    // Times placed in another zone would all be off: read afresh.
    if (auto cached = loadCached(path);
        cached && cached->zone == LocalClock().zoneId() && sameFileGrown(*cached)) {
        if (cached->fileSize == info.size() && cached->modified == modified) return cached;
        s = std::move(*cached);
    }
    s.modified = modified;
    if (!readFile(s, progress, cancel)) {
        if (error) *error = QStringLiteral("%1: reading stopped").arg(path);
        return std::nullopt;
    }
    saveCached(s);
    pruneCache();
    return s;
}

std::size_t bucketAt(const Summary& s, qint64 t) {
    return static_cast<std::size_t>(
        std::partition_point(s.buckets.begin(), s.buckets.end(),
                             [t](const Bucket& b) { return qint64(b.minute) * 60 + 60 <= t; }) -
        s.buckets.begin());
}

LinesRead readLines(const Summary& s, qint64 from, qint64 to, std::size_t max) {
    LinesRead result;
    if (!s.format || s.buckets.empty()) return result;
    // The minutes with lines on each side too, so that the curve runs out to the view's edges.
    std::size_t first = bucketAt(s, from);
    if (first > 0) --first;
    const std::size_t last = bucketAt(s, to);
    if (first >= s.buckets.size()) return result;
    const qint64 begin = s.buckets[first].offset;
    const qint64 end = last + 1 < s.buckets.size() ? s.buckets[last + 1].offset : s.readTo;
    QFile file(s.path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(begin)) return result;
    const QByteArray bytes = file.read(end - begin);
    const char* p = bytes.constData();
    const char* stop = p + bytes.size();
    LocalClock clock;
    // Just before the first minute read: in an hour a clock change repeats, its first line
    // then falls in that minute's pass.
    qint64 before = s.buckets[first].minute * BucketSeconds - 1;
    while (p < stop) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', stop - p));
        if (!nl) break;
        if (auto line =
                parseLine(std::string_view(p, static_cast<std::size_t>(nl - p)), *s.format)) {
            if (result.lines.size() == max) {
                result.complete = false;
                break;
            }
            line->time = before = clock.realTime(line->time, before);
            result.lines.push_back(*line);
        }
        p = nl + 1;
    }
    return result;
}

}  // namespace history
