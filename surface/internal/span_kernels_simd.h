// The span kernels written once for every SIMD level. A level's source file
// (span_kernels_sse2.cpp, span_kernels_avx2.cpp) defines a traits struct
// with its vector type and operations, includes this header, and builds its
// table with SpanSimd<Traits>::MakeTable(). Everything here has internal
// linkage, so the copies compiled with different instruction-set flags never
// meet at link time. Include it from those files only.
//
// Exactness. Every kernel here produces exactly the pixels of the scalar
// kernels, which define the results:
//  - Channels are bytes of a pixel; where a step needs them apart, a pixel
//    is widened to four 16-bit lanes.
//  - Blend step d + (((s - d) * w) >> 8), 0 <= d, s <= 255, 0 <= w <= 256,
//    on the bytes in place: the even bytes of a pixel masked, the odd ones
//    shifted down, so each sits alone in a 16-bit lane beside the weight.
//    The low 16 bits of (s - d) * w are exact in that lane whatever the
//    signs, and their bits 8..15 are ((s - d) * w) >> 8 (the arithmetic
//    shift) modulo 256. The result lies in [0, 255], so adding those bits
//    to d modulo 256, a byte add, gives it exactly.
//  - Bilinear step p0 + (((p1 - p0) * f) >> 16), f in [0, 65535]: the lane
//    holds f as f - 65536 when f >= 32768, so the high half of the signed
//    product is floor((p1 - p0) * f / 65536) - (p1 - p0) in that case;
//    adding (p1 - p0) back where f >= 32768 gives the rule exactly.
//  - Weights: sourceAlpha * alpha256 <= 255 * 255 and (256 - dA) * a <=
//    256 * 254 fit an unsigned 16-bit lane, so the low 16 bits of the
//    product shifted right by 8 are the rule. The division of the
//    destination-alpha composition is done per pixel with the integer
//    division itself.
//  - Contrast (((c - 128) * k) >> 8) + 128 uses the blend step's trick with
//    (c - 128) << 7 and 2k, exact for |k| <= 16383; larger factors take the
//    scalar kernel. Brightness is added in a 16-bit lane after being limited
//    to +-16384, which cannot change a result that is clamped to [0, 255]
//    (the contrasted value is within [-8064, 8320]); the unsigned
//    saturating pack performs the clamp.
//  - Per-pixel choices (a = 0 keeps the pixel, a >= 255 writes the source
//    pixel) are lane selects; both sides are computed from the same inputs.
// Calls the vector path cannot take exactly (other channel layouts, spans
// that overlap their sources, coordinates beyond 32 bits, huge contrast) go
// to the scalar kernel of the same id and variant, as do spans shorter than
// one vector.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>

#include "surface/internal/span_kernels.h"
#include "surface/internal/span_taps.h"

namespace {

template <class I>
struct SpanSimd {
    using V = typename I::V;
    static constexpr std::int32_t N = I::N;

    // -----------------------------------------------------------------
    // Checks made once per span.

    struct Range {
        std::uintptr_t lo, hi;  // [lo, hi)
    };

    static bool Overlap(Range a, Range b) { return a.lo < b.hi && b.lo < a.hi; }

    template <class T>
    static Range Span(const T* p, std::int64_t first, std::int64_t count) {
        const auto base = reinterpret_cast<std::uintptr_t>(p);
        return {base + static_cast<std::uintptr_t>(first * static_cast<std::int64_t>(sizeof(T))),
                base + static_cast<std::uintptr_t>((first + count) * static_cast<std::int64_t>(sizeof(T)))};
    }

    // The bytes of a whole plane: rows 0..h-1, `pitch` elements apart.
    template <class T>
    static Range Plane(const T* base, std::ptrdiff_t pitch, std::int64_t w, std::int64_t h) {
        const std::int64_t last = (h - 1) * pitch;
        return Span(base, last < 0 ? last : 0, (last < 0 ? -last : last) + w);
    }

    // Whether the span's writes are apart from everything it reads: the
    // scalar kernels work pixel by pixel, so a span reading what it has
    // just written would see other values than a vector does.
    static bool Isolated(const Gfx_SpanArgs& s, bool rowFamily, bool mirror) {
        Range reads[2];
        int nReads = 0;
        const std::int64_t n = s.count;
        const std::int64_t first = mirror ? -(n - 1) : 0;
        if (rowFamily) {
            if (s.src) reads[nReads++] = Span(s.src, first, n);
            if (s.srcAlpha) reads[nReads++] = Span(s.srcAlpha, first, n);
        } else {
            if (s.srcBase) reads[nReads++] = Plane(s.srcBase, s.srcPitch, s.imgW, s.imgH);
            if (s.srcAlphaBase) reads[nReads++] = Plane(s.srcAlphaBase, s.srcAlphaPitch, s.imgW, s.imgH);
        }
        const Range d = Span(s.dst, 0, n);
        const bool hasDa = s.dstAlpha != nullptr;
        const Range da = hasDa ? Span(s.dstAlpha, 0, n) : Range{0, 0};
        if (hasDa && Overlap(d, da)) return false;
        for (int i = 0; i < nReads; ++i) {
            if (Overlap(d, reads[i])) return false;
            if (hasDa && Overlap(da, reads[i])) return false;
        }
        return true;
    }

    static bool Fits32(std::int64_t v) {
        return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
    }

    // A 16.16 walk whose every value (one step past the last included) fits
    // a 32-bit lane.
    static bool WalkFits(std::int64_t start, std::int64_t step, std::int64_t count) {
        if (!Fits32(start) || !Fits32(step)) return false;
        return Fits32(start + step * count);
    }

    // The layouts the vector blend handles: the same on both sides, three
    // whole bytes. The other byte of a repacked pixel is cleared by `mask`.
    static bool ByteLayout(const Gfx_SpanArgs& s, std::uint32_t& mask) {
        mask = 0;
        for (int c = 0; c < 3; ++c) {
            const std::uint32_t sh = s.srcShift[c];
            if (sh != s.dstShift[c] || s.srcMask[c] != 0xFF || s.dstMask[c] != 0xFF || sh % 8 != 0 || sh > 24)
                return false;
            if (mask & (0xFFu << sh)) return false;
            mask |= 0xFFu << sh;
        }
        return true;
    }

    // -----------------------------------------------------------------
    // Arithmetic on pixels (see the exactness notes above).

    // Per-pixel 16-bit values (< 65536) repeated over the pixel's four
    // channel lanes, for the low and the high half of the pixels.
    [[gnu::always_inline]] static inline void Spread(V v, V& lo, V& hi) {
        const V vv = I::Or(v, I::Slli32(v, 16));
        lo = I::DupLo32(vv);
        hi = I::DupHi32(vv);
    }

    // Every byte: d + (((s - d) * w) >> 8), with each pixel's weight w in
    // both 16-bit halves of its lane (w | w << 16).
    [[gnu::always_inline]] static inline V MixPaired(V d, V s, V w2) {
        const V even = I::Set1_16(0x00FF);
        const V lo = I::Mullo16(I::Sub16(I::And(s, even), I::And(d, even)), w2);
        const V hi = I::Mullo16(I::Sub16(I::Srli16(s, 8), I::Srli16(d, 8)), w2);
        return I::Add8(d, I::Or(I::Srli16(lo, 8), I::AndNot(even, hi)));
    }

    // The same with w per pixel in [0, 256].
    [[gnu::always_inline]] static inline V Mix(V d, V s, V w) { return MixPaired(d, s, I::Or(w, I::Slli32(w, 16))); }

    // p0 + (((p1 - p0) * f) >> 16) in 16-bit lanes; fm is f >> 15 (all ones
    // where f >= 32768).
    [[gnu::always_inline]] static inline V Lerp(V p0, V p1, V f, V fm) {
        const V d = I::Sub16(p1, p0);
        return I::Add16(p0, I::Add16(I::Mulhi16(d, f), I::And(d, fm)));
    }

    // Bilinear interpolation of every byte of four pixel vectors.
    [[gnu::always_inline]] static inline V BilerpPixels(V p00, V p01, V p10, V p11, V fx, V fy) {
        V fxl, fxh, fyl, fyh;
        Spread(fx, fxl, fxh);
        Spread(fy, fyl, fyh);
        const V fxlm = I::Srai16(fxl, 15), fxhm = I::Srai16(fxh, 15);
        const V fylm = I::Srai16(fyl, 15), fyhm = I::Srai16(fyh, 15);
        const V lo =
            Lerp(Lerp(I::Lo8(p00), I::Lo8(p01), fxl, fxlm), Lerp(I::Lo8(p10), I::Lo8(p11), fxl, fxlm), fyl, fylm);
        const V hi =
            Lerp(Lerp(I::Hi8(p00), I::Hi8(p01), fxh, fxhm), Lerp(I::Hi8(p10), I::Hi8(p11), fxh, fxhm), fyh, fyhm);
        return I::Pack16(lo, hi);
    }

