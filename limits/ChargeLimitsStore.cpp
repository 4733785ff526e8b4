#include "limits/ChargeLimitsStore.h"

namespace {
struct Place {
    const char* section;
    QString key;
};
Place Where(int slot) {
    return slot < 0 ? Place{kLimitsSection, kCurrentLimitsKey}
                    : Place{kPackLimitsSection, QString::number(slot)};
}
}  // namespace

StoredLimits ReadChargeLimits(Profile& profile, int slot) {
    const Place at = Where(slot);
    StoredLimits stored;
    const QString text = profile.GetProfileString(at.section, at.key, QString());
    if (text.isEmpty()) {
        return stored;
    }
    ChargeLimits limits;
    if (!ParsePackLimits(text.toStdString(), limits)) {
        stored.damaged = true;
        stored.why = "the value is not in the stored form";
        return stored;
    }
    if (auto field = FieldOutsideRange(limits)) {
        stored.damaged = true;
        stored.why = QString::fromStdString(*field) + " is outside what the dialog allows";
        return stored;
    }
    stored.limits = limits;
    return stored;
}

bool StoreChargeLimits(Profile& profile, int slot, const ChargeLimits& limits) {
    const Place at = Where(slot);
    if (limits == kDefaultLimits) {
        return profile.RemoveProfileKey(at.section, at.key);
    }
    return profile.WriteProfileString(at.section, at.key,
                                      QString::fromStdString(FormatPackLimits(limits)));
}
