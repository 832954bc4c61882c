/// @file
/// Image files in one call: load whatever a picture file holds, save by the
/// name's extension.
///
/// Loading finds the file's type from its bytes, never from its name (a
/// photo.png that really holds a JPEG loads as the JPEG it is): PNG, JPEG,
/// GIF, WebP, BMP, PCX, the image object file (.img) and, last and only when
/// its header is plausible, TGA (which has no signature). It reads
///   - PNG: every variant (see image/png.h);
///   - JPEG: baseline and progressive, grey, YCbCr and CMYK;
///   - GIF: the first frame, on the picture's full logical screen; the
///     transparent index gives alpha 0;
///   - WebP: lossy and lossless, with or without alpha (not animated files);
///   - BMP, PCX, TGA: what the stream readers C_Image::LoadBMP, LoadPCX and
///     LoadTGA take (the lower level, still there for streams);
///   - the framework's own image object file (C_Image::LoadFromStream).
///
/// `format` GFX_FMT_NONE keeps the file's natural format: GFX_FMT_RGB888 for
/// colour JPEG and opaque WebP, GFX_FMT_ARGB8888 for WebP with alpha,
/// GFX_FMT_CH8 for grey JPEG, GFX_FMT_INDEX8 with a GFX_FMT_ARGB8888 palette
/// for GIF, and what the stream readers and the PNG reader give for the
/// others. Any other format converts the result. For GFX_FMT_ARGB8888 (and
/// every other format with alpha) alpha is full wherever the file has none,
/// grey files give grey (not red) pixels, and narrow channels (4, 5, 6 bits)
/// are widened the way viewers show them, by bit replication (5-bit 16 gives
/// 132) rather than by Gfx_Image_ChangeFormat's rule. The result is top-down
/// (`bottomUp` 0) and owns its buffers.
///
/// On failure the functions return false, the image is empty, and
/// Gfx_GetErrorReason() says why in plain words, naming the file:
/// "notes.txt: not an image file Quillory reads (it starts with text)".
/// Gfx_Image_LoadMemory names no file ("memory: ...").
///
/// Decompression bombs are refused before memory is taken: more than
/// GFX_IMAGE_MAX_PIXELS pixels, or (for JPEG and GIF, whose coding bounds how
/// many pixels a byte can carry) far more pixels than the data can hold.
#pragma once

#include <cstddef>
#include <cstdint>

class C_Image;

/// The most pixels a picture may have to be loaded: 2^28, 1 GiB in ARGB8888.
inline constexpr std::uint64_t GFX_IMAGE_MAX_PIXELS = std::uint64_t{1} << 28;

/// Loads the picture in the file at `path`, converted to `format` unless that
/// is GFX_FMT_NONE.
bool Gfx_Image_LoadFile(C_Image* image, const char* path, std::int32_t format);
/// The same for a file's bytes held in memory.
bool Gfx_Image_LoadMemory(C_Image* image, const void* data, std::size_t size, std::int32_t format);

/// Quality argument of Gfx_Image_SaveFile: 1 (smallest) to 100 (best) for the
/// lossy formats; GFX_QUALITY_DEFAULT (0, or anything below 1) means 90;
/// above 100 is taken as 100, except GFX_QUALITY_LOSSLESS, which writes WebP
/// losslessly (JPEG then uses 100).
enum : std::int32_t {
    GFX_QUALITY_DEFAULT = 0,
    GFX_QUALITY_LOSSLESS = 101,
};

/// Writes `image` to `path` in the format its extension names (any case):
///   .png          PNG, with the image's alpha where its format has one;
///   .jpg, .jpeg   JPEG at `quality` (grey for one-channel images; alpha is
///                 dropped, as JPEG has none);
///   .webp         WebP at `quality`, lossless with GFX_QUALITY_LOSSLESS,
///                 with alpha when some pixel is not opaque;
///   .bmp, .tga    BMP and TGA, when the build has their writers.
/// Any pixel format the converter reads is accepted: a copy in the nearest
/// format the file type holds is written (alpha full where the image has
/// none). The file appears complete or not at all (it is written under a
/// temporary name and renamed into place). On failure: false, and
/// Gfx_GetErrorReason() names the file and the problem.
bool Gfx_Image_SaveFile(const C_Image* image, const char* path, std::int32_t quality);

/// File types the loader tells apart.
enum : std::int32_t {
    GFX_FILE_UNKNOWN = 0,
    GFX_FILE_BMP,
    GFX_FILE_PCX,
    GFX_FILE_TGA,
    GFX_FILE_PNG,
    GFX_FILE_JPEG,
    GFX_FILE_GIF,
    GFX_FILE_WEBP,
    GFX_FILE_IMG,  ///< the framework's image object file
};

/// What a file's header says, read without decoding the pixels.
struct Gfx_ImageFileInfo {
    std::int32_t type;    ///< GFX_FILE_*
    std::uint32_t width;  ///< as the header states it (0 when it has none)
    std::uint32_t height;
    char variant[160];  ///< in words: "24-bit, uncompressed, V5 header"
};

/// "BMP", "JPEG", ..., "image object file"; "unknown" for anything else.
const char* Gfx_ImageFileTypeName(std::int32_t type);
/// The type of the file whose first `size` bytes are given (GFX_FILE_UNKNOWN
/// when none fits), by content alone.
std::int32_t Gfx_Image_DetectType(const void* data, std::size_t size);
/// Fills `info` from the file's header. False, with the reason set, when the
/// file cannot be read or is not a type the loader knows.
bool Gfx_Image_ReadFileInfo(const char* path, Gfx_ImageFileInfo* info);
bool Gfx_Image_ReadMemoryInfo(const void* data, std::size_t size, Gfx_ImageFileInfo* info);