    // The same for values 0..255 in 32-bit lanes (alpha bytes): the low
    // 16-bit half of each lane does the work, the high half stays 0.
    [[gnu::always_inline]] static inline V BilerpLanes(V a00, V a01, V a10, V a11, V fx, V fy) {
        const V fxm = I::Srai16(fx, 15), fym = I::Srai16(fy, 15);
        return Lerp(Lerp(a00, a01, fx, fxm), Lerp(a10, a11, fx, fxm), fy, fym);
    }

    // Contrast, brightness and clamping of every channel byte.
    struct Adjuster {
        V k2, add, c128;  // per channel lane: 2 * contrast, 128 + brightness
        [[gnu::always_inline]] inline V Half(V c) const {
            return I::Add16(I::Mulhi16(I::Slli16(I::Sub16(c, c128), 7), k2), add);
        }
        [[gnu::always_inline]] inline V operator()(V p) const { return I::Pack16(Half(I::Lo8(p)), Half(I::Hi8(p))); }
    };

    static std::int32_t LimitBrightness(std::int32_t b) { return b < -16384 ? -16384 : (b > 16384 ? 16384 : b); }

    static Adjuster MakeAdjuster(const Gfx_SpanArgs& s) {
        const std::int32_t cont[3] = {s.contR, s.contG, s.contB};
        const std::int32_t bright[3] = {s.brightR, s.brightG, s.brightB};
        std::uint64_t k = 0, add = 0;
        for (int c = 0; c < 3; ++c) {
            const std::uint32_t lane = s.srcShift[c] / 8;
            k |= std::uint64_t{static_cast<std::uint16_t>(2 * cont[c])} << (16 * lane);
            add |= std::uint64_t{static_cast<std::uint16_t>(128 + LimitBrightness(bright[c]))} << (16 * lane);
        }
        return {I::Set1_64(k), I::Set1_64(add), I::Set1_16(128)};
    }

    static bool ContrastFits(const Gfx_SpanArgs& s) {
        for (const std::int32_t k : {s.contR, s.contG, s.contB})
            if (k < -16383 || k > 16383) return false;
        return true;
    }

    // -----------------------------------------------------------------
    // The pixel step of the blending and adjusting kernels, N pixels at a
    // time: weight a per pixel (0 skips, 255 and more writes `raw`, between
    // composes `color` over the destination). Lanes set in `keep` are
    // left as they are.

    template <bool DstA>
    [[gnu::always_inline]] static inline void Put(std::uint32_t* d, std::uint8_t* da, V a, V raw, V color, V channels,
                                                  V keep) {
        const V copy = I::AndNot(keep, I::Gt32(a, I::Set1(254)));
        const V skip = I::Or(keep, I::Eq32(a, I::Zero()));
        if (I::Mask(skip) == I::kAll) return;
        V w = a;
        if constexpr (DstA) {
            const V dA = I::LoadBytes(da);
            const V plain = I::Or(I::Or(copy, skip), I::Eq32(dA, I::Set1(255)));
            V newDA = I::Select(copy, I::Set1(255), dA);
            const unsigned plainBits = I::Mask(plain);
            if (plainBits != I::kAll) {
                // na = dA + (((256 - dA) * a) >> 8), then a' = (a * 256) / na.
                const V na = I::Add32(dA, I::Srli32(I::Mullo16(I::Sub32(I::Set1(256), dA), a), 8));
                newDA = I::Select(plain, newDA, na);
                alignas(64) std::int32_t av[N], nav[N];
                I::ToArray(av, a);
                I::ToArray(nav, na);
                for (std::int32_t j = 0; j < N; ++j)
                    if (!((plainBits >> (4 * j)) & 1u)) av[j] = (av[j] * 256) / nav[j];
                w = I::FromArray(av);
            }
            I::StoreBytes(da, newDA);
        }
        if (I::Mask(copy) == I::kAll) {
            I::Store(d, raw);
            return;
        }
        const V dv = I::Load(d);
        const V mixed = I::And(Mix(dv, color, w), channels);
        I::Store(d, I::Select(skip, dv, I::Select(copy, raw, mixed)));
    }

    // -----------------------------------------------------------------
    // Samplers: where the N pixels of one step come from. Next() moves to
    // the next N pixels, Seek(k) makes the next step start at pixel k;
    // Color() and Alpha() read them (alpha as 32-bit lanes).

    static constexpr std::int32_t kAhead = 128;  // pixels fetched ahead of a row walk

    // A hint only: the address may lie past the row (or be near null when a
    // plane is absent), so it is formed as an integer and never read.
    template <class T>
    [[gnu::always_inline]] static inline void FetchAhead(const T* p, std::int32_t offset) {
        I::Prefetch(reinterpret_cast<const void*>(
            reinterpret_cast<std::uintptr_t>(p) +
            static_cast<std::uintptr_t>(static_cast<std::intptr_t>(offset) * static_cast<std::intptr_t>(sizeof(T)))));
    }

    template <bool Mirror>
    struct RowSampler {
        static constexpr bool kRow = true;
        const std::uint32_t* src;
        const std::uint8_t* alpha;
        std::int32_t i = -N;

        explicit RowSampler(const Gfx_SpanArgs& s) : src(s.src), alpha(s.srcAlpha) {}
        static bool Fits(const Gfx_SpanArgs&) { return true; }
        // The row is read in order: fetching ahead keeps the loads of the
        // coming pixels under way while a mispredicted skip is undone.
        [[gnu::always_inline]] inline void Next() {
            i += N;
            const std::int32_t ahead = Mirror ? -i - kAhead - N : i + kAhead;
            FetchAhead(src, ahead);
            // Without an alpha plane no hint: one near null costs a page walk.
            if (alpha) FetchAhead(alpha, ahead);
        }
        [[gnu::always_inline]] inline V Color() const { return Mirror ? I::LoadReversed(src - i) : I::Load(src + i); }
        [[gnu::always_inline]] inline V Alpha() const {
            return Mirror ? I::LoadBytesReversed(alpha - i) : I::LoadBytes(alpha + i);
        }
        void Seek(std::int32_t first) { i = first - N; }
    };

    // 16.16 lanes of one walk: u at each of the N pixels, stepped N at a time.
    static V Lanes(std::int64_t u, std::int64_t du) {
        return I::Add32(I::Set1(static_cast<std::int32_t>(u)),
                        I::Mullo32(I::Iota(), I::Set1(static_cast<std::int32_t>(du))));
    }

    [[gnu::always_inline]] static inline V Clamp(V c, V lo, V hi) { return I::Max32(I::Min32(c, hi), lo); }

    static std::int64_t ClampIndex(std::int64_t c, std::int64_t lo, std::int64_t hi) {
        if (c > hi) c = hi;
        if (c < lo) c = lo;
        return c;
    }

    // The scale family reads one or two fixed source rows, in order. When
    // the N columns of a step lie within eight pixels of each other (any
    // enlargement), one load of the eight pixels from the smallest column
    // and a lane permutation replace the per-lane loads. Levels without a
    // lane permutation always take the per-lane loads.
    struct Window {
        std::int32_t extent;  // the row's length: the eight pixels stay inside it
        bool fits = false;
        std::int32_t start = 0;  // the smallest column
        V first = I::Zero();     // the same in every lane

        explicit Window(std::int32_t rowLength) : extent(rowLength) {}

        [[gnu::always_inline]] inline void Place(V a, V b) {
            if constexpr (I::kPermute) {
                const std::int32_t c = std::min(I::First(a), I::Last(a));
                start = c;
                first = I::Set1(c);
                const V oa = I::Sub32(a, first), ob = I::Sub32(b, first), seven = I::Set1(7);
                const V outside = I::Or(I::Or(I::Gt32(oa, seven), I::Gt32(ob, seven)),
                                        I::Or(I::Gt32(I::Zero(), oa), I::Gt32(I::Zero(), ob)));
                fits = c + 8 <= extent && I::Mask(outside) == 0;
            } else {
                (void)a;
                (void)b;
            }
        }
        [[gnu::always_inline]] inline V Pixels(const std::uint32_t* row, V cols) const {
            return I::Permute(I::Load8(row + start), I::Sub32(cols, first));
        }
        [[gnu::always_inline]] inline V Bytes(const std::uint8_t* row, V cols) const {
            return I::Permute(I::LoadBytes8(row + start), I::Sub32(cols, first));
        }
    };

