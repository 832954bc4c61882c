#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "quillory.h"

namespace {

// A picture whose pixel names its own place: red x, green y, blue 0x40.
std::uint32_t P(std::uint32_t x, std::uint32_t y) { return 0xFF000040u | (x & 0xFF) << 16 | (y & 0xFF) << 8; }
std::uint32_t XOf(std::uint32_t p) { return (p >> 16) & 0xFF; }
std::uint32_t YOf(std::uint32_t p) { return (p >> 8) & 0xFF; }

std::uint32_t& Px(C_Image* image, std::uint32_t x, std::uint32_t y) {
    return reinterpret_cast<std::uint32_t*>(image->Row(y))[x];
}

C_Image* Picture(std::uint32_t w, std::uint32_t h) {
    auto* image = new C_Image();
    image->CreateEmpty(w, h, GFX_FMT_ARGB8888, GFX_FMT_NONE);
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) Px(image, x, y) = P(x, y);
    return image;
}

C_Image* Blank(std::uint32_t w, std::uint32_t h) {
    auto* image = new C_Image();
    image->CreateEmpty(w, h, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(0, 0, 0, 0));
    return image;
}

C_DrawParams Tiling(std::uint8_t across, std::uint8_t down) {
    C_DrawParams p;
    p.fillModeH = across;
    p.fillModeV = down;
    return p;
}

// Every blit the fill issues, through the override hook.
struct Call {
    C_Rect source;
    C_Vector2D at;
    C_DrawParams params;
};
std::vector<Call> g_calls;

bool Record(C_Surface*, C_Surface*, const C_Rect* srcRect, const C_Frame*, const C_Frame*, const C_Vector2D* position,
            std::uint32_t, const C_DrawParams* params) {
    g_calls.push_back({srcRect ? *srcRect : C_Rect(-1, -1, -1, -1), *position, *params});
    return true;
}

class Recording {
public:
    Recording() {
        g_calls.clear();
        Gfx_SetBlitOverride(&Record);
    }
    ~Recording() { Gfx_SetBlitOverride(nullptr); }
};

void ExpectCall(const Call& c, float ax, float ay, float s0, float t0, float s1, float t1) {
    EXPECT_FLOAT_EQ(c.at.x, ax);
    EXPECT_FLOAT_EQ(c.at.y, ay);
    EXPECT_FLOAT_EQ(c.source.x0, s0);
    EXPECT_FLOAT_EQ(c.source.y0, t0);
    EXPECT_FLOAT_EQ(c.source.x1, s1);
    EXPECT_FLOAT_EQ(c.source.y1, t1);
}

TEST(Fill, RejectsWhatCannotBeDrawn) {
    C_Surface src(0, Picture(8, 8)), dst(0, Blank(32, 32)), none;
    const C_Rect flat(4, 0, 4, 20), box(0, 0, 20, 20);
    C_DrawParams stretch = Tiling(0, 0), across = Tiling(0, 1), down = Tiling(1, 0), both = Tiling(1, 1);
    EXPECT_FALSE(Gfx_Surface_DrawInRect(&src, &dst, nullptr, nullptr, nullptr, &flat, nullptr, 0, &stretch));
    EXPECT_FALSE(Gfx_Surface_DrawInRect(&src, &dst, nullptr, nullptr, nullptr, &flat, nullptr, 0, &across));
    EXPECT_TRUE(Gfx_Surface_DrawInRect(&src, &dst, nullptr, nullptr, nullptr, &flat, nullptr, 0, &down));
    EXPECT_FALSE(Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &flat, nullptr, 0, &both));
    EXPECT_FALSE(Gfx_Surface_DrawInRect(&none, &dst, nullptr, nullptr, nullptr, &box, nullptr, 0, &both));
    EXPECT_FALSE(Gfx_Surface_DrawInRect(&src, &dst, nullptr, nullptr, nullptr, nullptr, nullptr, 0, &both));

    // A tile that truncates to no pixel would divide the rectangle by 0.
    const C_Rect sliver(2, 0, 2.5f, 8);
    EXPECT_FALSE(Gfx_Surface_DrawTiled(&src, &dst, &sliver, nullptr, nullptr, &box, nullptr, 0, &both));
    C_DrawParams tiny = both;
    tiny.scale = C_Vector2D(0.1f, 1.0f);
    EXPECT_FALSE(Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &box, nullptr, 0, &tiny));
    C_DrawParams bad = both;
    bad.tileOffset.x = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &box, nullptr, 0, &bad));
    const C_Rect infinite(0, 0, std::numeric_limits<float>::infinity(), 20);
    EXPECT_FALSE(Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &infinite, nullptr, 0, &both));

    // Nothing to draw into: every tile is skipped, however many there are.
    const C_Rect vast(-1e6f, -1e6f, 1e6f, 1e6f);
    EXPECT_TRUE(Gfx_Surface_DrawTiled(&src, &none, nullptr, nullptr, nullptr, &vast, nullptr, 0, &both));

    // Unknown mode pairs draw nothing and say so.
    C_DrawParams odd = Tiling(2, 0);
    EXPECT_FALSE(Gfx_Surface_DrawInRect(&src, &dst, nullptr, nullptr, nullptr, &box, nullptr, 0, &odd));
    EXPECT_NE(std::string(Gfx_GetErrorReason()).find("not fillModeH 2"), std::string::npos);
    for (std::uint32_t y = 0; y < 32; ++y)
        for (std::uint32_t x = 0; x < 32; ++x) ASSERT_EQ(Px(dst.GetPlane(1), x, y), 0u);
}

