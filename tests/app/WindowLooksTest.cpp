// What every window looks like to a user, computed from the widgets: no frame line through
// text, and a visible focus on every Tab stop.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QtTest/QTest>
#include <functional>
#include <memory>

#include "app/CAboutDlg.h"
#include "app/CChargerDlg.h"
#include "controls/CGifPicture.h"
#include "controls/CListBox.h"
#include "controls/CSkinButton.h"
#include "controls/ControlLooks.h"
#include "packs/dialogs/CConfirmDlg.h"
#include "packs/dialogs/CNewPackDlg.h"
#include "packs/dialogs/CPackEditorDlg.h"
#include "packs/dialogs/CPackInfoDlg.h"
#include "settings/dialogs/CChargePropertiesDlg.h"
#include "tests/TestSupport.h"

namespace {

struct Text {
    QString text;
    QRect rect;  // in the dialog's coordinates
    const QWidget* owner;
};

// Where each piece of text of a dialog is drawn.
std::vector<Text> TextRectangles(const QWidget& dialog) {
    std::vector<Text> texts;
    for (const QWidget* w : dialog.findChildren<QWidget*>()) {
        const QFontMetrics fm(w->font());
        if (auto* frame = qobject_cast<const CGroupFrame*>(w)) {
            texts.push_back({frame->title(), frame->TitleRect().translated(w->pos()), w});
        } else if (auto* label = qobject_cast<const QLabel*>(w)) {
            auto* elided = qobject_cast<const CElidedLabel*>(w);
            const QString shown = elided ? elided->DisplayText() : label->text();
            if (shown.isEmpty()) {
                continue;
            }
            const QRect r = fm.boundingRect(label->contentsRect(),
                                            int(label->alignment()) | Qt::TextWordWrap, shown);
            texts.push_back({shown, r.translated(w->pos()), w});
        } else if (qobject_cast<const QCheckBox*>(w) || qobject_cast<const QRadioButton*>(w)) {
            auto* button = static_cast<const QAbstractButton*>(w);
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QRect contents = button->style()->subElementRect(
                qobject_cast<const QCheckBox*>(w) ? QStyle::SE_CheckBoxContents
                                                  : QStyle::SE_RadioButtonContents,
                &option, button);
            const QRect r = fm.boundingRect(contents, Qt::AlignLeft | Qt::AlignVCenter,
                                            button->text());
            texts.push_back({button->text(), r.translated(w->pos()), w});
        } else if (auto* button = qobject_cast<const CSkinButton*>(w)) {
            const QRect r = fm.boundingRect(button->rect(), Qt::AlignCenter, button->text());
            texts.push_back({button->text(), r.translated(w->pos()), w});
        }
    }
    return texts;
}

struct Window {
    const char* name;
    std::function<std::unique_ptr<QWidget>()> make;
};

template <typename Dialog>
std::unique_ptr<QWidget> Made(std::function<void(Dialog&)> prepare = {}) {
    auto dlg = std::make_unique<Dialog>();
    if (prepare) {
        prepare(*dlg);
    }
    dlg->Initialise();
    return dlg;
}

const Window kWindows[] = {
    {"main window", [] { return Made<CChargerDlg>(); }},
    {"Charge Properties", [] { return Made<CChargePropertiesDlg>(); }},
    {"Pack Information",
     [] { return Made<CPackInfoDlg>([](CPackInfoDlg& d) { d.m_strSlot = "0"; }); }},
    {"About", [] { return Made<CAboutDlg>(); }},
    {"New Pack", [] { return Made<CNewPackDlg>(); }},
    {"Pack Editor", [] { return Made<CPackEditorDlg>(); }},
    {"confirmation", [] {
         return Made<CConfirmDlg>([](CConfirmDlg& d) {
             d.m_strMessage = "Save charge information to the selected profile?";
         });
     }},
};

}  // namespace

TEST(WindowLooks, NoFrameLineRunsThroughText) {
    ProfileSandbox profile;
    profile.profile().WriteProfileString("Packs", "0", "AA Pack");
    profile.profile().WriteProfileString("Packs", "0j", "0987001234.5020510140703032003099100006");
    PortSandbox<SimulatedChargerBox> box(SteppedSim());
    int frames = 0;
    for (const Window& window : kWindows) {
        std::unique_ptr<QWidget> dialog = window.make();
        dialog->show();
        const std::vector<Text> texts = TextRectangles(*dialog);
        ASSERT_FALSE(texts.empty()) << window.name;
        for (const CGroupFrame* frame : dialog->findChildren<CGroupFrame*>()) {
            ++frames;
            // The etched line is two pixels wide on each edge.
            const QRect f = frame->FrameRect().translated(frame->pos());
            const QRect title = frame->TitleRect().translated(frame->pos());
            const QRect lines[] = {
                QRect(f.left(), f.top(), title.left() - 2 - f.left(), 2),
                QRect(title.right() + 2, f.top(), f.right() - title.right() - 2, 2),
                QRect(f.left(), f.top(), 2, f.height()),
                QRect(f.right() - 1, f.top(), 2, f.height()),
                QRect(f.left(), f.bottom() - 1, f.width(), 2),
            };
            // The title sits on the top edge, inside the frame's rectangle.
            EXPECT_TRUE(title.top() < f.top() && title.bottom() > f.top() + 1)
                << window.name << ": " << frame->title().toStdString();
            for (const Text& t : texts) {
                if (t.owner == frame) {
                    continue;
                }
                for (const QRect& line : lines) {
                    EXPECT_FALSE(line.intersects(t.rect))
                        << window.name << ": the frame of \"" << frame->title().toStdString()
                        << "\" crosses \"" << t.text.toStdString() << "\"";
                }
            }
        }
    }
    EXPECT_EQ(frames, 9);
}

TEST(WindowLooks, EveryTabStopShowsItsFocus) {
    ProfileSandbox profile;
    profile.profile().WriteProfileString("Packs", "0", "AA Pack");
    PortSandbox<SimulatedChargerBox> box(SteppedSim());
    CChargerDlg dlg;
    dlg.Initialise();
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    dlg.m_lstPacks->SetCurSel(-1);

    struct Case {
        const char* what;
        QWidget* shown;
        std::function<void()> mark;
        std::function<void()> unmark;
        QColor colour;
    };
    const Case cases[] = {
        {"the status picture", dlg.m_picture, [&] { dlg.m_picture->setFocus(); },
         [&] { dlg.m_btnProperties->setFocus(); }, kFocusRimColour},
        {"the pack list with nothing selected", dlg.m_lstPacks, [&] { dlg.m_lstPacks->setFocus(); },
         [&] { dlg.m_btnProperties->setFocus(); }, kFocusRimColour},
        // Enter presses Start while the list has the focus; it shows so.
        {"the default button", dlg.m_btnStart,
         [&] {
             dlg.m_lstPacks->setFocus();
             dlg.m_btnStart->setDefault(true);
         },
         [&] {
             dlg.m_lstPacks->setFocus();
             dlg.m_btnStart->setDefault(false);
         },
         kDefaultRimColour},
    };
    for (const Case& c : cases) {
        c.mark();
        QApplication::processEvents();
        const QImage marked = c.shown->grab().toImage();
        c.unmark();
        QApplication::processEvents();
        const QImage plain = c.shown->grab().toImage();
        // The mark is a rim in the skins' colours, at least the height of the control long.
        EXPECT_GT(PixelsOfColour(marked, c.colour), PixelsOfColour(plain, c.colour) + c.shown->height()) << c.what;
    }
    dlg.m_btnStart->setDefault(true);
}
