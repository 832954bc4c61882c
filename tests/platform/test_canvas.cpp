// The canvas on the headless platform: states, clip copies, redirection,
// presenting, layer surfaces with their display-ready copies, and the
// forwarded drawing that reads those copies.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "core/error.h"
#include "core/memory.h"
#include "core/stream.h"
#include "core/string.h"
#include "image/convert.h"
#include "image/image.h"
#include "math/color.h"
#include "math/shapes.h"
#include "platform/canvas.h"
#include "recorder.h"
#include "surface/blit.h"
#include "surface/blit_kernel.h"
#include "surface/primitives.h"
#include "surface/surface.h"
#include "text/draw_params.h"
#include "text/fill.h"
#include "text/font.h"
#include "text/text_draw.h"

namespace {

constexpr std::uint32_t kFace = 0xFFF0F0F0u;  // the window's default background

// ------------------------------------------------------------------ pixels

std::uint32_t PixelAt(const C_Image& image, std::uint32_t x, std::uint32_t y) {
    const std::uint32_t bytes = image.bpp / 8;
    std::uint32_t v = 0;
    std::memcpy(&v, image.Row(y) + static_cast<std::size_t>(x) * bytes, bytes);
    return v;
}

void SetPixel(C_Image& image, std::uint32_t x, std::uint32_t y, std::uint32_t v) {
    std::memcpy(image.Row(y) + static_cast<std::size_t>(x) * (image.bpp / 8), &v, image.bpp / 8);
}

// A picture of `format` whose pixels differ from their neighbours.
C_Image* Pattern(std::uint32_t w, std::uint32_t h, std::int32_t format, std::uint32_t seed) {
    auto* image = new C_Image;
    EXPECT_TRUE(image->CreateEmpty(w, h, format, GFX_FMT_NONE));
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) SetPixel(*image, x, y, (x * 2654435761u) ^ (y * 40503u) ^ seed);
    return image;
}

// Same size, format and pixels, compared in display order.
::testing::AssertionResult SamePixels(const C_Image& a, const C_Image& b) {
    if (a.width != b.width || a.height != b.height || a.format != b.format)
        return ::testing::AssertionFailure() << a.width << "x" << a.height << " format " << a.format << " vs "
                                             << b.width << "x" << b.height << " format " << b.format;
    for (std::uint32_t y = 0; y < a.height; ++y)
        for (std::uint32_t x = 0; x < a.width; ++x)
            if (PixelAt(a, x, y) != PixelAt(b, x, y))
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << ": " << std::hex << PixelAt(a, x, y)
                                                     << " vs " << PixelAt(b, x, y);
    return ::testing::AssertionSuccess();
}

std::size_t CountNonZero(const C_Image& image) {
    std::size_t n = 0;
    for (std::uint32_t y = 0; y < image.height; ++y)
        for (std::uint32_t x = 0; x < image.width; ++x) n += PixelAt(image, x, y) != 0;
    return n;
}

// A surface laid out like a canvas target, to draw the expected pictures on.
std::unique_ptr<C_Surface> TargetLike(std::uint32_t w, std::uint32_t h) {
    auto* image = new C_Image;
    image->CreateEmpty(w, h, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(0.0f, 0.0f, 0.0f, 0.0f));
    image->bottomUp = 1;
    auto surface = std::make_unique<C_Surface>();
    surface->AddPlane(image, GFX_PLANE_COLOR);
    return surface;
}

C_Image* CloneAs(const C_Image* image, std::int32_t format) {
    auto* copy = new C_Image;
    EXPECT_TRUE(Gfx_Image_Clone(image, copy, format, GFX_FMT_NONE, 0));
    return copy;
}

// ------------------------------------------------------------- blit probe

// The useDerived switch as every blit saw it.
std::vector<int> g_useDerivedSeen;

bool ProbeBlit(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip, const C_Frame* clip2,
               const C_Vector2D* position, std::uint32_t mode, const C_DrawParams* params) {
    g_useDerivedSeen.push_back(Gfx_GetBlitKernel().useDerived);
    return Gfx_Surface_BlitTransformedBuiltin(src, dst, srcRect, clip, clip2, position, mode, params);
}

int UseDerived() { return Gfx_GetBlitKernel().useDerived; }

class CanvasTest : public HeadlessTest {
protected:
    C_Window window;
    C_Frame area{0, 0, 800, 600};

    void SetUp() override {
        HeadlessTest::SetUp();
        MakeDemoWindow(window);
        g_useDerivedSeen.clear();
    }

    void TearDown() override {
        Gfx_SetBlitOverride(nullptr);
        Gfx_GetBlitKernel().useDerived = 0;
    }

