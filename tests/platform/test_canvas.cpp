// The canvas on the headless platform: states, clip copies, redirection,
// presenting, layer surfaces with their display-ready copies, and forwarded
// drawing that reads those copies.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "quillory.h"
#include "recorder.h"

namespace {

C_Image* CloneAs(const C_Image* image, std::int32_t format) {
    auto* copy = new C_Image;
    EXPECT_TRUE(Gfx_Image_Clone(image, copy, format, GFX_FMT_NONE, 0));
    return copy;
}

bool SamePixels(const C_Image& a, const C_Image& b) {
    if (a.width != b.width || a.height != b.height || a.format != b.format) return false;
    for (std::uint32_t y = 0; y < a.height; ++y)
        for (std::uint32_t x = 0; x < a.width; ++x)
            if (PixelAt(a, x, y) != PixelAt(b, x, y)) return false;
    return true;
}

std::size_t CountNonZero(const C_Image& image) {
    std::size_t n = 0;
    for (std::uint32_t y = 0; y < image.height; ++y)
        for (std::uint32_t x = 0; x < image.width; ++x) n += PixelAt(image, x, y) != 0;
    return n;
}

// A surface laid out like a canvas target, for the expected pictures.
std::unique_ptr<C_Surface> TargetLike(std::uint32_t w, std::uint32_t h) {
    auto* image = new C_Image;
    image->CreateEmpty(w, h, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(0.0f, 0.0f, 0.0f, 0.0f));
    image->bottomUp = 1;
    auto surface = std::make_unique<C_Surface>();
    surface->AddPlane(image, GFX_PLANE_COLOR);
    return surface;
}

C_Image& Colour(C_Surface* surface) { return *surface->GetPlane(GFX_PLANE_COLOR); }
int UseDerived() { return Gfx_GetBlitKernel().useDerived; }

// The useDerived switch as every blit saw it.
std::vector<int> g_seen;

bool ProbeBlit(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip, const C_Frame* clip2,
               const C_Vector2D* position, std::uint32_t mode, const C_DrawParams* params) {
    g_seen.push_back(UseDerived());
    return Gfx_Surface_BlitTransformedBuiltin(src, dst, srcRect, clip, clip2, position, mode, params);
}

class CanvasTest : public HeadlessTest {
protected:
    C_Window window;
    C_Frame area{0, 0, 800, 600};

    void SetUp() override {
        HeadlessTest::SetUp();
        MakeDemoWindow(window);
        g_seen.clear();
    }
    void TearDown() override { Gfx_SetBlitOverride(nullptr); }

    C_CanvasTarget Target() { return C_CanvasTarget{&window, &area}; }
    void Create(C_Canvas& canvas, std::uint32_t w, std::uint32_t h, std::uint8_t alpha = 0) {
        ASSERT_TRUE(canvas.Setup(Target(), w, h, alpha));
        ASSERT_TRUE(canvas.CreateTarget());
    }
};

TEST_F(CanvasTest, StatesRunFromInitThroughSetupToCreatedAndBack) {
    C_Canvas canvas;
    const C_Vector2Di point(1, 1);
    const C_Color white(1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_FALSE(canvas.CreateTarget());  // not set up: nothing happens
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_INIT);
    EXPECT_EQ(canvas.GetFormat(), -1);

    ASSERT_TRUE(canvas.Setup(Target(), 32, 16, 0));
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_SETUP);
    EXPECT_FALSE(canvas.Blit(&point, &white));
    ASSERT_TRUE(canvas.CreateTarget());
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_CREATED);
    EXPECT_EQ(canvas.GetFormat(), 24);
    C_Surface* first = canvas.GetSurface();
    EXPECT_TRUE(Colour(first).bottomUp == 1 && Colour(first).width == 32u);
    EXPECT_EQ(CountNonZero(Colour(first)), 0u);
    EXPECT_EQ(first->GetPlane(GFX_PLANE_ALPHA), nullptr);
    EXPECT_FALSE(canvas.CreateTarget());  // already made
    EXPECT_EQ(canvas.GetSurface(), first);

    canvas.SetExtra(new C_Rect());  // owned: a leak would show under LSan
    canvas.DestroyTarget();
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_SETUP);
    EXPECT_TRUE(canvas.GetSurface() == nullptr && canvas.GetExtra() == nullptr);
    EXPECT_FALSE(canvas.Blit(&point, &white));

    ASSERT_TRUE(canvas.Setup(Target(), 8, 4, 1));  // releases, then an alpha plane on request
    ASSERT_TRUE(canvas.CreateTarget());
    const C_Image* alpha = canvas.GetSurface()->GetPlane(GFX_PLANE_ALPHA);
    ASSERT_NE(alpha, nullptr);
    EXPECT_TRUE(alpha->format == GFX_FMT_CH8 && alpha->bottomUp == 1);
    canvas.SetExtra(new C_Frame());
}

