// The charge engine on its own, with no window and no Qt: the simulated box stepped one second
// per tick, as the window's two timers would.

#include <gtest/gtest.h>

#include <memory>

#include "charge/ChargeCycle.h"
#include "charge/CycleTexts.h"
#include "curves/ChargeCurve.h"
#include "hardware/SimulatedChargerBox.h"
#include "platform/PortDriver.h"

namespace {

class Engine : public ChargeObserver {
public:
    Engine(SimOptions options, const ChargeSettings& settings) {
        options.steppedTime = true;
        auto box = std::make_unique<SimulatedChargerBox>(options);
        m_box = box.get();
        m_previous = InstallPortDriver(std::move(box));
        cycle.SetSettings(settings);
        cycle.AddObserver(this);
    }
    ~Engine() override { InstallPortDriver(std::move(m_previous)); }

    // One second: the measurement, then (still charging) the clock.
    void Second() {
        m_box->AdvanceSeconds(1.0);
        ++seconds;
        cycle.MeasurementTick();
        if (cycle.IsCharging()) {
            cycle.ClockTick();
        }
    }
    bool RunUntilEnd(int limitSeconds) {
        while (cycle.IsCharging() && seconds < limitSeconds) {
            Second();
        }
        return !cycle.IsCharging();
    }
    std::string Clock() const {
        return cycle.Texts().hours + ":" + cycle.Texts().minutes + ":" + cycle.Texts().seconds;
    }
    SimulatedChargerBox& Box() { return *m_box; }

    void OnSample(const ChargeSample&) override { ++samples; }
    void OnEnded(ChargeEnd reason) override { ends.push_back(reason); }

