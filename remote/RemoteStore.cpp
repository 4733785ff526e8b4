#include "remote/RemoteStore.h"

StoredRemote ReadRemoteSettings(Profile& profile) {
    StoredRemote stored;
    stored.enabled = profile.GetProfileInt(kRemoteSection, "Enabled", 0) == 1;
    const QString url = profile.GetProfileString(kRemoteSection, "Broker", QString());
    if (url.isEmpty()) {
        return stored;
    }
    std::string why;
    stored.broker = ParseBrokerUrl(url.toStdString(), why);
    stored.why = QString::fromStdString(why);
    return stored;
}

bool StoreRemoteSettings(Profile& profile, bool enabled, const RemoteSettings& broker) {
    return profile.WriteProfileString(kRemoteSection, "Broker",
                                      QString::fromStdString(BrokerUrl(broker))) &&
           profile.WriteProfileInt(kRemoteSection, "Enabled", enabled ? 1 : 0);
}
