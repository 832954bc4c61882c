// The painting demo. Start-up, the frame, the brush and shut-down follow one
// fixed order of calls with fixed arguments; the demo checks no result of
// its own drawing, so missing files simply leave parts of the picture out.
#include "demo/demo_app.h"

#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "core/string.h"
#include "demo/demo_script.h"
#include "image/convert.h"
#include "image/format.h"
#include "image/image.h"
#include "image/png.h"
#include "math/color.h"
#include "math/random.h"
#include "math/scalar.h"
#include "math/shapes.h"
#include "math/vector.h"
#include "platform/timing.h"
#include "platform/window.h"
#include "surface/blit.h"
#include "surface/surface.h"
#include "surface/draw_params.h"
#include "surface/fill.h"
#include "text/font.h"
#include "text/text_draw.h"

namespace {

// The demo's text, a process-wide string as the program has always kept it.
C_String g_text;

constexpr const char* kFontFile = "times.uft";
constexpr const char* kSheetColorFile = "picture1.img";
constexpr const char* kBackgroundFile = "picture2.img";
constexpr const char* kSheetAlphaFile = "picture3.img";
constexpr const char* kTextFile = "prova.txt";

constexpr float kStampScale = 1.3f;

std::string PathIn(const std::string& dir, const char* name) {
    if (dir.empty()) return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

Demo_State* StateOf(C_Window* window) {
    return window ? reinterpret_cast<Demo_State*>(window->GetUserValue(1)) : nullptr;
}

// Half an image's size, halved in integers first, as pivots are taken.
C_Vector2D HalfSize(const C_Image& image) {
    return C_Vector2D(static_cast<float>(image.width / 2), static_cast<float>(image.height / 2));
}

void SetupWindow(Demo_State& s) {
    s.window = new C_Window;
    s.window->SetUserValue(1, reinterpret_cast<std::intptr_t>(&s));
    // A client area of 800 x 600 at the screen's top-left corner.
    s.window->SetX(0, WIN_GEOM_FROM_START);
    s.window->SetY(0, WIN_GEOM_FROM_START);
    s.window->SetWidth(DEMO_WIDTH, WIN_GEOM_SIZE);
    s.window->SetHeight(DEMO_HEIGHT, static_cast<std::uint8_t>(WIN_GEOM_SIZE << 4));
}

void InstallCallbacks(C_Window& window) {
    window.m_onClose = Demo_OnClose;
    window.m_onMouseMove = Demo_OnMouseMove;
    window.m_onMouseUp = Demo_OnMouseUp;
    window.m_onMouseDown = Demo_OnMouseDown;
    window.m_onKeyDown = Demo_OnKeyDown;
    window.m_onKeyUp = Demo_OnKeyUp;
}

// The record of every frame: the background tiled across, stretched down and
// scrolled by `scroll`; the same record lays the paint layer.
C_DrawParams FrameParams(const Demo_State& s) {
    C_DrawParams p;
    p.scale = C_Vector2D(1.0f, 1.0f);
    p.angle = 0.0f;
    p.pivot = HalfSize(*s.background);
    p.flipV = 0;
    p.flipH = 0;
    p.wrapH = 0;
    p.wrapV = 0;
    p.opacity = 1.0f;
    p.filter = 0;
    p.keyColor = C_Color(255, 0, 255, 0);
    p.useKeyColor = 0;
    p.fillColor = C_Color(255, 0, 0, 0);
    p.useFillColor = 0;
    p.brightness = C_Color(-128, -128, -128, 0);
    p.useBrightness = 0;
    p.useContrast = 0;
    p.tileOffset = C_Vector2D(s.scroll * 10.0f, 0.0f);
    p.fillModeH = 1;
    p.fillModeV = 0;
    return p;
}

// The stamp's record; the random draws fill its colours in the brush.
C_DrawParams StampParams(const Demo_State& s) {
    C_DrawParams p;
    p.scale = C_Vector2D(kStampScale, kStampScale);
    p.angle = 0.0f;
    p.pivot = C_Vector2D(static_cast<float>(s.sheetColor->width / 6), static_cast<float>(s.sheetColor->height / 6));
    p.flipV = 0;
    p.flipH = 0;
    p.wrapH = 1;  // a stamp across an edge comes back at the opposite one
    p.wrapV = 1;
    p.opacity = 1.0f;
    p.filter = 1;  // interpolated, since the stamp is enlarged
    p.keyColor = C_Color(0, 0, 0, 0);
    p.useKeyColor = 1;
    p.useFillColor = 0;
    p.useBrightness = 1;
    p.useContrast = 0;
    return p;
}

// Parses a whole decimal number from 1 to `limit`.
bool ParseCount(const char* text, std::uint64_t limit, std::uint64_t& value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || text[0] == '-' || v == 0 || v > limit) return false;
    value = v;
    return true;
}

void PrintCredits(std::FILE* out) {
    if (!out) return;
    std::fprintf(out, "Quillory painting demo, written by the Quillory developers.\n");
    std::fprintf(out, "Questions, bugs and patches: the Quillory project, dev@quillory.invalid\n");
}

// Queues the run's input on the headless platform, times counted from now.
void ScheduleInput(std::vector<Win_HeadlessEvent> events) {
    const double now = Win_Headless_GetClock();
    for (Win_HeadlessEvent& e : events) e.time += now;
    Win_Headless_Schedule(events.data(), events.size());
}

}  // namespace

