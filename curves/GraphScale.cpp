#include "curves/GraphScale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "charge/CycleTexts.h"
#include "limits/ChargeLimits.h"

namespace {

// A step of 1, 2 or 5 times a power of ten that gives at most `most` steps over span.
double NiceStep(double span, int most) {
    if (!(span > 0) || most < 1) {
        return 1;
    }
    const double rough = span / most;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0}) {
        if (m * power >= rough * (1 - 1e-9)) {
            return m * power;
        }
    }
    return 10 * power;
}

// The decimals a step needs: 0.05 two, 0.2 one, 5 none.
int DecimalsOf(double step) {
    int decimals = 0;
    double scaled = step;
    while (decimals < 9 && std::abs(scaled - std::round(scaled)) > 1e-6 * scaled) {
        scaled *= 10;
        ++decimals;
    }
    return decimals;
}

// The multiples of step inside [low, high].
std::vector<double> Multiples(double low, double high, double step) {
    std::vector<double> values;
    const double first = std::ceil(low / step - 1e-9);
    const double last = std::floor(high / step + 1e-9);
    for (double k = first; k <= last; ++k) {
        values.push_back(k * step);
    }
    return values;
}

struct Extent {
    double low = 0, high = 0;
    bool any = false;
    void Take(double v) {
        if (!any) {
            low = high = v;
            any = true;
        }
        low = std::min(low, v);
        high = std::max(high, v);
    }
};

}  // namespace

AxisTicks ValueTicks(double low, double high, int most) {
    AxisTicks ticks;
    if (!(high > low) || !std::isfinite(low) || !std::isfinite(high)) {
        return ticks;
    }
    ticks.step = NiceStep(high - low, std::max(most, 1));
    const int decimals = DecimalsOf(ticks.step);
    for (double v : Multiples(low, high, ticks.step)) {
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", decimals, v);
        std::string label = text;
        if (label.find_first_not_of("-0.") == std::string::npos && label[0] == '-') {
            label.erase(0, 1);  // no "-0.0"
        }
        ticks.values.push_back(v);
        ticks.labels.push_back(std::move(label));
    }
    return ticks;
}

AxisTicks TimeTicks(double from, double to, int most) {
    AxisTicks ticks;
    if (!(to > from) || !std::isfinite(from) || !std::isfinite(to)) {
        return ticks;
    }
    most = std::max(most, 1);
    const double span = to - from;
    ticks.step = 0;
    for (double step : {1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0, 120.0, 300.0, 600.0, 900.0, 1800.0,
                        3600.0, 7200.0, 10800.0, 21600.0, 43200.0}) {
        if (span / step <= most) {
            ticks.step = step;
            break;
        }
    }
    if (ticks.step == 0) {
        ticks.step = NiceStep(span / 3600, most) * 3600;
    }
    const bool withSeconds = ticks.step < 60;
    for (double t : Multiples(from, to, ticks.step)) {
        ticks.values.push_back(t);
        ticks.labels.push_back(ClockText(t, withSeconds));
    }
    return ticks;
}

std::string ClockText(double seconds, bool withSeconds) {
    const long long s = std::llround(std::max(0.0, seconds));
    char text[48];
    if (withSeconds) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, (s / 60) % 60, s % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 3600, (s / 60) % 60);
    }
    return text;
}

TimeSpan ZoomTime(TimeSpan shown, TimeSpan whole, double at, double factor) {
    if (!(shown.Length() > 0) || !(factor > 0)) {
        return shown;
    }
    const double length =
        std::clamp(shown.Length() * factor, std::min(kShortestShownSeconds, whole.Length()),
                   std::max(whole.Length(), 0.0));
    at = std::clamp(at, shown.from, shown.to);
    const double from = at - (at - shown.from) * length / shown.Length();
    return PanTime({from, from + length}, whole, 0);
}

TimeSpan PanTime(TimeSpan shown, TimeSpan whole, double seconds) {
    TimeSpan moved{shown.from + seconds, shown.to + seconds};
    if (moved.Length() >= whole.Length()) {
        return whole;
    }
    if (moved.from < whole.from) {
        moved = {whole.from, whole.from + shown.Length()};
    } else if (moved.to > whole.to) {
        moved = {whole.to - shown.Length(), whole.to};
    }
    return moved;
}

