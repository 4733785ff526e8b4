#pragma once
// The CSV log of a finished charge: one line per second of charging, newest first.

#include <string>

#include "platform/LocalTime.h"

struct ChargeSample;

// "<pack> <month>-<day>-<year> <hh>-<mm>.csv", with the characters that would lead out of the
// output folder (slashes, backslashes, control characters) in the pack name replaced by '_'.
std::string ChargeLogFileName(const std::string& packName, const LocalTime& time);

// The whole file: header and data lines, each ending in CR LF; empty for an empty history.
std::string BuildChargeLog(const ChargeSample* head);

// A voltage or current cut to two decimals as the log writes it; a negative value keeps its
// sign and both decimals (-1.49).
std::string LogNumber(float value);
