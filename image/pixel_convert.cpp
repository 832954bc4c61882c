// The pixel converter. Each call builds a plan once from the two format
// descriptors: a read step that turns a run of source pixels into channel
// values already at the destination's widths, and a write step that packs
// them into destination pixels. Rows are converted in short blocks through
// a small buffer, so the per-pixel loops never branch on the format. The
// pairs the demo converts have dedicated row loops giving the same bytes.
#include "image/internal/pixel_convert.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <cstdint>

#include "core/error.h"
#include "core/internal/parallel.h"
#include "core/simd.h"
#include "image/internal/image_rows.h"
#include "image/internal/pixel_convert_simd.h"
#include "image/internal/pixel_value.h"

namespace {

constexpr const char* kSite = "Gfx_Image_Copy_24to32";
constexpr std::uint32_t kBlock = 256;  // pixels per read/write block

// Channel values R, G, B, A of one pixel. For integer and mixed conversions
// these are integers at the destination's channel widths; between two float
// formats they are the float bit patterns.
struct Px {
    std::uint32_t c[4];
};

// How one source channel is read and widened (integer sources).
struct ReadChannel {
    std::uint64_t mask;   // the channel's bits in the loaded pixel; 0 = absent
    std::uint32_t shift;  // its position
    std::uint32_t down;   // width rule: v >> down when narrowing ...
    std::uint32_t up;     // ... (v << up) | (v & low) when widening
    std::uint32_t low;
};

struct Plan;
using ReadFn = void (*)(const std::uint8_t* src, std::uint32_t count, Px* out, const Plan& plan);
using WriteFn = void (*)(const Px* in, std::uint32_t count, std::uint8_t* dst, const Plan& plan);
using FastFn = void (*)(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const Plan& plan);

struct Plan {
    ReadFn read = nullptr;
    WriteFn write = nullptr;
    FastFn fast = nullptr;
    Gfx_ConvertVectorFn vector = nullptr;  // leading part of a dedicated row
    std::uint32_t srcBytes = 0;            // bytes per pixel
    std::uint32_t dstBytes = 0;
    std::uint32_t dstChannels = 0;
    ReadChannel in[4] = {};
    // Float sources: byte offset of each channel, the scale to the
    // destination width (integer destinations) or a keep-mask (float ones).
    std::uint32_t srcOffset[4] = {};
    double scale[4] = {};
    std::uint32_t keep[4] = {};
    // Destinations: bit position (integers), word mask (16-bit words of the
    // 48- and 64-bit formats, else all ones), byte offset (floats).
    std::uint32_t dstShift[4] = {};
    std::uint64_t dstMask = 0;
    std::uint32_t dstOffset[4] = {};
    // Palette sources: the 256 entries already converted.
    Px palette[256] = {};
    std::uint32_t palettePixel[256] = {};  // the same as finished 32-bit pixels
    // 16-bit sources with a dedicated row: each byte's share of the pixel.
    std::uint32_t lowByte[256] = {};
    std::uint32_t highByte[256] = {};
};

// ---------------------------------------------------------------- widths

// The width rule: s bits to d bits by dropping low bits, or by appending the
// value's own low bits below it. Absent channels (s or d 0) read as 0.
ReadChannel WidthRule(std::uint64_t mask, std::uint32_t shift, std::uint32_t s, std::uint32_t d) {
    ReadChannel r{};
    if (s == 0 || d == 0) return r;
    r.mask = mask;
    r.shift = shift;
    if (d <= s) {
        r.down = s - d;
    } else {
        r.up = d - s;
        r.low = (std::uint32_t{1} << r.up) - 1;  // up <= 31 since s >= 1
    }
    return r;
}

inline std::uint32_t Widen(std::uint32_t v, const ReadChannel& r) { return ((v >> r.down) << r.up) | (v & r.low); }

std::uint32_t WidenValue(std::uint32_t v, std::uint32_t s, std::uint32_t d) {
    const ReadChannel r = WidthRule(~std::uint64_t{0}, 0, s, d);
    return r.mask ? Widen(v, r) : 0;
}

// ---------------------------------------------------------------- memory

template <std::size_t N>
inline std::uint64_t Load(const std::uint8_t* p) {
    if constexpr (N == 3 || N == 6) {
        // Assembled from whole loads: a partial memcpy into a wider local is
        // read back through memory and stalls store forwarding.
        constexpr std::size_t low = N - 2;
        std::uint64_t v = 0;
        std::memcpy(&v, p, low);  // low is 1 or 4: one load
        std::uint16_t high;
        std::memcpy(&high, p + low, 2);
        return v | std::uint64_t{high} << (8 * low);
    } else {
        std::uint64_t v = 0;
        std::memcpy(&v, p, N);  // little-endian host: the low bytes of v
        return v;
    }
}

template <std::size_t N>
inline void Store(std::uint8_t* p, std::uint64_t v) {
    std::memcpy(p, &v, N);
}

inline std::uint32_t Load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void Store32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

inline float LoadFloat(const std::uint8_t* p) {
    float f;
    std::memcpy(&f, p, 4);
    return f;
}

// ---------------------------------------------------------------- read steps

// Integer pixels of N bytes (one-channel, packed, and the 48/64-bit words).
template <std::size_t N>
void ReadInt(const std::uint8_t* src, std::uint32_t count, Px* out, const Plan& plan) {
    const ReadChannel r0 = plan.in[0], r1 = plan.in[1], r2 = plan.in[2], r3 = plan.in[3];
    for (std::uint32_t i = 0; i < count; ++i, src += N) {
        const std::uint64_t p = Load<N>(src);
        out[i].c[0] = Widen(static_cast<std::uint32_t>((p & r0.mask) >> r0.shift), r0);
        out[i].c[1] = Widen(static_cast<std::uint32_t>((p & r1.mask) >> r1.shift), r1);
        out[i].c[2] = Widen(static_cast<std::uint32_t>((p & r2.mask) >> r2.shift), r2);
        out[i].c[3] = Widen(static_cast<std::uint32_t>((p & r3.mask) >> r3.shift), r3);
    }
}

void ReadPalette8(const std::uint8_t* src, std::uint32_t count, Px* out, const Plan& plan) {
    for (std::uint32_t i = 0; i < count; ++i) out[i] = plan.palette[src[i]];
}

// Float channels to integers: t(f × (2^d − 1)). Absent channels have scale 0
// and give 0 whatever the float holds (NaN included).
void ReadFloatToInt(const std::uint8_t* src, std::uint32_t count, Px* out, const Plan& plan) {
    for (std::uint32_t i = 0; i < count; ++i, src += plan.srcBytes)
        for (int c = 0; c < 4; ++c)
            out[i].c[c] = Gfx_TruncLow32(static_cast<double>(LoadFloat(src + plan.srcOffset[c])) * plan.scale[c]);
}

// Float channels moved unchanged; channels the source lacks are 0.0.
void ReadFloatBits(const std::uint8_t* src, std::uint32_t count, Px* out, const Plan& plan) {
    for (std::uint32_t i = 0; i < count; ++i, src += plan.srcBytes)
        for (int c = 0; c < 4; ++c) out[i].c[c] = Load32(src + plan.srcOffset[c]) & plan.keep[c];
}

// ---------------------------------------------------------------- write steps

// Integer pixels of N bytes: the OR of the channels at their positions. Values
// are not masked to their channel (the width rule keeps them in range); only
// the 16-bit words of the wide formats are cut to a word.
template <std::size_t N>
void WriteInt(const Px* in, std::uint32_t count, std::uint8_t* dst, const Plan& plan) {
    const std::uint32_t s0 = plan.dstShift[0], s1 = plan.dstShift[1], s2 = plan.dstShift[2], s3 = plan.dstShift[3];
    const std::uint64_t m = plan.dstMask;
    for (std::uint32_t i = 0; i < count; ++i, dst += N) {
        const std::uint64_t p =
            ((in[i].c[0] & m) << s0) | ((in[i].c[1] & m) << s1) | ((in[i].c[2] & m) << s2) | ((in[i].c[3] & m) << s3);
        Store<N>(dst, p);
    }
}

// Integers (already widened to 32 bits) to floats: v × 2^−32.
void WriteFloatFromInt(const Px* in, std::uint32_t count, std::uint8_t* dst, const Plan& plan) {
    constexpr float kScale = 1.0f / 4294967296.0f;  // 2^−32, exact as a float
    for (std::uint32_t i = 0; i < count; ++i, dst += plan.dstBytes) {
        for (std::uint32_t c = 0; c < plan.dstChannels; ++c) {
            const float f = static_cast<float>(static_cast<double>(in[i].c[c]) * static_cast<double>(kScale));
            std::memcpy(dst + plan.dstOffset[c], &f, 4);
        }
    }
}

void WriteFloatBits(const Px* in, std::uint32_t count, std::uint8_t* dst, const Plan& plan) {
    for (std::uint32_t i = 0; i < count; ++i, dst += plan.dstBytes)
        for (std::uint32_t c = 0; c < plan.dstChannels; ++c) Store32(dst + plan.dstOffset[c], in[i].c[c]);
}

// ---------------------------------------------------------------- dedicated rows

// 21 → 24: B, G, R becomes B, G, R, 0. Four pixels are three 32-bit words
// in and four out.
void Fast21to24(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const Plan&) {
    std::uint32_t i = 0;
    for (; i + 4 <= count; i += 4, src += 12, dst += 16) {
        const std::uint32_t w0 = Load32(src), w1 = Load32(src + 4), w2 = Load32(src + 8);
        Store32(dst, w0 & 0xFFFFFF);
        Store32(dst + 4, (w0 >> 24) | (w1 & 0xFFFF) << 8);
        Store32(dst + 8, (w1 >> 16) | (w2 & 0xFF) << 16);
        Store32(dst + 12, w2 >> 8);
    }
    for (; i < count; ++i, src += 3, dst += 4)
        Store32(dst, std::uint32_t{src[0]} | std::uint32_t{src[1]} << 8 | std::uint32_t{src[2]} << 16);
}

// 24 → 6: the red byte.
void Fast24to6(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const Plan&) {
    for (std::uint32_t i = 0; i < count; ++i) dst[i] = src[4 * i + 2];
}

// 24 → 23: A R G B becomes R G B A, a rotation by one byte. Safe in place:
// each pixel is loaded before its own bytes are stored.
void Fast24to23(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const Plan&) {
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t p = Load32(src + 4 * i);
        Store32(dst + 4 * i, (p << 8) | (p >> 24));
    }
}

