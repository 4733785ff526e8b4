// Redrawing the Charge Graph of a 100-hour charge (360,000 samples): the whole picture, axes,
// end-test lines, legend and both curves, into an image the size of a large window.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
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
        ChargeSample s{volts, 1.0f + ((noise >> 8) % 3) * 0.01f, t % 60, (t / 60) % 60, t / 3600,
                       nullptr};
        recorder.OnSample(s);
    }
}

void BM_RedrawHundredHourGraph(benchmark::State& state) {
    ChargeCycle cycle;
    ChargeRecorder recorder(cycle);
    FillHundredHours(recorder);
    ChargeGraphView view(recorder);
    QImage image(1280, 720, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        view.Draw(painter, image.rect());
    }
    state.counters["samples"] = double(recorder.Points().size());
}
BENCHMARK(BM_RedrawHundredHourGraph)->Unit(benchmark::kMillisecond);

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

}  // namespace
