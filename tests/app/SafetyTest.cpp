// Every way out of the program leaves the charger off: the last write to the data register is
// 255. Each case runs the real program in a child process on the simulated box with a trace.

#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

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
    }
    QString TracePath() const { return m_dir.path() + "/trace.txt"; }
    QProcessEnvironment& Env() { return m_env; }

    void Start(QProcess& process, const QString& program, const QStringList& args) {
        process.setProcessEnvironment(m_env);
        process.start(program, args);
        ASSERT_TRUE(process.waitForStarted(10000));
    }
    QStringList DataWrites() const {
        QFile file(TracePath());
        QStringList writes;
        if (file.open(QIODevice::ReadOnly)) {
            for (const QString& line : QString(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
                if (line.startsWith("W 888 ")) {
                    writes << line;
                }
            }
        }
        return writes;
    }

private:
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
};

bool WaitForCharging(QProcess& process, QByteArray* output = nullptr) {
    QByteArray out;
    while (!out.contains("charging")) {
        if (!process.waitForReadyRead(20000)) {
            return false;
        }
        out += process.readAllStandardOutput();
    }
    if (output != nullptr) {
        *output = out;
    }
    return true;
}

TEST(Safety, EveryWayOutSwitchesTheChargerOff) {
    struct Case {
        const char* mode;
        int signal;  // sent by the test; 0 when the child leaves by itself
        bool crashes;
    };
    const Case cases[] = {
        {"wait", SIGINT, false}, {"wait", SIGTERM, false}, {"wait", SIGHUP, false},
        {"escape", 0, false},    {"close", 0, false},      {"segv", 0, true},
        {"bus", 0, true},        {"fpe", 0, true},         {"abort", 0, true},
    };
    for (const Case& c : cases) {
        std::string label = std::string(c.mode) + " " + std::to_string(c.signal);
        ChildRun run;
        QProcess child;
        run.Start(child, KVC410_SAFETY_CHILD, {c.mode});
        ASSERT_TRUE(WaitForCharging(child)) << label << child.readAllStandardError().toStdString();
        if (c.signal != 0) {
            ::kill(static_cast<pid_t>(child.processId()), c.signal);
        }
        ASSERT_TRUE(child.waitForFinished(20000)) << label;
        EXPECT_EQ(child.exitStatus() == QProcess::CrashExit, c.crashes) << label;
        if (!c.crashes) {
            EXPECT_EQ(child.exitCode(), 0) << label;
        }
        QStringList writes = run.DataWrites();
        ASSERT_FALSE(writes.isEmpty()) << label;
        // Off before anything else, on while charging, off at the end.
        EXPECT_EQ(writes.first(), "W 888 255") << label;
        EXPECT_TRUE(writes.contains("W 888 0")) << label;
        EXPECT_EQ(writes.last(), "W 888 255") << label;
    }
}

TEST(Safety, ASecondInstanceLeavesThePortAlone) {
    ChildRun run;
    QProcess first;
    run.Start(first, KVC410_SAFETY_CHILD, {"wait"});
    QByteArray output;
    ASSERT_TRUE(WaitForCharging(first, &output));
    // The simulated box says so in the caption.
    EXPECT_TRUE(output.contains("caption: Quillmark Charger - simulated charger\n"));
    const int writesBefore = run.DataWrites().size();

    QProcess second;
    run.Start(second, KVC410_BINARY, {});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(second.readAllStandardError().contains(
        "The charger is already in use by another KVC410 window."));
    EXPECT_EQ(run.DataWrites().size(), writesBefore);

    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(run.DataWrites().last(), "W 888 255");
}

TEST(Safety, APortThatCannotBeOpenedIsExplainedNotReplaced) {
    ChildRun run;
    run.Env().insert("KVC410_PORT", "/dev/parport-missing");
    QProcess program;
    run.Start(program, KVC410_BINARY, {});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitCode(), 1);
    QByteArray err = program.readAllStandardError();
    EXPECT_TRUE(err.contains("/dev/parport-missing cannot be opened")) << err.toStdString();
    EXPECT_TRUE(err.contains("group lp")) << err.toStdString();
    EXPECT_TRUE(run.DataWrites().isEmpty());
}

}  // namespace
