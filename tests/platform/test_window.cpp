// The window on the headless platform: geometry, creation, settings, the pump,
// input with the callbacks it calls, presenting pictures, the window shape,
// and the failure reports of the window and the canvas.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <memory>
#include <vector>

#include "error_case.h"
#include "quillory.h"
#include "recorder.h"

namespace {

// Screen 1920 x 1080. Popups show the rectangle itself; framed windows the
// outer corner and the client size.
TEST_F(HeadlessTest, GeometryCodesPlaceTheWindowOnTheScreen) {
    const struct {
        std::int32_t x, y, width, height;
        std::uint8_t posCodes, sizeCodes;
        std::uint16_t borderStyle;
        Win_Rect expected;  // the client area (a popup's is its window)
    } cases[] = {
        {100, 50, 300, 200, 0x00, 0x00, 1, {100, 50, 300, 200}},  // size code 0: an absolute edge
        {100, 50, 300, 200, 0x00, 0x33, 1, {100, 50, 400, 250}},
        {500, 400, 100, 80, 0x11, 0x11, 1, {1420, 680, 1820, 1000}},  // from the right and bottom
        {-100, -50, 200, 100, 0x22, 0x33, 1, {860, 490, 1060, 590}},  // from the centre
        {-100, -50, 100, 50, 0x22, 0x22, 1, {860, 490, 1060, 590}},
        {10, 20, 320, 240, 0x00, 0x33, 0, {10, 20, 330, 260}},  // framed: the client gets the size
        {0, 0, 800, 600, 0x00, 0x33, 0, {0, 0, 800, 600}},
    };
    for (const auto& c : cases) {
        C_Window w;
        w.SetBorderStyle(c.borderStyle);
        w.SetGeometry(C_Frame(c.x, c.y, c.width, c.height, c.posCodes, c.sizeCodes));
        ASSERT_NE(w.Create(), 0u);
        const Win_HeadlessWindowInfo info = InfoOf(w);
        const Win_Rect& size = c.borderStyle ? info.windowRect : info.clientRect;
        const Win_Rect got{info.windowRect.x0, info.windowRect.y0, info.windowRect.x0 + size.Width(),
                           info.windowRect.y0 + size.Height()};
        EXPECT_TRUE(got == c.expected) << c.x << "," << c.y << " codes " << int{c.posCodes} << "/" << int{c.sizeCodes};
    }
}

TEST_F(HeadlessTest, HostileGeometryStaysBounded) {
    for (std::uint8_t codes : {0x00, 0x11, 0x22, 0x33}) {
        C_Window w;
        w.SetGeometry(C_Frame(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, codes & 0x22, codes));
        ASSERT_NE(w.Create(), 0u);
        C_Image shown;
        ASSERT_TRUE(Win_Headless_GetFramebuffer(&w, &shown));
        EXPECT_LE(std::uint64_t{shown.width} * shown.height, std::uint64_t{1} << 24);
        C_Image picture;
        ASSERT_TRUE(picture.CreateEmpty(4, 4, GFX_FMT_ARGB8888, GFX_FMT_NONE));
        EXPECT_TRUE(w.Present(&picture, C_Vector2Di(INT32_MAX, INT32_MIN)));
        EXPECT_TRUE(w.Present(&picture, C_Vector2Di(INT32_MIN, INT32_MAX)));
        Win_Headless_MouseMove(&w, INT32_MAX, INT32_MIN);
        Pump(3);
    }
}

TEST_F(HeadlessTest, CreateDestroyAndCreateAgain) {
    C_Window w;
    Recorder rec;
    rec.Attach(w);
    EXPECT_FALSE(w.SetUserValue(2, 5));  // the region mask has its own setter
    EXPECT_TRUE(w.SetUserValue(6, 77) && w.GetUserValue(6) == 77);
    w.SetVisible(0);  // before Create: the new window starts hidden
    const std::uintptr_t handle = w.Create();
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(w.Create(), 1u);  // already there
    EXPECT_EQ(w.GetNativeHandle(), handle);
    EXPECT_FALSE(InfoOf(w).visible);
    EXPECT_FALSE(Win_SelectPlatform("headless"));  // refused while a window lives
    w.Destroy();
    EXPECT_EQ(w.created, 0);
    Win_HeadlessWindowInfo info;
    EXPECT_FALSE(Win_Headless_GetWindowInfo(&w, &info));
    // Creation and destruction messages arrive while the object is not
    // attached: no callback sees them.
    EXPECT_EQ(rec.Text(true).find("create"), std::string::npos);
    EXPECT_EQ(rec.Text(true).find("destroy"), std::string::npos);
    ASSERT_NE(w.Create(), 0u);
    w.Destroy();
    w.SetVisible(1);                              // after Destroy: nothing native changes
    EXPECT_TRUE(Win_SelectPlatform("headless"));  // no native window is left
}

// Setters reach the live window; switching the sizing frame or the border
// style keeps the client area (and a hidden window hidden); a window that may
// not move stays put.
TEST_F(HeadlessTest, SettersApplyToTheLiveWindowAndKeepTheClientSize) {
    C_Window w;
    w.SetResizable(0);
    MakeDemoWindow(w);
    w.SetTitle("Hello");
    w.SetEnabled(0);
    Win_HeadlessWindowInfo info = InfoOf(w);
    EXPECT_STREQ(info.title, "Hello");
    EXPECT_TRUE(!info.enabled && info.visible && info.focused);
    w.SetVisible(0);
    const struct {
        void (*change)(C_Window&);
        std::uint32_t set, clear;
    } steps[] = {{[](C_Window&) {}, 0, WIN_STYLE_THICKFRAME},
                 {[](C_Window& v) { v.SetResizable(1); }, WIN_STYLE_THICKFRAME, 0},
                 {[](C_Window& v) { v.SetBorderStyle(1); }, WIN_STYLE_POPUP, WIN_STYLE_OVERLAPPEDWINDOW},
                 {[](C_Window& v) { v.SetBorderStyle(0); }, 0, WIN_STYLE_POPUP},
                 {[](C_Window& v) { v.SetX(30, 0); }, 0, WIN_STYLE_POPUP}};
    for (const auto& step : steps) {
        step.change(w);
        info = InfoOf(w);
        EXPECT_EQ(info.style & step.set, step.set);
        EXPECT_EQ(info.style & step.clear, 0u);
        EXPECT_TRUE(info.clientRect.Width() == 800 && info.clientRect.Height() == 600 && !info.visible);
    }
    w.SetVisible(1);  // moving a shown window keeps it shown
    w.SetX(20, 0);
    ASSERT_TRUE(Win_Headless_DragWindow(&w, 100, 50));
    EXPECT_TRUE(InfoOf(w).visible && InfoOf(w).windowRect.x0 == 100);
    w.SetMovable(0);
    ASSERT_TRUE(Win_Headless_DragWindow(&w, 300, 300));
    EXPECT_TRUE(InfoOf(w).windowRect.x0 == w.windowRect.x0 && InfoOf(w).windowRect.y0 == w.windowRect.y0);
}

// Each script runs on a fresh demo window: the mouse callbacks with the
// buttons held (left, middle, right) and the pointer, and the capture that
// keeps a drag ours while any button is held.
TEST_F(HeadlessTest, MouseScriptsCallTheirCallbacks) {
    const struct {
        const char* what;
        void (*prepare)(C_Window&);
        const char* script;
        const char* expected;
    } cases[] = {
        {"dragged out of the window", nullptr,
         "move 10 20, down 1 10 20, move 30 40, move -15 700, up 1 -15 700, move 5 5",
         "mouseMove(0,0,0,10,20) mouseDown(1,0,0,10,20) mouseMove(1,0,0,30,40) mouseMove(1,0,0,-15,700) "
         "mouseUp(1,0,0,-15,700) buttonUp(1) mouseMove(0,0,0,5,5)"},
        {"two buttons", nullptr, "down 3 50 50, down 2 50 50, up 3 50 50, move -5 -5, up 2 60 61, move -6 -6",
         "mouseDown(0,0,1,50,50) mouseDown(0,1,1,50,50) mouseUp(0,0,1,50,50) buttonUp(3) mouseMove(0,1,0,-5,-5) "
         "mouseUp(0,1,0,60,61) buttonUp(2)"},
        {"pressed outside, released inside: nothing until a plain move", nullptr,
         "down 1 1500 900, move 100 100, move 101 100, up 1 101 100, move 102 100", "mouseMove(0,0,0,102,100)"},
        {"disabled", [](C_Window& w) { w.SetEnabled(0); }, "move 10 10, down 1 10 10, up 1 10 10", ""},
        {"hidden: no activation, no focus", [](C_Window& w) { w.SetVisible(0); }, "move 10 10, down 1 10 10",
         "deactivate() killFocus()"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Win_SelectPlatform("headless"));  // no button held from the case before
        C_Window w;
        Recorder rec;
        MakeDemoWindow(w);
        rec.Attach(w);
        if (c.prepare) c.prepare(w);
        PostMouse(&w, c.script);
        Pump();
        EXPECT_EQ(rec.Text(), c.expected);
        EXPECT_TRUE(w.captured == 0.0f && !InfoOf(w).captured);
    }
}

// Shift capitalises letters (over Caps Lock too) and picks shifted symbols;
// pad keys keep their character; others carry 0. A key goes down, or up when
// negative, and its call carries the character at its place in `characters`.
TEST_F(HeadlessTest, KeysTranslateWithTheKeyboardState) {
    const std::int32_t keys[] = {WIN_VK_A,        -WIN_VK_A,       WIN_VK_SHIFT,    WIN_VK_A,      WIN_VK_0 + 1,
                                 WIN_VK_OEM_2,    -WIN_VK_SHIFT,   WIN_VK_F1,       WIN_VK_RETURN, -WIN_VK_LEFT,
                                 WIN_VK_MULTIPLY, WIN_VK_CAPITAL,  -WIN_VK_CAPITAL, WIN_VK_A + 1,  WIN_VK_SHIFT,
                                 WIN_VK_A + 1,    WIN_VK_SUBTRACT, WIN_VK_BACK};
    const std::int32_t characters[] = {'a', 'a', 0, 'A', '!', '?', 0, 0, 13, 0, '*', 0, 0, 'B', 0, 'B', '-', 8};
    C_Window w;
    Recorder rec;
    MakeDemoWindow(w);
    rec.Attach(w);
    std::string expected;
    for (std::size_t i = 0; i < std::size(keys); ++i) {
        const std::int32_t vk = std::abs(keys[i]);
        ASSERT_TRUE(keys[i] > 0 ? Win_Headless_KeyDown(vk) : Win_Headless_KeyUp(vk));
        expected += std::string(expected.empty() ? "" : " ") + (keys[i] > 0 ? "keyDown(" : "keyUp(") +
                    std::to_string(characters[i]) + "," + std::to_string(vk) + ")";
    }
    Pump();
    EXPECT_EQ(rec.Text(), expected);
}

// Every message with its callbacks, one message per call; a tick carries the
// buttons and pointer. With no close callback a close request leaves the
// window. The quit comes after the queued input; the pump reports it once.
TEST_F(HeadlessTest, EachMessageCallsItsCallbacksAndQuitEndsThePump) {
    const struct {
        Win_MessageType type;
        std::int32_t param;
        const char* expected;
    } cases[] = {{WIN_MSG_ACTIVATE, 1, "activate()"},
                 {WIN_MSG_ACTIVATE, 0, "deactivate()"},
                 {WIN_MSG_ACTIVATE, 2, ""},
                 {WIN_MSG_SETFOCUS, 0, "setFocus()"},
                 {WIN_MSG_KILLFOCUS, 0, "killFocus()"},
                 {WIN_MSG_SIZE, 0, "size() paint()"},
                 {WIN_MSG_PAINT, 0, "paint()"},
                 {WIN_MSG_SHOWWINDOW, 1, "paint()"},
                 {WIN_MSG_DOUBLECLICK, 3, "doubleClick(3)"},
                 {WIN_MSG_CREATE, 0, "create()"},
                 {WIN_MSG_CLOSE, 0, "close()"}};
    C_Window w;
    Recorder rec;
    MakeDemoWindow(w);
    ASSERT_TRUE(Win_Headless_SetFixedStep(0.01));
    ASSERT_TRUE(Win_Headless_RequestClose(&w));
    Pump();
    EXPECT_EQ(w.created, 1);
    rec.Attach(w);
    for (const auto& c : cases) {
        rec.calls.clear();
        ASSERT_TRUE(Win_Headless_PostMessage(&w, c.type, c.param));
        ASSERT_TRUE(Win_ProcessMessages());
        EXPECT_EQ(rec.Text(true), c.expected) << "message " << c.type << " param " << c.param;
    }
    C_Window never;  // no native window: nothing to post to
    EXPECT_FALSE(Win_Headless_PostMessage(&never, WIN_MSG_PAINT, 0));
    EXPECT_FALSE(Win_Headless_PostMessage(&w, WIN_MSG_NONE, 0));

    rec.calls.clear();
    PostMouse(&w, "down 1 7 8, move 2 2");
    Win_Quit();
    for (int i = 0; i < 2; ++i) EXPECT_TRUE(Win_ProcessMessages());
    EXPECT_FALSE(Win_ProcessMessages());
    EXPECT_TRUE(Win_ProcessMessages());  // queue empty: a tick
    EXPECT_EQ(rec.Text(true), "mouseDown(1,0,0,7,8) mouseMove(1,0,0,2,2) timer(1,0,0,2,2)");
}

TEST_F(HeadlessTest, ACallbackMayDeleteItsWindow) {
    auto* w = new C_Window;
    MakeDemoWindow(*w);
    w->m_onMouseMove = [](C_Window* win, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {
        delete win;
    };
    w->m_onMouseDown = w->m_onMouseMove;
    Win_Headless_MouseDown(w, 1, 5, 5);  // deletes during the press
    Win_Headless_MouseMove(nullptr, 5, 6);
    Pump();
    EXPECT_TRUE(Win_SelectPlatform("headless"));  // its native window went with it
}

TEST_F(HeadlessTest, ChildWindowsFollowTheirParent) {
    C_Window parent;
    MakeDemoWindow(parent);
    auto* child = new C_Window;
    ASSERT_TRUE(child->SetParent(&parent));
    EXPECT_FALSE(parent.SetParent(child));  // no cycles
    child->SetBorderStyle(1);
    child->SetGeometry(C_Frame(10, 20, 100, 50, 0x00, 0x33));
    ASSERT_NE(child->Create(), 0u);
    const Win_Rect client = InfoOf(parent).clientRect;  // laid out in the parent's client area
    EXPECT_TRUE(InfoOf(*child).windowRect ==
                (Win_Rect{client.x0 + 10, client.y0 + 20, client.x0 + 110, client.y0 + 70}));
    parent.Destroy();
    EXPECT_EQ(child->created, 0);
    delete child;
    EXPECT_EQ(parent.children.Count(), 0u);
}

// Every presentable format, a view with its parent's pitch, an 8-bit picture
// (not drawn, its margins are) and an empty one, both orientations, offsets
// clipping each edge or missing, three backgrounds: the frames hash to the
// value taken when a pixel model of the rule (first stored row at the bottom,
// channels widened rounding to nearest, background margins) agreed with all.
TEST_F(HeadlessTest, PresentedFramesAcrossFormatsOffsetsAndBackgroundsMatchTheirHash) {
    C_Window window;  // frameless: the client area is the whole window
    window.SetBorderStyle(1);
    window.SetGeometry(C_Frame(0, 0, 40, 30, 0x00, 0x33));
    ASSERT_NE(window.Create(), 0u);
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
                    C_Image shown;
                    ASSERT_TRUE(Win_Headless_GetFramebuffer(&window, &shown));
                    hash = Checksum(shown, hash);
                }
            }
        }
    }
    EXPECT_EQ(hash, 3331437049042321136u);
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
    C_Canvas canvas;
    const std::vector<ErrorCase> cases = {
        {"shape mask of an unknown format",
         [&] {
             window.SetRegionMask(&unknown);
             return false;  // the shape change itself returns nothing
         },
         GFX_ERR_FORMAT, "C_Window->Refresh", "C_Window->Refresh"},
        {"no picture to present", [&] { return window.Present(nullptr, C_Vector2Di(0, 0)); }, GFX_ERR_NULL_ARG,
         "C_Window::Present{image}", "C_Window::Present"},
        {"picture of an unknown format", [&] { return window.Present(&unknown, C_Vector2Di(0, 0)); }, GFX_ERR_FORMAT,
         "C_Window::Present{image->format}", "C_Window::Present"},
        {"canvas of no width",
         [&] {
             return canvas.Setup(C_CanvasTarget{&window, nullptr}, 0, 16, 0) && canvas.CreateTarget();
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
