// Every way out of the program leaves the charger off: the last write to the data register is
// 255. Each case runs the real program in a child process on the simulated box with a port
// trace, brings it into a state, and ends it from outside.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <set>

#include "platform/PortDriver.h"
#include "platform/SingleInstance.h"
#include "platform/TerminatingSignals.h"
#include "tests/TestSupport.h"

namespace {

class ChildRun {
public:
    ChildRun() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_dir.path());
        env.insert("XDG_CONFIG_HOME", m_dir.path() + "/.config");
        env.insert("XDG_RUNTIME_DIR", m_dir.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("KVC410_PORT", "sim:speed=1");
        env.insert("KVC410_PORT_TRACE", TracePath());
        m_env = env;
        // Crashes on purpose dump no core here.
        struct rlimit none {};
        setrlimit(RLIMIT_CORE, &none);
    }
    ~ChildRun() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    QString TracePath() const { return m_dir.path() + "/trace.txt"; }
    QString ProfilePath() const { return m_dir.path() + "/.config/Quillmark/KVC410.ini"; }
    QString LogFolder() const { return m_dir.path() + "/KVC410 Output"; }
    QProcessEnvironment& Env() { return m_env; }
    QProcess& Process() { return m_process; }
    pid_t Pid() { return static_cast<pid_t>(m_process.processId()); }

    // Starts the program in a state and waits until it says it is there. In a process group of
    // its own, as a program started from a shell is: a kill of its group spares the tests.
    bool StartIn(const QString& state, const QString& program = KVC410_SAFETY_CHILD) {
        m_process.setProcessEnvironment(m_env);
        m_process.setChildProcessModifier([] { setpgid(0, 0); });
        m_process.start(program, {state});
        if (!m_process.waitForStarted(10000)) {
            return false;
        }
        QDeadlineTimer deadline(30000);
        while (!m_output.contains("ready\n")) {
            if (deadline.hasExpired() || !m_process.waitForReadyRead(deadline.remainingTime())) {
                return false;
            }
            m_output += m_process.readAllStandardOutput();
        }
        const int at = m_output.indexOf("guardian ");
        m_guardian = m_output.mid(at + 9, m_output.indexOf('\n', at) - at - 9).toInt();
        return true;
    }
    QByteArray Output() const { return m_output; }
    int Guardian() const { return m_guardian; }
    QStringList DataWrites() const { return DataRegisterWrites(TracePath()); }
    bool LastWriteIsOff() const {
        QStringList writes = DataWrites();
        return !writes.isEmpty() && writes.last() == "W 888 255";
    }

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    QProcess m_process;
    QByteArray m_output;
    int m_guardian = -1;
};

