#include "packs/PackStore.h"

#include <algorithm>

QString SlotKey(int slot) {
    return QString::number(slot);
}

void ReloadPackNames(Profile& profile, PackNames& names) {
    for (int n = 0; n < kPackSlotCount; ++n) {
        names[n] = profile.GetProfileString(kPacksSection, SlotKey(n), kEmptySlot);
    }
}

int FindPackSlot(const PackNames& names, const QString& name) {
    int slot = -1;
    for (int n = 0; n < kPackSlotCount; ++n) {
        if (names[n] == name) {
            slot = n;
        }
    }
    return slot;
}

bool IsAcceptablePackName(const QString& name, const PackNames& names) {
    if (name.isEmpty() || name == kEmptySlot || name == kNoPack ||
        name.size() > kMaxPackNameLength ||
        std::find(names.begin(), names.end(), name) != names.end()) {
        return false;
    }
    for (QChar c : QString("\\/:*?\"<>|")) {
        if (name.contains(c)) {
            return false;
        }
    }
    return true;
}

QString ReadRecord(Profile& profile, const QString& slotKey) {
    return profile.GetProfileString(kPacksSection, slotKey + "j", "0");
}
