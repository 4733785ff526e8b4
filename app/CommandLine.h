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
inline constexpr int kExitPortUnusable = 3;  // --check-port: the port cannot be driven

struct CommandLine {
    enum class Action { Run, Help, Version, CheckPort, Usage, Packs, Pack };
    Action action = Action::Run;
    // --port, or the value given to --check-port; empty: KVC410_PORT, then auto.
    std::string port;
    bool portGiven = false;
    std::string error;     // Action::Usage: what was wrong
    std::string packName;  // Action::Pack
    bool json = false;     // --format json (packs, pack); text otherwise
};

CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

std::string HelpText(const std::string& program);
std::string VersionText();
