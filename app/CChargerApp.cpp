#include "app/CChargerApp.h"

#include <QApplication>

#include "app/CChargerDlg.h"
#include "app/Templates.h"
#include "hardware/Converter.h"
#include "platform/Messages.h"
#include "platform/PortSelection.h"
#include "platform/Profile.h"
#include "platform/SignalGuard.h"
#include "platform/SingleInstance.h"

namespace {
constexpr int kExitFailure = 1;
}

int CChargerApp::InitInstance() {
    QApplication::setApplicationName(LoadResString(AFX_IDS_APP_TITLE));
    QApplication::setOrganizationName("Quillmark");

    // Before the port is even opened: a second instance must not disturb a running charge.
    if (!AcquireInstanceLock()) {
        ShowFatalError("The charger is already in use by another KVC410 window.");
        return kExitFailure;
    }
    PortChoice port = OpenPortFromEnvironment();
    if (!port.driver) {
        ShowFatalError(QString::fromStdString(port.error));
        return kExitFailure;
    }
    const bool simulated = port.driver->IsSimulated();
    InstallPortDriver(std::move(port.driver));
    // A crash of an earlier run may have left the data register in the charging state.
    ChargerOff();

    SetAppProfile(Profile::ForUser());

    CChargerDlg dlg;
    if (simulated) {
        dlg.setWindowTitle(dlg.windowTitle() + " - simulated charger");
    }
    InstallSignalGuard([&dlg] { dlg.OnClose(); });
    dlg.DoModal();
    // Every way out of the window ends here with the charger off.
    ChargerOff();
    return 0;
}
