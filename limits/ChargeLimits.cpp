#include "limits/ChargeLimits.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace {
constexpr int kFirstMinute = 60;
constexpr int kPackLimitFields = 8;

bool In(int value, int low, int high) {
    return value >= low && value <= high;
}
}  // namespace

std::optional<std::string> FieldOutsideRange(const ChargeLimits& l) {
    if (l.ratedMah != 0 && !In(l.ratedMah, kLeastRatedMah, kMostRatedMah)) {
        return "Rated capacity";
    }
    if (!In(l.capacityPercent, kLeastCapacityPercent, kMostCapacityPercent)) {
        return "Capacity cut-off";
    }
    if (l.timerMinutes != 0 && !In(l.timerMinutes, kShortestTimerMinutes, kLongestTimerMinutes)) {
        return "Safety timer";
    }
    if (!In(l.plateauMinutes, kShortestPlateauMinutes, kLongestPlateauMinutes)) {
        return "Voltage plateau";
    }
    return std::nullopt;
}

std::string FormatPackLimits(const ChargeLimits& l) {
    auto on = [](bool b) { return b ? "1" : "0"; };
    return std::to_string(l.ratedMah) + " " + on(l.capacityOn) + " " +
           std::to_string(l.capacityPercent) + " " + on(l.timerOn) + " " +
           std::to_string(l.timerMinutes) + " " + on(l.plateauOn) + " " +
           std::to_string(l.plateauMinutes) + " " + on(l.removedOn);
}

bool ParsePackLimits(const std::string& text, ChargeLimits& limits) {
    // A hand-edited profile may hold anything here: only short, plain numbers are read.
    if (text.size() > 64) {
        return false;
    }
    std::vector<int> values;
    const char* p = text.data();
    const char* end = p + text.size();
    while (values.size() <= kPackLimitFields) {
        int value = 0;
        auto [next, ec] = std::from_chars(p, end, value);
        if (ec != std::errc() || (next != end && *next != ' ')) {
            return false;
        }
        values.push_back(value);
        if (next == end) {
            break;
        }
        p = next + 1;
    }
    auto flag = [](int v, bool& out) {
        out = v == 1;
        return v == 0 || v == 1;
    };
    ChargeLimits l;
    if (values.size() != kPackLimitFields || !flag(values[1], l.capacityOn) ||
        !flag(values[3], l.timerOn) || !flag(values[5], l.plateauOn) ||
        !flag(values[7], l.removedOn)) {
        return false;
    }
    l.ratedMah = values[0];
    l.capacityPercent = values[2];
    l.timerMinutes = values[4];
    l.plateauMinutes = values[6];
    limits = l;
    return true;
}

bool IsOpenCircuitCurrent(double amps, double steadyAmps) {
    return amps < std::max(kOpenCircuitAmps, kOpenCircuitShare * steadyAmps);
}

void CurveWatch::Add(float volts, bool judged, bool restart) {
    // A step of more than this between two readings is the pack's own (a current change, a
    // pull), not the converter's noise.
    constexpr double kLargestNoiseStep = 0.1;
    if (m_last) {
        const double d = static_cast<double>(volts) - *m_last;
        if (std::fabs(d) < kLargestNoiseStep) {
            m_diffSquares += d * d;
            ++m_diffs;
        }
        if (d != 0.0) {
            if (judged) {
                m_longestRun = std::max(m_longestRun, m_run);
            }
            m_run = 0;
        }
        ++m_run;
    }
    m_last = volts;
    if (restart) {
        // The voltage moved with the current: the means start anew from here.
        m_ringCount = 0;
        m_ringSum = 0.0;
        m_smoothedPeak.reset();
    }
    if (m_ringCount == kSmoothSeconds) {
        m_ringSum -= m_ring[m_ringNext];
    } else {
        ++m_ringCount;
    }
    m_ring[m_ringNext] = volts;
    m_ringSum += volts;
    m_ringNext = (m_ringNext + 1) % m_ring.size();
    if (m_ringCount == kSmoothSeconds) {
        m_smoothedNow = m_ringSum / kSmoothSeconds;
        if (judged && (!m_smoothedPeak || m_smoothedNow > *m_smoothedPeak)) {
            m_smoothedPeak = m_smoothedNow;
        }
    }
    if (judged && m_firstJudgedBlock == SIZE_MAX) {
        // The blocks before are the start's; the plateau judges from a whole block on.
        m_blockSum = 0.0;
        m_blockCount = 0;
        m_firstJudgedBlock = m_blockMeans.size();
    }
    m_blockSum += volts;
    if (++m_blockCount == kBlockSeconds) {
        m_blockMeans.push_back(static_cast<float>(m_blockSum / m_blockCount));
        m_blockSum = 0.0;
        m_blockCount = 0;
    }
}

