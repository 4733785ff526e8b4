// The charge engine without a window: a two-hour charge fast-forwarded, the CSV log of a
// ten-hour history, and the memory one stored sample costs.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <filesystem>

#include "charge/ChargeCycle.h"
#include "charge/ChargeLog.h"
#include "charge/CycleTexts.h"
#include "charge/SampleHistory.h"
#include "hardware/SimulatedChargerBox.h"
#include "limits/ChargeLimits.h"

namespace {

constexpr int kTwoHours = 2 * 3600;

// Port, measurement, history, detection, clock and mAh, one second at a time: the engine
// itself, as the window drives it.
static void BM_TwoHourChargeThroughTheEngine(benchmark::State& state) {
    for (auto _ : state) {
        SimOptions options;
        options.steppedTime = true;
        options.capacityMah = 4000;  // does not peak within the two hours
        auto previous = InstallPortDriver(std::make_unique<SimulatedChargerBox>(options));
        auto* box = static_cast<SimulatedChargerBox*>(InstalledPortDriver());
        ChargeCycle cycle;
        cycle.Start();
        for (int second = 0; second < kTwoHours && cycle.IsCharging(); ++second) {
            box->AdvanceSeconds(1.0);
            cycle.MeasurementTick();
            cycle.ClockTick();
        }
        benchmark::DoNotOptimize(cycle.Texts().mah);
        cycle.Stop();
        cycle.Release();
        InstallPortDriver(std::move(previous));
    }
}
BENCHMARK(BM_TwoHourChargeThroughTheEngine)->Unit(benchmark::kMillisecond);

// What the backup cut-offs add to each measurement: one judgement with every backup on and a
// rated capacity known.
static void BM_BackupCutoffsPerTick(benchmark::State& state) {
    BackupCutoffs backups;
    backups.SetLimits({.ratedMah = 2000});
    int32_t t = 0;
    for (auto _ : state) {
        const Backup b = backups.Judge(BackupTick{.elapsedSeconds = t % 7200,
                                                  .deliveredMah = (t % 7200) / 3.6,
                                                  .volts = 12.0f + (t % 7200) * 1e-5f,
                                                  .openCircuit = false,
                                                  .timed = false,
                                                  .cells = 8,
                                                  .delay = 10});
        benchmark::DoNotOptimize(b);
        if (++t % 7200 == 0) {
            backups.Reset();
        }
    }
}
BENCHMARK(BM_BackupCutoffsPerTick);

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
