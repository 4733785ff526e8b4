#pragma once
// Where the window keeps its publishing: section "Remote" of the profile, key "Enabled" (0 or 1)
// and key "Broker", the broker's URL as `kvc410 charge --mqtt` takes it. Never a password.

#include <QString>
#include <optional>

#include "platform/Profile.h"
#include "remote/RemoteSettings.h"

inline const char* const kRemoteSection = "Remote";

struct StoredRemote {
    bool enabled = false;
    std::optional<RemoteSettings> broker;  // none when absent or not understood
    QString why;                           // a stored URL not understood: why
};

StoredRemote ReadRemoteSettings(Profile& profile);
bool StoreRemoteSettings(Profile& profile, bool enabled, const RemoteSettings& broker);
