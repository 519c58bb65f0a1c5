#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

#include "Broker.h"
#include "Frames.h"
#include "mqtt/Publisher.h"

using mqtttest::Broker;
using mqtttest::Subscriber;
using testsupport::waitUntil;

namespace {

const QDateTime Noon(QDate(2026, 12, 8), QTime(12, 0), Qt::OffsetFromUTC, 3600);
const QByteArray Online = "online", Offline = "offline";

device::DeviceFrame frameWithRaw(int raw) {
    device::DeviceFrame f = *device::decodeFrame(testsupport::referenceFrame());
    f.raw = raw;
    return f;
}

mqtt::BrokerSettings plain(int port, const QString& id) {
    mqtt::BrokerSettings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port;
    s.id = id;
    return s;
}

int rawIn(const QByteArray& state) {
    return QJsonDocument::fromJson(state).object()["raw"].toInt(-1);
}

}  // namespace

TEST(Publisher, FrameValuesDiscoveryAndLinkArriveRetained) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    {
        mqtt::Publisher publisher(plain(broker.port(), "tank"), "1.0.0");
        Subscriber live(broker.subscriberPort());
        ASSERT_TRUE(live.waitFor("vellicor/tank/availability", Online));
        EXPECT_TRUE(publisher.isConnected());
        ASSERT_TRUE(live.waitFor("vellicor/tank/link", "disconnected"));

        publisher.frameAccepted(*device::decodeFrame(testsupport::referenceFrame()), Noon);
        ASSERT_TRUE(waitUntil([&] { return !live.payload("vellicor/tank/state").isEmpty(); }));
        const QJsonObject state =
            QJsonDocument::fromJson(live.payload("vellicor/tank/state")).object();
        EXPECT_DOUBLE_EQ(state["ph"].toDouble(), 6.99);
        EXPECT_DOUBLE_EQ(state["target_ph"].toDouble(), 7.41);
        EXPECT_EQ(state["valve"], QJsonValue(true));
        const std::pair<const char*, int> registers[] = {
            {"raw", 766}, {"limit", 812}, {"raw7", 651}, {"raw4", 253}, {"k", 90}, {"m", 1000}};
        for (const auto& [name, value] : registers) EXPECT_EQ(state[name].toInt(), value) << name;
        EXPECT_EQ(state["time"], "2026-12-08T12:00:00+01:00");

        publisher.setLinkState("connected");
        ASSERT_TRUE(live.waitFor("vellicor/tank/link", "connected"));

        // A reader arriving later gets everything at once, from the broker's retained store.
        Subscriber late(broker.subscriberPort());
        ASSERT_TRUE(waitUntil([&] {
            const auto ph = late.get("homeassistant/sensor/vellicor_tank/ph/config");
            return ph && late.get("vellicor/tank/state") && late.get("vellicor/tank/link");
        }));
        for (const QByteArray topic :
             {"homeassistant/sensor/vellicor_tank/ph/config",
              "homeassistant/sensor/vellicor_tank/target_ph/config",
              "homeassistant/binary_sensor/vellicor_tank/valve/config",
              "homeassistant/sensor/vellicor_tank/link/config", "vellicor/tank/availability",
              "vellicor/tank/state", "vellicor/tank/link"}) {
            ASSERT_TRUE(late.waitFor(topic, live.payload(topic))) << topic.toStdString();
            EXPECT_TRUE(late.get(topic)->retained) << topic.toStdString();
        }
        EXPECT_EQ(late.payload("vellicor/tank/link"), "connected");
    }
    // Closed cleanly: no last will, so the program says "offline" itself.
    Subscriber after(broker.subscriberPort());
    EXPECT_TRUE(after.waitFor("vellicor/tank/availability", Offline));
}

