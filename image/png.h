/// @file
/// PNG files.
///
/// Loading takes any PNG (grey, grey with alpha, RGB, RGBA, palette; 1 to 16
/// bits per sample; interlaced or not) and gives a top-down image that owns
/// its pixels:
///   - grey without transparency becomes GFX_FMT_CH8, one byte per pixel;
///   - everything else becomes GFX_FMT_ARGB8888 (memory bytes B, G, R, A),
///     with alpha 255 where the file has no transparency.
/// 16-bit samples are rounded to 8 bits; gamma and colour-space chunks are not
/// applied (the stored values are the pixel values).
///
/// A file whose header promises more than it can hold is refused before
/// anything is allocated: more than GFX_PNG_MAX_PIXELS pixels, or more than
/// 64 MiB of pixels from a file too small to inflate to its image data
/// (deflate cannot expand a byte to more than 1032).
///
/// Saving writes 8-bit PNGs row 0 at the top, honouring `bottomUp`, so the
/// file looks the way the picture is drawn. Formats written:
///   - GFX_FMT_CH8: grey;
///   - GFX_FMT_RGB888, GFX_FMT_BGR888: RGB;
///   - GFX_FMT_ARGB8888, GFX_FMT_RGBA8888, GFX_FMT_BGRA8888, GFX_FMT_ABGR8888:
///     RGBA with the stored alpha, which PNG viewers honour (alpha 0 is fully
///     transparent);
///   - GFX_FMT_INDEX8 with a palette: a 256-entry palette image; a palette
///     format with alpha also writes the entries' transparency.
/// Gfx_Image_SavePNG_Opaque writes the same pixels without any transparency
/// (RGB for the 32-bit formats), for pictures whose alpha channel is unused,
/// such as a back buffer cleared with alpha 0: screenshots then look right.
///
/// The file appears complete or not at all: it is written under a temporary
/// name in the same folder and renamed into place at the end.
///
/// Failures return false with the error record set and the summary line
/// "<function>>>>A fatal error occurred, the entire process has been aborted":
///   11 "Gfx_Image_LoadPNG(<path>)"      the file cannot be opened
///   10 "Gfx_Image_LoadPNG(<path>)"      not a PNG, damaged, cut short or too
///                                       large ("(stream)" for the stream form)
///    3 "Gfx_Image_LoadPNG{data}(<path>)" no memory for the pixels
///   12 "Gfx_Image_SavePNG(<path>)"      the file cannot be created or written
///   15 "Gfx_Image_SavePNG{format}"      a format not listed above
///   16 "Gfx_Image_SavePNG{palFormat}"   an index image without a usable palette
///   10 "Gfx_Image_SavePNG{dataSize}"    rows reaching past the pixel buffer
///   14 "Gfx_Image_SavePNG{pImage}"      no image, or an image without pixels
/// (the _Opaque form names itself). A failed load leaves the image empty.
#pragma once

#include <cstdint>

class C_Image;
struct C_Stream;

/// The most pixels a PNG may have to be loaded: 2^28, 1 GiB in ARGB8888.
inline constexpr std::uint64_t GFX_PNG_MAX_PIXELS = std::uint64_t{1} << 28;

/// Loads a PNG file into `pImage` (see above for the formats it gives).
bool Gfx_Image_LoadPNG(C_Image* pImage, const char* path);
/// Reads one PNG from where the stream stands.
bool Gfx_Image_LoadPNG(C_Image* pImage, C_Stream* stream);

/// Writes `pImage` as a PNG, with its alpha channel where the format has one.
bool Gfx_Image_SavePNG(const C_Image* pImage, const char* path);
/// Writes `pImage` as a PNG without transparency.
bool Gfx_Image_SavePNG_Opaque(const C_Image* pImage, const char* path);
/// Whether the savers write images of this pixel format (an index image also
/// needs a palette).
bool Gfx_Image_IsPNGFormat(std::int32_t format);

/// PNG colour types, as the file's header states them.
enum : std::uint8_t {
    GFX_PNG_GREY = 0,
    GFX_PNG_RGB = 2,
    GFX_PNG_PALETTE = 3,
    GFX_PNG_GREY_ALPHA = 4,
    GFX_PNG_RGBA = 6,
};

/// What a PNG's header says, read without decoding the pixels.
struct Gfx_PngInfo {
    std::uint32_t width;
    std::uint32_t height;
    std::uint8_t bitDepth;      ///< bits per sample: 1, 2, 4, 8 or 16
    std::uint8_t colorType;     ///< GFX_PNG_*
    std::uint8_t interlaced;    ///< 1: Adam7
    std::uint8_t transparency;  ///< 1: a tRNS chunk gives colour-key or palette alpha
    std::int32_t loadFormat;    ///< the format Gfx_Image_LoadPNG gives
};

/// Fills `info` from the file's header chunks. Failures as for loading.
bool Gfx_Image_ReadPNGInfo(const char* path, Gfx_PngInfo* info);