TEST_F(CanvasTest, AFullscreenCanvasSwitchesTheDisplayWhenItsTargetIsMade) {
    C_Canvas canvas;
    EXPECT_TRUE(canvas.SetupFullscreen(Target(), 1024, 768, 16, 0));
    EXPECT_EQ(Win_GetDisplayCaps(WIN_CAPS_HORZRES), 1920);
    ASSERT_TRUE(canvas.CreateTarget());
    EXPECT_EQ(Win_GetDisplayCaps(WIN_CAPS_HORZRES), 1024);
    EXPECT_EQ(Win_GetDisplayCaps(WIN_CAPS_VERTRES), 768);
    EXPECT_EQ(Win_GetDisplayCaps(WIN_CAPS_BITSPIXEL), 16);
}

TEST_F(CanvasTest, PrimitivesDrawAsTheDirectCallsWithCopiesOfTheClips) {
    C_Canvas canvas;
    Create(canvas, 40, 30);
    C_Frame clip(3, 2, 36, 27, 0x12, 0x33);
    const C_Frame clip2(0, 5, 30, 30);
    ASSERT_TRUE(canvas.SetClip(&clip));
    ASSERT_TRUE(canvas.SetClip2(&clip2));
    EXPECT_NE(canvas.clip, &clip);
    EXPECT_EQ(canvas.clip->sizeAlign, 0x33);
    const C_Frame used = clip;
    clip.x0 = 0;  // the canvas keeps its own copy

    const C_Color a(1.0f, 0.5f, 0.25f, 1.0f), b(0.0f, 1.0f, 0.0f, 1.0f);
    const C_Vector2Di point(4, 6);
    const C_Vector2D from(-5.0f, 1.0f), to(39.0f, 29.0f);
    const C_Rect box(1.0f, 3.0f, 33.0f, 20.0f), all(0.0f, 0.0f, 39.0f, 29.0f);
    const C_Circle ring(C_Vector2D(20.0f, 15.0f), 11.0f), disc(C_Vector2D(8.0f, 24.0f), 6.0f);
    auto expected = TargetLike(40, 30);
    for (C_Surface* s : {expected.get(), static_cast<C_Surface*>(nullptr)}) {
        const bool direct = s != nullptr;
        EXPECT_TRUE(direct ? Gfx_Surface_Blit(s, &all, &b, &used, &clip2, 0) : canvas.Blit(&all, &b, 0));
        EXPECT_TRUE(direct ? Gfx_Surface_Blit(s, &point, &a, &used, &clip2) : canvas.Blit(&point, &a));
        EXPECT_TRUE(direct ? Gfx_Surface_Blit(s, &from, &to, &b, &used, &clip2) : canvas.Blit(&from, &to, &b));
        EXPECT_TRUE(direct ? Gfx_Surface_Blit(s, &box, &a, &used, &clip2, 1) : canvas.Blit(&box, &a, 1));
        EXPECT_TRUE(direct ? Gfx_Surface_Blit(s, &ring, &b, &used, &clip2, 0) : canvas.Blit(&ring, &b, 0));
        EXPECT_TRUE(direct ? Gfx_Surface_Blit(s, &disc, &a, &used, &clip2, 1) : canvas.Blit(&disc, &a, 1));
    }
    EXPECT_EQ(UseDerived(), 0);
    EXPECT_TRUE(SamePixels(Colour(canvas.GetSurface()), Colour(expected.get())));
    EXPECT_EQ(PixelAt(Colour(canvas.GetSurface()), 2, 10), 0u);  // left of the first clip
    EXPECT_EQ(PixelAt(Colour(canvas.GetSurface()), 10, 4), 0u);  // above the second

    canvas.DeleteClip();
    ASSERT_TRUE(canvas.SetClip2(nullptr));
    EXPECT_EQ(canvas.clip, nullptr);
    EXPECT_EQ(canvas.clip2, nullptr);
}

