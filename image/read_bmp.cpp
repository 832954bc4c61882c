// BMP reader: uncompressed 24-bit and 8-bit (palette) bitmaps, bottom-up or
// top-down.
#include <cstdint>
#include <limits>

#include "core/error.h"
#include "core/stream.h"
#include "image/image.h"
#include "image/internal/reader_support.h"

namespace {

constexpr const char* kSite = "C_Image::Load_BMP";
constexpr const char* kBadFile = "C_Image::LoadBMP(stream)";
constexpr std::uint16_t kMagic = 0x4D42;  // "BM"
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

struct BmpHeader {
    std::uint16_t bfType = 0;
    std::uint32_t bfSize = 0;
    std::uint32_t bfReserved = 0;
    std::uint32_t bfOffBits = 0;
    std::uint32_t biSize = 0;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 0;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};

bool ReadHeader(C_ByteSource& in, BmpHeader& h) {
    return in.ReadValue(h.bfType) && in.ReadValue(h.bfSize) && in.ReadValue(h.bfReserved) &&
           in.ReadValue(h.bfOffBits) && in.ReadValue(h.biSize) && in.ReadValue(h.biWidth) && in.ReadValue(h.biHeight) &&
           in.ReadValue(h.biPlanes) && in.ReadValue(h.biBitCount) && in.ReadValue(h.biCompression) &&
           in.ReadValue(h.biSizeImage) && in.ReadValue(h.biXPelsPerMeter) && in.ReadValue(h.biYPelsPerMeter) &&
           in.ReadValue(h.biClrUsed) && in.ReadValue(h.biClrImportant);
}

bool Fail(C_Image& image, std::int32_t code, const char* detail) {
    Gfx_Image_Reset(image);
    return Gfx_Fail(code, detail, kSite);
}

// Reads `count` four-byte entries (B, G, R, unused) into the 768-byte B, G, R
// palette; entries beyond `count` stay zero.
bool ReadPalette(C_ByteSource& in, std::uint8_t* palette, std::uint32_t count) {
    std::uint8_t quad[4];
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!in.Read(quad, sizeof quad)) return false;
        palette[i * 3 + 0] = quad[0];
        palette[i * 3 + 1] = quad[1];
        palette[i * 3 + 2] = quad[2];
    }
    return true;
}

}  // namespace

bool C_Image::LoadBMP(C_Stream* stream) {
    Gfx_Image_Reset(*this);
    C_ByteSource in(stream);
    BmpHeader h;
    if (!ReadHeader(in, h) || h.bfType != kMagic) return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);

    // Sizes: a negative height is a top-down bitmap; zero or negative widths
    // and heights that cannot be negated describe nothing.
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biHeight == std::numeric_limits<std::int32_t>::min())
        return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);
    // Older, smaller information headers lay their fields out differently;
    // compressed pixel data is not decoded.
    if (h.biSize < kInfoHeaderSize || h.biCompression != 0) return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);
    const bool topDown = h.biHeight < 0;
    const auto w = static_cast<std::uint32_t>(h.biWidth);
    const auto ht = static_cast<std::uint32_t>(topDown ? -h.biHeight : h.biHeight);
    width = w;
    height = ht;
    if (h.biBitCount != 24 && h.biBitCount != 8) return true;  // known size, pixels not read

    const std::uint32_t bits = h.biBitCount;
    const std::uint64_t row = std::uint64_t{w} * (bits / 8);
    // Rows in the file are padded to whole 32-bit words whatever biSizeImage
    // says: many writers leave it 0 and some get it wrong.
    const std::uint64_t stride = (std::uint64_t{w} * bits + 31) / 32 * 4;
    const std::uint64_t imageBytes = row * ht;
    // The last row's padding may be missing without harm.
    const std::uint64_t fileBytes = stride * (ht - 1) + row;
    const std::uint64_t pixelStart = h.bfOffBits;
    const std::uint64_t headersEnd = kFileHeaderSize + std::uint64_t{h.biSize};
    if (imageBytes > std::numeric_limits<std::uint32_t>::max() || pixelStart < headersEnd || pixelStart > in.Size() ||
        fileBytes > in.Size() - pixelStart)
        return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);

    if (bits == 8) {
        // The palette follows the information header, however long that is.
        const std::uint32_t entries = (h.biClrUsed >= 1 && h.biClrUsed <= 256) ? h.biClrUsed : 256;
        palFormat = GFX_FMT_RGB888;
        palBpp = 24;
        if (!Gfx_Image_AllocPalette(*this, 768))
            return Fail(*this, GFX_ERR_NO_MEMORY, "C_Image::LoadBMP{m_palette}(stream)");
        if (!in.SeekTo(headersEnd) || !ReadPalette(in, m_palette, entries))
            return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);
    }

    format = bits == 8 ? GFX_FMT_INDEX8 : GFX_FMT_RGB888;
    bpp = bits;
    pitch = rowBytes = static_cast<std::uint32_t>(row);
    if (!Gfx_Image_AllocPixels(*this, imageBytes, false))
        return Fail(*this, GFX_ERR_NO_MEMORY, "C_Image::LoadBMP{data}(stream)");
    for (std::uint32_t i = 0; i < ht; ++i) {
        const std::uint32_t y = topDown ? i : ht - 1 - i;
        if (!in.SeekTo(pixelStart + stride * i) || !in.Read(data + std::size_t{y} * pitch, rowBytes))
            return Fail(*this, GFX_ERR_BAD_DATA, kBadFile);
    }
    // Leave the stream after the last row's padding, where the image ends.
    const std::uint64_t end = pixelStart + stride * ht;
    in.SeekTo(end < in.Size() ? end : in.Size());
    return true;
}
