// Filling a rectangle with a picture, stretched or tiled on each axis: the
// pixels (a golden hash), the refusals, and the tiles issued.
#include <limits>

#include "surface_test.h"

namespace {

C_DrawParams Modes(std::uint8_t across, std::uint8_t down) {
    C_DrawParams p;
    p.fillModeH = across;
    p.fillModeV = down;
    return p;
}

bool Tiled(C_Surface& src, C_Surface& dst, const C_Rect& rect, const C_DrawParams& p, const C_Rect* srcRect = nullptr,
           const C_Vector2D* position = nullptr) {
    return Gfx_Surface_DrawTiled(&src, &dst, srcRect, nullptr, nullptr, &rect, position, 0, &p);
}

// Stretched and tiled axes, in every pairing: whole, cut and leading tiles,
// offsets measured from either side, flips, bottom-up canvases, the pivot at
// the centre (which must not move the fill), and a turned grid. One golden
// hash of all the canvases.
TEST(Fill, PixelsFollowTheModeOfEachAxis) {
    const struct {
        std::uint8_t across, down;
        std::uint32_t w, h;  // the picture
        int x0, y0, x1, y1;  // the rectangle
        int offX, offY;
        bool flipH, flipV, bottomUp;
        bool centred;                  // as the case before, with pivot and position at the centre
        std::uint8_t offsetAlign = 0;  // 1: the offset is measured from the right
    } cases[] = {
        {1, 1, 10, 8, 0, 0, 35, 20, 4, 3, false, false, false, false},  // whole, cut and leading tiles
        {1, 1, 10, 8, 2, 0, 7, 8, 7, 0, false, false, false, false},    // narrower than the offset
        {1, 1, 64, 4, 0, 0, 200, 4, 130, -1, false, false, false, false},
        {1, 1, 64, 4, 0, 0, 200, 4, 10, 0, false, false, false, false, 0x01},
        {1, 1, 4, 3, 1, 0, 11, 6, 0, 0, true, false, false, false},  // flipped, with a cut tile
        {1, 1, 4, 3, 1, 0, 11, 6, 0, 0, false, true, false, false},
        {1, 1, 4, 3, 1, 0, 11, 6, 0, 0, true, true, true, false},
        {0, 1, 4, 4, 0, 0, 8, 10, 0, 0, false, false, false, false},
        {1, 0, 100, 75, 0, 0, 800, 600, 73, 0, false, false, true, false},  // the demo's scrolling background
        {1, 0, 10, 8, 0, 0, 35, 20, 4, 0, false, false, false, false},
        {0, 0, 10, 10, 5, 5, 25, 25, 0, 0, false, false, false, false},
        {0, 0, 10, 10, 5, 5, 25, 25, 0, 0, false, false, false, true},
    };
    std::uint64_t hash = kFnvStart, previous = 0;
    for (const auto& c : cases) {
        C_Image* canvas = NewArgb(static_cast<std::uint32_t>(c.x1 + 3), static_cast<std::uint32_t>(c.y1 + 2), 0);
        canvas->bottomUp = c.bottomUp;
        C_Surface src(0, NewPattern(c.w, c.h)), dst(0, canvas);
        C_DrawParams p = Modes(c.across, c.down);
        p.tileOffset = C_Vector2D(static_cast<float>(c.offX), static_cast<float>(c.offY), c.offsetAlign);
        p.flipH = c.flipH;
        p.flipV = c.flipV;
        const C_Rect rect(static_cast<float>(c.x0), static_cast<float>(c.y0), static_cast<float>(c.x1),
                          static_cast<float>(c.y1));
        if (c.centred) p.pivot = C_Vector2D(0, 0, 0x22);
        const C_Vector2D centre(float(c.x1 - c.x0) / 2, float(c.y1 - c.y0) / 2);
        ASSERT_TRUE(c.across && c.down ? Tiled(src, dst, rect, p)
                                       : Gfx_Surface_DrawInRect(&src, &dst, nullptr, nullptr, nullptr, &rect,
                                                                c.centred ? &centre : nullptr, 0, &p));
        const std::uint64_t own = Fnv1a(kFnvStart, canvas->data, canvas->dataSize);
        if (c.centred) {
            EXPECT_EQ(own, previous);
        }
        previous = own;
        hash = Fnv1a(hash, &own, sizeof own);
    }
    // Turned, the grid turns rigidly about the rectangle's corner plus the
    // pivot and the position.
    C_Surface src(0, NewPattern(10, 8)), turned(0, NewArgb(60, 60, 0));
    C_DrawParams p = Modes(1, 1);
    p.angle = 90.0f;
    p.pivot = C_Vector2D(5, 4);
    const C_Vector2D position(3, 2);
    ASSERT_TRUE(Tiled(src, turned, C_Rect(20, 20, 45, 36), p, nullptr, &position));
    hash = Fnv1a(hash, turned.GetPlane(1)->data, turned.GetPlane(1)->dataSize);
    EXPECT_EQ(hash, 0x25D4485EB564BF6Dull);
}

// Fills of 4 MiB and more write around the caches through their own copy
// loops (64- and 16-byte steps): the same pixels as the pattern repeated.
TEST(Fill, LargeFillsRepeatThePatternExactly) {
    for (const std::uint32_t tileW : {60u, 100u}) {  // few enough tiles to be copied, not blitted
        C_Surface src(0, NewPattern(tileW, 100)), dst(0, NewArgb(1030, 1020, 0));
        ASSERT_TRUE(Tiled(src, dst, C_Rect(0, 0, 1030, 1020), Modes(1, 1)));
        std::size_t wrong = 0;
        for (std::uint32_t y = 0; y < 1020; ++y)
            for (std::uint32_t x = 0; x < 1030; ++x)
                wrong += Px(dst.GetPlane(1), x, y) != Px(src.GetPlane(1), x % tileW, y % 100);
        EXPECT_EQ(wrong, 0u) << tileW;
    }
}

TEST(Fill, RefusesWhatCannotBeDrawn) {
    C_Surface src(0, NewPattern(8, 8)), dst(0, NewArgb(32, 32, 0)), none;
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    const C_Rect flat(4, 0, 4, 20), box(0, 0, 20, 20), sliver(2, 0, 2.5f, 8);
    const struct {
        const char* what;
        bool tiled;  // DrawTiled, else DrawInRect
        C_Surface* from;
        const C_Rect* srcRect;
        const C_Rect* rect;
        std::uint8_t across, down;
        float scaleX, offsetX;
        bool ok;
    } cases[] = {
        {"stretched across no width", false, &src, nullptr, &flat, 0, 0, 1, 0, false},
        {"tiled across no width, stretched down", false, &src, nullptr, &flat, 1, 0, 1, 0, true},
        {"stretched across no width, tiled down", false, &src, nullptr, &flat, 0, 1, 1, 0, false},
        {"tiled across no width", true, &src, nullptr, &flat, 1, 1, 1, 0, false},
        {"no source", false, &none, nullptr, &box, 1, 1, 1, 0, false},
        {"no rectangle", false, &src, nullptr, nullptr, 1, 1, 1, 0, false},
        // A tile that truncates to no pixel would divide the rectangle by 0.
        {"a tile narrower than a pixel", true, &src, &sliver, &box, 1, 1, 1, 0, false},
        {"a tile scaled below a pixel", true, &src, nullptr, &box, 1, 1, 0.1f, 0, false},
        {"an offset that is no number", true, &src, nullptr, &box, 1, 1, 1, nan, false},
        {"an unknown mode pair", false, &src, nullptr, &box, 2, 0, 1, 0, false},
    };
    for (const auto& c : cases) {
        C_DrawParams p = Modes(c.across, c.down);
        p.scale.x = c.scaleX;
        p.tileOffset.x = c.offsetX;
        EXPECT_EQ(c.tiled ? Gfx_Surface_DrawTiled(c.from, &dst, c.srcRect, nullptr, nullptr, c.rect, nullptr, 0, &p)
                          : Gfx_Surface_DrawInRect(c.from, &dst, c.srcRect, nullptr, nullptr, c.rect, nullptr, 0, &p),
                  c.ok)
            << c.what;
    }
    const C_Rect infinite(0, 0, inf, 20), vast(-1e6f, -1e6f, 1e6f, 1e6f);
    EXPECT_FALSE(Tiled(src, dst, infinite, Modes(1, 1)));
    // Nothing to draw into: every tile is skipped, however many there are.
    EXPECT_TRUE(Tiled(src, none, vast, Modes(1, 1)));
    EXPECT_EQ(BytesOf(dst.GetPlane(1)), std::vector<std::uint8_t>(32 * 32 * 4, 0));
}

bool Forward(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip, const C_Frame* clip2,
             const C_Vector2D* position, std::uint32_t mode, const C_DrawParams* params) {
    return Gfx_Surface_BlitTransformedBuiltin(src, dst, srcRect, clip, clip2, position, mode, params);
}

// Tiles that cannot reach the destination are skipped. With an override
// installed every tile is issued, so the built-in blit behind a forwarding
// override draws the unskipped reference.
TEST(Fill, SkippedTilesChangeNoPixel) {
    C_Surface src(0, NewPattern(6, 5));
    const C_Frame clip(4, 3, 44, 37), clip2(0, 0, 30, 30);
    const C_Rect whole(-40, -30, 90, 70), column(2, 0, 3, 5);
    const struct {
        float angle;
        std::uint8_t align;  // of the position
        bool clipped, wrap;
        float scale = 1.5f, scaleY = 1.0f;  // scale 1: opaque tiles, copied in row order
        float offsetX = 2.5f;
        const C_Rect* srcRect = nullptr;
    } cases[] = {{30, 0, false, false},
                 {-115, 0x11, true, false},
                 {0, 0x22, true, true},
                 {200, 0x12, false, true},
                 {0, 0x10, true, false},
                 {0, 0x22, true, false, 1.0f},
                 {0, 0, false, false, 1.0f},
                 {0, 0x10, true, false, 1.0f, 1.7f},
                 {0, 0, false, false, 1.0f, 0.45f},
                 // Tiles one source column wide, stretched down the rows: at
                 // x.8 the scaled walk covers a single column, drawn too.
                 {0, 0, false, false, 1.0f, 1.7f, 0.8f, &column}};
    for (const auto& k : cases) {
        C_DrawParams p = Modes(1, 1);
        p.angle = k.angle;
        p.pivot = C_Vector2D(7, 3, 0x02);
        p.tileOffset = C_Vector2D(k.offsetX, 1.25f);
        p.scale = C_Vector2D(k.scale, k.scaleY);
        p.wrapH = p.wrapV = p.flipV = k.wrap;
        p.flipH = k.align & 1;
        const C_Vector2D position(5, 7, k.align);
        C_Surface culled(0, NewArgb(48, 40, 0)), reference(0, NewArgb(48, 40, 0));
        for (C_Surface* dst : {&culled, &reference}) {
            Gfx_SetBlitOverride(dst == &reference ? &Forward : nullptr);
            EXPECT_TRUE(Gfx_Surface_DrawTiled(&src, dst, k.srcRect, k.clipped ? &clip : nullptr,
                                              k.clipped ? &clip2 : nullptr, &whole, &position, 0, &p));
        }
        Gfx_SetBlitOverride(nullptr);
        EXPECT_EQ(BytesOf(culled.GetPlane(1)), BytesOf(reference.GetPlane(1))) << k.angle;
        EXPECT_NE(BytesOf(culled.GetPlane(1)), std::vector<std::uint8_t>(48 * 40 * 4, 0)) << k.angle;
    }
    // A vast pattern through a small destination: billions of tiles, of
    // which only those over the destination are drawn.
    C_DrawParams p = Modes(1, 1);
    p.angle = 30.0f;
    C_Surface dst(0, NewArgb(48, 40, 0));
    EXPECT_TRUE(Tiled(src, dst, C_Rect(-1e6f, -1e6f, 1e6f, 1e6f), p));
    for (std::uint32_t y = 0; y < 40; ++y)
        for (std::uint32_t x = 0; x < 48; ++x) ASSERT_NE(Px(dst.GetPlane(1), x, y), 0u) << x << "," << y;
}

}  // namespace
