#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "BrokerUrl.h"
#include "Payloads.h"

class QSocketNotifier;
class QTimer;
struct mosquitto;

namespace mqtt {

// What the window's thread hands to the broker's thread: only the newest of each, so a
// broker that is away or slow never makes anything pile up. The state is collected on the
// connection's own tick; a link change wakes it. The newest frame goes as it is, its message
// made when it is collected: of the many frames between two ticks only one is ever sent.
struct Outbox {
    struct Frame {
        device::DeviceFrame frame;
        QDateTime time;
        std::optional<double> kh;  // the water's KH, for the CO2 it gives
    };
    QMutex mutex;
    std::optional<Frame> state;
    std::optional<QByteArray> link;
    // The alarms' states by topic, each the newest.
    std::map<QByteArray, QByteArray> alarms;
    bool wakePosted = false;  // a collect() is on its way; no need to post another
};

// One libmosquitto client, on a thread of its own, its socket watched by that thread's event
// loop: nothing here ever waits on the window's thread. Connects without blocking, tries
// again with a growing pause, and on every connection publishes "online", the discovery
// configs and the newest link state and frame state, all retained.
class BrokerConnection : public QObject {
    Q_OBJECT
public:
    static constexpr int FirstRetryMs = 1000;
    static constexpr int LongestRetryMs = 30000;
    // A connection that has not been accepted by then (a host that swallows packets) is
    // dropped and tried again.
    static constexpr int ConnectTimeoutMs = 10000;
    static constexpr int KeepAliveSeconds = 30;
    // How often the newest frame state is collected and sent while connected: a frame
    // reaches the broker within this time, and the window's thread never has to wake us.
    static constexpr int CollectIntervalMs = 1000;

    BrokerConnection(BrokerSettings settings, Outbox& outbox, QString version, Extras extras = {});
    ~BrokerConnection() override;

    // On the connection's thread.
    void start();
    void collect();
    // Says "offline" to the broker, disconnects cleanly and frees the client.
    void stop();

signals:
    // The broker refused the login or the certificate: once per run of refusals.
    void refused(const QString& reason);
    void connectedChanged(bool connected);

private:
    static void onConnect(mosquitto*, void* self, int rc);
    static void onPublish(mosquitto*, void* self, int mid);
    static void onLog(mosquitto*, void* self, int level, const char* text);

    void attempt();
    void service();
    void dropClient();
    void scheduleRetry();
    void watchWrites();
    void connected(int rc);
    void sendPending();
    void publish(const QByteArray& topic, const QByteArray& payload, int* mid = nullptr);
    QString refusalText(int connackCode) const;
    void reportRefusal(const QString& reason);

    const BrokerSettings settings_;
    Outbox& outbox_;
    const QString version_;
    const Extras extras_;
    const Topics topics_;

    mosquitto* client_ = nullptr;
    QPointer<QSocketNotifier> readable_;
    QPointer<QSocketNotifier> writable_;
    QTimer* housekeeping_ = nullptr;  // while connected: the newest state, keep-alive pings
    QTimer* retry_ = nullptr;
    QTimer* connectDeadline_ = nullptr;
    int retryMs_ = FirstRetryMs;
    bool connected_ = false;
    bool stopping_ = false;
    bool refusalReported_ = false;
    std::optional<int> pendingRefusal_;  // CONNACK code, acted on after the library returns
    QString lastError_;                  // the library's last error line (TLS reasons)

    QByteArray state_, link_;
    bool stateDirty_ = false, linkDirty_ = false;
    std::map<QByteArray, QByteArray> alarms_;
    std::set<QByteArray> alarmsDirty_;
    int stateMid_ = 0;  // the state message still being written, if any
};

}  // namespace mqtt
