#pragma once
// A small GIF89a writer for the program's own pictures: one 256-colour global table, optional
// looping, and full frames of palette indices with their own control extensions.

#include <QByteArray>
#include <QImage>
#include <QVector>
#include <cstdint>
#include <vector>

struct GifFrameSpec {
    std::vector<uint8_t> indices;  // width x height palette indices
    int delay = 0;                 // hundredths of a second
    int disposal = 0;
    bool hasControl = true;
};

class GifWriter {
public:
    GifWriter(int width, int height, QVector<QRgb> palette, int transparentIndex);
    void SetLooping(bool looping) { m_looping = looping; }
    void AddFrame(const GifFrameSpec& frame) { m_frames.push_back(frame); }
    QByteArray Encode() const;

    // Maps an image to the palette; pixels with little alpha become the transparent index.
    std::vector<uint8_t> Quantise(const QImage& image) const;

private:
    int m_width;
    int m_height;
    QVector<QRgb> m_palette;
    int m_transparent;
    bool m_looping = false;
    std::vector<GifFrameSpec> m_frames;
};

// 216 web-safe colours, a grey ramp and a few blues, 255 left for transparency.
QVector<QRgb> ArtPalette();
