// Draws the program's pictures anew: the icon, the About logo, the button skins, the status
// GIFs and the end-of-charge chime. Run it as `drawart <res folder>`; the output is committed,
// so it only needs to run when a picture changes.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

#include "tools/drawart/Art.h"

int main(int argc, char** argv) {
    // No window is shown: the pictures are painted off screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: drawart RES_FOLDER\n");
        return 2;
    }
    const QString res = QString::fromLocal8Bit(argv[1]);
    for (const char* sub : {"icon", "bitmap", "gif", "wave"}) {
        QDir().mkpath(res + "/" + sub);
    }
    bool ok = DrawAll(res);
    return ok ? 0 : 1;
}
