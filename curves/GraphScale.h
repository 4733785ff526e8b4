#pragma once
// The arithmetic of the Charge Graph, kept out of the widget: tick values and their labels, the
// ranges that show a whole charge, zooming and panning in time, and what the two cursors read.

#include <span>
#include <string>
#include <vector>

#include "curves/ChargeCurve.h"

// Ticks of an axis and their labels, lowest first; no label appears twice.
struct AxisTicks {
    double step = 0;
    std::vector<double> values;
    std::vector<std::string> labels;
};

// Values at a step of 1, 2 or 5 × 10^n, at most `most` steps over [low, high], labelled with as
// many decimals as the step needs.
AxisTicks ValueTicks(double low, double high, int most);

// Seconds since the start at a step of 1, 2, 5, 10, 15, 30 s, 1, 2, 5, 10, 15, 30 min, 1, 2, 3,
// 6, 12 h (then 1, 2, 5 × 10^n hours), labelled h:mm, or h:mm:ss when the step is under a minute.
AxisTicks TimeTicks(double from, double to, int most);

// "1:02:03", or "1:02" without the seconds.
std::string ClockText(double seconds, bool withSeconds);

struct TimeSpan {
    double from = 0;
    double to = 0;
    double Length() const { return to - from; }
};

// The shortest stretch of time the graph zooms in to.
inline constexpr double kShortestShownSeconds = 10;

// Zooms by factor (under 1: in) keeping the time `at` where it is on the screen, never beyond the
// whole charge or shorter than kShortestShownSeconds.
TimeSpan ZoomTime(TimeSpan shown, TimeSpan whole, double at, double factor);
// Moves the shown time by `seconds`, staying inside the whole.
TimeSpan PanTime(TimeSpan shown, TimeSpan whole, double seconds);

// What the axes cover to show the curves whole. The voltage takes the upper part of the plot and
// the current the lower, so the usual 1 A never runs through the peak lines.
// A reading that is no pack's voltage: the voltage of a charger on an open circuit, or of no
// charger, and no current flowing (a pack of many cells charging at those voltages carries it).
bool IsDisconnectedReading(const CurvePoint& point);
// Whether every reading of a curve is one (the log of a charge that found no pack).
bool AllDisconnected(std::span<const CurvePoint> points);

struct GraphRanges {
    TimeSpan time{0, 60};
    double lowVolts = 0, highVolts = 1;
    double lowAmps = 0, highAmps = 1;
    bool empty = true;  // no curve at all
};
// curves: this charge first, then the past ones; the end test's lines and the backups' times are
// taken in when the charge has points. The voltage axis leaves out the readings of a charger on
// an open circuit or of no charger at all (see IsDisconnectedReading) while any curve has a
// pack's reading: a failed charge's 20 V squeezed every real curve into a tenth of the height.
GraphRanges WholeRanges(std::span<const std::span<const CurvePoint>> curves,
                        const EndTestState& test, bool thisChargeHasPoints);

// The sample nearest a time (nullptr for no samples).
const CurvePoint* NearestSample(std::span<const CurvePoint> points, double seconds);

// Between two cursors, from the earlier to the later: the time between their samples, the change
// of voltage, and the charge delivered, counted as the charger counts it (each sample's current
// over the seconds since the one before).
struct CursorSpan {
    double seconds = 0;
    double voltsChange = 0;
    double mah = 0;
};
CursorSpan BetweenCursors(std::span<const CurvePoint> points, double a, double b);

// The charge a whole curve delivered, counted as the charger counts it: each sample's current
// over the seconds since the one before (the first over the seconds since the start, at least
// one).
double DeliveredMah(std::span<const CurvePoint> points);
// The highest voltage of a curve (0 for none).
float PeakVolts(std::span<const CurvePoint> points);
