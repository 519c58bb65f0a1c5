// A week of an unattended link in two hours: the real main window, started on a stable port
// name (a symbolic link, as /dev/rfcomm0 is for a Bluetooth link), fed at the line's 80 frames
// a second with a log file, the graph and the text log open, while the link is dropped and
// restored every few minutes behind the same name. Prints the frames lost outside the outages,
// the time from each return of the port to its first logged line, memory at the start and the
// end, and CPU per frame over the first and the last tenth, split between the window's thread
// and the others with the wake-ups per frame of each: a loaded machine wakes the program less
// often and so makes each frame cheaper, which must not be mistaken for a change in the program.
//
//   vellicor-weeksoak [--frames N] [--period-ms P] [--up-s U] [--outages-s A,B,...] [--dir D]
//                     [--preload-lines L] [--byte-ms B]
//
// --byte-ms sends each frame a byte at a time, B ms apart, as a serial line at 9600 baud hands
// its bytes to a reader that is quick to take them (1.04 ms a byte); by default a frame is
// written whole, as a Bluetooth link delivers it.
//
// The device sends only while the program has the port open: frames the regulator sends into
// a link nobody holds are the outage's, not the program's to lose. Before a drop the writer
// waits until the program has shown its last frame, for the same reason.
#include <fcntl.h>
#include <malloc.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>
#include <vector>

#include "SoakSupport.h"
#include "device/MeasurementHistory.h"
#include "graph/Form3.h"
#include "mainwindow/Form1.h"
#include "textlog/Form2.h"
#include "textlog/LogSession.h"

namespace {

using soak::countLines;
using soak::frameFor;
using soak::nowNs;
using soak::residentKiB;
using soak::ScriptedDialog;
using SteadyClock = std::chrono::steady_clock;

// The real main window; it notes which frame each logged line was and when it was logged.
class CountingForm1 final : public mainwindow::Form1 {
public:
    CountingForm1(device::MeasurementHistory& history, textlog::SaveDialog& dialog)
        : Form1(history, dialog), history_(history) {
        // Heard just before the station writes the frame's line, on the same call.
        connect(&station(), &station::Station::frameDecoded, this,
                [this](const device::DeviceFrame& frame, const QDateTime&) {
                    if (!history_.LogToFile) return;
                    const std::int64_t index = std::int64_t{frame.limit} * 65536 + frame.raw;
                    if (index != logged.load()) ++outOfOrder;
                    lastLoggedNs = nowNs();
                    ++logged;
                });
    }
    std::atomic<std::int64_t> logged{0};
    std::atomic<std::int64_t> lastLoggedNs{0};
    std::int64_t outOfOrder = 0;

    qsizetype textLogChars() { return form2() ? form2()->text().size() : 0; }
    // The text log as it stands after a long run: lines logged earlier, shown and scrolled by.
    void preloadTextLog(std::int64_t lines) {
        if (lines <= 0) return;
        const QString line = QStringLiteral("12/8/26 9:05:07 AM  6.99\t7.41\t1\r\n");
        QString all;
        all.reserve(static_cast<qsizetype>(lines) * line.size());
        for (std::int64_t i = 0; i < lines; ++i) all += line;
        textlog::Form2* window = form2();
        window->show();
        window->appendLine(all);
        window->flushPendingLines();
    }
    void discardTextLog() {
        if (textlog::Form2* window = form2()) window->Command1->click();
    }
    void finish() { Command7_Click(); }

private:
    device::MeasurementHistory& history_;
};

// The device side of the link, behind a stable name that moves to a new pseudo-terminal at
// every return, as a Bluetooth serial port comes back on a new link.
class MovingPort {
public:
    explicit MovingPort(QString stableName) : name_(std::move(stableName)) {}
    ~MovingPort() { drop(); }

