#pragma once
// Small GIFs built byte by byte for the walker and picture tests.

#include <QByteArray>
#include <cstdint>
#include <string>

namespace gif {

inline QByteArray Le16(int v) {
    QByteArray b;
    b.append(static_cast<char>(v & 0xFF));
    b.append(static_cast<char>((v >> 8) & 0xFF));
    return b;
}

// Header and logical screen with a two-colour global table: black and white.
inline QByteArray Header(int width = 4, int height = 4, const char* version = "89a") {
    QByteArray b = QByteArray("GIF") + version + Le16(width) + Le16(height);
    b.append(static_cast<char>(0x80));
    b.append('\0');
    b.append('\0');
    b.append(QByteArray("\x00\x00\x00\xff\xff\xff", 6));
    return b;
}

inline QByteArray Control(int delay, int disposal, int transparent = -1) {
    QByteArray b("\x21\xF9\x04", 3);
    b.append(static_cast<char>(((disposal & 7) << 2) | (transparent >= 0 ? 1 : 0)));
    b.append(Le16(delay));
    b.append(static_cast<char>(transparent >= 0 ? transparent : 0));
    b.append('\0');
    return b;
}

// An image of one colour index (0 or 1) for every pixel, LZW-coded without compression: each
// pixel its own code, with a clear code often enough that the code width never grows.
inline QByteArray Image(int x, int y, int w, int h, int colour, int codeSize = 2) {
    QByteArray b;
    b.append('\x2C');
    b.append(Le16(x) + Le16(y) + Le16(w) + Le16(h));
    b.append('\0');
    b.append(static_cast<char>(codeSize));
    QByteArray packed;
    uint32_t bits = 0;
    int count = 0;
    auto put = [&](int code) {
        bits |= static_cast<uint32_t>(code) << count;
        count += 3;
        while (count >= 8) {
            packed.append(static_cast<char>(bits & 0xFF));
            bits >>= 8;
            count -= 8;
        }
    };
    for (int i = 0; i < w * h; ++i) {
        if (i % 2 == 0) {
            put(4);  // clear
        }
        put(colour);
    }
    put(5);  // end
    if (count > 0) {
        packed.append(static_cast<char>(bits & 0xFF));
    }
    for (int pos = 0; pos < packed.size(); pos += 255) {
        int n = std::min<int>(255, static_cast<int>(packed.size()) - pos);
        b.append(static_cast<char>(n));
        b.append(packed.mid(pos, n));
    }
    b.append('\0');
    return b;
}

inline QByteArray Application() {
    return QByteArray("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
}
inline QByteArray Comment(const char* text) {
    QByteArray b("\x21\xFE", 2);
    b.append(static_cast<char>(std::char_traits<char>::length(text)));
    b.append(text);
    b.append('\0');
    return b;
}
inline QByteArray PlainText() {
    QByteArray b("\x21\x01\x0C", 3);
    b.append(QByteArray(12, '\0'));
    b.append("\x02hi\x00", 4);
    return b;
}
inline QByteArray Trailer() {
    return QByteArray(";");
}

}  // namespace gif
