// Present on the headless platform: orientation, offset, clipping, margins,
// pixel formats, the background colour and the window shape; and the failure
// reports of the window and the canvas.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "error_case.h"
#include "quillory.h"
#include "recorder.h"

namespace {

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
};

// Every presentable format, a view with its parent's pitch, an 8-bit picture
// (not drawn, its margins are) and an empty one (all margin), in both
// orientations at offsets that clip each edge or miss the window, over the
// default, the desktop and the window background: the frames hash to the
// value taken when a pixel-by-pixel model of the rule (the first stored row
// at the bottom, channels widened to 8 bits rounding to nearest, margins in
// the background colour) agreed with every one.
TEST_F(PresentTest, FramesAcrossFormatsOffsetsAndBackgroundsMatchTheirHash) {
    std::vector<std::unique_ptr<C_Image>> pictures;
    for (std::int32_t format :
         {GFX_FMT_ARGB8888, GFX_FMT_RGB888, GFX_FMT_RGBA8888, GFX_FMT_BGR888, GFX_FMT_RGB565, GFX_FMT_RGB555,
          GFX_FMT_BGR565, GFX_FMT_ARGB4444, GFX_FMT_CH16, GFX_FMT_CH32F, GFX_FMT_CH8})
        pictures.emplace_back(Pattern(12, 9, format, static_cast<std::uint32_t>(format) * 977u));
    pictures.push_back(std::make_unique<C_Image>());
    pictures.back()->CreateLocked(5, 9, pictures[0]->pitch, GFX_FMT_ARGB8888, GFX_FMT_NONE, pictures[0]->data);
    pictures.push_back(std::make_unique<C_Image>());
    const std::pair<int, int> offsets[] = {{10, 20}, {0, 0}, {-5, -3}, {33, 25}, {-20, 10}, {100, 100}, {-12, -9}};
    std::uint64_t hash = 0;
    for (std::int32_t background : {-1, 13, 30}) {
        if (background >= 0) window.SetBackground(0, background);
        for (const auto& picture : pictures) {
            for (std::uint8_t bottomUp : {1, 0}) {
                picture->bottomUp = bottomUp;
                for (const auto& [x, y] : offsets) {
                    ASSERT_TRUE(window.Present(picture.get(), C_Vector2Di(x, y)));
                    hash = Checksum(Shown(), hash);
                }
            }
        }
    }
    EXPECT_EQ(hash, 3331437049042321136u);
}

// The caller's pixels are shown, not a copy: a repaint shows them as they are
// now.
TEST_F(PresentTest, RepaintsShowTheCallersPixels) {
    std::unique_ptr<C_Image> picture(Pattern(12, 9, GFX_FMT_ARGB8888, 1));
    ASSERT_TRUE(window.Present(picture.get(), C_Vector2Di(3, 4)));
    SetPixel(*picture, 2, 0, 0x00ABCDEFu);
    ASSERT_TRUE(Win_Headless_PostMessage(&window, WIN_MSG_PAINT, 0));
    ASSERT_TRUE(Win_ProcessMessages());
    EXPECT_EQ(PixelAt(Shown(), 5, 12), 0xFFABCDEFu);
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
    const Win_HeadlessWindowInfo info = InfoOf(w);
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
