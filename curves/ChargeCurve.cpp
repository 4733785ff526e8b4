#include "curves/ChargeCurve.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kLastSecond = 59;  // the clock's seconds never reach 60

}  // namespace

EndTestState DescribeEndTest(const SampleHistory& history, const ChargeSettings& settings,
                             int32_t elapsedSeconds) {
    EndTestState state;
    state.timed = settings.chargeType == kTimedCharge;
    state.cutOffSeconds =
        settings.timedHours * 3600 + settings.timedMinutes * 60 + settings.timedSeconds;
    state.peak = history.peakVoltage;
    state.line = static_cast<float>(history.peakVoltage - settings.threshold * 0.01);
    state.sensitivity = settings.sensitivity;
    // The test judges from the delay's second on (the longest delay stops at the clock's 59).
    const int delay = settings.delay == kLongestDelay ? kLastSecond : settings.delay;
    state.delayLeft = std::max(0, delay - elapsedSeconds);
    int below = 0;
    for (const ChargeSample* s = history.sampleHead; s != nullptr && below < settings.sensitivity;
         s = s->next) {
        if (s->voltage > state.line) {
            break;
        }
        ++below;
    }
    state.secondsBelow = below;
    return state;
}

std::string EndReasonText(ChargeEnd end, int chargeType) {
    switch (end) {
        case ChargeEnd::Completed:
            return chargeType == kTimedCharge ? "Timed" : "Peak detected";
        case ChargeEnd::ChargerDisconnected:
            return "Charger disconnected";
        case ChargeEnd::BatteryDisconnected:
            return "Battery disconnected";
        case ChargeEnd::Stopped:
        case ChargeEnd::SampleLost:
            return "Stopped";
        case ChargeEnd::CapacityLimit:
            return "Capacity limit";
        case ChargeEnd::TimeLimit:
            return "Time limit";
        case ChargeEnd::VoltagePlateau:
            return "Voltage plateau";
        case ChargeEnd::BatteryRemoved:
            return "Battery removed";
        case ChargeEnd::AveragedPeak:
            return "Peak detected (averaged)";
        case ChargeEnd::FullEarly:
            return "Full before time";
        case ChargeEnd::Interrupted:
            return "Interrupted";
        case ChargeEnd::None:
            break;
    }
    return std::string();
}

ChargeEndNotice DescribeChargeEnd(ChargeEnd end, int chargeType, const std::string& pack,
                                  const ChargeTexts& t) {
    ChargeEndNotice notice{
        "Charge ended: " + EndReasonText(end, chargeType),
        "Pack: " + pack + "\n" + t.mah + " mAh in " + t.hours + ":" + t.minutes + ":" + t.seconds,
        EndNeedsAttention(end)};
    if (const std::string check = WhatToCheck(end); !check.empty()) {
        notice.body += "\n" + check;
    }
    return notice;
}

ChargeRecorder::ChargeRecorder(ChargeCycle& cycle) : m_cycle(cycle) {
    m_cycle.AddObserver(this);
}

ChargeRecorder::~ChargeRecorder() {
    m_cycle.RemoveObserver(this);
}

void ChargeRecorder::OnStarted() {
    m_points.clear();
    m_endTest = EndTestState{};
    m_endReason.clear();
    m_logFile.clear();
    m_started = GetLocalTime();
    m_running = true;
    ++m_revision;
}

void ChargeRecorder::SetLogFile(std::string path) {
    m_logFile = std::move(path);
    ++m_revision;
}

void ChargeRecorder::OnSample(const ChargeSample& sample) {
    const int32_t t = ElapsedSeconds(sample);
    m_points.push_back(CurvePoint{t, sample.voltage, sample.current});
    m_endTest = DescribeEndTest(m_cycle.History(), m_cycle.Settings(), t);
    m_endTest.timerSeconds = m_cycle.Backups().TimerSeconds();
    m_endTest.capacitySeconds = m_cycle.Backups().CapacitySeconds();
    ++m_revision;
}

void ChargeRecorder::OnEnded(ChargeEnd end) {
    m_running = false;
    m_endReason = EndReasonText(end, m_cycle.Settings().chargeType);
    ++m_revision;
}

void ChargeRecorder::OnStopped() {
    OnEnded(ChargeEnd::Stopped);
}

std::vector<ColumnSpan> ThinToColumns(std::span<const CurvePoint> points, float CurvePoint::*value,
                                      double from, double to, int columns) {
    std::vector<ColumnSpan> spans(static_cast<size_t>(std::max(columns, 0)));
    if (columns <= 0 || !(to > from)) {
        return spans;
    }
    auto begin = std::lower_bound(points.begin(), points.end(), from,
                                  [](const CurvePoint& p, double t) { return p.seconds < t; });
    for (auto it = begin; it != points.end() && it->seconds <= to; ++it) {
        // (t − from)·columns / (to − from), in this order: one rounding decides every boundary.
        const int column =
            std::min(columns - 1,
                     static_cast<int>(std::floor((it->seconds - from) * columns / (to - from))));
        ColumnSpan& span = spans[static_cast<size_t>(column)];
        const float v = (*it).*value;
        if (!span.filled) {
            span = ColumnSpan{v, v, v, v, true};
            continue;
        }
        span.low = std::min(span.low, v);
        span.high = std::max(span.high, v);
        span.last = v;
    }
    return spans;
}

std::vector<CurvePoint> Envelope(std::span<const CurvePoint> points, int buckets) {
    if (buckets < 1 || points.size() <= size_t(buckets) * 6) {
        return {points.begin(), points.end()};
    }
    const double first = points.front().seconds;
    const double length = double(points.back().seconds) - first + 1;
    std::vector<CurvePoint> kept;
    kept.reserve(size_t(buckets) * 6);
    size_t start = 0;
    while (start < points.size()) {
        const long long bucket = (long long)((points[start].seconds - first) * buckets / length);
        size_t pick[6] = {start, start, start, start, start, start};  // first, last, v−, v+, a−, a+
        size_t i = start;
        for (; i < points.size() &&
               (long long)((points[i].seconds - first) * buckets / length) == bucket;
             ++i) {
            const CurvePoint& p = points[i];
            pick[1] = i;
            if (p.volts < points[pick[2]].volts)
                pick[2] = i;
            if (p.volts > points[pick[3]].volts)
                pick[3] = i;
            if (p.amps < points[pick[4]].amps)
                pick[4] = i;
            if (p.amps > points[pick[5]].amps)
                pick[5] = i;
        }
        std::sort(std::begin(pick), std::end(pick));
        for (int k = 0; k < 6; ++k) {
            if (k == 0 || pick[k] != pick[k - 1]) {
                kept.push_back(points[pick[k]]);
            }
        }
        start = i;
    }
    return kept;
}
