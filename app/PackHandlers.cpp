// The pack list of the main window: selecting, creating, deleting and saving packs, the Pack
// Information dialog, and the record of a charge's end.

#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "app/CChargerDlg.h"
#include "app/Templates.h"
#include "controls/CListBox.h"
#include "history/HistoryRecording.h"
#include "limits/ChargeLimitsStore.h"
#include "packs/PackBook.h"
#include "packs/PackFormats.h"
#include "packs/dialogs/CConfirmDlg.h"
#include "packs/dialogs/CNewPackDlg.h"
#include "packs/dialogs/CPackInfoDlg.h"
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

PackBook CChargerDlg::Book() const {
    return PackBook(AppProfile());
}

void CChargerDlg::ReloadPackNames() {
    const std::vector<int> damaged = ::ReloadPackNames(P(), m_strPacks);
    if (!damaged.empty() && !m_bBadNamesReported) {
        m_bBadNamesReported = true;
        m_reportFailure(QString("The name stored for a pack is longer than %1 characters (edited "
                                "by hand, or written by another program), so it is not used: the "
                                "pack is listed as \"%2\". Rename it with Pack Information, or "
                                "delete it.")
                            .arg(kMaxPackNameLength)
                            .arg(DamagedPackName(damaged.front())));
    }
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

void CChargerDlg::ShowPacksAsStored() {
    AppProfile().Refresh();
    const std::vector<QString> stored = Book().ListOrder();
    std::vector<QString> shown;
    for (int i = 0; i < m_lstPacks->GetCount(); ++i) {
        shown.push_back(m_lstPacks->GetText(i));
    }
    if (stored == shown) {
        return;
    }
    ReloadPackNames();
    m_lstPacks->ResetContent();
    int current = -1;
    for (const QString& name : stored) {
        if (name == m_strPackName) {
            current = m_lstPacks->GetCount();
        }
        m_lstPacks->AddString(name);
    }
    m_lstPacks->SetCurSel(current);
    m_nSelected = current;
}

void CChargerDlg::ShowNotice(const QString& message) {
    Ask(message);
}

void CChargerDlg::OnSelChange(int id) {
    if (id == IDC_PACK_LIST) {
        OnSelchangePackList();
    }
}

void CChargerDlg::OnSelchangePackList() {
    const int p = m_lstPacks->GetCurSel();
    if (p == m_nSelected || p < 0) {
        // A second click on the selected entry deselects it; the charge properties stay.
        ChargeSettings unused;
        Book().Select(-1, QString(), m_bCharging != 0, unused);
        m_lstPacks->SetCurSel(-1);
        m_nSelected = -1;
        if (m_bCharging == 0) {
            m_stcPackName->setText(kNoPack);
            m_strPackName = kNoPack;
            LoadChargeLimits();
        }
        return;
    }
    MakePackCurrent(p);
}

void CChargerDlg::MakePackCurrent(int position) {
    m_nSelected = position;
    ChargeSettings settings;
    PackBook book = Book();
    switch (book.Select(position, m_lstPacks->GetText(position), m_bCharging != 0, settings)) {
        case PackBook::Selected::Highlighted:
        case PackBook::Selected::Deselected:
            return;
        case PackBook::Selected::OutOfStep:
            // The list no longer matches the profile (changed by another program): show what
            // is stored, and load nothing.
            FillPackList();
            return;
        case PackBook::Selected::Damaged:
            m_strPackName = book.CurrentPack();
            ShowNotice("The stored charge properties of the pack " + m_strPackName +
                       " are damaged. The current charge properties stay; save them into the "
                       "pack to repair it.");
            break;
        case PackBook::Selected::Loaded:
            m_strPackName = book.CurrentPack();
            m_settings = settings;
            break;
    }
    RefreshSettingsSummary();
}

void CChargerDlg::OnNewPack() {
    CNewPackDlg dlg(this);
    if (dlg.DoModal() != IDOK) {
        return;
    }
    const QString name = dlg.GetName();
    // The new pack takes the limits in force, as it takes the charge properties.
    const ChargeLimits limits = m_limits;
    int position = 0;
    switch (Book().Create(name, m_settings, m_bCharging != 0, position)) {
        case PackBook::Created::Refused:
            ShowNotice(kIllegalName);
            return;
        case PackBook::Created::Full:
            return;  // all forty slots in use: nothing is stored
        case PackBook::Created::Yes:
            break;
    }
    if (const int slot = Book().FindSlot(name); slot >= 0) {
        StoreChargeLimits(P(), slot, limits);
    }
    m_lstPacks->AddString(name);
    m_lstPacks->SetCurSel(position);
    m_nSelected = position;
    // During a charge the new pack is only highlighted: the charge keeps its pack.
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

bool CChargerDlg::KeepPackHistory(const QString& pack) {
    // Keeping is the answer that loses nothing: the default, and Escape's.
    QMessageBox box(QMessageBox::Question, "KVC410",
                    QString("\"%1\" has charges in the charge history. Keep them (they stay in the "
                            "Pack History under this name)?")
                        .arg(pack),
                    QMessageBox::NoButton, this);
    QPushButton* keep = box.addButton("&Keep History", QMessageBox::AcceptRole);
    QPushButton* remove = box.addButton("&Delete History", QMessageBox::DestructiveRole);
    box.setDefaultButton(keep);
    box.setEscapeButton(keep);
    box.setAccessibleName(box.text());
    box.exec();
    return box.clickedButton() != remove;
}

void CChargerDlg::OnDeletePack() {
    int p = 0;
    int slot = 0;
    QString text;
    if (!SelectedPackSlot(p, text, slot)) {
        return;
    }
    if (!Ask("Are you sure you want to delete   " + text + "?", false, text)) {
        return;
    }
    // A pack with charges in the history: kept (under its name, in the Pack History) unless the
    // user says otherwise.
    const QString historyId = PackHistoryId(P(), slot);
    {
        ChargeHistory history;
        if (QFileInfo::exists(history.Path()) &&
            history.Open() == ChargeHistory::State::Writable &&
            !history.Charges(historyId, text, false).empty() && !KeepPackHistory(text)) {
            if (!history.Forget(historyId, text)) {
                m_reportFailure(history.Problem());
            }
        }
    }
    const bool wasCurrent = Book().Delete(slot, text);
    // The slot's limits and history id go with the pack: a pack made in it later starts from its
    // own.
    StoreChargeLimits(P(), slot, kDefaultLimits);
    ForgetPackHistoryId(P(), slot);
    m_lstPacks->DeleteString(p);
    m_nSelected = Book().SelectedPosition();
    m_lstPacks->SetCurSel(m_nSelected);
    if (wasCurrent) {
        m_strPackName = kNoPack;
        m_stcPackName->setText(kNoPack);
        LoadChargeLimits();
    }
}

void CChargerDlg::OnSavePackProperties() {
    int p = 0;
    int slot = 0;
    QString text;
    if (!SelectedPackSlot(p, text, slot)) {
        return;
    }
    if (Ask("Save current charger properties to " + text, false, text)) {
        Book().SaveProperties(slot, text, m_settings);
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
    const QString current = Book().FollowRename(slot, text);
    if (current != m_strPackName && text == m_strPackName) {
        m_strPackName = current;
        m_stcPackName->setText(current);
    }
    FillPackList();
}