TEST(Publisher, StartsWithoutBrokerAndSendsTheNewestStateWhenOneComes) {
    Broker broker;  // not started yet
    mqtt::Publisher publisher(plain(broker.port(), "tank"), "1.0.0");
    QElapsedTimer fed;
    fed.start();
    for (int raw = 1; raw <= 1000; ++raw) publisher.frameAccepted(frameWithRaw(raw), Noon);
    // Nothing waits for the broker: a thousand frames in far less than a frame period.
    EXPECT_LT(fed.elapsed(), 200);
    publisher.setLinkState("lost");

    ASSERT_TRUE(broker.start());
    Subscriber live(broker.subscriberPort());
    ASSERT_TRUE(live.waitFor("vellicor/tank/availability", Online, 20000));
    ASSERT_TRUE(waitUntil([&] { return live.get("vellicor/tank/state").has_value(); }));
    EXPECT_EQ(rawIn(live.payload("vellicor/tank/state")), 1000);
    EXPECT_EQ(live.get("vellicor/tank/state")->count, 1);  // only the newest, not a backlog
    EXPECT_EQ(live.payload("vellicor/tank/link"), "lost");
}

TEST(Publisher, ReconnectsAfterTheBrokerRestartsAndPublishesTheNewestState) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    mqtt::Publisher publisher(plain(broker.port(), "tank"), "1.0.0");
    QSignalSpy connection(&publisher, &mqtt::Publisher::connectedChanged);
    {
        Subscriber live(broker.subscriberPort());
        publisher.frameAccepted(frameWithRaw(700), Noon);
        ASSERT_TRUE(waitUntil([&] { return rawIn(live.payload("vellicor/tank/state")) == 700; }));
    }

    broker.stop();
    ASSERT_TRUE(waitUntil([&] { return !publisher.isConnected(); }, 10000));
    for (int raw = 701; raw <= 720; ++raw) publisher.frameAccepted(frameWithRaw(raw), Noon);
    ASSERT_TRUE(broker.start());  // a broker without persistence: it forgot everything

    Subscriber live(broker.subscriberPort());
    ASSERT_TRUE(live.waitFor("vellicor/tank/availability", Online, 20000));
    ASSERT_TRUE(waitUntil([&] { return rawIn(live.payload("vellicor/tank/state")) == 720; }));
    EXPECT_TRUE(live.get("homeassistant/sensor/vellicor_tank/ph/config").has_value());
    EXPECT_TRUE(publisher.isConnected());
    EXPECT_GE(connection.count(), 3);  // up, down, up again
}

