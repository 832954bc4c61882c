// The painting demo: its objects and state, the window callbacks (stamp
// brush and eraser), start-up, one frame of the loop and shut-down, and the
// whole run as the program performs it. Kept apart from main so that tests
// can drive the demo frame by frame.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/headless.h"

class C_Font;
class C_Image;
class C_String;
class C_Window;

inline constexpr const char* DEMO_CAPTION =
    "Premi il pulsante sinistro del mouse per disegnare, il destro per cancellare";
inline constexpr const char* DEMO_TITLE_PREFIX = "Quillory (Vellumark quality)    FPS:";
inline constexpr std::int32_t DEMO_WIDTH = 800;
inline constexpr std::int32_t DEMO_HEIGHT = 600;
// The brush fires at most once per period of the frame clock.
inline constexpr float DEMO_STAMP_PERIOD = 0.05f;

// Everything the demo creates lives here from start-up to shut-down.
struct Demo_State {
    C_Window* window = nullptr;
    C_Font* font = nullptr;
    C_Image* sheetColor = nullptr;  // picture1.img: 3 x 3 brush tiles
    C_Image* background = nullptr;  // picture2.img
    C_Image* sheetAlpha = nullptr;  // picture3.img: the tiles' alpha plane
    C_Image* backBuffer = nullptr;  // 800 x 600 ARGB8888, bottom-up
    C_Image* paintColor = nullptr;  // the paint layer: colour plane...
    C_Image* paintAlpha = nullptr;  // ...and alpha plane

    double tStart = 0.0;   // clock just before the frame loop
    double elapsed = 0.0;  // clock at the start of the current frame - tStart
    std::uint8_t armed = 1;
    float scroll = 1.0f;

    // Counters for the run report and for tests.
    std::uint64_t frames = 0;
    std::uint64_t stamps = 0;
    double lastFps = 0.0;  // the rate the title shows
};

// The text read from prova.txt at start-up; kept until exit, never drawn.
const C_String& Demo_Text();

// Start-up: window, callbacks, font, pictures, clock, planes, text. Files are
// read from `dataDir` ("" is the working directory); missing or damaged files
// leave their objects empty and the demo draws without them. Returns whether
// the native window was created.
bool Demo_Startup(Demo_State& state, const std::string& dataDir);

// One frame: background, paint layer, caption, Present, title.
void Demo_Frame(Demo_State& state);

// Deletes everything start-up created, in the demo's order.
void Demo_Shutdown(Demo_State& state);

// The stamp brush and the eraser, as the mouse callbacks run them.
void Demo_StampBrush(Demo_State& state, std::int32_t left, std::int32_t x, std::int32_t y);
void Demo_Eraser(Demo_State& state, std::int32_t right);

// The window callbacks start-up installs; they find the state through the
// window's first user value.
void Demo_OnClose(C_Window* window);
void Demo_OnMouseMove(C_Window* window, std::int32_t left, std::int32_t middle, std::int32_t right, std::int32_t x,
                      std::int32_t y);
void Demo_OnMouseUp(C_Window* window, std::int32_t left, std::int32_t middle, std::int32_t right, std::int32_t x,
                    std::int32_t y);
void Demo_OnMouseDown(C_Window* window, std::int32_t left, std::int32_t middle, std::int32_t right, std::int32_t x,
                      std::int32_t y);
void Demo_OnKeyDown(C_Window* window, std::int32_t character, std::int32_t virtualKey);
void Demo_OnKeyUp(C_Window* window, std::int32_t character, std::int32_t virtualKey);

// How a run is set up; main fills it from the environment.
struct Demo_Options {
    std::string dataDir;                    // "" = the working directory
    std::uint64_t frameLimit = 0;           // QUILLORY_DEMO_FRAMES: close after this many frames; 0 = never
    bool scripted = false;                  // QUILLORY_DEMO_SCRIPT was given...
    std::vector<Win_HeadlessEvent> script;  // ...and held these events
    std::string screenshot;                 // QUILLORY_SCREENSHOT: PNG of the last frame at exit
    // Clock step of the built-in session when QUILLORY_FIXED_DT does not set
    // one; 0 keeps real time.
    double sessionStep = 1.0 / 60.0;
};

// The built-in headless session writes its last frame here unless
// QUILLORY_SCREENSHOT names another file.
inline constexpr const char* DEMO_DEFAULT_SCREENSHOT = "screenshot.png";

// Reads QUILLORY_DEMO_FRAMES, QUILLORY_DEMO_SCRIPT, QUILLORY_SCREENSHOT and
// QUILLORY_FIXED_DT. False with `problem` set when one is malformed.
bool Demo_ReadEnvironment(Demo_Options& options, std::string& problem);

// The whole program: start-up, the frame loop until the window closes,
// screenshot, shut-down and the credit lines on `out` (null prints nothing).
// Headless runs replay the script, or the built-in session when there is
// none. Returns the exit status.
int Demo_Run(const Demo_Options& options, std::FILE* out);
