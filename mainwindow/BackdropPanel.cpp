#include "BackdropPanel.h"

#include <QPainter>

namespace mainwindow {

BackdropPanel::BackdropPanel(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(BorderWidth);
}

void BackdropPanel::setPicture(const QPixmap& picture, const QString& sharpPath) {
    picture_ = picture;
    sharpPath_ = sharpPath;
    sharp_ = QPixmap();
    update();
}

void BackdropPanel::paintEvent(QPaintEvent* event) {
    if (!picture_.isNull()) {
        QPainter painter(this);
        const QRect inner = contentsRect();
        painter.setClipRect(inner);
        if (devicePixelRatioF() > 1 && !sharpPath_.isEmpty() && sharp_.isNull())
            sharp_ = QPixmap(sharpPath_);
        if (devicePixelRatioF() > 1 && !sharp_.isNull()) {
            // Twice the pixels brought down to the screen's ratio stay sharp; the picture
            // stretched up would not.
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawPixmap(QRect(inner.topLeft(), picture_.deviceIndependentSize().toSize()),
                               sharp_);
        } else {
            painter.drawPixmap(inner.topLeft(), picture_);
        }
    }
    QFrame::paintEvent(event);
}

}  // namespace mainwindow
