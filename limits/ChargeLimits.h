#pragma once
// The backup cut-offs behind the end-of-charge test. The negative delta-V is known to fail: at
// low rates a Ni-MH pack shows a flat top and no drop, an aged pack a weak one, and a pack
// pulled after the first minute leaves the charger on an open circuit. Each of these ends a
// charge that the peak test would let run on; none of them ends a charge that the peak test,
// the set time or the first-minute test ends first.

#include <cstdint>
#include <optional>
#include <string>

struct ChargeLimits {
    int32_t ratedMah = 0;  // the pack's rated capacity; 0: not known
    bool capacityOn = true;
    int32_t capacityPercent = 150;  // of the rated capacity (only while it is known)
    bool timerOn = true;
    int32_t timerMinutes = 0;  // peak charges; 0: automatic (see SafetyTimerSeconds)
    bool plateauOn = true;
    int32_t plateauMinutes = 30;  // peak charges: no rise for this long ends the charge
    bool removedOn = true;

    bool operator==(const ChargeLimits&) const = default;
};

inline constexpr ChargeLimits kDefaultLimits{};

// What the Charge Limits dialog accepts, and what a stored profile must hold to be used.
inline constexpr int kLeastRatedMah = 50, kMostRatedMah = 50000;
inline constexpr int kLeastCapacityPercent = 100, kMostCapacityPercent = 300;
inline constexpr int kShortestTimerMinutes = 10, kLongestTimerMinutes = 100 * 60;
inline constexpr int kShortestPlateauMinutes = 5, kLongestPlateauMinutes = 120;
// The field whose value is outside its range, or nothing when every value is sensible.
std::optional<std::string> FieldOutsideRange(const ChargeLimits& limits);

// A pack's limits as one profile value: "rated capacityOn percent timerOn minutes plateauOn
// minutes removedOn", for example "2000 1 150 1 0 1 30 1" (spaces: the profile would read
// commas as a list).
std::string FormatPackLimits(const ChargeLimits& limits);
// False for a text that is not eight whole numbers in that form.
bool ParsePackLimits(const std::string& text, ChargeLimits& limits);

// The automatic safety timer: the time to deliver 160 % of the rated capacity at the average
// current so far; 16 hours while the capacity is not known.
inline constexpr double kTimerCapacityShare = 1.6;
inline constexpr int kUnknownCapacityTimerSeconds = 16 * 3600;
// A battery that reads as the charger's open circuit for this long ends the charge.
inline constexpr int kRemovedSeconds = 5;
// The voltage plateau: the mean of each minute of measurements; the voltage still rises while
// a minute's mean comes out this much a cell above the highest so far.
inline constexpr int kPlateauBlockSeconds = 60;
inline constexpr double kPlateauRiseVoltsPerCell = 0.0005;

enum class Backup { None, Capacity, Time, Plateau, Removed };

// One measurement as the backups see it.
struct BackupTick {
    int32_t elapsedSeconds;  // the clock when the measurement was taken
    double deliveredMah;     // the charge delivered so far
    float volts;
    bool openCircuit;  // the voltage reads as the charger with no battery on it
    bool timed;        // a timed charge: only the capacity and removal limits apply
    int32_t cells;     // the charge properties' number of cells
    int32_t delay;     // the peak detection delay: the plateau is not judged before it
};

class BackupCutoffs {
public:
    void SetLimits(const ChargeLimits& limits) { m_limits = limits; }
    const ChargeLimits& Limits() const { return m_limits; }
    // A new charge: nothing seen yet.
    void Reset();
    // Judges one measurement; the first limit reached, or Backup::None.
    Backup Judge(const BackupTick& tick);

    // Where the limits stand, for the graph: the safety timer's time and the capacity
    // cut-off's time at the present average current (seconds since the start; 0: not in force
    // or not yet known).
    int32_t TimerSeconds() const { return m_timerSeconds; }
    int32_t CapacitySeconds() const { return m_capacitySeconds; }
    // Seconds the voltage has not risen (peak charges, from the first minute judged).
    int32_t SecondsWithoutRise() const { return m_secondsWithoutRise; }

private:
    ChargeLimits m_limits;
    int32_t m_removedFor = 0;
    double m_blockSum = 0.0;
    int32_t m_blockCount = 0;
    std::optional<double> m_highest;
    int32_t m_highestAt = 0;
    int32_t m_secondsWithoutRise = 0;
    int32_t m_timerSeconds = 0;
    int32_t m_capacitySeconds = 0;
};
