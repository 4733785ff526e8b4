// The pack rules on their own, over a profile in a temporary folder: no window, QtCore only.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "packs/PackBook.h"
#include "packs/PackFormats.h"
#include "settings/ChargeSettingsStore.h"

namespace {

class Book {
public:
    Book() : profile(dir.path() + "/KVC410.ini"), book(profile) {}
    void Store(int slot, const QString& name, const QString& props = "12080101080130000") {
        profile.WriteProfileString("Packs", QString::number(slot), name);
        profile.WriteProfileString("Packs", QString::number(slot) + "i", props);
    }
    QString Get(const QString& key) { return profile.GetProfileString("Packs", key, "absent"); }

    QTemporaryDir dir;
    Profile profile;
    PackBook book;
};

TEST(PackBook, OrderCreateAndSelect) {
    Book b;
    b.Store(0, "beta");
    b.Store(1, "Alpha");
    b.Store(2, "alpha");
    b.Store(3, "Gamma", "1");  // damaged properties
    EXPECT_EQ(b.book.ListOrder(), (std::vector<QString>{"Alpha", "alpha", "beta", "Gamma"}));

    // Created in the lowest free slot, in one write, where the list will show it.
    int position = -1;
    const int writes = b.profile.WriteCount();
    const ChargeSettings current{.threshold = 12};
    ASSERT_EQ(b.book.Create("Beta", current, false, position), PackBook::Created::Yes);
    EXPECT_EQ(b.profile.WriteCount() - writes, 1);
    EXPECT_EQ(position, 2);  // "Beta" and "beta" fold alike; in byte order "Beta" comes first
    EXPECT_EQ(b.book.ListOrder()[static_cast<size_t>(position)], "Beta");
    EXPECT_EQ(b.Get("4"), "Beta");
    EXPECT_EQ(b.book.CurrentPack(), "Beta");
    EXPECT_EQ(ReadChargeSettings(b.profile, kMainWindowDefaults), current);
    for (const char* refused : {"Beta", "None", "0", "", "a|b"}) {
        EXPECT_EQ(b.book.Create(refused, current, false, position), PackBook::Created::Refused)
            << refused;
    }

    struct Case {
        int position;
        const char* text;
        bool charging;
        PackBook::Selected expected;
        const char* current;  // afterwards
    };
    const Case cases[] = {
        {0, "Alpha", true, PackBook::Selected::Highlighted, "Beta"},
        {1, "alpha", false, PackBook::Selected::Loaded, "alpha"},
        {1, "alpha", false, PackBook::Selected::Deselected, "None"},
        {4, "Gamma", false, PackBook::Selected::Damaged, "Gamma"},
        {0, "Gone", false, PackBook::Selected::OutOfStep, "Gamma"},
    };
    for (const Case& c : cases) {
        ChargeSettings loaded;
        EXPECT_EQ(b.book.Select(c.position, c.text, c.charging, loaded), c.expected) << c.text;
        EXPECT_EQ(b.book.CurrentPack(), c.current) << c.text;
    }
}

TEST(PackBook, RecordsDeletesAndFollowsRenames) {
    Book b;
    b.Store(0, "Alpha");
    b.Store(5, "Alpha");  // two slots of one name: the last is the pack
    b.profile.WriteProfileString("Properties", "PackName", "Alpha");
    const LocalTime now{2026, 12, 7, 17, 5};
    b.book.RecordChargeEnd("Alpha", "12.34", "1500.0", "01", "30", "00", now);
    EXPECT_EQ(b.Get("5j"), "1234001500.0013000170512072026000000001");
    EXPECT_EQ(b.Get("0j"), "absent");
    b.book.RecordChargeEnd("None", "12.34", "1500.0", "01", "30", "00", now);
    b.book.RecordChargeEnd("Nowhere", "12.34", "1500.0", "01", "30", "00", now);

    // Renamed in the editor (New Pack's rule), the current pack stays current under its new
    // name; the count goes into the record as it is now.
    EXPECT_EQ(b.book.Edit(5, "None", 3), PackBook::Edited::Refused);
    EXPECT_EQ(b.book.Edit(5, "a/b", 3), PackBook::Edited::Refused);
    ASSERT_EQ(b.book.Edit(5, "Zulu", 7), PackBook::Edited::Saved);
    EXPECT_EQ(b.Get("5j"), "1234001500.0013000170512072026000000007");
    EXPECT_EQ(b.book.FollowRename(5, "Alpha"), "Zulu");
    EXPECT_EQ(b.book.CurrentPack(), "Zulu");
    EXPECT_EQ(b.book.FollowRename(0, "Alpha"), "Zulu");  // not the current pack: nothing follows

    EXPECT_FALSE(b.book.Delete(0, "Alpha"));
    EXPECT_TRUE(b.book.Delete(5, "Zulu"));
    EXPECT_EQ(b.book.CurrentPack(), "None");
    EXPECT_EQ(b.Get("5"), "0");
    EXPECT_EQ(b.Get("5j"), "0");
    EXPECT_TRUE(b.book.ListOrder().empty());
}

}  // namespace
