#include "tools/drawart/Art.h"

#include <QBuffer>
#include <QDir>
#include <QSvgGenerator>
#include <QImageReader>

#include "tools/drawart/GifWriter.h"

#include <QFile>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

const QColor kBorderBlue(0, 60, 116);

// 1 for the pictures the program shows at their size; 2 for the same art drawn at twice the
// size (vector-scaled, never pixel-doubled) for high-resolution screens, saved as "<name>@2x".
int g_scale = 1;

QString Scaled(const QString& path, const QString& extension) {
    return g_scale == 1 ? path + "." + extension : path + "@2x.png";
}
const QColor kBatteryBlue(38, 104, 196);
const QColor kBatteryDark(20, 56, 120);
const QColor kSpark(255, 214, 40);

bool Save(const QImage& image, const QString& path, const char* format) {
    if (!image.save(path, format)) {
        std::fprintf(stderr, "drawart: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// An upright battery with a lightning bolt, on a transparent background.
void PaintBattery(QPainter& p, const QRectF& body, bool bolt) {
    p.setRenderHint(QPainter::Antialiasing);
    QRectF cap(body.center().x() - body.width() * 0.18, body.top() - body.height() * 0.08,
               body.width() * 0.36, body.height() * 0.1);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(170, 176, 186));
    p.drawRoundedRect(cap, 1.5, 1.5);
    QLinearGradient shade(body.topLeft(), body.topRight());
    shade.setColorAt(0.0, kBatteryDark);
    shade.setColorAt(0.35, kBatteryBlue.lighter(130));
    shade.setColorAt(1.0, kBatteryDark);
    p.setBrush(shade);
    p.setPen(QPen(kBorderBlue, 1.0));
    p.drawRoundedRect(body, body.width() * 0.15, body.width() * 0.15);
    if (bolt) {
        QPainterPath path;
        const double x = body.left(), y = body.top(), w = body.width(), h = body.height();
        path.moveTo(x + w * 0.58, y + h * 0.12);
        path.lineTo(x + w * 0.25, y + h * 0.55);
        path.lineTo(x + w * 0.48, y + h * 0.55);
        path.lineTo(x + w * 0.38, y + h * 0.90);
        path.lineTo(x + w * 0.76, y + h * 0.42);
        path.lineTo(x + w * 0.53, y + h * 0.42);
        path.closeSubpath();
        p.setBrush(kSpark);
        p.setPen(QPen(QColor(150, 100, 0), 0.8));
        p.drawPath(path);
    }
}

bool DrawIcon(const QString& res) {
    QImage icon(32 * g_scale, 32 * g_scale, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    {
        QPainter p(&icon);
        p.scale(g_scale, g_scale);
        PaintBattery(p, QRectF(8.5, 5.5, 15, 24), true);
    }
    if (g_scale != 1) {
        return Save(icon, res + "/icon/128@2x.png", "PNG");
    }
    // One image of 256 colours, as the program icon always was.
    QImage indexed = icon.convertToFormat(
        QImage::Format_Indexed8, Qt::ThresholdDither | Qt::ThresholdAlphaDither | Qt::AvoidDither);
    return Save(indexed, res + "/icon/128.png", "PNG");
}

// The desktop's icons: the program icon's battery drawn at each size the icon theme asks for
// (vector-scaled, never pixel-scaled), and as an SVG for any other size.
bool DrawDesktopIcons(const QString& res) {
    bool ok = true;
    QDir().mkpath(res + "/desktop/icons");
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImage icon(size, size, QImage::Format_ARGB32);
        icon.fill(Qt::transparent);
        {
            QPainter p(&icon);
            p.scale(size / 32.0, size / 32.0);
            PaintBattery(p, QRectF(8.5, 5.5, 15, 24), true);
        }
        ok = Save(icon, res + QString("/desktop/icons/%1.png").arg(size), "PNG") && ok;
    }
    QSvgGenerator svg;
    svg.setFileName(res + "/desktop/icons/scalable.svg");
    svg.setSize(QSize(32, 32));
    svg.setViewBox(QRect(0, 0, 32, 32));
    svg.setTitle("KVC410");
    svg.setDescription("A battery with a lightning bolt");
    {
        QPainter p(&svg);
        PaintBattery(p, QRectF(8.5, 5.5, 15, 24), true);
    }
    return ok;
}

bool DrawLogo(const QString& res) {
    QImage logo(100 * g_scale, 61 * g_scale, QImage::Format_RGB888);
    logo.fill(QColor(240, 240, 240));
    QPainter p(&logo);
    p.scale(g_scale, g_scale);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 61);
    sky.setColorAt(0, QColor(226, 236, 250));
    sky.setColorAt(1, QColor(190, 210, 236));
    p.fillRect(QRect(0, 0, 100, 61), sky);
    // A quill drawn as a sweeping feather over the name.
    QPainterPath feather;
    feather.moveTo(86, 4);
    feather.cubicTo(60, 8, 48, 24, 40, 40);
    feather.cubicTo(54, 30, 70, 22, 86, 4);
    p.setPen(QPen(kBorderBlue, 1));
    p.setBrush(QColor(255, 255, 255, 220));
    p.drawPath(feather);
    p.setPen(QPen(kBorderBlue, 1.2));
    p.drawLine(QPointF(86, 4), QPointF(36, 46));
    QFont font("DejaVu Sans");
    font.setPixelSize(15);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kBorderBlue);
    p.drawText(QRect(0, 38, 100, 20), Qt::AlignCenter, "Quillmark");
    p.end();
    return Save(logo, Scaled(res + "/bitmap/199", "bmp"), g_scale == 1 ? "BMP" : "PNG");
}

