#include "image/image.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/error.h"
#include "core/memory.h"
#include "image/internal/image_rows.h"
#include "image/internal/pixel_value.h"
#include "math/color.h"

namespace {

constexpr std::uint64_t kMaxBytes = std::numeric_limits<std::uint32_t>::max();

std::uint8_t* AllocateCounted(std::size_t bytes, bool zeroed = false) {
    if (bytes == 0) return nullptr;
    auto* p = static_cast<std::uint8_t*>(zeroed ? std::calloc(bytes, 1) : std::malloc(bytes));
    if (p) Mem_AddUsage(static_cast<std::uint32_t>(bytes));
    return p;
}

void FreeCounted(std::uint8_t*& p, std::uint32_t bytes) {
    if (!p) return;
    std::free(p);
    Mem_SubUsage(bytes);
    p = nullptr;
}

// Fills one row of `bytes` bytes with the pixel value `v` of an integer format
// of at most 32 bits per pixel.
void FillPackedRow(std::uint8_t* row, std::size_t bytes, std::uint32_t bitsPerPixel, std::uint32_t v) {
    switch (bitsPerPixel) {
    case 1: Mem_Fill8(row, bytes, v == 1 ? 0xFF : 0x00); break;
    case 2: Mem_Fill8(row, bytes, static_cast<std::uint8_t>(v | v << 2 | v << 4 | v << 6)); break;
    case 4: Mem_Fill8(row, bytes, static_cast<std::uint8_t>(v | v << 4)); break;
    case 8: Mem_Fill8(row, bytes, static_cast<std::uint8_t>(v)); break;
    case 16: Mem_Fill16(row, bytes, static_cast<std::uint16_t>(v)); break;
    case 24: Mem_Fill24(row, bytes, v); break;
    case 32: Mem_Fill32(row, bytes, v); break;
    default: break;
    }
}

// The pixel value of a colour in an integer format of at most 32 bits, as
// Clear computes it (one channel from red at full 32-bit precision, several
// channels from 8-bit values shifted down to each channel's width).
std::uint32_t ClearValue(const Gfx_FormatDesc& d, const C_Color& color) {
    if (d.channels == 1) return Gfx_TruncLow32(static_cast<double>(color.r) * 4294967295.0) >> (32 - d.bits[0]);
    const float comp[4] = {color.r, color.g, color.b, color.a};
    std::uint32_t v = 0;
    for (int c = 0; c < d.channels; ++c) {
        if (d.bits[c] == 0) continue;
        const float scaled = comp[c] * 255.0f;
        v |= (Gfx_TruncLow32(scaled) >> (8 - d.bits[c])) << d.shift[c];
    }
    return v;
}

// One pixel of a wide format (48/64-bit integer or float channels) laid out
// in memory, channel words at their bit positions.
std::size_t WidePixel(const Gfx_FormatDesc& d, const C_Color& color, std::uint8_t* out) {
    const float comp[4] = {color.r, color.g, color.b, color.a};
    const std::size_t bytes = d.bitsPerPixel / 8;
    std::memset(out, 0, bytes);
    if (d.format == GFX_FMT_CH32F) {
        std::memcpy(out, &color.r, 4);
        return bytes;
    }
    for (int c = 0; c < 4; ++c) {
        if (d.bits[c] == 0) continue;
        std::uint8_t* slot = out + d.shift[c] / 8;
        if (d.kind == GFX_KIND_FLOAT) {
            std::memcpy(slot, &comp[c], 4);
        } else {
            const std::uint32_t full = Gfx_TruncLow32(static_cast<double>(comp[c]) * 65535.0) % 65536u;
            const auto word = static_cast<std::uint16_t>(full >> (16 - d.bits[c]));
            std::memcpy(slot, &word, 2);
        }
    }
    return bytes;
}

// Copies the pixel buffer of `src` into `dst` (src.dataSize bytes) so that
// the copy, which is always top-down, shows the same picture: a bottom-up
// source has its rows put back in display order. Only the bytes the rows
// occupy are read: a view's last row may end well before pitch × height
// (a sub-rectangle of a larger picture), and what follows it is not ours.
void CopyPixelsTopDown(const C_Image& src, std::uint8_t* dst) {
    const std::uint64_t size = src.dataSize;
    const std::uint64_t row = Gfx_RowBytes(src.width, src.bpp);
    if (!src.bottomUp || src.height < 2) {
        const std::uint64_t span = src.height ? std::uint64_t{src.pitch} * (src.height - 1) + row : 0;
        const std::size_t copied = static_cast<std::size_t>(span < size ? span : size);
        Mem_Copy(src.data, dst, copied);
        Mem_Zero(dst + copied, static_cast<std::size_t>(size - copied));
        return;
    }
    Mem_Zero(dst, static_cast<std::size_t>(size));
    for (std::uint32_t y = 0; y < src.height; ++y) {
        const std::uint64_t from = std::uint64_t{src.pitch} * (src.height - 1 - y);
        const std::uint64_t to = std::uint64_t{src.pitch} * y;
        if (from + row <= size && to + row <= size) Mem_Copy(src.data + from, dst + to, static_cast<std::size_t>(row));
    }
}

}  // namespace

