// TGA reader: colour-mapped (type 1, run-length 9), true colour (2, 10) and
// grey (3, 11) images, with or without an image-ID field, with the colour
// map of any first index, length and entry size, and the row and column
// order the descriptor states.
//
// What each file becomes:
//   - colour-mapped with 16-bit indices: GFX_FMT_RGB888 of the map's colours
//     (GFX_FMT_ARGB8888 for 32-bit entries);
//   - colour-mapped with 8-bit indices: GFX_FMT_INDEX8 whose palette entry i
//     is the map's colour i (black where the map has none): 24-bit entries
//     give a GFX_FMT_RGB888 palette as stored, 32-bit entries a
//     GFX_FMT_ARGB8888 palette as stored, 15- and 16-bit entries a
//     GFX_FMT_RGB888 palette widened by repeating bits (their attribute bit
//     is not alpha). An index the map does not hold refuses the file.
//   - 15- and 16-bit true colour: GFX_FMT_RGB555, each pixel's 16-bit value
//     as stored (the top bit is the attribute bit);
//   - 24-bit: GFX_FMT_RGB888, the file's B, G, R bytes;
//   - 32-bit: GFX_FMT_RGBA8888 (the file's B, G, R, A become memory bytes
//     A, B, G, R);
//   - 8-bit grey: GFX_FMT_CH8; 16-bit grey with alpha: GFX_FMT_ARGB8888.
// Refused with a reason: Huffman-compressed types 32 and 33, type 0 (no
// image), depths a type does not have, indices the colour map does not hold, data cut
// short, run-length packets reaching past the image.
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "core/error.h"
#include "core/stream.h"
#include "image/image.h"
#include "image/internal/reader_support.h"

namespace {

constexpr const char* kSite = "C_Image::Load_TGA";
constexpr const char* kBadFile = "C_Image::LoadTGA(stream)";
constexpr const char* kBadDepth = "C_Image::LoadTGA{depth}(stream)";
constexpr std::size_t kHeaderSize = 18;
constexpr std::uint32_t kMaxPacket = 128;
constexpr std::uint8_t kRightToLeft = 0x10;
constexpr std::uint8_t kTopDown = 0x20;

struct TgaHeader {
    std::uint32_t idLength, mapType, type, mapFirst, mapLength, mapEntryBits;
    std::uint32_t width, height, depth, descriptor;
};

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | static_cast<std::uint32_t>(p[1]) << 8; }

TgaHeader Parse(const std::uint8_t* b) {
    return {b[0], b[1], b[2], Le16(b + 3), Le16(b + 5), b[7], Le16(b + 12), Le16(b + 14), b[16], b[17]};
}

bool Refuse(C_Image& image, const char* detail, const char* reason) {
    return Gfx_Image_Refuse(image, GFX_ERR_BAD_DATA, detail, kSite, "%s", reason);
}

// The file's B, G, R, A become the memory bytes A, B, G, R of format 23: a
// rotation of each little-endian 32-bit value by 8 bits.
void SwizzleBgra(std::uint8_t* p, std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i, p += 4) {
        std::uint32_t v;
        std::memcpy(&v, p, 4);
        v = v << 8 | v >> 24;
        std::memcpy(p, &v, 4);
    }
}

// Grey and alpha byte pairs, packed at the start of the buffer, become
// B, G, R, A pixels in place (from the last pixel back).
void ExpandGreyAlpha(std::uint8_t* p, std::size_t pixels) {
    for (std::size_t i = pixels; i-- > 0;) {
        const std::uint8_t grey = p[2 * i];
        const std::uint8_t alpha = p[2 * i + 1];
        p[4 * i] = p[4 * i + 1] = p[4 * i + 2] = grey;
        p[4 * i + 3] = alpha;
    }
}

void MirrorRows(C_Image& image, std::uint32_t pixelBytes) {
    for (std::uint32_t y = 0; y < image.height; ++y) {
        std::uint8_t* row = image.data + std::size_t{y} * image.pitch;
        for (std::uint32_t l = 0, r = image.width - 1; l < r; ++l, --r) {
            std::uint8_t t[4];
            std::memcpy(t, row + l * pixelBytes, pixelBytes);
            std::memcpy(row + l * pixelBytes, row + r * pixelBytes, pixelBytes);
            std::memcpy(row + r * pixelBytes, t, pixelBytes);
        }
    }
}

