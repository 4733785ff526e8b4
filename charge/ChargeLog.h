#pragma once
// The CSV log of a finished charge: one line per second of charging, newest first.

#include <string>

#include "platform/LocalTime.h"

struct ChargeSample;

// "<pack> <month>-<day>-<year> <hh>-<mm>.csv", with the characters that would lead out of the
// output folder (slashes, backslashes, control characters) in the pack name replaced by '_'.
// A pack name too long for the file system's 255 bytes is cut (between two characters), leaving
// room for the " (n)" that keeps two logs of one minute apart. copy 1 is the plain name, copy n
// adds " (n)" before ".csv".
std::string ChargeLogFileName(const std::string& packName, const LocalTime& time, int copy = 1);
inline constexpr size_t kMaxFileNameBytes = 255;
inline constexpr int kMostLogCopies = 999;

// The whole file: header and data lines, each ending in CR LF; empty for an empty history.
std::string BuildChargeLog(const ChargeSample* head);
inline const char* const kChargeLogHeader = "Total Seconds, Voltage, Current, Charge Duration";
// One data line, without its line end: "3, 9.81, 0.52, 0:0:3".
std::string ChargeLogLine(int totalSeconds, const ChargeSample& sample);

// A voltage or current cut to two decimals as the log writes it; a negative value keeps its
// sign and both decimals (-1.49).
std::string LogNumber(float value);
