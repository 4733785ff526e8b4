#pragma once
// Where packs live in the profile: section "Packs", for slot n the keys n (name, "0" for an
// empty slot), n followed by "i" (properties) and n followed by "j" (record, "0" for none).

#include <QString>
#include <array>

#include "platform/Profile.h"

inline constexpr int kPackSlotCount = 40;
inline const char* const kPacksSection = "Packs";
inline const char* const kEmptySlot = "0";
inline const char* const kNoPack = "None";

using PackNames = std::array<QString, kPackSlotCount>;

QString SlotKey(int slot);
void ReloadPackNames(Profile& profile, PackNames& names);
// The last slot whose name is exactly name, or -1.
int FindPackSlot(const PackNames& names, const QString& name);
QString ReadRecord(Profile& profile, const QString& slotKey);
