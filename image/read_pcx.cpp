// PCX reader: run-length encoded scanlines of one to four planes.
//
// What each file becomes:
//   - 8 bits, 1 plane, with the 256-colour palette at the end: GFX_FMT_INDEX8
//     with a GFX_FMT_RGB888 palette; without that palette, when the header
//     says grey: GFX_FMT_CH8;
//   - 8 bits, 3 planes: GFX_FMT_RGB888; 4 planes (red, green, blue, alpha):
//     GFX_FMT_ARGB8888;
//   - 1 bit in 1 plane (monochrome): GFX_FMT_INDEX8 with a black and white
//     palette;
//   - 1 bit in 2 to 4 planes (EGA 4-, 8- and 16-colour) and 2 or 4 bits in 1
//     plane: GFX_FMT_INDEX8 with the header's 16-entry palette, the rest of
//     the 256 entries black.
// Other layouts, and damaged files, are refused with a reason.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include "core/error.h"
#include "core/stream.h"
#include "image/image.h"
#include "image/internal/reader_support.h"

namespace {

constexpr const char* kSite = "C_Image::Load_PCX";
constexpr const char* kBadFile = "C_Image::LoadPCX(stream)";
constexpr std::size_t kHeaderSize = 128;
// The 256-colour palette: a marker byte 12, then 256 R, G, B triples, at the
// very end of the file.
constexpr std::uint8_t kPaletteMarker = 12;
constexpr std::uint64_t kPaletteTrailer = 769;
constexpr std::uint32_t kMaxRun = 63;

constexpr std::size_t kEgaPalette = 16;  // offset of the header's 16-entry palette
constexpr std::uint32_t kGreyPaletteInfo = 2;

struct PcxHeader {
    std::uint8_t manufacturer, version, bits, planes;
    std::int32_t width, height;
    std::uint32_t bytesPerLine, paletteInfo;
};

// How decoded scanlines become image rows.
enum class Layout { Index8, Rgb, Rgba, Planar, Packed };

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | static_cast<std::uint32_t>(p[1]) << 8; }

PcxHeader ParseHeader(const std::uint8_t* raw) {
    PcxHeader h{};
    h.manufacturer = raw[0];
    h.version = raw[1];
    h.bits = raw[3];
    h.width = static_cast<std::int32_t>(Le16(raw + 8)) - static_cast<std::int32_t>(Le16(raw + 4)) + 1;
    h.height = static_cast<std::int32_t>(Le16(raw + 10)) - static_cast<std::int32_t>(Le16(raw + 6)) + 1;
    h.planes = raw[65];
    h.bytesPerLine = Le16(raw + 66);
    h.paletteInfo = Le16(raw + 68);
    return h;
}

// The fewest encoded bytes that can produce `decoded` bytes: a two-byte run
// yields at most 63, a literal byte one.
std::uint64_t MinEncodedBytes(std::uint64_t decoded) { return 2 * (decoded / kMaxRun) + (decoded % kMaxRun != 0); }

struct FreeDeleter {
    void operator()(std::uint8_t* p) const { std::free(p); }
};
using ScanlineBuffer = std::unique_ptr<std::uint8_t, FreeDeleter>;

bool Fail(C_Image& image, std::int32_t code, const char* detail) {
    return Gfx_Image_Refuse(image, code, detail, kSite, "not enough memory for the picture");
}

bool Refuse(C_Image& image, const char* detail, const char* reason) {
    return Gfx_Image_Refuse(image, GFX_ERR_BAD_DATA, detail, kSite, "%s", reason);
}

