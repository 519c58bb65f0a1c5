#pragma once

#include <QImage>
#include <QWidget>
#include <memory>
#include <optional>

#include "AlarmMarks.h"
#include "HistoryDrawing.h"

// The drawing surface of the history window: shows a span of a summary and lets the user
// move through it. Wheel: zoom around the pointer; drag: zoom to the span dragged over;
// right or middle drag, arrow keys: move; + and -: zoom. Pointing shows the nearest line.
namespace history {

class HistoryPlot : public QWidget {
    Q_OBJECT
public:
    explicit HistoryPlot(QWidget* parent = nullptr);

    void setSummary(std::shared_ptr<const Summary> summary);
    void setAlarmMarks(std::vector<AlarmMark> marks);
    // With the water's KH, the header shows the CO2 of the pointed line.
    void setKh(std::optional<double> kh) { kh_ = kh; }
    const std::vector<AlarmMark>& alarmMarks() const { return marks_; }
    // Follows the end of a growing file when the view reaches it.
    void showLast(qint64 seconds);
    void showWhole();
    void setSpan(Span span);
    Span span() const { return span_; }
    // The line the header shows, the one nearest in time to the pointer.
    const std::optional<LogLine>& pointed() const { return pointed_; }

    // The picture as last drawn, drawn first if anything changed.
    const QImage& picture();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    enum class Follow { None, Whole, End };
    void changeSpan(Span span, Follow follow = Follow::None);
    void zoomAround(qint64 centre, double factor);
    void point(int x);
    void redraw();
    Layout positions() const;

    std::shared_ptr<const Summary> summary_;
    Span span_;
    Follow follow_ = Follow::Whole;
    Layout layout_;
    std::vector<Column> columns_;
    std::optional<LogLine> pointed_;
    std::vector<AlarmMark> marks_;
    std::optional<double> kh_;
    QImage picture_;
    bool columnsStale_ = true, pictureStale_ = true;
    std::optional<int> dragFrom_;  // zooming to a span
    std::optional<int> panFrom_;
    Span panSpan_;
    int dragTo_ = 0;
};

}  // namespace history
