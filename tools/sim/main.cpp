#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <thread>

#include "SimLine.h"
#include "SimModel.h"

namespace {

struct IntOption {
    const char* name;
    const char* help;
    int defaultValue;
    int minimum;
    int* target;
};

void fail(const QString& text) {
    std::fprintf(stderr, "vellicor-sim: %s\n", qPrintable(text));
    std::exit(2);
}

double phOption(const QCommandLineParser& parser, const QString& name) {
    bool ok = false;
    const double value = parser.value(name).toDouble(&ok);
    if (!ok || value < 0 || value > 14)
        fail(QStringLiteral("--%1 wants a pH from 0 to 14").arg(name));
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vellicor-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A simulated Vellicor regulator. Prints the port name to type into the program on the "
        "first line of its output, then sends a 12-byte frame every period while the port is "
        "open on the other side."));
    parser.addHelpOption();

    int period = 0, frames = 0, seed = 0, raw7 = 0, raw4 = 0;
    sim::Faults faults;
    const IntOption intOptions[] = {
        {"period", "Milliseconds between frames.", 1000, 1, &period},
        {"frames",
         "Frames to send, 0 for no end. The line stays open afterwards until the "
         "simulator is stopped.",
         0, 0, &frames},
        {"seed", "Seed of the probe noise and the garbage bytes.", 1, 0, &seed},
        {"raw7", "Calibration reading for pH 7.", 820, 0, &raw7},
        {"raw4", "Calibration reading for pH 4.", 420, 0, &raw4},
        {"partial-at", "Cut frame N short.", 0, 0, &faults.partialAt},
        {"partial-length", "Bytes of the cut frame that go out.", 7, 0, &faults.partialLength},
        {"garbage-at", "Send random bytes just before frame N.", 0, 0, &faults.garbageAt},
        {"garbage-length", "How many random bytes.", 5, 0, &faults.garbageLength},
        {"misalign", "Start in the middle of the first frame, N bytes in.", 0, 0,
         &faults.misalignBytes},
        {"drop-after", "Hang up the link after N frames and exit.", 0, 0, &faults.dropAfter},
    };
    for (const auto& o : intOptions) {
        parser.addOption({QString::fromLatin1(o.name), QString::fromLatin1(o.help),
                          QStringLiteral("N"), QString::number(o.defaultValue)});
    }
    parser.addOption({QStringLiteral("limit"), QStringLiteral("The device's pH limit."),
                      QStringLiteral("pH"), QStringLiteral("6.8")});
    parser.addOption({QStringLiteral("start-ph"), QStringLiteral("The water's pH at start."),
                      QStringLiteral("pH"), QStringLiteral("7.4")});
    parser.addOption(
        {QStringLiteral("trace"),
         QStringLiteral("Write each piece sent to FILE: its kind, then its bytes in hex."),
         QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("port"),
                      QStringLiteral("Send to this existing port instead of a pseudo-terminal."),
                      QStringLiteral("NAME")});
    parser.process(app);

    for (const auto& o : intOptions) {
        bool ok = false;
        *o.target = parser.value(QString::fromLatin1(o.name)).toInt(&ok);
        if (!ok || *o.target < o.minimum) {
            fail(QStringLiteral("--%1 wants a whole number of at least %2")
                     .arg(o.name)
                     .arg(o.minimum));
        }
    }
    sim::TankSettings settings;
    settings.calibration = {raw7, raw4};
    settings.limitPh = phOption(parser, QStringLiteral("limit"));
    settings.startPh = phOption(parser, QStringLiteral("start-ph"));
    const auto conversion = sim::chooseConversion(settings.calibration);
    if (!conversion) {
        fail(QStringLiteral("no k (1 to 255) and m (0 to 65535) fit the calibration %1 / %2: "
                            "the pH 7 reading must lie above the pH 4 reading")
                 .arg(raw7)
                 .arg(raw4));
    }

    QFile traceFile;
    std::unique_ptr<QTextStream> trace;
    if (parser.isSet(QStringLiteral("trace"))) {
        traceFile.setFileName(parser.value(QStringLiteral("trace")));
        if (!traceFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            fail(QStringLiteral("cannot write %1: %2")
                     .arg(traceFile.fileName(), traceFile.errorString()));
        }
        trace = std::make_unique<QTextStream>(&traceFile);
    }

    std::unique_ptr<sim::Line> line;
    if (parser.isSet(QStringLiteral("port"))) {
        auto port = std::make_unique<sim::PortLine>(parser.value(QStringLiteral("port")));
        QString error;
        if (!port->open(&error))
            fail(QStringLiteral("cannot open %1: %2").arg(port->portName(), error));
        line = std::move(port);
    } else {
        try {
            line = std::make_unique<sim::PtyLine>();
        } catch (const std::exception& e) {
            fail(QString::fromLocal8Bit(e.what()));
        }
    }
    std::printf("%s\n", qPrintable(line->portName()));
    std::fflush(stdout);
    std::fprintf(stderr,
                 "vellicor-sim: type %s into the program's port box; k = %d, m = %d, limit %s\n",
                 qPrintable(line->portName()), conversion->k, conversion->m,
                 qPrintable(parser.value(QStringLiteral("limit"))));

    sim::FrameStream stream(settings, *conversion, faults, static_cast<std::uint64_t>(seed));
    using Clock = std::chrono::steady_clock;
    const auto step = std::chrono::milliseconds(period);
    auto due = Clock::now();
    while (frames == 0 || stream.framesSent() < frames) {
        if (!line->hasListener()) {
            line->waitForListener();
            due = Clock::now();
        }
        std::this_thread::sleep_until(due);
        due += step;
        for (const auto& chunk : stream.next()) {
            // Traced first: whoever reads the trace after seeing the bytes finds them there.
            if (trace) {
                *trace << sim::kindName(chunk.kind) << ' '
                       << QString::fromStdString(sim::toHex(chunk.bytes.data(), chunk.bytes.size()))
                       << '\n';
                trace->flush();
            }
            if (!line->write(chunk.bytes))
                fail(QStringLiteral("the line refused to take more bytes"));
        }
        if (stream.linkDropped()) {
            // The link dies when the next frame would have gone out.
            std::this_thread::sleep_until(due);
            line->drain();
            line->hangUp();
            std::fprintf(stderr, "vellicor-sim: link dropped after %d frames\n",
                         stream.framesSent());
            return 0;
        }
    }
    std::fprintf(stderr, "vellicor-sim: %d frames sent; holding the line until stopped\n",
                 stream.framesSent());
    // Hanging up now could cut off bytes the program has not read yet.
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}
