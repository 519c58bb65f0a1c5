// What MQTT adds to a frame on the window's thread: the state message built and handed to the
// connection's thread. Run beside the same decoding without a publisher.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <chrono>
#include <thread>

#include "device/FrameDecoder.h"
#include "mqtt/Payloads.h"
#include "mqtt/Publisher.h"

namespace {

struct LabelSink final : device::FrameSink {
    device::RegisterTexts labels;
    mqtt::Publisher* publisher = nullptr;
    void showRegisters(const device::RegisterTexts& t) override { labels = t; }
    void frameAccepted(const device::DeviceFrame& f, const QDateTime& t) override {
        if (publisher) publisher->frameAccepted(f, t);
    }
    QString updateRateText() const override { return QStringLiteral("1"); }
    void logSample(const device::LogRecord&) override {}
    device::GraphScale graphScale() override { return device::GraphScale::Fixed; }
    void computeScaleMappings() override {}
    void redrawGraph(device::GraphScale) override {}
};

// No broker listens there: the connection's thread keeps trying while frames come, as when
// the broker is away. With a broker the hand-over is the same; only that thread works more.
mqtt::BrokerSettings unreachable() {
    mqtt::BrokerSettings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = 1;
    s.id = QStringLiteral("bench");
    return s;
}

void decodeFrames(benchmark::State& state, mqtt::Publisher* publisher) {
    device::MeasurementHistory history;
    LabelSink sink;
    sink.publisher = publisher;
    device::FrameDecoder decoder(history, sink);
    QByteArray frame = QByteArray::fromHex("2c038b02fd005a01e803fe02");
    unsigned n = 0;
    for (auto _ : state) {
        frame[10] = static_cast<char>(n++ & 0xFF);
        benchmark::DoNotOptimize(decoder.decode(frame));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_DecodeWithoutMqtt(benchmark::State& state) {
    decodeFrames(state, nullptr);
}
BENCHMARK(BM_DecodeWithoutMqtt);

void BM_DecodeWithMqtt(benchmark::State& state) {
    mqtt::Publisher publisher(unreachable(), QStringLiteral("bench"));
    decodeFrames(state, &publisher);
}
BENCHMARK(BM_DecodeWithMqtt);

void BM_StateJson(benchmark::State& state) {
    device::DeviceFrame frame =
        *device::decodeFrame(QByteArray::fromHex("2c038b02fd005a01e803fe02"));
    // As the decoder stamps frames: a fixed offset from UTC, no zone lookups.
    const QDateTime now = device::Clock::system().now();
    for (auto _ : state) {
        ++frame.raw;
        benchmark::DoNotOptimize(mqtt::stateJson(frame, now));
    }
}
BENCHMARK(BM_StateJson);

// Building and handing over alone, frame after frame with warm caches.
void BM_PublishHandOver(benchmark::State& state) {
    mqtt::Publisher publisher(unreachable(), QStringLiteral("bench"));
    device::DeviceFrame frame =
        *device::decodeFrame(QByteArray::fromHex("2c038b02fd005a01e803fe02"));
    // As the decoder stamps frames: a fixed offset from UTC, no zone lookups.
    const QDateTime now = device::Clock::system().now();
    for (auto _ : state) {
        ++frame.raw;
        publisher.frameAccepted(frame, now);
    }
}
BENCHMARK(BM_PublishHandOver);

// The same at a device's pace, each frame alone with whatever the caches kept in between, as
// in the program. Only the call itself is timed.
void BM_PublishAtDevicePace(benchmark::State& state) {
    mqtt::Publisher publisher(unreachable(), QStringLiteral("bench"));
    device::DeviceFrame frame =
        *device::decodeFrame(QByteArray::fromHex("2c038b02fd005a01e803fe02"));
    const QDateTime now = device::Clock::system().now();
    for (auto _ : state) {
        ++frame.raw;
        const auto start = std::chrono::steady_clock::now();
        publisher.frameAccepted(frame, now);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}
// A fixed count: each frame sleeps between calls, which the timing leaves out.
BENCHMARK(BM_PublishAtDevicePace)->UseManualTime()->Iterations(3000);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
