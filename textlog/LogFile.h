#pragma once

#include <QFile>
#include <QString>
#include <QStringEncoder>

namespace textlog {

// The log file on disk. Every line goes straight to the operating system, so a crash or a kill
// loses nothing that was logged before it.
class LogFile {
public:
    LogFile() = default;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Creates the file, or truncates an existing one. On failure errorString() says why.
    bool open(const QString& path);
    bool isOpen() const { return file_.isOpen(); }
    // Writes the line in the system's 8-bit encoding; false when the system refused it.
    bool writeLine(const QString& line);
    void close() { file_.close(); }

    QString fileName() const { return file_.fileName(); }
    QString errorString() const { return file_.errorString(); }

private:
    QFile file_;
    QStringEncoder encoder_{QStringConverter::System};
};

}  // namespace textlog
