#pragma once
// A model of the charger box at the port level, so that every line of the program runs
// unchanged without the hardware: the serial converter reacts to the clock (D2) and start (D3)
// lines exactly as a conversion drives them and shifts its bits out on status bit 6, taking its
// two inputs in turn; the charger charges whenever the data register is not 255. Behind it, a
// constant-current charger feeds a Ni-MH or Ni-Cd pack through a 1.2 ohm sense resistor.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

#include "platform/PortDriver.h"

enum class Chemistry { NiMH, NiCd };
enum class BoxFault { None, NoCharger, NoBattery };

struct SimOptions {
    Chemistry chemistry = Chemistry::NiMH;
    int cells = 8;
    double capacityMah = 2000.0;
    double currentA = 1.0;
    double initialChargePercent = 0.0;
    // Simulated seconds per wall-clock second; the program's one-second ticks follow it (see
    // TickMilliseconds), so the clock shows the charge as a real box would see it.
    double speed = 60.0;
    BoxFault fault = BoxFault::None;
    double removeMinute = -1.0;  // minutes of charging after which the pack is pulled; < 0: never
    double noiseCounts = 1.0;    // standard deviation of the converter noise
    double age = 1.0;            // fraction of the rated capacity the pack still holds
    bool noPeak = false;         // a pack that never shows the drop after its peak
    uint32_t seed = 1;
    bool steppedTime = false;  // time moves only by AdvanceSeconds (tests, benchmarks)
};

// Parses "chem=nimh,cells=8,...": the text after "sim:". Returns false with a message naming the
// bad part.
bool ParseSimOptions(const std::string& text, SimOptions& options, std::string& error);

// The shortest tick the program's timers keep to on the simulated box: speeds above
// 1000 / this run at that.
inline constexpr int kFastestTickMilliseconds = 10;

class SimulatedChargerBox final : public PortDriver {
public:
    explicit SimulatedChargerBox(const SimOptions& options = {});

    void Write(uint32_t port, uint8_t value) override;
    uint8_t Read(uint32_t port) override;
    void EmergencyOff() noexcept override;
    std::string Description() const override;
    bool IsSimulated() const override { return true; }
    // The program's tick: a thousand milliseconds divided by the speed, in whole milliseconds,
    // never under kFastestTickMilliseconds (the box then runs at 1000 / that exactly).
    int TickMilliseconds() const override;

    // Moves simulated time on; in wall-clock mode time also moves by itself.
    void AdvanceSeconds(double seconds);

    // Fixes what the two converter inputs see (volts), for tests of the measurement path.
    void SetInputVoltages(double inputA, double inputB);

    uint8_t DataRegister() const { return m_data.load(); }
    bool ChargerOn() const { return m_data.load() != kChargerOff; }
    double DeliveredMah() const;
    double StateOfChargePercent() const;
    double PackVoltage() const;  // terminal voltage of the pack at the present current
    bool PackConnected() const;
    const SimOptions& Options() const { return m_options; }

    // Terminal volts per cell at a 1C charge for a state of charge (fraction of capacity).
    static double CellVoltageAt1C(Chemistry chemistry, double fraction);
    // How much of the 1C drop after the peak a pack shows at a charge rate (C = amps per amp
    // hour of what the pack holds): all of it from a brisk rate on, nothing at a slow one,
    // where the voltage stays flat at its peak.
    static double DropShare(Chemistry chemistry, double rateC);
    // The charge rate, in C, of what this pack still holds; and the share of the drop it shows.
    double RateC() const;
    double DropShare() const;
    // What the pack still holds, in mAh (the rated capacity times the age).
    double TrueCapacityMah() const;

private:
    double CurrentNow() const;  // amps through the sense resistor
    double InputVolts(int channel) const;
    int Sample(int channel);
    void SyncWallClock();
    void Integrate(double seconds);
    double CellVoltage(double fraction) const;

    SimOptions m_options;
    std::atomic<uint8_t> m_data{kChargerOff};

    // Converter state.
    int m_nextChannel = 0;
    unsigned m_shift = 0;
    int m_fallingEdges = -1;  // -1: no conversion started yet
    bool m_out = false;

    // Charger and pack.
    double m_chargeMah = 0.0;
    double m_deliveredMah = 0.0;
    double m_chargingSeconds = 0.0;
    std::optional<std::pair<double, double>> m_fixedInputs;

    std::mt19937 m_random;
    std::normal_distribution<double> m_noise{0.0, 1.0};
    std::chrono::steady_clock::time_point m_wallMark;
};
