// Shared helpers of the platform tests: a headless fixture, a recorder that
// logs every window callback with its arguments, scripted input and pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/timing.h"
#include "image/image.h"
#include "platform/window.h"

struct CallRecord {
    std::string name;
    std::vector<std::int32_t> args;

    bool operator==(const CallRecord& o) const { return name == o.name && args == o.args; }
};

inline std::ostream& operator<<(std::ostream& os, const CallRecord& r) {
    os << r.name << "(";
    for (std::size_t i = 0; i < r.args.size(); ++i) os << (i ? "," : "") << r.args[i];
    return os << ")";
}

// Installs every callback of a window; each appends to `calls`. The window
// finds its recorder through userValue1.
class Recorder {
public:
    std::vector<CallRecord> calls;

    void Attach(C_Window& w) {
        w.userValue1 = reinterpret_cast<std::intptr_t>(this);
        w.m_onActivate = [](C_Window* win) { Of(win).Log("activate", {}); };
        w.m_onDeactivate = [](C_Window* win) { Of(win).Log("deactivate", {}); };
        w.m_onButtonUp = [](C_Window* win, std::int32_t c) { Of(win).Log("buttonUp", {c}); };
        w.m_onDoubleClick = [](C_Window* win, std::int32_t c) { Of(win).Log("doubleClick", {c}); };
        w.m_onSetFocus = [](C_Window* win) { Of(win).Log("setFocus", {}); };
        w.m_onKillFocus = [](C_Window* win) { Of(win).Log("killFocus", {}); };
        w.m_onKeyDown = [](C_Window* win, std::int32_t c, std::int32_t vk) { Of(win).Log("keyDown", {c, vk}); };
        w.m_onKeyUp = [](C_Window* win, std::int32_t c, std::int32_t vk) { Of(win).Log("keyUp", {c, vk}); };
        w.m_onCreate = [](C_Window* win) { Of(win).Log("create", {}); };
        w.m_onDestroy = [](C_Window* win) { Of(win).Log("destroy", {}); };
        w.m_onMouseDown = [](C_Window* win, std::int32_t l, std::int32_t m, std::int32_t r, std::int32_t x,
                             std::int32_t y) {
            Of(win).Log("mouseDown", {l, m, r, x, y});
        };
        w.m_onMouseMove = [](C_Window* win, std::int32_t l, std::int32_t m, std::int32_t r, std::int32_t x,
                             std::int32_t y) {
            Of(win).Log("mouseMove", {l, m, r, x, y});
        };
        w.m_onMouseUp = [](C_Window* win, std::int32_t l, std::int32_t m, std::int32_t r, std::int32_t x,
                           std::int32_t y) {
            Of(win).Log("mouseUp", {l, m, r, x, y});
        };
        w.m_onTimer = [](C_Window* win, std::int32_t l, std::int32_t m, std::int32_t r, std::int32_t x,
                         std::int32_t y) {
            Of(win).Log("timer", {l, m, r, x, y});
        };
        w.m_onPaint = [](C_Window* win) { Of(win).Log("paint", {}); };
        w.m_onSize = [](C_Window* win) { Of(win).Log("size", {}); };
        w.m_onClose = [](C_Window* win) { Of(win).Log("close", {}); };
    }

    // The calls without the timer ticks and paints, which the pump makes
    // whenever the queue is empty.
    std::vector<CallRecord> Input() const {
        std::vector<CallRecord> out;
        for (const CallRecord& c : calls)
            if (c.name != "timer" && c.name != "paint") out.push_back(c);
        return out;
    }
    // The same as one line: "name(arg,arg) name()".
    std::string Text() const {
        std::ostringstream out;
        for (const CallRecord& c : Input()) out << (out.tellp() > 0 ? " " : "") << c;
        return out.str();
    }

private:
    static Recorder& Of(C_Window* w) { return *reinterpret_cast<Recorder*>(w->userValue1); }
    void Log(const char* name, std::vector<std::int32_t> args) { calls.push_back(CallRecord{name, std::move(args)}); }
};

// A fresh headless platform for every test: default screen, real-time clock,
// empty queue.
class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Win_SelectPlatform("headless"));
        ASSERT_TRUE(Win_Headless_IsRunning());
        Win_InitTimer();
    }

    // Pumps until the queue has nothing left but paints and timer ticks, or
    // `limit` calls; returns the number of calls that returned true.
    static int Pump(int limit = 50) {
        int n = 0;
        for (int i = 0; i < limit; ++i) {
            if (!Win_ProcessMessages()) break;
            ++n;
        }
        return n;
    }

    // The demo's window: client area 800 x 600 from the screen's top-left.
    static void MakeDemoWindow(C_Window& w) {
        w.SetX(0, 0);
        w.SetY(0, 0);
        w.SetWidth(800, 3);
        w.SetHeight(600, 0x30);
        ASSERT_NE(w.Create(), 0u);
    }
};

using Calls = std::vector<CallRecord>;

// Posts a script of mouse events for `w`: "move X Y", "down BUTTON X Y" and
// "up BUTTON X Y", separated by commas.
inline void PostMouse(C_Window* w, std::string script) {
    for (char& c : script)
        if (c == ',') c = ' ';
    std::istringstream in(script);
    for (std::string word; in >> word;) {
        Win_HeadlessEvent e;
        e.window = w;
        e.kind = word == "down" ? WIN_HEADLESS_MOUSEDOWN : word == "up" ? WIN_HEADLESS_MOUSEUP : WIN_HEADLESS_MOUSEMOVE;
        if (e.kind != WIN_HEADLESS_MOUSEMOVE) in >> e.code;
        in >> e.x >> e.y;
        ASSERT_TRUE(Win_Headless_Post(e));
    }
}

// A pixel of up to 32 bits, little-endian; row y counted from the top.
inline std::uint32_t PixelAt(const C_Image& image, std::uint32_t x, std::uint32_t y) {
    std::uint32_t v = 0;
    std::memcpy(&v, image.Row(y) + std::size_t{x} * (image.bpp / 8), image.bpp / 8);
    return v;
}

inline void SetPixel(C_Image& image, std::uint32_t x, std::uint32_t y, std::uint32_t v) {
    std::memcpy(image.Row(y) + std::size_t{x} * (image.bpp / 8), &v, image.bpp / 8);
}

// A picture whose pixels differ from their neighbours.
inline C_Image* Pattern(std::uint32_t w, std::uint32_t h, std::int32_t format, std::uint32_t seed) {
    auto* image = new C_Image;
    EXPECT_TRUE(image->CreateEmpty(w, h, format, GFX_FMT_NONE));
    for (std::uint32_t y = 0; y < h; ++y)
        for (std::uint32_t x = 0; x < w; ++x) SetPixel(*image, x, y, (x * 2654435761u) ^ (y * 40503u) ^ seed);
    return image;
}
