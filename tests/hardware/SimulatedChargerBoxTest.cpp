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