const C_String& Demo_Text() { return g_text; }

bool Demo_Startup(Demo_State& s, const std::string& dataDir) {
    s = Demo_State{};
    SetupWindow(s);
    const bool created = s.window->Create() != 0;
    InstallCallbacks(*s.window);

    s.font = new C_Font;
    s.font->name = "Times New Roman";  // the font file's own name replaces it
    s.font->LoadFromFile(PathIn(dataDir, kFontFile).c_str(), 0);
    Gfx_Font_ChangeFormat(s.font, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0);

    s.sheetColor = new C_Image;
    s.background = new C_Image;
    s.sheetAlpha = new C_Image;
    s.sheetColor->LoadFromFile(PathIn(dataDir, kSheetColorFile).c_str(), 0);
    s.background->LoadFromFile(PathIn(dataDir, kBackgroundFile).c_str(), 0);
    s.sheetAlpha->LoadFromFile(PathIn(dataDir, kSheetAlphaFile).c_str(), 0);

    Win_InitTimer();
    Win_GetTime();

    Gfx_Image_ChangeFormat(s.sheetColor, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0);
    Gfx_Image_ChangeFormat(s.background, GFX_FMT_ARGB8888, GFX_FMT_SAME, 0);
    Gfx_Image_ChangeFormat(s.sheetAlpha, GFX_FMT_CH8, GFX_FMT_SAME, 0);

    // The back buffer is bottom-up, as the window shows pictures.
    s.backBuffer = new C_Image;
    s.backBuffer->CreateEmpty(DEMO_WIDTH, DEMO_HEIGHT, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(0, 0, 255, 0));
    s.backBuffer->bottomUp = 1;
    s.paintColor = new C_Image;
    s.paintColor->CreateEmpty(DEMO_WIDTH, DEMO_HEIGHT, GFX_FMT_ARGB8888, GFX_FMT_NONE, C_Color(0, 0, 0, 0));
    s.paintAlpha = new C_Image;
    s.paintAlpha->CreateEmpty(DEMO_WIDTH, DEMO_HEIGHT, GFX_FMT_CH8, GFX_FMT_NONE, C_Color(0, 0, 0, 0));

    s.scroll = 1.0f;
    g_text.Load_TXT_FromFile(PathIn(dataDir, kTextFile).c_str());

    s.tStart = Win_GetTime();
    return created;
}

