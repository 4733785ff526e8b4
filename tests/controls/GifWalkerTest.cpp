#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "controls/CGifPicture.h"
#include "controls/GifWalker.h"
#include "tests/controls/GifTestData.h"

namespace {

struct Walk {
    bool gif;
    int graphics;
    std::vector<GifFrameData> frames;
};

Walk WalkAll(const QByteArray& data) {
    GifWalker walker(reinterpret_cast<const uint8_t*>(data.constData()),
                     static_cast<size_t>(data.size()));
    Walk w{walker.IsGif(), 0, {}};
    if (!w.gif) {
        return w;
    }
    w.graphics = walker.CountGraphics();
    walker.SetPosition(walker.FirstBlock());
    while (auto frame = walker.NextFrameData()) {
        w.frames.push_back(*frame);
    }
    return w;
}

TEST(GifWalker, DelaysBecomeWaits) {
    struct Case {
        uint32_t delay;
        uint32_t milliseconds;
    };
    for (const Case& c : {Case{0, 100}, Case{1, 100}, Case{4, 100}, Case{5, 50}, Case{30, 300},
                          Case{65535, 655350}, Case{0xFFFFFFFFu, 4294967286u}}) {
        EXPECT_EQ(FrameWaitMilliseconds(c.delay), c.milliseconds) << c.delay;
    }
}

TEST(GifWalker, FramesAndTheirBlocks) {
    using namespace gif;
    struct Case {
        const char* name;
        QByteArray data;
        bool gif;
        int graphics;
        std::vector<uint32_t> delays;
        std::vector<int> disposals;
    };
    const Case cases[] = {
        {"two frames",
         Header() + Control(30, 0) + Image(0, 0, 4, 4, 1) + Control(5, 2) + Image(1, 1, 2, 2, 0) +
             Trailer(),
         true,
         2,
         {30, 5},
         {0, 2}},
        {"extensions around the frames",
         Header() + Application() + Comment("c") + Control(7, 3) + Comment("between") +
             Image(0, 0, 4, 4, 1) + Comment("after") + Image(0, 0, 2, 2, 0) + Trailer(),
         true,
         2,
         {7, 0xFFFFFFFFu},
         {3, 0}},
        {"plain text is a graphic",
         Header() + Control(10, 1) + PlainText() + Image(0, 0, 1, 1, 1) + Trailer(),
         true,
         2,
         {10, 0xFFFFFFFFu},
         {1, 0}},
        {"one graphic", Header() + Image(0, 0, 4, 4, 1) + Trailer(), true, 1, {0xFFFFFFFFu}, {0}},
        {"no graphic", Header() + Comment("only") + Trailer(), true, 0, {}, {}},
        {"an unknown extension stops the walk",
         Header() + Image(0, 0, 1, 1, 1) + QByteArray("\x21\x99\x00", 3) + Image(0, 0, 1, 1, 0) +
             Trailer(),
         true,
         1,
         {0xFFFFFFFFu},
         {0}},
        {"version 88a is no GIF",
         Header(4, 4, "88a") + Image(0, 0, 4, 4, 1) + Trailer(),
         false,
         0,
         {},
         {}},
        {"87a",
         Header(4, 4, "87a") + Image(0, 0, 4, 4, 1) + Trailer(),
         true,
         1,
         {0xFFFFFFFFu},
         {0}},
        {"a control block with no graphic after it",
         Header() + Control(3, 0) + Trailer(),
         true,
         0,
         {},
         {}},
    };
    for (const Case& c : cases) {
        Walk w = WalkAll(c.data);
        EXPECT_EQ(w.gif, c.gif) << c.name;
        EXPECT_EQ(w.graphics, c.graphics) << c.name;
        ASSERT_EQ(w.frames.size(), c.delays.size()) << c.name;
        for (size_t i = 0; i < w.frames.size(); ++i) {
            EXPECT_EQ(w.frames[i].nDelay, c.delays[i]) << c.name << " frame " << i;
            EXPECT_EQ(w.frames[i].nDisposal, c.disposals[i]) << c.name << " frame " << i;
            // Every frame stands alone: the header, its own blocks, a trailer.
            EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(w.frames[i].bytes.data()), 19),
                      c.data.left(19));
            EXPECT_EQ(w.frames[i].bytes.back(), ';');
            if (w.frames[i].cx > 0) {  // a plain-text frame has no picture to decode
                EXPECT_FALSE(CGifPicture::DecodeFrame(w.frames[i].bytes).isNull())
                    << c.name << " frame " << i;
            }
        }
    }
    // Blocks between a control extension and its image belong to that frame.
    Walk between = WalkAll(cases[1].data);
    const QByteArray frame0(reinterpret_cast<const char*>(between.frames[0].bytes.data()),
                            static_cast<qsizetype>(between.frames[0].bytes.size()));
    EXPECT_TRUE(frame0.contains("between"));
    EXPECT_FALSE(frame0.contains("after"));
    // Position and size come from the image descriptor.
    Walk two = WalkAll(cases[0].data);
    EXPECT_EQ(two.frames[1].x, 1);
    EXPECT_EQ(two.frames[1].y, 1);
    EXPECT_EQ(two.frames[1].cx, 2);
    EXPECT_EQ(two.frames[1].cy, 2);
}

