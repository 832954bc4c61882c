// The headless input script: its line format, its limits, the built-in session.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "demo/demo_script.h"
#include "demo_test_support.h"

namespace {

using Events = std::vector<Win_HeadlessEvent>;

// The events as text: "time kind code x y" each, separated by "; ".
std::string Describe(const Events& events) {
    std::ostringstream out;
    for (const Win_HeadlessEvent& e : events)
        out << (out.tellp() > 0 ? "; " : "") << e.time << " " << e.kind << " " << e.code << " " << e.x << " " << e.y;
    return out.str();
}

// Each text parses to its events, or is refused whole with the number of
// its bad line and the reason; files as well. "key" presses and releases at the same time;
// letters are upper case; outside the window is allowed; comments, blank
// lines and CR LF are skipped.
TEST(DemoScript, TextsAndFilesParseToTheirEventsOrAreRefusedWhole) {
    const std::pair<std::string, const char*> cases[] = {
        {"# a stroke and a wipe\n\n0.5 move 10 20\r\n  1   down left 10 20\n1.25 move -40 900\n"
         "2 up LEFT 15 25\n3 down 3 0 0\n3.5 key q\n4 keydown escape\n4 keyup 0x1B\n5 close\n",
         "0.5 0 0 10 20; 1 1 1 10 20; 1.25 0 0 -40 900; 2 2 1 15 25; 3 1 3 0 0; 3.5 3 81 0 0; 3.5 4 81 0 0; "
         "4 3 27 0 0; 4 4 27 0 0; 5 5 0 0 0"},
        {"0 move 1 2\nsoon move 1 2\n", "line 2:"},
        {"3601 close", "time"},
        {"1 jump 1 2", "unknown event"},
        {"1", "event name"},
        {"1 move 1", "TIME move X Y"},
        {"1 move 1 99999999999999999999", "coordinates"},
        {"1 down thumb 1 2", "buttons"},
        {"1 key 256", "not a key"},
        {"1 close now", "TIME close"},
        {std::string("1 move 1 2\n1 move") + '\0' + " 3 4", "line 2"},
        {"1 move 1 2 #" + std::string(DEMO_SCRIPT_MAX_LINE, ' '), "longer"}};
    for (const auto& [text, expected] : cases) {
        Events events = {Win_HeadlessEvent{}};
        std::string problem;
        if (Demo_ParseScript(text, events, problem)) {
            EXPECT_EQ(Describe(events), expected);
            continue;
        }
        EXPECT_TRUE(events.empty());
        EXPECT_NE(problem.find(expected), std::string::npos) << problem;
    }

    // Files are read within their limit (a larger one is refused unparsed);
    // the closing event and the end of a script are found.
    const std::string path = Quillory_TempPath("script.txt");
    WriteFile(path, "0.5 move 10 20\n5 close\n");
    Events e;
    std::string problem;
    ASSERT_TRUE(Demo_LoadScript(path, e, problem)) << problem;
    EXPECT_EQ(Describe(e), "0.5 0 0 10 20; 5 5 0 0 0");
    EXPECT_TRUE(Demo_ScriptCloses(e) && Demo_ScriptEnd(e) == 5.0);
    e.pop_back();
    EXPECT_FALSE(Demo_ScriptCloses(e));
    EXPECT_FALSE(Demo_LoadScript(Quillory_TempPath("missing.txt"), e, problem));
    EXPECT_NE(problem.find("cannot open"), std::string::npos);
    WriteFile(path, std::string(DEMO_SCRIPT_MAX_BYTES + 1, '#'));
    EXPECT_FALSE(Demo_LoadScript(path, e, problem));
    EXPECT_NE(problem.find("larger than"), std::string::npos);
}

// About two seconds of strokes inside the window, clear of its edges, one
// wipe, a final stroke, then the close, in time order: "L" per left press,
// "R" per right release, "C" for the close.
TEST(DemoScript, TheBuiltInSessionStrokesWipesStrokesAndCloses) {
    std::string buttons;
    double previous = 0.0;
    for (const Win_HeadlessEvent& e : Demo_BuiltInSession(1.0 / 60.0)) {
        EXPECT_GE(e.time, previous);
        previous = e.time;
        const bool right = e.kind == WIN_HEADLESS_MOUSEUP && e.code == 3;
        buttons += e.kind == WIN_HEADLESS_MOUSEDOWN && e.code == 1 ? "L" : right ? "R" : "";
        buttons += e.kind == WIN_HEADLESS_CLOSE ? "C" : "";
        EXPECT_TRUE(!right || e.time > 1.5);
        const bool inside = e.x >= 50 && e.x <= 750 && e.y >= 50 && e.y <= 550;
        EXPECT_TRUE(inside || e.kind != WIN_HEADLESS_MOUSEMOVE) << e.x << "," << e.y;
    }
    EXPECT_EQ(buttons, "LLRLC");
    EXPECT_LT(previous, 6.0);
}

}  // namespace
