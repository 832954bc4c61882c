// The SDL platform with a real X server: the test starts its own Xvfb on a
// free display, opens the demo's window through the framework, and checks
// what the server holds (window size and place, title, the presented
// pixels), then sends the window manager's close request.
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
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

// The desktop's message bus library keeps a connection buffer for the life
// of the process; it is not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace {

using Clock = std::chrono::steady_clock;

bool HaveXvfb() { return std::system("command -v Xvfb >/dev/null 2>&1") == 0; }

// An Xvfb of our own. It dies with the test process (parent-death signal)
// and is stopped by the destructor otherwise.
class Xvfb {
public:
    Xvfb() = default;
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;
    ~Xvfb() { Stop(); }

    // The display name (":N"), or empty when the server did not start.
    std::string Start() {
        int fds[2];
        if (pipe(fds) != 0) return std::string();
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        const std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen",  "0",
                              "1280x1024x24", "-nolisten",  "tcp",      "-noreset", nullptr};
        const pid_t parent = getpid();
        m_pid = fork();
        if (m_pid < 0) return std::string();
        if (m_pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) _exit(1);
            const int null = open("/dev/null", O_RDWR);
            if (null >= 0) {
                dup2(null, 1);
                dup2(null, 2);
            }
            execvp("Xvfb", const_cast<char* const*>(argv));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (number.find('\n') == std::string::npos && poll(&p, 1, 15000) > 0) {
            char buffer[16];
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0) break;
            number.append(buffer, static_cast<std::size_t>(n));
        }
        close(fds[0]);
        const std::size_t end = number.find('\n');
        if (end == std::string::npos) Stop();
        return end == std::string::npos ? std::string() : ":" + number.substr(0, end);
    }

    void Stop() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGTERM);
        const auto deadline = Clock::now() + std::chrono::seconds(3);
        int status = 0;
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

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
    Xvfb server;
    std::string display;
    Display* x = nullptr;
    C_Window window;

    void SetUp() override {
        if (!HaveXvfb()) GTEST_SKIP() << "Xvfb is not installed";
        display = server.Start();
        ASSERT_FALSE(display.empty()) << "Xvfb did not report a display";
        setenv("DISPLAY", display.c_str(), 1);
        ASSERT_TRUE(Win_SelectPlatform("sdl"));
        ASSERT_TRUE(Win_SelectPlatform("sdl"));  // a fresh start of the running platform
        ASSERT_STREQ(Win_GetPlatformName(), "sdl");
        x = XOpenDisplay(display.c_str());
        ASSERT_NE(x, nullptr);
    }

    void TearDown() override {
        // The framework lets go of the server before the server goes.
        window.Destroy();
        Win_SelectPlatform("headless");
        if (x) XCloseDisplay(x);
        server.Stop();
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

    // A right click as the server delivers it: X's button 3 is the right one.
    rec.calls.clear();
    for (const int type : {ButtonPress, ButtonRelease}) {
        XEvent e;
        std::memset(&e, 0, sizeof e);
        e.xbutton.type = type;
        e.xbutton.display = x;
        e.xbutton.window = xw;
        e.xbutton.root = DefaultRootWindow(x);
        e.xbutton.button = Button3;
        e.xbutton.x = 10;
        e.xbutton.y = 20;
        e.xbutton.same_screen = True;
        XSendEvent(x, xw, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &e);
    }
    XFlush(x);
    EXPECT_TRUE(PumpUntil([&] { return rec.Text().find("buttonUp(3)") != std::string::npos; })) << rec.Text();
    EXPECT_NE(rec.Text().find("mouseDown(0,0,1,10,20)"), std::string::npos) << rec.Text();

    // Keys as the server delivers them: Shift, then 'a', become the
    // framework's codes and characters.
    rec.calls.clear();
    auto key = [&](KeySym sym, bool press) {
        XEvent e;
        std::memset(&e, 0, sizeof e);
        e.xkey.type = press ? KeyPress : KeyRelease;
        e.xkey.display = x;
        e.xkey.window = xw;
        e.xkey.root = DefaultRootWindow(x);
        e.xkey.keycode = XKeysymToKeycode(x, sym);
        e.xkey.same_screen = True;
        XSendEvent(x, xw, True, press ? KeyPressMask : KeyReleaseMask, &e);
    };
    key(XK_Shift_L, true);
    key(XK_a, true);
    key(XK_a, false);
    key(XK_Shift_L, false);
    XFlush(x);
    const Calls typed{
        {"keyDown", {0, WIN_VK_SHIFT}}, {"keyDown", {'A', 'A'}}, {"keyUp", {'A', 'A'}}, {"keyUp", {0, WIN_VK_SHIFT}}};
    auto keys = [&] {
        Calls out;
        for (const CallRecord& c : rec.calls)
            if (c.name == "keyDown" || c.name == "keyUp") out.push_back(c);
        return out;
    };
    EXPECT_TRUE(PumpUntil([&] { return keys().size() >= typed.size(); }));
    EXPECT_EQ(keys(), typed);

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
