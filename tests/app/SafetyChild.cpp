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
//   history-charges PATH   no window: adds one-hour charges to the history at PATH, one after
//                     another, saying "written N" as each is in (to be killed at any moment)
//   hold-history PATH      no window: holds the history at PATH locked until stdin closes

#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <string>

#include "app/CChargerApp.h"
#include "app/CChargerDlg.h"
#include "history/ChargeHistory.h"
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
    RememberProgramArguments(argc, argv);
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
    if (mode == "history-charges" && argc > 2) {
        QCoreApplication app(argc, argv);
        ChargeHistory history(QString::fromLocal8Bit(argv[2]));
        if (history.Open() != ChargeHistory::State::Writable) {
            return 1;
        }
        for (int n = 1;; ++n) {
            HistoryCharge charge;
            charge.packName = QString("Pack %1").arg(n);
            charge.started = QDateTime::currentDateTime();
            charge.ended = charge.started;
            charge.endReason = "Peak detected";
            for (int t = 1; t <= 3600; ++t) {
                charge.curve.push_back({t, 12.0f + t * 1e-5f, float(n)});
            }
            FillFiguresFromCurve(charge);
            if (!history.Add(charge)) {
                return 1;
            }
            std::printf("written %d\n", n);
            std::fflush(stdout);
        }
    }
    if (mode == "hold-history" && argc > 2) {
        QCoreApplication app(argc, argv);
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "holder");
        db.setDatabaseName(QString::fromLocal8Bit(argv[2]));
        QSqlQuery q(db);
        if (!db.open() || !q.exec("BEGIN EXCLUSIVE")) {
            return 1;
        }
        std::printf("locked\n");
        std::fflush(stdout);
        char line[16];
        while (std::fgets(line, sizeof line, stdin) != nullptr) {
        }
        return 0;
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
