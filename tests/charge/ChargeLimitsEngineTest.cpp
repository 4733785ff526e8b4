// The backup cut-offs: each one on its own, and every charge of the scenario matrix through the
// engine on the simulated box.

#include <gtest/gtest.h>

#include <random>

#include "curves/ChargeCurve.h"
#include "limits/ChargeLimits.h"
#include "tests/charge/LimitScenarios.h"

namespace {

// Steady ticks of a charge at a constant current and voltage, which may fall from a second on.
struct Feed {
    double amps = 1.0;
    float volts = 12.0f;
    float voltsRisePerHour = 0.0f;
    bool openCircuitFrom60 = false;
    bool timed = false;
    int timedSeconds = 0;
    int fallFrom = 0;  // seconds; 0: never
    float fallPerSecond = 0.0001f;
    int cells = 8;
    double noiseVolts = 0.0;  // Gaussian, the same every run
    double thresholdVolts = 0.08;
};

// The first second a backup fires, or -1 within the limit.
std::pair<Backup, int> RunUntilBackup(const ChargeLimits& limits, const Feed& f, int limit) {
    BackupCutoffs backups;
    backups.SetLimits(limits);
    backups.Reset();
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0.0, f.noiseVolts > 0 ? f.noiseVolts : 1.0);
    for (int t = 0; t <= limit; ++t) {
        float volts = f.volts + f.voltsRisePerHour * static_cast<float>(t) / 3600.0f;
        if (f.noiseVolts > 0) {
            volts += static_cast<float>(noise(random));
        }
        if (f.fallFrom > 0 && t > f.fallFrom) {
            volts -= f.fallPerSecond * static_cast<float>(t - f.fallFrom);
        }
        const BackupTick tick{.elapsedSeconds = t,
                              .deliveredMah = f.amps * t / 3.6,
                              .volts = volts,
                              .openCircuit = f.openCircuitFrom60 && t >= 30,
                              .timed = f.timed,
                              .timedSeconds = f.timedSeconds,
                              .cells = f.cells,
                              .delay = 10,
                              .thresholdVolts = f.thresholdVolts};
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
    // A pack charging at 1C rises by far more than 40 mV a cell an hour: this keeps the plateau
    // test quiet.
    const Feed rising{.voltsRisePerHour = 0.5f};
    // Falling by 0.1 mV a second from 0:10:00: the mean of the last 60 readings is 80 mV under
    // the level 829.5 seconds later.
    const Feed falling{.fallFrom = 600};
    // clang-format off
    const Case cases[] = {
        // 2000 mAh at 1 A: 150 % is 3000 mAh, after 3 hours; a timed charge too.
        {"capacity", {.ratedMah = 2000, .timerOn = false}, rising, Backup::Capacity, 3 * kH},
        {"capacity 120 %", {.ratedMah = 2000, .capacityPercent = 120, .timerOn = false}, rising,
         Backup::Capacity, 2 * kH + 1440},
        {"capacity, timed", {.ratedMah = 2000, .timerOn = false}, {.voltsRisePerHour = 0.5f,
         .timed = true}, Backup::Capacity, 3 * kH},
        {"capacity unknown", {.timerOn = false}, rising, Backup::None, -1},
        {"capacity off", {.ratedMah = 2000, .capacityOn = false, .timerOn = false}, rising,
         Backup::None, -1},
        // 160 % of 2000 mAh at 1 A, with the capacity cut-off out of the way.
        {"timer, automatic", {.ratedMah = 2000, .capacityOn = false}, rising, Backup::Time,
         3 * kH + 720},
        {"timer, unknown capacity", {}, rising, Backup::Time, 24 * kH},
        {"timer, set", {.timerMinutes = 90}, rising, Backup::Time, 90 * 60},
        {"timer off", {.timerOn = false}, rising, Backup::None, -1},
        {"timer, timed charge", {.timerMinutes = 90}, {.voltsRisePerHour = 0.5f, .timed = true},
         Backup::None, -1},
        // Flat from the start, judged from 0:01:00 in blocks of 20 seconds: with the capacity
        // unknown, over the limit's 30 minutes (90 blocks, the 90th complete at 0:30:59), flat
        // three blocks in a row (0:31:39).
        {"plateau", {}, {}, Backup::Plateau, 60 + 90 * 20 - 1 + 40},
        {"plateau 10 minutes", {.plateauMinutes = 10}, {}, Backup::Plateau, 60 + 30 * 20 - 1 + 40},
        // Unknown at 6 A: no pack holds much more than 10 Ah, so the rate is at least 0.6C and
        // the window the time to deliver 6 % of 10 Ah: 360 s, 18 blocks.
        {"plateau at 6 A, unknown", {}, {.amps = 6.0}, Backup::Plateau, 60 + 18 * 20 - 1 + 40},
        // With the capacity known, the time to deliver 6 % of it: 432 s at 1 A, 22 blocks.
        {"plateau at 0.5C, rated", {.ratedMah = 2000}, {}, Backup::Plateau,
         60 + 22 * 20 - 1 + 40},
        // At 0.05C that would be 144 minutes: the limit's 30 minutes hold.
        {"plateau at 0.05C, rated", {.ratedMah = 20000}, {}, Backup::Plateau,
         60 + 90 * 20 - 1 + 40},
        {"plateau off", {.timerOn = false, .plateauOn = false}, {}, Backup::None, -1},
        // A timed charge runs its time over a flat voltage, unless the rate is brisk (0.5C).
        {"plateau, timed charge", {}, {.timed = true}, Backup::None, -1},
        {"plateau, timed at 0.05C", {.ratedMah = 20000, .capacityOn = false}, {.timed = true},
         Backup::None, -1},
        {"plateau, timed at 0.5C", {.ratedMah = 2000}, {.timed = true}, Backup::FullTimed,
         60 + 22 * 20 - 1 + 40},
        // Two hours at 1 A are set for a pack of about 1430 mAh (140 %): 0.7C, brisk; the window
        // is 6 % of that, 309 s, 16 blocks. Fourteen hours are a slow standard charge.
        {"plateau, timed 2 hours, unknown", {}, {.timed = true, .timedSeconds = 2 * kH},
         Backup::FullTimed, 60 + 16 * 20 - 1 + 40},
        {"plateau, timed 14 hours, unknown", {}, {.timed = true, .timedSeconds = 14 * kH},
         Backup::None, -1},
        // Rising by just over the margin (2 mV for 8 cells) between the halves of 30 minutes.
        {"slow rise", {.timerOn = false}, {.voltsRisePerHour = 0.0082f}, Backup::None, -1},
        // The mean falls by the threshold: a peak charge ends, so does a timed one.
        {"drop", {}, falling, Backup::Drop, 600 + 830},
        {"drop, timed", {}, {.timed = true, .fallFrom = 600}, Backup::FullTimed, 600 + 830},
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

// A single cell's flat top at 6 A under five counts of noise (14 mV a reading): the window that
// the largest pack allows (six minutes, nine with the noise) cannot see a flat of 0.25 mV through
// it; judged flat and rising by turns (and a noisy mean's highest is soon more than a fifth of
// the threshold over it, so a fall between the halves is not flat either), it ran on for hours.
TEST(ChargeLimitsEngine, ANoisyFlatTopAtAHighRateIsFoundFlat) {
    const auto [backup, second] =
        RunUntilBackup({}, {.amps = 6.0, .volts = 1.7f, .cells = 1, .noiseVolts = 0.014,
                            .thresholdVolts = 0.01},
                       3600);
    EXPECT_EQ(backup, Backup::Plateau);
    EXPECT_LE(second, 20 * 60);
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

// What the end tests promise, scenario by scenario; the README's "Charge limits" says where
// they cannot keep it (a single cell, and a pack that shows no drop, was full already and
// whose capacity is not known).
TEST_P(LimitMatrix, EveryChargeEndsByItselfBetweenFullAndOvercharged) {
    const LimitScenario& s = GetParam();
    const LimitOutcome o = RunLimitScenario(s);
    const std::string end = EndReasonText(o.end, s.Timed() ? kTimedCharge : kPeakCharge);
    ASSERT_NE(o.end, ChargeEnd::None) << "ran for " << kRunawaySeconds / 3600 << " hours";
    EXPECT_TRUE(o.chargerOff);
    // Never told full by noise.
    if (o.end == ChargeEnd::Completed && !s.Timed()) {
        EXPECT_GE(o.finalPercent, 95.0) << end;
    }
    if (s.Pulled() && o.seconds >= s.removeMinute * 60) {
        // Ended within ten seconds of the pull, and the record keeps the pack's peak, not the
        // open circuit's voltage.
        EXPECT_EQ(o.end, ChargeEnd::BatteryRemoved) << end;
        EXPECT_LE(o.seconds, s.removeMinute * 60 + 10);
        EXPECT_LT(std::stod(o.maxVolts), 18.5) << o.maxVolts;
        return;
    }
    // No "Battery removed" or "disconnected" while current flows (a pack pulled later was full
    // before).
    EXPECT_NE(o.end, ChargeEnd::BatteryRemoved);
    EXPECT_NE(o.end, ChargeEnd::BatteryDisconnected);
    if (s.Timed() && s.initialPercent < 100) {
        EXPECT_EQ(o.end, ChargeEnd::Completed) << "a timed charge of an empty pack runs its time";
        return;
    }
    if (s.cells < 4) {
        return;
    }
    if (s.noPeak && s.ratedFactor == 0 && (s.initialPercent == 100 || s.Timed())) {
        // Nothing tells a full pack's flat voltage from a slow charge's flat middle but the
        // rate, and the rate is only bounded: by the largest pack, or by the timed charge's time.
        EXPECT_LE(o.finalPercent, 165.0) << end;
        return;
    }
    if (s.noPeak && s.initialPercent == 100 && s.rateC >= 3.0 && s.age < 1.0) {
        // A full pack at 3C: the plateau's shortest window (three minutes) is itself a quarter
        // of what an aged pack holds.
        EXPECT_LE(o.finalPercent, 135.0) << end;
        return;
    }
    if (s.ratedFactor == 0.5) {
        // The capacity cut-off at 150 % of half the pack ends it early, as it was told to.
        EXPECT_LE(o.finalPercent, 140.0) << end;
    } else if (s.ratedFactor == 2) {
        EXPECT_GE(o.finalPercent, 100.0) << end;
        EXPECT_LE(o.finalPercent, 140.0) << end;
    } else {
        EXPECT_GE(o.finalPercent, 100.0) << end;
        EXPECT_LE(o.finalPercent, 130.0) << end;
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, LimitMatrix, testing::ValuesIn(TestedLimitScenarios()),
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
