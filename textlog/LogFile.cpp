#include "LogFile.h"

#include <QFileInfo>

#if defined(Q_OS_WIN)
#include <io.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#elif defined(Q_OS_UNIX)
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace textlog {

namespace {

#if defined(Q_OS_UNIX)
// A new file's name is in its folder, which has to reach the disk too, or a power cut can
// take the file with all its synced lines.
void syncFolderOf(const QString& path) {
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}
#endif

// Whether the file's last byte ends a line. One that cannot be read is taken as whole: a
// missing break costs a glued line, a needless one an empty line.
bool endsWithLineBreak(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(file.size() - 1)) return true;
    char last = 0;
    return !file.getChar(&last) || last == '\n';
}

}  // namespace

LogFile::LogFile() {
    syncTimer_.setSingleShot(true);
    // A coarse timer may fire up to 5 % late.
    syncTimer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&syncTimer_, &QTimer::timeout, &syncTimer_, [this] {
        if (!sync() && syncFailed) syncFailed();
    });
}

LogFile::~LogFile() {
    close();
}

bool LogFile::open(const QString& path, Mode mode) {
    file_.setFileName(path);
    // Unbuffered: each write reaches the system at once instead of waiting in Qt's buffer.
    const QIODevice::OpenMode how = mode == Mode::Append ? QIODevice::Append : QIODevice::Truncate;
    if (!file_.open(QIODevice::WriteOnly | how | QIODevice::Unbuffered)) {
        error_ = file_.errorString();
        return false;
    }
    wholeSize_ = file_.size();
    startFresh_ = wholeSize_ > 0 && !endsWithLineBreak(path);
    sinceSync_.invalidate();
#if defined(Q_OS_UNIX)
    syncFolderOf(path);
#endif
    return true;
}

void LogFile::close() {
    if (!file_.isOpen()) return;
    if (syncTimer_.isActive()) sync();
    file_.close();
}

bool LogFile::writeLine(const QString& line) {
    if (!file_.isOpen()) return false;
    QByteArray bytes = encoder_.encode(line);
    if (startFresh_) bytes.prepend("\r\n");
    qint64 done = 0;
    // The system may take part of the line and refuse the rest. Qt reports such a short write
    // as success without a reason; asking for the rest again gets the refusal and its reason.
    while (done < bytes.size()) {
        const qint64 n = file_.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) break;
        done += n;
    }
    if (done < bytes.size()) {
        error_ = file_.errorString();
        if (done > 0) cutBackToWholeLines();
        return false;
    }
    wholeSize_ += done;
    startFresh_ = false;
    lineWritten();
    return error_.isEmpty();
}

void LogFile::cutBackToWholeLines() {
    if (file_.resize(wholeSize_)) return;
    // The file cannot be cut (a device, say): leave the part, but never glue a line to it.
    startFresh_ = true;
    wholeSize_ = file_.size();
    file_.seek(wholeSize_);
}

void LogFile::lineWritten() {
    error_.clear();
    if (!sinceSync_.isValid() || sinceSync_.elapsed() >= SyncGroupMs - BatchIntervalMs) {
        sync();
        return;
    }
    if (!syncTimer_.isActive())
        syncTimer_.start(static_cast<int>(SyncGroupMs - sinceSync_.elapsed()));
}

bool LogFile::sync() {
    syncTimer_.stop();
    sinceSync_.start();
    ++syncs_;
    return syncToDevice();
}

bool LogFile::syncToDevice() {
#if defined(Q_OS_WIN)
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(file_.handle()));
    if (FlushFileBuffers(handle)) return true;
    error_ = qt_error_string(static_cast<int>(GetLastError()));
    return false;
#elif defined(Q_OS_UNIX)
#if defined(Q_OS_LINUX)
    if (::fdatasync(file_.handle()) == 0) return true;
#else
    if (::fsync(file_.handle()) == 0) return true;
#endif
    // A file that cannot be synced is no file on a disk (a device, a pipe): nothing to lose.
    if (errno == EINVAL || errno == EROFS) return true;
    error_ = qt_error_string(errno);
    return false;
#else
    return true;
#endif
}

}  // namespace textlog