    // The call's column table (Gfx_SpanColumnTable) for a nearest walk,
    // filled when it was made for another walk; null when the span is too
    // wide for it or the call lends none.
    static const Gfx_SpanColumnTable* Columns(const Gfx_SpanArgs& s) {
        Gfx_SpanColumnTable* t = s.columns;
        if (!t || s.count > Gfx_SpanColumnTable::kPixels || s.count < N) return nullptr;
        const Gfx_SpanColumnTable::Key key{s.u, s.du, s.count, s.x0, s.x1, s.imgW};
        if (t->valid && t->key == key) return t;
        std::int64_t u = s.u;
        for (std::int32_t i = 0; i < s.count; ++i, u += s.du)
            t->col[i] = static_cast<std::int32_t>(ClampIndex(u >> 16, s.x0, s.x1 - 1));
        // The whole vectors, then the last one, which overlaps them.
        const auto slot = [&](std::int32_t p) {
            const std::int32_t* c = t->col + p;
            std::int32_t lo = c[0], hi = c[0];
            for (std::int32_t j = 1; j < N; ++j) {
                lo = std::min(lo, c[j]);
                hi = std::max(hi, c[j]);
            }
            const bool fits = I::kPermute && hi - lo <= 7 && lo + 8 <= s.imgW;
            t->start[(p + N - 1) / N] = fits ? lo : -1;
        };
        for (std::int32_t p = 0; p + N <= s.count; p += N) slot(p);
        slot(s.count - N);
        t->key = key;
        t->valid = true;
        return t;
    }

    struct ScaleNearest {
        static constexpr bool kRow = false;
        const std::uint32_t* row;
        const std::uint8_t* alphaRow;
        V u, step, lo, hi, col;
        std::int64_t u0, du;
        Window win;
        // With a column table the walk reads its columns from it: `at` is
        // the first pixel of the current vector.
        const Gfx_SpanColumnTable* table;
        std::int32_t at = -N;

        explicit ScaleNearest(const Gfx_SpanArgs& s) : u0(s.u), du(s.du), win(s.imgW), table(Columns(s)) {
            const std::int64_t r = ClampIndex(s.v >> 16, s.y0, s.y1 - 1);
            row = s.srcBase ? s.srcBase + r * s.srcPitch : nullptr;
            alphaRow = s.srcAlphaBase ? s.srcAlphaBase + r * s.srcAlphaPitch : nullptr;
            u = Lanes(s.u, s.du);
            step = I::Set1(static_cast<std::int32_t>(s.du * N));
            lo = I::Set1(s.x0);
            hi = I::Set1(s.x1 - 1);
            col = I::Zero();
        }
        static bool Fits(const Gfx_SpanArgs& s) { return s.x0 < s.x1 && s.y0 < s.y1 && WalkFits(s.u, s.du, s.count); }
        [[gnu::always_inline]] inline void Next() {
            if (table) {
                at += N;
                col = I::Load(reinterpret_cast<const std::uint32_t*>(table->col + at));
                const std::int32_t first = table->start[(at + N - 1) / N];
                win.fits = first >= 0;
                if (win.fits) {
                    win.start = first;
                    win.first = I::Set1(first);
                }
                return;
            }
            col = Clamp(I::Srai32(u, 16), lo, hi);
            u = I::Add32(u, step);
            win.Place(col, col);
        }
        void Seek(std::int32_t first) {
            at = first - N;
            u = Lanes(u0 + first * du, du);
        }
        [[gnu::always_inline]] inline V Color() const {
            if (win.fits) return win.Pixels(row, col);
            return table ? I::GatherAt(row, table->col + at) : I::Gather(row, col);
        }
        [[gnu::always_inline]] inline V Alpha() const {
            if (win.fits) return win.Bytes(alphaRow, col);
            return table ? I::GatherBytesAt(alphaRow, table->col + at) : I::GatherBytes(alphaRow, col);
        }
    };

    // Row * pitch + column stays in 32 bits for every sample of the image.
    static bool PlaneFits(std::ptrdiff_t pitch, std::int64_t w, std::int64_t h) {
        const std::int64_t p = pitch < 0 ? -pitch : pitch;
        return p * (h + 1) + w < (std::int64_t{1} << 31);
    }

    static bool RotateFits(const Gfx_SpanArgs& s) {
        return s.x0 < s.x1 && s.y0 < s.y1 && WalkFits(s.u, s.du, s.count) && WalkFits(s.v, s.dv, s.count) &&
               PlaneFits(s.srcPitch, s.imgW, s.imgH) && PlaneFits(s.srcAlphaPitch, s.imgW, s.imgH);
    }

    // What both rotated walks keep: the source planes, N coordinates (u, v)
    // stepped together, and the clamp rectangle. The nearest walk clamps to
    // the last column and row, the bilinear one to the rectangle's far
    // edges (`far` 1 and 0).
    struct RotateLanes {
        const std::uint32_t* base;
        const std::uint8_t* alphaBase;
        V pitch, alphaPitch, u, v, ustep, vstep, xlo, xhi, ylo, yhi;
        std::int64_t u0, v0, du, dv;

        RotateLanes(const Gfx_SpanArgs& s, std::int32_t far)
            : base(s.srcBase),
              alphaBase(s.srcAlphaBase),
              pitch(I::Set1(static_cast<std::int32_t>(s.srcPitch))),
              alphaPitch(I::Set1(static_cast<std::int32_t>(s.srcAlphaPitch))),
              u(Lanes(s.u, s.du)),
              v(Lanes(s.v, s.dv)),
              ustep(I::Set1(static_cast<std::int32_t>(s.du * N))),
              vstep(I::Set1(static_cast<std::int32_t>(s.dv * N))),
              xlo(I::Set1(s.x0)),
              xhi(I::Set1(s.x1 - far)),
              ylo(I::Set1(s.y0)),
              yhi(I::Set1(s.y1 - far)),
              u0(s.u),
              v0(s.v),
              du(s.du),
              dv(s.dv) {}
        [[gnu::always_inline]] inline void Step() {
            u = I::Add32(u, ustep);
            v = I::Add32(v, vstep);
        }
        void Seek(std::int32_t first) {
            u = Lanes(u0 + first * du, du);
            v = Lanes(v0 + first * dv, dv);
        }
    };

    struct RotateNearest : RotateLanes {
        using RotateLanes::base, RotateLanes::alphaBase, RotateLanes::pitch, RotateLanes::alphaPitch;
        using RotateLanes::Step;
        using RotateLanes::u, RotateLanes::v, RotateLanes::xlo, RotateLanes::xhi, RotateLanes::ylo, RotateLanes::yhi;
        static constexpr bool kRow = false;
        V col, row;

        explicit RotateNearest(const Gfx_SpanArgs& s) : RotateLanes(s, 1), col(I::Zero()), row(I::Zero()) {}
        static bool Fits(const Gfx_SpanArgs& s) { return RotateFits(s); }
        [[gnu::always_inline]] inline void Next() {
            col = Clamp(I::Srai32(u, 16), xlo, xhi);
            row = Clamp(I::Srai32(v, 16), ylo, yhi);
            Step();
        }
        [[gnu::always_inline]] inline V Color() const { return I::Gather(base, I::Add32(I::Mullo32(row, pitch), col)); }
        [[gnu::always_inline]] inline V Alpha() const {
            return I::GatherBytes(alphaBase, I::Add32(I::Mullo32(row, alphaPitch), col));
        }
    };

    // Bilinear taps of N coordinates: first index a, second b, fraction f.
    // Left of the rectangle both are lo, past hi both are hi; an index at
    // the image's extent wraps to 0. With 0 <= lo < hi <= extent that is
    // exactly the scalar rule, modulo included.
    struct TapsV {
        V a, b, f;
    };

    [[gnu::always_inline]] static inline TapsV Taps(V coord, V lo, V hi, V extent) {
        const V c0 = I::Srai32(coord, 16);
        const V below = I::Gt32(lo, c0);
        V a = I::Select(below, lo, c0);
        V b = I::Select(below, lo, I::Add32(c0, I::Set1(1)));
        const V past = I::Gt32(b, hi);
        a = I::Select(past, hi, a);
        b = I::Select(past, hi, b);
        a = I::AndNot(I::Eq32(a, extent), a);
        b = I::AndNot(I::Eq32(b, extent), b);
        return {a, b, I::And(coord, I::Set1(0xFFFF))};
    }

