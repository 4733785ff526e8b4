#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/CChargerApp.h"
#include "app/CommandLine.h"
#include "app/PortCheck.h"
#include "platform/DesktopNotifier.h"

int main(int argc, char** argv) {
    // The command line is read before any window exists: --help, --version and --check-port
    // work without a display.
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const CommandLine line = ParseCommandLine(arguments);
    switch (line.action) {
        case CommandLine::Action::Help:
            std::fputs(HelpText("kvc410").c_str(), stdout);
            return kExitOk;
        case CommandLine::Action::Version:
            std::fputs(VersionText().c_str(), stdout);
            return kExitOk;
        case CommandLine::Action::Usage:
            std::fprintf(stderr, "kvc410: %s\nTry kvc410 --help.\n", line.error.c_str());
            return kExitUsage;
        case CommandLine::Action::CheckPort: {
            const char* variable = std::getenv("KVC410_PORT");
            const PortCheckResult result =
                CheckPort(line.portGiven ? line.port : (variable ? variable : ""));
            std::fputs(result.report.c_str(), stdout);
            return result.drivable ? kExitOk : kExitPortUnusable;
        }
        case CommandLine::Action::Run:
            break;
    }
    // The option wins over the variable; the program reads the port from the variable.
    if (line.portGiven) {
        setenv("KVC410_PORT", line.port.c_str(), 1);
    }
    NeverLaunchASessionBus();
    QApplication app(argc, argv);
    CChargerApp theApp;
    return theApp.InitInstance();
}
