#pragma once
// Walks the block structure of GIF data: counts the graphic blocks and cuts each frame out as a
// stand-alone one-frame GIF. Plain C++; it never reads past the end of the data it is given.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

enum class GifBlock {
    Application,
    Comment,
    GraphicControl,
    PlainText,
    Image,
    Trailer,
    Unrecognised
};

struct GifFrameData {
    std::vector<uint8_t> bytes;  // header, global colour table, the frame's blocks, trailer
    uint32_t nDelay = 0;         // hundredths of a second; all bits set without a control block
    int nDisposal = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
};

class GifWalker {
public:
    GifWalker(const uint8_t* data, size_t size);

    // "GIF" followed by "87a" or "89a".
    bool IsGif() const;
    int ScreenWidth() const { return m_width; }
    int ScreenHeight() const { return m_height; }
    size_t GlobalColorTableSize() const { return m_gctSize; }
    size_t FirstBlock() const { return 13 + m_gctSize; }

    size_t Position() const { return m_nOffset; }
    void SetPosition(size_t position) { m_nOffset = position; }

    GifBlock BlockKind() const;
    // The length of the block at the position; -1 for an unrecognised block, 0 when its
    // sub-block chain would run past the end of the data.
    long BlockLength() const;
    bool SkipBlock();
    // Length of the sub-block chain starting at start, terminator included; 0 when it runs past
    // the end of the data.
    long SubBlocksLength(size_t start) const;
    // Moves past the next graphic (with its control extension and what lies between them).
    bool SkipGraphic();
    std::optional<GifFrameData> NextFrameData();

    // The number of graphic blocks SkipGraphic counts from the first block.
    int CountGraphics();

private:
    uint8_t At(size_t pos) const { return pos < m_size ? m_data[pos] : 0; }
    int Le16(size_t pos) const { return At(pos) | (At(pos + 1) << 8); }
    // Skips application and comment extensions; false when that fails.
    bool SkipUnframed();

    const uint8_t* m_data;
    size_t m_size;
    size_t m_nOffset = 0;
    size_t m_gctSize = 0;
    int m_width = 0;
    int m_height = 0;
};

// Milliseconds a frame stays, from its delay in hundredths: 100 ms for delays under 5, and the
// product taken in 32 bits, so that "no delay given" (all bits set) waits 2^32 - 10 ms.
uint32_t FrameWaitMilliseconds(uint32_t nDelay);
