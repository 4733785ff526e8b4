#include <gtest/gtest.h>

#include <optional>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>

#include "app/CAboutDlg.h"
#include "app/CChargerDlg.h"
#include "app/Templates.h"
#include "controls/CGifPicture.h"
#include "controls/CListBox.h"
#include "controls/CSkinButton.h"
#include "packs/dialogs/CConfirmDlg.h"
#include "packs/dialogs/CNewPackDlg.h"
#include "packs/dialogs/CPackEditorDlg.h"
#include "packs/dialogs/CPackInfoDlg.h"
#include "settings/ChargeSettingsStore.h"
#include "settings/dialogs/CChargePropertiesDlg.h"
#include "tests/TestSupport.h"

namespace {

TEST(MainWindow, EveryControlSitsAtItsRectangleWithItsCaption) {
    ProfileSandbox profile;
    PortSandbox<RecordingPort> port;
    CChargerDlg dlg;
    struct Case {
        int id;
        int x, y, cx, cy;
        const char* caption;
    };
    const Case cases[] = {
        {1, 260, 13, 50, 14, "Start"},
        {1001, 13, 22, 55, 23, "0.00"},
        {1004, 12, 54, 56, 8, "0.00"},
        {1005, 60, 86, 8, 8, "00"},
        {1006, 40, 86, 9, 8, "00"},
        {1007, 23, 86, 10, 8, "00"},
        {1008, 39, 114, 29, 9, "0.00"},
        {1031, 260, 31, 50, 14, "Properties"},
        {1041, 121, 44, 44, 17, "Charge Type"},
        {1042, 121, 66, 44, 17, "Battery Type"},
        {1043, 121, 110, 44, 17, "Threshold Voltage"},
        {1044, 121, 132, 44, 17, "Delay"},
        {1045, 121, 154, 44, 17, "Sensitivity"},
        {1036, 173, 44, 49, 17, "A1"},
        {1037, 173, 66, 49, 17, "A2"},
        {1038, 173, 110, 49, 17, "A3"},
        {1039, 173, 132, 49, 17, "A4"},
        {1040, 173, 154, 49, 17, "A5"},
        {1062, 279, 54, 25, 27, ""},
        {1067, 19, 152, 49, 9, "0.0"},
        {1074, 121, 88, 44, 17, "Number of Cells"},
        {1073, 173, 88, 49, 17, "A6"},
        {1075, 230, 91, 80, 64, ""},
        {1078, 229, 159, 18, 14, ""},
        {1080, 250, 159, 18, 14, ""},
        {1084, 271, 159, 18, 14, ""},
        {1085, 292, 159, 18, 14, ""},
        {1046, 173, 22, 49, 17, "A7"},
    };
    for (const Case& c : cases) {
        QWidget* w = dlg.GetDlgItem(c.id);
        ASSERT_NE(w, nullptr) << c.id;
        EXPECT_EQ(w->geometry(), dlg.MapDialogRect(c.x, c.y, c.cx, c.cy)) << c.id;
        EXPECT_EQ(dlg.GetDlgItemText(c.id), c.caption) << c.id;
    }
    EXPECT_EQ(dlg.windowTitle(), "Quillmark Charger");
    EXPECT_EQ(dlg.size(), dlg.MapDialogRect(0, 0, 317, 182).size());
    // The labels and frames without an id are there too, each at its place.
    const Case unnumbered[] = {
        {0, 7, 7, 104, 168, "Status"},
        {0, 77, 22, 16, 8, "Volts"},
        {0, 77, 54, 18, 8, "Amps"},
        {0, 77, 86, 25, 10, "Time"},
        {0, 51, 86, 8, 8, ":"},
        {0, 34, 86, 8, 8, ":"},
        {0, 77, 111, 30, 9, "Maximum"},
        {0, 78, 120, 26, 8, "Voltage"},
        {0, 114, 7, 113, 168, "Charge Properties"},
        {0, 77, 152, 27, 9, "mAH"},
        {0, 121, 22, 44, 17, "Battery Name"},
    };
    for (const Case& c : unnumbered) {
        bool found = false;
        for (QWidget* w : dlg.findChildren<QWidget*>()) {
            auto* label = qobject_cast<QLabel*>(w);
            auto* frame = qobject_cast<QGroupBox*>(w);
            const QString text = label ? label->text() : frame ? frame->title() : QString();
            found = found ||
                    (text == c.caption && w->geometry() == dlg.MapDialogRect(c.x, c.y, c.cx, c.cy));
        }
        EXPECT_TRUE(found) << c.caption << " at " << c.x << "," << c.y;
    }
    EXPECT_TRUE(dlg.Item<QLabel>(1001)->alignment() & Qt::AlignRight);
}

TEST(MainWindow, ScreenReadersHearWhatTheScreenShows) {
    ProfileSandbox profile;
    PortSandbox<SimulatedChargerBox> box(SteppedSim());
    CChargerDlg dlg;
    dlg.Initialise();
    dlg.show();
    auto name = [](QWidget* w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    };
    EXPECT_EQ(name(dlg.m_btnStart), "Start");
    dlg.OnOK();
    EXPECT_EQ(name(dlg.m_btnStart), "Stop");
    dlg.OnOK();
    EXPECT_EQ(name(dlg.m_btnStart), "Start");
    EXPECT_EQ(name(dlg.m_btnNewPack), "Create a New Pack");
    // The status picture is a picture that works as a button (it opens the About box).
    QAccessibleInterface* picture = QAccessible::queryAccessibleInterface(dlg.m_picture);
    EXPECT_EQ(picture->role(), QAccessible::Button);
    EXPECT_EQ(picture->text(QAccessible::Name), "Status");

    // Shift+F10 opens the context menu, as the Menu key and the right click do.
    QString offered;
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* action : menu->actions()) {
                offered += action->text();
            }
            menu->close();
        }
    });
    QTest::keyClick(&dlg, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(offered,
              "&About KVC410...Charge &Graph...Charge &Limits...Pack &History...&Remote...");
}

