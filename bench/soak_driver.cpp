// Line-rate soak: the real main window, fed through a pseudo-terminal at 9600 baud's frame
// rate, with update rate 1, a log file and the graph window open. Prints frames sent and lost,
// CPU per frame, resident memory and the latency from a frame's last byte written to its
// labels being set.
//
//   vellicor-soak [--frames N] [--period-ms P] [--dir DIR]
#include <malloc.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "device/MeasurementHistory.h"
#include "graph/Form3.h"
#include "mainwindow/Form1.h"
#include "textlog/Form2.h"
#include "textlog/LogSession.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               SteadyClock::now().time_since_epoch())
        .count();
}

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Frame number i carried in the pH reading (low 16 bits) and the limit (high bits), so every
// frame is distinct and the labels tell which one arrived.
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

// "[ 812]" -> 812
std::int64_t bracketedValue(const QString& text) {
    QString digits = text;
    digits.remove(QLatin1Char('[')).remove(QLatin1Char(']'));
    return digits.trimmed().toLongLong();
}

struct ScriptedDialog final : textlog::SaveDialog {
    QString path;
    std::optional<QString> askFileName(QWidget*) override { return path; }
};

// The real main window; only the moment its labels are set is noted.
class TimedForm1 final : public mainwindow::Form1 {
public:
    using Form1::Form1;
    std::vector<std::int64_t>* shownNs = nullptr;
    std::int64_t shownCount = 0;
    std::int64_t outOfOrder = 0;

    void showRegisters(const device::RegisterTexts& texts) override {
        Form1::showRegisters(texts);
        const std::int64_t stamp = nowNs();
        const std::int64_t index = bracketedValue(texts.limit) * 65536 + bracketedValue(texts.raw);
        if (index != shownCount) ++outOfOrder;
        if (index >= 0 && index < static_cast<std::int64_t>(shownNs->size()))
            (*shownNs)[index] = stamp;
        ++shownCount;
    }
};

struct Options {
    std::int64_t frames = 100000;
    double periodMs = 12.5;  // 12 bytes of 10 bits at 9600 bit/s
    QString dir;
};

Options parseOptions(const QStringList& args) {
    Options o;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--frames")) {
            o.frames = args[i + 1].toLongLong();
        } else if (args[i] == QLatin1String("--period-ms")) {
            o.periodMs = args[i + 1].toDouble();
        } else if (args[i] == QLatin1String("--dir")) {
            o.dir = args[i + 1];
        } else {
            throw std::runtime_error("usage: vellicor-soak [--frames N] [--period-ms P] [--dir D]");
        }
    }
    if (o.frames < 1 || o.frames > 0xFFFFFFFFLL || !(o.periodMs >= 0)) {
        throw std::runtime_error("frames must be 1..4294967295 and the period not negative");
    }
    return o;
}

