#pragma once
// The samples of a charge cycle, newest first, with the peak tracking that the end-of-charge
// test judges against.

#include <cstddef>
#include <string>

struct ChargeSample {
    float voltage;
    float current;
    int seconds;
    int minutes;
    int hours;
    ChargeSample* next;
};

// The charge time at a sample, in seconds.
inline int ElapsedSeconds(const ChargeSample& s) {
    return s.hours * 3600 + s.minutes * 60 + s.seconds;
}

// The clock's texts as numbers: a plain decimal conversion, leading zeros allowed, and 0 for a
// text that is not a number.
int ClockValue(const std::string& text);

class SampleHistory {
public:
    SampleHistory() = default;
    SampleHistory(const SampleHistory&) = delete;
    SampleHistory& operator=(const SampleHistory&) = delete;
    ~SampleHistory() { FreeSamples(); }

    // Returns false, storing nothing, when no memory could be had for the sample; the caller
    // must not go on charging with a hole in the history.
    bool AddSample(float volts, float amps, const std::string& seconds, const std::string& minutes,
                   const std::string& hours, int delay, int chargeType);
    int IsChargeComplete(const std::string& seconds, const std::string& minutes,
                         const std::string& hours, int timedSeconds, int timedMinutes,
                         int timedHours, int sensitivity, int delay, int threshold,
                         int chargeType) const;
    int FreeSamples();

    size_t Count() const { return m_count; }

    // The charge current as the peak rules judge it: it follows the measured current only when a
    // change lasts kLastingSeconds in a row beyond the tolerance band, so that converter noise
    // neither restarts the peak nor brings a saved one back. Between changes, the mean of the
    // measurements since the last one.
    float SteadyCurrent() const { return m_steady; }
    // Whether the last sample completed a lasting change of the current.
    bool CurrentChanged() const { return m_steadyChanged; }
    static constexpr int kLastingSeconds = 10;

    // Where new samples come from; tests replace it to see what happens when memory runs out.
    using Allocator = ChargeSample* (*)();
    void SetAllocator(Allocator allocate) { m_allocate = allocate; }

    ChargeSample* sampleHead = nullptr;
    float peakVoltage = 0.0f;
    float savedPeakVoltage = 0.0f;
    float referenceCurrent = 0.0f;

private:
    static ChargeSample* AllocateSample();
    // Folds one measurement into the steady current; returns how far it moved (0: no change).
    float FollowCurrent(float amps, float volts);

    Allocator m_allocate = &AllocateSample;
    size_t m_count = 0;

    float m_steady = 0.0f;
    int m_steadySamples = 0;  // measurements the steady current is the mean of (capped)
    int m_pendingDirection = 0;  // +1 above the band, -1 below it, 0 inside
    int m_pendingCount = 0;
    float m_pendingSum = 0.0f;
    bool m_steadyChanged = false;
};
