// The clock (real and fixed-step), scheduled input, system colours, cursors,
// display capabilities and modes, and the choice of platform.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "../test_support.h"
#include "math/color.h"
#include "recorder.h"

namespace {

// The demo's pattern: read once at start-up, then per frame a reading after
// the pump and one after drawing; frames that never read the clock still
// advance it. Real time is monotonic with a fine resolution.
TEST_F(HeadlessTest, TheClockMeasuresOneStepPerFrameOrRealTime) {
    ASSERT_TRUE(Win_Headless_SetFixedStep(0.02));
    ASSERT_TRUE(Win_InitTimer());
    EXPECT_DOUBLE_EQ(Win_GetClockState().secondsPerTick, 0.02);
    const double start = Win_GetTime();
    for (int frame = 1; frame <= 4; ++frame) {
        ASSERT_TRUE(Win_ProcessMessages());
        const double frameStart = Win_GetTime();
        EXPECT_NEAR(frameStart - start, 0.02 * (frame - 1), 1e-12);
        EXPECT_DOUBLE_EQ(Win_GetTime() - frameStart, 0.02);
    }
    ASSERT_TRUE(Win_Headless_SetFixedStep(0.5));
    EXPECT_EQ(Win_Headless_GetClock(), 0.0);
    for (int i = 0; i < 3; ++i) Win_ProcessMessages();
    EXPECT_DOUBLE_EQ(Win_Headless_GetClock(), 1.0);
    ASSERT_TRUE(Win_Headless_Tick(2));
    EXPECT_DOUBLE_EQ(Win_Headless_GetClock(), 2.0);
    EXPECT_FALSE(Win_Headless_SetFixedStep(-1.0));

    ASSERT_TRUE(Win_Headless_SetFixedStep(0.0));
    EXPECT_FALSE(Win_Headless_Tick(1));  // real time cannot be ticked
    ASSERT_TRUE(Win_InitTimer());
    EXPECT_LE(Win_GetClockState().secondsPerTick, 0.001);
    const double a = Win_GetTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const double b = Win_GetTime();
    EXPECT_GE(b - a, 0.004);
    EXPECT_LT(b - a, 5.0);
}

// A scripted run on a 0.1 s step, frame by frame what the callbacks heard:
// "frame:calls". The window closes the way the demo's does.
std::string RunScript() {
    EXPECT_TRUE(Win_SelectPlatform("headless"));
    EXPECT_TRUE(Win_Headless_SetFixedStep(0.1));
    Win_InitTimer();
    C_Window w;
    Recorder rec;
    w.SetBorderStyle(1);
    w.SetGeometry(C_Frame(0, 0, 100, 100, 0x00, 0x33));
    EXPECT_NE(w.Create(), 0u);
    rec.Attach(w);
    const Win_HeadlessEvent events[] = {{0.45, WIN_HEADLESS_CLOSE, 0, 0, 0, nullptr},
                                        {0.25, WIN_HEADLESS_MOUSEMOVE, 0, 3, 4, nullptr},
                                        {0.25, WIN_HEADLESS_KEYDOWN, 'X', 0, 0, nullptr},
                                        {10.0, WIN_HEADLESS_MOUSEMOVE, 0, 3, 4, nullptr}};  // never reached
    EXPECT_TRUE(Win_Headless_Schedule(events, 4));
    std::string log;
    int frame = 1;
    for (; frame < 50 && Win_ProcessMessages(); ++frame) {
        Win_GetTime();
        if (!rec.Text().empty()) log += std::to_string(frame) + ":" + rec.Text() + " ";
        if (rec.Text() == "close()") {
            w.Destroy();
            Win_Quit();
        }
        rec.calls.clear();
    }
    EXPECT_TRUE(Win_Headless_ClearSchedule());
    return log + "ended at " + std::to_string(frame);
}

TEST_F(HeadlessTest, ScheduledEventsEnterTheQueueOnTimeAndReplayIdentically) {
    // Frame k pumps at clock (k - 1) x 0.1: events at 0.25 enter at frame 4,
    // one message per frame; the close at 0.45 enters at frame 6.
    const std::string first = RunScript();
    EXPECT_EQ(first, "4:mouseMove(0,0,0,3,4) 5:keyDown(120,88) 6:close() ended at 7");
    EXPECT_EQ(RunScript(), first);

    // A bad event refuses the whole schedule: no such button or key, a
    // negative time, an unknown kind.
    const Win_HeadlessEvent bad[] = {{0.0, WIN_HEADLESS_MOUSEDOWN, 4, 0, 0, nullptr},
                                     {0.0, WIN_HEADLESS_KEYUP, 0, 0, 0, nullptr},
                                     {-1.0, WIN_HEADLESS_MOUSEUP, 1, 0, 0, nullptr},
                                     {0.0, static_cast<Win_HeadlessEventKind>(9), 0, 0, 0, nullptr}};
    for (const Win_HeadlessEvent& b : bad) {
        const Win_HeadlessEvent events[] = {Win_HeadlessEvent{}, b};
        EXPECT_FALSE(Win_Headless_Schedule(events, 2)) << b.kind;
    }
    EXPECT_FALSE(Win_Headless_Schedule(nullptr, 1));
    EXPECT_TRUE(Win_Headless_Schedule(nullptr, 0));
}

TEST_F(HeadlessTest, SystemColoursKeepAlphaAndCursorsOutsideTheTableChangeNothing) {
    const std::pair<std::int32_t, float> colours[] = {
        {27, 200.0f / 255.0f}, {2, 240.0f / 255.0f}, {30, 1.0f}, {-1, 0.0f}, {29, 0.0f}, {33, 0.0f}, {1000, 0.0f}};
    for (const auto& [index, grey] : colours) {
        C_Color c(0.1f, 0.2f, 0.3f, 0.7f);
        EXPECT_TRUE(Win_GetSysColor(c, index));
        EXPECT_EQ(c, C_Color(grey, grey, grey, 0.7f)) << index;
    }
    const std::pair<std::int32_t, Win_CursorShape> cursors[] = {{WIN_IDC_CROSS, WIN_CURSOR_CROSS},
                                                                {61, WIN_CURSOR_CROSS},
                                                                {76, WIN_CURSOR_CROSS},
                                                                {WIN_IDC_WAIT, WIN_CURSOR_WAIT},
                                                                {WIN_IDC_APPSTARTING, WIN_CURSOR_APPSTARTING}};
    for (const auto& [id, shape] : cursors) {
        EXPECT_TRUE(Win_SetCursor(id));
        EXPECT_EQ(Win_Headless_GetCursorShape(), shape) << id;
    }
}

// Other capabilities read as their own number. A refused mode: a message
// box, true, and the loop ends.
TEST_F(HeadlessTest, DisplayModesSwitchAndRestore) {
    EXPECT_EQ(Win_GetDisplayCaps(5), 5);
    EXPECT_TRUE(Win_SetDisplayMode(800, 600, 16));
    EXPECT_EQ(DisplayText(), "800x600x16");
    EXPECT_TRUE(Win_RestoreDisplayMode());
    EXPECT_EQ(DisplayText(), "1920x1080x32");
    ASSERT_TRUE(Win_Headless_SetScreenSize(1280, 1024));
    EXPECT_FALSE(Win_Headless_SetScreenSize(0, 10));
    EXPECT_TRUE(Win_SetDisplayMode(123, 45, 32));
    EXPECT_STREQ(Win_Headless_GetLastMessageBox(), "Display Mode Not Compatible");
    EXPECT_EQ(DisplayText(), "1280x1024x32");
    EXPECT_FALSE(Win_ProcessMessages());
}

// Environment variables are read when a backend starts.
class EnvironmentTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const char* name : {"QUILLORY_FIXED_DT", "QUILLORY_HEADLESS_SCREEN", "QUILLORY_PLATFORM",
                                 "QUILLORY_HEADLESS_CLOSE_AT", "QUILLORY_HEADLESS_SNAPSHOT"})
            unsetenv(name);
        Win_SelectPlatform("headless");
    }
};

