#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include "HistoryLogs.h"
#include "history/HistoryPlot.h"

using namespace historytest;

namespace {
// Sent straight to the widget: a move through the platform would go by the real pointer.
void move(QWidget& widget, QPoint at, Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent event(QEvent::MouseMove, at, widget.mapToGlobal(at), Qt::NoButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}
}  // namespace

// Moving through two hours of a log with the mouse: the wheel zooms around the pointer, a drag
// zooms to its span, a right-drag moves, and pointing finds the nearest line.
TEST(HistoryPlot, WheelDragAndPointingMoveThroughTheLog) {
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    const QDateTime start(QDate(2026, 12, 9), QTime(9, 30, 0));
    auto entries = steady(start, 7200, 1);
    entries[3600].ph = 650;  // 10:30:00
    append(path, headerLine() + lines(entries, QLocale(QLocale::English, QLocale::UnitedStates)));
    auto summary = history::loadSummary(path);
    ASSERT_TRUE(summary);

    history::HistoryPlot plot;
    plot.resize(1000, 500);
    plot.setSummary(std::make_shared<const history::Summary>(std::move(*summary)));
    plot.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&plot));
    const auto layoutNow = [&] { return history::layoutFor(plot.size(), plot.span(), {}); };
    const history::Span whole = plot.span();
    EXPECT_EQ(whole.from, moment(start));
    const qint64 dip = moment(start) + 3600;
    const int y = plot.height() / 2;

    // Pointing.
    move(plot, QPoint(layoutNow().x(dip), y));
    ASSERT_TRUE(plot.pointed());
    EXPECT_EQ(plot.pointed()->time, dip);
    EXPECT_EQ(plot.pointed()->ph, 650);

    // The wheel: a notch in keeps the time under the pointer where it was.
    const QPointF at(layoutNow().x(dip), y);
    QWheelEvent wheel(at, plot.mapToGlobal(at), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&plot, &wheel);
    EXPECT_NEAR(double(plot.span().length()), 0.8 * whole.length(), 2);
    EXPECT_NEAR(double(layoutNow().timeAt(layoutNow().x(dip))), double(dip),
                2.0 * plot.span().length() / layoutNow().plot.width());

    // A drag over a span zooms to it.
    const auto l = layoutNow();
    const qint64 a = l.timeAt(300), b = l.timeAt(500);
    QTest::mousePress(&plot, Qt::LeftButton, {}, QPoint(300, y));
    move(plot, QPoint(400, y), Qt::LeftButton);
    move(plot, QPoint(500, y), Qt::LeftButton);
    QTest::mouseRelease(&plot, Qt::LeftButton, {}, QPoint(500, y));
    EXPECT_EQ(plot.span().from, a);
    EXPECT_EQ(plot.span().to, b);

    // A right-drag to the left moves later in time by what it passed over.
    const history::Span before = plot.span();
    const qint64 shift = (layoutNow().timeAt(600) - layoutNow().timeAt(400));
    QTest::mousePress(&plot, Qt::RightButton, {}, QPoint(600, y));
    move(plot, QPoint(500, y), Qt::RightButton);
    move(plot, QPoint(400, y), Qt::RightButton);
    QTest::mouseRelease(&plot, Qt::RightButton, {}, QPoint(400, y));
    EXPECT_NEAR(double(plot.span().from - before.from), double(shift), 2);
    EXPECT_EQ(plot.span().length(), before.length());

    // The last hour ends with the file; the whole file again.
    plot.showLast(3600);
    EXPECT_EQ(plot.span().to, whole.to);
    EXPECT_EQ(plot.span().length(), 3600);
    plot.showWhole();
    EXPECT_EQ(plot.span(), whole);
}
