#include "AlarmWatch.h"

namespace alarms {

AlarmWatch::AlarmWatch(const AlarmSettings& settings, const device::Clock& clock, QObject* parent)
    : QObject(parent), engine_(settings), clock_(clock) {
    ticker_.setInterval(TickMs);
    connect(&ticker_, &QTimer::timeout, this, [this] {
        tell(engine_.tick(clock_.steadyMs()));
        pace();
    });
}

void AlarmWatch::frameAccepted(const device::DeviceFrame& frame, const QDateTime&) {
    ph_ = static_cast<int>(device::phHundredths(frame.raw, frame.k, frame.m));
    target_ = static_cast<int>(device::phHundredths(frame.limit, frame.k, frame.m));
    tell(engine_.frame(clock_.steadyMs(), Reading{*ph_, *target_, frame.valve != 0}));
}

void AlarmWatch::setLinkState(const QString& state) {
    watched_ = state != QStringLiteral("disconnected");
    tell(engine_.watching(clock_.steadyMs(), watched_));
    pace();
}

// Time matters for a silence only while a port is watched, or while a silent alarm waits to
// be cleared; otherwise the program need not wake for it.
void AlarmWatch::pace() {
    const bool needed = engine_.settings().isEnabled(Alarm::Silent) &&
                        (watched_ || engine_.isRaised(Alarm::Silent));
    if (needed && !ticker_.isActive()) ticker_.start();
    if (!needed && ticker_.isActive()) ticker_.stop();
}

void AlarmWatch::tell(const std::vector<AlarmEvent>& events) {
    if (events.empty()) return;
    // Durations are measured on the steady clock; the facts carry the wall clock's time.
    const QDateTime now = clock_.now();
    const qint64 steadyNow = clock_.steadyMs();
    for (const AlarmEvent& e : events) {
        emit notice(
            AlarmNotice{e.alarm, e.raised, now.addMSecs(e.since - steadyNow), ph_, target_, port_});
    }
}

}  // namespace alarms
