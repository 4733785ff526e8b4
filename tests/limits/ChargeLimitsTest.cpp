// The Charge Limits dialog, the limits of each pack in the profile, and a charge ended by a
// backup through the real main window.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>

#include "app/CChargerDlg.h"
#include "curves/ChargeCurve.h"
#include "limits/ChargeLimitsStore.h"
#include "limits/dialogs/CChargeLimitsDlg.h"
#include "packs/dialogs/CConfirmDlg.h"
#include "packs/dialogs/CNewPackDlg.h"
#include "settings/ChargeSettingsStore.h"
#include "tests/TestSupport.h"

namespace {

int g_chimes = 0;
int CountChime(const QByteArray&) {
    ++g_chimes;
    return 1;
}

TEST(ChargeLimitsDlg, RefusesEachFieldOutsideItsRangeByName) {
    struct Case {
        QLineEdit* CChargeLimitsDlg::*field;
        const char* text;
        const char* refusedAs;  // the message's start; nullptr: accepted
    };
    const Case cases[] = {
        {&CChargeLimitsDlg::m_editRated, "", nullptr},
        {&CChargeLimitsDlg::m_editRated, "4000", nullptr},
        {&CChargeLimitsDlg::m_editRated, "49", "Rated capacity:"},
        {&CChargeLimitsDlg::m_editRated, "2000mAh", "Rated capacity:"},
        {&CChargeLimitsDlg::m_editCapacity, "99", "Capacity cut-off:"},
        {&CChargeLimitsDlg::m_editCapacity, "", "Capacity cut-off:"},
        {&CChargeLimitsDlg::m_editCapacity, "300", nullptr},
        {&CChargeLimitsDlg::m_editTimer, "", nullptr},
        {&CChargeLimitsDlg::m_editTimer, "9", "Safety timer:"},
        {&CChargeLimitsDlg::m_editTimer, "-5", "Safety timer:"},
        {&CChargeLimitsDlg::m_editPlateau, "121", "Voltage plateau:"},
        {&CChargeLimitsDlg::m_editPlateau, "5", nullptr},
    };
    for (const Case& c : cases) {
        CChargeLimitsDlg dlg(kDefaultLimits, "AA");
        std::vector<QString> refused;
        dlg.m_refuse = [&](const QString& m) { refused.push_back(m); };
        (dlg.*c.field)->setText(c.text);
        dlg.accept();
        if (c.refusedAs == nullptr) {
            EXPECT_TRUE(refused.empty()) << c.text;
            EXPECT_EQ(dlg.result(), QDialog::Accepted) << c.text;
        } else {
            ASSERT_EQ(refused.size(), 1u) << c.text;
            EXPECT_TRUE(refused[0].startsWith(c.refusedAs)) << refused[0].toStdString();
            EXPECT_NE(dlg.result(), QDialog::Accepted) << c.text;
        }
    }
    // What OK accepts is what the fields and boxes say.
    CChargeLimitsDlg dlg(kDefaultLimits, QString());
    dlg.m_editRated->setText(" 2400 ");
    dlg.m_chkTimer->setChecked(false);
    dlg.m_editPlateau->setText("20");
    dlg.accept();
    EXPECT_EQ(dlg.Limits(),
              (ChargeLimits{.ratedMah = 2400, .timerOn = false, .plateauMinutes = 20}));
}

TEST(ChargeLimits, FollowEachPackAndAreCheckedWhenRead) {
    ProfileSandbox profile;
    profile.profile().WriteProfileString("Packs", "0", "Big");
    profile.profile().WriteProfileString("Packs", "1", "Old");
    profile.profile().WriteProfileString("Properties", "PackName", "Big");
    StoreChargeLimits(profile.profile(), 0, {.ratedMah = 4000});
    StoreChargeLimits(profile.profile(), -1, {.ratedMah = 700});
    PortSandbox<SimulatedChargerBox> box(SteppedSim());
    CChargerDlg dlg;
    std::vector<QString> failures;
    dlg.m_reportFailure = [&](const QString& m) { failures.push_back(m); };
    dlg.Initialise();
    EXPECT_EQ(dlg.m_limits.ratedMah, 4000);

    // A pack stored before the limits existed charges with the defaults, never with the
    // capacity of the pack chosen before it.
    dlg.m_strPackName = "Old";
    dlg.LoadChargeLimits();
    EXPECT_EQ(dlg.m_limits, kDefaultLimits);
    // No pack: the limits of charges without a pack.
    dlg.m_strPackName = kNoPack;
    dlg.LoadChargeLimits();
    EXPECT_EQ(dlg.m_limits.ratedMah, 700);

    // The dialog edits the current pack's limits.
    dlg.m_strPackName = "Big";
    dlg.LoadChargeLimits();
    {
        auto answer = WhenModalOpens<CChargeLimitsDlg>([](CChargeLimitsDlg* d) {
            d->m_editRated->setText("3800");
            d->accept();
        });
        dlg.OnChargeLimits();
    }
    EXPECT_EQ(ReadChargeLimits(profile.profile(), 0).limits.ratedMah, 3800);
    EXPECT_EQ(ReadChargeLimits(profile.profile(), -1).limits.ratedMah, 700);

    // New Pack takes the limits in force; deleting a pack takes its limits with it.
    {
        auto answer = WhenModalOpens<CNewPackDlg>([](CNewPackDlg* d) {
            d->SetDlgItemText(CNewPackDlg::IDC_NAME, "Copy");
            ClickButtonWithText(d, "OK");
        });
        dlg.OnNewPack();
    }
    const int copy = PackBook(profile.profile()).FindSlot("Copy");
    ASSERT_GE(copy, 0);
    EXPECT_EQ(ReadChargeLimits(profile.profile(), copy).limits.ratedMah, 3800);
    {
        auto answer =
            WhenModalOpens<CConfirmDlg>([](CConfirmDlg* d) { ClickButtonWithText(d, "OK"); });
        dlg.OnDeletePack();  // New Pack left "Copy" selected
    }
    EXPECT_EQ(PackBook(profile.profile()).FindSlot("Copy"), -1);
    EXPECT_EQ(profile.profile().GetProfileString(kPackLimitsSection, QString::number(copy), "-"),
              "-");

    // A hand-edited value is refused, said once, and the defaults are used.
    profile.profile().WriteProfileString(kPackLimitsSection, "0", "3800 1 150 1 0 1 30000 1");
    dlg.m_strPackName = "Big";
    dlg.LoadChargeLimits();
    dlg.LoadChargeLimits();
    EXPECT_EQ(dlg.m_limits, kDefaultLimits);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_TRUE(failures[0].contains("Big")) << failures[0].toStdString();
    EXPECT_TRUE(failures[0].contains("Voltage plateau")) << failures[0].toStdString();
}

TEST(ChargeLimits, ABackupEndIsAnAutomaticEndThatAsksForAttention) {
    ProfileSandbox profile;
    StoreChargeSettings(profile.profile(), ChargeSettings{.exportCsv = 1});
    profile.profile().WriteProfileString("Packs", "0", "Small");
    profile.profile().WriteProfileString("Properties", "PackName", "Small");
    profile.profile().WriteProfileInt("Properties", "LastSelected", 0);
    // A pack with no drop at all, rated (wrongly) at 100 mAh: the cut-off comes at 150 mAh.
    StoreChargeLimits(profile.profile(), 0, {.ratedMah = 100});
    QDir(CChargerDlg::OutputFolder()).removeRecursively();
    PortSandbox<SimulatedChargerBox> box(SteppedSim({.capacityMah = 300, .noPeak = true}));
    CChargerDlg dlg;
    g_chimes = 0;
    dlg.m_playWave = &CountChime;
    struct Told {
        QString summary, body;
        bool critical;
    };
    std::vector<Told> told;
    dlg.m_notify = [&](const QString& s, const QString& b, bool c) { told.push_back({s, b, c}); };
    dlg.Initialise();
    dlg.OnOK();
    int seconds = 0;
    ASSERT_TRUE(RunUntil([&] { return dlg.m_bCharging == 0; },
                         [&] {
                             box->AdvanceSeconds(1);
                             ++seconds;
                             dlg.OnTimer(1);
                             if (dlg.m_bCharging) {
                                 dlg.OnTimer(2);
                             }
                         }));
    EXPECT_EQ(dlg.m_cycle.LastEnd(), ChargeEnd::CapacityLimit);
    EXPECT_EQ(box->DataRegister(), kChargerOff);
    EXPECT_NEAR(box->DeliveredMah(), 150.0, 1.0);
    // The end sequence of an automatic end: the log, the record, the chime.
    EXPECT_EQ(QDir(CChargerDlg::OutputFolder()).entryList({"Small *.csv"}).size(), 1);
    EXPECT_NE(profile.profile().GetProfileString("Packs", "0j", "0"), "0");
    EXPECT_EQ(g_chimes, 1);
    EXPECT_EQ(dlg.m_recorder->EndReason(), "Capacity limit");
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].summary, "Charge ended: Capacity limit");
    EXPECT_TRUE(told[0].critical);
    EXPECT_TRUE(told[0].body.contains("peak was not detected")) << told[0].body.toStdString();
    QDir(CChargerDlg::OutputFolder()).removeRecursively();
}

}  // namespace
