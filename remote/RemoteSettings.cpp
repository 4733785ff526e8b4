#include "remote/RemoteSettings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/SafeRead.h"

namespace {

// A topic level holds no '/', '+', '#' or control characters; a host name or a device path
// reduced so reads the same on the broker.
std::string TopicLevel(const std::string& text) {
    std::string level;
    for (char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        level += plain ? c : '_';
    }
    while (!level.empty() && level.front() == '_') {
        level.erase(level.begin());
    }
    return level.empty() ? "unknown" : level;
}

bool ParsePort(const std::string& text, int& port) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    port = std::stoi(text);
    return port >= 1 && port <= 65535;
}

}  // namespace

std::optional<RemoteSettings> ParseBrokerUrl(const std::string& url, std::string& why) {
    RemoteSettings s;
    std::string rest;
    if (url.rfind("mqtt://", 0) == 0) {
        rest = url.substr(7);
    } else if (url.rfind("mqtts://", 0) == 0) {
        rest = url.substr(8);
        s.tls = true;
        s.port = 8883;
    } else {
        why = "the broker is named mqtt://host[:port][/prefix] (mqtts:// for TLS)";
        return std::nullopt;
    }
    if (const size_t query = rest.find('?'); query != std::string::npos) {
        const std::string options = rest.substr(query + 1);
        rest.resize(query);
        if (options.rfind("ca=", 0) != 0 || options.size() == 3 || !s.tls) {
            why = "the only option of the broker's URL is ca=FILE, with mqtts://";
            return std::nullopt;
        }
        s.caFile = options.substr(3);
    }
    std::string authority = rest;
    if (const size_t slash = rest.find('/'); slash != std::string::npos) {
        authority = rest.substr(0, slash);
        s.prefix = rest.substr(slash + 1);
        while (!s.prefix.empty() && s.prefix.back() == '/') {
            s.prefix.pop_back();
        }
        if (s.prefix.find_first_of("+#") != std::string::npos) {
            why = "a topic prefix may not hold + or #";
            return std::nullopt;
        }
    }
    if (const size_t at = authority.rfind('@'); at != std::string::npos) {
        s.user = authority.substr(0, at);
        authority = authority.substr(at + 1);
        if (s.user.find(':') != std::string::npos) {
            why = "a password on the command line can be read by every user of this computer: "
                  "put it in " + DefaultPasswordFile() + " (readable only by you) instead";
            return std::nullopt;
        }
        if (s.user.empty()) {
            why = "the user name before @ is empty";
            return std::nullopt;
        }
        s.passwordFile = DefaultPasswordFile();
    }
    if (const size_t colon = authority.rfind(':');
        colon != std::string::npos && authority.find(']') == std::string::npos) {
        if (!ParsePort(authority.substr(colon + 1), s.port)) {
            why = "the broker's port is a number from 1 to 65535";
            return std::nullopt;
        }
        authority.resize(colon);
    }
    if (authority.empty()) {
        why = "the broker's host is missing";
        return std::nullopt;
    }
    s.host = authority;
    return s;
}

std::string DefaultTopicPrefix(const std::string& hostName, const std::string& portSetting) {
    std::string port = portSetting.empty() || portSetting == "auto" ? "auto" : portSetting;
    if (port.rfind("/dev/", 0) == 0) {
        port = port.substr(5);
    }
    if (const size_t colon = port.find(':'); colon != std::string::npos && port.rfind("sim", 0) == 0) {
        port.resize(colon);  // the simulated box's options are no part of its name
    }
    return "kvc410/" + TopicLevel(hostName) + "/" + TopicLevel(port);
}

std::string DefaultPasswordFile() {
    if (const char* named = std::getenv("KVC410_MQTT_PASSWORD_FILE"); named && *named) {
        return named;
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const std::string folder = config && *config ? std::string(config)
                                                 : std::string(home ? home : "") + "/.config";
    return folder + "/Quillmark/kvc410-mqtt-password";
}

bool ReadPasswordFile(const std::string& path, std::string& password, std::string& why) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        why = "the password file " + path + " cannot be read (" + std::strerror(errno) + ")";
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = "the password file " + path + " is not a file";
        return false;
    }
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0 || st.st_uid != ::getuid()) {
        why = "the password file " + path +
              " may be read by others: it must be yours and readable only by you (chmod 600)";
        return false;
    }
    std::string bytes;
    if (ReadRegularFile(path, 4096, bytes, why) != SafeRead::Ok) {
        why = "the password file " + path + " cannot be read (" + why + ")";
        return false;
    }
    password = bytes.substr(0, bytes.find('\n'));
    if (!password.empty() && password.back() == '\r') {
        password.pop_back();
    }
    return true;
}

std::string BrokerUrl(const RemoteSettings& s) {
    // Appended piece by piece: "literal" + std::string&& trips GCC 12's -Wrestrict in Release.
    std::string url = s.tls ? "mqtts://" : "mqtt://";
    if (!s.user.empty()) {
        url.append(s.user).append("@");
    }
    url.append(s.host);
    if (s.port != (s.tls ? 8883 : 1883)) {
        url.append(":").append(std::to_string(s.port));
    }
    if (!s.prefix.empty()) {
        url.append("/").append(s.prefix);
    }
    if (s.tls && !s.caFile.empty()) {
        url.append("?ca=").append(s.caFile);
    }
    return url;
}
