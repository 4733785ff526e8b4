#include <gtest/gtest.h>

#include "charge/SampleHistory.h"
#include "settings/ChargeSettings.h"

namespace {

std::string Two(int v) {
    return TwoDigits(v);
}

// Adds a sample stamped h:m:s.
void Add(SampleHistory& history, float volts, float amps, int h, int m, int s, int delay = 10,
         int chargeType = 1) {
    ASSERT_TRUE(history.AddSample(volts, amps, Two(s), Two(m), Two(h), delay, chargeType));
}

int Complete(const SampleHistory& history, int h, int m, int s, const ChargeSettings& cs) {
    return history.IsChargeComplete(Two(s), Two(m), Two(h), cs.timedSeconds, cs.timedMinutes,
                                    cs.timedHours, cs.sensitivity, cs.delay, cs.threshold,
                                    cs.chargeType);
}

TEST(SampleHistory, TimedChargeCompletesPartByPart) {
    SampleHistory history;
    Add(history, 9.0f, 0.5f, 0, 0, 1);
    ChargeSettings timed{.timedMinutes = 1, .timedSeconds = 30, .chargeType = 2};
    struct Case {
        int h, m, s;
        int expected;
    };
    const Case cases[] = {
        {0, 1, 29, 0}, {0, 1, 30, 1}, {0, 1, 59, 1}, {0, 2, 0, 0},
        {0, 2, 29, 0}, {0, 2, 30, 1}, {1, 0, 30, 0}, {1, 1, 30, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Complete(history, c.h, c.m, c.s, timed), c.expected)
            << c.h << ":" << c.m << ":" << c.s;
    }
    ChargeSettings zero{.chargeType = 2};
    EXPECT_EQ(Complete(history, 0, 0, 0, zero), 1);
}

TEST(SampleHistory, PeakDetectionWaitsForTheDelay) {
    // A sample far below the peak: only the delay decides.
    SampleHistory flat;
    Add(flat, 0.0f, 0.0f, 0, 0, 0);
    flat.peakVoltage = 1.0f;
    struct Case {
        int delay;
        int h, m, s;
        int expected;
    };
    const Case cases[] = {
        {10, 0, 0, 9, 0},  {10, 0, 0, 10, 1}, {10, 0, 1, 0, 1}, {10, 1, 0, 5, 1},
        {60, 0, 0, 58, 0}, {60, 0, 0, 59, 1}, {5, 0, 0, 4, 0},  {5, 0, 0, 5, 1},
    };
    for (const Case& c : cases) {
        ChargeSettings peak{0, 0, 0, 2, 1, 8, c.delay, 10, 8, 0};
        EXPECT_EQ(Complete(flat, c.h, c.m, c.s, peak), c.expected)
            << "delay " << c.delay << " at " << c.h << ":" << c.m << ":" << c.s;
    }
    // Sensitivity 0 or less ends the charge as soon as detection is active.
    ChargeSettings none{.sensitivity = 0};
    flat.peakVoltage = 0.0f;
    EXPECT_EQ(Complete(flat, 0, 0, 10, none), 1);
    EXPECT_EQ(Complete(flat, 0, 0, 9, none), 0);
}

TEST(SampleHistory, CompletesWhenTheNewestSamplesStayBelowPeakMinusThreshold) {
    struct Case {
        const char* name;
        std::vector<float> newestLast;
        int expected;
    };
    std::vector<float> tenLow(10, 9.75f);
    std::vector<float> oneHigh = tenLow;
    oneHigh[4] = 9.76f;
    const Case cases[] = {
        {"ten at 9.75", tenLow, 1},
        {"one of ten at 9.76", oneHigh, 0},
        {"three samples judged as ten", {9.70f, 9.71f, 9.72f}, 1},
        {"oldest of three too high", {9.77f, 9.71f, 9.72f}, 0},
    };
    for (const Case& c : cases) {
        SampleHistory history;
        for (size_t i = 0; i < c.newestLast.size(); ++i) {
            Add(history, c.newestLast[i], 0.5f, 0, 5, static_cast<int>(i));
        }
        history.peakVoltage = 9.80f;
        ChargeSettings peak{.threshold = 5};
        EXPECT_EQ(Complete(history, 0, 5, 30, peak), c.expected) << c.name;
    }
}

TEST(SampleHistory, TracksThePeakAfterTheDelay) {
    SampleHistory history;
    Add(history, 9.0f, 0.5f, 0, 0, 10);  // first sample: nothing tracked
    EXPECT_EQ(history.peakVoltage, 0.0f);
    EXPECT_EQ(history.referenceCurrent, 0.0f);
    Add(history, 9.01f, 0.5f, 0, 0, 10);  // stamped at the delay: not yet tracked
    EXPECT_EQ(history.peakVoltage, 0.0f);
    Add(history, 9.02f, 0.5f, 0, 0, 11);  // first tracked sample
    EXPECT_FLOAT_EQ(history.peakVoltage, 9.02f);
    EXPECT_FLOAT_EQ(history.referenceCurrent, 0.5f);
    Add(history, 9.01f, 0.5f, 0, 0, 12);
    EXPECT_FLOAT_EQ(history.peakVoltage, 9.02f);
    // A timed charge tracks from the second sample whatever the delay.
    SampleHistory timed;
    Add(timed, 9.0f, 0.5f, 0, 0, 0, 10, 2);
    Add(timed, 9.1f, 0.5f, 0, 0, 1, 10, 2);
    EXPECT_FLOAT_EQ(timed.peakVoltage, 9.1f);
}

TEST(SampleHistory, ACurrentChangeRestartsThePeak) {
    struct Case {
        float newVolts;
        float previousCurrent;
        bool restarts;
    };
    const Case cases[] = {
        {9.0f, 0.53f, true},                         // 0.50 + 0.02 is below 0.53
        {12.5f, 0.52f, false},                       // 0.50 + 0.03 is not below 0.52
        {12.5f, 0.54f, true},  {9.0f, 0.45f, true},  // 0.50 - 0.04 is above 0.45
        {12.5f, 0.45f, false},                       // 0.50 - 0.1 is not above 0.45
    };
    for (const Case& c : cases) {
        SampleHistory history;
        Add(history, 8.0f, c.previousCurrent, 0, 1, 0);  // the first sample is never tracked
        history.referenceCurrent = 0.50f;
        history.peakVoltage = 13.0f;
        Add(history, c.newVolts, c.previousCurrent, 0, 1, 1);
        if (c.restarts) {
            EXPECT_FLOAT_EQ(history.savedPeakVoltage, 13.0f) << c.newVolts << c.previousCurrent;
            EXPECT_FLOAT_EQ(history.peakVoltage, history.sampleHead->next->voltage);
            EXPECT_FLOAT_EQ(history.referenceCurrent, c.previousCurrent);
        } else {
            EXPECT_FLOAT_EQ(history.peakVoltage, 13.0f) << c.newVolts << c.previousCurrent;
            EXPECT_FLOAT_EQ(history.referenceCurrent, 0.50f);
        }
    }
}

TEST(SampleHistory, RisingEdgesRaiseTheStoredSamples) {
    {
        SampleHistory history;
        Add(history, 9.00f, 0.5f, 0, 0, 1);
        Add(history, 9.00f, 0.5f, 0, 0, 2);
        Add(history, 9.05f, 0.5f, 0, 0, 3);  // 0.05 above both newest
        ChargeSample* head = history.sampleHead;
        EXPECT_FLOAT_EQ(head->next->voltage, 9.05f);
        EXPECT_FLOAT_EQ(head->next->next->voltage, 9.05f);
    }
    {
        SampleHistory history;
        Add(history, 9.04f, 0.5f, 0, 0, 1);
        Add(history, 9.00f, 0.5f, 0, 0, 2);
        Add(history, 9.05f, 0.5f, 0, 0, 3);  // above the newest only
        ChargeSample* head = history.sampleHead;
        EXPECT_FLOAT_EQ(head->next->voltage, 9.05f);
        EXPECT_FLOAT_EQ(head->next->next->voltage, 9.04f);
    }
    {
        // A current step raises the stored currents at once, but brings the saved peak back
        // only when it lasts: one reading of a noisy converter is no step.
        SampleHistory history;
        history.savedPeakVoltage = 11.5f;
        history.peakVoltage = 9.0f;
        Add(history, 9.0f, 0.50f, 0, 0, 1, 60);
        Add(history, 9.0f, 0.50f, 0, 0, 2, 60);
        Add(history, 9.0f, 0.60f, 0, 0, 3, 60);
        EXPECT_FLOAT_EQ(history.sampleHead->next->current, 0.60f);
        EXPECT_FLOAT_EQ(history.sampleHead->next->next->current, 0.60f);
        for (int s = 4; s < 3 + SampleHistory::kLastingSeconds; ++s) {
            EXPECT_FLOAT_EQ(history.peakVoltage, 9.0f) << s;
            Add(history, 9.0f, 0.60f, 0, 0, s, 60);
        }
        EXPECT_FLOAT_EQ(history.peakVoltage, 11.5f);
    }
}

TEST(SampleHistory, OnlyACurrentChangeThatLastsRestartsThePeak) {
    // Tracking from the start (delay 5), at 9 V: the band is +0.02 / -0.04 A around 0.50 A.
    struct Case {
        const char* name;
        std::vector<float> amps;  // after ten steady seconds at 0.50 A
        int restartsAt;           // the sample (1-based) whose arrival restarts the peak; 0: none
        float saved;              // the peak kept: a rise first brings back the saved one (none)
    };
    std::vector<float> noisy;
    for (int i = 0; i < 600; ++i) {
        noisy.push_back(i % 3 == 0 ? 0.56f : i % 3 == 1 ? 0.45f : 0.50f);
    }
    std::vector<float> nineHigh(9, 0.60f);
    nineHigh.push_back(0.50f);
    nineHigh.insert(nineHigh.end(), 9, 0.60f);
    const Case cases[] = {
        {"noise of 0.06 A either way", noisy, 0, 0},
        {"a step up that lasts", std::vector<float>(12, 0.60f), 10, 8.9f},
        {"a step down that lasts", std::vector<float>(12, 0.40f), 10, 9.5f},
        {"nine seconds up, one back, nine up", nineHigh, 0, 0},
        {"inside the band", std::vector<float>(30, 0.515f), 0, 0},
    };
    for (const Case& c : cases) {
        SampleHistory history;
        int second = 0;
        auto add = [&](float volts, float amps) {
            ++second;
            Add(history, volts, amps, 0, second / 60, second % 60, 5);
        };
        for (int i = 0; i < 10; ++i) {
            add(9.0f, 0.50f);
        }
        history.peakVoltage = 9.5f;  // a peak to lose
        int restarted = 0;
        for (size_t i = 0; i < c.amps.size() && restarted == 0; ++i) {
            add(8.9f, c.amps[i]);
            if (history.peakVoltage != 9.5f) {
                restarted = static_cast<int>(i) + 1;
            }
        }
        EXPECT_EQ(restarted, c.restartsAt) << c.name;
        if (c.restartsAt != 0) {
            EXPECT_FLOAT_EQ(history.peakVoltage, 8.9f) << c.name;
            EXPECT_FLOAT_EQ(history.savedPeakVoltage, c.saved) << c.name;
            EXPECT_NEAR(history.referenceCurrent, c.amps[0], 1e-6) << c.name;
        }
    }
}

TEST(SampleHistory, FreeingKeepsOnlyTheSavedPeak) {
    SampleHistory history;
    // A hundred hours of samples are freed one by one, without deep recursion.
    for (int i = 0; i < 360000; ++i) {
        ASSERT_TRUE(history.AddSample(9.0f, 0.5f, "1", "0", "0", 10, 2));
    }
    history.savedPeakVoltage = 9.5f;
    EXPECT_EQ(history.Count(), 360000u);
    EXPECT_EQ(history.FreeSamples(), 1);
    EXPECT_EQ(history.sampleHead, nullptr);
    EXPECT_EQ(history.peakVoltage, 0.0f);
    EXPECT_EQ(history.referenceCurrent, 0.0f);
    EXPECT_FLOAT_EQ(history.savedPeakVoltage, 9.5f);
    EXPECT_EQ(history.Count(), 0u);
}

TEST(SampleHistory, ASampleWithoutMemoryChangesNothing) {
    SampleHistory history;
    Add(history, 9.0f, 0.5f, 0, 0, 1);
    Add(history, 9.0f, 0.5f, 0, 0, 2);
    history.SetAllocator([]() -> ChargeSample* { return nullptr; });
    EXPECT_FALSE(history.AddSample(9.5f, 0.7f, "3", "0", "0", 10, 1));
    EXPECT_EQ(history.Count(), 2u);
    EXPECT_FLOAT_EQ(history.sampleHead->voltage, 9.0f);
    EXPECT_FLOAT_EQ(history.sampleHead->current, 0.5f);
}

TEST(SampleHistory, ClockTextsThatAreNotNumbersCountAsZero) {
    for (auto [text, value] : {std::pair{"07", 7}, {"123", 123}, {"", 0}, {"x", 0}, {"12x", 12}}) {
        EXPECT_EQ(ClockValue(text), value) << text;
    }
}

}  // namespace
