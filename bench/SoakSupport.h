#pragma once

// What the soak drivers share: the steady clock, resident memory, the numbered frames they
// send, the scripted "Save Log" answer and the log's line count.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>

#include "textlog/LogSession.h"

namespace soak {

std::int64_t nowNs();
// Of this process, from /proc; -1 where it cannot be read.
long residentKiB();
// Frame number i carried in the pH reading (low 16 bits) and the limit (high bits), so every
// frame is distinct and the labels and the log tell which one arrived.
QByteArray frameFor(std::int64_t i);
// Lines in a file, the header included.
int countLines(const QString& path);
// How often the threads of a process were switched out, voluntarily or not, summed over the
// threads alive now (/proc/PID/task/*/status): each is a wake-up the kernel paid for.
double contextSwitches(qint64 pid);
struct Switches {
    double voluntary = 0, involuntary = 0;
    double cpuSeconds = 0;  // the thread's CPU so far, user and system
};
// The same for each thread by its name (threads of one name added up), those the thread asked
// for (it waited) apart from those it did not (preempted, as on a busy machine).
std::map<QString, Switches> contextSwitchesByThread(qint64 pid);

struct ScriptedDialog final : textlog::SaveDialog {
    QString path;
    std::optional<QString> askFileName(QWidget*) override { return path; }
};

}  // namespace soak
