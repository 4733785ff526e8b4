// The pack list as a user works it: clicks in the list, the four buttons, and the dialogs they
// open, each answered from the test.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QtTest/QTest>
#include <optional>

#include "app/CChargerDlg.h"
#include "app/Templates.h"
#include "controls/CListBox.h"
#include "controls/ControlLooks.h"
#include "packs/PackFormats.h"
#include "packs/dialogs/CConfirmDlg.h"
#include "packs/dialogs/CNewPackDlg.h"
#include "packs/dialogs/CPackEditorDlg.h"
#include "packs/dialogs/CPackInfoDlg.h"
#include "platform/LocalTime.h"
#include "settings/ChargeSettingsStore.h"
#include "settings/dialogs/CChargePropertiesDlg.h"
#include "tests/TestSupport.h"

namespace {

int NoSound(const QByteArray&) {
    return 0;
}
const LocalTime kNow{2003, 3, 3, 14, 7};

class Packs {
public:
    explicit Packs(std::function<void(Profile&)> prepare = {}) : box(SteppedSim()) {
        if (prepare) {
            prepare(profile.profile());
        }
        SetLocalTimeForTests(&kNow);
        main = std::make_unique<CChargerDlg>();
        main->m_playWave = &NoSound;
        main->Initialise();
        main->show();
    }
    ~Packs() { SetLocalTimeForTests(nullptr); }

    Profile& P() { return profile.profile(); }
    QString Get(const QString& key) { return P().GetProfileString("Packs", key, "absent"); }
    CListBox& List() { return *main->m_lstPacks; }
    QStringList Names() {
        QStringList names;
        for (int i = 0; i < List().GetCount(); ++i) {
            names << List().GetText(i);
        }
        return names;
    }
    void Click(const QString& name) {
        for (int i = 0; i < List().GetCount(); ++i) {
            if (List().GetText(i) == name) {
                QRect r = List().visualItemRect(List().item(i));
                QTest::mouseClick(List().viewport(), Qt::LeftButton, {}, r.center());
                return;
            }
        }
        ADD_FAILURE() << "no entry " << name.toStdString();
    }
    // Creates a pack through the New Pack dialog; returns the notice shown, if one is expected.
    QString Create(const QString& name, bool expectNotice = false) {
        QString notice;
        auto answer = WhenModalOpens<CNewPackDlg>([&, name](CNewPackDlg* dlg) {
            dlg->SetDlgItemText(CNewPackDlg::IDC_NAME, name);
            ClickButtonWithText(dlg, "OK");
        });
        std::optional<ModalAnswer> refusal;
        if (expectNotice) {
            refusal.emplace(WhenModalOpens<CConfirmDlg>([&](CConfirmDlg* confirm) {
                notice = confirm->GetDlgItemText(1083);
                ClickButtonWithText(confirm, "OK");
            }));
        }
        main->OnNewPack();
        return notice;
    }
    // Runs a button's handler answering its confirmation; returns the question.
    QString Confirm(void (CChargerDlg::*handler)(), bool ok) {
        QString asked;
        auto answer = WhenModalOpens<CConfirmDlg>([&](CConfirmDlg* w) {
            asked = w->GetDlgItemText(1083);
            ClickButtonWithText(w, ok ? "OK" : "Cancel");
        });
        (main.get()->*handler)();
        return asked;
    }

