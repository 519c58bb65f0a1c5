// Line-rate soak: the real main window, fed through a pseudo-terminal at 9600 baud's frame
// rate, with update rate 1 and a log file open. Prints frames sent and lost, CPU and context
// switches per frame, resident memory and the latency from a frame's last byte written to its
// reaching the main window.
//
//   vellicor-soak [--frames N] [--period-ms P] [--dir DIR] [--windows W] [--cutecom] [--floor]
//                 [--rss-every N]
//
// --windows says which secondary windows stay open: both (the default), graph, textlog or
// none. A closed one still exists hidden, as it does for a user who closed it.
// --floor measures, instead of the program, the least any Qt program showing this line live
// must do (see FloorProgram): the floor under the program's figures on this machine.
// --rss-every prints resident memory each time N more frames have been shown.
// --cutecom also feeds the same frames, at the same moments, to the generic serial monitor
// CuteCom on a second pseudo-terminal and reports its CPU over the same stretch. It needs an
// X display ($DISPLAY), xdotool to press CuteCom's "Open", and runs CuteCom with a settings
// folder of its own.
#include <fcntl.h>
#include <malloc.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "RepaintPacer.h"
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

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Of this process (threads that have ended included) or of the calling thread: every switch.
double switchesOf(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_nvcsw + usage.ru_nivcsw);
}

// Of the whole process (the writer's share included): the time in the kernel.
double systemSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_stime);
}

// The real main window; only the moment each frame reaches its station is noted. Every frame
// is handed over one by one, even where only the newest of a batch is shown.
class TimedForm1 final : public mainwindow::Form1 {
public:
    TimedForm1(device::MeasurementHistory& history, textlog::SaveDialog& dialog)
        : Form1(history, dialog) {
        connect(&station(), &station::Station::frameDecoded, this,
                [this](const device::DeviceFrame& frame, const QDateTime&) {
                    const std::int64_t stamp = nowNs();
                    const std::int64_t index = std::int64_t{frame.limit} * 65536 + frame.raw;
                    if (index != shownCount) ++outOfOrder;
                    if (index >= 0 && index < static_cast<std::int64_t>(shownNs->size()))
                        (*shownNs)[index] = stamp;
                    ++shownCount;
                });
    }
    std::vector<std::int64_t>* shownNs = nullptr;
    std::int64_t shownCount = 0;
    std::int64_t outOfOrder = 0;

    qsizetype textLogChars() { return form2() ? form2()->text().size() : 0; }
    void discardTextLog() {
        if (textlog::Form2* window = form2()) window->Command1->click();
    }
    void finish() { Command7_Click(); }  // "Exit": closes the log file
};

// The least any Qt program showing this line live must do, for the floor under the program's
// own figures: read each frame as it comes, write it to the log file as one line of about the
// same length, and keep a window for each of the program's open ones showing the latest frame
// at ten pictures a second.
class FloorProgram {
public:
    std::vector<std::int64_t>* shownNs = nullptr;
    std::int64_t shownCount = 0;
    std::int64_t outOfOrder = 0;

    explicit FloorProgram(int windows) {
        QFont font;
        font.setPointSize(24);
        windows_.resize(static_cast<std::size_t>(windows));
        for (auto& window : windows_) {
            window = std::make_unique<QLabel>();
            window->setFont(font);
            window->resize(320, 120);
            new soak::RepaintPacer(window.get());
        }
        QObject::connect(&port_, &QSerialPort::readyRead, [this] { readArrived(); });
    }

