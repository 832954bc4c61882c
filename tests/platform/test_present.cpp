// Present on the headless platform: orientation, offset, clipping, margins,
// pixel formats, the background colour, and the window shape.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "../test_support.h"
#include "core/error.h"
#include "math/color.h"
#include "recorder.h"

using Calls = std::vector<CallRecord>;

namespace {

constexpr std::uint32_t kFace = 0xFFF0F0F0u;  // the default background: button face

std::uint32_t ReadPixel(const C_Image& image, std::uint32_t x, std::uint32_t y) {
    const std::uint8_t* p = image.data + static_cast<std::size_t>(y) * image.pitch + 4 * x;
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

void WritePixel(C_Image& image, std::uint32_t x, std::uint32_t storedRow, std::uint32_t v) {
    std::uint8_t* p = image.data + static_cast<std::size_t>(storedRow) * image.pitch + 4 * x;
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A picture whose every pixel tells its stored row and column.
void MakeTestPicture(C_Image& image, std::uint32_t w, std::uint32_t h) {
    ASSERT_TRUE(image.CreateEmpty(w, h, GFX_FMT_ARGB8888, GFX_FMT_NONE));
    for (std::uint32_t r = 0; r < h; ++r)
        for (std::uint32_t x = 0; x < w; ++x) WritePixel(image, x, r, 0x00000040u | (r + 1) << 16 | (x + 1) << 8);
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
                    const std::uint8_t* p =
                        picture.data + static_cast<std::size_t>(h - 1 - py) * picture.pitch + 4 * px;
                    expected = 0xFF000000u | std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
                }
                ASSERT_EQ(ReadPixel(fb, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y)), expected)
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
}

TEST_F(PresentTest, ShowsTheCallersPixelsWithoutCopying) {
    C_Image picture;
    MakeTestPicture(picture, 40, 30);
    ASSERT_TRUE(window.Present(&picture, C_Vector2Di(0, 0)));
    EXPECT_EQ(window.image.data, picture.data);
    EXPECT_EQ(window.image.locked, 1);
    // A repaint shows what the pixels hold now.
    WritePixel(picture, 3, 29, 0x00ABCDEFu);
    ASSERT_TRUE(Win_Headless_PostMessage(&window, WIN_MSG_PAINT, 0));
    ASSERT_TRUE(Win_ProcessMessages());
    EXPECT_EQ(ReadPixel(Shown(), 3, 0), 0xFFABCDEFu);
}

TEST_F(PresentTest, EightBitPicturesAreNotDrawnButTheMarginsAre) {
    C_Image first;
    MakeTestPicture(first, 10, 10);
    ASSERT_TRUE(window.Present(&first, C_Vector2Di(5, 5)));
    const std::uint32_t underBoth = ReadPixel(Shown(), 9, 9);
    C_Image grey;
    ASSERT_TRUE(grey.CreateEmpty(10, 10, GFX_FMT_CH8, GFX_FMT_NONE, C_Color(0.5f, 0.5f, 0.5f, 0.0f)));
    ASSERT_TRUE(window.Present(&grey, C_Vector2Di(8, 8)));
    const C_Image fb = Shown();
    EXPECT_EQ(ReadPixel(fb, 9, 9), underBoth);  // left as it was
    EXPECT_EQ(ReadPixel(fb, 6, 6), kFace);      // now a margin
    EXPECT_EQ(ReadPixel(fb, 20, 20), kFace);
}

struct FormatCase {
    std::int32_t format;
    std::vector<std::uint8_t> pixel;  // one pixel, little-endian bytes
    std::uint32_t shown;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << "format " << c.format << " shows " << std::hex << c.shown;
}

class PresentFormatTest : public PresentTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(PresentFormatTest, ChannelsShowInTheirTrueColours) {
    const FormatCase& c = GetParam();
    C_Image picture;
    ASSERT_TRUE(picture.CreateEmpty(2, 2, c.format, GFX_FMT_NONE));
    for (std::uint32_t i = 0; i < 4; ++i)
        std::memcpy(picture.data + i * c.pixel.size(), c.pixel.data(), c.pixel.size());
    ASSERT_TRUE(window.Present(&picture, C_Vector2Di(1, 1)));
    const C_Image fb = Shown();
    EXPECT_EQ(ReadPixel(fb, 1, 1), c.shown);
    EXPECT_EQ(ReadPixel(fb, 2, 2), c.shown);
    EXPECT_EQ(ReadPixel(fb, 3, 3), kFace);
}

INSTANTIATE_TEST_SUITE_P(Formats, PresentFormatTest,
                         ::testing::Values(FormatCase{GFX_FMT_ARGB8888, {0x33, 0x22, 0x11, 0x00}, 0xFF112233u},
                                           FormatCase{GFX_FMT_RGB888, {0x33, 0x22, 0x11}, 0xFF112233u},
                                           FormatCase{GFX_FMT_RGBA8888, {0x44, 0x33, 0x22, 0x11}, 0xFF112233u},
                                           FormatCase{GFX_FMT_BGR888, {0x11, 0x22, 0x33}, 0xFF112233u},
                                           FormatCase{GFX_FMT_RGB565, {0x00, 0xF8}, 0xFFFF0000u},
                                           FormatCase{GFX_FMT_RGB565, {0xE0, 0x07}, 0xFF00FF00u},
                                           FormatCase{GFX_FMT_RGB555, {0x1F, 0x00}, 0xFF0000FFu},
                                           FormatCase{GFX_FMT_BGR565, {0x1F, 0x00}, 0xFFFF0000u},
                                           FormatCase{GFX_FMT_ARGB4444, {0x00, 0x0F}, 0xFFFF0000u},
                                           FormatCase{GFX_FMT_CH16, {0xFF, 0x7F}, 0xFF7F7F7Fu},
                                           FormatCase{GFX_FMT_CH32F, {0x00, 0x00, 0x00, 0x3F}, 0xFF808080u},    // 0.5
                                           FormatCase{GFX_FMT_CH32F, {0x00, 0x00, 0xC0, 0x7F}, 0xFF000000u}));  // NaN

TEST_F(PresentTest, MarginsTakeTheBackgroundSystemColour) {
    C_Image picture;
    MakeTestPicture(picture, 4, 4);
    window.SetBackground(0, 13);  // the desktop: black
    ASSERT_TRUE(window.Present(&picture, C_Vector2Di(2, 2)));
    ExpectShown(picture, 2, 2, 0xFF000000u);
    window.SetBackground(0, 30);  // window background: white
    ASSERT_TRUE(window.Present(&picture, C_Vector2Di(2, 2)));
    ExpectShown(picture, 2, 2, 0xFFFFFFFFu);
    C_Image empty;  // nothing to show: all margin
    ASSERT_TRUE(window.Present(&empty, C_Vector2Di(2, 2)));
    EXPECT_EQ(ReadPixel(Shown(), 3, 3), 0xFFFFFFFFu);
}

TEST_F(PresentTest, FramebufferSavesAsAnImageFile) {
    C_Image picture;
    MakeTestPicture(picture, 7, 5);
    ASSERT_TRUE(window.Present(&picture, C_Vector2Di(4, 6)));
    const std::string path = Quillory_TempPath("frame.img");
    ASSERT_TRUE(Win_Headless_SaveFramebuffer(&window, path.c_str()));
    C_Image loaded;
    ASSERT_TRUE(loaded.LoadFromFile(path.c_str(), 0));
    const C_Image fb = Shown();
    ASSERT_EQ(loaded.width, fb.width);
    ASSERT_EQ(loaded.height, fb.height);
    EXPECT_EQ(loaded.format, GFX_FMT_ARGB8888);
    EXPECT_EQ(std::memcmp(loaded.data, fb.data, fb.dataSize), 0);
}

class ShapeTest : public HeadlessTest {
protected:
    static std::vector<Win_Rect> ShapeOf(const C_Window& w) {
        std::size_t count = 0;
        EXPECT_TRUE(Win_Headless_GetShape(&w, nullptr, 0, &count));
        std::vector<Win_Rect> rects(count);
        EXPECT_TRUE(Win_Headless_GetShape(&w, rects.data(), rects.size(), &count));
        return rects;
    }

