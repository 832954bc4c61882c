/// @file
/// The blit kernel: the process-wide object that clips a transformed blit,
/// chooses its drawing path (unscaled, scaled, rotated) and span kernel, and
/// drives the kernel row by row. Also home of the scanline tables used by
/// the rotated path and the filled primitives (one set per thread).
#pragma once

#include <atomic>
#include <cstdint>

#include "../core/buffer.h"
#include "../core/simd.h"

class C_Surface;
class C_Rect;
class C_Frame;
class C_Vector2D;
struct C_DrawParams;
struct Gfx_SpanKernelTable;

/// The one blit kernel of the process (Gfx_GetBlitKernel). Callers use
/// Gfx_Surface_BlitTransformed; the kernel is public for the canvas, which
/// switches `useDerived`, and for tests that pick a SIMD level.
class C_Blit_Kernel {
public:
    C_Blit_Kernel();
    C_Blit_Kernel(const C_Blit_Kernel&) = delete;
    C_Blit_Kernel& operator=(const C_Blit_Kernel&) = delete;

    /// One placement of the source: the arguments of the transformed blit,
    /// with `position` already moved by the pivot offset. Returns false when
    /// the destination has no colour plane, the source has no plane, or a
    /// format is unknown; true otherwise, also when nothing was drawn.
    bool Blit_Fixed(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip, const C_Frame* clip2,
                    const C_Vector2D* position, std::uint32_t mode, const C_DrawParams* params);

    /// 1: read the source planes from their entries' `derived` copies (the
    /// canvas sets this around the calls it forwards). One switch per
    /// thread, so a canvas forwarding on one thread changes no other
    /// thread's blits.
    inline static thread_local std::uint8_t useDerived = 0;

    /// The span kernels in use; after construction the level chosen for the
    /// process (Gfx_SimdDefaultLevel). False, and the level unchanged, when
    /// the level is not available. A start-up setting, changed atomically.
    bool SetSimdLevel(std::int32_t level);
    std::int32_t GetSimdLevel() const { return level_.load(std::memory_order_relaxed); }

private:
    std::atomic<const Gfx_SpanKernelTable*> table_;
    std::atomic<std::int32_t> level_;
};

/// The one kernel object of the process.
C_Blit_Kernel& Gfx_GetBlitKernel();

/// The scanline tables: per destination row, the smallest and largest column
/// a shape covers, and the range of rows in use. An untouched row holds the
/// largest and the smallest 32-bit integer, so it draws nothing after
/// clamping.
struct Gfx_ScanlineTables {
    C_Buffer spanMin;  ///< std::int32_t per row
    C_Buffer spanMax;
    std::int32_t firstRow = 0;
    std::int32_t lastRow = 0;

    /// Makes room for rows 0..y1-1 (growing, never shrinking), empties rows
    /// y0..y1-1, and sets firstRow = y1, lastRow = y0. False when memory
    /// cannot be obtained or y0 > y1 < 0.
    bool Reset(std::int32_t y0, std::int32_t y1);
    std::int32_t* Min() { return reinterpret_cast<std::int32_t*>(spanMin.data); }
    std::int32_t* Max() { return reinterpret_cast<std::int32_t*>(spanMax.data); }
};

/// The calling thread's scanline tables: each thread has its own, so shapes
/// drawn on different threads never share them.
Gfx_ScanlineTables& Gfx_GetScanlineTables();
