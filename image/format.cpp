#include "image/format.h"

#include <array>
#include <cmath>

#include "core/error.h"
#include "image/internal/pixel_value.h"
#include "math/color.h"

namespace {

struct Channel {
    std::uint8_t shift;
    std::uint8_t bits;
};

struct FormatRow {
    std::uint16_t bitsPerPixel;
    std::uint8_t channels;
    std::uint8_t kind;
    std::uint8_t isPalette;
    Channel ch[4];  // red, green, blue, alpha
};

constexpr Channel X{0, 0};

// Row n describes format n; row 0 is unused.
constexpr std::array<FormatRow, 48> kFormats{{
    {0, 0, 0, 0, {X, X, X, X}},
    {1, 1, 1, 1, {{0, 1}, X, X, X}},
    {2, 1, 2, 1, {{0, 2}, X, X, X}},
    {4, 1, 2, 1, {{0, 4}, X, X, X}},
    {8, 1, 2, 1, {{0, 8}, X, X, X}},
    {1, 1, 1, 0, {{0, 1}, X, X, X}},
    {8, 1, 2, 0, {{0, 8}, X, X, X}},
    {16, 1, 2, 0, {{0, 16}, X, X, X}},
    {24, 1, 2, 0, {{0, 24}, X, X, X}},
    {32, 1, 2, 0, {{0, 32}, X, X, X}},
    {32, 1, 3, 0, {{0, 32}, X, X, X}},
    {64, 1, 4, 0, {{0, 64}, X, X, X}},
    {8, 3, 2, 0, {{5, 3}, {2, 3}, {0, 2}, X}},
    {16, 3, 2, 0, {{10, 5}, {5, 5}, {0, 5}, X}},
    {16, 3, 2, 0, {{11, 5}, {5, 6}, {0, 5}, X}},
    {16, 3, 2, 0, {{10, 6}, {5, 5}, {0, 5}, X}},
    {16, 3, 2, 0, {{11, 5}, {6, 5}, {0, 6}, X}},
    {16, 4, 2, 0, {{11, 5}, {6, 5}, {1, 5}, {0, 1}}},
    {16, 4, 2, 0, {{12, 4}, {8, 4}, {4, 4}, {0, 4}}},
    {16, 4, 2, 0, {{10, 5}, {5, 5}, {0, 5}, {15, 1}}},
    {16, 4, 2, 0, {{8, 4}, {4, 4}, {0, 4}, {12, 4}}},
    {24, 3, 2, 0, {{16, 8}, {8, 8}, {0, 8}, X}},
    {48, 3, 2, 0, {{32, 16}, {16, 16}, {0, 16}, X}},
    {32, 4, 2, 0, {{24, 8}, {16, 8}, {8, 8}, {0, 8}}},
    {32, 4, 2, 0, {{16, 8}, {8, 8}, {0, 8}, {24, 8}}},
    {64, 4, 2, 0, {{48, 16}, {32, 16}, {16, 16}, {0, 16}}},
    {64, 4, 2, 0, {{32, 16}, {16, 16}, {0, 16}, {48, 16}}},
    {8, 3, 2, 0, {{0, 2}, {2, 3}, {5, 3}, X}},
    {16, 3, 2, 0, {{0, 5}, {5, 5}, {10, 5}, X}},
    {16, 3, 2, 0, {{0, 5}, {5, 6}, {11, 5}, X}},
    {16, 3, 2, 0, {{0, 5}, {5, 5}, {10, 6}, X}},
    {16, 3, 2, 0, {{0, 6}, {6, 5}, {11, 5}, X}},
    {16, 4, 2, 0, {{1, 5}, {6, 5}, {11, 5}, {0, 1}}},
    {16, 4, 2, 0, {{4, 4}, {8, 4}, {12, 4}, {0, 4}}},
    {16, 4, 2, 0, {{0, 5}, {5, 5}, {10, 5}, {15, 1}}},
    {16, 4, 2, 0, {{0, 4}, {4, 4}, {8, 4}, {12, 4}}},
    {24, 3, 2, 0, {{0, 8}, {8, 8}, {16, 8}, X}},
    {48, 3, 2, 0, {{0, 16}, {16, 16}, {32, 16}, X}},
    {32, 4, 2, 0, {{8, 8}, {16, 8}, {24, 8}, {0, 8}}},
    {32, 4, 2, 0, {{0, 8}, {8, 8}, {16, 8}, {24, 8}}},
    {64, 4, 2, 0, {{16, 16}, {32, 16}, {48, 16}, {0, 16}}},
    {64, 4, 2, 0, {{0, 16}, {16, 16}, {32, 16}, {48, 16}}},
    {96, 3, 3, 0, {{64, 32}, {32, 32}, {0, 32}, X}},
    {128, 4, 3, 0, {{96, 32}, {64, 32}, {32, 32}, {0, 32}}},
    {128, 4, 3, 0, {{64, 32}, {32, 32}, {0, 32}, {96, 32}}},
    {96, 3, 3, 0, {{0, 32}, {32, 32}, {64, 32}, X}},
    {128, 4, 3, 0, {{32, 32}, {64, 32}, {96, 32}, {0, 32}}},
    {128, 4, 3, 0, {{0, 32}, {32, 32}, {64, 32}, {96, 32}}},
}};

std::uint32_t MaskOf(const Channel& c) {
    if (c.bits == 0) return 0;
    const std::uint64_t ones = (std::uint64_t{1} << c.bits) - 1;
    return static_cast<std::uint32_t>(ones << c.shift);
}

}  // namespace

