// TGA reader: true colour (16, 24, 32 bits) and colour-mapped (8-bit indices
// into 256 24-bit entries), uncompressed or run-length encoded.
#include <cstdint>
#include <cstring>
#include <limits>

#include "core/error.h"
#include "core/stream.h"
#include "image/image.h"
#include "image/internal/reader_support.h"

namespace {

constexpr const char* kSite = "C_Image::Load_TGA";
constexpr const char* kBadFile = "C_Image::LoadTGA(stream)";
constexpr std::size_t kAcceptedBytes = 12;
constexpr std::uint32_t kPaletteBytes = 768;
constexpr std::uint32_t kMaxPacket = 128;

// The only headers read: no ID field, origin 0, and either no colour map or
// colour map entries 0-255 of 24 bits.
constexpr std::uint8_t kAccepted[4][kAcceptedBytes] = {
    {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 1, 1, 0, 0, 0, 1, 24, 0, 0, 0, 0},
    {0, 1, 9, 0, 0, 0, 1, 24, 0, 0, 0, 0},
};

bool Accepted(const std::uint8_t* head) {
    for (const auto& accepted : kAccepted)
        if (std::memcmp(head, accepted, kAcceptedBytes) == 0) return true;
    return false;
}

bool Fail(C_Image& image, std::int32_t code, const char* detail) {
    Gfx_Image_Reset(image);
    return Gfx_Fail(code, detail, kSite);
}

// The file's B, G, R, A become the memory bytes A, B, G, R of format 23.
void SwizzleBgra(std::uint8_t* p, std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i, p += 4) {
        const std::uint8_t alpha = p[3];
        p[3] = p[2];
        p[2] = p[1];
        p[1] = p[0];
        p[0] = alpha;
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

}  // namespace

bool C_Image::LoadTGA(C_Stream* stream) {
    Gfx_Image_Reset(*this);
    C_ByteSource in(stream);
    std::uint8_t head[18];
    if (!in.Read(head, sizeof head) || !Accepted(head)) return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);
    const std::uint8_t type = head[2];
    const std::uint32_t w = head[12] | static_cast<std::uint32_t>(head[13]) << 8;
    const std::uint32_t ht = head[14] | static_cast<std::uint32_t>(head[15]) << 8;
    const std::uint32_t depth = head[16];
    const bool mapped = type == 1 || type == 9;
    const bool packed = type == 9 || type == 10;
    if (w == 0 || ht == 0 || (mapped && depth != 8)) return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);
    if (!mapped && depth != 16 && depth != 24 && depth != 32) {
        // A depth this reader does not store: the size is known, no pixels.
        width = w;
        height = ht;
        return true;
    }

    // Compare what the header promises with the data before allocating: the
    // palette, and every pixel stored or, run-length encoded, at least one
    // packet header and pixel per 128 pixels.
    const std::uint32_t pixelBytes = depth / 8;
    const std::uint64_t pixels = std::uint64_t{w} * ht;
    const std::uint64_t imageBytes = pixels * pixelBytes;
    const std::uint64_t pixelData =
        packed ? (pixels + kMaxPacket - 1) / kMaxPacket * (1 + std::uint64_t{pixelBytes}) : imageBytes;
    const std::uint64_t needed = (mapped ? kPaletteBytes : 0) + pixelData;
    if (imageBytes > std::numeric_limits<std::uint32_t>::max() || in.Left() < needed)
        return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);

    width = w;
    height = ht;
    bpp = depth;
    pitch = rowBytes = w * pixelBytes;
    format = mapped ? GFX_FMT_INDEX8 : depth == 16 ? GFX_FMT_RGB555 : depth == 24 ? GFX_FMT_RGB888 : GFX_FMT_RGBA8888;
    if (mapped) {
        palFormat = GFX_FMT_RGB888;
        palBpp = 24;
        if (!Gfx_Image_AllocPalette(*this, kPaletteBytes))
            return Fail(*this, GFX_ERR_NO_MEMORY, "C_Image::LoadTGA{m_palette}(stream)");
        if (!in.Read(m_palette, kPaletteBytes)) return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);
    }
    if (!Gfx_Image_AllocPixels(*this, imageBytes, false))
        return Fail(*this, GFX_ERR_NO_MEMORY, "C_Image::LoadTGA{data}(stream)");

    // Rows are stored bottom row first. Uncompressed true colour is read
    // straight into place; the rest is read top-down and flipped.
    if (type == 2) {
        for (std::uint32_t i = 0; i < ht; ++i)
            if (!in.Read(data + std::size_t{ht - 1 - i} * pitch, pitch)) return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);
    } else {
        const bool ok = packed ? DecodePackets(in, data, pixels, pixelBytes) : in.Read(data, dataSize);
        if (!ok) return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);
        if (!FlipVertical()) {
            Gfx_Image_Reset(*this);
            return Gfx_FailSummary(kSite);
        }
    }
    if (depth == 32) SwizzleBgra(data, static_cast<std::size_t>(pixels));
    return true;
}
