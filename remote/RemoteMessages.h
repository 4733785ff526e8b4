#pragma once
// What a charge publishes over MQTT, as topics and payloads, apart from any network: the values
// of each second, the end with its record, and the Home Assistant discovery messages that make
// them appear as one device per charger port, with a Stop button.

#include <string>
#include <vector>

#include "remote/RemoteSettings.h"

struct ChargeSample;
struct ChargeTexts;

struct RemoteMessage {
    std::string topic;
    std::string payload;
    bool retained = false;
};

// The charge as it stands, in the texts the window shows.
struct RemoteSnapshot {
    std::string state;  // "idle", "charging" or "ended"
    std::string volts, amps, mah;
    int seconds = 0;  // charge time
    std::string pack;
    std::string endReason;  // at the end: as the summary names it
    std::string record;     // at the end: the pack's record, as JSON
};

inline const char* const kRemoteOnline = "online";
inline const char* const kRemoteOffline = "offline";
// The one command a remote user can give, on the command topic.
inline const char* const kRemoteStop = "STOP";

// The snapshot of a charge as the engine's texts give it: idle or charging (endReason empty), or
// ended, with the record (pack, end, duration, mAh, peak and the log's file name).
// last: the charge's last sample (its time), none before the first measurement.
RemoteSnapshot ChargeSnapshot(const ChargeTexts& texts, const ChargeSample* last, bool charging,
                              const std::string& pack, const std::string& endReason,
                              const std::string& logName);

class RemoteTopics {
public:
    // prefix: kvc410/<host>/<port> or the user's; deviceName: how the device is shown.
    RemoteTopics(std::string prefix, std::string deviceName, std::string version);
    const std::string& Prefix() const { return m_prefix; }
    std::string Availability() const { return m_prefix + "/availability"; }
    std::string Command() const { return m_prefix + "/command"; }
    std::string Value(const char* name) const { return m_prefix + "/" + name; }

    // Retained, so that a hub started later learns of the device: a sensor for each value, a
    // button for Stop.
    std::vector<RemoteMessage> Discovery() const;
    // The values of one second, retained (a phone opened mid-charge sees where it stands); the
    // end reason and the record only with the end.
    std::vector<RemoteMessage> Values(const RemoteSnapshot& snapshot) const;

private:
    std::string m_prefix, m_deviceName, m_version, m_uniqueId;
};

// The topics of a charger: the broker's prefix, else kvc410/<host>/<port>; the device named for
// the host and the port (portSetting: KVC410_PORT's value, or "auto").
RemoteTopics TopicsFor(const RemoteSettings& broker, const std::string& hostName,
                       const std::string& portSetting, const std::string& version);