// Decodes run-length packets into `total` contiguous pixels of `pixelBytes`
// each. A packet reaching past the last pixel, or data ending early, fails.
bool DecodePackets(C_ByteSource& in, std::uint8_t* out, std::uint64_t total, std::uint32_t pixelBytes) {
    std::uint64_t done = 0;
    while (done < total) {
        std::uint8_t head = 0;
        if (!in.ReadByte(head)) return false;
        const std::uint32_t count = head >= 128 ? head - 127u : head + 1u;
        if (count > total - done) return false;
        std::uint8_t* at = out + done * pixelBytes;
        if (head >= 128) {
            if (!in.Read(at, pixelBytes)) return false;
            for (std::uint32_t i = 1; i < count; ++i) std::memcpy(at + i * pixelBytes, at, pixelBytes);
        } else if (!in.Read(at, std::size_t{count} * pixelBytes)) {
            return false;
        }
        done += count;
    }
    return true;
}

// Reads the colour map's entries as B, G, R (and A for 32-bit entries) into
// `out`, `outBytes` each, keeping the first `keep` of them. False when the
// data ends.
bool ReadColourMap(C_ByteSource& in, const TgaHeader& h, std::uint8_t* out, std::uint32_t keep) {
    const std::uint32_t entryBytes = (h.mapEntryBits + 7) / 8;
    const std::uint32_t outBytes = h.mapEntryBits == 32 ? 4 : 3;
    std::uint8_t entry[4] = {};
    for (std::uint32_t i = 0; i < h.mapLength; ++i) {
        if (!in.Read(entry, entryBytes)) return false;
        if (i >= keep) continue;
        std::uint8_t* colour = out + std::size_t{i} * outBytes;
        if (entryBytes >= 3) {
            std::memcpy(colour, entry, outBytes);
        } else {
            const std::uint32_t v = Le16(entry);
            colour[0] = Gfx_Widen8(v & 0x1F, 5);
            colour[1] = Gfx_Widen8(v >> 5 & 0x1F, 5);
            colour[2] = Gfx_Widen8(v >> 10 & 0x1F, 5);
        }
    }
    return true;
}

// 16-bit indices, packed at the start of the buffer, become their colours in
// place (from the last pixel back). False with `bad` set at an index the map
// does not hold.
bool ExpandWideIndices(std::uint8_t* p, std::size_t pixels, const std::vector<std::uint8_t>& colours,
                       const TgaHeader& h, std::uint32_t outBytes, std::uint32_t& bad) {
    for (std::size_t i = pixels; i-- > 0;) {
        const std::uint32_t index = Le16(p + 2 * i);
        if (index < h.mapFirst || index - h.mapFirst >= h.mapLength) {
            bad = index;
            return false;
        }
        std::memcpy(p + outBytes * i, colours.data() + std::size_t{index - h.mapFirst} * outBytes, outBytes);
    }
    return true;
}

bool RefuseIndex(C_Image& image, const TgaHeader& h, std::uint32_t index) {
    if (h.mapFirst == 0 || h.mapLength == 0)
        return Gfx_Image_Refuse(image, GFX_ERR_BAD_DATA, "C_Image::LoadTGA{index}(stream)", kSite,
                                "TGA colour-map index %u is past the %u-entry colour map", index, h.mapLength);
    return Gfx_Image_Refuse(image, GFX_ERR_BAD_DATA, "C_Image::LoadTGA{index}(stream)", kSite,
                            "TGA colour-map index %u is outside the colour map's entries %u to %u", index, h.mapFirst,
                            h.mapFirst + h.mapLength - 1);
}

// The first pixel index the colour map does not hold, or -1.
std::int64_t IndexOutsideMap(const C_Image& image, const TgaHeader& h) {
    bool held[256] = {};
    for (std::uint32_t i = h.mapFirst; i < h.mapFirst + h.mapLength && i < 256; ++i) held[i] = true;
    for (std::uint32_t i = 0; i < image.dataSize; ++i)
        if (!held[image.data[i]]) return image.data[i];
    return -1;
}

}  // namespace

