#include "platform/SignalGuard.h"

#include <fcntl.h>
#include <poll.h>
#include <time.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/PortDriver.h"
#include "platform/TerminatingSignals.h"

namespace {
int g_pipe[2] = {-1, -1};
std::function<void()> g_onTerminate;
int g_guardianPipe = -1;
pid_t g_guardian = -1;
// Becomes readable when the guardian has ended (a pidfd).
int g_guardianWatch = -1;
QSocketNotifier* g_guardianNotifier = nullptr;
std::function<void()> g_onGuardianLost;

void ForgetGuardian() {
    if (g_guardianNotifier != nullptr) {
        g_guardianNotifier->setEnabled(false);
        g_guardianNotifier->deleteLater();
        g_guardianNotifier = nullptr;
    }
    if (g_guardianWatch >= 0) {
        close(g_guardianWatch);
        g_guardianWatch = -1;
    }
    if (g_guardianPipe >= 0) {
        close(g_guardianPipe);
        g_guardianPipe = -1;
    }
    g_guardian = -1;
}

// Called when the guardian's pidfd says it has ended while the program runs on.
void OnGuardianEnded() {
    while (waitpid(g_guardian, nullptr, WNOHANG) < 0 && errno == EINTR) {
    }
    ForgetGuardian();
    if (g_onGuardianLost) {
        g_onGuardianLost();
    }
}

void WatchGuardian() {
    if (QCoreApplication::instance() == nullptr) {
        return;
    }
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, g_guardian, 0));
    if (fd < 0) {
        return;  // a kernel before 5.3: the guardian still guards, unwatched
    }
    g_guardianWatch = fd;
    g_guardianNotifier = new QSocketNotifier(fd, QSocketNotifier::Read);
    QObject::connect(g_guardianNotifier, &QSocketNotifier::activated, [] { OnGuardianEnded(); });
}

// The program's arguments as the kernel shows them in /proc/PID/cmdline: one run of strings.
char* g_argumentsStart = nullptr;
size_t g_argumentsLength = 0;

// The guardian's command line becomes its name alone: a kill by the program's command line
// (pkill -f kvc410) must not match it. Async-signal-safe.
void RenameCommandLine() {
    if (g_argumentsStart == nullptr || g_argumentsLength == 0) {
        return;
    }
    size_t i = 0;
    for (; i + 1 < g_argumentsLength && kGuardianName[i] != '\0'; ++i) {
        g_argumentsStart[i] = kGuardianName[i];
    }
    for (; i < g_argumentsLength; ++i) {
        g_argumentsStart[i] = '\0';
    }
}

long MonotonicMilliseconds() {
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000L + now.tv_nsec / 1000000L;
}

// The guardian's watch, until the program is gone (its end of the pipe closed, or the kernel's
// death signal): while a charge runs, its beat must change at least every
// kWatchdogMilliseconds, or the charger goes off and the trip is raised for the program to find
// when it runs again. Async-signal-safe.
void Watch(int pipeEnd, pid_t parent) {
    constexpr int kLookEveryMs = 250;
    ChargerWatchdog& watchdog = SharedChargerWatchdog();
    uint64_t seen = watchdog.beat.load();
    long since = MonotonicMilliseconds();
    for (;;) {
        pollfd end{pipeEnd, POLLIN, 0};
        const int ready = poll(&end, 1, kLookEveryMs);
        if (ready > 0) {
            char byte;
            if (read(pipeEnd, &byte, 1) <= 0) {
                return;  // nothing is ever written: the program's end has closed
            }
        }
        if (getppid() != parent) {
            return;
        }
        const uint64_t beat = watchdog.beat.load();
        const long now = MonotonicMilliseconds();
        if (beat != seen) {
            seen = beat;
            since = now;
            // Back after a trip: whatever write the program was in the middle of when it
            // stopped has been made now; off again behind it.
            if (watchdog.tripped.load() != 0) {
                if (PortDriver* port = InstalledPortDriver()) {
                    port->EmergencyOff();
                }
            }
            continue;
        }
        if (beat != 0 && watchdog.tripped.load() == 0 && now - since >= kWatchdogMilliseconds) {
            watchdog.tripped.store(1);
            if (PortDriver* port = InstalledPortDriver()) {
                port->EmergencyOff();
            }
        }
    }
}

