// The one-call loader and saver: the file's type from its bytes, the reader
// or decoder for it, then the format the caller asked for.
#include "image/image_io.h"

#include <sys/stat.h>
#if !defined(_WIN32)
#include <sys/mman.h>
#endif

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/error.h"
#include "core/object.h"
#include "core/stream.h"
#include "image/convert.h"
#include "image/format.h"
#include "image/image.h"
#include "image/internal/codecs.h"
#include "image/internal/file_replace.h"
#include "image/internal/image_rows.h"
#include "image/internal/reader_support.h"
#include "image/png.h"
#include "image/writers.h"

namespace {

constexpr const char* kLoadSite = "Gfx_Image_LoadFile";
constexpr const char* kMemorySite = "Gfx_Image_LoadMemory";
constexpr const char* kSaveSite = "Gfx_Image_SaveFile";
constexpr const char* kInfoSite = "Gfx_Image_ReadFileInfo";
// How Gfx_Image_LoadMemory's reasons name their source.
constexpr const char* kMemoryName = "data in memory";
// Below this many pixels a JPEG or GIF may claim any size its bytes allow
// or not: small pictures cost little whatever their data say.
constexpr std::uint64_t kUnbackedPixels = std::uint64_t{1} << 20;
constexpr std::int32_t kDefaultQuality = 90;

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | std::uint32_t{p[1]} << 8; }
std::uint32_t Le32(const std::uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }
std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

bool StartsWith(const std::uint8_t* d, std::size_t size, const char* magic, std::size_t at = 0) {
    const std::size_t n = std::strlen(magic);
    return size >= at + n && std::memcmp(d + at, magic, n) == 0;
}

// --------------------------------------------------------------- detection

bool LooksLikePcx(const std::uint8_t* d, std::size_t size) {
    if (size < 128 || d[0] != 0x0A) return false;
    const bool version = d[1] == 0 || d[1] == 2 || d[1] == 3 || d[1] == 4 || d[1] == 5;
    const bool bits = d[3] == 1 || d[3] == 2 || d[3] == 4 || d[3] == 8;
    return version && d[2] <= 1 && bits && Le16(d + 8) >= Le16(d + 4) && Le16(d + 10) >= Le16(d + 6);
}

// The framework's image object file: the class tag 6, then a header whose
// format is known and whose bits per pixel are that format's.
bool LooksLikeImageRecord(const std::uint8_t* d, std::size_t size) {
    if (size < 30 || Le16(d) != GFX_CLASS_IMAGE) return false;
    const auto format = static_cast<std::int32_t>(Le32(d + 22));
    Gfx_FormatDesc desc{};
    return format > 0 && Gfx_GetFormatDesc(format, &desc) && desc.bitsPerPixel == Le32(d + 18);
}

// TGA has no signature: only a header whose every field is possible counts.
bool LooksLikeTga(const std::uint8_t* d, std::size_t size) {
    if (size < 18) return false;
    const std::uint8_t mapType = d[1], type = d[2], entryBits = d[7], depth = d[16];
    const bool mapped = type == 1 || type == 9;
    const bool knownType = mapped || type == 2 || type == 3 || type == 10 || type == 11;
    if (!knownType || mapType > 1 || (mapped && mapType != 1)) return false;
    if (mapType == 1 && entryBits != 15 && entryBits != 16 && entryBits != 24 && entryBits != 32) return false;
    if (mapType == 0 && (Le16(d + 3) != 0 || Le16(d + 5) != 0 || entryBits != 0)) return false;
    const bool depthOk = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
    return depthOk && Le16(d + 12) > 0 && Le16(d + 14) > 0 && (d[17] & 0xC0) == 0;
}

