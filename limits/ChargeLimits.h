#pragma once
// The backup cut-offs behind the end-of-charge test. The negative delta-V is known to fail: at
// low rates a Ni-MH pack shows a flat top and no drop, an aged pack a weak one, a pack pulled
// after the first minute leaves the charger on an open circuit, and a converter's noise is as
// large as one cell's drop. Each of these ends a charge that the peak test would let run on, and
// a timed charge of a pack that is clearly full already; with steady current and little noise,
// none of them ends a charge that the peak test, the set time or the first-minute test ends
// first. The mean voltage they watch also tells the peak test whether its peak is real.

#include <cstdint>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

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
// current so far; 24 hours while the capacity is not known (a charge at 0.05C takes 21).
inline constexpr double kTimerCapacityShare = 1.6;
inline constexpr int kUnknownCapacityTimerSeconds = 24 * 3600;
// A battery that reads as the charger's open circuit for this long ends the charge.
inline constexpr int kRemovedSeconds = 5;

// The voltage plateau (zero delta-V). The voltage of a charging pack keeps rising; a full pack
// with no drop stays flat. Flat means: over a window of block means (kBlockSeconds each), the
// newer half's mean is less than a threshold above the older half's. The window scales with the
// charge rate, so that a flat top is overcharged by about the same share of the pack at every
// rate: the time to deliver kPlateauCapacityShare of the rated capacity at the measured current,
// or, with the capacity unknown, that of the largest pack (kLargestPackMah), and once the pack
// has shown the steep rise before full kPlateauElapsedShare of the charge time so far if that is
// shorter; never longer than the limit's minutes, never shorter than kShortestPlateauSeconds.
// The threshold is
// kFlatVoltsPerCell a cell, or more where the rate is known (below). Noise lengthens the window,
// up to kLongestNoiseShare of it, until a true flat shows (the threshold kSeeFlatSigmas of the
// halves' noise) and a rising pack cannot look flat (its least rise kFlatNoiseSigmas of that
// noise above the threshold).
inline constexpr int kBlockSeconds = 20;
inline constexpr double kFlatVoltsPerCell = 0.00025;
inline constexpr double kPlateauCapacityShare = 0.06;
inline constexpr double kPlateauElapsedShare = 0.10;
inline constexpr int kShortestPlateauSeconds = 120;
inline constexpr double kFlatNoiseSigmas = 3.0;
inline constexpr double kSeeFlatSigmas = 1.5;
inline constexpr double kLongestNoiseShare = 1.5;
// Where the charge rate is known (the rated capacity, or the steep rise), flat is judged against
// the least rise a charging pack shows: kSlowestRiseVoltsPerCell for each capacity delivered
// (the slow middle of a Ni-Cd curve), flat under kFlatShareOfRise of that rise between the
// window's halves. With the capacity unknown, a pack at its steep rise is taken to have had at
// least kLeastShareBeforeSteep of its capacity since the start.
inline constexpr double kSlowestRiseVoltsPerCell = 0.040;
inline constexpr double kFlatShareOfRise = 0.3;
inline constexpr double kLeastShareBeforeSteep = 0.3;
// Flat this many blocks in a row: the rounded top of a peak is flat for a moment only.
inline constexpr int kFlatJudgements = 3;
// A fall slower than this many times kFlatVoltsPerCell between the halves still counts as flat:
// a pack charged at a rate that shows only a share of the drop falls that slowly.
inline constexpr double kSlowFallFactor = 4.0;
// ... unless the mean has already fallen by this share of the threshold from its peak: a full
// drop begins slowly too, and is the drop tests' to end.
inline constexpr double kDropTestsShare = 0.2;
// With the capacity unknown, the rise that shows a pack nearing full: this many times
// kFlatVoltsPerCell between the halves of the shortest window, and kAccelerationFactor times
// the rise of the window before it (an empty pack also rises steeply at first, but ever more
// slowly).
inline constexpr double kSteepFactor = 8.0;
inline constexpr double kAccelerationFactor = 1.5;
// The negative delta-V judged on the mean of the last kSmoothSeconds readings: a drop of the
// threshold from the highest such mean. It backs up the single readings' test, and tells a
// peak that noise made from one that is there: the single readings' end is taken only once the
// means have fallen by kConfirmShare of the threshold, and by more than kNoiseSigmas of their
// difference's noise (the fall from the highest of many means to the lowest passes four sigmas
// by noise alone within hours).
inline constexpr int kSmoothSeconds = 60;
inline constexpr double kConfirmShare = 0.5;
inline constexpr double kNoiseSigmas = 6.0;
// Windows are at least this many times the longest step of a reading that barely moves.
inline constexpr double kStepsInWindow = 3.0;
// A timed charge is ended early once it is clearly charging a full pack: its voltage has peaked
// and fallen by the threshold, or has gone flat at kBriskRateC or more of its rated capacity.
inline constexpr double kBriskRateC = 0.5;
// With no capacity known, the rate is bounded from below all the same: no Ni-Cd or Ni-MH pack
// holds much more than kLargestPackMah (a D cell), so a current of I charges at I / 10 Ah or
// more, and the plateau's window is never longer than the time to deliver kPlateauCapacityShare
// of such a pack (at 1 A the limit's 30 minutes hold; at 6 A, six minutes). A timed charge says
// more: its time is set to put in about kTimedChargeShare of what the pack holds (the standard
// charge: 14 hours at 0.1C), so the set time gives the capacity the window and "brisk" judge by.
inline constexpr double kLargestPackMah = 10000.0;
inline constexpr double kTimedChargeShare = 1.4;
// An open circuit carries no current: a reading counts as one only under kOpenCircuitAmps or
// under kOpenCircuitShare of the steady charge current, whichever is more. A pack of many cells
// reads inside the open-circuit voltages while it is being charged.
inline constexpr double kOpenCircuitShare = 0.3;
inline constexpr double kOpenCircuitAmps = 0.05;
bool IsOpenCircuitCurrent(double amps, double steadyAmps);

