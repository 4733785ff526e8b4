#pragma once
// The signals whose default action ends the process: each one must switch the charger off.

#include <signal.h>

#include <array>

inline constexpr std::array<int, 22> kTerminatingSignals = {
    SIGHUP,  SIGINT,    SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,    SIGFPE,
    SIGUSR1, SIGSEGV,   SIGUSR2, SIGPIPE, SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU,
    SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS,
};

// Raised by the faulting instruction itself, on the thread that faulted.
constexpr bool IsFaultSignal(int sig) {
    return sig == SIGILL || sig == SIGTRAP || sig == SIGABRT || sig == SIGBUS || sig == SIGFPE ||
           sig == SIGSEGV || sig == SIGSYS;
}