    // Whether every lane's second column is its first plus one: then both
    // are read with one load from the same row (the common case inside the
    // rectangle; edges, clamps and wraps take the general loads).
    [[gnu::always_inline]] static inline bool Adjacent(const TapsV& t) {
        return I::Mask(I::Eq32(t.b, I::Add32(t.a, I::Set1(1)))) == I::kAll;
    }

    static bool BilinearFits(std::int32_t lo, std::int32_t hi, std::int32_t extent) {
        return 0 <= lo && lo < hi && hi <= extent;
    }

    struct ScaleBilinear {
        static constexpr bool kRow = false;
        const std::uint32_t *r0, *r1;
        const std::uint8_t *a0, *a1;
        V fy, u, step, lo, hi, extent;
        TapsV t;
        bool adjacent = false;  // every second column is the first plus one
        std::int64_t u0, du;
        Window win;

        explicit ScaleBilinear(const Gfx_SpanArgs& s)
            : r0(nullptr), r1(nullptr), a0(nullptr), a1(nullptr), u0(s.u), du(s.du), win(s.imgW) {
            const SpanTaps ty = SpanBilinearTaps(s.v, s.y0, s.y1, s.imgH);
            if (s.srcBase) {
                r0 = s.srcBase + ty.a * s.srcPitch;
                r1 = s.srcBase + ty.b * s.srcPitch;
            }
            if (s.srcAlphaBase) {
                a0 = s.srcAlphaBase + ty.a * s.srcAlphaPitch;
                a1 = s.srcAlphaBase + ty.b * s.srcAlphaPitch;
            }
            fy = I::Set1(ty.f);
            u = Lanes(s.u, s.du);
            step = I::Set1(static_cast<std::int32_t>(s.du * N));
            lo = I::Set1(s.x0);
            hi = I::Set1(s.x1);
            extent = I::Set1(s.imgW);
            t = {I::Zero(), I::Zero(), I::Zero()};
        }
        static bool Fits(const Gfx_SpanArgs& s) {
            return BilinearFits(s.x0, s.x1, s.imgW) && s.y0 < s.y1 && WalkFits(s.u, s.du, s.count);
        }
        [[gnu::always_inline]] inline void Next() {
            t = Taps(u, lo, hi, extent);
            win.Place(t.a, t.b);
            adjacent = !win.fits && Adjacent(t);
            u = I::Add32(u, step);
        }
        void Seek(std::int32_t first) { u = Lanes(u0 + first * du, du); }
        // The pixels at the two columns of every lane in one row.
        [[gnu::always_inline]] inline void Pair(const std::uint32_t* row, V& p0, V& p1) const {
            if (win.fits) {
                p0 = win.Pixels(row, t.a);
                p1 = win.Pixels(row, t.b);
            } else if (adjacent) {
                I::LoadPairs(row, t.a, p0, p1);
            } else {
                p0 = I::Gather(row, t.a);
                p1 = I::Gather(row, t.b);
            }
        }
        [[gnu::always_inline]] inline void BytePair(const std::uint8_t* row, V& a0v, V& a1v) const {
            if (win.fits) {
                a0v = win.Bytes(row, t.a);
                a1v = win.Bytes(row, t.b);
            } else if (adjacent) {
                I::LoadBytePairs(row, t.a, a0v, a1v);
            } else {
                a0v = I::GatherBytes(row, t.a);
                a1v = I::GatherBytes(row, t.b);
            }
        }
        [[gnu::always_inline]] inline V Color() const {
            if (win.fits) {
                return BilerpPixels(win.Pixels(r0, t.a), win.Pixels(r0, t.b), win.Pixels(r1, t.a), win.Pixels(r1, t.b),
                                    t.f, fy);
            }
            if (adjacent) {
                V p00, p01, p10, p11;
                I::LoadPairs(r0, t.a, p00, p01);
                I::LoadPairs(r1, t.a, p10, p11);
                return BilerpPixels(p00, p01, p10, p11, t.f, fy);
            }
            return BilerpPixels(I::Gather(r0, t.a), I::Gather(r0, t.b), I::Gather(r1, t.a), I::Gather(r1, t.b), t.f,
                                fy);
        }
        [[gnu::always_inline]] inline V Alpha() const {
            if (win.fits) {
                return BilerpLanes(win.Bytes(a0, t.a), win.Bytes(a0, t.b), win.Bytes(a1, t.a), win.Bytes(a1, t.b), t.f,
                                   fy);
            }
            if (adjacent) {
                V a00, a01, a10, a11;
                I::LoadBytePairs(a0, t.a, a00, a01);
                I::LoadBytePairs(a1, t.a, a10, a11);
                return BilerpLanes(a00, a01, a10, a11, t.f, fy);
            }
            return BilerpLanes(I::GatherBytes(a0, t.a), I::GatherBytes(a0, t.b), I::GatherBytes(a1, t.a),
                               I::GatherBytes(a1, t.b), t.f, fy);
        }
    };

    struct RotateBilinear : RotateLanes {
        using RotateLanes::base, RotateLanes::alphaBase, RotateLanes::pitch, RotateLanes::alphaPitch;
        using RotateLanes::Step;
        using RotateLanes::u, RotateLanes::v, RotateLanes::xlo, RotateLanes::xhi, RotateLanes::ylo, RotateLanes::yhi;
        static constexpr bool kRow = false;
        V w, h;
        V xin, yin;  // min(hi, extent - 1) per axis
        TapsV tx, ty;
        bool adjacent = false;
        // Inside the rectangle every lane's four taps are a pixel, its right
        // neighbour and the two below them: one index per lane then serves
        // both rows (and both planes when their pitches agree), and the
        // alpha bytes of both rows come in one lane load each.
        bool quad = false;
        std::ptrdiff_t rowStep, alphaRowStep;
        bool sharedIndex;
        alignas(64) std::int32_t colorIndex[N];
        alignas(64) std::int32_t alphaIndex[N];

