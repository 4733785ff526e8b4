// Redrawing the Charge Graph of a 100-hour charge (360,000 samples): the whole picture, axes,
// end-test lines, legend and both curves, at the size of a large window; and a zoom and a pan
// step on it.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <cmath>

#include "graph/CChargeGraphWnd.h"

namespace {

constexpr int kHundredHours = 100 * 3600;

// A slow rise with a peak near the end and the converter's noise, as the recorder would hold it.
void FillHundredHours(ChargeRecorder& recorder) {
    recorder.OnStarted();
    uint32_t noise = 1;
    for (int t = 0; t < kHundredHours; ++t) {
        noise = noise * 1664525u + 1013904223u;
        const double x = double(t) / kHundredHours;
        const float volts = float(11.5 + 2.0 * x - 1.5 * std::pow(std::max(0.0, x - 0.95), 2) +
                                  ((noise >> 16) % 5) * 0.01);
        ChargeSample s{volts,  1.0f + ((noise >> 8) % 3) * 0.01f, t % 60, (t / 60) % 60, t / 3600,
                       nullptr};
        recorder.OnSample(s);
    }
}

// The view at 1280x720, drawn as on the screen (into the plot's own buffer).
struct HundredHourView {
    HundredHourView() : recorder(cycle) {
        FillHundredHours(recorder);
        view.resize(1280, 720);
        view.Sync();
        view.replot();
    }
    ChargeCycle cycle;
    ChargeRecorder recorder;
    ChargeGraphView view{recorder};
};

void BM_RedrawHundredHourGraph(benchmark::State& state) {
    HundredHourView shown;
    for (auto _ : state) {
        shown.view.replot(QCustomPlot::rpImmediateRefresh);
    }
    state.counters["samples"] = double(shown.recorder.Points().size());
}
BENCHMARK(BM_RedrawHundredHourGraph)->Unit(benchmark::kMillisecond);

// One wheel step in (then out, so every step starts from the whole), and one pan step, each
// redrawn at once.
void BM_WheelZoomStep(benchmark::State& state) {
    HundredHourView shown;
    bool in = true;
    for (auto _ : state) {
        shown.view.ZoomAt(95 * 3600, in ? 0.8 : 1.25);
        shown.view.replot(QCustomPlot::rpImmediateRefresh);
        in = !in;
    }
}
BENCHMARK(BM_WheelZoomStep)->Unit(benchmark::kMillisecond);

void BM_PanStep(benchmark::State& state) {
    HundredHourView shown;
    shown.view.ZoomAt(50 * 3600, 0.5);
    double by = 3600;
    for (auto _ : state) {
        shown.view.Pan(by);
        shown.view.replot(QCustomPlot::rpImmediateRefresh);
        by = -by;
    }
}
BENCHMARK(BM_PanStep)->Unit(benchmark::kMillisecond);

void BM_ThinHundredHoursToColumns(benchmark::State& state) {
    ChargeCycle cycle;
    ChargeRecorder recorder(cycle);
    FillHundredHours(recorder);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            ThinToColumns(recorder.Points(), &CurvePoint::volts, 0, kHundredHours, 1100));
    }
}
BENCHMARK(BM_ThinHundredHoursToColumns)->Unit(benchmark::kMillisecond);

// Ticking a past charge whose log is 64 MB (the largest read): the longest the window's event
// loop waits between two turns while the log is read, against the whole time to show it.
void BM_LongestStallWhileReadingA64MbLog(benchmark::State& state) {
    QTemporaryDir folder;
    {
        QFile log(folder.filePath("AA 12-1-2026 19-05.csv"));
        log.open(QIODevice::WriteOnly);
        QByteArray text = "Total Seconds, Voltage, Current, Charge Duration\r\n";
        for (int t = 1; text.size() < (63 << 20); ++t) {
            text += QByteArray::number(t) + ", 12.345, 1.00, 0:0:0\r\n";
        }
        log.write(text);
    }
    ChargeCycle cycle;
    ChargeRecorder recorder(cycle);
    double longest = 0, whole = 0;
    for (auto _ : state) {
        CChargeGraphWnd window(recorder, folder.path());
        window.show();
        QTreeWidgetItem* item = window.LogList()->topLevelItem(0)->child(0);
        QElapsedTimer clock;
        clock.start();
        item->setCheckState(0, Qt::Checked);
        qint64 last = clock.nsecsElapsed();
        double gap = double(last);
        while (window.Loading() > 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            QThread::usleep(200);
            const qint64 now = clock.nsecsElapsed();
            gap = std::max(gap, double(now - last));
            last = now;
        }
        longest = std::max(longest, gap / 1e6);
        whole = double(clock.nsecsElapsed()) / 1e6;
    }
    state.counters["longest_stall_ms"] = longest;
    state.counters["shown_after_ms"] = whole;
}
BENCHMARK(BM_LongestStallWhileReadingA64MbLog)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
