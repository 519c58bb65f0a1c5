#pragma once

#include <QFrame>
#include <QPixmap>
#include <QString>

namespace mainwindow {

// The backdrop picture box: a sunken panel whose picture is drawn at natural size from the
// inner top-left corner and cut off at the border, never scaled. Child controls are placed
// relative to the inner corner.
class BackdropPanel : public QFrame {
    Q_OBJECT
public:
    static constexpr int BorderWidth = 2;

    explicit BackdropPanel(QWidget* parent = nullptr);

    // sharpPath names the same picture drawn at twice the resolution; on a scaled screen the
    // panel shows that one, loaded when first needed, at the picture's natural size.
    void setPicture(const QPixmap& picture, const QString& sharpPath = {});
    const QPixmap& picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
    QString sharpPath_;
    QPixmap sharp_;
};

}  // namespace mainwindow
