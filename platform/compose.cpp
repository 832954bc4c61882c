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

// One pixel of any presentable format as 0xFFRRGGBB.
std::uint32_t DecodePixel(const Gfx_FormatDesc& d, const std::uint8_t* p) {
    const std::uint32_t bytes = d.bitsPerPixel / 8;
    const std::uint32_t v = LoadLittleEndian(p, bytes);
    if (d.kind == GFX_KIND_FLOAT) {
        float f;
        std::memcpy(&f, &v, sizeof f);
        const float clamped = f >= 0.0f ? std::min(f, 1.0f) : 0.0f;  // NaN lands on 0
        return Grey(static_cast<std::uint32_t>(std::lround(clamped * 255.0f)));
    }
    auto channel = [&](int c) { return Widen((v & d.mask[c]) >> d.shift[c], d.bits[c]); };
    if (d.channels == 1) return Grey(channel(0));
    return kOpaque | channel(0) << 16 | channel(1) << 8 | channel(2);
}

void DecodeRow(const Gfx_FormatDesc& d, const std::uint8_t* src, std::uint32_t* dst, std::size_t count) {
    switch (d.format) {
    case GFX_FMT_ARGB8888:  // the screen's own layout: only alpha differs
        for (std::size_t i = 0; i < count; ++i) dst[i] = LoadLittleEndian(src + 4 * i, 4) | kOpaque;
        return;
    case GFX_FMT_RGB888:
        for (std::size_t i = 0; i < count; ++i) dst[i] = LoadLittleEndian(src + 3 * i, 3) | kOpaque;
        return;
    default: {
        const std::size_t bytes = d.bitsPerPixel / 8;
        for (std::size_t i = 0; i < count; ++i) dst[i] = DecodePixel(d, src + bytes * i);
    }
    }
}

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
    for (std::int64_t sy = cy0; sy < cy1; ++sy) {
        // The first stored row is the picture's bottom row.
        const auto storedRow = static_cast<std::size_t>(h - 1 - (sy - y));
        const std::uint8_t* src =
            pixels.data + storedRow * pixels.pitch + static_cast<std::size_t>(cx0 - x) * bytesPerPixel;
        std::uint32_t* dst = target.pixels + static_cast<std::size_t>(sy) * target.stride + cx0;
        DecodeRow(d, src, dst, count);
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
