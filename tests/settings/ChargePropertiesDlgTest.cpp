// The Charge Properties dialog as a user drives it: clicks, keys and typing.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>

#include "app/CChargerDlg.h"
#include "app/Templates.h"
#include "controls/CUpDown.h"
#include "settings/ChargeSettingsStore.h"
#include "settings/dialogs/CChargePropertiesDlg.h"
#include "tests/TestSupport.h"

namespace {

using D = CChargePropertiesDlg;

// The dialog opened as the main window opens it, but shown without a modal loop of its own.
class OpenDialog {
public:
    OpenDialog() {
        Profile& p = AppProfile();
        dlg.m_edit.timedSeconds = p.GetProfileInt("Properties", "Sec", 0);
        dlg.m_edit.timedMinutes = p.GetProfileInt("Properties", "Min", 0);
        dlg.m_edit.timedHours = p.GetProfileInt("Properties", "Hour", 0);
        dlg.m_edit.cells = p.GetProfileInt("Properties", "Cells", 8);
        dlg.show();
        dlg.Initialise();
    }
    void Click(int id) { QTest::mouseClick(dlg.GetDlgItem(id), Qt::LeftButton); }
    void Type(int id, const QString& text) {
        auto* edit = dlg.Item<QLineEdit>(id);
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    bool Checked(int id) { return dlg.IsDlgButtonChecked(id) == 1; }
    QString Text(int id) { return dlg.GetDlgItemText(id); }
    int Pos(int id) { return dlg.Item<QSlider>(id)->value(); }
    // Radios checked, in the order Peak, Timed, Ni-Cd, Ni-MH, Custom.
    std::string Radios() {
        std::string marks;
        for (int id :
             {D::IDC_PEAK_CHARGE, D::IDC_TIMED_CHARGE, D::IDC_NICD, D::IDC_NIMH, D::IDC_CUSTOM}) {
            marks += Checked(id) ? 'x' : '.';
        }
        return marks;
    }

    D dlg;
};

TEST(ChargePropertiesDlg, OpensWithWhatIsInForceAndNeverWithWhatItWouldRefuse) {
    // Nothing stored, or stored values the dialog would refuse (a profile edited by hand): the
    // main window runs with its defaults and says so once; the dialog opens with the same, so
    // that OK without a touch changes nothing.
    struct Case {
        const char* key;  // nullptr: an empty profile
        int value;
    };
    const Case cases[] = {
        {nullptr, 0},     {"Sec", 60},   {"Min", -1},  {"Hour", 60}, {"ChargeType", 3},
        {"PeakRadio", 0}, {"Cells", 9},  {"Cells", 3}, {"Delta", 0}, {"Delta", 21},
        {"Delay", 4},     {"Delay", 61}, {"Sens", 4},  {"Sens", 31}, {"Csv", 2},
    };
    for (const Case& c : cases) {
        const std::string label = c.key ? std::string(c.key) + "=" + std::to_string(c.value) : "";
        ProfileSandbox profile;
        if (c.key != nullptr) {
            StoreChargeSettings(profile.profile(), kMainWindowDefaults);
            profile.profile().WriteProfileInt("Properties", c.key, c.value);
        }
        PortSandbox<RecordingPort> port;
        CChargerDlg main;
        std::vector<QString> reported;
        main.m_reportFailure = [&](const QString& message) { reported.push_back(message); };
        main.Initialise();
        main.RefreshSettingsSummary();
        EXPECT_EQ(main.m_settings, kMainWindowDefaults) << label;
        EXPECT_EQ(reported.size(), c.key ? 1u : 0u) << label;
        EXPECT_EQ(main.GetDlgItemText(IDC_VALUE_THRESHOLD), "0.08 volts") << label;

        OpenDialog o;
        EXPECT_EQ(o.Radios(), "x..x.") << label;
        EXPECT_EQ(o.Text(D::IDC_DELAY_TEXT), "10") << label;
        EXPECT_EQ(o.Text(D::IDC_SENSITIVITY_TEXT), "10") << label;
        EXPECT_EQ(o.Text(D::IDC_THRESHOLD_TEXT), "0.08") << label;
        EXPECT_EQ(o.Pos(D::IDC_THRESHOLD), 8) << label;
        EXPECT_EQ(o.Text(D::IDC_CELLS), "8") << label;
        EXPECT_EQ(o.Text(D::IDC_HOURS), "0") << label;
        EXPECT_EQ(o.Text(D::IDC_MINUTES), "0") << label;
        EXPECT_EQ(o.Text(D::IDC_SECONDS), "0") << label;
        EXPECT_FALSE(o.Checked(D::IDC_EXPORT_CSV)) << label;
        // The fields' change notifications were overwritten.
        EXPECT_EQ(o.dlg.m_edit, kMainWindowDefaults) << label;
    }
}

TEST(ChargePropertiesDlg, PresetsFollowBatteryTypeAndCells) {
    struct Case {
        int radio;
        int cells;
        const char* threshold;
        const char* sensitivity;
    };
    const Case cases[] = {
        {D::IDC_NICD, 4, "0.06", "15"}, {D::IDC_NICD, 5, "0.07", "15"},
        {D::IDC_NICD, 6, "0.08", "15"}, {D::IDC_NICD, 7, "0.09", "15"},
        {D::IDC_NICD, 8, "0.10", "15"}, {D::IDC_NIMH, 4, "0.04", "10"},
        {D::IDC_NIMH, 5, "0.05", "10"}, {D::IDC_NIMH, 6, "0.06", "10"},
        {D::IDC_NIMH, 7, "0.07", "10"}, {D::IDC_NIMH, 8, "0.08", "10"},
    };
    for (const Case& c : cases) {
        ProfileSandbox profile;
        profile.profile().WriteProfileInt("Properties", "Cells", c.cells);
        profile.profile().WriteProfileInt("Properties", "ChargeType", 2);
        profile.profile().WriteProfileInt("Properties", "PeakRadio", 3);
        profile.profile().WriteProfileInt("Properties", "Delay", 33);
        OpenDialog o;
        o.Click(c.radio);
        std::string label = std::to_string(c.radio) + "/" + std::to_string(c.cells);
        EXPECT_EQ(o.Text(D::IDC_THRESHOLD_TEXT), c.threshold) << label;
        EXPECT_EQ(o.Text(D::IDC_THRESHOLD_TEXT),
                  QString::fromStdString(FormatThreshold(o.Pos(D::IDC_THRESHOLD))))
            << label;
        EXPECT_EQ(o.Text(D::IDC_SENSITIVITY_TEXT), c.sensitivity) << label;
        EXPECT_EQ(o.Pos(D::IDC_SENSITIVITY), QString(c.sensitivity).toInt()) << label;
        EXPECT_EQ(o.Text(D::IDC_DELAY_TEXT), "10") << label;
        EXPECT_EQ(o.Pos(D::IDC_DELAY), 10) << label;
        EXPECT_TRUE(o.Checked(D::IDC_PEAK_CHARGE)) << label;
        EXPECT_FALSE(o.Checked(D::IDC_TIMED_CHARGE)) << label;
        EXPECT_TRUE(o.Checked(c.radio)) << label;
    }
}

TEST(ChargePropertiesDlg, ChangingCellsReappliesThePresetButNotForCustom) {
    {
        ProfileSandbox profile;
        profile.profile().WriteProfileInt("Properties", "PeakRadio", 1);
        OpenDialog o;
        o.Type(D::IDC_CELLS, "5");
        EXPECT_EQ(o.Text(D::IDC_THRESHOLD_TEXT), "0.07");
        EXPECT_EQ(o.Text(D::IDC_SENSITIVITY_TEXT), "15");
        EXPECT_EQ(o.Text(D::IDC_DELAY_TEXT), "10");
        EXPECT_EQ(o.Radios(), "x.x..");
        // The up-down's arrow and the arrow keys step the same field.
        QTest::mouseClick(o.dlg.Item<CUpDown>(D::IDC_CELLS_SPIN)->findChildren<QToolButton*>()[0],
                          Qt::LeftButton);
        EXPECT_EQ(o.Text(D::IDC_CELLS), "6");
        EXPECT_EQ(o.Text(D::IDC_THRESHOLD_TEXT), "0.08");
        QTest::keyClick(o.dlg.GetDlgItem(D::IDC_CELLS), Qt::Key_Down);
        EXPECT_EQ(o.Text(D::IDC_CELLS), "5");
        EXPECT_EQ(o.Text(D::IDC_THRESHOLD_TEXT), "0.07");
    }
    {
        ProfileSandbox profile;
        profile.profile().WriteProfileInt("Properties", "PeakRadio", 3);
        profile.profile().WriteProfileInt("Properties", "Delta", 13);
        profile.profile().WriteProfileInt("Properties", "Sens", 22);
        OpenDialog o;
        o.Type(D::IDC_CELLS, "5");
        EXPECT_EQ(o.Text(D::IDC_THRESHOLD_TEXT), "0.13");
        EXPECT_EQ(o.Pos(D::IDC_SENSITIVITY), 22);
        EXPECT_EQ(o.Radios(), "x...x");
    }
}

TEST(ChargePropertiesDlg, MovingATrackBarMakesTheBatteryCustom) {
    ProfileSandbox profile;
    OpenDialog o;
    o.Click(D::IDC_NIMH);
    QWidget* threshold = o.dlg.GetDlgItem(D::IDC_THRESHOLD);
    threshold->setFocus();
    QTest::keyClick(threshold, Qt::Key_Right);
    EXPECT_EQ(o.Radios(), "x...x");
    EXPECT_EQ(o.Text(D::IDC_THRESHOLD_TEXT), "0.09");
    EXPECT_EQ(o.dlg.m_edit.threshold, 9);
    // Ten steps on: the second digit appears.
    QTest::keyClick(threshold, Qt::Key_Right);
    EXPECT_EQ(o.Text(D::IDC_THRESHOLD_TEXT), "0.10");
    // A later change of cells presets nothing any more.
    o.Type(D::IDC_CELLS, "4");
    EXPECT_EQ(o.Text(D::IDC_THRESHOLD_TEXT), "0.10");
    QWidget* delay = o.dlg.GetDlgItem(D::IDC_DELAY);
    QTest::keyClick(delay, Qt::Key_End);
    EXPECT_EQ(o.Text(D::IDC_DELAY_TEXT), "60");
    EXPECT_EQ(o.dlg.m_edit.delay, 60);
}

TEST(ChargePropertiesDlg, TimeFieldsChooseTimedChargeAndTheBatteryStays) {
    ProfileSandbox profile;
    OpenDialog o;
    o.Type(D::IDC_MINUTES, "30");
    EXPECT_EQ(o.Radios(), ".x.x.");
    o.Click(D::IDC_PEAK_CHARGE);
    EXPECT_EQ(o.Radios(), "x..x.");
    o.Click(D::IDC_TIMED_CHARGE);
    EXPECT_EQ(o.Radios(), ".x.x.");
    EXPECT_EQ(o.dlg.m_edit.chargeType, 2);
    o.Click(D::IDC_PEAK_CHARGE);
    EXPECT_EQ(o.dlg.m_edit.chargeType, 1);
    EXPECT_EQ(o.Radios(), "x..x.");
}

TEST(ChargePropertiesDlg, BadFieldsAreRefusedAtOkInOrder) {
    struct Case {
        const char *seconds, *hours, *minutes, *cells;
        int focused;
        const char* message;
    };
    const Case cases[] = {
        {"0", "60", "0", "8", D::IDC_HOURS, "Please enter an integer between 0 and 59."},
        {"0", "60", "ab", "8", D::IDC_HOURS, "Please enter an integer between 0 and 59."},
        {"0", "0", "0", "9", D::IDC_CELLS, "Please enter an integer between 4 and 8."},
        {"0", "0", "ab", "8", D::IDC_MINUTES, "Please enter an integer."},
        {"x", "60", "0", "9", D::IDC_SECONDS, "Please enter an integer."},
    };
    for (const Case& c : cases) {
        ProfileSandbox profile;
        PortSandbox<RecordingPort> port;
        CChargerDlg main;
        main.Initialise();
        QString shown;
        int focused = 0;
        auto answer = WhenModalOpens<D>([&](D* dlg) {
            for (auto [id, text] : {std::pair{D::IDC_SECONDS, c.seconds},
                                    {D::IDC_HOURS, c.hours},
                                    {D::IDC_MINUTES, c.minutes},
                                    {D::IDC_CELLS, c.cells}}) {
                dlg->SetDlgItemText(id, text);
            }
            auto refusal = WhenModalOpens<QMessageBox>([&, dlg](QMessageBox* box) {
                shown = box->text();
                ClickButtonWithText(box, "OK");
                // The dialog is still open with the bad field focused; now give up.
                QTimer::singleShot(0, dlg, [&, dlg] {
                    for (int id : {D::IDC_SECONDS, D::IDC_HOURS, D::IDC_MINUTES, D::IDC_CELLS}) {
                        if (dlg->focusWidget() == dlg->GetDlgItem(id)) {
                            focused = id;
                        }
                    }
                    EXPECT_TRUE(dlg->isVisible());
                    ClickButtonWithText(dlg, "Cancel");
                });
            });
            ClickButtonWithText(dlg, "OK");
        });
        main.OnProperties();
        EXPECT_EQ(shown, c.message) << c.seconds << c.hours << c.minutes << c.cells;
        EXPECT_EQ(focused, c.focused) << c.message;
        // Nothing was stored and the summary still shows the main window's defaults.
        EXPECT_EQ(profile.profile().GetProfileInt("Properties", "Hour", -1), -1);
        EXPECT_EQ(profile.profile().GetProfileInt("Properties", "Delta", -1), -1);
        EXPECT_EQ(main.GetDlgItemText(IDC_VALUE_THRESHOLD), "0.08 volts");
        EXPECT_EQ(main.GetDlgItemText(IDC_VALUE_CHARGE_TYPE), "Peak Charge");
    }
}

TEST(ChargePropertiesDlg, OkStoresEverythingAndTheSummaryFollows) {
    ProfileSandbox profile;
    PortSandbox<RecordingPort> port;
    CChargerDlg main;
    main.Initialise();
    EXPECT_EQ(main.GetDlgItemText(IDC_VALUE_THRESHOLD), "0.08 volts");
    auto answer = WhenModalOpens<D>([](D* dlg) {
        QTest::mouseClick(dlg->GetDlgItem(D::IDC_EXPORT_CSV), Qt::LeftButton);
        QTest::mouseClick(dlg->GetDlgItem(D::IDC_EXPORT_CSV), Qt::LeftButton);
        QTest::mouseClick(dlg->GetDlgItem(D::IDC_EXPORT_CSV), Qt::LeftButton);
        dlg->SetDlgItemText(D::IDC_CELLS, "6");
        QTest::mouseClick(dlg->GetDlgItem(D::IDC_NICD), Qt::LeftButton);
        ClickButtonWithText(dlg, "OK");
    });
    main.OnProperties();
    const ChargeSettings expected{.batteryType = 1, .sensitivity = 15, .cells = 6, .exportCsv = 1};
    EXPECT_EQ(ReadChargeSettings(profile.profile(), kPropertiesDialogDefaults), expected);
    EXPECT_EQ(main.m_settings, expected);
    EXPECT_EQ(main.GetDlgItemText(IDC_VALUE_BATTERY_TYPE), "Nickel Cadmium (Ni-Cd)");
    EXPECT_EQ(main.GetDlgItemText(IDC_VALUE_SENSITIVITY), "15 sec");
    EXPECT_EQ(main.GetDlgItemText(IDC_VALUE_CELLS), "6");

    // Clicked twice, the box is back where it was.
    auto again = WhenModalOpens<D>([](D* dlg) {
        QTest::mouseClick(dlg->GetDlgItem(D::IDC_EXPORT_CSV), Qt::LeftButton);
        QTest::mouseClick(dlg->GetDlgItem(D::IDC_EXPORT_CSV), Qt::LeftButton);
        dlg->SetDlgItemText(D::IDC_MINUTES, "2");
        ClickButtonWithText(dlg, "OK");
    });
    main.OnProperties();
    EXPECT_EQ(main.m_settings.exportCsv, 1);
    EXPECT_EQ(main.GetDlgItemText(IDC_VALUE_CHARGE_TYPE), "Timed Charge");
    EXPECT_EQ(main.GetDlgItemText(IDC_LABEL_BATTERY_TYPE), "Cut Off");
    EXPECT_EQ(main.GetDlgItemText(IDC_VALUE_BATTERY_TYPE), "00:02:00");
    for (int id : {IDC_VALUE_THRESHOLD, IDC_VALUE_DELAY, IDC_VALUE_SENSITIVITY, IDC_VALUE_CELLS,
                   IDC_LABEL_THRESHOLD, IDC_LABEL_DELAY, IDC_LABEL_SENSITIVITY, IDC_LABEL_CELLS}) {
        EXPECT_EQ(main.GetDlgItemText(id), "") << id;
    }
}

TEST(ChargePropertiesDlg, AChangeDuringAChargeTakesEffectAtTheNextTick) {
    ProfileSandbox profile;
    profile.profile().WriteProfileString("Properties", "PackName", "Old name");
    PortSandbox<SimulatedChargerBox> box(SteppedSim());
    CChargerDlg main;
    main.m_playWave = [](const QByteArray&) { return 0; };
    main.Initialise();
    main.OnOK();
    for (int i = 0; i < 20; ++i) {
        box->AdvanceSeconds(1);
        main.OnTimer(1);
        main.OnTimer(2);
    }
    profile.profile().WriteProfileString("Properties", "PackName", "Other");
    auto answer = WhenModalOpens<D>([](D* dlg) {
        dlg->SetDlgItemText(D::IDC_SECONDS, "10");  // a timed charge of ten seconds
        ClickButtonWithText(dlg, "OK");
    });
    main.OnProperties();
    EXPECT_EQ(main.m_bCharging, 1);
    EXPECT_EQ(main.GetDlgItemText(IDC_PACK_NAME), "Old name");  // the pack being charged
    EXPECT_EQ(main.GetDlgItemText(IDC_VALUE_BATTERY_TYPE), "00:00:10");
    box->AdvanceSeconds(1);
    main.OnTimer(1);
    EXPECT_EQ(main.m_bCharging, 0);
    EXPECT_EQ(box->DataRegister(), 255);
}

}  // namespace