    C_CanvasTarget Target() { return C_CanvasTarget{&window, &area}; }

    // A created canvas target of w x h.
    void Create(C_Canvas& canvas, std::uint32_t w, std::uint32_t h, std::uint8_t alpha = 0) {
        ASSERT_TRUE(canvas.Setup(Target(), w, h, alpha));
        ASSERT_TRUE(canvas.CreateTarget());
    }

    static C_Image& Colour(C_Surface* surface) { return *surface->GetPlane(GFX_PLANE_COLOR); }

    C_Image Shown() {
        C_Image fb;
        EXPECT_TRUE(Win_Headless_GetFramebuffer(&window, &fb));
        return fb;
    }
};

// ------------------------------------------------------------------ states

TEST_F(CanvasTest, StatesRunFromInitThroughSetupToCreatedAndBack) {
    C_Canvas canvas;
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_INIT);
    EXPECT_EQ(canvas.areaAlign, 0x22);
    EXPECT_EQ(canvas.surfaceAlign, 0x22);
    EXPECT_FALSE(canvas.CreateTarget());  // not set up: nothing happens
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_INIT);
    EXPECT_EQ(canvas.GetSurface(), nullptr);
    EXPECT_EQ(canvas.GetFormat(), -1);

    ASSERT_TRUE(canvas.Setup(Target(), 32, 16, 0));
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_SETUP);
    EXPECT_EQ(canvas.window, &window);
    EXPECT_EQ(canvas.area, &area);
    EXPECT_EQ(canvas.bitsPerPixel, 32);
    EXPECT_EQ(canvas.fullscreen, 0);
    EXPECT_EQ(canvas.GetSurface(), nullptr);

    ASSERT_TRUE(canvas.CreateTarget());
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_CREATED);
    EXPECT_EQ(canvas.GetFormat(), GFX_FMT_ARGB8888);  // 24
    C_Surface* first = canvas.GetSurface();
    ASSERT_NE(first, nullptr);
    const C_Image& colour = Colour(first);
    EXPECT_EQ(colour.width, 32u);
    EXPECT_EQ(colour.height, 16u);
    EXPECT_EQ(colour.bottomUp, 1);
    EXPECT_EQ(CountNonZero(colour), 0u);  // cleared to (0, 0, 0, 0)
    EXPECT_EQ(first->GetPlane(GFX_PLANE_ALPHA), nullptr);

    EXPECT_FALSE(canvas.CreateTarget());  // already created: the surface stays
    EXPECT_EQ(canvas.GetSurface(), first);

    canvas.DestroyTarget();
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_SETUP);
    EXPECT_EQ(canvas.GetSurface(), nullptr);
    EXPECT_EQ(canvas.GetFormat(), -1);
    ASSERT_TRUE(canvas.CreateTarget());
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_CREATED);

    // Setting up again releases the surface; an alpha plane comes on request.
    ASSERT_TRUE(canvas.Setup(Target(), 8, 4, 1));
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_SETUP);
    EXPECT_EQ(canvas.GetSurface(), nullptr);
    ASSERT_TRUE(canvas.CreateTarget());
    const C_Image* alpha = canvas.GetSurface()->GetPlane(GFX_PLANE_ALPHA);
    ASSERT_NE(alpha, nullptr);
    EXPECT_EQ(alpha->format, GFX_FMT_CH8);
    EXPECT_EQ(alpha->bottomUp, 1);
    EXPECT_EQ(alpha->width, 8u);
    EXPECT_EQ(CountNonZero(*alpha), 0u);
}

TEST_F(CanvasTest, AnEmptyTargetIsRefusedAndTheStateStays) {
    C_Canvas canvas;
    ASSERT_TRUE(canvas.Setup(Target(), 0, 10, 0));
    Gfx_ClearError();
    EXPECT_FALSE(canvas.CreateTarget());
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_SETUP);
    EXPECT_EQ(canvas.GetSurface(), nullptr);
    EXPECT_STREQ(Gfx_GetErrorDetail(), "C_Canvas::CreateTarget{width}");
}

TEST_F(CanvasTest, ExtraIsOwnedAndGoesWithTheTarget) {
    C_Canvas canvas;
    Create(canvas, 4, 4);
    auto* first = new C_Rect(1, 2, 3, 4);
    canvas.SetExtra(first);
    EXPECT_EQ(canvas.GetExtra(), first);
    canvas.SetExtra(new C_Rect());  // the first is deleted (a leak would show under LSan)
    canvas.DestroyTarget();
    EXPECT_EQ(canvas.GetExtra(), nullptr);
    canvas.SetExtra(new C_Frame());  // deleted with the canvas
}