TEST_F(CanvasTest, RedirectionSendsDrawingElsewhereAndComesBack) {
    C_Canvas canvas;
    ASSERT_TRUE(canvas.Setup(Target(), 10, 10, 0));
    auto elsewhere = TargetLike(10, 10), third = TargetLike(10, 10);
    const C_Color white(1.0f, 1.0f, 1.0f, 1.0f);
    const C_Vector2Di point(1, 1);

    canvas.RedirectSurface(elsewhere.get());
    EXPECT_FALSE(canvas.Blit(&point, &white));  // state 128: refused, nothing drawn
    EXPECT_EQ(CountNonZero(Colour(elsewhere.get())), 0u);
    ASSERT_TRUE(canvas.CreateTarget());  // made while redirected: waits in the saved slot
    C_Surface* own = canvas.savedSurface;
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(canvas.Blit(&point, &white));
    EXPECT_EQ(CountNonZero(Colour(elsewhere.get())), 1u);
    EXPECT_EQ(CountNonZero(Colour(own)), 0u);
    canvas.RedirectSurface(nullptr);
    EXPECT_EQ(canvas.GetSurface(), own);

    // Twice, then back: the canvas's own surface, not the first redirection.
    canvas.RedirectSurface(elsewhere.get());
    canvas.RedirectSurface(third.get());
    EXPECT_EQ(canvas.GetSurface(), third.get());
    canvas.RedirectSurface(nullptr);
    EXPECT_EQ(canvas.GetSurface(), own);

    // Releasing while redirected deletes only the canvas's own surface (a
    // delete of a borrowed one would be a double free under ASan).
    canvas.RedirectSurface(third.get());
    canvas.DestroyTarget();
    EXPECT_EQ(canvas.GetSurface(), nullptr);
    ASSERT_TRUE(canvas.CreateTarget());
    canvas.RedirectSurface(elsewhere.get());
    ASSERT_TRUE(canvas.Setup(Target(), 10, 10, 0));
    ASSERT_TRUE(canvas.CreateTarget());
    canvas.RedirectSurface(third.get());
}

// The picture goes where the surface's and the area's alignments say, by
// default centred.
TEST_F(CanvasTest, PresentPutsThePictureWhereBothAlignmentsSay) {
    C_Canvas canvas;
    EXPECT_FALSE(canvas.Present());  // nothing to show
    struct Case {
        std::uint8_t surfaceAlign, areaAlign;
        std::int32_t x, y;
    };
    // A 40 x 20 picture in the area (100, 50)-(500, 350).
    const Case cases[] = {{0x22, 0x22, 280, 190}, {0x00, 0x00, 100, 50}, {0x11, 0x11, 460, 330},
                          {0x00, 0x11, 500, 350}, {0x22, 0x00, 80, 40},  {0x12, 0x21, 480, 180},
                          {0x33, 0x44, 100, 50}};
    area = C_Frame(100, 50, 500, 350);
    C_Canvas small;
    Create(small, 40, 20);
    ASSERT_TRUE(small.Present());
    EXPECT_EQ(window.presentOffset, C_Vector2Di(280, 190));  // by default centred
    small.window = nullptr;
    EXPECT_FALSE(small.Present());
    small.window = &window;
    for (const Case& c : cases) {
        small.surfaceAlign = c.surfaceAlign;
        small.areaAlign = c.areaAlign;
        ASSERT_TRUE(small.Present());
        EXPECT_EQ(window.presentOffset, C_Vector2Di(c.x, c.y))
            << std::hex << int{c.surfaceAlign} << " " << int{c.areaAlign};
    }
}

