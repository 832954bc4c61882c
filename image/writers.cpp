// BMP and TGA writers. Every image is first seen as rows of one of three
// shapes (palette indices, grey levels, B, G, R, A colour), which the two file
// layouts then store.
#include "image/writers.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "core/error.h"
#include "image/convert.h"
#include "image/format.h"
#include "image/image.h"
#include "image/internal/file_replace.h"
#include "image/internal/image_rows.h"
#include "image/internal/reader_support.h"

namespace {

constexpr const char* kBmpSite = "Gfx_Image_SaveBMP";
constexpr const char* kTgaSite = "Gfx_Image_SaveTGA";

bool Fail(std::int32_t code, const char* site, const char* member, const char* reason) {
    Gfx_SetError(code, 0, 0, "%s%s", site, member);
    Gfx_FailSummary(site);
    Gfx_SetErrorReason("%s", reason);
    return false;
}

bool FailWrite(const char* site, const char* path) {
    Gfx_SetError(GFX_ERR_OPEN_WRITE, 0, 0, "%s(%s)", site, path);
    Gfx_FailSummary(site);
    Gfx_SetErrorReason("the file cannot be created or written");
    return false;
}

enum class Shape { Index, Grey, Colour };

// The picture as the writers see it: row y (display order) as one byte per
// pixel (indices into `palette`, or grey levels) or as B, G, R, A bytes.
struct Source {
    const C_Image* image = nullptr;
    C_Image converted;  // wide and float formats, converted to 8-bit channels
    Gfx_FormatDesc desc{};
    Shape shape = Shape::Colour;
    bool alpha = false;
    std::uint8_t palette[256][4] = {};  // B, G, R, A
};

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t LoadLe(const std::uint8_t* p, std::uint32_t bytes) {
    std::uint32_t v = 0;
    for (std::uint32_t i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
    return v;
}

std::uint8_t Channel8(const Gfx_FormatDesc& d, std::uint32_t value, int c) {
    return Gfx_Widen8((value & d.mask[c]) >> d.shift[c], d.bits[c]);
}

// Reads the palette into B, G, R, A entries; false when there is none the
// writers can read (entries must be whole-byte integers of at most 32 bits).
bool ReadPalette(Source& s) {
    const C_Image& image = *s.image;
    Gfx_FormatDesc pd{};
    if (!image.m_palette || image.palFormat <= 0 || !Gfx_GetFormatDesc(image.palFormat, &pd)) return false;
    if (pd.kind != GFX_KIND_UINT || pd.isPalette || pd.bitsPerPixel % 8 != 0 || pd.bitsPerPixel > 32) return false;
    const std::uint32_t entryBytes = pd.bytesPerPixel;
    const std::uint32_t entries = std::min<std::uint32_t>(256, image.paletteSize / entryBytes);
    s.alpha = pd.bits[3] > 0;
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint32_t v = LoadLe(image.m_palette + std::size_t{i} * entryBytes, entryBytes);
        const bool grey = pd.channels == 1;
        const std::uint8_t red = Channel8(pd, v, 0);
        s.palette[i][0] = grey ? red : Channel8(pd, v, 2);
        s.palette[i][1] = grey ? red : Channel8(pd, v, 1);
        s.palette[i][2] = red;
        s.palette[i][3] = s.alpha ? Channel8(pd, v, 3) : 255;
    }
    for (std::uint32_t i = entries; i < 256; ++i) s.palette[i][3] = 255;
    return true;
}

// Sets up `s` for `image`; records the failure and returns false when the
// image cannot be written.
bool Prepare(Source& s, const C_Image* image, const char* site) {
    if (!image || image->IsEmpty()) return Fail(GFX_ERR_NULL_ARG, site, "{image}", "there is no picture to write");
    s.image = image;
    if (!Gfx_GetFormatDesc(image->format, &s.desc) || image->format <= 0 || image->format == GFX_FMT_CH1 ||
        (s.desc.channels == 1 && s.desc.kind != GFX_KIND_UINT && !s.desc.isPalette))
        return Fail(GFX_ERR_FORMAT, site, "{format}", "the picture's pixel format cannot be written to this file type");
    if (s.desc.isPalette) {
        s.shape = Shape::Index;
        if (!ReadPalette(s))
            return Fail(GFX_ERR_PALETTE_FORMAT, site, "{palFormat}", "the palette picture has no usable palette");
    } else if (s.desc.channels == 1) {
        s.shape = Shape::Grey;
    } else if (s.desc.kind != GFX_KIND_UINT || s.desc.bitsPerPixel > 32) {
        // Wide and float channels go through the converter to 8 bits.
        const std::int32_t to = s.desc.bits[3] ? GFX_FMT_ARGB8888 : GFX_FMT_RGB888;
        if (!Gfx_Image_Clone(image, &s.converted, to, GFX_FMT_NONE, 0)) return false;
        s.image = &s.converted;
        Gfx_GetFormatDesc(to, &s.desc);
    }
    if (s.shape == Shape::Colour) s.alpha = s.desc.bits[3] > 0;
    if (!Gfx_RowsFitBuffer(*s.image, Gfx_RowBytes(s.image->width, s.desc.bitsPerPixel)))
        return Fail(GFX_ERR_BAD_DATA, site, "{dataSize}", "the picture's rows reach past its pixel buffer");
    return true;
}

// Row y as one byte per pixel: indices (sub-byte ones leftmost in the high
// bits) or the grey channel's top 8 bits.
void SingleRow(const Source& s, std::uint32_t y, std::uint8_t* out) {
    const std::uint8_t* in = s.image->Row(y);
    const std::uint32_t width = s.image->width;
    const std::uint32_t bits = s.desc.bitsPerPixel;
    if (bits == 8) {
        std::memcpy(out, in, width);
    } else if (bits < 8) {
        const std::uint32_t perByte = 8 / bits;
        const std::uint32_t mask = (1u << bits) - 1;
        for (std::uint32_t x = 0; x < width; ++x)
            out[x] = static_cast<std::uint8_t>(in[x / perByte] >> (8 - bits - (x % perByte) * bits) & mask);
    } else {
        const std::uint32_t bytes = s.desc.bytesPerPixel;
        for (std::uint32_t x = 0; x < width; ++x, in += bytes) out[x] = in[bytes - 1];
    }
}

// Row y as B, G, R, A bytes.
void ColourRow(const Source& s, std::uint32_t y, std::uint8_t* out, std::uint8_t* scratch) {
    const std::uint32_t width = s.image->width;
    if (s.shape == Shape::Index) {
        SingleRow(s, y, scratch);
        for (std::uint32_t x = 0; x < width; ++x) std::memcpy(out + 4 * std::size_t{x}, s.palette[scratch[x]], 4);
        return;
    }
    const std::uint8_t* in = s.image->Row(y);
    if (s.image->format == GFX_FMT_ARGB8888) {
        std::memcpy(out, in, std::size_t{width} * 4);
        return;
    }
    const Gfx_FormatDesc& d = s.desc;
    const std::uint32_t bytes = d.bytesPerPixel;
    for (std::uint32_t x = 0; x < width; ++x, in += bytes, out += 4) {
        const std::uint32_t v = LoadLe(in, bytes);
        out[0] = Channel8(d, v, 2);
        out[1] = Channel8(d, v, 1);
        out[2] = Channel8(d, v, 0);
        out[3] = d.bits[3] ? Channel8(d, v, 3) : 255;
    }
}

// Writes `bytes` and reports whether all went out.
bool Put(std::FILE* file, const std::vector<std::uint8_t>& bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

// Runs `write` against a temporary file and moves it into place.
template <typename Write>
bool WriteAtomically(const char* site, const char* path, Write write) {
    if (!path) return FailWrite(site, "(null)");
    C_FileReplace out;
    if (!out.Begin(path) || !write(out.File()) || !out.Commit()) {
        out.Discard();
        return FailWrite(site, path);
    }
    return true;
}

// ---------------------------------------------------------------- BMP

constexpr std::uint32_t kBmpFileHeader = 14;
constexpr std::uint32_t kBmpInfoHeader = 40;
constexpr std::uint32_t kBmpV4Header = 108;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kSrgbSpace = 0x73524742;  // "sRGB"
constexpr std::uint32_t kPixelsPerMetre = 2835;   // 72 dots per inch

std::vector<std::uint8_t> BmpHeaders(const Source& s, std::uint32_t bits, std::uint32_t pixelBytes) {
    const bool v4 = bits == 32;
    const std::uint32_t infoSize = v4 ? kBmpV4Header : kBmpInfoHeader;
    const std::uint32_t paletteBytes = bits == 8 ? 1024 : 0;
    const std::uint32_t offBits = kBmpFileHeader + infoSize + paletteBytes;
    std::vector<std::uint8_t> h;
    PutLe(h, 0x4D42, 2);
    PutLe(h, offBits + pixelBytes, 4);
    PutLe(h, 0, 4);
    PutLe(h, offBits, 4);
    PutLe(h, infoSize, 4);
    PutLe(h, s.image->width, 4);
    PutLe(h, s.image->height, 4);  // positive: the bottom row comes first
    PutLe(h, 1, 2);
    PutLe(h, bits, 2);
    PutLe(h, v4 ? kBiBitfields : kBiRgb, 4);
    PutLe(h, pixelBytes, 4);
    PutLe(h, kPixelsPerMetre, 4);
    PutLe(h, kPixelsPerMetre, 4);
    PutLe(h, bits == 8 ? 256 : 0, 4);
    PutLe(h, 0, 4);
    if (v4) {
        for (std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u}) PutLe(h, mask, 4);
        PutLe(h, kSrgbSpace, 4);
        h.resize(kBmpFileHeader + kBmpV4Header, 0);  // end points and gamma, unused with sRGB
    }
    for (std::uint32_t i = 0; i < paletteBytes / 4; ++i) {
        const bool grey = s.shape == Shape::Grey;
        const auto level = static_cast<std::uint8_t>(i);
        h.push_back(grey ? level : s.palette[i][0]);
        h.push_back(grey ? level : s.palette[i][1]);
        h.push_back(grey ? level : s.palette[i][2]);
        h.push_back(0);
    }
    return h;
}

bool SaveBmp(const C_Image* image, const char* path) {
    Source s;
    if (!Prepare(s, image, kBmpSite)) return false;
    const std::uint32_t bits = s.shape != Shape::Colour ? 8 : s.alpha ? 32 : 24;
    const std::uint32_t width = s.image->width;
    const std::uint32_t height = s.image->height;
    const std::uint64_t stride = (std::uint64_t{width} * bits + 31) / 32 * 4;
    const std::uint64_t pixelBytes = stride * height;
    if (width > std::numeric_limits<std::int32_t>::max() || height > std::numeric_limits<std::int32_t>::max() ||
        pixelBytes + kBmpFileHeader + kBmpV4Header + 1024 > std::numeric_limits<std::uint32_t>::max())
        return Fail(GFX_ERR_BAD_DATA, kBmpSite, "{dataSize}", "the picture is too large for a BMP file");

    std::vector<std::uint8_t> row;
    std::vector<std::uint8_t> colour;
    std::vector<std::uint8_t> scratch;
    row.reserve(stride);
    colour.resize(std::size_t{width} * 4);
    scratch.resize(width);
    const std::vector<std::uint8_t> headers = BmpHeaders(s, bits, static_cast<std::uint32_t>(pixelBytes));
    return WriteAtomically(kBmpSite, path, [&](std::FILE* file) {
        if (!Put(file, headers)) return false;
        for (std::uint32_t i = 0; i < height; ++i) {
            const std::uint32_t y = height - 1 - i;
            row.assign(stride, 0);
            if (bits == 8) {
                SingleRow(s, y, row.data());
            } else {
                ColourRow(s, y, colour.data(), scratch.data());
                if (bits == 32) {
                    std::memcpy(row.data(), colour.data(), colour.size());
                } else {
                    for (std::uint32_t x = 0; x < width; ++x)
                        std::memcpy(&row[3 * std::size_t{x}], &colour[4 * std::size_t{x}], 3);
                }
            }
            if (!Put(file, row)) return false;
        }
        return true;
    });
}

// ---------------------------------------------------------------- TGA

constexpr std::uint8_t kTgaRleColour = 10;
constexpr std::uint8_t kTgaRleGrey = 11;
constexpr std::uint8_t kTgaTopLeft = 0x20;
constexpr std::uint32_t kTgaMaxPacket = 128;
constexpr std::uint32_t kTgaMaxSide = 0xFFFF;
// The signature of the format's newer revision, with no extension or
// developer area.
constexpr char kTgaFooterSignature[] = "TRUEVISION-XFILE.";

// Appends one row of `count` pixels of `size` bytes as run-length packets
// that do not cross the row's end. Two equal pixels or more make a run.
void EncodeRow(const std::uint8_t* pixels, std::uint32_t count, std::uint32_t size, std::vector<std::uint8_t>& out) {
    const auto same = [&](std::uint32_t a, std::uint32_t b) {
        return std::memcmp(pixels + std::size_t{a} * size, pixels + std::size_t{b} * size, size) == 0;
    };
    std::uint32_t x = 0;
    while (x < count) {
        std::uint32_t run = 1;
        while (x + run < count && run < kTgaMaxPacket && same(x, x + run)) ++run;
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(127 + run));
            out.insert(out.end(), pixels + std::size_t{x} * size, pixels + std::size_t{x + 1} * size);
            x += run;
            continue;
        }
        std::uint32_t literal = 1;
        while (x + literal < count && literal < kTgaMaxPacket &&
               !(x + literal + 1 < count && same(x + literal, x + literal + 1)))
            ++literal;
        out.push_back(static_cast<std::uint8_t>(literal - 1));
        out.insert(out.end(), pixels + std::size_t{x} * size, pixels + std::size_t{x + literal} * size);
        x += literal;
    }
}

