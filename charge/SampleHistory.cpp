#include "charge/SampleHistory.h"

#include "settings/ChargeSettings.h"

#include <algorithm>
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
// The steady current is the mean of at most this many measurements, so that it follows a slow
// drift of the charger's current.
constexpr int kSteadyMeanSamples = 64;

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
            }
        }
        if (volts - kRisingEdgeStep > head->voltage) {
            head->voltage = volts;
        }
        if (amps - kRisingEdgeStep > head->current) {
            head->current = amps;
        }
    }
    // A rise of the charge current brings back the peak it had before the current fell; judged
    // on the steady current, as a single noisy reading would otherwise throw the peak away.
    if (FollowCurrent(amps, volts) > kRisingEdgeStep) {
        peakVoltage = savedPeakVoltage;
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
        referenceCurrent = m_steady;
        return true;
    }
    float rise = kRiseBelowSplit;
    float fall = kFallBelowSplit;
    if (!(node->voltage < kVoltageSplit)) {
        rise = kRiseFromSplit;
        fall = kFallFromSplit;
    }
    // A change of the charge current changes the voltage too: the peak restarts from there.
    if (referenceCurrent + rise < m_steady || referenceCurrent - fall > m_steady) {
        savedPeakVoltage = peakVoltage;
        peakVoltage = prev->voltage;
        referenceCurrent = m_steady;
    }
    return true;
}

float SampleHistory::FollowCurrent(float amps, float volts) {
    m_steadyChanged = false;
    if (m_steadySamples == 0) {
        m_steady = amps;
        m_steadySamples = 1;
        return 0.0f;
    }
    // The same tolerance band as the peak rules: narrower for packs under the voltage split.
    const bool low = volts < kVoltageSplit;
    const float rise = low ? kRiseBelowSplit : kRiseFromSplit;
    const float fall = low ? kFallBelowSplit : kFallFromSplit;
    const int direction = amps > m_steady + rise ? 1 : amps < m_steady - fall ? -1 : 0;
    if (direction == 0) {
        m_pendingDirection = 0;
        m_pendingCount = 0;
        m_pendingSum = 0.0f;
        m_steadySamples = std::min(m_steadySamples + 1, kSteadyMeanSamples);
        m_steady += (amps - m_steady) / static_cast<float>(m_steadySamples);
        return 0.0f;
    }
    if (direction != m_pendingDirection) {
        m_pendingDirection = direction;
        m_pendingCount = 0;
        m_pendingSum = 0.0f;
    }
    m_pendingSum += amps;
    if (++m_pendingCount < kLastingSeconds) {
        return 0.0f;
    }
    const float before = m_steady;
    m_steady = m_pendingSum / static_cast<float>(m_pendingCount);
    m_steadySamples = m_pendingCount;
    m_pendingDirection = 0;
    m_pendingCount = 0;
    m_pendingSum = 0.0f;
    m_steadyChanged = true;
    return m_steady - before;
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
    m_steady = 0.0f;
    m_steadySamples = 0;
    m_pendingDirection = 0;
    m_pendingCount = 0;
    m_pendingSum = 0.0f;
    m_steadyChanged = false;
    return 1;
}