TEST(MainWindow, InitialisationSwitchesOffFirstAndShowsTheStoredState) {
    ProfileSandbox profile;
    profile.profile().WriteProfileString("Packs", "0", "Zebra");
    profile.profile().WriteProfileString("Packs", "1", "0");
    profile.profile().WriteProfileString("Packs", "7", "alpha");
    profile.profile().WriteProfileString("Packs", "12", "Mid");
    profile.profile().WriteProfileInt("Properties", "LastSelected", 1);
    PortSandbox<RecordingPort> port;
    CChargerDlg dlg;
    dlg.Initialise();
    ASSERT_FALSE(port->accesses.empty());
    EXPECT_EQ(port->accesses.front(), (PortAccess{'W', kDataPort, 255}));
    EXPECT_EQ(port->data, 255);
    EXPECT_EQ(dlg.m_bCharging, 0);

    struct Shown {
        int id;
        const char* text;
    };
    for (const Shown& s : {Shown{1046, "None"}, Shown{1036, "Peak Charge"},
                           Shown{1037, "Nickel Metal Hydride (Ni-MH)"}, Shown{1073, "8"},
                           Shown{1038, "0.08 volts"}, Shown{1039, "10 sec"}, Shown{1040, "10 sec"},
                           Shown{1044, "Peak Detect Delay"}, Shown{1045, " Sensitivity"}}) {
        EXPECT_EQ(dlg.GetDlgItemText(s.id), s.text) << s.id;
    }
    QStringList names;
    for (int i = 0; i < dlg.m_lstPacks->count(); ++i) {
        names << dlg.m_lstPacks->item(i)->text();
    }
    EXPECT_EQ(names, (QStringList{"alpha", "Mid", "Zebra"}));
    EXPECT_EQ(dlg.m_lstPacks->currentRow(), 1);  // a list position, not a slot
}

TEST(MainWindow, AboutBoxFromTheMenuCommandAndThePicture) {
    ProfileSandbox profile;
    PortSandbox<RecordingPort> port;
    CChargerDlg dlg;
    dlg.Initialise();
    struct Case {
        int command;
        bool opens;
    };
    for (const Case& c : {Case{16, true}, Case{17, true}, Case{31, true}, Case{15, false},
                          Case{32, false}, Case{0xF060, false}}) {
        bool opened = false;
        std::optional<ModalAnswer> answer;
        if (c.opens) {
            answer.emplace(WhenModalOpens<CAboutDlg>([&](CAboutDlg* w) {
                QStringList texts;
                for (QLabel* label : w->findChildren<QLabel*>()) {
                    texts << label->text();
                }
                opened =
                    w->windowTitle() == "About KVC410" && texts.contains("KVC410 Version 1.0.0");
                ClickButtonWithText(w, "OK");
            }));
        }
        dlg.OnSysCommand(c.command);
        answer.reset();
        EXPECT_EQ(opened, c.opens) << c.command;
    }
    bool opened = false;
    auto answer = WhenModalOpens<CAboutDlg>([&](CAboutDlg* w) {
        opened = true;
        QTest::keyClick(w, Qt::Key_Escape);
    });
    dlg.show();
    QTest::mouseClick(dlg.m_picture, Qt::LeftButton);
    EXPECT_TRUE(opened);
}

