// The graph's arithmetic: tick values a reader can trust, zoom and pan that stay on the charge, and
// what the cursors read off the samples.

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "curves/GraphScale.h"

namespace {

// 1, 2 or 5 times a power of ten.
bool IsOneTwoFive(double step) {
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    return std::abs(mantissa - 1) < 1e-6 || std::abs(mantissa - 2) < 1e-6 ||
           std::abs(mantissa - 5) < 1e-6;
}

double SecondsOf(const std::string& clock) {
    int h = 0, m = 0, s = 0;
    const int read = std::sscanf(clock.c_str(), "%d:%d:%d", &h, &m, &s);
    return read >= 2 ? h * 3600.0 + m * 60.0 + (read == 3 ? s : 0) : -1;
}

}  // namespace

TEST(GraphScale, TicksAreNiceIncreasingAndNeverLabelledTwice) {
    struct Case {
        double low, high;
        int most;
    } const cases[] = {
        {13.2, 13.4, 6},  {13.2, 13.4, 12}, {0, 0.02, 5},        {0, 1.3, 6},     {-0.2, 1.3, 6},
        {9.41, 15.53, 8}, {0.0, 3.1, 4},    {11.995, 12.005, 7}, {-3.0, -1.0, 5}, {0, 250000, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.low << ".." << c.high << " at most " << c.most);
        const AxisTicks ticks = ValueTicks(c.low, c.high, c.most);
        EXPECT_TRUE(IsOneTwoFive(ticks.step)) << ticks.step;
        ASSERT_GE(ticks.values.size(), 2u);
        EXPECT_LE(ticks.values.size(), size_t(c.most) + 1);
        EXPECT_EQ(std::set<std::string>(ticks.labels.begin(), ticks.labels.end()).size(),
                  ticks.labels.size());
        for (size_t i = 0; i < ticks.values.size(); ++i) {
            EXPECT_GE(ticks.values[i], c.low - 1e-9);
            EXPECT_LE(ticks.values[i], c.high + 1e-9);
            // The label says the value, to well within a step.
            EXPECT_NEAR(std::stod(ticks.labels[i]), ticks.values[i], ticks.step / 100)
                << ticks.labels[i];
            if (i > 0) {
                EXPECT_GT(std::stod(ticks.labels[i]), std::stod(ticks.labels[i - 1]));
            }
        }
    }
    EXPECT_EQ(ValueTicks(0, 0.02, 5).labels.front(), "0.000");
    EXPECT_EQ(ValueTicks(-0.2, 1.3, 6).labels.front(), "0.0");  // not "-0.0"
    EXPECT_TRUE(ValueTicks(1, 1, 5).values.empty());
}

TEST(GraphScale, TimeTicksShowSecondsWhenTheyMatter) {
    struct Case {
        double from, to;
        int most;
        bool seconds;  // labels in h:mm:ss
    } const cases[] = {
        {0, 8, 8, true},          {0, 60, 8, true},          {0, 75, 6, true},
        {1800, 1830, 8, true},    {0, 3600, 8, false},       {0, 2 * 3600 + 23 * 60, 8, false},
        {0, 10 * 3600, 8, false}, {0, 100 * 3600, 8, false}, {35990, 36010, 4, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << ".." << c.to);
        const AxisTicks ticks = TimeTicks(c.from, c.to, c.most);
        ASSERT_GE(ticks.values.size(), 2u);
        EXPECT_LE(ticks.values.size(), size_t(c.most) + 1);
        EXPECT_EQ(std::set<std::string>(ticks.labels.begin(), ticks.labels.end()).size(),
                  ticks.labels.size());
        for (size_t i = 0; i < ticks.values.size(); ++i) {
            EXPECT_EQ(std::count(ticks.labels[i].begin(), ticks.labels[i].end(), ':'),
                      c.seconds ? 2 : 1)
                << ticks.labels[i];
            EXPECT_EQ(SecondsOf(ticks.labels[i]), ticks.values[i]) << ticks.labels[i];
            EXPECT_TRUE(i == 0 || ticks.values[i] > ticks.values[i - 1]);
        }
    }
    EXPECT_EQ(TimeTicks(0, 100 * 3600, 8).labels.back(), "100:00");
}

