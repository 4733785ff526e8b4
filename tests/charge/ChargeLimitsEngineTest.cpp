// The backup cut-offs: each one on its own, and every charge of the scenario matrix through the
// engine on the simulated box.

#include <gtest/gtest.h>

#include "graph/ChargeCurve.h"
#include "limits/ChargeLimits.h"
#include "tests/charge/LimitScenarios.h"

namespace {

// Steady ticks of a charge at a constant current and voltage.
struct Feed {
    double amps = 1.0;
    float volts = 12.0f;
    float voltsRisePerHour = 0.0f;
    bool openCircuitFrom60 = false;
    bool timed = false;
};

// The first second a backup fires, or -1 within the limit.
std::pair<Backup, int> RunUntilBackup(const ChargeLimits& limits, const Feed& f, int limit) {
    BackupCutoffs backups;
    backups.SetLimits(limits);
    backups.Reset();
    for (int t = 0; t <= limit; ++t) {
        const BackupTick tick{.elapsedSeconds = t,
                              .deliveredMah = f.amps * t / 3.6,
                              .volts = f.volts + f.voltsRisePerHour * t / 3600.0f,
                              .openCircuit = f.openCircuitFrom60 && t >= 30,
                              .timed = f.timed,
                              .cells = 8,
                              .delay = 10};
        const Backup b = backups.Judge(tick);
        if (b != Backup::None) {
            return {b, t};
        }
    }
    return {Backup::None, -1};
}

TEST(ChargeLimitsEngine, EachBackupFiresAtItsLimitAndNotBefore) {
    struct Case {
        const char* name;
        ChargeLimits limits;
        Feed feed;
        Backup backup;
        int second;  // when it fires (-1: not within 40 hours)
    };
    constexpr int kH = 3600;
    // A rising voltage (20 mV an hour, 8 cells) keeps the plateau test quiet.
    const Feed rising{.voltsRisePerHour = 0.02f};
    // clang-format off
    const Case cases[] = {
        // 2000 mAh at 1 A: 150 % is 3000 mAh, after 3 hours; a timed charge too.
        {"capacity", {.ratedMah = 2000, .timerOn = false}, rising, Backup::Capacity, 3 * kH},
        {"capacity 120 %", {.ratedMah = 2000, .capacityPercent = 120, .timerOn = false}, rising,
         Backup::Capacity, 2 * kH + 1440},
        {"capacity, timed", {.ratedMah = 2000, .timerOn = false}, {.timed = true},
         Backup::Capacity, 3 * kH},
        {"capacity unknown", {.timerOn = false}, rising, Backup::None, -1},
        {"capacity off", {.ratedMah = 2000, .capacityOn = false, .timerOn = false}, rising,
         Backup::None, -1},
        // 160 % of 2000 mAh at 1 A, with the capacity cut-off out of the way.
        {"timer, automatic", {.ratedMah = 2000, .capacityOn = false}, rising, Backup::Time,
         3 * kH + 720},
        {"timer, unknown capacity", {}, rising, Backup::Time, 16 * kH},
        {"timer, set", {.timerMinutes = 90}, rising, Backup::Time, 90 * 60},
        {"timer off", {.timerOn = false}, rising, Backup::None, -1},
        {"timer, timed charge", {.timerMinutes = 90}, {.timed = true}, Backup::None, -1},
        // Flat from the start: the first minute's mean at 1:59 is the highest, 30 minutes on.
        {"plateau", {}, {}, Backup::Plateau, 119 + 30 * 60},
        {"plateau 10 minutes", {.plateauMinutes = 10}, {}, Backup::Plateau, 119 + 10 * 60},
        {"plateau off", {.timerOn = false, .plateauOn = false}, {}, Backup::None, -1},
        {"plateau, timed charge", {}, {.timed = true}, Backup::None, -1},
        // Rising by just over the margin (4 mV for 8 cells) every half hour is still rising.
        {"slow rise", {.timerOn = false}, {.voltsRisePerHour = 0.0082f}, Backup::None, -1},
        // Open circuit from 0:00:30: judged from the first minute on, five seconds.
        {"removed", {}, {.openCircuitFrom60 = true}, Backup::Removed, 64},
        {"removed, timed", {}, {.openCircuitFrom60 = true, .timed = true}, Backup::Removed, 64},
        {"removed off", {.timerOn = false, .plateauOn = false, .removedOn = false},
         {.openCircuitFrom60 = true}, Backup::None, -1},
    };
    // clang-format on
    for (const Case& c : cases) {
        const auto [backup, second] = RunUntilBackup(c.limits, c.feed, 40 * kH);
        EXPECT_EQ(backup, c.backup) << c.name;
        EXPECT_EQ(second, c.second) << c.name;
    }
}

TEST(ChargeLimitsEngine, StoredLimitsAreReadOnlyWhenSensible) {
    struct Case {
        const char* text;
        bool parses;
        const char* badField;  // of what it parsed to; nullptr: every value sensible
    };
    const Case cases[] = {
        {"2000 1 150 1 0 1 30 1", true, nullptr},
        {"0 0 100 0 600 0 5 0", true, nullptr},
        {"2000 1 150 1 0 1 30", false, nullptr},
        {"2000 1 150 1 0 1 30 1 1", false, nullptr},
        {"2000 2 150 1 0 1 30 1", false, nullptr},
        {"2000 1 150 1 0 1 30 1 ", false, nullptr},
        {"2000;1;150;1;0;1;30;1", false, nullptr},
        {"2000,1,150,1,0,1,30,1", false, nullptr},
        {"", false, nullptr},
        {"20 1 150 1 0 1 30 1", true, "Rated capacity"},
        {"2000 1 99 1 0 1 30 1", true, "Capacity cut-off"},
        {"2000 1 150 1 9 1 30 1", true, "Safety timer"},
        {"2000 1 150 1 0 1 121 1", true, "Voltage plateau"},
        {"99999999999999999999 1 150 1 0 1 30 1", false, nullptr},
    };
    for (const Case& c : cases) {
        ChargeLimits limits;
        ASSERT_EQ(ParsePackLimits(c.text, limits), c.parses) << c.text;
        if (!c.parses) {
            continue;
        }
        EXPECT_EQ(FormatPackLimits(limits), c.text);
        const auto bad = FieldOutsideRange(limits);
        EXPECT_EQ(bad.value_or(""), c.badField ? c.badField : "") << c.text;
    }
}

class LimitMatrix : public testing::TestWithParam<LimitScenario> {};

TEST_P(LimitMatrix, EveryChargeEndsByItselfAndNoneIsOvercharged) {
    const LimitScenario& s = GetParam();
    const LimitOutcome o = RunLimitScenario(s);
    ASSERT_NE(o.end, ChargeEnd::None) << "ran for " << kRunawaySeconds / 3600 << " hours";
    EXPECT_TRUE(o.chargerOff);
    // At most 160 % of what the pack truly holds, in all.
    EXPECT_LE(o.deliveredPercent, 160.0);
    // Never cut off before the pack is full (a pulled pack aside).
    if (s.removeMinute < 0) {
        EXPECT_GE(o.finalPercent, 100.0) << EndReasonText(o.end, kPeakCharge);
    } else {
        EXPECT_EQ(o.end, ChargeEnd::BatteryRemoved);
    }
    // A pack that shows its drop is ended by the peak test, before any backup.
    if (o.showsDrop && s.removeMinute < 0) {
        EXPECT_EQ(o.end, ChargeEnd::Completed) << EndReasonText(o.end, kPeakCharge);
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, LimitMatrix, testing::ValuesIn(AllLimitScenarios()),
                         [](const testing::TestParamInfo<LimitScenario>& info) {
                             std::string name = info.param.Name();
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) {
                                     ch = '_';
                                 }
                             }
                             return name;
                         });

}  // namespace