bool IsDisconnectedReading(const CurvePoint& point) {
    return point.amps < kOpenCircuitAmps && CheckDisconnection(point.volts) != Disconnection::None;
}

bool AllDisconnected(std::span<const CurvePoint> points) {
    return !points.empty() && std::all_of(points.begin(), points.end(), IsDisconnectedReading);
}

GraphRanges WholeRanges(std::span<const std::span<const CurvePoint>> curves,
                        const EndTestState& test, bool thisChargeHasPoints) {
    GraphRanges ranges;
    Extent volts, amps, disconnected;
    double last = 60;
    for (std::span<const CurvePoint> points : curves) {
        for (const CurvePoint& p : points) {
            (IsDisconnectedReading(p) ? disconnected : volts).Take(p.volts);
            amps.Take(p.amps);
        }
        if (!points.empty()) {
            last = std::max(last, static_cast<double>(points.back().seconds));
        }
    }
    if (!volts.any) {
        volts = disconnected;
    }
    ranges.empty = !volts.any;
    if (thisChargeHasPoints && !curves.empty() && !curves.front().empty()) {
        if (test.timed) {
            last = std::max(last, static_cast<double>(test.cutOffSeconds));
        } else if (test.peak > 0) {
            volts.Take(test.peak);
            volts.Take(test.line);
        }
        // A backup's time is shown when it is near: the curve keeps most of the width.
        const double charged = curves.front().back().seconds;
        for (int32_t limit : {test.timerSeconds, test.capacitySeconds}) {
            if (limit > 0 && limit <= 2 * charged) {
                last = std::max(last, static_cast<double>(limit));
            }
        }
    }
    // Ends on a tick of its own, so the last label is the end of the axis.
    const double step = TimeTicks(0, last, 8).step;
    ranges.time = {0, std::ceil(last / step - 1e-9) * step};
    if (!volts.any) {
        return ranges;
    }
    // The voltage in the upper half, the current under 30 % of the height.
    const double span = std::max(volts.high - volts.low, 0.1);
    ranges.lowVolts = volts.low - 0.9 * span;
    ranges.highVolts = volts.high + 0.1 * span;
    ranges.lowAmps = std::min(0.0, amps.low);
    ranges.highAmps = ranges.lowAmps + std::max(amps.high - ranges.lowAmps, 0.05) / 0.3;
    return ranges;
}

const CurvePoint* NearestSample(std::span<const CurvePoint> points, double seconds) {
    if (points.empty()) {
        return nullptr;
    }
    auto it = std::lower_bound(points.begin(), points.end(), seconds,
                               [](const CurvePoint& p, double t) { return p.seconds < t; });
    if (it == points.end() ||
        (it != points.begin() && seconds - std::prev(it)->seconds < it->seconds - seconds)) {
        it = std::prev(it);
    }
    return &*it;
}

CursorSpan BetweenCursors(std::span<const CurvePoint> points, double a, double b) {
    CursorSpan between;
    const CurvePoint* first = NearestSample(points, std::min(a, b));
    const CurvePoint* last = NearestSample(points, std::max(a, b));
    if (first == nullptr) {
        return between;
    }
    between.seconds = last->seconds - first->seconds;
    between.voltsChange = double(last->volts) - double(first->volts);
    double ampSeconds = 0;
    for (const CurvePoint* p = first + 1; p <= last; ++p) {
        ampSeconds += double(p->amps) * (p->seconds - (p - 1)->seconds);
    }
    between.mah = ampSeconds * kMahPerAmpSecond;
    return between;
}

double DeliveredMah(std::span<const CurvePoint> points) {
    double ampSeconds = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        // The first sample stands for at least its own second, as the charger counts it.
        const int seconds = i == 0 ? std::max(points[i].seconds, 1)
                                   : std::max(points[i].seconds - points[i - 1].seconds, 0);
        ampSeconds += double(points[i].amps) * seconds;
    }
    return ampSeconds * kMahPerAmpSecond;
}

float PeakVolts(std::span<const CurvePoint> points) {
    float peak = 0;
    for (const CurvePoint& p : points) {
        peak = std::max(peak, p.volts);
    }
    return peak;
}
