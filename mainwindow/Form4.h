#pragma once

#include <QLabel>
#include <QWidget>

namespace mainwindow {

// The help window: how to choose the target pH from the water's KH. Static texts and the
// CO2 table; nothing in it reacts.
class Form4 : public QWidget {
    Q_OBJECT
public:
    explicit Form4(QWidget* parent = nullptr);

    // The CO2 table picture, shown at its natural size inside a one-pixel border.
    QLabel* Picture1 = nullptr;
    QLabel* Label1 = nullptr;  // heading
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;  // a single blank, under Label6
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;  // second half of Label8's sentence
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;  // the worked example
    QLabel* Label12 = nullptr;  // "Example:"
};

}  // namespace mainwindow
