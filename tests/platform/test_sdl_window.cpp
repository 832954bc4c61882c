// The SDL platform with a real X server (ctest runs this under xvfb-run with
// QUILLORY_TEST_XVFB set): what only a real server can tell, the window's
// size, place and title, the presented pixels, input as the server delivers
// it, and the window manager's close request. Composing is shared with the
// headless platform and checked there.
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
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            Win_ProcessMessages();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }
};

TEST_F(SdlWindowTest, RealWindowShowsPicturesAndHearsTheWindowManager) {
    EXPECT_EQ(DisplayText().rfind("1280x1024x", 0), 0u) << DisplayText();
    EXPECT_FALSE(Win_Headless_ClearSchedule());  // the headless platform's calls refuse

    window.SetTitle("Quillory window test");  // renamed once made
    window.SetX(0, 0);
    window.SetY(0, 0);
    window.SetWidth(800, 3);
    window.SetHeight(600, 0x30);
    ASSERT_NE(window.Create(), 0u);
    Recorder rec;
    rec.Attach(window);
    window.SetTitle("Renamed");

    // The client area at the top-left corner, exactly 800 x 600.
    Window xw = 0;
    ASSERT_TRUE(PumpUntil([&] { return (xw = FindByTitle(x, DefaultRootWindow(x), "Renamed")) != 0; }));
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(x, xw, &attributes));
    EXPECT_TRUE(attributes.width == 800 && attributes.height == 600 && attributes.map_state == IsViewable);
    int rootX = -1, rootY = -1;
    Window child = 0;
    XTranslateCoordinates(x, xw, DefaultRootWindow(x), 0, 0, &rootX, &rootY, &child);
    EXPECT_TRUE(rootX == 0 && rootY == 0);

    // A bottom-up picture at (100, 50): stored row r has red = 5 r, green =
    // 3 x column, so screen row 50 + y holds stored row 47 - y.
    C_Image picture;
    ASSERT_TRUE(picture.CreateEmpty(64, 48, GFX_FMT_ARGB8888, GFX_FMT_NONE));
    picture.bottomUp = 1;
    const auto colour = [](std::uint32_t r, std::uint32_t c) { return (r * 5) << 16 | (c * 3) << 8 | 0x55u; };
    for (std::uint32_t r = 0; r < 48; ++r)
        for (std::uint32_t c = 0; c < 64; ++c) SetPixel(picture, c, 47 - r, colour(r, c));
    ASSERT_TRUE(window.Present(&picture, C_Vector2Di(100, 50)));
    XImage* shot = XGetImage(x, xw, 0, 0, 800, 600, AllPlanes, ZPixmap);
    ASSERT_NE(shot, nullptr);
    int wrong = 0;
    for (int y = 0; y < 48; ++y)
        for (int c = 0; c < 64; ++c)
            wrong += (static_cast<std::uint32_t>(XGetPixel(shot, 100 + c, 50 + y)) & 0xFFFFFFu) != colour(47 - y, c);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(static_cast<std::uint32_t>(XGetPixel(shot, 99, 49)) & 0xFFFFFFu, 0xF0F0F0u);  // a margin
    XDestroyImage(shot);

    // The server's pointer arrives in client coordinates; X's button 3 is the
    // right one; Shift, then 'a', become the framework's codes and characters.
    // Button and key events share their layout: `detail` is the button or key.
    XWarpPointer(x, None, xw, 0, 0, 0, 0, 10, 20);
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
    auto key = [&](KeySym sym, bool press) {
        send(press ? KeyPress : KeyRelease, press ? KeyPressMask : KeyReleaseMask, XKeysymToKeycode(x, sym));
    };
    send(ButtonPress, ButtonPressMask, Button3);
    send(ButtonRelease, ButtonReleaseMask, Button3);
    key(XK_Shift_L, true);
    key(XK_a, true);
    key(XK_a, false);
    key(XK_Shift_L, false);
    XFlush(x);
    EXPECT_TRUE(PumpUntil([&] { return rec.Text().find("keyUp(0,16)") != std::string::npos; })) << rec.Text();
    for (const char* part : {"mouseMove(0,0,0,10,20)", "mouseDown(0,0,1,10,20)", "buttonUp(3)",
                             "keyDown(0,16) keyDown(65,65) keyUp(65,65) keyUp(0,16)"})
        EXPECT_NE(rec.Text().find(part), std::string::npos) << part << " in " << rec.Text();

    // The window manager's close request reaches m_onClose; the application
    // decides, and the recorder keeps the window.
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
    EXPECT_TRUE(PumpUntil([&] { return rec.Text().find("close()") != std::string::npos; }));
    EXPECT_EQ(window.created, 1);
}

}  // namespace

#endif  // QUILLORY_TEST_SDL_X11
