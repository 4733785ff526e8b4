// What publishing over MQTT adds to a charge's tick: the engine's second alone, the same with the
// second's values built and handed to the publisher, and the worst single tick while the broker
// cannot be reached (its threads retrying the whole time).

#include <benchmark/benchmark.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "charge/ChargeCycle.h"
#include "hardware/SimulatedChargerBox.h"
#include "remote/RemotePublisher.h"

namespace {

constexpr int kOneHour = 3600;

// A Mosquitto broker of the benchmark's own on loopback, as a daemon; port 0 where none is
// installed.
class Broker {
public:
    Broker() {
        if (!std::filesystem::exists("/usr/sbin/mosquitto")) {
            return;
        }
        m_folder = std::filesystem::temp_directory_path() / ("kvc410-bench-broker-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_folder);
        port = 20000 + getpid() % 20000;
        std::ofstream(m_folder / "m.conf") << "listener " << port << " 127.0.0.1\nallow_anonymous true\n"
                                           << "persistence false\npid_file " << (m_folder / "pid").string() << "\n";
        const std::string command = "/usr/sbin/mosquitto -d -c " + (m_folder / "m.conf").string();
        if (std::system(command.c_str()) != 0) {
            port = 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    ~Broker() {
        pid_t pid = 0;
        if (std::ifstream(m_folder / "pid") >> pid; pid > 0) {
            ::kill(pid, SIGTERM);
        }
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    int port = 0;

private:
    std::filesystem::path m_folder;
};

// publishTo: 0 publishes nothing; else the broker's port (1: none listens, and the client keeps
// retrying).
void RunHour(benchmark::State& state, int publishTo) {
    RemoteSettings where;
    where.host = "127.0.0.1";
    where.port = publishTo;
    const RemoteTopics topics("bench/charger", "bench", "0");
    std::unique_ptr<RemotePublisher> remote;
    if (publishTo != 0) {
        remote = std::make_unique<RemotePublisher>(where, "", topics, RemotePublisher::Callbacks{});
    }
    double worst = 0;
    for (auto _ : state) {
        SimOptions options;
        options.steppedTime = true;
        options.capacityMah = 4000;
        auto previous = InstallPortDriver(std::make_unique<SimulatedChargerBox>(options));
        auto* box = static_cast<SimulatedChargerBox*>(InstalledPortDriver());
        ChargeCycle cycle;
        cycle.Start();
        for (int second = 0; second < kOneHour && cycle.IsCharging(); ++second) {
            box->AdvanceSeconds(1.0);
            const auto from = std::chrono::steady_clock::now();
            cycle.MeasurementTick();
            cycle.ClockTick();
            if (remote) {
                remote->Offer(
                    ChargeSnapshot(cycle.Texts(), cycle.History().sampleHead, true, "AA", "", ""));
            }
            worst = std::max(worst, std::chrono::duration<double, std::milli>(
                                        std::chrono::steady_clock::now() - from)
                                        .count());
        }
        cycle.Stop();
        cycle.Release();
        InstallPortDriver(std::move(previous));
    }
    state.counters["worst_tick_ms"] = worst;
}

static void BM_HourOfTicksWithoutPublishing(benchmark::State& state) {
    RunHour(state, 0);
}
BENCHMARK(BM_HourOfTicksWithoutPublishing)->Unit(benchmark::kMillisecond);

static void BM_HourOfTicksPublishingToABroker(benchmark::State& state) {
    Broker broker;
    if (broker.port == 0) {
        state.SkipWithError("no mosquitto broker installed");
        return;
    }
    RunHour(state, broker.port);
}
BENCHMARK(BM_HourOfTicksPublishingToABroker)->Unit(benchmark::kMillisecond);

static void BM_HourOfTicksPublishingToAnUnreachableBroker(benchmark::State& state) {
    RunHour(state, 1);
}
BENCHMARK(BM_HourOfTicksPublishingToAnUnreachableBroker)->Unit(benchmark::kMillisecond);

}  // namespace
