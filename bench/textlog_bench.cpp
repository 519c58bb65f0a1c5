// Appending one line to the text log window when it already holds a given number of lines.
// The cost must stay flat as the log grows: the 100,000th append within twice the 1,000th.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

#include "textlog/Form2.h"

namespace {

const QString kLine = QStringLiteral("12/8/26 9:05:07 AM  6.99\t7.41\t1\r\n");

void BM_TextLogAppend(benchmark::State& state) {
    const auto linesBefore = state.range(0);
    textlog::Form2 form(nullptr);
    form.show();
    for (int64_t i = 1; i < linesBefore; ++i) form.appendLine(kLine);
    QCoreApplication::processEvents();
    for (auto _ : state) {
        form.appendLine(kLine);
        // Undo this append outside the timing, so every iteration is the n-th append again.
        state.PauseTiming();
        QTextCursor last(form.RichTextBox1->document());
        last.movePosition(QTextCursor::End);
        last.movePosition(QTextCursor::PreviousBlock, QTextCursor::KeepAnchor);
        last.removeSelectedText();
        state.ResumeTiming();
    }
}
// Argument: the number of the append measured (1,000th and 100,000th).
BENCHMARK(BM_TextLogAppend)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
