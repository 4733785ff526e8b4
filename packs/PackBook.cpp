#include "packs/PackBook.h"

#include <algorithm>

#include "packs/PackFormats.h"
#include "settings/ChargeSettingsStore.h"

bool PackNameSortsBefore(const QString& a, const QString& b) {
    const int folded = QString::compare(a.toCaseFolded(), b.toCaseFolded(), Qt::CaseSensitive);
    if (folded != 0) {
        return folded < 0;
    }
    return a.toUtf8() < b.toUtf8();
}

const PackNames& PackBook::Names() {
    ReloadPackNames(m_profile, m_names);
    return m_names;
}

std::vector<QString> PackBook::ListOrder() {
    std::vector<QString> order;
    for (const QString& name : Names()) {
        if (name != kEmptySlot) {
            order.push_back(name);
        }
    }
    std::stable_sort(order.begin(), order.end(), PackNameSortsBefore);
    return order;
}

int PackBook::FindSlot(const QString& name) {
    return FindPackSlot(Names(), name);
}

QString PackBook::CurrentPack() {
    return m_profile.GetProfileString(kPropertiesSection, kKeyPackName, kNoPack);
}

int PackBook::SelectedPosition() {
    return m_profile.GetProfileInt(kPropertiesSection, kKeyLastSelected, 0);
}

PackBook::Selected PackBook::Select(int position, const QString& text, bool charging,
                                    ChargeSettings& settings) {
    const Profile::ChangeLock lock(m_profile);
    if (position < 0 || position == SelectedPosition()) {
        m_profile.WriteProfileInt(kPropertiesSection, kKeyLastSelected, -1);
        if (!charging) {
            m_profile.WriteProfileString(kPropertiesSection, kKeyPackName, kNoPack);
        }
        return Selected::Deselected;
    }
    m_profile.WriteProfileInt(kPropertiesSection, kKeyLastSelected, position);
    // A running charge keeps its pack and its properties.
    if (charging) {
        return Selected::Highlighted;
    }
    const int slot = FindSlot(text);
    if (slot < 0) {
        return Selected::OutOfStep;
    }
    const QString properties = m_profile.GetProfileString(kPacksSection, SlotKey(slot) + "i", "1");
    m_profile.WriteProfileString(kPropertiesSection, kKeyPackName, m_names[slot]);
    std::optional<ChargeSettings> stored = ParsePackProperties(properties.toStdString());
    if (!stored || !IsWithinDialogRanges(*stored)) {
        return Selected::Damaged;
    }
    settings = *stored;
    StoreChargeSettings(m_profile, settings);
    return Selected::Loaded;
}

PackBook::Created PackBook::Create(const QString& name, const ChargeSettings& s, bool charging,
                                   int& position) {
    // Another program may have taken a slot since this one last looked.
    const Profile::ChangeLock lock(m_profile);
    if (!IsAcceptablePackName(name, Names())) {
        return Created::Refused;
    }
    const auto free = std::find(m_names.begin(), m_names.end(), QString(kEmptySlot));
    if (free == m_names.end()) {
        return Created::Full;  // all forty slots in use: nothing is stored
    }
    const int slot = static_cast<int>(free - m_names.begin());
    // Where the list will show it: after every name that does not sort after it.
    position = 0;
    for (const QString& other : ListOrder()) {
        if (!PackNameSortsBefore(name, other)) {
            ++position;
        }
    }
    // The pack, its properties and its being current in one write: killed half-way, the
    // program must not leave a name without its properties.
    const QString properties = QString::fromStdString(EncodePackProperties(s));
    if (charging) {
        m_profile.WriteProfileValues({
            {kPacksSection, SlotKey(slot), name},
            {kPacksSection, SlotKey(slot) + "i", properties},
            {kPropertiesSection, kKeyLastSelected, position},
        });
        return Created::Yes;
    }
    m_profile.WriteProfileValues({
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
    return Created::Yes;
}

bool PackBook::Delete(int slot, const QString& name) {
    const Profile::ChangeLock lock(m_profile);
    if (Name(slot) != name) {
        return false;  // renamed, deleted or reused by another program: not this pack any more
    }
    m_profile.WriteProfileString(kPacksSection, SlotKey(slot), kEmptySlot);
    m_profile.WriteProfileString(kPacksSection, SlotKey(slot) + "j", kNoRecord);
    const bool wasCurrent = name == CurrentPack();
    if (wasCurrent) {
        m_profile.WriteProfileString(kPropertiesSection, kKeyPackName, kNoPack);
    }
    // The selection is the current pack where the list now shows it, or none: what is
    // highlighted is what is selected, and one click on another pack selects it.
    const std::vector<QString> order = ListOrder();
    const auto at = std::find(order.begin(), order.end(), CurrentPack());
    const int selected = at == order.end() ? -1 : static_cast<int>(at - order.begin());
    m_profile.WriteProfileInt(kPropertiesSection, kKeyLastSelected, selected);
    return wasCurrent;
}

void PackBook::SaveProperties(int slot, const QString& name, const ChargeSettings& settings) {
    const Profile::ChangeLock lock(m_profile);
    if (Name(slot) != name) {
        return;
    }
    m_profile.WriteProfileString(kPacksSection, SlotKey(slot) + "i",
                                 QString::fromStdString(EncodePackProperties(settings)));
}

QString PackBook::Name(int slot) {
    // As the list shows it: an over-long stored name is the damaged pack's.
    return slot >= 0 && slot < kPackSlotCount ? Names()[slot] : QString(kEmptySlot);
}

std::string PackBook::Record(int slot) {
    return ReadRecord(m_profile, SlotKey(slot)).toStdString();
}

PackBook::Edited PackBook::Edit(int slot, const QString& name, int charges) {
    const Profile::ChangeLock lock(m_profile);
    const QString current = Name(slot);
    if (current == kEmptySlot || (name != current && !IsAcceptablePackName(name, Names()))) {
        return Edited::Refused;
    }
    m_profile.WriteProfileString(kPacksSection, SlotKey(slot), name);
    m_profile.WriteProfileString(kPacksSection, SlotKey(slot) + "j",
                                 QString::fromStdString(ReplaceRecordCount(Record(slot), charges)));
    return Edited::Saved;
}

QString PackBook::FollowRename(int slot, const QString& before) {
    const Profile::ChangeLock lock(m_profile);
    const QString current = CurrentPack();
    const QString renamed = m_profile.GetProfileString(kPacksSection, SlotKey(slot), kEmptySlot);
    if (before == current && renamed != before && renamed != kEmptySlot) {
        m_profile.WriteProfileString(kPropertiesSection, kKeyPackName, renamed);
        return renamed;
    }
    return current;
}

void PackBook::RecordChargeEnd(const QString& pack, const std::string& volts,
                               const std::string& mah, const std::string& hours,
                               const std::string& minutes, const std::string& seconds,
                               const LocalTime& now) {
    if (pack == kNoPack) {
        return;
    }
    const Profile::ChangeLock lock(m_profile);
    const int slot = FindSlot(pack);
    if (slot < 0) {
        // The current pack was renamed or deleted elsewhere: there is no slot to record into.
        return;
    }
    const std::string previous = ReadRecord(m_profile, SlotKey(slot)).toStdString();
    const std::string record = BuildPackRecord(volts, mah, hours, minutes, seconds, now, previous);
    m_profile.WriteProfileString(kPacksSection, SlotKey(slot) + "j",
                                 QString::fromStdString(record));
}
