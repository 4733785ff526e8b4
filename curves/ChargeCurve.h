#pragma once
// The curve of a charge as the graph draws it: every measurement in time order, what the
// end-of-charge test saw at each, and how the charge ended. Kept apart from the engine's sample
// history, which is freed at the end: the last charge stays on the graph.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "charge/ChargeCycle.h"
#include "platform/LocalTime.h"

struct CurvePoint {
    int32_t seconds;  // since the start of the charge
    float volts;
    float amps;
};

// Where the end-of-charge test stands after a measurement.
struct EndTestState {
    bool timed = false;
    int32_t cutOffSeconds = 0;  // timed: the set time
    float peak = 0.0f;          // peak: the peak so far
    float line = 0.0f;          // peak − threshold: the voltage must stay at or under it
    int32_t delayLeft = 0;      // seconds until detection begins (0: it is on)
    int32_t secondsBelow = 0;   // of sensitivity: newest samples in a row at or under the line
    int32_t sensitivity = 0;
    // The backups in force: the safety timer's time, and when the capacity cut-off comes at
    // the present average current (0: not in force).
    int32_t timerSeconds = 0;
    int32_t capacitySeconds = 0;
};

EndTestState DescribeEndTest(const SampleHistory& history, const ChargeSettings& settings,
                             int32_t elapsedSeconds);

// The words for an end: "Peak detected", "Timed", "Charger disconnected", "Battery
// disconnected", "Stopped", and the backups' "Capacity limit", "Time limit", "Voltage plateau"
// and "Battery removed"; empty while the charge runs.
std::string EndReasonText(ChargeEnd end, int chargeType);

// What the desktop is told at the end of a charge: "Charge ended: Peak detected", the pack, the
// mAh and the time, and what to check after an end that needs the user at the pack (then
// critical).
struct ChargeEndNotice {
    std::string summary;
    std::string body;
    bool critical;
};
ChargeEndNotice DescribeChargeEnd(ChargeEnd end, int chargeType, const std::string& pack,
                                  const ChargeTexts& texts);

// Watches the engine and keeps the curve of the running or last charge.
class ChargeRecorder : public ChargeObserver {
public:
    explicit ChargeRecorder(ChargeCycle& cycle);
    ~ChargeRecorder() override;
    ChargeRecorder(const ChargeRecorder&) = delete;
    ChargeRecorder& operator=(const ChargeRecorder&) = delete;

    const std::vector<CurvePoint>& Points() const { return m_points; }
    const EndTestState& EndTest() const { return m_endTest; }
    bool Running() const { return m_running; }
    // Empty while running or before the first charge.
    const std::string& EndReason() const { return m_endReason; }
    // Counts every change, so a view knows when to redraw.
    uint64_t Revision() const { return m_revision; }

    // Whose charge it is, when it began, and the log it was saved to (empty: none), for the
    // graph's figures and so the charge is not listed again among the past ones.
    void SetPack(std::string pack) { m_pack = std::move(pack); }
    const std::string& Pack() const { return m_pack; }
    const LocalTime& Started() const { return m_started; }
    void SetLogFile(std::string path);
    const std::string& LogFile() const { return m_logFile; }

    void OnStarted() override;
    void OnSample(const ChargeSample& sample) override;
    void OnEnded(ChargeEnd end) override;
    void OnStopped() override;

private:
    ChargeCycle& m_cycle;
    std::vector<CurvePoint> m_points;
    EndTestState m_endTest;
    bool m_running = false;
    std::string m_endReason;
    uint64_t m_revision = 0;
    std::string m_pack;
    LocalTime m_started{};
    std::string m_logFile;
};

// One pixel column of a thinned curve: the lowest and highest value of the points that fall
// into it, and the first and last (to join the columns in order).
struct ColumnSpan {
    float low = 0.0f;
    float high = 0.0f;
    float first = 0.0f;
    float last = 0.0f;
    bool filled = false;
};

// Thins a curve, sorted by time, to columns over [from, to): column i takes the points with
// from + i·w <= t < from + (i+1)·w, w = (to − from) / columns; a point at t == to falls into
// the last column. No minimum or maximum is ever lost, however many points share a column.
std::vector<ColumnSpan> ThinToColumns(std::span<const CurvePoint> points, float CurvePoint::*value,
                                      double from, double to, int columns);

// A long curve cut to `buckets` equal stretches of its time, keeping of each stretch the samples
// with its first, last, lowest and highest voltage and current, in time order: at most six
// samples a stretch, every extreme at its own time. Thinning this instead of the whole curve
// draws the same picture wherever a pixel column spans a stretch or more, in a fraction of the
// time. A curve of six samples a stretch or fewer comes back whole.
std::vector<CurvePoint> Envelope(std::span<const CurvePoint> points, int buckets);
