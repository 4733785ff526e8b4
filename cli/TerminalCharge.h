#pragma once
// `kvc410 charge`: one whole charge without a window, for SSH sessions, scripts and headless
// PCs. The same engine, pack book, limits, log, guardian, signal guard and port lock as the
// window; no QApplication, no display, no platform plugin.

#include <string>

#include <optional>

#include "charge/ChargeCycle.h"
#include "remote/RemoteSettings.h"

struct TerminalChargeOptions {
    std::string pack;  // empty: the profile's current pack (as the window would record into)
    bool timed = false;
    int hours = 0, minutes = 0, seconds = 0;
    enum class Format { Auto, Text, Csv, Json } format = Format::Auto;
    bool keepStopped = false;  // a charge stopped by a signal is recorded too
    std::optional<RemoteSettings> remote;  // --mqtt: where the charge is published
};

// Parses "H:MM:SS" (also "M:SS" or "SS"); false for anything else or a part out of range.
bool ParseChargeTime(const std::string& text, int& hours, int& minutes, int& seconds);

// The exit status of a charge that ended so (see CommandLine.h).
int TerminalExitStatus(ChargeEnd end);

// Runs the charge; returns the exit status (see CommandLine.h).
int RunTerminalCharge(int argc, char** argv, const TerminalChargeOptions& options);
