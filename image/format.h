/// @file
/// Pixel format numbers and their descriptors.
#pragma once

#include <cstdint>

class C_Color;

/// Pixel format numbers. Channel numbers are 0 red, 1 green, 2 blue, 3 alpha.
enum : std::int32_t {
    GFX_FMT_SAME = -2,  ///< argument value only: the source's format
    GFX_FMT_NONE = -1,  ///< no format; as a palette format, no palette
    GFX_FMT_INDEX1 = 1,
    GFX_FMT_INDEX2 = 2,
    GFX_FMT_INDEX4 = 3,
    GFX_FMT_INDEX8 = 4,
    GFX_FMT_CH1 = 5,
    GFX_FMT_CH8 = 6,
    GFX_FMT_CH16 = 7,
    GFX_FMT_CH24 = 8,
    GFX_FMT_CH32 = 9,
    GFX_FMT_CH32F = 10,
    GFX_FMT_CH64F = 11,
    GFX_FMT_RGB332 = 12,
    GFX_FMT_RGB555 = 13,
    GFX_FMT_RGB565 = 14,
    GFX_FMT_RGB655 = 15,
    GFX_FMT_RGB556 = 16,
    GFX_FMT_RGBA5551 = 17,
    GFX_FMT_RGBA4444 = 18,
    GFX_FMT_ARGB1555 = 19,
    GFX_FMT_ARGB4444 = 20,
    GFX_FMT_RGB888 = 21,
    GFX_FMT_RGB48 = 22,
    GFX_FMT_RGBA8888 = 23,
    GFX_FMT_ARGB8888 = 24,
    GFX_FMT_RGBA64 = 25,
    GFX_FMT_ARGB64 = 26,
    GFX_FMT_BGR233 = 27,
    GFX_FMT_BGR555 = 28,
    GFX_FMT_BGR565 = 29,
    GFX_FMT_BGR655 = 30,
    GFX_FMT_BGR556 = 31,
    GFX_FMT_BGRA5551 = 32,
    GFX_FMT_BGRA4444 = 33,
    GFX_FMT_ABGR1555 = 34,
    GFX_FMT_ABGR4444 = 35,
    GFX_FMT_BGR888 = 36,
    GFX_FMT_BGR48 = 37,
    GFX_FMT_BGRA8888 = 38,
    GFX_FMT_ABGR8888 = 39,
    GFX_FMT_BGRA64 = 40,
    GFX_FMT_ABGR64 = 41,
    GFX_FMT_RGB96F = 42,
    GFX_FMT_RGBA128F = 43,
    GFX_FMT_ARGB128F = 44,
    GFX_FMT_BGR96F = 45,
    GFX_FMT_BGRA128F = 46,
    GFX_FMT_ABGR128F = 47,
    GFX_FMT_COUNT = 47,
};

/// Format kinds.
enum : std::uint8_t {
    GFX_KIND_BIT = 1,
    GFX_KIND_UINT = 2,
    GFX_KIND_FLOAT = 3,
    GFX_KIND_DOUBLE = 4,
};

/// What a pixel format looks like: per channel its bit position, mask and
/// width, and the pixel size. Filled by Gfx_GetFormatDesc.
struct Gfx_FormatDesc {
    std::int32_t format;
    std::uint32_t shift[4];  ///< bit position of each channel
    std::uint32_t mask[4];   ///< the channel's bits; integer formats of at most 32 bits only
    std::uint32_t bits[4];   ///< width of each channel; 0 = absent
    std::uint32_t bitsPerPixel;
    std::uint8_t bytesPerPixel;  ///< 1 for formats below 8 bits
    std::uint8_t isPalette;
    std::uint8_t kind;
    std::uint8_t channels;
};

/// Fills `desc` for formats -2..47 (for -2 and -1 only `format`,
/// `bitsPerPixel` 0 and `isPalette` 0 mean anything). False for 0 and for every
/// number outside that range; `desc` may be null to test a number.
bool Gfx_GetFormatDesc(std::int32_t format, Gfx_FormatDesc* desc);

/// The one-channel format as wide as the given format's channels (the format
/// itself where there is none); 0 for a number that is no format.
std::int32_t Gfx_GetSingleChannelFormat(std::int32_t format);

/// The pixel value of `color` in a format of at most 32 bits per pixel; 0 for
/// an unknown or wider format.
std::uint32_t Gfx_GetFormattedColor_32bit(std::int32_t format, const C_Color* color);

/// Bytes one row of `width` pixels of `bitsPerPixel` occupies, rounded up.
inline std::uint64_t Gfx_RowBytes(std::uint64_t width, std::uint64_t bitsPerPixel) {
    return (width * bitsPerPixel + 7) / 8;
}
