#pragma once

#include <QDateTime>
#include <QMutexLocker>
#include <QObject>
#include <QString>
#include <QThread>
#include <memory>

#include "BrokerConnection.h"
#include "BrokerUrl.h"
#include "device/Frame.h"

namespace mqtt {

// Another sink on the frame's road, like the log file: every accepted frame goes to the
// broker as a retained state message. It knows nothing of windows; a refusal is a signal.
// Lives on the window's thread; each call only builds a small message and hands it over, so
// a broker that is away, slow or unreachable costs the window nothing.
class Publisher : public QObject {
    Q_OBJECT
public:
    // Every alarm among the extras starts "OFF": nothing is raised when the program starts.
    Publisher(const BrokerSettings& settings, const QString& version, const Extras& extras = {},
              QObject* parent = nullptr);
    // Says "offline" and disconnects cleanly, waiting a few seconds at most.
    ~Publisher() override;
    Publisher(const Publisher&) = delete;
    Publisher& operator=(const Publisher&) = delete;

    void frameAccepted(const device::DeviceFrame& frame, const QDateTime& time);
    // The serial link's state, published retained: "connected", "lost", "trying again" or
    // "disconnected" (the state until told otherwise).
    void setLinkState(const QString& state);
    // "ON" while the alarm of that name ("low", "silent" ...) is raised, retained.
    void setAlarm(const QString& name, bool raised);

    bool isConnected() const { return connected_; }

signals:
    // The broker refused the login or its certificate was not accepted; once until a
    // connection succeeds again.
    void refused(const QString& reason);
    void connectedChanged(bool connected);

private:
    void handOver(QMutexLocker<QMutex>& lock);

    Outbox outbox_;
    // Owned, but not as a child: a thread that cannot be stopped in time must not be
    // destroyed while it runs.
    QThread* thread_ = new QThread;
    BrokerConnection* connection_;  // lives on thread_
    bool connected_ = false;
    const std::optional<double> kh_;
    const QByteArray alarmRoot_;
};

}  // namespace mqtt
