// One full graph redraw: frame, header, labels, limit line, curve and valve bars.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "graph/DemoHistory.h"
#include "graph/GraphDrawing.h"

namespace {

struct DemoScene {
    device::MeasurementHistory history;
    QImage image = graph::makeSurfaceImage();
    const device::ManualClock clock{QDateTime(QDate(2026, 3, 14), QTime(21, 42, 7))};
    const graph::HeaderTexts header{QStringLiteral("6.84"), QStringLiteral("6.8")};
    const graph::CurveOptions everything{true, true};

    DemoScene() {
        graph::FillDemoHistory(history, clock);
        graph::computeScaleMappings(history, 6.5, false);
    }
};

void BM_FixedRedraw(benchmark::State& state) {
    DemoScene scene;
    for (auto _ : state) {
        graph::drawGraphFrame(scene.image, scene.history, true, scene.header, scene.clock.now());
        graph::drawFixedScaleGraph(scene.image, scene.history, scene.everything);
        benchmark::DoNotOptimize(scene.image.constBits());
    }
}
BENCHMARK(BM_FixedRedraw)->Unit(benchmark::kMicrosecond);

// A measured pH that was never shown before at every redraw: its text is printed afresh.
void BM_FixedRedrawNewHeader(benchmark::State& state) {
    DemoScene scene;
    int n = 0;
    for (auto _ : state) {
        const graph::HeaderTexts header{QString::number(++n), scene.header.targetPh};
        graph::drawGraphFrame(scene.image, scene.history, true, header, scene.clock.now());
        graph::drawFixedScaleGraph(scene.image, scene.history, scene.everything);
        benchmark::DoNotOptimize(scene.image.constBits());
    }
}
BENCHMARK(BM_FixedRedrawNewHeader)->Unit(benchmark::kMicrosecond);

// The two halves of a fixed redraw on their own: what stays and what moves.
void BM_FrameOnly(benchmark::State& state) {
    DemoScene scene;
    for (auto _ : state) {
        graph::drawGraphFrame(scene.image, scene.history, true, scene.header, scene.clock.now());
        benchmark::DoNotOptimize(scene.image.constBits());
    }
}
BENCHMARK(BM_FrameOnly)->Unit(benchmark::kMicrosecond);

void BM_FixedPlotOnly(benchmark::State& state) {
    DemoScene scene;
    for (auto _ : state) {
        graph::drawFixedScaleGraph(scene.image, scene.history, scene.everything);
        benchmark::DoNotOptimize(scene.image.constBits());
    }
}
BENCHMARK(BM_FixedPlotOnly)->Unit(benchmark::kMicrosecond);

void BM_SelfDefinedRedraw(benchmark::State& state) {
    DemoScene scene;
    for (auto _ : state) {
        graph::drawGraphFrame(scene.image, scene.history, true, scene.header, scene.clock.now());
        graph::drawSelfDefinedGraph(scene.image, scene.history, 6.5, false, scene.everything);
        benchmark::DoNotOptimize(scene.image.constBits());
    }
}
BENCHMARK(BM_SelfDefinedRedraw)->Unit(benchmark::kMicrosecond);

}  // namespace

// Text needs fonts, and fonts need an application.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