    ChargeCycle cycle;
    // The graph's view of the same charge.
    ChargeRecorder recorder{cycle};
    int seconds = 0;
    int samples = 0;
    std::vector<ChargeEnd> ends;

private:
    SimulatedChargerBox* m_box;
    std::unique_ptr<PortDriver> m_previous;
};

ChargeSettings Peak(int batteryType, int threshold, int sensitivity) {
    return {.batteryType = batteryType, .threshold = threshold, .sensitivity = sensitivity};
}
ChargeSettings Timed(int minutes, int seconds) {
    return {.timedMinutes = minutes, .timedSeconds = seconds, .chargeType = kTimedCharge};
}

TEST(ChargeCycleEngine, EndsByItsRules) {
    struct Case {
        const char* name;
        SimOptions box;
        ChargeSettings settings;
        int limit;
        ChargeEnd end;
        const char* clock;
        double peakFraction;  // a peak charge ends past where this chemistry's voltage peaks
        const char* graphSays;
    };
    // clang-format off
    const Case cases[] = {
        {"timed 1:30", {}, Timed(1, 30), 600, ChargeEnd::Completed, "00:01:30", 0, "Timed"},
        {"8-cell Ni-MH 2000 mAh at 1 A", {.capacityMah = 2000}, Peak(kBatteryNiMH, 8, 10),
         5 * 3600, ChargeEnd::Completed, nullptr, 1.071, "Peak detected"},
        {"8-cell Ni-Cd 2000 mAh at 1 A", {.chemistry = Chemistry::NiCd, .capacityMah = 2000},
         Peak(kBatteryNiCd, 10, 15), 5 * 3600, ChargeEnd::Completed, nullptr, 1.05,
         "Peak detected"},
        {"6-cell Ni-Cd 700 mAh at 0.7 A",
         {.chemistry = Chemistry::NiCd, .cells = 6, .capacityMah = 700, .currentA = 0.7},
         Peak(kBatteryNiCd, 8, 15), 5 * 3600, ChargeEnd::Completed, nullptr, 1.05,
         "Peak detected"},
        {"no charger", {.fault = BoxFault::NoCharger, .noiseCounts = 0}, Peak(2, 8, 10), 120,
         ChargeEnd::ChargerDisconnected, "00:00:03", 0, "Charger disconnected"},
        {"no battery", {.fault = BoxFault::NoBattery, .noiseCounts = 0}, Peak(2, 8, 10), 120,
         ChargeEnd::BatteryDisconnected, "00:00:03", 0, "Battery disconnected"},
    };
    // clang-format on
    for (const Case& c : cases) {
        Engine e(c.box, c.settings);
        e.cycle.Start();
        ASSERT_TRUE(e.RunUntilEnd(c.limit)) << c.name;
        EXPECT_EQ(e.ends, std::vector<ChargeEnd>{c.end}) << c.name;
        EXPECT_EQ(e.cycle.LastEnd(), c.end) << c.name;
        EXPECT_EQ(e.Box().DataRegister(), kChargerOff) << c.name;
        if (c.clock != nullptr) {
            EXPECT_EQ(e.Clock(), c.clock) << c.name;
        }
        if (c.peakFraction > 0) {
            EXPECT_GT(e.Box().StateOfChargePercent(), 100.0 * c.peakFraction) << c.name;
            EXPECT_LT(e.Box().StateOfChargePercent(), 130.0) << c.name;
            // The display agrees with what the box delivered to within 0.01 %.
            EXPECT_NEAR(std::stod(e.cycle.Texts().mah), e.Box().DeliveredMah(),
                        e.Box().DeliveredMah() * 0.0001 + 0.1)
                << c.name;
        }
        // One sample a measurement, kept for the record and the log until released.
        EXPECT_EQ(e.samples, e.seconds) << c.name;
        EXPECT_EQ(e.cycle.History().Count(), static_cast<size_t>(e.seconds)) << c.name;
        // The graph saw every sample and why it ended, and where the end test stood: a peak
        // charge ends with its sensitivity's seconds at or under the line.
        EXPECT_EQ(e.recorder.EndReason(), c.graphSays) << c.name;
        EXPECT_EQ(e.recorder.Points().size(), static_cast<size_t>(e.seconds)) << c.name;
        const EndTestState& test = e.recorder.EndTest();
        if (c.peakFraction > 0) {
            EXPECT_EQ(test.secondsBelow, c.settings.sensitivity) << c.name;
            EXPECT_EQ(test.delayLeft, 0) << c.name;
            EXPECT_NEAR(test.line, test.peak - c.settings.threshold * 0.01, 1e-4) << c.name;
            EXPECT_EQ(test.peak, e.cycle.History().peakVoltage) << c.name;
        }
        e.cycle.Release();
        EXPECT_EQ(e.cycle.History().sampleHead, nullptr) << c.name;
        // The last charge stays on the graph after the samples are freed.
        EXPECT_EQ(e.recorder.Points().size(), static_cast<size_t>(e.seconds)) << c.name;
    }
}

TEST(ChargeCycleEngine, DeliveredChargeAgreesWithTheBoxAndStartsFromNothing) {
    Engine e({}, Peak(kBatteryNiMH, 8, 10));
    // Before any sample the clock runs and the charge display keeps what it showed.
    e.cycle.MutableTexts().mah = "123.4";
    e.cycle.Start();
    e.cycle.ClockTick();
    EXPECT_EQ(e.cycle.Texts().mah, "123.4");
    EXPECT_EQ(e.Clock(), "00:00:01");
    e.cycle.Stop();
    EXPECT_EQ(e.cycle.LastEnd(), ChargeEnd::Stopped);

    e.cycle.Start();
    for (int i = 0; i < 1800; ++i) {
        e.Second();
    }
    EXPECT_EQ(e.Clock(), "00:30:00");
    EXPECT_NEAR(std::stod(e.cycle.Texts().mah), e.Box().DeliveredMah(), 1.0);
    EXPECT_EQ(e.recorder.EndTest().delayLeft, 0);
    EXPECT_EQ(e.recorder.EndReason(), "");
    e.cycle.Stop();
    EXPECT_EQ(e.Box().DataRegister(), kChargerOff);
    EXPECT_TRUE(e.ends.empty());  // a stop by hand is the caller's own doing
    EXPECT_EQ(e.recorder.EndReason(), "Stopped");
    e.cycle.Release();

    // The next charge counts from nothing again, and the graph starts a new curve.
    e.cycle.Start();
    EXPECT_TRUE(e.recorder.Points().empty());
    e.Second();
    e.Second();
    EXPECT_EQ(e.cycle.Texts().mah, "0.5");
    EXPECT_EQ(e.recorder.Points().size(), 2u);
    EXPECT_EQ(e.recorder.EndTest().delayLeft, 9);
}

TEST(ChargeCycleEngine, ThePreviousVoltageCarriesTheDisconnectionNotice) {
    Engine e({.fault = BoxFault::NoCharger, .noiseCounts = 0}, Peak(2, 8, 10));
    e.cycle.Start();
    for (int i = 0; i < 3; ++i) {
        e.Second();
    }
    EXPECT_EQ(e.cycle.Texts().volts, "24.42");
    e.cycle.MutableTexts().volts = "0.01";
    ASSERT_TRUE(e.RunUntilEnd(120));
    EXPECT_EQ(e.cycle.Texts().volts, std::string("0.01") + kChargerDisconnected);
}

TEST(ChargeCycleEngine, APackPulledAfterTheFirstMinuteEndsTheChargeOnlyByItsBackup) {
    // With the backup off, an open circuit after the first minute is shown and not judged.
    {
        Engine e({.removeMinute = 20}, Peak(2, 8, 10));
        e.cycle.SetLimits({.removedOn = false});
        e.cycle.Start();
        EXPECT_FALSE(e.RunUntilEnd(50 * 60));
        EXPECT_EQ(e.cycle.Texts().amps, "0.00");
        EXPECT_NE(e.Box().DataRegister(), kChargerOff);
        e.cycle.Stop();
        EXPECT_EQ(e.Box().DataRegister(), kChargerOff);
    }
    // With it on, the fifth second of open circuit ends the charge, the charger off first.
    Engine e({.removeMinute = 20}, Peak(2, 8, 10));
    e.cycle.Start();
    ASSERT_TRUE(e.RunUntilEnd(50 * 60));
    EXPECT_EQ(e.ends, std::vector<ChargeEnd>{ChargeEnd::BatteryRemoved});
    EXPECT_EQ(e.Box().DataRegister(), kChargerOff);
    EXPECT_EQ(e.Clock(), "00:20:04");  // open from the measurement at 00:20:00
    EXPECT_EQ(e.recorder.EndReason(), "Battery removed");
}

TEST(ChargeCycleEngine, NewSettingsCountFromTheNextMeasurement) {
    Engine e({}, Peak(2, 8, 10));
    e.cycle.Start();
    for (int i = 0; i < 20; ++i) {
        e.Second();
    }
    e.cycle.SetSettings(Timed(0, 10));  // ten seconds are long past
    e.Second();
    EXPECT_FALSE(e.cycle.IsCharging());
    EXPECT_EQ(e.cycle.LastEnd(), ChargeEnd::Completed);
}

TEST(ChargeCycleEngine, ASampleThatCannotBeStoredEndsTheCharge) {
    Engine e({}, Peak(2, 8, 10));
    e.cycle.Start();
    for (int i = 0; i < 5; ++i) {
        e.Second();
    }
    e.cycle.History().SetAllocator([]() -> ChargeSample* { return nullptr; });
    e.Second();
    EXPECT_EQ(e.ends, std::vector<ChargeEnd>{ChargeEnd::SampleLost});
    EXPECT_EQ(e.Box().DataRegister(), kChargerOff);
}

// What the guardian sees of a charge, and what the program finds when it runs again after the
// guardian switched off for it: the charge ended as interrupted, the charger never on again.
// Nor is a box the signal handler switched off judged.
TEST(ChargeCycleEngine, AChargeSwitchedOffFromOutsideIsNotJudgedAndTheWatchdogsEndsInterrupted) {
    ChargerWatchdog& watchdog = SharedChargerWatchdog();
    Engine e({}, Peak(2, 8, 10));
    EXPECT_EQ(watchdog.beat.load(), 0u);  // nothing to watch before a charge
    e.cycle.Start();
    for (int i = 0; i < 5; ++i) {
        const uint64_t before = watchdog.beat.load();
        e.Second();
        EXPECT_NE(watchdog.beat.load(), before) << i;
        EXPECT_NE(watchdog.beat.load(), 0u) << i;
    }
    ASSERT_TRUE(e.Box().ChargerOn());
    // A signal switched off and its stop is on its way: a tick that runs first judges no
    // reading of the switched-off box (it would be a missing charger).
    LatchChargerOff();
    e.Second();
    ResetChargerOffLatchForTests();
    EXPECT_TRUE(e.ends.empty());
    EXPECT_EQ(e.samples, 5);
    // The beat stopped: the guardian switches off and raises the trip.
    watchdog.tripped.store(1);
    e.Box().EmergencyOff();
    DlPortWritePortUchar(kDataPort, 0);  // a write the program was in the middle of
    EXPECT_FALSE(e.Box().ChargerOn());
    e.Second();
    EXPECT_EQ(e.ends, std::vector<ChargeEnd>{ChargeEnd::Interrupted});
    EXPECT_FALSE(e.Box().ChargerOn());
    EXPECT_EQ(e.samples, 5);  // no reading of a switched-off box
    EXPECT_EQ(watchdog.beat.load(), 0u);
    EXPECT_EQ(e.recorder.EndReason(), "Interrupted");
    EXPECT_TRUE(EndNeedsAttention(ChargeEnd::Interrupted));
    // Only a new Start charges again.
    e.Second();
    EXPECT_FALSE(e.Box().ChargerOn());
    e.cycle.Start();
    e.Second();
    EXPECT_TRUE(e.Box().ChargerOn());
    EXPECT_EQ(watchdog.tripped.load(), 0u);
    e.cycle.Stop();
    EXPECT_EQ(watchdog.beat.load(), 0u);
}

}  // namespace
