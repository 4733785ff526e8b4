// What a screen reader is told (the accessibility interfaces the desktop's AT-SPI bridge
// reads): roles, names with their meaning, values in their units, and the actions offered.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QSplitter>
#include <QSplitterHandle>

#include "app/CAboutDlg.h"
#include "app/CChargerDlg.h"
#include "app/Templates.h"
#include "controls/CGifPicture.h"
#include "graph/CChargeGraphWnd.h"
#include "packs/dialogs/CConfirmDlg.h"
#include "settings/ChargeSettingsStore.h"
#include "settings/dialogs/CChargePropertiesDlg.h"
#include "tests/TestSupport.h"

namespace {

QAccessibleInterface* A(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

TEST(Accessibility, ControlsAreAnnouncedAsWhatTheyAre) {
    ProfileSandbox profile;
    StoreChargeSettings(profile.profile(), {.timedHours = 1, .timedMinutes = 30, .chargeType = 2});
    PortSandbox<SimulatedChargerBox> box(SteppedSim({.noiseCounts = 0}));
    CChargerDlg dlg;
    dlg.Initialise();
    dlg.show();

    // The status picture can be pressed, and pressing it opens About.
    QAccessibleActionInterface* picture = A(dlg.m_picture)->actionInterface();
    ASSERT_NE(picture, nullptr);
    ASSERT_TRUE(picture->actionNames().contains(QAccessibleActionInterface::pressAction()));
    {
        auto about =
            WhenModalOpens<CAboutDlg>([](CAboutDlg* d) { static_cast<QDialog*>(d)->reject(); });
        picture->doAction(QAccessibleActionInterface::pressAction());
    }

    // A timed charge: the cut-off is announced as the cut-off, the peak charge's empty labels
    // not at all.
    EXPECT_EQ(A(dlg.m_stcBatteryType)->text(QAccessible::Name), "Cut Off 01:30:00");
    EXPECT_TRUE(A(dlg.m_stcThreshold)->state().invisible);
    EXPECT_TRUE(A(dlg.m_stcThresholdLabel)->state().invisible);
    // Numbers with their meaning.
    dlg.OnOK();
    box->AdvanceSeconds(1);
    dlg.OnTimer(1);
    dlg.OnTimer(2);
    EXPECT_EQ(A(dlg.m_stcVolts)->text(QAccessible::Name), "Volts " + dlg.m_stcVolts->text());
    // The clock is one value, read as a time.
    EXPECT_EQ(A(dlg.m_stcHours)->text(QAccessible::Name), "Charge time 00:00:01");
    EXPECT_TRUE(A(dlg.m_stcMinutes)->state().invisible);
    EXPECT_TRUE(A(dlg.m_stcSeconds)->state().invisible);
    dlg.m_strPackName = kNoPack;
    dlg.OnOK();

    // The Charge Properties: radio buttons as radio buttons, the threshold in volts.
    CChargePropertiesDlg properties;
    properties.Initialise();
    auto* timed = properties.Item<QRadioButton>(CChargePropertiesDlg::IDC_TIMED_CHARGE);
    auto* peak = properties.Item<QRadioButton>(CChargePropertiesDlg::IDC_PEAK_CHARGE);
    EXPECT_EQ(A(timed)->role(), QAccessible::RadioButton);
    EXPECT_TRUE(A(timed)->state().checked);
    EXPECT_FALSE(A(peak)->state().checked);
    A(peak)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(peak->isChecked());
    auto* threshold = properties.Item<QSlider>(CChargePropertiesDlg::IDC_THRESHOLD);
    threshold->setValue(8);
    EXPECT_EQ(A(threshold)->text(QAccessible::Value), "0.08 volts");
    EXPECT_EQ(A(properties.Item<QLabel>(CChargePropertiesDlg::IDC_THRESHOLD_TEXT))
                  ->text(QAccessible::Name),
              "Threshold in volts 0.08");
    ASSERT_NE(A(threshold)->valueInterface(), nullptr);
    EXPECT_DOUBLE_EQ(A(threshold)->valueInterface()->currentValue().toDouble(), 0.08);
    EXPECT_DOUBLE_EQ(A(threshold)->valueInterface()->maximumValue().toDouble(), 0.20);

    // The program's own message box is an alert named by its message.
    CConfirmDlg confirm;
    confirm.m_strMessage = "Save charge information to the selected profile?";
    confirm.Initialise();
    EXPECT_EQ(A(&confirm)->role(), QAccessible::AlertMessage);
    EXPECT_EQ(A(&confirm)->text(QAccessible::Name), confirm.m_strMessage);

    // The graph is a window, and its divider has a name.
    dlg.OnChargeGraph();
    auto* graph = dlg.findChild<CChargeGraphWnd*>();
    ASSERT_NE(graph, nullptr);
    EXPECT_EQ(A(graph)->role(), QAccessible::Window);
    EXPECT_EQ(A(graph->View())->role(), QAccessible::Graphic);  // a picture, not a filler
    EXPECT_EQ(A(graph)->text(QAccessible::Name), "Charge Graph");
    auto* splitter = graph->findChild<QSplitter*>();
    ASSERT_NE(splitter, nullptr);
    EXPECT_FALSE(A(splitter->handle(1))->text(QAccessible::Name).isEmpty());
}

}  // namespace

namespace {

// The end of a charge is said from the main window itself: an alert appears, named with what
// happened, and is gone while the next charge runs.
TEST(Accessibility, TheEndOfAChargeIsAnnounced) {
    ProfileSandbox profile;
    StoreChargeSettings(profile.profile(), {.timedSeconds = 5, .chargeType = 2});
    PortSandbox<SimulatedChargerBox> box(SteppedSim({.noiseCounts = 0}));
    CChargerDlg dlg;
    dlg.Initialise();
    dlg.show();
    auto* alert = dlg.findChild<QLabel*>("EndOfCharge");
    ASSERT_NE(alert, nullptr);
    for (int charge = 0; charge < 2; ++charge) {
        dlg.OnOK();
        EXPECT_TRUE(A(alert)->state().invisible);
        for (int i = 0; i < 20 && dlg.m_bCharging; ++i) {
            box->AdvanceSeconds(1);
            dlg.OnTimer(1);
            dlg.OnTimer(2);
        }
        ASSERT_FALSE(dlg.m_bCharging);
        EXPECT_FALSE(A(alert)->state().invisible);
        EXPECT_EQ(A(alert)->role(), QAccessible::AlertMessage);
        EXPECT_TRUE(A(alert)->text(QAccessible::Name).contains("Timed"))
            << A(alert)->text(QAccessible::Name).toStdString();
    }
}

}  // namespace
