#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <vector>

#include "device/Frame.h"

// What goes to the broker, as pure functions: the topics, a frame's state message and the
// Home Assistant discovery messages.
namespace mqtt {

struct Topics {
    QByteArray availability;  // "online" / "offline"
    QByteArray state;         // one JSON object per accepted frame
    QByteArray link;          // the serial link's state
};

Topics topicsFor(const QString& id);

inline const QByteArray Online = QByteArrayLiteral("online");
inline const QByteArray Offline = QByteArrayLiteral("offline");

// {"ph":6.99,"target_ph":7.41,"valve":true,"raw":766,...,"time":"2026-12-08T09:05:07+01:00"}
// The pH values are the displayed hundredths, always with a '.' whatever the user's locale,
// so every reader parses them alike.
QByteArray stateJson(const device::DeviceFrame& frame, const QDateTime& time);

// ISO 8601 to the second with the zone's offset: "2026-12-08T09:05:07+01:00".
QByteArray isoTimeWithOffset(const QDateTime& time);

struct Message {
    QByteArray topic;
    QByteArray payload;
};

// Retained configs under homeassistant/ that make one device with four entities: measured pH,
// target pH, valve and serial link.
std::vector<Message> discoveryMessages(const QString& id, const QString& version);

}  // namespace mqtt
