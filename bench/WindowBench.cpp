// A two-hour charge fast-forwarded through the real main window (offscreen), ticks called as
// the timers would call them, from Start to the end of the charge.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "app/CChargerDlg.h"
#include "hardware/SimulatedChargerBox.h"
#include "platform/Profile.h"

namespace {

int NoSound(const QByteArray&) {
    return 0;
}

static void BM_TwoHourChargeThroughTheWindow(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        SimOptions options;
        options.steppedTime = true;
        options.capacityMah = 4000;
        auto previous = InstallPortDriver(std::make_unique<SimulatedChargerBox>(options));
        auto* box = static_cast<SimulatedChargerBox*>(InstalledPortDriver());
        auto dlg = std::make_unique<CChargerDlg>();
        dlg->m_playWave = &NoSound;
        dlg->Initialise();
        state.ResumeTiming();
        dlg->OnOK();
        for (int second = 0; second < 2 * 3600; ++second) {
            box->AdvanceSeconds(1.0);
            dlg->OnTimer(1);
            dlg->OnTimer(2);
        }
        dlg->OnOK();
        state.PauseTiming();
        // Not the charge: the window's going, which waits for the history row that its end
        // handed to a thread of its own (written while the window goes on).
        dlg.reset();
        InstallPortDriver(std::move(previous));
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TwoHourChargeThroughTheWindow)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    // Nothing of the user's is touched: the profile, the history and the logs are the run's own.
    qputenv("HOME", QFile::encodeName(dir.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + "/data"));
    SetAppProfile(std::make_unique<Profile>(dir.path() + "/KVC410.ini"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
