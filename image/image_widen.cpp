// Pictures as viewers show them: any readable format to ARGB8888 with narrow
// channels widened by bit replication and full alpha where there is none.
#include <cstring>

#include "core/error.h"
#include "image/convert.h"
#include "image/format.h"
#include "image/image.h"
#include "image/image_io.h"
#include "image/internal/codecs.h"
#include "image/internal/image_rows.h"
#include "image/internal/reader_support.h"

namespace {

constexpr const char* kSite = "Gfx_Image_WidenToARGB";

// A channel value of `bits` bits as 8 bits: its bits repeated downwards
// (5-bit 16 gives 132, 1-bit 1 gives 255); wider channels keep their top 8.
std::uint32_t Widen(std::uint32_t v, std::uint32_t bits) {
    if (bits >= 8) return (v >> (bits - 8)) & 0xFF;
    if (bits == 0) return 0;
    std::uint32_t out = 0;
    for (int shift = 8 - static_cast<int>(bits); shift > -static_cast<int>(bits); shift -= static_cast<int>(bits))
        out |= shift >= 0 ? v << shift : v >> -shift;
    return out & 0xFF;
}

// Formats read pixel by pixel here: unsigned integer pixels of whole bytes up
// to 32 bits, none wider than 8 bits a channel (wider ones keep their depth
// through the converter).
bool IsSimple(const Gfx_FormatDesc& d) {
    if (d.kind != GFX_KIND_UINT || d.bitsPerPixel % 8 != 0 || d.bitsPerPixel == 0 || d.bitsPerPixel > 32) return false;
    if (d.isPalette) return d.bitsPerPixel == 8;
    for (std::uint32_t c = 0; c < 4; ++c)
        if (d.bits[c] > 8 && d.channels > 1) return false;
    return true;
}

std::uint32_t ReadPixel(const std::uint8_t* p, std::uint32_t bytes) {
    std::uint32_t v = 0;
    for (std::uint32_t i = 0; i < bytes; ++i) v |= std::uint32_t{p[i]} << (8 * i);
    return v;
}

std::uint32_t Channel(std::uint32_t pixel, const Gfx_FormatDesc& d, std::uint32_t c) {
    const std::uint32_t bits = d.bits[c];
    if (bits == 0) return 0;
    const std::uint32_t mask = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    return Widen((pixel >> d.shift[c]) & mask, bits);
}

// One pixel value of a simple format as A R G B.
std::uint32_t ToArgb(std::uint32_t pixel, const Gfx_FormatDesc& d) {
    if (d.channels == 1) {
        const std::uint32_t g = Channel(pixel, d, 0);
        return 0xFF000000u | g << 16 | g << 8 | g;
    }
    const std::uint32_t a = d.bits[3] ? Channel(pixel, d, 3) : 0xFF;
    return a << 24 | Channel(pixel, d, 0) << 16 | Channel(pixel, d, 1) << 8 | Channel(pixel, d, 2);
}

void StoreArgb(std::uint8_t* out, std::uint32_t v) {
    out[0] = static_cast<std::uint8_t>(v);
    out[1] = static_cast<std::uint8_t>(v >> 8);
    out[2] = static_cast<std::uint8_t>(v >> 16);
    out[3] = static_cast<std::uint8_t>(v >> 24);
}

// The 256 palette entries as A R G B; a missing palette reads as a grey ramp.
void PaletteTable(const C_Image& in, std::uint32_t table[256]) {
    Gfx_FormatDesc pd{};
    const bool usable = in.m_palette && in.palFormat > 0 && Gfx_GetFormatDesc(in.palFormat, &pd) && IsSimple(pd) &&
                        !pd.isPalette && in.paletteSize >= 256u * pd.bytesPerPixel;
    for (std::uint32_t i = 0; i < 256; ++i)
        table[i] = usable ? ToArgb(ReadPixel(in.m_palette + i * pd.bytesPerPixel, pd.bytesPerPixel), pd)
                          : 0xFF000000u | i << 16 | i << 8 | i;
}

void WidenRow(const std::uint8_t* in, std::uint8_t* out, std::uint32_t width, const Gfx_FormatDesc& d,
              const std::uint32_t* palette) {
    switch (d.format) {
    case GFX_FMT_ARGB8888: std::memcpy(out, in, std::size_t{width} * 4); return;
    case GFX_FMT_RGB888:
        for (std::uint32_t x = 0; x < width; ++x, in += 3, out += 4) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 0xFF;
        }
        return;
    case GFX_FMT_CH8:
        for (std::uint32_t x = 0; x < width; ++x, out += 4) out[0] = out[1] = out[2] = in[x], out[3] = 0xFF;
        return;
    default: break;
    }
    if (palette) {
        for (std::uint32_t x = 0; x < width; ++x, out += 4) StoreArgb(out, palette[in[x]]);
        return;
    }
    const std::uint32_t bytes = d.bytesPerPixel;
    for (std::uint32_t x = 0; x < width; ++x, in += bytes, out += 4) StoreArgb(out, ToArgb(ReadPixel(in, bytes), d));
}