    ProfileSandbox profile;
    PortSandbox<SimulatedChargerBox> box;
    std::unique_ptr<CChargerDlg> main;
};

void Store(Profile& p, int slot, const QString& name, const QString& props = "12080101080130000",
           const QString& record = "0") {
    p.WriteProfileString("Packs", QString::number(slot), name);
    p.WriteProfileString("Packs", QString::number(slot) + "i", props);
    p.WriteProfileString("Packs", QString::number(slot) + "j", record);
}

TEST(PackList, NewPacksAreCheckedAndTakeTheLowestFreeSlot) {
    Packs packs;
    const QString illegal =
        "That pack already exists or you have entered an illegal pack name. \\ / : * ? \" < > | "
        "are illegal characters.";
    struct Case {
        const char* name;
        bool accepted;
    };
    const Case cases[] = {
        {"AA", true},   {"7", true},   {"aa", true},  {"none", true},   {"None", false},
        {"0", false},   {"", false},   {"AA", false}, {"a/b", false},   {"a\\b", false},
        {"c:d", false}, {"x*", false}, {"?", false},  {"\"q\"", false}, {"<", false},
        {">", false},   {"|", false},
    };
    for (const Case& c : cases) {
        const int writes = packs.P().WriteCount();
        QString notice = packs.Create(c.name, !c.accepted);
        if (!c.accepted) {
            EXPECT_EQ(notice, illegal) << c.name;
        }
        // One write: killed in between, no name is left without its properties.
        EXPECT_EQ(packs.P().WriteCount() - writes, c.accepted ? 1 : 0) << c.name;
    }
    EXPECT_EQ(packs.Names(), (QStringList{"7", "AA", "aa", "none"}));
    EXPECT_EQ(packs.Get("0"), "AA");
    EXPECT_EQ(packs.Get("1"), "7");  // a name, not a key: no clash with slot 7
    EXPECT_EQ(packs.Get("2"), "aa");
    EXPECT_EQ(packs.Get("3"), "none");
    EXPECT_EQ(packs.Get("4"), "absent");
    EXPECT_EQ(packs.Get("1i"), "12080101080000000");  // the current properties of the moment
    EXPECT_EQ(packs.Get("1j"), "absent");
    // The newest pack is selected and current.
    EXPECT_EQ(packs.main->m_strPackName, "none");
    EXPECT_EQ(packs.main->GetDlgItemText(IDC_PACK_NAME), "none");
    EXPECT_EQ(packs.List().GetCurSel(), 3);
    EXPECT_EQ(packs.P().GetProfileInt("Properties", "LastSelected", -9), 3);
}

TEST(PackList, FortyPacksFillTheStoreAndTheFortyFirstIsNotStored) {
    Packs packs([](Profile& p) {
        for (int n = 0; n < 39; ++n) {
            Store(p, n, QString("Pack %1").arg(n, 2, 10, QChar('0')));
        }
    });
    EXPECT_EQ(packs.Create("Last"), "");
    EXPECT_EQ(packs.Get("39"), "Last");
    EXPECT_EQ(packs.Get("10"), "Pack 10");
    EXPECT_EQ(packs.Get("10i"), "12080101080130000");
    const int selected = packs.List().GetCurSel();
    EXPECT_EQ(packs.Create("Too many"), "");  // silently not stored
    EXPECT_FALSE(packs.Names().contains("Too many"));
    EXPECT_EQ(packs.List().GetCurSel(), selected);
    EXPECT_EQ(packs.main->m_strPackName, "Last");
}

TEST(PackList, DeletingFreesTheSlotAndItsRecord) {
    Packs packs([](Profile& p) {
        Store(p, 0, "Alpha", "12080101080130000", "0987001234.5020510140703032003099100006");
        Store(p, 1, "Beta", "21100601555959591", "1234001234.5020510140703032003099100002");
        Store(p, 2, "Gamma");
        p.WriteProfileString("Properties", "PackName", "Gamma");
        p.WriteProfileInt("Properties", "LastSelected", 1);
    });
    EXPECT_EQ(packs.List().GetCurSel(), 1);
    // Cancel deletes nothing.
    EXPECT_EQ(packs.Confirm(&CChargerDlg::OnDeletePack, false),
              "Are you sure you want to delete   Beta?");
    EXPECT_EQ(packs.Get("1"), "Beta");
    packs.Confirm(&CChargerDlg::OnDeletePack, true);
    EXPECT_EQ(packs.Get("1"), "0");
    EXPECT_EQ(packs.Get("1j"), "0");
    EXPECT_EQ(packs.Get("1i"), "21100601555959591");
    EXPECT_EQ(packs.Names(), (QStringList{"Alpha", "Gamma"}));
    // Not the current pack: Gamma stays current, highlighted where it now stands, and the
    // window, the list and the profile agree on it.
    EXPECT_EQ(packs.main->m_strPackName, "Gamma");
    EXPECT_EQ(packs.List().GetCurSel(), 1);
    EXPECT_EQ(packs.main->m_nSelected, 1);
    EXPECT_EQ(packs.P().GetProfileInt("Properties", "LastSelected", -9), 1);

    // The next pack takes slot 1 and starts without a record.
    EXPECT_EQ(packs.Create("Delta"), "");
    EXPECT_EQ(packs.Get("1"), "Delta");
    EXPECT_EQ(packs.Get("1j"), "0");

    // Deleting the current pack leaves no pack current; its properties stay in force.
    const ChargeSettings before = packs.main->m_settings;
    ASSERT_EQ(packs.main->m_strPackName, "Delta");
    ASSERT_EQ(packs.List().GetText(packs.List().GetCurSel()), "Delta");
    EXPECT_EQ(packs.Confirm(&CChargerDlg::OnDeletePack, true),
              "Are you sure you want to delete   Delta?");
    EXPECT_EQ(packs.Get("1"), "0");
    EXPECT_EQ(packs.Names(), (QStringList{"Alpha", "Gamma"}));
    EXPECT_EQ(packs.main->m_strPackName, "None");
    EXPECT_EQ(packs.main->GetDlgItemText(IDC_PACK_NAME), "None");
    EXPECT_EQ(packs.P().GetProfileString("Properties", "PackName", "?"), "None");
    EXPECT_EQ(packs.main->m_settings, before);
    // Nothing is highlighted, so nothing seems selected; one click selects.
    EXPECT_EQ(packs.List().GetCurSel(), -1);
    EXPECT_EQ(packs.main->m_nSelected, -1);
    EXPECT_EQ(packs.P().GetProfileInt("Properties", "LastSelected", -9), -1);
    packs.Click("Alpha");
    EXPECT_EQ(packs.main->m_strPackName, "Alpha");
}

TEST(PackList, SelectingLoadsAPackAndASecondClickDeselects) {
    Packs packs([](Profile& p) {
        Store(p, 0, "Alpha");
        // Two slots of one name (a hand-edited profile): the higher slot is the pack.
        Store(p, 2, "Beta");
        Store(p, 5, "Beta", "21100601555959591");
    });
    packs.Click("Beta");
    const ChargeSettings beta{.timedHours = 59,
                              .timedMinutes = 59,
                              .timedSeconds = 59,
                              .batteryType = 1,
                              .chargeType = 2,
                              .threshold = 10,
                              .delay = 60,
                              .sensitivity = 15,
                              .cells = 5,
                              .exportCsv = 1};
    EXPECT_EQ(packs.main->m_settings, beta);
    EXPECT_EQ(ReadChargeSettings(packs.P(), kMainWindowDefaults), beta);
    EXPECT_EQ(packs.main->GetDlgItemText(IDC_PACK_NAME), "Beta");
    EXPECT_EQ(packs.main->GetDlgItemText(IDC_VALUE_CHARGE_TYPE), "Timed Charge");
    EXPECT_EQ(packs.P().GetProfileString("Properties", "PackName", "?"), "Beta");

    packs.Click("Beta");
    EXPECT_EQ(packs.List().GetCurSel(), -1);
    EXPECT_EQ(packs.main->m_strPackName, "None");
    EXPECT_EQ(packs.main->GetDlgItemText(IDC_PACK_NAME), "None");
    EXPECT_EQ(packs.P().GetProfileInt("Properties", "LastSelected", -9), -1);
    EXPECT_EQ(packs.main->m_settings, beta);

    // The keyboard selects too; the program's own selection calls never do.
    packs.List().setFocus();
    packs.List().SetCurSel(0);
    EXPECT_EQ(packs.main->m_strPackName, "None");
    QTest::keyClick(&packs.List(), Qt::Key_Down);
    EXPECT_EQ(packs.main->m_strPackName, "Beta");
    QTest::keyClick(&packs.List(), Qt::Key_Up);
    EXPECT_EQ(packs.main->m_strPackName, "Alpha");
}

TEST(PackList, DamagedPropertiesAreReportedAndNotApplied) {
    Packs packs([](Profile& p) {
        Store(p, 0, "Short", "1");
        p.WriteProfileString("Packs", "1", "Absent properties");
        // A timed charge of 0:00:60 would never end.
        Store(p, 2, "Sixty seconds", "22080101080000600");
    });
    const ChargeSettings before = packs.main->m_settings;
    for (const char* name : {"Short", "Absent properties", "Sixty seconds"}) {
        QString notice;
        auto answer = WhenModalOpens<CConfirmDlg>([&](CConfirmDlg* w) {
            notice = w->GetDlgItemText(1083);
            ClickButtonWithText(w, "OK");
        });
        packs.Click(name);
        EXPECT_TRUE(notice.contains("are damaged")) << name;
        EXPECT_EQ(packs.main->m_settings, before) << name;
        EXPECT_EQ(packs.main->m_strPackName, name);
    }
}

TEST(PackList, AHugeNameIsADamagedPackNotAFrozenWindow) {
    // Ten megabytes of name, in a slot and as the current pack: a window that laid it out would
    // freeze for many seconds and take hundreds of megabytes.
    ProfileSandbox profile;
    const QString huge(10 * 1000 * 1000, 'x');
    Store(profile.profile(), 0, "Alpha");
    Store(profile.profile(), 2, huge);
    profile.profile().WriteProfileString("Properties", "PackName", huge);
    PortSandbox<SimulatedChargerBox> box(SteppedSim());
    QElapsedTimer clock;
    clock.start();
    CChargerDlg dlg;
    std::vector<QString> said;
    dlg.m_reportFailure = [&](const QString& m) { said.push_back(m); };
    dlg.Initialise();
    dlg.show();
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(dlg.m_strPackName, "None");
    ASSERT_EQ(dlg.m_lstPacks->GetCount(), 2);
    EXPECT_EQ(dlg.m_lstPacks->GetText(1), "Damaged pack 3");
    ASSERT_EQ(said.size(), 1u);
    EXPECT_TRUE(said[0].contains("\"Damaged pack 3\"")) << said[0].toStdString();
    // It is a pack like any other: deleting it frees its slot.
    dlg.m_lstPacks->SetCurSel(1);
    {
        auto answer =
            WhenModalOpens<CConfirmDlg>([](CConfirmDlg* w) { ClickButtonWithText(w, "OK"); });
        dlg.OnDeletePack();
    }
    EXPECT_EQ(profile.profile().GetProfileString("Packs", "2", "absent"), "0");
}

TEST(PackList, TwoProgramsOnOneProfileLoseNothing) {
    // This program (A) and another (B) on the same profile, as two boxes on two ports. A's
    // profile has not looked at the file since B changed it.
    QTemporaryDir home;
    const QString path = home.path() + "/Quillmark/KVC410.ini";
    QDir().mkpath(home.path() + "/Quillmark");
    auto previous = SetAppProfile(std::make_unique<Profile>(path));
    AppProfile().WriteProfileString("Packs", "0", "Old");
    PortSandbox<SimulatedChargerBox> box(SteppedSim());
    CChargerDlg dlg;
    dlg.Initialise();
    auto b = [&](const char* what, const QString& pack) {
        QProcess other;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home.path());
        other.setProcessEnvironment(env);
        other.start(KVC410_SAFETY_CHILD, {what, pack});
        return other.waitForFinished(10000) && other.exitCode() == 0;
    };
    auto stored = [&] {
        Profile reread(path);
        QStringList names;
        for (int n = 0; n < 40; ++n) {
            names << reread.GetProfileString("Packs", QString::number(n), "0");
        }
        return names;
    };
    PackBook a(AppProfile());
    // B takes the first free slot; A's new pack must not land on it.
    ASSERT_TRUE(b("create-pack", "B1"));
    int position = 0;
    ASSERT_EQ(a.Create("A1", ChargeSettings{}, false, position), PackBook::Created::Yes);
    EXPECT_EQ(stored().mid(0, 3), (QStringList{"Old", "B1", "A1"}));
    // B deletes A1 and reuses its slot: the end of A's charge of A1 records into nothing, not
    // into B3.
    ASSERT_TRUE(b("delete-pack", "A1"));
    ASSERT_TRUE(b("create-pack", "B3"));
    a.RecordChargeEnd("A1", "9.87", "1234.5", "01", "02", "03", LocalTime{2026, 12, 7, 20, 0});
    EXPECT_EQ(Profile(path).GetProfileString("Packs", "2j", "0"), "0");
    // The window shows B's packs without being asked, its current pack still highlighted.
    dlg.m_strPackName = "Old";
    EXPECT_TRUE(
        RunUntil([&] { return dlg.m_lstPacks->GetCount() == 3; }, [] { QTest::qWait(20); }, 150));
    ASSERT_GE(dlg.m_lstPacks->GetCurSel(), 0);
    EXPECT_EQ(dlg.m_lstPacks->GetText(dlg.m_lstPacks->GetCurSel()), "Old");
    // B makes its own pack current; A's panel, read again (its Properties closed with OK), keeps
    // A's pack: the next charge is recorded into the pack A shows.
    {
        Profile other(path);
        other.WriteProfileValues({{"Properties", "PackName", "B3"},
                                  {"Properties", "LastSelected", 2}});
    }
    {
        auto ok = WhenModalOpens<CChargePropertiesDlg>(
            [](CChargePropertiesDlg* d) { ClickButtonWithText(d, "OK"); });
        dlg.OnProperties();
    }
    EXPECT_EQ(dlg.m_strPackName, "Old");
    EXPECT_EQ(dlg.m_stcPackName->text(), "Old");
    EXPECT_EQ(dlg.m_lstPacks->GetText(dlg.m_lstPacks->GetCurSel()), "Old");
    SetAppProfile(std::move(previous));
}