    bool start(const QString& device, const QString& logPath) {
        log_.setFileName(logPath);
        if (!log_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            return false;
        log_.write("frames\r\n");  // a header line, as the program's log has
        for (auto& window : windows_) window->show();
        port_.setPortName(device);
        port_.setBaudRate(9600);
        return port_.open(QIODevice::ReadOnly);
    }

    qsizetype textLogChars() const { return 0; }
    void discardTextLog() {}
    void finish() { log_.close(); }

private:
    void readArrived() {
        waiting_ += port_.readAll();
        while (waiting_.size() >= 12) {
            const auto* b = reinterpret_cast<const quint8*>(waiting_.constData());
            const std::int64_t index =
                (std::int64_t{b[0]} | b[1] << 8) * 65536 + (b[10] | b[11] << 8);
            QString line = QDateTime::currentDateTime().toString(Qt::ISODate);
            for (int i = 0; i < 12; ++i) line += QString::number(b[i]).rightJustified(9);
            line += QStringLiteral("\r\n");
            log_.write(line.toLocal8Bit());
            const QString shown = QString::number(index);
            for (auto& window : windows_) window->setText(shown);
            if (index != shownCount) ++outOfOrder;
            if (index >= 0 && index < static_cast<std::int64_t>(shownNs->size()))
                (*shownNs)[index] = nowNs();
            ++shownCount;
            waiting_.remove(0, 12);
        }
    }

    QSerialPort port_;
    QFile log_;
    QByteArray waiting_;
    std::vector<std::unique_ptr<QLabel>> windows_;
};

enum class Windows { Both, Graph, TextLog, None };

struct Options {
    std::int64_t frames = 100000;
    double periodMs = 12.5;  // 12 bytes of 10 bits at 9600 bit/s
    QString dir;
    Windows windows = Windows::Both;
    bool cutecom = false;
    bool floor = false;
    std::int64_t rssEvery = 0;  // frames between two readings of resident memory, 0 for none
};

const char* const Usage =
    "usage: vellicor-soak [--frames N] [--period-ms P] [--dir D] "
    "[--windows both|graph|textlog|none] [--cutecom] [--floor] [--rss-every N]";

Windows parseWindows(const QString& text) {
    if (text == QLatin1String("both")) return Windows::Both;
    if (text == QLatin1String("graph")) return Windows::Graph;
    if (text == QLatin1String("textlog")) return Windows::TextLog;
    if (text == QLatin1String("none")) return Windows::None;
    throw std::runtime_error(Usage);
}

const char* windowsName(Windows w) {
    switch (w) {
        case Windows::Both:
            return "graph and text log open";
        case Windows::Graph:
            return "graph open, text log closed";
        case Windows::TextLog:
            return "text log open, graph closed";
        case Windows::None:
            return "both closed";
    }
    return "";
}

Options parseOptions(const QStringList& args) {
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--cutecom")) {
            o.cutecom = true;
            continue;
        }
        if (args[i] == QLatin1String("--floor")) {
            o.floor = true;
            continue;
        }
        if (i + 1 >= args.size()) throw std::runtime_error(Usage);
        const QString& value = args[++i];
        if (args[i - 1] == QLatin1String("--frames")) {
            o.frames = value.toLongLong();
        } else if (args[i - 1] == QLatin1String("--period-ms")) {
            o.periodMs = value.toDouble();
        } else if (args[i - 1] == QLatin1String("--dir")) {
            o.dir = value;
        } else if (args[i - 1] == QLatin1String("--rss-every")) {
            o.rssEvery = value.toLongLong();
        } else if (args[i - 1] == QLatin1String("--windows")) {
            o.windows = parseWindows(value);
        } else {
            throw std::runtime_error(Usage);
        }
    }
    if (o.frames < 1 || o.frames > 0xFFFFFFFFLL || !(o.periodMs >= 0)) {
        throw std::runtime_error("frames must be 1..4294967295 and the period not negative");
    }
    return o;
}

// CPU time of another process so far, from /proc/PID/stat (user and system clock ticks).
double processCpuSeconds(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return -1;
    const QByteArray line = stat.readAll();
    // The command name in brackets may hold blanks; the fields after it are plain.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return -1;
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return (fields[11].toDouble() + fields[12].toDouble()) / ticks;
}

// Does the process hold the device open?
bool processHasOpen(qint64 pid, const QString& device) {
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QString& fd : fds.entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files)) {
        if (QFile::symLinkTarget(fds.filePath(fd)) == device) return true;
    }
    return false;
}

