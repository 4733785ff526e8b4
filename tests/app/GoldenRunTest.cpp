// Scripted runs through the real main window, summed up as digests of everything they leave
// behind: every port access, the profile file and the CSV logs. Recorded once; any change to
// how a charge runs, ends or is stored changes a digest. A deliberate change of behaviour
// records them anew (the failure message prints the new ones): the profiles' digests were last
// recorded when a pack's record began to keep the charge's maximum voltage; the port traces and
// the logs did not change.

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QtTest/QTest>

#include "app/CChargerDlg.h"
#include "controls/CListBox.h"
#include "packs/dialogs/CConfirmDlg.h"
#include "packs/dialogs/CNewPackDlg.h"
#include "platform/LocalTime.h"
#include "settings/ChargeSettingsStore.h"
#include "tests/TestSupport.h"

namespace {

// The simulated box behind a digest of every access.
class DigestPort final : public PortDriver {
public:
    explicit DigestPort(SimOptions options) : m_box(options) {}
    void Write(uint32_t port, uint8_t value) override {
        m_box.Write(port, value);
        Add('W', port, value);
    }
    uint8_t Read(uint32_t port) override {
        const uint8_t value = m_box.Read(port);
        Add('R', port, value);
        return value;
    }
    void EmergencyOff() noexcept override { Write(kDataPort, kChargerOff); }
    std::string Description() const override { return "digest"; }
    SimulatedChargerBox& Box() { return m_box; }
    QByteArray Digest() const { return m_hash.result().toHex().left(16); }

private:
    void Add(char kind, uint32_t port, unsigned value) {
        m_hash.addData(QByteArray(1, kind) + " " + QByteArray::number(port) + " " +
                       QByteArray::number(value) + "\n");
    }
    SimulatedChargerBox m_box;
    QCryptographicHash m_hash{QCryptographicHash::Sha1};
};

QByteArray FileDigest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return "none";
    }
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex().left(16);
}

int NoSound(const QByteArray&) {
    return 0;
}

const LocalTime kNow{2026, 12, 7, 16, 40};

struct Script {
    const char* name;
    SimOptions box;
    ChargeSettings settings;
    int stopAfter;           // seconds before Stop by hand; 0: runs until it ends by itself
    const char* saveAnswer;  // to "Save charge information...?", or nullptr
    const char* golden;      // port, profile, logs
};

TEST(GoldenRun, ChargesLeaveExactlyTheSameTraces) {
    const Script runs[] = {
        {"timed 0:00:20, CSV",
         {},
         {.timedSeconds = 20, .chargeType = 2, .exportCsv = 1},
         0,
         nullptr,
         "3dbfc64e3f6feb65 c06c816b64483787 28595818401261ae"},
        {"peak, Ni-MH",
         {.capacityMah = 300},
         {.exportCsv = 1},
         0,
         nullptr,
         "5c0bbcf2e86c0160 cdd1f2a94b0010e4 e89995b4eb33da2c"},
        {"no charger",
         {.fault = BoxFault::NoCharger},
         {.exportCsv = 1},
         0,
         nullptr,
         "980815ff4a3b5c1f 257c665d894aba77 f146983698c49a06"},
        {"stopped, saved",
         {},
         {.exportCsv = 1},
         12,
         "OK",
         "5ada017967a2d265 bfa4b343e83ec605 9a38cd2b3f198f33"},
        {"stopped, not saved",
         {},
         {.exportCsv = 1},
         12,
         "Cancel",
         "5ada017967a2d265 8857f60482134e5c none"},
    };
    for (const Script& r : runs) {
        ProfileSandbox profile;
        SetLocalTimeForTests(&kNow);
        QDir(CChargerDlg::OutputFolder()).removeRecursively();
        StoreChargeSettings(profile.profile(), r.settings);
        profile.profile().WriteProfileString("Packs", "0", "Golden");
        profile.profile().WriteProfileString("Packs", "0i", "12080101080000001");
        profile.profile().WriteProfileString("Properties", "PackName", "Golden");
        profile.profile().WriteProfileInt("Properties", "LastSelected", 0);
        SimOptions options = r.box;
        options.steppedTime = true;
        PortSandbox<DigestPort> port(options);
        {
            CChargerDlg dlg;
            dlg.m_playWave = &NoSound;
            dlg.Initialise();
            dlg.OnOK();
            int seconds = 0;
            ASSERT_TRUE(RunUntil(
                [&] { return dlg.m_bCharging == 0 || (r.stopAfter && seconds == r.stopAfter); },
                [&] {
                    port->Box().AdvanceSeconds(1);
                    ++seconds;
                    dlg.OnTimer(1);
                    if (dlg.m_bCharging) {
                        dlg.OnTimer(2);
                    }
                }));
            if (r.saveAnswer != nullptr) {
                auto answer = WhenModalOpens<CConfirmDlg>(
                    [&](CConfirmDlg* q) { ClickButtonWithText(q, r.saveAnswer); });
                dlg.OnOK();
            }
        }
        const QByteArray logs =
            QDir(CChargerDlg::OutputFolder()).exists()
                ? FileDigest(CChargerDlg::OutputFolder() + "Golden 12-7-2026 16-40.csv")
                : QByteArray("none");
        const QByteArray digest = port->Digest() + " " + FileDigest(profile.Path()) + " " + logs;
        EXPECT_EQ(digest.toStdString(), std::string(r.golden)) << r.name;
        SetLocalTimeForTests(nullptr);
    }
}

