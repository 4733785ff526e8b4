// The main window's Properties button.

#include <QLabel>

#include "app/CChargerDlg.h"
#include "platform/Profile.h"
#include "settings/dialogs/CChargePropertiesDlg.h"

void CChargerDlg::OnProperties() {
    CChargePropertiesDlg dlg(this);
    Profile& profile = AppProfile();
    dlg.m_edit.timedSeconds = profile.GetProfileInt(kPropertiesSection, kKeySec, 0);
    dlg.m_edit.timedMinutes = profile.GetProfileInt(kPropertiesSection, kKeyMin, 0);
    dlg.m_edit.timedHours = profile.GetProfileInt(kPropertiesSection, kKeyHour, 0);
    dlg.m_edit.cells = profile.GetProfileInt(kPropertiesSection, kKeyCells, 8);
    if (dlg.DoModal() == IDOK) {
        // A running charge reads these at its next tick.
        m_settings = dlg.m_edit;
        // The current pack stays this window's: another window on the same profile (a box on
        // another port) may have made its own pack current there meanwhile, and a charge here
        // must still be recorded into the pack this window shows.
        const QString pack = m_strPackName;
        const int selected = m_nSelected;
        RefreshSettingsSummary();
        m_strPackName = pack;
        m_nSelected = selected;
        if (m_bCharging == 0) {
            m_stcPackName->setText(pack);
        }
        LoadChargeLimits();
    }
}
