// Float-to-integer steps shared by the code that turns colours into pixels.
#pragma once

#include <cmath>
#include <cstdint>

// x truncated toward zero to a 64-bit integer, of which the low 32 bits are
// kept: values outside the nominal range wrap instead of saturating. NaN and
// values beyond the 64-bit range (where a plain cast is undefined) give the
// nearest representable result.
inline std::uint32_t Gfx_TruncLow32(double x) {
    if (std::isnan(x)) return 0;
    if (x >= 9223372036854775807.0) return 0xFFFFFFFFu;
    if (x <= -9223372036854775808.0) return 0;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(x)));
}
