#pragma once

#include <QFrame>
#include <QPixmap>

namespace mainwindow {

// The backdrop picture box: a sunken panel whose picture is drawn at natural size from the
// inner top-left corner and cut off at the border, never scaled. Child controls are placed
// relative to the inner corner.
class BackdropPanel : public QFrame {
    Q_OBJECT
public:
    static constexpr int BorderWidth = 2;

    explicit BackdropPanel(QWidget* parent = nullptr);

    void setPicture(const QPixmap& picture);
    const QPixmap& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};

}  // namespace mainwindow
