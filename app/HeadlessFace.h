#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "device/Clock.h"
#include "device/MeasurementHistory.h"
#include "station/Station.h"
#include "textlog/LogSession.h"

namespace app {

// The station without a window or a display: what a window would show in a message goes out
// as one line through `say` (standard error unless set), which a service's journal keeps.
// There is no graph to draw and no text log window to fill.
class HeadlessFace : public QObject, public station::Face {
    Q_OBJECT
public:
    explicit HeadlessFace(device::MeasurementHistory& history,
                          const device::Clock& clock = device::Clock::system(),
                          QObject* parent = nullptr);

    void setUpdateRate(int rate) { updateRate_ = QString::number(rate); }
    // As "Exit": the station shut down; exited() follows.
    void exit();

    std::function<void(const QString&)> say;

    // Face
    QString updateRateText() const override { return updateRate_; }

signals:
    void exited();

private:
    void sayLine(const QString& text) const;

    // Never asked: without a display nobody can answer a dialog.
    struct NoDialog final : textlog::SaveDialog {
        std::optional<QString> askFileName(QWidget*) override { return std::nullopt; }
    } noDialog_;
    QString updateRate_ = QStringLiteral("1");
    bool exited_ = false;
    bool outageTold_ = false;

public:
    // Last, so that it goes first, while the face its messages go to is still whole.
    station::Station station;
};

}  // namespace app
