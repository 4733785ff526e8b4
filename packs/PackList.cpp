// The pack list of the main window.

#include <QListWidget>

#include "app/CChargerDlg.h"
#include "packs/PackOrder.h"
#include "platform/Profile.h"

namespace {
const char* const kPacksSection = "Packs";
const char* const kEmptySlot = "0";
}  // namespace

void CChargerDlg::ReloadPackNames() {
    Profile& profile = AppProfile();
    for (int n = 0; n < kPackSlots; ++n) {
        m_strPacks[n] = profile.GetProfileString(kPacksSection, QString::number(n), kEmptySlot);
    }
}

int CChargerDlg::FindPackSlot(const QString& name) const {
    int slot = -1;
    for (int n = 0; n < kPackSlots; ++n) {
        if (m_strPacks[n] == name) {
            slot = n;
        }
    }
    return slot;
}

int CChargerDlg::AddPackName(const QString& name) {
    // After every entry that sorts before or equal to it, as a sorted list box adds.
    int row = 0;
    while (row < m_lstPacks->count() && !PackNameLess(name, m_lstPacks->item(row)->text())) {
        ++row;
    }
    m_lstPacks->insertItem(row, name);
    return row;
}

void CChargerDlg::FillPackList() {
    ReloadPackNames();
    m_lstPacks->clear();
    for (const QString& name : m_strPacks) {
        if (name != kEmptySlot) {
            AddPackName(name);
        }
    }
    if (m_nSelected >= 0 && m_nSelected < m_lstPacks->count()) {
        m_lstPacks->setCurrentRow(m_nSelected);
    }
}

void CChargerDlg::UpdatePackRecord() {}
