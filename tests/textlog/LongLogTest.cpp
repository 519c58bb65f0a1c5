// The text log window over a long log: what it paints, what it copies, lines the disk refuses
// and what a close gives back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "LoggingHarness.h"
#include "PseudoTerminal.h"

using namespace textlogtest;

namespace {

QString numberedLine(int i) {
    return QStringLiteral("%1 12/8/26 9:05:07 AM  6.99\t7.41\t1").arg(i);
}

// Lines first to last - 1, each ended by CR LF, put into the window in blocks.
void feed(textlog::Form2& form, int first, int last) {
    for (int i = first; i < last;) {
        QString block;
        for (const int end = std::min(last, i + 1000); i < end; ++i)
            block += numberedLine(i) + QStringLiteral("\r\n");
        form.appendLine(block);
    }
}

QString crlfLines(int first, int last) {
    QString text;
    for (int i = first; i < last; ++i) text += numberedLine(i) + QStringLiteral("\r\n");
    return text;
}

// Files of this process open in a folder: a spool is unnamed, so only its descriptor tells.
int openFilesIn(const QString& folder) {
    int n = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd :
         fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QByteArray target = QFile::encodeName(fds.filePath(fd));
        char buffer[4096];
        const ssize_t length = ::readlink(target.constData(), buffer, sizeof buffer);
        if (length > 0 && QString::fromLocal8Bit(buffer, length).startsWith(folder + u'/')) ++n;
    }
    return n;
}

}  // namespace

// The window paints exactly what the plain text box of old painted over the same lines, at the
// top, in the middle and at the end of a long log.
TEST(LongLog, ShowsTheRightLinesAtTopMiddleAndEndAsThePlainBoxDid) {
    constexpr int total = 200000;
    textlog::Form2 form(nullptr);
    feed(form, 0, total);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    textlog::LogView* view = form.RichTextBox1;
    QScrollBar* bar = view->verticalScrollBar();

    QPlainTextEdit box;
    box.setFont(view->font());
    box.setLineWrapMode(QPlainTextEdit::NoWrap);
    box.setReadOnly(true);
    box.resize(view->size());
    box.show();
    // The box holds the lines from `from` on (and the empty line after the last, at the end)
    // and is scrolled to `value`.
    const auto compare = [&](int first, int from, int value) {
        QString text = crlfLines(from, std::min(total, from + 80));
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        if (from + 80 < total) text.chop(1);
        box.setPlainText(text);
        box.verticalScrollBar()->setValue(value);
        bar->setValue(first);
        QCoreApplication::processEvents();
        EXPECT_EQ(view->firstVisibleLine(), first);
        EXPECT_EQ(view->lineText(view->firstVisibleLine()),
                  first < total ? numberedLine(first) : "");
        return view->viewport()->grab().toImage() == box.viewport()->grab().toImage();
    };
    EXPECT_TRUE(compare(0, 0, 0));
    EXPECT_TRUE(compare(100000, 99990, 10));
    const int linesInView = view->viewport()->height() / QFontMetrics(view->font()).lineSpacing();
    EXPECT_EQ(bar->maximum(), total + 1 - linesInView);
    EXPECT_TRUE(compare(bar->maximum(), total - 79, box.verticalScrollBar()->maximum()));
    EXPECT_EQ(view->lastVisibleLine(), total);  // the empty line after the last
    EXPECT_EQ(view->lineText(total - 1), numberedLine(total - 1));
}

TEST(LongLog, ScrollsAndSelectsWithKeysAndMouseAndCopiesTheLinesAsShown) {
    constexpr int total = 1000;
    textlog::Form2 form(nullptr);
    feed(form, 0, total);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    textlog::LogView* view = form.RichTextBox1;
    QScrollBar* bar = view->verticalScrollBar();
    QClipboard* clipboard = QGuiApplication::clipboard();

    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), crlfLines(0, total));
    EXPECT_EQ(clipboard->text(), form.text());
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);

    // Keys move the view: a page, the end, the start.
    QTest::keyClick(view, Qt::Key_PageDown);
    EXPECT_EQ(bar->value(), bar->pageStep());
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(bar->value(), bar->maximum());
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(bar->value(), 0);
    QWheelEvent wheel(QPointF(50, 50), view->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view->viewport(), &wheel);
    EXPECT_EQ(bar->value(), QApplication::wheelScrollLines());

    // A click in line 4 (the view starts at line 3), then Shift+Down twice and Shift+End.
    QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
    const int lineHeight = QFontMetrics(view->font()).lineSpacing();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(4 + 2, 4 + lineHeight * 4 + lineHeight / 2));
    EXPECT_EQ(view->cursorPosition(), (textlog::LogView::Position{4, 0}));
    QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), crlfLines(4, 6) + numberedLine(6));

    // From line 1's third character, a Shift-drag to the start of line 2.
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(4 + 2, 4 + lineHeight + 2));
    QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(view, Qt::Key_Right);
    ASSERT_EQ(view->cursorPosition(), (textlog::LogView::Position{1, 2}));
    QMouseEvent drag(QEvent::MouseMove, QPointF(2, 4 + lineHeight * 2 + 2),
                     view->viewport()->mapToGlobal(QPointF(2, 4 + lineHeight * 2 + 2)),
                     Qt::NoButton, Qt::LeftButton, Qt::ShiftModifier);
    QCoreApplication::sendEvent(view->viewport(), &drag);
    EXPECT_EQ(view->selectedText(), numberedLine(1).mid(2) + "\r\n");

    // Across the store's chunks of lines, from the middle of one line to the middle of another.
    view->setSelection({60, 3}, {130, 5});
    EXPECT_EQ(view->selectedText(),
              numberedLine(60).mid(3) + "\r\n" + crlfLines(61, 130) + numberedLine(130).left(5));
    view->setSelection({total, 0}, {total - 1, 2});  // backwards, up to the empty last line
    EXPECT_EQ(view->selectedText(), numberedLine(total - 1).mid(2) + "\r\n");
}