        explicit RotateBilinear(const Gfx_SpanArgs& s)
            : RotateLanes(s, 0),
              w(I::Set1(s.imgW)),
              h(I::Set1(s.imgH)),
              xin(I::Set1(std::min(s.x1, s.imgW - 1))),
              yin(I::Set1(std::min(s.y1, s.imgH - 1))),
              tx{I::Zero(), I::Zero(), I::Zero()},
              ty{I::Zero(), I::Zero(), I::Zero()},
              rowStep(s.srcPitch),
              alphaRowStep(s.srcAlphaPitch),
              sharedIndex(s.srcBase && s.srcAlphaBase && s.srcPitch == s.srcAlphaPitch) {}
        static bool Fits(const Gfx_SpanArgs& s) {
            return BilinearFits(s.x0, s.x1, s.imgW) && BilinearFits(s.y0, s.y1, s.imgH) && RotateFits(s);
        }
        [[gnu::always_inline]] inline void Next() {
            // Every lane inside (first index at least lo, second below both
            // hi and the extent): the taps need no clamp and no wrap.
            const V cx = I::Srai32(u, 16), cy = I::Srai32(v, 16);
            const V inside =
                I::AndNot(I::Or(I::Gt32(xlo, cx), I::Gt32(ylo, cy)), I::And(I::Gt32(xin, cx), I::Gt32(yin, cy)));
            const V one = I::Set1(1), fraction = I::Set1(0xFFFF);
            if (I::Mask(inside) == I::kAll) {
                tx = {cx, I::Add32(cx, one), I::And(u, fraction)};
                ty = {cy, I::Add32(cy, one), I::And(v, fraction)};
                quad = adjacent = true;
                if (base) I::ToArray(colorIndex, I::Add32(I::Mullo32(cy, pitch), cx));
                if (alphaBase && !sharedIndex) I::ToArray(alphaIndex, I::Add32(I::Mullo32(cy, alphaPitch), cx));
                Step();
                return;
            }
            tx = Taps(u, xlo, xhi, w);
            ty = Taps(v, ylo, yhi, h);
            const V right = I::Eq32(tx.b, I::Add32(tx.a, one));
            quad = I::Mask(I::And(right, I::Eq32(ty.b, I::Add32(ty.a, one)))) == I::kAll;
            adjacent = quad || I::Mask(right) == I::kAll;
            if (quad) {
                if (base) I::ToArray(colorIndex, I::Add32(I::Mullo32(ty.a, pitch), tx.a));
                if (alphaBase && !sharedIndex) I::ToArray(alphaIndex, I::Add32(I::Mullo32(ty.a, alphaPitch), tx.a));
            }
            Step();
        }
        [[gnu::always_inline]] inline V Color() const {
            if (quad) {
                V p00, p01, p10, p11;
                I::LoadPairsAt(base, colorIndex, p00, p01);
                I::LoadPairsAt(base + rowStep, colorIndex, p10, p11);
                return BilerpPixels(p00, p01, p10, p11, tx.f, ty.f);
            }
            const V o0 = I::Mullo32(ty.a, pitch), o1 = I::Mullo32(ty.b, pitch);
            if (adjacent) {
                V p00, p01, p10, p11;
                I::LoadPairs(base, I::Add32(o0, tx.a), p00, p01);
                I::LoadPairs(base, I::Add32(o1, tx.a), p10, p11);
                return BilerpPixels(p00, p01, p10, p11, tx.f, ty.f);
            }
            return BilerpPixels(I::Gather(base, I::Add32(o0, tx.a)), I::Gather(base, I::Add32(o0, tx.b)),
                                I::Gather(base, I::Add32(o1, tx.a)), I::Gather(base, I::Add32(o1, tx.b)), tx.f, ty.f);
        }
        [[gnu::always_inline]] inline V Alpha() const {
            if (quad) {
                const V q =
                    I::LoadByteQuadsAt(alphaBase, alphaBase + alphaRowStep, sharedIndex ? colorIndex : alphaIndex);
                const V byte = I::Set1(0xFF);
                return BilerpLanes(I::And(q, byte), I::And(I::Srli32(q, 8), byte), I::And(I::Srli32(q, 16), byte),
                                   I::Srli32(q, 24), tx.f, ty.f);
            }
            const V o0 = I::Mullo32(ty.a, alphaPitch), o1 = I::Mullo32(ty.b, alphaPitch);
            if (adjacent) {
                V a00, a01, a10, a11;
                I::LoadBytePairs(alphaBase, I::Add32(o0, tx.a), a00, a01);
                I::LoadBytePairs(alphaBase, I::Add32(o1, tx.a), a10, a11);
                return BilerpLanes(a00, a01, a10, a11, tx.f, ty.f);
            }
            return BilerpLanes(I::GatherBytes(alphaBase, I::Add32(o0, tx.a)),
                               I::GatherBytes(alphaBase, I::Add32(o0, tx.b)),
                               I::GatherBytes(alphaBase, I::Add32(o1, tx.a)),
                               I::GatherBytes(alphaBase, I::Add32(o1, tx.b)), tx.f, ty.f);
        }
    };

    // -----------------------------------------------------------------
    // Kernels. Each takes the scalar kernel of its id and variant for the
    // calls and pixels the vectors do not cover.

    template <std::uint32_t Id, std::uint32_t Var>
    static void Scalar(const Gfx_SpanArgs& s) {
        I::End();
        Gfx_SpanKernels_Scalar().fn[Id][Var](s);
    }

    template <class S>
    static bool Eligible(const Gfx_SpanArgs& s, bool mirror) {
        return s.count >= N && S::Fits(s) && Isolated(s, S::kRow, mirror);
    }

    // Lanes 0..k-1 set.
    [[gnu::always_inline]] static inline V LanesBelow(std::int32_t k) { return I::Gt32(I::Set1(k), I::Iota()); }

    // Runs `step(i, keep)` for the whole vectors of a span of at least N
    // pixels, then once more for the last N pixels when the count is not a
    // multiple of N: that vector overlaps pixels already drawn, which it
    // marks in `keep` and leaves as they are.
    template <class S, class Step>
    [[gnu::always_inline]] static inline void Walk(const Gfx_SpanArgs& s, S& smp, Step&& step, std::int32_t start = 0) {
        const std::int32_t n = s.count / N * N;
        if (start > 0) smp.Seek(start);
        for (std::int32_t i = start; i < n; i += N) {
            smp.Next();
            step(i, I::Zero());
        }
        if (n < s.count) {
            const std::int32_t first = s.count - N;
            smp.Seek(first);
            smp.Next();
            step(first, LanesBelow(n - first));
        }
        I::End();
    }

    static void RowCopy(const Gfx_SpanArgs& s) {
        if (!Eligible<RowSampler<false>>(s, false)) return Scalar<GFX_SPAN_ROW_COPY, 0>(s);
        const std::uint32_t* src = s.src;
        std::uint32_t* dst = s.dst;
        const std::int32_t n = s.count;
        std::int32_t i = 0;
        for (; i + 4 * N <= n; i += 4 * N) {
            const V a = I::Load(src + i), b = I::Load(src + i + N), c = I::Load(src + i + 2 * N),
                    d = I::Load(src + i + 3 * N);
            I::Store(dst + i, a);
            I::Store(dst + i + N, b);
            I::Store(dst + i + 2 * N, c);
            I::Store(dst + i + 3 * N, d);
        }
        for (; i + N <= n; i += N) I::Store(dst + i, I::Load(src + i));
        if (i < n) I::Store(dst + n - N, I::Load(src + n - N));  // overlaps, same values
        I::End();
    }

    static void RowFill(const Gfx_SpanArgs& s) {
        std::uint32_t* dst = s.dst;
        const std::int32_t n = s.count;
        if (n < N) {
            for (std::int32_t i = 0; i < n; ++i) dst[i] = s.fillPixel;
            return;
        }
        const V fill = I::Set1(static_cast<std::int32_t>(s.fillPixel));
        std::int32_t i = 0;
        for (; i + N <= n; i += N) I::Store(dst + i, fill);
        if (i < n) I::Store(dst + n - N, fill);
        I::End();
    }

    // The row key copy, four vectors a step: a step without the key is
    // stored whole; otherwise each vector is stored whole, skipped (all
    // key) or stored but for its key lanes. Drawing a pixel a second time
    // (the last, overlapping vector) gives it the same value.
    static void RowKey(const Gfx_SpanArgs& s) {
        if (!Eligible<RowSampler<false>>(s, false)) return Scalar<GFX_SPAN_ROW_KEY, 0>(s);
        const std::uint32_t* src = s.src;
        std::uint32_t* dst = s.dst;
        const std::int32_t n = s.count;
        const V key = I::Set1(static_cast<std::int32_t>(s.keyPixel));
        const auto put = [&](std::int32_t at, V p) {
            const V isKey = I::Eq32(p, key);
            const unsigned m = I::Mask(isKey);
            if (m == 0)
                I::Store(dst + at, p);
            else if (m != I::kAll)
                I::StoreUnless(dst + at, isKey, p);
        };
        std::int32_t i = 0;
        for (; i + 4 * N <= n; i += 4 * N) {
#pragma GCC unroll 2
            for (std::int32_t k = 0; k < 4 * N; k += 16) FetchAhead(src, i + kAhead + k);
            const V p0 = I::Load(src + i), p1 = I::Load(src + i + N), p2 = I::Load(src + i + 2 * N),
                    p3 = I::Load(src + i + 3 * N);
            const V any = I::Or(I::Or(I::Eq32(p0, key), I::Eq32(p1, key)), I::Or(I::Eq32(p2, key), I::Eq32(p3, key)));
            if (I::Mask(any) == 0) {
                I::Store(dst + i, p0);
                I::Store(dst + i + N, p1);
                I::Store(dst + i + 2 * N, p2);
                I::Store(dst + i + 3 * N, p3);
                continue;
            }
            put(i, p0);
            put(i + N, p1);
            put(i + 2 * N, p2);
            put(i + 3 * N, p3);
        }
        for (; i + N <= n; i += N) put(i, I::Load(src + i));
        if (i < n) put(n - N, I::Load(src + n - N));
        I::End();
    }

    // Copy, key and key-with-fill: the sampled pixel, the pixel unless it is
    // the key, the fill colour unless the sample is the key. Drawing a pixel
    // a second time gives it the same value, so these ignore `keep`.
    enum class Opaque { Copy, Key, KeyFill };

