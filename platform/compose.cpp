#include "platform/internal/compose.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/format.h"

namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;

// A channel value of `bits` bits widened to 0..255, rounding to nearest.
std::uint32_t Widen(std::uint64_t value, std::uint32_t bits) {
    if (bits == 0) return 0;
    if (bits == 8) return static_cast<std::uint32_t>(value & 0xFF);
    const std::uint64_t max = (std::uint64_t{1} << bits) - 1;
    return static_cast<std::uint32_t>((value * 255 + max / 2) / max);
}

std::uint32_t LoadLittleEndian(const std::uint8_t* p, std::uint32_t bytes) {
    std::uint32_t v = 0;
    for (std::uint32_t i = 0; i < bytes; ++i) v |= std::uint32_t{p[i]} << (8 * i);
    return v;
}

std::uint32_t Grey(std::uint32_t level) { return kOpaque | level << 16 | level << 8 | level; }

// One channel's bits of a pixel value, widened to 8 bits; narrow channels
// through a table, so a row costs no divisions.
struct ChannelDecoder {
    std::uint32_t shift = 0;
    std::uint32_t mask = 0;
    std::uint32_t bits = 0;
    std::uint8_t table[256] = {};

    void Set(const Gfx_FormatDesc& d, int c) {
        shift = d.shift[c];
        mask = d.mask[c];
        bits = d.bits[c];
        if (bits <= 8)
            for (std::uint32_t v = 0; v < (1u << bits); ++v) table[v] = static_cast<std::uint8_t>(Widen(v, bits));
    }
    std::uint32_t operator()(std::uint32_t value) const {
        const std::uint32_t v = (value & mask) >> shift;
        return bits <= 8 ? table[v] : Widen(v, bits);
    }
};

// Turns rows of one presentable format into 0xFFRRGGBB.
class RowDecoder {
public:
    explicit RowDecoder(const Gfx_FormatDesc& d) : m_desc(d), m_bytes(d.bitsPerPixel / 8) {
        if (d.kind != GFX_KIND_UINT) return;
        for (int c = 0; c < (d.channels == 1 ? 1 : 3); ++c) m_channels[c].Set(d, c);
    }

    void operator()(const std::uint8_t* src, std::uint32_t* dst, std::size_t count) const {
        switch (m_desc.format) {
        case GFX_FMT_ARGB8888:  // the screen's own layout: only alpha differs
            std::memcpy(dst, src, count * 4);
            for (std::size_t i = 0; i < count; ++i) dst[i] |= kOpaque;
            return;
        case GFX_FMT_RGB888:
            for (std::size_t i = 0; i < count; ++i) dst[i] = LoadLittleEndian(src + 3 * i, 3) | kOpaque;
            return;
        default: break;
        }
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t v = LoadLittleEndian(src + m_bytes * i, m_bytes);
            if (m_desc.kind == GFX_KIND_FLOAT) {
                float f;
                std::memcpy(&f, &v, sizeof f);
                const float clamped = f >= 0.0f ? std::min(f, 1.0f) : 0.0f;  // NaN lands on 0
                dst[i] = Grey(static_cast<std::uint32_t>(std::lround(clamped * 255.0f)));
            } else if (m_desc.channels == 1) {
                dst[i] = Grey(m_channels[0](v));
            } else {
                dst[i] = kOpaque | m_channels[0](v) << 16 | m_channels[1](v) << 8 | m_channels[2](v);
            }
        }
    }

private:
    Gfx_FormatDesc m_desc;
    std::uint32_t m_bytes;
    ChannelDecoder m_channels[3];
};

}  // namespace

bool Win_IsPresentableFormat(std::int32_t format) {
    Gfx_FormatDesc d;
    if (format <= 0 || !Gfx_GetFormatDesc(format, &d)) return false;
    const bool wide = d.bitsPerPixel == 16 || d.bitsPerPixel == 24 || d.bitsPerPixel == 32;
    return wide && (d.kind == GFX_KIND_UINT || d.kind == GFX_KIND_FLOAT);
}

void Win_ComposePixels(const Win_Framebuffer& target, const Win_PixelBlock& pixels, std::int32_t x, std::int32_t y) {
    Gfx_FormatDesc d;
    if (!target.pixels || !pixels.data || !Win_IsPresentableFormat(pixels.format) ||
        !Gfx_GetFormatDesc(pixels.format, &d))
        return;
    const std::int64_t w = pixels.width;
    const std::int64_t h = pixels.height;
    const std::int64_t cx0 = std::max<std::int64_t>(0, x);
    const std::int64_t cx1 = std::min<std::int64_t>(target.width, x + w);
    const std::int64_t cy0 = std::max<std::int64_t>(0, y);
    const std::int64_t cy1 = std::min<std::int64_t>(target.height, y + h);
    if (cx0 >= cx1 || cy0 >= cy1) return;
    const std::size_t bytesPerPixel = d.bitsPerPixel / 8;
    const std::size_t count = static_cast<std::size_t>(cx1 - cx0);
    const RowDecoder decode(d);
    for (std::int64_t sy = cy0; sy < cy1; ++sy) {
        // The first stored row is the picture's bottom row.
        const auto storedRow = static_cast<std::size_t>(h - 1 - (sy - y));
        const std::uint8_t* src =
            pixels.data + storedRow * pixels.pitch + static_cast<std::size_t>(cx0 - x) * bytesPerPixel;
        std::uint32_t* dst = target.pixels + static_cast<std::size_t>(sy) * target.stride + cx0;
        decode(src, dst, count);
    }
}

void Win_ComposeFill(const Win_Framebuffer& target, const Win_Rect& rect, std::uint32_t rgb) {
    if (!target.pixels) return;
    const std::int32_t x0 = std::max(0, rect.x0);
    const std::int32_t y0 = std::max(0, rect.y0);
    const std::int32_t x1 = std::min(target.width, rect.x1);
    const std::int32_t y1 = std::min(target.height, rect.y1);
    if (x0 >= x1 || y0 >= y1) return;
    const std::uint32_t value = (rgb & 0xFFFFFFu) | kOpaque;
    for (std::int32_t yy = y0; yy < y1; ++yy) {
        std::uint32_t* row = target.pixels + static_cast<std::size_t>(yy) * target.stride;
        std::fill(row + x0, row + x1, value);
    }
}