// A disk that refuses the window's lines: every line stays on screen and the window says so;
// when the disk takes them again they go back to it. Past the bound in memory, the oldest of
// the refused lines give way, and the window counts them.
TEST(LongLog, LinesTheDiskRefusesStayOnScreenWithinABound) {
    QTemporaryDir spool;
    FileSizeLimit limit;
    textlog::Form2 form(nullptr, nullptr, spool.path());
    form.show();
    QLabel* notice = form.findChild<QLabel*>();
    ASSERT_TRUE(notice);
    limit.set(20000);  // the first block of lines fits, the second does not
    feed(form, 0, 3000);
    form.flushPendingLines();
    EXPECT_EQ(form.text(), crlfLines(0, 3000));
    EXPECT_TRUE(notice->isVisible());
    EXPECT_TRUE(notice->text().startsWith("No room on disk"));
    EXPECT_EQ(form.RichTextBox1->lineText(2999), numberedLine(2999));

    limit.set(RLIM_INFINITY);
    feed(form, 3000, 3000 + textlog::LineStore::MemoryLines / 100);
    form.flushPendingLines();
    EXPECT_FALSE(notice->isVisible());
    EXPECT_EQ(form.text(), crlfLines(0, 3000 + textlog::LineStore::MemoryLines / 100));

    form.Command1->click();
    form.show();
    limit.set(20000);
    const int many = textlog::LineStore::MemoryLines + 1000;
    feed(form, 0, many);
    form.flushPendingLines();
    EXPECT_TRUE(notice->isVisible());
    EXPECT_TRUE(notice->text().contains("dropped"));
    const QString text = form.text();
    EXPECT_TRUE(text.startsWith(numberedLine(0)));
    EXPECT_TRUE(text.endsWith(crlfLines(many - 10, many)));
    EXPECT_EQ(text.count("\r\n"), form.RichTextBox1->lineCount() - 1);
}

TEST(LongLog, CloseGivesBackTheSpoolAndTheNextLinesStartAfresh) {
    QTemporaryDir spool;
    textlog::Form2 form(nullptr, nullptr, spool.path());
    feed(form, 0, 5000);
    form.show();
    EXPECT_EQ(openFilesIn(spool.path()), 1);
    form.Command1->click();
    EXPECT_EQ(openFilesIn(spool.path()), 0);
    EXPECT_TRUE(form.text().isEmpty());
    EXPECT_EQ(form.RichTextBox1->lineCount(), 1);
    form.appendLine("next\r\n");
    form.show();
    EXPECT_EQ(form.text(), "next\r\n");
    EXPECT_EQ(form.RichTextBox1->lineText(0), "next");
}

// The disk refuses every line and memory is full: each new line drops the oldest kept one, so
// the count stays put while the lines move up. The view at the end still paints the newest
// line as it comes, Select All and Copy end with it, and once the disk takes lines again no
// line read before shows another's text.
TEST(LongLog, WithDiskAndMemoryFullTheWindowStillShowsTheNewestLine) {
    QTemporaryDir spool;
    FileSizeLimit limit;
    textlog::Form2 form(nullptr, nullptr, spool.path());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    textlog::LogView* view = form.RichTextBox1;
    limit.set(0);
    feed(form, 0, 64);
    form.flushPendingLines();
    ASSERT_EQ(view->lineText(10), numberedLine(10));

    int next = textlog::LineStore::MemoryLines + 20000;
    feed(form, 64, next);
    form.flushPendingLines();
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QTest::qWait(20);
    // What is on screen, against what a paint of the view as it is now gives.
    const auto onScreen = [&] {
        const QPoint at = view->viewport()->mapTo(&form, QPoint(0, 0));
        return form.screen()
            ->grabWindow(form.winId(), at.x(), at.y(), view->viewport()->width(),
                         view->viewport()->height())
            .toImage();
    };
    for (int round = 0; round < 3; ++round, ++next) {
        feed(form, next, next + 1);
        form.flushPendingLines();
        QTest::qWait(20);
        EXPECT_EQ(view->lineText(view->lastVisibleLine() - 1), numberedLine(next));
        EXPECT_EQ(onScreen(), view->viewport()->grab().toImage()) << "round " << round;
    }
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(copied.endsWith(crlfLines(next - 3, next))) << copied.right(200).toStdString();
    EXPECT_EQ(copied, form.text());

    limit.set(RLIM_INFINITY);
    feed(form, next, next + 300);
    next += 300;
    form.flushPendingLines();
    const QStringList text = form.text().split(QStringLiteral("\r\n"));
    ASSERT_EQ(view->lineCount(), text.size());
    EXPECT_EQ(view->lineText(10), text[10]);
    EXPECT_EQ(view->lineText(view->lineCount() - 2), numberedLine(next - 1));
}
