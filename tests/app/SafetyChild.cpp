// The program, started as usual, with a short script: start a charge, run one measurement so
// the charger is on, say "charging", then leave the way the first argument asks.

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <string>

#include "app/CChargerApp.h"
#include "app/CChargerDlg.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::string mode = argc > 1 ? argv[1] : "wait";
    QTimer::singleShot(0, [mode] {
        auto* dlg = qobject_cast<CChargerDlg*>(QApplication::activeModalWidget());
        if (dlg == nullptr) {
            std::fprintf(stderr, "no main window\n");
            std::_Exit(3);
        }
        dlg->OnOK();
        dlg->OnTimer(1);
        std::printf("caption: %s\ncharging\n", qPrintable(dlg->windowTitle()));
        std::fflush(stdout);
        if (mode == "escape") {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(dlg, &press);
        } else if (mode == "close") {
            dlg->close();
        } else if (mode == "segv") {
            std::raise(SIGSEGV);
        } else if (mode == "bus") {
            std::raise(SIGBUS);
        } else if (mode == "fpe") {
            std::raise(SIGFPE);
        } else if (mode == "abort") {
            std::abort();
        }
        // "wait": the test sends a signal.
    });
    CChargerApp theApp;
    return theApp.InitInstance();
}