TEST(PackList, AListOutOfStepWithTheProfileIsRebuilt) {
    Packs packs([](Profile& p) {
        Store(p, 0, "Alpha");
        Store(p, 1, "Beta");
    });
    // Another program removed Beta behind the window's back.
    packs.P().WriteProfileString("Packs", "1", "0");
    packs.Click("Beta");
    EXPECT_EQ(packs.Names(), QStringList{"Alpha"});
    EXPECT_EQ(packs.main->m_strPackName, "None");
    for (int n = 0; n < 40; ++n) {
        EXPECT_NE(packs.Get(QString::number(n)), "Beta");
    }
}

TEST(PackList, SavingPropertiesGoesToTheSelectedPackOnly) {
    Packs packs([](Profile& p) {
        Store(p, 0, "Alpha");
        Store(p, 1, "Beta");
        p.WriteProfileString("Properties", "PackName", "Alpha");
        p.WriteProfileInt("Properties", "LastSelected", 1);
        p.WriteProfileInt("Properties", "Cells", 6);
    });
    EXPECT_EQ(packs.Confirm(&CChargerDlg::OnSavePackProperties, false),
              "Save current charger properties to Beta");
    EXPECT_EQ(packs.Get("1i"), "12080101080130000");
    packs.Confirm(&CChargerDlg::OnSavePackProperties, true);
    EXPECT_EQ(packs.Get("1i"), "12080101060000000");
    EXPECT_EQ(packs.main->m_strPackName, "Alpha");
}

