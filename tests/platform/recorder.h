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
        using I = std::int32_t;
        w.userValue1 = reinterpret_cast<std::intptr_t>(this);
        w.m_onActivate = Log<0>;
        w.m_onDeactivate = Log<1>;
        w.m_onButtonUp = Log<2, I>;
        w.m_onDoubleClick = Log<3, I>;
        w.m_onSetFocus = Log<4>;
        w.m_onKillFocus = Log<5>;
        w.m_onKeyDown = Log<6, I, I>;
        w.m_onKeyUp = Log<7, I, I>;
        w.m_onCreate = Log<8>;
        w.m_onDestroy = Log<9>;
        w.m_onMouseDown = Log<10, I, I, I, I, I>;
        w.m_onMouseMove = Log<11, I, I, I, I, I>;
        w.m_onMouseUp = Log<12, I, I, I, I, I>;
        w.m_onTimer = Log<13, I, I, I, I, I>;
        w.m_onPaint = Log<14>;
        w.m_onSize = Log<15>;
        w.m_onClose = Log<16>;
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
    // One callback per name; the arguments are logged as they came.
    template <int Name, typename... Args>
    static void Log(C_Window* w, Args... args) {
        static const char* const names[] = {
            "activate", "deactivate", "buttonUp",  "doubleClick", "setFocus", "killFocus", "keyDown", "keyUp", "create",
            "destroy",  "mouseDown",  "mouseMove", "mouseUp",     "timer",    "paint",     "size",    "close"};
        reinterpret_cast<Recorder*>(w->userValue1)->calls.push_back(CallRecord{names[Name], {args...}});
    }
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