TEST(Fill, TilesAreIssuedInOrderWithTheirCuts) {
    // A 10 x 8 picture over a 35 x 20 rectangle with offset (4, 3): three
    // whole columns and two whole rows, cut tiles at the right and bottom,
    // leading tiles at the top and left.
    C_Surface src(0, Picture(10, 8)), dst(0, Blank(40, 40));
    C_DrawParams p = Tiling(1, 1);
    p.tileOffset = C_Vector2D(4, 3);
    const C_Rect rect(0, 0, 35, 20);
    Recording rec;
    EXPECT_TRUE(Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &rect, nullptr, 0, &p));
    ASSERT_EQ(g_calls.size(), 20u);
    std::size_t n = 0;
    for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 3; ++i) ExpectCall(g_calls[n++], 4.0f + 10 * i, 3.0f + 8 * j, 0, 0, 10, 8);
        ExpectCall(g_calls[n++], 34, 3.0f + 8 * j, 0, 0, 1, 8);  // cut at x = 35
    }
    for (int i = 0; i < 3; ++i) ExpectCall(g_calls[n++], 4.0f + 10 * i, 19, 0, 0, 10, 1);  // cut at y = 20
    ExpectCall(g_calls[n++], 34, 19, 0, 0, 1, 1);
    ExpectCall(g_calls[n++], 0, 0, 6, 5, 10, 8);  // top-left: the source's last 4 x 3
    for (int i = 0; i < 3; ++i) ExpectCall(g_calls[n++], 4.0f + 10 * i, 0, 0, 5, 10, 8);
    ExpectCall(g_calls[n++], 34, 0, 0, 5, 1, 8);
    for (int j = 0; j < 2; ++j) ExpectCall(g_calls[n++], 0, 3.0f + 8 * j, 6, 0, 10, 8);
    ExpectCall(g_calls[n++], 0, 19, 6, 0, 10, 1);
    // Every tile is held at its own corner.
    for (const Call& c : g_calls) {
        EXPECT_EQ(c.params.pivot.x, 0.0f);
        EXPECT_EQ(c.params.pivot.align, 0);
    }
}

TEST(Fill, NarrowRectangleDrawsOnlyPartialTiles) {
    C_Surface src(0, Picture(10, 8)), dst(0, Blank(20, 8));
    C_DrawParams p = Tiling(1, 1);
    p.tileOffset = C_Vector2D(7, 0);
    const C_Rect rect(2, 0, 7, 8);  // 5 wide, narrower than the 7 of the offset
    EXPECT_TRUE(Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &rect, nullptr, 0, &p));
    C_Image* d = dst.GetPlane(1);
    for (std::uint32_t y = 0; y < 8; ++y)
        for (std::uint32_t x = 0; x < 20; ++x) {
            // The leading tile shows source columns 3.. (the last 7), cut at x = 7.
            const std::uint32_t want = x >= 2 && x < 7 ? P(x - 2 + 3, y) : 0;
            ASSERT_EQ(Px(d, x, y), want) << x << "," << y;
        }
    {
        Recording rec;
        Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &rect, nullptr, 0, &p);
        ASSERT_EQ(g_calls.size(), 1u);  // the cut cells past x = 7 and y = 8 have nothing left
        ExpectCall(g_calls[0], 2, 0, 3, 0, 8, 8);
    }
}

