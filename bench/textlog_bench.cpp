// Putting lines into the text log window when it already holds a given number of lines.
// At the line's 80 frames a second the window takes them in batches of eight, one batch per
// refresh; the batch's cost may grow only as the document's own lookups do (with the logarithm
// of its size), never with the size itself, so a week's 600,000 lines cost about what the
// first thousand do.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

#include "textlog/Form2.h"

namespace {

const QString kLine = QStringLiteral("12/8/26 9:05:07 AM  6.99\t7.41\t1\r\n");
constexpr int kBatch = 8;  // lines per refresh at 80 a second

// The window shown, scrolled where a user leaves it (at the top), holding linesBefore lines.
void fill(textlog::Form2& form, int64_t linesBefore) {
    form.show();
    QString lines;
    lines.reserve(static_cast<qsizetype>(linesBefore) * kLine.size());
    for (int64_t i = 0; i < linesBefore; ++i) lines += kLine;
    form.appendLine(lines);
    form.flushPendingLines();
    QCoreApplication::processEvents();
}

// Takes the last n lines out again, so every iteration meets the same document.
void removeLastLines(textlog::Form2& form, int n) {
    QTextCursor last(form.RichTextBox1->document());
    last.movePosition(QTextCursor::End);
    last.movePosition(QTextCursor::PreviousBlock, QTextCursor::KeepAnchor, n);
    last.removeSelectedText();
}

// One refresh's batch put into the box, with the scroll bars told and the screen repainted.
void BM_TextLogBatch(benchmark::State& state) {
    textlog::Form2 form(nullptr);
    fill(form, state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) form.appendLine(kLine);
        form.flushPendingLines();
        QCoreApplication::processEvents();
        state.PauseTiming();
        removeLastLines(form, kBatch);
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["per line"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBatch,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
// Argument: the lines the box holds already (a week at one frame a second is 600,000).
BENCHMARK(BM_TextLogBatch)->Arg(1000)->Arg(100000)->Arg(600000)->Unit(benchmark::kMicrosecond);

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
