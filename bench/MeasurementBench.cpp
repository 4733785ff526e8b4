// One measurement (ten conversions, 570 port writes and 160 reads) through the simulated box.

#include <benchmark/benchmark.h>

#include "hardware/Measure.h"
#include "hardware/SimulatedChargerBox.h"

static void BM_MeasureThroughSimulatedBox(benchmark::State& state) {
    SimOptions options;
    options.steppedTime = true;
    auto previous = InstallPortDriver(std::make_unique<SimulatedChargerBox>(options));
    std::string voltText, currText;
    float volts = 0, amps = 0;
    for (auto _ : state) {
        Measure(voltText, currText, volts, amps);
        benchmark::DoNotOptimize(volts);
    }
    InstallPortDriver(std::move(previous));
}
BENCHMARK(BM_MeasureThroughSimulatedBox)->Unit(benchmark::kMicrosecond);