TEST(GoldenRun, PackWorkLeavesExactlyTheSameProfile) {
    ProfileSandbox profile;
    SetLocalTimeForTests(&kNow);
    Profile& p = profile.profile();
    for (auto [slot, name] : {std::pair{0, "Zebra"}, {1, "alpha"}, {2, "Mid"}, {5, "Beta"}}) {
        p.WriteProfileString("Packs", QString::number(slot), name);
        p.WriteProfileString("Packs", QString::number(slot) + "i", "12080101080000001");
    }
    p.WriteProfileString("Packs", "5i", "21100601555959591");
    p.WriteProfileString("Packs", "2i", "22080101080000101");  // timed, ten seconds, CSV
    PortSandbox<DigestPort> port(SimOptions{.steppedTime = true});
    {
        CChargerDlg dlg;
        dlg.m_playWave = &NoSound;
        dlg.Initialise();
        auto click = [&](const QString& name) {
            for (int i = 0; i < dlg.m_lstPacks->GetCount(); ++i) {
                if (dlg.m_lstPacks->GetText(i) == name) {
                    QRect r = dlg.m_lstPacks->visualItemRect(dlg.m_lstPacks->item(i));
                    QTest::mouseClick(dlg.m_lstPacks->viewport(), Qt::LeftButton, {}, r.center());
                }
            }
        };
        auto confirm = [&](void (CChargerDlg::*handler)()) {
            auto answer =
                WhenModalOpens<CConfirmDlg>([](CConfirmDlg* q) { ClickButtonWithText(q, "OK"); });
            (dlg.*handler)();
        };
        click("Beta");  // selected: its properties in force
        click("Mid");
        confirm(&CChargerDlg::OnSavePackProperties);
        {
            auto answer = WhenModalOpens<CNewPackDlg>([](CNewPackDlg* n) {
                n->SetDlgItemText(CNewPackDlg::IDC_NAME, "Newest");
                ClickButtonWithText(n, "OK");
            });
            dlg.OnNewPack();
        }
        // A timed charge of the new pack records into it.
        dlg.OnOK();
        ASSERT_TRUE(RunUntil([&] { return dlg.m_bCharging == 0; },
                             [&] {
                                 port->Box().AdvanceSeconds(1);
                                 dlg.OnTimer(1);
                                 if (dlg.m_bCharging) {
                                     dlg.OnTimer(2);
                                 }
                             },
                             100000));
        click("Zebra");
        confirm(&CChargerDlg::OnDeletePack);
        click("alpha");
        click("alpha");  // deselected
    }
    EXPECT_EQ(FileDigest(profile.Path()).toStdString(), std::string("5c1fdcc5878132f0"));
    SetLocalTimeForTests(nullptr);
}

}  // namespace
