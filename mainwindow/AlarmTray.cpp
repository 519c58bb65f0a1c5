#include "AlarmTray.h"

#include <QLocale>
#include <QPainter>
#include <QSystemTrayIcon>

#include "device/NumberText.h"

namespace mainwindow {

namespace {
const QColor Calm(46, 158, 79);
const QColor Alarm(214, 40, 40);
constexpr int NotificationMs = 15000;
}  // namespace

AlarmTray::AlarmTray(std::optional<double> kh, std::function<void(const QString&)> withoutTray,
                     bool trayAvailable, QObject* parent)
    : QObject(parent), kh_(kh), withoutTray_(std::move(withoutTray)) {
    if (trayAvailable) {
        tray_ = new QSystemTrayIcon(drawIcon(false), this);
        tray_->setToolTip(tooltipText(std::nullopt, std::nullopt, kh_, false));
        tray_->show();
    }
    tooltipPacer_.setSingleShot(true);
    tooltipPacer_.setInterval(TooltipMs);
    connect(&tooltipPacer_, &QTimer::timeout, this, &AlarmTray::refreshTooltip);
}

AlarmTray::~AlarmTray() = default;

QIcon AlarmTray::drawIcon(bool alarm) {
    QIcon icon;
    for (const int size : {16, 22, 32, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(alarm ? Alarm : Calm);
        p.drawEllipse(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(std::max(7, size * 9 / 20));
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("pH"));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QString AlarmTray::tooltipText(std::optional<int> ph, std::optional<int> target,
                               std::optional<double> kh, bool alarm) {
    const QLocale locale;
    QString text = QStringLiteral("Vellicor pH controller");
    if (ph && target) {
        text += QStringLiteral("\npH %1 (target %2)")
                    .arg(device::formatHundredths(*ph, locale),
                         device::formatHundredths(*target, locale));
        if (kh)
            text += QStringLiteral("\nCO2 %1 mg/l")
                        .arg(alarms::formatCo2(alarms::co2MgPerLitre(*kh, *ph), locale));
    }
    if (alarm) text += QStringLiteral("\nAlarm raised");
    return text;
}

void AlarmTray::frameAccepted(const device::DeviceFrame& frame, const QDateTime&) {
    ph_ = static_cast<int>(device::phHundredths(frame.raw, frame.k, frame.m));
    target_ = static_cast<int>(device::phHundredths(frame.limit, frame.k, frame.m));
    if (tray_ && !tooltipPacer_.isActive()) {
        refreshTooltip();
        tooltipPacer_.start();
    }
}

void AlarmTray::refreshTooltip() {
    if (!tray_) return;
    const QString text = tooltipText(ph_, target_, kh_, alarm_);
    if (tray_->toolTip() != text) tray_->setToolTip(text);
}

void AlarmTray::notice(const alarms::AlarmNotice& notice, bool anyRaised) {
    const QString line = alarms::noticeLine(notice, QLocale());
    if (!tray_) {
        if (notice.raised && withoutTray_) withoutTray_(line);
        return;
    }
    if (anyRaised != alarm_) {
        alarm_ = anyRaised;
        tray_->setIcon(drawIcon(alarm_));
    }
    refreshTooltip();
    lastNotification_ = line;
    tray_->showMessage(alarms::alarmTitle(notice.alarm), line,
                       notice.raised ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information,
                       NotificationMs);
}

}  // namespace mainwindow