TEST_F(CanvasTest, AFullscreenCanvasSwitchesTheDisplayWhenItsTargetIsMade) {
    C_Canvas canvas;
    EXPECT_TRUE(canvas.SetupFullscreen(Target(), 1024, 768, 16, 0));
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_SETUP);
    EXPECT_EQ(canvas.fullscreen, 1);
    EXPECT_EQ(canvas.bitsPerPixel, 16);
    EXPECT_EQ(Win_GetDisplayCaps(WIN_CAPS_HORZRES), 1920);  // nothing switched yet
    ASSERT_TRUE(canvas.CreateTarget());
    EXPECT_EQ(Win_GetDisplayCaps(WIN_CAPS_HORZRES), 1024);
    EXPECT_EQ(Win_GetDisplayCaps(WIN_CAPS_VERTRES), 768);
    EXPECT_EQ(Win_GetDisplayCaps(WIN_CAPS_BITSPIXEL), 16);
    EXPECT_EQ(canvas.GetFormat(), GFX_FMT_ARGB8888);  // the target is 32-bit whatever the display
    EXPECT_TRUE(Win_RestoreDisplayMode());
    EXPECT_EQ(Win_GetDisplayCaps(WIN_CAPS_HORZRES), 1920);

    // A mode the display refuses: a message, the quit message, and the
    // target anyway.
    C_Canvas odd;
    ASSERT_TRUE(odd.SetupFullscreen(Target(), 333, 222, 32, 0));
    ASSERT_TRUE(odd.CreateTarget());
    EXPECT_EQ(odd.GetState(), GFX_CANVAS_CREATED);
    EXPECT_STREQ(Win_Headless_GetLastMessageBox(), "Display Mode Not Compatible");
    EXPECT_LT(Pump(100), 100);  // the loop ends
}

// ------------------------------------------------------------------ clips

TEST_F(CanvasTest, ClipRectanglesAreOwnedCopiesAndLimitEveryPrimitive) {
    C_Canvas canvas;
    Create(canvas, 12, 10);
    C_Frame frame(2, 2, 8, 8, 0x12, 0x33);
    ASSERT_TRUE(canvas.SetClip(&frame));
    ASSERT_NE(canvas.clip, nullptr);
    EXPECT_NE(canvas.clip, &frame);
    frame.x0 = 0;  // the caller's frame is not the canvas's
    EXPECT_EQ(canvas.clip->x0, 2);
    EXPECT_EQ(canvas.clip->posAlign, 0x12);
    EXPECT_EQ(canvas.clip->sizeAlign, 0x33);
    const C_Frame second(5, 0, 12, 7);
    ASSERT_TRUE(canvas.SetClip2(&second));

    // The whole target filled: only the intersection (5..7, 2..6) is drawn.
    const C_Color red(1.0f, 0.0f, 0.0f, 1.0f);
    const C_Rect all(0, 0, 11, 9);
    ASSERT_TRUE(canvas.Blit(&all, &red, 1));
    const C_Image& colour = Colour(canvas.GetSurface());
    for (std::uint32_t y = 0; y < 10; ++y)
        for (std::uint32_t x = 0; x < 12; ++x)
            EXPECT_EQ(PixelAt(colour, x, y) != 0, x >= 5 && x < 8 && y >= 2 && y < 7) << x << "," << y;

    canvas.DeleteClip();
    EXPECT_EQ(canvas.clip, nullptr);
    ASSERT_TRUE(canvas.SetClip2(nullptr));  // null deletes as well
    EXPECT_EQ(canvas.clip2, nullptr);
    ASSERT_TRUE(canvas.Blit(&all, &red, 1));
    EXPECT_EQ(CountNonZero(colour), 120u);
}

