#include <QApplication>
#include <QTimer>

#include "Form1.h"
#include "device/MeasurementHistory.h"
#include "textlog/LogSession.h"

// One optional argument: a port name to keep open from as soon as the window is up; one that
// is not there yet is tried again by itself.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    device::MeasurementHistory history;
    textlog::QtSaveDialog dialog;
    mainwindow::Form1 form1(history, dialog);
    QObject::connect(&form1, &mainwindow::Form1::exited, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    form1.show();
    if (argc > 1) {
        const QString portName = QString::fromLocal8Bit(argv[1]);
        QTimer::singleShot(0, &form1, [&form1, portName] { form1.watchPort(portName); });
    }
    return app.exec();
}
