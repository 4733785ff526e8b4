// The pack list of the main window: selecting, creating, deleting and saving packs, the Pack
// Information dialog, and the record of a charge's end.

#include <QLabel>

#include "app/CChargerDlg.h"
#include "app/Templates.h"
#include "controls/CListBox.h"
#include "packs/CConfirmDlg.h"
#include "packs/CNewPackDlg.h"
#include "packs/CPackInfoDlg.h"
#include "packs/PackFormats.h"
#include "platform/LocalTime.h"
#include "platform/Profile.h"
#include "settings/ChargeSettingsStore.h"

namespace {
const char* const kIllegalName =
    "That pack already exists or you have entered an illegal pack name. \\ / : * ? \" < > | are "
    "illegal characters.";

Profile& P() {
    return AppProfile();
}
}  // namespace

void CChargerDlg::ReloadPackNames() {
    ::ReloadPackNames(P(), m_strPacks);
}

int CChargerDlg::FindPackSlot(const QString& name) const {
    return ::FindPackSlot(m_strPacks, name);
}

void CChargerDlg::FillPackList() {
    ReloadPackNames();
    m_lstPacks->ResetContent();
    for (const QString& name : m_strPacks) {
        if (name != kEmptySlot) {
            m_lstPacks->AddString(name);
        }
    }
    m_lstPacks->SetCurSel(m_nSelected);
}

QString CChargerDlg::EncodePackProperties() const {
    return QString::fromStdString(::EncodePackProperties(m_settings));
}

bool CChargerDlg::DecodePackProperties(const QString& text) {
    std::optional<ChargeSettings> settings = ParsePackProperties(text.toStdString());
    if (!settings || !IsWithinDialogRanges(*settings)) {
        return false;
    }
    m_settings = *settings;
    StoreChargeSettings(P(), m_settings);
    return true;
}

void CChargerDlg::ShowNotice(const QString& message) {
    Ask(message);
}

bool CChargerDlg::Ask(const QString& question, bool cancelDefault) {
    CConfirmDlg confirm(this);
    confirm.m_strMessage = question;
    confirm.m_bCancelDefault = cancelDefault;
    return confirm.DoModal() == IDOK;
}

void CChargerDlg::OnSelChange(int id) {
    if (id == IDC_PACK_LIST) {
        OnSelchangePackList();
    }
}

void CChargerDlg::OnSelchangePackList() {
    ReloadPackNames();
    const int p = m_lstPacks->GetCurSel();
    if (p == m_nSelected || p < 0) {
        // A second click on the selected entry deselects it; the charge properties stay.
        m_lstPacks->SetCurSel(-1);
        m_nSelected = -1;
        P().WriteProfileInt(kPropertiesSection, kKeyLastSelected, -1);
        if (m_bCharging == 0) {
            m_stcPackName->setText(kNoPack);
            P().WriteProfileString(kPropertiesSection, kKeyPackName, kNoPack);
            m_strPackName = kNoPack;
        }
        return;
    }
    MakePackCurrent(p);
}

void CChargerDlg::MakePackCurrent(int position) {
    m_nSelected = position;
    P().WriteProfileInt(kPropertiesSection, kKeyLastSelected, position);
    const QString text = m_lstPacks->GetText(position);
    // A running charge keeps its pack and its properties.
    if (m_bCharging) {
        return;
    }
    const int slot = FindPackSlot(text);
    if (slot < 0) {
        // The list no longer matches the profile (changed by another program): show what is
        // stored, and load nothing.
        FillPackList();
        return;
    }
    const QString properties = P().GetProfileString(kPacksSection, SlotKey(slot) + "i", "1");
    const QString name = P().GetProfileString(kPacksSection, SlotKey(slot), kNoPack);
    P().WriteProfileString(kPropertiesSection, kKeyPackName, name);
    m_strPackName = name;
    if (!DecodePackProperties(properties)) {
        ShowNotice("The stored charge properties of the pack " + name +
                   " are damaged. The current charge properties stay; save them into the pack to "
                   "repair it.");
    }
    RefreshSettingsSummary();
}