    template <class S, Opaque Op, std::uint32_t Id, std::uint32_t Var>
    [[gnu::flatten]] static void OpaqueKernel(const Gfx_SpanArgs& s) {
        constexpr bool mirror = (Var & GFX_SPAN_MIRROR) != 0 && S::kRow;
        if (!Eligible<S>(s, mirror)) return Scalar<Id, Var>(s);
        S smp(s);
        const V key = I::Set1(static_cast<std::int32_t>(s.keyPixel));
        const V fill = I::Set1(static_cast<std::int32_t>(s.fillPixel));
        std::uint32_t* dst = s.dst;
        Walk(s, smp, [&](std::int32_t i, V) {
            const V p = smp.Color();
            if constexpr (Op == Opaque::Copy) {
                I::Store(dst + i, p);
            } else {
                const V isKey = I::Eq32(p, key);
                const unsigned m = I::Mask(isKey);
                const V out = Op == Opaque::Key ? p : fill;
                if (m == 0)
                    I::Store(dst + i, out);
                else if (m != I::kAll)
                    I::Store(dst + i, I::Select(isKey, I::Load(dst + i), out));
            }
        });
    }

    // The weight of N pixels: the opacity, times the source alpha when there
    // is one.
    template <bool SrcA, bool Full, class S>
    [[gnu::always_inline]] static inline V Weight(const S& smp, V alpha256) {
        if constexpr (!SrcA) {
            return alpha256;
        } else if constexpr (Full) {
            return smp.Alpha();
        } else {
            return I::Srli32(I::Mullo16(smp.Alpha(), alpha256), 8);
        }
    }

    static std::uint32_t FillPacked(const Gfx_SpanArgs& s) {
        return static_cast<std::uint32_t>(s.fillR) << s.dstShift[0] |
               static_cast<std::uint32_t>(s.fillG) << s.dstShift[1] |
               static_cast<std::uint32_t>(s.fillB) << s.dstShift[2];
    }

    // The row blend through a source alpha plane onto a destination without
    // one (a paint layer, a glyph): groups of 4N pixels, so that one look
    // at their alpha bytes settles a group wholly transparent or wholly
    // opaque. Any other group is mixed whole, without per-pixel branches:
    // the mix at weight 0 is the destination and at 256 the source, every
    // byte of them, so only the fourth byte tells those pixels apart.
    // Returns where the groups end; the caller draws the rest.
    template <bool Fill, bool Full>
    [[gnu::always_inline]] static inline std::int32_t RowBlendGroups(const Gfx_SpanArgs& s, V chan) {
        constexpr std::int32_t G = 4 * N;
        const std::uint8_t* alpha = s.srcAlpha;
        const std::uint32_t* src = s.src;
        std::uint32_t* dst = s.dst;
        const std::int32_t n = s.count;
        // The weight (byte * alpha256) >> 8 is 0 exactly for bytes up to `low`.
        const std::int32_t low = Full ? 0 : (s.alpha256 > 0 ? 255 / s.alpha256 : 255);
        const V lowBytes = I::Set1(static_cast<std::int32_t>(static_cast<std::uint32_t>(low) * 0x01010101u));
        const V allOnes = I::Set1(-1);
        const V fill = I::Set1(static_cast<std::int32_t>(s.fillPixel));
        const V lowByte = I::Set1(0xFF);
        // Whether a byte of 255 is a weight of 255, which copies the pixel.
        const bool opaqueBytes = Full || s.alpha256 >= 256;
        const auto pixels = [&](std::int32_t at) { return Fill ? fill : I::Load(src + at); };
        std::int32_t i = 0;
        for (; i + G <= n; i += G) {
#pragma GCC unroll 2
            for (std::int32_t k = 0; k < G; k += 16) {
                FetchAhead(dst, i + kAhead + k);
                if constexpr (!Fill) FetchAhead(src, i + kAhead + k);
            }
            const V g = I::LoadGroup(alpha + i);
            const unsigned zero = I::Mask(I::Eq8(I::Min8u(g, lowBytes), g));
            if (zero == I::kAll) continue;
            const unsigned full = opaqueBytes ? I::Mask(I::Eq8(g, allOnes)) : 0u;
            if (full == I::kAll) {
#pragma GCC unroll 4
                for (std::int32_t j = 0; j < 4; ++j) I::Store(dst + i + j * N, pixels(i + j * N));
                continue;
            }
            V w[4];
            I::template GroupWeights<Full>(alpha + i, g, s.alpha256, w);
            // Weights 0 and 256 (w & 0xFF == 0) keep the fourth byte. Whether
            // the group has any is a select, not a branch: with random alpha
            // it would be a coin toss.
            const V ends = (zero | full) == 0 ? I::Zero() : allOnes;
#pragma GCC unroll 4
            for (std::int32_t j = 0; j < 4; ++j) {
                std::uint32_t* d = dst + i + j * N;
                const V whole = I::Or(chan, I::And(ends, I::Eq32(I::And(w[j], lowByte), I::Zero())));
                I::Store(d, I::And(MixPaired(I::Load(d), pixels(i + j * N), w[j]), whole));
            }
        }
        return i;
    }

    template <class S, std::uint32_t Id, std::uint32_t Var>
    [[gnu::flatten]] static void Blend(const Gfx_SpanArgs& s) {
        constexpr bool Fill = Var & GFX_SPAN_FILL, SrcA = Var & GFX_SPAN_SRC_ALPHA, DstA = Var & GFX_SPAN_DST_ALPHA,
                       Full = Var & GFX_SPAN_FULL_OPACITY;
        constexpr bool mirror = (Var & GFX_SPAN_MIRROR) != 0 && S::kRow;
        std::uint32_t channels = 0;
        if (!ByteLayout(s, channels) || !Eligible<S>(s, mirror)) return Scalar<Id, Var>(s);
        S smp(s);
        const V chan = I::Set1(static_cast<std::int32_t>(channels));
        const V alpha256 = I::Set1(Full ? 256 : s.alpha256);
        const V fillRaw = I::Set1(static_cast<std::int32_t>(s.fillPixel));
        const V fillColor = I::Set1(static_cast<std::int32_t>(FillPacked(s)));
        std::uint32_t* dst = s.dst;
        std::uint8_t* da = s.dstAlpha;
        std::int32_t start = 0;
        if constexpr (S::kRow && SrcA && !DstA && !mirror) start = RowBlendGroups<Fill, Full>(s, chan);
        Walk(
            s, smp,
            [&](std::int32_t i, V keep) {
                if constexpr (S::kRow) FetchAhead(dst, i + kAhead);
                const V a = Weight<SrcA, Full>(smp, alpha256);
                if (SrcA && I::Mask(I::Eq32(a, I::Zero())) == I::kAll) return;
                if constexpr (Fill) {
                    Put<DstA>(dst + i, DstA ? da + i : nullptr, a, fillRaw, fillColor, chan, keep);
                } else {
                    const V p = smp.Color();
                    Put<DstA>(dst + i, DstA ? da + i : nullptr, a, p, p, chan, keep);
                }
            },
            start);
    }

    template <class S, std::uint32_t Id, std::uint32_t Var>
    [[gnu::flatten]] static void Adjust(const Gfx_SpanArgs& s) {
        constexpr bool Fill = Var & GFX_SPAN_FILL, SrcA = Var & GFX_SPAN_SRC_ALPHA, DstA = Var & GFX_SPAN_DST_ALPHA,
                       Full = Var & GFX_SPAN_FULL_OPACITY, AdjustColor = Var & GFX_SPAN_ADJUST_COLOR;
        constexpr bool mirror = (Var & GFX_SPAN_MIRROR) != 0 && S::kRow;
        std::uint32_t channels = 0;
        if (!ByteLayout(s, channels) || !Eligible<S>(s, mirror) || (AdjustColor && !Fill && !ContrastFits(s)))
            return Scalar<Id, Var>(s);
        S smp(s);
        const Adjuster adjust = MakeAdjuster(s);
        const V chan = I::Set1(static_cast<std::int32_t>(channels));
        const V alpha256 = I::Set1(Full ? 256 : s.alpha256);
        const V fillColor = I::Set1(static_cast<std::int32_t>(FillPacked(s)));
        std::uint32_t* dst = s.dst;
        std::uint8_t* da = s.dstAlpha;
        Walk(s, smp, [&](std::int32_t i, V keep) {
            const V a = Weight<SrcA, Full>(smp, alpha256);
            if (SrcA && I::Mask(I::Eq32(a, I::Zero())) == I::kAll) return;
            V c = fillColor;
            if constexpr (!Fill) {
                c = smp.Color();
                if constexpr (AdjustColor) c = adjust(c);
                c = I::And(c, chan);
            }
            Put<DstA>(dst + i, DstA ? da + i : nullptr, a, c, c, chan, keep);
        });
    }

