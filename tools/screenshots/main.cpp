// Draws the README's pictures of the program's windows: each window is built as the program
// builds it, on the simulated box and a throw-away profile, and grabbed off screen.

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>

#include "app/CAboutDlg.h"
#include "app/CChargerDlg.h"
#include "hardware/SimulatedChargerBox.h"
#include "packs/CConfirmDlg.h"
#include "packs/CNewPackDlg.h"
#include "packs/CPackEditorDlg.h"
#include "packs/CPackInfoDlg.h"
#include "platform/Profile.h"
#include "settings/CChargePropertiesDlg.h"

namespace {
int NoSound(const QByteArray&) {
    return 0;
}

bool Save(QWidget& w, const QString& path) {
    w.show();
    QApplication::processEvents();
    bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString("docs");
    QTemporaryDir dir;
    SetAppProfile(std::make_unique<Profile>(dir.path() + "/KVC410.ini"));
    AppProfile().WriteProfileString("Packs", "0", "AA Pack");
    AppProfile().WriteProfileString("Packs", "0j", "0987001234.5020510140703032003099100006");
    AppProfile().WriteProfileString("Packs", "1", "Sub-C 3000");
    AppProfile().WriteProfileString("Packs", "2", "Receiver 4.8V");
    SimOptions options;
    options.steppedTime = true;
    auto* box = new SimulatedChargerBox(options);
    InstallPortDriver(std::unique_ptr<PortDriver>(box));

    bool ok = true;
    {
        CChargerDlg dlg;
        dlg.m_playWave = &NoSound;
        dlg.Initialise();
        dlg.setWindowTitle(dlg.windowTitle() + " - simulated charger");
        dlg.OnOK();
        for (int i = 0; i < 47 * 60 + 12; ++i) {
            box->AdvanceSeconds(1);
            dlg.OnTimer(1);
            dlg.OnTimer(2);
        }
        ok = Save(dlg, out + "/main-window.png") && ok;
        dlg.OnOK();
    }
    {
        CChargePropertiesDlg dlg;
        dlg.m_edit.cells = 8;
        dlg.Initialise();
        ok = Save(dlg, out + "/charge-properties.png") && ok;
    }
    {
        CAboutDlg dlg;
        dlg.Initialise();
        ok = Save(dlg, out + "/about.png") && ok;
    }
    {
        CPackInfoDlg dlg;
        dlg.m_strSlot = "0";
        dlg.Initialise();
        ok = Save(dlg, out + "/pack-information.png") && ok;
    }
    {
        CNewPackDlg dlg;
        dlg.m_strName = "Transmitter 9.6V";
        dlg.Initialise();
        ok = Save(dlg, out + "/new-pack.png") && ok;
    }
    {
        CPackEditorDlg dlg;
        dlg.m_strName = "AA Pack";
        dlg.m_nCharges = 6;
        dlg.Initialise();
        ok = Save(dlg, out + "/pack-editor.png") && ok;
    }
    {
        CConfirmDlg dlg;
        dlg.m_strMessage = "Save charge information to the selected profile?";
        dlg.Initialise();
        ok = Save(dlg, out + "/confirm.png") && ok;
    }
    return ok ? 0 : 1;
}