TEST(Fill, TileOffsetWrapsIntoOneTile) {
    C_Surface src(0, Picture(64, 4));
    const C_Rect rect(0, 0, 200, 4);
    struct Case {
        float offset;
        float firstWhole;  // where the first whole tile goes
    };
    for (const Case& k : {Case{0, 0}, Case{64, 64}, Case{-1, 63}, Case{130, 2}, Case{-1000000.5f, 0}}) {
        C_DrawParams p = Tiling(1, 1);
        p.tileOffset = C_Vector2D(k.offset, 0);
        C_Surface dst(0, Blank(200, 4));
        {
            Recording rec;
            Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &rect, nullptr, 0, &p);
            ASSERT_FALSE(g_calls.empty());
            if (k.offset > -1000000.0f) {
                EXPECT_FLOAT_EQ(g_calls[0].at.x, k.firstWhole) << k.offset;
            }
            EXPECT_GE(g_calls[0].at.x, 0.0f);
            EXPECT_LE(g_calls[0].at.x, 64.0f);
        }
        // The pattern itself: offset 0 and offset tw draw the same pixels.
        if (k.offset == 0 || k.offset == 64) {
            Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &rect, nullptr, 0, &p);
            for (std::uint32_t x = 0; x < 200; ++x) ASSERT_EQ(Px(dst.GetPlane(1), x, 2), P(x % 64, 2)) << x;
        }
    }
    // Aligned offsets: from the right edge, and centred on a hair more than
    // the extent.
    C_DrawParams p = Tiling(1, 1);
    p.tileOffset = C_Vector2D(10, 0, 0x01);
    C_Surface dst(0, Blank(200, 4));
    Recording rec;
    Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &rect, nullptr, 0, &p);
    EXPECT_FLOAT_EQ(g_calls[0].at.x, 190.0f - 128.0f);  // Math_Wrap(190, 64)
    g_calls.clear();
    p.tileOffset = C_Vector2D(0, 0, 0x02);
    Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &rect, nullptr, 0, &p);
    EXPECT_FLOAT_EQ(g_calls[0].at.x, 100.005f - 64.0f);
}

TEST(Fill, FlippedTilesStayInTheirCells) {
    C_Surface src(0, Picture(4, 3));
    const C_Rect rect(1, 0, 11, 6);  // 2.5 tiles across, 2 down
    for (int flips = 1; flips <= 3; ++flips) {
        C_Surface dst(0, Blank(14, 8));
        C_DrawParams p = Tiling(1, 1);
        p.flipH = flips & 1;
        p.flipV = (flips >> 1) & 1;
        EXPECT_TRUE(Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &rect, nullptr, 0, &p));
        C_Image* d = dst.GetPlane(1);
        for (std::uint32_t y = 0; y < 8; ++y)
            for (std::uint32_t x = 0; x < 14; ++x) {
                if (x < 1 || x >= 11 || y >= 6) {
                    ASSERT_EQ(Px(d, x, y), 0u) << x << "," << y;
                    continue;
                }
                const std::uint32_t cx = (x - 1) % 4, cy = y % 3;
                const std::uint32_t sx = p.flipH ? 3 - cx : cx, sy = p.flipV ? 2 - cy : cy;
                // The cut tile at x = 9, 10 shows the first two columns of
                // the source, mirrored inside the cut as the blit mirrors a
                // two-column source rectangle.
                const std::uint32_t cutX = p.flipH ? 1 - cx : cx;
                ASSERT_EQ(Px(d, x, y), P(x >= 9 ? cutX : sx, sy)) << flips << ": " << x << "," << y;
            }
    }
}

TEST(Fill, RotationTurnsThePatternRigidly) {
    C_Surface src(0, Picture(10, 8)), dst(0, Blank(60, 60));
    C_DrawParams p = Tiling(1, 1);
    p.angle = 90.0f;
    p.pivot = C_Vector2D(5, 4);
    const C_Rect rect(20, 20, 45, 36);
    const C_Vector2D position(3, 2);
    Recording rec;
    EXPECT_TRUE(Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &rect, &position, 0, &p));
    // Cell corner c (relative) lands at R90(c - pivot) + pivot + origin with
    // origin = corner - pivot + position: the grid turns about the
    // rectangle's corner + pivot, moved by position.
    const float ox = 20 - 5 + 3, oy = 20 - 4 + 2;
    for (const Call& c : g_calls) {
        EXPECT_EQ(c.params.angle, 90.0f);
        // Undo the rotation: the cell corner must be on the grid.
        const float rx = c.at.x - 5 - ox, ry = c.at.y - 4 - oy;
        const float cx = ry + 5, cy = -rx + 4;
        const bool onGridX = std::fabs(std::remainder(cx, 10.0f)) < 1e-3f;
        const bool onGridY = std::fabs(std::remainder(cy, 8.0f)) < 1e-3f;
        EXPECT_TRUE(onGridX && onGridY) << cx << "," << cy;
    }
    // Two whole rows of two whole tiles and a cut one; the cut bottom row and
    // the leading tiles (offset 0) have nothing left.
    EXPECT_EQ(g_calls.size(), 6u);
}