TEST_F(CanvasTest, LayerCopiesAreBuiltOnNoticeRefreshedAndFreedOnRelease) {
    const std::uint32_t before = Mem_GetUsage().memCurrent;
    {
        C_Canvas canvas;
        std::unique_ptr<C_Surface> layer(canvas.CreateLayerSurface());
        EXPECT_EQ(layer->owner, &canvas);
        C_Image* colour = Pattern(6, 5, GFX_FMT_RGB565, 1);
        C_Image* alpha = Pattern(6, 5, GFX_FMT_CH8, 2);
        layer->AddPlane(colour, 1);
        layer->AddPlane(alpha, 2);
        layer->AddPlane(Pattern(6, 5, GFX_FMT_CH8, 3), 3);
        C_SurfacePlane* c = layer->GetPlaneEntry(1);
        C_SurfacePlane* a = layer->GetPlaneEntry(2);

        EXPECT_TRUE(layer->Notify1(2));  // one plane...
        EXPECT_EQ(c->derived, nullptr);
        ASSERT_NE(a->derived, nullptr);
        EXPECT_TRUE(layer->Notify1(GFX_NOTIFY_ALL_PLANES));  // ...then all; plane 3 keeps none
        ASSERT_NE(c->derived, nullptr);
        EXPECT_EQ(layer->GetPlaneEntry(3)->derived, nullptr);
        std::unique_ptr<C_Image> want(CloneAs(colour, GFX_FMT_ARGB8888));
        EXPECT_TRUE(SamePixels(*c->derived, *want));
        EXPECT_TRUE(SamePixels(*a->derived, *alpha));

        C_Image* copy = c->derived;  // a change is converted into the same copy
        SetPixel(*colour, 2, 3, 0xF800);
        EXPECT_TRUE(layer->Notify1(1));
        EXPECT_EQ(c->derived, copy);
        EXPECT_EQ(PixelAt(*copy, 2, 3) & 0xFFFFFFu, 0xFF0000u);

        layer->AddPlane(Pattern(9, 7, GFX_FMT_RGB888, 4), 1);  // another size: a fitting copy
        c = layer->GetPlaneEntry(1);
        EXPECT_TRUE(layer->Notify1(1));
        want.reset(CloneAs(c->image, GFX_FMT_ARGB8888));
        EXPECT_TRUE(SamePixels(*c->derived, *want));

        layer->AddPlane(Pattern(8, 8, GFX_FMT_INDEX1, 5), 1);  // unconvertible: the copy goes
        EXPECT_FALSE(layer->Notify1(1));
        EXPECT_EQ(layer->GetPlaneEntry(1)->derived, nullptr);

        // Reloading releases the copies; the layer stays bound.
        C_Surface plain;
        plain.AddPlane(Pattern(3, 3, GFX_FMT_ARGB8888, 6), 1);
        C_Stream stream;
        stream.OpenMemoryWrite();
        ASSERT_TRUE(plain.SaveToStream(&stream, 0));
        stream.OpenMemoryRead();
        ASSERT_TRUE(layer->LoadFromStream(&stream, 0));
        EXPECT_EQ(layer->GetPlaneEntry(1)->derived, nullptr);
        EXPECT_TRUE(layer->Notify1(GFX_NOTIFY_ALL_PLANES));
        EXPECT_NE(layer->GetPlaneEntry(1)->derived, nullptr);

        // Whichever goes first, nothing dangles; a layer left behind is plain.
        std::unique_ptr<C_Surface> early(canvas.CreateLayerSurface());
        early.reset();
        auto other = std::make_unique<C_Canvas>();
        std::unique_ptr<C_Surface> orphan(other->CreateLayerSurface());
        orphan->AddPlane(Pattern(4, 4, GFX_FMT_ARGB8888, 1), 1);
        ASSERT_TRUE(orphan->Notify1(GFX_NOTIFY_ALL_PLANES));
        other.reset();
        EXPECT_EQ(orphan->GetPlaneEntry(1)->derived, nullptr);
        EXPECT_EQ(orphan->owner, nullptr);
        EXPECT_FALSE(orphan->Notify1(GFX_NOTIFY_ALL_PLANES));
    }
    EXPECT_EQ(Mem_GetUsage().memCurrent, before);  // every copy freed
}

