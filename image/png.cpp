// PNG reading and writing on libpng.
//
// libpng reports errors by longjmp back to a setjmp. Every libpng call that
// can fail therefore sits in RunRead or RunWrite, whose frames (like the
// callbacks libpng calls) hold nothing with a destructor; all state lives in
// plain job records owned by the calling function, which releases what a
// failed run leaves behind.
#include "image/png.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "core/error.h"
#include "core/memory.h"
#include "core/stream.h"
#include "image/image.h"
#include "image/internal/file_replace.h"
#include "image/internal/reader_support.h"

namespace {

constexpr const char* kLoadSite = "Gfx_Image_LoadPNG";
constexpr const char* kInfoSite = "Gfx_Image_ReadPNGInfo";
constexpr const char* kSaveSite = "Gfx_Image_SavePNG";
constexpr const char* kOpaqueSite = "Gfx_Image_SavePNG_Opaque";

// Up to this many pixel bytes are allocated whatever the file's size; beyond
// it the file must be large enough to inflate to the image data it promises.
constexpr std::uint64_t kUnbackedLimit = 64ull << 20;
// Deflate's best case: one byte of compressed data never yields more.
constexpr std::uint64_t kMaxInflateRatio = 1032;

// Records `code` with "<site><member>(<name>)" (member and name optional) and
// the site's summary line; returns false.
bool Fail(std::int32_t code, const char* site, const char* member, const char* name) {
    if (name)
        Gfx_SetError(code, 0, 0, "%s%s(%s)", site, member, name);
    else
        Gfx_SetError(code, 0, 0, "%s%s", site, member);
    return Gfx_FailSummary(site);
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
// Warnings concern chunks libpng has already skipped or repaired; they are
// not the caller's business and must not reach stderr.
void OnPngWarning(png_structp, png_const_charp) {}

// ---------------------------------------------------------------- reading

struct ReadJob {
    C_Stream* stream;
    std::uint64_t streamBytes;  // what the stream held when reading began
    bool headerOnly;
    Gfx_PngInfo header;
    std::uint32_t outBytesPerPixel;
    std::uint8_t* pixels;  // counted in the memory usage while held
    std::uint64_t pixelBytes;
    std::int32_t failCode;  // why the read gave up
};

void ReadData(png_structp png, png_bytep out, png_size_t byteCount) {
    auto* job = static_cast<ReadJob*>(png_get_io_ptr(png));
    if (C_Stream::ReadBytes(job->stream, out, byteCount) != byteCount) png_error(png, "unexpected end of data");
}

std::uint32_t SamplesPerPixel(std::uint8_t colorType) {
    switch (colorType) {
    case GFX_PNG_GREY_ALPHA: return 2;
    case GFX_PNG_RGB: return 3;
    case GFX_PNG_RGBA: return 4;
    default: return 1;  // grey, palette
    }
}

std::int32_t LoadFormatOf(const Gfx_PngInfo& h) {
    return h.colorType == GFX_PNG_GREY && !h.transparency ? GFX_FMT_CH8 : GFX_FMT_ARGB8888;
}

void DescribeHeader(png_structp png, png_infop info, Gfx_PngInfo& h) {
    png_uint_32 w = 0, ht = 0;
    int depth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &w, &ht, &depth, &colorType, &interlace, nullptr, nullptr);
    h.width = w;
    h.height = ht;
    h.bitDepth = static_cast<std::uint8_t>(depth);
    h.colorType = static_cast<std::uint8_t>(colorType);
    h.interlaced = interlace != PNG_INTERLACE_NONE ? 1 : 0;
    h.transparency = png_get_valid(png, info, PNG_INFO_tRNS) ? 1 : 0;
    h.loadFormat = LoadFormatOf(h);
}

// Whether the image the header describes may be allocated: not more than
// GFX_PNG_MAX_PIXELS, and beyond the unbacked limit only when the data
// could really inflate to the packed samples the header promises.
bool WithinBounds(const ReadJob& job) {
    const Gfx_PngInfo& h = job.header;
    const std::uint64_t pixels = std::uint64_t{h.width} * h.height;
    if (pixels > GFX_PNG_MAX_PIXELS) return false;
    if (pixels * job.outBytesPerPixel <= kUnbackedLimit) return true;
    const std::uint64_t packed = (pixels * SamplesPerPixel(h.colorType) * h.bitDepth + 7) / 8;
    return (packed + kMaxInflateRatio - 1) / kMaxInflateRatio <= job.streamBytes;
}

// Every input becomes 8-bit grey (CH8) or B, G, R, A bytes (ARGB8888).
void SetTransforms(png_structp png, const Gfx_PngInfo& h) {
    const bool colour = (h.colorType & PNG_COLOR_MASK_COLOR) != 0;
    const bool alpha = (h.colorType & PNG_COLOR_MASK_ALPHA) != 0;
    if (h.colorType == GFX_PNG_PALETTE) png_set_palette_to_rgb(png);
    if (!colour && h.bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (h.transparency) png_set_tRNS_to_alpha(png);
    if (h.bitDepth == 16) png_set_scale_16(png);  // rounds; 8-bit values stored as 16 come back exactly
    if (h.loadFormat == GFX_FMT_CH8) return;
    if (!colour) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    if (!alpha && !h.transparency) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
}

// Text, profiles and other metadata are never used: libpng skips them
// unread instead of holding them in memory.
constexpr png_byte kSkippedChunks[] = "tEXt\0zTXt\0iTXt\0iCCP\0sPLT\0eXIf";
constexpr int kSkippedChunkCount = 6;

bool RunRead(png_structp png, png_infop info, ReadJob* job) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, job, ReadData);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kSkippedChunks, kSkippedChunkCount);
    png_read_info(png, info);
    DescribeHeader(png, info, job->header);
    if (job->headerOnly) return true;

    job->outBytesPerPixel = job->header.loadFormat == GFX_FMT_CH8 ? 1 : 4;
    if (!WithinBounds(*job)) {
        job->failCode = GFX_ERR_BAD_DATA;
        return false;
    }
    SetTransforms(png, job->header);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = std::size_t{job->header.width} * job->outBytesPerPixel;
    if (png_get_rowbytes(png, info) != rowBytes) {  // the transforms did not give the expected layout
        job->failCode = GFX_ERR_BAD_DATA;
        return false;
    }

    job->pixelBytes = std::uint64_t{rowBytes} * job->header.height;
    // Zeroed: interlaced passes fill pixels in stages.
    job->pixels = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(job->pixelBytes), 1));
    if (!job->pixels) {
        job->failCode = GFX_ERR_NO_MEMORY;
        return false;
    }
    Mem_AddUsage(static_cast<std::uint32_t>(job->pixelBytes));
    for (int pass = 0; pass < passes; ++pass)
        for (std::uint32_t y = 0; y < job->header.height; ++y)
            png_read_row(png, job->pixels + std::size_t{y} * rowBytes, nullptr);
    // Reads up to IEND, so a file cut short after its image data still fails.
    png_read_end(png, nullptr);
    return true;
}

