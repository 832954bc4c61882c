// Single-channel operations: extracting a channel, writing one, and masks
// made from a key colour. Values move with their bits unchanged, not
// rescaled to another width.
#include <cstring>

#include "core/error.h"
#include "core/memory.h"
#include "image/convert.h"
#include "image/image.h"
#include "image/internal/image_rows.h"
#include "math/color.h"

namespace {

// Where one channel lives in a pixel: `bytes` bytes at byte `offset`, and in
// their little-endian value the bits of `mask`, starting at `shift`.
struct Field {
    std::uint32_t offset = 0;
    std::uint32_t bytes = 1;
    std::uint64_t mask = 0;  // 0: the format has no such channel
    std::uint32_t shift = 0;
};

inline std::uint64_t LoadLE(const std::uint8_t* p, std::uint32_t n) {
    std::uint64_t v = 0;
    std::memcpy(&v, p, n);  // little-endian host
    return v;
}

inline void StoreLE(std::uint8_t* p, std::uint64_t v, std::uint32_t n) { std::memcpy(p, &v, n); }

// Channels are addressable in every format of whole bytes per pixel.
bool HasChannelFields(const Gfx_FormatDesc& d) { return d.bitsPerPixel >= 8; }

Field FieldOf(const Gfx_FormatDesc& d, std::uint32_t channel) {
    Field f;
    if (channel > 3 || d.bits[channel] == 0) return f;
    if (d.kind <= GFX_KIND_UINT && d.bitsPerPixel <= 32) {  // packed integers: mask and shift
        f.bytes = d.bytesPerPixel;
        f.mask = d.mask[channel];
        f.shift = d.shift[channel];
    } else {  // 16-bit words and float slots, byte-aligned
        f.offset = d.shift[channel] / 8;
        f.bytes = d.bits[channel] / 8;
        f.mask = f.bytes >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * f.bytes)) - 1;
    }
    return f;
}

bool CheckRows(const C_Image& image, const Gfx_FormatDesc& d, const char* nullDetail, const char* sizeDetail,
               const char* site) {
    if (Gfx_RowsFitBuffer(image, Gfx_RowBytes(image.width, d.bitsPerPixel))) return true;
    return image.data ? Gfx_Fail(GFX_ERR_BAD_DATA, sizeDetail, site) : Gfx_Fail(GFX_ERR_NULL_ARG, nullDetail, site);
}

// Rebuilds `dst` as the one-channel companion of `src` (same size, the
// matching one-channel format, the source's palette format and entries).
bool CreateCompanion(const C_Image& src, C_Image& dst, Gfx_FormatDesc& dd, const char* dstDetail, const char* site) {
    if (!dst.CreateEmpty(src.width, src.height, Gfx_GetSingleChannelFormat(src.format), src.palFormat))
        return Gfx_FailSummary(site);
    if (!Gfx_GetFormatDesc(dst.format, &dd) || !HasChannelFields(dd)) return Gfx_Fail(GFX_ERR_FORMAT, dstDetail, site);
    if (dd.isPalette && src.m_palette && dst.m_palette)
        Mem_Copy(src.m_palette, dst.m_palette, src.paletteSize < dst.paletteSize ? src.paletteSize : dst.paletteSize);
    return true;
}

// The destination is rebuilt before the source is read: when they are the
// same image, `src` is pointed at a copy kept in `copy`.
bool SeparateFromDestination(const C_Image*& src, const C_Image* dst, C_Image& copy, const char* site) {
    if (src != dst) return true;
    copy = *src;
    if (src->data && !copy.data) return Gfx_FailSummary(site);
    src = &copy;
    return true;
}

}  // namespace

bool Gfx_Image_GetChannel(const C_Image* pImageSrc, C_Image* pImageDst, std::uint32_t channel) {
    constexpr const char* kSite = "Gfx_Image_GetChannel";
    if (!pImageSrc || !pImageDst) return false;
    Gfx_FormatDesc sd, dd;
    if (!Gfx_GetFormatDesc(pImageSrc->format, &sd) || !HasChannelFields(sd))
        return Gfx_Fail(GFX_ERR_FORMAT, "Gfx_Image_GetChannel{pImageSrc->format}", kSite);
    if (!CheckRows(*pImageSrc, sd, "Gfx_Image_GetChannel{pImageSrc->data}", "Gfx_Image_GetChannel{pImageSrc->dataSize}",
                   kSite))
        return false;
    C_Image selfCopy;
    if (!SeparateFromDestination(pImageSrc, pImageDst, selfCopy, kSite)) return false;
    const C_Image& src = *pImageSrc;
    C_Image& dst = *pImageDst;
    if (!CreateCompanion(src, dst, dd, "Gfx_Image_GetChannel{pImageDst->format}", kSite)) return false;

    if (src.width == 0) return true;
    // A channel number beyond alpha, or one the format lacks, gives zeros.
    const Field f = FieldOf(sd, channel);
    const std::uint32_t srcBytes = sd.bytesPerPixel, dstBytes = dd.bytesPerPixel;
    for (std::uint32_t y = 0; y < src.height; ++y) {
        const std::uint8_t* s = src.Row(y) + f.offset;
        std::uint8_t* d = dst.Row(y);
        for (std::uint32_t x = 0; x < src.width; ++x, s += srcBytes, d += dstBytes)
            StoreLE(d, (LoadLE(s, f.bytes) & f.mask) >> f.shift, dstBytes);
    }
    return true;
}

