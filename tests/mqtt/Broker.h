#pragma once

#include <gtest/gtest.h>
#include <mosquitto.h>
#include <unistd.h>

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <mutex>

#include "PseudoTerminal.h"

namespace mqtttest {

// A free port on the loopback interface, so a broker of the test never meets the system's.
inline int freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    return probe.serverPort();
}

// A real Mosquitto broker on a free localhost port, with its configuration in a folder of
// its own; stopped (and its files removed) when the test ends. No persistence: a restart
// forgets every retained message, as a broker that lost its disk would.
class Broker {
public:
    Broker() : port_(freePort()), plainPort_(freePort()) {}
    ~Broker() { stop(); }
    Broker(const Broker&) = delete;
    Broker& operator=(const Broker&) = delete;

    int port() const { return port_; }
    // Where a subscriber connects: the TLS broker keeps a plain listener beside its TLS one.
    int subscriberPort() const { return tlsFiles_.isEmpty() ? port_ : plainPort_; }
    QString path(const QString& name) const { return dir_.filePath(name); }

    // Logins from now on need a user and password.
    void requirePassword(const QString& user, const QString& password) {
        const QString file = path("passwords");
        ASSERT_EQ(QProcess::execute(QStringLiteral(MOSQUITTO_PASSWD_PATH),
                                    {"-c", "-b", file, user, password}),
                  0);
        passwordFile_ = file;
    }
    // The listener on port() speaks TLS with a certificate for "localhost" signed by a CA the
    // test makes; returns the CA's file.
    QString useTls() {
        const auto openssl = [&](const QStringList& args) {
            QProcess p;
            p.setWorkingDirectory(dir_.path());
            p.start(QStringLiteral("openssl"), args);
            return p.waitForFinished(30000) && p.exitCode() == 0;
        };
        QFile ext(path("server.ext"));
        ext.open(QIODevice::WriteOnly);
        ext.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n");
        ext.close();
        const bool made =
            openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                     "/CN=Vellicor test CA", "-keyout", "ca.key", "-out", "ca.pem"}) &&
            openssl({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost", "-keyout",
                     "server.key", "-out", "server.csr"}) &&
            openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                     "-CAcreateserial", "-days", "2", "-extfile", "server.ext", "-out",
                     "server.pem"});
        EXPECT_TRUE(made) << "openssl could not make the test certificates";
        tlsFiles_ = {path("ca.pem"), path("server.pem"), path("server.key")};
        return tlsFiles_[0];
    }

    bool start() {
        QFile conf(path("mosquitto.conf"));
        if (!conf.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
        QStringList lines = {"persistence false", "log_dest stderr", "log_type error",
                             "log_type warning"};
        // Run as root, the broker would otherwise drop to a user who cannot read this folder.
        if (::geteuid() == 0) lines << "user root";
        lines << (passwordFile_.isEmpty()
                      ? "allow_anonymous true"
                      : "allow_anonymous false\npassword_file " + passwordFile_);
        lines << QStringLiteral("listener %1 127.0.0.1").arg(port_);
        if (!tlsFiles_.isEmpty()) {
            lines << "cafile " + tlsFiles_[0] << "certfile " + tlsFiles_[1]
                  << "keyfile " + tlsFiles_[2];
            lines << QStringLiteral("listener %1 127.0.0.1").arg(plainPort_);
        }
        conf.write(lines.join('\n').toUtf8() + '\n');
        conf.close();
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(MOSQUITTO_PATH), {"-c", conf.fileName()});
        if (!process_.waitForStarted(5000)) return false;
        // Every listener, since the broker opens them one after the other.
        const auto listening = [](int port) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
            return probe.waitForConnected(200);
        };
        return testsupport::waitUntil(
            [&] { return listening(port_) && listening(subscriberPort()); }, 10000);
    }

    void stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

private:
    QTemporaryDir dir_;
    int port_;
    int plainPort_;
    QString passwordFile_;
    QStringList tlsFiles_;
    QProcess process_;
};

// Reads everything the broker has, as a Home Assistant would: subscribed to every topic,
// reconnecting by itself when the broker comes back.
class Subscriber {
public:
    struct Received {
        QByteArray payload;
        bool retained = false;
        int count = 0;
    };

    explicit Subscriber(int port, const QString& user = {}, const QString& password = {}) {
        static std::once_flag ready;
        std::call_once(ready, [] { mosquitto_lib_init(); });
        client_ = mosquitto_new(nullptr, true, this);
        if (!user.isEmpty())
            mosquitto_username_pw_set(client_, user.toUtf8().constData(),
                                      password.toUtf8().constData());
        mosquitto_connect_callback_set(client_, [](mosquitto* m, void*, int rc) {
            if (rc == 0) mosquitto_subscribe(m, nullptr, "#", 1);
        });
        mosquitto_message_callback_set(
            client_, [](mosquitto*, void* self, const mosquitto_message* m) {
                auto* s = static_cast<Subscriber*>(self);
                const std::lock_guard lock(s->mutex_);
                Received& r = s->received_[QByteArray(m->topic)];
                r.payload = QByteArray(static_cast<const char*>(m->payload), m->payloadlen);
                r.retained = m->retain;
                ++r.count;
            });
        mosquitto_reconnect_delay_set(client_, 1, 1, false);
        const int rc = mosquitto_connect(client_, "127.0.0.1", port, 5);
        EXPECT_EQ(rc, MOSQ_ERR_SUCCESS)
            << "subscriber on " << port << ": " << mosquitto_strerror(rc);
        mosquitto_loop_start(client_);
    }
    ~Subscriber() {
        mosquitto_disconnect(client_);
        mosquitto_loop_stop(client_, true);
        mosquitto_destroy(client_);
    }
    Subscriber(const Subscriber&) = delete;
    Subscriber& operator=(const Subscriber&) = delete;

    std::optional<Received> get(const QByteArray& topic) const {
        const std::lock_guard lock(mutex_);
        const auto it = received_.find(topic);
        if (it == received_.end()) return std::nullopt;
        return *it;
    }
    QByteArray payload(const QByteArray& topic) const {
        const auto r = get(topic);
        return r ? r->payload : QByteArray();
    }
    // Waits, running the test's event loop, until the topic's newest message is `expected`.
    bool waitFor(const QByteArray& topic, const QByteArray& expected, int timeoutMs = 15000) {
        return testsupport::waitUntil([&] { return payload(topic) == expected; }, timeoutMs);
    }
    void forget() {
        const std::lock_guard lock(mutex_);
        received_.clear();
    }

private:
    mosquitto* client_ = nullptr;
    mutable std::mutex mutex_;
    QMap<QByteArray, Received> received_;
};

}  // namespace mqtttest
