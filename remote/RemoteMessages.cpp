#include "remote/RemoteMessages.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

#include "charge/ChargeCycle.h"
#include "charge/SampleHistory.h"

namespace {

struct Sensor {
    const char* key;   // the value's topic level and the entity's id
    const char* name;  // as the hub shows it
    const char* unit;
    const char* deviceClass;
};

// Units and device classes as Home Assistant knows them; mAh and the texts have none.
const Sensor kSensors[] = {
    {"state", "State", "", ""},
    {"voltage", "Voltage", "V", "voltage"},
    {"current", "Current", "A", "current"},
    {"charge", "Charge delivered", "mAh", ""},
    {"time", "Charge time", "s", "duration"},
    {"pack", "Pack", "", ""},
    {"end", "End of charge", "", ""},
};

std::string Json(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace

RemoteTopics::RemoteTopics(std::string prefix, std::string deviceName, std::string version)
    : m_prefix(std::move(prefix)), m_deviceName(std::move(deviceName)), m_version(std::move(version)) {
    // The prefix names the host and port: one device per charger port.
    for (char c : m_prefix) {
        m_uniqueId += (c == '/' || c == ' ') ? '_' : c;
    }
}

std::vector<RemoteMessage> RemoteTopics::Discovery() const {
    const QJsonObject device{{"identifiers", QJsonArray{QString::fromStdString(m_uniqueId)}},
                             {"name", QString::fromStdString(m_deviceName)},
                             {"manufacturer", "Quillmark"},
                             {"model", "KVC410 charger"},
                             {"sw_version", QString::fromStdString(m_version)}};
    const QString availability = QString::fromStdString(Availability());
    std::vector<RemoteMessage> messages;
    for (const Sensor& s : kSensors) {
        QJsonObject config{{"name", s.name},
                           {"unique_id", QString::fromStdString(m_uniqueId + "_" + s.key)},
                           {"state_topic", QString::fromStdString(Value(s.key))},
                           {"availability_topic", availability},
                           {"payload_available", kRemoteOnline},
                           {"payload_not_available", kRemoteOffline},
                           {"device", device}};
        if (*s.unit != '\0') {
            config.insert("unit_of_measurement", s.unit);
            config.insert("state_class", "measurement");
        }
        if (*s.deviceClass != '\0') {
            config.insert("device_class", s.deviceClass);
        }
        messages.push_back({"homeassistant/sensor/" + m_uniqueId + "/" + s.key + "/config",
                            Json(config), true});
    }
    const QJsonObject stop{{"name", "Stop charge"},
                           {"unique_id", QString::fromStdString(m_uniqueId + "_stop")},
                           {"command_topic", QString::fromStdString(Command())},
                           {"payload_press", kRemoteStop},
                           {"availability_topic", availability},
                           {"payload_available", kRemoteOnline},
                           {"payload_not_available", kRemoteOffline},
                           {"device", device}};
    messages.push_back({"homeassistant/button/" + m_uniqueId + "/stop/config", Json(stop), true});
    return messages;
}

std::vector<RemoteMessage> RemoteTopics::Values(const RemoteSnapshot& s) const {
    std::vector<RemoteMessage> messages{
        {Value("state"), s.state, true},       {Value("voltage"), s.volts, true},
        {Value("current"), s.amps, true},      {Value("charge"), s.mah, true},
        {Value("time"), std::to_string(s.seconds), true}, {Value("pack"), s.pack, true},
    };
    if (s.state == "ended") {
        messages.push_back({Value("end"), s.endReason, true});
        messages.push_back({Value("record"), s.record, true});
    } else if (s.state == "charging") {
        messages.push_back({Value("end"), "", true});
    }
    return messages;
}

RemoteTopics TopicsFor(const RemoteSettings& broker, const std::string& hostName,
                       const std::string& portSetting, const std::string& version) {
    const std::string prefix =
        broker.prefix.empty() ? DefaultTopicPrefix(hostName, portSetting) : broker.prefix;
    return RemoteTopics(prefix, "KVC410 " + hostName + " " + portSetting, version);
}

RemoteSnapshot ChargeSnapshot(const ChargeTexts& t, const ChargeSample* last, bool charging,
                              const std::string& pack, const std::string& endReason,
                              const std::string& logName) {
    const int seconds = last != nullptr ? ElapsedSeconds(*last) : 0;
    RemoteSnapshot s;
    s.state = !endReason.empty() ? "ended" : charging ? "charging" : "idle";
    s.volts = t.volts.substr(0, t.volts.find('\n'));  // the display's second line is no number
    s.amps = t.amps;
    s.mah = t.mah;
    s.seconds = seconds;
    s.pack = pack;
    s.endReason = endReason;
    if (!endReason.empty()) {
        char duration[32];
        std::snprintf(duration, sizeof duration, "%d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
        const QJsonObject record{{"pack", QString::fromStdString(pack)},
                                 {"end", QString::fromStdString(endReason)},
                                 {"duration", duration},
                                 {"mah", QString::fromStdString(t.mah)},
                                 {"peak", QString::fromStdString(t.maxVolts)},
                                 {"log", QString::fromStdString(logName)}};
        s.record = Json(record);
    }
    return s;
}
