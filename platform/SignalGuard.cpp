#include "platform/SignalGuard.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

#include "platform/PortDriver.h"

namespace {
int g_pipe[2] = {-1, -1};
std::function<void()> g_onTerminate;

void OnTerminateSignal(int) {
    LatchChargerOff();
    char byte = 1;
    ssize_t ignored = ::write(g_pipe[1], &byte, 1);
    (void)ignored;
}

void OnFatalSignal(int sig) {
    LatchChargerOff();
    // Let the signal do what it does by default (core dump, exit status) now that the charger
    // is off.
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void Install(int sig, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = flags;
    sigaction(sig, &action, nullptr);
}
}  // namespace

void InstallSignalGuard(std::function<void()> onTerminate) {
    g_onTerminate = std::move(onTerminate);
    if (g_pipe[0] < 0 && pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read);
        QObject::connect(notifier, &QSocketNotifier::activated, [] {
            char buffer[16];
            while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
            }
            if (g_onTerminate) {
                g_onTerminate();
            }
        });
    }
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        Install(sig, &OnTerminateSignal, SA_RESTART);
    }
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGABRT}) {
        Install(sig, &OnFatalSignal, SA_RESETHAND | SA_NODEFER);
    }
}
