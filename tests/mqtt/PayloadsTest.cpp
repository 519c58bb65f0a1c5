#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTimeZone>
#include <set>

#include "Frames.h"
#include "device/Frame.h"
#include "mqtt/Payloads.h"

namespace {

device::DeviceFrame frameOf(const QByteArray& bytes) {
    return *device::decodeFrame(bytes);
}

const QDateTime Morning(QDate(2026, 12, 8), QTime(9, 5, 7, 250), Qt::OffsetFromUTC, 3600);

}  // namespace

TEST(StatePayload, ReferenceFrameGivesTheDisplayedValuesWithAPointInAnyLocale) {
    const QByteArray expected =
        R"({"ph":6.99,"target_ph":7.41,"valve":true,"raw":766,"limit":812,"raw7":651,)"
        R"("raw4":253,"k":90,"m":1000,"time":"2026-12-08T09:05:07+01:00"})";
    const device::DeviceFrame frame = frameOf(testsupport::referenceFrame());
    EXPECT_EQ(mqtt::stateJson(frame, Morning), expected);

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QByteArray german = mqtt::stateJson(frame, Morning);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(german, expected);

    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(expected, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_DOUBLE_EQ(o["ph"].toDouble(), 6.99);
}

TEST(StatePayload, PhKeepsTwoDecimalsAndRoundsHalvesToEven) {
    // raw 766, k 90, m 1000 -> 6.994: the display's 6.99; limit 700 k 100 m 0 -> exactly 7.
    // raw 1, k 50, m 0 -> 0.005 rounds to the even 0.00; raw 3, k 50 -> 0.015 -> 0.02.
    const auto phOf = [](int raw, int k, int m) {
        device::DeviceFrame f;
        f.raw = raw;
        f.k = k;
        f.m = m;
        f.limit = raw;
        return mqtt::stateJson(f, Morning).split(',').front();
    };
    EXPECT_EQ(phOf(700, 100, 0), R"({"ph":7.00)");
    EXPECT_EQ(phOf(690, 100, 0), R"({"ph":6.90)");
    EXPECT_EQ(phOf(1, 50, 0), R"({"ph":0.00)");
    EXPECT_EQ(phOf(3, 50, 0), R"({"ph":0.02)");
    // The largest product of any bytes: 65535 x 255 + 65535, no overflow.
    EXPECT_EQ(phOf(65535, 255, 65535), R"({"ph":1677.70)");
}

TEST(StatePayload, ValveIsByteEightNonZeroAndRegistersAreSentAsIs) {
    QByteArray bytes = testsupport::referenceFrame();
    bytes[7] = 0;
    const QJsonObject closed =
        QJsonDocument::fromJson(mqtt::stateJson(frameOf(bytes), Morning)).object();
    EXPECT_EQ(closed["valve"], QJsonValue(false));
    bytes[7] = static_cast<char>(0xFF);
    bytes[6] = 1;
    bytes.replace(10, 2, testsupport::bytes({0xFF, 0xFF}));
    const QJsonObject open =
        QJsonDocument::fromJson(mqtt::stateJson(frameOf(bytes), Morning)).object();
    EXPECT_EQ(open["valve"], QJsonValue(true));
    EXPECT_EQ(open["k"].toInt(), 1);  // byte 8 has no weight in k
    EXPECT_EQ(open["raw"].toInt(), 65535);
}

TEST(StatePayload, TimeCarriesTheZoneOffset) {
    const QDate day(2026, 7, 1);
    EXPECT_EQ(mqtt::isoTimeWithOffset(QDateTime(day, QTime(23, 59, 59), Qt::UTC)),
              "2026-07-01T23:59:59+00:00");
    EXPECT_EQ(mqtt::isoTimeWithOffset(QDateTime(day, QTime(0, 0), Qt::OffsetFromUTC, -12600)),
              "2026-07-01T00:00:00-03:30");
    const QDateTime berlin(day, QTime(12, 0), QTimeZone("Europe/Berlin"));
    EXPECT_EQ(mqtt::isoTimeWithOffset(berlin), "2026-07-01T12:00:00+02:00");
    EXPECT_EQ(QDateTime::fromString(mqtt::isoTimeWithOffset(berlin), Qt::ISODate), berlin);
}

TEST(Discovery, OneDeviceWithFourEntitiesSharingIdentifiersAndAvailability) {
    const auto messages = mqtt::discoveryMessages("rfcomm0", "1.0.0");
    ASSERT_EQ(messages.size(), 4u);
    std::set<QByteArray> topics;
    std::set<QString> uniqueIds;
    for (const mqtt::Message& m : messages) {
        topics.insert(m.topic);
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(m.payload, &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << m.topic.toStdString();
        uniqueIds.insert(o["unique_id"].toString());
        EXPECT_EQ(o["availability_topic"], "vellicor/rfcomm0/availability");
        EXPECT_EQ(o["payload_available"], "online");
        EXPECT_EQ(o["payload_not_available"], "offline");
        const QJsonObject device = o["device"].toObject();
        EXPECT_EQ(device["identifiers"].toArray(), QJsonArray{"vellicor_rfcomm0"});
        EXPECT_EQ(device["name"], "Vellicor pH controller (rfcomm0)");
        EXPECT_FALSE(o["name"].toString().isEmpty());
    }
    const std::set<QByteArray> expectedTopics = {
        "homeassistant/sensor/vellicor_rfcomm0/ph/config",
        "homeassistant/sensor/vellicor_rfcomm0/target_ph/config",
        "homeassistant/binary_sensor/vellicor_rfcomm0/valve/config",
        "homeassistant/sensor/vellicor_rfcomm0/link/config",
    };
    EXPECT_EQ(topics, expectedTopics);
    EXPECT_EQ(uniqueIds.size(), 4u);

    const auto object = [&](int i) {
        return QJsonDocument::fromJson(messages[i].payload).object();
    };
    EXPECT_EQ(object(0)["state_topic"], "vellicor/rfcomm0/state");
    EXPECT_EQ(object(0)["value_template"], "{{ value_json.ph }}");
    EXPECT_EQ(object(1)["value_template"], "{{ value_json.target_ph }}");
    EXPECT_EQ(object(2)["state_topic"], "vellicor/rfcomm0/state");
    EXPECT_EQ(object(3)["state_topic"], "vellicor/rfcomm0/link");
    EXPECT_EQ(object(3)["options"].toArray().size(), 4);
}

TEST(StatePayload, WithAKhTheDissolvedCo2ComesInMgPerLitreWithOneDecimal) {
    const device::DeviceFrame frame = frameOf(testsupport::referenceFrame());
    // pH 6.99 at KH 4: 3 x 4 x 10^0.01 = 12.279...
    const QByteArray json = mqtt::stateJson(frame, Morning, 4.0);
    EXPECT_TRUE(json.contains(R"("m":1000,"co2_mg_l":12.3,"time":)")) << json.toStdString();
    EXPECT_FALSE(mqtt::stateJson(frame, Morning).contains("co2"));
    // A probe reading nonsense (pH 0) still gives a well-formed number.
    device::DeviceFrame dead = frame;
    dead.raw = 0;
    dead.m = 0;
    QJsonParseError error;
    const QJsonObject o =
        QJsonDocument::fromJson(mqtt::stateJson(dead, Morning, 30.0), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_DOUBLE_EQ(o["co2_mg_l"].toDouble(), 9e8);
}

// The alarm sensors themselves are checked against the real program (AlarmProgramTest).
TEST(Discovery, TheCo2SensorReadsTheStateAndEntitiesNotWatchedAreRetired) {
    mqtt::Extras extras;
    extras.alarms = {alarms::Alarm::Low, alarms::Alarm::Silent};
    extras.kh = 6;
    const auto messages = mqtt::discoveryMessages("tank", "1.0.0", extras);
    ASSERT_EQ(messages.size(), 7u);
    EXPECT_EQ(messages.back().topic, "homeassistant/sensor/vellicor_tank/co2/config");
    const QJsonObject co2 = QJsonDocument::fromJson(messages.back().payload).object();
    EXPECT_EQ(co2["state_topic"], "vellicor/tank/state");
    EXPECT_EQ(co2["value_template"], "{{ value_json.co2_mg_l }}");
    EXPECT_EQ(co2["unit_of_measurement"], "mg/L");

    const auto retired = mqtt::retiredDiscoveryTopics("tank", extras);
    EXPECT_EQ(
        std::set<QByteArray>(retired.begin(), retired.end()),
        (std::set<QByteArray>{"homeassistant/binary_sensor/vellicor_tank/alarm_high/config",
                              "homeassistant/binary_sensor/vellicor_tank/alarm_valve/config",
                              "homeassistant/binary_sensor/vellicor_tank/alarm_probe/config"}));
    EXPECT_EQ(mqtt::retiredDiscoveryTopics("tank", {}).size(), 6u);
}
