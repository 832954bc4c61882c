// The span kernels: the inner loops of the transformed blit. The blit sets a
// call up, picks one kernel (and one specialisation of it) through a table,
// and calls it once per destination row. Kernels are plain functions taking
// one argument record, so a table of another instruction-set level can stand
// in for the scalar one without the blit changing.
#pragma once

#include <cstddef>
#include <cstdint>

// The twenty kernels, by drawing path (row: unscaled; scale: scaled, not
// rotated; rotate: rotated) and by what a pixel needs.
enum Gfx_SpanKernelId : std::uint32_t {
    GFX_SPAN_ROW_COPY,
    GFX_SPAN_ROW_COPY_MIRROR,
    GFX_SPAN_ROW_KEY,
    GFX_SPAN_ROW_KEY_MIRROR,
    GFX_SPAN_ROW_FILL,
    GFX_SPAN_ROW_KEY_FILL,
    GFX_SPAN_ROW_BLEND,
    GFX_SPAN_ROW_ADJUST,
    GFX_SPAN_SCALE_COPY,
    GFX_SPAN_SCALE_KEY,
    GFX_SPAN_SCALE_FILL,
    GFX_SPAN_SCALE_KEY_FILL,
    GFX_SPAN_SCALE_BLEND,
    GFX_SPAN_SCALE_ADJUST,
    GFX_SPAN_ROTATE_COPY,
    GFX_SPAN_ROTATE_KEY,
    GFX_SPAN_ROTATE_FILL,
    GFX_SPAN_ROTATE_KEY_FILL,
    GFX_SPAN_ROTATE_BLEND,
    GFX_SPAN_ROTATE_ADJUST,
    GFX_SPAN_KERNEL_COUNT
};

// Variant bits: the options fixed for a whole call, so that each combination
// gets a loop of its own instead of a test per pixel. Kernels ignore the bits
// that do not concern them.
enum : std::uint32_t {
    GFX_SPAN_FILL = 1u,           // draw the fill colour instead of the source colour
    GFX_SPAN_SRC_ALPHA = 2u,      // the source has an 8-bit alpha plane
    GFX_SPAN_DST_ALPHA = 4u,      // the destination has an 8-bit alpha plane
    GFX_SPAN_FULL_OPACITY = 8u,   // alpha256 is 256
    GFX_SPAN_MIRROR = 16u,        // row family: the source is walked right to left
    GFX_SPAN_BILINEAR = 16u,      // scale and rotate families: interpolated samples
    GFX_SPAN_ADJUST_COLOR = 32u,  // contrast, brightness and clamping are in use
    GFX_SPAN_VARIANT_COUNT = 64u
};

// Bilinear scaling interpolates a source row across once and keeps it for
// every destination row it feeds: an enlargement reads each pair of source
// rows for several destination rows, and only the step down differs. The
// blit keeps one cache per call (per band of at most kPixels columns) and
// lends it to the kernels through the argument record. The cached rows stay
// valid while the key matches: the kernels that fill it draw only spans
// whose writes are apart from the source planes, and empty it before any
// other span is drawn. Levels that do not use it leave it alone.
struct Gfx_SpanRowCache {
    static constexpr std::int32_t kPixels = 1024;       // the widest span cached
    static constexpr std::int32_t kRoom = kPixels + 8;  // a last, overlapping vector has a place of its own

    // What the cached rows were interpolated for.
    struct Key {
        const void* base;
        const void* alphaBase;
        std::ptrdiff_t pitch, alphaPitch;
        std::int64_t u, du;
        std::int32_t count, x0, x1, imgW;
        bool operator==(const Key& o) const {
            return base == o.base && alphaBase == o.alphaBase && pitch == o.pitch && alphaPitch == o.alphaPitch &&
                   u == o.u && du == o.du && count == o.count && x0 == o.x0 && x1 == o.x1 && imgW == o.imgW;
        }
    };
    Key key{};
    bool valid = false;
    std::int64_t row[2] = {-1, -1};  // the source row each slot holds

    // Per slot: channel bytes widened to 16-bit lanes, in the order the
    // level's unpacking leaves them, and alpha values in 32-bit lanes.
    alignas(64) std::uint16_t color[2][kRoom * 4];
    alignas(64) std::int32_t alpha[2][kRoom];

    // The columns' taps, worked out by the first row interpolated across
    // and read back by the others, laid out as the alpha slots: the two
    // indices and the fraction per pixel, and per vector how its pixels
    // are loaded (the level's own code).
    bool tapsValid = false;
    alignas(64) std::int32_t tapA[kRoom];
    alignas(64) std::int32_t tapB[kRoom];
    alignas(64) std::int32_t tapF[kRoom];
    std::int32_t tapLoad[kRoom / 4 + 1];

