#pragma once
// `kvc410 packs` and `kvc410 pack NAME`: the pack list and one pack's last record, as the Pack
// Information dialog shows it, in a terminal or for a script (--format text|json). They read
// the profile through the same pack book as the window and never write to it.

#include <string>

#include "platform/Profile.h"

enum class PackFormat { Text, Json };

// The packs in the list's order, each with its last record.
std::string ListPacks(Profile& profile, PackFormat format);
// One pack; false (with why) when there is no pack of that name.
bool ShowPack(Profile& profile, const std::string& name, PackFormat format, std::string& out,
              std::string& why);
