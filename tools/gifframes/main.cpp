// gifframes FILE: shows how the status picture reads a GIF, for people who draw their own
// end-of-charge picture. It runs the picture's own block walker over FILE and prints
//   gif <1|0> graphics <count>
// then one line per frame the walker cuts out, in file order:
//   <index> <delay> <disposal> <x> <y> <cx> <cy> <decoded 1|0>
// The exit status is 0 when the picture would load, 1 when it would not.

#include <QApplication>
#include <QFile>
#include <cstdio>

#include "controls/CGifPicture.h"
#include "controls/GifWalker.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: gifframes FILE\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "gifframes: cannot read %s\n", argv[1]);
        return 1;
    }
    const QByteArray data = file.readAll();
    GifWalker walker(reinterpret_cast<const uint8_t*>(data.constData()),
                     static_cast<size_t>(data.size()));
    const bool gif = walker.IsGif();
    const int graphics = gif ? walker.CountGraphics() : 0;
    std::printf("gif %d graphics %d\n", gif ? 1 : 0, graphics);
    if (gif) {
        walker.SetPosition(walker.FirstBlock());
        // Beyond the picture's memory budget no frame is decoded (the picture refuses it).
        const bool affordable =
            int64_t{4} * walker.ScreenWidth() * walker.ScreenHeight() * (graphics + 2) <=
            CGifPicture::kMemoryBudget;
        int index = 0;
        while (std::optional<GifFrameData> frame = walker.NextFrameData()) {
            bool decoded = affordable && !CGifPicture::DecodeFrame(frame->bytes).isNull();
            std::printf("%d %u %d %d %d %d %d %d\n", index++, frame->nDelay, frame->nDisposal,
                        frame->x, frame->y, frame->cx, frame->cy, decoded ? 1 : 0);
        }
    }
    CGifPicture picture;
    return picture.LoadFromMemory(data) ? 0 : 1;
}
