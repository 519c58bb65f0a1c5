#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include "LoggingHarness.h"
#include "PseudoTerminal.h"

using namespace textlogtest;

TEST(Form2Layout, DesignedWindowAndControls) {
    int shown = 0;
    textlog::Form2 form([&] { ++shown; });
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(form.windowTitle(), "Text log  Vellicor");
    EXPECT_EQ(form.size(), QSize(546, 411));
    EXPECT_EQ(form.RichTextBox1->geometry(), QRect(6, 6, 537, 373));
    EXPECT_EQ(form.Command1->geometry(), QRect(477, 390, 55, 16));
    EXPECT_EQ(form.Command1->text(), "Close");
    EXPECT_EQ(QFontInfo(form.RichTextBox1->font()).family(), "Liberation Mono");
    EXPECT_DOUBLE_EQ(form.RichTextBox1->font().pointSizeF(), 9.75);
    EXPECT_TRUE(form.text().isEmpty());
    EXPECT_FALSE(form.isVisible());
}

TEST(Form2Text, LinesReadBackWithCrLfAndTheBoxIsReadOnly) {
    textlog::Form2 form(nullptr);
    form.show();
    form.appendLine("a\tb\r\n");
    form.appendLine("c");  // the rest of its line comes later
    form.appendLine("d\r\ne\r\n");
    form.flushPendingLines();
    QTest::keyClicks(form.RichTextBox1, "note");
    QTest::keyClick(form.RichTextBox1, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(form.RichTextBox1, Qt::Key_Backspace);
    EXPECT_EQ(form.text(), "a\tb\r\ncd\r\ne\r\n");
    // The box has a line per logged line and the empty one after the last break.
    ASSERT_EQ(form.RichTextBox1->lineCount(), 4);
    EXPECT_EQ(form.RichTextBox1->lineText(1), "cd");
    EXPECT_EQ(form.RichTextBox1->lineText(3), "");
}

TEST(Form2Text, AppendingKeepsTheUsersViewAndSelection) {
    textlog::Form2 form(nullptr);
    form.show();
    for (int i = 0; i < 200; ++i) form.appendLine(QString("line %1\r\n").arg(i));
    form.flushPendingLines();
    QCoreApplication::processEvents();
    QScrollBar* bar = form.RichTextBox1->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    QTest::keyClick(form.RichTextBox1, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(form.RichTextBox1, Qt::Key_Up, Qt::ShiftModifier);
    bar->setValue(10);
    const auto anchor = form.RichTextBox1->anchorPosition();
    const auto cursor = form.RichTextBox1->cursorPosition();
    form.appendLine("more\r\n");
    form.flushPendingLines();
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), 10);
    EXPECT_EQ(form.RichTextBox1->anchorPosition(), anchor);
    EXPECT_EQ(form.RichTextBox1->cursorPosition(), cursor);
    EXPECT_EQ(form.RichTextBox1->selectedText(), "line 199\r\n");
    EXPECT_TRUE(form.text().endsWith("line 199\r\nmore\r\n"));
}

TEST(Form2Text, ShownWindowGathersLinesIntoOneRefreshAndLosesNone) {
    textlog::Form2 form(nullptr);
    form.show();
    form.appendLine("a\r\n");
    form.appendLine("b\r\n");
    EXPECT_EQ(form.text(), "a\r\nb\r\n");  // the text is complete at once
    EXPECT_EQ(form.shownLineCount(), 0);
    ASSERT_TRUE(testsupport::waitUntil([&] { return form.shownLineCount() > 0; }));
    EXPECT_EQ(form.shownLineCount(), 2);
    EXPECT_EQ(form.RichTextBox1->lineText(1), "b");
    form.appendLine("c\r\n");
    form.hide();  // hiding shows waiting lines at once
    EXPECT_EQ(form.shownLineCount(), 3);
    // Hidden, lines are kept at once and shown before the window is first painted again.
    form.appendLine("d\r\n");
    EXPECT_EQ(form.text(), "a\r\nb\r\nc\r\nd\r\n");
    form.show();
    EXPECT_EQ(form.shownLineCount(), 4);
    EXPECT_EQ(form.RichTextBox1->lineText(3), "d");
}

