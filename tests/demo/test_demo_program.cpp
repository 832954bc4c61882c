// Whole runs of the demo: in this process through Demo_Run, and the program
// itself under the environment variables that script it.
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/memory.h"
#include "core/string.h"
#include "demo/demo_script.h"
#include "demo_test_support.h"
#include "image/png.h"

#ifndef QUILLORY_DEMO_LONG_RUN_FRAMES
#define QUILLORY_DEMO_LONG_RUN_FRAMES 2000
#endif

namespace {

// Runs Demo_Run and returns its status; `output` receives what it printed.
int RunInProcess(const Demo_Options& options, std::string& output) {
    const std::string path = Quillory_TempPath("stdout.txt");
    std::FILE* out = std::fopen(path.c_str(), "wb");
    EXPECT_NE(out, nullptr);
    const int status = Demo_Run(options, out);
    std::fclose(out);
    output = Quillory_ReadFile(path);
    return status;
}

// The decoded pixels of a screenshot, or an empty image.
C_Image Screenshot(const std::string& path) {
    C_Image image;
    EXPECT_TRUE(Gfx_Image_LoadPNG(&image, path.c_str())) << path;
    return image;
}

const char* const kCredits =
    "Quillory painting demo, written by the Quillory developers.\n"
    "Questions, bugs and patches: the Quillory project, dev@quillory.invalid\n";

struct Result {
    int status;
    std::string out;
    std::string err;
};

// Runs the program in the data folder with `env` (NAME=value words).
Result RunProgram(const std::string& env) {
    const std::string out = Quillory_TempPath("program.out");
    const std::string err = Quillory_TempPath("program.err");
    const std::string command = "cd '" + DemoDataDir() + "' && env QUILLORY_PLATFORM=headless " + env + " '" +
                                QUILLORY_DEMO_PATH + "' >'" + out + "' 2>'" + err + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Quillory_ReadFile(out), Quillory_ReadFile(err)};
}

TEST_F(DemoTest, TheBuiltInSessionRepeatsPixelForPixel) {
    Demo_Options options;
    options.dataDir = DemoDataDir();
    options.screenshot = Quillory_TempPath("first.png");
    std::string output;
    ASSERT_EQ(RunInProcess(options, output), 0);
    EXPECT_NE(output.find(" frames, "), std::string::npos) << output;
    EXPECT_NE(output.find("last frame written to " + options.screenshot), std::string::npos);
    EXPECT_NE(output.find(kCredits), std::string::npos);

    Math_SRand(1);  // a second process would start the generator afresh
    options.screenshot = Quillory_TempPath("second.png");
    ASSERT_EQ(RunInProcess(options, output), 0);
    const C_Image first = Screenshot(Quillory_TempPath("first.png"));
    const C_Image second = Screenshot(Quillory_TempPath("second.png"));
    ASSERT_EQ(first.width, 800u);
    ASSERT_EQ(first.height, 600u);
    EXPECT_EQ(Checksum(first), Checksum(second));
}

TEST_F(DemoTest, TheDemoRunsWithoutItsDataFiles) {
    const std::string empty = Quillory_TempPath("empty");
    mkdir(empty.c_str(), 0755);
    Demo_Options options;
    options.dataDir = empty;
    options.scripted = true;
    std::string problem;
    ASSERT_TRUE(
        Demo_ParseScript("0.1 down left 400 300\n0.2 move 420 300\n0.3 move 460 310\n0.4 up left 460 310\n"
                         "0.5 key x\n0.6 down right 10 10\n0.7 up right 10 10\n1.0 close\n",
                         options.script, problem));
    options.screenshot = Quillory_TempPath("bare.png");
    const std::uint32_t memory = Mem_GetUsage().memCurrent;
    std::string output;
    ASSERT_EQ(RunInProcess(options, output), 0);
    EXPECT_EQ(output, kCredits);
    EXPECT_EQ(Mem_GetUsage().memCurrent, memory);
    EXPECT_EQ(Demo_Text().Length(), 0u);
    // No background, no stamps, no caption: the back buffer's own blue.
    const C_Image shot = Screenshot(options.screenshot);
    ASSERT_EQ(shot.width, 800u);
    for (std::uint32_t y = 0; y < shot.height; y += 7)
        for (std::uint32_t x = 0; x < shot.width; x += 7) ASSERT_EQ(Rgb(PixelAt(shot, x, y)), 0x0000FFu);
}