// Copies one decoded scanline into image row y. Planar pixels take bit p of
// their index from plane p; packed ones are read leftmost in the high bits.
void EmitRow(C_Image& image, std::uint32_t y, const std::uint8_t* line, Layout layout, const PcxHeader& h) {
    std::uint8_t* out = image.data + std::size_t{y} * image.pitch;
    const std::size_t plane = h.bytesPerLine;
    switch (layout) {
    case Layout::Index8: std::memcpy(out, line, image.width); return;
    case Layout::Rgb:
    case Layout::Rgba: {
        const std::uint32_t step = layout == Layout::Rgba ? 4 : 3;
        for (std::uint32_t x = 0; x < image.width; ++x, out += step) {
            out[0] = line[2 * plane + x];
            out[1] = line[plane + x];
            out[2] = line[x];
            if (step == 4) out[3] = line[3 * plane + x];
        }
        return;
    }
    case Layout::Planar:
        for (std::uint32_t x = 0; x < image.width; ++x) {
            const std::uint32_t bit = 7 - (x & 7u);
            std::uint32_t index = 0;
            for (std::uint32_t p = 0; p < h.planes; ++p) index |= (line[p * plane + x / 8] >> bit & 1u) << p;
            out[x] = static_cast<std::uint8_t>(index);
        }
        return;
    case Layout::Packed: {
        const std::uint32_t perByte = 8 / h.bits;
        const std::uint32_t mask = (1u << h.bits) - 1;
        for (std::uint32_t x = 0; x < image.width; ++x)
            out[x] = static_cast<std::uint8_t>(line[x / perByte] >> (8 - h.bits - (x % perByte) * h.bits) & mask);
        return;
    }
    }
}

// The layout of a header's bits and planes, or false when it is not read.
bool LayoutOf(const PcxHeader& h, Layout& layout) {
    if (h.bits == 8) {
        if (h.planes == 1)
            layout = Layout::Index8;
        else if (h.planes == 3)
            layout = Layout::Rgb;
        else if (h.planes == 4)
            layout = Layout::Rgba;
        else
            return false;
        return true;
    }
    if (h.bits == 1 && h.planes >= 1 && h.planes <= 4) {
        layout = Layout::Planar;
        return true;
    }
    if ((h.bits == 2 || h.bits == 4) && h.planes == 1) {
        layout = Layout::Packed;
        return true;
    }
    return false;
}

// Decodes scanlines of `lineBytes` bytes until every image row is complete.
// Runs may cross scanline ends; a run reaching past the last row is cut off
// there. False when the data ends first.
bool Decode(C_ByteSource& in, C_Image& image, std::uint8_t* line, Layout layout, const PcxHeader& h) {
    const std::uint32_t lineBytes = h.bytesPerLine * h.planes;
    std::uint32_t fill = 0;
    std::uint32_t y = 0;
    while (y < image.height) {
        std::uint8_t value = 0;
        if (!in.ReadByte(value)) return false;
        std::uint32_t count = 1;
        if (value >= 0xC0) {
            count = value & 0x3Fu;
            if (!in.ReadByte(value)) return false;
        }
        while (count > 0 && y < image.height) {
            const std::uint32_t n = count < lineBytes - fill ? count : lineBytes - fill;
            std::memset(line + fill, value, n);
            fill += n;
            count -= n;
            if (fill == lineBytes) {
                EmitRow(image, y++, line, layout, h);
                fill = 0;
            }
        }
    }
    return true;
}

}  // namespace