// The end-of-charge chime: three soft bell tones rising (C6, E6, G6), each with a few
// inharmonic partials and an exponential fade, PCM 16 bit, 2 channels, 22050 Hz, 1.94 s.
bool DrawChime(const QString& res) {
    constexpr int kRate = 22050;
    constexpr int kFrames = 42777;  // 1.94 s
    constexpr double kPi = 3.14159265358979323846;
    struct Note {
        double start, frequency, pan;
    };
    const Note notes[] = {{0.00, 1046.50, 0.35}, {0.16, 1318.51, 0.5}, {0.32, 1567.98, 0.65}};
    const double partials[][2] = {{1.0, 1.0}, {2.76, 0.32}, {5.40, 0.12}, {0.5, 0.18}};
    std::vector<double> left(kFrames), right(kFrames);
    for (const Note& n : notes) {
        for (int i = 0; i < kFrames; ++i) {
            double t = static_cast<double>(i) / kRate - n.start;
            if (t < 0) {
                continue;
            }
            double attack = std::min(1.0, t / 0.004);
            double v = 0;
            for (const auto& p : partials) {
                double decay = std::exp(-t * (2.2 + 1.6 * p[0]));
                v += p[1] * decay * std::sin(2 * kPi * n.frequency * p[0] * t);
            }
            v *= attack * 0.22;
            left[i] += v * (1.0 - n.pan) * 2;
            right[i] += v * n.pan * 2;
        }
    }
    QByteArray data;
    auto put16 = [&data](int v) {
        data.append(static_cast<char>(v & 0xFF));
        data.append(static_cast<char>((v >> 8) & 0xFF));
    };
    auto put32 = [&data](uint32_t v) {
        for (int k = 0; k < 4; ++k) {
            data.append(static_cast<char>((v >> (8 * k)) & 0xFF));
        }
    };
    const uint32_t bytes = kFrames * 4;
    data.append("RIFF");
    put32(36 + bytes);
    data.append("WAVEfmt ");
    put32(16);
    put16(1);  // PCM
    put16(2);
    put32(kRate);
    put32(kRate * 4);
    put16(4);
    put16(16);
    data.append("data");
    put32(bytes);
    for (int i = 0; i < kFrames; ++i) {
        // A short fade at the very end, so the sound stops without a click.
        double tail = std::min(1.0, (kFrames - i) / 400.0);
        put16(static_cast<int>(std::lround(std::clamp(left[i] * tail, -1.0, 1.0) * 32000)));
        put16(static_cast<int>(std::lround(std::clamp(right[i] * tail, -1.0, 1.0) * 32000)));
    }
    QFile file(res + "/wave/COOL.wav");
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
        std::fprintf(stderr, "drawart: cannot write the chime\n");
        return false;
    }
    return true;
}

// --- Button skins -----------------------------------------------------------------------------

const QColor kDialogFace(239, 239, 239);
const QColor kOrangeRim(246, 150, 30);
const QColor kFocusRim(60, 130, 230);

