// BMP reader.
//
// Headers: OS/2 1.x (12 bytes, 3-byte palette entries), OS/2 2.x (16 to 64
// bytes), and the Windows information header with its V2, V3, V4 and V5
// extensions (40, 52, 56, 108, 124 bytes; longer ones are read as far as
// they are known). Rows bottom-up, or top-down for a negative height.
//
// What each file becomes:
//   - 1, 2, 4 and 8 bits, uncompressed or run-length encoded (RLE4, RLE8):
//     GFX_FMT_INDEX8 with a 256-entry GFX_FMT_RGB888 palette. Entries the
//     file's palette does not hold are black; pixels a run-length file skips
//     (delta moves, early line or bitmap ends) are index 0.
//   - 24 bits: GFX_FMT_RGB888, the file's bytes as they are.
//   - 16 and 32 bits, plain (5-5-5 and 8-8-8) or with bit-field masks:
//     GFX_FMT_ARGB8888 when an alpha mask is given, else GFX_FMT_RGB888.
//     Channels narrower than 8 bits are widened by repeating their bits
//     (5-bit 16 gives 132), wider ones keep their top 8 bits. Plain 32-bit
//     files are opaque: their fourth byte is not alpha.
// Refused with a reason: compressions that are not pixel data of their own
// (JPEG or PNG inside a BMP, OS/2 Huffman and 24-bit run-length), bit counts
// and plane counts the format does not have, impossible header sizes,
// masks that are not one run of bits, pixel data cut short, more than 2^28
// pixels.
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "core/error.h"
#include "core/stream.h"
#include "image/image.h"
#include "image/internal/reader_support.h"

