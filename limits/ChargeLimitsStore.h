#pragma once
// Where the charge limits live in the profile: section "Limits", key "Current", for charges of
// no pack; section "PackLimits", key n, for the pack in slot n. Each value is the text of
// FormatPackLimits. An absent value means the defaults, so a pack made before the limits
// existed charges with every backup on and its capacity unknown.

#include <QString>

#include "limits/ChargeLimits.h"
#include "platform/Profile.h"

inline const char* const kLimitsSection = "Limits";
inline const char* const kCurrentLimitsKey = "Current";
inline const char* const kPackLimitsSection = "PackLimits";

struct StoredLimits {
    ChargeLimits limits;  // the defaults when absent or damaged
    bool damaged = false;
    QString why;  // for a damaged value: which field, or that it is not in the stored form
};

// slot < 0: the limits of charges of no pack.
StoredLimits ReadChargeLimits(Profile& profile, int slot);
// Stores the defaults as no value at all.
bool StoreChargeLimits(Profile& profile, int slot, const ChargeLimits& limits);
