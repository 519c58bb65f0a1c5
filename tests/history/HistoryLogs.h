#pragma once

#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QLocale>
#include <QString>
#include <vector>

#include "device/NumberText.h"
#include "graph/GraphDrawing.h"
#include "history/LogReader.h"
#include "textlog/LogLine.h"

// Log files written by the program's own line writer, in a chosen locale.
namespace historytest {

inline bool isColour(const QImage& image, int x, int y, quint32 colour) {
    return image.pixel(x, y) == graph::fromBgr(colour).rgb();
}

struct Entry {
    QDateTime time;
    int ph = 700;      // hundredths
    int target = 720;  // hundredths
    bool valveOpen = false;
};

inline QByteArray dataLine(const Entry& e, const QLocale& locale) {
    device::LogRecord r;
    r.date = e.time.date();
    r.time = e.time.time();
    r.measuredPh = device::formatHundredths(e.ph, locale);
    r.targetPh = device::formatHundredths(e.target, locale);
    r.valveHex = e.valveOpen ? QStringLiteral("1") : QStringLiteral("0");
    r.raw = 766, r.limit = 812, r.raw7 = 651, r.raw4 = 253, r.k = 90, r.m = 1000;
    return textlog::fileDataLine(r, locale).toUtf8();
}

inline QByteArray headerLine() {
    return textlog::fileHeaderLine().toUtf8();
}

// Lines every `step` seconds from `from`, count of them, at pH 7.00 and target 7.20.
inline std::vector<Entry> steady(const QDateTime& from, int count, int step) {
    std::vector<Entry> entries;
    for (int k = 0; k < count; ++k) entries.push_back({from.addSecs(qint64(k) * step)});
    return entries;
}

inline void append(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    file.open(QIODevice::Append);
    file.write(bytes);
}

inline QByteArray lines(const std::vector<Entry>& entries, const QLocale& locale) {
    QByteArray bytes;
    for (const Entry& e : entries) bytes += dataLine(e, locale);
    return bytes;
}

// The file's modification time set to its last line's, as a log being written has it.
inline void touch(const QString& path, const QDateTime& last) {
    QFile file(path);
    file.open(QIODevice::ReadWrite);
    file.setFileTime(last, QFileDevice::FileModificationTime);
}

// A local time's real moment, where the history places a line that shows it.
inline qint64 moment(const QDateTime& t) {
    return t.toSecsSinceEpoch();
}

}  // namespace historytest
