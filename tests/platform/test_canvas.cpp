// The canvas on the headless platform: states, redirection, presenting, layer
// surfaces with their display-ready copies, and drawing that reads them.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "quillory.h"
#include "recorder.h"

namespace {

C_Image* CloneAs(const C_Image* image, std::int32_t format) {
    auto* copy = new C_Image;
    EXPECT_TRUE(Gfx_Image_Clone(image, copy, format, GFX_FMT_NONE, 0));
    return copy;
}

// The same size, format and visible bytes.
bool SamePixels(const C_Image& a, const C_Image& b) {
    return a.width == b.width && a.height == b.height && a.format == b.format && Checksum(a) == Checksum(b);
}

std::size_t CountNonZero(const C_Image& image) {
    std::size_t n = 0;
    for (std::uint32_t y = 0; y < image.height; ++y)
        for (std::uint32_t x = 0; x < image.width; ++x) n += PixelAt(image, x, y) != 0;
    return n;
}

C_Image& Colour(C_Surface* surface) { return *surface->GetPlane(GFX_PLANE_COLOR); }
int UseDerived() { return Gfx_GetBlitKernel().useDerived; }

class CanvasTest : public HeadlessTest {
protected:
    C_Window window;
    C_Frame area{0, 0, 800, 600};

    void SetUp() override {
        HeadlessTest::SetUp();
        MakeDemoWindow(window);
    }

    C_CanvasTarget Target() { return C_CanvasTarget{&window, &area}; }
    // Sets up and makes the canvas's surface (a target for other canvases too).
    C_Surface* Create(C_Canvas& canvas, std::uint32_t w, std::uint32_t h, std::uint8_t alpha = 0) {
        EXPECT_TRUE(canvas.Setup(Target(), w, h, alpha) && canvas.CreateTarget());
        return canvas.GetSurface();
    }
};

// Drawing happens only in state 129, on the canvas's own surface or the one
// it is redirected to; releasing deletes only its own (else a double free
// under ASan). A full-screen canvas switches the display on CreateTarget.
TEST_F(CanvasTest, StatesRunFromInitThroughSetupToCreatedAndBack) {
    C_Canvas first, second, canvas;
    C_Surface* elsewhere = Create(first, 8, 4);
    C_Surface* third = Create(second, 8, 4);
    const C_Vector2Di point(1, 1);
    const C_Vector2D from(0.0f, 0.0f), to(3.0f, 3.0f);
    const C_Rect box(0.0f, 0.0f, 3.0f, 3.0f);
    const C_Circle ring(from, 2.0f);
    const C_Color white(1.0f, 1.0f, 1.0f, 1.0f);
    const auto drawn = [&] {
        return int{canvas.Blit(&point, &white)} + canvas.Blit(&from, &to, &white) + canvas.Blit(&box, &white, 1) +
               canvas.Blit(&ring, &white, 1);
    };
    EXPECT_FALSE(canvas.CreateTarget());  // not set up: nothing happens
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_INIT);
    EXPECT_EQ(canvas.GetFormat(), -1);