namespace {

constexpr const char* kSite = "C_Image::Load_BMP";
constexpr const char* kBadFile = "C_Image::LoadBMP(stream)";
constexpr std::uint16_t kMagic = 0x4D42;  // "BM"
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;  // OS/2 1.x
constexpr std::uint32_t kOs2MinHeaderSize = 16;
constexpr std::uint32_t kOs2HeaderSize = 64;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kV5HeaderSize = 124;
// Longer headers than any known one are taken up to this size; anything
// beyond is not a real header.
constexpr std::uint32_t kMaxHeaderSize = 4096;
// Up to this many pixels (bytes, in the 8-bit index image; 2048 × 2048) are
// allocated for run-length data whatever its length.
constexpr std::uint64_t kUnbackedLimit = 4ull << 20;

enum : std::uint32_t {
    kBiRgb = 0,
    kBiRle8 = 1,
    kBiRle4 = 2,
    kBiBitfields = 3,
    kBiJpeg = 4,
    kBiPng = 5,
    kBiAlphaBitfields = 6,
};

struct BmpHeader {
    std::uint32_t offBits = 0;
    std::uint32_t headerSize = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t planes = 0;
    std::uint32_t bits = 0;
    std::uint32_t compression = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t masks[4] = {};  // red, green, blue, alpha
    bool core = false;            // OS/2 1.x: 16-bit sizes, 3-byte palette entries
    bool os2 = false;             // OS/2 2.x: compressions 3 and 4 mean other things
};

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | static_cast<std::uint32_t>(p[1]) << 8; }
std::uint32_t Le32(const std::uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

bool Refuse(C_Image& image, const char* detail, const char* reason) {
    return Gfx_Image_Refuse(image, GFX_ERR_BAD_DATA, detail, kSite, "%s", reason);
}

// Reads the file header and the information header, whatever its kind.
// False with the reason recorded when the headers cannot be read.
bool ReadHeader(C_ByteSource& in, C_Image& image, BmpHeader& h) {
    std::uint8_t file[kFileHeaderSize];
    std::uint8_t sizeBytes[4];
    if (!in.Read(file, sizeof file) || Le16(file) != kMagic)
        return Refuse(image, kBadFile, "not a BMP file: it does not start with \"BM\"");
    if (!in.Read(sizeBytes, sizeof sizeBytes)) return Refuse(image, kBadFile, "BMP header is cut short");
    h.offBits = Le32(file + 10);
    h.headerSize = Le32(sizeBytes);
    const std::uint32_t size = h.headerSize;
    if (size != kCoreHeaderSize && (size < kOs2MinHeaderSize || size > kMaxHeaderSize))
        return Gfx_Image_Refuse(image, GFX_ERR_BAD_DATA, kBadFile, kSite,
                                "BMP information header size %u is not that of any BMP version", size);
    std::uint8_t raw[kV5HeaderSize] = {};
    const std::uint32_t known = (size < kV5HeaderSize ? size : kV5HeaderSize) - 4;
    if (!in.Read(raw + 4, known)) return Refuse(image, kBadFile, "BMP header is cut short");
    if (size == kCoreHeaderSize) {
        h.core = true;
        h.width = Le16(raw + 4);
        h.height = Le16(raw + 6);
        h.planes = Le16(raw + 8);
        h.bits = Le16(raw + 10);
        return true;
    }
    h.os2 = size == kOs2HeaderSize || size < kInfoHeaderSize;
    h.width = static_cast<std::int32_t>(Le32(raw + 4));
    h.height = static_cast<std::int32_t>(Le32(raw + 8));
    h.planes = Le16(raw + 12);
    h.bits = Le16(raw + 14);
    h.compression = Le32(raw + 16);
    h.clrUsed = Le32(raw + 32);
    if (h.os2) return true;
    // Masks: inside V2 and later headers, else right after the 40 bytes.
    const bool bitfields = h.compression == kBiBitfields || h.compression == kBiAlphaBitfields;
    if (size >= 52) {
        for (int c = 0; c < 3; ++c) h.masks[c] = Le32(raw + 40 + 4 * c);
        if (size >= 56) h.masks[3] = Le32(raw + 52);
    } else if (bitfields) {
        std::uint8_t extra[16];
        const std::uint32_t count = h.compression == kBiAlphaBitfields ? 4 : 3;
        if (!in.Read(extra, 4 * count)) return Refuse(image, kBadFile, "BMP bit-field masks are cut short");
        for (std::uint32_t c = 0; c < count; ++c) h.masks[c] = Le32(extra + 4 * c);
    }
    return true;
}

// Why a compression is not read, or null when it is.
const char* CompressionProblem(const BmpHeader& h) {
    switch (h.compression) {
    case kBiRgb:
        return h.bits == 1 || h.bits == 2 || h.bits == 4 || h.bits == 8 || h.bits == 16 || h.bits == 24 || h.bits == 32
                   ? nullptr
                   : "";
    case kBiRle8: return h.bits == 8 ? nullptr : "BMP run-length compression RLE8 needs 8 bits per pixel";
    case kBiRle4: return h.bits == 4 ? nullptr : "BMP run-length compression RLE4 needs 4 bits per pixel";
    case kBiBitfields:
        if (h.os2) return "BMP compression 3 (OS/2 Huffman) is not supported";
        return h.bits == 16 || h.bits == 32 ? nullptr : "BMP bit-field masks need 16 or 32 bits per pixel";
    case kBiAlphaBitfields:
        return h.bits == 16 || h.bits == 32 ? nullptr : "BMP bit-field masks need 16 or 32 bits per pixel";
    case kBiJpeg:
        return h.os2 ? "BMP compression 4 (OS/2 24-bit run-length) is not supported"
                     : "BMP compression 4 (JPEG inside BMP) is not supported";
    case kBiPng: return "BMP compression 5 (PNG inside BMP) is not supported";
    default: return "BMP compression is of no known kind";
    }
}

// One channel of a bit-field pixel: its top 8 bits (at most) and the table
// that widens them to 8.
struct ChannelReader {
    std::uint32_t shift = 0;
    std::uint32_t mask = 0;
    std::uint8_t widen[256] = {};
};

bool OneRunOfBits(std::uint32_t mask) {
    if (mask == 0) return true;
    while ((mask & 1u) == 0) mask >>= 1;
    return (mask & (mask + 1)) == 0;
}

void SetUpChannel(ChannelReader& c, std::uint32_t mask) {
    if (mask == 0) return;
    std::uint32_t shift = 0;
    while ((mask >> shift & 1u) == 0) ++shift;
    std::uint32_t width = 0;
    while (shift + width < 32 && (mask >> (shift + width) & 1u)) ++width;
    const std::uint32_t keep = width < 8 ? width : 8;
    c.shift = shift + (width - keep);
    c.mask = (1u << keep) - 1;
    for (std::uint32_t v = 0; v <= c.mask; ++v) c.widen[v] = Gfx_Widen8(v, keep);
}

// Turns rows of 16- or 32-bit bit-field pixels into B, G, R (and A) bytes.
class BitfieldRows {
public:
    BitfieldRows(const std::uint32_t* masks, std::uint32_t bits) : m_bytes(bits / 8), m_alpha(masks[3] != 0) {
        for (int c = 0; c < 4; ++c) SetUpChannel(m_channels[c], masks[c]);
        m_plain = bits == 32 && masks[0] == 0xFF0000u && masks[1] == 0xFF00u && masks[2] == 0xFFu &&
                  (masks[3] == 0 || masks[3] == 0xFF000000u);
    }

    void Convert(const std::uint8_t* in, std::uint8_t* out, std::uint32_t width) const {
        if (m_plain && m_alpha) {
            std::memcpy(out, in, std::size_t{width} * 4);  // already B, G, R, A
        } else if (m_plain) {
            for (std::uint32_t x = 0; x < width; ++x, in += 4, out += 3) std::memcpy(out, in, 3);
        } else if (m_bytes == 2) {
            Generic<2>(in, out, width);
        } else {
            Generic<4>(in, out, width);
        }
    }

private:
    template <std::uint32_t Bytes>
    void Generic(const std::uint8_t* in, std::uint8_t* out, std::uint32_t width) const {
        const ChannelReader& r = m_channels[0];
        const ChannelReader& g = m_channels[1];
        const ChannelReader& b = m_channels[2];
        const ChannelReader& a = m_channels[3];
        const std::uint32_t step = m_alpha ? 4 : 3;
        for (std::uint32_t x = 0; x < width; ++x, in += Bytes, out += step) {
            std::uint32_t v = 0;
            std::memcpy(&v, in, Bytes);
            out[0] = b.widen[v >> b.shift & b.mask];
            out[1] = g.widen[v >> g.shift & g.mask];
            out[2] = r.widen[v >> r.shift & r.mask];
            if (m_alpha) out[3] = a.widen[v >> a.shift & a.mask];
        }
    }

    std::uint32_t m_bytes;
    bool m_alpha;
    bool m_plain = false;
    ChannelReader m_channels[4];
};

// Reads the palette: `count` entries of `entryBytes` (B, G, R[, unused]) into
// the 768-byte B, G, R palette; entries beyond `count` stay zero.
bool ReadPalette(C_ByteSource& in, std::uint8_t* palette, std::uint32_t count, std::uint32_t entryBytes) {
    std::uint8_t entry[4];
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!in.Read(entry, entryBytes)) return false;
        std::memcpy(palette + 3 * std::size_t{i}, entry, 3);
    }
    return true;
}