void Demo_Frame(Demo_State& s) {
    const double tFrame = Win_GetTime();
    s.elapsed = tFrame - s.tStart;

    const C_DrawParams params = FrameParams(s);
    C_Surface background(1, s.background);
    C_Surface target(1, s.backBuffer);
    const C_Rect window(0.0f, 0.0f, static_cast<float>(DEMO_WIDTH), static_cast<float>(DEMO_HEIGHT));
    const C_Vector2D position = HalfSize(*s.background);
    Gfx_Surface_DrawInRect(&background, &target, nullptr, nullptr, nullptr, &window, &position, 0, &params);

    // The pivot equals the position and the scale is 1: the layer lands with
    // its top-left corner on the back buffer's.
    C_Surface layer(1, s.paintColor, s.paintAlpha);
    Gfx_Surface_BlitTransformed(&layer, &target, nullptr, nullptr, nullptr, &position, 0, &params);

    const C_FontType captionType(C_String(""), 13.0f, GFX_GLYPH_MONO, 1, 0, 0, 0, 0);
    Gfx_Surface_DrawText(C_String(DEMO_CAPTION), s.font, captionType, &target, C_Color(0, 0, 128, 0),
                         C_Vector2D(0.0f, 0.0f, GFX_ALIGN_HCENTER), GFX_ALIGN_HCENTER, 0, 0, nullptr, nullptr, 0);

    s.window->Present(s.backBuffer, C_Vector2Di(0, 0));

    // The rate counts the drawing alone, not the message handling. A clock
    // too coarse to see the frame pass would give an infinite rate; such a
    // frame leaves the scroll and the title as they were.
    const double drawTime = Win_GetTime() - tFrame;
    if (drawTime > 0.0) {
        const double fps = 1.0 / drawTime;
        s.scroll = s.scroll + (60.0f / static_cast<float>(fps)) * 0.3f;
        s.lastFps = fps;
        s.window->SetTitle(C_String(DEMO_TITLE_PREFIX) + C_String(fps));
    }
    ++s.frames;
}

void Demo_Shutdown(Demo_State& s) {
    delete s.sheetColor;
    delete s.background;
    delete s.sheetAlpha;
    delete s.backBuffer;
    delete s.paintColor;
    delete s.paintAlpha;
    delete s.window;
    delete s.font;
    s = Demo_State{};
}

void Demo_StampBrush(Demo_State& s, std::int32_t left, std::int32_t x, std::int32_t y) {
    if (left != 1) return;
    // Moves seen in the second half of a period arm the brush; the first
    // move in the first half of a later period fires it.
    const float phase = Math_Wrap(static_cast<float>(s.elapsed), DEMO_STAMP_PERIOD);
    if (phase >= DEMO_STAMP_PERIOD / 2.0f) {
        s.armed = 1;
        return;
    }
    if (s.armed != 1) return;

    C_DrawParams p = StampParams(s);
    const std::int32_t a = Math_Rand() % 255;
    const std::int32_t b = Math_Rand() % 255;
    const std::int32_t c = Math_Rand() % 255;
    p.fillColor = C_Color(c, b, a, 0);  // drawn but unused: useFillColor is 0
    const std::int32_t blueCut = -(Math_Rand() % 128);
    const std::int32_t redCut = -(Math_Rand() % 128);
    p.brightness = C_Color(redCut, 0, blueCut, 0);
    p.contrast = C_Color(512, 512, 512, 0);  // unused: useContrast is 0
    const std::int32_t column = Math_Rand() % 3;
    const std::int32_t row = Math_Rand() % 3;

    const std::int32_t tileW = static_cast<std::int32_t>(s.sheetColor->width / 3);
    const std::int32_t tileH = static_cast<std::int32_t>(s.sheetColor->height / 3);
    const C_Rect tile(static_cast<float>(tileW * column), static_cast<float>(tileH * row),
                      static_cast<float>(tileW * (column + 1)), static_cast<float>(tileH * (row + 1)));
    C_Surface sheet(1, s.sheetColor, s.sheetAlpha);
    C_Surface paint(1, s.paintColor, s.paintAlpha);
    const C_Vector2D at(static_cast<float>(x), static_cast<float>(y), 0);
    Gfx_Surface_BlitTransformed(&sheet, &paint, &tile, nullptr, nullptr, &at, 0, &p);
    s.armed = 0;
    ++s.stamps;
}

void Demo_Eraser(Demo_State& s, std::int32_t right) {
    if (right != 1) return;
    s.paintColor->Clear(C_Color(0, 0, 0, 0));
    s.paintAlpha->Clear(C_Color(0, 0, 0, 0));
}

void Demo_OnClose(C_Window* window) {
    window->Destroy();
    Win_Quit();
}

void Demo_OnMouseMove(C_Window* window, std::int32_t left, std::int32_t, std::int32_t, std::int32_t x, std::int32_t y) {
    if (Demo_State* s = StateOf(window)) Demo_StampBrush(*s, left, x, y);
}

