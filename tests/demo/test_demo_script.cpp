// The headless input script: its line format, its limits, and the built-in
// session.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "../test_support.h"
#include "demo/demo_script.h"

namespace {

using Events = std::vector<Win_HeadlessEvent>;

Events Parse(const std::string& text) {
    Events events;
    std::string problem;
    EXPECT_TRUE(Demo_ParseScript(text, events, problem)) << problem;
    return events;
}

std::string Problem(const std::string& text) {
    Events events = {Win_HeadlessEvent{}};
    std::string problem;
    EXPECT_FALSE(Demo_ParseScript(text, events, problem)) << text;
    EXPECT_TRUE(events.empty());
    return problem;
}

TEST(DemoScript, EveryEventKindParses) {
    const Events e = Parse(
        "# a stroke and a wipe\n"
        "\n"
        "0.5 move 10 20\r\n"
        "  1   down left 10 20\n"
        "1.25 move -40 900\n"
        "2 up LEFT 15 25\n"
        "3 down 3 0 0\n"
        "3.5 key q\n"
        "4 keydown escape\n"
        "4 keyup 0x1B\n"
        "5 close\n");
    // "key" presses and releases at the same time; letters are upper case;
    // outside the window is allowed.
    const std::vector<std::tuple<std::int32_t, double, std::int32_t, std::int32_t, std::int32_t>> expected = {
        {WIN_HEADLESS_MOUSEMOVE, 0.5, 0, 10, 20},       {WIN_HEADLESS_MOUSEDOWN, 1.0, 1, 10, 20},
        {WIN_HEADLESS_MOUSEMOVE, 1.25, 0, -40, 900},    {WIN_HEADLESS_MOUSEUP, 2.0, 1, 15, 25},
        {WIN_HEADLESS_MOUSEDOWN, 3.0, 3, 0, 0},         {WIN_HEADLESS_KEYDOWN, 3.5, 'Q', 0, 0},
        {WIN_HEADLESS_KEYUP, 3.5, 'Q', 0, 0},           {WIN_HEADLESS_KEYDOWN, 4.0, WIN_VK_ESCAPE, 0, 0},
        {WIN_HEADLESS_KEYUP, 4.0, WIN_VK_ESCAPE, 0, 0}, {WIN_HEADLESS_CLOSE, 5.0, 0, 0, 0}};
    ASSERT_EQ(e.size(), expected.size());
    for (std::size_t i = 0; i < e.size(); ++i) {
        const auto& [kind, time, code, x, y] = expected[i];
        EXPECT_EQ(std::make_tuple(static_cast<std::int32_t>(e[i].kind), e[i].time), std::make_tuple(kind, time)) << i;
        if (kind != WIN_HEADLESS_CLOSE) {
            EXPECT_EQ(e[i].code, code) << i;
        }
        if (kind == WIN_HEADLESS_MOUSEMOVE || kind == WIN_HEADLESS_MOUSEDOWN || kind == WIN_HEADLESS_MOUSEUP) {
            EXPECT_EQ(std::make_tuple(e[i].x, e[i].y), std::make_tuple(x, y)) << i;
        }
    }
    for (const Win_HeadlessEvent& event : e) EXPECT_EQ(event.window, nullptr);
}

TEST(DemoScript, BadLinesAreReportedByNumber) {
    EXPECT_EQ(Problem("0 move 1 2\nsoon move 1 2\n").rfind("line 2:", 0), 0u);
    EXPECT_NE(Problem("-1 move 1 2").find("time"), std::string::npos);
    EXPECT_NE(Problem("3601 close").find("time"), std::string::npos);
    EXPECT_NE(Problem("1 jump 1 2").find("unknown event"), std::string::npos);
    EXPECT_NE(Problem("1").find("event name"), std::string::npos);
    EXPECT_NE(Problem("1 move 1").find("TIME move X Y"), std::string::npos);
    EXPECT_NE(Problem("1 move 1 2000000").find("coordinates"), std::string::npos);
    EXPECT_NE(Problem("1 move 1 99999999999999999999").find("coordinates"), std::string::npos);
    EXPECT_NE(Problem("1 down thumb 1 2").find("buttons"), std::string::npos);
    EXPECT_NE(Problem("1 key 256").find("not a key"), std::string::npos);
    EXPECT_NE(Problem("1 close now").find("TIME close"), std::string::npos);
    EXPECT_NE(Problem(std::string("1 move 1 2\n1 move") + '\0' + " 3 4").find("line 2"), std::string::npos);
    EXPECT_NE(Problem("1 move 1 2 #" + std::string(DEMO_SCRIPT_MAX_LINE, ' ')).find("longer"), std::string::npos);
}

TEST(DemoScript, FilesAreReadWithinTheirLimit) {
    const std::string path = Quillory_TempPath("script.txt");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("0.1 down left 5 5\n0.2 close\n", f);
    std::fclose(f);
    Events events;
    std::string problem;
    ASSERT_TRUE(Demo_LoadScript(path, events, problem)) << problem;
    EXPECT_EQ(events.size(), 2u);
    EXPECT_TRUE(Demo_ScriptCloses(events));
    EXPECT_DOUBLE_EQ(Demo_ScriptEnd(events), 0.2);

    EXPECT_FALSE(Demo_LoadScript(Quillory_TempPath("missing.txt"), events, problem));
    EXPECT_NE(problem.find("cannot open"), std::string::npos);

    // A file past the limit is refused without being parsed.
    f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const std::string line(1000, '#');
    for (std::size_t written = 0; written <= DEMO_SCRIPT_MAX_BYTES; written += line.size() + 1)
        std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
    EXPECT_FALSE(Demo_LoadScript(path, events, problem));
    EXPECT_NE(problem.find("larger than"), std::string::npos);
    std::remove(path.c_str());
}

TEST(DemoScript, TheBuiltInSessionStrokesWipesStrokesAndCloses) {
    const double step = 1.0 / 60.0;
    const Events e = Demo_BuiltInSession(step);
    ASSERT_FALSE(e.empty());
    EXPECT_EQ(e.back().kind, WIN_HEADLESS_CLOSE);
    int leftPresses = 0;
    int rightReleases = 0;
    double rightReleaseAt = 0.0;
    double lastLeftRelease = 0.0;
    for (std::size_t i = 0; i < e.size(); ++i) {
        if (i > 0) {
            EXPECT_GE(e[i].time, e[i - 1].time);
        }
        if (e[i].kind == WIN_HEADLESS_MOUSEDOWN && e[i].code == 1) ++leftPresses;
        if (e[i].kind == WIN_HEADLESS_MOUSEUP && e[i].code == 1) lastLeftRelease = e[i].time;
        if (e[i].kind == WIN_HEADLESS_MOUSEUP && e[i].code == 3) {
            ++rightReleases;
            rightReleaseAt = e[i].time;
        }
        // Strokes stay inside the window, clear of its edges.
        if (e[i].kind == WIN_HEADLESS_MOUSEMOVE) {
            EXPECT_GE(e[i].x, 50);
            EXPECT_LE(e[i].x, 750);
            EXPECT_GE(e[i].y, 50);
            EXPECT_LE(e[i].y, 550);
        }
    }
    EXPECT_EQ(leftPresses, 3);
    EXPECT_EQ(rightReleases, 1);
    EXPECT_GT(rightReleaseAt, 1.5);              // about two seconds of strokes first
    EXPECT_GT(lastLeftRelease, rightReleaseAt);  // then a final stroke
    EXPECT_LT(e.back().time, 6.0);
}

}  // namespace