// Gone, or only a zombie waiting for whoever adopted it.
bool ProcessGone(int pid) {
    QFile stat(QString("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return true;
    }
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("absent");
}

bool IsPoliteRequest(int sig) {
    return sig == SIGINT || sig == SIGTERM || sig == SIGHUP;
}

class EverySignal : public ::testing::TestWithParam<const char*> {};

TEST_P(EverySignal, SwitchesTheChargerOffAndEndsTheProgram) {
    const QString state = GetParam();
    // Every signal whose default action ends a process on Linux (signal(7)), written out here
    // rather than taken from the program: a signal missing from the program's list (or
    // replaced by a duplicate) must fail this test.
    const std::vector<int> all = {SIGHUP,  SIGINT,  SIGQUIT,   SIGILL,  SIGTRAP, SIGABRT,
                                  SIGBUS,  SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGPIPE,
                                  SIGALRM, SIGTERM, SIGSTKFLT, SIGXCPU, SIGXFSZ, SIGVTALRM,
                                  SIGPROF, SIGIO,   SIGPWR,    SIGSYS,  SIGKILL};
    std::set<int> guarded(kTerminatingSignals.begin(), kTerminatingSignals.end());
    guarded.insert(SIGKILL);  // through the guardian
    ASSERT_EQ(guarded, std::set<int>(all.begin(), all.end()));
    for (int sig : all) {
        const std::string label = state.toStdString() + " " + strsignal(sig);
        ChildRun run;
        ASSERT_TRUE(run.StartIn(state))
            << label << run.Process().readAllStandardError().toStdString();
        ASSERT_GT(run.Guardian(), 0) << label;
        const QByteArray profile = ReadFile(run.ProfilePath());
        QElapsedTimer clock;
        clock.start();
        ::kill(run.Pid(), sig);
        ASSERT_TRUE(run.Process().waitForFinished(20000)) << label;
        if (state == "modal") {
            // Promptly, not when someone closes the dialog.
            EXPECT_LT(clock.elapsed(), 1000) << label;
        }
        if (IsPoliteRequest(sig)) {
            EXPECT_EQ(run.Process().exitStatus(), QProcess::NormalExit) << label;
            EXPECT_EQ(run.Process().exitCode(), 0) << label;
        } else {
            // Ended the way the signal ends a process.
            EXPECT_EQ(run.Process().exitStatus(), QProcess::CrashExit) << label;
            EXPECT_EQ(run.Process().exitCode(), sig) << label;
        }
        // The guardian switches off once the program is gone (the only way after SIGKILL),
        // and never outlives it by more than a second.
        EXPECT_TRUE(Within(1000, [&] { return run.LastWriteIsOff(); })) << label;
        EXPECT_TRUE(Within(1000, [&] { return ProcessGone(run.Guardian()); })) << label;
        const QStringList writes = run.DataWrites();
        ASSERT_FALSE(writes.isEmpty()) << label;
        EXPECT_EQ(writes.first(), "W 888 255") << label;
        EXPECT_EQ(writes.contains("W 888 0"), state != "idle") << label;
        // No end of a charge was made up from the switched-off box: no record, no log.
        EXPECT_EQ(ReadFile(run.ProfilePath()), profile) << label;
        EXPECT_FALSE(QDir(run.LogFolder()).exists()) << label;
    }
}

INSTANTIATE_TEST_SUITE_P(Safety, EverySignal, ::testing::Values("idle", "charging", "modal"));

TEST(Safety, TheHandlerSwitchesOffWhileTheWindowIsBlocked) {
    // The chime plays synchronously: the event loop may be stuck for seconds, the charger
    // must go off at once all the same.
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        ChildRun run;
        ASSERT_TRUE(run.StartIn("busy")) << sig;
        ASSERT_TRUE(Within(2000, [&] { return run.DataWrites().contains("W 888 0"); }));
        ::kill(run.Pid(), sig);
        EXPECT_TRUE(Within(1000, [&] { return run.LastWriteIsOff(); })) << sig;
        EXPECT_EQ(run.Process().state(), QProcess::Running) << sig;
    }
}

TEST(Safety, ALostDisplaySwitchesOffAndEndsTheProgram) {
    // On a private X server: the server dies under the program, or another program destroys the
    // window.
    for (bool serverDies : {true, false}) {
        PrivateXServer server;
        ASSERT_FALSE(server.Display().isEmpty()) << "Xvfb (Debian xvfb) is needed";
        ChildRun run;
        run.Env().insert("QT_QPA_PLATFORM", "xcb");
        run.Env().insert("DISPLAY", server.Display());
        ASSERT_TRUE(run.StartIn("charging")) << run.Process().readAllStandardError().toStdString();
        ASSERT_TRUE(Within(2000, [&] { return run.DataWrites().contains("W 888 0"); }));
        if (serverDies) {
            server.Kill();
        } else {
            QProcess destroyer;
            destroyer.setProcessEnvironment(run.Env());
            destroyer.start(KVC410_DESTROY_WINDOW, {"Quillmark Charger"});
            ASSERT_TRUE(destroyer.waitForFinished(10000));
            ASSERT_EQ(destroyer.exitCode(), 0);
        }
        EXPECT_TRUE(run.Process().waitForFinished(5000)) << serverDies;
        EXPECT_TRUE(run.LastWriteIsOff()) << serverDies;
        EXPECT_TRUE(Within(1000, [&] { return ProcessGone(run.Guardian()); })) << serverDies;
    }
}

QByteArray ProcessName(int pid) {
    return ReadFile(QString("/proc/%1/comm").arg(pid)).trimmed();
}

