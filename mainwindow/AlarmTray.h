#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

#include "alarms/AlarmText.h"
#include "device/Frame.h"

class QSystemTrayIcon;

namespace mainwindow {

// The window's face of the alarms: an icon in the desktop's system tray with the measured pH
// (and the CO2, given a KH) in its tooltip, red while an alarm is raised, and a notification
// from the desktop for each raise and each clear. Where the desktop has no tray, each raise
// is told once through `withoutTray` (a message window) instead.
class AlarmTray : public QObject {
    Q_OBJECT
public:
    // The tooltip follows the frames at most this often: a tray icon's tooltip crosses to
    // another process on every change.
    static constexpr int TooltipMs = 1000;

    AlarmTray(std::optional<double> kh, std::function<void(const QString&)> withoutTray,
              bool trayAvailable, QObject* parent = nullptr);
    ~AlarmTray() override;

    void frameAccepted(const device::DeviceFrame& frame, const QDateTime& time);
    void notice(const alarms::AlarmNotice& notice, bool anyRaised);

    // Null where the desktop has no tray.
    QSystemTrayIcon* trayIcon() const { return tray_; }
    // The newest notification asked of the desktop, which keeps no copy one could read back.
    const QString& lastNotification() const { return lastNotification_; }

    static QIcon drawIcon(bool alarm);
    static QString tooltipText(std::optional<int> ph, std::optional<int> target,
                               std::optional<double> kh, bool alarm);

private:
    void refreshTooltip();

    const std::optional<double> kh_;
    std::function<void(const QString&)> withoutTray_;
    QSystemTrayIcon* tray_ = nullptr;
    QTimer tooltipPacer_;
    std::optional<int> ph_, target_;
    bool alarm_ = false;
    QString lastNotification_;
};

}  // namespace mainwindow