TEST(PackList, ChargesRecordIntoTheCurrentPackOnly) {
    Packs packs([](Profile& p) {
        Store(p, 0, "Alpha", "12080101080130000", "0991000999.9010000100001022003088800005");
        Store(p, 1, "Beta");
        p.WriteProfileString("Properties", "PackName", "Alpha");
        StoreChargeSettings(p, {});  // a peak charge
    });
    packs.main->OnOK();
    packs.Click("Beta");  // during a charge: highlighted, not loaded
    EXPECT_EQ(packs.main->m_strPackName, "Alpha");
    EXPECT_EQ(packs.P().GetProfileInt("Properties", "LastSelected", -9), 1);
    ASSERT_TRUE(RunUntil([&] { return packs.main->m_bCharging == 0; },
                         [&] {
                             packs.box->AdvanceSeconds(1);
                             packs.main->OnTimer(1);
                             if (packs.main->m_bCharging) {
                                 packs.main->OnTimer(2);
                             }
                         }));
    // The record's peak is the charge's maximum voltage, which the peak end has fallen from.
    auto text = [&](int id) { return packs.main->GetDlgItemText(id).toStdString(); };
    const std::string maximum = text(IDC_MAX_VOLTS);
    ASSERT_NE(maximum, text(IDC_VOLTS));
    const std::string peak = maximum.substr(0, 2) + maximum.substr(3, 2);
    const std::string mah = text(IDC_MAH);
    EXPECT_EQ(packs.Get("0j").toStdString(),
              peak + std::string(8 - mah.size(), '0') + mah + text(IDC_HOURS) +
                  text(IDC_MINUTES) + text(IDC_SECONDS) + "1407" + "0303" + "2003" + "0991" +
                  "00006");
    EXPECT_EQ(packs.Get("1j"), "0");

    // Stopped by hand and answered Cancel: nothing is stored.
    const QString before = packs.Get("0j");
    packs.main->OnOK();
    for (int i = 0; i < 3; ++i) {
        packs.box->AdvanceSeconds(1);
        packs.main->OnTimer(1);
        packs.main->OnTimer(2);
    }
    EXPECT_EQ(packs.Confirm(&CChargerDlg::OnOK, false),
              "Save charge information to the selected profile?");
    EXPECT_EQ(packs.Get("0j"), before);
}