// 24 → 14 and 24 → 13: the top bits of red, green and blue (5-6-5 or
// 5-5-5 with the top bit clear); alpha dropped. Two pixels at a time in one
// 64-bit word: each lands in the low half of its 32-bit half, and the two
// halves fold into one 32-bit store.
template <std::uint64_t R, int RShift, std::uint64_t G, int GShift, std::uint64_t B>
std::uint64_t PackTop(std::uint64_t q) {
    return (q >> RShift & R) | (q >> GShift & G) | (q >> 3 & B);
}

template <std::uint64_t R, int RShift, std::uint64_t G, int GShift>
void Fast24to16Bit(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const Plan&) {
    constexpr std::uint64_t kB = 0x0000001F0000001Fu;
    std::uint32_t i = 0;
    for (; i + 2 <= count; i += 2, src += 8, dst += 4) {
        std::uint64_t q;
        std::memcpy(&q, src, 8);
        const std::uint64_t v = PackTop<R, RShift, G, GShift, kB>(q);
        Store32(dst, static_cast<std::uint32_t>(v | v >> 16));
    }
    if (i < count) {
        const auto v = static_cast<std::uint16_t>(PackTop<R, RShift, G, GShift, kB>(Load32(src)));
        std::memcpy(dst, &v, 2);
    }
}