// A long run with random input: strokes, wipes, keys, the middle button and
// moves far outside the window. Everything made is released again.
TEST_F(DemoTest, ALongRandomRunReleasesEverything) {
    const int frames = QUILLORY_DEMO_LONG_RUN_FRAMES;
    const double span = frames * kStep;
    Math_SRand(2024);
    std::string script;
    char line[96];
    for (int i = 0; i < frames * 3 / 4; ++i) {
        const double t = span * Math_Rand() / (MATH_RAND_MAX + 1.0);
        const int x = Math_Rand() % 1200 - 200;  // up to 200 pixels outside on either side
        const int y = Math_Rand() % 1000 - 200;
        const char* const buttons[] = {"left", "middle", "right"};
        const char* button = buttons[Math_Rand() % 3];
        switch (Math_Rand() % 8) {
        case 0: std::snprintf(line, sizeof line, "%.4f down %s %d %d\n", t, button, x, y); break;
        case 1: std::snprintf(line, sizeof line, "%.4f up %s %d %d\n", t, button, x, y); break;
        case 2: std::snprintf(line, sizeof line, "%.4f key %c\n", t, 'a' + Math_Rand() % 26); break;
        case 3: std::snprintf(line, sizeof line, "%.4f move %d %d\n", t, x * 50, y * 50); break;
        default: std::snprintf(line, sizeof line, "%.4f move %d %d\n", t, x, y); break;
        }
        script += line;
    }
    Demo_Options options;
    options.dataDir = DemoDataDir();
    options.scripted = true;
    std::string problem;
    ASSERT_TRUE(Demo_ParseScript(script, options.script, problem)) << problem;
    options.frameLimit = static_cast<std::uint64_t>(frames);
    Math_SRand(1);
    const std::uint32_t memory = Mem_GetUsage().memCurrent;
    std::string output;
    ASSERT_EQ(RunInProcess(options, output), 0);
    EXPECT_EQ(Mem_GetUsage().memCurrent, memory);
    EXPECT_EQ(output, kCredits);
}

// The program reads its settings from the environment: a script under a
// fixed clock closes the window by itself, a frame limit closes it too, and
// malformed settings stop it with a message. (Pixel-for-pixel repetition is
// checked in process above.)
TEST(DemoProgram, TheEnvironmentScriptsTheRun) {
    const std::string script = Quillory_TempPath("strokes.txt");
    WriteFile(script, "0.05 down left 120 200\n0.10 move 200 220\n0.35 up left 520 300\n0.40 key space\n0.60 close\n");
    const std::string bad = Quillory_TempPath("bad.txt");
    WriteFile(bad, "0.1 move 1 2\n0.2 wiggle\n");
    const std::string shot = Quillory_TempPath("shot.png");
    const struct {
        std::string env;
        int status;
        std::string outStart;  // what the output begins with; the credits end a run that worked
        std::string errPart;
    } cases[] = {
        {"QUILLORY_FIXED_DT=0.01 QUILLORY_DEMO_SCRIPT='" + script + "' QUILLORY_SCREENSHOT='" + shot + "'", 0, kCredits,
         ""},  // a scripted run prints only the credits
        {"QUILLORY_DEMO_FRAMES=12 QUILLORY_SCREENSHOT='" + shot + "'", 0, "quillory-demo: 12 frames, ", ""},
        {"QUILLORY_DEMO_FRAMES=soon", 2, "", "QUILLORY_DEMO_FRAMES"},
        {"QUILLORY_DEMO_SCRIPT='" + bad + "'", 2, "", "line 2"},
    };
    for (const auto& c : cases) {
        std::remove(shot.c_str());
        const Result r = RunProgram(c.env);
        ASSERT_EQ(r.status, c.status) << c.env << ": " << r.err;
        EXPECT_EQ(r.out.rfind(c.outStart, 0), 0u) << r.out;
        EXPECT_NE(r.err.find(c.errPart), std::string::npos) << r.err;
        if (c.status != 0) {
            EXPECT_EQ(r.out, "");
            continue;
        }
        EXPECT_EQ(r.out.find(kCredits), r.out.size() - std::string(kCredits).size()) << r.out;
        EXPECT_EQ(Screenshot(shot).width, 800u);
    }
}

}  // namespace
