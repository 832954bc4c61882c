// The demo driven frame by frame on the headless platform: one scripted
// session of strokes, the eraser and input that paints nothing, checked at a
// few frames against the session without input; the brush's rate limit, the
// caption and the title.
#include <algorithm>

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

constexpr int kStrokeY = 300;

// Frames 1-22: keys, the middle button and moves without a button, which
// paint nothing. Frames 31-60: a left-button stroke along y = 300 from
// x = 200 to 605, then at frames 63 and 64 a right-button click.
void Session(C_Window* w, int f) {
    if (f % 4 == 0 && f < 30) Win_Headless_KeyDown(WIN_VK_A + f % 26);
    if (f % 4 == 1 && f < 30) Win_Headless_KeyUp(WIN_VK_A + (f - 1) % 26);
    if (f == 6) Win_Headless_MouseDown(w, 2, 300, 300);
    if (f >= 7 && f <= 20 && f % 4 >= 2) Win_Headless_MouseMove(w, 300 + f * 10, 300);
    if (f == 22) Win_Headless_MouseUp(w, 2, 500, 300);
    if (f == 32) Win_Headless_MouseDown(w, 1, 200, kStrokeY);
    if (f >= 33 && f <= 60) Win_Headless_MouseMove(w, 200 + (f - 33) * 15, kStrokeY);
    if (f == 61) Win_Headless_MouseUp(w, 1, 605, kStrokeY);
    if (f == 63) Win_Headless_MouseDown(w, 3, 400, kStrokeY);
    if (f == 64) Win_Headless_MouseUp(w, 3, 400, kStrokeY);
}

// Runs `frames` frames from a fresh start and returns the checksum of each;
// `copy` receives frame `copyFrame`.
std::vector<std::uint64_t> Checksums(int frames, void (*script)(C_Window*, int), C_Image& copy, int copyFrame) {
    Math_SRand(1);
    Demo_State state;
    EXPECT_TRUE(Demo_Startup(state, DemoDataDir()));
    std::vector<std::uint64_t> sums;
    for (int f = 1; f <= frames; ++f) {
        if (script) script(state.window, f);
        EXPECT_TRUE(DemoStep(state));
        sums.push_back(Checksum(*state.backBuffer));
        if (f == copyFrame) copy = *state.backBuffer;
    }
    Demo_Shutdown(state);
    return sums;
}

TEST_F(DemoTest, AStrokePaintsAlongItsPathTheRightReleaseWipesItAndOtherInputPaintsNothing) {
    C_Image plain;
    C_Image painted;
    const std::vector<std::uint64_t> reference = Checksums(70, nullptr, plain, 62);
    const std::vector<std::uint64_t> session = Checksums(70, Session, painted, 62);
    EXPECT_TRUE(std::equal(session.begin(), session.begin() + 31, reference.begin()));

    // Along the path the stamps cover most of the row; away from it nothing
    // changed, the caption included.
    int changed = 0;
    int sampled = 0;
    for (std::uint32_t x = 210; x <= 590; x += 10, ++sampled)
        changed += Rgb(PixelAt(painted, x, kStrokeY)) != Rgb(PixelAt(plain, x, kStrokeY));
    EXPECT_GE(changed, sampled * 6 / 10);
    for (std::uint32_t y = 0; y < 600; ++y) {
        if (y > kStrokeY - 60 && y < kStrokeY + 60) continue;
        for (std::uint32_t x = 0; x < 800; ++x)
            ASSERT_EQ(PixelAt(painted, x, y), PixelAt(plain, x, y)) << x << "," << y;
    }
    // Once the right button is released the frames are the unpainted ones.
    EXPECT_NE(session[61], reference[61]);
    EXPECT_EQ(session[64], reference[64]);
    EXPECT_EQ(session.back(), reference.back());
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
    const std::uint64_t before = state.stamps;  // holding the button without moving stamps nothing
    Frames(100);
    EXPECT_EQ(state.stamps, before);
}

TEST_F(DemoFrames, AStampAcrossTheRightEdgeAlsoShowsAtTheLeftEdge) {
    Demo_StampBrush(state, 1, 795, 300);
    ASSERT_EQ(state.stamps, 1u);
    const auto covered = [&](std::uint32_t x0, std::uint32_t x1) {
        int n = 0;
        for (std::uint32_t x = x0; x < x1; ++x) n += state.paintAlpha->Row(300)[x] != 0;
        return n;
    };
    EXPECT_GT(covered(0, 30), 0);
    Demo_Eraser(state, 0);  // another button's release keeps the paint
    EXPECT_GT(covered(770, 800), 0);
    Demo_Eraser(state, 1);
    EXPECT_EQ(covered(0, 800), 0);
}

// The caption is drawn in its colour at the top centre; the title shows the
// frame rate with six decimals.
TEST_F(DemoFrames, TheCaptionAndTheTitle) {
    ASSERT_TRUE(Win_Headless_SetFixedStep(0.004));
    Win_InitTimer();
    Frames(3);
    EXPECT_EQ(Title(), std::string(DEMO_TITLE_PREFIX) + "250.000000");
    const std::uint32_t navy = 0x000080;
    int top = 0;
    int left = 0;
    int elsewhere = 0;
    for (std::uint32_t y = 0; y < 600; ++y)
        for (std::uint32_t x = 0; x < 800; ++x) {
            if (Rgb(PixelAt(*state.backBuffer, x, y)) != navy) continue;
            const bool caption = y < 24 && x >= 100 && x < 700;
            top += caption;
            left += caption && x < 400;
            elsewhere += !caption;
        }
    EXPECT_GT(top, 300);
    EXPECT_EQ(elsewhere, 0);
    EXPECT_NEAR(static_cast<double>(left) / top, 0.5, 0.1);  // centred
    EXPECT_GT(Demo_Text().Length(), 0u);                     // prova.txt is loaded, not drawn
}

}  // namespace
