// On a screen of twice the pixel density (QT_SCALE_FACTOR=2, a CTest entry of its own) every
// picture of the windows comes from art drawn at twice the size, never from pixel-doubling.
// At the ordinary density these tests have nothing to look at and are skipped.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include "app/CAboutDlg.h"
#include "app/CChargerDlg.h"
#include "controls/CGifPicture.h"
#include "controls/CSkinButton.h"
#include "hardware/SimulatedChargerBox.h"
#include "tests/TestSupport.h"

namespace {

bool AtTwiceTheDensity() {
    return qApp->devicePixelRatio() >= 2.0;
}

int NoSound(const QByteArray&) {
    return 0;
}

}  // namespace

TEST(HighResolution, EveryPictureIsDrawnFromTwiceSizeArt) {
    if (qEnvironmentVariable("QT_SCALE_FACTOR") == "2") {
        ASSERT_TRUE(AtTwiceTheDensity());
    } else if (!AtTwiceTheDensity()) {
        GTEST_SKIP() << "runs with QT_SCALE_FACTOR=2";
    }
    ProfileSandbox profile;
    PortSandbox<SimulatedChargerBox> box(SteppedSim({.capacityMah = 300}));
    CChargerDlg dlg;
    dlg.m_playWave = &NoSound;
    dlg.Initialise();
    dlg.show();

    // Every button face, the caption buttons and the four pack buttons alike.
    const QList<CSkinButton*> buttons = dlg.findChildren<CSkinButton*>();
    ASSERT_EQ(buttons.size(), 6);
    for (CSkinButton* b : buttons) {
        for (const QImage* face : {&b->NormalImage(), &b->DownImage(), &b->OverImage(),
                                   &b->FocusImage(), &b->DisabledImage()}) {
            EXPECT_EQ(face->devicePixelRatio(), 2.0) << b->toolTip().toStdString();
            EXPECT_EQ(face->size(), b->size() * 2) << b->toolTip().toStdString();
        }
    }
    // What the screen gets is the art's own pixels: a band of the Properties button above its
    // caption, pixel for pixel.
    const QImage shown = dlg.m_btnProperties->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage art = dlg.m_btnProperties->NormalImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), art.size());
    EXPECT_EQ(shown.copy(0, 0, shown.width(), 8), art.copy(0, 0, art.width(), 8));

    auto chargeToTheEnd = [&] {
        dlg.OnOK();
        return RunUntil([&] { return dlg.m_bCharging == 0; }, [&] {
            box->AdvanceSeconds(1);
            dlg.OnTimer(1);
            dlg.OnTimer(2);
        });
    };
    // The status picture, idle, charging and at the end.
    EXPECT_EQ(dlg.m_picture->PictureScale(), 2.0);
    EXPECT_EQ(dlg.m_picture->PictureSize(), dlg.m_picture->size() * 2);
    dlg.OnOK();
    EXPECT_EQ(dlg.m_picture->PictureScale(), 2.0);
    dlg.OnOK();
    ASSERT_TRUE(chargeToTheEnd());
    EXPECT_EQ(dlg.m_picture->PictureScale(), 2.0);
    // A picture of the user's own in the program's place is shown as it is.
    QTemporaryDir folder;
    ASSERT_TRUE(QFile::copy(QString(KVC410_SOURCE_DIR) + "/res/gif/198.gif",
                            folder.path() + "/nomove.gif"));
    dlg.m_strProgramFolder = folder.path();
    ASSERT_TRUE(chargeToTheEnd());
    EXPECT_EQ(dlg.m_picture->PictureScale(), 1.0);
    // The program's own picture, found in its place, is shown from its twice-size art.
    QFile::remove(folder.path() + "/nomove.gif");
    ASSERT_TRUE(QFile::copy(QString(KVC410_SOURCE_DIR) + "/res/nomove.gif",
                            folder.path() + "/nomove.gif"));
    ASSERT_TRUE(chargeToTheEnd());
    EXPECT_EQ(dlg.m_picture->PictureScale(), 2.0);

    // The window's icon, and the About box's icon and logo.
    EXPECT_TRUE(dlg.windowIcon().availableSizes().contains(QSize(64, 64)));
    CAboutDlg about;
    about.Initialise();
    int pictures = 0;
    for (QLabel* label : about.findChildren<QLabel*>()) {
        if (!label->pixmap().isNull()) {
            ++pictures;
            EXPECT_EQ(label->pixmap().devicePixelRatio(), 2.0);
            EXPECT_EQ(label->pixmap().size(), label->size() * 2);
        }
    }
    EXPECT_EQ(pictures, 2);
}