C_Image::C_Image() {
    Init();
    Mem_AddUsage(sizeof(C_Image));
}

C_Image::C_Image(const C_Image& other) : C_Object() {
    Init();
    Mem_AddUsage(sizeof(C_Image));
    *this = other;
}

C_Image::~C_Image() {
    C_Image::Free();
    Mem_SubUsage(sizeof(C_Image));
}

void C_Image::Free() {
    if (!locked) FreeCounted(data, dataSize);
    FreeCounted(m_palette, paletteSize);
}

void C_Image::Init() {
    data = nullptr;
    m_palette = nullptr;
    bpp = width = height = pitch = dataSize = paletteSize = rowBytes = palBpp = 0;
    format = palFormat = GFX_FMT_NONE;
    locked = bottomUp = 0;
}

bool C_Image::CreateEmpty(std::uint32_t newWidth, std::uint32_t newHeight, std::int32_t newFormat,
                          std::int32_t newPalFormat) {
    Gfx_FormatDesc d;
    if (!Gfx_GetFormatDesc(newFormat, &d))
        return Gfx_Fail(GFX_ERR_FORMAT, "C_Image::CreateEmpty{newFormat}", "C_Image::CreateEmpty");
    const std::uint64_t newRow = Gfx_RowBytes(newWidth, d.bitsPerPixel);
    const std::uint64_t newSize = newRow * newHeight;
    if (newRow > kMaxBytes || newSize > kMaxBytes)  // no 32-bit size can describe it
        return Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Image::CreateEmpty{data}", "C_Image::CreateEmpty");

    width = newWidth;
    height = newHeight;
    bpp = d.bitsPerPixel;
    format = newFormat;
    pitch = rowBytes = static_cast<std::uint32_t>(newRow);
    if (locked) {  // the borrowed buffer is not ours to free
        data = nullptr;
        dataSize = 0;
    }
    if (newSize != dataSize || (newSize != 0 && !data)) {
        FreeCounted(data, dataSize);
        dataSize = 0;
        data = AllocateCounted(static_cast<std::size_t>(newSize));
        if (newSize != 0 && !data) {
            locked = 0;
            return Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Image::CreateEmpty{data}", "C_Image::CreateEmpty");
        }
        dataSize = static_cast<std::uint32_t>(newSize);
    }
    locked = 0;
    palFormat = newPalFormat;

    Gfx_FormatDesc pd;
    if (newPalFormat == GFX_FMT_NONE || newPalFormat == GFX_FMT_SAME) {
        FreeCounted(m_palette, paletteSize);
        paletteSize = 0;
        palBpp = 0;
        return true;
    }
    if (!Gfx_GetFormatDesc(newPalFormat, &pd))
        return Gfx_Fail(GFX_ERR_PALETTE_FORMAT, "C_Image::CreateEmpty{newPalFormat}", "C_Image::CreateEmpty");
    palBpp = pd.bitsPerPixel;
    const std::uint32_t newPalSize = 256u * pd.bytesPerPixel;
    if (newPalSize != paletteSize || !m_palette) {
        FreeCounted(m_palette, paletteSize);
        paletteSize = 0;
        // Zeroed: a palette nobody fills must not hand out stale heap bytes.
        m_palette = AllocateCounted(newPalSize, true);
        if (!m_palette) return Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Image::CreateEmpty{m_palette}", "C_Image::CreateEmpty");
        paletteSize = newPalSize;
    }
    return true;
}

bool C_Image::CreateEmpty(std::uint32_t newWidth, std::uint32_t newHeight, std::int32_t newFormat,
                          std::int32_t newPalFormat, const C_Color& color) {
    if (!CreateEmpty(newWidth, newHeight, newFormat, newPalFormat)) return false;
    Clear(color);
    return true;
}

