#include "tools/drawart/GifWriter.h"

#include <map>

namespace {

void Put16(QByteArray& out, int v) {
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>((v >> 8) & 0xFF));
}

// LZW with variable code width (from minimum + 1 up to 12 bits), a clear code when the table is
// full, packed least significant bit first into sub-blocks of at most 255 bytes.
QByteArray Lzw(const std::vector<uint8_t>& indices, int minCodeSize) {
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    QByteArray packed;
    uint32_t bitBuffer = 0;
    int bitCount = 0;
    int codeSize = minCodeSize + 1;
    auto put = [&](int code) {
        bitBuffer |= static_cast<uint32_t>(code) << bitCount;
        bitCount += codeSize;
        while (bitCount >= 8) {
            packed.append(static_cast<char>(bitBuffer & 0xFF));
            bitBuffer >>= 8;
            bitCount -= 8;
        }
    };
    std::map<std::pair<int, int>, int> table;
    int next = end + 1;
    put(clear);
    int prefix = -1;
    for (uint8_t k : indices) {
        if (prefix < 0) {
            prefix = k;
            continue;
        }
        auto it = table.find({prefix, k});
        if (it != table.end()) {
            prefix = it->second;
            continue;
        }
        put(prefix);
        if (next < 4096) {
            table[{prefix, k}] = next++;
            if (next > (1 << codeSize) && codeSize < 12) {
                ++codeSize;
            }
        } else {
            put(clear);
            table.clear();
            next = end + 1;
            codeSize = minCodeSize + 1;
        }
        prefix = k;
    }
    if (prefix >= 0) {
        put(prefix);
    }
    put(end);
    if (bitCount > 0) {
        packed.append(static_cast<char>(bitBuffer & 0xFF));
    }
    QByteArray blocks;
    for (int pos = 0; pos < packed.size(); pos += 255) {
        int n = std::min<int>(255, packed.size() - pos);
        blocks.append(static_cast<char>(n));
        blocks.append(packed.mid(pos, n));
    }
    blocks.append('\0');
    return blocks;
}

}  // namespace

GifWriter::GifWriter(int width, int height, QVector<QRgb> palette, int transparentIndex)
    : m_width(width),
      m_height(height),
      m_palette(std::move(palette)),
      m_transparent(transparentIndex) {
    m_palette.resize(256);
}

std::vector<uint8_t> GifWriter::Quantise(const QImage& source) const {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(m_width) * m_height);
    for (int y = 0; y < m_height; ++y) {
        for (int x = 0; x < m_width; ++x) {
            QRgb p = image.pixel(x, y);
            if (qAlpha(p) < 128) {
                out.push_back(static_cast<uint8_t>(m_transparent));
                continue;
            }
            int best = 0;
            int bestDistance = 1 << 30;
            for (int i = 0; i < m_palette.size(); ++i) {
                if (i == m_transparent) {
                    continue;
                }
                int dr = qRed(p) - qRed(m_palette[i]);
                int dg = qGreen(p) - qGreen(m_palette[i]);
                int db = qBlue(p) - qBlue(m_palette[i]);
                int d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
                if (d < bestDistance) {
                    bestDistance = d;
                    best = i;
                }
            }
            out.push_back(static_cast<uint8_t>(best));
        }
    }
    return out;
}

QByteArray GifWriter::Encode() const {
    QByteArray out("GIF89a");
    Put16(out, m_width);
    Put16(out, m_height);
    out.append(static_cast<char>(0xF7));  // global table of 256 colours
    out.append(static_cast<char>(m_transparent));
    out.append('\0');
    for (QRgb c : m_palette) {
        out.append(static_cast<char>(qRed(c)));
        out.append(static_cast<char>(qGreen(c)));
        out.append(static_cast<char>(qBlue(c)));
    }
    if (m_looping) {
        out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
        Put16(out, 0);  // loop for ever
        out.append('\0');
    }
    for (const GifFrameSpec& f : m_frames) {
        if (f.hasControl) {
            out.append("\x21\xF9\x04", 3);
            out.append(static_cast<char>(((f.disposal & 7) << 2) | 1));  // transparency on
            Put16(out, f.delay);
            out.append(static_cast<char>(m_transparent));
            out.append('\0');
        }
        out.append('\x2C');
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, m_width);
        Put16(out, m_height);
        out.append('\0');
        out.append('\x08');
        out.append(Lzw(f.indices, 8));
    }
    out.append('\x3B');
    return out;
}

QVector<QRgb> ArtPalette() {
    QVector<QRgb> palette;
    for (int r = 0; r < 6; ++r) {
        for (int g = 0; g < 6; ++g) {
            for (int b = 0; b < 6; ++b) {
                palette.push_back(qRgb(r * 51, g * 51, b * 51));
            }
        }
    }
    for (int i = 0; i < 24; ++i) {
        int v = 8 + i * 10;
        palette.push_back(qRgb(v, v, v));
    }
    // Blues of the battery between the cube's steps.
    for (int i = 0; palette.size() < 255; ++i) {
        palette.push_back(qRgb(20 + i * 6, 60 + i * 9, 130 + i * 8));
    }
    palette.push_back(qRgb(255, 0, 255));  // 255: transparent
    return palette;
}