void CChargerDlg::OnNewPack() {
    ReloadPackNames();
    CNewPackDlg dlg(this);
    if (dlg.DoModal() != IDOK) {
        return;
    }
    const QString name = dlg.GetName();
    if (!IsAcceptablePackName(name, m_strPacks)) {
        ShowNotice(kIllegalName);
        return;
    }
    const auto free = std::find(m_strPacks.begin(), m_strPacks.end(), QString(kEmptySlot));
    if (free == m_strPacks.end()) {
        return;  // all forty slots in use: nothing is stored
    }
    const int slot = static_cast<int>(free - m_strPacks.begin());
    m_lstPacks->AddString(name);
    int position = 0;
    while (position < m_lstPacks->GetCount() && m_lstPacks->GetText(position) != name) {
        ++position;
    }
    // The new pack, its properties (the current ones) and its being current go to the profile
    // in one write: killed half-way, the program must not leave a name without its properties.
    // During a charge the new pack is only highlighted: the charge keeps its pack.
    const ChargeSettings& s = m_settings;
    const QString properties = EncodePackProperties();
    if (m_bCharging != 0) {
        P().WriteProfileValues({
            {kPacksSection, SlotKey(slot), name},
            {kPacksSection, SlotKey(slot) + "i", properties},
            {kPropertiesSection, kKeyLastSelected, position},
        });
    } else {
        P().WriteProfileValues({
            {kPacksSection, SlotKey(slot), name},
            {kPacksSection, SlotKey(slot) + "i", properties},
            {kPropertiesSection, kKeyPackName, name},
            {kPropertiesSection, kKeyLastSelected, position},
            {kPropertiesSection, kKeyDelay, s.delay},
            {kPropertiesSection, kKeySensitivity, s.sensitivity},
            {kPropertiesSection, kKeyThreshold, s.threshold},
            {kPropertiesSection, kKeyBatteryType, s.batteryType},
            {kPropertiesSection, kKeyChargeType, s.chargeType},
            {kPropertiesSection, kKeySec, s.timedSeconds},
            {kPropertiesSection, kKeyMin, s.timedMinutes},
            {kPropertiesSection, kKeyHour, s.timedHours},
            {kPropertiesSection, kKeyCells, s.cells},
            {kPropertiesSection, kKeyCsv, s.exportCsv},
        });
    }
    ReloadPackNames();
    m_lstPacks->SetCurSel(position);
    m_nSelected = position;
    if (m_bCharging == 0) {
        m_strPackName = name;
        RefreshSettingsSummary();
    }
}

bool CChargerDlg::SelectedPackSlot(int& position, QString& text, int& slot) {
    position = m_lstPacks->GetCurSel();
    if (position < 0 || m_lstPacks->GetCount() == 0) {
        return false;
    }
    text = m_lstPacks->GetText(position);
    ReloadPackNames();
    slot = FindPackSlot(text);
    if (slot < 0) {
        // Nothing may be written outside the 40 slots: show what the profile holds instead.
        FillPackList();
        return false;
    }
    return true;
}

void CChargerDlg::OnDeletePack() {
    int p = 0;
    int slot = 0;
    QString text;
    if (!SelectedPackSlot(p, text, slot)) {
        return;
    }
    if (!Ask("Are you sure you want to delete   " + text + "?")) {
        return;
    }
    P().WriteProfileString(kPacksSection, SlotKey(slot), kEmptySlot);
    P().WriteProfileString(kPacksSection, SlotKey(slot) + "j", kNoRecord);
    m_lstPacks->DeleteString(p);
    m_lstPacks->SetCurSel(0);
    P().WriteProfileInt(kPropertiesSection, kKeyLastSelected, 0);
    if (text == m_strPackName) {
        m_strPackName = kNoPack;
        m_stcPackName->setText(kNoPack);
        P().WriteProfileString(kPropertiesSection, kKeyPackName, kNoPack);
    }
}

void CChargerDlg::OnSavePackProperties() {
    int p = 0;
    int slot = 0;
    QString text;
    if (!SelectedPackSlot(p, text, slot)) {
        return;
    }
    if (Ask("Save current charger properties to " + text)) {
        P().WriteProfileString(kPacksSection, SlotKey(slot) + "i", EncodePackProperties());
    }
}

void CChargerDlg::OnPackInfo() {
    int p = 0;
    int slot = 0;
    QString text;
    if (!SelectedPackSlot(p, text, slot)) {
        return;
    }
    CPackInfoDlg info(this);
    info.m_strSlot = SlotKey(slot);
    info.DoModal();
    // Renamed in the editor, the current pack keeps being the current pack under its new name,
    // so that the end of its next charge (or of the running one) finds it.
    const QString renamed = P().GetProfileString(kPacksSection, SlotKey(slot), kEmptySlot);
    if (text == m_strPackName && renamed != text && renamed != kEmptySlot) {
        m_strPackName = renamed;
        m_stcPackName->setText(renamed);
        P().WriteProfileString(kPropertiesSection, kKeyPackName, renamed);
    }
    FillPackList();
}

void CChargerDlg::UpdatePackRecord() {
    if (m_strPackName == kNoPack || m_lstPacks->GetCount() <= 0) {
        return;
    }
    ReloadPackNames();
    const int slot = FindPackSlot(m_strPackName);
    if (slot < 0) {
        // The current pack was renamed or deleted elsewhere: there is no slot to record into.
        return;
    }
    const std::string previous = ReadRecord(P(), SlotKey(slot)).toStdString();
    const std::string record =
        BuildPackRecord(m_cycle.Texts().volts, m_cycle.Texts().mah, m_cycle.Texts().hours,
                        m_cycle.Texts().minutes, m_cycle.Texts().seconds, GetLocalTime(), previous);
    P().WriteProfileString(kPacksSection, SlotKey(slot) + "j", QString::fromStdString(record));
}