bool C_Image::CreateLocked(std::uint32_t newWidth, std::uint32_t newHeight, std::uint32_t newPitch,
                           std::int32_t newFormat, std::int32_t newPalFormat, void* newData) {
    Gfx_FormatDesc d;
    if (!Gfx_GetFormatDesc(newFormat, &d))
        return Gfx_Fail(GFX_ERR_FORMAT, "C_Image::CreateLocked{newFormat}", "C_Image::CreateLocked");
    if (!newData) return Gfx_Fail(GFX_ERR_NULL_ARG, "C_Image::CreateLocked{newData}", "C_Image::CreateLocked");
    const std::uint64_t newRow = Gfx_RowBytes(newWidth, d.bitsPerPixel);
    const std::uint64_t newSize = std::uint64_t{newPitch} * newHeight;
    if (newRow > kMaxBytes || newSize > kMaxBytes)
        return Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Image::CreateLocked{data}", "C_Image::CreateLocked");
    // Rows closer together than a row's length would make every row writer
    // run past the pitch × height bytes the caller lent us.
    if (newHeight > 0 && newPitch < newRow)
        return Gfx_Fail(GFX_ERR_BAD_DATA, "C_Image::CreateLocked{newPitch}", "C_Image::CreateLocked");

    Free();
    Init();
    width = newWidth;
    height = newHeight;
    pitch = newPitch;
    bpp = d.bitsPerPixel;
    format = newFormat;
    locked = 1;
    dataSize = static_cast<std::uint32_t>(newSize);
    data = static_cast<std::uint8_t*>(newData);
    rowBytes = static_cast<std::uint32_t>(newRow);
    palFormat = newPalFormat;
    if (newPalFormat == GFX_FMT_NONE) return true;
    Gfx_FormatDesc pd;
    if (!Gfx_GetFormatDesc(newPalFormat, &pd))
        return Gfx_Fail(GFX_ERR_PALETTE_FORMAT, "C_Image::CreateLocked{newPalFormat}", "C_Image::CreateLocked");
    palBpp = pd.bitsPerPixel;
    return true;
}

bool C_Image::Clear(const C_Color& color) {
    Gfx_FormatDesc d;
    if (!Gfx_GetFormatDesc(format, &d)) return Gfx_Fail(GFX_ERR_FORMAT, "C_Image::Clear{format}", "C_Image::Clear");
    if (d.bitsPerPixel == 0 || width == 0 || height == 0) return true;  // no pixels to set
    const std::uint64_t row = Gfx_RowBytes(width, d.bitsPerPixel);
    if (!Gfx_RowsFitBuffer(*this, row)) return Gfx_Fail(GFX_ERR_BAD_DATA, "C_Image::Clear{data}", "C_Image::Clear");
    // Rows are filled one at a time so a view whose pitch exceeds its row
    // length never has its padding (someone else's memory) written.
    if (d.kind <= GFX_KIND_UINT && d.bitsPerPixel <= 32) {
        const std::uint32_t v = ClearValue(d, color);
        for (std::uint32_t y = 0; y < height; ++y)
            FillPackedRow(data + std::size_t{y} * pitch, static_cast<std::size_t>(row), d.bitsPerPixel, v);
        return true;
    }
    if (d.kind == GFX_KIND_DOUBLE) return true;  // nothing is written for 64-bit floats
    std::uint8_t pixel[16];
    const std::size_t bytes = WidePixel(d, color, pixel);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint8_t* row = data + std::size_t{y} * pitch;
        for (std::uint32_t x = 0; x < width; ++x) std::memcpy(row + x * bytes, pixel, bytes);
    }
    return true;
}

C_Image& C_Image::operator=(const C_Image& other) {
    if (this == &other) return *this;
    Free();
    Init();
    if (other.data && other.dataSize) {
        data = AllocateCounted(other.dataSize);
        if (!data) {
            Gfx_SetError(GFX_ERR_NO_MEMORY, 0, 0, "C_Image::operator={data}");
            return *this;
        }
        CopyPixelsTopDown(other, data);
        dataSize = other.dataSize;
    }
    width = other.width;
    bpp = other.bpp;
    height = other.height;
    pitch = other.pitch;
    format = other.format;
    rowBytes = static_cast<std::uint32_t>(Gfx_RowBytes(width, bpp));
    if (other.m_palette && other.paletteSize) {
        m_palette = AllocateCounted(other.paletteSize);
        if (!m_palette) {
            Gfx_SetError(GFX_ERR_NO_MEMORY, 0, 0, "C_Image::operator={m_palette}");
            return *this;
        }
        Mem_Copy(other.m_palette, m_palette, other.paletteSize);
    }
    paletteSize = m_palette ? other.paletteSize : 0;
    palFormat = other.palFormat;
    palBpp = other.palBpp;
    return *this;
}

bool C_Image::FlipVertical() {
    if (!data || height < 2 || rowBytes == 0) return true;
    if (!Gfx_RowsFitBuffer(*this, rowBytes))
        return Gfx_Fail(GFX_ERR_BAD_DATA, "C_Image::FlipVertical{data}", "C_Image::FlipVertical");
    std::uint8_t* scratch = AllocateCounted(rowBytes);
    if (!scratch) return Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Image::FlipVertical{row}", "C_Image::FlipVertical");
    for (std::uint32_t y = 0; y < height / 2; ++y) {
        std::uint8_t* top = data + std::size_t{y} * pitch;
        std::uint8_t* bottom = data + std::size_t{height - 1 - y} * pitch;
        std::memcpy(scratch, top, rowBytes);
        std::memcpy(top, bottom, rowBytes);
        std::memcpy(bottom, scratch, rowBytes);
    }
    FreeCounted(scratch, rowBytes);
    return true;
}
