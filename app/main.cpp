#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/CChargerApp.h"
#include "cli/PackCommands.h"
#include "cli/TerminalCharge.h"
#include "platform/DesktopNotifier.h"
#include "platform/SignalGuard.h"
#include "session/CommandLine.h"
#include "session/PortCheck.h"
#include "session/PortSelection.h"

namespace {
// What was printed really went out: a standard output that cannot be written (a full disk,
// /dev/full, a closed pipe) is an error of its own, not a success with the output lost.
int Printed(int code) {
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "kvc410: standard output could not be written.\n");
        return kExitOutputFailed;
    }
    return code;
}

// Whether a display to show a window on is named at all (X11, Wayland, or a Qt platform chosen
// by hand, such as offscreen).
bool DisplayNamed() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

// packs and pack NAME: no window, no display; the profile is only read.
int RunPackCommand(const CommandLine& line) {
    if (const QString problem = Profile::UserFileProblem(); !problem.isEmpty()) {
        std::fprintf(stderr, "kvc410: the settings file %s cannot be read.\n",
                     problem.toLocal8Bit().constData());
        return kExitCannotStart;
    }
    Profile profile(Profile::UserPath());
    const PackFormat format = line.json ? PackFormat::Json : PackFormat::Text;
    if (line.action == CommandLine::Action::Packs) {
        std::fputs(ListPacks(profile, format).c_str(), stdout);
        return Printed(kExitOk);
    }
    std::string out;
    std::string why;
    if (!ShowPack(profile, line.packName, format, out, why)) {
        std::fprintf(stderr, "kvc410: %s\n", why.c_str());
        return kExitCannotStart;
    }
    std::fputs(out.c_str(), stdout);
    return Printed(kExitOk);
}
}  // namespace

// charge: the whole charge in the terminal.
int RunChargeCommand(int argc, char** argv, const CommandLine& line) {
    TerminalChargeOptions options;
    options.pack = line.chargePack;
    options.keepStopped = line.keepStopped;
    if (line.chargeTimedGiven) {
        // An empty time is no peak charge in disguise: it is refused like any other.
        options.timed =
            ParseChargeTime(line.chargeTimed, options.hours, options.minutes, options.seconds);
        if (!options.timed) {
            std::fprintf(stderr,
                         "kvc410: --timed takes H:MM:SS (0:00:01 up to 59:59:59)\nTry kvc410 "
                         "--help.\n");
            return kExitUsage;
        }
    }
    if (line.chargeFormat == "text") {
        options.format = TerminalChargeOptions::Format::Text;
    } else if (line.chargeFormat == "csv") {
        options.format = TerminalChargeOptions::Format::Csv;
    } else if (line.chargeFormat == "json") {
        options.format = TerminalChargeOptions::Format::Json;
    }
    if (!line.chargeMqtt.empty()) {
        std::string why;
        options.remote = ParseBrokerUrl(line.chargeMqtt, why);
        if (!options.remote) {
            std::fprintf(stderr, "kvc410: --mqtt: %s\nTry kvc410 --help.\n", why.c_str());
            return kExitUsage;
        }
    }
    if (line.portGiven) {
        setenv("KVC410_PORT", line.port.c_str(), 1);
    }
    NeverLaunchASessionBus();
    return RunTerminalCharge(argc, argv, options);
}

int main(int argc, char** argv) {
    RememberProgramArguments(argc, argv);
    // The command line is read before any window exists: --help, --version and --check-port
    // work without a display.
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const CommandLine line = ParseCommandLine(arguments);
    switch (line.action) {
        case CommandLine::Action::Help:
            std::fputs(HelpText("kvc410").c_str(), stdout);
            return Printed(kExitOk);
        case CommandLine::Action::Version:
            std::fputs(VersionText().c_str(), stdout);
            return Printed(kExitOk);
        case CommandLine::Action::Usage:
            std::fprintf(stderr, "kvc410: %s\nTry kvc410 --help.\n", line.error.c_str());
            return kExitUsage;
        case CommandLine::Action::CheckPort: {
            const char* variable = std::getenv("KVC410_PORT");
            const PortCheckResult result =
                CheckPort(line.portGiven ? line.port : (variable ? variable : ""));
            std::fputs(result.report.c_str(), stdout);
            return Printed(result.drivable ? kExitOk : kExitPortUnusable);
        }
        case CommandLine::Action::Packs:
        case CommandLine::Action::Pack:
            return RunPackCommand(line);
        case CommandLine::Action::Charge:
            return RunChargeCommand(argc, argv, line);
        case CommandLine::Action::Run:
            break;
    }
    // The option wins over the variable; the program reads the port from the variable.
    if (line.portGiven) {
        setenv("KVC410_PORT", line.port.c_str(), 1);
    }
    // A variable that is not understood is said in a message box where there is a display to
    // show one; without one, on standard error, before the toolkit would abort for want of it.
    if (!DisplayNamed()) {
        const char* variable = std::getenv("KVC410_PORT");
        if (variable != nullptr && !IsPortSettingUnderstood(variable)) {
            const PortChoice refused = OpenPortFromSetting(variable, nullptr);
            std::fprintf(stderr, "kvc410: %s\n", refused.error.c_str());
        } else {
            std::fprintf(stderr,
                         "kvc410: there is no display to show the window on (DISPLAY and "
                         "WAYLAND_DISPLAY are not set). kvc410 --check-port works without one.\n");
        }
        return kExitCannotStart;
    }
    NeverLaunchASessionBus();
    QApplication app(argc, argv);
    CChargerApp theApp;
    return theApp.InitInstance();
}
