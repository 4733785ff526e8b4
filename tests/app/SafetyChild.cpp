// The program, started as usual, with a short script: bring the window into the state the first
// argument names, say "ready" (with the guardian's process id), and then either wait for the
// test's signal or leave the way the argument asks.
//   idle      the window, no charge
//   charging  a charge running, the charger on
//   modal     a charge running and the Charge Properties dialog open over it
//   busy      a charge running and the window's thread blocked (as while the chime plays)
//   escape, close   a charge running, then Escape or the close box
//   create-pack NAME, delete-pack NAME   no window: changes the packs of the profile, as
//                     another program sharing it would

#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <string>

#include "app/CChargerApp.h"
#include "app/CChargerDlg.h"
#include "packs/PackBook.h"
#include "platform/DesktopNotifier.h"
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
    const std::string mode = argc > 1 ? argv[1] : "charging";
    // Another program sharing the profile: makes one pack and goes.
    if (mode == "create-pack" && argc > 2) {
        int position = 0;
        const auto made = PackBook(AppProfile()).Create(argv[2], ChargeSettings{}, false, position);
        return made == PackBook::Created::Yes ? 0 : 1;
    }
    if (mode == "delete-pack" && argc > 2) {
        PackBook book(AppProfile());
        const int slot = book.FindSlot(argv[2]);
        return slot >= 0 && (book.Delete(slot, argv[2]), book.FindSlot(argv[2]) < 0) ? 0 : 1;
    }
    // As the program's main does: no session bus of the library's own.
    NeverLaunchASessionBus();
    QApplication app(argc, argv);
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
            // Ready once the dialog is on the screen (exposed), not merely made.
            auto* poll = new QTimer(dlg);
            QObject::connect(poll, &QTimer::timeout, [dlg, poll] {
                QWidget* modal = QApplication::activeModalWidget();
                if (modal != nullptr && modal != dlg && modal->windowHandle() != nullptr &&
                    modal->windowHandle()->isExposed()) {
                    poll->stop();
                    SayReady(dlg);
                }
            });
            poll->start(20);
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
