#include "BrokerConnection.h"

#include <mosquitto.h>

#include <QElapsedTimer>
#include <QMutexLocker>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>

namespace mqtt {

namespace {
// Retained, so a reader that subscribes later still gets the newest of each at once. QoS 0:
// the newest value is sent again on every connection, so nothing older than it is ever
// replayed after a newer one.
constexpr int Qos = 0;
constexpr bool Retain = true;
// The last will goes out without us; it must arrive.
constexpr int WillQos = 1;
constexpr int GoodbyeFlushMs = 2000;
}  // namespace

BrokerConnection::BrokerConnection(BrokerSettings settings, Outbox& outbox, QString version,
                                   Extras extras)
    : settings_(std::move(settings)),
      outbox_(outbox),
      version_(std::move(version)),
      extras_(std::move(extras)),
      topics_(topicsFor(settings_.id)) {}

BrokerConnection::~BrokerConnection() {
    if (client_) mosquitto_destroy(client_);
}

void BrokerConnection::start() {
    housekeeping_ = new QTimer(this);
    housekeeping_->setInterval(CollectIntervalMs);
    connect(housekeeping_, &QTimer::timeout, this, [this] {
        collect();
        service();
    });
    retry_ = new QTimer(this);
    retry_->setSingleShot(true);
    connect(retry_, &QTimer::timeout, this, &BrokerConnection::attempt);
    connectDeadline_ = new QTimer(this);
    connectDeadline_->setSingleShot(true);
    connect(connectDeadline_, &QTimer::timeout, this, [this] {
        if (connected_) return;
        dropClient();
        scheduleRetry();
    });
    attempt();
}

void BrokerConnection::attempt() {
    if (stopping_) return;
    // A fresh client for every attempt: nothing of a failed connection carries over.
    client_ = mosquitto_new(nullptr, true, this);
    if (!client_) {
        scheduleRetry();
        return;
    }
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(client_, &BrokerConnection::onConnect);
    mosquitto_publish_callback_set(client_, &BrokerConnection::onPublish);
    mosquitto_log_callback_set(client_, &BrokerConnection::onLog);
    mosquitto_will_set(client_, topics_.availability.constData(), int(Offline.size()),
                       Offline.constData(), WillQos, Retain);
    if (!settings_.user.isEmpty()) {
        const QByteArray user = settings_.user.toUtf8();
        const QByteArray password = settings_.password.toUtf8();
        mosquitto_username_pw_set(client_, user.constData(),
                                  settings_.password.isEmpty() ? nullptr : password.constData());
    }
    if (settings_.tls) {
        if (settings_.caFile.isEmpty()) {
            mosquitto_int_option(client_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        } else {
            const QByteArray ca = settings_.caFile.toLocal8Bit();
            mosquitto_tls_set(client_, ca.constData(), nullptr, nullptr, nullptr, nullptr);
        }
    }

    lastError_.clear();
    const QByteArray host = settings_.host.toUtf8();
    const int rc =
        mosquitto_connect_async(client_, host.constData(), settings_.port, KeepAliveSeconds);
    const int socket = mosquitto_socket(client_);
    if (rc != MOSQ_ERR_SUCCESS || socket < 0) {
        if (rc == MOSQ_ERR_TLS) {
            reportRefusal(
                QStringLiteral("The broker's certificate was not accepted: %1").arg(lastError_));
        }
        dropClient();
        scheduleRetry();
        return;
    }
    readable_ = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(readable_, &QSocketNotifier::activated, this, &BrokerConnection::service);
    writable_ = new QSocketNotifier(socket, QSocketNotifier::Write, this);
    connect(writable_, &QSocketNotifier::activated, this, &BrokerConnection::service);
    watchWrites();
    connectDeadline_->start(ConnectTimeoutMs);
    housekeeping_->start();
}

// Does whatever the socket allows without waiting: reads, writes, keep-alive.
void BrokerConnection::service() {
    if (!client_) return;
    const int rc = mosquitto_loop(client_, 0, 1);
    if (pendingRefusal_) {
        reportRefusal(refusalText(*pendingRefusal_));
        pendingRefusal_.reset();
    }
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_socket(client_) >= 0) {
        watchWrites();
        return;
    }
    if (rc == MOSQ_ERR_TLS) {
        reportRefusal(
            QStringLiteral("The broker's certificate was not accepted: %1").arg(lastError_));
    }
    dropClient();
    if (!stopping_) scheduleRetry();
}

void BrokerConnection::watchWrites() {
    if (writable_ && client_) writable_->setEnabled(mosquitto_want_write(client_));
}

void BrokerConnection::dropClient() {
    // Never from inside a library callback: the client is destroyed here.
    for (QSocketNotifier* n : {readable_.data(), writable_.data()}) {
        if (!n) continue;
        n->setEnabled(false);
        n->deleteLater();
    }
    readable_ = nullptr;
    writable_ = nullptr;
    if (housekeeping_) housekeeping_->stop();
    if (connectDeadline_) connectDeadline_->stop();
    if (client_) mosquitto_destroy(client_);
    client_ = nullptr;
    stateMid_ = 0;
    // What was on its way may be lost: the next connection sends the newest of each again.
    stateDirty_ = !state_.isEmpty();
    linkDirty_ = !link_.isEmpty();
    for (const auto& [topic, payload] : alarms_) alarmsDirty_.insert(topic);
    if (connected_) {
        connected_ = false;
        emit connectedChanged(false);
    }
}

void BrokerConnection::scheduleRetry() {
    if (stopping_ || !retry_) return;
    retry_->start(retryMs_);
    retryMs_ = std::min(retryMs_ * 2, LongestRetryMs);
}

void BrokerConnection::onConnect(mosquitto*, void* self, int rc) {
    static_cast<BrokerConnection*>(self)->connected(rc);
}

void BrokerConnection::onPublish(mosquitto*, void* self, int mid) {
    auto* c = static_cast<BrokerConnection*>(self);
    if (mid != c->stateMid_) return;
    c->stateMid_ = 0;
    c->sendPending();
}

void BrokerConnection::onLog(mosquitto*, void* self, int level, const char* text) {
    if (level & (MOSQ_LOG_ERR | MOSQ_LOG_WARNING))
        static_cast<BrokerConnection*>(self)->lastError_ = QString::fromUtf8(text);
}

void BrokerConnection::connected(int rc) {
    if (rc != 0) {
        // The library drops the connection on return; the refusal is reported after that.
        pendingRefusal_ = rc;
        return;
    }
    connected_ = true;
    connectDeadline_->stop();
    retryMs_ = FirstRetryMs;
    refusalReported_ = false;
    emit connectedChanged(true);
    publish(topics_.availability, Online);
    for (const Message& m : discoveryMessages(settings_.id, version_, extras_))
        publish(m.topic, m.payload);
    for (const QByteArray& topic : retiredDiscoveryTopics(settings_.id, extras_))
        publish(topic, QByteArray());
    collect();
}

void BrokerConnection::collect() {
    std::optional<Outbox::Frame> newest;
    {
        const QMutexLocker lock(&outbox_.mutex);
        newest = std::move(outbox_.state);
        if (outbox_.link) {
            link_ = std::move(*outbox_.link);
            linkDirty_ = true;
        }
        for (auto& [topic, payload] : outbox_.alarms) {
            alarms_[topic] = std::move(payload);
            alarmsDirty_.insert(topic);
        }
        outbox_.state.reset();
        outbox_.link.reset();
        outbox_.alarms.clear();
        outbox_.wakePosted = false;
    }
    if (newest) {
        state_ = stateJson(newest->frame, newest->time, newest->kh);
        stateDirty_ = true;
    }
    sendPending();
}

void BrokerConnection::sendPending() {
    if (!connected_ || !client_) return;
    if (linkDirty_) {
        linkDirty_ = false;
        publish(topics_.link, link_);
    }
    for (const QByteArray& topic : alarmsDirty_) publish(topic, alarms_[topic]);
    alarmsDirty_.clear();
    // One state message in the socket at a time: while a slow broker takes its time, newer
    // frames only replace the one waiting here.
    if (stateDirty_ && stateMid_ == 0) {
        stateDirty_ = false;
        publish(topics_.state, state_, &stateMid_);
    }
    watchWrites();
}

void BrokerConnection::publish(const QByteArray& topic, const QByteArray& payload, int* mid) {
    const int rc = mosquitto_publish(client_, mid, topic.constData(), int(payload.size()),
                                     payload.constData(), Qos, Retain);
    if (rc != MOSQ_ERR_SUCCESS && mid) {
        *mid = 0;
        stateDirty_ = true;
    }
}

QString BrokerConnection::refusalText(int connackCode) const {
    QString why = QString::fromUtf8(mosquitto_connack_string(connackCode));
    while (why.endsWith(u'.')) why.chop(1);
    if (settings_.user.isEmpty()) {
        return QStringLiteral(
                   "The MQTT broker %1 refused the connection (%2). It may want a "
                   "user: mqtt://user@%1, with the password in %3.")
            .arg(settings_.host, why, PasswordVariable);
    }
    return QStringLiteral(
               "The MQTT broker %1 refused the login of \"%2\" (%3). Check the user "
               "name and the password in %4.")
        .arg(settings_.host, settings_.user, why, PasswordVariable);
}

void BrokerConnection::reportRefusal(const QString& reason) {
    if (refusalReported_) return;
    refusalReported_ = true;
    emit refused(reason);
}

void BrokerConnection::stop() {
    stopping_ = true;
    if (retry_) retry_->stop();
    if (client_ && connected_) {
        // A clean goodbye sends no last will, so "offline" is said here.
        publish(topics_.availability, Offline);
        mosquitto_disconnect(client_);
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < GoodbyeFlushMs && mosquitto_socket(client_) >= 0 &&
               mosquitto_want_write(client_)) {
            if (mosquitto_loop(client_, 100, 1) != MOSQ_ERR_SUCCESS) break;
        }
    }
    dropClient();
}

}  // namespace mqtt