QString runAndRead(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// CuteCom on its own pseudo-terminal, its port opened at 9600 baud with plain output, as a
// user would set it up. The writer feeds it the same frames as the program.
class CuteCom {
public:
    ~CuteCom() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(3000)) {
                process_.kill();
                process_.waitForFinished();
            }
        }
        if (master_ >= 0) ::close(master_);
        if (slave_ >= 0) ::close(slave_);
    }

    bool start(const QString& settingsDir) {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) return fail("openpty");
        termios tio{};
        tcgetattr(slave_, &tio);
        cfmakeraw(&tio);
        tcsetattr(slave_, TCSANOW, &tio);
        // A monitor that falls behind must not hold the program's feed up.
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        device_ = QString::fromLocal8Bit(name);

        QDir().mkpath(settingsDir + QStringLiteral("/CuteCom"));
        QFile conf(settingsDir + QStringLiteral("/CuteCom/CuteCom5.conf"));
        if (!conf.open(QIODevice::WriteOnly)) return fail("cannot write CuteCom's settings");
        conf.write(QStringLiteral("[sessions]\n1\\BaudRate=9600\n1\\DataBits=8\n"
                                  "1\\Device=%1\n1\\FlowControl=0\n1\\OpenMode=3\n"
                                  "1\\Parity=0\n1\\StopBits=1\n1\\autoReconnect=false\n"
                                  "1\\name=Default\n1\\showCtrlCharacters=false\n"
                                  "1\\showTimestamp=false\nsize=1\n")
                       .arg(device_)
                       .toLocal8Bit());
        conf.close();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), settingsDir);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        process_.setProcessEnvironment(env);
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.start(QStringLiteral("cutecom"), {});
        if (!process_.waitForStarted(5000)) return fail("cutecom did not start");

        const QString window = runAndRead(QStringLiteral("xdotool"),
                                          {QStringLiteral("search"), QStringLiteral("--sync"),
                                           QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                           QString::number(process_.processId()),
                                           QStringLiteral("--name"), QStringLiteral("CuteCom")},
                                          20000)
                                   .section(QLatin1Char('\n'), 0, 0);
        if (window.isEmpty()) return fail("CuteCom's window did not appear");
        QThread::msleep(500);  // past its start-up
        // "Open" sits at the top left of its window.
        runAndRead(
            QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QStringLiteral("--window"), window, QStringLiteral("50"),
             QStringLiteral("43"), QStringLiteral("click"), QStringLiteral("1")},
            5000);
        for (int i = 0; i < 100 && !processHasOpen(process_.processId(), device_); ++i) {
            QThread::msleep(100);
        }
        if (!processHasOpen(process_.processId(), device_)) return fail("CuteCom did not open");
        return true;
    }

    double cpuSeconds() const { return processCpuSeconds(process_.processId()); }
    double switches() const { return soak::contextSwitches(process_.processId()); }

    // Called by the writer thread only.
    void write(const QByteArray& frame) {
        if (::write(master_, frame.constData(), frame.size()) != frame.size()) ++dropped_;
    }
    std::int64_t dropped() const { return dropped_; }

private:
    bool fail(const char* what) {
        std::fprintf(stderr, "cutecom: %s\n", what);
        return false;
    }

    QProcess process_;
    int master_ = -1, slave_ = -1;
    QString device_;
    std::atomic<std::int64_t> dropped_{0};
};

double percentile(std::vector<std::int64_t> sorted, double p) {
    if (sorted.empty()) return 0;
    const auto at = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return static_cast<double>(sorted[std::min(at, sorted.size() - 1)]) / 1e6;
}

// What the run shares between the program and the floor.
struct Run {
    Options options;
    int master = -1;
    CuteCom* cutecom = nullptr;
    QString logPath;
    std::vector<std::int64_t> shownNs, sentNs;
    QStringList messages;
};

