#include <gtest/gtest.h>

#include <QString>

#include "charge/ChargeLog.h"
#include "charge/CycleTexts.h"
#include "charge/SampleHistory.h"

namespace {

TEST(CycleTexts, ClockTicks) {
    struct Case {
        const char *h, *m, *s;
        const char *h2, *m2, *s2;
    };
    const Case cases[] = {
        {"00", "00", "00", "00", "00", "01"},  {"00", "59", "00", "00", "59", "01"},
        {"00", "00", "59", "00", "01", "00"},  {"00", "59", "59", "01", "00", "00"},
        {"99", "59", "59", "100", "00", "00"}, {"100", "00", "09", "100", "00", "10"},
        {"x", "y", "z", "00", "00", "01"},
    };
    for (const Case& c : cases) {
        std::string h = c.h, m = c.m, s = c.s;
        TickClock(s, m, h);
        EXPECT_EQ(h + ":" + m + ":" + s, std::string(c.h2) + ":" + c.m2 + ":" + c.s2)
            << c.h << ":" << c.m << ":" << c.s;
    }
}

TEST(CycleTexts, MahIsCutToOneDecimal) {
    struct Case {
        double mah;
        const char* text;
    };
    const Case cases[] = {
        {0.0, "0.0"},
        {5.123456, "5.1"},
        {9.99, "9.9"},
        {10.0, "10.0"},
        {12.345678, "12.3"},
        {999.96, "999.9"},
        {1234.56, "1234.5"},
        {12345.67, "12345.6"},
        {123456.78, "123456.7"},
        {1000000.0, "1000000.000000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatMah(c.mah), c.text) << c.mah;
    }
}

TEST(CycleTexts, MaximumVoltageCut) {
    EXPECT_EQ(FormatMaxVoltage(0.0f), "0.00");
    EXPECT_EQ(FormatMaxVoltage(9.876f), "9.87");
    EXPECT_EQ(FormatMaxVoltage(12.345678f), "12.34");
    EXPECT_EQ(FormatMaxVoltage(10.0f), "10.00");
}

TEST(CycleTexts, FirstMinuteDisconnectionLimits) {
    struct Case {
        const char* volts;
        Disconnection expected;
    };
    const Case cases[] = {
        {"0.00", Disconnection::Charger},  {"0.01", Disconnection::Charger},
        {"0.02", Disconnection::None},     {"12.80", Disconnection::None},
        {"18.50", Disconnection::None},    {"18.51", Disconnection::Battery},
        {"20.99", Disconnection::Battery}, {"21.00", Disconnection::Charger},
        {"24.42", Disconnection::Charger},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckDisconnection(c.volts), c.expected) << c.volts;
    }
    struct Window {
        const char *h, *m, *s;
        bool in;
    };
    for (const Window& w : {Window{"00", "00", "02", false}, Window{"00", "00", "03", true},
                            Window{"00", "00", "59", true}, Window{"00", "01", "00", false},
                            Window{"01", "00", "05", false}}) {
        EXPECT_EQ(InDisconnectionWindow(w.s, w.m, w.h), w.in) << w.h << w.m << w.s;
    }
}

TEST(ChargeLog, FileNames) {
    struct Case {
        const char* pack;
        LocalTime time;
        const char* name;
    };
    const Case cases[] = {
        {"AA Pack", {2003, 3, 27, 14, 5}, "AA Pack 3-27-2003 14-05.csv"},
        {"None", {2004, 1, 5, 9, 7}, "None 1-5-2004 09-07.csv"},
        {"Night", {2026, 12, 31, 0, 0}, "Night 12-31-2026 00-00.csv"},
        {"../../x", {2026, 1, 2, 3, 4}, ".._.._x 1-2-2026 03-04.csv"},
        {"a\\b\tc", {2026, 1, 2, 3, 4}, "a_b_c 1-2-2026 03-04.csv"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChargeLogFileName(c.pack, c.time), c.name);
    }
    EXPECT_EQ(ChargeLogFileName("AA Pack", {2003, 3, 27, 14, 5}, 2),
              "AA Pack 3-27-2003 14-05 (2).csv");
    // 100 CJK characters are 300 bytes: the name is cut between characters so that even the
    // 999th copy's file name fits the file system's 255 bytes.
    std::string cjk;
    for (int i = 0; i < 100; ++i) {
        cjk += "\xE9\x9B\xBB";  // 電
    }
    const std::string longest = ChargeLogFileName(cjk, {2026, 12, 31, 23, 59}, 999);
    EXPECT_LE(longest.size(), kMaxFileNameBytes);
    EXPECT_GT(longest.size(), kMaxFileNameBytes - 3);
    EXPECT_TRUE(QString::fromUtf8(longest).startsWith(QString(70, QChar(0x96FB))));
    EXPECT_EQ(QString::fromUtf8(longest).toUtf8().toStdString(), longest);  // whole characters
    EXPECT_TRUE(longest.ends_with("\xE9\x9B\xBB 12-31-2026 23-59 (999).csv"));
}

TEST(ChargeLog, ContentCountsDownFromTheNewestSample) {
    // Two measurements within one clock second (a late timer) share a stamp: the total still
    // counts down one a line from the newest stamp, while the duration shows each stamp.
    SampleHistory history;
    ASSERT_TRUE(history.AddSample(9.77f, 0.50f, "01", "00", "00", 10, 1));
    ASSERT_TRUE(history.AddSample(9.78f, 0.51f, "01", "00", "00", 10, 1));
    ASSERT_TRUE(history.AddSample(9.80f, 0.52f, "02", "00", "00", 10, 1));
    ASSERT_TRUE(history.AddSample(9.81f, 0.52f, "04", "00", "00", 10, 1));
    EXPECT_EQ(BuildChargeLog(history.sampleHead),
              "Total Seconds, Voltage, Current, Charge Duration\r\n"
              "4, 9.81, 0.52, 0:0:4\r\n"
              "3, 9.80, 0.52, 0:0:2\r\n"
              "2, 9.78, 0.51, 0:0:1\r\n"
              "1, 9.77, 0.50, 0:0:1\r\n");
    EXPECT_EQ(BuildChargeLog(nullptr), "");

    SampleHistory one;
    ASSERT_TRUE(one.AddSample(12.345678f, 3.999999f, "03", "02", "01", 10, 1));
    EXPECT_EQ(BuildChargeLog(one.sampleHead),
              "Total Seconds, Voltage, Current, Charge Duration\r\n"
              "3723, 12.34, 3.99, 1:2:3\r\n");
}

TEST(ChargeLog, NumbersKeepTheirSign) {
    for (auto [value, text] : {std::pair{-1.49f, "-1.49"},
                               {-0.5f, "-0.50"},
                               {0.0f, "0.00"},
                               {3.999999f, "3.99"},
                               {24.427723f, "24.42"}}) {
        EXPECT_EQ(LogNumber(value), text) << value;
    }
}

}  // namespace
