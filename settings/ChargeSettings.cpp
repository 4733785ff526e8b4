#include "settings/ChargeSettingsStore.h"

namespace {
int Get(Profile& profile, const char* key, int def) {
    return profile.GetProfileInt(kPropertiesSection, key, def);
}
void Put(Profile& profile, const char* key, int value) {
    profile.WriteProfileInt(kPropertiesSection, key, value);
}
}  // namespace

ChargeSettings ReadChargeSettings(Profile& profile, const ChargeSettings& defaults) {
    ChargeSettings s;
    s.timedSeconds = Get(profile, kKeySec, defaults.timedSeconds);
    s.timedMinutes = Get(profile, kKeyMin, defaults.timedMinutes);
    s.timedHours = Get(profile, kKeyHour, defaults.timedHours);
    s.chargeType = Get(profile, kKeyChargeType, defaults.chargeType);
    s.delay = Get(profile, kKeyDelay, defaults.delay);
    s.threshold = Get(profile, kKeyThreshold, defaults.threshold);
    s.batteryType = Get(profile, kKeyBatteryType, defaults.batteryType);
    s.sensitivity = Get(profile, kKeySensitivity, defaults.sensitivity);
    s.cells = Get(profile, kKeyCells, defaults.cells);
    s.exportCsv = Get(profile, kKeyCsv, defaults.exportCsv);
    return s;
}

void StoreChargeSettings(Profile& profile, const ChargeSettings& s) {
    Put(profile, kKeyDelay, s.delay);
    Put(profile, kKeySensitivity, s.sensitivity);
    Put(profile, kKeyThreshold, s.threshold);
    Put(profile, kKeyBatteryType, s.batteryType);
    Put(profile, kKeyChargeType, s.chargeType);
    Put(profile, kKeySec, s.timedSeconds);
    Put(profile, kKeyMin, s.timedMinutes);
    Put(profile, kKeyHour, s.timedHours);
    Put(profile, kKeyCells, s.cells);
    Put(profile, kKeyCsv, s.exportCsv);
}
