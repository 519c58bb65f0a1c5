#include "HistoryPlot.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace history {

namespace {
constexpr qint64 ShortestSpan = 60;
}

HistoryPlot::HistoryPlot(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(640, 360);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void HistoryPlot::setSummary(std::shared_ptr<const Summary> summary) {
    summary_ = std::move(summary);
    const Span whole = wholeSpan(*summary_);
    switch (follow_) {
        case Follow::Whole:
            span_ = whole;
            break;
        case Follow::End:
            span_ = {whole.to - span_.length(), whole.to};
            break;
        case Follow::None:
            break;
    }
    columnsStale_ = true;
    update();
}

void HistoryPlot::showLast(qint64 seconds) {
    if (!summary_) return;
    const Span whole = wholeSpan(*summary_);
    changeSpan({whole.to - seconds, whole.to}, Follow::End);
}

void HistoryPlot::showWhole() {
    if (summary_) changeSpan(wholeSpan(*summary_), Follow::Whole);
}

void HistoryPlot::setSpan(Span span) {
    changeSpan(span);
}

void HistoryPlot::changeSpan(Span span, Follow follow) {
    if (!summary_) return;
    const Span whole = wholeSpan(*summary_);
    const qint64 length =
        std::clamp(span.length(), ShortestSpan, std::max(ShortestSpan, whole.length() * 2));
    span.to = span.from + length;
    // Never wholly off the file's time.
    if (span.from > whole.to - ShortestSpan) span = {whole.to - length, whole.to};
    if (span.to < whole.from + ShortestSpan) span = {whole.from, whole.from + length};
    if (follow == Follow::None && span.to >= whole.to && span.to - length <= whole.to)
        follow = span.from <= whole.from ? Follow::Whole : Follow::End;
    follow_ = follow;
    if (span == span_) return;
    span_ = span;
    columnsStale_ = true;
    update();
}

void HistoryPlot::zoomAround(qint64 centre, double factor) {
    const qint64 length = std::max<qint64>(ShortestSpan, std::llround(span_.length() * factor));
    const double share = double(centre - span_.from) / std::max<qint64>(1, span_.length());
    const qint64 from = centre - std::llround(share * length);
    changeSpan({from, from + length});
}

// Where times fall for the span as it is now, drawn yet or not: the plot's place does not
// depend on what it shows.
Layout HistoryPlot::positions() const {
    return layoutFor(size(), span_, {});
}

void HistoryPlot::setAlarmMarks(std::vector<AlarmMark> marks) {
    marks_ = std::move(marks);
    pictureStale_ = true;
    update();
}

void HistoryPlot::redraw() {
    if (!summary_) return;
    if (picture_.size() != size()) {
        picture_ = QImage(size(), QImage::Format_RGB32);
        columnsStale_ = true;
    }
    if (columnsStale_) {
        const QRect plot = layoutFor(size(), span_, {}).plot;
        columns_ = columnsFor(*summary_, span_, plot.width() - 1);
        layout_ = layoutFor(size(), span_, columns_);
        columnsStale_ = false;
        pictureStale_ = true;
    }
    if (pictureStale_) {
        drawHistory(picture_, layout_, columns_, {pointed_, kh_});
        drawAlarmMarks(picture_, layout_, marks_);
        pictureStale_ = false;
    }
}

const QImage& HistoryPlot::picture() {
    redraw();
    return picture_;
}

void HistoryPlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!summary_) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    redraw();
    painter.drawImage(0, 0, picture_);
    if (dragFrom_) {
        const QRect band = QRect(QPoint(std::min(*dragFrom_, dragTo_), layout_.plot.top()),
                                 QPoint(std::max(*dragFrom_, dragTo_), layout_.plot.bottom()));
        painter.fillRect(band, QColor(255, 255, 255, 60));
    }
}

void HistoryPlot::resizeEvent(QResizeEvent*) {
    columnsStale_ = true;
}

void HistoryPlot::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0 || !summary_) return;
    zoomAround(positions().timeAt(static_cast<int>(event->position().x())), std::pow(0.8, notches));
    event->accept();
}

void HistoryPlot::mousePressEvent(QMouseEvent* event) {
    const int x = static_cast<int>(event->position().x());
    if (event->button() == Qt::LeftButton) {
        dragFrom_ = dragTo_ = x;
    } else if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) {
        panFrom_ = x;
        panSpan_ = span_;
    }
}

void HistoryPlot::mouseMoveEvent(QMouseEvent* event) {
    const int x = static_cast<int>(event->position().x());
    if (dragFrom_) {
        dragTo_ = x;
        update();
    } else if (panFrom_) {
        const qint64 shift =
            qint64(*panFrom_ - x) * panSpan_.length() / std::max(1, positions().plot.width() - 1);
        changeSpan({panSpan_.from + shift, panSpan_.to + shift});
    }
    point(x);
}

void HistoryPlot::mouseReleaseEvent(QMouseEvent* event) {
    if (dragFrom_ && event->button() == Qt::LeftButton) {
        const int a = std::min(*dragFrom_, dragTo_), b = std::max(*dragFrom_, dragTo_);
        dragFrom_.reset();
        if (b - a > 3) changeSpan({positions().timeAt(a), positions().timeAt(b)});
        update();
    }
    if (event->button() == Qt::RightButton || event->button() == Qt::MiddleButton) panFrom_.reset();
}

void HistoryPlot::keyPressEvent(QKeyEvent* event) {
    const qint64 step = span_.length() / 5;
    switch (event->key()) {
        case Qt::Key_Left:
            changeSpan({span_.from - step, span_.to - step});
            break;
        case Qt::Key_Right:
            changeSpan({span_.from + step, span_.to + step});
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            zoomAround(span_.from + span_.length() / 2, 0.5);
            break;
        case Qt::Key_Minus:
            zoomAround(span_.from + span_.length() / 2, 2);
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
}

void HistoryPlot::leaveEvent(QEvent*) {
    if (pointed_) {
        pointed_.reset();
        pictureStale_ = true;
        update();
    }
}

// The line nearest in time to the pointer, read from the file: only the minutes around it.
void HistoryPlot::point(int x) {
    if (!summary_ || summary_->buckets.empty() ||
        !positions().plot.contains(x, positions().plot.center().y()))
        return;
    const qint64 t = positions().timeAt(x);
    // The minute the time falls in or the next one with lines, and the one before.
    const std::size_t i = std::min(bucketAt(*summary_, t), summary_->buckets.size() - 1);
    const Bucket& first = summary_->buckets[i > 0 ? i - 1 : i];
    const Bucket& last = summary_->buckets[i];
    const LinesRead read = readLines(*summary_, qint64(first.minute) * BucketSeconds,
                                     qint64(last.minute) * BucketSeconds + BucketSeconds, 4000);
    std::optional<LogLine> nearest;
    for (const LogLine& line : read.lines)
        if (!nearest || std::llabs(line.time - t) < std::llabs(nearest->time - t)) nearest = line;
    if (!nearest) return;
    const auto same = [](const std::optional<LogLine>& a, const std::optional<LogLine>& b) {
        return a && b && a->time == b->time && a->ph == b->ph;
    };
    if (same(nearest, pointed_)) return;
    pointed_ = nearest;
    pictureStale_ = true;
    update();
}

}  // namespace history