// What the window system was given must match a full repaint after every refresh: lines added
// in view, below it, after the user scrolled to the end and back to the top. Lines below the view
// must not repaint the text at all.
TEST(Form2Text, ScreenMatchesTheBoxAfterEachRefreshAndLinesBelowPaintNothing) {
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    textlog::Form2 form(nullptr);
    form.show();
    form.RichTextBox1->viewport()->installEventFilter(&counter);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QScrollBar* bar = form.RichTextBox1->verticalScrollBar();
    int line = 0;
    int paints = 0;  // of the text by the refresh itself, not by the comparison
    const auto refresh = [&](int lines) {
        for (int i = 0; i < lines; ++i, ++line) form.appendLine(QString("%1\tline\r\n").arg(line));
        counter.paints = 0;
        form.flushPendingLines();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        paints = counter.paints;
        const QImage shown = QGuiApplication::primaryScreen()->grabWindow(form.winId()).toImage();
        return shown.convertToFormat(QImage::Format_RGB32) ==
               form.grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    EXPECT_TRUE(refresh(5));   // in view
    EXPECT_TRUE(refresh(5));   // in view, below the others
    EXPECT_TRUE(refresh(40));  // fills the view and runs past it
    EXPECT_TRUE(refresh(8));   // all below
    EXPECT_EQ(paints, 0);
    bar->setValue(bar->maximum());
    QCoreApplication::processEvents();
    EXPECT_TRUE(refresh(3));  // the end is in view again
    EXPECT_EQ(form.RichTextBox1->lineText(55), "55\tline");
    bar->setValue(0);
    EXPECT_TRUE(refresh(8));
    // The scroll range is what the same text gives a box filled in one go.
    textlog::Form2 fresh(nullptr);
    fresh.show();
    fresh.appendLine(form.text());
    fresh.flushPendingLines();
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->maximum(), fresh.RichTextBox1->verticalScrollBar()->maximum());
    // Lines gathered while hidden show with the same range once the window is shown.
    textlog::Form2 hidden(nullptr);
    for (const QString& l : form.text().split("\r\n", Qt::SkipEmptyParts))
        hidden.appendLine(l + "\r\n");
    hidden.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(hidden.RichTextBox1->verticalScrollBar()->maximum(), bar->maximum());
}

// Lines landing below the view reach the scroll bars at once after a quiet second, then at
// most once a second, and at once when the user reaches for the box: Ctrl+End must find the
// last line, not the end the bars knew of.
TEST(Form2Text, ScrollRangeBelowTheViewCatchesUpWithinASecondAndOnTheUsersKey) {
    const auto rangeOfOneGo = [](const QString& text) {
        textlog::Form2 fresh(nullptr);
        fresh.show();
        fresh.appendLine(text);
        fresh.flushPendingLines();
        QCoreApplication::processEvents();
        return fresh.RichTextBox1->verticalScrollBar()->maximum();
    };
    textlog::Form2 form(nullptr);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QScrollBar* bar = form.RichTextBox1->verticalScrollBar();
    int line = 0;
    const auto add = [&](int lines) {
        for (int i = 0; i < lines; ++i, ++line) form.appendLine(QString("%1\tline\r\n").arg(line));
    };
    const auto inBox = [&] { return form.shownLineCount() == line; };
    add(60);
    form.flushPendingLines();
    QTest::qWait(textlog::Form2::ScrollRangeIntervalMs + 200);
    ASSERT_EQ(bar->value(), 0);

    add(8);  // after a quiet second: at once
    ASSERT_TRUE(testsupport::waitUntil(inBox));
    QElapsedTimer sinceUpdate;
    sinceUpdate.start();
    const int known = bar->maximum();
    const QString knownText = form.text();
    add(8);  // within the second: held, then caught up
    ASSERT_TRUE(testsupport::waitUntil(inBox));
    // A machine too busy to get here within the second has rightly caught up already.
    if (sinceUpdate.elapsed() < textlog::Form2::ScrollRangeIntervalMs - 200) {
        EXPECT_EQ(bar->maximum(), known);
    }
    ASSERT_TRUE(testsupport::waitUntil([&] { return bar->maximum() == known + 8; }));
    EXPECT_EQ(known, rangeOfOneGo(knownText));
    EXPECT_EQ(bar->maximum(), rangeOfOneGo(form.text()));

    add(8);  // after the key, nothing is held
    ASSERT_TRUE(testsupport::waitUntil(inBox));
    add(8);
    ASSERT_TRUE(testsupport::waitUntil(inBox));
    QTest::keyClick(form.RichTextBox1, Qt::Key_End, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->maximum(), rangeOfOneGo(form.text()));
    EXPECT_EQ(bar->value(), bar->maximum());
    // The last logged line is on screen (the empty line after it may be too).
    EXPECT_GE(form.RichTextBox1->lastVisibleLine(), line - 1);
}

