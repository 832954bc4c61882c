/// @file
/// Parallel drawing of one large call. A transformed blit, a tiled or
/// stretched fill, or a pixel-format conversion whose destination is large
/// may split its rows among a small pool of worker threads; the pixels are
/// the same at every thread count. Smaller calls stay on the calling thread.
#pragma once

#include <cstdint>

/// The most threads one call may use.
inline constexpr std::int32_t GFX_MAX_THREADS = 64;

/// Calls whose destination has fewer pixels than this run on the calling
/// thread alone, whatever the thread count.
inline constexpr std::uint64_t GFX_PARALLEL_MIN_PIXELS = std::uint64_t{1} << 19;

/// Sets how many threads one large call may use, the calling thread
/// included: 1 (the default) starts no thread at all. Without a call, the
/// environment variable QUILLORY_THREADS gives the count. A start-up setting:
/// call it before drawing, from one thread; it waits for a call that is
/// using the pool to finish. False, and the count unchanged, outside
/// 1..GFX_MAX_THREADS or when a thread cannot be started.
bool Gfx_SetThreadCount(std::int32_t count);

/// The thread count in force.
std::int32_t Gfx_GetThreadCount();
