#pragma once

#include <QWidget>

namespace mainwindow {

// The help window: how to choose the target pH from the water's KH.
class Form4 : public QWidget {
    Q_OBJECT
public:
    explicit Form4(QWidget* parent = nullptr);
};

}  // namespace mainwindow
