#include "Payloads.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "alarms/AlarmText.h"
#include "device/NumberText.h"

namespace mqtt {

namespace {

// Numbers are written into one fixed buffer: a state message goes out with every frame.
class Writer {
public:
    void text(std::string_view s) {
        for (char c : s) *at_++ = c;
    }
    void integer(std::int64_t v) { at_ = std::to_chars(at_, end(), v).ptr; }
    void digits(int v, int width) {
        for (int i = width - 1; i >= 0; --i, v /= 10) at_[i] = static_cast<char>('0' + v % 10);
        at_ += width;
    }
    void hundredths(std::int64_t v) {
        if (v < 0) {
            *at_++ = '-';
            v = -v;
        }
        integer(v / 100);
        *at_++ = '.';
        digits(static_cast<int>(v % 100), 2);
    }
    void tenths(std::int64_t v) {
        integer(v / 10);
        *at_++ = '.';
        digits(static_cast<int>(v % 10), 1);
    }
    void time(const QDateTime& t) {
        const QDate d = t.date();
        const QTime c = t.time();
        digits(d.year(), 4);
        *at_++ = '-';
        digits(d.month(), 2);
        *at_++ = '-';
        digits(d.day(), 2);
        *at_++ = 'T';
        digits(c.hour(), 2);
        *at_++ = ':';
        digits(c.minute(), 2);
        *at_++ = ':';
        digits(c.second(), 2);
        int offset = t.offsetFromUtc() / 60;
        *at_++ = offset < 0 ? '-' : '+';
        offset = std::abs(offset);
        digits(offset / 60, 2);
        *at_++ = ':';
        digits(offset % 60, 2);
    }
    QByteArray bytes() const { return QByteArray(buffer_.data(), at_ - buffer_.data()); }

private:
    char* end() { return buffer_.data() + buffer_.size(); }
    // Six 16-bit numbers, two pH values, a time and the names: far below this.
    std::array<char, 256> buffer_{};
    char* at_ = buffer_.data();
};

QJsonObject deviceObject(const QString& id, const QString& version) {
    return QJsonObject{
        {QStringLiteral("identifiers"), QJsonArray{QStringLiteral("vellicor_") + id}},
        {QStringLiteral("name"), QStringLiteral("Vellicor pH controller (%1)").arg(id)},
        {QStringLiteral("manufacturer"), QStringLiteral("Vellicor")},
        {QStringLiteral("model"), QStringLiteral("pH controller")},
        {QStringLiteral("sw_version"), version},
    };
}

}  // namespace

Topics topicsFor(const QString& id) {
    const QByteArray root = "vellicor/" + id.toUtf8() + '/';
    return Topics{root + "availability", root + "state", root + "link", root + "alarm/"};
}

QByteArray isoTimeWithOffset(const QDateTime& time) {
    Writer w;
    w.time(time);
    return w.bytes();
}

QByteArray stateJson(const device::DeviceFrame& f, const QDateTime& time,
                     std::optional<double> kh) {
    Writer w;
    w.text("{\"ph\":");
    w.hundredths(device::phHundredths(f.raw, f.k, f.m));
    w.text(",\"target_ph\":");
    w.hundredths(device::phHundredths(f.limit, f.k, f.m));
    w.text(f.valve != 0 ? ",\"valve\":true,\"raw\":" : ",\"valve\":false,\"raw\":");
    w.integer(f.raw);
    w.text(",\"limit\":");
    w.integer(f.limit);
    w.text(",\"raw7\":");
    w.integer(f.raw7);
    w.text(",\"raw4\":");
    w.integer(f.raw4);
    w.text(",\"k\":");
    w.integer(f.k);
    w.text(",\"m\":");
    w.integer(f.m);
    if (kh) {
        // A probe reading nonsense gives an absurd figure, still a number of a few digits.
        const double co2 =
            alarms::co2MgPerLitre(*kh, static_cast<int>(device::phHundredths(f.raw, f.k, f.m)));
        w.text(",\"co2_mg_l\":");
        w.tenths(std::llround(device::roundHalfEven(std::min(co2, 1e12), 1) * 10));
    }
    w.text(",\"time\":\"");
    w.time(time);
    w.text("\"}");
    return w.bytes();
}

namespace {
QByteArray configTopic(const char* component, const QString& uid, const QString& key) {
    return QByteArrayLiteral("homeassistant/") + component + '/' + uid.toUtf8() + '/' +
           key.toUtf8() + "/config";
}
}  // namespace

std::vector<QByteArray> retiredDiscoveryTopics(const QString& id, const Extras& extras) {
    const QString uid = QStringLiteral("vellicor_") + id;
    std::vector<QByteArray> topics;
    for (const alarms::Alarm a : alarms::AllAlarms) {
        if (std::find(extras.alarms.begin(), extras.alarms.end(), a) == extras.alarms.end())
            topics.push_back(configTopic("binary_sensor", uid, "alarm_" + alarms::alarmKey(a)));
    }
    if (!extras.kh) topics.push_back(configTopic("sensor", uid, QStringLiteral("co2")));
    return topics;
}

std::vector<Message> discoveryMessages(const QString& id, const QString& version,
                                       const Extras& extras) {
    const Topics topics = topicsFor(id);
    const QString uid = QStringLiteral("vellicor_") + id;
    const QJsonObject device = deviceObject(id, version);
    const auto entity = [&](const char* component, const char* key, const QString& name,
                            const QByteArray& stateTopic, QJsonObject extra) {
        extra.insert(QStringLiteral("name"), name);
        extra.insert(QStringLiteral("unique_id"), uid + u'_' + QLatin1String(key));
        extra.insert(QStringLiteral("state_topic"), QString::fromUtf8(stateTopic));
        extra.insert(QStringLiteral("availability_topic"), QString::fromUtf8(topics.availability));
        extra.insert(QStringLiteral("payload_available"), QString::fromLatin1(Online));
        extra.insert(QStringLiteral("payload_not_available"), QString::fromLatin1(Offline));
        extra.insert(QStringLiteral("has_entity_name"), true);
        extra.insert(QStringLiteral("device"), device);
        return Message{configTopic(component, uid, QLatin1String(key)),
                       QJsonDocument(extra).toJson(QJsonDocument::Compact)};
    };
    const auto phSensor = [](const char* field) {
        return QJsonObject{
            {QStringLiteral("device_class"), QStringLiteral("ph")},
            {QStringLiteral("state_class"), QStringLiteral("measurement")},
            {QStringLiteral("suggested_display_precision"), 2},
            {QStringLiteral("value_template"),
             QStringLiteral("{{ value_json.%1 }}").arg(QLatin1String(field))},
        };
    };
    std::vector<Message> messages{
        entity("sensor", "ph", QStringLiteral("pH"), topics.state, phSensor("ph")),
        entity("sensor", "target_ph", QStringLiteral("Target pH"), topics.state,
               phSensor("target_ph")),
        entity("binary_sensor", "valve", QStringLiteral("CO2 valve"), topics.state,
               QJsonObject{
                   {QStringLiteral("device_class"), QStringLiteral("opening")},
                   {QStringLiteral("value_template"),
                    QStringLiteral("{{ 'ON' if value_json.valve else 'OFF' }}")},
               }),
        entity("sensor", "link", QStringLiteral("Serial link"), topics.link,
               QJsonObject{
                   {QStringLiteral("device_class"), QStringLiteral("enum")},
                   {QStringLiteral("options"),
                    QJsonArray{QStringLiteral("connected"), QStringLiteral("lost"),
                               QStringLiteral("trying again"), QStringLiteral("disconnected")}},
                   {QStringLiteral("entity_category"), QStringLiteral("diagnostic")},
                   {QStringLiteral("icon"), QStringLiteral("mdi:bluetooth-connect")},
               }),
    };
    for (const alarms::Alarm a : extras.alarms) {
        const QString name = alarms::alarmKey(a);
        messages.push_back(
            entity("binary_sensor", ("alarm_" + name).toLatin1().constData(), alarms::alarmTitle(a),
                   topics.alarmRoot + name.toUtf8(),
                   QJsonObject{
                       {QStringLiteral("device_class"), QStringLiteral("problem")},
                       {QStringLiteral("payload_on"), QString::fromLatin1(AlarmOn)},
                       {QStringLiteral("payload_off"), QString::fromLatin1(AlarmOff)},
                   }));
    }
    if (!extras.kh) return messages;
    // Home Assistant's carbon dioxide class counts in ppm of air; dissolved CO2 is mg/l.
    messages.push_back(
        entity("sensor", "co2", QStringLiteral("CO2"), topics.state,
               QJsonObject{
                   {QStringLiteral("unit_of_measurement"), QStringLiteral("mg/L")},
                   {QStringLiteral("state_class"), QStringLiteral("measurement")},
                   {QStringLiteral("suggested_display_precision"), 1},
                   {QStringLiteral("icon"), QStringLiteral("mdi:molecule-co2")},
                   {QStringLiteral("value_template"), QStringLiteral("{{ value_json.co2_mg_l }}")},
               }));
    return messages;
}

}  // namespace mqtt