    ASSERT_TRUE(canvas.Setup(Target(), 8, 4, 0));
    canvas.RedirectSurface(elsewhere);
    EXPECT_EQ(drawn(), 0);
    EXPECT_EQ(CountNonZero(Colour(elsewhere)), 0u);
    ASSERT_TRUE(canvas.CreateTarget());  // made while redirected: waits in the saved slot
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_CREATED);
    EXPECT_FALSE(canvas.CreateTarget());  // already made
    C_Surface* own = canvas.savedSurface;
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(Colour(own).bottomUp == 1 && own->GetPlane(GFX_PLANE_ALPHA) == nullptr);
    EXPECT_EQ(drawn(), 4);
    EXPECT_GT(CountNonZero(Colour(elsewhere)), 0u);
    EXPECT_EQ(CountNonZero(Colour(own)), 0u);
    canvas.RedirectSurface(third);  // twice, then back: the canvas's own surface
    canvas.RedirectSurface(nullptr);
    EXPECT_EQ(canvas.GetSurface(), own);
    EXPECT_EQ(canvas.GetFormat(), 24);

    canvas.SetExtra(new C_Rect());  // owned: a leak would show under LSan
    canvas.RedirectSurface(third);
    canvas.DestroyTarget();
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_SETUP);
    EXPECT_TRUE(canvas.GetSurface() == nullptr && canvas.GetExtra() == nullptr);
    EXPECT_EQ(drawn(), 0);

    ASSERT_TRUE(canvas.CreateTarget());
    canvas.RedirectSurface(elsewhere);
    ASSERT_TRUE(canvas.Setup(Target(), 8, 4, 1));  // releases, then an alpha plane on request
    ASSERT_TRUE(canvas.CreateTarget());
    const C_Image* alpha = canvas.GetSurface()->GetPlane(GFX_PLANE_ALPHA);
    ASSERT_NE(alpha, nullptr);
    EXPECT_TRUE(alpha->format == GFX_FMT_CH8 && alpha->bottomUp == 1);
    canvas.SetExtra(new C_Frame());
    canvas.RedirectSurface(third);  // the destructor keeps it too

    C_Canvas full;
    EXPECT_TRUE(full.SetupFullscreen(Target(), 1024, 768, 16, 0));
    EXPECT_EQ(DisplayText(), "1920x1080x32");
    ASSERT_TRUE(full.CreateTarget());
    EXPECT_EQ(DisplayText(), "1024x768x16");
}

// A 40 x 20 picture in the area (100, 50)-(500, 350), by default centred.
TEST_F(CanvasTest, PresentPutsThePictureWhereBothAlignmentsSay) {
    const struct {
        std::uint8_t surfaceAlign, areaAlign;
        std::int32_t x, y;
    } cases[] = {{0x00, 0x00, 100, 50}, {0x11, 0x11, 460, 330}, {0x00, 0x11, 500, 350},
                 {0x22, 0x00, 80, 40},  {0x12, 0x21, 480, 180}, {0x33, 0x44, 100, 50}};
    area = C_Frame(100, 50, 500, 350);
    C_Canvas canvas;
    EXPECT_FALSE(canvas.Present());  // nothing to show
    Create(canvas, 40, 20);
    ASSERT_TRUE(canvas.Present());
    EXPECT_EQ(window.presentOffset, C_Vector2Di(280, 190));
    for (const auto& c : cases) {
        canvas.surfaceAlign = c.surfaceAlign;
        canvas.areaAlign = c.areaAlign;
        ASSERT_TRUE(canvas.Present());
        EXPECT_EQ(window.presentOffset, C_Vector2Di(c.x, c.y)) << std::hex << int{c.surfaceAlign} << int{c.areaAlign};
    }
    canvas.window = nullptr;
    EXPECT_FALSE(canvas.Present());
}

