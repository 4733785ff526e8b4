// The program, started as usual, with a short script: bring the window into the state the first
// argument names, say "ready" (with the guardian's process id), and then either wait for the
// test's signal or leave the way the argument asks.
//   idle      the window, no charge
//   charging  a charge running, the charger on
//   modal     a charge running and the Charge Properties dialog open over it
//   busy      a charge running and the window's thread blocked (as while the chime plays)
//   escape, close   a charge running, then Escape or the close box

#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/CChargerApp.h"
#include "app/CChargerDlg.h"
#include "platform/Profile.h"
#include "platform/SignalGuard.h"
#include "settings/ChargeSettingsStore.h"

namespace {
void SayReady(CChargerDlg* dlg) {
    std::printf("caption: %s\nguardian %d\nready\n", qPrintable(dlg->windowTitle()),
                static_cast<int>(ChargerGuardianPid()));
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "charging";
    // A pack is current and CSV export is on, so that a charge wrongly ended would show in the
    // pack's record and in the log folder.
    {
        Profile& profile = AppProfile();
        StoreChargeSettings(profile, ChargeSettings{.exportCsv = 1});
        profile.WriteProfileString("Packs", "0", "Guarded");
        profile.WriteProfileString("Properties", "PackName", "Guarded");
        profile.WriteProfileInt("Properties", "LastSelected", 0);
    }
    QTimer::singleShot(0, [mode] {
        auto* dlg = qobject_cast<CChargerDlg*>(QApplication::activeModalWidget());
        if (dlg == nullptr) {
            std::fprintf(stderr, "no main window\n");
            std::_Exit(3);
        }
        if (mode == "idle") {
            SayReady(dlg);
            return;
        }
        dlg->OnOK();
        dlg->OnTimer(1);
        if (mode == "modal") {
            QTimer::singleShot(100, [dlg] { SayReady(dlg); });
            dlg->OnProperties();
            std::printf("dialog closed\n");
            std::fflush(stdout);
            return;
        }
        SayReady(dlg);
        if (mode == "escape" || mode == "close") {
            // "A charge is running. Stop it and quit?": yes.
            QTimer::singleShot(100, [] {
                if (auto* question = QApplication::activeModalWidget()) {
                    qobject_cast<CDialog*>(question)->OnOK();
                }
            });
        }
        if (mode == "busy") {
            QTimer::singleShot(0, [] { sleep(30); });
        } else if (mode == "escape") {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(dlg, &press);
        } else if (mode == "close") {
            dlg->close();
        }
    });
    CChargerApp theApp;
    return theApp.InitInstance();
}