TEST_F(CanvasTest, PrimitivesDrawAsTheDirectCallsWithTheCanvasClips) {
    C_Canvas canvas;
    Create(canvas, 40, 30);
    const C_Frame clip(3, 2, 36, 27);
    const C_Frame clip2(0, 5, 30, 30);
    canvas.SetClip(&clip);
    canvas.SetClip2(&clip2);
    auto expected = TargetLike(40, 30);

    const C_Color a(1.0f, 0.5f, 0.25f, 1.0f), b(0.0f, 1.0f, 0.0f, 1.0f);
    const C_Vector2Di point(4, 6);
    const C_Vector2D from(-5.0f, 1.0f), to(39.0f, 29.0f);
    const C_Rect box(1.0f, 3.0f, 33.0f, 20.0f);
    const C_Circle ring(C_Vector2D(20.0f, 15.0f), 11.0f), disc(C_Vector2D(8.0f, 24.0f), 6.0f);
    EXPECT_TRUE(canvas.Blit(&point, &a));
    EXPECT_TRUE(canvas.Blit(&from, &to, &b));
    EXPECT_TRUE(canvas.Blit(&box, &a, 0));
    EXPECT_TRUE(canvas.Blit(&ring, &b, 0));
    EXPECT_TRUE(canvas.Blit(&disc, &a, 1));
    EXPECT_EQ(UseDerived(), 0);  // primitives read no source

    Gfx_Surface_Blit(expected.get(), &point, &a, &clip, &clip2);
    Gfx_Surface_Blit(expected.get(), &from, &to, &b, &clip, &clip2);
    Gfx_Surface_Blit(expected.get(), &box, &a, &clip, &clip2, 0);
    Gfx_Surface_Blit(expected.get(), &ring, &b, &clip, &clip2, 0);
    Gfx_Surface_Blit(expected.get(), &disc, &a, &clip, &clip2, 1);
    EXPECT_GT(CountNonZero(Colour(expected.get())), 100u);
    EXPECT_TRUE(SamePixels(Colour(canvas.GetSurface()), Colour(expected.get())));
}

// ------------------------------------------------------------- redirection

TEST_F(CanvasTest, RedirectionSendsDrawingElsewhereAndComesBack) {
    C_Canvas canvas;
    ASSERT_TRUE(canvas.Setup(Target(), 10, 10, 0));
    auto elsewhere = TargetLike(10, 10);
    const C_Color white(1.0f, 1.0f, 1.0f, 1.0f);
    const C_Vector2Di point(1, 1);

    // Redirected in state 128: the primitives still refuse and change nothing.
    canvas.RedirectSurface(elsewhere.get());
    EXPECT_EQ(canvas.GetSurface(), elsewhere.get());
    EXPECT_FALSE(canvas.Blit(&point, &white));
    EXPECT_EQ(CountNonZero(Colour(elsewhere.get())), 0u);

    // A target made while redirected waits for the redirection to end.
    ASSERT_TRUE(canvas.CreateTarget());
    EXPECT_EQ(canvas.GetSurface(), elsewhere.get());
    C_Surface* own = canvas.savedSurface;
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(canvas.Blit(&point, &white));
    EXPECT_EQ(CountNonZero(Colour(elsewhere.get())), 1u);
    EXPECT_EQ(CountNonZero(Colour(own)), 0u);

    canvas.RedirectSurface(nullptr);
    EXPECT_EQ(canvas.GetSurface(), own);
    EXPECT_EQ(canvas.savedSurface, nullptr);
    canvas.RedirectSurface(nullptr);  // nothing to undo
    EXPECT_EQ(canvas.GetSurface(), own);

    // Twice in a row, then back: the canvas's own surface, not the first
    // redirection.
    auto third = TargetLike(10, 10);
    canvas.RedirectSurface(elsewhere.get());
    canvas.RedirectSurface(third.get());
    EXPECT_EQ(canvas.GetSurface(), third.get());
    canvas.RedirectSurface(nullptr);
    EXPECT_EQ(canvas.GetSurface(), own);

    // Releasing the canvas while redirected deletes its own surface only
    // (the borrowed ones are unique_ptrs here: a delete would be a double
    // free under ASan).
    canvas.RedirectSurface(third.get());
    canvas.DestroyTarget();
    EXPECT_EQ(canvas.GetSurface(), nullptr);
    EXPECT_FALSE(canvas.IsRedirected());
    ASSERT_TRUE(canvas.CreateTarget());
    canvas.RedirectSurface(elsewhere.get());
    ASSERT_TRUE(canvas.Setup(Target(), 10, 10, 0));
    EXPECT_EQ(canvas.GetSurface(), nullptr);
    ASSERT_TRUE(canvas.CreateTarget());
    canvas.RedirectSurface(third.get());  // the destructor keeps it too
}

// ------------------------------------------------------------------ present

TEST_F(CanvasTest, PresentCentresThePictureInTheAreaByDefault) {
    C_Canvas canvas;
    Create(canvas, 320, 200);
    const C_Vector2Di topLeft(0, 0), bottomRight(319, 199);
    const C_Color red(1.0f, 0.0f, 0.0f, 1.0f), green(0.0f, 1.0f, 0.0f, 1.0f);
    canvas.Blit(&topLeft, &red);
    canvas.Blit(&bottomRight, &green);
    ASSERT_TRUE(canvas.Present());
    EXPECT_EQ(window.presentOffset, C_Vector2Di(240, 200));

    // Row 0 of the bottom-up target is the top row on screen.
    const C_Image fb = Shown();
    EXPECT_EQ(PixelAt(fb, 240, 200), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(fb, 559, 399), 0xFF00FF00u);
    EXPECT_EQ(PixelAt(fb, 300, 300), 0xFF000000u);
    EXPECT_EQ(PixelAt(fb, 239, 200), kFace);
    EXPECT_EQ(PixelAt(fb, 560, 399), kFace);

    // No area: the whole client area.
    canvas.area = nullptr;
    ASSERT_TRUE(canvas.Present());
    EXPECT_EQ(window.presentOffset, C_Vector2Di(240, 200));
}