TEST(PackList, PackInformationShowsAndEditsTheRecord) {
    Packs packs([](Profile& p) {
        Store(p, 0, "Alpha", "12080101080130000", "0987001234.5020000140703032003099100006");
        Store(p, 1, "Beta");
        p.WriteProfileString("Properties", "PackName", "Alpha");
        p.WriteProfileInt("Properties", "LastSelected", 0);
    });
    using I = CPackInfoDlg;
    const QString kLaterRecord = "1111002222.2010000150704042004098700006";
    // Look, then rename Alpha to Zulu (the count untouched).
    QStringList shown;
    auto look = WhenModalOpens<I>([&](I* info) {
        for (int id : {I::IDC_NAME, I::IDC_PEAK, I::IDC_MAH, I::IDC_AVERAGE, I::IDC_DURATION,
                       I::IDC_DATE, I::IDC_TIME, I::IDC_PREVIOUS_PEAK, I::IDC_CHARGES}) {
            shown << info->GetDlgItemText(id);
        }
        auto edit = WhenModalOpens<CPackEditorDlg>([&, info](CPackEditorDlg* editor) {
            EXPECT_EQ(editor->GetDlgItemText(CPackEditorDlg::IDC_NAME), "Alpha");
            EXPECT_EQ(editor->GetDlgItemText(CPackEditorDlg::IDC_CHARGES), "6");
            editor->SetDlgItemText(CPackEditorDlg::IDC_NAME, "Zulu");
            // A charge ends while the editor is open: its record is the one to keep.
            packs.P().WriteProfileString("Packs", "0j", kLaterRecord);
            ClickButtonWithText(editor, "OK");
            QTimer::singleShot(0, info, [info] {
                EXPECT_EQ(info->GetDlgItemText(I::IDC_NAME), "Zulu");
                ClickButtonWithText(info, "OK");
            });
        });
        ClickButtonWithText(info, "Edit");
    });
    packs.main->OnPackInfo();
    EXPECT_EQ(shown, (QStringList{"Alpha", "9.87", "1234.5", "0.61", "02:00:00", "03/03/2003",
                                  "14:07", "9.91", "6"}));
    EXPECT_EQ(packs.Names(), (QStringList{"Beta", "Zulu"}));
    EXPECT_EQ(packs.List().GetCurSel(), 0);  // back at the remembered position
    // The current pack follows its new name, so that its next charge is recorded.
    EXPECT_EQ(packs.main->m_strPackName, "Zulu");
    EXPECT_EQ(packs.main->GetDlgItemText(IDC_PACK_NAME), "Zulu");
    EXPECT_EQ(packs.P().GetProfileString("Properties", "PackName", "?"), "Zulu");
    EXPECT_EQ(packs.Get("0j"), kLaterRecord);
    packs.main->UpdatePackRecord();
    EXPECT_EQ(RecordCount(packs.Get("0j").toStdString()), 7);
    EXPECT_EQ(packs.Get("1j"), "0");

    // Beta, now first in the list and highlighted, has no record; a count of 0 gives it the
    // blank one.
    EXPECT_EQ(packs.List().GetText(packs.List().GetCurSel()), "Beta");
    auto blank = WhenModalOpens<I>([&](I* info) {
        EXPECT_EQ(info->GetDlgItemText(I::IDC_NAME), "No record for this pack");
        EXPECT_EQ(info->GetDlgItemText(I::IDC_PEAK), "");
        auto edit = WhenModalOpens<CPackEditorDlg>([info](CPackEditorDlg* e) {
            e->SetDlgItemText(CPackEditorDlg::IDC_CHARGES, "0");
            ClickButtonWithText(e, "OK");
            QTimer::singleShot(0, info, [info] {
                QStringList values;
                for (int id :
                     {I::IDC_NAME, I::IDC_PEAK, I::IDC_MAH, I::IDC_AVERAGE, I::IDC_DURATION,
                      I::IDC_DATE, I::IDC_TIME, I::IDC_PREVIOUS_PEAK, I::IDC_CHARGES}) {
                    values << info->GetDlgItemText(id);
                }
                EXPECT_EQ(values, (QStringList{"Beta", "0.00", "0.0", "0.00", "00:00:00",
                                               "00/00/0000", "00:00", "0.00", "0"}));
                ClickButtonWithText(info, "OK");
            });
        });
        ClickButtonWithText(info, "Edit");
    });
    packs.main->OnPackInfo();
    EXPECT_EQ(packs.Get("1j"), kBlankRecord);
}

