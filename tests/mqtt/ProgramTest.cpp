// The real program as a child process, with its command line, the environment and a broker.
#include <gtest/gtest.h>
#include <signal.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "Broker.h"
#include "Frames.h"
#include "PseudoTerminal.h"

using mqtttest::Broker;
using mqtttest::Subscriber;
using testsupport::waitUntil;

namespace {

QProcessEnvironment childEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // Else Qt warns on standard error about a missing runtime folder.
    static QTemporaryDir runtime;
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.remove("VELLICOR_MQTT_PASSWORD");
    return env;
}

}  // namespace

TEST(Program, PublishesFramesWithThePasswordFromTheEnvironmentAndLeavesItsWillWhenKilled) {
    Broker broker;
    broker.requirePassword("aquarist", "s3cret");
    ASSERT_TRUE(broker.start());
    Subscriber live(broker.subscriberPort(), "aquarist", "s3cret");
    testsupport::PseudoTerminal pty;

    QProcess child;
    QProcessEnvironment env = childEnvironment();
    env.insert("VELLICOR_MQTT_PASSWORD", "s3cret");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QStringLiteral(VELLICOR_PATH),
                {pty.slaveName(), "--mqtt",
                 QStringLiteral("mqtt://aquarist@127.0.0.1:%1").arg(broker.port())});
    ASSERT_TRUE(child.waitForStarted());

    // The id comes from the port's name, e.g. "/dev/pts/3" -> "3".
    const QByteArray root = "vellicor/" + pty.slaveName().section('/', -1).toUtf8() + '/';
    ASSERT_TRUE(live.waitFor(root + "availability", "online"));
    ASSERT_TRUE(live.waitFor(root + "link", "connected"));

    pty.write(testsupport::referenceFrame());
    ASSERT_TRUE(waitUntil([&] { return live.get(root + "state").has_value(); }, 10000));
    const QJsonObject state = QJsonDocument::fromJson(live.payload(root + "state")).object();
    EXPECT_DOUBLE_EQ(state["ph"].toDouble(), 6.99);
    EXPECT_DOUBLE_EQ(state["target_ph"].toDouble(), 7.41);
    EXPECT_EQ(state["raw"].toInt(), 766);
    EXPECT_TRUE(state["time"].toString().contains('T'));

    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    ASSERT_TRUE(child.waitForFinished());
    // The broker sees the socket close without a goodbye and publishes the last will.
    EXPECT_TRUE(live.waitFor(root + "availability", "offline"));
    Subscriber later(broker.subscriberPort(), "aquarist", "s3cret");
    ASSERT_TRUE(later.waitFor(root + "availability", "offline"));
    EXPECT_TRUE(later.get(root + "availability")->retained);
}

// A service stopped by the system says goodbye itself, with the link's last state, rather than
// leaving it to the broker's will after a kill.
TEST(Program, HeadlessStoppedBySigtermSaysOfflineAndExitsWithZero) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    Subscriber live(broker.subscriberPort());
    testsupport::PseudoTerminal pty;

    QProcess child;
    QProcessEnvironment env = childEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    child.setProcessEnvironment(env);
    child.start(QStringLiteral(VELLICOR_PATH),
                {pty.slaveName(), "--headless", "--mqtt-id", "tank", "--mqtt",
                 QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.port())});
    ASSERT_TRUE(child.waitForStarted());
    ASSERT_TRUE(live.waitFor("vellicor/tank/link", "connected"));
    pty.write(testsupport::referenceFrame());
    ASSERT_TRUE(waitUntil([&] { return live.get("vellicor/tank/state").has_value(); }, 10000));

    ::kill(static_cast<pid_t>(child.processId()), SIGTERM);
    ASSERT_TRUE(child.waitForFinished(5000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_TRUE(live.waitFor("vellicor/tank/link", "disconnected"));
    EXPECT_TRUE(live.waitFor("vellicor/tank/availability", "offline"));
}

TEST(Program, MalformedUrlEndsTheProgramAtOnceWithAOneLineReason) {
    for (const QStringList& args : {QStringList{"--mqtt", "http://broker.lan"},
                                    QStringList{"COM3", "--mqtt", "mqtt://u:pw@broker.lan"},
                                    QStringList{"--mqtt-id", "tank"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        QProcess child;
        child.setProcessEnvironment(childEnvironment());
        child.start(QStringLiteral(VELLICOR_PATH), args);
        ASSERT_TRUE(child.waitForFinished(10000));
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_NE(child.exitCode(), 0);
        const QByteArray err = child.readAllStandardError();
        EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
        EXPECT_TRUE(err.startsWith("vellicor: ")) << err.toStdString();
    }

    QProcess help;
    help.setProcessEnvironment(childEnvironment());
    help.start(QStringLiteral(VELLICOR_PATH), {"--help"});
    ASSERT_TRUE(help.waitForFinished(10000));
    EXPECT_EQ(help.exitCode(), 0);
    const QByteArray text = help.readAllStandardOutput();
    for (const char* option : {"--mqtt <URL>", "--mqtt-id <ID>", "--mqtt-ca <FILE>"})
        EXPECT_TRUE(text.contains(option)) << option;
}
