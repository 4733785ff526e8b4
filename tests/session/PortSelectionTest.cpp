#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "hardware/Converter.h"
#include "platform/SingleInstance.h"
#include "session/PortSelection.h"
#include "tests/TestSupport.h"

namespace {

TEST(PortSelection, ChoosesTheDriverFromTheSetting) {
    QTemporaryDir dir;
    const std::string missing = dir.path().toStdString() + "/parport0";
    // A plain file stands for a port that exists but cannot be claimed.
    const std::string unusable = dir.path().toStdString() + "/parport-file";
    QFile(QString::fromStdString(unusable)).open(QIODevice::WriteOnly);

    struct Case {
        const char* setting;
        std::string autoDevice;
        bool simulated;
        const char* errorPart;  // nullptr: opens
    };
    const Case cases[] = {
        {nullptr, missing, true, nullptr},
        {"auto", missing, true, nullptr},
        {"sim", missing, true, nullptr},
        {"sim:chem=nicd,cells=6", missing, true, nullptr},
        {"auto", unusable, false, "group lp"},
        {"sim:cells=x", missing, false, "cells=x"},
        {"/dev/parport-that-is-not-there", missing, false, "modprobe parport_pc"},
        {"io:zz", missing, false, "io:0x378"},
        {"lpt1", missing, false, "not understood"},
    };
    for (const Case& c : cases) {
        PortChoice choice = OpenPortFromSetting(c.setting, nullptr, c.autoDevice);
        std::string label = c.setting ? c.setting : "(unset)";
        if (c.errorPart == nullptr) {
            ASSERT_TRUE(choice.driver) << label << ": " << choice.error;
            EXPECT_EQ(choice.driver->IsSimulated(), c.simulated) << label;
        } else {
            EXPECT_FALSE(choice.driver) << label;
            EXPECT_NE(choice.error.find(c.errorPart), std::string::npos)
                << label << ": " << choice.error;
        }
    }
}

TEST(PortSelection, TraceFileGetsEveryAccess) {
    QTemporaryDir dir;
    const std::string trace = dir.path().toStdString() + "/trace.txt";
    PortChoice choice = OpenPortFromSetting("sim:fault=no-charger", trace.c_str(), "/nonexistent");
    ASSERT_TRUE(choice.driver);
    EXPECT_TRUE(choice.driver->IsSimulated());
    {
        auto previous = InstallPortDriver(std::move(choice.driver));
        EXPECT_EQ(ReadConverter(), 4095);
        ChargerOff();
        InstalledPortDriver()->EmergencyOff();
        InstallPortDriver(std::move(previous));
    }
    QFile file(QString::fromStdString(trace));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList lines = QString(file.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 57 + 16 + 2);
    EXPECT_EQ(lines[0], "W 888 4");
    EXPECT_EQ(lines[12], "R 889 127");
    EXPECT_EQ(lines[lines.size() - 2], "W 888 255");
    EXPECT_EQ(lines.back(), "W 888 255");

    PortChoice bad = OpenPortFromSetting("sim", "/nonexistent-folder/trace.txt", "/nonexistent");
    EXPECT_FALSE(bad.driver);
    EXPECT_NE(bad.error.find("KVC410_PORT_TRACE"), std::string::npos);
}

TEST(PortSelection, LatchedChargerStaysOff) {
    PortSandbox<RecordingPort> port;
    LatchChargerOff();
    ReadConverter();  // a tick that still runs after a terminating signal
    for (const PortAccess& a : port->accesses) {
        if (a.kind == 'W' && a.port == kDataPort) {
            EXPECT_EQ(a.value, kChargerOff);
        }
    }
    EXPECT_EQ(port->data, kChargerOff);
}

TEST(PortSelection, OneLockPerPortHoweverItIsNamed) {
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    // The kernel's list of ports: parport0 at 0x378; a device node standing for it.
    QDir().mkpath(dir.path() + "/info/parport0");
    QFile info(dir.path() + "/info/parport0/base-addr");
    ASSERT_TRUE(info.open(QIODevice::WriteOnly));
    info.write("888\t1912\n");
    info.close();
    QFile(dir.path() + "/parport0").open(QIODevice::WriteOnly);
    const std::string device = root + "/parport0";
    const std::string infoRoot = root + "/info";
    struct Case {
        const char* setting;
        std::string autoDevice;
        std::string name;
    };
    const Case cases[] = {
        {"io:0x378", device, "io-888"},
        {device.c_str(), device, "io-888"},
        {nullptr, device, "io-888"},
        {"auto", root + "/none", ""},
        {"sim", device, ""},
        {"sim:cells=6", device, ""},
        {"/dev/parport-kvc410-none", device, "dev-dev-parport-kvc410-none"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PortLockName(c.setting, c.autoDevice, infoRoot), c.name)
            << (c.setting ? c.setting : "(unset)");
    }
    std::string why;
    EXPECT_EQ(AcquirePortLock("io-888", root, why), PortLock::Taken);
    EXPECT_EQ(AcquirePortLock("io-888", root, why), PortLock::InUse);
    EXPECT_EQ(AcquirePortLock("io-632", root, why), PortLock::Taken);
    EXPECT_EQ(AcquirePortLock("io-888", root + "/missing", why), PortLock::Unavailable);
    EXPECT_NE(why.find("/missing/kvc410-io-888.lock"), std::string::npos) << why;
}

TEST(PortSelection, ATraceIntoAPipeNeitherHangsNorEndsTheProgram) {
    QTemporaryDir dir;
    const std::string fifo = dir.path().toStdString() + "/trace";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Nobody reads it: said at once instead of waiting for a reader.
    PortChoice unread = OpenPortFromSetting("sim", fifo.c_str());
    EXPECT_FALSE(unread.driver);
    EXPECT_NE(unread.error.find("no program reads"), std::string::npos) << unread.error;

    // The reader goes away while the program traces: tracing stops, the program goes on (with
    // SIGPIPE at its default, which ends a process, as the program's own handler would).
    struct sigaction dfl {};
    struct sigaction saved {};
    dfl.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &dfl, &saved);
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    PortChoice traced = OpenPortFromSetting("sim", fifo.c_str());
    ASSERT_TRUE(traced.driver) << traced.error;
    traced.driver->Write(kDataPort, 255);
    close(reader);
    for (int i = 0; i < 3; ++i) {
        traced.driver->Write(kDataPort, 255);
        traced.driver->EmergencyOff();
    }
    EXPECT_EQ(traced.driver->Read(kDataPort), 255);
    sigaction(SIGPIPE, &saved, nullptr);
}

}  // namespace
