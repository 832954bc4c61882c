// Splitting one call's rows among the pool's threads (core/parallel.h).
#pragma once

#include <cstdint>

// Calls `job(context, first, end)` for bands of rows that together cover
// [0, rows) exactly once, each band on one thread; returns when every band is
// done. Only when `pixels` reaches GFX_PARALLEL_MIN_PIXELS, the thread count
// is above 1 and the pool is free (another call is not using it, and this is
// not itself a worker) do the bands run on several threads; otherwise the
// whole range runs here as one band. A job must therefore give the same
// result however its rows are split, and must not fail.
using Gfx_RowJob = void (*)(void* context, std::int32_t first, std::int32_t end);
void Gfx_ParallelRows(std::int32_t rows, std::uint64_t pixels, Gfx_RowJob job, void* context);

// The same with any callable taking (first, end).
template <typename Fn>
void Gfx_ParallelRows(std::int32_t rows, std::uint64_t pixels, Fn& fn) {
    Gfx_ParallelRows(
        rows, pixels, [](void* c, std::int32_t first, std::int32_t end) { (*static_cast<Fn*>(c))(first, end); }, &fn);
}