TEST(PackList, PackEditorRefusesTakenNamesAndBadCounts) {
    Packs packs([](Profile& p) {
        Store(p, 0, "Alpha");
        Store(p, 1, "Beta");
        p.WriteProfileInt("Properties", "LastSelected", 0);
    });
    struct Case {
        const char* name;
        const char* charges;
        const char* message;  // of the editor's check, or the notice after it
        bool stored;
    };
    const Case cases[] = {
        {"Beta", "3", "That pack already exists or you have entered an illegal pack name", false},
        {"0", "3", "That pack already exists or you have entered an illegal pack name", false},
        {"", "3", "That pack already exists or you have entered an illegal pack name", false},
        {"Alpha", "50001", "Please enter an integer between 0 and 50000.", false},
        {"Alpha", "-1", "Please enter an integer between 0 and 50000.", false},
        {"Alpha", "", "Please enter an integer.", false},
        // The rule of New Pack holds here too.
        {"None", "3", "That pack already exists or you have entered an illegal pack name", false},
        {"a/b", "3", "That pack already exists or you have entered an illegal pack name", false},
        {"x|y", "3", "That pack already exists or you have entered an illegal pack name", false},
        {"Zed", "50000", nullptr, true},
        {" Größe 電池 ", "7", nullptr, true},
    };
    for (const Case& c : cases) {
        QString message;
        packs.List().SetCurSel(0);
        auto answer = WhenModalOpens<CPackInfoDlg>([&](CPackInfoDlg* info) {
            QPointer<CPackEditorDlg> editor;
            auto edit = WhenModalOpens<CPackEditorDlg>([&](CPackEditorDlg* dlg) {
                editor = dlg;
                dlg->SetDlgItemText(CPackEditorDlg::IDC_NAME, c.name);
                dlg->SetDlgItemText(CPackEditorDlg::IDC_CHARGES, c.charges);
                ClickButtonWithText(dlg, "OK");
            });
            // A field check answers inside the editor; a refused name after it has closed.
            std::optional<ModalAnswer> refusal;
            if (c.message != nullptr) {
                refusal.emplace(WhenModalOpens([&](QWidget* m) {
                    if (auto* box = qobject_cast<QMessageBox*>(m)) {
                        message = box->text();
                        ClickButtonWithText(m, "OK");
                        QTimer::singleShot(0, editor,
                                           [&] { ClickButtonWithText(editor, "Cancel"); });
                    } else {
                        auto* notice = qobject_cast<CConfirmDlg*>(m);
                        ASSERT_NE(notice, nullptr);
                        message = notice->GetDlgItemText(1083);
                        ClickButtonWithText(m, "Cancel");
                    }
                }));
            }
            ClickButtonWithText(info, "Edit");
            QTimer::singleShot(0, info, [info] { ClickButtonWithText(info, "OK"); });
        });
        const QString before = packs.Get("0") + packs.Get("0j");
        packs.main->OnPackInfo();
        QCoreApplication::processEvents();
        if (c.message != nullptr) {
            EXPECT_EQ(message, c.message) << c.name << c.charges;
            EXPECT_EQ(packs.Get("0") + packs.Get("0j"), before) << c.name << c.charges;
        } else {
            EXPECT_EQ(packs.Get("0"), c.name);
            EXPECT_EQ(RecordCount(packs.Get("0j").toStdString()), QString(c.charges).toInt());
            packs.P().WriteProfileString("Packs", "0", "Alpha");
            packs.main->FillPackList();
        }
    }
}