TEST(MainWindow, ClosingOrEscapeSwitchesTheChargerOffAndAsksDuringACharge) {
    struct Case {
        bool viaEscape;
        bool charging;
        const char* answer;  // to "A charge is running. Stop it and quit?"; nullptr: not asked
        bool quits;
    };
    const Case cases[] = {
        {true, false, nullptr, true}, {false, false, nullptr, true}, {true, true, "OK", true},
        {false, true, "OK", true},    {true, true, "Cancel", false}, {false, true, "Cancel", false},
    };
    for (const Case& c : cases) {
        const std::string label =
            std::string(c.viaEscape ? "Escape " : "close ") + (c.answer ? c.answer : "idle");
        ProfileSandbox profile;
        PortSandbox<RecordingPort> port;
        CChargerDlg dlg;
        dlg.Initialise();
        dlg.show();
        port->data = 0;  // as during a charge
        dlg.m_bCharging = c.charging ? 1 : 0;
        QString asked;
        bool cancelIsDefault = false;
        auto answer = WhenModalOpens<CConfirmDlg>([&](CConfirmDlg* question) {
            asked = question->GetDlgItemText(1083);
            cancelIsDefault = question->m_btnCancel->isDefault() && !question->m_btnOK->isDefault();
            ClickButtonWithText(question, c.answer);
        });
        if (c.viaEscape) {
            QTest::keyClick(&dlg, Qt::Key_Escape);
        } else {
            dlg.close();
        }
        if (c.answer == nullptr) {
            EXPECT_FALSE(answer.Withdraw()) << label;
        } else {
            EXPECT_EQ(asked, "A charge is running. Stop it and quit?") << label;
            EXPECT_TRUE(cancelIsDefault) << label;
        }
        EXPECT_EQ(port->data, c.quits ? 255 : 0) << label;
        EXPECT_EQ(dlg.isVisible(), !c.quits) << label;
    }
}

TEST(MainWindow, EveryDialogsControlsAreNamed) {
    ProfileSandbox profile;
    std::vector<std::unique_ptr<CDialog>> dialogs;
    dialogs.push_back(std::make_unique<CAboutDlg>());
    dialogs.push_back(std::make_unique<CChargePropertiesDlg>());
    dialogs.push_back(std::make_unique<CConfirmDlg>());
    dialogs.push_back(std::make_unique<CNewPackDlg>());
    dialogs.push_back(std::make_unique<CPackEditorDlg>());
    dialogs.push_back(std::make_unique<CPackInfoDlg>());
    for (auto& dlg : dialogs) {
        dlg->Initialise();
        int reachable = 0;
        for (QWidget* w : dlg->findChildren<QWidget*>()) {
            if (w->focusPolicy() & Qt::TabFocus) {
                ++reachable;
                EXPECT_FALSE(
                    QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).isEmpty())
                    << dlg->windowTitle().toStdString() << ": " << w->metaObject()->className();
            }
        }
        EXPECT_GT(reachable, 0) << dlg->windowTitle().toStdString();
    }
}

TEST(MainWindow, EveryControlCanBeReachedAndIsNamed) {
    ProfileSandbox profile;
    PortSandbox<RecordingPort> port;
    CChargerDlg dlg;
    dlg.Initialise();
    for (QWidget* w : dlg.findChildren<QWidget*>()) {
        if (w->focusPolicy() & Qt::TabFocus) {
            QString name = QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
            EXPECT_FALSE(name.isEmpty()) << w->metaObject()->className() << " " << w->geometry().x()
                                         << "," << w->geometry().y();
        }
    }
    for (int id : {1, 1031, 1062, 1075, 1078, 1080, 1084, 1085}) {
        EXPECT_TRUE(dlg.GetDlgItem(id)->focusPolicy() & Qt::TabFocus) << id;
    }
    EXPECT_EQ(dlg.GetDlgItem(1078)->accessibleName(), "Create a New Pack");
    EXPECT_EQ(dlg.GetDlgItem(1062)->accessibleName(), "Status");
}

}  // namespace

