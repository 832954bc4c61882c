/// @file
/// Look-up tables of the smooth-step curve and of squares, built once at
/// start-up (or at first use, whichever comes first) and kept until exit.
#pragma once

#include <cstddef>
#include <cstdint>

/// The process-wide look-up tables; read them through Math_GetTables().
struct Math_Tables {
    static constexpr std::size_t kWideSize = 65536;
    static constexpr std::size_t kByteSize = 256;

    /// trunc(Math_SmoothLerp(0, 65536, i / 65535)): 0 .. 65536.
    std::int32_t smoothStep16[kWideSize];
    /// trunc((i / 65535)^2 * 65535): 0 .. 65535.
    std::int32_t square16[kWideSize];
    /// trunc(Math_SmoothLerp(0, 256, i / 255)): 0 .. 256.
    std::int32_t smoothStep8[kByteSize];
};

/// The tables, filled before first use. Safe to call from other static
/// initialisers.
const Math_Tables& Math_GetTables();