constexpr FastFn Fast24to14 = Fast24to16Bit<0x0000F8000000F800u, 8, 0x000007E0000007E0u, 5>;
constexpr FastFn Fast24to13 = Fast24to16Bit<0x00007C0000007C00u, 9, 0x000003E0000003E0u, 6>;

// 23 → 24: R G B A becomes A R G B, the rotation 24 → 23 undone.
void Fast23to24(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const Plan&) {
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t p = Load32(src + 4 * i);
        Store32(dst + 4 * i, (p >> 8) | (p << 24));
    }
}

// 24 → 21: B, G, R, A becomes B, G, R. Four pixels are four 32-bit words in
// and three out.
void Fast24to21(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const Plan&) {
    std::uint32_t i = 0;
    for (; i + 4 <= count; i += 4, src += 16, dst += 12) {
        const std::uint32_t w0 = Load32(src), w1 = Load32(src + 4), w2 = Load32(src + 8), w3 = Load32(src + 12);
        Store32(dst, (w0 & 0xFFFFFF) | w1 << 24);
        Store32(dst + 4, (w1 >> 8 & 0xFFFF) | w2 << 16);
        Store32(dst + 8, (w2 >> 16 & 0xFF) | w3 << 8);
    }
    for (; i < count; ++i, src += 4, dst += 3) std::memcpy(dst, src, 3);
}