namespace {

int NoSound(const QByteArray&) {
    return 0;
}

TEST(MainWindow, TheStatusPictureFollowsTheCharge) {
    ProfileSandbox profile;
    // A timed charge of two seconds, no log: the current folder stays where the test put it.
    profile.profile().WriteProfileInt("Properties", "ChargeType", 2);
    profile.profile().WriteProfileInt("Properties", "Sec", 2);
    QTemporaryDir folder;
    ASSERT_TRUE(
        QFile::copy(QString(KVC410_SOURCE_DIR) + "/res/nomove.gif", folder.path() + "/nomove.gif"));
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder.path());
    PortSandbox<SimulatedChargerBox> box(SteppedSim());
    CChargerDlg dlg;
    dlg.m_playWave = &NoSound;
    dlg.Initialise();
    EXPECT_TRUE(dlg.m_picture->IsReady());
    EXPECT_FALSE(dlg.m_picture->IsAnimated());  // the still battery
    dlg.OnOK();
    EXPECT_TRUE(dlg.m_picture->IsAnimating());
    dlg.OnOK();  // stopped by hand: the still battery again
    EXPECT_FALSE(dlg.m_picture->IsAnimating());
    EXPECT_TRUE(dlg.m_picture->IsReady());
    QImage still = dlg.m_picture->MemoryPicture();

    dlg.OnOK();
    ASSERT_TRUE(RunUntil([&] { return dlg.m_bCharging == 0; },
                         [&] {
                             box->AdvanceSeconds(1);
                             dlg.OnTimer(1);
                             dlg.OnTimer(2);
                         }));
    EXPECT_FALSE(dlg.m_picture->IsAnimating());
    EXPECT_TRUE(dlg.m_picture->IsReady());  // nomove.gif from the current folder
    EXPECT_NE(dlg.m_picture->MemoryPicture(), still);

    const QImage endPicture = dlg.m_picture->MemoryPicture();
    auto charge = [&] {
        dlg.OnOK();
        return RunUntil([&] { return dlg.m_bCharging == 0; },
                        [&] {
                            box->AdvanceSeconds(1);
                            dlg.OnTimer(1);
                            dlg.OnTimer(2);
                        });
    };

    // Beside the program is the second place (a CSV log makes the log folder current); here it
    // holds the still battery, to tell the places apart.
    QTemporaryDir program;
    ASSERT_TRUE(QFile::copy(QString(KVC410_SOURCE_DIR) + "/res/gif/198.gif",
                            program.path() + "/nomove.gif"));
    dlg.m_strProgramFolder = program.path();
    QFile::remove(folder.path() + "/nomove.gif");
    ASSERT_TRUE(charge());
    EXPECT_TRUE(dlg.m_picture->IsReady());
    EXPECT_EQ(dlg.m_picture->MemoryPicture(), still);

    // Installed, the program is in <prefix>/bin and its pictures in <prefix>/share/kvc410.
    QTemporaryDir prefix;
    ASSERT_TRUE(QDir().mkpath(prefix.path() + "/bin"));
    ASSERT_TRUE(QDir().mkpath(prefix.path() + "/share/kvc410"));
    ASSERT_TRUE(QFile::copy(QString(KVC410_SOURCE_DIR) + "/res/gif/198.gif",
                            prefix.path() + "/share/kvc410/nomove.gif"));
    dlg.m_strProgramFolder = prefix.path() + "/bin";
    ASSERT_TRUE(charge());
    EXPECT_EQ(dlg.m_picture->MemoryPicture(), still);

    // Nowhere, or a picture that would take far too much memory (a few bytes claiming a
    // 5600x5600 screen): the built-in end picture.
    QFile bomb(folder.path() + "/nomove.gif");
    ASSERT_TRUE(bomb.open(QIODevice::WriteOnly));
    bomb.write(QByteArray::fromHex("474946383961e015e0150000") +
               QByteArray::fromHex("21f9040400000000002c000000000100010000020144003b"));
    bomb.close();
    dlg.m_strProgramFolder = folder.path() + "/none";
    ASSERT_TRUE(charge());
    EXPECT_TRUE(dlg.m_picture->IsReady());
    EXPECT_EQ(dlg.m_picture->MemoryPicture(), endPicture);