// What users type at a program that hangs, and the guardian killed first: the charger is off
// at the end of each, and never on after the guardian is gone.
TEST(Safety, KillsByNameByGroupAndOfTheGuardianLeaveTheChargerOff) {
    enum class Way { ByName, ByExactName, ByCommandLine, Group, GuardianFirst };
    for (Way way :
         {Way::ByName, Way::ByExactName, Way::ByCommandLine, Way::Group, Way::GuardianFirst}) {
        const int label = static_cast<int>(way);
        ChildRun run;
        ASSERT_TRUE(run.StartIn("charging")) << label;
        ASSERT_TRUE(Within(2000, [&] { return run.DataWrites().contains("W 888 0"); }));
        const int program = run.Pid();
        const int guardian = run.Guardian();
        ASSERT_GT(guardian, 0);
        // A name and a session of its own.
        EXPECT_EQ(ProcessName(guardian), "kvc-guardian") << label;
        EXPECT_NE(getsid(guardian), getsid(program)) << label;
        EXPECT_NE(getpgid(guardian), getpgid(program)) << label;
        switch (way) {
            case Way::ByName:
            case Way::ByExactName:
                // pkill -9 kvc410 (the name contains it) and killall -9 (the name is it), over the
                // program and its guardian: the only processes the test may touch.
                for (int pid : {program, guardian}) {
                    const QByteArray name = ProcessName(pid);
                    const bool hit =
                        way == Way::ByName ? name.contains("kvc410") : name == ProcessName(program);
                    if (hit) {
                        ::kill(pid, SIGKILL);
                    }
                }
                break;
            case Way::ByCommandLine: {
                // pkill -9 -f kvc410: every process whose command line holds it, at once.
                std::vector<int> hits;
                for (int pid : {program, guardian}) {
                    if (ReadFile(QString("/proc/%1/cmdline").arg(pid)).contains("kvc410")) {
                        hits.push_back(pid);
                    }
                }
                for (int pid : hits) {
                    ::kill(pid, SIGKILL);
                }
                break;
            }
            case Way::Group:
                ::kill(-getpgid(program), SIGKILL);
                break;
            case Way::GuardianFirst:
                ::kill(guardian, SIGKILL);
                // The program notices at once, switches off and stops the charge, and says why.
                EXPECT_TRUE(Within(1000, [&] { return run.LastWriteIsOff(); })) << label;
                QThread::msleep(1500);  // no tick switches the charger on again
                EXPECT_TRUE(run.LastWriteIsOff()) << label;
                EXPECT_EQ(run.Process().state(), QProcess::Running) << label;
                QByteArray said;
                EXPECT_TRUE(Within(1000, [&] {
                    run.Process().waitForReadyRead(10);
                    said += run.Process().readAllStandardError();
                    return said.contains("kvc-guardian");
                })) << label;
                ::kill(program, SIGKILL);
                break;
        }
        ASSERT_TRUE(run.Process().waitForFinished(5000)) << label;
        EXPECT_TRUE(Within(1000, [&] { return run.LastWriteIsOff(); })) << label;
        EXPECT_TRUE(Within(1000, [&] { return ProcessGone(guardian); })) << label;
    }
}

// A window that stops running (kill -STOP, a debugger, a write that never returns): the watchdog
// switches the charger off within its time, and the window, running again, never switches it on
// but ends the charge as interrupted, with its record and log.
TEST(Safety, AStoppedWindowIsSwitchedOffByTheWatchdogAndEndsTheChargeInterrupted) {
    ChildRun run;
    ASSERT_TRUE(run.StartIn("charging"));
    ASSERT_TRUE(Within(2000, [&] { return run.DataWrites().contains("W 888 0"); }));
    ::kill(run.Pid(), SIGSTOP);
    EXPECT_TRUE(Within(kWatchdogMilliseconds + 1000, [&] { return run.LastWriteIsOff(); }));
    ::kill(run.Pid(), SIGCONT);
    EXPECT_TRUE(Within(3000, [&] { return QDir(run.LogFolder()).entryList(QDir::Files).size() == 1; }));
    QThread::msleep(1500);  // ticks that would switch it on again, had they run
    EXPECT_TRUE(run.LastWriteIsOff());
    EXPECT_TRUE(ReadFile(run.ProfilePath()).contains("0j="));
    EXPECT_EQ(run.Process().state(), QProcess::Running);
}