TEST_F(CanvasTest, BlitsAndFillsReadTheDerivedPlanesOnly) {
    C_Canvas canvas;
    Create(canvas, 64, 48, 1);
    const C_Frame clip(2, 1, 60, 44), clip2(4, 3, 64, 48);
    canvas.SetClip(&clip);
    canvas.SetClip2(&clip2);
    // A layer with a 5-6-5 colour plane and a graded alpha plane, and the
    // plain surface the blit sees through the layer's copies.
    std::unique_ptr<C_Surface> layer(canvas.CreateLayerSurface());
    C_Surface plain;
    layer->AddPlane(Pattern(10, 7, GFX_FMT_RGB565, 7), 1);
    layer->AddPlane(Pattern(10, 7, GFX_FMT_CH8, 8), 2);
    plain.AddPlane(CloneAs(layer->GetPlane(1), GFX_FMT_ARGB8888), 1);
    plain.AddPlane(CloneAs(layer->GetPlane(2), GFX_FMT_CH8), 2);
    Gfx_SetBlitOverride(ProbeBlit);

    C_DrawParams turn;
    turn.scale = C_Vector2D(1.5f, 1.25f);
    turn.angle = 30.0f;
    turn.pivot = C_Vector2D(0.0f, 0.0f, 0x22);
    turn.filter = 1;
    turn.opacity = 0.75f;
    C_DrawParams tiles;
    tiles.fillModeH = tiles.fillModeV = 1;
    tiles.tileOffset = C_Vector2D(3.0f, -2.0f);
    tiles.flipH = 1;
    const C_Vector2D centre(0.0f, 0.0f, 0x22), corner(0.0f, 0.0f);
    const C_Rect dest(1.0f, 2.0f, 57.0f, 41.0f);

    // Without copies the source has no planes: nothing drawn, switch reset.
    EXPECT_FALSE(canvas.BlitTransformed(layer.get(), nullptr, &centre, 0, &turn));
    EXPECT_EQ(UseDerived(), 0);
    EXPECT_EQ(CountNonZero(Colour(canvas.GetSurface())), 0u);

    // The planes change after the notice: what is drawn is the copies.
    ASSERT_TRUE(layer->Notify1(GFX_NOTIFY_ALL_PLANES));
    std::memset(layer->GetPlane(1)->data, 0, layer->GetPlane(1)->dataSize);
    g_seen.clear();
    EXPECT_TRUE(canvas.DrawInRect(layer.get(), nullptr, &dest, &corner, 0, &tiles));
    EXPECT_TRUE(canvas.BlitTransformed(layer.get(), nullptr, &centre, 0, &turn));
    EXPECT_GT(g_seen.size(), 20u);
    EXPECT_EQ(g_seen, std::vector<int>(g_seen.size(), 1));
    EXPECT_EQ(UseDerived(), 0);

    auto expected = TargetLike(64, 48);
    auto* expectedAlpha = new C_Image;
    expectedAlpha->CreateEmpty(64, 48, GFX_FMT_CH8, GFX_FMT_NONE, C_Color(0.0f, 0.0f, 0.0f, 0.0f));
    expectedAlpha->bottomUp = 1;
    expected->AddPlane(expectedAlpha, 2);
    g_seen.clear();
    Gfx_Surface_DrawInRect(&plain, expected.get(), nullptr, &clip, &clip2, &dest, &corner, 0, &tiles);
    Gfx_Surface_BlitTransformed(&plain, expected.get(), nullptr, &clip, &clip2, &centre, 0, &turn);
    EXPECT_EQ(g_seen, std::vector<int>(g_seen.size(), 0));
    EXPECT_GT(CountNonZero(Colour(expected.get())), 1000u);
    EXPECT_TRUE(SamePixels(Colour(canvas.GetSurface()), Colour(expected.get())));
    EXPECT_TRUE(SamePixels(*canvas.GetSurface()->GetPlane(2), *expectedAlpha));

    // Calls that fail inside reset the switch as well.
    const C_Rect empty(5.0f, 5.0f, 5.0f, 9.0f);
    EXPECT_FALSE(canvas.BlitTransformed(nullptr, nullptr, &centre, 0, &turn));
    EXPECT_FALSE(canvas.DrawInRect(layer.get(), nullptr, &empty, &corner, 0, nullptr));
    EXPECT_EQ(UseDerived(), 0);

    // Without a surface (the tile fill alone would report success).
    C_Canvas idle;
    ASSERT_TRUE(idle.Setup(Target(), 4, 4, 0));
    g_seen.clear();
    EXPECT_FALSE(idle.DrawInRect(layer.get(), nullptr, &dest, &corner, 0, &tiles));
    EXPECT_FALSE(idle.BlitTransformed(layer.get(), nullptr, &centre, 0, &turn));
    EXPECT_TRUE(g_seen.empty());
    EXPECT_EQ(UseDerived(), 0);
}