bool C_Image::LoadPCX(C_Stream* stream) {
    Gfx_Image_Reset(*this);
    C_ByteSource in(stream);
    std::uint8_t raw[kHeaderSize];
    if (!in.Read(raw, sizeof raw)) return Refuse(*this, kBadFile, "PCX header is cut short");
    const PcxHeader h = ParseHeader(raw);
    Layout layout = Layout::Index8;
    if (!LayoutOf(h, layout))
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, "C_Image::LoadPCX{NPlanes}(stream)", kSite,
                                "PCX of %u bits per pixel in %u planes is not a layout Quillory reads", h.bits,
                                h.planes);
    const bool indexed = layout == Layout::Index8;
    if (indexed && (h.manufacturer != 0x0A || h.version != 0x05))
        return Refuse(*this, kBadFile, "not a PCX file of version 5, which 256-colour pictures need");
    if (!indexed && layout != Layout::Rgb && h.manufacturer != 0x0A)
        return Refuse(*this, kBadFile, "not a PCX file: its first byte is not 10");

    // Every size is checked against the data before anything is allocated:
    // each plane's line must hold a whole image row, and the file must be
    // long enough to encode every scanline.
    if (h.width <= 0 || h.height <= 0)
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, kBadFile, kSite, "PCX size %d × %d is impossible", h.width,
                                h.height);
    const auto w = static_cast<std::uint32_t>(h.width);
    const auto ht = static_cast<std::uint32_t>(h.height);
    if (std::uint64_t{h.bytesPerLine} * 8 < std::uint64_t{w} * h.bits)
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, kBadFile, kSite, "PCX lines of %u bytes cannot hold %u pixels",
                                h.bytesPerLine, w);
    if (std::uint64_t{w} * ht > GFX_READER_MAX_PIXELS)
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, kBadFile, kSite,
                                "PCX of %u × %u pixels is larger than the %llu pixels Quillory reads", w, ht,
                                static_cast<unsigned long long>(GFX_READER_MAX_PIXELS));
    const std::uint32_t outBytes = layout == Layout::Rgb ? 3 : layout == Layout::Rgba ? 4 : 1;
    const std::uint64_t imageBytes = std::uint64_t{w} * outBytes * ht;
    const std::uint64_t decoded = std::uint64_t{h.bytesPerLine} * h.planes * ht;
    if (in.Left() < MinEncodedBytes(decoded))
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, kBadFile, kSite,
                                "PCX data is cut short: %llu bytes cannot encode %llu",
                                static_cast<unsigned long long>(in.Left()), static_cast<unsigned long long>(decoded));
    // An 8-bit index file ends in its palette, unless it is grey.
    std::uint8_t marker = 0;
    const bool hasPalette = indexed && in.Left() >= MinEncodedBytes(decoded) + kPaletteTrailer &&
                            in.SeekTo(in.Size() - kPaletteTrailer) && in.ReadByte(marker) && marker == kPaletteMarker;
    const bool grey = indexed && !hasPalette && h.paletteInfo == kGreyPaletteInfo;
    if (indexed && !hasPalette && !grey) return Refuse(*this, kBadFile, "PCX 256-colour palette is missing");
    in.SeekTo(kHeaderSize);

    width = w;
    height = ht;
    format = grey                     ? GFX_FMT_CH8
             : layout == Layout::Rgb  ? GFX_FMT_RGB888
             : layout == Layout::Rgba ? GFX_FMT_ARGB8888
                                      : GFX_FMT_INDEX8;
    bpp = outBytes * 8;
    pitch = rowBytes = w * outBytes;
    const std::size_t lineBytes = std::size_t{h.bytesPerLine} * h.planes;
    ScanlineBuffer line;
    if (!indexed) {
        line.reset(static_cast<std::uint8_t*>(std::malloc(lineBytes)));
        if (!line) return Fail(*this, GFX_ERR_NO_MEMORY, "C_Image::LoadPCX{pixelRow}(stream)");
    }
    if (!Gfx_Image_AllocPixels(*this, imageBytes, false))
        return Fail(*this, GFX_ERR_NO_MEMORY, "C_Image::LoadPCX{data}(stream)");
    if (indexed) {
        line.reset(static_cast<std::uint8_t*>(std::malloc(lineBytes)));
        if (!line) return Fail(*this, GFX_ERR_NO_MEMORY, "C_Image::LoadPCX{pixelRow}(stream)");
    }
    if (!Decode(in, *this, line.get(), layout, h)) return Refuse(*this, kBadFile, "PCX pixel data is cut short");
    if (layout == Layout::Rgb || layout == Layout::Rgba || grey) return true;

    palFormat = GFX_FMT_RGB888;
    palBpp = 24;
    if (!Gfx_Image_AllocPalette(*this, 768))
        return Fail(*this, GFX_ERR_NO_MEMORY, "C_Image::LoadPCX{m_palette}(stream)");
    if (!indexed) {
        // Monochrome is black and white; the other small layouts use the
        // header's 16 entries.
        if (h.bits == 1 && h.planes == 1)
            std::memset(m_palette + 3, 0xFF, 3);
        else
            std::memcpy(m_palette, raw + kEgaPalette, 48);
    } else if (!in.SeekTo(in.Size() - kPaletteTrailer + 1) || !in.Read(m_palette, 768)) {
        return Refuse(*this, kBadFile, "PCX 256-colour palette is cut short");
    }
    // Stored R, G, B; the palette format keeps B, G, R.
    for (std::size_t i = 0; i < 768; i += 3) {
        const std::uint8_t red = m_palette[i];
        m_palette[i] = m_palette[i + 2];
        m_palette[i + 2] = red;
    }
    return true;
}
