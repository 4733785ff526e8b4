#include "session/GuardedPort.h"

#include <cstdlib>

#include "hardware/Converter.h"
#include "platform/SignalGuard.h"
#include "platform/SingleInstance.h"
#include "session/PortSelection.h"

namespace {
// Takes the lock of the port that KVC410_PORT names, for the life of the process, before the
// port is opened: another program (a window, a terminal charge) must not disturb a running
// charge on it, whoever started it. Empty when taken or when no lock is needed (the simulated
// box, a setting not understood, which opening the port then reports); else what to tell the
// user.
std::string TakePortLock() {
    const char* setting = std::getenv("KVC410_PORT");
    // Nothing is named after a setting that is not understood: opening it says so.
    const std::string lockName =
        IsPortSettingUnderstood(setting ? setting : "") ? PortLockName(setting) : std::string();
    if (lockName.empty()) {
        return std::string();
    }
    std::string why;
    switch (AcquirePortLock(lockName, PortLockFolder(), why)) {
        case PortLock::Taken:
            break;
        case PortLock::InUse:
            return "The charger is already in use by another KVC410 window.";
        case PortLock::Unavailable:
            // Unguarded, two programs could drive one charger: refuse.
            return "KVC410 cannot take the lock that keeps other programs off the port (" + why +
                   "), so it will not drive the charger. Make sure the folder exists and can be "
                   "written, or name another one in KVC410_LOCK_DIR.";
    }
    return std::string();
}
}  // namespace

GuardedPort OpenGuardedPort() {
    GuardedPort guarded;
    // Before the port is even opened.
    guarded.error = TakePortLock();
    if (!guarded.error.empty()) {
        return guarded;
    }
    PortChoice port = OpenPortFromEnvironment();
    if (!port.driver) {
        guarded.error = port.error;
        guarded.portRefused = true;
        return guarded;
    }
    guarded.simulated = port.driver->IsSimulated();
    InstallPortDriver(std::move(port.driver));
    // A crash of an earlier run may have left the data register in the charging state.
    ChargerOff();
    // Every way out from here on switches the charger off: a signal through its handler, an
    // exit() from deep inside a library (a lost display) through this, SIGKILL and the
    // out-of-memory killer through the guardian.
    std::atexit([] { LatchChargerOff(); });
    InstallSignalGuard({});
    if (!StartChargerGuardian() && !guarded.simulated) {
        guarded.error =
            "KVC410 cannot start the process that switches the charger off should KVC410 be "
            "killed, so it will not drive the charger.";
    }
    return guarded;
}
