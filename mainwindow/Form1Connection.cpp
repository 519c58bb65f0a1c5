// The main window's side of the serial connection: Connect and Disconnect, the button's
// colour, a lost link, the countdown, and the messages that tell the user of failures.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "Form1.h"
#include "LinkStory.h"
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
    if (MSComm1.setPortOpen(true)) {
        device::stampLastFrame(history_, clock_, clock_.now());
        return;
    }
    // A slow opening goes on in the background, the button green as Connect made it, until
    // openFinished tells how it ended.
    if (MSComm1.linkState() == device::LinkState::Opening) return;
    connectFailed();
}

void Form1::openFinished(bool opened) {
    if (opened) {
        device::stampLastFrame(history_, clock_, clock_.now());
        return;
    }
    connectFailed();
}

void Form1::connectFailed() {
    // The colour follows the real state: a port that would not open is not connected.
    setConnectColour(Disconnected);
    report(MessageKind::ConnectFailed, MSComm1.errorString());
}

void Form1::watchPort(const QString& portName) {
    Combo1->setEditText(portName);
    station_.watchPort(
        resolvePortName(selectedEntryNumber(), Combo1->currentText(), portNameForNumber));
}

void Form1::Command3_Click() {
    // Stops an opening or the trying again as well: the port is not open then, but the user
    // asked for it to stay closed.
    if (MSComm1.linkState() == device::LinkState::Closed) return;
    MSComm1.setPortOpen(false);
    setConnectColour(Disconnected);
}

void Form1::linkLost(const QString&) {
    setConnectColour(Disconnected);
    report(MessageKind::LinkLost, linkStory());
}

void Form1::linkRestored() {
    setConnectColour(Connected);
}

void Form1::linkStateChanged() {
    const device::LinkState state = MSComm1.linkState();
    if (state == device::LinkState::Retrying) setConnectColour(Disconnected);
    if (state == device::LinkState::Open) setConnectColour(Connected);
    messageWindows_.update(MessageKind::LinkLost, linkStory());
}

QString Form1::linkStory() const {
    return describeLinkStory(MSComm1.CommPort(), MSComm1.linkState(), MSComm1.watch(),
                             clock_.now());
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