TEST(Form2Close, DestroysTheWindowWhenAskedToDeleteOnClose) {
    QPointer<textlog::Form2> form = new textlog::Form2(nullptr);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->appendLine("x\r\n");
    form->show();
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());

    textlog::Form2 kept(nullptr);  // without the attribute: hidden and emptied
    kept.appendLine("x\r\n");
    kept.show();
    kept.Command1->click();
    EXPECT_FALSE(kept.isVisible());
    EXPECT_TRUE(kept.text().isEmpty());
}

TEST(TextLogWindow, GetsLinesOnlyWhileLoggingInTheWindowFormat) {
    LoggingHarness h;
    h.frames(2);
    EXPECT_EQ(h.stand.windowsCreated, 0);
    h.saveLogTo(h.path("log.txt"));
    h.frames(2);
    ASSERT_TRUE(h.stand.window);
    EXPECT_EQ(h.stand.window->text(),
              "12/8/26 9:05:09 AM  6.99\t7.41\t1\r\n"
              "12/8/26 9:05:10 AM  6.99\t7.41\t1\r\n");
}

TEST(TextLogWindow, CloseDiscardsAndAFreshHiddenWindowCollectsTheNextLines) {
    LoggingHarness h;
    const QString file = h.path("log.txt");
    h.saveLogTo(file);
    h.frames(2);
    QPointer<textlog::Form2> first = h.stand.window;
    first->Command1->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());

    h.frames(1);
    ASSERT_TRUE(h.stand.window);
    EXPECT_EQ(h.stand.windowsCreated, 2);
    EXPECT_FALSE(h.stand.window->isVisible());
    EXPECT_EQ(h.stand.window->text(), "12/8/26 9:05:09 AM  6.99\t7.41\t1\r\n");
    EXPECT_EQ(readAll(file).count("\r\n"), 4);  // the file kept everything

    h.saveLogTo(h.path("next.txt"));  // only Save Log shows it again
    EXPECT_TRUE(h.stand.window->isVisible());
}

TEST(TextLogWindow, CommaLocaleLine) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    LoggingHarness h;
    h.saveLogTo(h.path("log.txt"));
    h.frames(1);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(h.stand.window->text(), "08.12.26 09:05:07  6,99\t7,41\t1\r\n");
}

// The text log's vertical scroll bar is drawn in bands, to keep Qt from filling its tall
// gradients on its thread pool; it must look exactly as the style itself draws it, at rest, at
// either end and with the mouse pressed on the slider.
TEST(Form2Text, ScrollBarsLookAsTheStyleDrawsThem) {
    const auto differentPixels = [](const QImage& a, const QImage& b) {
        if (a.size() != b.size()) return -1;
        int count = 0;
        for (int row = 0; row < a.height(); ++row)
            for (int column = 0; column < a.width(); ++column)
                count += a.pixel(column, row) != b.pixel(column, row);
        return count;
    };
    // As a repaint draws it: clipped to the part to be painted again, over what was there.
    const auto paint = [](QScrollBar* bar) {
        QImage image(bar->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::magenta);
        bar->render(&image, QPoint(), QRegion(bar->rect()));
        return image;
    };
    textlog::Form2 form(nullptr);
    for (int i = 0; i < 3000; ++i) form.appendLine(QString("%1\tline and more\r\n").arg(i));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.flushPendingLines();
    QScrollBar* const bar = form.RichTextBox1->verticalScrollBar();
    ASSERT_GE(bar->height(), 96) << "too small to need the bands";
    QStyle* const banded = bar->style();
    for (const int value :
         {bar->minimum(), (bar->minimum() + bar->maximum()) / 2, bar->maximum()}) {
        for (const bool pressed : {false, true}) {
            bar->setValue(value);
            bar->setSliderDown(pressed);
            const QImage drawn = paint(bar);
            bar->setStyle(QApplication::style());
            EXPECT_EQ(differentPixels(drawn, paint(bar)), 0)
                << bar->orientation() << " at " << value << (pressed ? ", pressed" : "");
            bar->setStyle(banded);
            bar->setSliderDown(false);
        }
    }
}
