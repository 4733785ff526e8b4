#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QtTest/QTest>

#include "controls/CSkinButton.h"
#include "controls/DialogTemplate.h"

namespace {

QImage Mask(int w, int h, std::initializer_list<QPoint> opaque = {}, bool allBlack = false) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(allBlack ? Qt::black : Qt::white);
    for (QPoint p : opaque) {
        image.setPixel(p, qRgb(0, 0, 0));
    }
    return image;
}

TEST(CSkinButton, RegionsFromMasks) {
    struct Case {
        const char* name;
        QImage mask;
        std::vector<QRect> runs;
    };
    const Case cases[] = {
        {"all black", Mask(3, 2, {}, true), {QRect(0, 1, 3, 1), QRect(0, 0, 3, 1)}},
        {"all white", Mask(3, 2), {}},
        {"one pixel in the last column", Mask(4, 3, {{3, 1}}), {QRect(3, 1, 1, 1)}},
        {"runs bottom row first",
         Mask(5, 2, {{0, 0}, {1, 0}, {3, 0}, {4, 0}, {2, 1}}),
         {QRect(2, 1, 1, 1), QRect(0, 0, 2, 1), QRect(3, 0, 2, 1)}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CSkinButton::MaskRuns(c.mask), c.runs) << c.name;
    }
    EXPECT_EQ(CSkinButton::RegionFromMask(Mask(73, 21, {}, true)), QRegion(0, 0, 73, 21));
    EXPECT_TRUE(CSkinButton::RegionFromMask(Mask(10, 10)).isEmpty());
    // Near-white is opaque: only exact white lets the background through.
    QImage almost = Mask(2, 1);
    almost.setPixel(0, 0, qRgb(255, 255, 254));
    EXPECT_EQ(CSkinButton::MaskRuns(almost), std::vector<QRect>{QRect(0, 0, 1, 1)});
}

TEST(CSkinButton, KindFromTheStyle) {
    struct Case {
        uint32_t style;
        int kind;
    };
    for (const Case& c :
         {Case{BS_PUSHBUTTON, 0}, Case{BS_DEFPUSHBUTTON, 0}, Case{3, 2}, Case{7, 2}, Case{11, 2},
          Case{15, 2}, Case{9, 4}, Case{9 | WS_GROUP | WS_TABSTOP, 4}, Case{0x100 | 1, 0}}) {
        CSkinButton button("x", c.style);
        EXPECT_EQ(button.ButtonKind(), c.kind) << c.style;
    }
}

TEST(CSkinButton, SkinArgumentsAndTheirLimits) {
    CSkinButton button("OK", BS_PUSHBUTTON);
    button.resize(80, 23);
    button.SetSkin(146, 149, 150, 0, 151, 148, 0, 0, 0);
    EXPECT_EQ(button.size(), QSize(73, 21));  // natural size takes the mask's size
    EXPECT_EQ(button.Region(), QRegion(0, 0, 73, 21));
    EXPECT_EQ(button.DisabledImage(), button.NormalImage());  // no disabled picture: the up one
    EXPECT_FALSE(button.OverImage().isNull());

    struct Case {
        int drawMode, edge, inset;
        int expectedMode;
        bool expectedEdge;
        int expectedInset;
    };
    for (const Case& c :
         {Case{5, 0, 0, 2, false, 0}, Case{-1, 1, -3, 0, true, 0},
          Case{0x10001, 0x10000, 0x10004, 1, false, 4}, Case{2, -1, 3, 2, true, 3}}) {
        CSkinButton b("x", BS_PUSHBUTTON);
        b.SetSkin(146, 0, 0, 0, 0, 0, c.drawMode, c.edge, c.inset);
        EXPECT_EQ(b.DrawMode(), c.expectedMode) << c.drawMode;
        EXPECT_EQ(b.DrawsEdge(), c.expectedEdge) << c.edge;
        EXPECT_EQ(b.FocusInset(), c.expectedInset) << c.inset;
    }
    // A second skin with fewer pictures leaves the missing states empty.
    button.SetSkin(171, 0, 0, 0, 0, 0, 1, 0, 0);
    EXPECT_FALSE(button.NormalImage().isNull());
    EXPECT_TRUE(button.DownImage().isNull());
    EXPECT_TRUE(button.OverImage().isNull());
    EXPECT_TRUE(button.FocusImage().isNull());
    EXPECT_EQ(button.size(), QSize(73, 21));  // no mask: size and region stay
}