// 14 → 24: 5-6-5 widened to 8 bits each, alpha 0. Each widened channel
// splits into bits that come from the low byte and bits from the high byte,
// so two 256-entry tables ORed together give the finished pixel.
void Plan14to24(Plan& plan) {
    for (std::uint32_t v = 0; v < 256; ++v) {
        const std::uint32_t b = v & 0x1F, gLow = v >> 5;  // low byte: B, green bits 0-2
        const std::uint32_t r = v >> 3, gHigh = v & 7;    // high byte: R, green bits 3-5
        plan.lowByte[v] = ((gLow << 2) | (gLow & 3)) << 8 | (b << 3) | (b & 7);
        plan.highByte[v] = ((r << 3) | (r & 7)) << 16 | (gHigh << 5) << 8;
    }
}

void Fast14to24(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const Plan& plan) {
    for (std::uint32_t i = 0; i < count; ++i)
        Store32(dst + 4 * i, plan.lowByte[src[2 * i]] | plan.highByte[src[2 * i + 1]]);
}

// 4 → 24: one table look-up per pixel.
void Fast4to24(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst, const Plan& plan) {
    for (std::uint32_t i = 0; i < count; ++i) Store32(dst + 4 * i, plan.palettePixel[src[i]]);
}

struct FastEntry {
    std::int32_t src;
    std::int32_t dst;
    FastFn fn;
    Gfx_ConvertPair pair;
};

constexpr FastEntry kFastRows[] = {
    {GFX_FMT_RGB888, GFX_FMT_ARGB8888, Fast21to24, GFX_CONVERT_21_TO_24},
    {GFX_FMT_ARGB8888, GFX_FMT_CH8, Fast24to6, GFX_CONVERT_24_TO_6},
    {GFX_FMT_ARGB8888, GFX_FMT_RGBA8888, Fast24to23, GFX_CONVERT_24_TO_23},
    {GFX_FMT_RGB565, GFX_FMT_ARGB8888, Fast14to24, GFX_CONVERT_14_TO_24},
    {GFX_FMT_INDEX8, GFX_FMT_ARGB8888, Fast4to24, GFX_CONVERT_4_TO_24},
    // Scalar rows only (no vector row: the pair's id is the count).
    {GFX_FMT_ARGB8888, GFX_FMT_RGB565, Fast24to14, GFX_CONVERT_PAIR_COUNT},
    {GFX_FMT_ARGB8888, GFX_FMT_RGB555, Fast24to13, GFX_CONVERT_PAIR_COUNT},
    {GFX_FMT_ARGB8888, GFX_FMT_RGB888, Fast24to21, GFX_CONVERT_PAIR_COUNT},
    {GFX_FMT_RGBA8888, GFX_FMT_ARGB8888, Fast23to24, GFX_CONVERT_PAIR_COUNT},
};

const FastEntry* FindFastEntry(std::int32_t src, std::int32_t dst) {
    for (const FastEntry& e : kFastRows)
        if (e.src == src && e.dst == dst) return &e;
    return nullptr;
}

FastFn FindFastRow(std::int32_t src, std::int32_t dst) {
    const FastEntry* e = FindFastEntry(src, dst);
    return e ? e->fn : nullptr;
}

// ---------------------------------------------------------------- SIMD level

// The vector rows of a level; null for the scalar level (and for levels this
// build does not have).
const Gfx_ConvertRowTable* VectorRows(std::int32_t level) {
#if defined(QUILLORY_X86_SIMD)
    if (level == GFX_SIMD_SSE2) return &Gfx_ConvertRows_Sse2();
    if (level == GFX_SIMD_AVX2) return &Gfx_ConvertRows_Avx2();
#endif
    (void)level;
    return nullptr;
}

