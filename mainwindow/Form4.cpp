#include "Form4.h"

namespace mainwindow {

// Placeholder until the help window is built.
Form4::Form4(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("How to calculate CO2 level and target pH from KH"));
}

}  // namespace mainwindow
