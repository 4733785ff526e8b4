#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include "controls/CGifPicture.h"
#include "tests/controls/GifTestData.h"

namespace {

using namespace gif;

QRgb At(const CGifPicture& p, int x, int y) {
    return p.MemoryPicture().pixel(x, y) & 0xFFFFFF;
}

TEST(CGifPicture, LoadsTheProgramsPictures) {
    CGifPicture picture;
    ASSERT_TRUE(picture.Load(197, "GIF"));
    EXPECT_TRUE(picture.IsAnimated());
    ASSERT_EQ(picture.FrameCount(), 5);
    for (int i = 0; i < 5; ++i) {
        const auto& f = picture.Frame(i);
        EXPECT_EQ(f.nDelay, 30u);
        EXPECT_EQ(f.nDisposal, i == 4 ? 1 : 0);
        EXPECT_EQ(QRect(f.x, f.y, f.cx, f.cy), QRect(0, 0, 42, 52));
    }
    EXPECT_EQ(picture.size(), QSize(42, 52));

    ASSERT_TRUE(picture.Load(198, "GIF"));
    EXPECT_FALSE(picture.IsAnimated());
    EXPECT_TRUE(picture.Draw());
    // The still battery is drawn: low on its body, beside the bolt, it is blue.
    QRgb middle = At(picture, 15, 40);
    EXPECT_GT(qBlue(middle), qRed(middle) + 40);

    // Missing pictures leave what was there.
    EXPECT_FALSE(picture.Load(4242, "GIF"));
    EXPECT_FALSE(picture.Load(QString("/nonexistent/nomove.gif")));
    EXPECT_TRUE(picture.IsReady());
    QTemporaryDir dir;
    QFile empty(dir.path() + "/empty.gif");
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_FALSE(picture.Load(empty.fileName()));
    EXPECT_TRUE(picture.IsReady());
}

TEST(CGifPicture, DataThatIsNotAGifIsShownWhole) {
    CGifPicture picture;
    QFile logo(":/bitmap/199");
    ASSERT_TRUE(logo.open(QIODevice::ReadOnly));
    ASSERT_TRUE(picture.LoadFromMemory(logo.readAll()));
    EXPECT_FALSE(picture.IsGif());
    EXPECT_EQ(picture.PictureSize(), QSize(100, 61));  // 96 dpi picture on a 96 dpi screen
    EXPECT_TRUE(picture.Draw());
    EXPECT_FALSE(picture.LoadFromMemory(QByteArray("not a picture at all")));
    EXPECT_FALSE(picture.IsReady());
    // "GIF" with another version is handed whole to the decoder, which refuses it.
    EXPECT_FALSE(picture.LoadFromMemory(Header(4, 4, "90a") + Image(0, 0, 4, 4, 1) + Trailer()));
}

TEST(CGifPicture, OnlyDecodableFramesPlay) {
    CGifPicture picture;
    // One good frame and one whose code size no decoder takes.
    const QByteArray data = Header() + Control(10, 0) + Image(0, 0, 4, 4, 1) + Control(10, 0) +
                            Image(0, 0, 4, 4, 1, 255) + Trailer();
    ASSERT_TRUE(picture.LoadFromMemory(data));
    EXPECT_EQ(picture.FrameCount(), 1);
    EXPECT_FALSE(picture.IsAnimated());
    // No single picture and too few frames to animate: only the first fill shows.
    const QRgb fill = At(picture, 0, 0);
    EXPECT_FALSE(picture.Draw());
    EXPECT_FALSE(picture.IsAnimating());
    EXPECT_EQ(At(picture, 2, 2), fill);

    EXPECT_FALSE(picture.LoadFromMemory(Header() + Comment("nothing") + Trailer()));
}

TEST(CGifPicture, APictureBeyondTheMemoryBudgetIsRefused) {
    // A few bytes claim a huge logical screen; every frame would decode onto all of it.
    struct Case {
        int width, height, frames;
        bool loads;
    };
    const Case cases[] = {
        {5600, 5600, 4, false},
        {5600, 5600, 1, false},
        // 4 MB a picture; with the memory picture and the disposal area two more: 14 frames
        // are just the 64 MB, 15 are over.
        {1024, 1024, 14, true},
        {1024, 1024, 15, false},
        {640, 480, 16, true},
    };
    for (const Case& c : cases) {
        QByteArray data = Header(c.width, c.height);
        for (int i = 0; i < c.frames; ++i) {
            data += Control(10, 0) + Image(0, 0, 2, 2, i % 2);
        }
        data += Trailer();
        CGifPicture picture;
        EXPECT_EQ(picture.LoadFromMemory(data), c.loads)
            << c.width << "x" << c.height << " " << c.frames;
    }
}

TEST(CGifPicture, DisposalMethods) {
    struct Case {
        int disposal;
        bool keepsFrame;  // the small white frame stays after its disposal
        bool restoresBlack;
    };
    for (const Case& c : {Case{0, true, false}, Case{1, true, false}, Case{2, false, false},
                          Case{3, false, true}}) {
        CGifPicture picture;
        const QByteArray data = Header() + Control(10, 0) + Image(0, 0, 4, 4, 0) +
                                Control(10, c.disposal) + Image(1, 1, 2, 2, 1) + Trailer();
        ASSERT_TRUE(picture.LoadFromMemory(data));
        ASSERT_EQ(picture.FrameCount(), 2);
        picture.RenderFrame(0);
        EXPECT_EQ(At(picture, 1, 1), 0x000000u);
        picture.DisposeFrame(0);
        picture.AdvanceFrame();
        picture.RenderFrame(1);
        EXPECT_EQ(At(picture, 1, 1), 0xFFFFFFu);
        picture.DisposeFrame(1);
        QRgb after = At(picture, 1, 1);
        if (c.keepsFrame) {
            EXPECT_EQ(after, 0xFFFFFFu) << c.disposal;
        } else if (c.restoresBlack) {
            EXPECT_EQ(after, 0x000000u) << c.disposal;
        } else {
            EXPECT_EQ(after, picture.Background().rgb() & 0xFFFFFF) << c.disposal;
        }
        EXPECT_EQ(At(picture, 0, 0), 0x000000u);  // outside the frame nothing changes
        // At the wrap the whole picture is cleared to the background.
        picture.AdvanceFrame();
        EXPECT_EQ(picture.CurrentFrame(), 0);
        EXPECT_EQ(At(picture, 0, 0), picture.Background().rgb() & 0xFFFFFF);
    }
}

TEST(CGifPicture, StopsAtOnceAndResumesWhereItStopped) {
    CGifPicture picture;
    // Frames of 50 ms, then one without a control block: it would rest there for 49 days.
    const QByteArray data = Header() + Control(5, 0) + Image(0, 0, 4, 4, 0) + Control(5, 0) +
                            Image(0, 0, 4, 4, 1) + Image(0, 0, 4, 4, 0) + Trailer();
    ASSERT_TRUE(picture.LoadFromMemory(data));
    EXPECT_FALSE(picture.Draw());  // an animation starts; Draw says false as it always did
    EXPECT_TRUE(picture.IsAnimating());
    ASSERT_TRUE(QTest::qWaitFor([&] { return picture.CurrentFrame() == 2; }, 5000));
    QElapsedTimer timer;
    timer.start();
    picture.Stop();
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_FALSE(picture.IsAnimating());
    EXPECT_EQ(picture.CurrentFrame(), 2);
    picture.Draw();
    QTest::qWait(50);
    EXPECT_EQ(picture.CurrentFrame(), 2);  // resting on the frame without a delay
    picture.UnLoad();
    EXPECT_EQ(picture.CurrentFrame(), 0);
    EXPECT_FALSE(picture.IsReady());
}

}  // namespace