    static void MakeMask(C_Image& mask) {
        const std::uint8_t rows[2][5] = {{255, 255, 0, 255, 255}, {0, 254, 255, 255, 255}};
        ASSERT_TRUE(mask.CreateEmpty(5, 2, GFX_FMT_CH8, GFX_FMT_NONE));
        for (int y = 0; y < 2; ++y) std::memcpy(mask.data + y * mask.pitch, rows[y], 5);
    }
};

// Runs of 255 become rectangles, shifted by the frame so that the mask lies
// over the client area; a run reaching the row's end reaches the edge.
TEST_F(ShapeTest, MaskRunsBecomeTheWindowShape) {
    C_Window w;
    MakeDemoWindow(w);
    C_Image mask;
    MakeMask(mask);
    w.SetRegionMask(&mask);
    Win_HeadlessWindowInfo info;
    ASSERT_TRUE(Win_Headless_GetWindowInfo(&w, &info));
    const std::int32_t dx = info.clientRect.x0 - info.windowRect.x0;
    const std::int32_t dy = info.clientRect.y0 - info.windowRect.y0;
    EXPECT_GT(dy, 0);
    EXPECT_EQ(ShapeOf(w), (std::vector<Win_Rect>{{dx + 0, dy + 0, dx + 2, dy + 1},
                                                 {dx + 3, dy + 0, dx + 5, dy + 1},
                                                 {dx + 2, dy + 1, dx + 5, dy + 2}}));
    // Only the shape takes the pointer.
    Recorder rec;
    rec.Attach(w);
    Win_Headless_MouseMove(&w, 1, 0);
    Win_Headless_MouseMove(&w, 2, 0);
    Pump();
    EXPECT_EQ(rec.Input(), (Calls{{"mouseMove", {0, 0, 0, 1, 0}}}));

    C_Window popup;  // a mask set before Create shapes the new window
    popup.SetRegionMask(&mask);
    popup.SetBorderStyle(1);
    ASSERT_NE(popup.Create(), 0u);
    EXPECT_EQ(ShapeOf(popup), (std::vector<Win_Rect>{{0, 0, 2, 1}, {3, 0, 5, 1}, {2, 1, 5, 2}}));
}

}  // namespace
