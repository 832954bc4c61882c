#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "quillory.h"

namespace {

// A recognisable source pixel for (x, y): red x, green y, blue 0x40, opaque.
std::uint32_t P(std::uint32_t x, std::uint32_t y) { return 0xFF000040u | x << 16 | y << 8; }

std::uint32_t& Px(C_Image* image, std::uint32_t x, std::uint32_t y) {
    return reinterpret_cast<std::uint32_t*>(image->Row(y))[x];
}
std::uint8_t& A8(C_Image* image, std::uint32_t x, std::uint32_t y) { return image->Row(y)[x]; }

C_Image* Argb(std::uint32_t w, std::uint32_t h, std::uint32_t value) {
    auto* image = new C_Image();
    image->CreateEmpty(w, h, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) Px(image, x, y) = value;
    return image;
}

C_Image* Pattern(std::uint32_t w, std::uint32_t h) {
    C_Image* image = Argb(w, h, 0);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) Px(image, x, y) = P(x, y);
    return image;
}

C_Image* Ch8(std::uint32_t w, std::uint32_t h, std::uint8_t value) {
    auto* image = new C_Image();
    image->CreateEmpty(w, h, GFX_FMT_CH8, GFX_FMT_NONE);
    std::memset(image->data, value, image->dataSize);
    return image;
}

bool Blit(C_Surface& src, C_Surface& dst, const C_Vector2D& at, const C_DrawParams* params = nullptr,
          const C_Frame* clip = nullptr, const C_Frame* clip2 = nullptr, const C_Rect* srcRect = nullptr) {
    return Gfx_Surface_BlitTransformed(&src, &dst, srcRect, clip, clip2, &at, 0, params);
}

// Every pixel of `image` that is not `background`, as (x, y) bounds.
struct Box {
    std::int32_t x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    int count = 0;
};
Box Changed(C_Image* image, std::uint32_t background) {
    Box b;
    for (std::uint32_t y = 0; y < image->height; ++y)
        for (std::uint32_t x = 0; x < image->width; ++x) {
            if (Px(image, x, y) == background) continue;
            ++b.count;
            b.x0 = std::min<std::int32_t>(b.x0, x);
            b.y0 = std::min<std::int32_t>(b.y0, y);
            b.x1 = std::max<std::int32_t>(b.x1, x);
            b.y1 = std::max<std::int32_t>(b.y1, y);
        }
    return b;
}

TEST(Blit, NullRecordCopiesOneToOneAtTheAnchoredPosition) {
    C_Surface src(0, Pattern(4, 3)), dst(0, Argb(10, 10, 0));
    EXPECT_TRUE(Blit(src, dst, C_Vector2D(2.0f, 3.0f)));
    C_Image* d = dst.GetPlane(1);
    const Box b = Changed(d, 0);
    EXPECT_EQ(b.count, 12);
    for (std::uint32_t y = 0; y < 3; ++y)
        for (std::uint32_t x = 0; x < 4; ++x) EXPECT_EQ(Px(d, x + 2, y + 3), P(x, y));
}

TEST(Blit, SecondClipLimitsDrawingButNotAnchoring) {
    C_Surface src(0, Pattern(20, 20)), dst(0, Argb(60, 60, 0));
    const C_Frame clip(10, 10, 50, 50), clip2(0, 0, 20, 20);
    EXPECT_TRUE(Blit(src, dst, C_Vector2D(0.0f, 0.0f), nullptr, &clip, &clip2));
    const Box b = Changed(dst.GetPlane(1), 0);
    EXPECT_EQ(b.x0, 10);
    EXPECT_EQ(b.y0, 10);
    EXPECT_EQ(b.x1, 19);
    EXPECT_EQ(b.y1, 19);
    EXPECT_EQ(Px(dst.GetPlane(1), 12, 15), P(2, 5));
}