void Demo_OnMouseUp(C_Window* window, std::int32_t, std::int32_t, std::int32_t right, std::int32_t, std::int32_t) {
    if (Demo_State* s = StateOf(window)) Demo_Eraser(*s, right);
}

void Demo_OnMouseDown(C_Window*, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) {}
void Demo_OnKeyDown(C_Window*, std::int32_t, std::int32_t) {}
void Demo_OnKeyUp(C_Window*, std::int32_t, std::int32_t) {}

bool Demo_ReadEnvironment(Demo_Options& options, std::string& problem) {
    if (const char* text = std::getenv("QUILLORY_DEMO_FRAMES"); text && *text) {
        if (!ParseCount(text, 1000000000, options.frameLimit)) {
            problem =
                std::string("QUILLORY_DEMO_FRAMES must be a number of frames from 1 to 1000000000, not '") + text + "'";
            return false;
        }
    }
    if (const char* path = std::getenv("QUILLORY_DEMO_SCRIPT"); path && *path) {
        options.scripted = true;
        if (!Demo_LoadScript(path, options.script, problem)) return false;
    }
    if (const char* path = std::getenv("QUILLORY_SCREENSHOT"); path && *path) options.screenshot = path;
    // The platform reads the step itself; the built-in session times its
    // strokes by it (and sets 1/60 s when there is none).
    if (const char* text = std::getenv("QUILLORY_FIXED_DT"); text && *text) {
        char* end = nullptr;
        const double step = std::strtod(text, &end);
        if (end != text && *end == '\0' && std::isfinite(step) && step > 0.0 && step <= 3600.0)
            options.sessionStep = step;
    }
    return true;
}

int Demo_Run(const Demo_Options& options, std::FILE* out) {
    const bool headless = Win_Headless_IsRunning();
    const bool builtIn = headless && !options.scripted;
    std::vector<Win_HeadlessEvent> input;
    if (builtIn) {
        const double step = options.sessionStep > 0.0 ? options.sessionStep : 1.0 / 60.0;
        Win_Headless_SetFixedStep(step);
        input = Demo_BuiltInSession(step);
    } else if (headless) {
        input = options.script;
        // A script that never closes the window would run for ever.
        if (!Demo_ScriptCloses(input) && options.frameLimit == 0) {
            Win_HeadlessEvent close;
            close.time = Demo_ScriptEnd(input) + 1.0;
            close.kind = WIN_HEADLESS_CLOSE;
            input.push_back(close);
        }
    } else if (options.scripted) {
        std::fprintf(stderr, "quillory-demo: QUILLORY_DEMO_SCRIPT drives the headless platform only; ignored\n");
    }

    Demo_State state;
    int status = 0;
    const bool created = Demo_Startup(state, options.dataDir);
    const auto begin = std::chrono::steady_clock::now();
    if (!created) {
        // Nothing could ever close the window, so the loop would never end.
        std::fprintf(stderr, "quillory-demo: the window could not be created\n");
        status = 1;
    } else {
        if (headless) ScheduleInput(input);
        while (Win_ProcessMessages()) {
            Demo_Frame(state);
            if (state.frames == options.frameLimit && state.window->created == 1) Demo_OnClose(state.window);
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    if (headless) Win_Headless_ClearSchedule();

    std::string shot = options.screenshot;
    if (shot.empty() && builtIn) shot = DEMO_DEFAULT_SCREENSHOT;
    bool shotWritten = false;
    if (!shot.empty() && state.frames > 0) {
        shotWritten = Gfx_Image_SavePNG_Opaque(state.backBuffer, shot.c_str());
        if (!shotWritten) {
            std::fprintf(stderr, "quillory-demo: cannot write the screenshot '%s'\n", shot.c_str());
            status = 1;
        }
    }
    if (builtIn && out) {
        const double rate = seconds > 0.0 ? static_cast<double>(state.frames) / seconds : 0.0;
        std::fprintf(out, "quillory-demo: %llu frames, %.1f frames per second on average\n",
                     static_cast<unsigned long long>(state.frames), rate);
        if (shotWritten) std::fprintf(out, "quillory-demo: last frame written to %s\n", shot.c_str());
    }
    Demo_Shutdown(state);
    PrintCredits(out);
    return status;
}
