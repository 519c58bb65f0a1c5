#include "BackdropPanel.h"

#include <QPainter>

namespace mainwindow {

BackdropPanel::BackdropPanel(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(BorderWidth);
}

void BackdropPanel::setPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void BackdropPanel::paintEvent(QPaintEvent* event) {
    if (!picture_.isNull()) {
        QPainter painter(this);
        const QRect inner = contentsRect();
        painter.setClipRect(inner);
        painter.drawPixmap(inner.topLeft(), picture_);
    }
    QFrame::paintEvent(event);
}

}  // namespace mainwindow
