#include "SoakSupport.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <chrono>

namespace soak {

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

QByteArray frameFor(std::int64_t i) {
    const auto raw = static_cast<quint16>(i & 0xFFFF);
    const auto limit = static_cast<quint16>((i >> 16) & 0xFFFF);
    const quint8 bytes[12] = {static_cast<quint8>(limit & 0xFF),
                              static_cast<quint8>(limit >> 8),
                              0x8B,
                              0x02,
                              0xFD,
                              0x00,
                              0x5A,
                              static_cast<quint8>(i & 1),
                              0xE8,
                              0x03,
                              static_cast<quint8>(raw & 0xFF),
                              static_cast<quint8>(raw >> 8)};
    return QByteArray(reinterpret_cast<const char*>(bytes), 12);
}

int countLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    int lines = 0;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 20);
        lines += static_cast<int>(chunk.count('\n'));
    }
    return lines;
}

std::map<QString, Switches> contextSwitchesByThread(qint64 pid) {
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    std::map<QString, Switches> byName;
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile status(tasks.filePath(task) + QStringLiteral("/status"));
        if (!status.open(QIODevice::ReadOnly)) continue;  // the thread has just ended
        QString name;
        Switches sum;
        for (const QByteArray& line : status.readAll().split('\n')) {
            const double value = line.mid(line.indexOf(':') + 1).trimmed().toDouble();
            if (line.startsWith("Name:")) name = QString::fromUtf8(line.mid(5).trimmed());
            if (line.startsWith("voluntary_ctxt_switches:")) sum.voluntary = value;
            if (line.startsWith("nonvoluntary_ctxt_switches:")) sum.involuntary = value;
        }
        QFile stat(tasks.filePath(task) + QStringLiteral("/stat"));
        if (stat.open(QIODevice::ReadOnly)) {
            // After the name in brackets: state is field 3, utime and stime fields 14 and 15.
            const QByteArray text = stat.readAll();
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 12)
                sum.cpuSeconds = (fields[11].toDouble() + fields[12].toDouble()) /
                                 static_cast<double>(::sysconf(_SC_CLK_TCK));
        }
        byName[name].voluntary += sum.voluntary;
        byName[name].involuntary += sum.involuntary;
        byName[name].cpuSeconds += sum.cpuSeconds;
    }
    return byName;
}

double contextSwitches(qint64 pid) {
    double sum = 0;
    for (const auto& [name, switches] : contextSwitchesByThread(pid))
        sum += switches.voluntary + switches.involuntary;
    return sum;
}

}  // namespace soak
