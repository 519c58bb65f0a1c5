#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace textlog {

// The text log window: the logged lines on screen, for as long as the window lives.
class Form2 : public QWidget {
    Q_OBJECT
public:
    // showMainWindow runs when the window is created, bringing the main window to the front.
    explicit Form2(std::function<void()> showMainWindow, QWidget* parent = nullptr);

    // Adds the line (ending with CR LF) after everything the box holds, the user's own edits
    // included, without moving the user's view or cursor.
    void appendLine(const QString& line);
    // The box's whole text, every line ended by CR LF.
    QString text() const;
    // Puts lines still waiting for the next screen refresh into the box now.
    void flushPendingLines();

    // Lines arriving within this time are put into the box together: while the newest lines
    // are in view each insertion repaints the whole box, and even below the view it moves the
    // scroll bar. A hidden box takes the first line of a burst at once.
    static constexpr int RefreshIntervalMs = 100;
    // While lines land only below the view, the scroll bars learn of them at most this often:
    // working out the new range lays out the bottom screenful of lines, and at the line's full
    // rate that would be every line. The first change after a quiet interval goes out at once,
    // and reaching for the box (click, wheel, key) brings the bars up to date first.
    static constexpr int ScrollRangeIntervalMs = 1000;

    QPlainTextEdit* RichTextBox1 = nullptr;  // the logged lines
    QPushButton* Command1 = nullptr;         // "Close"

protected:
    void closeEvent(QCloseEvent* event) override;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Command1_Click();
    void putPendingLines();
    void insertAtEnd(const QString& lines);
    void noteScrollRangeChange();
    void updateScrollRange();
    // Number of the block at the bottom edge of the box's view.
    int lastShownBlock() const;

    QString pending_;  // lines not yet in the box, in the box's own form (LF breaks)
    QTimer refresh_;
    QTimer rangeInterval_;
    bool rangeStale_ = false;  // the scroll bars have not yet heard of lines below the view
};

}  // namespace textlog
