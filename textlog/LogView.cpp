#include "LogView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <QtMath>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>

#include "LineStore.h"

namespace textlog {

namespace {

// Space around the text, as a text box leaves it: above the first line and left of every line.
constexpr int Margin = 4;
constexpr qreal TabStop = 80;

bool isBlank(QChar c) {
    return c.isSpace();
}

}  // namespace

// One line laid out as a text box lays it out: no wrapping, tab stops every TabStop pixels.
class LogView::LineLayout {
public:
    LineLayout(const QString& text, const QFont& font, QPaintDevice* device)
        : text_(text), layout_(text, font, device) {
        QTextOption option;
        option.setWrapMode(QTextOption::NoWrap);
        option.setTabStopDistance(TabStop);
        layout_.setTextOption(option);
        // Kept with its glyphs: otherwise every paint would shape the line again.
        layout_.setCacheEnabled(true);
        layout_.beginLayout();
        line_ = layout_.createLine();
        layout_.endLayout();
    }
    QTextLayout& layout() { return layout_; }
    const QString& text() const { return text_; }
    qreal x(qsizetype column) const {
        return line_.isValid() ? line_.cursorToX(static_cast<int>(column)) : 0;
    }
    qsizetype column(qreal x) const { return line_.isValid() ? line_.xToCursor(x) : 0; }

private:
    QString text_;
    QTextLayout layout_;
    QTextLine line_;
};

LogView::LogView(const LineStore& store, QWidget* parent)
    : QAbstractScrollArea(parent), store_(store) {
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    setFocusPolicy(Qt::StrongFocus);
    updateMetrics();
}

void LogView::updateMetrics() {
    layouts_.clear();
    // A text box gives each line a whole number of pixels.
    lineHeight_ = std::max(1, qCeil(QFontMetricsF(font()).lineSpacing()));
    charWidth_ = QFontInfo(font()).fixedPitch() ? QFontMetricsF(font()).horizontalAdvance(u'0') : 0;
    updateScrollBars();
}

std::shared_ptr<LogView::LineLayout> LogView::layoutOf(qint64 line) const {
    const QString text = lineText(line);
    const auto known = layouts_.constFind(line);
    if (known != layouts_.cend() && (*known)->text() == text) return *known;
    // Enough for the lines in view and the page before and after them.
    if (layouts_.size() >= 128) layouts_.clear();
    auto layout = std::make_shared<LineLayout>(text, font(), viewport());
    layouts_.insert(line, layout);
    return layout;
}

void LogView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) updateMetrics();
    QAbstractScrollArea::changeEvent(event);
}

qreal LogView::lineWidth(QStringView line) const {
    if (charWidth_ > 0) {
        qreal x = 0;
        for (const QChar c : line) {
            if (c == u'\t')
                x = (std::floor(x / TabStop) + 1) * TabStop;
            else
                x += charWidth_;
        }
        return x;
    }
    const QFontMetricsF metrics(font());
    qreal x = 0;
    for (qsizetype start = 0;;) {
        const qsizetype tab = line.indexOf(u'\t', start);
        x += metrics.horizontalAdvance(
            line.sliced(start, (tab < 0 ? line.size() : tab) - start).toString());
        if (tab < 0) return x;
        x = (std::floor(x / TabStop) + 1) * TabStop;
        start = tab + 1;
    }
}

void LogView::setLines(qint64 lines, const QString& tail, qreal widest, bool quiet) {
    // New lines start where the unfinished one was; everything above it stays as it is, unless
    // the store dropped lines: with memory full, every new line moves the others up by one
    // while their count stays the same.
    const bool renumbered = store_.generation() != generation_;
    generation_ = store_.generation();
    const qint64 firstChanged = renumbered ? 0 : lines != lines_ || tail != tail_ ? lines_ : -1;
    lines_ = lines;
    tail_ = tail;
    widest_ = widest;
    if (renumbered) {
        layouts_.clear();
        setSelection(anchor_, cursor_);  // within the lines there are now; paints all anew
    }
    if (quiet) return;
    updateScrollBars();
    if (firstChanged < 0) return;
    const qint64 row = firstChanged - firstVisibleLine();
    if (row >= visibleLineCount()) return;
    const int top = row <= 0 ? 0 : topOffset() + static_cast<int>(row) * lineHeight_;
    viewport()->update(0, top, viewport()->width(), viewport()->height() - top);
}

void LogView::clear() {
    generation_ = store_.generation();
    lines_ = 0;
    tail_.clear();
    widest_ = 0;
    layouts_.clear();
    anchor_ = cursor_ = Position();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
}

void LogView::updateScrollBars() {
    const qint64 last = std::max<qint64>(0, lineCount() - linesPerPage());
    verticalScrollBar()->setRange(0, static_cast<int>(std::min<qint64>(last, INT_MAX)));
    verticalScrollBar()->setPageStep(linesPerPage());
    verticalScrollBar()->setSingleStep(1);
    const int width = qCeil(widest_) + 2 * Margin + 1;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(std::max(1, qRound(charWidth_ > 0 ? charWidth_ : 8) * 2));
}

