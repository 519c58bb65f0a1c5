#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "LineStore.h"
#include "LogView.h"

class QLabel;
class QPushButton;

namespace textlog {

// The text log window: the logged lines on screen, for as long as the window lives. The lines
// live on disk (LineStore); the box reads only those in view.
class Form2 : public QWidget {
    Q_OBJECT
public:
    // showMainWindow runs when the window is created, bringing the main window to the front.
    // The window's lines are spooled in spoolFolder, by default the user's cache folder.
    explicit Form2(std::function<void()> showMainWindow, QWidget* parent = nullptr,
                   const QString& spoolFolder = QString());

    // Adds the text after everything logged before, without moving the user's view or cursor.
    // Each CR LF (or LF) ends a line; text after the last one waits for the rest of its line.
    void appendLine(const QString& line);
    // The whole text, every line ended by CR LF.
    QString text() const;
    // Shows lines still waiting for the next screen refresh now.
    void flushPendingLines();
    // The same for a caller that appends lines in runs of its own (a batch of frames): the run
    // is one refresh, shown at once, and no refresh follows it. The scroll bars keep their pace.
    void showAppendedLines();
    // Lines the box shows: those that had their refresh.
    qint64 shownLineCount() const { return shownLines_; }

    // Lines arriving within this time are shown together, one repaint for all of them.
    static constexpr int RefreshIntervalMs = 100;
    // While lines land only below the view, the scroll bars learn of them about this often:
    // a scroll bar is among the costliest controls to repaint, and at the line's full rate it
    // would be every line. The first change after a quiet interval goes out at once, and
    // reaching for the box (click, wheel, key) brings the bars up to date first. A run of lines
    // that comes within a refresh of the interval's end takes the bars along, so that a busy
    // line costs no wake-up of its own for them.
    static constexpr int ScrollRangeIntervalMs = 1000;

    LogView* RichTextBox1 = nullptr;  // the logged lines
    QPushButton* Command1 = nullptr;  // "Close"

protected:
    void closeEvent(QCloseEvent* event) override;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Command1_Click();
    void putPendingLines();
    void takeLine(QStringView line);
    void noteScrollRangeChange();
    void updateScrollRange();
    void updateNotice();

    LineStore store_;
    QString tail_;      // the unfinished last line
    qreal widest_ = 0;  // the widest line on screen, in pixels
    qint64 shownLines_ = 0;
    QLabel* notice_ = nullptr;  // says when the disk refuses the window's lines
    QTimer refresh_;
    QTimer rangeInterval_;      // catches the bars up when no run of lines comes to do it
    QElapsedTimer sinceRange_;  // since the bars last heard of the lines
    bool rangeStale_ = false;   // the scroll bars have not yet heard of lines below the view
};

}  // namespace textlog