TEST_F(CanvasTest, PresentNeedsAWindowAndAPicture) {
    C_Canvas canvas;
    ASSERT_TRUE(canvas.Setup(Target(), 8, 8, 0));
    EXPECT_FALSE(canvas.Present());  // no surface yet
    C_Canvas blind;
    ASSERT_TRUE(blind.Setup(C_CanvasTarget{}, 8, 8, 0));
    ASSERT_TRUE(blind.CreateTarget());
    EXPECT_FALSE(blind.Present());
}

struct AlignCase {
    std::uint8_t surfaceAlign;
    std::uint8_t areaAlign;
    C_Vector2Di offset;
};

void PrintTo(const AlignCase& c, std::ostream* os) {
    *os << "surface " << std::hex << int{c.surfaceAlign} << " area " << int{c.areaAlign};
}

class CanvasAlignTest : public CanvasTest, public ::testing::WithParamInterface<AlignCase> {};

// A 40 x 20 picture in the area (100, 50)-(500, 350).
TEST_P(CanvasAlignTest, ThePictureSitsWhereBothAlignmentsSay) {
    const AlignCase& c = GetParam();
    area = C_Frame(100, 50, 500, 350);
    C_Canvas canvas;
    Create(canvas, 40, 20);
    canvas.surfaceAlign = c.surfaceAlign;
    canvas.areaAlign = c.areaAlign;
    ASSERT_TRUE(canvas.Present());
    EXPECT_EQ(window.presentOffset, c.offset);
}

INSTANTIATE_TEST_SUITE_P(
    Alignments, CanvasAlignTest,
    ::testing::Values(AlignCase{0x22, 0x22, C_Vector2Di(280, 190)},  // centred in the area
                      AlignCase{0x00, 0x00, C_Vector2Di(100, 50)},   // top-left corners together
                      AlignCase{0x11, 0x11, C_Vector2Di(460, 330)},  // bottom-right corners together
                      AlignCase{0x00, 0x11, C_Vector2Di(500, 350)},  // top-left at the bottom-right
                      AlignCase{0x22, 0x00, C_Vector2Di(80, 40)},    // centre on the top-left
                      AlignCase{0x12, 0x21, C_Vector2Di(480, 180)},  // bottom centre at the right middle
                      AlignCase{0x33, 0x44, C_Vector2Di(100, 50)}));  // unknown codes act as 0

// ------------------------------------------------------------------ layers

