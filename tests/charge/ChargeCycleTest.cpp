// Whole charge cycles through the real main window, the simulated box stepped one second per
// tick.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <clocale>
#include <cstdlib>
#include <thread>

#include "app/CChargerDlg.h"
#include "app/Templates.h"
#include "charge/ChargeLogFile.h"
#include "controls/CGifPicture.h"
#include "controls/CSkinButton.h"
#include "packs/dialogs/CConfirmDlg.h"
#include "platform/LocalTime.h"
#include "settings/ChargeSettingsStore.h"
#include "tests/TestSupport.h"

namespace {

int g_sounds = 0;
int CountSound(const QByteArray& data) {
    EXPECT_FALSE(data.isEmpty());
    ++g_sounds;
    return 1;
}

const LocalTime kLogTime{2026, 3, 27, 14, 5};

class Rig {
public:
    Rig(SimOptions options, const ChargeSettings& settings) : box(SteppedSim(options)) {
        StoreChargeSettings(profile.profile(), settings);
        g_sounds = 0;
        SetLocalTimeForTests(&kLogTime);
        QDir(CChargerDlg::OutputFolder()).removeRecursively();
        dlg.m_playWave = &CountSound;
        dlg.Initialise();
    }
    ~Rig() { SetLocalTimeForTests(nullptr); }

    // One second of a running cycle: the measurement tick, then the clock tick.
    void Second() {
        box->AdvanceSeconds(1.0);
        ++seconds;
        dlg.OnTimer(1);
        if (dlg.HasTimer(2)) {
            dlg.OnTimer(2);
        }
    }
    // Runs until the cycle ends by itself or the limit passes; returns whether it ended.
    bool RunUntilEnd(int limitSeconds) {
        while (dlg.m_bCharging && seconds < limitSeconds) {
            Second();
        }
        return dlg.m_bCharging == 0;
    }
    QString Text(int id) { return dlg.GetDlgItemText(id); }
    QString Clock() { return Text(IDC_HOURS) + ":" + Text(IDC_MINUTES) + ":" + Text(IDC_SECONDS); }
    QStringList LogLines(const QString& pack = "None") {
        QFile file(CChargerDlg::OutputFolder() + pack + " 3-27-2026 14-05.csv");
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString(file.readAll()).split("\r\n", Qt::SkipEmptyParts);
    }

    ProfileSandbox profile;
    PortSandbox<SimulatedChargerBox> box;
    CChargerDlg dlg;
    int seconds = 0;
};

ChargeSettings Peak(int batteryType, int threshold, int sensitivity, int exportCsv = 1) {
    return ChargeSettings{0, 0, 0, batteryType, 1, threshold, 10, sensitivity, 8, exportCsv};
}

TEST(ChargeCycle, AnAutomaticEndWritesTheLogAndChimes) {
    Rig rig({.capacityMah = 700, .currentA = 0.7}, Peak(2, 8, 10));
    rig.dlg.OnOK();
    EXPECT_EQ(rig.dlg.m_btnStart->text(), "Stop");
    ASSERT_TRUE(rig.RunUntilEnd(5 * 3600));
    EXPECT_EQ(rig.box->DataRegister(), 255);
    EXPECT_EQ(rig.dlg.m_btnStart->text(), "Start");
    EXPECT_EQ(rig.Text(IDC_MAH).toStdString(), rig.dlg.m_cycle.Texts().mah);
    EXPECT_EQ(g_sounds, 1);
    QStringList lines = rig.LogLines();
    ASSERT_EQ(lines.size(), rig.seconds + 1);  // header and one line a second
    EXPECT_EQ(lines[0], "Total Seconds, Voltage, Current, Charge Duration");
    EXPECT_TRUE(lines[1].startsWith(QString::number(rig.seconds - 1) + ", "));
    EXPECT_TRUE(lines.last().startsWith("0, "));
    // The end picture is looked up in the log folder, which is now the current one.
    EXPECT_EQ(QDir::currentPath() + "/", QDir(CChargerDlg::OutputFolder()).absolutePath() + "/");
}

TEST(ChargeCycle, PipesNamedLikeTheEndPictureOrTheChimeDoNotHoldTheEnd) {
    // Another program's pipes where the end looks for a picture and a sound of the user's: the
    // built-in ones are used, at once.
    Rig rig({}, ChargeSettings{.timedSeconds = 3, .chargeType = kTimedCharge, .exportCsv = 1});
    QTemporaryDir programFolder;
    rig.dlg.m_strProgramFolder = programFolder.path();
    QDir().mkpath(CChargerDlg::OutputFolder());
    for (const QString& pipe :
         {CChargerDlg::OutputFolder() + "nomove.gif", programFolder.path() + "/COOL.wav"}) {
        ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0) << pipe.toStdString();
    }
    rig.dlg.OnOK();
    ASSERT_TRUE(rig.RunUntilEnd(60));
    EXPECT_EQ(g_sounds, 1);
    EXPECT_TRUE(rig.dlg.m_picture->IsReady());  // the built-in end picture
    QDir(CChargerDlg::OutputFolder()).removeRecursively();
}