bool SaveTga(const C_Image* image, const char* path) {
    Source s;
    if (!Prepare(s, image, kTgaSite)) return false;
    const std::uint32_t width = s.image->width;
    const std::uint32_t height = s.image->height;
    if (width > kTgaMaxSide || height > kTgaMaxSide)
        return Fail(GFX_ERR_BAD_DATA, kTgaSite, "{dataSize}",
                    "the picture is too large for a TGA file (65535 pixels a side at most)");
    const bool grey = s.shape == Shape::Grey;
    const std::uint32_t size = grey ? 1 : s.alpha ? 4 : 3;

    std::vector<std::uint8_t> head(18, 0);
    head[2] = grey ? kTgaRleGrey : kTgaRleColour;
    head[12] = static_cast<std::uint8_t>(width);
    head[13] = static_cast<std::uint8_t>(width >> 8);
    head[14] = static_cast<std::uint8_t>(height);
    head[15] = static_cast<std::uint8_t>(height >> 8);
    head[16] = static_cast<std::uint8_t>(size * 8);
    head[17] = static_cast<std::uint8_t>(kTgaTopLeft | (size == 4 ? 8 : 0));

    std::vector<std::uint8_t> pixels(std::size_t{width} * 4);
    std::vector<std::uint8_t> scratch(width);
    std::vector<std::uint8_t> packed;
    packed.reserve(std::size_t{width} * (size + 1));
    return WriteAtomically(kTgaSite, path, [&](std::FILE* file) {
        if (!Put(file, head)) return false;
        for (std::uint32_t y = 0; y < height; ++y) {
            if (grey) {
                SingleRow(s, y, pixels.data());
            } else {
                ColourRow(s, y, pixels.data(), scratch.data());
                if (size == 3)
                    for (std::uint32_t x = 1; x < width; ++x)
                        std::memmove(&pixels[3 * std::size_t{x}], &pixels[4 * std::size_t{x}], 3);
            }
            packed.clear();
            EncodeRow(pixels.data(), width, size, packed);
            if (!Put(file, packed)) return false;
        }
        std::vector<std::uint8_t> footer(8, 0);
        footer.insert(footer.end(), kTgaFooterSignature, kTgaFooterSignature + sizeof kTgaFooterSignature);
        return Put(file, footer);
    });
}

}  // namespace

bool Gfx_Image_SaveBMP(const C_Image* image, const char* path) { return SaveBmp(image, path); }

bool Gfx_Image_SaveTGA(const C_Image* image, const char* path) { return SaveTga(image, path); }