TEST_F(CanvasTest, LayerCopiesAreBuiltOnNoticeRefreshedAndFreedOnRelease) {
    const std::uint32_t before = Mem_GetUsage().memCurrent;
    {
        C_Canvas canvas;
        std::unique_ptr<C_Surface> layer(canvas.CreateLayerSurface());
        C_Image* colour = Pattern(6, 5, GFX_FMT_RGB565, 1);
        C_Image* alpha = Pattern(6, 5, GFX_FMT_CH8, 2);
        layer->AddPlane(colour, 1);
        layer->AddPlane(alpha, 2);
        layer->AddPlane(Pattern(6, 5, GFX_FMT_CH8, 3), 3);
        C_SurfacePlane* c = layer->GetPlaneEntry(1);
        C_SurfacePlane* a = layer->GetPlaneEntry(2);

        EXPECT_TRUE(layer->Notify1(GFX_NOTIFY_ALL_PLANES));  // plane 3 keeps none
        ASSERT_TRUE(c->derived != nullptr && a->derived != nullptr);
        EXPECT_EQ(layer->GetPlaneEntry(3)->derived, nullptr);
        std::unique_ptr<C_Image> want(CloneAs(colour, GFX_FMT_ARGB8888));
        EXPECT_TRUE(SamePixels(*c->derived, *want));
        EXPECT_TRUE(SamePixels(*a->derived, *alpha));

        C_Image* copy = c->derived;  // a change is converted into the same copy
        SetPixel(*colour, 2, 3, 0xF800);
        EXPECT_TRUE(layer->Notify1(1));
        EXPECT_EQ(c->derived, copy);
        EXPECT_EQ(PixelAt(*copy, 2, 3) & 0xFFFFFFu, 0xFF0000u);

        // Another width, then another height: a fitting copy each time; an
        // unconvertible plane gets none.
        for (const auto& [w, h] : {std::pair{9u, 5u}, std::pair{9u, 7u}}) {
            layer->AddPlane(Pattern(w, h, GFX_FMT_RGB888, w), 1);
            c = layer->GetPlaneEntry(1);
            EXPECT_TRUE(layer->Notify1(1));
            want.reset(CloneAs(c->image, GFX_FMT_ARGB8888));
            EXPECT_TRUE(SamePixels(*c->derived, *want));
        }
        layer->AddPlane(Pattern(8, 8, GFX_FMT_INDEX1, 5), 1);
        EXPECT_FALSE(layer->Notify1(1));
        EXPECT_EQ(layer->GetPlaneEntry(1)->derived, nullptr);

        // A layer that outlives its canvas is a plain surface again.
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

// Every call draws as the direct call with the canvas's copies of the clips.
// A layer is drawn from its copies: its colour plane is cleared after the
// notice, and the canvas shows what a plain surface holding the copies gives.
// The switch is off after every call, failed ones too.
TEST_F(CanvasTest, DrawingForwardsTheClipsAndReadsTheDerivedPlanesOnly) {
    C_Canvas canvas;
    Create(canvas, 64, 48, 1);
    C_Frame clip(2, 1, 60, 44, 0x12, 0x33);
    const C_Frame clip2(4, 3, 64, 48), used = clip;
    ASSERT_TRUE(canvas.SetClip(&clip));
    ASSERT_TRUE(canvas.SetClip2(&clip2));
    clip.x0 = 0;
    std::unique_ptr<C_Surface> layer(canvas.CreateLayerSurface());
    C_Surface plain;
    layer->AddPlane(Pattern(10, 7, GFX_FMT_RGB565, 7), 1);
    layer->AddPlane(Pattern(10, 7, GFX_FMT_CH8, 8), 2);
    plain.AddPlane(CloneAs(layer->GetPlane(1), GFX_FMT_ARGB8888), 1);
    plain.AddPlane(CloneAs(layer->GetPlane(2), GFX_FMT_CH8), 2);

    C_DrawParams turn;
    turn.angle = 30.0f;
    turn.opacity = 0.75f;
    C_DrawParams tiles;
    tiles.fillModeH = tiles.fillModeV = 1;
    const C_Vector2D centre(0.0f, 0.0f, 0x22), corner(0.0f, 0.0f), from(-5.0f, 1.0f), to(39.0f, 47.0f);
    const C_Rect dest(1.0f, 2.0f, 57.0f, 41.0f), empty(5.0f, 5.0f, 5.0f, 9.0f), box(1.0f, 3.0f, 33.0f, 20.0f);
    const C_Circle ring(C_Vector2D(20.0f, 15.0f), 11.0f), disc(C_Vector2D(8.0f, 24.0f), 6.0f);
    const C_Vector2Di point(4, 6);
    const C_Color a(1.0f, 0.5f, 0.25f, 1.0f), b(0.0f, 1.0f, 0.0f, 1.0f);

    // Without copies the source has no planes: nothing drawn.
    EXPECT_FALSE(canvas.BlitTransformed(layer.get(), nullptr, &centre, 0, &turn));
    EXPECT_EQ(CountNonZero(Colour(canvas.GetSurface())), 0u);
    ASSERT_TRUE(layer->Notify1(GFX_NOTIFY_ALL_PLANES));
    std::memset(layer->GetPlane(1)->data, 0, layer->GetPlane(1)->dataSize);

    C_Canvas reference;
    C_Surface* expected = Create(reference, 64, 48, 1);
    for (C_Surface* s : {expected, static_cast<C_Surface*>(nullptr)}) {
        const bool direct = s != nullptr;
        EXPECT_TRUE(direct ? Gfx_Surface_DrawInRect(&plain, s, nullptr, &used, &clip2, &dest, &corner, 0, &tiles)
                           : canvas.DrawInRect(layer.get(), nullptr, &dest, &corner, 0, &tiles));
        EXPECT_EQ(UseDerived(), 0);
        EXPECT_TRUE(direct ? Gfx_Surface_BlitTransformed(&plain, s, nullptr, &used, &clip2, &centre, 0, &turn)
                           : canvas.BlitTransformed(layer.get(), nullptr, &centre, 0, &turn));
        EXPECT_EQ(UseDerived(), 0);
        EXPECT_TRUE(direct ? Gfx_Surface_Blit(s, &point, &a, &used, &clip2) : canvas.Blit(&point, &a));
        EXPECT_TRUE(direct ? Gfx_Surface_Blit(s, &from, &to, &b, &used, &clip2) : canvas.Blit(&from, &to, &b));
        EXPECT_TRUE(direct ? Gfx_Surface_Blit(s, &box, &a, &used, &clip2, 0) : canvas.Blit(&box, &a, 0));
        EXPECT_TRUE(direct ? Gfx_Surface_Blit(s, &ring, &b, &used, &clip2, 0) : canvas.Blit(&ring, &b, 0));
        EXPECT_TRUE(direct ? Gfx_Surface_Blit(s, &disc, &a, &used, &clip2, 1) : canvas.Blit(&disc, &a, 1));
    }
    EXPECT_FALSE(canvas.DrawInRect(layer.get(), nullptr, &empty, &corner, 0, nullptr));
    EXPECT_FALSE(canvas.BlitTransformed(nullptr, nullptr, &centre, 0, &turn));
    EXPECT_EQ(UseDerived(), 0);
    EXPECT_GT(CountNonZero(Colour(expected)), 1000u);
    EXPECT_TRUE(SamePixels(Colour(canvas.GetSurface()), Colour(expected)));
    EXPECT_TRUE(SamePixels(*canvas.GetSurface()->GetPlane(2), *expected->GetPlane(2)));

    // Without a surface (the tile fill alone would report success).
    C_Canvas idle;
    ASSERT_TRUE(idle.Setup(Target(), 4, 4, 0));
    EXPECT_FALSE(idle.DrawInRect(layer.get(), nullptr, &dest, &corner, 0, &tiles));
    EXPECT_FALSE(idle.BlitTransformed(layer.get(), nullptr, &centre, 0, &turn));
}

// The glyphs are drawn from the copies alone: the glyph planes are cleared
// after the notice, and the canvas shows what the source font draws.
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
    font.NotifySurfaces();
    C_Image* glyphs = font.GetImage(0)->GetPlane(2);
    std::memset(glyphs->data, 0, glyphs->dataSize);
    EXPECT_TRUE(canvas.DrawText(text, &font, type, ink, at, 0, 0, 0, 0));
    EXPECT_EQ(UseDerived(), 0);
    C_Canvas reference;
    C_Surface* expected = Create(reference, 80, 40);
    Gfx_Surface_DrawText(text, &source, type, expected, ink, at, 0, 0, 0, nullptr, nullptr, 0);
    EXPECT_GT(CountNonZero(Colour(expected)), 100u);
    EXPECT_TRUE(SamePixels(Colour(canvas.GetSurface()), Colour(expected)));

    std::unique_ptr<C_Surface> plain(Win_Canvas_NewLayerSurface(0));  // no such canvas
    EXPECT_EQ(plain->owner, nullptr);
    C_Canvas idle;  // without a surface nothing is drawn, and that is no success
    ASSERT_TRUE(idle.Setup(Target(), 4, 4, 0));
    EXPECT_FALSE(idle.DrawText(text, &font, type, ink, at, 0, 0, 0, 0));
}

}  // namespace
