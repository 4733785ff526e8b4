// The charge engine without a window: a two-hour charge fast-forwarded, the CSV log of a
// ten-hour history, and the memory one stored sample costs.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <filesystem>

#include "charge/ChargeLog.h"
#include "charge/CycleTexts.h"
#include "charge/SampleHistory.h"
#include "hardware/Measure.h"
#include "hardware/SimulatedChargerBox.h"

namespace {

constexpr int kTwoHours = 2 * 3600;

// Port, measurement, history, detection, clock and mAh, one second at a time.
static void BM_TwoHourChargeThroughTheEngine(benchmark::State& state) {
    for (auto _ : state) {
        SimOptions options;
        options.steppedTime = true;
        options.capacityMah = 4000;  // does not peak within the two hours
        auto previous = InstallPortDriver(std::make_unique<SimulatedChargerBox>(options));
        auto* box = static_cast<SimulatedChargerBox*>(InstalledPortDriver());
        SampleHistory history;
        std::string s = "00", m = "00", h = "00";
        float ampSeconds = 0;
        std::string mahText;
        int ended = 0;
        for (int second = 0; second < kTwoHours; ++second) {
            box->AdvanceSeconds(1.0);
            std::string voltText, currText;
            float volts = 0, amps = 0;
            Measure(voltText, currText, volts, amps);
            history.AddSample(volts, amps, s, m, h, 10, 1);
            ended |= history.IsChargeComplete(s, m, h, 0, 0, 0, 10, 10, 8, 1);
            TickClock(s, m, h);
            ampSeconds += history.sampleHead->current;
            mahText = FormatMah(ampSeconds * kMahPerAmpSecond);
        }
        benchmark::DoNotOptimize(mahText);
        benchmark::DoNotOptimize(ended);
        InstallPortDriver(std::move(previous));
    }
}
BENCHMARK(BM_TwoHourChargeThroughTheEngine)->Unit(benchmark::kMillisecond);

static void FillHistory(SampleHistory& history, int samples) {
    std::string s = "00", m = "00", h = "00";
    for (int i = 0; i < samples; ++i) {
        history.AddSample(12.0f + (i % 100) * 0.001f, 1.0f, s, m, h, 10, 1);
        TickClock(s, m, h);
    }
}

static void BM_ChargeLogOfTenHours(benchmark::State& state) {
    SampleHistory history;
    FillHistory(history, 36000);
    const std::string path = std::filesystem::temp_directory_path() / "kvc410-bench.csv";
    for (auto _ : state) {
        std::FILE* file = std::fopen(path.c_str(), "w");
        std::string text = BuildChargeLog(history.sampleHead);
        std::fputs(text.c_str(), file);
        std::fclose(file);
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_ChargeLogOfTenHours)->Unit(benchmark::kMillisecond);

static void BM_MemoryPerSample(benchmark::State& state) {
    constexpr int kSamples = 100000;
    double perSample = 0;
    for (auto _ : state) {
        size_t before = mallinfo2().uordblks;
        SampleHistory history;
        FillHistory(history, kSamples);
        size_t after = mallinfo2().uordblks;
        perSample = static_cast<double>(after - before) / kSamples;
    }
    state.counters["bytes_per_sample"] = perSample;
    state.counters["sizeof_sample"] = sizeof(ChargeSample);
}
BENCHMARK(BM_MemoryPerSample)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
