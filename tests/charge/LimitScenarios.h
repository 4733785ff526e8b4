#pragma once
// Charges through the engine on the simulated box, one second a step, for every kind of pack
// the end tests must stop: both chemistries, 1 to 12 cells, 0.05C to 3C, empty to full packs,
// new and worn ones, a converter from noiseless to five counts of noise, the rated capacity
// unknown, right or typed a factor of two wrong, packs with no drop, packs pulled at any minute,
// and timed charges of full and of empty packs. Shared by the limits test and the matrix tool.

#include <algorithm>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "charge/ChargeCycle.h"
#include "hardware/SimulatedChargerBox.h"
#include "platform/PortDriver.h"

inline constexpr double kMeasured = -1.0;

struct LimitScenario {
    Chemistry chemistry;
    int cells;
    double rateC;  // of the rated capacity
    double initialPercent;
    double age;
    // The rated capacity as typed, against the nameplate's; 0: not known; kMeasured: not typed,
    // but measured by the pack's charge history (what the aged pack holds).
    double ratedFactor;
    double noise = 1.0;  // converter counts
    bool noPeak = false;
    double removeMinute = -1;
    int timedMinutes = 0;  // a timed charge of this long; 0: a peak charge

    std::string Name() const {
        char rated[32];
        if (ratedFactor < 0) {
            std::snprintf(rated, sizeof rated, "measured");
        } else if (ratedFactor == 0) {
            std::snprintf(rated, sizeof rated, "unrated");
        } else if (ratedFactor == 1) {
            std::snprintf(rated, sizeof rated, "rated");
        } else {
            std::snprintf(rated, sizeof rated, "rated x%g", ratedFactor);
        }
        std::string extra;
        if (noPeak) {
            extra += " peak=none";
        }
        if (removeMinute >= 0) {
            extra += " remove=" + std::to_string(static_cast<int>(removeMinute));
        }
        if (timedMinutes > 0) {
            extra += " timed " + std::to_string(timedMinutes) + " min";
        }
        char text[200];
        std::snprintf(text, sizeof text, "%s %dc %.2fC %3.0f%% age %.1f %s noise %g%s",
                      chemistry == Chemistry::NiMH ? "NiMH" : "NiCd", cells, rateC, initialPercent,
                      age, rated, noise, extra.c_str());
        return text;
    }
    // What the pack is judged by: a charge the end tests must end between full and 130 %.
    bool Pulled() const { return removeMinute >= 0; }
    bool Timed() const { return timedMinutes > 0; }
    bool RatedRight() const { return ratedFactor <= 0 || ratedFactor == 1; }
    bool Measured() const { return ratedFactor < 0; }
};

// Test failures name the scenario.
inline void PrintTo(const LimitScenario& s, std::ostream* out) {
    *out << s.Name();
}

inline constexpr double kScenarioRatedMah = 2000.0;
// Simulated hours after which a charge counts as one that ran away.
inline constexpr int kRunawaySeconds = 48 * 3600;
// The sense resistor the box measures the current across, and the highest voltage its
// converter reads (4095 counts).
inline constexpr double kScenarioSenseOhms = 1.2;
inline constexpr double kScenarioHighestVolts = 24.0;

// Whether the box can measure such a charge: the voltage it reads (the pack's at its peak, at
// the charge current, plus the sense resistor's drop) stays inside the converter's range, and
// the first minute does not read as a missing charger (21 V).
inline bool WithinBoxRange(const LimitScenario& s) {
    const double amps = s.rateC * kScenarioRatedMah / 1000.0;
    const double oneC = kScenarioRatedMah / 1000.0;
    const double ir = 0.09 * (amps / oneC - 1.0);
    const double sense = amps * kScenarioSenseOhms;
    const double peak = s.cells * (SimulatedChargerBox::CellVoltageAt1C(s.chemistry, 1.07) + ir);
    const double start = s.cells * (SimulatedChargerBox::CellVoltageAt1C(
                                        s.chemistry, s.initialPercent / 100.0 + 0.02) +
                                    ir);
    return peak + sense < kScenarioHighestVolts && start + sense < 21.0;
}

