#include "Publisher.h"

#include <mosquitto.h>

#include <QMutexLocker>
#include <mutex>

#include "Payloads.h"

namespace mqtt {

namespace {
// A broker that takes longer than this to hear "offline" is left to the last will.
constexpr unsigned long StopWaitMs = 5000;
}  // namespace

Publisher::Publisher(const BrokerSettings& settings, const QString& version, QObject* parent)
    : QObject(parent) {
    static std::once_flag libraryReady;
    std::call_once(libraryReady, [] { mosquitto_lib_init(); });

    outbox_.link = QByteArrayLiteral("disconnected");
    connection_ = new BrokerConnection(settings, outbox_, version);
    connection_->moveToThread(thread_);
    connect(connection_, &BrokerConnection::refused, this, &Publisher::refused);
    connect(connection_, &BrokerConnection::connectedChanged, this, [this](bool connected) {
        connected_ = connected;
        emit connectedChanged(connected);
    });
    thread_->setObjectName(QStringLiteral("mqtt"));
    thread_->start();
    QMetaObject::invokeMethod(connection_, [c = connection_] {
        c->start();
        c->collect();
    });
}

Publisher::~Publisher() {
    QMetaObject::invokeMethod(connection_, [c = connection_] {
        c->stop();
        QThread::currentThread()->quit();
    });
    if (thread_->wait(StopWaitMs)) {
        delete connection_;
        delete thread_;
        return;
    }
    // Still inside a name lookup that does not end: the program is ending, so the thread and
    // its client are left to the system rather than destroyed under their feet.
    qWarning("vellicor: the MQTT connection did not close in time");
}

// No wake-up of the connection's thread: it collects the newest state on its own tick, and
// makes its message then. Waking a sleeping thread costs the caller ten times what building
// the message does, and building it for every frame of a batch would be wasted on all but one.
void Publisher::frameAccepted(const device::DeviceFrame& frame, const QDateTime& time) {
    const QMutexLocker lock(&outbox_.mutex);
    outbox_.state = Outbox::Frame{frame, time};
}

void Publisher::setLinkState(const QString& state) {
    QMutexLocker lock(&outbox_.mutex);
    outbox_.link = state.toUtf8();
    handOver(lock);
}

// A link change is rare and worth saying at once. One wake-up at a time; the lock is let go
// first, so the woken thread does not stop at it.
void Publisher::handOver(QMutexLocker<QMutex>& lock) {
    if (outbox_.wakePosted) return;
    outbox_.wakePosted = true;
    lock.unlock();
    QMetaObject::invokeMethod(connection_, &BrokerConnection::collect, Qt::QueuedConnection);
}

}  // namespace mqtt
