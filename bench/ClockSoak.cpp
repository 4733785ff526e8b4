// Runs a real-time charge on the simulated box through the main window for a while (ten minutes
// by default) and reports how far the clock texts have drifted from wall time.

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/CChargerDlg.h"
#include "app/Templates.h"
#include "charge/SampleHistory.h"
#include "hardware/SimulatedChargerBox.h"
#include "platform/Profile.h"

namespace {
int NoSound(const QByteArray&) {
    return 0;
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    QTemporaryDir dir;
    SetAppProfile(std::make_unique<Profile>(dir.path() + "/KVC410.ini"));
    SimOptions options;
    options.speed = 1;
    options.capacityMah = 100000;  // never full within the soak
    InstallPortDriver(std::make_unique<SimulatedChargerBox>(options));

    CChargerDlg dlg;
    dlg.m_playWave = &NoSound;
    dlg.Initialise();
    QElapsedTimer wall;
    dlg.OnOK();
    wall.start();
    double worst = 0;
    auto clockSeconds = [&dlg] {
        return ClockValue(dlg.GetDlgItemText(IDC_HOURS).toStdString()) * 3600 +
               ClockValue(dlg.GetDlgItemText(IDC_MINUTES).toStdString()) * 60 +
               ClockValue(dlg.GetDlgItemText(IDC_SECONDS).toStdString());
    };
    // Sample the drift every 10 s, just before a tick is due.
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        // Probes come half a second after a tick is due, so the clock should show the whole
        // seconds of wall time.
        double elapsed = wall.elapsed() / 1000.0;
        double drift = (elapsed - 0.5) - clockSeconds();
        worst = std::max(worst, std::abs(drift));
        if (elapsed >= seconds) {
            std::printf(
                "after %.1f s of wall time the clock shows %d s: drift %.3f s, "
                "worst %.3f s\n",
                elapsed, clockSeconds(), drift, worst);
            app.quit();
        }
    });
    QTimer::singleShot(500, [&probe] { probe.start(10000); });
    app.exec();
    dlg.OnOK();
    return 0;
}