void ReleasePixels(ReadJob& job) {
    if (!job.pixels) return;
    std::free(job.pixels);
    Mem_SubUsage(static_cast<std::uint32_t>(job.pixelBytes));
    job.pixels = nullptr;
}

// Runs one read over the stream; the job says how it ended.
bool ReadPng(ReadJob& job) {
    job.streamBytes = C_Stream::Remaining(job.stream);
    job.failCode = GFX_ERR_BAD_DATA;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        job.failCode = GFX_ERR_NO_MEMORY;
        return false;
    }
    const bool ok = RunRead(png, info, &job);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) ReleasePixels(job);
    return ok;
}

ReadJob MakeReadJob(C_Stream* stream, bool headerOnly) {
    ReadJob job{};
    job.stream = stream;
    job.headerOnly = headerOnly;
    return job;
}

// The stream reader behind both forms of Gfx_Image_LoadPNG; `name` is the
// file's path or "stream" for messages.
bool LoadPng(C_Image& image, C_Stream* stream, const char* name) {
    Gfx_Image_Reset(image);
    ReadJob job = MakeReadJob(stream, false);
    if (!ReadPng(job)) {
        const char* member = job.failCode == GFX_ERR_NO_MEMORY ? "{data}" : "";
        return Fail(job.failCode, kLoadSite, member, name);
    }
    const Gfx_PngInfo& h = job.header;
    image.data = job.pixels;
    image.dataSize = static_cast<std::uint32_t>(job.pixelBytes);
    image.width = h.width;
    image.height = h.height;
    image.format = h.loadFormat;
    image.bpp = job.outBytesPerPixel * 8;
    image.pitch = image.rowBytes = h.width * job.outBytesPerPixel;
    return true;
}

// ---------------------------------------------------------------- writing

// Where a saved format keeps its channels: byte offsets of R, G, B and A in a
// pixel's memory (alpha < 0: none); `index` marks palette indices.
struct PixelLayout {
    std::int32_t format;
    std::uint8_t bytes;
    std::int8_t r, g, b, a;
    bool grey;
    bool index;
};

