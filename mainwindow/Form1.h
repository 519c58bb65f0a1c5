#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "MessageWindows.h"
#include "WindowRegistry.h"
#include "device/Clock.h"
#include "device/MeasurementHistory.h"
#include "history/AlarmMarks.h"
#include "station/Station.h"
#include "textlog/LogSession.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace graph {
class Form3;
}
namespace textlog {
class Form2;
class LogFile;
}  // namespace textlog

namespace mainwindow {

class Form4;
class BackdropPanel;

// The main window: pH displays over the backdrop, the serial connection, the update rate,
// the command buttons and, right of the start-up width, the register panel. A face of the
// station: it shows what the station hears and passes the buttons on to it.
class Form1 : public QWidget, public station::Face {
    Q_OBJECT
    // First, so that MSComm1 below can name its port.
    station::Station station_;

public:
    static const QString Caption;
    static const QString UpdateRateTip;
    static constexpr QRgb Disconnected = 0xFFC0C0;  // light red
    static constexpr QRgb Connected = 0xC0FFC0;     // light green

    Form1(device::MeasurementHistory& history, textlog::SaveDialog& dialog,
          const device::Clock& clock = device::Clock::system(), QWidget* parent = nullptr);
    ~Form1() override;

    // Puts a port name in the selector's edit field and presses "Connect".
    void connectTo(const QString& portName);
    // Puts a port name in the selector's edit field and keeps that port open: tried again by
    // itself while it is not there, for a start-up with nobody to press "Connect".
    void watchPort(const QString& portName);
    // Logs from now on into a file already open, as "Save Log" does once its file is chosen.
    void logInto(std::unique_ptr<textlog::LogFile> opened);
    // The alarms' thresholds and the KH the history of the logged file is shown with.
    void setHistoryAlarms(const history::AlarmView& view) { historyAlarms_ = view; }

    void Command1_Click();  // demo history, no drawing
    void Command2_Click();  // "Connect"
    void Command3_Click();  // "Disconnect"
    void Command4_Click();  // "Graph"
    void Command5_Click();  // demo graph
    void Command6_Click();  // "Save Log"
    void Command7_Click();  // "Exit"
    void Command8_Click();  // "Target pH"
    void Timer2_Timer();

    // The secondary windows, created hidden on first touch.
    textlog::Form2* form2();
    graph::Form3* form3();
    Form4* form4();
    const WindowRegistry& windows() const { return registry_; }
    QColor connectColour() const;
    // The port, the log file and the frames behind this window; a publisher listens to it.
    station::Station& station() { return station_; }

    // Face
    void showRegisters(const device::RegisterTexts& texts) override;
    QString updateRateText() const override;
    device::GraphScale graphScale() override;
    void computeScaleMappings() override;
    void redrawGraph(device::GraphScale scale) override;

    // When set, takes every message to the user instead of the message windows; tests and the
    // soak collect them.
    std::function<void(const QString&)> reportError;
    // Tells the user of a failure, in the window of its kind (or to reportError).
    void report(MessageKind kind, const QString& text);
    // Which device an entry's port number opens; tests point it at pseudo-terminals.
    std::function<QString(int)> portNameForNumber;

    device::MSComm& MSComm1;  // the station's port
    QTimer Timer2;            // one-second countdown tick

    BackdropPanel* Picture1 = nullptr;
    QPushButton* Command8 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command2 = nullptr;
    QComboBox* Combo1 = nullptr;  // port selector
    QLineEdit* Text1 = nullptr;   // update rate
    QLabel* Label4 = nullptr;
    QLabel* Label6 = nullptr;  // countdown
    QLabel* Label57 = nullptr;
    QLabel* Label7 = nullptr;  // target pH display
    QLabel* Label54 = nullptr;
    QLabel* Label56 = nullptr;  // measured pH display
    QPushButton* Command1 = nullptr;
    QLineEdit* Text2 = nullptr;  // log file path
    QPushButton* Command5 = nullptr;

    // Register panel: value labels (one frame byte each) and combined values.
    QLabel *Label8 = nullptr, *Label9 = nullptr, *Label12 = nullptr;
    QLabel *Label15 = nullptr, *Label16 = nullptr, *Label19 = nullptr;
    QLabel *Label20 = nullptr, *Label21 = nullptr, *Label24 = nullptr;
    QLabel *Label25 = nullptr, *Label26 = nullptr, *Label29 = nullptr;
    QLabel *Label30 = nullptr, *Label31 = nullptr, *Label34 = nullptr;
    QLabel *Label43 = nullptr, *Label44 = nullptr, *Label40 = nullptr;

signals:
    // Every window is unloaded; the program may end.
    void exited();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void buildRegisterPanel();
    void setTabOrder();
    void Form_Load();
    void shutdown(const QWidget* closing);
    void setConnectColour(QRgb rgb);
    void linkLost(const QString& reason);
    void linkRestored();
    void linkStateChanged();
    void openFinished(bool opened);
    void connectFailed();
    QString linkStory() const;
    void markUpdateRate();
    std::optional<int> selectedEntryNumber() const;
    void bringToFront();

    device::MeasurementHistory& history_;
    const device::Clock& clock_;
    WindowRegistry registry_;
    MessageWindows messageWindows_{this};
    QPointer<textlog::Form2> form2_;
    QPointer<graph::Form3> form3_;
    QPointer<Form4> form4_;
    bool shuttingDown_ = false;
    bool shownOnce_ = false;
    history::AlarmView historyAlarms_;
};

}  // namespace mainwindow