// Formats the rows above do not cover go through the converter, whose alpha
// for alpha-less sources is 0: it becomes full here.
bool WidenByConverter(const C_Image& in, const Gfx_FormatDesc& d, C_Image& out) {
    if (!Gfx_Image_Clone(&in, &out, GFX_FMT_ARGB8888, GFX_FMT_NONE, 0)) {
        Gfx_SetErrorReason("pictures of pixel format %d cannot be converted to ARGB8888", in.format);
        return false;
    }
    if (d.bits[3] == 0)
        for (std::uint32_t y = 0; y < out.height; ++y) {
            std::uint8_t* row = out.Row(y);
            for (std::uint32_t x = 0; x < out.width; ++x) row[std::size_t{x} * 4 + 3] = 0xFF;
        }
    return true;
}

}  // namespace

bool Gfx_Image_WidenToARGB(const C_Image& in, C_Image& out) {
    Gfx_Image_Reset(out);
    Gfx_FormatDesc d{};
    if (in.format <= 0 || !Gfx_GetFormatDesc(in.format, &d) || in.IsEmpty() || !Gfx_RowsFitBuffer(in, in.rowBytes) ||
        in.rowBytes < Gfx_RowBytes(in.width, d.bitsPerPixel)) {
        Gfx_Fail(GFX_ERR_FORMAT, "Gfx_Image_WidenToARGB{pImage}", kSite);
        Gfx_SetErrorReason("the picture has no pixels in a readable format");
        return false;
    }
    if (std::uint64_t{in.width} * in.height > GFX_IMAGE_MAX_PIXELS) {
        Gfx_Fail(GFX_ERR_NO_MEMORY, "Gfx_Image_WidenToARGB{data}", kSite);
        Gfx_SetErrorReason("the picture has more pixels than Quillory converts");
        return false;
    }
    if (!IsSimple(d)) return WidenByConverter(in, d, out);
    if (!out.CreateEmpty(in.width, in.height, GFX_FMT_ARGB8888, GFX_FMT_NONE)) {
        Gfx_SetErrorReason("no memory for %u x %u pixels", in.width, in.height);
        return false;
    }
    std::uint32_t table[256];
    if (d.isPalette) PaletteTable(in, table);
    for (std::uint32_t y = 0; y < in.height; ++y)
        WidenRow(in.Row(y), out.data + std::size_t{y} * out.pitch, in.width, d, d.isPalette ? table : nullptr);
    return true;
}

bool Gfx_Image_HasVisibleAlpha(const C_Image& image) {
    Gfx_FormatDesc d{};
    if (image.IsEmpty() || !Gfx_GetFormatDesc(image.format, &d)) return false;
    if (image.format == GFX_FMT_ARGB8888) {
        for (std::uint32_t y = 0; y < image.height; ++y) {
            const std::uint8_t* row = image.Row(y);
            for (std::uint32_t x = 0; x < image.width; ++x)
                if (row[std::size_t{x} * 4 + 3] != 0xFF) return true;
        }
        return false;
    }
    Gfx_FormatDesc pd{};
    const bool paletteAlpha = d.isPalette && image.m_palette && image.palFormat > 0 &&
                              Gfx_GetFormatDesc(image.palFormat, &pd) && pd.bits[3] != 0;
    if (d.bits[3] == 0 && !paletteAlpha) return false;
    C_Image argb;
    if (!Gfx_Image_WidenToARGB(image, argb)) return false;
    return Gfx_Image_HasVisibleAlpha(argb);
}

void Gfx_Image_Move(C_Image& to, C_Image& from) {
    if (&to == &from) return;
    to.Free();
    to.data = from.data;
    to.bpp = from.bpp;
    to.width = from.width;
    to.height = from.height;
    to.pitch = from.pitch;
    to.format = from.format;
    to.dataSize = from.dataSize;
    to.m_palette = from.m_palette;
    to.paletteSize = from.paletteSize;
    to.palFormat = from.palFormat;
    to.palBpp = from.palBpp;
    to.locked = from.locked;
    to.bottomUp = from.bottomUp;
    to.rowBytes = from.rowBytes;
    from.Init();
}