TEST(Safety, ADialogDestroyedByAnotherProgramIsCancelled) {
    // The Charge Properties dialog open over a charge, its window destroyed: the dialog is gone
    // as if cancelled, and the window behind it answers again.
    PrivateXServer server;
    ASSERT_FALSE(server.Display().isEmpty()) << "Xvfb (Debian xvfb) is needed";
    ChildRun run;
    run.Env().insert("QT_QPA_PLATFORM", "xcb");
    run.Env().insert("DISPLAY", server.Display());
    ASSERT_TRUE(run.StartIn("modal")) << run.Process().readAllStandardError().toStdString();
    QProcess destroyer;
    destroyer.setProcessEnvironment(run.Env());
    destroyer.start(KVC410_DESTROY_WINDOW, {"Charge Properties"});
    ASSERT_TRUE(destroyer.waitForFinished(10000));
    ASSERT_EQ(destroyer.exitCode(), 0);
    QByteArray said;
    EXPECT_TRUE(Within(3000, [&] {
        run.Process().waitForReadyRead(10);
        said += run.Process().readAllStandardOutput();
        return said.contains("dialog closed");
    }));
    // The program lives on, its charge too, and a signal still ends it cleanly.
    EXPECT_EQ(run.Process().state(), QProcess::Running);
    ::kill(run.Pid(), SIGTERM);
    EXPECT_TRUE(run.Process().waitForFinished(5000));
    EXPECT_EQ(run.Process().exitCode(), 0);
    EXPECT_TRUE(run.LastWriteIsOff());
}

TEST(Safety, EscapeAndTheCloseBoxSwitchTheChargerOff) {
    for (const char* mode : {"escape", "close"}) {
        ChildRun run;
        ASSERT_TRUE(run.StartIn(mode)) << mode;
        ASSERT_TRUE(run.Process().waitForFinished(20000)) << mode;
        EXPECT_EQ(run.Process().exitStatus(), QProcess::NormalExit) << mode;
        EXPECT_EQ(run.Process().exitCode(), 0) << mode;
        const QStringList writes = run.DataWrites();
        ASSERT_FALSE(writes.isEmpty()) << mode;
        EXPECT_EQ(writes.first(), "W 888 255") << mode;
        EXPECT_TRUE(writes.contains("W 888 0")) << mode;
        EXPECT_EQ(writes.last(), "W 888 255") << mode;
        // A clean exit takes the guardian with it.
        EXPECT_TRUE(ProcessGone(run.Guardian())) << mode;
    }
}

TEST(Safety, OneProgramPerPort) {
    // Simulated boxes are ports of their own: two programs each charge theirs.
    ChildRun first;
    ChildRun second;
    ASSERT_TRUE(first.StartIn("charging"));
    ASSERT_TRUE(second.StartIn("charging"));
    // The simulated box says so in the caption.
    EXPECT_TRUE(first.Output().contains("caption: Quillmark Charger - simulated charger\n"));

    // A real port whose lock another program holds is left alone, whoever holds it; so is one
    // whose lock cannot be made at all.
    QTemporaryDir locks;
    std::string why;
    const std::string name = PortLockName("/dev/parport-kvc410-test");
    ASSERT_EQ(AcquirePortLock(name, locks.path().toStdString(), why), PortLock::Taken);
    struct Case {
        QString lockFolder;
        const char* says;
    };
    for (const Case& c : {Case{locks.path(), "already in use by another KVC410 window"},
                          Case{locks.path() + "/missing", "cannot take the lock"}}) {
        ChildRun run;
        run.Env().insert("KVC410_PORT", "/dev/parport-kvc410-test");
        run.Env().insert("KVC410_LOCK_DIR", c.lockFolder);
        QProcess program;
        program.setProcessEnvironment(run.Env());
        program.start(KVC410_BINARY, {});
        ASSERT_TRUE(program.waitForFinished(20000));
        EXPECT_EQ(program.exitCode(), 1);
        const QByteArray err = program.readAllStandardError();
        EXPECT_TRUE(err.contains(c.says)) << err.toStdString();
        EXPECT_TRUE(run.DataWrites().isEmpty());
    }
}

