// Shared helpers of the platform tests: a headless fixture and a recorder
// that logs every window callback with its arguments.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/timing.h"
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