// What a file that is not a picture Quillory reads seems to be, for the
// reason; null when nothing fits.
const char* ForeignKind(const std::uint8_t* d, std::size_t size) {
    if (StartsWith(d, size, "II*") || StartsWith(d, size, "MM\0*")) return "it is a TIFF file";
    if (StartsWith(d, size, "8BPS")) return "it is a Photoshop file";
    if (StartsWith(d, size, "ftypavif", 4)) return "it is an AVIF file";
    if (StartsWith(d, size, "ftyphei", 4) || StartsWith(d, size, "ftypmif1", 4)) return "it is a HEIF file";
    if (StartsWith(d, size, "qoif")) return "it is a QOI file";
    if (StartsWith(d, size, "%PDF")) return "it is a PDF document";
    if (StartsWith(d, size, "BA") || StartsWith(d, size, "CI") || StartsWith(d, size, "CP") ||
        StartsWith(d, size, "IC") || StartsWith(d, size, "PT"))
        return "it looks like an OS/2 bitmap array or icon, not a plain BMP";
    if (size >= 4 && d[0] == 0 && d[1] == 0 && (d[2] == 1 || d[2] == 2) && d[3] == 0)
        return "it looks like a Windows icon or cursor file";
    if (size >= 2 && d[0] == 'P' && d[1] >= '1' && d[1] <= '7') return "it looks like a Netpbm file";
    if (StartsWith(d, size, "RIFF")) return "it is a RIFF file that holds no WebP picture";
    std::size_t text = 0;
    const std::size_t look = size < 512 ? size : 512;
    for (std::size_t i = 0; i < look; ++i)
        if (std::isprint(d[i]) || d[i] == '\n' || d[i] == '\r' || d[i] == '\t' || d[i] >= 0x80) ++text;
    if (look > 0 && text == look) return "it starts with text";
    return nullptr;
}

// ------------------------------------------------------------------ reasons

// Replaces the reason of the failure just recorded with "<name>: <text>".
void NameReason(const char* name, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
void NameReason(const char* name, const char* format, ...) {
    char text[400];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Gfx_SetErrorReason("%s: %s", name, text);
}

// Records a failure of the loader itself and its named reason; returns false.
bool LoadFail(std::int32_t code, const char* site, const char* name, const char* text) {
    Gfx_SetError(code, 0, 0, "%s(%s)", site, name);
    Gfx_FailSummary(site);
    NameReason(name, "%s", text);
    return false;
}

// The reason a reader gave (it does not name the file), or `fallback` when it
// left only its coded message.
std::string ReaderReason(const char* fallback) {
    const char* reason = Gfx_GetErrorReason();
    if (reason && *reason && std::strcmp(reason, Gfx_GetErrorDetail()) != 0) return reason;
    return fallback;
}

// ------------------------------------------------------------------ reading

// A whole file in memory: mapped where the system can (no copy, pages read
// as the decoder reaches them), else read into a buffer.
struct FileBytes {
    std::uint8_t* data = nullptr;
    std::size_t size = 0;
    bool mapped = false;
    FileBytes() = default;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;
    ~FileBytes() {
#if !defined(_WIN32)
        if (mapped) {
            ::munmap(data, size);
            return;
        }
#endif
        std::free(data);
    }
};

bool ReadWholeFile(const char* path, FileBytes& bytes, const char* site) {
    struct stat st {};
    if (::stat(path, &st) == 0 && S_ISDIR(st.st_mode))
        return LoadFail(GFX_ERR_OPEN_READ, site, path, "is a directory, not an image file");
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        const std::string why = std::string("cannot be opened (") + std::strerror(errno) + ")";
        return LoadFail(GFX_ERR_OPEN_READ, site, path, why.c_str());
    }
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    const long end = ok ? std::ftell(f) : -1;
    ok = ok && end >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
    // Memory streams count their bytes in 32 bits.
    if (ok && static_cast<unsigned long>(end) > 0xFFFFFFFFul) {
        std::fclose(f);
        return LoadFail(GFX_ERR_BAD_DATA, site, path, "is larger than 4 GiB, more than Quillory reads");
    }
    if (ok && end > 0) {
        bytes.size = static_cast<std::size_t>(end);
#if !defined(_WIN32)
        void* map = ::mmap(nullptr, bytes.size, PROT_READ, MAP_PRIVATE, ::fileno(f), 0);
        if (map != MAP_FAILED) {
            bytes.data = static_cast<std::uint8_t*>(map);
            bytes.mapped = true;
        }
#endif
        if (!bytes.mapped) {
            bytes.data = static_cast<std::uint8_t*>(std::malloc(bytes.size));
            ok = bytes.data && std::fread(bytes.data, 1, bytes.size, f) == bytes.size;
        }
    }
    const int readErrno = errno;
    std::fclose(f);
    if (!ok) {
        const std::string why = std::string("cannot be read (") + std::strerror(readErrno) + ")";
        return LoadFail(GFX_ERR_OPEN_READ, site, path, why.c_str());
    }
    return true;
}