// -1 until first asked: then the process's level. Atomic, so a start-up
// change is seen whole by every thread.
std::atomic<std::int32_t> g_level{-1};

std::int32_t Level() {
    std::int32_t level = g_level.load(std::memory_order_relaxed);
    if (level < 0) {
        std::int32_t unset = -1;
        g_level.compare_exchange_strong(unset, Gfx_SimdDefaultLevel(), std::memory_order_relaxed);
        level = g_level.load(std::memory_order_relaxed);
    }
    return level;
}

Gfx_ConvertVectorFn FindVectorRow(std::int32_t src, std::int32_t dst) {
    const FastEntry* e = FindFastEntry(src, dst);
    const Gfx_ConvertRowTable* rows = VectorRows(Level());
    return e && rows && e->pair < GFX_CONVERT_PAIR_COUNT ? rows->row[e->pair] : nullptr;
}

// Vectors load several pixels before they store any: a row converted onto
// itself is fine, a row overlapping another part of itself is left to the
// scalar row, which goes pixel by pixel.
bool VectorSafe(const std::uint8_t* s, std::size_t sBytes, const std::uint8_t* d, std::size_t dBytes) {
    if (s == d) return true;
    const auto sl = reinterpret_cast<std::uintptr_t>(s), dl = reinterpret_cast<std::uintptr_t>(d);
    return sl + sBytes <= dl || dl + dBytes <= sl;
}

// ---------------------------------------------------------------- planning

bool IsFloat(const Gfx_FormatDesc& d) { return d.kind == GFX_KIND_FLOAT; }

ReadFn IntReader(std::uint32_t bytes) {
    switch (bytes) {
    case 1: return ReadInt<1>;
    case 2: return ReadInt<2>;
    case 3: return ReadInt<3>;
    case 4: return ReadInt<4>;
    case 6: return ReadInt<6>;
    default: return ReadInt<8>;
    }
}

WriteFn IntWriter(std::uint32_t bytes) {
    switch (bytes) {
    case 1: return WriteInt<1>;
    case 2: return WriteInt<2>;
    case 3: return WriteInt<3>;
    case 4: return WriteInt<4>;
    case 6: return WriteInt<6>;
    default: return WriteInt<8>;
    }
}

// The source palette as 3-byte entries (byte 2 red, 1 green, 0 blue) at the
// destination's widths, alpha 0. Entries beyond the palette buffer (or all of
// them, without one) read as 0.
void PlanPalette(const C_Image& src, const Gfx_FormatDesc& dd, Plan& plan) {
    std::uint8_t entries[768] = {};
    if (src.m_palette) {
        const std::size_t n = src.paletteSize < sizeof entries ? src.paletteSize : sizeof entries;
        std::memcpy(entries, src.m_palette, n);
    }
    for (std::size_t i = 0; i < 256; ++i) {
        const std::uint8_t* e = entries + 3 * i;
        Px& p = plan.palette[i];
        p.c[0] = WidenValue(e[2], 8, dd.bits[0]);
        p.c[1] = WidenValue(e[1], 8, dd.bits[1]);
        p.c[2] = WidenValue(e[0], 8, dd.bits[2]);
        p.c[3] = 0;
        plan.palettePixel[i] = p.c[0] << 16 | p.c[1] << 8 | p.c[2];  // as format 24, for the dedicated row
    }
}

