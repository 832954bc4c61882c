// A blit in steady state allocates nothing: every allocation through
// operator new and, where the build wraps it, through malloc, calloc and
// realloc is counted while the same blits run again at every SIMD level.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>

#include "quillory.h"

namespace {

long g_allocations = 0;

void* Counted(std::size_t n) {
    ++g_allocations;
    void* p = std::malloc(n ? n : 1);
    if (!p) std::abort();
    return p;
}

}  // namespace

void* operator new(std::size_t n) { return Counted(n); }
void* operator new[](std::size_t n) { return Counted(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return Counted(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return Counted(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

#if defined(QUILLORY_TEST_WRAP_MALLOC)
// The link redirects the C allocation calls of the library and of these
// tests here.
extern "C" {
void* __real_malloc(std::size_t n);
void* __real_calloc(std::size_t n, std::size_t size);
void* __real_realloc(void* p, std::size_t n);
void* __wrap_malloc(std::size_t n) {
    ++g_allocations;
    return __real_malloc(n);
}
void* __wrap_calloc(std::size_t n, std::size_t size) {
    ++g_allocations;
    return __real_calloc(n, size);
}
void* __wrap_realloc(void* p, std::size_t n) {
    ++g_allocations;
    return __real_realloc(p, n);
}
}
#endif

namespace {

std::unique_ptr<C_Image> Plane(std::uint32_t w, std::uint32_t h, std::int32_t format, std::uint8_t value) {
    auto image = std::make_unique<C_Image>();
    image->CreateEmpty(w, h, format, GFX_FMT_NONE);
    for (std::uint32_t i = 0; i < image->dataSize; ++i) image->data[i] = static_cast<std::uint8_t>(value + i * 7);
    return image;
}

TEST(BlitAllocation, SteadyStateBlitsAllocateNothing) {
    auto srcColor = Plane(64, 48, GFX_FMT_ARGB8888, 3), srcAlpha = Plane(64, 48, GFX_FMT_CH8, 5);
    auto dstColor = Plane(200, 150, GFX_FMT_ARGB8888, 9), dstAlpha = Plane(200, 150, GFX_FMT_CH8, 11);
    C_Surface src(1, srcColor.get(), srcAlpha.get()), dst(1, dstColor.get(), dstAlpha.get()), plain(1, dstColor.get());
    C_DrawParams copy, scaled, rotated, keyed;
    scaled.scale = C_Vector2D(1.7f, 2.3f);
    scaled.filter = 1;
    scaled.opacity = 0.6f;
    rotated.angle = 33.0f;
    rotated.filter = 1;
    rotated.useBrightness = 1;
    rotated.brightness = C_Color(0.1f, 0.2f, 0.3f, 0.0f);
    keyed.useKeyColor = 1;
    const C_Vector2D at(20.0f, 10.0f);
    const auto drawAll = [&] {
        Gfx_Surface_BlitTransformed(&src, &plain, nullptr, nullptr, nullptr, &at, 0, &copy);
        Gfx_Surface_BlitTransformed(&src, &dst, nullptr, nullptr, nullptr, &at, 0, &copy);
        Gfx_Surface_BlitTransformed(&src, &dst, nullptr, nullptr, nullptr, &at, 0, &scaled);
        Gfx_Surface_BlitTransformed(&src, &dst, nullptr, nullptr, nullptr, &at, 0, &rotated);
        Gfx_Surface_BlitTransformed(&src, &plain, nullptr, nullptr, nullptr, &at, 0, &keyed);
    };
    const std::int32_t saved = Gfx_Blit_GetSimdLevel();
    for (std::int32_t level = GFX_SIMD_SCALAR; level < GFX_SIMD_LEVEL_COUNT; ++level) {
        if (!Gfx_Blit_SetSimdLevel(level)) continue;
        drawAll();  // the first rotated call may grow the scanline tables
        const long before = g_allocations;
        for (int i = 0; i < 5; ++i) drawAll();
        EXPECT_EQ(g_allocations, before) << Gfx_SimdLevelName(level);
    }
    Gfx_Blit_SetSimdLevel(saved);
    // The counters do count: a surface plane is an allocation.
    const long before = g_allocations;
    auto extra = std::make_unique<C_Image>();
    EXPECT_GT(g_allocations, before);
#if defined(QUILLORY_TEST_WRAP_MALLOC)
    const long beforePixels = g_allocations;
    extra->CreateEmpty(4, 4, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    EXPECT_GT(g_allocations, beforePixels);
#endif
}

}  // namespace