// Runs a stream reader over the bytes, which the stream borrows: it only
// reads them, and lets go of them before it is destroyed.
template <typename Reader>
bool RunStreamReader(const std::uint8_t* bytes, std::size_t size, Reader read) {
    C_Stream stream;
    stream.buffer = const_cast<std::uint8_t*>(bytes);
    stream.size = stream.capacity = static_cast<std::uint32_t>(size);
    stream.OpenMemoryRead();
    const bool ok = read(&stream);
    stream.buffer = nullptr;
    stream.size = stream.capacity = 0;
    return ok;
}

[[maybe_unused]] bool MissingCodec(const char* name, const char* type, const char* option) {
    Gfx_SetError(GFX_ERR_FORMAT, 0, 0, "%s(%s)", kLoadSite, name);
    Gfx_FailSummary(kLoadSite);
    NameReason(name, "%s files cannot be read: this Quillory was built without %s support (%s=OFF)", type, type,
               option);
    return false;
}

// Decodes the bytes of a file of type `type` into `image` in its natural
// format (or straight into `want` where the decoder does that for free).
bool Decode(std::int32_t type, const std::uint8_t* bytes, std::size_t size, const char* name, std::int32_t want,
            C_Image& image) {
    const char* typeName = Gfx_ImageFileTypeName(type);
    bool ok = false;
    switch (type) {
    case GFX_FILE_BMP: ok = RunStreamReader(bytes, size, [&](C_Stream* s) { return image.LoadBMP(s); }); break;
    case GFX_FILE_PCX: ok = RunStreamReader(bytes, size, [&](C_Stream* s) { return image.LoadPCX(s); }); break;
    case GFX_FILE_TGA: ok = RunStreamReader(bytes, size, [&](C_Stream* s) { return image.LoadTGA(s); }); break;
    case GFX_FILE_IMG:
        ok = RunStreamReader(bytes, size, [&](C_Stream* s) { return image.LoadFromStream(s, 0); });
        break;
    case GFX_FILE_PNG:
        ok = RunStreamReader(bytes, size, [&](C_Stream* s) { return Gfx_Image_LoadPNG(&image, s); });
        break;
    case GFX_FILE_JPEG:
#if defined(QUILLORY_HAVE_JPEG)
        ok = Gfx_Jpeg_Decode(bytes, size, want, image);
        break;
#else
        return MissingCodec(name, "JPEG", "QUILLORY_WITH_JPEG");
#endif
    case GFX_FILE_GIF:
#if defined(QUILLORY_HAVE_GIF)
        ok = Gfx_Gif_Decode(bytes, size, want, image);
        break;
#else
        return MissingCodec(name, "GIF", "QUILLORY_WITH_GIF");
#endif
    case GFX_FILE_WEBP:
#if defined(QUILLORY_HAVE_WEBP)
        ok = Gfx_Webp_Decode(bytes, size, want, image);
        break;
#else
        return MissingCodec(name, "WebP", "QUILLORY_WITH_WEBP");
#endif
    default: break;
    }
    (void)want;
    if (!ok) {
        Gfx_Image_Reset(image);
        const std::string fallback = std::string("damaged ") + typeName + " file, or a variant Quillory does not read";
        NameReason(name, "%s", ReaderReason(fallback.c_str()).c_str());
        return false;
    }
    return true;
}

// Whether the stream readers' "true with no pixels" (kept for the variants
// they only measure) happened.
bool HasPixels(const C_Image& image) { return !image.IsEmpty() && image.format > 0; }

