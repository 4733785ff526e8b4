#include "settings/ChargeSettingsStore.h"

namespace {
int Get(Profile& profile, const char* key, int def) {
    return profile.GetProfileInt(kPropertiesSection, key, def);
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

bool IsWithinDialogRanges(const ChargeSettings& s) {
    auto in = [](int value, int low, int high) { return value >= low && value <= high; };
    return in(s.timedHours, 0, 59) && in(s.timedMinutes, 0, 59) && in(s.timedSeconds, 0, 59) &&
           in(s.batteryType, kBatteryNiCd, kBatteryCustom) &&
           in(s.chargeType, kPeakCharge, kTimedCharge) &&
           in(s.threshold, kLowestThreshold, kHighestThreshold) &&
           in(s.delay, kShortestDelay, kLongestDelay) &&
           in(s.sensitivity, kShortestSensitivity, kLongestSensitivity) &&
           in(s.cells, kFewestCellsAllowed, kMostCellsAllowed) && in(s.exportCsv, 0, 1);
}

void StoreChargeSettings(Profile& profile, const ChargeSettings& s) {
    // One write for all ten: the profile file is rewritten once, not ten times.
    profile.WriteProfileInts(kPropertiesSection, {{kKeyDelay, s.delay},
                                                  {kKeySensitivity, s.sensitivity},
                                                  {kKeyThreshold, s.threshold},
                                                  {kKeyBatteryType, s.batteryType},
                                                  {kKeyChargeType, s.chargeType},
                                                  {kKeySec, s.timedSeconds},
                                                  {kKeyMin, s.timedMinutes},
                                                  {kKeyHour, s.timedHours},
                                                  {kKeyCells, s.cells},
                                                  {kKeyCsv, s.exportCsv}});
}
