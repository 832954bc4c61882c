// The vector rows that read alike at every width, written once over a
// width's operations W (its vector type and intrinsics). Include it only from
// a level's own file, after defining W there: everything here has internal
// linkage, so each copy keeps its file's instruction-set flags and the copies
// never meet at link time.
//
// W provides: V; kLanes (32-bit lanes per vector); Load, Store; Set32,
// Set16; And, Or; Slli32, Srli32, Slli16, Srli16; PackS32 (signed 32 to 16),
// PackU16 (unsigned-saturated 16 to 8); InPixelOrder (undoes the per-half
// order of packing); StoreInterleaved16 (interleaves two vectors of 16-bit
// lanes into 32-bit lanes and stores both halves in order); End (clears what
// the width leaves behind before scalar code runs).
#pragma once

#include <cstdint>

namespace {

template <class W>
struct ConvertRows {
    using V = typename W::V;
    static constexpr std::uint32_t kBytes = 4 * W::kLanes;  // bytes per vector

    static V Red(const std::uint8_t* p) { return W::And(W::Srli32(W::Load(p), 16), W::Set32(0xFF)); }

    // The red byte of each 4-byte pixel: four vectors in, one out.
    static std::uint32_t Row24to6(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst,
                                  const std::uint32_t*) {
        std::uint32_t i = 0;
        for (; i + kBytes <= count; i += kBytes) {
            const std::uint8_t* s = src + 4 * i;
            const V ab = W::PackS32(Red(s), Red(s + kBytes));
            const V cd = W::PackS32(Red(s + 2 * kBytes), Red(s + 3 * kBytes));
            W::Store(dst + i, W::InPixelOrder(W::PackU16(ab, cd)));
        }
        W::End();
        return i;
    }

    // A R G B to R G B A: each pixel rotated by one byte.
    static std::uint32_t Row24to23(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst,
                                   const std::uint32_t*) {
        std::uint32_t i = 0;
        for (; i + W::kLanes <= count; i += W::kLanes) {
            const V p = W::Load(src + 4 * i);
            W::Store(dst + 4 * i, W::Or(W::Slli32(p, 8), W::Srli32(p, 24)));
        }
        W::End();
        return i;
    }

    // 5-6-5 in 16-bit lanes: each channel widened by appending its low bits,
    // then blue and green form the low half of the pixel, red the high half.
    static std::uint32_t Row14to24(const std::uint8_t* src, std::uint32_t count, std::uint8_t* dst,
                                   const std::uint32_t*) {
        const V m5 = W::Set16(0x1F), m6 = W::Set16(0x3F), m3 = W::Set16(7), m2 = W::Set16(3);
        constexpr std::uint32_t kPixels = 2 * W::kLanes;
        std::uint32_t i = 0;
        for (; i + kPixels <= count; i += kPixels) {
            const V v = W::Load(src + 2 * i);
            const V b = W::And(v, m5);
            const V g = W::And(W::Srli16(v, 5), m6);
            const V r = W::Srli16(v, 11);
            const V b8 = W::Or(W::Slli16(b, 3), W::And(b, m3));
            const V g8 = W::Or(W::Slli16(g, 2), W::And(g, m2));
            const V r8 = W::Or(W::Slli16(r, 3), W::And(r, m3));
            W::StoreInterleaved16(dst + 4 * i, W::Or(W::Slli16(g8, 8), b8), r8);
        }
        W::End();
        return i;
    }
};

}  // namespace
