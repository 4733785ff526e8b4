#include <gtest/gtest.h>

#include "hardware/Converter.h"
#include "hardware/Measure.h"
#include "tests/TestSupport.h"

namespace {

struct Reading {
    float volts, amps;
};

Reading MeasureOnce() {
    std::string voltText, currText;
    float volts = 0, amps = 0;
    Measure(voltText, currText, volts, amps);
    return {volts, amps};
}

TEST(SimulatedChargerBox, ParsesItsOptions) {
    struct Case {
        const char* text;
        bool ok;
    };
    const Case cases[] = {
        {"chem=nicd,cells=6,capacity=700,current=0.7,charge=50,speed=10", true},
        {"fault=no-battery,remove=20,seed=3,noise=0", true},
        {"", true},
        {"chem=lipo", false},
        {"cells=x", false},
        {"cells=0", false},
        {"colour=blue", false},
        {"fault=maybe", false},
        {"age=0.6,peak=none", true},
        {"age=0", false},
        {"age=1.5", false},
        {"peak=sometimes", false},
    };
    for (const Case& c : cases) {
        SimOptions options;
        std::string error;
        EXPECT_EQ(ParseSimOptions(c.text, options, error), c.ok) << c.text;
        EXPECT_EQ(error.empty(), c.ok) << c.text;
    }
    SimOptions options;
    std::string error;
    ASSERT_TRUE(ParseSimOptions("chem=nicd,cells=6,capacity=700,remove=20", options, error));
    EXPECT_EQ(options.chemistry, Chemistry::NiCd);
    EXPECT_EQ(options.cells, 6);
    EXPECT_DOUBLE_EQ(options.capacityMah, 700);
    EXPECT_DOUBLE_EQ(options.removeMinute, 20);
}

TEST(SimulatedChargerBox, ChargesOnlyWhileTheDataRegisterIsNot255) {
    PortSandbox<SimulatedChargerBox> box(SteppedSim({.noiseCounts = 0}));
    ChargerOff();
    box->AdvanceSeconds(600);
    EXPECT_DOUBLE_EQ(box->DeliveredMah(), 0.0);

    Reading r = MeasureOnce();  // the conversions leave the register at 0: charging
    EXPECT_NEAR(r.amps, 1.0, 0.01);
    box->AdvanceSeconds(3600);
    EXPECT_NEAR(box->DeliveredMah(), 1000.0, 1e-6);
    EXPECT_NEAR(box->StateOfChargePercent(), 50.0, 1e-6);

    ChargerOff();
    box->AdvanceSeconds(3600);
    EXPECT_NEAR(box->DeliveredMah(), 1000.0, 1e-6);
}

TEST(SimulatedChargerBox, PeaksNearFullAndThenFalls) {
    for (Chemistry chemistry : {Chemistry::NiMH, Chemistry::NiCd}) {
        double best = 0, bestAt = 0;
        for (double f = 0; f <= 1.4; f += 0.001) {
            double v = SimulatedChargerBox::CellVoltageAt1C(chemistry, f);
            if (v > best) {
                best = v;
                bestAt = f;
            }
        }
        EXPECT_GT(bestAt, 1.0);
        EXPECT_LT(bestAt, 1.1);
        double fallPerCell = best - SimulatedChargerBox::CellVoltageAt1C(chemistry, bestAt + 0.1);
        if (chemistry == Chemistry::NiMH) {
            EXPECT_GT(fallPerCell, 0.005);
            EXPECT_LT(fallPerCell, 0.012);
        } else {
            EXPECT_GE(fallPerCell, 0.015);
            EXPECT_LT(fallPerCell, 0.030);
        }
    }
}

TEST(SimulatedChargerBox, TheDropAfterThePeakNeedsABriskRate) {
    // Per cell, at 20 % past the peak: the whole 1C drop from a brisk rate on, none when slow,
    // and none from a pack that has no drop; a worn pack is charged at a higher rate of what it
    // holds, and is full sooner.
    struct Case {
        SimOptions box;
        double rateC;
        bool drops;
    };
    // clang-format off
    const Case cases[] = {
        {{.capacityMah = 2000, .currentA = 2.0}, 1.0, true},
        {{.capacityMah = 2000, .currentA = 1.0}, 0.5, true},
        {{.capacityMah = 2000, .currentA = 0.4}, 0.2, false},
        {{.chemistry = Chemistry::NiCd, .capacityMah = 2000, .currentA = 0.7}, 0.35, true},
        {{.chemistry = Chemistry::NiCd, .capacityMah = 2000, .currentA = 0.2}, 0.1, false},
        {{.capacityMah = 2000, .currentA = 0.2, .age = 0.5}, 0.2, false},
        {{.capacityMah = 2000, .currentA = 0.6, .age = 0.5}, 0.6, true},
        {{.capacityMah = 2000, .currentA = 2.0, .age = 1.0, .noPeak = true}, 1.0, false},
    };
    // clang-format on
    for (const Case& c : cases) {
        SimOptions options = c.box;
        options.noiseCounts = 0;
        options.cells = 1;
        PortSandbox<SimulatedChargerBox> box(SteppedSim(options));
        EXPECT_NEAR(box->RateC(), c.rateC, 1e-9);
        MeasureOnce();  // the charger on
        const double hold = box->TrueCapacityMah();
        auto voltsAt = [&](double fraction) {
            box->AdvanceSeconds((fraction * hold - box->DeliveredMah()) * 3.6 / c.box.currentA);
            return box->PackVoltage();
        };
        const double peak = voltsAt(1.071);
        const double after = voltsAt(1.271);
        EXPECT_NEAR(box->StateOfChargePercent(), 127.1, 1e-6);
        if (c.drops) {
            EXPECT_GT(peak - after, 0.010) << c.rateC;
        } else {
            EXPECT_NEAR(peak - after, 0.0, 1e-12) << c.rateC;
        }
    }
}

TEST(SimulatedChargerBox, TheProgramTicksAsFastAsTheBoxRuns) {
    struct Case {
        double speed;
        int tickMs;
    };
    const Case cases[] = {
        {1, 1000}, {60, 17}, {100, 10}, {5000, kFastestTickMilliseconds}, {0.5, 2000}};
    for (const Case& c : cases) {
        SimulatedChargerBox box({.speed = c.speed});
        EXPECT_EQ(box.TickMilliseconds(), c.tickMs) << c.speed;
        // The box's own time keeps pace with exactly those ticks.
        EXPECT_DOUBLE_EQ(box.Options().speed * box.TickMilliseconds(), 1000.0) << c.speed;
    }
    // A box stepped by its caller, and a real port, tick once a real second.
    EXPECT_EQ(SimulatedChargerBox({.steppedTime = true}).TickMilliseconds(), 1000);
}

TEST(SimulatedChargerBox, ShowsFaultsAsTheProgramWouldSeeThem) {
    {
        PortSandbox<SimulatedChargerBox> box(SteppedSim({.fault = BoxFault::NoCharger}));
        Reading r = MeasureOnce();
        EXPECT_NEAR(r.volts, 24.427723f, 1e-5);  // every conversion 4095
    }
    {
        PortSandbox<SimulatedChargerBox> box(SteppedSim({.fault = BoxFault::NoBattery}));
        Reading r = MeasureOnce();
        EXPECT_NEAR(r.volts, 20.0, 0.02);
        EXPECT_NEAR(r.amps, 0.0, 0.02);
    }
    {
        PortSandbox<SimulatedChargerBox> box(SteppedSim({.removeMinute = 20, .noiseCounts = 0}));
        MeasureOnce();
        box->AdvanceSeconds(19 * 60);
        EXPECT_TRUE(box->PackConnected());
        EXPECT_LT(MeasureOnce().volts, 18.0);
        box->AdvanceSeconds(120);
        EXPECT_FALSE(box->PackConnected());
        EXPECT_NEAR(box->DeliveredMah(), 1000.0 / 3, 1e-6);  // 20 minutes at 1 A
        Reading r = MeasureOnce();
        EXPECT_NEAR(r.volts, 20.0, 0.02);
        EXPECT_NEAR(r.amps, 0.0, 0.02);
    }
}

}  // namespace
