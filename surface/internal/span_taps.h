// The bilinear taps of one coordinate, the rule every kernel level samples
// by. Internal linkage: each file that includes it (the levels' files among
// them) compiles its own copy with its own instruction-set flags.
#pragma once

#include <cstdint>
#include <cstring>

namespace {

// Columns: a = coord >> 16 with fraction f = coord & 0xFFFF; left of the
// source rectangle both indices are lo, past hi both are hi (hi itself, one
// past the last column, can be sampled); an index at the image's extent
// wraps to the opposite edge. Rows the same.
struct SpanTaps {
    std::int64_t a, b;  // the two indices
    std::int32_t f;     // fraction of the unclamped coordinate
};

[[gnu::always_inline]] inline SpanTaps SpanBilinearTaps(std::int64_t coord, std::int64_t lo, std::int64_t hi,
                                                        std::int64_t extent) {
    SpanTaps t{coord >> 16, 0, static_cast<std::int32_t>(coord & 0xFFFF)};
    if (t.a < lo) {
        t.a = t.b = lo;
    } else {
        t.b = t.a + 1;
    }
    if (t.b > hi) t.a = t.b = hi;
    if (t.b >= extent || t.a < 0) {
        t.a = (t.a + 8 * extent) % extent;
        t.b = (t.b + 8 * extent) % extent;
    }
    return t;
}

// The two bytes at p (an alpha tap and its right neighbour) as one lane
// value, low byte first: bilinear alpha loads gather them in pairs.
[[gnu::always_inline]] inline std::int32_t SpanBytePair(const std::uint8_t* p) {
    std::uint16_t w;
    std::memcpy(&w, p, 2);
    return w;
}

// The byte pairs at p (row 0) and q (row 1) as one lane value: p's pair
// in the low 16 bits, q's above.
[[gnu::always_inline]] inline std::int32_t SpanByteQuad(const std::uint8_t* p, const std::uint8_t* q) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(SpanBytePair(p)) |
                                     static_cast<std::uint32_t>(SpanBytePair(q)) << 16);
}

}  // namespace
