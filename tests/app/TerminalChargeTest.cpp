// kvc410 charge: the whole charge in a terminal, run as a child on the simulated box with no
// display: each way of ending and its exit status, the output formats, the charger off first and
// last, the record and the log, and the port lock shared with the window.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>

#include "app/CChargerDlg.h"
#include "cli/TerminalCharge.h"
#include "curves/ChargeCurve.h"
#include "history/ChargeHistory.h"
#include "platform/PortDriver.h"
#include "platform/SingleInstance.h"
#include "settings/ChargeSettingsStore.h"
#include "tests/TestSupport.h"

namespace {

class Terminal {
public:
    Terminal() {
        QDir().mkpath(m_home.path() + "/.config/Quillmark");
        m_env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "KVC410_PORT",
                                 "DBUS_SESSION_BUS_ADDRESS"}) {
            m_env.remove(name);
        }
        m_env.insert("HOME", m_home.path());
        m_env.insert("XDG_CONFIG_HOME", m_home.path() + "/.config");
        m_env.insert("XDG_DATA_HOME", m_home.path() + "/.local/share");
        m_env.insert("XDG_RUNTIME_DIR", m_home.path());
        m_env.insert("KVC410_PORT_TRACE", m_home.path() + "/trace.txt");
        m_env.insert("KVC410_LOCK_DIR", m_home.path());
    }
    void Profile(const QByteArray& ini) {
        QFile file(ProfilePath());
        file.open(QIODevice::WriteOnly);
        file.write(ini);
    }
    QString ProfilePath() const { return m_home.path() + "/.config/Quillmark/KVC410.ini"; }
    QByteArray ReadProfile() const {
        QFile file(ProfilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList Logs() const {
        return QDir(m_home.path() + "/KVC410 Output").entryList(QDir::Files);
    }
    void Start(const QStringList& arguments) {
        StartThrough(KVC410_BINARY, QStringList{"charge"} + arguments);
    }
    // A second charge in the same home, at once (the simulated box takes no port lock).
    void StartAlongside(QProcess& other, const QStringList& arguments) {
        other.setProcessEnvironment(m_env);
        other.start(KVC410_BINARY, QStringList{"charge"} + arguments);
        other.waitForStarted(10000);
    }
    void StartThrough(const QString& program, const QStringList& arguments) {
        m_process.setProcessEnvironment(m_env);
        m_process.start(program, arguments);
        m_process.waitForStarted(10000);
    }
    QString LogFolder() const { return m_home.path() + "/KVC410 Output"; }
    QString HistoryPath() const {
        return m_home.path() + "/.local/share/Quillmark/KVC410/history.sqlite";
    }
    bool Finish(int milliseconds = 60000) { return m_process.waitForFinished(milliseconds); }
    QProcess& Process() { return m_process; }
    QStringList Out() {
        m_out += m_process.readAllStandardOutput();
        return QString::fromUtf8(m_out).split('\n', Qt::SkipEmptyParts);
    }
    QStringList DataWrites() const { return DataRegisterWrites(m_home.path() + "/trace.txt"); }
    bool LastWriteIsOff() const {
        const QStringList writes = DataWrites();
        return !writes.isEmpty() && writes.last() == "W 888 255";
    }
    // The one charge in the history: its end.
    size_t HistoryRows() const {
        ChargeHistory history(HistoryPath());
        if (history.Open() != ChargeHistory::State::Writable || history.Packs().size() != 1) {
            return 0;
        }
        const ChargeHistory::PackEntry pack = history.Packs().front();
        return history.Charges(pack.packId, pack.name, true).size();
    }
    QString HistoryEnd() const {
        ChargeHistory history(HistoryPath());
        if (history.Open() != ChargeHistory::State::Writable || history.Packs().size() != 1) {
            return "no history";
        }
        const ChargeHistory::PackEntry pack = history.Packs().front();
        const std::vector<HistoryCharge> kept = history.Charges(pack.packId, pack.name, true);
        return kept.size() == 1 ? kept[0].endReason : QString("%1 charges").arg(kept.size());
    }

private:
    QTemporaryDir m_home;
    QProcessEnvironment m_env;
    QProcess m_process;
    QByteArray m_out;
};

// Waits until the charge has printed at least count lines.
bool RunUntilLines(Terminal& t, int count) {
    for (int i = 0; i < 200; ++i) {
        if (t.Out().size() >= count) {
            return true;
        }
        t.Process().waitForReadyRead(50);
    }
    return false;
}


const QByteArray kPackProfile = "[Packs]\n0=Term\n[Properties]\nPackName=Term\nCsv=1\n";

TEST(TerminalCharge, EachEndHasItsExitStatusAndLeavesTheChargerOff) {
    struct Case {
        const char* name;
        QStringList arguments;
        QByteArray profile;
        int exitCode;
        const char* summary;  // the last line begins so
        bool recorded;
    };
    const QByteArray limits = kPackProfile + "[PackLimits]\n0=100 1 100 1 0 1 30 1\n";
    // clang-format off
    const Case cases[] = {
        {"timed", {"--port", "sim:speed=100", "--timed", "0:00:05", "--format", "csv"},
         kPackProfile, 0, "Summary, Timed, 0:00:05, ", true},
        {"peak", {"--port", "sim:speed=100,capacity=300,current=0.6,charge=100"}, kPackProfile, 0,
         "Summary, Peak detected, ", true},
        {"no charger", {"--port", "sim:speed=100,fault=no-charger"}, kPackProfile, 4,
         "Summary, Charger disconnected, 0:00:03, ", true},
        {"no battery", {"--port", "sim:speed=100,fault=no-battery"}, kPackProfile, 4,
         "Summary, Battery disconnected, 0:00:03, ", true},
        {"backup", {"--port", "sim:speed=100,capacity=300,peak=none"}, limits, 5,
         "Summary, Capacity limit, 0:06:0", true},
        {"no pack", {"--port", "sim:speed=100", "--pack", "Nope"}, kPackProfile, 1, nullptr,
         false},
        {"bad time", {"--port", "sim:speed=100", "--timed", "1:60:00"}, kPackProfile, 2, nullptr,
         false},
        {"empty time", {"--port", "sim:speed=100", "--timed", ""}, kPackProfile, 2, nullptr,
         false},
        {"no time", {"--port", "sim:speed=100", "--timed=0:00:00"}, kPackProfile, 2, nullptr,
         false},
        // A timed charge of a pack that is full already ends early, as a backup does.
        {"full before time", {"--port", "sim:speed=100,capacity=300,current=0.6,charge=100",
         "--timed", "1:00:00"}, kPackProfile, 5, "Summary, Full before time, ", true},
        // The backups, each with its own words, all asking for attention (exit 5).
        {"time limit", {"--port", "sim:speed=100,capacity=30000,peak=none"},
         kPackProfile + "[PackLimits]\n0=0 0 150 1 10 0 30 1\n", 5, "Summary, Time limit, 0:10:00, ",
         true},
        {"plateau", {"--port", "sim:speed=100,capacity=300,current=0.3,peak=none,charge=100"},
         kPackProfile + "[PackLimits]\n0=0 0 150 0 0 1 5 1\n", 5, "Summary, Voltage plateau, ", true},
        {"removed", {"--port", "sim:speed=100,remove=3"}, kPackProfile, 5,
         "Summary, Battery removed, 0:03:0", true},
        {"bad port", {"--port", "bogus"}, kPackProfile, 2, nullptr, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        Terminal t;
        t.Profile(c.profile);
        t.Start(c.arguments);
        ASSERT_TRUE(t.Finish()) << c.name;
        EXPECT_EQ(t.Process().exitStatus(), QProcess::NormalExit) << c.name;
        EXPECT_EQ(t.Process().exitCode(), c.exitCode)
            << c.name << ": " << t.Process().readAllStandardError().toStdString();
        if (c.summary == nullptr) {
            EXPECT_FALSE(t.DataWrites().contains("W 888 0")) << c.name;
            continue;
        }
        const QStringList out = t.Out();
        ASSERT_GE(out.size(), 2) << c.name;
        // Not on a terminal: the log's header and lines, then the summary.
        EXPECT_EQ(out.front(), "Total Seconds, Voltage, Current, Charge Duration") << c.name;
        EXPECT_TRUE(out.back().startsWith(c.summary)) << c.name << ": " << out.back().toStdString();
        const QStringList writes = t.DataWrites();
        ASSERT_FALSE(writes.isEmpty()) << c.name;
        EXPECT_EQ(writes.first(), "W 888 255") << c.name;
        EXPECT_EQ(writes.last(), "W 888 255") << c.name;
        // The pack's record and (the settings ask for it) its log, as the window keeps them.
        EXPECT_EQ(t.ReadProfile().contains("0j="), c.recorded) << c.name;
        ASSERT_EQ(t.Logs().size(), c.recorded ? 1 : 0) << c.name;
        if (!c.recorded) {
            continue;
        }
        // The log holds the seconds that were shown, newest first, in CR LF lines.
        QFile log(t.LogFolder() + "/" + t.Logs().front());
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        QStringList logged = QString(log.readAll()).split("\r\n", Qt::SkipEmptyParts);
        std::reverse(logged.begin() + 1, logged.end());
        // (A pulled pack's step up to the open circuit raises the two seconds before it in the
        // stored samples, so that the step is not read as a peak: its log shows them raised.)
        if (QString(c.name) != "removed") {
            EXPECT_EQ(logged, out.mid(0, out.size() - 1)) << c.name;
        }
        EXPECT_TRUE(t.Logs().front().startsWith("Term ")) << c.name;
        // And into the history, whole, with its end and the log it wrote.
        ChargeHistory history(t.HistoryPath());
        ASSERT_EQ(history.Open(), ChargeHistory::State::Writable) << c.name;
        ASSERT_EQ(history.Packs().size(), 1u) << c.name;
        const ChargeHistory::PackEntry pack = history.Packs().front();
        const std::vector<HistoryCharge> kept = history.Charges(pack.packId, pack.name, true);
        ASSERT_EQ(kept.size(), 1u) << c.name;
        EXPECT_TRUE(out.back().startsWith("Summary, " + kept[0].endReason + ", ")) << c.name;
        EXPECT_EQ(kept[0].source, t.Logs().front()) << c.name;
        EXPECT_EQ(int(kept[0].curve.size()), logged.size() - 1) << c.name;
    }
}

// The summary's figures, in each format, are those of the charge's own lines: its time, the
// charge delivered (the sum of the seconds' currents) and the peak the history keeps.
TEST(TerminalCharge, TheSummaryIsTheChargesOwnFiguresInEveryFormat) {
    struct Figures {
        QString clock, mah, peak;
    };
    std::vector<Figures> seen;
    for (const char* format : {"csv", "json", "text"}) {
        Terminal t;
        t.Profile(kPackProfile);
        // On a terminal for text: script(1).
        const QString command = QString(KVC410_BINARY) +
                                " charge --port sim:speed=100,noise=0 --timed 0:01:40 --format " +
                                format;
        t.StartThrough("script", {"-qec", command, "/dev/null"});
        ASSERT_TRUE(t.Finish()) << format;
        ASSERT_EQ(t.Process().exitCode(), 0) << format;
        const QString last = t.Out().back().trimmed();
        Figures f;
        if (QString(format) == "json") {
            const QJsonObject o = QJsonDocument::fromJson(last.toUtf8()).object();
            f = {o.value("duration").toString(), o.value("mah").toString(),
                 o.value("peak").toString()};
        } else if (QString(format) == "csv") {
            // "Summary, Timed, 0:01:40, 27.7 mAh, peak 12.34 V"
            const QStringList parts = last.split(", ");
            ASSERT_EQ(parts.size(), 5) << last.toStdString();
            f = {parts[2], parts[3].section(' ', 0, 0), parts[4].section(' ', 1, 1)};
        } else {
            // "Timed after 0:01:40: 27.7 mAh, peak 12.34 V" (then what to check, if anything)
            const QString line = t.Out().join('\n').section("Timed after ", 1).section('\n', 0, 0);
            f = {line.section(':', 0, 2), line.section(": ", 1).section(' ', 0, 0),
                 line.section("peak ", 1).section(' ', 0, 0)};
        }
        EXPECT_EQ(f.clock, "0:01:40") << format;
        // From the log: a second's current is a hundredth of an amp, a second is 1/3.6 mAh.
        QFile log(t.LogFolder() + "/" + t.Logs().value(0));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << format;
        const QStringList lines = QString(log.readAll()).split("\r\n", Qt::SkipEmptyParts);
        // The header, then the seconds 100 down to 0; the last measurement ends the charge
        // before its second is counted.
        ASSERT_EQ(lines.size(), 102) << format;
        double ampSeconds = 0;
        for (const QString& line : lines.mid(2)) {
            ampSeconds += line.section(", ", 2, 2).toDouble();
        }
        EXPECT_NEAR(f.mah.toDouble(), ampSeconds / 3.6, 0.051) << format;
        ChargeHistory history(t.HistoryPath());
        ASSERT_EQ(history.Open(), ChargeHistory::State::Writable);
        const ChargeHistory::PackEntry pack = history.Packs().front();
        const HistoryCharge kept = history.Charges(pack.packId, pack.name, true).front();
        EXPECT_NEAR(f.peak.toDouble(), kept.peakVolts, 0.0051) << format;
        EXPECT_NEAR(f.mah.toDouble(), kept.mah, 0.051) << format;
        seen.push_back(f);
    }
    // One charge, one set of figures, however it is printed.
    for (const Figures& f : seen) {
        EXPECT_EQ(f.mah, seen[0].mah);
        EXPECT_EQ(f.peak, seen[0].peak);
    }
}

// Every way a charge ends, with the exit status the help text and the README give it.
TEST(TerminalCharge, EveryEndHasItsDocumentedExitStatus) {
    const std::pair<ChargeEnd, int> ends[] = {
        {ChargeEnd::Completed, 0},           {ChargeEnd::AveragedPeak, 0},
        {ChargeEnd::ChargerDisconnected, 4}, {ChargeEnd::BatteryDisconnected, 4},
        {ChargeEnd::CapacityLimit, 5},       {ChargeEnd::TimeLimit, 5},
        {ChargeEnd::VoltagePlateau, 5},      {ChargeEnd::BatteryRemoved, 5},
        {ChargeEnd::FullEarly, 5},           {ChargeEnd::Stopped, 6},
        {ChargeEnd::SampleLost, 6},          {ChargeEnd::Interrupted, 7},
    };
    for (const auto& [end, status] : ends) {
        EXPECT_EQ(TerminalExitStatus(end), status) << EndReasonText(end, kPeakCharge);
    }
}

TEST(TerminalCharge, OnATerminalOneLineIsRedrawnEachSecond) {
    Terminal t;
    t.Profile(kPackProfile);
    // script(1) gives the charge a terminal of its own.
    t.StartThrough("script",
                   {"-qec", QString(KVC410_BINARY) + " charge --port sim:speed=100 --timed 0:00:04",
                    "/dev/null"});
    ASSERT_TRUE(t.Finish()) << "script (util-linux) is needed";
    EXPECT_EQ(t.Process().exitCode(), 0);
    const QString screen = t.Out().join('\n');
    // Redrawn in place (carriage returns), with where the end test stands; then the summary.
    EXPECT_GE(screen.count('\r'), 4) << screen.toStdString();
    EXPECT_TRUE(screen.contains("timed: ends at 0:00:04")) << screen.toStdString();
    EXPECT_TRUE(screen.contains("Timed after 0:00:04: ")) << screen.toStdString();
}

TEST(TerminalCharge, ASignalStopsTheChargeFirstAndKeepsItOnlyWhenAsked) {
    for (int sig : {SIGINT, SIGTERM}) {
        for (bool keep : {false, true}) {
            Terminal t;
            t.Profile(kPackProfile);
            QStringList arguments{"--port", "sim:speed=100", "--format", "json"};
            if (keep) {
                arguments << "--keep-stopped";
            }
            t.Start(arguments);
            // Charging: a few seconds have been printed.
            ASSERT_TRUE(RunUntilLines(t, 4)) << sig;
            ::kill(static_cast<pid_t>(t.Process().processId()), sig);
            ASSERT_TRUE(t.Finish(10000)) << sig;
            EXPECT_EQ(t.Process().exitCode(), 6) << sig;
            const QStringList out = t.Out();
            for (const QString& line : out) {
                EXPECT_FALSE(QJsonDocument::fromJson(line.toUtf8()).isNull()) << line.toStdString();
            }
            const QJsonObject summary = QJsonDocument::fromJson(out.back().toUtf8()).object();
            EXPECT_EQ(summary.value("end").toString(), "Stopped") << sig;
            EXPECT_EQ(summary.value("exit").toInt(), 6) << sig;
            EXPECT_EQ(t.DataWrites().last(), "W 888 255") << sig;
            EXPECT_EQ(t.ReadProfile().contains("0j="), keep) << sig << " " << keep;
        }
    }
}

TEST(TerminalCharge, KilledItIsSwitchedOffByTheGuardianAndAWindowsPortIsRefused) {
    {
        Terminal t;
        t.Start({"--port", "sim:speed=100"});
        ASSERT_TRUE(RunUntilLines(t, 3));
        ::kill(static_cast<pid_t>(t.Process().processId()), SIGKILL);
        ASSERT_TRUE(t.Finish(10000));
        QThread::msleep(500);
        EXPECT_EQ(t.DataWrites().last(), "W 888 255");
    }
    // A window (or another terminal) holds the port's lock: refused, the port untouched.
    Terminal t;
    QTemporaryDir locks;
    std::string why;
    ASSERT_EQ(AcquirePortLock(PortLockName("/dev/parport-kvc410-terminal"),
                              locks.path().toStdString(), why),
              PortLock::Taken);
    QProcess other;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    env.insert("KVC410_LOCK_DIR", locks.path());
    other.setProcessEnvironment(env);
    other.start(KVC410_BINARY, {"charge", "--port", "/dev/parport-kvc410-terminal"});
    ASSERT_TRUE(other.waitForFinished(10000));
    EXPECT_EQ(other.exitCode(), 1);
    EXPECT_TRUE(other.readAllStandardError().contains("already in use by another KVC410"));
}

// Stopped (kill -STOP, Ctrl+Z) in the middle of a charge: the watchdog switches the charger off
// within its time, the program never switches it on again, and, continued, it ends the charge as
// interrupted, with its record, log and history row.
TEST(TerminalCharge, StoppedItIsSwitchedOffByTheWatchdogAndEndsInterrupted) {
    Terminal t;
    t.Profile(kPackProfile);
    t.Start({"--port", "sim:speed=100", "--format", "csv"});
    ASSERT_TRUE(RunUntilLines(t, 3));
    const pid_t pid = static_cast<pid_t>(t.Process().processId());
    ::kill(pid, SIGSTOP);
    QElapsedTimer stopped;
    stopped.start();
    ASSERT_TRUE(Within(kWatchdogMilliseconds + 1000, [&] { return t.LastWriteIsOff(); }));
    EXPECT_GE(stopped.elapsed(), kWatchdogMilliseconds - 500);
    QThread::msleep(500);
    EXPECT_TRUE(t.LastWriteIsOff());
    ::kill(pid, SIGCONT);
    ASSERT_TRUE(t.Finish(10000));
    EXPECT_EQ(t.Process().exitCode(), 7) << t.Process().readAllStandardError().toStdString();
    EXPECT_TRUE(t.LastWriteIsOff());
    EXPECT_TRUE(t.Out().back().startsWith("Summary, Interrupted, ")) << t.Out().back().toStdString();
    EXPECT_TRUE(t.ReadProfile().contains("0j="));
    EXPECT_EQ(t.Logs().size(), 1);
    EXPECT_EQ(t.HistoryEnd(), "Interrupted");
}

// A reader that stops reading, and one that cannot be written to: the tick never waits for its
// output. A pipe of one page that is not read for longer than the watchdog's time, and a
// terminal held by Ctrl+S: the charge runs to its own end all the same; standard output on a
// full device: an exit status of its own.
TEST(TerminalCharge, OutputThatIsNotTakenHoldsNothingUp) {
    {
        Terminal t;
        t.Profile(kPackProfile);
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        fcntl(ends[0], F_SETPIPE_SZ, 4096);
        t.Process().setChildProcessModifier([&ends] { dup2(ends[1], STDOUT_FILENO); });
        // 300 lines of CSV, far more than a page, in 3 s.
        t.Start({"--port", "sim:speed=100", "--timed", "0:05:00", "--format", "csv"});
        ::close(ends[1]);
        QThread::msleep(kWatchdogMilliseconds + 3000);
        QByteArray read;
        char buffer[4096];
        for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;) {
            read.append(buffer, n);
        }
        ::close(ends[0]);
        ASSERT_TRUE(t.Finish(10000));
        EXPECT_EQ(t.Process().exitCode(), 0) << t.Process().readAllStandardError().toStdString();
        EXPECT_TRUE(read.contains("Summary, Timed, 0:05:00, ")) << read.right(200).toStdString();
        EXPECT_EQ(t.HistoryEnd(), "Timed");
    }
    {
        Terminal t;
        t.Profile(kPackProfile);
        t.StartThrough("script", {"-qec",
                                  QString(KVC410_BINARY) +
                                      " charge --port sim:speed=100 --timed 0:20:00",
                                  "/dev/null"});
        t.Process().write("\x13");  // Ctrl+S: the terminal takes no more output
        QThread::msleep(12000 + kWatchdogMilliseconds);
        t.Process().write("\x11");  // Ctrl+Q
        ASSERT_TRUE(t.Finish(20000));
        EXPECT_EQ(t.Process().exitCode(), 0);
        EXPECT_TRUE(t.Out().join('\n').contains("Timed after 0:20:00: "));
        EXPECT_EQ(t.HistoryEnd(), "Timed");
    }
    {
        Terminal t;
        t.Profile(kPackProfile);
        t.Process().setStandardOutputFile("/dev/full");
        t.Start({"--port", "sim:speed=100", "--timed", "0:00:05"});
        ASSERT_TRUE(t.Finish());
        EXPECT_EQ(t.Process().exitCode(), 8);
        EXPECT_TRUE(t.Process().readAllStandardError().contains("standard output could not be"));
        EXPECT_EQ(t.HistoryEnd(), "Timed");
    }
}

// The same pack charged on two ports, both charges ending in the same second: two logs, two
// history rows.
TEST(TerminalCharge, TwoChargesOfAPackEndingTogetherKeepTwoLogsAndTwoRows) {
    Terminal t;
    t.Profile(kPackProfile);
    QProcess other;
    const QStringList arguments{"--port", "sim:speed=100", "--timed", "0:00:05"};
    t.Start(arguments);
    t.StartAlongside(other, arguments);
    ASSERT_TRUE(t.Finish());
    ASSERT_TRUE(other.waitForFinished(60000));
    EXPECT_EQ(t.Process().exitCode(), 0);
    EXPECT_EQ(other.exitCode(), 0);
    EXPECT_EQ(t.Logs().size(), 2);
    EXPECT_EQ(t.HistoryRows(), 2u);
}

// A pipe put where the program opens a file of its own, before the charge or while it runs:
// never waited on in open(). The charge ends in its time with the charger off, and what could
// not be written is said.
TEST(TerminalCharge, APipeInPlaceOfAFileIsNeverWaitedOn) {
    struct Case {
        const char* file;  // in the profile's folder
        bool duringCharge;
        int exitCode;
    };
    const Case cases[] = {
        {"KVC410.ini.change-lock", false, 0},  {"KVC410.ini.lock", true, 0},
        {"KVC410.ini", true, 0},               {"KVC410-pack-ids.ini", false, 0},
        {"KVC410-pack-ids.ini.lock", false, 0}, {"KVC410-pack-ids.ini.change-lock", false, 0},
    };
    for (const Case& c : cases) {
        Terminal t;
        t.Profile(kPackProfile);
        const QString path = QFileInfo(t.ProfilePath()).absolutePath() + "/" + c.file;
        const auto putPipe = [&] {
            QFile::remove(path);
            ASSERT_EQ(mkfifo(QFile::encodeName(path).constData(), 0600), 0) << c.file;
        };
        if (!c.duringCharge) {
            putPipe();
        }
        t.Start({"--port", "sim:speed=100", "--timed", "0:01:30", "--format", "csv"});
        if (c.duringCharge) {
            ASSERT_TRUE(RunUntilLines(t, 3)) << c.file;
            putPipe();
        }
        ASSERT_TRUE(t.Finish(20000)) << c.file;
        EXPECT_EQ(t.Process().exitCode(), c.exitCode)
            << c.file << ": " << t.Process().readAllStandardError().toStdString();
        EXPECT_TRUE(t.Out().back().startsWith("Summary, Timed, 0:01:30, ")) << c.file;
        EXPECT_TRUE(t.LastWriteIsOff()) << c.file;
        EXPECT_EQ(t.HistoryEnd(), "Timed") << c.file;
    }
}

TEST(TerminalCharge, KeepsTheRecordAndTheLogTheWindowKeepsForTheSameCharge) {
    // The same three-second charge on a box without noise: in the window, stepped, and in the
    // terminal, on the wall clock. Their logs and records agree but for the time of day. A pack
    // so large that its voltage hardly moves in a second: the terminal's ticks, a few
    // milliseconds late or early, cannot move a reading across a step of the converter.
    const ChargeSettings settings{.timedSeconds = 3, .chargeType = kTimedCharge, .exportCsv = 1};
    QByteArray windowLog;
    QString windowRecord;
    {
        ProfileSandbox profile;
        StoreChargeSettings(profile.profile(), settings);
        profile.profile().WriteProfileString("Packs", "0", "Term");
        profile.profile().WriteProfileString("Properties", "PackName", "Term");
        QDir(CChargerDlg::OutputFolder()).removeRecursively();
        PortSandbox<SimulatedChargerBox> box(SteppedSim({.capacityMah = 100000, .noiseCounts = 0}));
        CChargerDlg dlg;
        dlg.m_playWave = [](const QByteArray&) { return 0; };
        dlg.m_notify = nullptr;
        dlg.Initialise();
        dlg.OnOK();
        ASSERT_TRUE(RunUntil([&] { return dlg.m_bCharging == 0; },
                             [&] {
                                 box->AdvanceSeconds(1);
                                 dlg.OnTimer(1);
                                 if (dlg.m_bCharging) {
                                     dlg.OnTimer(2);
                                 }
                             }));
        const QStringList logs = QDir(CChargerDlg::OutputFolder()).entryList(QDir::Files);
        ASSERT_EQ(logs.size(), 1);
        QFile log(CChargerDlg::OutputFolder() + logs.front());
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        windowLog = log.readAll();
        windowRecord = profile.profile().GetProfileString("Packs", "0j", "0");
        QDir(CChargerDlg::OutputFolder()).removeRecursively();
    }
    Terminal t;
    t.Profile("[Packs]\n0=Term\n[Properties]\nPackName=Term\nCsv=1\nChargeType=2\nSec=3\n");
    t.Start({"--port", "sim:speed=1,noise=0,capacity=100000", "--format", "csv"});
    ASSERT_TRUE(t.Finish(20000));
    ASSERT_EQ(t.Process().exitCode(), 0);
    ASSERT_EQ(t.Logs().size(), 1);
    QFile log(t.LogFolder() + "/" + t.Logs().front());
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(), windowLog);
    const QString record =
        QString::fromUtf8(t.ReadProfile()).section("0j=", 1).section('\n', 0, 0).trimmed();
    ASSERT_EQ(record.size(), windowRecord.size());
    // All but the hour, minute and date of the end (characters 18 to 29).
    EXPECT_EQ(record.left(18), windowRecord.left(18));
    EXPECT_EQ(record.mid(30), windowRecord.mid(30));
}