TEST(PackList, NamesAndStateReadBackAfterARestart) {
    const QString odd = "  Größe, [x] = 1; #2 — 電池  ";
    Packs packs;
    EXPECT_EQ(packs.Create(odd), "");
    EXPECT_EQ(packs.Create("AA"), "");
    EXPECT_EQ(packs.Create("aa"), "");
    packs.Click(odd);
    const QStringList names = packs.Names();
    EXPECT_TRUE(names.contains(odd));

    CChargerDlg again;
    again.Initialise();
    QStringList reread;
    for (int i = 0; i < again.m_lstPacks->GetCount(); ++i) {
        reread << again.m_lstPacks->GetText(i);
    }
    EXPECT_EQ(reread, names);
    EXPECT_EQ(again.m_strPackName, odd);
    EXPECT_EQ(again.GetDlgItemText(IDC_PACK_NAME), odd);
    EXPECT_EQ(again.m_lstPacks->GetCurSel(), packs.List().GetCurSel());
    EXPECT_EQ(again.m_settings, packs.main->m_settings);
}

TEST(PackList, NewPackNamesAreLimitedTo100Characters) {
    CNewPackDlg dlg;
    dlg.show();
    dlg.Initialise();
    QTest::keyClicks(dlg.GetDlgItem(CNewPackDlg::IDC_NAME), QString(120, 'x'));
    EXPECT_EQ(dlg.GetDlgItemText(CNewPackDlg::IDC_NAME), QString(100, 'x'));
    dlg.OnOK();
    EXPECT_EQ(dlg.result(), IDOK);
    EXPECT_EQ(dlg.GetName(), QString(100, 'x'));
    // And a rename in the Pack Editor too.
    CPackEditorDlg editor;
    editor.show();
    editor.Initialise();
    // It opens with the focus in the name field.
    EXPECT_EQ(editor.focusWidget(), editor.GetDlgItem(CPackEditorDlg::IDC_NAME));
    QTest::keyClicks(editor.GetDlgItem(CPackEditorDlg::IDC_NAME), QString(120, 'y'));
    EXPECT_EQ(editor.GetDlgItemText(CPackEditorDlg::IDC_NAME), QString(100, 'y'));
}

}  // namespace