double percentile(std::vector<std::int64_t> sorted, double p) {
    if (sorted.empty()) return 0;
    const auto at = static_cast<std::size_t>(p * static_cast<double>(sorted.size() - 1) + 0.5);
    return static_cast<double>(sorted[std::min(at, sorted.size() - 1)]) / 1e6;
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
    ScriptedDialog dialog;
    dialog.path = dir + QStringLiteral("/soak-log.txt");

    int master = -1, slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave, TCSANOW, &tio);

    std::vector<std::int64_t> shownNs(static_cast<std::size_t>(options.frames), 0);
    std::vector<std::int64_t> sentNs(static_cast<std::size_t>(options.frames), 0);

    device::MeasurementHistory history;
    TimedForm1 form(history, dialog);
    form.shownNs = &shownNs;
    QStringList messages;
    form.reportError = [&](const QString& text) {
        messages << text;
        std::fprintf(stderr, "reported: %s\n", qPrintable(text));
    };
    form.show();
    form.Text1->setText(QStringLiteral("1"));
    form.Command6->click();  // "Save Log"
    form.Command4->click();  // "Graph"
    form.connectTo(QString::fromLocal8Bit(name));
    if (!form.MSComm1.PortOpen() || !history.LogToFile) {
        std::fprintf(stderr, "setup failed\n");
        return 1;
    }
    app.processEvents();

    const long rssStartKiB = residentKiB();
    const double cpuStart = cpuSeconds(RUSAGE_SELF);
    const std::int64_t startNs = nowNs();
    std::atomic<double> writerCpu{0};
    std::atomic<bool> writerDone{false};

    std::thread writer([&] {
        const double writerStart = cpuSeconds(RUSAGE_THREAD);
        const auto begin = SteadyClock::now();
        const auto period = std::chrono::duration<double, std::milli>(options.periodMs);
        for (std::int64_t i = 0; i < options.frames; ++i) {
            // Absolute deadlines, so a late wake-up does not slow the whole run down.
            std::this_thread::sleep_until(
                begin + std::chrono::duration_cast<SteadyClock::duration>(period * i));
            const QByteArray frame = frameFor(i);
            // Stamped before the call: the reader may set the labels before write() returns.
            sentNs[static_cast<std::size_t>(i)] = nowNs();
            if (::write(master, frame.constData(), frame.size()) != frame.size()) {
                std::perror("write");
                break;
            }
        }
        writerCpu = cpuSeconds(RUSAGE_THREAD) - writerStart;
        writerDone = true;
    });

    // Wait for the writer, then for the program to catch up or to stall for 5 s.
    std::int64_t lastCount = -1;
    std::int64_t lastProgressNs = nowNs();
    // A loop of its own: quitting the application would close every window first.
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (form.shownCount != lastCount) {
            lastCount = form.shownCount;
            lastProgressNs = nowNs();
        }
        if (!writerDone) return;
        if (form.shownCount >= options.frames || nowNs() - lastProgressNs > 5'000'000'000LL)
            loop.quit();
    });
    check.start(200);
    loop.exec();
    writer.join();

    const double elapsed = static_cast<double>(nowNs() - startNs) / 1e9;
    const double cpu = cpuSeconds(RUSAGE_SELF) - cpuStart - writerCpu;
    const long rssEndKiB = residentKiB();
    const qsizetype textLogChars = form.form2() ? form.form2()->text().size() : 0;

    // What the text log window holds: discard it and see how much memory goes with it.
    if (textlog::Form2* window = form.form2()) window->Command1->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    malloc_trim(0);
    const long rssWithoutTextLogKiB = residentKiB();

    form.Command7_Click();                             // "Exit": closes the log file
    const int logLines = countLines(dialog.path) - 1;  // less the header

    std::vector<std::int64_t> latencies;
    latencies.reserve(shownNs.size());
    std::int64_t unseen = 0;
    for (std::size_t i = 0; i < shownNs.size(); ++i) {
        if (shownNs[i] == 0 || sentNs[i] == 0) {
            ++unseen;
            continue;
        }
        latencies.push_back(shownNs[i] - sentNs[i]);
    }
    std::sort(latencies.begin(), latencies.end());

    std::printf("frames sent          %lld\n", static_cast<long long>(options.frames));
    std::printf("period               %.3f ms\n", options.periodMs);
    std::printf("elapsed              %.1f s\n", elapsed);
    std::printf("frames shown         %lld (out of order %lld)\n",
                static_cast<long long>(form.shownCount), static_cast<long long>(form.outOfOrder));
    std::printf("log lines            %d\n", logLines);
    std::printf("frames lost          %lld\n",
                static_cast<long long>(options.frames - std::max<std::int64_t>(logLines, 0)));
    std::printf("cpu per frame        %.3f ms (program %.1f s, writer %.1f s)\n",
                cpu * 1000 / static_cast<double>(options.frames), cpu, writerCpu.load());
    std::printf("rss start / end      %ld KiB / %ld KiB (growth %ld KiB)\n", rssStartKiB, rssEndKiB,
                rssEndKiB - rssStartKiB);
    std::printf("text log text        %lld characters\n", static_cast<long long>(textLogChars));
    std::printf("rss after closing it %ld KiB (growth %ld KiB)\n", rssWithoutTextLogKiB,
                rssWithoutTextLogKiB - rssStartKiB);
    std::printf("latency median / p99 %.3f ms / %.3f ms (max %.3f ms)\n",
                percentile(latencies, 0.5), percentile(latencies, 0.99),
                latencies.empty() ? 0.0 : static_cast<double>(latencies.back()) / 1e6);
    std::printf("errors reported      %lld\n", static_cast<long long>(messages.size()));
    ::close(master);
    ::close(slave);
    const bool ok = logLines == options.frames && unseen == 0 && messages.isEmpty();
    return ok ? 0 : 1;
}