    // -----------------------------------------------------------------
    // Bilinear scaling through the call's row cache (Gfx_SpanRowCache): a
    // source row is interpolated across once, x first as the rule orders
    // it, and kept in 16-bit lanes; a destination row then interpolates
    // down between two cached rows. The values are those of BilerpPixels
    // and BilerpLanes, step for step.

    // The slots are aligned for the vectors (the vector types may alias).
    [[gnu::always_inline]] static inline V LoadV(const V* p) { return *p; }
    [[gnu::always_inline]] static inline void StoreV(V* p, V v) { *p = v; }

    // Vectors of one cache slot: N pixels take two colour vectors (the
    // unpacked low and high halves) and one alpha vector.
    static V* ColorAt(Gfx_SpanRowCache& c, int slot, std::int32_t i) {
        return reinterpret_cast<V*>(c.color[slot] + 4 * i);
    }
    static V* AlphaAt(Gfx_SpanRowCache& c, int slot, std::int32_t i) { return reinterpret_cast<V*>(c.alpha[slot] + i); }

    // Interpolates source row r across into slot k. Whole vectors go to
    // their pixels' places; a last vector overlapping the one before goes
    // to the place after the whole ones (`n`), where it is read back.
    template <bool NeedColor, bool SrcA>
    static void CacheRow(const Gfx_SpanArgs& s, Gfx_SpanRowCache& c, int k, std::int64_t r) {
        ScaleBilinear smp(s);
        const std::uint32_t* row = NeedColor ? s.srcBase + r * s.srcPitch : nullptr;
        const std::uint8_t* alphaRow = SrcA ? s.srcAlphaBase + r * s.srcAlphaPitch : nullptr;
        const auto across = [&](std::int32_t at) {
            if constexpr (NeedColor) {
                V p0, p1, fl, fh;
                smp.Pair(row, p0, p1);
                Spread(smp.t.f, fl, fh);
                V* out = ColorAt(c, k, at);
                StoreV(out, Lerp(I::Lo8(p0), I::Lo8(p1), fl, I::Srai16(fl, 15)));
                StoreV(out + 1, Lerp(I::Hi8(p0), I::Hi8(p1), fh, I::Srai16(fh, 15)));
            }
            if constexpr (SrcA) {
                V a0, a1;
                smp.BytePair(alphaRow, a0, a1);
                StoreV(AlphaAt(c, k, at), Lerp(a0, a1, smp.t.f, I::Srai16(smp.t.f, 15)));
            }
        };
        // A vector's load: the window's first column (>= 0), or
        // kLoadAdjacent, or kLoadGather.
        constexpr std::int32_t kLoadAdjacent = -1, kLoadGather = -2;
        const bool record = !c.tapsValid;
        const auto next = [&](std::int32_t at) {
            if (record) {
                smp.Next();
                I::Store(reinterpret_cast<std::uint32_t*>(c.tapA + at), smp.t.a);
                I::Store(reinterpret_cast<std::uint32_t*>(c.tapB + at), smp.t.b);
                I::Store(reinterpret_cast<std::uint32_t*>(c.tapF + at), smp.t.f);
                c.tapLoad[at / N] = smp.win.fits ? smp.win.start : (smp.adjacent ? kLoadAdjacent : kLoadGather);
                return;
            }
            smp.t = {LoadV(reinterpret_cast<const V*>(c.tapA + at)), LoadV(reinterpret_cast<const V*>(c.tapB + at)),
                     LoadV(reinterpret_cast<const V*>(c.tapF + at))};
            const std::int32_t load = c.tapLoad[at / N];
            smp.win.fits = load >= 0;
            if (smp.win.fits) {
                smp.win.start = load;
                smp.win.first = I::Set1(load);
            }
            smp.adjacent = load == kLoadAdjacent;
        };
        const std::int32_t n = s.count / N * N;
        for (std::int32_t i = 0; i < n; i += N) {
            next(i);
            across(i);
        }
        if (n < s.count) {
            if (record) smp.Seek(s.count - N);
            next(n);
            across(n);
        }
        c.tapsValid = true;
        c.row[k] = r;
    }

    // The slots holding source rows a and b (filled when missing), without
    // evicting one to fill the other.
    template <bool NeedColor, bool SrcA>
    static void CacheRows(const Gfx_SpanArgs& s, Gfx_SpanRowCache& c, std::int64_t a, std::int64_t b, int& ka,
                          int& kb) {
        const auto find = [&](std::int64_t r) { return c.row[0] == r ? 0 : (c.row[1] == r ? 1 : -1); };
        ka = find(a);
        kb = find(b);
        if (ka < 0) {
            ka = kb == 0 ? 1 : 0;
            CacheRow<NeedColor, SrcA>(s, c, ka, a);
            if (b == a) kb = ka;
        }
        if (kb < 0) {
            kb = 1 - ka;
            CacheRow<NeedColor, SrcA>(s, c, kb, b);
        }
    }

    template <std::uint32_t Id, std::uint32_t Var>
    [[gnu::flatten]] static void ScaleBilinearCached(const Gfx_SpanArgs& s) {
        constexpr bool Fill = Var & GFX_SPAN_FILL, SrcA = Var & GFX_SPAN_SRC_ALPHA, DstA = Var & GFX_SPAN_DST_ALPHA,
                       Full = Var & GFX_SPAN_FULL_OPACITY, AdjustColor = Var & GFX_SPAN_ADJUST_COLOR;
        constexpr bool NeedColor = !Fill;
        Gfx_SpanRowCache* cache = s.rowCache;
        std::uint32_t channels = 0;
        if (!cache || s.count > Gfx_SpanRowCache::kPixels || !ByteLayout(s, channels) ||
            !Eligible<ScaleBilinear>(s, false) || (AdjustColor && !Fill && !ContrastFits(s))) {
            if (cache) cache->Clear();
            return Adjust<ScaleBilinear, Id, Var>(s);
        }
        const Gfx_SpanRowCache::Key key{NeedColor ? s.srcBase : nullptr,
                                        SrcA ? s.srcAlphaBase : nullptr,
                                        s.srcPitch,
                                        s.srcAlphaPitch,
                                        s.u,
                                        s.du,
                                        s.count,
                                        s.x0,
                                        s.x1,
                                        s.imgW};
        if (!cache->valid || !(cache->key == key)) {
            cache->Clear();
            cache->key = key;
            cache->valid = true;
        }
        const SpanTaps ty = SpanBilinearTaps(s.v, s.y0, s.y1, s.imgH);
        int k0 = 0, k1 = 0;
        CacheRows<NeedColor, SrcA>(s, *cache, ty.a, ty.b, k0, k1);

        const Adjuster adjust = MakeAdjuster(s);
        const V chan = I::Set1(static_cast<std::int32_t>(channels));
        const V alpha256 = I::Set1(Full ? 256 : s.alpha256);
        const V fillColor = I::Set1(static_cast<std::int32_t>(FillPacked(s)));
        const V fy16 = I::Set1_16(static_cast<std::int16_t>(static_cast<std::uint16_t>(ty.f)));
        const V fym16 = I::Srai16(fy16, 15);
        const V fy32 = I::Set1(ty.f);
        const V fym32 = I::Srai16(fy32, 15);
        std::uint32_t* dst = s.dst;
        std::uint8_t* da = s.dstAlpha;
        // `at` is where the pixels from `i` on are cached.
        const auto down = [&](std::int32_t i, std::int32_t at, V keep) {
            V a = alpha256;
            if constexpr (SrcA) {
                const V al = Lerp(LoadV(AlphaAt(*cache, k0, at)), LoadV(AlphaAt(*cache, k1, at)), fy32, fym32);
                a = Full ? al : I::Srli32(I::Mullo16(al, alpha256), 8);
                if (I::Mask(I::Eq32(a, I::Zero())) == I::kAll) return;
            }
            V c = fillColor;
            if constexpr (NeedColor) {
                const V* c0 = ColorAt(*cache, k0, at);
                const V* c1 = ColorAt(*cache, k1, at);
                c = I::Pack16(Lerp(LoadV(c0), LoadV(c1), fy16, fym16), Lerp(LoadV(c0 + 1), LoadV(c1 + 1), fy16, fym16));
                if constexpr (AdjustColor) c = adjust(c);
                c = I::And(c, chan);
            }
            Put<DstA>(dst + i, DstA ? da + i : nullptr, a, c, c, chan, keep);
        };
        const std::int32_t n = s.count / N * N;
        for (std::int32_t i = 0; i < n; i += N) down(i, i, I::Zero());
        if (n < s.count) {
            const std::int32_t first = s.count - N;
            down(first, n, LanesBelow(n - first));
        }
        I::End();
    }

