#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <vector>

#include "BuiltProgram.h"
#include "tools/sim/SimModel.h"

namespace simtest {

// The simulator program as a child process, with the pseudo-terminal it opens itself.
class SimProcess {
public:
    explicit SimProcess(const QStringList& args) {
        testsupport::startBuiltProgram(process_, QStringLiteral(VELLICOR_SIM_PATH), args);
        if (!process_.waitForStarted(5000)) return;
        // The first line of its output is the port to open.
        while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
        }
        port_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    }
    ~SimProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    QString port() const { return port_; }
    QProcess& process() { return process_; }
    bool finished() {
        return process_.state() == QProcess::NotRunning || process_.waitForFinished(5000);
    }

private:
    QProcess process_;
    QString port_;
};

// Each full frame the simulator wrote to its trace.
inline std::vector<sim::Bytes> tracedFrames(const QString& path) {
    std::vector<sim::Bytes> frames;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return frames;
    while (!file.atEnd()) {
        const QStringList items = QString::fromLatin1(file.readLine()).simplified().split(' ');
        if (items.value(0) != QLatin1String("frame")) continue;
        sim::Bytes bytes;
        for (qsizetype i = 1; i < items.size(); ++i) {
            bytes.push_back(static_cast<std::uint8_t>(items[i].toUInt(nullptr, 16)));
        }
        frames.push_back(bytes);
    }
    return frames;
}

// A 16-bit register of a frame, low byte first.
inline int word(const sim::Bytes& b, int lowIndex) {
    return b[lowIndex] + 256 * b[lowIndex + 1];
}

// The log file's lines without their CR LF; empty when the file is missing.
inline QStringList logLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

}  // namespace simtest