    // A charge that needs looking at (here the safety timer's end of a peak charge) has a
    // picture of its own: not the end picture of a full pack, not the user's.
    dlg.m_settings.chargeType = kPeakCharge;
    dlg.m_limits.timerMinutes = kShortestTimerMinutes;
    ASSERT_TRUE(charge());
    EXPECT_EQ(dlg.m_lastEnd, ChargeEnd::TimeLimit);
    EXPECT_TRUE(dlg.m_picture->IsReady());
    EXPECT_NE(dlg.m_picture->MemoryPicture(), endPicture);
    EXPECT_NE(dlg.m_picture->MemoryPicture(), still);
    QDir::setCurrent(before);
}

}  // namespace

TEST(MainWindow, TicksAsFastAsTheSimulatedBoxRunsAndOnceASecondOnARealPort) {
    ProfileSandbox profile;
    struct Case {
        double speed;  // 0: a real port
        int tickMs;
    };
    for (const Case c : {Case{100, 10}, Case{60, 17}, Case{0, 1000}}) {
        std::unique_ptr<PortDriver> previous =
            c.speed > 0 ? InstallPortDriver(std::make_unique<SimulatedChargerBox>(
                              SimOptions{.speed = c.speed, .noiseCounts = 0}))
                        : InstallPortDriver(std::make_unique<RecordingPort>());
        {
            CChargerDlg dlg;
            dlg.Initialise();
            dlg.OnOK();
            const QList<QTimer*> timers = dlg.findChildren<QTimer*>();
            int ticking = 0;
            for (const QTimer* t : timers) {
                if (t->isActive() && t->isSingleShot() == false && t->interval() == c.tickMs) {
                    ++ticking;
                }
            }
            EXPECT_EQ(ticking, 2) << c.speed;
            dlg.m_strPackName = kNoPack;
            dlg.OnOK();
        }
        InstallPortDriver(std::move(previous));
    }
}

TEST(MainWindow, NoChargeStartsWithoutAGuardian) {
    ProfileSandbox profile;
    PortSandbox<RecordingPort> port;
    CChargerDlg dlg;
    std::vector<QString> said;
    dlg.m_reportFailure = [&](const QString& m) { said.push_back(m); };
    dlg.m_ensureGuardian = [] { return false; };
    dlg.Initialise();
    dlg.OnOK();
    EXPECT_EQ(dlg.m_bCharging, 0);
    EXPECT_EQ(dlg.m_btnStart->text(), "Start");
    EXPECT_EQ(port->data, kChargerOff);
    ASSERT_EQ(said.size(), 1u);
    EXPECT_TRUE(said[0].contains("kvc-guardian")) << said[0].toStdString();
}

TEST(MainWindow, AChargeThatEndsWhileQuittingIsAskedAboutClosesTheQuestion) {
    ProfileSandbox profile;
    StoreChargeSettings(profile.profile(), {.timedSeconds = 5, .chargeType = kTimedCharge});
    PortSandbox<SimulatedChargerBox> box(SteppedSim());
    CChargerDlg dlg;
    dlg.m_playWave = [](const QByteArray&) { return 0; };
    dlg.m_notify = nullptr;
    dlg.Initialise();
    dlg.show();
    dlg.OnOK();
    // The question stays unanswered while the charge runs to its end under it.
    auto tick = WhenModalOpens<CConfirmDlg>([&](CConfirmDlg*) {
        for (int i = 0; i < 10 && dlg.m_bCharging; ++i) {
            box->AdvanceSeconds(1);
            dlg.OnTimer(1);
            if (dlg.m_bCharging) {
                dlg.OnTimer(2);
            }
        }
    });
    bool stuck = false;
    QTimer::singleShot(3000, [&] {
        if (auto* open = qobject_cast<CConfirmDlg*>(QApplication::activeModalWidget())) {
            stuck = true;
            static_cast<QDialog*>(open)->reject();
        }
    });
    dlg.close();
    EXPECT_FALSE(stuck);
    EXPECT_EQ(dlg.m_cycle.LastEnd(), ChargeEnd::Completed);
    // Closed as Cancel: the window stays, and the next close asks nothing.
    EXPECT_TRUE(dlg.isVisible());
    dlg.close();
    EXPECT_FALSE(dlg.isVisible());
}
