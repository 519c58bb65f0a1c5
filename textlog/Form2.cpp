#include "Form2.h"

#include <QCloseEvent>
#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>
#include <optional>

namespace textlog {

namespace {

// The style's own scroll bar, drawn a band at a time. Qt splits a fill of 96 rows or more over
// its thread pool, and a bar's gradients are that tall: each repaint woke the pool's threads and
// waited for them, a dozen thread switches for a control 14 pixels wide. Each band is drawn on a
// picture of its own size, so that nothing the style draws can reach past it; the style covers
// the whole bar with its groove first, so the pictures put together are the bar, pixel for pixel.
class BandedScrollBarStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        // Fills as short as a horizontal bar's rows stay on this thread anyway.
        constexpr int Band = 64;
        const QRect whole = option->rect;
        if (control != CC_ScrollBar || whole.height() <= Band) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        for (int top = whole.top(); top <= whole.bottom(); top += Band) {
            const QRect band(whole.left(), top, whole.width(), Band);
            QImage picture(band.size() * ratio, QImage::Format_ARGB32_Premultiplied);
            picture.setDevicePixelRatio(ratio);
            picture.fill(Qt::transparent);
            QPainter bandPainter(&picture);
            bandPainter.setRenderHints(painter->renderHints());
            bandPainter.translate(-band.topLeft());
            QProxyStyle::drawComplexControl(control, option, &bandPainter, widget);
            bandPainter.end();
            painter->drawImage(band.topLeft(), picture);
        }
    }
};

// A scroll bar that repaints for a new range only when what it shows changes. Lines come ten
// times a second; over a long log the slider moves by a pixel only now and then, and a scroll
// bar is among the costliest controls to paint.
class LogScrollBar final : public QScrollBar {
public:
    explicit LogScrollBar(Qt::Orientation orientation) : QScrollBar(orientation) {
        auto* banded = new BandedScrollBarStyle(style()->name());
        banded->setParent(this);
        setStyle(banded);
    }

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

// The spool belongs on a disk: the temporary folder may be a RAM disk, which would hold the
// lines in memory after all.
QString defaultSpoolFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
}

}  // namespace

Form2::Form2(std::function<void()> showMainWindow, QWidget* parent, const QString& spoolFolder)
    : QWidget(parent), store_(spoolFolder.isEmpty() ? defaultSpoolFolder() : spoolFolder) {
    setWindowTitle(QStringLiteral("Text log  Vellicor"));
    setFixedSize(546, 411);

    RichTextBox1 = new LogView(store_, this);
    RichTextBox1->setGeometry(6, 6, 537, 373);
    QFont font;
    font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(9.75);
    RichTextBox1->setFont(font);
    RichTextBox1->setVerticalScrollBar(new LogScrollBar(Qt::Vertical));
    RichTextBox1->setHorizontalScrollBar(new LogScrollBar(Qt::Horizontal));

    notice_ = new QLabel(this);
    notice_->setGeometry(6, 390, 465, 16);
    notice_->hide();

    Command1 = new QPushButton(QStringLiteral("Close"), this);
    Command1->setGeometry(477, 390, 55, 16);

    setTabOrder(RichTextBox1, Command1);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);

    refresh_.setSingleShot(true);
    refresh_.setInterval(RefreshIntervalMs);
    connect(&refresh_, &QTimer::timeout, this, &Form2::putPendingLines);

    rangeInterval_.setSingleShot(true);
    connect(&rangeInterval_, &QTimer::timeout, this, [this] {
        if (rangeStale_) updateScrollRange();
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
    QStringView rest = line;
    QString joined;
    if (!tail_.isEmpty()) {
        joined = std::exchange(tail_, QString()) + line;
        rest = joined;
    }
    for (qsizetype end; (end = rest.indexOf(u'\n')) >= 0; rest = rest.sliced(end + 1)) {
        const qsizetype length = end > 0 && rest[end - 1] == u'\r' ? end - 1 : end;
        takeLine(rest.first(length));
    }
    tail_ = rest.toString();
    // A hidden box shows nothing; it catches up when shown.
    if (isVisible() && !refresh_.isActive()) refresh_.start();
}

void Form2::takeLine(QStringView line) {
    store_.append(line);
    widest_ = std::max(widest_, RichTextBox1->lineWidth(line));
}

void Form2::flushPendingLines() {
    putPendingLines();
    if (rangeStale_) updateScrollRange();
}

void Form2::showAppendedLines() {
    if (refresh_.isActive()) putPendingLines();
}

void Form2::putPendingLines() {
    refresh_.stop();
    const qint64 lines = store_.count();
    // Lines added below the last one on screen change nothing there but the scroll bars; then
    // only the bars hear of them, at their own pace.
    const bool below = isVisible() && RichTextBox1->lastVisibleLine() < shownLines_;
    shownLines_ = lines;
    RichTextBox1->setLines(lines, tail_, widest_, below);
    if (below) {
        noteScrollRangeChange();
    } else {
        rangeStale_ = false;
    }
    updateNotice();
}

void Form2::showEvent(QShowEvent* event) {
    flushPendingLines();  // before the first paint
    updateScrollRange();
    QWidget::showEvent(event);
}

void Form2::hideEvent(QHideEvent* event) {
    flushPendingLines();
    QWidget::hideEvent(event);
}

void Form2::noteScrollRangeChange() {
    const qint64 since = sinceRange_.isValid() ? sinceRange_.elapsed() : ScrollRangeIntervalMs;
    if (since >= ScrollRangeIntervalMs - RefreshIntervalMs) {
        updateScrollRange();
        return;
    }
    rangeStale_ = true;
    if (!rangeInterval_.isActive())
        rangeInterval_.start(static_cast<int>(ScrollRangeIntervalMs - since));
}

void Form2::updateScrollRange() {
    rangeStale_ = false;
    rangeInterval_.stop();
    sinceRange_.start();
    RichTextBox1->updateScrollBars();
}

void Form2::updateNotice() {
    const bool refused = store_.inMemoryOnly() || store_.dropped() > 0;
    if (refused) {
        QString text = QStringLiteral("No room on disk: only the newest %L1 lines are kept here")
                           .arg(LineStore::MemoryLines);
        if (store_.dropped() > 0) text += QStringLiteral(" (%L1 dropped)").arg(store_.dropped());
        notice_->setText(text);
    }
    notice_->setVisible(refused);
}

QString Form2::text() const {
    return QString::fromUtf8(store_.crlfText(0, store_.count())) + tail_;
}

void Form2::Command1_Click() {
    close();
}

void Form2::closeEvent(QCloseEvent* event) {
    // Closing discards the lines shown, and their spool; the next logged line goes to a fresh
    // window.
    refresh_.stop();
    rangeInterval_.stop();
    sinceRange_.invalidate();
    rangeStale_ = false;
    store_.clear();
    tail_.clear();
    widest_ = 0;
    shownLines_ = 0;
    RichTextBox1->clear();
    notice_->hide();
    event->accept();
}

}  // namespace textlog