TEST(ChargeCycle, AFullDiskLeavesNoHalfLogAndSaysSo) {
    FullDisk disk;
    if (!disk.Ready()) {
        GTEST_SKIP() << disk.why;
    }
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(disk.Path()));
    // Room for part of a log of a minute (about 1.3 KB), or for none of it.
    for (int leave : {0, 600}) {
        QDir().mkpath(CChargerDlg::OutputFolder());
        disk.Fill(leave);
        Rig rig({}, ChargeSettings{.timedMinutes = 1, .chargeType = kTimedCharge, .exportCsv = 1});
        std::vector<QString> said;
        rig.dlg.m_reportFailure = [&](const QString& m) { said.push_back(m); };
        rig.dlg.OnOK();
        ASSERT_TRUE(rig.RunUntilEnd(120));
        const QStringList logs = QDir(CChargerDlg::OutputFolder()).entryList(QDir::Files);
        EXPECT_TRUE(logs.isEmpty()) << leave << ": " << logs.join(", ").toStdString();
        ASSERT_EQ(said.size(), 1u) << leave;
        // The file, whole and in quotes (its folder's name has a space).
        EXPECT_TRUE(
            said[0].contains("\"" + CChargerDlg::OutputFolder() + "None 3-27-2026 14-05.csv\""))
            << said[0].toStdString();
        EXPECT_TRUE(said[0].contains("full")) << said[0].toStdString();
        disk.Empty();
        QDir(CChargerDlg::OutputFolder()).removeRecursively();
    }
    qputenv("HOME", home);
}

TEST(ChargeCycle, NumbersUseTheDecimalPointInEveryLocale) {
    // A real comma locale, made for this test when the machine has none.
    QTemporaryDir locales;
    const QString name = "de_DE.UTF-8";
    const char* previous = std::getenv("LOCPATH");
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, name.toLatin1()) == nullptr) {
        ASSERT_EQ(QProcess::execute("localedef",
                                    {"-i", "de_DE", "-f", "UTF-8", locales.path() + "/" + name}),
                  0)
            << "localedef (Debian locales) is needed";
        setenv("LOCPATH", locales.path().toLocal8Bit().constData(), 1);
        ASSERT_NE(std::setlocale(LC_ALL, name.toLatin1()), nullptr);
    }
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
    {
        Rig rig({}, ChargeSettings{.timedSeconds = 20, .chargeType = 2, .exportCsv = 1});
        rig.profile.profile().WriteProfileString("Packs", "0", "AA Pack");
        rig.profile.profile().WriteProfileString("Properties", "PackName", "AA Pack");
        rig.dlg.FillPackList();
        rig.dlg.RefreshSettingsSummary();
        rig.dlg.OnOK();
        ASSERT_TRUE(rig.RunUntilEnd(60));
        for (int id : {IDC_VOLTS, IDC_AMPS, IDC_MAX_VOLTS, IDC_MAH}) {
            EXPECT_TRUE(rig.Text(id).contains('.')) << rig.Text(id).toStdString();
            EXPECT_FALSE(rig.Text(id).contains(',')) << rig.Text(id).toStdString();
        }
        const QStringList lines = rig.LogLines("AA Pack");
        ASSERT_EQ(lines.size(), 22);  // the header and seconds 0 to 20
        for (const QString& line : lines) {
            EXPECT_EQ(line.count(','), 3) << line.toStdString();
        }
        const QString record = rig.profile.profile().GetProfileString("Packs", "0j", "absent");
        const QString volts = rig.Text(IDC_VOLTS);
        EXPECT_EQ(record.left(4), volts.left(2) + volts.mid(3, 2)) << record.toStdString();
        EXPECT_EQ(record.mid(4, 8).toDouble(), rig.Text(IDC_MAH).toDouble());
    }
    std::setlocale(LC_ALL, saved.c_str());
    if (previous == nullptr) {
        unsetenv("LOCPATH");
    }
}

