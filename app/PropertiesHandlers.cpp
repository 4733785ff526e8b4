// The main window's Properties button.

#include "app/CChargerDlg.h"
#include "platform/Profile.h"
#include "settings/CChargePropertiesDlg.h"

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
        RefreshSettingsSummary();
    }
}
