// PCX reader: run-length encoded 24-bit (three 8-bit planes) and 8-bit files
// with a 256-colour palette at the end.
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

struct PcxHeader {
    std::uint8_t manufacturer, version, planes;
    std::int32_t width, height;
    std::uint32_t bytesPerLine;
};

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | static_cast<std::uint32_t>(p[1]) << 8; }

PcxHeader ParseHeader(const std::uint8_t* raw) {
    PcxHeader h{};
    h.manufacturer = raw[0];
    h.version = raw[1];
    h.width = static_cast<std::int32_t>(Le16(raw + 8)) - static_cast<std::int32_t>(Le16(raw + 4)) + 1;
    h.height = static_cast<std::int32_t>(Le16(raw + 10)) - static_cast<std::int32_t>(Le16(raw + 6)) + 1;
    h.planes = raw[65];
    h.bytesPerLine = Le16(raw + 66);
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
    Gfx_Image_Reset(image);
    return Gfx_Fail(code, detail, kSite);
}

// Copies one decoded scanline into image row y: the first `width` index
// bytes, or the red, green and blue planes interleaved into B, G, R pixels.
void EmitRow(C_Image& image, std::uint32_t y, const std::uint8_t* line, std::uint32_t planes,
             std::uint32_t bytesPerLine) {
    std::uint8_t* out = image.data + std::size_t{y} * image.pitch;
    if (planes == 1) {
        std::memcpy(out, line, image.width);
        return;
    }
    const std::uint8_t* red = line;
    const std::uint8_t* green = line + bytesPerLine;
    const std::uint8_t* blue = line + 2 * std::size_t{bytesPerLine};
    for (std::uint32_t x = 0; x < image.width; ++x, out += 3) {
        out[0] = blue[x];
        out[1] = green[x];
        out[2] = red[x];
    }
}

// Decodes scanlines of `lineBytes` bytes until every image row is complete.
// Runs may cross scanline ends; a run reaching past the last row is cut off
// there. False when the data ends first.
bool Decode(C_ByteSource& in, C_Image& image, std::uint8_t* line, std::uint32_t planes, std::uint32_t bytesPerLine) {
    const std::uint32_t lineBytes = bytesPerLine * planes;
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
                EmitRow(image, y++, line, planes, bytesPerLine);
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
    if (!in.Read(raw, sizeof raw)) return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);
    const PcxHeader h = ParseHeader(raw);
    if (h.planes != 1 && h.planes != 3) return true;  // other layouts are not read
    const bool indexed = h.planes == 1;
    if (indexed && (h.manufacturer != 0x0A || h.version != 0x05)) return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);

    // Every size is checked against the data before anything is allocated:
    // each plane's line must hold a whole image row, and the file must be
    // long enough to encode every scanline (and carry the palette).
    if (h.width <= 0 || h.height <= 0 || h.bytesPerLine < static_cast<std::uint32_t>(h.width))
        return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);
    const auto w = static_cast<std::uint32_t>(h.width);
    const auto ht = static_cast<std::uint32_t>(h.height);
    const std::uint64_t row = std::uint64_t{w} * h.planes;
    const std::uint64_t imageBytes = row * ht;
    const std::uint64_t decoded = std::uint64_t{h.bytesPerLine} * h.planes * ht;
    const std::uint64_t trailer = indexed ? kPaletteTrailer : 0;
    if (imageBytes > std::numeric_limits<std::uint32_t>::max() || in.Left() < MinEncodedBytes(decoded) + trailer)
        return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);

    width = w;
    height = ht;
    format = indexed ? GFX_FMT_INDEX8 : GFX_FMT_RGB888;
    bpp = indexed ? 8 : 24;
    pitch = rowBytes = static_cast<std::uint32_t>(row);
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
    if (!Decode(in, *this, line.get(), h.planes, h.bytesPerLine)) return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);
    if (!indexed) return true;

    std::uint8_t marker = 0;
    if (!in.SeekTo(in.Size() - kPaletteTrailer) || !in.ReadByte(marker) || marker != kPaletteMarker)
        return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);
    palFormat = GFX_FMT_RGB888;
    palBpp = 24;
    if (!Gfx_Image_AllocPalette(*this, 768))
        return Fail(*this, GFX_ERR_NO_MEMORY, "C_Image::LoadPCX{m_palette}(stream)");
    if (!in.Read(m_palette, 768)) return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);
    // Stored R, G, B; the palette format keeps B, G, R.
    for (std::size_t i = 0; i < 768; i += 3) {
        const std::uint8_t red = m_palette[i];
        m_palette[i] = m_palette[i + 2];
        m_palette[i + 2] = red;
    }
    return true;
}