// Expands one row of 1-, 2- or 4-bit indices (leftmost pixel in the high
// bits) to one byte per pixel.
void ExpandIndices(const std::uint8_t* in, std::uint8_t* out, std::uint32_t width, std::uint32_t bits) {
    const std::uint32_t perByte = 8 / bits;
    const std::uint32_t mask = (1u << bits) - 1;
    for (std::uint32_t x = 0; x < width; ++x)
        out[x] = static_cast<std::uint8_t>(in[x / perByte] >> (8 - bits - (x % perByte) * bits) & mask);
}

// Decodes RLE8 or RLE4 data into the zeroed index image. File row 0 is the
// image's row `rowOf(0)`. Pixels reaching past a row's end are dropped. False
// when the data ends before the bitmap's end marker while rows remain.
template <typename RowOf>
bool DecodeRunLength(C_ByteSource& in, C_Image& image, bool fourBit, RowOf rowOf) {
    const std::uint32_t width = image.width;
    const std::uint32_t height = image.height;
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    const auto put = [&](std::uint8_t index) {
        if (x < width && y < height) image.data[std::size_t{rowOf(y)} * image.pitch + x] = index;
        ++x;
    };
    while (y < height) {
        std::uint8_t pair[2];
        if (!in.Read(pair, 2)) return false;
        if (pair[0] > 0) {
            for (std::uint32_t i = 0; i < pair[0] && x < width; ++i)
                put(fourBit ? (i & 1u ? pair[1] & 0x0F : pair[1] >> 4) : pair[1]);
            continue;
        }
        switch (pair[1]) {
        case 0:  // end of line
            x = 0;
            ++y;
            break;
        case 1:  // end of bitmap
            return true;
        case 2: {  // delta: move right and up
            std::uint8_t move[2];
            if (!in.Read(move, 2)) return false;
            x = x + move[0] < width ? x + move[0] : width;
            y += move[1];
            break;
        }
        default: {  // absolute run of pair[1] pixels, padded to 16 bits
            const std::uint32_t count = pair[1];
            const std::uint32_t bytes = fourBit ? (count + 1) / 2 : count;
            std::uint8_t literal[256];
            if (!in.Read(literal, bytes + (bytes & 1u))) return false;
            for (std::uint32_t i = 0; i < count && x < width; ++i)
                put(fourBit ? (i & 1u ? literal[i / 2] & 0x0F : literal[i / 2] >> 4) : literal[i]);
            break;
        }
        }
    }
    return true;
}

}  // namespace