// Turns the decoded picture into the format asked for. Formats whose
// channels are 8 bits or narrower go through the viewer-faithful widening;
// wider ones convert directly, so no precision is lost on the way.
bool ConvertTo(C_Image& image, std::int32_t want, const char* name) {
    if (want == GFX_FMT_NONE || want == GFX_FMT_SAME || want == image.format) return true;
    Gfx_FormatDesc target{};
    if (!Gfx_GetFormatDesc(want, &target) || want <= 0) {
        Gfx_Image_Reset(image);
        return LoadFail(GFX_ERR_FORMAT, kLoadSite, name, "the requested pixel format is not a format");
    }
    C_Image argb;
    if (!Gfx_Image_WidenToARGB(image, argb)) {
        const std::string reason = Gfx_GetErrorReason();
        Gfx_Image_Reset(image);
        NameReason(name, "%s", reason.c_str());
        return false;
    }
    if (want != GFX_FMT_ARGB8888 && !Gfx_Image_ChangeFormat(&argb, want, GFX_FMT_NONE, 0)) {
        Gfx_Image_Reset(image);
        NameReason(name, "the picture cannot be converted to pixel format %d", want);
        return false;
    }
    Gfx_Image_Move(image, argb);
    return true;
}

bool Load(C_Image& image, const std::uint8_t* bytes, std::size_t size, const char* site, const char* name,
          std::int32_t want) {
    if (size == 0) return LoadFail(GFX_ERR_BAD_DATA, site, name, "the file is empty");
    const std::int32_t type = Gfx_Image_DetectType(bytes, size);
    if (type == GFX_FILE_UNKNOWN) {
        const char* kind = ForeignKind(bytes, size);
        const std::string text =
            std::string("not an image file Quillory reads") + (kind ? std::string(" (") + kind + ")" : "");
        return LoadFail(GFX_ERR_BAD_DATA, site, name, text.c_str());
    }
    // The stream readers may measure a variant they do not decode; its
    // description makes the reason.
    Gfx_ImageFileInfo info{};
    const bool described = (type == GFX_FILE_BMP || type == GFX_FILE_PCX || type == GFX_FILE_TGA) &&
                           Gfx_Image_ReadMemoryInfo(bytes, size, &info);
    if (!Decode(type, bytes, size, name, want, image)) return false;
    if (!HasPixels(image)) {
        Gfx_Image_Reset(image);
        const std::string variant = described && info.variant[0] ? std::string(" (") + info.variant + ")" : "";
        const std::string text =
            std::string("this ") + Gfx_ImageFileTypeName(type) + " variant" + variant + " is not supported";
        return LoadFail(GFX_ERR_BAD_DATA, site, name, text.c_str());
    }
    if (image.bottomUp) {
        // Readers give top-down pictures; a flag left by one is honoured.
        C_Image upright;
        upright = image;
        Gfx_Image_Move(image, upright);
    }
    return ConvertTo(image, want, name);
}

// ------------------------------------------------------------------- saving

enum class SaveKind { Unknown, Png, Jpeg, Webp, Bmp, Tga };

SaveKind KindOfName(const char* path) {
    const std::string ext = Gfx_UpperExtension(path);
    if (ext == "PNG") return SaveKind::Png;
    if (ext == "JPG" || ext == "JPEG" || ext == "JPE") return SaveKind::Jpeg;
    if (ext == "WEBP") return SaveKind::Webp;
    if (ext == "BMP") return SaveKind::Bmp;
    if (ext == "TGA") return SaveKind::Tga;
    return SaveKind::Unknown;
}

