#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QAccessible>

#include <optional>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QtTest/QTest>

#include "controls/CDialog.h"
#include "tests/TestSupport.h"

namespace {

constexpr int IDC_HOURS = 1060;
constexpr int IDC_NAME = 1077;
constexpr int IDC_LABEL = 1083;

const DialogTemplate& TestTemplate() {
    using C = ControlClass;
    static const DialogTemplate tmpl{
        900,
        "Test",
        200,
        100,
        {
            {IDOK, C::Button, "OK", 140, 7, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
            {IDCANCEL, C::Button, "Cancel", 140, 25, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
            {IDC_HOURS, C::Edit, "", 7, 7, 24, 14, WS_TABSTOP, "Hours"},
            {IDC_NAME, C::Edit, "", 7, 25, 100, 12, WS_TABSTOP, "Name"},
            {IDC_LABEL, C::Static, "Label", 7, 45, 100, 8, SS_LEFT},
            {1015, C::Button, "Peak", 7, 60, 50, 10, BS_AUTORADIOBUTTON | WS_GROUP},
            {1016, C::Button, "Timed", 7, 72, 50, 10, BS_AUTORADIOBUTTON},
            {1021, C::Button, "Ni-Cd", 70, 60, 50, 10, BS_AUTORADIOBUTTON | WS_GROUP},
            {1022, C::Button, "Ni-MH", 70, 72, 50, 10, BS_AUTORADIOBUTTON},
            {1093, C::Button, "Export", 70, 84, 50, 10, BS_AUTOCHECKBOX},
        },
    };
    return tmpl;
}

class TestDialog : public CDialog {
public:
    TestDialog() : CDialog(TestTemplate()) {}
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, IDC_HOURS, m_nHours);
        DDV_MinMaxInt(pDX, m_nHours, 0, 59);
        DDX_Text(pDX, IDC_NAME, m_strName);
        DDV_MaxChars(pDX, m_strName, 100);
    }
    void OnTimer(int id) override { ticks.push_back(id); }
    int m_nHours = 7;
    QString m_strName = "AA";
    std::vector<int> ticks;
};

TEST(CDialog, BuildsControlsAtTheirDialogUnitRectangles) {
    TestDialog dlg;
    QRect r = dlg.MapDialogRect(140, 7, 50, 14);
    EXPECT_EQ(dlg.GetDlgItem(IDOK)->geometry(), r);
    EXPECT_EQ(dlg.size(), dlg.MapDialogRect(0, 0, 200, 100).size());
    // Eight dialog units are one line of the dialog font.
    EXPECT_EQ(dlg.MapDialogRect(0, 0, 0, 8).height(), QFontMetrics(CDialog::DialogFont()).height());
    EXPECT_EQ(dlg.GetDlgItemText(IDC_LABEL), "Label");
    dlg.SetDlgItemText(IDC_LABEL, "Changed");
    EXPECT_EQ(dlg.GetDlgItemText(IDC_LABEL), "Changed");
    EXPECT_EQ(dlg.GetDlgItem(4242), nullptr);
    EXPECT_EQ(dlg.GetDlgItem(IDC_HOURS)->accessibleName(), "Hours");
}

TEST(CDialog, CheckingOneButtonLeavesTheOthersAlone) {
    TestDialog dlg;
    dlg.CheckDlgButton(1015, 1);
    dlg.CheckDlgButton(1022, 1);
    EXPECT_EQ(dlg.IsDlgButtonChecked(1015), 1);
    EXPECT_EQ(dlg.IsDlgButtonChecked(1022), 1);
    dlg.CheckDlgButton(1016, 1);  // same group as 1015, set from code: 1015 keeps its mark
    EXPECT_EQ(dlg.IsDlgButtonChecked(1015), 1);
    dlg.CheckDlgButton(1016, 0);
    dlg.CheckDlgButton(1093, 1);
    EXPECT_EQ(dlg.IsDlgButtonChecked(1093), 1);
    // A user's click is exclusive within its own group only.
    QTest::mouseClick(dlg.Item<QRadioButton>(1016), Qt::LeftButton);
    EXPECT_EQ(dlg.IsDlgButtonChecked(1016), 1);
    EXPECT_EQ(dlg.IsDlgButtonChecked(1015), 0);
    EXPECT_EQ(dlg.IsDlgButtonChecked(1022), 1);
}

TEST(CDialog, ModalRunsEndWithOkOrCancel) {
    struct Case {
        const char* name;
        std::function<void(QWidget*)> answer;
        int expected;
    };
    const Case cases[] = {
        {"OK button", [](QWidget* w) { ClickButtonWithText(w, "OK"); }, IDOK},
        {"Cancel button", [](QWidget* w) { ClickButtonWithText(w, "Cancel"); }, IDCANCEL},
        {"Escape", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }, IDCANCEL},
        {"close box", [](QWidget* w) { w->close(); }, IDCANCEL},
    };
    for (const Case& c : cases) {
        TestDialog dlg;
        auto answer = WhenModalOpens(c.answer);
        EXPECT_EQ(dlg.DoModal(), c.expected) << c.name;
    }
}

