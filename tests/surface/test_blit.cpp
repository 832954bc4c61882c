// What the differential test cannot see: planes off word boundaries, numbers that
// are not numbers, text's mask runs, error reports, and allocation-free blits.
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>

#include "error_case.h"
#include "surface_test.h"
#include "surface/internal/mask_run.h"  // after the framework header, whose types it uses

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
void* __wrap_malloc(std::size_t n) { return ++g_allocations, __real_malloc(n); }
void* __wrap_calloc(std::size_t n, std::size_t size) { return ++g_allocations, __real_calloc(n, size); }
void* __wrap_realloc(void* p, std::size_t n) { return ++g_allocations, __real_realloc(p, n); }
}
#endif

namespace {

bool Blit(C_Surface& src, C_Surface& dst, const C_Vector2D& at, const C_DrawParams* params = nullptr,
          const C_Frame* clip = nullptr, const C_Rect* srcRect = nullptr) {
    return Gfx_Surface_BlitTransformed(&src, &dst, srcRect, clip, clip, &at, 0, params);
}

TEST(BlitAllocation, SteadyStateBlitsAllocateNothing) {
    C_Surface src(0, NewPattern(64, 48), NewPlane(64, 48, GFX_FMT_CH8, 90));
    C_Surface dst(0, NewArgb(200, 150, 0xFF102030), NewPlane(200, 150, GFX_FMT_CH8, 200));
    C_Surface plain(1, dst.GetPlane(1));
    C_DrawParams copy, scaled, rotated, keyed;
    scaled.scale = C_Vector2D(1.7f, 2.3f);
    scaled.filter = 1;
    scaled.opacity = 0.6f;
    rotated.angle = 33.0f;
    rotated.filter = rotated.useBrightness = 1;
    rotated.brightness = C_Color(0.1f, 0.2f, 0.3f, 0.0f);
    keyed.useKeyColor = 1;
    SimdLevelGuard guard;
    for (const std::int32_t level : AvailableSimdLevels()) {
        Gfx_Blit_SetSimdLevel(level);
        long before = 0;
        for (int i = 0; i < 6; ++i) {
            if (i == 1) before = g_allocations;  // the first rotated call may grow the scanline tables
            for (const C_DrawParams* p : {&copy, &scaled, &rotated}) Blit(src, dst, C_Vector2D(20.0f, 10.0f), p);
            Blit(src, plain, C_Vector2D(20.0f, 10.0f), &copy);
            Blit(src, plain, C_Vector2D(20.0f, 10.0f), &keyed);
        }
        EXPECT_EQ(g_allocations, before) << Gfx_SimdLevelName(level);
    }
    // The counters do count: an image is an allocation, and so are its pixels.
    const long before = g_allocations;
    auto image = std::make_unique<C_Image>();
    const long objectOnly = g_allocations;
    image->CreateEmpty(4, 4, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    EXPECT_GT(objectOnly, before);
#if defined(QUILLORY_TEST_WRAP_MALLOC)
    EXPECT_GT(g_allocations, objectOnly);
#endif
}

// A 32-bit plane whose data or rows are off 4-byte boundaries (a legal
// locked view into a byte buffer) draws the bits an aligned plane draws.
struct ByteView {
    std::vector<std::uint8_t> bytes;
    C_Image image;
    ByteView(const C_Image& from, std::size_t offset, std::uint32_t pad) {
        const std::uint32_t pitch = from.width * 4 + pad;
        bytes.assign(offset + std::size_t{pitch} * from.height, 0);
        image.CreateLocked(from.width, from.height, pitch, from.format, GFX_FMT_NONE, &bytes[offset]);
        for (std::uint32_t y = 0; y < from.height; ++y) std::memcpy(image.Row(y), from.Row(y), from.width * 4);
    }
    std::vector<std::uint8_t> Pixels() {
        std::vector<std::uint8_t> out;
        for (std::uint32_t y = 0; y < image.height; ++y)
            out.insert(out.end(), image.Row(y), image.Row(y) + image.width * 4);
        return out;
    }
};

TEST(Blit, MisalignedPlanesDrawTheSameBits) {
    C_DrawParams plain, scaled, turned, faded;
    scaled.scale = C_Vector2D(1.5f, 0.75f);
    scaled.filter = 1;
    turned.angle = 30.0f;
    turned.pivot = C_Vector2D(0.0f, 0.0f, 0x22);
    faded.opacity = 0.5f;
    faded.flipH = 1;
    // Source data, source rows, destination data, destination rows, all.
    const struct {
        std::size_t srcOffset, dstOffset;
        std::uint32_t srcPad, dstPad;
    } cases[] = {{1, 0, 0, 0}, {0, 0, 2, 0}, {0, 3, 0, 0}, {0, 0, 0, 1}, {2, 1, 1, 3}};
    for (const auto& c : cases)
        for (const C_DrawParams* p : {&plain, &scaled, &turned, &faded}) {
            C_Surface src(0, NewPattern(7, 5), NewPlane(7, 5, GFX_FMT_CH8, 180));
            C_Surface dst(0, NewArgb(12, 9, 0xFF102030u));
            ByteView srcView(*src.GetPlane(1), c.srcOffset, c.srcPad), dstView(*dst.GetPlane(1), c.dstOffset, c.dstPad);
            C_Surface srcOdd(1, &srcView.image, src.GetPlane(2)), dstOdd(1, &dstView.image);
            ASSERT_TRUE(Blit(src, dst, C_Vector2D(6.0f, 4.0f), p));
            ASSERT_TRUE(Blit(srcOdd, dstOdd, C_Vector2D(6.0f, 4.0f), p));
            EXPECT_EQ(dstView.Pixels(), ByteView(*dst.GetPlane(1), 0, 0).Pixels()) << c.srcOffset << c.dstPad;
        }
}

// Only coordinates and factors that are not numbers are refused; huge ones
// merely draw nothing, and any opacity draws. Nothing is written outside the
// images (the sanitizer build checks).
TEST(Blit, ExtremeNumbersAreRefusedOrDrawSafely) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    C_Surface src(0, NewPattern(5, 7), NewPlane(5, 7, GFX_FMT_CH8, 200));
    C_Surface dst(0, NewArgb(9, 6, 0), NewPlane(9, 6, GFX_FMT_CH8, 10));
    const C_Frame huge(-2147483647 - 1, -2147483647 - 1, 2147483647, 2147483647);
    for (const float v : {nan, inf, -inf, 3e38f, -3e38f, 1e9f, -1e9f, 1e-30f, 0.0f, -2.5f, 1.5f, 37.0f})
        for (int field = 0; field < 7; ++field) {
            C_DrawParams p;
            p.filter = field & 1;
            C_Vector2D at(3.0f, 2.0f);
            C_Rect rect(0.0f, 0.0f, 5.0f, 7.0f);
            if (field == 0) at.x = v;
            if (field == 1) p.scale.x = v, p.angle = 10.0f;
            if (field == 2) p.scale = C_Vector2D(v, v);
            if (field == 3) p.angle = v;
            if (field == 4) rect.x0 = rect.y1 = v;
            if (field == 5) p.pivot = C_Vector2D(v, v, 0x22), p.wrapH = 1;
            if (field == 6) {
                p.opacity = v;
                p.useBrightness = p.useContrast = 1;
                p.brightness = C_Color(v, v, v, v);
                p.contrast = C_Color(v, -v, v, v);
            }
            for (const C_Frame* clip : {static_cast<const C_Frame*>(nullptr), &huge})
                EXPECT_EQ(Blit(src, dst, at, &p, clip, &rect), std::isfinite(v) || field == 6) << field << " " << v;
        }
}

// A run of coverage draws (the glyphs of a text) sets the blit up once for
// its destination; each draw must then give the pixels the transformed blit
// gives for it, over every clip, anchor, opacity and fill colour.
TEST(MaskRun, DrawsWhatTheBlitDraws) {
    Lcg rng(99);
    const float opacities[] = {1.0f, 0.5f, 0.004f};
    const std::uint8_t aligns[] = {0x00, 0x11, 0x22, 68};
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        const std::uint32_t w = 1 + rng.Below(40), h = 1 + rng.Below(30);
        const bool withAlpha = rng.Chance(50), bottomUp = rng.Chance(30);
        C_Surface viaRun(0, NewArgb(w, h, rng.Word()), withAlpha ? NewPlane(w, h, GFX_FMT_CH8, 100) : nullptr);
        viaRun.GetPlane(1)->bottomUp = bottomUp;
        C_Surface viaBlit(0, CopyOf(viaRun.GetPlane(1)).release(),
                          withAlpha ? CopyOf(viaRun.GetPlane(2)).release() : nullptr);
        C_DrawParams p;
        p.opacity = rng.Pick(opacities);
        p.useFillColor = static_cast<std::uint8_t>(rng.Chance(50));
        p.fillColor = C_Color(rng.Uniform(0, 1), rng.Uniform(0, 1), rng.Uniform(0, 1), 0.0f);
        const std::uint8_t align = rng.Pick(aligns);
        const C_Frame clip(rng.Range(-3, 10), rng.Range(-3, 10), rng.Range(5, 50), rng.Range(5, 40));
        const C_Frame clip2(rng.Range(-3, 20), rng.Range(-3, 20), rng.Range(0, 50), rng.Range(0, 40));
        const C_Frame* clips[] = {rng.Chance(50) ? &clip : nullptr, rng.Chance(30) ? &clip2 : nullptr};
        Gfx_MaskRun mask;
        ASSERT_TRUE(Gfx_MaskRun_Begin(mask, &viaRun, clips[0], clips[1], p, align));
        for (int draw = 0; draw < 4; ++draw) {
            const std::uint32_t gw = 1 + rng.Below(12), gh = 1 + rng.Below(12);
            C_Image* coverage = NewPlane(gw, gh, GFX_FMT_CH8);
            for (std::uint32_t i = 0; i < coverage->dataSize; ++i)
                coverage->data[i] = static_cast<std::uint8_t>(rng.Chance(40)   ? 0
                                                              : rng.Chance(50) ? 255
                                                                               : rng.Below(256));
            C_Surface glyph(0, nullptr, coverage);
            const C_Rect rect(float(rng.Range(-1, 3)), float(rng.Range(-1, 3)), float(rng.Range(2, 14)),
                              float(rng.Range(2, 14)));
            const C_Vector2D at(rng.Uniform(-12.0f, 45.0f), rng.Uniform(-12.0f, 35.0f), align);
            const C_Image* plane = Gfx_MaskRun_Coverage(mask, &glyph);
            Gfx_MaskSource source;
            Gfx_RunPlace place;
            ASSERT_EQ(plane, coverage);
            ASSERT_TRUE(Gfx_MaskRun_Source(*plane, rect, source));
            ASSERT_TRUE(Gfx_MaskRun_Place(mask, source, at.x, at.y, place));
            Gfx_MaskRun_Rows(mask, place);
            Gfx_Surface_BlitTransformed(&glyph, &viaBlit, &rect, clips[0], clips[1], &at, 0, &p);
        }
        ASSERT_EQ(BytesOf(viaRun.GetPlane(1)), BytesOf(viaBlit.GetPlane(1)));
        ASSERT_EQ(BytesOf(viaRun.GetPlane(2)), BytesOf(viaBlit.GetPlane(2)));
    }
}

