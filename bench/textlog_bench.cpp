// The text log window over a long log: putting a refresh's batch of lines in when it already
// holds 1,000 or 1,000,000 lines (the cost must not grow with the lines), and at a million
// lines opening the window, jumping to the end and copying everything.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>

#include "textlog/Form2.h"

namespace {

const QString kLine = QStringLiteral("12/8/26 9:05:07 AM  6.99\t7.41\t1\r\n");
constexpr int kBatch = 8;  // lines per refresh at 80 a second

void key(QWidget* widget, int key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(widget, &press);
}

void fill(textlog::Form2& form, int64_t lines) {
    // In blocks, as a string of a million lines would itself take 66 MB.
    QString block;
    for (int i = 0; i < 1000; ++i) block += kLine;
    for (int64_t i = 0; i < lines / 1000; ++i) form.appendLine(block);
    for (int64_t i = 0; i < lines % 1000; ++i) form.appendLine(kLine);
}

// One refresh's batch put into the shown window, with the scroll bars told and what changed on
// screen repainted: with the view at the top, or following the end (second argument 1), where
// the new lines are painted.
void BM_TextLogBatch(benchmark::State& state) {
    textlog::Form2 form(nullptr);
    fill(form, state.range(0));
    form.show();
    form.flushPendingLines();
    if (state.range(1)) {
        key(form.RichTextBox1, Qt::Key_End, Qt::ControlModifier);
    }
    QCoreApplication::processEvents();
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) form.appendLine(kLine);
        form.flushPendingLines();
        if (state.range(1)) {
            QScrollBar* bar = form.RichTextBox1->verticalScrollBar();
            bar->setValue(bar->maximum());
        }
        QCoreApplication::processEvents();
    }
    state.counters["per line"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBatch,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
// Arguments: the lines the window holds already; 1 when the view follows the end.
BENCHMARK(BM_TextLogBatch)
    ->Args({1000, 0})
    ->Args({1000000, 0})
    ->Args({1000, 1})
    ->Args({1000000, 1})
    ->Unit(benchmark::kMicrosecond);

// A hidden window that has collected a million lines, shown and painted.
void BM_OpenAtAMillion(benchmark::State& state) {
    textlog::Form2 form(nullptr);
    fill(form, 1000000);
    for (auto _ : state) {
        form.show();
        // Painted into a picture, as the offscreen platform may not paint a window at all.
        benchmark::DoNotOptimize(form.grab());
        state.PauseTiming();
        form.hide();
        QCoreApplication::processEvents();
        form.appendLine(kLine);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenAtAMillion)->Unit(benchmark::kMillisecond);

// Ctrl+End from the top of a million lines, painted.
void BM_JumpToEndAtAMillion(benchmark::State& state) {
    textlog::Form2 form(nullptr);
    fill(form, 1000000);
    form.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        key(form.RichTextBox1, Qt::Key_End, Qt::ControlModifier);
        benchmark::DoNotOptimize(form.RichTextBox1->grab());
        state.PauseTiming();
        key(form.RichTextBox1, Qt::Key_Home, Qt::ControlModifier);
        form.RichTextBox1->viewport()->repaint();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_JumpToEndAtAMillion)->Unit(benchmark::kMillisecond);

// Ctrl+A, Ctrl+C over a million lines, up to the clipboard holding them.
void BM_CopyAllAtAMillion(benchmark::State& state) {
    textlog::Form2 form(nullptr);
    fill(form, 1000000);
    form.show();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        key(form.RichTextBox1, Qt::Key_A, Qt::ControlModifier);
        key(form.RichTextBox1, Qt::Key_C, Qt::ControlModifier);
        state.PauseTiming();
        if (QGuiApplication::clipboard()->mimeData()->data("text/plain").size() !=
            1000000 * kLine.size())
            state.SkipWithError("the clipboard does not hold every line");
        QGuiApplication::clipboard()->clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CopyAllAtAMillion)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
