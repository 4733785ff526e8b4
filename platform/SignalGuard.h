#pragma once
// Switches the charger off on every signal whose default action ends the process. The handler
// writes 255 itself, first, whatever the rest of the program is doing. For the polite requests
// to end (SIGINT, SIGTERM, SIGHUP) it then wakes the event loop through a pipe, so the program
// can quit cleanly; every other terminating signal then ends the process the way that signal
// does by default (a core dump where the default dumps). The handler never waits for the event
// loop, which may be blocked (the end sound plays synchronously).
//
// SIGKILL cannot be caught: for it, and for anything else that ends the process without a
// handler (the out-of-memory killer), StartChargerGuardian leaves a small process behind that
// switches the charger off the moment the program is gone. It is a watchdog as well: while a
// charge runs it switches the charger off when the program's measurements stop for
// kWatchdogMilliseconds (stopped, frozen, blocked on a write), see ChargerWatchdog.

#include <functional>

void InstallSignalGuard(std::function<void()> onTerminate);
// Drops the callback (its window is about to go); the handlers stay.
void ClearSignalGuardCallback();

// The guardian's process name, as ps, top, pkill and killall show it: it does not contain the
// program's, so that a kill of the program by name leaves the guardian to switch off.
inline const char* const kGuardianName = "kvc-guardian";

// Kept from main, before the toolkit sees them: the guardian blanks them in its own copy, so that
// its command line is its name alone.
void RememberProgramArguments(int argc, char** argv);

// Forks the guardian: it shares the installed port and writes 255 to the data register when a
// running charge's beat stops (the watchdog), and when the program's end of a pipe closes,
// which the kernel does however the program ends; then it exits. It runs in a session and
// process group of its own, under kGuardianName. True when one runs (also when it ran already); false when none could be
// started.
bool StartChargerGuardian();
// Called (from the event loop) when the guardian ended while the program runs on: killed by
// someone. The program is then unguarded until StartChargerGuardian succeeds again.
void OnChargerGuardianLost(std::function<void()> onLost);
// A clean exit: lets the guardian go (it switches off once more) and waits for it, so that it
// never holds the port after the program.
void StopChargerGuardian();
// The guardian's process id, or -1 when none runs.
int ChargerGuardianPid();
