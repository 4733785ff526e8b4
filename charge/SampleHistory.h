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

    // Where new samples come from; tests replace it to see what happens when memory runs out.
    using Allocator = ChargeSample* (*)();
    void SetAllocator(Allocator allocate) { m_allocate = allocate; }

    ChargeSample* sampleHead = nullptr;
    float peakVoltage = 0.0f;
    float savedPeakVoltage = 0.0f;
    float referenceCurrent = 0.0f;

private:
    static ChargeSample* AllocateSample();
    Allocator m_allocate = &AllocateSample;
    size_t m_count = 0;
};