TEST_F(CanvasTest, LayerCopiesAreBuiltOnNoticeRefreshedAndFreedOnRelease) {
    const std::uint32_t before = Mem_GetUsage().memCurrent;
    {
        C_Canvas canvas;
        C_Surface* layer = canvas.CreateLayerSurface();
        ASSERT_NE(layer, nullptr);
        EXPECT_EQ(layer->owner, &canvas);
        EXPECT_NE(layer->notify[0], nullptr);
        EXPECT_EQ(layer->notify[1], nullptr);
        EXPECT_EQ(layer->notify[2], nullptr);
        EXPECT_NE(layer->notify[3], nullptr);

        C_Image* colour = Pattern(6, 5, GFX_FMT_RGB565, 1);
        C_Image* alpha = Pattern(6, 5, GFX_FMT_CH8, 2);
        layer->AddPlane(colour, 1);
        layer->AddPlane(alpha, 2);
        layer->AddPlane(Pattern(6, 5, GFX_FMT_CH8, 3), 3);
        C_SurfacePlane* c = layer->GetPlaneEntry(1);
        C_SurfacePlane* a = layer->GetPlaneEntry(2);
        EXPECT_EQ(c->derived, nullptr);  // adding planes tells nobody

        // One plane at a time, then all of them; plane 3 keeps no copy.
        EXPECT_TRUE(layer->Notify1(2));
        EXPECT_EQ(c->derived, nullptr);
        ASSERT_NE(a->derived, nullptr);
        EXPECT_TRUE(layer->Notify1(GFX_NOTIFY_ALL_PLANES));
        ASSERT_NE(c->derived, nullptr);
        EXPECT_EQ(layer->GetPlaneEntry(3)->derived, nullptr);
        std::unique_ptr<C_Image> want(CloneAs(colour, GFX_FMT_ARGB8888));
        EXPECT_TRUE(SamePixels(*c->derived, *want));
        EXPECT_TRUE(SamePixels(*a->derived, *alpha));  // already CH8: the same bytes

        // A changed plane is converted again into the same copy.
        C_Image* copy = c->derived;
        SetPixel(*colour, 2, 3, 0xF800);  // pure red in 5-6-5
        EXPECT_TRUE(layer->Notify1(1));
        EXPECT_EQ(c->derived, copy);
        EXPECT_EQ(PixelAt(*copy, 2, 3) & 0x00FFFFFFu, 0x00FF0000u);

        // A replaced plane of another size gets a copy of its own size.
        layer->AddPlane(Pattern(9, 7, GFX_FMT_RGB888, 4), 1);
        c = layer->GetPlaneEntry(1);
        EXPECT_TRUE(layer->Notify1(1));
        ASSERT_NE(c->derived, nullptr);
        want.reset(CloneAs(c->image, GFX_FMT_ARGB8888));
        EXPECT_TRUE(SamePixels(*c->derived, *want));

        // A plane that cannot be converted loses its copy: nothing stale is
        // drawn.
        layer->AddPlane(Pattern(8, 8, GFX_FMT_INDEX1, 5), 1);
        Gfx_ClearError();
        EXPECT_FALSE(layer->Notify1(1));
        EXPECT_EQ(layer->GetPlaneEntry(1)->derived, nullptr);
        EXPECT_STREQ(Gfx_GetErrorMessage(), "C_Canvas::OnPlanesChanged>>>A fatal error occurred, the entire process has been aborted");

        // Reloading releases the copies; a notice builds them again.
        C_Surface plain;
        plain.AddPlane(Pattern(3, 3, GFX_FMT_ARGB8888, 6), 1);
        C_Stream stream;
        stream.OpenMemoryWrite();
        ASSERT_TRUE(plain.SaveToStream(&stream, 0));
        stream.OpenMemoryRead();
        ASSERT_TRUE(layer->LoadFromStream(&stream, 0));
        EXPECT_EQ(layer->GetPlaneEntry(1)->derived, nullptr);
        EXPECT_EQ(layer->owner, &canvas);  // still bound
        EXPECT_TRUE(layer->Notify1(GFX_NOTIFY_ALL_PLANES));
        EXPECT_NE(layer->GetPlaneEntry(1)->derived, nullptr);

        delete layer;  // the copies go with it
    }
    EXPECT_EQ(Mem_GetUsage().memCurrent, before);
}

TEST_F(CanvasTest, ALayerOutlivingItsCanvasBecomesAPlainSurface) {
    auto canvas = std::make_unique<C_Canvas>();
    C_Surface* kept = canvas->CreateLayerSurface();
    C_Surface* gone = canvas->CreateLayerSurface();
    kept->AddPlane(Pattern(4, 4, GFX_FMT_ARGB8888, 1), 1);
    ASSERT_TRUE(kept->Notify1(GFX_NOTIFY_ALL_PLANES));
    ASSERT_NE(kept->GetPlaneEntry(1)->derived, nullptr);
    delete gone;  // before the canvas

    canvas.reset();
    EXPECT_EQ(kept->GetPlaneEntry(1)->derived, nullptr);
    EXPECT_EQ(kept->owner, nullptr);
    EXPECT_EQ(kept->notify[0], nullptr);
    EXPECT_EQ(kept->notify[3], nullptr);
    EXPECT_FALSE(kept->Notify1(GFX_NOTIFY_ALL_PLANES));  // nobody listens
    EXPECT_EQ(kept->GetPlaneEntry(1)->derived, nullptr);
    delete kept;
}

// ------------------------------------------------------- forwarded drawing

// A layer with a 5-6-5 colour plane and a graded alpha plane, and the plain
// surface the blit would see through its copies.
struct LayerPair {
    C_Surface* layer = nullptr;
    std::unique_ptr<C_Surface> plain;
};

LayerPair MakeLayerPair(C_Canvas& canvas, std::uint32_t w, std::uint32_t h) {
    LayerPair pair;
    pair.layer = canvas.CreateLayerSurface();
    C_Image* colour = Pattern(w, h, GFX_FMT_RGB565, 7);
    C_Image* alpha = Pattern(w, h, GFX_FMT_CH8, 8);
    pair.layer->AddPlane(colour, 1);
    pair.layer->AddPlane(alpha, 2);
    pair.plain = std::make_unique<C_Surface>();
    pair.plain->AddPlane(CloneAs(colour, GFX_FMT_ARGB8888), 1);
    pair.plain->AddPlane(CloneAs(alpha, GFX_FMT_CH8), 2);
    return pair;
}

