#include "packs/PackStore.h"

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

QString ReadRecord(Profile& profile, const QString& slotKey) {
    return profile.GetProfileString(kPacksSection, slotKey + "j", "0");
}
