// Present on the headless platform: orientation, offset, clipping, margins,
// pixel formats, the background colour and the window shape; and the failure
// reports of the window and the canvas.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "../test_support.h"
#include "error_case.h"
#include "quillory.h"
#include "recorder.h"

namespace {

constexpr std::uint32_t kFace = 0xFFF0F0F0u;  // the default background: button face

// A picture whose every pixel tells its stored row and column.
void MakeTestPicture(C_Image& image, std::uint32_t w, std::uint32_t h) {
    ASSERT_TRUE(image.CreateEmpty(w, h, GFX_FMT_ARGB8888, GFX_FMT_NONE));
    for (std::uint32_t r = 0; r < h; ++r)
        for (std::uint32_t x = 0; x < w; ++x) SetPixel(image, x, r, 0x00000040u | (r + 1) << 16 | (x + 1) << 8);
}

class PresentTest : public HeadlessTest {
protected:
    C_Window window;

    // A frameless 40 x 30 window: the client area is the whole window.
    void SetUp() override {
        HeadlessTest::SetUp();
        window.SetBorderStyle(1);
        window.SetGeometry(C_Frame(0, 0, 40, 30, 0x00, 0x33));
        ASSERT_NE(window.Create(), 0u);
    }

    C_Image Shown() {
        C_Image fb;
        EXPECT_TRUE(Win_Headless_GetFramebuffer(&window, &fb));
        return fb;
    }

    // Every pixel of the client area: the picture's stored row r at screen
    // row oy + (h - 1 - r), the background everywhere else.
    void ExpectShown(const C_Image& picture, std::int32_t ox, std::int32_t oy, std::uint32_t background) {
        const C_Image fb = Shown();
        ASSERT_EQ(fb.width, 40u);
        ASSERT_EQ(fb.height, 30u);
        const auto w = static_cast<std::int32_t>(picture.width);
        const auto h = static_cast<std::int32_t>(picture.height);
        for (std::int32_t y = 0; y < 30; ++y) {
            for (std::int32_t x = 0; x < 40; ++x) {
                const std::int32_t px = x - ox;
                const std::int32_t py = y - oy;
                std::uint32_t expected = background;
                if (px >= 0 && px < w && py >= 0 && py < h) {
                    std::memcpy(&expected, picture.data + static_cast<std::size_t>(h - 1 - py) * picture.pitch + 4 * px,
                                4);
                    expected |= 0xFF000000u;
                }
                ASSERT_EQ(PixelAt(fb, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)), expected)
                    << "at " << x << "," << y << " offset " << ox << "," << oy;
            }
        }
    }
};

// The first stored row shows at the bottom whatever the orientation flag
// says, clipped to the client area, with the margins filled; a view keeps its
// parent's pitch.
TEST_F(PresentTest, PicturesShowAtTheOffsetClippedWithMargins) {
    C_Image picture;
    MakeTestPicture(picture, 12, 9);
    Win_HeadlessWindowInfo before;
    ASSERT_TRUE(Win_Headless_GetWindowInfo(&window, &before));
    const std::pair<int, int> offsets[] = {{10, 20}, {0, 0}, {-5, -3}, {33, 25}, {-20, 10}, {100, 100}, {-12, -9}};
    for (std::uint8_t bottomUp : {1, 0}) {
        picture.bottomUp = bottomUp;
        for (const auto& [x, y] : offsets) {
            ASSERT_TRUE(window.Present(&picture, C_Vector2Di(x, y)));
            ExpectShown(picture, x, y, kFace);
            EXPECT_EQ(window.presentOffset, C_Vector2Di(x, y));
        }
    }
    Win_HeadlessWindowInfo after;
    ASSERT_TRUE(Win_Headless_GetWindowInfo(&window, &after));
    EXPECT_EQ(after.paints, before.paints + 14);

    C_Image view;  // the left 5 columns: rows further apart than 5 pixels
    ASSERT_TRUE(view.CreateLocked(5, 9, picture.pitch, GFX_FMT_ARGB8888, GFX_FMT_NONE, picture.data));
    ASSERT_TRUE(window.Present(&view, C_Vector2Di(3, 4)));
    ExpectShown(view, 3, 4, kFace);

    // The caller's pixels are shown, not a copy: a repaint shows them as they
    // are now.
    EXPECT_EQ(window.image.data, view.data);
    EXPECT_EQ(window.image.locked, 1);
    SetPixel(picture, 2, 0, 0x00ABCDEFu);
    ASSERT_TRUE(Win_Headless_PostMessage(&window, WIN_MSG_PAINT, 0));
    ASSERT_TRUE(Win_ProcessMessages());
    EXPECT_EQ(PixelAt(Shown(), 5, 12), 0xFFABCDEFu);

    // The framebuffer saves as an image file.
    const std::string path = Quillory_TempPath("frame.img");
    ASSERT_TRUE(Win_Headless_SaveFramebuffer(&window, path.c_str()));
    C_Image loaded;
    ASSERT_TRUE(loaded.LoadFromFile(path.c_str(), 0));
    const C_Image fb = Shown();
    ASSERT_EQ(loaded.format, GFX_FMT_ARGB8888);
    ASSERT_EQ(loaded.width, fb.width);
    ASSERT_EQ(loaded.height, fb.height);
    EXPECT_EQ(std::memcmp(loaded.data, fb.data, fb.dataSize), 0);
}