TEST_F(CanvasTest, BlitTransformedReadsTheDerivedPlanesOnly) {
    C_Canvas canvas;
    Create(canvas, 48, 40, 1);
    const C_Frame clip(2, 1, 46, 38);
    canvas.SetClip(&clip);
    LayerPair pair = MakeLayerPair(canvas, 16, 12);
    std::unique_ptr<C_Surface> layer(pair.layer);
    Gfx_SetBlitOverride(ProbeBlit);

    C_DrawParams params;
    params.scale = C_Vector2D(1.5f, 1.25f);
    params.angle = 30.0f;
    params.pivot = C_Vector2D(0.0f, 0.0f, 0x22);
    params.filter = 1;
    params.opacity = 0.75f;
    const C_Vector2D position(0.0f, 0.0f, 0x22);

    // Without copies the source has no planes: nothing drawn, switch reset.
    EXPECT_FALSE(canvas.BlitTransformed(layer.get(), nullptr, &position, 0, &params));
    EXPECT_EQ(UseDerived(), 0);
    EXPECT_EQ(CountNonZero(Colour(canvas.GetSurface())), 0u);

    ASSERT_TRUE(layer->Notify1(GFX_NOTIFY_ALL_PLANES));
    // The planes themselves change after the notice: what is drawn is the
    // copies.
    std::memset(layer->GetPlane(1)->data, 0, layer->GetPlane(1)->dataSize);
    g_useDerivedSeen.clear();
    EXPECT_TRUE(canvas.BlitTransformed(layer.get(), nullptr, &position, 0, &params));
    EXPECT_EQ(g_useDerivedSeen, std::vector<int>{1});
    EXPECT_EQ(UseDerived(), 0);

    auto expected = TargetLike(48, 40);
    C_Image* expectedAlpha = new C_Image;
    expectedAlpha->CreateEmpty(48, 40, GFX_FMT_CH8, GFX_FMT_NONE, C_Color(0.0f, 0.0f, 0.0f, 0.0f));
    expectedAlpha->bottomUp = 1;
    expected->AddPlane(expectedAlpha, 2);
    g_useDerivedSeen.clear();
    Gfx_Surface_BlitTransformed(pair.plain.get(), expected.get(), nullptr, &clip, nullptr, &position, 0, &params);
    EXPECT_EQ(g_useDerivedSeen, std::vector<int>{0});
    EXPECT_GT(CountNonZero(Colour(expected.get())), 200u);
    EXPECT_TRUE(SamePixels(Colour(canvas.GetSurface()), Colour(expected.get())));
    EXPECT_TRUE(SamePixels(*canvas.GetSurface()->GetPlane(2), *expectedAlpha));

    // A call that fails inside the blit resets the switch as well.
    EXPECT_FALSE(canvas.BlitTransformed(nullptr, nullptr, &position, 0, &params));
    EXPECT_EQ(UseDerived(), 0);
}

TEST_F(CanvasTest, DrawInRectTilesFromTheDerivedPlanesWithTheCanvasClips) {
    C_Canvas canvas;
    Create(canvas, 64, 48);
    const C_Frame clip(0, 0, 60, 44), clip2(4, 3, 64, 48);
    canvas.SetClip(&clip);
    canvas.SetClip2(&clip2);
    LayerPair pair = MakeLayerPair(canvas, 10, 7);
    std::unique_ptr<C_Surface> layer(pair.layer);
    ASSERT_TRUE(layer->Notify1(GFX_NOTIFY_ALL_PLANES));
    Gfx_SetBlitOverride(ProbeBlit);

    C_DrawParams params;
    params.fillModeH = 1;
    params.fillModeV = 1;
    params.tileOffset = C_Vector2D(3.0f, -2.0f);
    params.flipH = 1;
    const C_Rect dest(1.0f, 2.0f, 57.0f, 41.0f);
    const C_Vector2D position(0.0f, 0.0f);
    EXPECT_TRUE(canvas.DrawInRect(layer.get(), nullptr, &dest, &position, 0, &params));
    EXPECT_GT(g_useDerivedSeen.size(), 20u);
    EXPECT_EQ(g_useDerivedSeen, std::vector<int>(g_useDerivedSeen.size(), 1));
    EXPECT_EQ(UseDerived(), 0);

    auto expected = TargetLike(64, 48);
    Gfx_Surface_DrawInRect(pair.plain.get(), expected.get(), nullptr, &clip, &clip2, &dest, &position, 0, &params);
    EXPECT_GT(CountNonZero(Colour(expected.get())), 1000u);
    EXPECT_TRUE(SamePixels(Colour(canvas.GetSurface()), Colour(expected.get())));

    // An empty rectangle fails before any blit; the switch is reset.
    const C_Rect empty(5.0f, 5.0f, 5.0f, 9.0f);
    params.fillModeH = params.fillModeV = 0;
    EXPECT_FALSE(canvas.DrawInRect(layer.get(), nullptr, &empty, &position, 0, &params));
    EXPECT_EQ(UseDerived(), 0);
}