    void Clear() {
        valid = false;
        tapsValid = false;
        row[0] = row[1] = -1;
    }
};

// Nearest scaling samples the same source columns on every destination row
// of a call: a level may work them out once, with how its vectors load
// them, and read them back on each row. The blit keeps one table per call
// and lends it to the scale family's nearest kernels; levels that do not use
// it leave it alone. The table depends on the walk alone (no pixel is read),
// so it stays valid while the key matches.
struct Gfx_SpanColumnTable {
    static constexpr std::int32_t kPixels = 4096;  // the widest span tabled
    static constexpr std::int32_t kSlots = kPixels / 4 + 2;

    struct Key {
        std::int64_t u, du;
        std::int32_t count, x0, x1, imgW;
        bool operator==(const Key& o) const {
            return u == o.u && du == o.du && count == o.count && x0 == o.x0 && x1 == o.x1 && imgW == o.imgW;
        }
    };
    Key key{};
    bool valid = false;

    // The clamped source column of every pixel of the span.
    alignas(64) std::int32_t col[kPixels];
    // Per vector (the one starting at pixel p has slot ceil(p / N)): the
    // first of the eight source pixels one load brings in for it, or -1
    // when its columns are not all among them.
    std::int32_t start[kSlots];
};

// Everything a kernel reads. The blit fills the per-call part once and the
// per-row part before each call; kernels never write it.
struct Gfx_SpanArgs {
    // Channel layout: channel c of a pixel p is (p >> shift[c]) & mask[c]
    // (c = 0 red, 1 green, 2 blue; masks of at most 8 bits, 0 = absent).
    std::uint32_t srcShift[3];
    std::uint32_t srcMask[3];
    std::uint32_t dstShift[3];
    std::uint32_t dstMask[3];

    std::uint32_t keyPixel;   // key colour in the source format
    std::uint32_t fillPixel;  // fill colour in the source format
    std::int32_t fillR, fillG, fillB;
    std::int32_t brightR, brightG, brightB;  // brightness * 256
    std::int32_t contR, contG, contB;        // contrast * 256 (256 = unchanged)
    std::int32_t alpha256;                   // opacity * 256, 0..256

    // Source planes, addressed by (row, column) from row 0. Pitches may be
    // negative (bottom-up images). The source rectangle x0, y0 inclusive,
    // x1, y1 exclusive lies inside the image, whose size is imgW x imgH.
    const std::uint32_t* srcBase;
    std::ptrdiff_t srcPitch;  // pixels
    const std::uint8_t* srcAlphaBase;
    std::ptrdiff_t srcAlphaPitch;  // bytes
    std::int32_t x0, y0, x1, y1;
    std::int32_t imgW, imgH;

    // Per row. dst and dstAlpha point at the span's first pixel; count is
    // the number of pixels (nothing happens when it is below 1).
    std::uint32_t* dst;
    std::uint8_t* dstAlpha;
    std::int32_t count;
    // Row family: the first source pixel and its alpha byte; the walk goes
    // leftwards for the mirrored kernels.
    const std::uint32_t* src;
    const std::uint8_t* srcAlpha;
    // Scale family: u at the first pixel, stepped by du; v is the row's.
    // Rotate family: u and v at the first pixel, stepped by du and dv.
    // 16.16 fixed point, kept in 64 bits so that no step can overflow.
    std::int64_t u, v, du, dv;
    // Scale family, bilinear: the call's row cache, or null.
    Gfx_SpanRowCache* rowCache;
    // Scale family, nearest: the call's column table, or null.
    Gfx_SpanColumnTable* columns;
};

using Gfx_SpanFn = void (*)(const Gfx_SpanArgs&);

struct Gfx_SpanKernelTable {
    const char* name;
    Gfx_SpanFn fn[GFX_SPAN_KERNEL_COUNT][GFX_SPAN_VARIANT_COUNT];
};

// The portable implementation, the reference for every other level.
const Gfx_SpanKernelTable& Gfx_SpanKernels_Scalar();

// The SIMD levels (x86-64 builds only): every kernel id has an entry; those
// without a vector version hold the scalar one. Call only when the level is
// available (Gfx_SimdLevelAvailable).
const Gfx_SpanKernelTable& Gfx_SpanKernels_Sse2();
const Gfx_SpanKernelTable& Gfx_SpanKernels_Avx2();

// The table of an instruction-set level (GFX_SIMD_*), or null when this
// build or this processor has none. Every table draws the same pixels.
const Gfx_SpanKernelTable* Gfx_SpanKernelsForLevel(std::int32_t level);
