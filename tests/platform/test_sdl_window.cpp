// The SDL platform with a real X server: ctest runs this program under
// xvfb-run (QUILLORY_TEST_XVFB set), the test opens the demo's window through
// the framework and checks what the server holds (window size and place,
// title, the presented pixels, input as the server delivers it), then sends
// the window manager's close request.
#if defined(QUILLORY_TEST_SDL_X11)

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "recorder.h"

// Xlib defines short macros (None, Bool, Status...): it comes last.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <X11/Xutil.h>

// The desktop's message bus library keeps a connection buffer for the life
// of the process; it is not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace {

using Clock = std::chrono::steady_clock;

Window FindByTitle(Display* display, Window parent, const char* title) {
    Window root = 0;
    Window up = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name) {
            if (std::strcmp(name, title) == 0) found = children[i];
            XFree(name);
        }
        if (!found) found = FindByTitle(display, children[i], title);
    }
    if (children) XFree(children);
    return found;
}

class SdlWindowTest : public ::testing::Test {
protected:
    Display* x = nullptr;
    C_Window window;

    void SetUp() override {
        // Never the developer's own screen: only the server xvfb-run made.
        if (!std::getenv("QUILLORY_TEST_XVFB")) GTEST_SKIP() << "runs under xvfb-run only";
        ASSERT_TRUE(Win_SelectPlatform("sdl"));
        ASSERT_TRUE(Win_SelectPlatform("sdl"));  // a fresh start of the running platform
        ASSERT_STREQ(Win_GetPlatformName(), "sdl");
        x = XOpenDisplay(nullptr);
        ASSERT_NE(x, nullptr);
    }

    void TearDown() override {
        // The framework lets go of the server before the server goes.
        window.Destroy();
        Win_SelectPlatform("headless");
        if (x) XCloseDisplay(x);
    }

    // Pumps until `done` or the deadline; sleeps briefly whenever the queue
    // was empty so a waiting test does not spin.
    template <typename Done>
    static bool PumpUntil(Done done, std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
        const auto deadline = Clock::now() + limit;
        while (!done()) {
            if (Clock::now() > deadline) return false;
            Win_ProcessMessages();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }
};

TEST_F(SdlWindowTest, RealWindowShowsPicturesAndHearsTheWindowManager) {
    EXPECT_EQ(Win_GetDisplayCaps(WIN_CAPS_HORZRES), 1280);
    EXPECT_EQ(Win_GetDisplayCaps(WIN_CAPS_VERTRES), 1024);

    const char* title = "Quillory window test";
    window.SetTitle(title);
    window.SetX(0, 0);
    window.SetY(0, 0);
    window.SetWidth(800, 3);
    window.SetHeight(600, 0x30);
    ASSERT_NE(window.Create(), 0u);
    Recorder rec;
    rec.Attach(window);

    // The server's view of the window: the client area at the top-left
    // corner, exactly 800 x 600, with the title.
    Window xw = 0;
    ASSERT_TRUE(PumpUntil([&] { return (xw = FindByTitle(x, DefaultRootWindow(x), title)) != 0; }));
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(x, xw, &attributes));
    EXPECT_TRUE(attributes.width == 800 && attributes.height == 600 && attributes.map_state == IsViewable);
    int rootX = -1;
    int rootY = -1;
    Window child = 0;
    XTranslateCoordinates(x, xw, DefaultRootWindow(x), 0, 0, &rootX, &rootY, &child);
    EXPECT_TRUE(rootX == 0 && rootY == 0);

    window.SetTitle("Renamed");
    EXPECT_TRUE(PumpUntil([&] { return FindByTitle(x, DefaultRootWindow(x), "Renamed") == xw; }));

    // A bottom-up picture: stored row r is painted with red = r, green = column.
    C_Image picture;
    ASSERT_TRUE(picture.CreateEmpty(64, 48, GFX_FMT_ARGB8888, GFX_FMT_NONE));
    picture.bottomUp = 1;
    for (std::uint32_t r = 0; r < 48; ++r)
        for (std::uint32_t c = 0; c < 64; ++c) SetPixel(picture, c, 47 - r, (r * 5) << 16 | (c * 3) << 8 | 0x55u);
    ASSERT_TRUE(window.Present(&picture, C_Vector2Di(100, 50)));