// A failure names the function that gave up and the argument at fault, and
// draws nothing. Unknown formats are planted for the call.
TEST(ErrorPaths, SurfaceDrawingReportsWhatIsWrong) {
    C_Surface picture(0, NewArgb(4, 4, 0xFFFF0000), NewPlane(4, 4, GFX_FMT_CH8, 255));
    C_Surface target(0, NewArgb(8, 8, 0)), narrow(0, NewPlane(2, 2, GFX_FMT_RGB565));
    C_Image *from = picture.GetPlane(1), *onto = target.GetPlane(1);
    const C_Vector2D at(2.0f, 2.0f);
    const C_Vector2Di pixel(1, 1);
    const C_Color white(1.0f, 1.0f, 1.0f, 1.0f);
    const std::string site = "C_Blit_Kernel::Blit_Fixed";
    const auto unknown = [](C_Image* plane, std::function<bool()> call) -> std::function<bool()> {
        return [plane, call] { return (plane->format = 99) && call(); };
    };
    const auto blit = [&] { return Blit(picture, target, at); };
    const auto point = [&] { return Gfx_Surface_Blit(&target, &pixel, &white, nullptr, nullptr); };
    const std::vector<ErrorCase> cases = {
        {"format change of no surface", [] { return Gfx_Surface_ChangeFormat(nullptr, GFX_FMT_ARGB8888, -2, 0); },
         GFX_ERR_NULL_ARG, "Gfx_Surface_ChangeFormat{pSurface->format}", "Gfx_Surface_ChangeFormat"},
        {"point on an unknown destination format", unknown(onto, point), GFX_ERR_FORMAT,
         "Gfx_Surface_Blit{ImageDst->format}", "Gfx_Surface_Blit"},
        {"blit from an unknown source format", unknown(from, blit), GFX_ERR_FORMAT, site + "{ImageSrc->format}", site},
        {"blit onto an unknown destination format", unknown(onto, blit), GFX_ERR_FORMAT, site + "{ImageDst->format}",
         site},
        {"blit onto 16-bit colour", [&] { return Blit(picture, narrow, at); }, GFX_ERR_FORMAT, site + "{ImageDst->bpp}",
         site},
    };
    for (const ErrorCase& c : cases) {
        ExpectReported(c);
        from->format = onto->format = GFX_FMT_ARGB8888;
    }
    EXPECT_EQ(BytesOf(onto), std::vector<std::uint8_t>(8 * 8 * 4, 0));
}

}  // namespace