bool SaveFail(std::int32_t code, const char* path, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
bool SaveFail(std::int32_t code, const char* path, const char* format, ...) {
    char text[400];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Gfx_SetError(code, 0, 0, "%s(%s)", kSaveSite, path);
    Gfx_FailSummary(kSaveSite);
    Gfx_SetErrorReason("%s: %s", path, text);
    return false;
}

bool IsGrey(const C_Image& image) {
    Gfx_FormatDesc d{};
    return Gfx_GetFormatDesc(image.format, &d) && d.channels == 1 && !d.isPalette;
}

// A top-down copy of `image` in ARGB8888, RGB888 (no visible alpha) or CH8
// (grey, when `grey` is allowed) for a writer that takes only those.
bool Prepare(const C_Image& image, bool grey, C_Image& out, const char* path) {
    if (!Gfx_Image_WidenToARGB(image, out)) {
        const std::string reason = Gfx_GetErrorReason();
        return SaveFail(GFX_ERR_FORMAT, path, "%s", reason.c_str());
    }
    std::int32_t fit = GFX_FMT_ARGB8888;
    if (grey && IsGrey(image))
        fit = GFX_FMT_CH8;
    else if (!Gfx_Image_HasVisibleAlpha(out))
        fit = GFX_FMT_RGB888;
    if (fit != GFX_FMT_ARGB8888 && !Gfx_Image_ChangeFormat(&out, fit, GFX_FMT_NONE, 0))
        return SaveFail(GFX_ERR_FORMAT, path, "the picture could not be converted for writing");
    return true;
}

using Encoder = bool (*)(const C_Image&, std::FILE*, std::int32_t);

bool WriteWith(Encoder encode, const C_Image& image, const char* path, std::int32_t quality) {
    C_FileReplace file;
    errno = 0;
    if (!file.Begin(path))
        return SaveFail(GFX_ERR_OPEN_WRITE, path, "cannot be created (%s)",
                        errno ? std::strerror(errno) : "the folder does not take new files");
    if (!encode(image, file.File(), quality)) {
        const std::string reason = Gfx_GetErrorReason();
        return SaveFail(GFX_ERR_OPEN_WRITE, path, "%s", reason.c_str());
    }
    errno = 0;
    if (!file.Commit())
        return SaveFail(GFX_ERR_OPEN_WRITE, path, "cannot be written (%s)",
                        errno ? std::strerror(errno) : "the data could not be stored");
    return true;
}

bool SavePng(const C_Image& image, const char* path) {
    C_Image copy;
    const C_Image* out = &image;
    if (!Gfx_Image_IsPNGFormat(image.format) || (image.format == GFX_FMT_INDEX8 && !image.m_palette)) {
        if (!Prepare(image, true, copy, path)) return false;
        out = &copy;
    }
    if (Gfx_Image_SavePNG(out, path)) return true;
    return SaveFail(GFX_ERR_OPEN_WRITE, path, "cannot be written (%s)", Gfx_GetErrorDetail());
}

#if defined(QUILLORY_HAVE_JPEG)
bool SaveJpeg(const C_Image& image, const char* path, std::int32_t quality) {
    C_Image copy;
    const C_Image* out = &image;
    const bool direct =
        image.format == GFX_FMT_RGB888 || image.format == GFX_FMT_CH8 || image.format == GFX_FMT_ARGB8888;
    if (!direct || !Gfx_RowsFitBuffer(image, image.rowBytes)) {
        if (!Prepare(image, true, copy, path)) return false;
        out = &copy;
    }
    return WriteWith(Gfx_Jpeg_Encode, *out, path, quality == GFX_QUALITY_LOSSLESS ? 100 : quality);
}
#endif

#if defined(QUILLORY_HAVE_WEBP)
bool SaveWebp(const C_Image& image, const char* path, std::int32_t quality) {
    // The encoder takes rows top-down and packed from the first byte.
    C_Image copy;
    if (!Prepare(image, false, copy, path)) return false;
    return WriteWith(Gfx_Webp_Encode, copy, path, quality);
}
#endif

// The BMP and TGA writers record their own failures; their reason gets the
// file's name when it lacks it.
bool SaveByWriter(bool ok, const char* path) {
    if (ok) return true;
    const std::string reason = Gfx_GetErrorReason();
    if (reason.find(path) == std::string::npos) Gfx_SetErrorReason("%s: %s", path, reason.c_str());
    return false;
}

std::int32_t ClampQuality(std::int32_t quality) {
    if (quality == GFX_QUALITY_LOSSLESS) return quality;
    if (quality < 1) return kDefaultQuality;
    return quality > 100 ? 100 : quality;
}

// ---------------------------------------------------------------- describing

const char* BmpCompressionName(std::uint32_t c) {
    switch (c) {
    case 0: return "uncompressed";
    case 1: return "RLE8";
    case 2: return "RLE4";
    case 3: return "bit fields";
    case 4: return "JPEG inside";
    case 5: return "PNG inside";
    case 6: return "alpha bit fields";
    default: return "unknown compression";
    }
}

const char* BmpHeaderName(std::uint32_t size) {
    switch (size) {
    case 12: return "OS/2 1.x header";
    case 16:
    case 64: return "OS/2 2.x header";
    case 40: return "BITMAPINFOHEADER";
    case 52: return "V2 header";
    case 56: return "V3 header";
    case 108: return "V4 header";
    case 124: return "V5 header";
    default: return "unknown header";
    }
}

void DescribeBmp(const std::uint8_t* d, std::size_t size, Gfx_ImageFileInfo& info) {
    if (size < 26) {
        std::snprintf(info.variant, sizeof info.variant, "cut short");
        return;
    }
    const std::uint32_t header = Le32(d + 14);
    if (header == 12) {
        info.width = Le16(d + 18);
        info.height = Le16(d + 20);
        std::snprintf(info.variant, sizeof info.variant, "%u-bit, uncompressed, %s", size >= 26 ? Le16(d + 24) : 0,
                      BmpHeaderName(header));
        return;
    }
    if (size < 34) {
        std::snprintf(info.variant, sizeof info.variant, "cut short, %s", BmpHeaderName(header));
        return;
    }
    const auto height = static_cast<std::int32_t>(Le32(d + 22));
    info.width = Le32(d + 18);
    info.height = height < 0 ? 0u - static_cast<std::uint32_t>(height) : static_cast<std::uint32_t>(height);
    std::snprintf(info.variant, sizeof info.variant, "%u-bit, %s, %s%s", Le16(d + 28), BmpCompressionName(Le32(d + 30)),
                  BmpHeaderName(header), height < 0 ? ", top-down" : "");
}

void DescribeTga(const std::uint8_t* d, Gfx_ImageFileInfo& info) {
    info.width = Le16(d + 12);
    info.height = Le16(d + 14);
    const std::uint8_t type = d[2];
    const char* kind = (type & 3) == 1 ? "colour-mapped" : ((type & 3) == 2 ? "true colour" : "grey");
    char map[48] = "";
    if (d[1] == 1) std::snprintf(map, sizeof map, ", %u-bit colour map of %u", d[7], Le16(d + 5));
    std::snprintf(info.variant, sizeof info.variant, "%s, %u-bit, %s%s, %s origin%s", kind, d[16],
                  type >= 9 ? "run-length encoded" : "uncompressed", map, (d[17] & 0x20) ? "top" : "bottom",
                  d[0] ? ", with image ID" : "");
    if (d[17] & 0x10)
        std::strncat(info.variant, ", right-to-left", sizeof info.variant - std::strlen(info.variant) - 1);
}

void DescribePcx(const std::uint8_t* d, Gfx_ImageFileInfo& info) {
    info.width = Le16(d + 8) - Le16(d + 4) + 1;
    info.height = Le16(d + 10) - Le16(d + 6) + 1;
    std::snprintf(info.variant, sizeof info.variant, "version %u, %u bit%s x %u plane%s, %s", d[1], d[3],
                  d[3] == 1 ? "" : "s", d[65], d[65] == 1 ? "" : "s", d[2] ? "run-length encoded" : "uncompressed");
}

void DescribePng(const std::uint8_t* d, std::size_t size, Gfx_ImageFileInfo& info) {
    if (size < 29 || !StartsWith(d, size, "IHDR", 12)) {
        std::snprintf(info.variant, sizeof info.variant, "damaged header");
        return;
    }
    info.width = Be32(d + 16);
    info.height = Be32(d + 20);
    static const char* const kColour[] = {"grey", "?", "RGB", "palette", "grey and alpha", "?", "RGBA"};
    const std::uint8_t type = d[25];
    std::snprintf(info.variant, sizeof info.variant, "%u-bit %s%s", d[24], type <= 6 ? kColour[type] : "?",
                  d[28] ? ", interlaced" : "");
    const std::uint8_t* end = d + size;
    for (const std::uint8_t* c = d + 8; c + 8 <= end;) {
        const std::uint32_t length = Be32(c);
        if (std::memcmp(c + 4, "tRNS", 4) == 0) {
            std::strncat(info.variant, ", with transparency", sizeof info.variant - std::strlen(info.variant) - 1);
            break;
        }
        if (std::memcmp(c + 4, "IDAT", 4) == 0 || length > static_cast<std::size_t>(end - c) - 12) break;
        c += 12 + length;
    }
}

void DescribeRecord(const std::uint8_t* d, Gfx_ImageFileInfo& info) {
    info.width = Le32(d + 6);
    info.height = Le32(d + 10);
    std::snprintf(info.variant, sizeof info.variant, "pixel format %d%s", static_cast<std::int32_t>(Le32(d + 22)),
                  static_cast<std::int32_t>(Le32(d + 26)) > 0 ? ", with palette" : "");
}

}  // namespace

