#pragma once
// Charges through the engine on the simulated box, one second a step, for every kind of pack
// the backup cut-offs must stop: both chemistries, 4 and 8 cells, slow to brisk rates, empty to
// full packs, new and worn ones, with and without a rated capacity, a pack with no drop and a
// pack pulled during the charge. Shared by the limits test and the matrix tool.

#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "charge/ChargeCycle.h"
#include "hardware/SimulatedChargerBox.h"
#include "platform/PortDriver.h"

struct LimitScenario {
    Chemistry chemistry;
    int cells;
    double rateC;  // of the rated capacity
    double initialPercent;
    double age;
    bool ratedKnown;
    bool noPeak = false;
    double removeMinute = -1;

    std::string Name() const {
        char text[160];
        std::snprintf(text, sizeof text, "%s %dc %.1fC %3.0f%% age %.1f %s%s%s",
                      chemistry == Chemistry::NiMH ? "NiMH" : "NiCd", cells, rateC, initialPercent,
                      age, ratedKnown ? "rated" : "unrated", noPeak ? " peak=none" : "",
                      removeMinute >= 0 ? " remove=30" : "");
        return text;
    }
};

// Test failures name the scenario.
inline void PrintTo(const LimitScenario& s, std::ostream* out) {
    *out << s.Name();
}

inline constexpr double kScenarioRatedMah = 2000.0;
// Simulated hours after which a charge counts as one that ran away.
inline constexpr int kRunawaySeconds = 48 * 3600;

inline std::vector<LimitScenario> AllLimitScenarios() {
    std::vector<LimitScenario> all;
    for (Chemistry chem : {Chemistry::NiMH, Chemistry::NiCd}) {
        for (int cells : {4, 8}) {
            for (double rate : {0.1, 0.2, 0.3, 0.5, 1.0, 2.0}) {
                for (double initial : {0.0, 50.0, 100.0}) {
                    for (double age : {1.0, 0.6}) {
                        for (bool rated : {true, false}) {
                            all.push_back({chem, cells, rate, initial, age, rated});
                        }
                    }
                }
            }
        }
    }
    // A pack that never shows a drop, at the rates where a pack without one is met; and packs
    // pulled after half an hour.
    for (Chemistry chem : {Chemistry::NiMH, Chemistry::NiCd}) {
        for (double rate : {0.2, 0.5, 1.0}) {
            for (bool rated : {true, false}) {
                all.push_back({chem, 8, rate, 0.0, 1.0, rated, true});
            }
        }
        for (double rate : {0.1, 1.0}) {
            all.push_back({chem, 8, rate, 0.0, 1.0, true, false, 30});
            all.push_back({chem, 4, rate, 0.0, 0.6, false, false, 30});
        }
    }
    return all;
}

// What a user would set for such a pack: a threshold of about 10 mV a cell for Ni-MH and
// 12.5 mV a cell for Ni-Cd, the default delay and sensitivity.
inline ChargeSettings ScenarioSettings(const LimitScenario& s) {
    ChargeSettings settings;
    settings.batteryType = s.chemistry == Chemistry::NiMH ? kBatteryNiMH : kBatteryNiCd;
    settings.chargeType = kPeakCharge;
    settings.cells = s.cells;
    settings.threshold = s.chemistry == Chemistry::NiMH ? s.cells : (s.cells * 5 + 3) / 4;
    return settings;
}

struct LimitOutcome {
    ChargeEnd end = ChargeEnd::None;
    int seconds = 0;
    double deliveredPercent = 0;  // of what the pack truly holds
    double finalPercent = 0;      // state of charge at the end
    bool showsDrop = false;       // the pack shows its full drop after the peak
    bool chargerOff = false;
};

inline LimitOutcome RunLimitScenario(const LimitScenario& s) {
    SimOptions options;
    options.steppedTime = true;
    options.chemistry = s.chemistry;
    options.cells = s.cells;
    options.capacityMah = kScenarioRatedMah;
    options.currentA = s.rateC * kScenarioRatedMah / 1000.0;
    options.initialChargePercent = s.initialPercent;
    options.age = s.age;
    options.noPeak = s.noPeak;
    options.removeMinute = s.removeMinute;
    auto owned = std::make_unique<SimulatedChargerBox>(options);
    SimulatedChargerBox* box = owned.get();
    auto previous = InstallPortDriver(std::move(owned));

    ChargeCycle cycle;
    cycle.SetSettings(ScenarioSettings(s));
    ChargeLimits limits;
    limits.ratedMah = s.ratedKnown ? static_cast<int>(kScenarioRatedMah) : 0;
    cycle.SetLimits(limits);
    cycle.Start();
    LimitOutcome out;
    while (cycle.IsCharging() && out.seconds < kRunawaySeconds) {
        box->AdvanceSeconds(1.0);
        ++out.seconds;
        cycle.MeasurementTick();
        if (cycle.IsCharging()) {
            cycle.ClockTick();
        }
    }
    out.end = cycle.IsCharging() ? ChargeEnd::None : cycle.LastEnd();
    cycle.Stop();
    out.deliveredPercent = 100.0 * box->DeliveredMah() / box->TrueCapacityMah();
    out.finalPercent = box->StateOfChargePercent();
    out.showsDrop = box->DropShare() >= 1.0;
    out.chargerOff = box->DataRegister() == kChargerOff;
    cycle.Release();
    InstallPortDriver(std::move(previous));
    return out;
}
