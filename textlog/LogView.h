#pragma once

#include <QAbstractScrollArea>
#include <QHash>
#include <QString>
#include <memory>

namespace textlog {

class LineStore;

// A read-only view of the text log's lines: it paints only the lines in view, reading them from
// the store, so it costs the same over ten lines as over ten million. It looks and scrolls as a
// plain text box without wrapping does (a line per step of the vertical bar, tab stops every 80
// pixels), and lets the user select with the mouse and the keys and copy.
class LogView final : public QAbstractScrollArea {
    Q_OBJECT
public:
    // A place in the text: a line and a character within it.
    struct Position {
        qint64 line = 0;
        qsizetype column = 0;
        auto operator<=>(const Position&) const = default;
    };

    explicit LogView(const LineStore& store, QWidget* parent = nullptr);

    // The view shows the store's first `lines` lines and after them the unfinished tail; lines
    // the store holds beyond them wait for the next call. The caller measures each line as it
    // comes (lineWidth) and passes the widest so far. A quiet update leaves the scroll bars as
    // they are until updateScrollBars: nothing on screen changes, unless the store has dropped
    // lines since (its generation), which moves every later line up: then all is painted anew.
    void setLines(qint64 lines, const QString& tail, qreal widest, bool quiet);
    void updateScrollBars();
    void clear();
    // The width a line takes on screen.
    qreal lineWidth(QStringView line) const;

    // The lines shown, the tail counted as one.
    qint64 lineCount() const { return lines_ + 1; }
    QString lineText(qint64 line) const;
    qint64 firstVisibleLine() const;
    // Whole or part, the lines on screen now.
    int visibleLineCount() const;
    qint64 lastVisibleLine() const { return firstVisibleLine() + visibleLineCount() - 1; }

    Position cursorPosition() const { return cursor_; }
    Position anchorPosition() const { return anchor_; }
    void setSelection(Position anchor, Position cursor);
    // The selected text with CR LF between lines, as the clipboard gets it.
    QString selectedText() const;
    void selectAll();
    void copy() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    class LineLayout;
    // The line laid out for painting and for finding places in it; those near the view are
    // kept, so that scrolling and new lines do not lay out the lines already shown again.
    std::shared_ptr<LineLayout> layoutOf(qint64 line) const;
    void updateMetrics();
    // The top of the first visible line: the margin shows only above the very first line.
    int topOffset() const;
    int linesPerPage() const;
    Position positionAt(QPoint point) const;
    qreal xOf(Position position) const;
    qsizetype lineLength(qint64 line) const { return lineText(line).size(); }
    void moveCursor(Position to, bool select);
    void ensureCursorVisible();
    QByteArray selectedUtf8() const;

    const LineStore& store_;
    quint64 generation_ = 0;  // the store's, when its lines were last shown
    qint64 lines_ = 0;
    QString tail_;
    qreal widest_ = 0;
    int lineHeight_ = 15;
    qreal charWidth_ = 0;  // of a fixed-pitch font, 0 for another
    Position anchor_;
    Position cursor_;
    mutable QHash<qint64, std::shared_ptr<LineLayout>> layouts_;
};

}  // namespace textlog
