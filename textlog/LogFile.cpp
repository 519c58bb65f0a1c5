#include "LogFile.h"

namespace textlog {

bool LogFile::open(const QString& path) {
    file_.setFileName(path);
    // Unbuffered: each write reaches the system at once instead of waiting in Qt's buffer.
    return file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

bool LogFile::writeLine(const QString& line) {
    if (!file_.isOpen()) return false;
    const QByteArray bytes = encoder_.encode(line);
    return file_.write(bytes) == bytes.size();
}

}  // namespace textlog