enum class Look { Up, Down, Over, Focus, Disabled };

// A rounded face with a one-pixel dark blue border; the corners outside it blend into the
// dialog's colour.
QImage PaintFace(int w, int h, Look look) {
    QImage image(w * g_scale, h * g_scale, QImage::Format_RGB888);
    image.fill(kDialogFace);
    QPainter p(&image);
    p.scale(g_scale, g_scale);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF outer(0.5, 0.5, w - 1, h - 1);
    const double radius = std::min(w, h) * 0.28;
    QLinearGradient face(0, 0, 0, h);
    switch (look) {
        case Look::Down:
            face.setColorAt(0, QColor(176, 180, 188));
            face.setColorAt(1, QColor(206, 208, 214));
            break;
        case Look::Disabled:
            face.setColorAt(0, QColor(236, 236, 236));
            face.setColorAt(1, QColor(222, 222, 222));
            break;
        default:
            face.setColorAt(0, QColor(255, 255, 255));
            face.setColorAt(0.5, QColor(238, 241, 246));
            face.setColorAt(1, QColor(214, 219, 228));
            break;
    }
    p.setPen(QPen(look == Look::Disabled ? QColor(150, 160, 172) : kBorderBlue, 1.0));
    p.setBrush(face);
    p.drawRoundedRect(outer, radius, radius);
    if (look == Look::Over || look == Look::Focus) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(look == Look::Over ? kOrangeRim : kFocusRim, 2.0));
        p.drawRoundedRect(QRectF(2, 2, w - 4, h - 4), radius - 1.5, radius - 1.5);
    }
    return image;
}

using Glyph = void (*)(QPainter&, const QRectF&);

void BatteryGlyph(QPainter& p, const QRectF& r, bool spark) {
    QRectF body(r.center().x() - r.width() * 0.18, r.top() + r.height() * 0.18, r.width() * 0.36,
                r.height() * 0.66);
    PaintBattery(p, body, false);
    if (spark) {
        QPainterPath star;
        QPointF c(r.right() - r.width() * 0.22, r.top() + r.height() * 0.24);
        for (int i = 0; i < 8; ++i) {
            double a = i * 3.14159265 / 4;
            double len = (i % 2 == 0) ? r.width() * 0.2 : r.width() * 0.07;
            QPointF q(c.x() + len * std::cos(a), c.y() + len * std::sin(a));
            i == 0 ? star.moveTo(q) : star.lineTo(q);
        }
        star.closeSubpath();
        p.setPen(QPen(QColor(170, 110, 0), 0.6));
        p.setBrush(kSpark);
        p.drawPath(star);
    }
}

void NewPackGlyph(QPainter& p, const QRectF& r) {
    BatteryGlyph(p, r, true);
}

void DeletePackGlyph(QPainter& p, const QRectF& r) {
    BatteryGlyph(p, r, false);
    p.setPen(QPen(QColor(210, 30, 30), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(r.left() + r.width() * 0.22, r.top() + r.height() * 0.22),
               QPointF(r.right() - r.width() * 0.22, r.bottom() - r.height() * 0.22));
    p.drawLine(QPointF(r.right() - r.width() * 0.22, r.top() + r.height() * 0.22),
               QPointF(r.left() + r.width() * 0.22, r.bottom() - r.height() * 0.22));
}

void SaveGlyph(QPainter& p, const QRectF& r) {
    QRectF disk =
        r.adjusted(r.width() * 0.22, r.height() * 0.22, -r.width() * 0.22, -r.height() * 0.22);
    p.setPen(QPen(QColor(20, 30, 60), 0.8));
    p.setBrush(QColor(40, 70, 150));
    p.drawRoundedRect(disk, 1.2, 1.2);
    p.setBrush(QColor(225, 228, 235));
    p.drawRect(QRectF(disk.left() + disk.width() * 0.22, disk.top(), disk.width() * 0.56,
                      disk.height() * 0.36));
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(QRectF(disk.left() + disk.width() * 0.16, disk.top() + disk.height() * 0.56,
                      disk.width() * 0.68, disk.height() * 0.44));
}

void InfoGlyph(QPainter& p, const QRectF& r) {
    QRectF disc =
        r.adjusted(r.width() * 0.2, r.height() * 0.2, -r.width() * 0.2, -r.height() * 0.2);
    QRadialGradient red(disc.center(), disc.width() / 2);
    red.setColorAt(0, QColor(250, 90, 80));
    red.setColorAt(1, QColor(190, 20, 20));
    p.setPen(QPen(QColor(120, 10, 10), 0.8));
    p.setBrush(red);
    p.drawEllipse(disc);
    QFont font("DejaVu Serif");
    font.setPixelSize(static_cast<int>(disc.height() * 0.85));
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(20, 50, 190));
    p.drawText(disc, Qt::AlignCenter, "i");
}