// Eight-bit pictures are not drawn but their margins are; the margins take
// the window's background system colour.
TEST_F(PresentTest, MarginsTakeTheBackgroundSystemColour) {
    C_Image picture;
    MakeTestPicture(picture, 10, 10);
    ASSERT_TRUE(window.Present(&picture, C_Vector2Di(5, 5)));
    const std::uint32_t underBoth = PixelAt(Shown(), 9, 9);
    C_Image grey;
    ASSERT_TRUE(grey.CreateEmpty(10, 10, GFX_FMT_CH8, GFX_FMT_NONE, C_Color(0.5f, 0.5f, 0.5f, 0.0f)));
    ASSERT_TRUE(window.Present(&grey, C_Vector2Di(8, 8)));
    EXPECT_EQ(PixelAt(Shown(), 9, 9), underBoth);  // left as it was
    EXPECT_EQ(PixelAt(Shown(), 6, 6), kFace);      // now a margin

    window.SetBackground(0, 13);  // the desktop: black
    ASSERT_TRUE(window.Present(&picture, C_Vector2Di(2, 2)));
    ExpectShown(picture, 2, 2, 0xFF000000u);
    window.SetBackground(0, 30);  // window background: white
    ASSERT_TRUE(window.Present(&picture, C_Vector2Di(2, 2)));
    ExpectShown(picture, 2, 2, 0xFFFFFFFFu);
    C_Image empty;  // nothing to show: all margin
    ASSERT_TRUE(window.Present(&empty, C_Vector2Di(2, 2)));
    EXPECT_EQ(PixelAt(Shown(), 3, 3), 0xFFFFFFFFu);
}

TEST_F(PresentTest, ChannelsShowInTheirTrueColours) {
    const struct {
        std::int32_t format;
        std::vector<std::uint8_t> pixel;  // one pixel, little-endian bytes
        std::uint32_t shown;
    } cases[] = {
        {GFX_FMT_ARGB8888, {0x33, 0x22, 0x11, 0x00}, 0xFF112233u},
        {GFX_FMT_RGB888, {0x33, 0x22, 0x11}, 0xFF112233u},
        {GFX_FMT_RGBA8888, {0x44, 0x33, 0x22, 0x11}, 0xFF112233u},
        {GFX_FMT_BGR888, {0x11, 0x22, 0x33}, 0xFF112233u},
        {GFX_FMT_RGB565, {0x00, 0xF8}, 0xFFFF0000u},
        {GFX_FMT_RGB565, {0xE0, 0x07}, 0xFF00FF00u},
        {GFX_FMT_RGB555, {0x1F, 0x00}, 0xFF0000FFu},
        {GFX_FMT_BGR565, {0x1F, 0x00}, 0xFFFF0000u},
        {GFX_FMT_ARGB4444, {0x00, 0x0F}, 0xFFFF0000u},
        {GFX_FMT_CH16, {0xFF, 0x7F}, 0xFF7F7F7Fu},
        {GFX_FMT_CH32F, {0x00, 0x00, 0x00, 0x3F}, 0xFF808080u},  // 0.5
        {GFX_FMT_CH32F, {0x00, 0x00, 0xC0, 0x7F}, 0xFF000000u},  // NaN
    };
    for (const auto& c : cases) {
        C_Image picture;
        ASSERT_TRUE(picture.CreateEmpty(2, 2, c.format, GFX_FMT_NONE));
        for (std::uint32_t i = 0; i < 4; ++i)
            std::memcpy(picture.data + i * c.pixel.size(), c.pixel.data(), c.pixel.size());
        ASSERT_TRUE(window.Present(&picture, C_Vector2Di(1, 1)));
        const C_Image fb = Shown();
        EXPECT_EQ(PixelAt(fb, 1, 1), c.shown) << "format " << c.format;
        EXPECT_EQ(PixelAt(fb, 2, 2), c.shown) << "format " << c.format;
        EXPECT_EQ(PixelAt(fb, 3, 3), kFace);
    }
}