// The whole matrix, as the tool prints it.
inline std::vector<LimitScenario> AllLimitScenarios() {
    std::vector<LimitScenario> all;
    auto add = [&](const LimitScenario& s) {
        if (WithinBoxRange(s)) {
            all.push_back(s);
        }
    };
    for (double noise : {0.0, 1.0, 3.0, 5.0}) {
        for (Chemistry chem : {Chemistry::NiMH, Chemistry::NiCd}) {
            for (int cells : {1, 4, 8, 12}) {
                for (double rate : {0.05, 0.1, 0.25, 0.5, 1.0, 2.0, 3.0}) {
                    for (double initial : {0.0, 50.0, 100.0}) {
                        for (double age : {1.0, 0.6}) {
                            for (double rated : {0.0, 1.0, 0.5, 2.0}) {
                                add({chem, cells, rate, initial, age, rated, noise});
                            }
                        }
                    }
                }
            }
            // Packs that never show a drop, at every rate; pulled packs at many minutes; timed
            // charges, of full packs (to be ended early) and of empty ones (to run their time).
            for (int cells : {1, 4, 8}) {
                for (double rate : {0.05, 0.25, 0.5, 1.0, 1.5, 2.0, 3.0}) {
                    for (double initial : {0.0, 100.0}) {
                        for (double rated : {0.0, 1.0, 2.0}) {
                            add({chem, cells, rate, initial, 1.0, rated, noise, true});
                        }
                    }
                }
            }
            for (double minute : {2.0, 7.0, 30.0, 61.0, 95.0}) {
                for (double rate : {0.1, 1.0}) {
                    add({chem, 8, rate, 0.0, 1.0, 1.0, noise, false, minute});
                    add({chem, 4, rate, 50.0, 0.6, 0.0, noise, false, minute});
                }
            }
            for (double rate : {0.55, 1.0, 2.0}) {
                for (double rated : {0.0, 1.0}) {
                    add({chem, 8, rate, 100.0, 1.0, rated, noise, false, -1, 120});
                    add({chem, 4, rate, 100.0, 0.6, rated, noise, true, -1, 120});
                }
            }
            for (double rated : {0.0, 1.0}) {
                add({chem, 8, 0.1, 0.0, 1.0, rated, noise, false, -1, 14 * 60});
                add({chem, 8, 0.5, 0.0, 1.0, rated, noise, false, -1, 100});
            }
        }
    }
    // Packs without a rated capacity typed that the charge history has measured: the packs
    // that show no drop, and timed charges of full packs.
    for (double noise : {0.0, 1.0, 3.0, 5.0}) {
        for (Chemistry chem : {Chemistry::NiMH, Chemistry::NiCd}) {
            for (int cells : {4, 8}) {
                for (double rate : {0.25, 0.5, 1.0, 1.5, 2.0, 3.0}) {
                    for (double initial : {0.0, 100.0}) {
                        add({chem, cells, rate, initial, 1.0, kMeasured, noise, true});
                        add({chem, cells, rate, initial, 0.6, kMeasured, noise, true});
                    }
                    if (rate >= 0.5) {
                        add({chem, cells, rate, 100.0, 1.0, kMeasured, noise, false, -1, 120});
                    }
                }
            }
        }
    }
    return all;
}

// What the tests run: every tenth charge of the matrix (which still holds every axis), and
// every pulled pack and timed charge at the noisiest converter.
inline std::vector<LimitScenario> TestedLimitScenarios() {
    std::vector<LimitScenario> tested;
    size_t i = 0;
    for (const LimitScenario& s : AllLimitScenarios()) {
        if (i++ % 10 == 0 || (s.noise == 5.0 && (s.Pulled() || s.Timed())) ||
            (s.Measured() && s.noise == 3.0)) {
            tested.push_back(s);
        }
    }
    return tested;
}

// What a user would set for such a pack: a threshold of about 10 mV a cell for Ni-MH and
// 12.5 mV a cell for Ni-Cd, the default delay and sensitivity.
inline ChargeSettings ScenarioSettings(const LimitScenario& s) {
    ChargeSettings settings;
    settings.batteryType = s.chemistry == Chemistry::NiMH ? kBatteryNiMH : kBatteryNiCd;
    settings.chargeType = s.Timed() ? kTimedCharge : kPeakCharge;
    settings.timedHours = s.timedMinutes / 60;
    settings.timedMinutes = s.timedMinutes % 60;
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
    std::string maxVolts;  // the peak the record keeps
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
    options.noiseCounts = s.noise;
    // A seed of its own for every scenario, the same every run.
    uint32_t seed = 2166136261u;
    for (char c : s.Name()) {
        seed = (seed ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    options.seed = seed;
    auto owned = std::make_unique<SimulatedChargerBox>(options);
    SimulatedChargerBox* box = owned.get();
    auto previous = InstallPortDriver(std::move(owned));

    ChargeCycle cycle;
    cycle.SetSettings(ScenarioSettings(s));
    ChargeLimits limits;
    limits.ratedMah = s.Measured() ? 0 : static_cast<int>(kScenarioRatedMah * s.ratedFactor);
    cycle.SetLimits(limits);
    if (s.Measured()) {
        cycle.SetMeasuredCapacity(kScenarioRatedMah * s.age);
    }
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
    out.maxVolts = cycle.Texts().maxVolts;
    cycle.Stop();
    out.deliveredPercent = 100.0 * box->DeliveredMah() / box->TrueCapacityMah();
    out.finalPercent = box->StateOfChargePercent();
    out.showsDrop = box->DropShare() >= 1.0;
    out.chargerOff = box->DataRegister() == kChargerOff;
    cycle.Release();
    InstallPortDriver(std::move(previous));
    return out;
}