constexpr PixelLayout kLayouts[] = {
    {GFX_FMT_CH8, 1, 0, 0, 0, -1, true, false},      {GFX_FMT_INDEX8, 1, 0, 0, 0, -1, false, true},
    {GFX_FMT_RGB888, 3, 2, 1, 0, -1, false, false},  {GFX_FMT_BGR888, 3, 0, 1, 2, -1, false, false},
    {GFX_FMT_ARGB8888, 4, 2, 1, 0, 3, false, false}, {GFX_FMT_RGBA8888, 4, 3, 2, 1, 0, false, false},
    {GFX_FMT_BGRA8888, 4, 1, 2, 3, 0, false, false}, {GFX_FMT_ABGR8888, 4, 0, 1, 2, 3, false, false},
};

const PixelLayout* FindLayout(std::int32_t format) {
    for (const PixelLayout& layout : kLayouts)
        if (layout.format == format) return &layout;
    return nullptr;
}

struct WriteJob {
    const C_Image* image;
    const PixelLayout* layout;
    std::FILE* file;
    int colorType;
    std::uint32_t outBytesPerPixel;
    std::uint8_t* row;  // one row in the file's sample order
    png_color palette[256];
    png_byte paletteAlpha[256];
    bool paletteHasAlpha;
};

// A channel value of `bits` bits as 8 bits, by the framework's width rule
// (low bits appended below when widening: 5-bit 31 gives 255, 1-bit 1 129).
std::uint8_t To8Bits(std::uint32_t value, std::uint32_t bits) {
    if (bits >= 8) return static_cast<std::uint8_t>(value >> (bits - 8));
    const std::uint32_t grow = 8 - bits;
    return static_cast<std::uint8_t>((value << grow) + (value & ((1u << grow) - 1)));
}

// The image's palette as PNG entries. Entries must be an integer format of
// whole bytes up to 32 bits; one-channel entries are grey levels. Entries
// the palette buffer does not hold are black.
bool BuildPalette(const C_Image& image, bool keepAlpha, WriteJob& job) {
    Gfx_FormatDesc pd{};
    if (!image.m_palette || image.palFormat <= 0 || !Gfx_GetFormatDesc(image.palFormat, &pd)) return false;
    if (pd.kind != GFX_KIND_UINT || pd.isPalette || pd.bitsPerPixel % 8 != 0 || pd.bitsPerPixel > 32) return false;
    const std::uint32_t entryBytes = pd.bytesPerPixel;
    const std::uint32_t entries = std::min<std::uint32_t>(256, image.paletteSize / entryBytes);
    job.paletteHasAlpha = keepAlpha && pd.bits[3] > 0;
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t v = 0;
        if (i < entries) std::memcpy(&v, image.m_palette + std::size_t{i} * entryBytes, entryBytes);
        const auto channel = [&](int c) { return To8Bits((v & pd.mask[c]) >> pd.shift[c], pd.bits[c]); };
        const std::uint8_t red = channel(0);
        const bool grey = pd.channels == 1;
        job.palette[i] = {red, grey ? red : channel(1), grey ? red : channel(2)};
        job.paletteAlpha[i] = pd.bits[3] > 0 && i < entries ? channel(3) : 255;
    }
    return true;
}

// Row y in display order (bottomUp honoured) in the file's sample order.
void PackRow(const WriteJob& job, std::uint32_t y) {
    const PixelLayout& l = *job.layout;
    const std::uint8_t* in = job.image->Row(y);
    std::uint8_t* out = job.row;
    const std::uint32_t width = job.image->width;
    if (l.bytes == 1) {
        std::memcpy(out, in, width);
        return;
    }
    const bool alpha = job.outBytesPerPixel == 4;
    for (std::uint32_t x = 0; x < width; ++x, in += l.bytes) {
        *out++ = in[l.r];
        *out++ = in[l.g];
        *out++ = in[l.b];
        if (alpha) *out++ = in[l.a];
    }
}

bool RunWrite(png_structp png, png_infop info, WriteJob* job) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_init_io(png, job->file);
    // The reading side's size limits must not stop a picture we hold.
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_set_IHDR(png, info, job->image->width, job->image->height, 8, job->colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (job->colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, job->palette, 256);
        if (job->paletteHasAlpha) png_set_tRNS(png, info, job->paletteAlpha, 256, nullptr);
    }
    png_write_info(png, info);
    for (std::uint32_t y = 0; y < job->image->height; ++y) {
        PackRow(*job, y);
        png_write_row(png, job->row);
    }
    png_write_end(png, info);
    return true;
}