TEST(Blit, AlphaPlanesComposeCoverage) {
    // Source: red, alpha 128 for four pixels, then 255 and 0.
    C_Image* srcAlpha = Ch8(6, 1, 128);
    A8(srcAlpha, 4, 0) = 255;
    A8(srcAlpha, 5, 0) = 0;
    C_Surface src(0, Argb(6, 1, 0xFFFF0000), srcAlpha);
    C_Image* dstAlpha = Ch8(6, 1, 255);
    A8(dstAlpha, 0, 0) = 0;
    A8(dstAlpha, 1, 0) = 128;
    C_Surface dst(0, Argb(6, 1, 0xFF0000FF), dstAlpha);
    ASSERT_TRUE(Blit(src, dst, C_Vector2D()));
    C_Image* d = dst.GetPlane(1);
    // Onto a transparent pixel the colour is taken whole.
    EXPECT_EQ(Px(d, 0, 0), 0x00FF0000u);
    EXPECT_EQ(A8(dstAlpha, 0, 0), 128);
    // na = 128 + 64 = 192, weight 32768 / 192 = 170.
    EXPECT_EQ(Px(d, 1, 0), 0x00A90055u);
    EXPECT_EQ(A8(dstAlpha, 1, 0), 192);
    // An opaque destination blends at 128; negative differences round down.
    EXPECT_EQ(Px(d, 2, 0), 0x007F007Fu);
    EXPECT_EQ(A8(dstAlpha, 2, 0), 255);
    // Alpha 255 copies the pixel, top byte included; alpha 0 leaves it.
    EXPECT_EQ(Px(d, 4, 0), 0xFFFF0000u);
    EXPECT_EQ(Px(d, 5, 0), 0xFF0000FFu);

    // Half opacity halves the source alpha: 255 -> 127.
    C_DrawParams half;
    half.opacity = 0.5f;
    Px(d, 4, 0) = 0xFF0000FF;
    ASSERT_TRUE(Blit(src, dst, C_Vector2D(), &half));
    EXPECT_EQ(Px(d, 4, 0), 0x007E0080u);
}

TEST(Blit, QuarterTurnCoversTheScannedSpans) {
    C_Surface src(0, Pattern(4, 4)), dst(0, Argb(20, 20, 0));
    C_DrawParams p;
    p.angle = 90.0f;
    ASSERT_TRUE(Blit(src, dst, C_Vector2D(10.0f, 10.0f), &p));
    C_Image* d = dst.GetPlane(1);
    // Edges are inclusive: a 4 x 4 source covers rows 10..14, columns 6..10,
    // with source row 10 - x and column y - 10, clamped to the source.
    for (std::uint32_t y = 0; y < 20; ++y)
        for (std::uint32_t x = 0; x < 20; ++x) {
            const bool inside = y >= 10 && y <= 14 && x >= 6 && x <= 10;
            const std::uint32_t want = inside ? P(std::min(y - 10, 3u), std::min(10 - x, 3u)) : 0u;
            EXPECT_EQ(Px(d, x, y), want) << x << "," << y;
        }
}

TEST(Blit, FailuresAreReported) {
    C_Surface src(0, Pattern(2, 2)), noColour(0, nullptr, Ch8(2, 2, 0)), empty;
    EXPECT_FALSE(Blit(src, noColour, C_Vector2D()));
    EXPECT_FALSE(Blit(empty, noColour, C_Vector2D()));
    C_Surface dst(0, Argb(2, 2, 0));
    EXPECT_FALSE(Blit(empty, dst, C_Vector2D()));
    C_DrawParams wrap;
    wrap.wrapH = 1;
    EXPECT_FALSE(Blit(empty, dst, C_Vector2D(), &wrap));

    src.GetPlane(1)->format = 0;  // not a format
    Gfx_ClearError();
    EXPECT_FALSE(Blit(src, dst, C_Vector2D()));
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_Blit_Kernel::Blit_Fixed{ImageSrc->format}");
    EXPECT_EQ(Gfx_GetErrorCode(), -1);
    src.GetPlane(1)->format = GFX_FMT_ARGB8888;

    // Refusals say why in plain words.
    C_Image* wide = new C_Image();
    wide->CreateEmpty(2, 2, GFX_FMT_RGB565, GFX_FMT_NONE);
    C_Surface narrowDst(GFX_PLANES_OWNED, wide);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        C_Surface* to;
        C_Vector2D at;
        const char* reason;
    } refusals[] = {
        {&narrowDst, C_Vector2D(), "draws 32-bit colour planes, and this one has 16 bits per pixel"},
        {&dst, C_Vector2D(nan, 0.0f), "the position is not a finite number"},
        {&noColour, C_Vector2D(), "no colour plane (plane 1)"},
    };
    for (const auto& r : refusals) {
        EXPECT_FALSE(Blit(src, *r.to, r.at));
        EXPECT_NE(std::string(Gfx_GetErrorReason()).find(r.reason), std::string::npos) << Gfx_GetErrorReason();
    }
}

// A 32-bit plane whose data or rows are off 4-byte boundaries (a legal
// locked view into a byte buffer) draws the bits an aligned plane draws.
struct ByteView {
    std::vector<std::uint8_t> bytes;
    C_Image image;