bool Gfx_Image_SetChannel(const C_Image* pImageSrc, C_Image* pImageDst, std::uint32_t channel) {
    constexpr const char* kSite = "Gfx_Image_SetChannel";
    if (!pImageSrc || !pImageDst) return false;
    const C_Image& src = *pImageSrc;
    C_Image& dst = *pImageDst;
    Gfx_FormatDesc sd, dd;
    if (!Gfx_GetFormatDesc(src.format, &sd))
        return Gfx_Fail(GFX_ERR_FORMAT, "Gfx_Image_SetChannel{pImageSrc->format}", kSite);
    if (!Gfx_GetFormatDesc(dst.format, &dd))
        return Gfx_Fail(GFX_ERR_FORMAT, "Gfx_Image_SetChannel{pImageDst->format}", kSite);
    if (Gfx_GetSingleChannelFormat(src.format) != src.format) return false;  // not a one-channel source
    if (!HasChannelFields(sd)) return Gfx_Fail(GFX_ERR_FORMAT, "Gfx_Image_SetChannel{pImageSrc->format}", kSite);
    if (!HasChannelFields(dd)) return Gfx_Fail(GFX_ERR_FORMAT, "Gfx_Image_SetChannel{pImageDst->format}", kSite);
    if (dst.width < src.width || dst.height < src.height)
        return Gfx_Fail(GFX_ERR_BAD_DATA, "Gfx_Image_SetChannel{pImageDst->size}", kSite);
    if (!CheckRows(src, sd, "Gfx_Image_SetChannel{pImageSrc->data}", "Gfx_Image_SetChannel{pImageSrc->dataSize}",
                   kSite) ||
        !CheckRows(dst, dd, "Gfx_Image_SetChannel{pImageDst->data}", "Gfx_Image_SetChannel{pImageDst->dataSize}",
                   kSite))
        return false;

    const Field f = FieldOf(dd, channel);
    if (f.mask == 0 || src.width == 0) return true;  // no such channel, or no pixels: nothing changes
    const std::uint32_t srcBytes = sd.bytesPerPixel, dstBytes = dd.bytesPerPixel;
    for (std::uint32_t y = 0; y < src.height; ++y) {
        const std::uint8_t* s = src.Row(y);
        std::uint8_t* d = dst.Row(y) + f.offset;
        for (std::uint32_t x = 0; x < src.width; ++x, s += srcBytes, d += dstBytes) {
            // Kept inside the channel, so the other channels keep their bits
            // whatever the value.
            const std::uint64_t v = (LoadLE(s, srcBytes) << f.shift) & f.mask;
            StoreLE(d, (LoadLE(d, f.bytes) & ~f.mask) | v, f.bytes);
        }
    }
    return true;
}

bool Gfx_Image_GetAlpha_FromKeyColor(const C_Image* pImageSrc, C_Image* pImageDst, const C_Color* key) {
    constexpr const char* kSite = "Gfx_Image_GetAlpha_FromKeyColor";
    if (!pImageSrc || !pImageDst) return false;
    if (!key) return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Image_GetAlpha_FromKeyColor{key}", kSite);
    Gfx_FormatDesc sd, dd;
    // Key colours exist as pixel values of integer formats up to 32 bits.
    if (!Gfx_GetFormatDesc(pImageSrc->format, &sd) || sd.kind != GFX_KIND_UINT || sd.bitsPerPixel < 8 ||
        sd.bitsPerPixel > 32)
        return Gfx_Fail(GFX_ERR_FORMAT, "Gfx_Image_GetAlpha_FromKeyColor{pImageSrc->format}", kSite);
    if (!CheckRows(*pImageSrc, sd, "Gfx_Image_GetAlpha_FromKeyColor{pImageSrc->data}",
                   "Gfx_Image_GetAlpha_FromKeyColor{pImageSrc->dataSize}", kSite))
        return false;
    C_Image selfCopy;
    if (!SeparateFromDestination(pImageSrc, pImageDst, selfCopy, kSite)) return false;
    const C_Image& src = *pImageSrc;
    C_Image& dst = *pImageDst;
    if (!CreateCompanion(src, dst, dd, "Gfx_Image_GetAlpha_FromKeyColor{pImageDst->format}", kSite)) return false;

    if (src.width == 0) return true;
    const std::uint64_t keyPixel = Gfx_GetFormattedColor_32bit(src.format, key);
    // 32-bit sources mark the key pixels, narrower ones the others.
    const std::uint8_t onKey = sd.bitsPerPixel == 32 ? 0xFF : 0x00;
    const std::uint8_t offKey = static_cast<std::uint8_t>(~onKey);
    const std::uint32_t srcBytes = sd.bytesPerPixel, dstBytes = dd.bytesPerPixel;
    for (std::uint32_t y = 0; y < src.height; ++y) {
        const std::uint8_t* s = src.Row(y);
        std::uint8_t* d = dst.Row(y);
        for (std::uint32_t x = 0; x < src.width; ++x, s += srcBytes, d += dstBytes)
            std::memset(d, LoadLE(s, srcBytes) == keyPixel ? onKey : offKey, dstBytes);
    }
    return true;
}
