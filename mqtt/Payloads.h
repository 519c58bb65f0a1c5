#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

#include "alarms/AlarmEngine.h"
#include "device/Frame.h"

// What goes to the broker, as pure functions: the topics, a frame's state message and the
// Home Assistant discovery messages.
namespace mqtt {

struct Topics {
    QByteArray availability;  // "online" / "offline"
    QByteArray state;         // one JSON object per accepted frame
    QByteArray link;          // the serial link's state
    QByteArray alarmRoot;     // + an alarm's name: "ON" while it is raised, else "OFF"
};

Topics topicsFor(const QString& id);

inline const QByteArray Online = QByteArrayLiteral("online");
inline const QByteArray Offline = QByteArrayLiteral("offline");
inline const QByteArray AlarmOn = QByteArrayLiteral("ON");
inline const QByteArray AlarmOff = QByteArrayLiteral("OFF");

// What this run publishes beyond the four entities every run has.
struct Extras {
    // The alarms watched; each is a binary sensor.
    std::vector<alarms::Alarm> alarms;
    // The water's carbonate hardness in degrees: the state then carries the dissolved CO2.
    std::optional<double> kh;
};

// {"ph":6.99,"target_ph":7.41,"valve":true,"raw":766,...,"time":"2026-12-08T09:05:07+01:00"}
// The pH values are the displayed hundredths, always with a '.' whatever the user's locale,
// so every reader parses them alike.
// With a KH, "co2_mg_l" (one decimal) comes before the time.
QByteArray stateJson(const device::DeviceFrame& frame, const QDateTime& time,
                     std::optional<double> kh = std::nullopt);

// ISO 8601 to the second with the zone's offset: "2026-12-08T09:05:07+01:00".
QByteArray isoTimeWithOffset(const QDateTime& time);

struct Message {
    QByteArray topic;
    QByteArray payload;
};

// Retained configs under homeassistant/ that make one device with four entities: measured pH,
// target pH, valve and serial link; and with the extras, a binary sensor of class "problem"
// for each alarm watched and the CO2 sensor.
std::vector<Message> discoveryMessages(const QString& id, const QString& version,
                                       const Extras& extras = {});
// The configs of the entities this run does not have (an alarm turned off, no KH): an empty
// retained message there takes an entity of an earlier run out of Home Assistant.
std::vector<QByteArray> retiredDiscoveryTopics(const QString& id, const Extras& extras);

}  // namespace mqtt