    ByteView(const C_Image& from, std::size_t offset, std::uint32_t pad) {
        const std::uint32_t pitch = from.width * 4 + pad;
        bytes.assign(offset + std::size_t{pitch} * from.height, 0);
        for (std::uint32_t y = 0; y < from.height; ++y)
            std::memcpy(&bytes[offset + std::size_t{y} * pitch], from.data + std::size_t{y} * from.pitch,
                        from.width * 4);
        image.CreateLocked(from.width, from.height, pitch, from.format, GFX_FMT_NONE, &bytes[offset]);
    }
    std::vector<std::uint32_t> Pixels() const {
        std::vector<std::uint32_t> out(std::size_t{image.width} * image.height);
        for (std::uint32_t y = 0; y < image.height; ++y)
            std::memcpy(&out[std::size_t{y} * image.width], image.data + std::size_t{y} * image.pitch, image.width * 4);
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
    const struct {
        const char* name;
        std::size_t srcOffset, dstOffset;
        std::uint32_t srcPad, dstPad;
    } cases[] = {
        {"source data", 1, 0, 0, 0},      {"source rows", 0, 0, 2, 0}, {"destination data", 0, 3, 0, 0},
        {"destination rows", 0, 0, 0, 1}, {"both", 2, 1, 1, 3},
    };
    for (const auto& c : cases)
        for (const C_DrawParams* p : {&plain, &scaled, &turned, &faded}) {
            C_Surface src(GFX_PLANES_OWNED, Pattern(7, 5), Ch8(7, 5, 180));
            C_Surface dst(GFX_PLANES_OWNED, Argb(12, 9, 0xFF102030u));
            const C_Vector2D at(6.0f, 4.0f);
            ByteView srcView(*src.GetPlane(1), c.srcOffset, c.srcPad), dstView(*dst.GetPlane(1), c.dstOffset, c.dstPad);
            C_Surface srcOdd(GFX_PLANES_BORROWED, &srcView.image, src.GetPlane(2));
            C_Surface dstOdd(GFX_PLANES_BORROWED, &dstView.image);
            ASSERT_TRUE(Blit(src, dst, at, p)) << c.name;
            ASSERT_TRUE(Blit(srcOdd, dstOdd, at, p)) << c.name;
            const ByteView reference(*dst.GetPlane(1), 0, 0);
            EXPECT_EQ(dstView.Pixels(), reference.Pixels()) << c.name;
        }
}

TEST(Blit, NothingOutsideTheImagesWhateverTheGeometry) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const float values[] = {nan, inf, -inf, 3e38f, -3e38f, 1e9f, -1e9f, 1e-30f, 0.0f, -2.5f, 1.5f, 37.0f};
    C_Image* srcAlpha = Ch8(5, 7, 200);
    C_Surface src(0, Pattern(5, 7), srcAlpha);
    C_Surface dst(0, Argb(9, 6, 0), Ch8(9, 6, 10));
    const C_Frame huge(-2147483647 - 1, -2147483647 - 1, 2147483647, 2147483647);
    int calls = 0;
    for (const float v : values) {
        for (int field = 0; field < 7; ++field) {
            C_DrawParams p;
            p.filter = field & 1;
            C_Vector2D at(3.0f, 2.0f);
            C_Rect rect(0.0f, 0.0f, 5.0f, 7.0f);
            switch (field) {
            case 0: at.x = v; break;
            case 1:
                p.scale.x = v;
                p.angle = 10.0f;
                break;
            case 2: p.scale = C_Vector2D(v, v); break;
            case 3: p.angle = v; break;
            case 4:
                rect.x0 = v;
                rect.y1 = v;
                break;
            case 5:
                p.pivot = C_Vector2D(v, v, 0x22);
                p.wrapH = 1;
                break;
            case 6:
                p.opacity = v;
                p.useBrightness = p.useContrast = 1;
                p.brightness = C_Color(v, v, v, v);
                p.contrast = C_Color(v, -v, v, v);
                break;
            }
            // Only coordinates and factors that are not numbers are refused;
            // huge ones merely draw nothing, and any opacity draws.
            const bool drawable = std::isfinite(v) || field == 6;
            for (const C_Frame* clip : {static_cast<const C_Frame*>(nullptr), &huge}) {
                EXPECT_EQ(Blit(src, dst, at, &p, clip, clip, &rect), drawable) << field << " " << v;
                ++calls;
            }
        }
    }
    EXPECT_EQ(calls, 168);
}

