// The demo driven frame by frame on the headless platform: strokes, the
// eraser, the brush's rate limit, the caption and the title.
#include <cstdio>
#include <regex>

#include "core/string.h"
#include "demo_test_support.h"

namespace {

// Runs the demo with its data files; the test posts input between frames.
class DemoFrames : public DemoTest {
protected:
    Demo_State state;

    void SetUp() override {
        DemoTest::SetUp();
        ASSERT_TRUE(Demo_Startup(state, DemoDataDir()));
    }
    void TearDown() override {
        Demo_Shutdown(state);
        DemoTest::TearDown();
    }

    void Frames(int count) {
        for (int i = 0; i < count; ++i) ASSERT_TRUE(DemoStep(state));
    }
    std::string Title() const {
        Win_HeadlessWindowInfo info;
        return Win_Headless_GetWindowInfo(state.window, &info) ? info.title : "";
    }
};

// Frame-by-frame input: what to post before the pump of a given frame.
using Script = void (*)(C_Window* window, int frame);

// Runs `frames` frames from a fresh start and returns the checksum of each.
std::vector<std::uint64_t> Checksums(int frames, Script script, C_Image* copyAt = nullptr, int copyFrame = 0) {
    Math_SRand(1);
    Demo_State state;
    EXPECT_TRUE(Demo_Startup(state, DemoDataDir()));
    std::vector<std::uint64_t> sums;
    for (int f = 1; f <= frames; ++f) {
        if (script) script(state.window, f);
        EXPECT_TRUE(DemoStep(state));
        sums.push_back(Checksum(*state.backBuffer));
        if (copyAt && f == copyFrame) *copyAt = *state.backBuffer;
    }
    Demo_Shutdown(state);
    return sums;
}

constexpr int kStrokeY = 300;

// A left-button stroke along y = 300 from x = 200 to 605, then at frames 33
// and 34 a right-button click in the window.
void StrokeThenErase(C_Window* w, int f) {
    if (f == 2) Win_Headless_MouseDown(w, 1, 200, kStrokeY);
    if (f >= 3 && f <= 30) Win_Headless_MouseMove(w, 200 + (f - 3) * 15, kStrokeY);
    if (f == 31) Win_Headless_MouseUp(w, 1, 605, kStrokeY);
    if (f == 33) Win_Headless_MouseDown(w, 3, 400, kStrokeY);
    if (f == 34) Win_Headless_MouseUp(w, 3, 400, kStrokeY);
}

// Keys, the middle button, and moves without a button: nothing to paint.
void KeysAndMiddleButton(C_Window* w, int f) {
    if (f % 4 == 0) Win_Headless_KeyDown(WIN_VK_A + f % 26);
    if (f % 4 == 1) Win_Headless_KeyUp(WIN_VK_A + (f - 1) % 26);
    if (f == 6) Win_Headless_MouseDown(w, 2, 300, 300);
    if (f >= 7 && f <= 20 && f % 4 >= 2) Win_Headless_MouseMove(w, 300 + f * 10, 300);
    if (f == 22) Win_Headless_MouseUp(w, 2, 500, 300);
}

TEST_F(DemoTest, StrokesPaintAlongTheirPathAndTheRightReleaseWipesThem) {
    C_Image plain;
    C_Image painted;
    const std::vector<std::uint64_t> reference = Checksums(40, nullptr, &plain, 32);
    const std::vector<std::uint64_t> stroked = Checksums(40, StrokeThenErase, &painted, 32);

    // Along the path the stamps cover most of the row; away from it nothing
    // changed, the caption included.
    int changed = 0;
    int sampled = 0;
    for (std::uint32_t x = 210; x <= 590; x += 10, ++sampled)
        if (Rgb(PixelAt(painted, x, kStrokeY)) != Rgb(PixelAt(plain, x, kStrokeY))) ++changed;
    EXPECT_GE(changed, sampled * 6 / 10);
    for (std::uint32_t y = 0; y < 600; ++y) {
        if (y > kStrokeY - 60 && y < kStrokeY + 60) continue;
        for (std::uint32_t x = 0; x < 800; ++x)
            ASSERT_EQ(PixelAt(painted, x, y), PixelAt(plain, x, y)) << x << "," << y;
    }
    // Once the right button is released the frames are the unpainted ones.
    EXPECT_NE(stroked[31], reference[31]);
    EXPECT_EQ(stroked[34], reference[34]);
    EXPECT_EQ(stroked.back(), reference.back());
}

TEST_F(DemoTest, KeysMovesAndTheMiddleButtonChangeNothing) {
    EXPECT_EQ(Checksums(30, KeysAndMiddleButton), Checksums(30, nullptr));
}

TEST_F(DemoFrames, TheBrushStampsAtMostTwentyTimesPerSecondOfClock) {
    ASSERT_TRUE(Win_Headless_SetFixedStep(0.005));
    Win_InitTimer();
    state.tStart = Win_GetTime();
    Win_Headless_MouseDown(state.window, 1, 400, 300);
    Frames(1);
    // A move every frame for just under one second of clock: 20 periods of
    // the gate begin in it, so 20 stamps at most.
    for (int f = 0; f < 196; ++f) {
        Win_Headless_MouseMove(state.window, 100 + 2 * f, 300 + f % 7);
        Frames(1);
    }
    EXPECT_LE(state.stamps, 20u);
    EXPECT_GE(state.stamps, 19u);

    // Holding the button without moving stamps nothing.
    const std::uint64_t before = state.stamps;
    Frames(100);
    EXPECT_EQ(state.stamps, before);
}

TEST_F(DemoFrames, TheGateFiresInTheFirstHalfOfAPeriodOnceArmed) {
    state.elapsed = 0.0;  // armed from the start: the first stamp fires at once
    Demo_StampBrush(state, 1, 400, 300);
    EXPECT_EQ(state.stamps, 1u);
    state.elapsed = 0.01;  // same half period: disarmed
    Demo_StampBrush(state, 1, 410, 300);
    EXPECT_EQ(state.stamps, 1u);
    state.elapsed = 0.03;  // second half: arms, does not stamp
    Demo_StampBrush(state, 1, 420, 300);
    EXPECT_EQ(state.stamps, 1u);
    EXPECT_EQ(state.armed, 1);
    state.elapsed = 0.06;                 // first half of the next period
    Demo_StampBrush(state, 0, 430, 300);  // left button not held
    EXPECT_EQ(state.stamps, 1u);
    Demo_StampBrush(state, 1, 430, 300);
    EXPECT_EQ(state.stamps, 2u);
}

TEST_F(DemoFrames, AStampAcrossTheRightEdgeAlsoShowsAtTheLeftEdge) {
    Demo_StampBrush(state, 1, 795, 300);
    ASSERT_EQ(state.stamps, 1u);
    int leftCovered = 0;
    for (std::uint32_t x = 0; x < 30; ++x) leftCovered += state.paintAlpha->Row(300)[x] != 0;
    EXPECT_GT(leftCovered, 0);
    Demo_Eraser(state, 0);  // another button's release keeps the paint
    int rightCovered = 0;
    for (std::uint32_t x = 770; x < 800; ++x) rightCovered += state.paintAlpha->Row(300)[x] != 0;
    EXPECT_GT(rightCovered, 0);
    Demo_Eraser(state, 1);
    for (std::uint32_t x = 0; x < 800; ++x) ASSERT_EQ(state.paintAlpha->Row(300)[x], 0);
}

TEST_F(DemoFrames, TheCaptionIsDrawnInItsColourAtTheTopCentre) {
    Frames(1);
    const std::uint32_t navy = 0x000080;
    int top = 0;
    int elsewhere = 0;
    for (std::uint32_t y = 0; y < 600; ++y)
        for (std::uint32_t x = 0; x < 800; ++x) {
            if (Rgb(PixelAt(*state.backBuffer, x, y)) != navy) continue;
            if (y < 24 && x >= 100 && x < 700)
                ++top;
            else
                ++elsewhere;
        }
    EXPECT_GT(top, 300);
    EXPECT_EQ(elsewhere, 0);
    // Centred: about as many caption pixels left of the middle as right.
    int left = 0;
    for (std::uint32_t y = 0; y < 24; ++y)
        for (std::uint32_t x = 100; x < 400; ++x) left += Rgb(PixelAt(*state.backBuffer, x, y)) == navy;
    EXPECT_NEAR(static_cast<double>(left) / top, 0.5, 0.1);
    EXPECT_GT(Demo_Text().Length(), 0u);  // prova.txt is loaded, not drawn
}

TEST_F(DemoFrames, TheTitleShowsTheFrameRateWithSixDecimals) {
    ASSERT_TRUE(Win_Headless_SetFixedStep(0.004));
    Win_InitTimer();
    Frames(3);
    EXPECT_EQ(Title(), std::string(DEMO_TITLE_PREFIX) + "250.000000");

    ASSERT_TRUE(Win_Headless_SetFixedStep(0.0));  // real time
    Win_InitTimer();
    Frames(3);
    const std::regex rate("Quillory \\(Vellumark quality\\)    FPS:[0-9]+\\.[0-9]{6}");
    EXPECT_TRUE(std::regex_match(Title(), rate)) << Title();
}

}  // namespace