TEST(GifWalker, TruncatedDataIsNeverReadPastItsEnd) {
    using namespace gif;
    const QByteArray full = Header() + Application() + Control(30, 0) + Image(0, 0, 4, 4, 1) +
                            Comment("x") + Control(30, 1) + Image(0, 0, 4, 4, 0) + Trailer();
    int previous = 0;
    for (qsizetype n = 0; n <= full.size(); ++n) {
        // A copy of exactly n bytes, so that a read past them is a read past an allocation.
        std::vector<uint8_t> bytes(full.begin(), full.begin() + n);
        GifWalker walker(bytes.data(), bytes.size());
        int graphics = walker.IsGif() ? walker.CountGraphics() : 0;
        EXPECT_GE(graphics, previous) << n;
        EXPECT_LE(graphics, 2) << n;
        previous = graphics;
        walker.SetPosition(walker.FirstBlock());
        while (walker.NextFrameData()) {
        }
    }
    EXPECT_EQ(previous, 2);
}

// The shared corpus of real GIFs and the fuzzer's findings, each walked whole and cut short.
TEST(GifWalker, CorpusAndFindingsReplay) {
    QStringList files;
    for (const QString& folder :
         {QString(KVC410_GIF_CORPUS), QString(KVC410_SOURCE_DIR) + "/tests/fuzz/findings"}) {
        for (const QString& name : QDir(folder).entryList(QDir::Files)) {
            if (!name.endsWith(".md")) {
                files << folder + "/" + name;
            }
        }
    }
    const bool haveCorpus = QDir(KVC410_GIF_CORPUS).exists();
    int animated = 0;
    for (const QString& path : files) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const QByteArray data = file.readAll();
        for (qsizetype n : {data.size(), data.size() / 2, data.size() - 1, qsizetype(13)}) {
            if (n < 0 || n > data.size()) {
                continue;
            }
            std::vector<uint8_t> bytes(data.begin(), data.begin() + n);
            GifWalker walker(bytes.data(), bytes.size());
            if (walker.IsGif()) {
                int graphics = walker.CountGraphics();
                walker.SetPosition(walker.FirstBlock());
                int frames = 0;
                while (walker.NextFrameData()) {
                    ++frames;
                }
                EXPECT_LE(frames, graphics) << path.toStdString() << " " << n;
                animated += n == data.size() && graphics > 1;
            }
        }
    }
    if (haveCorpus) {
        EXPECT_GT(animated, 0);  // the corpus holds animations: the walk really went through them
    }
}

}  // namespace
