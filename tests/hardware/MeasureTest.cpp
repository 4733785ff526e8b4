#include <gtest/gtest.h>

#include <cmath>

#include "hardware/Measure.h"
#include "tests/TestSupport.h"

namespace {

TEST(Measure, ConvertsRecordedConversions) {
    struct Case {
        const char* name;
        int odd, even;  // counts of conversions 1,3,5,7,9 and 2,4,6,8,10
        const char* voltText;
        const char* currText;
        float volts, amps;
    };
    const Case cases[] = {
        {"no box, all zero", 0, 0, "0.00", "0.00", -1.49f, 0.0f},
        {"all 4095 is cut, not rounded", 4095, 4095, "24.42", "0.00", 24.427723f, 0.0f},
        {"odd input higher", 2000, 1900, "11.16", "0.52", 11.168228f, 0.527426f},
        {"even input higher", 1900, 2000, "11.16", "0.52", 11.168228f, 0.527426f},
        {"equal inputs", 1500, 1500, "8.00", "0.00", 8.003671f, 0.0f},
    };
    for (const Case& c : cases) {
        PortSandbox<RecordingPort> port;
        for (int i = 1; i <= 10; ++i) {
            port->QueueConversion(i % 2 == 1 ? c.odd : c.even);
        }
        std::string voltText, currText;
        float volts = 0, amps = 0;
        Measure(voltText, currText, volts, amps);
        EXPECT_EQ(voltText, c.voltText) << c.name;
        EXPECT_EQ(currText, c.currText) << c.name;
        EXPECT_NEAR(volts, c.volts, 1e-5) << c.name;
        EXPECT_NEAR(amps, c.amps, 1e-5) << c.name;
        EXPECT_GE(amps, 0.0f) << c.name;
    }
}

TEST(Measure, CutsTextsToTwoDecimals) {
    struct Case {
        float value;
        const char* text;
    };
    const Case cases[] = {
        {3.141592f, "3.14"}, {12.345678f, "12.34"}, {1.239999f, "1.23"},
        {10.0f, "10.00"},    {9.999999f, "9.99"},   {0.0f, "0.00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CutTwoDecimals(c.value), c.text) << c.value;
    }
    EXPECT_EQ(DeleteChars("abc", 5, 4), "abc");
    EXPECT_EQ(DeleteChars("abcdef", 4, 4), "abcd");
}

TEST(Measure, ReadsKnownVoltagesBackThroughTheSimulatedBox) {
    struct Case {
        double inputA, inputB;
        const char* voltText;
        const char* currText;
    };
    // The box rounds to whole counts, so the texts are what the nearest counts give.
    const Case cases[] = {
        {12.80, 11.60, "12.80", "1.00"}, {9.50, 9.50, "9.49", "0.00"},
        {1.00, 1.60, "1.59", "0.50"},    {20.00, 20.00, "19.99", "0.00"},
        {-1.49, -1.49, "0.00", "0.00"},
    };
    for (const Case& c : cases) {
        PortSandbox<SimulatedChargerBox> box(SteppedSim());
        box->SetInputVoltages(c.inputA, c.inputB);
        std::string voltText, currText;
        float volts = 0, amps = 0;
        Measure(voltText, currText, volts, amps);
        EXPECT_EQ(voltText, c.voltText) << c.inputA << " " << c.inputB;
        EXPECT_EQ(currText, c.currText) << c.inputA << " " << c.inputB;
        EXPECT_NEAR(volts, std::max(c.inputA, c.inputB), 0.004);
        EXPECT_NEAR(amps, std::fabs(c.inputA - c.inputB) / 1.2, 0.006);
    }
}

}  // namespace
