#include "app/CChargerApp.h"

#include <QApplication>
#include <QPointer>
#include <cstdlib>

#include "app/CChargerDlg.h"
#include "app/Templates.h"
#include "app/WindowWatch.h"
#include "controls/Messages.h"
#include "hardware/Converter.h"
#include "platform/DesktopNotifier.h"
#include "platform/Profile.h"
#include "platform/SignalGuard.h"
#include "platform/SingleInstance.h"
#include "session/PortSelection.h"

namespace {
constexpr int kExitFailure = 1;
}

int CChargerApp::InitInstance() {
    QApplication::setApplicationName(LoadResString(AFX_IDS_APP_TITLE));
    QApplication::setOrganizationName("Quillmark");
    // Ties the running window to its menu entry (the Wayland app id; docks and task switchers).
    QGuiApplication::setDesktopFileName(kDesktopFileName);

    const GuardedPort port = OpenGuardedPort();
    if (!port.error.empty()) {
        ShowFatalError(QString::fromStdString(port.error));
        return kExitFailure;
    }
    const bool simulated = port.simulated;

    // A pipe or a device at the profile's place (or its lock's) would hold the program in
    // open() before any window: refused, naming it.
    if (const QString problem = Profile::UserFileProblem(); !problem.isEmpty()) {
        ShowFatalError("KVC410 cannot use its settings file " + problem +
                       ". Remove it, and KVC410 makes a new one.");
        return kExitFailure;
    }
    auto profile = Profile::ForUser();
    profile->SetFailureReporter([](const QString& message) { ShowWarning(nullptr, message); });
    SetAppProfile(std::move(profile));

    {
        CChargerDlg dlg;
        if (simulated) {
            dlg.setWindowTitle(dlg.windowTitle() + " - simulated charger");
        }
        QPointer<CChargerDlg> window(&dlg);
        InstallSignalGuard([window] {
            if (window) {
                window->OnTerminateRequest();
            }
        });
        // A guardian killed on its own leaves no charge running unguarded, and a new charge
        // starts only with a new guardian (the simulated box charges nothing real).
        OnChargerGuardianLost([window] {
            if (window) {
                window->OnGuardianLost();
            }
        });
        dlg.m_ensureGuardian = [simulated] { return StartChargerGuardian() || simulated; };
        // Destroyed by another program, the window could not be seen or stopped any more.
        WatchDialogsDestroyed(&dlg);
        WatchWindowDestroyed(&dlg, [window] {
            LatchChargerOff();
            if (window) {
                window->OnTerminateRequest();
            }
        });
        dlg.DoModal();
        ClearSignalGuardCallback();
        OnChargerGuardianLost({});
    }
    // Every way out of the window ends here with the charger off.
    ChargerOff();
    StopChargerGuardian();
    return 0;
}