TEST(GraphScale, ZoomKeepsThePointerStillAndPanStaysOnTheCharge) {
    const TimeSpan whole{0, 36000};
    // Zoom in around 9:00:00 from the whole: 9:00:00 stays at the same share of the width.
    TimeSpan shown = ZoomTime(whole, whole, 32400, 0.5);
    EXPECT_DOUBLE_EQ(shown.Length(), 18000);
    EXPECT_DOUBLE_EQ((32400 - shown.from) / shown.Length(), 0.9);
    // Out again: never beyond the whole charge.
    EXPECT_DOUBLE_EQ(ZoomTime(shown, whole, 100, 4).from, 0);
    EXPECT_DOUBLE_EQ(ZoomTime(shown, whole, 100, 4).to, 36000);
    // In far: no shorter than the shortest span, still holding the pointer's time.
    shown = ZoomTime(whole, whole, 20000, 1e-9);
    EXPECT_DOUBLE_EQ(shown.Length(), kShortestShownSeconds);
    EXPECT_TRUE(shown.from <= 20000 && shown.to >= 20000);
    // Near the end, zooming keeps the shown time inside the charge.
    shown = ZoomTime({30000, 36000}, whole, 36000, 0.5);
    EXPECT_DOUBLE_EQ(shown.to, 36000);
    // Panning stops at both ends and keeps the length.
    EXPECT_DOUBLE_EQ(PanTime({1000, 2000}, whole, -5000).from, 0);
    EXPECT_DOUBLE_EQ(PanTime({1000, 2000}, whole, 99999).to, 36000);
    EXPECT_DOUBLE_EQ(PanTime({1000, 2000}, whole, 99999).Length(), 1000);
    EXPECT_DOUBLE_EQ(PanTime({1000, 2000}, whole, 250).from, 1250);
}

TEST(GraphScale, CursorsReadTheChargeDeliveredBetweenThem) {
    // An hour at 1 A, then half an hour at 0.5 A with a lost stretch of 10 s, the voltage rising
    // a millivolt a second.
    std::vector<CurvePoint> points;
    for (int t = 1; t <= 5400; ++t) {
        if (t > 4000 && t < 4010) {
            continue;
        }
        points.push_back({t, float(12.0 + t * 0.001), t <= 3600 ? 1.0f : 0.5f});
    }
    struct Case {
        double a, b;
        double seconds, volts, mah;
    } const cases[] = {
        // 1800 s at 1 A is 500 mAh.
        {1800, 3600, 1800, 1.8, 500.0},
        {3600, 1800, 1800, 1.8, 500.0},  // placed the other way round
        // Across the change and the gap: 400 s at 1 A, 1800 s at 0.5 A.
        {3200, 5400, 2200, 2.2, (400 * 1.0 + 1800 * 0.5) / 3.6},
        // Between samples: the nearest ones.
        {1799.6, 1800.4, 0, 0, 0},
        {0, 1e9, 5399, 5.399, (3599 * 1.0 + 1800 * 0.5) / 3.6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << " to " << c.b);
        const CursorSpan between = BetweenCursors(points, c.a, c.b);
        EXPECT_DOUBLE_EQ(between.seconds, c.seconds);
        EXPECT_NEAR(between.voltsChange, c.volts, 1e-3);
        EXPECT_NEAR(between.mah, c.mah, 1e-6);
    }
    EXPECT_EQ(BetweenCursors({}, 0, 10).mah, 0);
}

// The voltage axis follows the packs' readings: a failed charge's open circuit (20 V, no current)
// is left out beside them, a pack of many cells charging at those voltages is not, and a failed
// charge shown alone still has an axis.
TEST(GraphScale, TheVoltageAxisLeavesOutReadingsOfNoPack) {
    const std::vector<CurvePoint> pack = {{60, 11.0f, 1.0f}, {3600, 13.5f, 1.0f}};
    const std::vector<CurvePoint> openCircuit = {{1, 20.0f, 0.0f}, {3, 20.0f, 0.01f}};
    const std::vector<CurvePoint> noCharger = {{1, 0.0f, 0.0f}, {3, 25.0f, 0.0f}};
    const std::vector<CurvePoint> manyCells = {{60, 18.0f, 1.0f}, {3600, 19.5f, 1.0f}};
    struct Case {
        const char* name;
        std::vector<std::vector<CurvePoint>> curves;
        double lowest, highest;  // the pack readings the axis must show
        double most;             // the highest the axis may reach
    };
    const Case cases[] = {
        {"pack alone", {pack}, 11.0, 13.5, 14.0},
        {"pack and an open circuit", {pack, openCircuit}, 11.0, 13.5, 14.0},
        {"open circuit first", {openCircuit, pack}, 11.0, 13.5, 14.0},
        {"pack and no charger", {pack, noCharger}, 11.0, 13.5, 14.0},
        {"many cells", {manyCells, openCircuit}, 18.0, 19.5, 20.0},
        {"open circuit alone", {openCircuit}, 20.0, 20.0, 21.0},
    };
    for (const Case& c : cases) {
        std::vector<std::span<const CurvePoint>> spans(c.curves.begin(), c.curves.end());
        const GraphRanges r = WholeRanges(spans, EndTestState{}, false);
        EXPECT_FALSE(r.empty) << c.name;
        EXPECT_LE(r.lowVolts, c.lowest) << c.name;
        EXPECT_GE(r.highVolts, c.highest) << c.name;
        EXPECT_LE(r.highVolts, c.most) << c.name;
    }
}