void PlanRead(const C_Image& src, const Gfx_FormatDesc& sd, const Gfx_FormatDesc& dd, Plan& plan) {
    if (sd.isPalette) {
        PlanPalette(src, dd, plan);
        plan.read = ReadPalette8;
        return;
    }
    if (IsFloat(sd)) {
        for (int c = 0; c < 4; ++c) {
            const bool present = sd.bits[c] != 0 && dd.bits[c] != 0;
            plan.srcOffset[c] = present ? sd.shift[c] / 8 : 0;
            plan.keep[c] = present ? 0xFFFFFFFFu : 0;
            const std::uint32_t d = dd.bits[c];
            // 2^d − 1 as a 32-bit float; for 32-bit channels, where that float
            // would be 2^32 and 1.0 would wrap to 0, the exact 4294967295.
            plan.scale[c] = !present  ? 0.0
                            : d >= 32 ? 4294967295.0
                                      : static_cast<double>(static_cast<float>((std::uint64_t{1} << d) - 1));
        }
        plan.read = IsFloat(dd) ? ReadFloatBits : ReadFloatToInt;
        return;
    }
    const bool wide = sd.bitsPerPixel > 32;  // 16-bit words, no masks in the descriptor
    for (int c = 0; c < 4; ++c) {
        const std::uint64_t mask = wide ? std::uint64_t{0xFFFF} << sd.shift[c] : sd.mask[c];
        plan.in[c] = WidthRule(mask, sd.shift[c], sd.bits[c], dd.bits[c]);
    }
    plan.read = IntReader(plan.srcBytes);
}

void PlanWrite(const Gfx_FormatDesc& sd, const Gfx_FormatDesc& dd, Plan& plan) {
    plan.dstChannels = dd.channels;
    if (IsFloat(dd)) {
        for (int c = 0; c < 4; ++c) plan.dstOffset[c] = dd.shift[c] / 8;
        plan.write = IsFloat(sd) ? WriteFloatBits : WriteFloatFromInt;
        return;
    }
    for (int c = 0; c < 4; ++c) plan.dstShift[c] = dd.shift[c];
    plan.dstMask = dd.bitsPerPixel > 32 ? 0xFFFF : 0xFFFFFFFF;
    plan.write = IntWriter(plan.dstBytes);
}

// Rows y0..y1-1 of a planned conversion.
void ConvertBand(const Plan& plan, const C_Image& src, C_Image& dst, std::uint32_t y0, std::uint32_t y1) {
    Px block[kBlock];
    for (std::uint32_t y = y0; y < y1; ++y) {
        const std::uint8_t* s = src.Row(y);
        std::uint8_t* d = dst.Row(y);
        if (plan.fast) {
            std::uint32_t done = 0;
            if (plan.vector &&
                VectorSafe(s, std::size_t{src.width} * plan.srcBytes, d, std::size_t{src.width} * plan.dstBytes))
                done = plan.vector(s, src.width, d, plan.palettePixel);
            plan.fast(s + std::size_t{done} * plan.srcBytes, src.width - done, d + std::size_t{done} * plan.dstBytes,
                      plan);
            continue;
        }
        // A whole block is read before any of it is written, so an in-place
        // conversion between formats of equal size reads each pixel first.
        for (std::uint32_t x = 0; x < src.width; x += kBlock) {
            const std::uint32_t n = src.width - x < kBlock ? src.width - x : kBlock;
            plan.read(s + std::size_t{x} * plan.srcBytes, n, block, plan);
            plan.write(block, n, d + std::size_t{x} * plan.dstBytes, plan);
        }
    }
}

// Rows may be converted in any order when each destination row touches no
// source row but its own: separate buffers, or one buffer converted in place
// row for row.
bool RowsIndependent(const C_Image& src, const C_Image& dst) {
    if (src.data == dst.data) return src.pitch == dst.pitch;
    const auto s = reinterpret_cast<std::uintptr_t>(src.data), d = reinterpret_cast<std::uintptr_t>(dst.data);
    return s + src.dataSize <= d || d + dst.dataSize <= s;
}

void ConvertRows(const C_Image& src, const Gfx_FormatDesc& sd, C_Image& dst, const Gfx_FormatDesc& dd,
                 Gfx_RowPath path) {
    Plan plan;
    plan.srcBytes = sd.bytesPerPixel;
    plan.dstBytes = dd.bytesPerPixel;
    PlanRead(src, sd, dd, plan);
    PlanWrite(sd, dd, plan);
    if (path == Gfx_RowPath::Fastest) {
        plan.fast = FindFastRow(sd.format, dd.format);
        plan.vector = FindVectorRow(sd.format, dd.format);
    }
    if (plan.fast == Fast14to24) Plan14to24(plan);

    auto band = [&](std::int32_t first, std::int32_t end) {
        ConvertBand(plan, src, dst, static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(end));
    };
    if (src.height > static_cast<std::uint32_t>(INT32_MAX) || !RowsIndependent(src, dst)) {
        ConvertBand(plan, src, dst, 0, src.height);
        return;
    }
    Gfx_ParallelRows(static_cast<std::int32_t>(src.height), std::uint64_t{src.width} * src.height, band);
}