bool Gfx_Codec_Fail(std::int32_t code, const char* site, const char* format, ...) {
    char text[400];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Gfx_SetError(code, 0, 0, "%s(stream)", site);
    Gfx_FailSummary(site);
    Gfx_SetErrorReason("%s", text);
    return false;
}

bool Gfx_Codec_SizeAllowed(std::uint64_t width, std::uint64_t height, std::uint64_t bytes,
                           std::uint64_t pixelsPerByte) {
    if (width == 0 || height == 0 || width > GFX_IMAGE_MAX_PIXELS || height > GFX_IMAGE_MAX_PIXELS) return false;
    const std::uint64_t pixels = width * height;
    if (pixels > GFX_IMAGE_MAX_PIXELS) return false;
    return pixelsPerByte == 0 || pixels <= kUnbackedPixels || pixels / pixelsPerByte <= bytes;
}

const char* Gfx_ImageFileTypeName(std::int32_t type) {
    switch (type) {
    case GFX_FILE_BMP: return "BMP";
    case GFX_FILE_PCX: return "PCX";
    case GFX_FILE_TGA: return "TGA";
    case GFX_FILE_PNG: return "PNG";
    case GFX_FILE_JPEG: return "JPEG";
    case GFX_FILE_GIF: return "GIF";
    case GFX_FILE_WEBP: return "WebP";
    case GFX_FILE_IMG: return "image object file";
    default: return "unknown";
    }
}

