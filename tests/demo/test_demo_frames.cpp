// The demo frame by frame: a scripted session of strokes, the eraser (other
// buttons' releases keep the paint) and input that paints nothing, against
// the plain run and a rerun of itself; the caption; the brush and the title.
#include <algorithm>

#include "demo_test_support.h"

namespace {

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

// Iterations of the program's loop: pump one message, draw one frame.
void Frames(Demo_State& state, int count) {
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(Win_ProcessMessages());
        Demo_Frame(state);
    }
}

// Runs 70 frames from a fresh start and returns the checksum of each; `copy`
// (if any) receives frame 62.
std::vector<std::uint64_t> Checksums(void (*script)(C_Window*, int), C_Image* copy = nullptr) {
    Math_SRand(1);
    Demo_State state;
    EXPECT_TRUE(Demo_Startup(state, QUILLORY_DEMO_DATA_DIR));
    std::vector<std::uint64_t> sums;
    for (int f = 1; f <= 70; ++f) {
        if (script) script(state.window, f);
        Frames(state, 1);
        sums.push_back(Checksum(*state.backBuffer));
        if (f == 62 && copy) *copy = *state.backBuffer;
    }
    Demo_Shutdown(state);
    return sums;
}

TEST_F(DemoTest, AStrokePaintsAlongItsPathTheRightReleaseWipesItAndOtherInputPaintsNothing) {
    C_Image plain, painted;
    const std::vector<std::uint64_t> reference = Checksums(nullptr, &plain);
    const std::vector<std::uint64_t> session = Checksums(Session, &painted);
    EXPECT_TRUE(std::equal(session.begin(), session.begin() + 31, reference.begin()));
    EXPECT_EQ(Checksums(Session), session);  // a second run repeats pixel for pixel
    // Along the path the stamps cover most of the row; away from it nothing
    // changed, the caption included.
    int changed = 0;
    for (std::uint32_t x = 210; x <= 590; x += 10) changed += RgbAt(painted, x, kStrokeY) != RgbAt(plain, x, kStrokeY);
    EXPECT_GE(changed, 39 * 6 / 10);
    for (std::uint32_t y = 0; y < 600; ++y) {
        if (y > kStrokeY - 60 && y < kStrokeY + 60) continue;
        for (std::uint32_t x = 0; x < 800; ++x) ASSERT_EQ(RgbAt(painted, x, y), RgbAt(plain, x, y)) << x << "," << y;
    }
    // Once the right button is released the frames are the unpainted ones.
    EXPECT_EQ(session[64], reference[64]);
    EXPECT_EQ(session.back(), reference.back());

    // The caption is drawn in its colour at the top centre, and nowhere else.
    int navy[3] = {};  // in the caption's left half, its right half, elsewhere
    for (std::uint32_t y = 0; y < 600; ++y)
        for (std::uint32_t x = 0; x < 800; ++x)
            if (RgbAt(plain, x, y) == 0x000080) ++navy[y >= 24 || x < 100 || x >= 700 ? 2 : x >= 400];
    EXPECT_GT(navy[0] + navy[1], 300);
    EXPECT_EQ(navy[2], 0);
    EXPECT_NEAR(static_cast<double>(navy[0]) / (navy[0] + navy[1]), 0.5, 0.1);
}

// A stamp across the right edge also shows at the left edge. A move every
// frame for just under a second of clock meets 20 periods of the brush's
// gate, so 20 stamps at most; holding still stamps nothing. The title shows
// the frame rate with six decimals.
TEST_F(DemoTest, TheBrushWrapsAtTheEdgeAndStampsAtMostTwentyTimesPerSecond) {
    Demo_State state;
    ASSERT_TRUE(Demo_Startup(state, QUILLORY_DEMO_DATA_DIR));
    Demo_StampBrush(state, 1, 795, 300);
    ASSERT_EQ(state.stamps, 1u);
    const std::uint8_t* row = state.paintAlpha->Row(300);
    EXPECT_GT(std::count_if(row, row + 30, [](std::uint8_t a) { return a != 0; }), 0);
    EXPECT_GT(std::count_if(row + 770, row + 800, [](std::uint8_t a) { return a != 0; }), 0);

    ASSERT_TRUE(Win_Headless_SetFixedStep(0.005));
    Win_InitTimer();
    state.tStart = Win_GetTime();
    Win_Headless_MouseDown(state.window, 1, 400, 300);
    Frames(state, 1);
    for (int f = 0; f < 196; ++f) {
        Win_Headless_MouseMove(state.window, 100 + 2 * f, 300 + f % 7);
        Frames(state, 1);
    }
    EXPECT_TRUE(state.stamps >= 1u + 19u && state.stamps <= 1u + 20u) << state.stamps;
    const std::uint64_t before = state.stamps;
    Frames(state, 100);
    EXPECT_EQ(state.stamps, before);
    Win_HeadlessWindowInfo info;
    ASSERT_TRUE(Win_Headless_GetWindowInfo(state.window, &info));
    EXPECT_EQ(info.title, std::string(DEMO_TITLE_PREFIX) + "200.000000");
    Demo_Shutdown(state);
}

}  // namespace