double CurveWatch::Noise() const {
    return m_diffs > 0 ? std::sqrt(m_diffSquares / static_cast<double>(m_diffs) / 2.0) : 0.0;
}

std::optional<double> CurveWatch::Drop() const {
    if (!m_smoothedPeak || m_ringCount < kSmoothSeconds) {
        return std::nullopt;
    }
    return *m_smoothedPeak - m_smoothedNow;
}

double CurveWatch::SmoothedNoise() const {
    // The difference of two means, each of kSmoothSeconds readings.
    return Noise() * std::sqrt(2.0 / kSmoothSeconds);
}

double CurveWatch::Rise(size_t blocks, size_t before) const {
    const size_t half = blocks / 2;
    const size_t n = m_blockMeans.size() - before;
    double older = 0.0;
    double newer = 0.0;
    for (size_t i = 0; i < half; ++i) {
        newer += m_blockMeans[n - 1 - i];
        older += m_blockMeans[n - 1 - half - i];
    }
    return (newer - older) / static_cast<double>(half);
}

void BackupCutoffs::Reset() {
    const ChargeLimits limits = m_limits;
    const double measured = m_measuredMah;
    *this = BackupCutoffs();
    m_limits = limits;
    m_measuredMah = measured;
}

bool BackupCutoffs::PeakConfirmed(double thresholdVolts) const {
    const std::optional<double> drop = m_curve.Drop();
    return drop && *drop >= std::max(kConfirmShare * thresholdVolts,
                                     kNoiseSigmas * m_curve.SmoothedNoise());
}

double BackupCutoffs::RateCapacity() const {
    return m_limits.ratedMah > 0 ? m_limits.ratedMah : m_measuredMah;
}

double BackupCutoffs::MostCapacity(const BackupTick& t, double mahPerSecond) {
    if (t.timed && t.timedSeconds > 0) {
        return std::min(kLargestPackMah, mahPerSecond * t.timedSeconds / kTimedChargeShare);
    }
    return kLargestPackMah;
}