bool SaveSkin(const QString& res, int id, const QImage& image) {
    return Save(image.convertToFormat(QImage::Format_RGB888),
                Scaled(res + "/bitmap/" + QString::number(id), "bmp"), g_scale == 1 ? "BMP" : "PNG");
}

QImage SmallSkin(Look look, Glyph glyph) {
    QImage image = PaintFace(25, 25, look);
    QPainter p(&image);
    p.scale(g_scale, g_scale);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF area(0, 0, 25, 25);
    if (look == Look::Down) {
        area.translate(1, 1);
    }
    glyph(p, area);
    return image;
}

bool DrawSkins(const QString& res) {
    bool ok = true;
    // The large caption button: up, (unused) disabled, mask, down, over, focus.
    ok = SaveSkin(res, 146, PaintFace(73, 21, Look::Up)) && ok;
    ok = SaveSkin(res, 147, PaintFace(73, 21, Look::Disabled)) && ok;
    // The masks shape the button's window: they stay at its size.
    QImage black(73, 21, QImage::Format_RGB888);
    black.fill(Qt::black);
    ok = (g_scale != 1 || SaveSkin(res, 148, black)) && ok;
    ok = SaveSkin(res, 149, PaintFace(73, 21, Look::Down)) && ok;
    ok = SaveSkin(res, 150, PaintFace(73, 21, Look::Over)) && ok;
    ok = SaveSkin(res, 151, PaintFace(73, 21, Look::Focus)) && ok;
    QImage smallMask(25, 25, QImage::Format_RGB888);
    smallMask.fill(Qt::black);
    ok = (g_scale != 1 || SaveSkin(res, 174, smallMask)) && ok;
    struct Small {
        Glyph glyph;
        int up, down, over, focus;
    };
    const Small smalls[] = {
        {NewPackGlyph, 171, 168, 172, 169},
        {DeletePackGlyph, 178, 176, 179, 177},
        {SaveGlyph, 187, 185, 188, 186},
        {InfoGlyph, 191, 189, 193, 190},
    };
    for (const Small& s : smalls) {
        ok = SaveSkin(res, s.up, SmallSkin(Look::Up, s.glyph)) && ok;
        ok = SaveSkin(res, s.down, SmallSkin(Look::Down, s.glyph)) && ok;
        ok = SaveSkin(res, s.over, SmallSkin(Look::Over, s.glyph)) && ok;
        ok = SaveSkin(res, s.focus, SmallSkin(Look::Focus, s.glyph)) && ok;
    }
    return ok;
}

// --- Status pictures ------------------------------------------------------------------------

constexpr int kGifWidth = 42;
constexpr int kGifHeight = 52;
constexpr int kTransparentIndex = 255;

