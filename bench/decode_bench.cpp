// Decode path: bytes in, register and pH texts made, history appended, mapping updated.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include "device/FrameDecoder.h"

namespace {

// Keeps what a window would keep, so the texts are really built and stored.
struct LabelSink final : device::FrameSink {
    device::RegisterTexts labels;
    QString rate = QStringLiteral("1");
    void showRegisters(const device::RegisterTexts& t) override { labels = t; }
    QString updateRateText() const override { return rate; }
    void logSample(const device::LogRecord&) override {}
    device::GraphScale graphScale() override { return device::GraphScale::Fixed; }
    void computeScaleMappings() override {}
    void redrawGraph(device::GraphScale) override {}
};

void BM_DecodeFrame(benchmark::State& state) {
    device::MeasurementHistory history;
    LabelSink sink;
    sink.rate = QString::number(state.range(0));
    device::FrameDecoder decoder(history, sink);
    QByteArray frame = QByteArray::fromHex("2c038b02fd005a01e803fe02");
    unsigned n = 0;
    for (auto _ : state) {
        frame[10] = static_cast<char>(n++ & 0xFF);  // a different reading each time
        benchmark::DoNotOptimize(decoder.decode(frame));
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
// Rate 1 appends a sample on every frame (the costlier path); rate 10 mostly only labels.
BENCHMARK(BM_DecodeFrame)->Arg(1)->Arg(10);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
