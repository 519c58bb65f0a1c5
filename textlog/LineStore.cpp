#include "LineStore.h"

#include <QDir>
#include <QTemporaryFile>
#include <algorithm>

namespace textlog {

namespace {

// Bytes gathered before they go to the spool: a write a few seconds at the line's full rate.
constexpr qsizetype WriteBlock = 16 * 1024;
// While the disk refuses the spool, it is tried again after this many new lines.
constexpr qsizetype RetryLines = 256;

// Opens its file unbuffered: the store gathers its own blocks, and an unbuffered write's
// failure comes back from the write itself rather than from a later flush.
class SpoolFile final : public QTemporaryFile {
public:
    using QTemporaryFile::QTemporaryFile;
    bool openUnbuffered() {
        return QTemporaryFile::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }
};

}  // namespace

LineStore::LineStore(QString folder) : folder_(std::move(folder)) {}

LineStore::~LineStore() = default;

bool LineStore::openSpool() {
    if (spool_) return true;
    QStringList folders = {QDir::tempPath()};
    if (!folder_.isEmpty() && QDir().mkpath(folder_)) folders.prepend(folder_);
    for (const QString& folder : folders) {
        auto file =
            std::make_unique<SpoolFile>(folder + QStringLiteral("/vellicor-textlog-XXXXXX"));
        // Asking for its name would make Linux give the file one; unnamed, it goes with the
        // process even when the process is killed.
        if (!file->openUnbuffered()) continue;
        spool_ = std::move(file);
        return true;
    }
    return false;
}

void LineStore::append(QStringView line) {
    QByteArray utf8 = line.toUtf8();
    if (memory_.empty() && !spoolBroken_) {
        appendToSpool(utf8);
        return;
    }
    memory_.push_back(std::move(utf8));
    if (memory_.size() > MemoryLines) {
        memory_.pop_front();
        ++dropped_;
        renumbered();
    }
    if (++sinceRetry_ >= RetryLines) retrySpool();
}

void LineStore::appendToSpool(const QByteArray& utf8) {
    if (spooled_ % IndexStep == 0) index_.push_back(spoolEnd());
    unwritten_ += utf8;
    unwritten_ += '\n';
    ++spooled_;
    ++unwrittenLines_;
    if (unwritten_.size() >= WriteBlock && !flush()) takeUnwrittenIntoMemory();
}

bool LineStore::flush() {
    if (unwritten_.isEmpty()) return true;
    if (!openSpool()) return false;
    if (!spool_->seek(written_)) return false;
    qint64 done = 0;
    // A short write is followed by another, which fails with the reason, or succeeds when the
    // disk has room again.
    while (done < unwritten_.size()) {
        const qint64 n = spool_->write(unwritten_.constData() + done, unwritten_.size() - done);
        if (n <= 0) break;
        done += n;
    }
    if (done < unwritten_.size()) {
        // A torn line would shift every later one; the index counts on whole lines.
        if (done > 0 && !spool_->resize(written_)) spool_.reset();
        return false;
    }
    written_ += done;
    unwritten_.clear();
    unwrittenLines_ = 0;
    return true;
}

void LineStore::takeUnwrittenIntoMemory() {
    spoolBroken_ = true;
    std::deque<QByteArray> lines;
    for (qsizetype start = 0; start < unwritten_.size();) {
        const qsizetype end = unwritten_.indexOf('\n', start);
        lines.push_back(unwritten_.mid(start, end - start));
        start = end + 1;
    }
    spooled_ -= unwrittenLines_;
    while (!index_.empty() && index_.back() >= written_) index_.pop_back();
    unwritten_.clear();
    unwrittenLines_ = 0;
    // Lines already kept in memory are newer than these.
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) memory_.push_front(std::move(*it));
    if (memory_.size() > MemoryLines) renumbered();
    while (memory_.size() > MemoryLines) {
        memory_.pop_front();
        ++dropped_;
    }
    // A spool that could not be cut back to whole lines is given up for a fresh one, and the
    // lines it held with it: they cannot be read back in order.
    if (!spool_ && written_ > 0) {
        dropped_ += spooled_;
        spooled_ = 0;
        written_ = 0;
        index_.clear();
        renumbered();
    }
}

void LineStore::renumbered() {
    ++generation_;
    // A chunk kept by its number may hold lines that now have other numbers: once the spool
    // takes the kept lines again, they land where others were read before.
    for (Chunk& c : chunks_) c = Chunk();
}

