#include "Form2.h"

#include <QAbstractTextDocumentLayout>
#include <QCloseEvent>
#include <QFont>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTextBlock>
#include <QTextCursor>
#include <optional>
#include <utility>

namespace textlog {

namespace {

// A scroll bar that repaints for a new range only when what it shows changes. Lines come ten
// times a second; over a long log the slider moves by a pixel only now and then, and a scroll
// bar is among the costliest controls to paint.
class LogScrollBar final : public QScrollBar {
public:
    explicit LogScrollBar(Qt::Orientation orientation) : QScrollBar(orientation) {}

protected:
    void sliderChange(SliderChange change) override {
        const bool sameLook = (change == SliderRangeChange || change == SliderStepsChange) &&
                              painted_ && *painted_ == look();
        if (!sameLook) QScrollBar::sliderChange(change);
    }
    void paintEvent(QPaintEvent* event) override {
        painted_ = look();
        QScrollBar::paintEvent(event);
    }

private:
    struct Look {
        QRect slider;
        bool atMinimum, atMaximum, empty;
        bool operator==(const Look&) const = default;
    };
    Look look() const {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                        this),
                value() == minimum(), value() == maximum(), minimum() == maximum()};
    }
    std::optional<Look> painted_;
};

}  // namespace

Form2::Form2(std::function<void()> showMainWindow, QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Text log  Vellicor"));
    setFixedSize(546, 411);

    RichTextBox1 = new QPlainTextEdit(this);
    RichTextBox1->setGeometry(6, 6, 537, 373);
    QFont font;
    font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(9.75);
    RichTextBox1->setFont(font);
    RichTextBox1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichTextBox1->setVerticalScrollBar(new LogScrollBar(Qt::Vertical));
    RichTextBox1->setHorizontalScrollBar(new LogScrollBar(Qt::Horizontal));
    // Logged lines are not the user's edits; undo must not take them back, and an undo stack
    // would grow by one entry per line for as long as logging runs.
    RichTextBox1->document()->setUndoRedoEnabled(false);

    Command1 = new QPushButton(QStringLiteral("Close"), this);
    Command1->setGeometry(477, 390, 55, 16);

    setTabOrder(RichTextBox1, Command1);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);

    refresh_.setSingleShot(true);
    refresh_.setInterval(RefreshIntervalMs);
    connect(&refresh_, &QTimer::timeout, this, [this] {
        const bool gathered = !pending_.isEmpty();
        putPendingLines();
        // A hidden box keeps gathering for as long as lines keep coming.
        if (gathered && !isVisible()) refresh_.start();
    });

    rangeInterval_.setSingleShot(true);
    rangeInterval_.setInterval(ScrollRangeIntervalMs);
    connect(&rangeInterval_, &QTimer::timeout, this, [this] {
        if (!rangeStale_) return;
        updateScrollRange();
        rangeInterval_.start();
    });
    const std::initializer_list<QObject*> parts = {RichTextBox1, RichTextBox1->viewport(),
                                                   RichTextBox1->verticalScrollBar(),
                                                   RichTextBox1->horizontalScrollBar()};
    for (QObject* part : parts) part->installEventFilter(this);

    if (showMainWindow) showMainWindow();
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
        case QEvent::KeyPress:
            if (rangeStale_) updateScrollRange();
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::appendLine(const QString& line) {
    // The document keeps one block per line; the CR LF of a line becomes the block break.
    QString paragraphs = line;
    paragraphs.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!isVisible() && !refresh_.isActive()) {
        // Hidden, nothing is painted, yet each insertion still costs the document a new block
        // and a layout. A line after a quiet interval goes in at once; those that follow it
        // within the interval go in together when it ends.
        insertAtEnd(paragraphs);
        refresh_.start();
        return;
    }
    pending_ += paragraphs;
    if (!refresh_.isActive()) refresh_.start();
}

void Form2::flushPendingLines() {
    putPendingLines();
    if (rangeStale_) updateScrollRange();
}

void Form2::putPendingLines() {
    refresh_.stop();
    if (pending_.isEmpty()) return;
    const QString lines = std::exchange(pending_, QString());
    insertAtEnd(lines);
}

void Form2::showEvent(QShowEvent* event) {
    flushPendingLines();  // before the first paint
    QWidget::showEvent(event);
}

void Form2::hideEvent(QHideEvent* event) {
    flushPendingLines();
    QWidget::hideEvent(event);
}

void Form2::insertAtEnd(const QString& paragraphs) {
    QScrollBar* vertical = RichTextBox1->verticalScrollBar();
    QScrollBar* horizontal = RichTextBox1->horizontalScrollBar();
    const int top = vertical->value();
    const int left = horizontal->value();
    const QTextCursor userCursor = RichTextBox1->textCursor();
    const int userPosition = userCursor.position();
    const int userAnchor = userCursor.anchor();

    QTextDocument* const document = RichTextBox1->document();
    QAbstractTextDocumentLayout* const layout = document->documentLayout();
    // Lines added below the last one on screen change nothing there but the scroll bars, yet
    // the layout would have the whole box repainted for them. Then it stays quiet and only the
    // scroll bars hear of the new size, at their own pace; a hidden box's bars are set when it
    // is shown.
    const bool visible = isVisible();
    const bool quiet = !visible || lastShownBlock() < document->blockCount() - 1;
    {
        const QSignalBlocker blocker(quiet ? layout : nullptr);
        QTextCursor end(document);
        // Within an edit block the cursor skips laying out the line it stops at to find its
        // x position, which nobody asks for; the document lays out the new lines anyway.
        end.beginEditBlock();
        end.setPosition(document->characterCount() - 1);  // before the closing separator
        end.insertText(paragraphs);
        end.endEditBlock();
    }
    if (quiet && visible) {
        noteScrollRangeChange();
    } else if (visible) {
        rangeStale_ = false;  // the layout has told the scroll bars itself
    }

    // A user cursor sitting at the very end would be pushed along by the insertion.
    QTextCursor restored = RichTextBox1->textCursor();
    if (restored.position() != userPosition || restored.anchor() != userAnchor) {
        restored.setPosition(userAnchor);
        restored.setPosition(userPosition, QTextCursor::KeepAnchor);
        RichTextBox1->setTextCursor(restored);
    }
    vertical->setValue(top);
    horizontal->setValue(left);
}

void Form2::noteScrollRangeChange() {
    if (rangeInterval_.isActive()) {
        rangeStale_ = true;
        return;
    }
    updateScrollRange();
    rangeInterval_.start();
}

void Form2::updateScrollRange() {
    rangeStale_ = false;
    // A hidden box's bars are set when it is shown.
    if (!isVisible()) return;
    QAbstractTextDocumentLayout* const layout = RichTextBox1->document()->documentLayout();
    emit layout->documentSizeChanged(layout->documentSize());
}

int Form2::lastShownBlock() const {
    const QPoint bottomLeft(0, RichTextBox1->viewport()->height() - 1);
    return RichTextBox1->cursorForPosition(bottomLeft).blockNumber();
}

QString Form2::text() const {
    QString all = RichTextBox1->toPlainText() + pending_;
    all.replace(u'\n', QStringLiteral("\r\n"));
    return all;
}

void Form2::Command1_Click() {
    close();
}

void Form2::closeEvent(QCloseEvent* event) {
    // Closing discards the lines shown; the next logged line goes to a fresh window.
    refresh_.stop();
    rangeInterval_.stop();
    rangeStale_ = false;
    pending_.clear();
    RichTextBox1->clear();
    event->accept();
}

}  // namespace textlog
