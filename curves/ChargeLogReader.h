#pragma once
// Reads the CSV logs the program writes, and hand-edited ones: blank lines, any line ending,
// spaces around fields, the decimal commas of logs written under a comma locale by older
// versions. A line that cannot be read is skipped and counted; a file of another kind is refused
// with the reason.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "curves/ChargeCurve.h"

struct ChargeLogRead {
    bool ok = false;
    std::string error;               // why the file was refused
    std::vector<CurvePoint> points;  // oldest first
    int skippedLines = 0;
};

ChargeLogRead ReadChargeLog(std::string_view text);
// Files beyond this are refused unread (a hundred hours of log is about 10 MB).
inline constexpr size_t kMostChargeLogBytes = 64u << 20;
ChargeLogRead ReadChargeLogFile(const std::string& path);

// What a log's file name says: "<pack> <month>-<day>-<year> <hh>-<mm>[ (n)].csv".
struct ChargeLogName {
    std::string pack;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    int copy = 1;
    // For ordering: the newest first.
    long long SortKey() const;
};
std::optional<ChargeLogName> ParseChargeLogName(std::string_view fileName);