bool BackupCutoffs::Flat(const BackupTick& t, double mahPerSecond) {
    // Judged once a block, when its mean is complete.
    if (m_curve.Blocks() == m_judgedBlocks) {
        return m_flatFor >= kFlatJudgements;
    }
    m_judgedBlocks = m_curve.Blocks();
    const ChargeLimits& l = m_limits;
    const int cells = std::max(1, t.cells);
    const double cap = l.plateauMinutes * 60.0;
    const double noise = m_curve.Noise();
    // The noise of the difference of a window's halves.
    auto riseNoise = [&](double seconds) { return noise * std::sqrt(4.0 / seconds); };
    // Whole blocks, an even number of them, at least the shortest window.
    auto blocks = [&](double seconds) {
        seconds = std::max(seconds, static_cast<double>(kShortestPlateauSeconds));
        // (A window of a whole number of blocks, worked out from a rate, may come out a hair
        // over it; it stays that number of blocks.)
        size_t b = static_cast<size_t>(std::ceil(std::min(seconds, 1e9) / kBlockSeconds - 1e-6));
        return b + b % 2;
    };
    // The least a charging pack rises between a window's halves: the slowest rise of the
    // charge curves over the share of the capacity the window's half delivers. Nothing when
    // the share is not known.
    double sharePerSecond = 0.0;  // of the capacity, delivered each second
    double window = 0.0;
    // The window is the largest pack's (see MostCapacity), shorter than the limit's minutes.
    bool bounded = false;
    if (const double capacity = RateCapacity(); capacity > 0 && mahPerSecond > 0) {
        sharePerSecond = mahPerSecond / capacity;
        window = std::min(cap, kPlateauCapacityShare / sharePerSecond);
    } else {
        // With the rate unknown, a short flat stretch may be the slow middle of a slow charge:
        // the window is the largest pack's, and the elapsed share only once the pack has shown
        // the steep rise that comes before full.
        // The steep rise is a rate: looked for over longer windows too, where noise hides it
        // in the shortest. The threshold stays the flat one: the most the pack can hold bounds
        // the window, not the rise a pack that holds less shows.
        window = mahPerSecond > 0
                     ? std::min(cap, kPlateauCapacityShare * MostCapacity(t, mahPerSecond) /
                                         mahPerSecond)
                     : cap;
        bounded = window < cap;
        const size_t shortest = blocks(kShortestPlateauSeconds);
        for (size_t k = 1; k <= 8 && !m_steepSeen; k *= 2) {
            const size_t w = shortest * k;
            if (m_curve.JudgedBlocks() < 2 * w) {
                break;
            }
            const double seconds = static_cast<double>(w) * kBlockSeconds;
            const double margin = kNoiseSigmas * riseNoise(seconds);
            const double now = m_curve.Rise(w);
            const double before = m_curve.Rise(w, w);
            m_steepSeen =
                now >= kSteepFactor * kFlatVoltsPerCell * cells * static_cast<double>(k) + margin &&
                now >= kAccelerationFactor * std::max(0.0, before) + margin;
        }
        if (m_steepSeen && t.elapsedSeconds > 0) {
            // A pack at its steep rise has had at least kLeastShareBeforeSteep of its capacity
            // since the start.
            sharePerSecond = kLeastShareBeforeSteep / t.elapsedSeconds;
            window = std::min(window, kPlateauElapsedShare * t.elapsedSeconds);
        }
    }
    auto expectedRise = [&](double seconds) {
        return kSlowestRiseVoltsPerCell * cells * sharePerSecond * seconds / 2.0;
    };
    auto threshold = [&](double seconds) {
        return std::max(kFlatVoltsPerCell * cells, kFlatShareOfRise * expectedRise(seconds));
    };
    // Long enough that noise neither hides a true flat for long (the threshold kSeeFlatSigmas
    // of the halves' noise) nor makes a rising pack look flat (the expected rise
    // kFlatNoiseSigmas above the threshold, where it is known).
    size_t n = blocks(std::max(window, kStepsInWindow * m_curve.LongestStep()));
    // Noise lengthens the window, but never past kLongestNoiseShare of it: a pack too noisy to
    // tell flat from rising is rather ended a little early than overcharged for hours.
    const size_t longest = blocks(kLongestNoiseShare * window);
    for (int i = 0; i < 64 && n < longest; ++i) {
        const double seconds = static_cast<double>(n) * kBlockSeconds;
        const double sigma = riseNoise(seconds);
        const double flat = threshold(seconds);
        const bool seesFlat = flat >= kSeeFlatSigmas * sigma;
        const bool seesRise =
            sharePerSecond == 0.0 || expectedRise(seconds) - flat >= kFlatNoiseSigmas * sigma;
        if (seesFlat && seesRise) {
            break;
        }
        n = std::min(longest, blocks(seconds * 1.25));
    }
    m_plateauWindow = static_cast<int32_t>(n);
    if (m_curve.JudgedBlocks() < n) {
        m_flatFor = 0;
        return false;
    }
    // Not rising, and not falling faster than a pack with only a share of the drop does (a
    // clear fall is the drop tests' to judge), several blocks in a row, so that the rounded top
    // of a peak does not count.
    const double seconds = static_cast<double>(n) * kBlockSeconds;
    double flat = threshold(seconds);
    if (bounded) {
        // A window too short to see a flat through the noise judges flat and rising by turns,
        // never three in a row, and a pack of few cells ran on for hours: flat within the
        // noise is flat. (A pack charged at this rate or faster rises far more than that.)
        flat = std::max(flat, kSeeFlatSigmas * riseNoise(seconds));
    }
    const double rise = m_curve.Rise(n);
    bool isFlat = rise < flat && rise > -kSlowFallFactor * flat;
    if (isFlat && rise < -flat) {
        // Falling: a pack that shows only a share of the drop falls this slowly for hours, but a
        // full drop also begins slowly. Once the mean has fallen by kDropTestsShare of the
        // threshold, the drop tests end the charge.
        isFlat = m_curve.Drop().value_or(0.0) < kDropTestsShare * t.thresholdVolts;
    }
    m_flatFor = isFlat ? m_flatFor + 1 : 0;
    return m_flatFor >= kFlatJudgements;
}

