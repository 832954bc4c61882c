// The window's rules on the headless platform: defaults and geometry,
// creation, the message pump, callbacks with their arguments and order,
// mouse capture, key translation and the window's own settings.
#include <gtest/gtest.h>

#include "core/error.h"
#include "math/random.h"
#include "recorder.h"

namespace {

using Calls = std::vector<CallRecord>;

class WindowTest : public HeadlessTest {};

TEST_F(WindowTest, DefaultsAndSettersBeforeCreate) {
    C_Window w;
    EXPECT_STREQ(w.name.CStr(), "No name");
    EXPECT_STREQ(w.title.CStr(), "Form window");
    EXPECT_TRUE(w.GetX() == 0 && w.GetWidth() == 640 && w.GetHeight() == 480);
    EXPECT_TRUE(w.background[1] == 2 && w.foreground[1] == 15 && w.textColor[1] == 15 && w.cursorId == 63);
    EXPECT_EQ(w.visible + w.enabled + w.movable + w.resizable + w.userFlag1 + w.userFlag2, 6);
    EXPECT_EQ(w.GetClassType(), 18u);
    // Settings made before Create are only stored.
    w.SetY(40, 0x20);
    w.SetHeight(100, 0x30);
    EXPECT_EQ(w.created, 0);
    EXPECT_TRUE(w.geometry.posAlign == 0x20 && w.geometry.sizeAlign == 0x30);
    EXPECT_FALSE(w.SetUserValue(2, 5));  // the region mask has its own setter
    EXPECT_TRUE(w.SetUserValue(6, 77));
    EXPECT_EQ(w.GetUserValue(6), 77);
}

struct GeometryCase {
    std::int32_t x, y, width, height;
    std::uint8_t posCodes, sizeCodes;
    std::uint16_t borderStyle;
    Win_Rect expected;  // the client area (a popup's is its window)
};

void PrintTo(const GeometryCase& c, std::ostream* os) {
    *os << c.x << "," << c.y << "," << c.width << "," << c.height << " codes " << int{c.posCodes} << "/"
        << int{c.sizeCodes} << (c.borderStyle ? " popup" : " framed");
}

class GeometryTest : public HeadlessTest, public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(GeometryTest, CodesPlaceTheWindowOnTheScreen) {
    const GeometryCase& c = GetParam();
    C_Window w;
    w.SetBorderStyle(c.borderStyle);
    w.SetGeometry(C_Frame(c.x, c.y, c.width, c.height, c.posCodes, c.sizeCodes));
    ASSERT_NE(w.Create(), 0u);
    Win_HeadlessWindowInfo info;
    ASSERT_TRUE(Win_Headless_GetWindowInfo(&w, &info));
    const Win_Rect& got = c.borderStyle ? info.windowRect : info.clientRect;
    EXPECT_EQ(got.Width(), c.expected.Width());
    EXPECT_EQ(got.Height(), c.expected.Height());
    if (c.borderStyle) {
        EXPECT_EQ(got, c.expected);
    } else {
        EXPECT_EQ(info.windowRect.x0, c.expected.x0);
        EXPECT_EQ(info.windowRect.y0, c.expected.y0);
    }
}

// Screen 1920 x 1080. Popups show the rectangle itself; framed windows the
// outer corner and the client size.
INSTANTIATE_TEST_SUITE_P(Codes, GeometryTest,
                         ::testing::Values(
                             // Code 0 for a size is an absolute right / bottom edge.
                             GeometryCase{100, 50, 300, 200, 0x00, 0x00, 1, {100, 50, 300, 200}},
                             GeometryCase{100, 50, 300, 200, 0x00, 0x33, 1, {100, 50, 400, 250}},
                             // From the right and bottom edges.
                             GeometryCase{500, 400, 100, 80, 0x11, 0x11, 1, {1420, 680, 1820, 1000}},
                             // From the centre.
                             GeometryCase{-100, -50, 200, 100, 0x22, 0x33, 1, {860, 490, 1060, 590}},
                             GeometryCase{-100, -50, 100, 50, 0x22, 0x22, 1, {860, 490, 1060, 590}},
                             // Framed: the client area gets the requested size.
                             GeometryCase{10, 20, 320, 240, 0x00, 0x33, 0, {10, 20, 330, 260}},
                             GeometryCase{0, 0, 800, 600, 0x00, 0x33, 0, {0, 0, 800, 600}}));

TEST_F(WindowTest, AnUnknownCodeKeepsThatCoordinate) {
    C_Window w;
    w.SetBorderStyle(1);
    w.SetGeometry(C_Frame(10, 20, 100, 100, 0x00, 0x33));
    ASSERT_NE(w.Create(), 0u);
    w.SetX(500, 7);  // no such x code
    w.SetWidth(50, 3);
    EXPECT_EQ(w.windowRect.x0, 10);
    EXPECT_EQ(w.windowRect.x1, 60);
    w.Destroy();
}

TEST_F(WindowTest, HostileGeometryStaysBounded) {
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

TEST_F(WindowTest, ClassNameIsTwoDrawsOfTheFrameworkGenerator) {
    Math_SRand(4242);
    const std::int32_t expected = Math_Rand() + Math_Rand();
    Math_SRand(4242);
    C_Window w;
    ASSERT_NE(w.Create(), 0u);
    EXPECT_EQ(w.className, C_String(expected));
    Win_HeadlessWindowInfo info;
    ASSERT_TRUE(Win_Headless_GetWindowInfo(&w, &info));
    EXPECT_STREQ(info.className, w.className.CStr());
}

TEST_F(WindowTest, CreateDestroyAndCreateAgain) {
    C_Window w;
    Recorder rec;
    rec.Attach(w);
    w.SetVisible(0);  // before Create: the new window starts hidden
    const std::uintptr_t handle = w.Create();
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(w.Create(), 1u);  // already there
    EXPECT_EQ(w.GetNativeHandle(), handle);
    Win_HeadlessWindowInfo info;
    ASSERT_TRUE(Win_Headless_GetWindowInfo(&w, &info));
    EXPECT_FALSE(info.visible);
    EXPECT_FALSE(Win_SelectPlatform("headless"));  // refused while a window lives
    w.Destroy();
    EXPECT_EQ(w.created, 0);
    EXPECT_EQ(w.GetNativeHandle(), 0u);
    EXPECT_FALSE(Win_Headless_GetWindowInfo(&w, &info));
    // Creation and destruction messages arrive while the object is not
    // attached: no callback sees them.
    for (const CallRecord& c : rec.calls) EXPECT_TRUE(c.name != "create" && c.name != "destroy") << c;
    ASSERT_NE(w.Create(), 0u);
    EXPECT_NE(w.GetNativeHandle(), handle);
    w.Destroy();
    w.SetTitle("gone");  // setters after Destroy change nothing native
    w.SetVisible(1);
    EXPECT_TRUE(Win_SelectPlatform("headless"));  // no native window is left
}

// Setters reach the live window; switching the sizing frame or the border
// style keeps the client area.
TEST_F(WindowTest, SettersApplyToTheLiveWindowAndKeepTheClientSize) {
    C_Window w;
    w.SetResizable(0);
    MakeDemoWindow(w);
    w.SetTitle("Hello");
    w.SetEnabled(0);
    Win_HeadlessWindowInfo info;
    ASSERT_TRUE(Win_Headless_GetWindowInfo(&w, &info));
    EXPECT_STREQ(info.title, "Hello");
    EXPECT_FALSE(info.enabled);
    EXPECT_TRUE(info.visible && info.focused);
    EXPECT_EQ(info.windowRect.x0, 0);
    EXPECT_EQ(w.windowRect.x1 - w.windowRect.x0, info.windowRect.Width());
    w.SetVisible(0);
    ASSERT_TRUE(Win_Headless_GetWindowInfo(&w, &info));
    EXPECT_FALSE(info.visible);
    const struct {
        void (*change)(C_Window&);
        std::uint32_t set, clear;
    } steps[] = {
        {[](C_Window&) {}, 0, WIN_STYLE_THICKFRAME},
        {[](C_Window& v) { v.SetResizable(1); }, WIN_STYLE_THICKFRAME, 0},
        {[](C_Window& v) { v.SetBorderStyle(1); }, WIN_STYLE_POPUP, WIN_STYLE_OVERLAPPEDWINDOW},
        {[](C_Window& v) { v.SetBorderStyle(0); }, 0, WIN_STYLE_POPUP},
    };
    for (const auto& step : steps) {
        step.change(w);
        ASSERT_TRUE(Win_Headless_GetWindowInfo(&w, &info));
        EXPECT_EQ(info.style & step.set, step.set);
        EXPECT_EQ(info.style & step.clear, 0u);
        EXPECT_EQ(info.clientRect.Width(), 800);
        EXPECT_EQ(info.clientRect.Height(), 600);
    }
    // Moving a shown window keeps it shown.
    w.SetVisible(1);
    w.SetX(20, 0);
    ASSERT_TRUE(Win_Headless_GetWindowInfo(&w, &info));
    EXPECT_TRUE(info.visible);
    EXPECT_EQ(info.windowRect.x0, 20);
}

TEST_F(WindowTest, OneMessagePerCallAndFalseAfterQuit) {
    C_Window w;
    Recorder rec;
    MakeDemoWindow(w);
    Pump();  // the first paint
    rec.Attach(w);
    ASSERT_TRUE(Win_Headless_MouseMove(&w, 1, 1));
    ASSERT_TRUE(Win_Headless_MouseMove(&w, 2, 2));
    ASSERT_TRUE(Win_Headless_MouseMove(&w, 3, 3));
    Win_Quit();
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(Win_ProcessMessages());
        EXPECT_EQ(rec.calls.size(), static_cast<std::size_t>(i));
    }
    EXPECT_FALSE(Win_ProcessMessages());  // the quit message comes after the input
    EXPECT_TRUE(Win_ProcessMessages());   // and only once
    EXPECT_EQ(rec.Input(),
              (Calls{{"mouseMove", {0, 0, 0, 1, 1}}, {"mouseMove", {0, 0, 0, 2, 2}}, {"mouseMove", {0, 0, 0, 3, 3}}}));
}

TEST_F(WindowTest, CloseCallsTheCallbackOrNothing) {
    C_Window w;
    MakeDemoWindow(w);
    // No callback: the window stays.
    ASSERT_TRUE(Win_Headless_RequestClose(&w));
    Pump(5);
    EXPECT_EQ(w.created, 1);

    // The demo's way: destroy, then quit.
    static C_Window* closed;
    closed = nullptr;
    w.m_onClose = [](C_Window* win) {
        closed = win;
        win->Destroy();
        Win_Quit();
    };
    ASSERT_TRUE(Win_Headless_RequestClose(&w));
    EXPECT_TRUE(Win_ProcessMessages());
    EXPECT_EQ(closed, &w);
    EXPECT_EQ(w.created, 0);
    EXPECT_FALSE(Win_ProcessMessages());
}

TEST_F(WindowTest, PressDragAndReleaseInTheWindow) {
    C_Window w;
    Recorder rec;
    MakeDemoWindow(w);
    rec.Attach(w);
    Win_Headless_MouseMove(&w, 10, 20);
    Win_Headless_MouseDown(&w, 1, 10, 20);
    Win_Headless_MouseMove(&w, 30, 40);
    Win_Headless_MouseMove(&w, -15, 700);  // outside: the capture keeps it ours
    Win_Headless_MouseUp(&w, 1, -15, 700);
    Win_Headless_MouseMove(&w, 5, 5);
    Pump();
    EXPECT_EQ(rec.Input(), (Calls{{"mouseMove", {0, 0, 0, 10, 20}},
                                  {"mouseDown", {1, 0, 0, 10, 20}},
                                  {"mouseMove", {1, 0, 0, 30, 40}},
                                  {"mouseMove", {1, 0, 0, -15, 700}},
                                  {"mouseUp", {1, 0, 0, -15, 700}},
                                  {"buttonUp", {1}},
                                  {"mouseMove", {0, 0, 0, 5, 5}}}));
    EXPECT_EQ(w.captured, 0.0f);
    EXPECT_EQ(w.buttonLeft, 0.0f);
}

TEST_F(WindowTest, CaptureLastsWhileAnyButtonIsHeld) {
    C_Window w;
    Recorder rec;
    MakeDemoWindow(w);
    rec.Attach(w);
    Win_Headless_MouseDown(&w, 3, 50, 50);
    Win_Headless_MouseDown(&w, 2, 50, 50);
    Win_Headless_MouseUp(&w, 3, 50, 50);
    Pump();
    EXPECT_EQ(w.captured, 1.0f);
    Win_HeadlessWindowInfo info;
    ASSERT_TRUE(Win_Headless_GetWindowInfo(&w, &info));
    EXPECT_TRUE(info.captured);
    Win_Headless_MouseUp(&w, 2, 60, 61);
    Pump();
    EXPECT_EQ(w.captured, 0.0f);
    ASSERT_TRUE(Win_Headless_GetWindowInfo(&w, &info));
    EXPECT_FALSE(info.captured);
    EXPECT_EQ(rec.Input(), (Calls{{"mouseDown", {0, 0, 1, 50, 50}},
                                  {"mouseDown", {0, 1, 1, 50, 50}},
                                  {"mouseUp", {0, 0, 1, 50, 50}},
                                  {"buttonUp", {3}},
                                  {"mouseUp", {0, 1, 0, 60, 61}},
                                  {"buttonUp", {2}}}));
}

TEST_F(WindowTest, ButtonsPressedElsewhereCallNothing) {
    C_Window w;
    Recorder rec;
    MakeDemoWindow(w);
    rec.Attach(w);
    // Pressed beyond the window (no window there), then dragged in.
    Win_Headless_MouseDown(&w, 1, 1500, 900);
    Win_Headless_MouseMove(&w, 100, 100);
    Win_Headless_MouseMove(&w, 101, 100);
    Pump();
    EXPECT_TRUE(rec.Input().empty());
    EXPECT_EQ(w.buttonLeft, 1.0f);  // the state is still recorded
    // Released inside without a press there: no mouse-up.
    Win_Headless_MouseUp(&w, 1, 101, 100);
    Pump();
    EXPECT_TRUE(rec.Input().empty());
    Win_Headless_MouseMove(&w, 102, 100);
    Pump();
    EXPECT_EQ(rec.Input(), (Calls{{"mouseMove", {0, 0, 0, 102, 100}}}));
}

TEST_F(WindowTest, DisabledOrHiddenWindowsGetNoMouseInput) {
    C_Window w;
    Recorder rec;
    MakeDemoWindow(w);
    rec.Attach(w);
    w.SetEnabled(0);
    Win_Headless_MouseMove(&w, 10, 10);
    Win_Headless_MouseDown(&w, 1, 10, 10);
    Win_Headless_MouseUp(&w, 1, 10, 10);
    Pump();
    EXPECT_TRUE(rec.Input().empty());
    w.SetEnabled(1);
    w.SetVisible(0);  // hiding takes activation and focus away
    EXPECT_EQ(rec.Input(), (Calls{{"deactivate", {}}, {"killFocus", {}}}));
    Win_Headless_MouseMove(&w, 10, 10);
    Pump();
    EXPECT_EQ(rec.Input().size(), 2u);
}

TEST_F(WindowTest, MouseMoveShowsTheWindowCursor) {
    C_Window w;
    MakeDemoWindow(w);
    EXPECT_EQ(Win_Headless_GetCursorShape(), WIN_CURSOR_NONE);  // hidden at creation
    w.SetCursorId(WIN_IDC_CROSS);
    Win_Headless_MouseMove(&w, 11, 10);
    Pump();
    EXPECT_EQ(Win_Headless_GetCursorShape(), WIN_CURSOR_CROSS);
}

// Shift capitalises letters (over Caps Lock too) and picks the shifted
// symbols; keys without a character carry 0.
TEST_F(WindowTest, KeysTranslateWithTheKeyboardState) {
    C_Window w;
    Recorder rec;
    MakeDemoWindow(w);
    rec.Attach(w);
    Win_Headless_KeyDown('A');
    Win_Headless_KeyUp('A');
    Win_Headless_KeyDown(WIN_VK_SHIFT);
    Win_Headless_KeyDown('A');
    Win_Headless_KeyDown('1');
    Win_Headless_KeyDown(WIN_VK_OEM_2);
    Win_Headless_KeyUp(WIN_VK_SHIFT);
    Win_Headless_KeyDown(WIN_VK_F1);
    Win_Headless_KeyDown(WIN_VK_RETURN);
    Win_Headless_KeyUp(WIN_VK_LEFT);
    Win_Headless_KeyDown(WIN_VK_MULTIPLY);  // pad keys keep their character
    Win_Headless_KeyDown(WIN_VK_CAPITAL);   // Caps Lock on
    Win_Headless_KeyUp(WIN_VK_CAPITAL);
    Win_Headless_KeyDown('B');
    Win_Headless_KeyDown(WIN_VK_SHIFT);
    Win_Headless_KeyDown('B');
    Win_Headless_KeyDown(WIN_VK_SUBTRACT);
    Win_Headless_KeyDown(WIN_VK_BACK);
    Pump();
    EXPECT_EQ(rec.Input(), (Calls{{"keyDown", {'a', 'A'}},
                                  {"keyUp", {'a', 'A'}},
                                  {"keyDown", {0, WIN_VK_SHIFT}},
                                  {"keyDown", {'A', 'A'}},
                                  {"keyDown", {'!', '1'}},
                                  {"keyDown", {'?', WIN_VK_OEM_2}},
                                  {"keyUp", {0, WIN_VK_SHIFT}},
                                  {"keyDown", {0, WIN_VK_F1}},
                                  {"keyDown", {13, WIN_VK_RETURN}},
                                  {"keyUp", {0, WIN_VK_LEFT}},
                                  {"keyDown", {'*', WIN_VK_MULTIPLY}},
                                  {"keyDown", {0, WIN_VK_CAPITAL}},
                                  {"keyUp", {0, WIN_VK_CAPITAL}},
                                  {"keyDown", {'B', 'B'}},
                                  {"keyDown", {0, WIN_VK_SHIFT}},
                                  {"keyDown", {'B', 'B'}},
                                  {"keyDown", {'-', WIN_VK_SUBTRACT}},
                                  {"keyDown", {8, WIN_VK_BACK}}}));
}

TEST_F(WindowTest, KeysGoToTheFocusWindowOnly) {
    C_Window first;
    C_Window second;
    Recorder a;
    Recorder b;
    MakeDemoWindow(first);
    a.Attach(first);
    b.Attach(second);
    second.SetX(900, 0);
    ASSERT_NE(second.Create(), 0u);  // takes the focus; the first hears of it
    Win_Headless_KeyDown('K');
    Pump();
    EXPECT_EQ(a.Input(), (Calls{{"deactivate", {}}, {"killFocus", {}}}));
    // The second window heard its own sizing after it was attached, then the key.
    ASSERT_FALSE(b.Input().empty());
    EXPECT_EQ(b.Input().back(), (CallRecord{"keyDown", {'k', 'K'}}));
}

struct MessageCase {
    Win_MessageType type;
    std::int32_t param;
    std::vector<CallRecord> expected;
};

void PrintTo(const MessageCase& c, std::ostream* os) { *os << "message " << c.type << " param " << c.param; }

class MessageTest : public HeadlessTest, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(MessageTest, EachMessageCallsItsCallbacks) {
    const MessageCase& c = GetParam();
    C_Window w;
    Recorder rec;
    MakeDemoWindow(w);
    Win_Headless_SetFixedStep(0.0);
    Pump();
    rec.Attach(w);
    ASSERT_TRUE(Win_Headless_PostMessage(&w, c.type, c.param));
    ASSERT_TRUE(Win_ProcessMessages());
    EXPECT_EQ(rec.calls, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Messages, MessageTest,
                         ::testing::Values(MessageCase{WIN_MSG_ACTIVATE, 1, {{"activate", {}}}},
                                           MessageCase{WIN_MSG_ACTIVATE, 0, {{"deactivate", {}}}},
                                           MessageCase{WIN_MSG_ACTIVATE, 2, {}},
                                           MessageCase{WIN_MSG_SETFOCUS, 0, {{"setFocus", {}}}},
                                           MessageCase{WIN_MSG_KILLFOCUS, 0, {{"killFocus", {}}}},
                                           MessageCase{WIN_MSG_SIZE, 0, {{"size", {}}, {"paint", {}}}},
                                           MessageCase{WIN_MSG_PAINT, 0, {{"paint", {}}}},
                                           MessageCase{WIN_MSG_SHOWWINDOW, 1, {{"paint", {}}}},
                                           MessageCase{WIN_MSG_DOUBLECLICK, 3, {{"doubleClick", {3}}}},
                                           MessageCase{WIN_MSG_CREATE, 0, {{"create", {}}}},
                                           MessageCase{WIN_MSG_CLOSE, 0, {{"close", {}}}}));

TEST_F(WindowTest, TimerTicksCarryButtonsAndPointer) {
    ASSERT_TRUE(Win_Headless_SetFixedStep(0.01));
    C_Window w;
    Recorder rec;
    MakeDemoWindow(w);
    Pump(3);
    rec.Attach(w);
    Win_Headless_MouseDown(&w, 1, 7, 8);
    ASSERT_TRUE(Win_ProcessMessages());  // the press
    ASSERT_TRUE(Win_ProcessMessages());  // queue empty: a tick
    ASSERT_EQ(rec.calls.size(), 2u);
    EXPECT_EQ(rec.calls[1], (CallRecord{"timer", {1, 0, 0, 7, 8}}));
}

TEST_F(WindowTest, AWindowThatMayNotMoveStaysPut) {
    C_Window w;
    MakeDemoWindow(w);
    Win_HeadlessWindowInfo info;
    ASSERT_TRUE(Win_Headless_DragWindow(&w, 100, 50));
    ASSERT_TRUE(Win_Headless_GetWindowInfo(&w, &info));
    EXPECT_EQ(info.windowRect.x0, 100);
    w.SetMovable(0);
    ASSERT_TRUE(Win_Headless_DragWindow(&w, 300, 300));
    ASSERT_TRUE(Win_Headless_GetWindowInfo(&w, &info));
    EXPECT_EQ(info.windowRect.x0, w.windowRect.x0);
    EXPECT_EQ(info.windowRect.y0, w.windowRect.y0);
    EXPECT_EQ(info.clientRect.Width(), 800);
}

TEST_F(WindowTest, ACallbackMayDeleteItsWindow) {
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

TEST_F(WindowTest, ChildWindowsFollowTheirParent) {
    C_Window parent;
    MakeDemoWindow(parent);
    auto* child = new C_Window;
    ASSERT_TRUE(child->SetParent(&parent));
    EXPECT_FALSE(parent.SetParent(child));  // no cycles
    EXPECT_EQ(parent.children.Count(), 1u);
    child->SetBorderStyle(1);
    child->SetGeometry(C_Frame(10, 20, 100, 50, 0x00, 0x33));
    ASSERT_NE(child->Create(), 0u);
    Win_HeadlessWindowInfo pi;
    Win_HeadlessWindowInfo ci;
    ASSERT_TRUE(Win_Headless_GetWindowInfo(&parent, &pi));
    ASSERT_TRUE(Win_Headless_GetWindowInfo(child, &ci));
    // Laid out in the parent's client area.
    EXPECT_EQ(ci.windowRect.x0, pi.clientRect.x0 + 10);
    EXPECT_EQ(ci.windowRect.y0, pi.clientRect.y0 + 20);
    EXPECT_EQ(ci.windowRect.Width(), 100);
    EXPECT_NE(ci.style & WIN_STYLE_POPUP, 0u);
    parent.Destroy();
    EXPECT_EQ(child->created, 0);
    delete child;
    EXPECT_EQ(parent.children.Count(), 0u);
}

}  // namespace
