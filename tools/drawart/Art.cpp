#include "tools/drawart/Art.h"

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
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    {
        QPainter p(&icon);
        PaintBattery(p, QRectF(8.5, 5.5, 15, 24), true);
    }
    // One image of 256 colours, as the program icon always was.
    QImage indexed = icon.convertToFormat(
        QImage::Format_Indexed8, Qt::ThresholdDither | Qt::ThresholdAlphaDither | Qt::AvoidDither);
    return Save(indexed, res + "/icon/128.png", "PNG");
}

bool DrawLogo(const QString& res) {
    QImage logo(100, 61, QImage::Format_RGB888);
    logo.fill(QColor(240, 240, 240));
    QPainter p(&logo);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 61);
    sky.setColorAt(0, QColor(226, 236, 250));
    sky.setColorAt(1, QColor(190, 210, 236));
    p.fillRect(logo.rect(), sky);
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
    return Save(logo, res + "/bitmap/199.bmp", "BMP");
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

}  // namespace

bool DrawAll(const QString& res) {
    bool ok = DrawIcon(res);
    ok = DrawLogo(res) && ok;
    ok = DrawChime(res) && ok;
    return ok;
}