Backup BackupCutoffs::Judge(const BackupTick& t) {
    const ChargeLimits& l = m_limits;
    // Average current so far, in mAh a second (nothing yet in the very first second).
    const double mahPerSecond = t.elapsedSeconds > 0 ? t.deliveredMah / t.elapsedSeconds : 0.0;
    auto secondsToDeliver = [&](double mah) {
        return mahPerSecond > 0 ? static_cast<int32_t>(std::min(mah / mahPerSecond, 1e9)) : 0;
    };

    // The voltage curve from the end of the first minute (the longest delay ends within it):
    // the switch-on step is over by then. An open-circuit reading is no voltage of the pack.
    const bool judged = t.elapsedSeconds >= std::max(kFirstMinute, t.delay);
    if (!t.openCircuit) {
        m_curve.Add(t.volts, judged, t.currentChanged);
    }

    // The first minute is the disconnection test's; after it, an open circuit ends the charge.
    if (l.removedOn && t.openCircuit && t.elapsedSeconds >= kFirstMinute) {
        if (++m_removedFor >= kRemovedSeconds) {
            return Backup::Removed;
        }
    } else {
        m_removedFor = 0;
    }

    m_capacitySeconds = 0;
    if (l.capacityOn && l.ratedMah > 0) {
        const double limitMah = l.ratedMah * l.capacityPercent / 100.0;
        m_capacitySeconds = secondsToDeliver(limitMah);
        if (t.deliveredMah >= limitMah) {
            return Backup::Capacity;
        }
    }

    // A clear fall of the mean voltage from its peak: the pack is full.
    const std::optional<double> drop = m_curve.Drop();
    const bool fallen =
        judged && drop &&
        *drop >= std::max(t.thresholdVolts, kNoiseSigmas * m_curve.SmoothedNoise());

    if (t.timed) {
        m_timerSeconds = 0;
        if (!judged) {
            return Backup::None;
        }
        // A timed charge runs its time, unless it is clearly charging a full pack: fallen, or
        // flat at a brisk rate (with the capacity unknown, a rate that showed the steep rise
        // before full within the shortest window, or that its set time says is brisk).
        const bool flat = Flat(t, mahPerSecond);
        const double capacity =
            RateCapacity() > 0 ? RateCapacity() : MostCapacity(t, mahPerSecond);
        const bool brisk = mahPerSecond * 3600.0 >= kBriskRateC * capacity || m_steepSeen;
        if (fallen || (brisk && flat)) {
            return Backup::FullTimed;
        }
        return Backup::None;
    }

    if (!l.timerOn) {
        m_timerSeconds = 0;
    } else if (l.timerMinutes > 0) {
        m_timerSeconds = l.timerMinutes * 60;
    } else if (l.ratedMah > 0) {
        m_timerSeconds = secondsToDeliver(l.ratedMah * kTimerCapacityShare);
    } else {
        m_timerSeconds = kUnknownCapacityTimerSeconds;
    }
    if (m_timerSeconds > 0 && t.elapsedSeconds >= m_timerSeconds) {
        return Backup::Time;
    }
    if (!judged) {
        return Backup::None;
    }
    if (fallen) {
        return Backup::Drop;
    }
    if (l.plateauOn && Flat(t, mahPerSecond)) {
        return Backup::Plateau;
    }
    return Backup::None;
}