TEST(Publisher, UnreachableHostNeitherBlocksFramesNorExit) {
    QElapsedTimer clock;
    clock.start();
    {
        // TEST-NET-1: reserved for documentation, routed nowhere.
        mqtt::BrokerSettings s = plain(1883, "tank");
        s.host = QStringLiteral("192.0.2.1");
        mqtt::Publisher publisher(s, "1.0.0");
        for (int raw = 1; raw <= 1000; ++raw) publisher.frameAccepted(frameWithRaw(raw), Noon);
        EXPECT_LT(clock.elapsed(), 200);
        waitUntil([] { return false; }, 300);
        EXPECT_FALSE(publisher.isConnected());
    }
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST(Publisher, PasswordFromSettingsAndAWrongOneReportedOnce) {
    Broker broker;
    broker.requirePassword("aquarist", "s3cret");
    ASSERT_TRUE(broker.start());
    Subscriber live(broker.subscriberPort(), "aquarist", "s3cret");

    mqtt::BrokerSettings wrong = plain(broker.port(), "wrong");
    wrong.user = "aquarist";
    wrong.password = "guess";
    mqtt::Publisher refusedOne(wrong, "1.0.0");
    QSignalSpy refusals(&refusedOne, &mqtt::Publisher::refused);
    ASSERT_TRUE(waitUntil([&] { return refusals.count() > 0; }, 10000));
    // It keeps trying (1 s, then 2 s) without telling the user again.
    waitUntil([] { return false; }, 3500);
    EXPECT_EQ(refusals.count(), 1);
    const QString reason = refusals[0][0].toString();
    EXPECT_TRUE(reason.contains("refused the login of \"aquarist\"") &&
                reason.contains("VELLICOR_MQTT_PASSWORD"))
        << reason.toStdString();
    EXPECT_FALSE(refusedOne.isConnected());
    EXPECT_FALSE(live.get("vellicor/wrong/availability").has_value());

    mqtt::BrokerSettings right = wrong;
    right.id = "right";
    right.password = "s3cret";
    mqtt::Publisher accepted(right, "1.0.0");
    QSignalSpy none(&accepted, &mqtt::Publisher::refused);
    EXPECT_TRUE(live.waitFor("vellicor/right/availability", Online));
    EXPECT_EQ(none.count(), 0);
}

TEST(Publisher, TlsWithTheTestsCaAndRefusedWithoutIt) {
    Broker broker;
    const QString ca = broker.useTls();
    ASSERT_TRUE(broker.start());
    Subscriber live(broker.subscriberPort());

    mqtt::BrokerSettings s = plain(broker.port(), "secure");
    s.host = QStringLiteral("localhost");
    s.tls = true;
    s.caFile = ca;
    mqtt::Publisher trusted(s, "1.0.0");
    QSignalSpy noRefusal(&trusted, &mqtt::Publisher::refused);
    ASSERT_TRUE(live.waitFor("vellicor/secure/availability", Online));
    trusted.frameAccepted(frameWithRaw(766), Noon);
    EXPECT_TRUE(waitUntil([&] { return rawIn(live.payload("vellicor/secure/state")) == 766; }));
    EXPECT_EQ(noRefusal.count(), 0);

    // The system's store does not know the test's CA.
    s.caFile.clear();
    s.id = "untrusted";
    mqtt::Publisher untrusted(s, "1.0.0");
    QSignalSpy refusals(&untrusted, &mqtt::Publisher::refused);
    ASSERT_TRUE(waitUntil([&] { return refusals.count() > 0; }, 10000));
    waitUntil([] { return false; }, 3500);
    EXPECT_EQ(refusals.count(), 1);
    const QString reason = refusals[0][0].toString();
    EXPECT_TRUE(reason.contains("certificate") && reason.contains("verify failed"))
        << reason.toStdString();
    EXPECT_FALSE(live.get("vellicor/untrusted/availability").has_value());
}

TEST(Publisher, AlarmsStartOffRetainedTurnOnAndSurviveABrokerRestartNewest) {
    Broker broker;
    ASSERT_TRUE(broker.start());
    mqtt::Extras extras;
    extras.alarms = {alarms::Alarm::Low, alarms::Alarm::Silent};
    mqtt::Publisher publisher(plain(broker.port(), "tank"), "1.0.0", extras);
    {
        Subscriber live(broker.subscriberPort());
        ASSERT_TRUE(live.waitFor("vellicor/tank/alarm/low", "OFF"));
        ASSERT_TRUE(live.waitFor("vellicor/tank/alarm/silent", "OFF"));
        EXPECT_FALSE(live.get("vellicor/tank/alarm/high"));
        publisher.setAlarm("low", true);
        ASSERT_TRUE(live.waitFor("vellicor/tank/alarm/low", "ON"));
        Subscriber late(broker.subscriberPort());
        ASSERT_TRUE(late.waitFor("vellicor/tank/alarm/low", "ON"));
        EXPECT_TRUE(late.get("vellicor/tank/alarm/low")->retained);
    }
    broker.stop();
    ASSERT_TRUE(waitUntil([&] { return !publisher.isConnected(); }, 10000));
    publisher.setAlarm("silent", true);
    publisher.setAlarm("low", false);
    ASSERT_TRUE(broker.start());
    Subscriber live(broker.subscriberPort());
    ASSERT_TRUE(live.waitFor("vellicor/tank/alarm/silent", "ON", 20000));
    ASSERT_TRUE(live.waitFor("vellicor/tank/alarm/low", "OFF"));
    EXPECT_TRUE(live.get("homeassistant/binary_sensor/vellicor_tank/alarm_low/config").has_value());
}