TEST(PackList, ALongNameIsCutWhereItDoesNotFitAndShownWholeAsItsTooltip) {
    const QString longName = QString("Transmitter pack ") + QString(83, QChar('X'));
    ASSERT_EQ(longName.size(), 100);
    Packs packs([&](Profile& p) {
        Store(p, 0, "AA");
        Store(p, 1, longName);
    });
    packs.Click(longName);
    ASSERT_EQ(packs.main->m_strPackName, longName);

    // "Battery Name": the label keeps the whole name (screen readers read it), shows it cut.
    auto* shown = qobject_cast<CElidedLabel*>(packs.main->m_stcPackName);
    ASSERT_NE(shown, nullptr);
    shown->grab();
    EXPECT_EQ(shown->text(), longName);
    EXPECT_TRUE(shown->DisplayText().endsWith(QChar(0x2026))) << shown->DisplayText().toStdString();
    EXPECT_EQ(shown->toolTip(), longName);

    // The list shows it cut too, without a horizontal scroll bar.
    CListBox& list = packs.List();
    EXPECT_FALSE(list.horizontalScrollBar()->isVisible());
    EXPECT_LE(list.visualItemRect(list.item(1)).width(), list.viewport()->width());
    EXPECT_TRUE(list.IsElided(1));
    EXPECT_FALSE(list.IsElided(0));

    // The delete question keeps its words and its question mark; only the name is cut.
    QString display, tip;
    auto answer = WhenModalOpens<CConfirmDlg>([&](CConfirmDlg* w) {
        auto* message = w->Item<CElidedLabel>(1083);
        message->grab();
        display = message->DisplayText();
        tip = message->toolTip();
        ClickButtonWithText(w, "Cancel");
    });
    packs.main->OnDeletePack();
    EXPECT_TRUE(display.startsWith("Are you sure you want to delete   Transmitter"))
        << display.toStdString();
    EXPECT_TRUE(display.endsWith(QString(QChar(0x2026)) + "?")) << display.toStdString();
    EXPECT_EQ(tip, "Are you sure you want to delete   " + longName + "?");

    // A short name is shown as it is, with no tooltip.
    packs.Click("AA");
    shown->grab();
    EXPECT_EQ(shown->DisplayText(), "AA");
    EXPECT_EQ(shown->toolTip(), "");
}