    XImage* shot = XGetImage(x, xw, 0, 0, 800, 600, AllPlanes, ZPixmap);
    ASSERT_NE(shot, nullptr);
    auto at = [&](int px, int py) { return static_cast<std::uint32_t>(XGetPixel(shot, px, py)) & 0xFFFFFFu; };
    // Screen row 50 + y holds stored row 47 - y.
    for (int y : {0, 1, 23, 47})
        for (int c : {0, 1, 40, 63}) {
            const std::uint32_t expected =
                static_cast<std::uint32_t>((47 - y) * 5) << 16 | static_cast<std::uint32_t>(c * 3) << 8 | 0x55u;
            EXPECT_EQ(at(100 + c, 50 + y), expected) << "column " << c << " row " << y;
        }
    // The margins: the button-face background on every side.
    for (auto [px, py] : {std::pair{0, 0}, std::pair{99, 60}, std::pair{164, 60}, std::pair{120, 49},
                          std::pair{120, 98}, std::pair{799, 599}})
        EXPECT_EQ(at(px, py), 0xF0F0F0u) << px << "," << py;
    XDestroyImage(shot);

    // The pointer, moved by the server, arrives in client coordinates.
    rec.calls.clear();
    XWarpPointer(x, None, xw, 0, 0, 0, 0, 10, 20);
    XFlush(x);
    EXPECT_TRUE(PumpUntil([&] { return rec.Text().find("mouseMove(0,0,0,10,20)") != std::string::npos; }));

    // Button and key events share their layout: `detail` is the button or
    // the key code.
    auto send = [&](int type, long mask, unsigned detail) {
        XEvent e;
        std::memset(&e, 0, sizeof e);
        e.xkey.type = type;
        e.xkey.display = x;
        e.xkey.window = xw;
        e.xkey.root = DefaultRootWindow(x);
        e.xkey.keycode = detail;
        e.xkey.x = 10;
        e.xkey.y = 20;
        e.xkey.same_screen = True;
        XSendEvent(x, xw, True, mask, &e);
    };
    // A right click: X's button 3 is the right one.
    rec.calls.clear();
    send(ButtonPress, ButtonPressMask, Button3);
    send(ButtonRelease, ButtonReleaseMask, Button3);
    XFlush(x);
    EXPECT_TRUE(PumpUntil([&] { return rec.Text().find("buttonUp(3)") != std::string::npos; })) << rec.Text();
    EXPECT_NE(rec.Text().find("mouseDown(0,0,1,10,20)"), std::string::npos) << rec.Text();

    // Shift, then 'a', become the framework's codes and characters.
    rec.calls.clear();
    auto key = [&](KeySym sym, bool press) {
        send(press ? KeyPress : KeyRelease, press ? KeyPressMask : KeyReleaseMask, XKeysymToKeycode(x, sym));
    };
    key(XK_Shift_L, true);
    key(XK_a, true);
    key(XK_a, false);
    key(XK_Shift_L, false);
    XFlush(x);
    EXPECT_TRUE(PumpUntil([&] { return rec.Text().find("keyUp(0,16)") != std::string::npos; })) << rec.Text();
    EXPECT_NE(rec.Text().find("keyDown(0,16) keyDown(65,65) keyUp(65,65) keyUp(0,16)"), std::string::npos)
        << rec.Text();

    // The window manager's close request reaches m_onClose.
    static C_Window* closed;
    closed = nullptr;
    window.m_onClose = [](C_Window* w) { closed = w; };
    XEvent request;
    std::memset(&request, 0, sizeof request);
    request.xclient.type = ClientMessage;
    request.xclient.window = xw;
    request.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    request.xclient.format = 32;
    request.xclient.data.l[0] = static_cast<long>(XInternAtom(x, "WM_DELETE_WINDOW", False));
    request.xclient.data.l[1] = CurrentTime;
    ASSERT_NE(XSendEvent(x, xw, False, NoEventMask, &request), 0);
    XFlush(x);
    EXPECT_TRUE(PumpUntil([] { return closed != nullptr; }));
    EXPECT_EQ(closed, &window);
    EXPECT_EQ(window.created, 1);  // the application decides; it did not close
}

}  // namespace

#endif  // QUILLORY_TEST_SDL_X11