// Asked to end: the program shuts down through its event loop.
bool IsPoliteRequest(int sig) {
    return sig == SIGINT || sig == SIGTERM || sig == SIGHUP;
}

void OnTerminateSignal(int sig) {
    const int savedErrno = errno;
    LatchChargerOff();
    if (IsPoliteRequest(sig)) {
        char byte = 1;
        ssize_t ignored = ::write(g_pipe[1], &byte, 1);
        (void)ignored;
        errno = savedErrno;
        return;
    }
    // Now that the charger is off, let the signal do what it does by default (core dump, exit
    // status).
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, sig);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    raise(sig);
    errno = savedErrno;
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
    for (int sig : kTerminatingSignals) {
        // The polite ones come back through the event loop; the others end the process from
        // inside the handler, and must be able to arrive again there (SA_NODEFER).
        Install(sig, &OnTerminateSignal, IsPoliteRequest(sig) ? SA_RESTART : SA_NODEFER);
    }
}

void ClearSignalGuardCallback() {
    g_onTerminate = nullptr;
}

bool StartChargerGuardian() {
    if (g_guardian > 0) {
        return true;
    }
    // Mapped before the fork, so that the guardian shares it.
    SharedChargerWatchdog();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (pid == 0) {
        // The guardian: only async-signal-safe calls from here on, the parent may have threads.
        close(fds[1]);
        // A session, a process group, a name and a command line of its own: what users type
        // at a program that hangs (pkill -9 kvc410, pkill -9 -f kvc410, killall -9 kvc410,
        // kill -9 -PGID, closing its terminal) leaves it alive to switch the charger off after
        // the program.
        setsid();
        prctl(PR_SET_NAME, kGuardianName);
        RenameCommandLine();
        // A Ctrl+C in the terminal reaches the whole process group; the program handles it,
        // and the guardian stays until the program is gone.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGUSR1, SIGUSR2, SIGALRM,
                        SIGTSTP, SIGTTIN, SIGTTOU}) {
            sigaction(sig, &ignore, nullptr);
        }
        // Should the pipe somehow stay open, the kernel still tells the guardian.
        prctl(PR_SET_PDEATHSIG, SIGUSR1);
        struct sigaction wake {};
        wake.sa_handler = [](int) {};
        sigemptyset(&wake.sa_mask);
        sigaction(SIGUSR1, &wake, nullptr);
        if (getppid() == parent) {
            Watch(fds[0], parent);
        }
        if (PortDriver* port = InstalledPortDriver()) {
            port->EmergencyOff();
        }
        _exit(0);
    }
    close(fds[0]);
    g_guardianPipe = fds[1];
    g_guardian = pid;
    WatchGuardian();
    return true;
}

void RememberProgramArguments(int argc, char** argv) {
    if (argc <= 0 || argv == nullptr || argv[0] == nullptr) {
        return;
    }
    // Only as far as the strings lie one after the other, as the kernel laid them out.
    char* end = argv[0] + std::strlen(argv[0]) + 1;
    for (int i = 1; i < argc && argv[i] == end; ++i) {
        end = argv[i] + std::strlen(argv[i]) + 1;
    }
    g_argumentsStart = argv[0];
    g_argumentsLength = static_cast<size_t>(end - argv[0]);
}

int ChargerGuardianPid() {
    return g_guardian;
}

void OnChargerGuardianLost(std::function<void()> onLost) {
    g_onGuardianLost = std::move(onLost);
}

void StopChargerGuardian() {
    if (g_guardian <= 0) {
        return;
    }
    const pid_t guardian = g_guardian;
    // Told first that this end is wanted: the notifier must not report it as lost.
    if (g_guardianNotifier != nullptr) {
        g_guardianNotifier->setEnabled(false);
    }
    close(g_guardianPipe);
    g_guardianPipe = -1;
    while (waitpid(guardian, nullptr, 0) < 0 && errno == EINTR) {
    }
    ForgetGuardian();
}
