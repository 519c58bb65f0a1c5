#include <QApplication>
#include <QPixmap>

#include "mainwindow/Form4.h"

// Grabs the help window as it is drawn offscreen:  help-screenshot <file.png>
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) return 2;
    mainwindow::Form4 form;
    form.show();
    QApplication::processEvents();
    return form.grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