TEST_F(EnvironmentTest, StepScreenPlatformAndTheEndOfARunComeFromTheEnvironment) {
    // Malformed values (a step of zero too) fall back to the defaults.
    const struct {
        const char *step, *screen;
        double secondsPerTick;
        const char* shown;
    } cases[] = {{"0.25", "1024x768", 0.25, "1024x768x32"},
                 {"fast", "99999x5", 1e-9, "1920x1080x32"},
                 {"0", "", 1e-9, "1920x1080x32"}};
    for (const auto& c : cases) {
        setenv("QUILLORY_FIXED_DT", c.step, 1);
        setenv("QUILLORY_HEADLESS_SCREEN", c.screen, 1);
        ASSERT_TRUE(Win_SelectPlatform("headless"));
        Win_InitTimer();
        EXPECT_DOUBLE_EQ(Win_GetClockState().secondsPerTick, c.secondsPerTick) << c.step;
        EXPECT_EQ(DisplayText(), c.shown);
    }
    setenv("QUILLORY_PLATFORM", "headless", 1);
    ASSERT_TRUE(Win_SelectPlatform(nullptr));
    EXPECT_STREQ(Win_GetPlatformName(), "headless");
    EXPECT_FALSE(Win_SelectPlatform("no-such-platform"));
    EXPECT_STREQ(Win_GetPlatformName(), "headless");

    // A run can end by itself with a snapshot of the window.
    const std::string path = Quillory_TempPath("last.img");
    std::remove(path.c_str());
    setenv("QUILLORY_FIXED_DT", "0.1", 1);
    setenv("QUILLORY_HEADLESS_CLOSE_AT", "0.35", 1);
    setenv("QUILLORY_HEADLESS_SNAPSHOT", path.c_str(), 1);
    ASSERT_TRUE(Win_SelectPlatform("headless"));
    Win_InitTimer();
    C_Window w;
    w.SetBorderStyle(1);
    w.SetGeometry(C_Frame(0, 0, 3, 2, 0x00, 0x33));
    ASSERT_NE(w.Create(), 0u);
    w.m_onClose = [](C_Window* win) {
        win->Destroy();
        Win_Quit();
    };
    C_Image picture;
    ASSERT_TRUE(picture.CreateEmpty(3, 2, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(0, 0, 255, 0)));
    int frames = 0;
    for (; frames < 100 && Win_ProcessMessages(); ++frames) {
        Win_GetTime();
        ASSERT_TRUE(w.Present(&picture, C_Vector2Di(0, 0)));
    }
    EXPECT_EQ(frames, 5);  // the request enters at frame 5 (clock 0.4) and is handled there
    EXPECT_EQ(w.created, 0);
    C_Image saved;
    ASSERT_TRUE(saved.LoadFromFile(path.c_str(), 0));
    ASSERT_TRUE(saved.width == 3u && saved.height == 2u);
    EXPECT_EQ(PixelAt(saved, 2, 1), 0xFF0000FFu);  // blue
}

}  // namespace
