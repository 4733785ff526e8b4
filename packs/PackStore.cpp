#include "packs/PackStore.h"

#include <algorithm>

QString SlotKey(int slot) {
    return QString::number(slot);
}

QString DamagedPackName(int slot) {
    return QString("Damaged pack %1").arg(slot + 1);
}

std::vector<int> ReloadPackNames(Profile& profile, PackNames& names) {
    std::vector<int> damaged;
    for (int n = 0; n < kPackSlotCount; ++n) {
        names[n] = profile.GetProfileString(kPacksSection, SlotKey(n), kEmptySlot);
        // No name the program accepts is this long: a hand-edited (or hostile) one would take
        // the list, the labels and the questions seconds and hundreds of megabytes to lay out.
        if (names[n].size() > kMaxPackNameLength) {
            names[n] = DamagedPackName(n);
            damaged.push_back(n);
        }
    }
    return damaged;
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