// Published over MQTT: the discovery first, then the values, in order; the remote Stop ends the
// charge as Ctrl+C does, with the charger off last; anything else sent is ignored and said once;
// killed, the program is shown offline by its last will.
TEST(TerminalCharge, PublishedOverMqttItIsWatchedAndStoppedRemotely) {
    if (!Broker::Installed()) {
        GTEST_SKIP() << "no mosquitto broker installed";
    }
    Broker broker;
    Subscriber watcher(broker.Port());
    const QString url = QString("mqtt://127.0.0.1:%1/test/charger").arg(broker.Port());
    {
        Terminal t;
        t.Profile(kPackProfile);
        t.Start({"--port", "sim:speed=100", "--format", "json", "--mqtt", url});
        ASSERT_TRUE(watcher.WaitFor("test/charger/state", "charging"));
        ASSERT_TRUE(watcher.WaitFor("test/charger/pack", "Term"));
        watcher.Publish("test/charger/command", "please start");
        watcher.Publish("test/charger/voltage", "99");
        ASSERT_TRUE(RunUntilLines(t, 3));
        EXPECT_TRUE(t.Process().state() == QProcess::Running);  // nothing but STOP stops it
        watcher.Publish("test/charger/command", "STOP");
        ASSERT_TRUE(t.Finish(10000));
        EXPECT_EQ(t.Process().exitCode(), 6);
        EXPECT_EQ(t.DataWrites().last(), "W 888 255");
        const QString errors = QString::fromUtf8(t.Process().readAllStandardError());
        EXPECT_EQ(errors.count("was ignored"), 1) << errors.toStdString();
        EXPECT_TRUE(errors.contains("stopped remotely")) << errors.toStdString();
        EXPECT_TRUE(watcher.WaitFor("test/charger/availability", "offline"));
        EXPECT_EQ(watcher.Last("test/charger/state"), "ended");
        EXPECT_EQ(watcher.Last("test/charger/end"), "Stopped");
        const QJsonObject record = QJsonDocument::fromJson(watcher.Last("/record")).object();
        EXPECT_EQ(record.value("pack").toString(), "Term");
        EXPECT_EQ(record.value("end").toString(), "Stopped");
    }
    // In order: online, then every discovery message, then the values.
    const auto messages = watcher.Messages();
    auto first = [&](auto predicate) {
        return std::find_if(messages.begin(), messages.end(), predicate) - messages.begin();
    };
    const auto online = first([](const auto& m) { return m.second == "online"; });
    const auto button = first([](const auto& m) {
        return m.first.rfind("homeassistant/button/", 0) == 0 &&
               QJsonDocument::fromJson(m.second).object().value("command_topic") ==
                   "test/charger/command";
    });
    const auto voltage = first([](const auto& m) {
        const QJsonObject config = QJsonDocument::fromJson(m.second).object();
        return m.first.rfind("homeassistant/sensor/", 0) == 0 &&
               config.value("unit_of_measurement") == "V" &&
               config.value("device_class") == "voltage" &&
               config.value("state_topic") == "test/charger/voltage" &&
               config.value("availability_topic") == "test/charger/availability";
    });
    const auto firstValue = first([](const auto& m) { return m.first == "test/charger/state"; });
    ASSERT_LT(firstValue, static_cast<long>(messages.size()));
    EXPECT_LT(online, voltage);
    EXPECT_LT(voltage, firstValue);
    EXPECT_LT(button, firstValue);

    // Killed: the broker tells its watchers, retained. Published as the window's Remote dialog
    // keeps it, under the prefix named for the host and the port (the simulated box, whatever
    // its options).
    Terminal t;
    t.Profile(QString("[Remote]\nEnabled=1\nBroker=mqtt://127.0.0.1:%1\n").arg(broker.Port()).toUtf8());
    t.Start({"--port", "sim:speed=100"});
    ASSERT_TRUE(watcher.WaitFor("/sim/availability", "online"));
    for (const auto& [topic, payload] : watcher.Messages()) {
        if (topic.ends_with("/sim/availability")) {
            EXPECT_EQ(topic.rfind("kvc410/", 0), 0u) << topic;
        }
    }
    ::kill(static_cast<pid_t>(t.Process().processId()), SIGKILL);
    ASSERT_TRUE(t.Finish(10000));
    EXPECT_TRUE(watcher.WaitFor("/sim/availability", "offline"));
    Subscriber later(broker.Port());
    EXPECT_TRUE(later.WaitFor("/sim/availability", "offline"));
}

