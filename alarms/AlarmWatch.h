#pragma once

#include <QObject>
#include <QTimer>
#include <optional>

#include "AlarmEngine.h"
#include "AlarmText.h"
#include "device/Clock.h"
#include "device/Frame.h"

namespace alarms {

// The alarms of a running program: hears every accepted frame and the link's state from
// whichever face watches the port, keeps the time going for a silence, and tells each raise
// and each clear once, with the facts a person or a script needs.
class AlarmWatch : public QObject {
    Q_OBJECT
public:
    // Time passes for a silence in steps of this; a silent alarm comes at most this late.
    static constexpr int TickMs = 1000;

    explicit AlarmWatch(const AlarmSettings& settings,
                        const device::Clock& clock = device::Clock::system(),
                        QObject* parent = nullptr);

    void setPort(const QString& port) { port_ = port; }
    void frameAccepted(const device::DeviceFrame& frame, const QDateTime& time);
    // As the faces name it; anything but "disconnected" is a port being watched.
    void setLinkState(const QString& state);

    bool isRaised(Alarm a) const { return engine_.isRaised(a); }
    bool anyRaised() const { return engine_.anyRaised(); }
    const AlarmSettings& settings() const { return engine_.settings(); }
    // The latest frame's values, if one has come.
    std::optional<int> ph() const { return ph_; }
    std::optional<int> target() const { return target_; }

signals:
    void notice(const alarms::AlarmNotice& notice);

private:
    void tell(const std::vector<AlarmEvent>& events);
    void pace();

    AlarmEngine engine_;
    const device::Clock& clock_;
    QTimer ticker_;
    QString port_;
    bool watched_ = false;
    std::optional<int> ph_, target_;
};

}  // namespace alarms
