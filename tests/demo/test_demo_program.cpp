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

const char* const kCredits =
    "Quillory painting demo, written by the Quillory developers.\n"
    "Questions, bugs and patches: the Quillory project, dev@quillory.invalid\n";

// Runs the program in the data folder with `env` (NAME=value words); `output`
// receives what it printed on both streams.
int RunProgram(const std::string& env, std::string& output) {
    const std::string path = Quillory_TempPath("program.out");
    const std::string command = "cd '" QUILLORY_DEMO_DATA_DIR "' && env QUILLORY_PLATFORM=headless " + env + " '" +
                                QUILLORY_DEMO_PATH + "' >'" + path + "' 2>&1";
    const int status = std::system(command.c_str());
    output = Quillory_ReadFile(path);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Random input, with the data files and without them: a script that does not
// close the window gets a close request one second after its last event;
// everything made is released; only the credits are printed. Without its
// files the demo draws no background, stamps or caption, only its blue.
TEST_F(DemoTest, RandomRunsEndByThemselvesAndReleaseEverything) {
    const int frames = QUILLORY_DEMO_LONG_RUN_FRAMES;
    Math_SRand(2024);
    std::string script;
    const char* const kinds[] = {"down left", "down middle", "down right", "up left", "up middle",
                                 "up right",  "key",         "move",       "move",    "move"};
    for (int i = 0; i < frames * 3 / 4; ++i) {
        const double t = frames * kStep * Math_Rand() / (MATH_RAND_MAX + 1.0);
        const std::string kind = kinds[Math_Rand() % 10];
        const int far = Math_Rand() % 8 == 0 ? 50 : 1;  // up to 200 pixels outside, now and then much further
        const std::string where = kind == "key" ? std::string(1, static_cast<char>('a' + Math_Rand() % 26))
                                                : std::to_string((Math_Rand() % 1200 - 200) * far) + " " +
                                                      std::to_string((Math_Rand() % 1000 - 200) * far);
        script += std::to_string(t) + " " + kind + " " + where + "\n";
    }
    Demo_Options options;
    options.scripted = true;
    options.screenshot = Quillory_TempPath("last.png");
    std::string problem;
    ASSERT_TRUE(Demo_ParseScript(script, options.script, problem)) << problem;
    const std::string empty = Quillory_TempPath("empty");
    mkdir(empty.c_str(), 0755);
    for (const std::string& dir : {std::string(QUILLORY_DEMO_DATA_DIR), empty}) {
        SCOPED_TRACE(dir);
        options.dataDir = dir;
        ASSERT_TRUE(Win_Headless_SetFixedStep(kStep));  // the clock from 0
        const std::uint32_t memory = Mem_GetUsage().memCurrent;
        std::string output;
        ASSERT_EQ(RunInProcess(options, output), 0);
        EXPECT_EQ(output, kCredits);
        EXPECT_EQ(Mem_GetUsage().memCurrent, memory);
        EXPECT_NEAR(Win_Headless_GetClock(), Demo_ScriptEnd(options.script) + 1.0, 3 * kStep);
    }
    EXPECT_EQ(Demo_Text().Length(), 0u);
    C_Image shot;
    ASSERT_TRUE(Gfx_Image_LoadPNG(&shot, options.screenshot.c_str()));
    ASSERT_EQ(shot.width, 800u);
    for (std::uint32_t y = 0; y < shot.height; y += 7)
        for (std::uint32_t x = 0; x < shot.width; x += 7) ASSERT_EQ(RgbAt(shot, x, y), 0x0000FFu);
}

// The program's settings come from the environment: a script on a fixed clock
// closes the window itself, a frame limit the built-in session, malformed
// settings stop it with a message. The measured frame rate is left out.
TEST(DemoProgram, TheEnvironmentScriptsTheRun) {
    const std::string script = Quillory_TempPath("strokes.txt");
    WriteFile(script, "0.05 down left 120 200\n0.10 move 200 220\n0.35 up left 520 300\n0.40 key space\n0.60 close\n");
    const std::string shot = Quillory_TempPath("shot.png");
    const struct {
        std::string env;
        int status;
        std::string output;  // all of it, or for a failure a part
    } cases[] = {{"QUILLORY_FIXED_DT=0.01 QUILLORY_DEMO_SCRIPT='" + script + "' QUILLORY_SCREENSHOT='" + shot + "'", 0,
                  kCredits},
                 {"QUILLORY_DEMO_FRAMES=12 QUILLORY_SCREENSHOT='" + shot + "'", 0,
                  "quillory-demo: 12 frames,\nquillory-demo: last frame written to " + shot + "\n" + kCredits},
                 {"QUILLORY_DEMO_FRAMES=soon", 2, "QUILLORY_DEMO_FRAMES must be a number"}};
    for (const auto& c : cases) {
        std::remove(shot.c_str());
        std::string output;
        ASSERT_EQ(RunProgram(c.env, output), c.status) << c.env << ": " << output;
        if (const auto at = output.find(" frames, "); at != std::string::npos)
            output.erase(at + 8, output.find('\n', at) - at - 8);
        EXPECT_TRUE(c.status == 0 ? output == c.output : output.find(c.output) != std::string::npos) << output;
        C_Image image;
        EXPECT_EQ(Gfx_Image_LoadPNG(&image, shot.c_str()) && image.width == 800u, c.status == 0);
    }
}

}  // namespace
