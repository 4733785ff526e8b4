#include "hardware/SimulatedChargerBox.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "hardware/Converter.h"
#include "hardware/Measure.h"

namespace {

constexpr uint8_t kClockLine = kConverterClock;
constexpr uint8_t kStartLine = kConverterStart;
constexpr uint8_t kStatusDataHigh = kConverterOutput;
constexpr uint8_t kStatusFloating = 0x7F;  // no box on the port: every input reads high
constexpr double kSenseOhms = 1.2;
constexpr double kOpenCircuitVolts = 20.0;
// Voltage across a cell's internal and lead resistance at a 1C charge; at 1C the pack drops
// about this much per cell the moment the current stops.
constexpr double kCellIrAt1C = 0.09;
constexpr int kMaxCount = 4095;

struct CurvePoint {
    double fraction;
    double volts;
};

// Ni-MH at 1C, volts per cell at the charger terminals: quick rise, plateau, steeper rise, a
// peak at about 107 % of capacity, then the fall as the pack warms.
const std::vector<CurvePoint> kNiMHCurve = {
    {0.000, 1.430}, {0.016, 1.447}, {0.084, 1.459}, {0.167, 1.466}, {0.333, 1.477},
    {0.500, 1.491}, {0.667, 1.515}, {0.750, 1.533}, {0.834, 1.556}, {0.916, 1.582},
    {1.000, 1.605}, {1.071, 1.611}, {1.117, 1.609}, {1.153, 1.605},
};
constexpr double kNiMHFallPerCapacity = 0.09;

// Ni-Cd peaks lower and falls faster after the peak.
const std::vector<CurvePoint> kNiCdCurve = {
    {0.000, 1.370}, {0.020, 1.390}, {0.100, 1.400}, {0.300, 1.410}, {0.500, 1.420}, {0.700, 1.440},
    {0.800, 1.460}, {0.900, 1.480}, {1.000, 1.510}, {1.050, 1.525}, {1.100, 1.512}, {1.150, 1.500},
};
constexpr double kNiCdFallPerCapacity = 0.25;
constexpr double kLowestCellVolts = 1.30;
// Where each curve peaks (fraction of capacity).
constexpr double kNiMHPeakFraction = 1.071;
constexpr double kNiCdPeakFraction = 1.05;

// The drop after the peak comes from the pack warming once it is full, so it needs a brisk
// rate: Ni-MH shows its full drop (5-10 mV a cell) from 0.5C on and none below about 0.25C,
// Ni-Cd, whose drop is larger, from 0.35C and none below 0.15C. In between it shrinks evenly.
struct DropOnset {
    double noneBelowC;
    double fullFromC;
};
constexpr DropOnset kNiMHDrop{0.25, 0.5};
constexpr DropOnset kNiCdDrop{0.15, 0.35};

double Interpolate(const std::vector<CurvePoint>& curve, double fallPerCapacity, double f) {
    if (f <= curve.front().fraction) {
        return curve.front().volts;
    }
    for (size_t i = 1; i < curve.size(); ++i) {
        if (f <= curve[i].fraction) {
            const CurvePoint& a = curve[i - 1];
            const CurvePoint& b = curve[i];
            return a.volts + (b.volts - a.volts) * (f - a.fraction) / (b.fraction - a.fraction);
        }
    }
    const CurvePoint& last = curve.back();
    return std::max(kLowestCellVolts, last.volts - fallPerCapacity * (f - last.fraction));
}

bool ParseNumber(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    // The decimal point whatever the user's locale: sim:current=0.7 means the same everywhere.
    const char* end = text.c_str() + text.size();
    auto result = std::from_chars(text.c_str(), end, value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

}  // namespace

bool ParseSimOptions(const std::string& text, SimOptions& options, std::string& error) {
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        if (item.empty()) {
            continue;
        }
        size_t eq = item.find('=');
        std::string key = item.substr(0, eq);
        std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
        double number = 0.0;
        bool ok = true;
        if (key == "chem") {
            if (value == "nimh") {
                options.chemistry = Chemistry::NiMH;
            } else if (value == "nicd") {
                options.chemistry = Chemistry::NiCd;
            } else {
                ok = false;
            }
        } else if (key == "peak") {
            if (value == "none") {
                options.noPeak = true;
            } else if (value == "normal") {
                options.noPeak = false;
            } else {
                ok = false;
            }
        } else if (key == "fault") {
            if (value == "none") {
                options.fault = BoxFault::None;
            } else if (value == "no-charger") {
                options.fault = BoxFault::NoCharger;
            } else if (value == "no-battery") {
                options.fault = BoxFault::NoBattery;
            } else {
                ok = false;
            }
        } else if (!ParseNumber(value, number)) {
            ok = false;
        } else if (key == "cells" && number >= 1 && number <= 20) {
            options.cells = static_cast<int>(number);
        } else if (key == "capacity" && number > 0) {
            options.capacityMah = number;
        } else if (key == "current" && number >= 0 && number <= 10) {
            options.currentA = number;
        } else if (key == "charge" && number >= 0 && number <= 200) {
            options.initialChargePercent = number;
        } else if (key == "speed" && number > 0) {
            options.speed = number;
        } else if (key == "remove") {
            options.removeMinute = number;
        } else if (key == "age" && number > 0 && number <= 1) {
            options.age = number;
        } else if (key == "noise" && number >= 0) {
            options.noiseCounts = number;
        } else if (key == "seed" && number >= 0) {
            options.seed = static_cast<uint32_t>(number);
        } else {
            ok = false;
        }
        if (!ok) {
            error = "the simulated charger does not understand \"" + item +
                    "\" (options: chem=nimh|nicd, cells=, capacity=, current=, charge=, speed=, "
                    "fault=none|no-charger|no-battery, remove=, age=, peak=normal|none, noise=, "
                    "seed=)";
            return false;
        }
    }
    return true;
}

SimulatedChargerBox::SimulatedChargerBox(const SimOptions& options)
    : m_options(options),
      m_chargeMah(options.capacityMah * options.age * options.initialChargePercent / 100.0),
      m_random(options.seed),
      m_wallMark(std::chrono::steady_clock::now()) {
    // The box's time runs exactly as fast as the program's ticks can follow.
    if (!m_options.steppedTime) {
        m_options.speed = 1000.0 / TickMilliseconds();
    }
}

int SimulatedChargerBox::TickMilliseconds() const {
    if (m_options.steppedTime) {
        return kRealTickMilliseconds;
    }
    const long tick = std::lround(1000.0 / m_options.speed);
    return static_cast<int>(std::clamp<long>(tick, kFastestTickMilliseconds, 3600L * 1000));
}

double SimulatedChargerBox::TrueCapacityMah() const {
    return m_options.capacityMah * m_options.age;
}

double SimulatedChargerBox::RateC() const {
    return m_options.currentA / (TrueCapacityMah() / 1000.0);
}

double SimulatedChargerBox::DropShare(Chemistry chemistry, double rateC) {
    const DropOnset onset = chemistry == Chemistry::NiMH ? kNiMHDrop : kNiCdDrop;
    return std::clamp((rateC - onset.noneBelowC) / (onset.fullFromC - onset.noneBelowC), 0.0, 1.0);
}

double SimulatedChargerBox::DropShare() const {
    return m_options.noPeak ? 0.0 : DropShare(m_options.chemistry, RateC());
}

double SimulatedChargerBox::CellVoltage(double fraction) const {
    const double at1C = CellVoltageAt1C(m_options.chemistry, fraction);
    const double share = DropShare();
    const double peakFraction =
        m_options.chemistry == Chemistry::NiMH ? kNiMHPeakFraction : kNiCdPeakFraction;
    if (share >= 1.0 || fraction <= peakFraction) {
        return at1C;
    }
    const double peak = CellVoltageAt1C(m_options.chemistry, peakFraction);
    return peak - share * (peak - at1C);
}

std::string SimulatedChargerBox::Description() const {
    return "simulated charger";
}

double SimulatedChargerBox::CellVoltageAt1C(Chemistry chemistry, double fraction) {
    return chemistry == Chemistry::NiMH ? Interpolate(kNiMHCurve, kNiMHFallPerCapacity, fraction)
                                        : Interpolate(kNiCdCurve, kNiCdFallPerCapacity, fraction);
}

bool SimulatedChargerBox::PackConnected() const {
    if (m_options.fault == BoxFault::NoBattery) {
        return false;
    }
    return m_options.removeMinute < 0 || m_chargingSeconds < m_options.removeMinute * 60.0;
}

double SimulatedChargerBox::CurrentNow() const {
    return ChargerOn() && PackConnected() ? m_options.currentA : 0.0;
}

double SimulatedChargerBox::PackVoltage() const {
    if (!PackConnected()) {
        return ChargerOn() ? kOpenCircuitVolts : 0.0;
    }
    double fraction = m_chargeMah / TrueCapacityMah();
    // The cells' resistance stays what it was when new, whatever capacity they lost.
    double oneC = m_options.capacityMah / 1000.0;
    double cell = CellVoltage(fraction) - kCellIrAt1C + kCellIrAt1C * CurrentNow() / oneC;
    return cell * m_options.cells;
}

double SimulatedChargerBox::InputVolts(int channel) const {
    double pack = PackVoltage();
    // Input 0 sits on the charger's side of the sense resistor, input 1 on the pack's.
    return channel == 0 ? pack + CurrentNow() * kSenseOhms : pack;
}

int SimulatedChargerBox::Sample(int channel) {
    double volts = m_fixedInputs ? (channel == 0 ? m_fixedInputs->first : m_fixedInputs->second)
                                 : InputVolts(channel);
    double counts = (volts + kCountOffsetVolts) / kVoltsPerCount;
    if (m_options.noiseCounts > 0 && !m_fixedInputs) {
        counts += m_noise(m_random) * m_options.noiseCounts;
    }
    return std::clamp(static_cast<int>(std::lround(counts)), 0, kMaxCount);
}

void SimulatedChargerBox::Integrate(double seconds) {
    while (seconds > 0) {
        double step = seconds;
        if (ChargerOn() && PackConnected() && m_options.removeMinute >= 0) {
            // End the step exactly where the pack is pulled; connected means time is left.
            step = std::min(step, m_options.removeMinute * 60.0 - m_chargingSeconds);
        }
        double mah = CurrentNow() * step / 3.6;
        m_chargeMah += mah;
        m_deliveredMah += mah;
        if (ChargerOn()) {
            m_chargingSeconds += step;
        }
        seconds -= step;
    }
}

void SimulatedChargerBox::SyncWallClock() {
    if (m_options.steppedTime) {
        return;
    }
    auto now = std::chrono::steady_clock::now();
    double elapsed = std::chrono::duration<double>(now - m_wallMark).count();
    m_wallMark = now;
    Integrate(elapsed * m_options.speed);
}

void SimulatedChargerBox::AdvanceSeconds(double seconds) {
    SyncWallClock();
    Integrate(seconds);
}

void SimulatedChargerBox::SetInputVoltages(double inputA, double inputB) {
    m_fixedInputs = std::make_pair(inputA, inputB);
}

void SimulatedChargerBox::Write(uint32_t port, uint8_t value) {
    if (port != kDataPort) {
        return;
    }
    uint8_t previous = m_data.load();
    bool switching = (previous == kChargerOff) != (value == kChargerOff);
    bool starting = !(previous & kStartLine) && (value & kStartLine) && (value & kClockLine);
    if (switching || starting) {
        SyncWallClock();  // the time so far ran with the old charger state
    }
    m_data.store(value);

    if (starting) {
        // The converter latches the input it is on and takes the other one next time.
        m_shift = static_cast<unsigned>(Sample(m_nextChannel)) << 1;
        m_nextChannel ^= 1;
        m_fallingEdges = 0;
        m_out = false;
    } else if ((previous & kClockLine) && !(value & kClockLine) && m_fallingEdges >= 0) {
        // One bit per falling clock edge; the first edge after the start shifts nothing out.
        ++m_fallingEdges;
        int bitIndex = m_fallingEdges - 1;  // 1-based position of the bit in the read order
        m_out = bitIndex >= 1 && bitIndex <= 16 && ((m_shift >> (16 - bitIndex)) & 1u);
    }
}

uint8_t SimulatedChargerBox::Read(uint32_t port) {
    if (port == kDataPort) {
        return m_data.load();
    }
    if (port != kStatusPort) {
        return 0;
    }
    if (m_options.fault == BoxFault::NoCharger) {
        return kStatusFloating;
    }
    return m_out ? kStatusDataHigh : 0;
}

void SimulatedChargerBox::EmergencyOff() noexcept {
    m_data.store(kChargerOff);
}

double SimulatedChargerBox::DeliveredMah() const {
    return m_deliveredMah;
}
double SimulatedChargerBox::StateOfChargePercent() const {
    return 100.0 * m_chargeMah / TrueCapacityMah();
}
