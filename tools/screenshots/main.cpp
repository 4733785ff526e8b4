// Draws the README's pictures of the program's windows: each window is built as the program
// builds it, on the simulated box and a throw-away profile, and grabbed off screen.

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTimer>
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
#include "settings/ChargeSettingsStore.h"

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
    Profile& profile = AppProfile();
    profile.WriteProfileString("Packs", "0", "AA Pack");
    profile.WriteProfileString("Packs", "0i", "12080101080000000");  // peak, Ni-MH, 8 cells
    profile.WriteProfileString("Packs", "0j", "0987001234.5020510140703032003099100006");
    profile.WriteProfileString("Packs", "1", "Sub-C 3000");
    profile.WriteProfileString("Packs", "1i", "12080101080000000");
    profile.WriteProfileString("Packs", "2", "Receiver 4.8V");
    profile.WriteProfileString("Packs", "2i", "21080101040130000");  // timed 1:30, Ni-Cd, 4 cells

    bool ok = true;
    // A charge of the selected pack, as the user sees it: the pack current and highlighted,
    // the charge running (or, with seconds 0, run until it ends by itself).
    auto charge = [&](const QString& pack, int listPosition, const ChargeSettings& settings,
                      SimOptions options, int seconds, const QString& file) {
        StoreChargeSettings(profile, settings);
        profile.WriteProfileString("Properties", "PackName", pack);
        profile.WriteProfileInt("Properties", "LastSelected", listPosition);
        options.steppedTime = true;
        auto* box = new SimulatedChargerBox(options);
        InstallPortDriver(std::unique_ptr<PortDriver>(box));
        CChargerDlg dlg;
        dlg.m_playWave = &NoSound;
        dlg.Initialise();
        dlg.setWindowTitle(dlg.windowTitle() + " - simulated charger");
        dlg.OnOK();
        for (int i = 0; dlg.m_bCharging && (seconds == 0 || i < seconds); ++i) {
            box->AdvanceSeconds(1);
            dlg.OnTimer(1);
            if (dlg.m_bCharging) {
                dlg.OnTimer(2);
            }
        }
        ok = Save(dlg, file) && ok;
        if (dlg.m_bCharging) {
            // Stopped by hand, the charge of a pack asks whether to keep it: no.
            QTimer::singleShot(0, [] {
                if (auto* question = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    question->reject();
                }
            });
            dlg.OnOK();
        }
    };
    const ChargeSettings aaPack{};  // peak, Ni-MH, 8 cells
    const ChargeSettings receiver{
        .timedHours = 1, .timedMinutes = 30, .batteryType = 1, .chargeType = 2, .cells = 4};
    charge("AA Pack", 0, aaPack, SimOptions{}, 47 * 60 + 12, out + "/main-window.png");
    charge("AA Pack", 0, aaPack, SimOptions{.capacityMah = 1200, .initialChargePercent = 20}, 0,
           out + "/main-window-ended.png");
    charge("Receiver 4.8V", 1, receiver, SimOptions{.chemistry = Chemistry::NiCd, .cells = 4},
           23 * 60 + 5, out + "/main-window-timed.png");
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
