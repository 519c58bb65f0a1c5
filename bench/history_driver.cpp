// The history window over a long log: bench/history runs it.
//   vellicor-historybench generate FILE DAYS   writes DAYS of lines, one a second
//   vellicor-historybench measure FILE         first and later opening, zoom, pan, memory
//   vellicor-historybench export FILE PNG      the whole file as the README shows it
// The lines are the real writer's: one is written by it for each day and locale and the rest
// are that template with the time and the numbers put in, checked against the writer.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "SoakSupport.h"
#include "device/NumberText.h"
#include "device/RegionalText.h"
#include "history/Export.h"
#include "history/HistoryPlot.h"
#include "history/HistoryWindow.h"
#include "history/Summary.h"
#include "textlog/LogLine.h"

namespace {

// Print zones as the writer lays them out: each item at the next multiple of 14.
void zone(QByteArray& line, const QByteArray& item, bool first) {
    if (!first)
        line.resize((line.size() / textlog::PrintZoneWidth + 1) * textlog::PrintZoneWidth, ' ');
    line += item;
}

QByteArray lineOf(const QByteArray& date, const QByteArray& time, const QByteArray& ph,
                  const QByteArray& target, bool valve, const QByteArray& rest) {
    QByteArray line;
    line.reserve(160);
    zone(line, date, true);
    zone(line, time, false);
    zone(line, ph, false);
    zone(line, target, false);
    zone(line, valve ? "1" : "0", false);
    line.resize((line.size() / textlog::PrintZoneWidth + 1) * textlog::PrintZoneWidth, ' ');
    line += rest;
    return line;
}

int generate(const QString& path, int days) {
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    device::LogRecord r;
    r.raw = 766, r.limit = 812, r.raw7 = 651, r.raw4 = 253, r.k = 90, r.m = 1000;
    // The six whole numbers never change here; what follows the valve is taken as it is.
    r.date = QDate(2026, 1, 1), r.time = QTime(0, 0), r.measuredPh = "7", r.targetPh = "7.2",
    r.valveHex = "0";
    const QByteArray sample = textlog::fileDataLine(r, locale).toUtf8();
    const QByteArray rest = sample.mid(5 * textlog::PrintZoneWidth);
    std::vector<QByteArray> times(86400), phs(1400);
    for (int s = 0; s < 86400; ++s)
        times[s] = device::formatRegionalTime(QTime(0, 0).addSecs(s), locale).toUtf8();
    for (int h = 0; h < 1400; ++h) phs[h] = device::formatHundredths(h, locale).toUtf8();

    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 1;
    file.write(textlog::fileHeaderLine().toUtf8());
    std::mt19937 random(28);
    std::uniform_int_distribution<int> noise(-2, 2), rare(0, 200000);
    QByteArray buffer;
    buffer.reserve(8 << 20);
    const QDate start(2026, 1, 1);
    qint64 written = 0;
    for (int d = 0; d < days; ++d) {
        const QDate date = start.addDays(d);
        const QByteArray dateText = device::formatRegionalDate(date, locale).toUtf8();
        // An outage of three hours every 30 days, as a power cut would leave.
        const int outage = d % 30 == 3 ? 10 * 3600 : -1;
        for (int s = 0; s < 86400; ++s) {
            if (outage >= 0 && s >= outage && s < outage + 3 * 3600) continue;
            // The day's swing with the lights, a little noise, now and then a dip.
            const double swing = 15 * std::sin((s - 6 * 3600) * 2 * M_PI / 86400);
            int ph = 700 + static_cast<int>(std::lround(swing)) + noise(random);
            if (rare(random) == 0) ph -= 60;
            const bool valve = ph > 705;
            QByteArray line = lineOf(dateText, times[s], phs[ph], phs[720], valve, rest);
            if (written < 3) {
                device::LogRecord check = r;
                check.date = date, check.time = QTime(0, 0).addSecs(s);
                check.measuredPh = QString::fromUtf8(phs[ph]);
                check.targetPh = QString::fromUtf8(phs[720]);
                check.valveHex = valve ? "1" : "0";
                if (line != textlog::fileDataLine(check, locale).toUtf8()) {
                    std::fprintf(stderr, "generated line differs from the writer's\n");
                    return 1;
                }
            }
            buffer += line;
            ++written;
            if (buffer.size() > (8 << 20) - 200) {
                file.write(buffer);
                buffer.clear();
            }
        }
    }
    file.write(buffer);
    std::printf("%lld lines, %.2f GB\n", static_cast<long long>(written), file.size() / 1e9);
    return 0;
}

double msSince(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

// Until the window shows what it read (or, with `marks`, the past alarms after it), at most the
// given time.
bool waitShown(history::HistoryWindow& window, int ms, bool marks = false) {
    QEventLoop loop;
    bool shown = false;
    QObject::connect(
        &window,
        marks ? &history::HistoryWindow::alarmMarksShown : &history::HistoryWindow::summaryShown,
        &loop, [&] {
            shown = true;
            loop.quit();
        });
    QObject::connect(&window, &history::HistoryWindow::readingFailed, &loop,
                     [&](const QString& why) {
                         std::fprintf(stderr, "%s\n", qPrintable(why));
                         loop.quit();
                     });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return shown;
}

// Opening: the window made, the file read (or the cache found), the whole drawn once; then the
// past alarms read from the file and marked.
double open(const QString& path, bool* ok, double* marked) {
    QElapsedTimer t;
    t.start();
    history::HistoryWindow window(path);
    window.show();
    *ok = waitShown(window, 600000);
    window.plot()->picture();
    const double shown = msSince(t);
    *ok = *ok && waitShown(window, 600000, true);
    *marked = msSince(t);
    return shown;
}

int measure(const QString& path) {
    // Not from memory: the file's pages dropped from the system's cache first, this file's
    // only.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd >= 0) {
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
    QFile::remove(history::cacheFile(path));
    bool ok = false;
    double firstMarked = 0, laterMarked = 0;
    const double first = open(path, &ok, &firstMarked);
    if (!ok) return 1;
    const double later = open(path, &ok, &laterMarked);
    std::printf("first opening %.0f ms, later opening %.0f ms\n", first, later);
    std::printf("past alarms marked after %.0f ms (first), %.0f ms (later)\n", firstMarked,
                laterMarked);

    history::HistoryWindow window(path);
    window.resize(1280, 720);
    window.show();
    if (!waitShown(window, 600000)) return 1;
    history::HistoryPlot* plot = window.plot();
    plot->picture();
    const history::Span whole = plot->span();
    std::vector<double> zooms, pans;
    for (qint64 length : {whole.length(), qint64(30) * 86400, qint64(7) * 86400, qint64(86400),
                          qint64(6) * 3600, qint64(3600), qint64(600)}) {
        for (int k = 0; k < 5; ++k) {
            const qint64 from = whole.from + (whole.length() - length) * (2 * k + 1) / 11;
            QElapsedTimer t;
            t.start();
            plot->setSpan({from, from + length});
            plot->repaint();
            zooms.push_back(msSince(t));
            t.restart();
            plot->setSpan({from + length / 10, from + length / 10 + length});
            plot->repaint();
            pans.push_back(msSince(t));
        }
    }
    const auto report = [](const char* what, std::vector<double> v) {
        std::sort(v.begin(), v.end());
        std::printf("%s redraw: median %.1f ms, worst %.1f ms (%zu)\n", what, v[v.size() / 2],
                    v.back(), v.size());
    };
    // Each a repaint of the plot on the window: the picture drawn and put on the window.
    report("zoom", zooms);
    report("pan", pans);
    std::printf("resident while shown %ld KiB\n", soak::residentKiB());
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM"))
            std::printf("peak resident %s\n", line.simplified().constData());
    // The log goes when the bench ends; its summary with it.
    window.close();
    QFile::remove(history::cacheFile(path));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == QLatin1String("generate"))
        return generate(args[2], args[3].toInt());
    if (args.size() >= 3 && args[1] == QLatin1String("measure")) return measure(args[2]);
    if (args.size() >= 4 && args[1] == QLatin1String("export")) {
        const auto error = history::exportPng({args[2], args[3], {}, {}});
        if (error) std::fprintf(stderr, "%s\n", qPrintable(*error));
        return error ? 1 : 0;
    }
    std::fprintf(
        stderr,
        "usage: vellicor-historybench generate FILE DAYS | measure FILE | export FILE PNG\n");
    return 2;
}
