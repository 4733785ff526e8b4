#pragma once
// Where packs live in the profile: section "Packs", for slot n the keys n (name, "0" for an
// empty slot), n followed by "i" (properties) and n followed by "j" (record, "0" for none).

#include <QString>
#include <array>
#include <vector>

#include "platform/Profile.h"

inline constexpr int kPackSlotCount = 40;
inline const char* const kPacksSection = "Packs";
inline const char* const kEmptySlot = "0";
inline const char* const kNoPack = "None";

using PackNames = std::array<QString, kPackSlotCount>;

QString SlotKey(int slot);
// Reads the forty names. A stored name longer than any the program accepts is read as
// DamagedPackName(slot) (the slot can then be selected, renamed or deleted as any other); the
// slots where that happened are returned.
std::vector<int> ReloadPackNames(Profile& profile, PackNames& names);
QString DamagedPackName(int slot);
// The last slot whose name is exactly name, or -1.
int FindPackSlot(const PackNames& names, const QString& name);
QString ReadRecord(Profile& profile, const QString& slotKey);
// The rule for a pack's name, in New Pack and in the Pack Editor alike: not empty, not taken (AA
// and aa are two packs), not one of the markers "None" and "0", none of \ / : * ? " < > |, and
// at most 100 characters.
inline constexpr int kMaxPackNameLength = 100;
bool IsAcceptablePackName(const QString& name, const PackNames& names);