// Two 8 x 8 glyphs cut from an alpha-only sheet.
void BuildSheetFont(C_Font& font) {
    font.AddFaces('A', 'C');
    auto* sheet = new C_Surface;
    sheet->AddPlane(Pattern(16, 8, GFX_FMT_CH8, 9), 2);
    ASSERT_TRUE(Gfx_Font_AddSheet(C_String("AB"), 2, 1, 8, sheet, &font));
}

TEST_F(CanvasTest, TextDrawsWithGlyphSurfacesMadeByTheCanvas) {
    C_Canvas canvas;
    Create(canvas, 80, 40);
    C_Font source;
    BuildSheetFont(source);
    C_Stream stream;
    stream.OpenMemoryWrite();
    ASSERT_TRUE(source.SaveToStream(&stream, 0));

    // The font's surfaces come from the canvas.
    C_Font font;
    font.imageAllocator = Win_Canvas_NewLayerSurface;
    font.allocatorContext = canvas.GetId();
    stream.OpenMemoryRead();
    ASSERT_TRUE(font.LoadFromStream(&stream, 0));
    ASSERT_EQ(font.ImageCount(), 1u);
    EXPECT_EQ(font.GetImage(0)->owner, &canvas);

    const C_FontType type(C_String("sheet"), 12.0f, GFX_GLYPH_SHEET, 0, 0, 1, 0, 0);
    const C_Color ink(0.2f, 0.6f, 1.0f, 1.0f);
    const C_String text("AB\tBA");
    const C_Vector2D at(3.0f, 4.0f);
    canvas.DrawText(text, &font, type, ink, at, 0, 0, 0, 0);  // no copies yet: nothing shows
    EXPECT_EQ(CountNonZero(Colour(canvas.GetSurface())), 0u);
    EXPECT_EQ(UseDerived(), 0);

    font.NotifySurfaces();
    Gfx_SetBlitOverride(ProbeBlit);
    EXPECT_TRUE(canvas.DrawText(text, &font, type, ink, at, 0, 0, 0, 0));
    EXPECT_GE(g_useDerivedSeen.size(), 3u);  // the last glyph lies beyond the target
    EXPECT_EQ(g_useDerivedSeen, std::vector<int>(g_useDerivedSeen.size(), 1));
    EXPECT_EQ(UseDerived(), 0);

    auto expected = TargetLike(80, 40);
    Gfx_Surface_DrawText(text, &source, type, expected.get(), ink, at, 0, 0, 0, nullptr, nullptr, 0);
    EXPECT_GT(CountNonZero(Colour(expected.get())), 100u);
    EXPECT_TRUE(SamePixels(Colour(canvas.GetSurface()), Colour(expected.get())));

    // A canvas number nobody holds gives a plain surface.
    std::unique_ptr<C_Surface> plain(Win_Canvas_NewLayerSurface(0));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->owner, nullptr);
}

TEST_F(CanvasTest, ForwardedCallsWithoutASurfaceFailAndLeaveTheSwitchAlone) {
    C_Canvas canvas;
    LayerPair pair = MakeLayerPair(canvas, 4, 4);
    std::unique_ptr<C_Surface> layer(pair.layer);
    ASSERT_TRUE(layer->Notify1(GFX_NOTIFY_ALL_PLANES));
    C_Font font;
    BuildSheetFont(font);
    const C_Rect dest(0.0f, 0.0f, 4.0f, 4.0f);
    const C_Vector2D at(0.0f, 0.0f);
    const C_FontType type(C_String("sheet"), 8.0f, GFX_GLYPH_SHEET, 0, 0, 0, 0, 0);
    const C_Color ink(1.0f, 1.0f, 1.0f, 1.0f);
    for (int step = 0; step < 2; ++step) {  // state 127, then 128
        EXPECT_FALSE(canvas.BlitTransformed(layer.get(), nullptr, &at, 0, nullptr));
        EXPECT_FALSE(canvas.DrawInRect(layer.get(), nullptr, &dest, &at, 0, nullptr));
        EXPECT_FALSE(canvas.DrawText(C_String("AB"), &font, type, ink, at, 0, 0, 0, 0));
        EXPECT_EQ(UseDerived(), 0);
        ASSERT_TRUE(canvas.Setup(Target(), 4, 4, 0));
    }
}

}  // namespace
