#pragma once
// The program's command line: --help, --version, --port VALUE, --check-port [VALUE] and the
// sub-commands packs and pack NAME. Read before any window exists, so that these work without a
// display.

#include <string>
#include <vector>

// Exit codes of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitCannotStart = 1;   // the port or the lock refused, or another failure
inline constexpr int kExitUsage = 2;         // a command line that is not understood
inline constexpr int kExitPortUnusable = 3;  // --check-port, charge: the port cannot be driven
// kvc410 charge, by how the charge ended (0: the peak test or the set time).
inline constexpr int kExitDisconnected = 4;  // the charger or the battery missing
inline constexpr int kExitBackup = 5;        // a backup cut-off: the peak was not detected
inline constexpr int kExitStopped = 6;       // stopped by a signal (Ctrl+C, SIGTERM)
inline constexpr int kExitInterrupted = 7;   // the watchdog switched off a program that stalled
inline constexpr int kExitOutputFailed = 8;  // standard output could not be written

struct CommandLine {
    enum class Action { Run, Help, Version, CheckPort, Usage, Packs, Pack, Charge };
    Action action = Action::Run;
    // --port, or the value given to --check-port; empty: KVC410_PORT, then auto.
    std::string port;
    bool portGiven = false;
    std::string error;     // Action::Usage: what was wrong
    std::string packName;  // Action::Pack
    bool json = false;     // --format json (packs, pack); text otherwise
    // charge: its own options, as text (checked by the charge itself).
    std::string chargePack, chargeTimed, chargeFormat, chargeMqtt;
    bool chargeTimedGiven = false;  // --timed, even with an empty value
    bool keepStopped = false;
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

std::string HelpText(const std::string& program);
std::string VersionText();
std::string VersionNumber();