TEST_F(CanvasTest, TextDrawsWithGlyphSurfacesMadeByTheCanvas) {
    C_Canvas canvas;
    Create(canvas, 80, 40);
    C_Font source;  // two 8 x 8 glyphs cut from an alpha-only sheet
    source.AddFaces('A', 'C');
    auto* sheet = new C_Surface;
    sheet->AddPlane(Pattern(16, 8, GFX_FMT_CH8, 9), 2);
    ASSERT_TRUE(Gfx_Font_AddSheet(C_String("AB"), 2, 1, 8, sheet, &source));
    C_Stream stream;
    stream.OpenMemoryWrite();
    ASSERT_TRUE(source.SaveToStream(&stream, 0));
    C_Font font;  // its surfaces come from the canvas
    font.imageAllocator = Win_Canvas_NewLayerSurface;
    font.allocatorContext = canvas.GetId();
    stream.OpenMemoryRead();
    ASSERT_TRUE(font.LoadFromStream(&stream, 0));
    EXPECT_EQ(font.GetImage(0)->owner, &canvas);

    const C_FontType type(C_String("sheet"), 12.0f, GFX_GLYPH_SHEET, 0, 0, 0, 0, 0);
    const C_Color ink(0.2f, 0.6f, 1.0f, 1.0f);
    const C_String text("AB\tBA");
    const C_Vector2D at(3.0f, 4.0f);
    canvas.DrawText(text, &font, type, ink, at, 0, 0, 0, 0);  // no copies yet
    EXPECT_EQ(CountNonZero(Colour(canvas.GetSurface())), 0u);

    font.NotifySurfaces();
    Gfx_SetBlitOverride(ProbeBlit);
    EXPECT_TRUE(canvas.DrawText(text, &font, type, ink, at, 0, 0, 0, 0));
    EXPECT_GE(g_seen.size(), 3u);
    EXPECT_EQ(g_seen, std::vector<int>(g_seen.size(), 1));
    EXPECT_EQ(UseDerived(), 0);
    auto expected = TargetLike(80, 40);
    Gfx_Surface_DrawText(text, &source, type, expected.get(), ink, at, 0, 0, 0, nullptr, nullptr, 0);
    EXPECT_GT(CountNonZero(Colour(expected.get())), 100u);
    EXPECT_TRUE(SamePixels(Colour(canvas.GetSurface()), Colour(expected.get())));

    std::unique_ptr<C_Surface> plain(Win_Canvas_NewLayerSurface(0));  // no such canvas
    EXPECT_EQ(plain->owner, nullptr);
}

}  // namespace