// The rotated path records only the region's part of each edge; a clipped
// draw must match the unclipped one inside the clip, however far outside the
// picture's edges run.
TEST(Blit, ClippedRotationsMatchUnclippedOnes) {
    std::uint32_t seed = 12345;
    auto next = [&seed](float lo, float hi) {
        seed = seed * 214013u + 2531011u;
        return lo + (hi - lo) * static_cast<float>((seed >> 16) & 0x7FFF) / 32767.0f;
    };
    for (int round = 0; round < 300; ++round) {
        C_DrawParams p;
        p.angle = next(-360.0f, 360.0f);
        p.scale = round % 3 == 0 ? C_Vector2D(next(5.0f, 80.0f), next(5.0f, 80.0f))
                                 : C_Vector2D(next(0.2f, 3.0f), next(0.2f, 3.0f));
        p.pivot = C_Vector2D(next(0.0f, 6.0f), next(0.0f, 5.0f));
        p.filter = round & 1;
        const auto cx = static_cast<std::int32_t>(next(0.0f, 30.0f)), cy = static_cast<std::int32_t>(next(0.0f, 30.0f));
        const C_Frame window(cx, cy, cx + static_cast<std::int32_t>(next(1.0f, 18.0f)),
                             cy + static_cast<std::int32_t>(next(1.0f, 18.0f)));
        // The pivot lies on the picture, so a position inside the window
        // keeps the call from being rejected on its bounding box alone.
        const C_Vector2D at(next(static_cast<float>(window.x0), static_cast<float>(window.x1)),
                            next(static_cast<float>(window.y0), static_cast<float>(window.y1)));

        C_Surface src(0, Pattern(6, 5));
        C_Surface whole(0, Argb(48, 48, 0)), clipped(0, Argb(48, 48, 0));
        ASSERT_TRUE(Blit(src, whole, at, &p));
        ASSERT_TRUE(Blit(src, clipped, at, &p, nullptr, &window));
        for (std::uint32_t y = 0; y < 48; ++y)
            for (std::uint32_t x = 0; x < 48; ++x) {
                const bool in = static_cast<std::int32_t>(x) >= window.x0 && static_cast<std::int32_t>(x) < window.x1 &&
                                static_cast<std::int32_t>(y) >= window.y0 && static_cast<std::int32_t>(y) < window.y1;
                ASSERT_EQ(Px(clipped.GetPlane(1), x, y), in ? Px(whole.GetPlane(1), x, y) : 0u)
                    << "round " << round << " at " << x << "," << y;
            }
    }
}

TEST(Blit, BottomUpDestinationsAndDerivedPlanes) {
    C_Image* back = Argb(3, 3, 0);
    back->bottomUp = 1;
    C_Surface src(0, Pattern(1, 1)), dst(0, back);
    ASSERT_TRUE(Blit(src, dst, C_Vector2D(1.0f, 0.0f)));
    EXPECT_EQ(reinterpret_cast<std::uint32_t*>(back->data + 2 * back->pitch)[1], P(0, 0));

    // With the derived switch the source comes from the display copies; a
    // missing copy is a missing plane.
    C_Image copy;
    copy.CreateEmpty(1, 1, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    Px(&copy, 0, 0) = 0xFF123456;
    C_Surface canvas(0, Argb(1, 1, 0));
    C_Blit_Kernel& kernel = Gfx_GetBlitKernel();
    kernel.useDerived = 1;
    EXPECT_FALSE(Blit(src, canvas, C_Vector2D()));
    src.GetPlaneEntry(1)->derived = &copy;
    EXPECT_TRUE(Blit(src, canvas, C_Vector2D()));
    kernel.useDerived = 0;
    src.GetPlaneEntry(1)->derived = nullptr;
    EXPECT_EQ(Px(canvas.GetPlane(1), 0, 0), 0xFF123456u);
}

int g_hookCalls = 0;
bool Hook(C_Surface*, C_Surface*, const C_Rect*, const C_Frame*, const C_Frame*, const C_Vector2D* at,
          std::uint32_t mode, const C_DrawParams*) {
    ++g_hookCalls;
    return at->x == 5.0f && mode == 9;
}

TEST(Blit, OverrideTakesTheWholeCall) {
    C_Surface src(0, Pattern(1, 1)), dst(0, Argb(2, 2, 0));
    const C_Vector2D at(5.0f, 0.0f);
    Gfx_SetBlitOverride(&Hook);
    EXPECT_TRUE(Gfx_Surface_BlitTransformed(&src, &dst, nullptr, nullptr, nullptr, &at, 9, nullptr));
    Gfx_SetBlitOverride(nullptr);
    EXPECT_EQ(g_hookCalls, 1);
    EXPECT_EQ(Changed(dst.GetPlane(1), 0).count, 0);
    EXPECT_EQ(Gfx_Blit_GetSimdLevel(), Gfx_SimdDefaultLevel());
    EXPECT_FALSE(Gfx_Blit_SetSimdLevel(99));
}

}  // namespace