std::int32_t Gfx_Image_DetectType(const void* data, std::size_t size) {
    const auto* d = static_cast<const std::uint8_t*>(data);
    if (!d || size == 0) return GFX_FILE_UNKNOWN;
    if (StartsWith(d, size, "\x89PNG\r\n\x1a\n")) return GFX_FILE_PNG;
    if (size >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return GFX_FILE_JPEG;
    if (StartsWith(d, size, "GIF87a") || StartsWith(d, size, "GIF89a")) return GFX_FILE_GIF;
    if (StartsWith(d, size, "RIFF") && StartsWith(d, size, "WEBP", 8)) return GFX_FILE_WEBP;
    if (StartsWith(d, size, "BM") && size >= 18) return GFX_FILE_BMP;
    if (LooksLikeImageRecord(d, size)) return GFX_FILE_IMG;
    if (LooksLikePcx(d, size)) return GFX_FILE_PCX;
    if (LooksLikeTga(d, size)) return GFX_FILE_TGA;
    return GFX_FILE_UNKNOWN;
}

bool Gfx_Image_ReadMemoryInfo(const void* data, std::size_t size, Gfx_ImageFileInfo* info) {
    if (!info) return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Image_ReadFileInfo{info}", kInfoSite);
    *info = Gfx_ImageFileInfo{};
    const auto* d = static_cast<const std::uint8_t*>(data);
    info->type = Gfx_Image_DetectType(d, size);
    switch (info->type) {
    case GFX_FILE_BMP: DescribeBmp(d, size, *info); return true;
    case GFX_FILE_PCX: DescribePcx(d, *info); return true;
    case GFX_FILE_TGA: DescribeTga(d, *info); return true;
    case GFX_FILE_PNG: DescribePng(d, size, *info); return true;
    case GFX_FILE_IMG: DescribeRecord(d, *info); return true;
#if defined(QUILLORY_HAVE_JPEG)
    case GFX_FILE_JPEG: return Gfx_Jpeg_Describe(d, size, *info);
#endif
#if defined(QUILLORY_HAVE_GIF)
    case GFX_FILE_GIF: return Gfx_Gif_Describe(d, size, *info);
#endif
#if defined(QUILLORY_HAVE_WEBP)
    case GFX_FILE_WEBP: return Gfx_Webp_Describe(d, size, *info);
#endif
    case GFX_FILE_UNKNOWN: {
        const char* kind = size ? ForeignKind(d, size) : "it is empty";
        const std::string text =
            std::string("not an image file Quillory reads") + (kind ? std::string(" (") + kind + ")" : "");
        return Gfx_Codec_Fail(GFX_ERR_BAD_DATA, kInfoSite, "%s", text.c_str());
    }
    default: std::snprintf(info->variant, sizeof info->variant, "support not built in"); return true;
    }
}

bool Gfx_Image_ReadFileInfo(const char* path, Gfx_ImageFileInfo* info) {
    if (!path || !info) return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Image_ReadFileInfo{path}", kInfoSite);
    FileBytes bytes;
    if (!ReadWholeFile(path, bytes, kInfoSite)) return false;
    if (Gfx_Image_ReadMemoryInfo(bytes.data, bytes.size, info)) return true;
    const std::string reason = Gfx_GetErrorReason();
    NameReason(path, "%s", reason.c_str());
    return false;
}

bool Gfx_Image_LoadFile(C_Image* image, const char* path, std::int32_t format) {
    if (!image || !path) {
        if (image) Gfx_Image_Reset(*image);
        Gfx_Fail(GFX_ERR_NULL_ARG, image ? "Gfx_Image_LoadFile{path}" : "Gfx_Image_LoadFile{image}", kLoadSite);
        Gfx_SetErrorReason("Gfx_Image_LoadFile needs an image and a file name");
        return false;
    }
    Gfx_Image_Reset(*image);
    FileBytes bytes;
    if (!ReadWholeFile(path, bytes, kLoadSite)) return false;
    return Load(*image, bytes.data, bytes.size, kLoadSite, path, format);
}

bool Gfx_Image_LoadMemory(C_Image* image, const void* data, std::size_t size, std::int32_t format) {
    if (!image || (!data && size)) {
        if (image) Gfx_Image_Reset(*image);
        Gfx_Fail(GFX_ERR_NULL_ARG, image ? "Gfx_Image_LoadMemory{data}" : "Gfx_Image_LoadMemory{image}", kMemorySite);
        Gfx_SetErrorReason("Gfx_Image_LoadMemory needs an image and the file's bytes");
        return false;
    }
    Gfx_Image_Reset(*image);
    if (size > 0xFFFFFFFFu)
        return LoadFail(GFX_ERR_BAD_DATA, kMemorySite, kMemoryName, "more than 4 GiB, more than Quillory reads");
    return Load(*image, static_cast<const std::uint8_t*>(data), size, kMemorySite, kMemoryName, format);
}

bool Gfx_Image_SaveFile(const C_Image* image, const char* path, std::int32_t quality) {
    if (!image || !path || !*path) {
        Gfx_Fail(GFX_ERR_NULL_ARG, image ? "Gfx_Image_SaveFile{path}" : "Gfx_Image_SaveFile{image}", kSaveSite);
        Gfx_SetErrorReason("Gfx_Image_SaveFile needs an image and a file name");
        return false;
    }
    if (image->IsEmpty() || image->format <= 0)
        return SaveFail(GFX_ERR_NULL_ARG, path, "the picture has no pixels to write");
    quality = ClampQuality(quality);
    switch (KindOfName(path)) {
    case SaveKind::Png: return SavePng(*image, path);
    case SaveKind::Jpeg:
#if defined(QUILLORY_HAVE_JPEG)
        return SaveJpeg(*image, path, quality);
#else
        return SaveFail(GFX_ERR_FORMAT, path, "this Quillory was built without JPEG support (QUILLORY_WITH_JPEG=OFF)");
#endif
    case SaveKind::Webp:
#if defined(QUILLORY_HAVE_WEBP)
        return SaveWebp(*image, path, quality);
#else
        return SaveFail(GFX_ERR_FORMAT, path, "this Quillory was built without WebP support (QUILLORY_WITH_WEBP=OFF)");
#endif
    case SaveKind::Bmp: return SaveByWriter(Gfx_Image_SaveBMP(image, path), path);
    case SaveKind::Tga: return SaveByWriter(Gfx_Image_SaveTGA(image, path), path);
    default:
        return SaveFail(GFX_ERR_FORMAT, path,
                        "cannot tell which file type to write from the name; end it in .png, .jpg, .webp, .bmp "
                        "or .tga");
    }
}