// Feeds the frames at the line's pace and reports what the subject made of them.
template <class Subject>
int measure(Subject& subject, Run& run) {
    const Options& options = run.options;
    CuteCom* const cutecom = run.cutecom;
    const long rssStartKiB = residentKiB();
    const double cpuStart = cpuSeconds(RUSAGE_SELF);
    const double systemStart = systemSeconds();
    const double cutecomStart = cutecom ? cutecom->cpuSeconds() : 0;
    const std::map<QString, soak::Switches> threadSwitchesStart =
        soak::contextSwitchesByThread(::getpid());
    const double switchesStart = switchesOf(RUSAGE_SELF);
    const double cutecomSwitchesStart = cutecom ? cutecom->switches() : 0;
    const std::int64_t startNs = nowNs();
    std::atomic<double> writerCpu{0};
    std::atomic<double> writerSwitches{0};
    std::atomic<bool> writerDone{false};
    // Seldom while the line runs, as its own wake-ups are billed to the program (at 4 s, 0.003 a
    // frame at the line's rate); often once the writer is done, to end the run soon after.
    QTimer check;

    std::thread writer([&] {
        const double writerStart = cpuSeconds(RUSAGE_THREAD);
        const double writerSwitchesStart = switchesOf(RUSAGE_THREAD);
        const auto begin = SteadyClock::now();
        const auto period = std::chrono::duration<double, std::milli>(options.periodMs);
        for (std::int64_t i = 0; i < options.frames; ++i) {
            // Absolute deadlines, so a late wake-up does not slow the whole run down.
            std::this_thread::sleep_until(
                begin + std::chrono::duration_cast<SteadyClock::duration>(period * i));
            const QByteArray frame = frameFor(i);
            // Stamped before the call: the reader may set the labels before write() returns.
            run.sentNs[static_cast<std::size_t>(i)] = nowNs();
            if (::write(run.master, frame.constData(), frame.size()) != frame.size()) {
                std::perror("write");
                break;
            }
            if (cutecom) cutecom->write(frame);
        }
        writerCpu = cpuSeconds(RUSAGE_THREAD) - writerStart;
        writerSwitches = switchesOf(RUSAGE_THREAD) - writerSwitchesStart;
        writerDone = true;
        QMetaObject::invokeMethod(
            &check, [&check] { check.start(100); }, Qt::QueuedConnection);
    });

    // Wait for the writer, then for the subject to catch up or to stall for 5 s.
    std::int64_t lastCount = -1;
    std::int64_t lastProgressNs = nowNs();
    // A loop of its own: quitting the application would close every window first.
    QEventLoop loop;
    std::int64_t nextRss = options.rssEvery;
    QObject::connect(&check, &QTimer::timeout, [&] {
        for (; options.rssEvery > 0 && subject.shownCount >= nextRss; nextRss += options.rssEvery) {
            std::printf("rss at %8lld frames  %ld KiB\n", static_cast<long long>(nextRss),
                        residentKiB());
            std::fflush(stdout);
        }
        if (subject.shownCount != lastCount) {
            lastCount = subject.shownCount;
            lastProgressNs = nowNs();
        }
        if (!writerDone) return;
        if (subject.shownCount >= options.frames || nowNs() - lastProgressNs > 5'000'000'000LL)
            loop.quit();
    });
    check.start(4000);
    loop.exec();
    writer.join();

    const double elapsed = static_cast<double>(nowNs() - startNs) / 1e9;
    const double cpu = cpuSeconds(RUSAGE_SELF) - cpuStart - writerCpu;
    const double system = systemSeconds() - systemStart;
    const double cutecomCpu = cutecom ? cutecom->cpuSeconds() - cutecomStart : 0;
    // The writer is the device, not the program. The process's count holds the threads that
    // ended meanwhile, such as a pool's idle threads, which a count of the living misses.
    const double switches = switchesOf(RUSAGE_SELF) - switchesStart - writerSwitches;
    const double cutecomSwitches = cutecom ? cutecom->switches() - cutecomSwitchesStart : 0;
    const std::map<QString, soak::Switches> threadSwitchesEnd =
        soak::contextSwitchesByThread(::getpid());
    const long rssEndKiB = residentKiB();
    const qsizetype textLogChars = subject.textLogChars();

    // What the text log window holds: discard it and see how much memory goes with it.
    subject.discardTextLog();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    malloc_trim(0);
    const long rssWithoutTextLogKiB = residentKiB();

    subject.finish();
    const int logLines = countLines(run.logPath) - 1;  // less the header

    std::vector<std::int64_t> latencies;
    latencies.reserve(run.shownNs.size());
    std::int64_t unseen = 0;
    for (std::size_t i = 0; i < run.shownNs.size(); ++i) {
        if (run.shownNs[i] == 0 || run.sentNs[i] == 0) {
            ++unseen;
            continue;
        }
        latencies.push_back(run.shownNs[i] - run.sentNs[i]);
    }
    std::sort(latencies.begin(), latencies.end());

    std::printf("frames sent          %lld\n", static_cast<long long>(options.frames));
    std::printf("period               %.3f ms\n", options.periodMs);
    std::printf("platform             %s\n", qPrintable(QGuiApplication::platformName()));
    std::printf("windows              %s%s\n", windowsName(options.windows),
                options.floor ? " (floor: a window of a label for each open one)" : "");
    std::printf("elapsed              %.1f s\n", elapsed);
    std::printf("frames shown         %lld (out of order %lld)\n",
                static_cast<long long>(subject.shownCount),
                static_cast<long long>(subject.outOfOrder));
    std::printf("log lines            %d\n", logLines);
    std::printf("frames lost          %lld\n",
                static_cast<long long>(options.frames - std::max<std::int64_t>(logLines, 0)));
    std::printf("cpu per frame        %.3f ms (program %.1f s, writer %.1f s)\n",
                cpu * 1000 / static_cast<double>(options.frames), cpu, writerCpu.load());
    std::printf("  of it in kernel    %.3f ms (writer's included)\n",
                system * 1000 / static_cast<double>(options.frames));
    std::printf("switches per frame   %.2f (all threads but the writer)\n",
                switches / static_cast<double>(options.frames));
    // By thread, as each names itself: the window's thread bears the program's name.
    double living = 0;
    for (const auto& [name, end] : threadSwitchesEnd) {
        const auto start = threadSwitchesStart.find(name);
        const soak::Switches from =
            start == threadSwitchesStart.end() ? soak::Switches{} : start->second;
        const double frames = static_cast<double>(options.frames);
        living += end.voluntary - from.voluntary + end.involuntary - from.involuntary;
        std::printf("  %-18s %.2f waiting, %.2f preempted, %.3f ms cpu\n", qPrintable(name),
                    (end.voluntary - from.voluntary) / frames,
                    (end.involuntary - from.involuntary) / frames,
                    (end.cpuSeconds - from.cpuSeconds) * 1000 / frames);
    }
    // The writer, whose thread has ended, is in neither count.
    std::printf("  %-18s %.2f\n", "threads now ended",
                (switches - living) / static_cast<double>(options.frames));
    std::printf("rss start / end      %ld KiB / %ld KiB (growth %ld KiB)\n", rssStartKiB, rssEndKiB,
                rssEndKiB - rssStartKiB);
    std::printf("text log text        %lld characters\n", static_cast<long long>(textLogChars));
    std::printf("rss after closing it %ld KiB (growth %ld KiB)\n", rssWithoutTextLogKiB,
                rssWithoutTextLogKiB - rssStartKiB);
    std::printf("latency median / p99 %.3f ms / %.3f ms (max %.3f ms)\n",
                percentile(latencies, 0.5), percentile(latencies, 0.99),
                latencies.empty() ? 0.0 : static_cast<double>(latencies.back()) / 1e6);
    std::printf("errors reported      %lld\n", static_cast<long long>(run.messages.size()));
    if (cutecom) {
        std::printf("cutecom cpu / frame  %.3f ms (%.2f s, %lld frames not taken)\n",
                    cutecomCpu * 1000 / static_cast<double>(options.frames), cutecomCpu,
                    static_cast<long long>(cutecom->dropped()));
        std::printf("cutecom switches     %.2f per frame\n",
                    cutecomSwitches / static_cast<double>(options.frames));
        std::printf("program / cutecom    %.2f\n", cpu / cutecomCpu);
    }
    const bool ok = logLines == options.frames && unseen == 0 && run.messages.isEmpty();
    return ok ? 0 : 1;
}

int measureProgram(Run& run, const QString& device) {
    ScriptedDialog dialog;
    dialog.path = run.logPath;
    device::MeasurementHistory history;
    TimedForm1 form(history, dialog);
    form.shownNs = &run.shownNs;
    form.reportError = [&](const QString& text) {
        run.messages << text;
        std::fprintf(stderr, "reported: %s\n", qPrintable(text));
    };
    form.show();
    form.Text1->setText(QStringLiteral("1"));
    form.Command6->click();  // "Save Log"
    form.Command4->click();  // "Graph"
    form.connectTo(device);
    if (!form.MSComm1.PortOpen() || !history.LogToFile) {
        std::fprintf(stderr, "setup failed\n");
        return 1;
    }
    const Windows windows = run.options.windows;
    // Closed windows come back hidden with the first frame, as they do for the user.
    if (windows == Windows::Graph || windows == Windows::None) form.form2()->Command1->click();
    if (windows == Windows::TextLog || windows == Windows::None) form.form3()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    return measure(form, run);
}

int measureFloor(Run& run, const QString& device) {
    const Windows windows = run.options.windows;
    FloorProgram floor(1 + (windows == Windows::Both ? 2 : windows == Windows::None ? 0 : 1));
    floor.shownNs = &run.shownNs;
    if (!floor.start(device, run.logPath)) {
        std::fprintf(stderr, "setup failed\n");
        return 1;
    }
    QCoreApplication::processEvents();
    return measure(floor, run);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    Run run;
    try {
        run.options = parseOptions(app.arguments());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }

    QTemporaryDir temp;
    const QString dir = run.options.dir.isEmpty() ? temp.path() : run.options.dir;
    QDir().mkpath(dir);
    run.logPath = dir + QStringLiteral("/soak-log.txt");

    int slave = -1;
    char name[256] = {};
    if (openpty(&run.master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);

    std::unique_ptr<CuteCom> cutecom;
    if (run.options.cutecom) {
        cutecom = std::make_unique<CuteCom>();
        if (!cutecom->start(temp.path() + QStringLiteral("/cutecom-settings"))) return 1;
        run.cutecom = cutecom.get();
    }
    const auto frames = static_cast<std::size_t>(run.options.frames);
    run.shownNs.assign(frames, 0);
    run.sentNs.assign(frames, 0);

    const QString device = QString::fromLocal8Bit(name);
    const int status = run.options.floor ? measureFloor(run, device) : measureProgram(run, device);
    ::close(run.master);
    ::close(slave);
    return status;
}
