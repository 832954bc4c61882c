// Shared helpers of the platform tests: a headless fixture, a recorder that
// logs every window callback with its arguments, scripted input and pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "image/image.h"
#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/timing.h"
#include "platform/window.h"
#include "test_support.h"

// Installs every callback of a window; each logs "name(arg,arg)" to `calls`.
// The window finds its recorder through userValue1.
class Recorder {
public:
    std::vector<std::string> calls;

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

    // The calls as one line; unless `all`, without the ticks and paints of an idle pump.
    std::string Text(bool all = false) const {
        std::string out;
        for (const std::string& c : calls) {
            if (!all && (c.rfind("timer(", 0) == 0 || c == "paint()")) continue;
            out += (out.empty() ? "" : " ") + c;
        }
        return out;
    }

private:
    template <int Name, typename... Args>
    static void Log(C_Window* w, Args... args) {
        static const char* const names[] = {
            "activate", "deactivate", "buttonUp",  "doubleClick", "setFocus", "killFocus", "keyDown", "keyUp", "create",
            "destroy",  "mouseDown",  "mouseMove", "mouseUp",     "timer",    "paint",     "size",    "close"};
        std::string line = std::string(names[Name]) + "(";
        std::string separator;
        ((line += separator + std::to_string(args), separator = ","), ...);
        reinterpret_cast<Recorder*>(w->userValue1)->calls.push_back(line + ")");
    }
};

// A fresh headless platform for every test: default screen, real time.
class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Win_SelectPlatform("headless"));
        Win_InitTimer();
    }

    // Pumps until the pump reports the end or `limit` calls were made.
    static void Pump(int limit = 50) {
        for (int i = 0; i < limit && Win_ProcessMessages(); ++i) {}
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

// What the headless platform knows of the window.
inline Win_HeadlessWindowInfo InfoOf(const C_Window& w) {
    Win_HeadlessWindowInfo info;
    EXPECT_TRUE(Win_Headless_GetWindowInfo(&w, &info));
    return info;
}

// The display as its capabilities report it: "WIDTHxHEIGHTxBITS".
inline std::string DisplayText() {
    return std::to_string(Win_GetDisplayCaps(WIN_CAPS_HORZRES)) + "x" +
           std::to_string(Win_GetDisplayCaps(WIN_CAPS_VERTRES)) + "x" +
           std::to_string(Win_GetDisplayCaps(WIN_CAPS_BITSPIXEL));
}

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

// A checksum of the visible bytes, row by row from the top.
inline std::uint64_t Checksum(const C_Image& image, std::uint64_t h = 1469598103934665603ull) {
    return Fnv1aRows(h, image);
}
