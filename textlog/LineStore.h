#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <deque>
#include <memory>
#include <vector>

class QTemporaryFile;

namespace textlog {

// Every line of the text log window, kept on disk instead of in memory: a spool file of the
// window's own, a sparse index into it and a few decoded chunks near what was asked for last.
// Memory stays the same whatever the number of lines (a file offset per IndexStep lines).
// When the disk refuses the spool (full, quota), the newest MemoryLines lines are kept in
// memory instead, older ones of that stretch are dropped and counted, and the spool is tried
// again as lines keep coming.
class LineStore {
public:
    static constexpr int IndexStep = 64;
    static constexpr int MemoryLines = 50000;

    // The spool is made in folder, or in the system's temporary folder when it is empty, on the
    // first line; the system removes it when the store is cleared or destroyed, or the program
    // ends.
    explicit LineStore(QString folder = QString());
    ~LineStore();
    LineStore(const LineStore&) = delete;
    LineStore& operator=(const LineStore&) = delete;

    // One line without its line break; it must hold none.
    void append(QStringView line);
    qint64 count() const { return spooled_ + static_cast<qint64>(memory_.size()); }
    QString line(qint64 index) const;
    // Lines [first, end) each followed by CR LF, as UTF-8: what a copy puts on the clipboard.
    QByteArray crlfText(qint64 first, qint64 end) const;
    // Forgets every line and removes the spool.
    void clear();

    // The disk refuses the spool: newer lines are kept in memory, up to MemoryLines.
    bool inMemoryOnly() const { return !memory_.empty() || spoolBroken_; }
    // Lines dropped because the disk refused them and memory was full.
    qint64 dropped() const { return dropped_; }
    // Changes whenever a line number may now stand for another line: lines were dropped from
    // before it. Whoever keeps lines by number (a view, a cache) reads them again then.
    quint64 generation() const { return generation_; }

private:
    struct Chunk {
        qint64 number = -1;
        QStringList lines;
    };

    bool openSpool();
    void appendToSpool(const QByteArray& utf8);
    bool flush();
    void takeUnwrittenIntoMemory();
    void retrySpool();
    QByteArray spoolBytes(qint64 from, qint64 to) const;
    qint64 lineOffset(qint64 line) const;
    const QStringList& chunk(qint64 number) const;
    qint64 spoolEnd() const { return written_ + unwritten_.size(); }
    void renumbered();

    QString folder_;
    std::unique_ptr<QTemporaryFile> spool_;
    bool spoolBroken_ = false;       // the disk refused the last attempt
    qint64 written_ = 0;             // bytes in the spool file
    QByteArray unwritten_;           // bytes after them, written when a block is full
    qint64 unwrittenLines_ = 0;      // lines among spooled_ whose bytes are in unwritten_
    qint64 spooled_ = 0;             // lines in the spool, the file's and the unwritten ones
    std::vector<qint64> index_;      // where line k * IndexStep starts
    std::deque<QByteArray> memory_;  // UTF-8 lines after the spooled ones, while it is refused
    qint64 dropped_ = 0;
    quint64 generation_ = 0;
    qint64 sinceRetry_ = 0;  // lines kept in memory since the spool was last tried
    mutable std::array<Chunk, 4> chunks_;
    mutable std::size_t nextChunk_ = 0;
};

}  // namespace textlog
