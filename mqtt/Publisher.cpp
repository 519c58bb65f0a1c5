#include "Publisher.h"

#include <mosquitto.h>

#include <QMutexLocker>
#include <mutex>

#include "Payloads.h"
#include "alarms/AlarmText.h"

namespace mqtt {

namespace {
// A broker that takes longer than this to hear "offline" is left to the last will.
constexpr unsigned long StopWaitMs = 5000;
}  // namespace

Publisher::Publisher(const BrokerSettings& settings, const QString& version, const Extras& extras,
                     QObject* parent)
    : QObject(parent), kh_(extras.kh), alarmRoot_(topicsFor(settings.id).alarmRoot) {
    static std::once_flag libraryReady;
    std::call_once(libraryReady, [] { mosquitto_lib_init(); });

    outbox_.link = QByteArrayLiteral("disconnected");
    for (const alarms::Alarm a : extras.alarms)
        outbox_.alarms[alarmRoot_ + alarms::alarmKey(a).toUtf8()] = AlarmOff;
    connection_ = new BrokerConnection(settings, outbox_, version, extras);
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
    outbox_.state = Outbox::Frame{frame, time, kh_};
}

void Publisher::setLinkState(const QString& state) {
    QMutexLocker lock(&outbox_.mutex);
    outbox_.link = state.toUtf8();
    handOver(lock);
}

void Publisher::setAlarm(const QString& name, bool raised) {
    QMutexLocker lock(&outbox_.mutex);
    outbox_.alarms[alarmRoot_ + name.toUtf8()] = raised ? AlarmOn : AlarmOff;
    handOver(lock);
}

// A link change (or an alarm) is rare and worth saying at once. One wake-up at a time; the lock is
// let go first, so the woken thread does not stop at it.
void Publisher::handOver(QMutexLocker<QMutex>& lock) {
    if (outbox_.wakePosted) return;
    outbox_.wakePosted = true;
    lock.unlock();
    QMetaObject::invokeMethod(connection_, &BrokerConnection::collect, Qt::QueuedConnection);
}

}  // namespace mqtt