QString LogView::lineText(qint64 line) const {
    if (line < 0 || line > lines_) return QString();
    return line == lines_ ? tail_ : store_.line(line);
}

int LogView::topOffset() const {
    return verticalScrollBar()->value() == 0 ? Margin : 0;
}

int LogView::linesPerPage() const {
    return std::max(1, viewport()->height() / lineHeight_);
}

qint64 LogView::firstVisibleLine() const {
    return verticalScrollBar()->value();
}

int LogView::visibleLineCount() const {
    const int rows = (viewport()->height() - topOffset() + lineHeight_ - 1) / lineHeight_;
    return static_cast<int>(std::clamp<qint64>(lineCount() - firstVisibleLine(), 0, rows));
}

void LogView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    const Position start = std::min(anchor_, cursor_), end = std::max(anchor_, cursor_);
    QTextCharFormat selected;
    selected.setBackground(palette().brush(QPalette::Highlight));
    selected.setForeground(palette().brush(QPalette::HighlightedText));
    const qreal left = Margin - horizontalScrollBar()->value();
    int y = topOffset();
    for (qint64 line = firstVisibleLine(); line < lineCount() && y < viewport()->height();
         ++line, y += lineHeight_) {
        if (y + lineHeight_ <= dirty.top() || y > dirty.bottom()) continue;
        const std::shared_ptr<LineLayout> layout = layoutOf(line);
        QList<QTextLayout::FormatRange> selections;
        if (start < end && start.line <= line && line <= end.line) {
            const qsizetype from = line == start.line ? start.column : 0;
            // A selected line break shows as a selected blank after the text.
            const qsizetype to = line == end.line ? end.column : lineText(line).size() + 1;
            if (to > from)
                selections.append({static_cast<int>(from), static_cast<int>(to - from), selected});
        }
        layout->layout().draw(&painter, QPointF(left, y), selections);
        if (hasFocus() && line == cursor_.line)
            layout->layout().drawCursor(&painter, QPointF(left, y),
                                        static_cast<int>(cursor_.column));
    }
}

void LogView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void LogView::scrollContentsBy(int dx, int dy) {
    // What stays on screen is moved, and only the lines that come into view are painted.
    const auto top = [this](qint64 value) {
        return (value == 0 ? Margin : 0) - value * lineHeight_;
    };
    const qint64 value = verticalScrollBar()->value();
    const qint64 shift = top(value) - top(value + dy);
    if (std::abs(shift) >= viewport()->height() || std::abs(dx) >= viewport()->width()) {
        viewport()->update();
        return;
    }
    viewport()->scroll(dx, static_cast<int>(shift));
}

void LogView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void LogView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

LogView::Position LogView::positionAt(QPoint point) const {
    const int row = point.y() < topOffset() ? 0 : (point.y() - topOffset()) / lineHeight_;
    const qint64 line = std::clamp<qint64>(firstVisibleLine() + row, 0, lineCount() - 1);
    return {line, layoutOf(line)->column(point.x() - Margin + horizontalScrollBar()->value())};
}

qreal LogView::xOf(Position position) const {
    return layoutOf(position.line)->x(position.column);
}

void LogView::setSelection(Position anchor, Position cursor) {
    const auto valid = [this](Position p) {
        p.line = std::clamp<qint64>(p.line, 0, lineCount() - 1);
        p.column = std::clamp<qsizetype>(p.column, 0, lineLength(p.line));
        return p;
    };
    anchor_ = valid(anchor);
    cursor_ = valid(cursor);
    viewport()->update();
}

void LogView::moveCursor(Position to, bool select) {
    setSelection(select ? anchor_ : to, to);
    ensureCursorVisible();
}

void LogView::ensureCursorVisible() {
    QScrollBar* vertical = verticalScrollBar();
    if (cursor_.line < vertical->value()) {
        vertical->setValue(static_cast<int>(cursor_.line));
    } else if (cursor_.line >= vertical->value() + linesPerPage()) {
        vertical->setValue(static_cast<int>(cursor_.line - linesPerPage() + 1));
    }
    QScrollBar* horizontal = horizontalScrollBar();
    const int x = qRound(xOf(cursor_)) + Margin;
    if (x < horizontal->value() + Margin) {
        horizontal->setValue(x - Margin);
    } else if (x > horizontal->value() + viewport()->width() - Margin) {
        horizontal->setValue(x - viewport()->width() + Margin);
    }
}

void LogView::selectAll() {
    setSelection({0, 0}, {lineCount() - 1, tail_.size()});
}

QByteArray LogView::selectedUtf8() const {
    const Position start = std::min(anchor_, cursor_), end = std::max(anchor_, cursor_);
    if (start == end) return {};
    if (start.line == end.line)
        return lineText(start.line).mid(start.column, end.column - start.column).toUtf8();
    QByteArray text = lineText(start.line).mid(start.column).toUtf8() + "\r\n";
    text += store_.crlfText(start.line + 1, std::min(end.line, lines_));
    text += lineText(end.line).left(end.column).toUtf8();
    return text;
}