TEST(ChargeCycle, LogsNeverOverwriteOrLandElsewhereAndFailuresAreSaid) {
    Rig rig({}, ChargeSettings{.timedSeconds = 5, .chargeType = 2, .exportCsv = 1});
    std::vector<QString> reported;
    rig.dlg.m_reportFailure = [&](const QString& message) { reported.push_back(message); };
    // Two charges ending in the same minute: the second log goes beside the first.
    for (int charge = 0; charge < 2; ++charge) {
        rig.dlg.OnOK();
        ASSERT_TRUE(rig.RunUntilEnd(rig.seconds + 60));
    }
    const QString first = CChargerDlg::OutputFolder() + "None 3-27-2026 14-05.csv";
    const QString second = CChargerDlg::OutputFolder() + "None 3-27-2026 14-05 (2).csv";
    EXPECT_EQ(rig.LogLines().size(), 7);
    EXPECT_TRUE(QFile::exists(second));
    EXPECT_EQ(QDir(CChargerDlg::OutputFolder()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    EXPECT_TRUE(reported.empty());

    // The log folder's name taken by a plain file: said once, written nowhere, and the rest of
    // the end goes on (the chime).
    QDir(CChargerDlg::OutputFolder()).removeRecursively();
    QFile blocker(QDir::homePath() + "/KVC410 Output");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString startedIn = QDir::currentPath();
    const QStringList before = QDir(startedIn).entryList(QDir::Files);
    g_sounds = 0;
    rig.dlg.OnOK();
    ASSERT_TRUE(rig.RunUntilEnd(rig.seconds + 60));
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_TRUE(reported[0].contains(CChargerDlg::OutputFolder())) << reported[0].toStdString();
    EXPECT_EQ(QDir(startedIn).entryList(QDir::Files), before);
    EXPECT_EQ(g_sounds, 1);
    QFile::remove(QDir::homePath() + "/KVC410 Output");
}

TEST(ChargeCycle, TimedChargeEndsAtItsTime) {
    Rig rig({}, ChargeSettings{.timedMinutes = 1, .timedSeconds = 30, .chargeType = 2});
    rig.dlg.OnOK();
    ASSERT_TRUE(rig.RunUntilEnd(600));
    EXPECT_EQ(rig.Clock(), "00:01:30");
    EXPECT_EQ(rig.box->DataRegister(), 255);
    EXPECT_EQ(g_sounds, 1);
    EXPECT_TRUE(rig.LogLines().isEmpty());  // export off
}

TEST(ChargeCycle, AMissingChargerOrBatteryEndsTheCycleSilently) {
    struct Case {
        BoxFault fault;
        const char* reading;
        const char* notice;
    };
    const Case cases[] = {
        {BoxFault::NoCharger, "24.42", "\nCharger           Disconnected"},
        {BoxFault::NoBattery, "19.99", "\nBattery            Disconnected"},
    };
    for (const Case& c : cases) {
        Rig rig({.fault = c.fault, .noiseCounts = 0}, Peak(2, 8, 10, 0));
        rig.dlg.OnOK();
        for (int i = 0; i < 3; ++i) {
            rig.Second();
        }
        EXPECT_EQ(rig.Text(IDC_VOLTS), c.reading);
        // The notice goes under the voltage shown before the judging measurement, not under
        // the one it judged.
        rig.dlg.m_cycle.MutableTexts().volts = "0.01";
        ASSERT_TRUE(rig.RunUntilEnd(120));
        EXPECT_EQ(rig.Clock(), "00:00:03");
        EXPECT_EQ(rig.Text(IDC_VOLTS), QString("0.01") + c.notice);
        EXPECT_EQ(rig.box->DataRegister(), 255);
        EXPECT_EQ(g_sounds, 0);
    }
}

TEST(ChargeCycle, StopByHandSwitchesOffAtOnce) {
    Rig rig({}, Peak(2, 8, 10, 1));
    rig.dlg.OnOK();
    for (int i = 0; i < 30; ++i) {
        rig.Second();
    }
    EXPECT_EQ(rig.box->DataRegister(), 0);
    rig.dlg.OnOK();  // no pack: no question
    EXPECT_EQ(rig.box->DataRegister(), 255);
    EXPECT_EQ(rig.dlg.m_bCharging, 0);
    EXPECT_EQ(rig.dlg.m_cycle.History().sampleHead, nullptr);
    EXPECT_FALSE(rig.dlg.HasTimer(1));
    EXPECT_FALSE(rig.dlg.HasTimer(2));
    EXPECT_EQ(g_sounds, 0);
    EXPECT_TRUE(rig.LogLines().isEmpty());
    // The displays keep their last texts; the next Start resets the clock.
    EXPECT_EQ(rig.Clock(), "00:00:30");
    rig.dlg.OnOK();
    EXPECT_EQ(rig.Clock(), "00:00:00");
}

TEST(ChargeCycle, StopWithACurrentPackAsksBeforeStoring) {
    {
        // A double click on Start stops before the first measurement: nothing to store.
        Rig rig({}, Peak(2, 8, 10, 1));
        rig.profile.profile().WriteProfileString("Properties", "PackName", "AA Pack");
        rig.profile.profile().WriteProfileString("Packs", "0", "AA Pack");
        rig.profile.profile().WriteProfileString("Packs", "0j", "real record");
        rig.dlg.FillPackList();
        rig.dlg.RefreshSettingsSummary();
        auto stray = WhenModalOpens([](QWidget* w) { ClickButtonWithText(w, "OK"); });
        rig.dlg.OnOK();
        rig.dlg.OnOK();
        EXPECT_FALSE(stray.Withdraw());
        EXPECT_EQ(rig.profile.profile().GetProfileString("Packs", "0j", "?"), "real record");
        EXPECT_TRUE(rig.LogLines("AA Pack").isEmpty());
        EXPECT_EQ(rig.box->DataRegister(), 255);
    }
    for (bool confirm : {true, false}) {
        Rig rig({}, Peak(2, 8, 10, 1));
        rig.profile.profile().WriteProfileString("Properties", "PackName", "AA Pack");
        rig.dlg.RefreshSettingsSummary();
        rig.dlg.OnOK();
        for (int i = 0; i < 5; ++i) {
            rig.Second();
        }
        QString asked;
        auto answer = WhenModalOpens<CConfirmDlg>([&](CConfirmDlg* dlg) {
            asked = dlg->GetDlgItemText(1083);
            // The charger is already off while the question is open.
            EXPECT_EQ(rig.box->DataRegister(), 255);
            ClickButtonWithText(dlg, confirm ? "OK" : "Cancel");
        });
        rig.dlg.OnOK();
        EXPECT_EQ(asked, "Save charge information to the selected profile?");
        EXPECT_EQ(rig.LogLines("AA Pack").size(), confirm ? 6 : 0) << confirm;
        EXPECT_EQ(rig.dlg.m_cycle.History().sampleHead, nullptr);
        EXPECT_EQ(rig.dlg.m_bCharging, 0);
    }
}

TEST(ChargeCycle, ASampleThatCannotBeStoredStopsTheCharge) {
    Rig rig({}, Peak(2, 8, 10, 1));
    rig.profile.profile().WriteProfileString("Properties", "PackName", "AA Pack");
    rig.dlg.RefreshSettingsSummary();
    rig.dlg.OnOK();
    for (int i = 0; i < 5; ++i) {
        rig.Second();
    }
    rig.dlg.m_cycle.History().SetAllocator([]() -> ChargeSample* { return nullptr; });
    rig.Second();  // no question may open here: a modal dialog would hang the test
    EXPECT_EQ(rig.dlg.m_bCharging, 0);
    EXPECT_EQ(rig.box->DataRegister(), 255);
    EXPECT_EQ(rig.dlg.m_btnStart->text(), "Start");
    EXPECT_TRUE(rig.LogLines("AA Pack").isEmpty());
    EXPECT_EQ(g_sounds, 0);
}

}  // namespace

TEST(ChargeCycle, LogsEndingAtOnceNeverWriteOverEachOther) {
    // Two programs on two ports ending charges of one pack in the same minute write their logs
    // at the same moment: every log keeps a name of its own.
    QDir(ChargeLogFolder()).removeRecursively();
    SetLocalTimeForTests(&kLogTime);
    ChargeSample samples[2] = {{12.5f, 1.0f, 2, 0, 0, nullptr}, {12.4f, 1.0f, 1, 0, 0, nullptr}};
    samples[0].next = &samples[1];
    constexpr int kRounds = 20;
    std::atomic<int> failed{0};
    for (int round = 0; round < kRounds; ++round) {
        auto write = [&] {
            QString place, why;
            if (!WriteChargeLogFile(&samples[0], "AA", place, why)) {
                ++failed;
            }
        };
        std::thread a(write);
        std::thread b(write);
        a.join();
        b.join();
    }
    EXPECT_EQ(failed, 0);
    const QStringList logs = QDir(ChargeLogFolder()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(logs.size(), 2 * kRounds) << logs.join(", ").toStdString();
    SetLocalTimeForTests(nullptr);
    QDir(ChargeLogFolder()).removeRecursively();
}
