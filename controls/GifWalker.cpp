#include "controls/GifWalker.h"

#include <cstring>

namespace {
constexpr uint8_t kExtension = 0x21;
constexpr uint8_t kImage = 0x2C;
constexpr uint8_t kTrailer = 0x3B;
constexpr uint8_t kApplicationLabel = 0xFF;
constexpr uint8_t kCommentLabel = 0xFE;
constexpr uint8_t kControlLabel = 0xF9;
constexpr uint8_t kPlainTextLabel = 0x01;
constexpr size_t kHeaderSize = 13;
constexpr uint32_t kNoDelay = 0xFFFFFFFFu;
constexpr uint32_t kShortestDelay = 5;
constexpr uint32_t kDefaultWaitMs = 100;
}  // namespace

uint32_t FrameWaitMilliseconds(uint32_t nDelay) {
    return nDelay >= kShortestDelay ? nDelay * 10u : kDefaultWaitMs;
}

GifWalker::GifWalker(const uint8_t* data, size_t size) : m_data(data), m_size(size) {
    if (IsGif() && m_size >= kHeaderSize) {
        m_width = Le16(6);
        m_height = Le16(8);
        uint8_t packed = At(10);
        if (packed & 0x80) {
            m_gctSize = 3u << ((packed & 7) + 1);
        }
    }
    m_nOffset = FirstBlock();
}

bool GifWalker::IsGif() const {
    return m_size >= 6 && std::memcmp(m_data, "GIF", 3) == 0 &&
           (std::memcmp(m_data + 3, "87a", 3) == 0 || std::memcmp(m_data + 3, "89a", 3) == 0);
}

GifBlock GifWalker::BlockKind() const {
    if (m_nOffset >= m_size) {
        return GifBlock::Unrecognised;
    }
    switch (m_data[m_nOffset]) {
        case kExtension:
            if (m_nOffset + 1 >= m_size) {
                return GifBlock::Unrecognised;
            }
            switch (m_data[m_nOffset + 1]) {
                case kApplicationLabel:
                    return GifBlock::Application;
                case kCommentLabel:
                    return GifBlock::Comment;
                case kControlLabel:
                    return GifBlock::GraphicControl;
                case kPlainTextLabel:
                    return GifBlock::PlainText;
                default:
                    return GifBlock::Unrecognised;
            }
        case kImage:
            return GifBlock::Image;
        case kTrailer:
            return GifBlock::Trailer;
        default:
            return GifBlock::Unrecognised;
    }
}

long GifWalker::SubBlocksLength(size_t start) const {
    long total = 0;
    size_t p = start;
    while (p < m_size) {
        uint8_t k = m_data[p];
        total += k + 1;
        if (k == 0) {
            return total;
        }
        p += static_cast<size_t>(k) + 1;
    }
    return 0;
}

long GifWalker::BlockLength() const {
    auto withChain = [this](size_t fixed) -> long {
        long chain = SubBlocksLength(m_nOffset + fixed);
        return chain == 0 ? 0 : static_cast<long>(fixed) + chain;
    };
    switch (BlockKind()) {
        case GifBlock::Application:
            return withChain(14);
        case GifBlock::Comment:
            return withChain(2);
        case GifBlock::GraphicControl:
            return 8;
        case GifBlock::PlainText:
            return withChain(15);
        case GifBlock::Image: {
            if (m_nOffset + 9 >= m_size) {
                return 0;
            }
            uint8_t p = m_data[m_nOffset + 9];
            size_t lct = (p & 0x80) ? (3u << ((p & 7) + 1)) : 0;
            return withChain(11 + lct);
        }
        case GifBlock::Trailer:
            return 1;
        case GifBlock::Unrecognised:
            break;
    }
    return -1;
}

bool GifWalker::SkipBlock() {
    if (m_size == 0) {
        return false;
    }
    long length = BlockLength();
    if (length <= 0 || m_nOffset + static_cast<size_t>(length) > m_size) {
        return false;
    }
    m_nOffset += static_cast<size_t>(length);
    return true;
}

bool GifWalker::SkipUnframed() {
    for (GifBlock kind = BlockKind(); kind == GifBlock::Application || kind == GifBlock::Comment;
         kind = BlockKind()) {
        if (!SkipBlock()) {
            return false;
        }
    }
    return true;
}

bool GifWalker::SkipGraphic() {
    if (m_size == 0 || !SkipUnframed()) {
        return false;
    }
    GifBlock kind = BlockKind();
    if (kind == GifBlock::Unrecognised || kind == GifBlock::Trailer || BlockLength() <= 0) {
        return false;
    }
    if (kind == GifBlock::GraphicControl) {
        if (!SkipBlock()) {
            return false;
        }
        for (;;) {
            kind = BlockKind();
            if (kind == GifBlock::Image || kind == GifBlock::PlainText) {
                return SkipBlock();
            }
            if (kind == GifBlock::Trailer || kind == GifBlock::Unrecognised || !SkipBlock()) {
                return false;
            }
        }
    }
    return SkipBlock();
}

std::optional<GifFrameData> GifWalker::NextFrameData() {
    if (m_size == 0 || !SkipUnframed()) {
        return std::nullopt;
    }
    GifBlock kind = BlockKind();
    if (kind == GifBlock::Unrecognised || kind == GifBlock::Trailer) {
        return std::nullopt;
    }
    const size_t start = m_nOffset;
    if (BlockLength() <= 0) {
        return std::nullopt;
    }
    GifFrameData frame;
    if (kind == GifBlock::GraphicControl) {
        if (m_nOffset + 8 > m_size) {
            return std::nullopt;
        }
        frame.nDelay = static_cast<uint32_t>(Le16(m_nOffset + 4));
        frame.nDisposal = (m_data[m_nOffset + 3] >> 2) & 7;
        if (!SkipBlock()) {
            return std::nullopt;
        }
        for (kind = BlockKind(); kind != GifBlock::Image && kind != GifBlock::PlainText;
             kind = BlockKind()) {
            if (kind == GifBlock::Trailer || kind == GifBlock::Unrecognised || !SkipBlock()) {
                return std::nullopt;
            }
        }
    } else {
        frame.nDelay = kNoDelay;
    }
    if (kind == GifBlock::Image && m_nOffset + 9 <= m_size) {
        frame.x = Le16(m_nOffset + 1);
        frame.y = Le16(m_nOffset + 3);
        frame.cx = Le16(m_nOffset + 5);
        frame.cy = Le16(m_nOffset + 7);
    }
    if (!SkipBlock()) {
        return std::nullopt;
    }
    const size_t length = m_nOffset - start;
    const size_t header = FirstBlock();
    if (header > m_size) {
        return std::nullopt;
    }
    frame.bytes.reserve(header + length + 1);
    frame.bytes.insert(frame.bytes.end(), m_data, m_data + header);
    frame.bytes.insert(frame.bytes.end(), m_data + start, m_data + start + length);
    frame.bytes.push_back(kTrailer);
    return frame;
}

int GifWalker::CountGraphics() {
    m_nOffset = FirstBlock();
    int count = 0;
    while (SkipGraphic()) {
        ++count;
    }
    return count;
}
