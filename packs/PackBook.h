#pragma once
// The battery packs without a window: forty slots in the profile, the order the list shows them
// in, the current pack and the selected list position, the rules for selecting, creating,
// deleting, saving into and renaming a pack, and the record a charge's end leaves. The profile
// is the authority: every change reads the stored state afresh under the profile's change lock
// (another program may share the profile) and writes at once, never over what another program
// wrote. The main window's list and the pack dialogs are views.

#include <QString>
#include <vector>

#include "packs/PackStore.h"
#include "platform/LocalTime.h"
#include "settings/ChargeSettings.h"

// The list's order: case-folded, then byte order; equal names keep their slot order.
bool PackNameSortsBefore(const QString& a, const QString& b);

class PackBook {
public:
    explicit PackBook(Profile& profile) : m_profile(profile) {}

    // The slots as stored now.
    const PackNames& Names();
    // The used slots' names in the order the list shows them.
    std::vector<QString> ListOrder();
    // The last slot of that name, or -1.
    int FindSlot(const QString& name);

    QString CurrentPack();
    int SelectedPosition();

    enum class Selected {
        Deselected,   // a second click on the selected entry: no pack is current
        Highlighted,  // during a charge: the charge keeps its pack
        Loaded,       // the pack is current and its properties are in force
        Damaged,      // the pack is current, its properties could not be used
        OutOfStep,    // the list no longer matches the profile: nothing loaded
    };
    // The user chose the entry at position (its text as the list shows it); -1 or the selected
    // position again deselects. On Loaded, settings holds the pack's properties, stored as the
    // current ones.
    Selected Select(int position, const QString& text, bool charging, ChargeSettings& settings);

    enum class Created { Yes, Refused, Full };
    // A new pack with the current properties, made current (or, during a charge, highlighted):
    // one profile write. position is where the list shows it.
    Created Create(const QString& name, const ChargeSettings& current, bool charging,
                   int& position);
    // Frees the slot and its record; the selected position becomes the current pack's, or none
    // (-1) when the pack was the current one, which leaves no pack current (then true). Nothing is written when the slot no
    // longer holds that name (another program renamed, deleted or reused it).
    bool Delete(int slot, const QString& name);
    // Into the slot, while it still holds the pack of that name.
    void SaveProperties(int slot, const QString& name, const ChargeSettings& settings);
    // After the Pack Editor: when the current pack was renamed, it stays current under its new
    // name. Returns the current pack's name afterwards.
    QString FollowRename(int slot, const QString& before);
    // A slot's name and record as stored ("0" for none).
    QString Name(int slot);
    std::string Record(int slot);
    // The Pack Editor's OK: a new name must follow New Pack's rule; the count goes into the
    // record as it is now (a charge may have ended while the editor was open).
    enum class Edited { Saved, Refused };
    Edited Edit(int slot, const QString& name, int charges);
    // The end of a charge of the current pack, from what the display shows. Nothing when no
    // pack is current or its slot is gone.
    void RecordChargeEnd(const QString& pack, const std::string& volts, const std::string& mah,
                         const std::string& hours, const std::string& minutes,
                         const std::string& seconds, const LocalTime& now);

private:
    Profile& m_profile;
    PackNames m_names;
};