bool C_Image::LoadBMP(C_Stream* stream) {
    Gfx_Image_Reset(*this);
    C_ByteSource in(stream);
    BmpHeader h;
    if (!ReadHeader(in, *this, h)) return false;

    // Sizes: a negative height is a top-down bitmap.
    if (h.width <= 0 || h.height == 0 || h.height == std::numeric_limits<std::int32_t>::min())
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, kBadFile, kSite, "BMP size %lld × %lld is impossible",
                                static_cast<long long>(h.width), static_cast<long long>(h.height));
    if (h.planes != 1)
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, "C_Image::LoadBMP{biPlanes}(stream)", kSite,
                                "BMP plane count is %u; it must be 1", h.planes);
    if (const char* problem = CompressionProblem(h)) {
        if (*problem) return Refuse(*this, kBadFile, problem);
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, "C_Image::LoadBMP{biBitCount}(stream)", kSite,
                                "BMP bit count %u is not supported", h.bits);
    }
    const bool topDown = h.height < 0;
    const auto w = static_cast<std::uint32_t>(h.width);
    const auto ht = static_cast<std::uint32_t>(topDown ? -h.height : h.height);
    if (std::uint64_t{w} * ht > GFX_READER_MAX_PIXELS)
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, kBadFile, kSite,
                                "BMP of %u × %u pixels is larger than the %llu pixels Quillory reads", w, ht,
                                static_cast<unsigned long long>(GFX_READER_MAX_PIXELS));

    // Bit fields: defaults for the plain 16- and 32-bit layouts, and masks
    // that are one run of bits each, within the pixel.
    const std::uint32_t bits = h.bits;
    const bool fields = h.compression == kBiBitfields || h.compression == kBiAlphaBitfields;
    if (!fields || (h.masks[0] | h.masks[1] | h.masks[2]) == 0) {
        const bool five = bits == 16;
        h.masks[0] = five ? 0x7C00u : 0xFF0000u;
        h.masks[1] = five ? 0x03E0u : 0xFF00u;
        h.masks[2] = five ? 0x001Fu : 0xFFu;
        if (!fields) h.masks[3] = 0;
    }
    if (bits == 16 || bits == 32) {
        for (const std::uint32_t mask : h.masks) {
            if (!OneRunOfBits(mask) || (bits == 16 && mask > 0xFFFFu))
                return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, "C_Image::LoadBMP{masks}(stream)", kSite,
                                        "BMP bit-field mask 0x%08X is not one run of bits within the pixel", mask);
        }
    }

    const bool runLength = h.compression == kBiRle8 || h.compression == kBiRle4;
    const bool indexed = bits <= 8;
    const bool alpha = (bits == 16 || bits == 32) && h.masks[3] != 0;
    const std::uint32_t outBytes = indexed ? 1 : alpha ? 4 : 3;
    const std::uint64_t stride = (std::uint64_t{w} * bits + 31) / 32 * 4;
    const std::uint64_t fileRow = (std::uint64_t{w} * bits + 7) / 8;
    const std::uint64_t pixelStart = h.offBits;
    const std::uint64_t masksBytes =
        (!h.core && h.headerSize < 52 && fields) ? 4u * (h.compression == kBiAlphaBitfields ? 4 : 3) : 0;
    const std::uint64_t paletteStart = kFileHeaderSize + std::uint64_t{h.headerSize} + masksBytes;
    if (pixelStart < kFileHeaderSize + std::uint64_t{h.headerSize} || pixelStart > in.Size())
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, kBadFile, kSite,
                                "BMP pixel data offset %u lies outside the file", h.offBits);
    // The last row's padding may be missing without harm.
    const std::uint64_t fileBytes = stride * (ht - 1) + fileRow;
    if (!runLength && fileBytes > in.Size() - pixelStart)
        return Gfx_Image_Refuse(
            *this, GFX_ERR_BAD_DATA, kBadFile, kSite, "BMP pixel data is cut short: %llu of %llu bytes",
            static_cast<unsigned long long>(in.Size() - pixelStart), static_cast<unsigned long long>(fileBytes));

    // Run-length data may end lines and the bitmap early, so a short stream
    // can describe a large picture; beyond kUnbackedLimit the stream must be
    // long enough to fill every row with runs of 255.
    if (runLength) {
        const std::uint64_t runs = 2 * ((std::uint64_t{w} + 254) / 255) * ht;
        if (std::uint64_t{w} * ht > kUnbackedLimit && in.Size() - pixelStart < runs)
            return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, "C_Image::LoadBMP{rle}(stream)", kSite,
                                    "BMP run-length data of %llu bytes cannot fill a picture of %u × %u pixels",
                                    static_cast<unsigned long long>(in.Size() - pixelStart), w, ht);
    }
    if (indexed) {
        // The palette follows the headers; it holds the entries the header
        // counts, or all the bit count allows, but never runs into the pixels.
        const std::uint32_t most = 1u << bits;
        const std::uint32_t entryBytes = h.core ? 3 : 4;
        std::uint64_t entries = (h.clrUsed >= 1 && h.clrUsed <= most) ? h.clrUsed : most;
        if (pixelStart >= paletteStart && (pixelStart - paletteStart) / entryBytes < entries)
            entries = (pixelStart - paletteStart) / entryBytes;
        palFormat = GFX_FMT_RGB888;
        palBpp = 24;
        if (!Gfx_Image_AllocPalette(*this, 768))
            return Gfx_Image_Refuse(*this, GFX_ERR_NO_MEMORY, "C_Image::LoadBMP{m_palette}(stream)", kSite,
                                    "not enough memory for the palette");
        if (!in.SeekTo(paletteStart) || !ReadPalette(in, m_palette, static_cast<std::uint32_t>(entries), entryBytes))
            return Refuse(*this, kBadFile, "BMP palette is cut short");
    }

    width = w;
    height = ht;
    format = indexed ? GFX_FMT_INDEX8 : alpha ? GFX_FMT_ARGB8888 : GFX_FMT_RGB888;
    bpp = outBytes * 8;
    pitch = rowBytes = w * outBytes;
    const std::uint64_t imageBytes = std::uint64_t{pitch} * ht;
    if (!Gfx_Image_AllocPixels(*this, imageBytes, runLength))
        return Gfx_Image_Refuse(*this, GFX_ERR_NO_MEMORY, "C_Image::LoadBMP{data}(stream)", kSite,
                                "not enough memory for a picture of %u × %u pixels", w, ht);
    const auto rowOf = [&](std::uint32_t fileRowIndex) { return topDown ? fileRowIndex : ht - 1 - fileRowIndex; };

    if (runLength) {
        if (!in.SeekTo(pixelStart) || !DecodeRunLength(in, *this, h.compression == kBiRle4, rowOf))
            return Refuse(*this, "C_Image::LoadBMP{rle}(stream)", "BMP run-length data is cut short");
        return true;
    }
    // 8 and 24 bits are stored as the file holds them; the rest goes through
    // one converted row at a time.
    const bool direct = bits == 8 || bits == 24;
    std::vector<std::uint8_t> scratch(direct ? 0 : static_cast<std::size_t>(fileRow));
    const BitfieldRows fieldRows(h.masks, bits);
    for (std::uint32_t i = 0; i < ht; ++i) {
        std::uint8_t* out = data + std::size_t{rowOf(i)} * pitch;
        if (!in.SeekTo(pixelStart + stride * i) || !in.Read(direct ? out : scratch.data(), direct ? rowBytes : fileRow))
            return Refuse(*this, kBadFile, "BMP pixel data is cut short");
        if (direct) continue;
        if (indexed)
            ExpandIndices(scratch.data(), out, w, bits);
        else
            fieldRows.Convert(scratch.data(), out, w);
    }
    // Leave the stream after the last row's padding, where the image ends.
    const std::uint64_t end = pixelStart + stride * ht;
    in.SeekTo(end < in.Size() ? end : in.Size());
    return true;
}