    void bring() {
        int slave = -1;
        char path[256] = {};
        if (openpty(&master_, &slave, path, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty");
        termios tio{};
        tcgetattr(slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
        ::close(slave);
        // Replaced in one step, so the program never sees a half-made name.
        const QByteArray temp = (name_ + QStringLiteral(".new")).toLocal8Bit();
        ::unlink(temp.constData());
        if (::symlink(path, temp.constData()) != 0 ||
            ::rename(temp.constData(), name_.toLocal8Bit().constData()) != 0)
            throw std::runtime_error("cannot make the port's name");
    }
    // Hangs the device side up and takes the name away.
    void drop() {
        ::unlink(name_.toLocal8Bit().constData());
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }
    bool write(const QByteArray& frame, double byteMs = 0) {
        if (byteMs <= 0) return ::write(master_, frame.constData(), frame.size()) == frame.size();
        for (qsizetype i = 0; i < frame.size(); ++i) {
            if (i > 0)
                std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(byteMs));
            if (::write(master_, frame.constData() + i, 1) != 1) return false;
        }
        return true;
    }

private:
    QString name_;
    int master_ = -1;
};

struct Options {
    std::int64_t frames = 600000;
    double periodMs = 12.5;
    double upSeconds = 300;
    std::vector<double> outageSeconds{1, 4, 10, 35};
    QString dir;
    std::int64_t preloadLines = 0;
    double byteMs = 0;
};

Options parseOptions(const QStringList& args) {
    Options o;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        const QString& value = args[i + 1];
        if (args[i] == QLatin1String("--frames")) {
            o.frames = value.toLongLong();
        } else if (args[i] == QLatin1String("--period-ms")) {
            o.periodMs = value.toDouble();
        } else if (args[i] == QLatin1String("--up-s")) {
            o.upSeconds = value.toDouble();
        } else if (args[i] == QLatin1String("--outages-s")) {
            o.outageSeconds.clear();
            for (const QString& s : value.split(QLatin1Char(',')))
                o.outageSeconds.push_back(s.toDouble());
        } else if (args[i] == QLatin1String("--dir")) {
            o.dir = value;
        } else if (args[i] == QLatin1String("--preload-lines")) {
            o.preloadLines = value.toLongLong();
        } else if (args[i] == QLatin1String("--byte-ms")) {
            o.byteMs = value.toDouble();
        } else {
            throw std::runtime_error(
                "usage: vellicor-weeksoak [--frames N] [--period-ms P] [--up-s U] "
                "[--outages-s A,B,...] [--dir D] [--preload-lines L] [--byte-ms B]");
        }
    }
    if (o.frames < 10 || o.outageSeconds.empty()) throw std::runtime_error("bad options");
    return o;
}

// What the program (the process less the writer) has used up to one moment: CPU, and how
// often its threads were switched out, which is what a frame's wake-ups cost the kernel.
struct CpuMark {
    double process = 0, writer = 0;
    double windowUser = 0, windowSystem = 0;  // the window's thread alone
    double processSwitches = 0, writerSwitches = 0, windowSwitches = 0;
    std::int64_t frames = 0;
};

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// A line's value from a /proc status file, 0 where it is missing.
double statusValue(const QString& path, const QByteArray& key) {
    QFile status(path);
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key)) return line.mid(key.size()).trimmed().toDouble();
    return 0;
}

// Called on the writer's thread.
CpuMark markNow(std::int64_t frames, double writerStart, double writerSwitchesStart) {
    CpuMark m;
    m.frames = frames;
    rusage self{}, writer{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_THREAD, &writer);
    m.process = seconds(self.ru_utime) + seconds(self.ru_stime);
    m.writer = seconds(writer.ru_utime) + seconds(writer.ru_stime) - writerStart;
    m.processSwitches = static_cast<double>(self.ru_nvcsw + self.ru_nivcsw);
    m.writerSwitches =
        static_cast<double>(writer.ru_nvcsw + writer.ru_nivcsw) - writerSwitchesStart;
    const QString task = QStringLiteral("/proc/self/task/%1/").arg(::getpid());
    QFile stat(task + QStringLiteral("stat"));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        // After the parenthesised name: utime is the 12th field, stime the 13th.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        const double tick = static_cast<double>(::sysconf(_SC_CLK_TCK));
        if (fields.size() > 12) {
            m.windowUser = fields[11].toDouble() / tick;
            m.windowSystem = fields[12].toDouble() / tick;
        }
    }
    m.windowSwitches = statusValue(task + QStringLiteral("status"), "voluntary_ctxt_switches:") +
                       statusValue(task + QStringLiteral("status"), "nonvoluntary_ctxt_switches:");
    return m;
}