// What another user may leave where the program opens files: refused with a message naming it,
// within seconds, never a program stuck in open() before its window.
TEST(Safety, PipesLinksAndOddPortTextsInTheWayAreRefusedNotWaitedOn) {
    enum class Put { Fifo, Link, Nothing };
    struct Case {
        const char* name;
        QString port;
        QStringList arguments;
        const char* place;  // in the lock folder (relative) or the profile's folder ("ini")
        Put put;
        int exitCode;
        const char* says;
    };
    const QString lock = "kvc410-dev-dev-parport-kvc410-test.lock";
    const Case cases[] = {
        {"fifo lock", "/dev/parport-kvc410-test", {}, "lock", Put::Fifo, 1, "not a regular file"},
        {"linked lock", "/dev/parport-kvc410-test", {}, "lock", Put::Link, 1, "symbolic link"},
        {"fifo lock, --check-port",
         "/dev/parport-kvc410-test",
         {"--check-port"},
         "lock",
         Put::Fifo,
         3,
         "not a regular file"},
        {"fifo profile", "sim", {}, "ini", Put::Fifo, 1, "KVC410.ini"},
        {"fifo profile lock", "sim", {}, "ini.lock", Put::Fifo, 1, "KVC410.ini.lock"},
        {"a control character", "auto\001", {}, nullptr, Put::Nothing, 1, "not understood"},
        {"a newline", "/dev/parport0\nx", {}, nullptr, Put::Nothing, 1, "not understood"},
        {"ten thousand characters",
         QString(10000, 'x'),
         {},
         nullptr,
         Put::Nothing,
         1,
         "not understood"},
    };
    for (const Case& c : cases) {
        ChildRun run;
        QTemporaryDir locks;
        run.Env().insert("KVC410_PORT", c.port);
        run.Env().insert("KVC410_LOCK_DIR", locks.path());
        const QString config = QFileInfo(run.ProfilePath()).path();
        QDir().mkpath(config);
        QString place;
        if (c.place != nullptr) {
            place = QString(c.place).startsWith("ini") ? config + "/KVC410." + c.place
                                                       : locks.path() + "/" + lock;
        }
        if (c.put == Put::Fifo) {
            ASSERT_EQ(mkfifo(QFile::encodeName(place).constData(), 0600), 0) << c.name;
        } else if (c.put == Put::Link) {
            ASSERT_TRUE(QFile::link(locks.path() + "/elsewhere", place)) << c.name;
        }
        QProcess program;
        program.setProcessEnvironment(run.Env());
        program.start(KVC410_BINARY, c.arguments);
        ASSERT_TRUE(program.waitForFinished(10000)) << c.name << ": still waiting";
        EXPECT_EQ(program.exitCode(), c.exitCode) << c.name;
        const QByteArray said = program.readAllStandardError() + program.readAllStandardOutput();
        EXPECT_TRUE(said.contains(c.says)) << c.name << ": " << said.left(300).toStdString();
        // Nothing is made from a setting that is not understood; the port is never driven.
        if (c.put == Put::Nothing) {
            EXPECT_TRUE(
                QDir(locks.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System))
                << c.name;
        }
        EXPECT_FALSE(run.DataWrites().contains("W 888 0")) << c.name;
    }
}

TEST(Safety, APortThatCannotBeOpenedIsExplainedNotReplaced) {
    ChildRun run;
    run.Env().insert("KVC410_PORT", "/dev/parport-missing");
    run.Env().insert("KVC410_LOCK_DIR", QDir::tempPath());
    QProcess program;
    program.setProcessEnvironment(run.Env());
    program.start(KVC410_BINARY, {});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 1);
    QByteArray err = program.readAllStandardError();
    // A port that does not exist: the driver to load, as --check-port advises.
    EXPECT_TRUE(err.contains("/dev/parport-missing does not exist")) << err.toStdString();
    EXPECT_TRUE(err.contains("modprobe parport_pc")) << err.toStdString();
    EXPECT_TRUE(run.DataWrites().isEmpty());

    // --port wins over the variable.
    run.Env().insert("KVC410_PORT", "sim");
    program.setProcessEnvironment(run.Env());
    program.start(KVC410_BINARY, {"--port", "/dev/parport-missing"});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 1);
    err = program.readAllStandardError();
    EXPECT_TRUE(err.contains("/dev/parport-missing does not exist")) << err.toStdString();
}

}  // namespace