// Same format: whole rows move unchanged.
void CopyRows(const C_Image& src, C_Image& dst, std::uint64_t rowLength) {
    if (&src == &dst || rowLength == 0) return;
    for (std::uint32_t y = 0; y < src.height; ++y)
        std::memmove(dst.Row(y), src.Row(y), static_cast<std::size_t>(rowLength));
}

// Both images' rows must lie inside their buffers before any is touched.
bool CheckBuffer(const C_Image& image, const Gfx_FormatDesc& d, const char* nullDetail, const char* sizeDetail) {
    if (Gfx_RowsFitBuffer(image, Gfx_RowBytes(image.width, d.bitsPerPixel))) return true;
    return image.data ? Gfx_Fail(GFX_ERR_BAD_DATA, sizeDetail, kSite) : Gfx_Fail(GFX_ERR_NULL_ARG, nullDetail, kSite);
}

}  // namespace

bool Gfx_IsConvertibleFormat(const Gfx_FormatDesc& desc) {
    return desc.bitsPerPixel >= 8 && desc.kind != GFX_KIND_DOUBLE;
}

bool Gfx_Convert_SetSimdLevel(std::int32_t level) {
    if (!Gfx_SimdLevelAvailable(level)) return false;
    g_level.store(level, std::memory_order_relaxed);
    return true;
}

std::int32_t Gfx_Convert_GetSimdLevel() { return Level(); }

bool Gfx_HasFastRow(std::int32_t srcFormat, std::int32_t dstFormat) {
    return FindFastRow(srcFormat, dstFormat) != nullptr;
}

bool Gfx_Image_CopyPixels(const C_Image* pImageSrc, C_Image* pImageDst, Gfx_RowPath path) {
    if (!pImageSrc) return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Image_Copy_24to32{pImageSrc}", kSite);
    if (!pImageDst) return Gfx_Fail(GFX_ERR_NULL_ARG, "Gfx_Image_Copy_24to32{pImageDst}", kSite);
    const C_Image& src = *pImageSrc;
    C_Image& dst = *pImageDst;
    Gfx_FormatDesc sd, dd;
    if (!Gfx_GetFormatDesc(src.format, &sd))
        return Gfx_Fail(GFX_ERR_FORMAT, "Gfx_Image_Copy_24to32{pImageSrc->format}", kSite);
    if (!Gfx_GetFormatDesc(dst.format, &dd))
        return Gfx_Fail(GFX_ERR_FORMAT, "Gfx_Image_Copy_24to32{pImageDst->format}", kSite);
    // Every source pixel has a place in the destination, or nothing is done.
    if (dst.width < src.width || dst.height < src.height)
        return Gfx_Fail(GFX_ERR_BAD_DATA, "Gfx_Image_Copy_24to32{pImageDst->size}", kSite);
    if (!CheckBuffer(src, sd, "Gfx_Image_Copy_24to32{pImageSrc->data}", "Gfx_Image_Copy_24to32{pImageSrc->dataSize}") ||
        !CheckBuffer(dst, dd, "Gfx_Image_Copy_24to32{pImageDst->data}", "Gfx_Image_Copy_24to32{pImageDst->dataSize}"))
        return false;

    if (src.width == 0 || src.height == 0) return true;  // no pixels to move
    if (src.format == dst.format) {
        CopyRows(src, dst, Gfx_RowBytes(src.width, sd.bitsPerPixel));
        return true;
    }
    if (!Gfx_IsConvertibleFormat(sd))
        return Gfx_Fail(GFX_ERR_FORMAT, "Gfx_Image_Copy_24to32{pImageSrc->format}", kSite);
    if (!Gfx_IsConvertibleFormat(dd))
        return Gfx_Fail(GFX_ERR_FORMAT, "Gfx_Image_Copy_24to32{pImageDst->format}", kSite);
    ConvertRows(src, sd, dst, dd, path);
    return true;
}