void LineStore::retrySpool() {
    sinceRetry_ = 0;
    spoolBroken_ = false;
    std::deque<QByteArray> lines = std::exchange(memory_, {});
    for (QByteArray& line : lines) {
        if (spooled_ % IndexStep == 0) index_.push_back(spoolEnd());
        unwritten_ += line;
        unwritten_ += '\n';
        ++spooled_;
        ++unwrittenLines_;
    }
    if (!flush()) takeUnwrittenIntoMemory();
}

QByteArray LineStore::spoolBytes(qint64 from, qint64 to) const {
    QByteArray bytes;
    if (from < written_ && spool_) {
        const qint64 end = std::min(to, written_);
        bytes.resize(end - from);
        spool_->seek(from);
        const qint64 n = spool_->read(bytes.data(), bytes.size());
        bytes.resize(std::max<qint64>(n, 0));
        from = end;
    }
    if (to > from) bytes += QByteArrayView(unwritten_).sliced(from - written_, to - from);
    return bytes;
}

const QStringList& LineStore::chunk(qint64 number) const {
    const qint64 first = number * IndexStep;
    const qint64 wanted = std::min<qint64>(IndexStep, spooled_ - first);
    for (const Chunk& c : chunks_) {
        if (c.number == number && c.lines.size() == wanted) return c.lines;
    }
    Chunk& c = chunks_[nextChunk_++ % chunks_.size()];
    c.number = number;
    c.lines.clear();
    const qint64 from = index_[static_cast<std::size_t>(number)];
    const qint64 to = static_cast<std::size_t>(number + 1) < index_.size()
                          ? index_[static_cast<std::size_t>(number + 1)]
                          : spoolEnd();
    const QByteArray bytes = spoolBytes(from, to);
    for (qsizetype start = 0; start < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0) end = bytes.size();
        c.lines.append(QString::fromUtf8(QByteArrayView(bytes).sliced(start, end - start)));
        start = end + 1;
    }
    // A read the system refused leaves blank lines rather than shifting the others.
    while (c.lines.size() < wanted) c.lines.append(QString());
    return c.lines;
}

QString LineStore::line(qint64 index) const {
    if (index < 0 || index >= count()) return QString();
    if (index >= spooled_)
        return QString::fromUtf8(memory_[static_cast<std::size_t>(index - spooled_)]);
    return chunk(index / IndexStep).at(static_cast<qsizetype>(index % IndexStep));
}

qint64 LineStore::lineOffset(qint64 line) const {
    if (line >= spooled_) return spoolEnd();
    const auto k = static_cast<std::size_t>(line / IndexStep);
    const qint64 at = index_[k];
    const qint64 skip = line % IndexStep;
    if (skip == 0) return at;
    const QByteArray lines = spoolBytes(at, k + 1 < index_.size() ? index_[k + 1] : spoolEnd());
    qsizetype pos = 0;
    for (qint64 i = 0; i < skip; ++i) pos = lines.indexOf('\n', pos) + 1;
    return at + pos;
}

QByteArray LineStore::crlfText(qint64 first, qint64 end) const {
    first = std::clamp<qint64>(first, 0, count());
    end = std::clamp<qint64>(end, first, count());
    QByteArray text;
    const qint64 spoolLast = std::min(end, spooled_);
    if (first < spoolLast) {
        const qint64 from = lineOffset(first), to = lineOffset(spoolLast);
        text.reserve(to - from + (spoolLast - first));
        // Read in pieces, so that the spool's bytes are not held twice.
        constexpr qint64 Piece = 1024 * 1024;
        for (qint64 at = from; at < to; at += Piece)
            text += spoolBytes(at, std::min(to, at + Piece)).replace('\n', "\r\n");
    }
    for (qint64 i = std::max(first, spooled_); i < end; ++i)
        text += memory_[static_cast<std::size_t>(i - spooled_)] + "\r\n";
    return text;
}

void LineStore::clear() {
    spool_.reset();
    spoolBroken_ = false;
    written_ = 0;
    unwritten_ = QByteArray();
    unwrittenLines_ = 0;
    spooled_ = 0;
    index_ = {};
    memory_ = {};
    dropped_ = 0;
    sinceRetry_ = 0;
    renumbered();
}

}  // namespace textlog