QString LogView::selectedText() const {
    return QString::fromUtf8(selectedUtf8());
}

void LogView::copy() const {
    const QByteArray text = selectedUtf8();
    if (text.isEmpty()) return;
    // Handed over as UTF-8 bytes: half the memory of the same text as a string, which matters
    // when the selection is a million lines.
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/plain"), text);
    QGuiApplication::clipboard()->setMimeData(data);
}

void LogView::keyPressEvent(QKeyEvent* event) {
    const qint64 lastLine = lineCount() - 1;
    const Position c = cursor_;
    const auto nextChar = [&] {
        if (c.column < lineLength(c.line)) return Position{c.line, c.column + 1};
        return c.line < lastLine ? Position{c.line + 1, 0} : c;
    };
    const auto previousChar = [&] {
        if (c.column > 0) return Position{c.line, c.column - 1};
        return c.line > 0 ? Position{c.line - 1, lineLength(c.line - 1)} : c;
    };
    const auto nextWord = [&] {
        const QString text = lineText(c.line);
        if (c.column >= text.size()) return nextChar();
        qsizetype i = c.column;
        while (i < text.size() && !isBlank(text[i])) ++i;
        while (i < text.size() && isBlank(text[i])) ++i;
        return Position{c.line, i};
    };
    const auto previousWord = [&] {
        const QString text = lineText(c.line);
        if (c.column == 0) return previousChar();
        qsizetype i = c.column;
        while (i > 0 && isBlank(text[i - 1])) --i;
        while (i > 0 && !isBlank(text[i - 1])) --i;
        return Position{c.line, i};
    };
    const auto lineAt = [&](qint64 line) {
        line = std::clamp<qint64>(line, 0, lastLine);
        return Position{line, std::min(c.column, lineLength(line))};
    };
    struct Move {
        QKeySequence::StandardKey move, select;
        std::function<Position()> to;
    };
    const Move moves[] = {
        {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, nextChar},
        {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, previousChar},
        {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, nextWord},
        {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, previousWord},
        {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine,
         [&] { return lineAt(c.line + 1); }},
        {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine,
         [&] { return lineAt(c.line - 1); }},
        {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage,
         [&] { return lineAt(c.line + linesPerPage()); }},
        {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage,
         [&] { return lineAt(c.line - linesPerPage()); }},
        {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine,
         [&] {
             return Position{c.line, 0};
         }},
        {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine,
         [&] {
             return Position{c.line, lineLength(c.line)};
         }},
        {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument,
         [&] {
             return Position{0, 0};
         }},
        {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument,
         [&] {
             return Position{lastLine, lineLength(lastLine)};
         }},
    };
    for (const Move& m : moves) {
        const bool select = event->matches(m.select);
        if (!select && !event->matches(m.move)) continue;
        const int pageShift = m.move == QKeySequence::MoveToNextPage       ? linesPerPage()
                              : m.move == QKeySequence::MoveToPreviousPage ? -linesPerPage()
                                                                           : 0;
        // A page key turns the page, and the cursor goes along with it.
        if (pageShift != 0) verticalScrollBar()->setValue(verticalScrollBar()->value() + pageShift);
        moveCursor(m.to(), select);
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->matches(QKeySequence::Copy)) {
        copy();
    } else {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void LogView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    moveCursor(positionAt(event->position().toPoint()),
               event->modifiers().testFlag(Qt::ShiftModifier));
}

void LogView::mouseMoveEvent(QMouseEvent* event) {
    if (!event->buttons().testFlag(Qt::LeftButton)) return;
    // Dragging past the top or the bottom edge scrolls a line per move.
    QPoint point = event->position().toPoint();
    if (point.y() < 0) {
        verticalScrollBar()->setValue(verticalScrollBar()->value() - 1);
        point.setY(0);
    } else if (point.y() >= viewport()->height()) {
        verticalScrollBar()->setValue(verticalScrollBar()->value() + 1);
        point.setY(viewport()->height() - 1);
    }
    moveCursor(positionAt(point), true);
}

void LogView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const Position at = positionAt(event->position().toPoint());
    const QString text = lineText(at.line);
    qsizetype from = at.column, to = at.column;
    while (from > 0 && !isBlank(text[from - 1])) --from;
    while (to < text.size() && !isBlank(text[to])) ++to;
    setSelection({at.line, from}, {at.line, to});
}

void LogView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(QStringLiteral("&Copy"), this, &LogView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(anchor_ != cursor_);
    QAction* all = menu.addAction(QStringLiteral("Select All"), this, &LogView::selectAll);
    all->setShortcut(QKeySequence::SelectAll);
    menu.exec(event->globalPos());
}

}  // namespace textlog