// A broker refusing the password, one whose certificate the CA given does not sign, one killed
// mid-charge and one that accepts the connection and never answers: the charge's port trace, log
// and record are those of the same charge without MQTT, but for the time of day.
TEST(TerminalCharge, ABrokerThatFailsChangesNothingInTheCharge) {
    if (!Broker::Installed()) {
        GTEST_SKIP() << "no mosquitto broker installed";
    }
    struct Run {
        QStringList writes;
        QByteArray log;
        QString record;
        QString errors;
    };
    // Each charge in a home of its own, all at once: five seconds on the wall clock.
    auto start = [](const QStringList& extra, const QByteArray& password = QByteArray()) {
        auto t = std::make_unique<Terminal>();
        t->Profile("[Packs]\n0=Term\n[Properties]\nPackName=Term\nCsv=1\nChargeType=2\nSec=5\n");
        if (!password.isEmpty()) {
            QFile file(t->ProfilePath().section('/', 0, -2) + "/kvc410-mqtt-password");
            file.open(QIODevice::WriteOnly);
            file.write(password);
            file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        t->Start(QStringList{"--port", "sim:speed=1,noise=0,capacity=100000", "--format", "csv"} +
                 extra);
        return t;
    };
    auto finish = [](Terminal& t) {
        Run run;
        if (!t.Finish(20000) || t.Process().exitCode() != 0 || t.Logs().size() != 1) {
            return run;
        }
        run.writes = t.DataWrites();
        QFile log(t.LogFolder() + "/" + t.Logs().front());
        log.open(QIODevice::ReadOnly);
        run.log = log.readAll();
        // All but the hour, minute and date of the end (characters 18 to 29).
        const QString record =
            QString::fromUtf8(t.ReadProfile()).section("0j=", 1).section('\n', 0, 0).trimmed();
        run.record = record.left(18) + record.mid(30);
        run.errors = QString::fromUtf8(t.Process().readAllStandardError());
        return run;
    };

    // Two certificate authorities: the broker's certificate is signed by one, the charge trusts
    // the other.
    QTemporaryDir pki;
    // The broker gives up root for a user of its own, who must reach the files.
    QFile::setPermissions(pki.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                          QFileDevice::ExeOther);
    auto openssl = [&](const QStringList& arguments) {
        QProcess p;
        p.setWorkingDirectory(pki.path());
        p.start("openssl", arguments);
        return p.waitForFinished(30000) && p.exitCode() == 0;
    };
    for (const char* name : {"ca", "other"}) {
        const QString ca(name);
        ASSERT_TRUE(openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                             "-subj", "/CN=" + ca, "-keyout", ca + ".key", "-out", ca + ".crt"}));
    }
    ASSERT_TRUE(openssl({"req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1",
                         "-keyout", "server.key", "-out", "server.csr"}));
    ASSERT_TRUE(openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                         "-CAcreateserial", "-days", "2", "-out", "server.crt"}));

    {
        QProcess p;
        p.start("mosquitto_passwd", {"-b", "-c", pki.path() + "/passwords", "kvc", "right"});
        ASSERT_TRUE(p.waitForFinished(10000));
    }
    // Readable by the broker, which gives up root for a user of its own.
    for (const QString& file : QDir(pki.path()).entryList(QDir::Files)) {
        QFile(pki.filePath(file)).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadGroup | QFileDevice::ReadOther);
    }
    Broker withPassword("allow_anonymous false\npassword_file " + pki.path() + "/passwords");
    Broker tls(QString("allow_anonymous true\ncafile %1/ca.crt\ncertfile %1/server.crt\n"
                       "keyfile %1/server.key")
                   .arg(pki.path()));
    Broker dying;
    // Accepts connections (the kernel completes them) and never answers.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(silent, 4);
    socklen_t length = sizeof address;
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);
    const int silentPort = ntohs(address.sin_port);

    // The brokers are there: the right password and the right CA are let in, so that the wrong
    // ones are refused for being wrong.
    ASSERT_TRUE(Accepts(withPassword.Port()));
    ASSERT_TRUE(Accepts(tls.Port()));
    const struct {
        const char* name;
        QString url;
        QByteArray password;
        std::function<void()> during;
        int saysInterrupted;
    } cases[] = {
        {"wrong password", QString("mqtt://kvc@127.0.0.1:%1").arg(withPassword.Port()), "wrong",
         {}, 1},
        {"right password", QString("mqtt://kvc@127.0.0.1:%1").arg(withPassword.Port()), "right",
         {}, 0},
        {"wrong CA",
         QString("mqtts://127.0.0.1:%1?ca=%2/other.crt").arg(tls.Port()).arg(pki.path()), {}, {},
         1},
        {"right CA", QString("mqtts://127.0.0.1:%1?ca=%2/ca.crt").arg(tls.Port()).arg(pki.path()),
         {}, {}, 0},
        {"broker killed", QString("mqtt://127.0.0.1:%1").arg(dying.Port()), {},
         [&] { dying.Kill(); }, 1},
        {"never answers", QString("mqtt://127.0.0.1:%1").arg(silentPort), {}, {}, 1},
        {"nobody there", QString("mqtt://127.0.0.1:%1").arg(FreeLoopbackPort()), {}, {}, 1},
    };
    auto reference = start({});
    std::vector<std::unique_ptr<Terminal>> charges;
    for (const auto& c : cases) {
        charges.push_back(start({"--mqtt", c.url}, c.password));
    }
    RunUntilLines(*charges.front(), 3);
    for (const auto& c : cases) {
        if (c.during) {
            c.during();
        }
    }
    const Run plain = finish(*reference);
    ASSERT_FALSE(plain.log.isEmpty());
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const Run run = finish(*charges[i]);
        EXPECT_EQ(run.writes, plain.writes) << c.name;
        EXPECT_EQ(run.log, plain.log) << c.name;
        EXPECT_EQ(run.record, plain.record) << c.name;
        EXPECT_EQ(run.errors.count("publishing over MQTT is interrupted"), c.saysInterrupted)
            << c.name << ": " << run.errors.toStdString();
    }
    ::close(silent);
}

}  // namespace
