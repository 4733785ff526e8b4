#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "hardware/Converter.h"
#include "platform/PortSelection.h"
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
        {"/dev/parport-that-is-not-there", missing, false, "cannot be opened"},
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

}  // namespace