double cpuPerFrameMs(const CpuMark& a, const CpuMark& b) {
    const double cpu = (b.process - a.process) - (b.writer - a.writer);
    return cpu * 1000 / static_cast<double>(std::max<std::int64_t>(b.frames - a.frames, 1));
}

// Where a stretch's CPU went: the window's thread (user and system) and the others (the
// port's reader, the display's), with the wake-ups per frame of each.
void printCpu(const char* name, const CpuMark& a, const CpuMark& b) {
    const double frames = static_cast<double>(std::max<std::int64_t>(b.frames - a.frames, 1));
    const double all = (b.process - a.process) - (b.writer - a.writer);
    const double user = b.windowUser - a.windowUser, system = b.windowSystem - a.windowSystem;
    const double windowWakes = b.windowSwitches - a.windowSwitches;
    const double otherWakes = (b.processSwitches - a.processSwitches) -
                              (b.writerSwitches - a.writerSwitches) - windowWakes;
    std::printf(
        "  %-11s window thread user %.3f ms, system %.3f ms, %.2f wake-ups; "
        "other threads %.3f ms, %.2f wake-ups\n",
        name, user * 1000 / frames, system * 1000 / frames, windowWakes / frames,
        (all - user - system) * 1000 / frames, otherWakes / frames);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    Options options;
    try {
        options = parseOptions(app.arguments());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
    QTemporaryDir temp;
    const QString dir = options.dir.isEmpty() ? temp.path() : options.dir;
    QDir().mkpath(dir);
    const QString logPath = dir + QStringLiteral("/weeksoak-log.txt");
    const QString portName = dir + QStringLiteral("/rfcomm0");

    ScriptedDialog dialog;
    dialog.path = logPath;
    device::MeasurementHistory history;
    CountingForm1 form(history, dialog);
    QStringList messages;
    form.reportError = [&](const QString& text) { messages << text; };
    std::atomic<int> restored{0};
    QObject::connect(&form.MSComm1, &device::MSComm::linkRestored, [&] { ++restored; });
    form.show();
    form.Text1->setText(QStringLiteral("1"));
    form.Command6->click();  // "Save Log"
    form.Command4->click();  // "Graph"
    form.preloadTextLog(options.preloadLines);
    if (!history.LogToFile) {
        std::fprintf(stderr, "setup failed\n");
        return 1;
    }

    MovingPort port(portName);
    port.bring();
    // As started at login with the port's name.
    form.watchPort(portName);

    const std::int64_t startNs = nowNs();
    const long rssStartKiB = residentKiB();
    const QString processStatus = QStringLiteral("/proc/self/status");
    const double threadsStart = statusValue(processStatus, "Threads:");
    std::atomic<bool> done{false};
    std::atomic<std::int64_t> sent{0};
    std::vector<double> returnToLogS;
    std::vector<CpuMark> marks;  // at 0, a tenth, nine tenths and the end of the frames
    std::atomic<int> drops{0};
    std::atomic<double> outageTotalS{0};

    std::thread writer([&] {
        const CpuMark writerStart = markNow(0, 0, 0);
        const auto mark = [&](std::int64_t frames) {
            marks.push_back(markNow(frames, writerStart.writer, writerStart.writerSwitches));
        };
        const auto period = std::chrono::duration<double, std::milli>(options.periodMs);
        const auto waitFor = [&](auto pred, double seconds) {
            const std::int64_t until = nowNs() + static_cast<std::int64_t>(seconds * 1e9);
            while (!pred() && nowNs() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            return pred();
        };
        // The first opening, from start-up.
        waitFor([&] { return restored.load() >= 1; }, 60);
        auto begin = SteadyClock::now();
        std::int64_t sinceUp = 0;
        std::size_t outage = 0;
        const auto upFrames =
            static_cast<std::int64_t>(options.upSeconds * 1000 / options.periodMs);
        mark(0);
        for (std::int64_t i = 0; i < options.frames; ++i) {
            if (i == options.frames / 10 || i == options.frames - options.frames / 10) mark(i);
            if (sinceUp == upFrames) {
                // The device has said its last before the drop; then the link goes.
                waitFor([&] { return form.logged.load() == i; }, 5);
                const int restoredBefore = restored.load();
                port.drop();
                const double outageS =
                    options.outageSeconds[outage++ % options.outageSeconds.size()];
                std::this_thread::sleep_for(std::chrono::duration<double>(outageS));
                port.bring();
                const std::int64_t backNs = nowNs();
                const std::int64_t loggedBefore = form.logged.load();
                if (!waitFor([&] { return restored.load() > restoredBefore; }, 120)) {
                    std::fprintf(stderr, "the port did not reopen within two minutes\n");
                    break;
                }
                ++drops;
                outageTotalS = outageTotalS + outageS;
                // The first frame of the returned link, and the moment it was logged.
                port.write(frameFor(i), options.byteMs);
                sent = i + 1;
                waitFor([&] { return form.logged.load() > loggedBefore; }, 10);
                returnToLogS.push_back(static_cast<double>(form.lastLoggedNs.load() - backNs) /
                                       1e9);
                sinceUp = 1;
                begin = SteadyClock::now();
                continue;
            }
            std::this_thread::sleep_until(
                begin + std::chrono::duration_cast<SteadyClock::duration>(period * sinceUp));
            if (!port.write(frameFor(i), options.byteMs)) {
                std::perror("write");
                break;
            }
            sent = i + 1;
            ++sinceUp;
        }
        waitFor([&] { return form.logged.load() >= sent.load(); }, 5);
        mark(sent.load());
        done = true;
    });

    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done) loop.quit();
    });
    check.start(200);
    loop.exec();
    writer.join();

    const long rssEndKiB = residentKiB();
    const double threadsEnd = statusValue(processStatus, "Threads:");
    const qsizetype textLogChars = form.textLogChars();
    form.discardTextLog();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    malloc_trim(0);
    const long rssWithoutTextLogKiB = residentKiB();
    form.finish();
    const std::int64_t lines = countLines(logPath) - 1;
    const double elapsed = static_cast<double>(nowNs() - startNs) / 1e9;

    std::sort(returnToLogS.begin(), returnToLogS.end());
    std::printf("frames sent          %lld in %.0f s\n", static_cast<long long>(sent.load()),
                elapsed);
    std::printf("drops                %d (%.0f s without the link in all)\n", drops.load(),
                outageTotalS.load());
    std::printf("log lines            %lld (out of order %lld)\n", static_cast<long long>(lines),
                static_cast<long long>(form.outOfOrder));
    std::printf("lost outside outages %lld\n", static_cast<long long>(sent.load() - lines));
    if (!returnToLogS.empty()) {
        std::printf("return to first line median %.2f s, longest %.2f s\n",
                    returnToLogS[returnToLogS.size() / 2], returnToLogS.back());
    }
    std::printf("rss start / end      %ld KiB / %ld KiB\n", rssStartKiB, rssEndKiB);
    std::printf("memory per line      %.1f bytes (text log holds %lld characters)\n",
                static_cast<double>(rssEndKiB - rssStartKiB) * 1024 /
                    static_cast<double>(std::max<std::int64_t>(lines, 1)),
                static_cast<long long>(textLogChars));
    std::printf("rss without text log %ld KiB\n", rssWithoutTextLogKiB);
    if (marks.size() == 4) {
        std::printf("cpu per frame        first tenth %.3f ms, last tenth %.3f ms\n",
                    cpuPerFrameMs(marks[0], marks[1]), cpuPerFrameMs(marks[2], marks[3]));
        printCpu("first tenth", marks[0], marks[1]);
        printCpu("last tenth", marks[2], marks[3]);
    }
    std::printf("threads start / end  %.0f / %.0f (the writer among them)\n", threadsStart,
                threadsEnd);
    std::printf("messages reported    %lld\n", static_cast<long long>(messages.size()));
    if (!messages.isEmpty()) std::printf("  the first: %s\n", qPrintable(messages.first()));
    const bool ok = lines == sent.load() && form.outOfOrder == 0;
    return ok ? 0 : 1;
}