bool WritePng(WriteJob& job) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    const bool ok = RunWrite(png, info, &job);
    png_destroy_write_struct(&png, &info);
    return ok;
}

// Whether every row the image claims lies inside its pixel buffer.
bool RowsInside(const C_Image& image, std::uint32_t bytesPerPixel) {
    const std::uint64_t row = std::uint64_t{image.width} * bytesPerPixel;
    if (image.pitch < row || image.bpp != bytesPerPixel * 8u) return false;
    return std::uint64_t{image.pitch} * (image.height - 1) + row <= image.dataSize;
}

bool SavePng(const C_Image* image, const char* path, bool opaque, const char* site) {
    if (!image || image->IsEmpty()) return Fail(GFX_ERR_NULL_ARG, site, "{pImage}", nullptr);
    const PixelLayout* layout = FindLayout(image->format);
    if (!layout) return Fail(GFX_ERR_FORMAT, site, "{format}", nullptr);
    if (!RowsInside(*image, layout->bytes)) return Fail(GFX_ERR_BAD_DATA, site, "{dataSize}", nullptr);

    WriteJob job{};
    job.image = image;
    job.layout = layout;
    if (layout->index) {
        if (!BuildPalette(*image, !opaque, job)) return Fail(GFX_ERR_PALETTE_FORMAT, site, "{palFormat}", nullptr);
        job.colorType = PNG_COLOR_TYPE_PALETTE;
        job.outBytesPerPixel = 1;
    } else if (layout->grey) {
        job.colorType = PNG_COLOR_TYPE_GRAY;
        job.outBytesPerPixel = 1;
    } else if (layout->a >= 0 && !opaque) {
        job.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        job.outBytesPerPixel = 4;
    } else {
        job.colorType = PNG_COLOR_TYPE_RGB;
        job.outBytesPerPixel = 3;
    }
    if (!path) return Fail(GFX_ERR_OPEN_WRITE, site, "", "(null)");

    job.row = static_cast<std::uint8_t*>(std::malloc(std::size_t{image->width} * job.outBytesPerPixel));
    if (!job.row) return Fail(GFX_ERR_NO_MEMORY, site, "{row}", nullptr);
    C_FileReplace out;
    bool ok = out.Begin(path);
    if (ok) {
        job.file = out.File();
        ok = WritePng(job) && out.Commit();
    }
    std::free(job.row);
    if (!ok) {
        out.Discard();
        return Fail(GFX_ERR_OPEN_WRITE, site, "", path);
    }
    return true;
}

}  // namespace

bool Gfx_Image_LoadPNG(C_Image* pImage, C_Stream* stream) {
    if (!pImage) return Fail(GFX_ERR_NULL_ARG, kLoadSite, "{pImage}", nullptr);
    return LoadPng(*pImage, stream, "stream");
}

bool Gfx_Image_LoadPNG(C_Image* pImage, const char* path) {
    if (!pImage) return Fail(GFX_ERR_NULL_ARG, kLoadSite, "{pImage}", nullptr);
    Gfx_Image_Reset(*pImage);
    C_Stream stream;
    if (!path || !stream.OpenFileRead(path)) return Fail(GFX_ERR_OPEN_READ, kLoadSite, "", path ? path : "(null)");
    const bool ok = LoadPng(*pImage, &stream, path);
    stream.CloseFile();
    return ok;
}

bool Gfx_Image_ReadPNGInfo(const char* path, Gfx_PngInfo* info) {
    if (!info) return Fail(GFX_ERR_NULL_ARG, kInfoSite, "{info}", nullptr);
    C_Stream stream;
    if (!path || !stream.OpenFileRead(path)) return Fail(GFX_ERR_OPEN_READ, kInfoSite, "", path ? path : "(null)");
    ReadJob job = MakeReadJob(&stream, true);
    const bool ok = ReadPng(job);
    stream.CloseFile();
    if (!ok) return Fail(job.failCode, kInfoSite, "", path);
    *info = job.header;
    return true;
}

bool Gfx_Image_IsPNGFormat(std::int32_t format) { return FindLayout(format) != nullptr; }

bool Gfx_Image_SavePNG(const C_Image* pImage, const char* path) { return SavePng(pImage, path, false, kSaveSite); }

bool Gfx_Image_SavePNG_Opaque(const C_Image* pImage, const char* path) {
    return SavePng(pImage, path, true, kOpaqueSite);
}