TEST(Fill, StretchResolvesThePivotOnce) {
    // A pivot at the rectangle's centre (align 0x22) with the position at
    // the centre too: the picture must fill the rectangle exactly.
    C_Surface src(0, Picture(10, 10)), dst(0, Blank(40, 40));
    C_DrawParams p = Tiling(0, 0);
    p.pivot = C_Vector2D(0, 0, 0x22);
    const C_Rect rect(5, 5, 25, 25);
    const C_Vector2D centre(10, 10);
    EXPECT_TRUE(Gfx_Surface_DrawInRect(&src, &dst, nullptr, nullptr, nullptr, &rect, &centre, 0, &p));
    C_Image* d = dst.GetPlane(1);
    EXPECT_EQ(Px(d, 4, 4), 0u);
    EXPECT_EQ(Px(d, 5, 5), P(0, 0));
    EXPECT_EQ(Px(d, 24, 24), P(9, 9));
    for (std::uint32_t y = 5; y < 25; ++y)
        for (std::uint32_t x = 5; x < 25; ++x) ASSERT_EQ(Px(d, x, y), P((x - 5) / 2, (y - 5) / 2)) << x << "," << y;
    for (std::uint32_t i = 0; i < 40; ++i) EXPECT_EQ(Px(d, i, 26), 0u);  // rows past the rectangle untouched
}

TEST(Fill, StretchOneAxisTileTheOther) {
    // (0, 1): a 4 x 4 picture stretched to 8 across, tiled down 10 rows.
    C_Surface src(0, Picture(4, 4)), dst(0, Blank(12, 12));
    C_DrawParams p = Tiling(0, 1);
    const C_Rect rect(0, 0, 8, 10);
    EXPECT_TRUE(Gfx_Surface_DrawInRect(&src, &dst, nullptr, nullptr, nullptr, &rect, nullptr, 0, &p));
    C_Image* d = dst.GetPlane(1);
    for (std::uint32_t y = 0; y < 10; ++y)
        for (std::uint32_t x = 0; x < 8; ++x) ASSERT_EQ(Px(d, x, y), P(x / 2, y % 4)) << x << "," << y;
    for (std::uint32_t x = 0; x < 12; ++x) EXPECT_EQ(Px(d, x, 10), 0u);
}

TEST(Fill, DemoBackgroundScrollsAcrossAndStretchesDown) {
    // The demo's frame: a W x H picture tiled across 800, stretched to 600,
    // pivot and position at the picture's centre, offset ten times the
    // scroll counter, drawn into a bottom-up back buffer.
    const std::uint32_t W = 100, H = 75;
    C_Image* picture = Picture(W, H);
    C_Image* back = Blank(800, 600);
    back->bottomUp = 1;
    C_Surface src(1, picture), dst(1, back);
    for (const float scroll : {1.0f, 7.3f, 12.345f, 1000.7f}) {
        C_DrawParams p;
        p.scale = C_Vector2D(1.0f, 1.0f);
        p.angle = 0;
        p.pivot = C_Vector2D(float(W / 2), float(H / 2));
        p.opacity = 1.0f;
        p.keyColor = C_Color(255, 0, 255, 0);
        p.fillColor = C_Color(255, 0, 0, 0);
        p.brightness = C_Color(-128, -128, -128, 0);
        p.tileOffset = C_Vector2D(scroll * 10.0f, 0);
        p.fillModeH = 1;
        p.fillModeV = 0;
        const C_Rect rect(0, 0, 800.0f, 600.0f);
        const C_Vector2D position(float(W / 2), float(H / 2));
        ASSERT_TRUE(Gfx_Surface_DrawInRect(&src, &dst, nullptr, nullptr, nullptr, &rect, &position, 0, &p));

        const float ox = Math_Wrap(scroll * 10.0f, float(W));
        int checked = 0;
        for (std::uint32_t Y = 0; Y < 600; Y += 7)
            for (std::uint32_t X = 0; X < 800; X += 3) {
                // Stay clear of the columns where two tiles meet.
                const float along = std::fmod(float(X) - ox + 10.0f * W, float(W));
                if (along < 1.5f || along > W - 1.5f) continue;
                const std::uint32_t v = Px(back, X, Y);
                ASSERT_EQ(XOf(v), std::uint32_t(std::floor(along))) << scroll << ": " << X << "," << Y;
                ASSERT_EQ(YOf(v), Y / 8) << scroll << ": " << X << "," << Y;  // 600 / 75 = 8 rows a source row
                ++checked;
            }
        EXPECT_GT(checked, 20000);
    }
    delete picture;
    delete back;
}

