#pragma once
// Reading and writing the ten charge properties in section "Properties" of the profile.

#include "platform/Profile.h"
#include "settings/ChargeSettings.h"

// Reads the ten keys, each with its default from defaults.
ChargeSettings ReadChargeSettings(Profile& profile, const ChargeSettings& defaults);
void StoreChargeSettings(Profile& profile, const ChargeSettings& settings);