TEST(CSkinButton, PicksThePictureByState) {
    QWidget parent;
    auto* button = new CSkinButton("OK", BS_PUSHBUTTON, &parent);
    button->SetSkin(146, 149, 150, 0, 151, 148, 0, 0, 0);
    parent.show();
    QApplication::setActiveWindow(&parent);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&parent));
    button->clearFocus();
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);  // wherever the pointer was left by earlier tests
    EXPECT_EQ(button->CurrentImage(), button->NormalImage());
    button->setFocus();
    EXPECT_EQ(button->CurrentImage(), button->FocusImage());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(button, &enter);
    EXPECT_TRUE(button->IsMouseOver());
    EXPECT_EQ(button->CurrentImage(), button->OverImage());  // over wins over focus
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(button->IsMouseOver());  // a press ends the hover
    EXPECT_TRUE(button->IsPressed());
    EXPECT_EQ(button->CurrentImage(), button->DownImage());
    // While the button holds the mouse, the pushed look follows the pointer out and back.
    QMouseEvent out(QEvent::MouseMove, QPointF(200, 200), button->mapToGlobal(QPointF(200, 200)),
                    Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(button, &out);
    EXPECT_EQ(button->CurrentImage(), button->FocusImage());  // not pushed, still focused
    QMouseEvent back(QEvent::MouseMove, QPointF(5, 5), button->mapToGlobal(QPointF(5, 5)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(button, &back);
    EXPECT_EQ(button->CurrentImage(), button->DownImage());
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(button->IsPressed());
    QTest::mouseMove(button, QPoint(6, 6));
    EXPECT_TRUE(button->IsMouseOver());  // back with the first move after the release
    QApplication::sendEvent(button, &leave);
    EXPECT_FALSE(button->IsMouseOver());
    button->setEnabled(false);
    EXPECT_EQ(button->CurrentImage(), button->DisabledImage());
    // Its name for screen readers: the caption, or the tooltip where there is none.
    EXPECT_EQ(button->accessibleName(), "");
    EXPECT_EQ(button->text(), "OK");
    CSkinButton pack("", BS_PUSHBUTTON, &parent);
    pack.SetToolTipText("Create a New Pack");
    EXPECT_EQ(pack.accessibleName(), "Create a New Pack");
    EXPECT_EQ(pack.toolTip(), "Create a New Pack");
    pack.SetTextColor(0x0000FF);
    EXPECT_EQ(pack.SetTextColor(0), 0x0000FFu);  // the previous colour comes back
}

TEST(CSkinButton, CheckBoxAndRadioKindsKeepTheirOwnMark) {
    QWidget parent;
    auto* check = new CSkinButton("c", BS_AUTOCHECKBOX, &parent);
    check->resize(40, 20);
    parent.show();
    // Released outside the button: no change; inside: toggled.
    QTest::mousePress(check, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(check, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(check->GetCheck(), 0);
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(check->GetCheck(), 1);
    check->setFocus();
    QTest::keyPress(check, Qt::Key_Space);
    QTest::keyPress(check, Qt::Key_Space, {}, -1);  // auto-repeated key-downs toggle too
    EXPECT_EQ(check->GetCheck(), 1);
    QTest::keyRelease(check, Qt::Key_Space);

    CSkinButton push("p", BS_PUSHBUTTON);
    push.SetCheck(true);
    EXPECT_EQ(push.GetCheck(), 0);

    // A radio button that becomes checked unchecks the rest of its group, and only that.
    auto* a = new CSkinButton("a", BS_AUTORADIOBUTTON | WS_GROUP, &parent);
    auto* b = new CSkinButton("b", BS_AUTORADIOBUTTON, &parent);
    auto* c = new CSkinButton("c", BS_AUTORADIOBUTTON, &parent);
    auto* other = new CSkinButton("d", BS_AUTORADIOBUTTON | WS_GROUP, &parent);
    // The uncheck message is posted: it arrives after the one that sent it has returned.
    for (CSkinButton* r : {a, c, other}) {
        r->SetCheck(true);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(a->GetCheck(), 0);
    EXPECT_EQ(c->GetCheck(), 1);
    EXPECT_EQ(other->GetCheck(), 1);
    b->resize(40, 20);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(5, 5));
    QCoreApplication::processEvents();
    EXPECT_EQ(a->GetCheck() + b->GetCheck() * 10 + c->GetCheck() * 100, 10);
    EXPECT_EQ(other->GetCheck(), 1);
    // Alone in its group, a radio button unchecks nobody.
    QWidget lonely;
    auto* solo = new CSkinButton("s", BS_AUTORADIOBUTTON | WS_GROUP, &lonely);
    solo->SetCheck(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(solo->GetCheck(), 1);
}

TEST(CSkinButton, ADoubleClickIsASecondPress) {
    CSkinButton button("x", BS_PUSHBUTTON);
    button.resize(40, 20);
    button.show();
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseDClick(&button, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks.count(), 2);
}

}  // namespace