bool Forward(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip, const C_Frame* clip2,
             const C_Vector2D* position, std::uint32_t mode, const C_DrawParams* params) {
    return Gfx_Surface_BlitTransformedBuiltin(src, dst, srcRect, clip, clip2, position, mode, params);
}

TEST(Fill, SkippedTilesChangeNoPixel) {
    // Tiles that cannot reach the destination are skipped. With an override
    // installed every tile is issued, so the built-in blit behind a
    // forwarding override draws the unskipped reference.
    C_Surface src(0, Picture(6, 5));
    const C_Frame clip(4, 3, 44, 37), clip2(0, 0, 30, 30);
    struct Case {
        float angle;
        std::uint8_t align;  // of the position
        bool clipped, wrap;
        float scale = 1.5f, scaleY = 1.0f;  // scale 1: opaque tiles, copied in row order
    };
    for (const Case& k : {Case{30, 0, false, false}, Case{-115, 0x11, true, false}, Case{0, 0x22, true, true},
                          Case{200, 0x12, false, true}, Case{0, 0x10, true, false}, Case{0, 0x22, true, false, 1.0f},
                          Case{0, 0, false, false, 1.0f}, Case{0, 0x10, true, false, 1.0f, 1.7f},
                          Case{0, 0, false, false, 1.0f, 0.45f}}) {
        C_DrawParams p = Tiling(1, 1);
        p.angle = k.angle;
        p.pivot = C_Vector2D(7, 3, 0x02);
        p.tileOffset = C_Vector2D(2.5f, 1.25f);
        p.scale = C_Vector2D(k.scale, k.scaleY);
        p.wrapH = p.wrapV = k.wrap;
        p.flipH = k.align & 1;
        p.flipV = k.wrap;
        const C_Vector2D position(5, 7, k.align);
        const C_Rect rect(-40, -30, 90, 70);
        C_Surface culled(0, Blank(48, 40)), reference(0, Blank(48, 40));
        const C_Frame* c1 = k.clipped ? &clip : nullptr;
        const C_Frame* c2 = k.clipped ? &clip2 : nullptr;
        EXPECT_TRUE(Gfx_Surface_DrawTiled(&src, &culled, nullptr, c1, c2, &rect, &position, 0, &p));
        Gfx_SetBlitOverride(&Forward);
        EXPECT_TRUE(Gfx_Surface_DrawTiled(&src, &reference, nullptr, c1, c2, &rect, &position, 0, &p));
        Gfx_SetBlitOverride(nullptr);
        int drawn = 0;
        for (std::uint32_t y = 0; y < 40; ++y)
            for (std::uint32_t x = 0; x < 48; ++x) {
                const std::uint32_t v = Px(culled.GetPlane(1), x, y);
                drawn += v != 0;
                ASSERT_EQ(v, Px(reference.GetPlane(1), x, y)) << k.angle << ": " << x << "," << y;
            }
        EXPECT_GT(drawn, 0) << k.angle;
    }

    // A vast pattern through a small destination: billions of tiles, of
    // which only those over the destination are drawn.
    C_DrawParams p = Tiling(1, 1);
    p.angle = 30.0f;
    const C_Rect vast(-1000000.0f, -1000000.0f, 1000000.0f, 1000000.0f);
    C_Surface dst(0, Blank(48, 40));
    EXPECT_TRUE(Gfx_Surface_DrawTiled(&src, &dst, nullptr, nullptr, nullptr, &vast, nullptr, 0, &p));
    for (std::uint32_t y = 0; y < 40; ++y)
        for (std::uint32_t x = 0; x < 48; ++x) ASSERT_NE(Px(dst.GetPlane(1), x, y), 0u) << x << "," << y;
}

}  // namespace