enum class Backup { None, Capacity, Time, Plateau, Removed, Drop, FullTimed };

// One measurement as the backups see it.
struct BackupTick {
    int32_t elapsedSeconds;  // the clock when the measurement was taken
    double deliveredMah;     // the charge delivered so far
    float volts;
    bool openCircuit;  // the voltage reads as the charger with no battery on it, and no current
    bool timed;        // a timed charge: the capacity and removal limits, and a full pack
    int32_t timedSeconds = 0;  // a timed charge's set time
    int32_t cells;     // the charge properties' number of cells
    int32_t delay;     // the peak detection delay: the plateau is not judged before it
    double thresholdVolts = 0.0;  // the charge properties' threshold
    bool currentChanged = false;  // the charge current changed lastingly: the peak starts anew
};

// The voltage curve as the backups judge it: the noise of a single reading, the mean of the
// last kSmoothSeconds readings and its highest value since the peak last started, and the means
// of kBlockSeconds blocks.
class CurveWatch {
public:
    // One reading; judged: past the start, so that the highest mean counts and the blocks are
    // the plateau's.
    void Add(float volts, bool judged, bool restart);
    // The standard deviation of one reading (volts), from successive differences.
    double Noise() const;
    // The fall of the mean from its highest, or nothing while the mean is not yet whole.
    std::optional<double> Drop() const;
    // The noise of Drop's means.
    double SmoothedNoise() const;
    // Block means: all of them, and those since the first judged reading.
    size_t Blocks() const { return m_blockMeans.size(); }
    size_t JudgedBlocks() const {
        return m_firstJudgedBlock == SIZE_MAX ? 0 : m_blockMeans.size() - m_firstJudgedBlock;
    }
    // The newer half's mean less the older half's, over `blocks` block means that end
    // `before` blocks before the newest.
    double Rise(size_t blocks, size_t before = 0) const;
    // The longest stretch of readings that did not change, among those that ended (seconds):
    // a converter with little noise steps from one count to the next, and a window shorter
    // than a step sees no rise.
    int32_t LongestStep() const { return m_longestRun; }

private:
    std::vector<float> m_ring = std::vector<float>(kSmoothSeconds);
    int m_ringCount = 0;
    size_t m_ringNext = 0;
    double m_ringSum = 0.0;
    std::optional<double> m_smoothedPeak;
    double m_smoothedNow = 0.0;
    std::optional<float> m_last;
    double m_diffSquares = 0.0;
    int64_t m_diffs = 0;
    double m_blockSum = 0.0;
    int32_t m_blockCount = 0;
    std::vector<float> m_blockMeans;
    size_t m_firstJudgedBlock = SIZE_MAX;
    int32_t m_run = 0;
    int32_t m_longestRun = 0;
};

class BackupCutoffs {
public:
    void SetLimits(const ChargeLimits& limits) { m_limits = limits; }
    const ChargeLimits& Limits() const { return m_limits; }
    // What the pack holds as its own charges measured it (the charge history's estimate; 0:
    // not known). Where no rated capacity is typed, it sets the rate the plateau's window and a
    // timed charge's "brisk" are judged by, in place of the rated capacity. The capacity
    // cut-off and the safety timer stay with what the user typed.
    void SetMeasuredCapacity(double mah) { m_measuredMah = mah > 0 ? mah : 0; }
    // A new charge: nothing seen yet.
    void Reset();
    // Judges one measurement; the first limit reached, or Backup::None.
    Backup Judge(const BackupTick& tick);
    // Whether the means agree that the voltage has fallen from a peak (see kConfirmShare).
    bool PeakConfirmed(double thresholdVolts) const;

    // Where the limits stand, for the graph: the safety timer's time and the capacity
    // cut-off's time at the present average current (seconds since the start; 0: not in force
    // or not yet known).
    int32_t TimerSeconds() const { return m_timerSeconds; }
    int32_t CapacitySeconds() const { return m_capacitySeconds; }
    // The plateau's window in force (seconds; 0 before it is judged).
    int32_t PlateauWindowSeconds() const { return m_plateauWindow * kBlockSeconds; }
    const CurveWatch& Curve() const { return m_curve; }

private:
    // Whether the voltage has gone flat over the window the rate and noise call for.
    bool Flat(const BackupTick& tick, double mahPerSecond);
    // With no capacity known, the most the pack can hold as far as the rate goes (see
    // kLargestPackMah).
    static double MostCapacity(const BackupTick& tick, double mahPerSecond);

    // The capacity the rate is judged against: the rated one, else the measured one; 0: neither.
    double RateCapacity() const;

    ChargeLimits m_limits;
    double m_measuredMah = 0;
    CurveWatch m_curve;
    int32_t m_removedFor = 0;
    int32_t m_timerSeconds = 0;
    int32_t m_capacitySeconds = 0;
    int32_t m_plateauWindow = 0;
    size_t m_judgedBlocks = 0;
    int32_t m_flatFor = 0;  // blocks in a row the window was flat
    bool m_steepSeen = false;
};