// The test harness's own promise: an answer belongs to its test and fails it when the dialog it
// waits for never opens, or another opens in its place (which it closes, so nothing hangs).
TEST(CDialog, ModalAnswersFailTheirTestWhenTheirDialogDoesNotOpen) {
    EXPECT_NONFATAL_FAILURE({ auto answer = WhenModalOpens([](QWidget*) {}); }, "never opened");
    EXPECT_NONFATAL_FAILURE(
        {
            TestDialog dlg;
            auto answer = WhenModalOpens<QMessageBox>([](QMessageBox*) {});
            dlg.DoModal();
        },
        "expected a QMessageBox to open, but a");
    // Gone with its scope, it answers no later dialog.
    {
        EXPECT_NONFATAL_FAILURE({ auto early = WhenModalOpens([](QWidget*) {}); }, "never opened");
    }
    TestDialog dlg;
    bool answered = false;
    auto answer = WhenModalOpens([&](QWidget* w) {
        answered = true;
        ClickButtonWithText(w, "OK");
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(answered);
}

TEST(CDialog, DataExchangeFillsAndValidates) {
    struct Case {
        const char* hours;
        const char* message;  // nullptr: accepted
        int value;            // the member afterwards: a number out of range is taken, then refused
    };
    const Case cases[] = {
        {"12", nullptr, 12},
        {" 5", nullptr, 5},
        {"0", nullptr, 0},
        {"59", nullptr, 59},
        {"", "Please enter an integer.", 7},
        {"abc", "Please enter an integer.", 7},
        {"12 ", "Please enter an integer.", 7},
        {"1.5", "Please enter an integer.", 7},
        {"99999999999", "Please enter an integer.", 7},
        {"60", "Please enter an integer between 0 and 59.", 60},
        {"-1", "Please enter an integer between 0 and 59.", -1},
    };
    for (const Case& c : cases) {
        TestDialog dlg;
        dlg.show();
        dlg.Initialise();
        EXPECT_EQ(dlg.GetDlgItemText(IDC_HOURS), "7");
        EXPECT_EQ(dlg.GetDlgItemText(IDC_NAME), "AA");
        dlg.SetDlgItemText(IDC_HOURS, c.hours);
        QString shown;
        std::optional<ModalAnswer> answer;
        if (c.message != nullptr) {
            answer.emplace(WhenModalOpens<QMessageBox>([&](QMessageBox* box) {
                shown = box->text();
                ClickButtonWithText(box, "OK");
            }));
        }
        dlg.OnOK();
        answer.reset();
        if (c.message == nullptr) {
            EXPECT_EQ(dlg.result(), IDOK) << c.hours;
            EXPECT_EQ(dlg.m_nHours, c.value) << c.hours;
        } else {
            EXPECT_EQ(shown, c.message) << c.hours;
            EXPECT_TRUE(dlg.isVisible()) << c.hours;
            EXPECT_EQ(dlg.focusWidget(), dlg.GetDlgItem(IDC_HOURS)) << c.hours;
            EXPECT_EQ(dlg.m_nHours, c.value) << c.hours;
        }
    }
}

TEST(CDialog, TextLengthIsLimited) {
    TestDialog dlg;
    dlg.show();
    dlg.Initialise();
    auto* edit = dlg.Item<QLineEdit>(IDC_NAME);
    EXPECT_EQ(edit->maxLength(), 100);
    // Text put there from code is not held back by the field; the check at OK catches it.
    dlg.m_strName = QString(101, 'x');
    edit->setMaxLength(32767);
    dlg.SetDlgItemText(IDC_NAME, dlg.m_strName);
    QString shown;
    QString heard;  // by a screen reader
    auto answer = WhenModalOpens<QMessageBox>([&](QMessageBox* box) {
        shown = box->text();
        heard = QAccessible::queryAccessibleInterface(box)->text(QAccessible::Name);
        ClickButtonWithText(box, "OK");
    });
    dlg.m_strName = "AA";
    dlg.OnOK();
    EXPECT_EQ(shown, "Please enter no more than 100 characters.");
    EXPECT_EQ(heard, shown);
    EXPECT_EQ(dlg.m_strName, QString(101, 'x'));  // the exchange took it before the check
    EXPECT_TRUE(dlg.isVisible());
}

TEST(CDialog, TimersCallOnTimerWithTheirIdUntilKilled) {
    TestDialog dlg;
    dlg.SetTimer(1, 5);
    dlg.SetTimer(2, 5);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.ticks.size() >= 6; }, 2000));
    EXPECT_NE(std::count(dlg.ticks.begin(), dlg.ticks.end(), 1), 0);
    EXPECT_NE(std::count(dlg.ticks.begin(), dlg.ticks.end(), 2), 0);
    EXPECT_TRUE(dlg.KillTimer(1));
    EXPECT_TRUE(dlg.KillTimer(2));
    EXPECT_FALSE(dlg.KillTimer(2));
    dlg.ticks.clear();
    QTest::qWait(30);
    EXPECT_TRUE(dlg.ticks.empty());
}

}  // namespace
