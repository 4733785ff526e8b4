#pragma once
// Where a charge is published for watching from elsewhere: an MQTT broker, its account and the
// topics' prefix. Off unless asked for. The password never stands in the profile or on the
// command line (where any user's process listing shows it): it is read from a file that only its
// owner may read.

#include <optional>
#include <string>

struct RemoteSettings {
    std::string host;
    int port = 1883;
    std::string user;          // empty: no account
    std::string passwordFile;  // read when a user is named
    bool tls = false;
    std::string caFile;  // TLS: the certificate authority the broker's certificate must chain to
    std::string prefix;  // empty: DefaultTopicPrefix
};

// "mqtt://[user@]host[:port][/prefix][?ca=FILE]", or "mqtts://..." for TLS (port 8883 unless
// given). A password in the URL is refused, as is anything else not understood: why says what.
std::optional<RemoteSettings> ParseBrokerUrl(const std::string& url, std::string& why);

// kvc410/<host>/<port>, each part reduced to what a topic level may hold.
std::string DefaultTopicPrefix(const std::string& hostName, const std::string& portSetting);

// Where the password is kept unless KVC410_MQTT_PASSWORD_FILE names another file.
std::string DefaultPasswordFile();

// The first line of the file, refused (false, with why) when the file is missing, is not a
// regular file, or may be read by anyone but its owner.
bool ReadPasswordFile(const std::string& path, std::string& password, std::string& why);

// The URL ParseBrokerUrl reads back as these settings (the password file aside, which follows
// from the user).
std::string BrokerUrl(const RemoteSettings& settings);