    // -----------------------------------------------------------------
    // The table. Variant bits a kernel ignores are dropped before
    // instantiating, so each distinct loop is compiled once.

    static constexpr std::uint32_t BlendBits(bool row) {
        return GFX_SPAN_FILL | GFX_SPAN_SRC_ALPHA | GFX_SPAN_DST_ALPHA | GFX_SPAN_FULL_OPACITY |
               (row ? GFX_SPAN_MIRROR : 0u);
    }
    static constexpr std::uint32_t AdjustBits(std::uint32_t v) {
        // The fill colour is drawn unadjusted: the adjust bit means nothing then.
        const std::uint32_t kept = v & (BlendBits(false) | GFX_SPAN_MIRROR | GFX_SPAN_ADJUST_COLOR);
        return (kept & GFX_SPAN_FILL) ? kept & ~static_cast<std::uint32_t>(GFX_SPAN_ADJUST_COLOR) : kept;
    }

    template <std::size_t V0>
    static constexpr Gfx_SpanFn RowBlendFn() {
        constexpr std::uint32_t v = V0 & BlendBits(true);
        if constexpr ((v & GFX_SPAN_MIRROR) != 0)
            return &Blend<RowSampler<true>, GFX_SPAN_ROW_BLEND, v>;
        else
            return &Blend<RowSampler<false>, GFX_SPAN_ROW_BLEND, v>;
    }
    template <std::size_t V0>
    static constexpr Gfx_SpanFn RowAdjustFn() {
        constexpr std::uint32_t v = AdjustBits(V0);
        if constexpr ((v & GFX_SPAN_MIRROR) != 0)
            return &Adjust<RowSampler<true>, GFX_SPAN_ROW_ADJUST, v>;
        else
            return &Adjust<RowSampler<false>, GFX_SPAN_ROW_ADJUST, v>;
    }
    template <std::size_t V0>
    static constexpr Gfx_SpanFn RowKeyFillFn() {
        constexpr std::uint32_t v = V0 & GFX_SPAN_MIRROR;
        if constexpr (v != 0)
            return &OpaqueKernel<RowSampler<true>, Opaque::KeyFill, GFX_SPAN_ROW_KEY_FILL, v>;
        else
            return &OpaqueKernel<RowSampler<false>, Opaque::KeyFill, GFX_SPAN_ROW_KEY_FILL, v>;
    }
    template <std::size_t V0>
    static constexpr Gfx_SpanFn ScaleBlendFn() {
        return &Blend<ScaleNearest, GFX_SPAN_SCALE_BLEND, V0 & BlendBits(false)>;
    }
    template <std::size_t V0>
    static constexpr Gfx_SpanFn ScaleAdjustFn() {
        constexpr std::uint32_t v = AdjustBits(V0);
        // The fill colour through no alpha plane interpolates nothing.
        constexpr bool interpolates = (v & GFX_SPAN_FILL) == 0 || (v & GFX_SPAN_SRC_ALPHA) != 0;
        if constexpr ((v & GFX_SPAN_BILINEAR) != 0 && interpolates)
            return &ScaleBilinearCached<GFX_SPAN_SCALE_ADJUST, v>;
        else if constexpr ((v & GFX_SPAN_BILINEAR) != 0)
            return &Adjust<ScaleBilinear, GFX_SPAN_SCALE_ADJUST, v>;
        else
            return &Adjust<ScaleNearest, GFX_SPAN_SCALE_ADJUST, v>;
    }
    template <std::size_t V0>
    static constexpr Gfx_SpanFn RotateBlendFn() {
        return &Blend<RotateNearest, GFX_SPAN_ROTATE_BLEND, V0 & BlendBits(false)>;
    }
    template <std::size_t V0>
    static constexpr Gfx_SpanFn RotateAdjustFn() {
        constexpr std::uint32_t v = AdjustBits(V0);
        if constexpr ((v & GFX_SPAN_BILINEAR) != 0)
            return &Adjust<RotateBilinear, GFX_SPAN_ROTATE_ADJUST, v>;
        else
            return &Adjust<RotateNearest, GFX_SPAN_ROTATE_ADJUST, v>;
    }

    using Row64 = Gfx_SpanFn[GFX_SPAN_VARIANT_COUNT];

    template <std::size_t... V0>
    static void FillVariants(Gfx_SpanKernelTable& t, std::index_sequence<V0...>) {
        const Gfx_SpanFn rowBlend[] = {RowBlendFn<V0>()...};
        const Gfx_SpanFn rowAdjust[] = {RowAdjustFn<V0>()...};
        const Gfx_SpanFn rowKeyFill[] = {RowKeyFillFn<V0>()...};
        const Gfx_SpanFn scaleBlend[] = {ScaleBlendFn<V0>()...};
        const Gfx_SpanFn scaleAdjust[] = {ScaleAdjustFn<V0>()...};
        const Gfx_SpanFn rotateBlend[] = {RotateBlendFn<V0>()...};
        const Gfx_SpanFn rotateAdjust[] = {RotateAdjustFn<V0>()...};
        for (std::size_t v = 0; v < GFX_SPAN_VARIANT_COUNT; ++v) {
            t.fn[GFX_SPAN_ROW_BLEND][v] = rowBlend[v];
            t.fn[GFX_SPAN_ROW_ADJUST][v] = rowAdjust[v];
            t.fn[GFX_SPAN_ROW_KEY_FILL][v] = rowKeyFill[v];
            t.fn[GFX_SPAN_SCALE_BLEND][v] = scaleBlend[v];
            t.fn[GFX_SPAN_SCALE_ADJUST][v] = scaleAdjust[v];
            t.fn[GFX_SPAN_ROTATE_BLEND][v] = rotateBlend[v];
            t.fn[GFX_SPAN_ROTATE_ADJUST][v] = rotateAdjust[v];
        }
    }

    static void Same(Gfx_SpanKernelTable& t, std::uint32_t id, Gfx_SpanFn fn) {
        for (std::size_t v = 0; v < GFX_SPAN_VARIANT_COUNT; ++v) t.fn[id][v] = fn;
    }

    // Starts from the scalar table, so a kernel without a vector version
    // keeps its scalar entry.
    static Gfx_SpanKernelTable MakeTable(const char* name) {
        Gfx_SpanKernelTable t = Gfx_SpanKernels_Scalar();
        t.name = name;
        Same(t, GFX_SPAN_ROW_COPY, &RowCopy);
        Same(t, GFX_SPAN_ROW_COPY_MIRROR, &OpaqueKernel<RowSampler<true>, Opaque::Copy, GFX_SPAN_ROW_COPY_MIRROR, 0>);
        Same(t, GFX_SPAN_ROW_KEY, &RowKey);
        Same(t, GFX_SPAN_ROW_KEY_MIRROR,
             &OpaqueKernel<RowSampler<true>, Opaque::Key, GFX_SPAN_ROW_KEY_MIRROR, GFX_SPAN_MIRROR>);
        Same(t, GFX_SPAN_ROW_FILL, &RowFill);
        Same(t, GFX_SPAN_SCALE_COPY, &OpaqueKernel<ScaleNearest, Opaque::Copy, GFX_SPAN_SCALE_COPY, 0>);
        Same(t, GFX_SPAN_SCALE_KEY, &OpaqueKernel<ScaleNearest, Opaque::Key, GFX_SPAN_SCALE_KEY, 0>);
        Same(t, GFX_SPAN_SCALE_FILL, &RowFill);
        Same(t, GFX_SPAN_SCALE_KEY_FILL, &OpaqueKernel<ScaleNearest, Opaque::KeyFill, GFX_SPAN_SCALE_KEY_FILL, 0>);
        Same(t, GFX_SPAN_ROTATE_COPY, &OpaqueKernel<RotateNearest, Opaque::Copy, GFX_SPAN_ROTATE_COPY, 0>);
        Same(t, GFX_SPAN_ROTATE_KEY, &OpaqueKernel<RotateNearest, Opaque::Key, GFX_SPAN_ROTATE_KEY, 0>);
        Same(t, GFX_SPAN_ROTATE_FILL, &RowFill);
        Same(t, GFX_SPAN_ROTATE_KEY_FILL, &OpaqueKernel<RotateNearest, Opaque::KeyFill, GFX_SPAN_ROTATE_KEY_FILL, 0>);
        FillVariants(t, std::make_index_sequence<GFX_SPAN_VARIANT_COUNT>{});
        return t;
    }
};

}  // namespace
