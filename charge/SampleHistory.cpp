#include "charge/SampleHistory.h"

#include "settings/ChargeSettings.h"

#include <climits>
#include <new>

namespace {
constexpr float kRisingEdgeStep = 0.03f;
constexpr double kRisingEdgeStepWide = 0.03;
constexpr float kVoltageSplit = 12.2f;
constexpr float kRiseBelowSplit = 0.02f;
constexpr float kFallBelowSplit = 0.04f;
constexpr float kRiseFromSplit = 0.03f;
constexpr float kFallFromSplit = 0.1f;
constexpr double kThresholdUnit = 0.01;
constexpr int kLastSecond = 59;  // the clock's seconds never reach 60

int EffectiveDelay(int delay) {
    return delay == kLongestDelay ? kLastSecond : delay;
}
}  // namespace

int ClockValue(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) {
            value = INT_MAX;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

ChargeSample* SampleHistory::AllocateSample() {
    return new (std::nothrow) ChargeSample;
}

bool SampleHistory::AddSample(float volts, float amps, const std::string& seconds,
                              const std::string& minutes, const std::string& hours, int delay,
                              int chargeType) {
    const int d = EffectiveDelay(delay);
    ChargeSample* node = m_allocate();
    if (node == nullptr) {
        return false;
    }
    ChargeSample* head = sampleHead;
    if (head != nullptr) {
        // A step up raises the stored samples, so that a sudden rise is not later read as a
        // fall from a peak.
        if (ChargeSample* before = head->next) {
            if (volts - kRisingEdgeStep > head->voltage &&
                static_cast<double>(volts) - kRisingEdgeStepWide >
                    static_cast<double>(before->voltage)) {
                head->voltage = volts;
                before->voltage = volts;
            }
            if (amps - kRisingEdgeStep > head->current &&
                static_cast<double>(amps) - kRisingEdgeStepWide >
                    static_cast<double>(before->current)) {
                head->current = amps;
                before->current = amps;
                peakVoltage = savedPeakVoltage;
            }
        }
        if (volts - kRisingEdgeStep > head->voltage) {
            head->voltage = volts;
        }
        if (amps - kRisingEdgeStep > head->current) {
            head->current = amps;
            peakVoltage = savedPeakVoltage;
        }
    }
    *node = ChargeSample{volts, amps, ClockValue(seconds), ClockValue(minutes), ClockValue(hours),
                         head};
    sampleHead = node;
    ++m_count;

    ChargeSample* prev = node->next;
    bool tracking =
        node->seconds > d || node->hours != 0 || node->minutes != 0 || chargeType == kTimedCharge;
    if (prev == nullptr || !tracking) {
        return true;
    }
    if (node->voltage > peakVoltage) {
        peakVoltage = node->voltage;
    }
    if (referenceCurrent == 0.0f) {
        referenceCurrent = node->current;
        return true;
    }
    float rise = kRiseBelowSplit;
    float fall = kFallBelowSplit;
    if (!(node->voltage < kVoltageSplit)) {
        rise = kRiseFromSplit;
        fall = kFallFromSplit;
    }
    // A change of the charge current changes the voltage too: the peak restarts from there.
    if (referenceCurrent + rise < prev->current || referenceCurrent - fall > prev->current) {
        savedPeakVoltage = peakVoltage;
        peakVoltage = prev->voltage;
        referenceCurrent = node->current;
    }
    return true;
}

int SampleHistory::IsChargeComplete(const std::string& seconds, const std::string& minutes,
                                    const std::string& hours, int timedSeconds, int timedMinutes,
                                    int timedHours, int sensitivity, int delay, int threshold,
                                    int chargeType) const {
    const int s = ClockValue(seconds);
    const int m = ClockValue(minutes);
    const int h = ClockValue(hours);
    if (chargeType == kTimedCharge) {
        return h >= timedHours && s >= timedSeconds && m >= timedMinutes ? 1 : 0;
    }
    const int d = EffectiveDelay(delay);
    const float limit = static_cast<float>(peakVoltage - threshold * kThresholdUnit);
    if (!(h != 0 || m != 0 || s >= d)) {
        return 0;
    }
    if (sensitivity <= 0) {
        return 1;
    }
    const ChargeSample* node = sampleHead;
    for (int step = 0; step < sensitivity && node != nullptr; ++step) {
        if (node->voltage > limit) {
            return 0;
        }
        if (node->next != nullptr) {
            node = node->next;
        }
    }
    return 1;
}

int SampleHistory::FreeSamples() {
    // One node at a time: a hundred-hour history holds 360,000 of them.
    ChargeSample* node = sampleHead;
    while (node != nullptr) {
        ChargeSample* next = node->next;
        delete node;
        node = next;
    }
    sampleHead = nullptr;
    m_count = 0;
    peakVoltage = 0.0f;
    referenceCurrent = 0.0f;
    return 1;
}
