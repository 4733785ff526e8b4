#pragma once
// Switches the charger off when the process is told to end (SIGINT, SIGTERM, SIGHUP) or dies
// (SIGSEGV, SIGBUS, SIGFPE, SIGABRT). The handler writes 255 itself and then, for the polite
// signals, wakes the event loop through a pipe so the program can quit cleanly; it never waits
// for the event loop, which may be blocked.

#include <functional>

void InstallSignalGuard(std::function<void()> onTerminate);
