// The main window's side of the serial connection: Connect and Disconnect, the button's
// colour, a lost link, the countdown, and the messages that tell the user of failures.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "Form1.h"
#include "PortNames.h"
#include "device/Countdown.h"

namespace mainwindow {

void Form1::connectTo(const QString& portName) {
    Combo1->setEditText(portName);
    Command2_Click();
}

std::optional<int> Form1::selectedEntryNumber() const {
    const int index = Combo1->findText(Combo1->currentText(), Qt::MatchExactly);
    if (index < 0) return std::nullopt;
    return Combo1->itemData(index).toInt();
}

void Form1::setConnectColour(QRgb rgb) {
    const QColor c(rgb);
    // A style sheet, because only then do all styles paint a button's background colour.
    Command2->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; border: 1px solid #707070; }"
                       "QPushButton:pressed { border: 2px solid #404040; }")
            .arg(c.name()));
    Command2->setProperty("connectColour", c);
}

QColor Form1::connectColour() const {
    return Command2->property("connectColour").value<QColor>();
}

void Form1::Command2_Click() {
    setConnectColour(Connected);
    if (MSComm1.PortOpen()) MSComm1.setPortOpen(false);
    MSComm1.setCommPort(
        resolvePortName(selectedEntryNumber(), Combo1->currentText(), portNameForNumber));
    if (!MSComm1.setPortOpen(true)) {
        // The colour follows the real state: a port that would not open is not connected.
        setConnectColour(Disconnected);
        emit linkStateChanged(QStringLiteral("disconnected"));
        report(MessageKind::ConnectFailed, MSComm1.errorString());
        return;
    }
    device::stampLastFrame(history_, clock_, clock_.now());
    emit linkStateChanged(QStringLiteral("connected"));
}

void Form1::Command3_Click() {
    if (!MSComm1.PortOpen()) return;
    MSComm1.setPortOpen(false);
    setConnectColour(Disconnected);
    emit linkStateChanged(QStringLiteral("disconnected"));
}

void Form1::linkLost(const QString& reason) {
    setConnectColour(Disconnected);
    emit linkStateChanged(QStringLiteral("lost"));
    report(MessageKind::LinkLost,
           QStringLiteral("The connection on %1 was lost: %2.\n\nPress Connect to try again.")
               .arg(MSComm1.CommPort(), reason));
}

void Form1::report(MessageKind kind, const QString& text) {
    if (reportError) {
        reportError(text);
        return;
    }
    messageWindows_.report(kind, text);
}

void Form1::Timer2_Timer() {
    Label6->setText(QString::number(device::countdownNow(history_, clock_)));
}

}  // namespace mainwindow