// The battery on a light face with a blue rim; the corners outside the face stay transparent.
// Full: a tick over it; needing attention (a backup's end, a pack missing or pulled): a warning
// triangle with an exclamation mark instead, a different shape whatever the colours look like.
QImage StatusPicture(int sparkle, bool full, bool attention = false) {
    QImage image(kGifWidth * g_scale, kGifHeight * g_scale, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(g_scale, g_scale);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kBorderBlue, 1.5));
    QLinearGradient face(0, 0, 0, kGifHeight);
    face.setColorAt(0, QColor(250, 252, 255));
    face.setColorAt(1, QColor(214, 224, 240));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(1, 1, kGifWidth - 2, kGifHeight - 2), 8, 8);
    PaintBattery(p, QRectF(12.5, 11.5, 17, 32), !full && !attention);
    if (attention) {
        const QPolygonF triangle{QPointF(21, 15), QPointF(35, 41), QPointF(7, 41)};
        p.setPen(QPen(QColor(40, 30, 0), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(QColor(250, 200, 30));
        p.drawPolygon(triangle);
        p.setPen(QPen(QColor(40, 30, 0), 3.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(21, 23), QPointF(21, 32));
        p.drawPoint(QPointF(21, 37.2));
    } else if (full) {
        p.setPen(QPen(QColor(30, 160, 60), 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF{QPointF(14, 28), QPointF(20, 35), QPointF(30, 20)});
    }
    // Sparkles travel round the battery, one more place lit each frame.
    const QPointF places[] = {{9, 12}, {33, 16}, {31, 40}, {10, 36}};
    for (int i = 0; i < sparkle && i < 4; ++i) {
        QPointF c = places[(i + sparkle) % 4];
        double len = 4.5 - i * 0.6;
        p.setPen(QPen(QColor(255, 255, 255), 1.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(c.x() - len, c.y()), QPointF(c.x() + len, c.y()));
        p.drawLine(QPointF(c.x(), c.y() - len), QPointF(c.x(), c.y() + len));
        p.setPen(QPen(kSpark, 1.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(c.x() - len * 0.6, c.y() - len * 0.6),
                   QPointF(c.x() + len * 0.6, c.y() + len * 0.6));
        p.drawLine(QPointF(c.x() - len * 0.6, c.y() + len * 0.6),
                   QPointF(c.x() + len * 0.6, c.y() - len * 0.6));
    }
    return image;
}

bool WriteGif(const QString& path, const QByteArray& data, int expectedFrames) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) {
        std::fprintf(stderr, "drawart: cannot write %s\n", qPrintable(path));
        return false;
    }
    file.close();
    // Read it back with Qt's own decoder, so a broken encoder never goes unnoticed.
    QImageReader reader(path);
    if (reader.imageCount() != expectedFrames || reader.read().isNull()) {
        std::fprintf(stderr, "drawart: %s does not read back\n", qPrintable(path));
        return false;
    }
    return true;
}

bool DrawGifs(const QString& res) {
    bool ok = true;
    {
        GifWriter gif(kGifWidth * g_scale, kGifHeight * g_scale, ArtPalette(), kTransparentIndex);
        gif.SetLooping(true);
        for (int frame = 0; frame < 5; ++frame) {
            gif.AddFrame({gif.Quantise(StatusPicture(frame, false)), 30, frame == 4 ? 1 : 0});
        }
        ok = WriteGif(res + (g_scale == 1 ? "/gif/197.gif" : "/gif/197@2x.gif"), gif.Encode(), 5) &&
             ok;
    }
    {
        GifWriter gif(kGifWidth * g_scale, kGifHeight * g_scale, ArtPalette(), kTransparentIndex);
        gif.AddFrame({gif.Quantise(StatusPicture(0, false)), 0, 0});
        ok = WriteGif(res + (g_scale == 1 ? "/gif/198.gif" : "/gif/198@2x.gif"), gif.Encode(), 1) &&
             ok;
    }
    {
        GifWriter gif(kGifWidth * g_scale, kGifHeight * g_scale, ArtPalette(), kTransparentIndex);
        gif.AddFrame({gif.Quantise(StatusPicture(0, true)), 0, 0});
        // The end picture is installed beside the program at its size; its twice-size copy is
        // built in.
        ok = WriteGif(res + (g_scale == 1 ? "/nomove.gif" : "/gif/nomove@2x.gif"), gif.Encode(),
                      1) &&
             ok;
    }
    {
        GifWriter gif(kGifWidth * g_scale, kGifHeight * g_scale, ArtPalette(), kTransparentIndex);
        gif.AddFrame({gif.Quantise(StatusPicture(0, false, true)), 0, 0});
        ok = WriteGif(res + (g_scale == 1 ? "/gif/attention.gif" : "/gif/attention@2x.gif"),
                      gif.Encode(), 1) &&
             ok;
    }
    return ok;
}

}  // namespace

bool DrawAll(const QString& res) {
    bool ok = DrawIcon(res);
    ok = DrawDesktopIcons(res) && ok;
    ok = DrawLogo(res) && ok;
    ok = DrawChime(res) && ok;
    ok = DrawSkins(res) && ok;
    ok = DrawGifs(res) && ok;
    // Everything the windows show, again at twice the size.
    g_scale = 2;
    ok = DrawIcon(res) && ok;
    ok = DrawLogo(res) && ok;
    ok = DrawSkins(res) && ok;
    ok = DrawGifs(res) && ok;
    g_scale = 1;
    return ok;
}