bool C_Image::LoadTGA(C_Stream* stream) {
    Gfx_Image_Reset(*this);
    C_ByteSource in(stream);
    std::uint8_t head[kHeaderSize];
    if (!in.Read(head, sizeof head)) return Refuse(*this, kBadFile, "TGA header is cut short");
    const TgaHeader h = Parse(head);
    const std::uint32_t kind = h.type & 7u;  // 1 mapped, 2 true colour, 3 grey
    const bool packed = (h.type & 8u) != 0;
    if (h.type == 32 || h.type == 33)
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, kBadFile, kSite,
                                "TGA type %u (Huffman-compressed) is not supported", h.type);
    if (h.type == 0) return Refuse(*this, kBadFile, "TGA type 0 holds no image");
    if (kind < 1 || kind > 3 || (h.type & ~11u) != 0)
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, kBadFile, kSite, "TGA image type %u is not a known type",
                                h.type);
    const bool mapped = kind == 1;
    if (h.mapType > 1 || (mapped && h.mapType != 1))
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, kBadFile, kSite, "TGA colour-map type %u does not fit type %u",
                                h.mapType, h.type);
    if (h.mapType == 1 && h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 && h.mapEntryBits != 32)
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, kBadFile, kSite,
                                "TGA colour-map entries of %u bits are not a size the format has", h.mapEntryBits);
    if (h.width == 0 || h.height == 0)
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, kBadFile, kSite, "TGA size %u × %u is empty", h.width,
                                h.height);
    if (mapped && h.depth != 8 && h.depth != 16)
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, kBadFile, kSite,
                                "TGA colour-map indices of %u bits are not a size the format has", h.depth);
    const bool depthOk = kind == 2   ? h.depth == 15 || h.depth == 16 || h.depth == 24 || h.depth == 32
                         : kind == 3 ? h.depth == 8 || h.depth == 16
                                     : true;
    if (!depthOk)
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, kBadDepth, kSite, "TGA %s pixels of %u bits are not supported",
                                kind == 2 ? "true-colour" : "grey", h.depth);
    const std::uint64_t pixels = std::uint64_t{h.width} * h.height;
    if (pixels > GFX_READER_MAX_PIXELS)
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, kBadFile, kSite,
                                "TGA of %u × %u pixels is larger than the %llu pixels Quillory reads", h.width,
                                h.height, static_cast<unsigned long long>(GFX_READER_MAX_PIXELS));

    // Compare what the header promises with the data before allocating: the
    // ID field, the colour map, and every pixel stored or, run-length
    // encoded, at least one packet header and pixel per 128 pixels.
    const std::uint32_t pixelBytes = (h.depth + 7) / 8;
    const std::uint64_t mapBytes = h.mapType == 1 ? std::uint64_t{h.mapLength} * ((h.mapEntryBits + 7) / 8) : 0;
    const std::uint64_t storedBytes = pixels * pixelBytes;
    const std::uint64_t pixelData =
        packed ? (pixels + kMaxPacket - 1) / kMaxPacket * (1 + std::uint64_t{pixelBytes}) : storedBytes;
    const std::uint64_t needed = h.idLength + mapBytes + pixelData;
    if (in.Left() < needed)
        return Gfx_Image_Refuse(*this, GFX_ERR_BAD_DATA, kBadFile, kSite, "TGA data is cut short: %llu of %llu bytes",
                                static_cast<unsigned long long>(in.Left()), static_cast<unsigned long long>(needed));

    // Grey with alpha, and 16-bit colour-map indices (more colours than a
    // palette holds), are expanded to true colour.
    const bool greyAlpha = kind == 3 && h.depth == 16;
    const bool wideIndex = mapped && h.depth == 16;
    const bool alphaMap = h.mapEntryBits == 32;
    const bool expand = greyAlpha || wideIndex;
    const std::uint32_t outBytes = greyAlpha ? 4 : wideIndex ? (alphaMap ? 4 : 3) : pixelBytes;
    width = h.width;
    height = h.height;
    bpp = outBytes * 8;
    pitch = rowBytes = h.width * outBytes;
    format = wideIndex         ? (alphaMap ? GFX_FMT_ARGB8888 : GFX_FMT_RGB888)
             : mapped          ? GFX_FMT_INDEX8
             : kind == 3       ? (greyAlpha ? GFX_FMT_ARGB8888 : GFX_FMT_CH8)
             : pixelBytes == 2 ? GFX_FMT_RGB555
             : pixelBytes == 3 ? GFX_FMT_RGB888
                               : GFX_FMT_RGBA8888;
    if (!in.Skip(h.idLength)) return Refuse(*this, kBadFile, "TGA image-ID field is cut short");
    std::vector<std::uint8_t> colours;
    if (wideIndex) {
        colours.resize(std::size_t{h.mapLength} * outBytes);
        if (!ReadColourMap(in, h, colours.data(), h.mapLength))
            return Refuse(*this, kBadFile, "TGA colour map is cut short");
    } else if (mapped) {
        palFormat = alphaMap ? GFX_FMT_ARGB8888 : GFX_FMT_RGB888;
        palBpp = alphaMap ? 32 : 24;
        if (!Gfx_Image_AllocPalette(*this, alphaMap ? 1024 : 768))
            return Gfx_Image_Refuse(*this, GFX_ERR_NO_MEMORY, "C_Image::LoadTGA{m_palette}(stream)", kSite,
                                    "not enough memory for the palette");
        const std::uint32_t paletteBytes = alphaMap ? 4 : 3;
        const std::uint32_t keep = h.mapFirst < 256 ? 256 - h.mapFirst : 0;
        if (!ReadColourMap(in, h, m_palette + std::size_t{h.mapFirst < 256 ? h.mapFirst : 0} * paletteBytes, keep))
            return Refuse(*this, kBadFile, "TGA colour map is cut short");
    } else if (!in.Skip(mapBytes)) {
        return Refuse(*this, kBadFile, "TGA colour map is cut short");
    }
    if (!Gfx_Image_AllocPixels(*this, std::uint64_t{pitch} * height, false))
        return Gfx_Image_Refuse(*this, GFX_ERR_NO_MEMORY, "C_Image::LoadTGA{data}(stream)", kSite,
                                "not enough memory for a picture of %u × %u pixels", h.width, h.height);

    // Rows are stored bottom row first unless the descriptor says otherwise.
    // Uncompressed pixels of their final size are read straight into place;
    // the rest is read top-down in file order, then expanded and flipped.
    const bool topDown = (h.descriptor & kTopDown) != 0;
    if (!packed && !expand) {
        for (std::uint32_t i = 0; i < height; ++i) {
            const std::uint32_t y = topDown ? i : height - 1 - i;
            if (!in.Read(data + std::size_t{y} * pitch, pitch))
                return Refuse(*this, kBadFile, "TGA pixel data is cut short");
        }
    } else {
        const bool ok = packed ? DecodePackets(in, data, pixels, pixelBytes) : in.Read(data, storedBytes);
        if (!ok)
            return Refuse(
                *this, kBadFile,
                packed ? "TGA run-length data is cut short or runs past the image" : "TGA pixel data is cut short");
        if (greyAlpha) ExpandGreyAlpha(data, static_cast<std::size_t>(pixels));
        std::uint32_t bad = 0;
        if (wideIndex && !ExpandWideIndices(data, static_cast<std::size_t>(pixels), colours, h, outBytes, bad))
            return RefuseIndex(*this, h, bad);
        if (!topDown && !FlipVertical()) {
            Gfx_Image_Reset(*this);
            return Gfx_FailSummary(kSite);
        }
    }
    if ((h.descriptor & kRightToLeft) != 0) MirrorRows(*this, outBytes);
    if (format == GFX_FMT_RGBA8888) SwizzleBgra(data, static_cast<std::size_t>(pixels));
    if (mapped && !wideIndex) {
        const std::int64_t outside = IndexOutsideMap(*this, h);
        if (outside >= 0) return RefuseIndex(*this, h, static_cast<std::uint32_t>(outside));
    }
    return true;
}