std::vector<Win_Rect> ShapeOf(const C_Window& w) {
    std::size_t count = 0;
    EXPECT_TRUE(Win_Headless_GetShape(&w, nullptr, 0, &count));
    std::vector<Win_Rect> rects(count);
    EXPECT_TRUE(Win_Headless_GetShape(&w, rects.data(), rects.size(), &count));
    return rects;
}

// Runs of 255 become rectangles, shifted by the frame so that the mask lies
// over the client area; a run reaching the row's end reaches the edge, and
// not a byte further (the mask is a view whose rows follow each other).
TEST_F(HeadlessTest, MaskRunsBecomeTheWindowShape) {
    C_Window w;
    MakeDemoWindow(w);
    std::uint8_t bytes[15] = {255, 255, 0, 255, 255, 255, 254, 255, 255, 255, 255, 255, 255, 255, 255};
    C_Image mask;
    ASSERT_TRUE(mask.CreateLocked(5, 2, 5, GFX_FMT_CH8, GFX_FMT_NONE, bytes));
    w.SetRegionMask(&mask);
    Win_HeadlessWindowInfo info;
    ASSERT_TRUE(Win_Headless_GetWindowInfo(&w, &info));
    const std::int32_t dx = info.clientRect.x0 - info.windowRect.x0;
    const std::int32_t dy = info.clientRect.y0 - info.windowRect.y0;
    EXPECT_GT(dy, 0);
    EXPECT_EQ(ShapeOf(w), (std::vector<Win_Rect>{{dx + 0, dy + 0, dx + 2, dy + 1},
                                                 {dx + 3, dy + 0, dx + 5, dy + 1},
                                                 {dx + 0, dy + 1, dx + 1, dy + 2},
                                                 {dx + 2, dy + 1, dx + 5, dy + 2}}));
    Recorder rec;  // only the shape takes the pointer
    rec.Attach(w);
    PostMouse(&w, "move 1 0, move 2 0");
    Pump();
    EXPECT_EQ(rec.Text(), "mouseMove(0,0,0,1,0)");

    C_Window popup;  // a mask set before Create shapes the new window
    popup.SetRegionMask(&mask);
    popup.SetBorderStyle(1);
    ASSERT_NE(popup.Create(), 0u);
    EXPECT_EQ(ShapeOf(popup), (std::vector<Win_Rect>{{0, 0, 2, 1}, {3, 0, 5, 1}, {0, 1, 1, 2}, {2, 1, 5, 2}}));
}

TEST_F(HeadlessTest, WindowAndCanvasReportUnusablePicturesAndSizes) {
    C_Window window;
    MakeDemoWindow(window);
    C_Image unknown;
    ASSERT_TRUE(unknown.CreateEmpty(5, 2, GFX_FMT_CH8, GFX_FMT_NONE));
    unknown.format = 99;  // no such format
    const C_Frame area(0, 0, 800, 600);
    C_Image wide;
    ASSERT_TRUE(wide.CreateEmpty(5, 2, GFX_FMT_ARGB8888, GFX_FMT_NONE));
    C_Canvas canvas;
    const auto shapeWith = [&](C_Image* mask) {
        return [&window, mask] {
            window.SetRegionMask(mask);
            return false;  // the shape change itself returns nothing
        };
    };
    const std::vector<ErrorCase> cases = {
        {"shape mask of an unknown format", shapeWith(&unknown), GFX_ERR_FORMAT, "C_Window->Refresh",
         "C_Window->Refresh"},
        {"shape mask of 32-bit pixels", shapeWith(&wide), GFX_ERR_FORMAT, "C_Window->Refresh", "C_Window->Refresh"},
        {"no picture to present", [&] { return window.Present(nullptr, C_Vector2Di(0, 0)); }, GFX_ERR_NULL_ARG,
         "C_Window::Present{image}", "C_Window::Present"},
        {"picture of an unknown format", [&] { return window.Present(&unknown, C_Vector2Di(0, 0)); }, GFX_ERR_FORMAT,
         "C_Window::Present{image->format}", "C_Window::Present"},
        {"canvas of no width",
         [&] {
             return canvas.Setup(C_CanvasTarget{&window, &area}, 0, 16, 0) && canvas.CreateTarget();
         },
         GFX_ERR_BAD_DATA, "C_Canvas::CreateTarget{width}", "C_Canvas::CreateTarget"},
    };
    for (const ErrorCase& c : cases) ExpectReported(c);
    window.SetRegionMask(nullptr);
    unknown.format = GFX_FMT_CH8;
    EXPECT_EQ(canvas.surface, nullptr);  // the refused target was not made
    EXPECT_EQ(canvas.GetState(), GFX_CANVAS_SETUP);
}

}  // namespace