bool Gfx_GetFormatDesc(std::int32_t format, Gfx_FormatDesc* desc) {
    if (format < GFX_FMT_SAME || format > GFX_FMT_COUNT || format == 0) return false;
    if (!desc) return true;
    *desc = Gfx_FormatDesc{};
    desc->format = format;
    if (format < 0) return true;  // -2 and -1: no bits, no palette

    const FormatRow& row = kFormats[static_cast<std::size_t>(format)];
    desc->bitsPerPixel = row.bitsPerPixel;
    desc->bytesPerPixel = static_cast<std::uint8_t>(row.bitsPerPixel < 8 ? 1 : row.bitsPerPixel / 8);
    desc->isPalette = row.isPalette;
    desc->kind = row.kind;
    desc->channels = row.channels;
    const bool oneChannel = row.channels == 1;
    const bool hasMasks = row.kind <= GFX_KIND_UINT && row.bitsPerPixel <= 32;
    for (int c = 0; c < 4; ++c) {
        desc->bits[c] = row.ch[c].bits;
        if (row.kind < GFX_KIND_FLOAT || !oneChannel) desc->shift[c] = row.ch[c].shift;
        if (hasMasks) desc->mask[c] = MaskOf(row.ch[c]);
    }
    // Narrow index formats still mask a whole byte: their values are handled
    // a byte at a time.
    if (hasMasks && oneChannel && row.bitsPerPixel < 8) desc->mask[0] = 0xFF;
    return true;
}

std::int32_t Gfx_GetSingleChannelFormat(std::int32_t format) {
    Gfx_FormatDesc d;
    if (!Gfx_GetFormatDesc(format, &d)) {
        Gfx_Fail(GFX_ERR_FORMAT, "Gfx_GetSingleChannelFormat{newFormat}", "Gfx_GetSingleChannelFormat");
        return 0;  // "not a format": every later lookup fails too
    }
    if (d.channels == 3) {
        switch (d.bitsPerPixel) {
        case 8:
        case 16:
        case 24: return GFX_FMT_CH8;
        case 48: return GFX_FMT_CH16;
        case 96: return GFX_FMT_CH32F;
        default: break;
        }
    } else if (d.channels == 4) {
        switch (d.bitsPerPixel) {
        case 32: return GFX_FMT_CH8;
        case 64: return GFX_FMT_CH16;
        case 128: return GFX_FMT_CH32F;
        default: break;
        }
    }
    return format;
}

std::uint32_t Gfx_GetFormattedColor_32bit(std::int32_t format, const C_Color* color) {
    if (!color) {
        Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_GetFormattedColor_32bit{pColor}", "Gfx_GetFormattedColor_32bit");
        return 0;
    }
    // Formats wider than 32 bits have no 32-bit pixel value: refused rather
    // than answered with a value that silently drops channels.
    Gfx_FormatDesc d;
    if (!Gfx_GetFormatDesc(format, &d) || d.bitsPerPixel > 32) {
        Gfx_Fail(GFX_ERR_FORMAT, "Gfx_GetFormattedColor_32bit{pFormat}", "Gfx_GetFormattedColor_32bit");
        return 0;
    }
    const float comp[4] = {color->r, color->g, color->b, color->a};
    std::uint32_t v = 0;
    for (int c = 0; c < 4; ++c) {
        if (d.bits[c] == 0) continue;
        const std::uint32_t full = Gfx_TruncLow32(static_cast<double>(comp[c]) * 4294967295.0);
        v |= (full >> (32 - d.bits[c])) << d.shift[c];
    }
    return v;
}
