#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringEncoder>
#include <QTimer>
#include <functional>

namespace textlog {

// The log file on disk. Every line goes straight to the operating system, so a crash or a kill
// loses nothing that was logged before it, and reaches the storage device within a second, so
// a power cut loses at most the last second. The syncs are grouped: a line is synced at once
// when the last sync is older than SyncGroupMs, otherwise with the others when it is.
class LogFile {
public:
    // A line waits at most this long for its sync. A frame's line is written up to a batch
    // interval (100 ms) after the frame came; the rest of the promised second is room for an
    // event loop busy with a batch when the sync falls due.
    static constexpr int SyncGroupMs = 800;
    // Lines of a busy line come in batches this far apart: a sync that would fall due before
    // the next batch is done with this one, in the same wake-up, rather than by a timer of its
    // own a moment later.
    static constexpr int BatchIntervalMs = 100;

    LogFile();
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    enum class Mode {
        Truncate,  // "Save Log": an existing file starts afresh
        Append     // a restart: what the file holds stays, new lines go after it
    };
    // Creates the file, or opens an existing one in the given mode. On failure errorString()
    // says why. Appending to a file whose last line was torn (a power cut in the middle of a
    // line) starts the first new line on a line of its own.
    bool open(const QString& path, Mode mode = Mode::Truncate);
    bool isOpen() const { return file_.isOpen(); }
    // Writes the line in the system's 8-bit encoding, whole or not at all: when the system
    // takes only part of it (disk full, quota), the part is cut off again so that the next
    // line is not glued to it. False when the line or its sync failed; errorString() says why.
    bool writeLine(const QString& line);
    // Syncs what is still pending, then closes.
    void close();

    QString fileName() const { return file_.fileName(); }
    // Bytes in the file, the torn tail of an earlier run included.
    qint64 size() const { return file_.isOpen() ? file_.size() : 0; }
    QString errorString() const { return error_; }

    // Told when a sync at the end of a second fails, after writeLine has returned.
    std::function<void()> syncFailed;
    int syncCount() const { return syncs_; }
    bool syncPending() const { return syncTimer_.isActive(); }

private:
    void lineWritten();
    bool sync();
    bool syncToDevice();
    void cutBackToWholeLines();

    QFile file_;
    QStringEncoder encoder_{QStringConverter::System};
    QString error_;
    qint64 wholeSize_ = 0;     // the file up to the end of its last whole line
    bool startFresh_ = false;  // a torn tail stayed: the next line begins on a line of its own
    QElapsedTimer sinceSync_;
    QTimer syncTimer_;
    int syncs_ = 0;
};

}  // namespace textlog
