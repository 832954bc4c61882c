// The headless platform: native windows are records, the screen is a size,
// the client areas are framebuffers in memory and input comes from the
// public functions of platform/headless.h.
#include "platform/headless.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "image/image.h"
#include "platform/internal/compose.h"
#include "platform/internal/common_backend.h"
#include "platform/internal/system.h"
#include "platform/window.h"

namespace {

constexpr Win_DisplayMode kDefaultScreen{1920, 1080, 32};
constexpr std::int32_t kMaxScreenSide = 16384;

// A framed window's frame: a caption bar and a sizing or thin border.
constexpr std::int32_t kCaptionHeight = 23;
constexpr std::int32_t kThickBorder = 8;
constexpr std::int32_t kThinBorder = 3;

// The framebuffer covers at most this much of a client area, so that a
// forged geometry cannot ask for gigabytes.
constexpr std::int32_t kMaxFramebufferSide = 16384;
constexpr std::int64_t kMaxFramebufferPixels = std::int64_t{1} << 24;

constexpr Win_DisplayMode kStandardModes[] = {
    {640, 480, 0},  {800, 600, 0},   {1024, 768, 0},  {1280, 720, 0},  {1280, 800, 0},  {1280, 1024, 0}, {1366, 768, 0},
    {1600, 900, 0}, {1680, 1050, 0}, {1920, 1080, 0}, {1920, 1200, 0}, {2560, 1440, 0}, {3840, 2160, 0},
};

struct Insets {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

Insets FrameOf(std::uint32_t style) {
    const bool caption = (style & WIN_STYLE_CAPTION) == WIN_STYLE_CAPTION;
    const std::int32_t border = (style & WIN_STYLE_THICKFRAME) ? kThickBorder : (caption ? kThinBorder : 0);
    return Insets{border, border + (caption ? kCaptionHeight : 0), border, border};
}

std::int32_t Clamp32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

struct HeadlessWindow {
    Win_NativeHandle handle = 0;
    std::string className;
    std::string title;
    std::uint32_t style = 0;
    Win_Rect rect;
    Win_NativeHandle parent = 0;
    std::uint32_t background = 0;
    bool visible = false;
    bool enabled = true;
    bool invalid = true;
    bool shaped = false;
    std::vector<Win_Rect> shape;
    std::vector<std::uint32_t> pixels;  // the client area, 0xFFRRGGBB, top row first
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint64_t paints = 0;

    Win_Rect Client() const {
        const Insets f = FrameOf(style);
        Win_Rect c{Clamp32(std::int64_t{rect.x0} + f.left), Clamp32(std::int64_t{rect.y0} + f.top),
                   Clamp32(std::int64_t{rect.x1} - f.right), Clamp32(std::int64_t{rect.y1} - f.bottom)};
        c.x1 = std::max(c.x1, c.x0);
        c.y1 = std::max(c.y1, c.y0);
        return c;
    }

    Win_Framebuffer Framebuffer() {
        Win_Framebuffer fb;
        fb.pixels = pixels.empty() ? nullptr : pixels.data();
        fb.width = width;
        fb.height = height;
        fb.stride = static_cast<std::size_t>(width);
        return fb;
    }

    // Follows the client size, keeping what is shown and filling new area
    // with the class background, as the platform erases it.
    void ResizeFramebuffer() {
        const Win_Rect c = Client();
        std::int64_t w = std::min<std::int64_t>(std::int64_t{c.x1} - c.x0, kMaxFramebufferSide);
        std::int64_t h = std::min<std::int64_t>(std::int64_t{c.y1} - c.y0, kMaxFramebufferSide);
        if (w > 0 && h > kMaxFramebufferPixels / w) h = kMaxFramebufferPixels / w;
        if (w == width && h == height) return;
        std::vector<std::uint32_t> next(static_cast<std::size_t>(w * h), background | 0xFF000000u);
        const std::int64_t keepW = std::min<std::int64_t>(w, width);
        const std::int64_t keepH = std::min<std::int64_t>(h, height);
        for (std::int64_t y = 0; y < keepH; ++y) std::copy_n(pixels.begin() + y * width, keepW, next.begin() + y * w);
        pixels.swap(next);
        width = static_cast<std::int32_t>(w);
        height = static_cast<std::int32_t>(h);
    }

    bool ShapeContains(std::int32_t sx, std::int32_t sy) const {
        if (!shaped) return true;
        const std::int64_t x = std::int64_t{sx} - rect.x0;
        const std::int64_t y = std::int64_t{sy} - rect.y0;
        return std::any_of(shape.begin(), shape.end(),
                           [&](const Win_Rect& r) { return x >= r.x0 && x < r.x1 && y >= r.y0 && y < r.y1; });
    }
};

enum class InputKind { Posted, MouseMove, MouseDown, MouseUp, KeyDown, KeyUp };

// One queue entry: a posted message, or raw input that becomes a message for
// whichever window it reaches when it is taken.
struct Input {
    InputKind kind = InputKind::Posted;
    Win_Message message;  // Posted
    std::int32_t x = 0;   // screen pixels (mouse)
    std::int32_t y = 0;
    std::int32_t code = 0;  // button 1..3 or virtual key
};

struct Scheduled {
    double time = 0.0;
    Win_HeadlessEvent event;
    Win_NativeHandle window = 0;  // 0: the active window when it fires
    bool snapshot = false;        // save the window's framebuffer first
};

struct Timer {
    Win_NativeHandle window = 0;
    std::int32_t id = 0;
    double period = 0.0;
    double due = 0.0;
};

std::int32_t ButtonKey(std::int32_t button) {
    switch (button) {
    case 1: return WIN_VK_LBUTTON;
    case 2: return WIN_VK_MBUTTON;
    case 3: return WIN_VK_RBUTTON;
    default: return 0;
    }
}

bool ParseScreen(const char* text, Win_DisplayMode* mode) {
    int w = 0;
    int h = 0;
    char tail = 0;
    if (std::sscanf(text, "%dx%d%c", &w, &h, &tail) != 2) return false;
    if (w <= 0 || h <= 0 || w > kMaxScreenSide || h > kMaxScreenSide) return false;
    mode->width = w;
    mode->height = h;
    return true;
}

class C_HeadlessBackend final : public C_CommonBackend {
public:
    const char* Name() const override { return "headless"; }

    bool Open() override {
        m_desktop = kDefaultScreen;
        if (const char* text = std::getenv("QUILLORY_HEADLESS_SCREEN"); text && *text) {
            if (!ParseScreen(text, &m_desktop))
                std::fprintf(stderr, "Quillory: QUILLORY_HEADLESS_SCREEN=\"%s\" is not WIDTHxHEIGHT; using %dx%d\n",
                             text, m_desktop.width, m_desktop.height);
        }
        m_screen = m_desktop;
        bool malformed = false;
        const double step = Win_EnvSeconds("QUILLORY_FIXED_DT", &malformed);
        if (malformed)
            std::fprintf(stderr, "Quillory: QUILLORY_FIXED_DT must be seconds between 0 and 3600; using real time\n");
        SetFixedStep(step);
        // A run that ends by itself: a close request at a clock time, with
        // the last picture saved just before it.
        const double closeAt = Win_EnvSeconds("QUILLORY_HEADLESS_CLOSE_AT", &malformed);
        if (malformed)
            std::fprintf(stderr, "Quillory: QUILLORY_HEADLESS_CLOSE_AT must be seconds between 0 and 3600; ignored\n");
        if (const char* path = std::getenv("QUILLORY_HEADLESS_SNAPSHOT")) m_snapshotPath = path;
        if (closeAt > 0.0) {
            Win_HeadlessEvent close;
            close.time = closeAt;
            close.kind = WIN_HEADLESS_CLOSE;
            Schedule(close, 0, true);
        }
        return true;
    }

    void Close() override {
        m_windows.clear();
        m_zOrder.clear();
        m_queue.clear();
        m_schedule.clear();
        m_timers.clear();
    }

    Win_NativeHandle CreateNativeWindow(const Win_WindowDesc& desc) override {
        auto window = std::make_unique<HeadlessWindow>();
        const Win_NativeHandle handle = m_nextHandle++;
        window->handle = handle;
        window->className = desc.className ? desc.className : "";
        window->title = desc.title ? desc.title : "";
        window->style = desc.style;
        window->rect = desc.rect;
        window->parent = desc.parent;
        window->background = desc.background & 0xFFFFFFu;
        window->ResizeFramebuffer();
        m_windows.push_back(std::move(window));
        m_zOrder.push_back(handle);
        SendNotice(handle, WIN_MSG_CREATE);
        return handle;
    }

    void DestroyNativeWindow(Win_NativeHandle handle) override {
        if (!Find(handle)) return;
        SendNotice(handle, WIN_MSG_DESTROY);
        if (m_capture == handle) m_capture = 0;
        if (m_focus == handle) m_focus = 0;
        if (m_active == handle) m_active = 0;
        m_timers.erase(
            std::remove_if(m_timers.begin(), m_timers.end(), [handle](const Timer& t) { return t.window == handle; }),
            m_timers.end());
        m_zOrder.erase(std::remove(m_zOrder.begin(), m_zOrder.end(), handle), m_zOrder.end());
        m_windows.erase(
            std::remove_if(m_windows.begin(), m_windows.end(), [handle](const auto& w) { return w->handle == handle; }),
            m_windows.end());
    }

    bool SetWindowTitle(Win_NativeHandle handle, const char* title) override {
        HeadlessWindow* w = Find(handle);
        if (!w) return false;
        w->title = title ? title : "";
        return true;
    }

    bool SetWindowRect(Win_NativeHandle handle, const Win_Rect& rect, bool show) override {
        HeadlessWindow* w = Find(handle);
        if (!w) return false;
        w->rect = rect;
        if (show && !w->visible) {
            w->visible = true;
            w->invalid = true;
        }
        AfterFrameChange(handle);
        return true;
    }

    bool GetWindowRect(Win_NativeHandle handle, Win_Rect* rect) override {
        const HeadlessWindow* w = Find(handle);
        if (!w || !rect) return false;
        *rect = w->rect;
        return true;
    }

    bool GetClientRect(Win_NativeHandle handle, Win_Rect* rect) override {
        const HeadlessWindow* w = Find(handle);
        if (!w || !rect) return false;
        *rect = w->Client();
        return true;
    }

    bool SetWindowStyle(Win_NativeHandle handle, std::uint32_t style) override {
        HeadlessWindow* w = Find(handle);
        if (!w) return false;
        w->style = style;
        AfterFrameChange(handle);
        return true;
    }

    std::uint32_t GetWindowStyle(Win_NativeHandle handle) override {
        const HeadlessWindow* w = Find(handle);
        return w ? w->style : 0;
    }

    bool ShowNativeWindow(Win_NativeHandle handle, Win_ShowCommand command) override {
        HeadlessWindow* w = Find(handle);
        if (!w) return false;
        if (command == WIN_SHOW_HIDE) {
            if (!w->visible) return true;
            w->visible = false;
            SendSimple(WIN_MSG_SHOWWINDOW, handle, 0);
            if (m_active == handle) Activate(0);
            if (m_focus == handle) Focus(0);
            return true;
        }
        if (!w->visible) {
            w->visible = true;
            w->invalid = true;
            SendSimple(WIN_MSG_SHOWWINDOW, handle, 1);
        }
        if (command == WIN_SHOW_NORMAL && Find(handle)) {
            m_zOrder.erase(std::remove(m_zOrder.begin(), m_zOrder.end(), handle), m_zOrder.end());
            m_zOrder.push_back(handle);
            Activate(handle);
            Focus(handle);
        }
        return true;
    }

    bool EnableNativeWindow(Win_NativeHandle handle, bool enable) override {
        HeadlessWindow* w = Find(handle);
        if (!w) return false;
        w->enabled = enable;
        return true;
    }

    bool SetWindowShape(Win_NativeHandle handle, const Win_Rect* rects, std::size_t count) override {
        HeadlessWindow* w = Find(handle);
        if (!w || (count != 0 && !rects)) return false;
        w->shaped = true;
        w->shape.assign(rects, rects + count);
        return true;
    }

    bool SetFocus(Win_NativeHandle handle) override {
        if (handle && !Find(handle)) return false;
        Focus(handle);
        return true;
    }

    bool SetCapture(Win_NativeHandle handle) override {
        if (!Find(handle)) return false;
        m_capture = handle;
        return true;
    }

    bool ReleaseCapture() override {
        m_capture = 0;
        return true;
    }

    bool StartTimer(Win_NativeHandle handle, std::int32_t id, std::uint32_t periodMs) override {
        if (!Find(handle)) return false;
        StopTimer(handle, id);
        Timer t;
        t.window = handle;
        t.id = id;
        t.period = static_cast<double>(std::max<std::uint32_t>(periodMs, 1)) / 1000.0;
        t.due = Now() + t.period;
        m_timers.push_back(t);
        return true;
    }

    bool StopTimer(Win_NativeHandle handle, std::int32_t id) override {
        const auto before = m_timers.size();
        m_timers.erase(std::remove_if(m_timers.begin(), m_timers.end(),
                                      [&](const Timer& t) { return t.window == handle && t.id == id; }),
                       m_timers.end());
        return m_timers.size() != before;
    }

    bool PeekMessage(Win_Message* message) override {
        AdvanceFrameClock();
        ReleaseScheduled();
        while (!m_queue.empty()) {
            const Input input = m_queue.front();
            m_queue.pop_front();
            if (Deliver(input, message)) return true;
        }
        if (TakeQuitMessage(message)) return true;
        for (Win_NativeHandle handle : m_zOrder) {
            const HeadlessWindow* w = Find(handle);
            if (w && w->visible && w->invalid) {
                *message = Win_Message{};
                message->type = WIN_MSG_PAINT;
                message->window = handle;
                return true;
            }
        }
        const double now = Now();
        for (Timer& t : m_timers) {
            if (now < t.due) continue;
            t.due = now + t.period;  // ticks missed meanwhile are not made up
            *message = Win_Message{};
            message->type = WIN_MSG_TIMER;
            message->window = t.window;
            message->param = t.id;
            return true;
        }
        return false;
    }

    void DefaultHandling(const Win_Message& message) override {
        if (message.type != WIN_MSG_PAINT) return;
        if (HeadlessWindow* w = Find(message.window)) w->invalid = false;
    }

    bool BeginPaint(Win_NativeHandle handle) override { return Find(handle) != nullptr; }

    void DrawPixels(Win_NativeHandle handle, const Win_PixelBlock& pixels, std::int32_t x, std::int32_t y) override {
        if (HeadlessWindow* w = Find(handle)) Win_ComposePixels(w->Framebuffer(), pixels, x, y);
    }

    void FillRect(Win_NativeHandle handle, const Win_Rect& rect, std::uint32_t rgb) override {
        if (HeadlessWindow* w = Find(handle)) Win_ComposeFill(w->Framebuffer(), rect, rgb);
    }

    void EndPaint(Win_NativeHandle handle) override {
        if (HeadlessWindow* w = Find(handle)) ++w->paints;
    }

    std::uint32_t GetSysColor(Win_SysColorId id) override { return Win_DefaultSysColor(id); }

    bool SetCursorShape(Win_CursorShape shape) override {
        m_cursorShape = shape;
        return true;
    }

    bool GetScreenInfo(Win_DisplayMode* mode) override {
        if (!mode) return false;
        *mode = m_screen;
        return true;
    }

    bool GetDisplayMode(bool stored, Win_DisplayMode* mode) override {
        if (!mode) return false;
        *mode = stored ? m_desktop : m_screen;
        return true;
    }

    bool ChangeDisplayMode(const Win_DisplayMode& mode) override {
        if (!IsModeSupported(mode)) return false;
        m_screen.width = mode.width;
        m_screen.height = mode.height;
        if (mode.bitsPerPixel != 0) m_screen.bitsPerPixel = mode.bitsPerPixel;
        return true;
    }

    void ShowMessageBox(const char* text, const char* caption) override {
        m_lastMessageBox = text ? text : "";
        std::fprintf(stderr, "%s: %s\n", caption ? caption : "", m_lastMessageBox.c_str());
    }

    double CounterFrequency() override { return m_step > 0.0 ? 1.0 / m_step : 1e9; }

    std::uint64_t Counter() override {
        if (m_step <= 0.0) return static_cast<std::uint64_t>(RealElapsed().count());
        const std::uint64_t value = m_steps;
        if (m_advancePending) {  // the frame's time passes after its first reading
            ++m_steps;
            m_advancePending = false;
        }
        return value;
    }

    std::uint32_t Milliseconds() override {
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(Now() * 1000.0));
    }

    // The public API's side.

    HeadlessWindow* Find(Win_NativeHandle handle) {
        if (handle == 0) return nullptr;
        for (const auto& w : m_windows)
            if (w->handle == handle) return w.get();
        return nullptr;
    }

    bool IsModeSupported(const Win_DisplayMode& mode) const {
        if (mode.bitsPerPixel != 0 && mode.bitsPerPixel != 16 && mode.bitsPerPixel != 24 && mode.bitsPerPixel != 32)
            return false;
        if (mode.width == m_desktop.width && mode.height == m_desktop.height) return true;
        return std::any_of(std::begin(kStandardModes), std::end(kStandardModes),
                           [&](const Win_DisplayMode& m) { return m.width == mode.width && m.height == mode.height; });
    }

    bool SetScreenSize(std::int32_t width, std::int32_t height) {
        if (width <= 0 || height <= 0 || width > kMaxScreenSide || height > kMaxScreenSide) return false;
        m_desktop.width = m_screen.width = width;
        m_desktop.height = m_screen.height = height;
        return true;
    }

    void SetFixedStep(double seconds) {
        m_step = seconds > 0.0 ? seconds : 0.0;
        m_steps = 0;
        m_advancePending = false;
        m_origin = std::chrono::steady_clock::now();
        for (Timer& t : m_timers) t.due = t.period;
    }

    bool Tick(std::uint32_t steps) {
        if (m_step <= 0.0) return false;
        m_steps += steps;
        return true;
    }

    double Now() const {
        if (m_step > 0.0) return static_cast<double>(m_steps) * m_step;
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_origin).count();
    }

    // Turns an event into a queue entry now: client coordinates become
    // screen coordinates through the window's current place.
    bool Enqueue(const Win_HeadlessEvent& event, Win_NativeHandle handle) {
        if (handle == 0) handle = m_active;
        switch (event.kind) {
        case WIN_HEADLESS_MOUSEMOVE:
        case WIN_HEADLESS_MOUSEDOWN:
        case WIN_HEADLESS_MOUSEUP: {
            if (event.kind != WIN_HEADLESS_MOUSEMOVE && ButtonKey(event.code) == 0) return false;
            std::int64_t ox = 0;
            std::int64_t oy = 0;
            if (const HeadlessWindow* w = Find(handle)) {
                const Win_Rect client = w->Client();
                ox = client.x0;
                oy = client.y0;
            }
            Input input;
            input.kind = event.kind == WIN_HEADLESS_MOUSEMOVE   ? InputKind::MouseMove
                         : event.kind == WIN_HEADLESS_MOUSEDOWN ? InputKind::MouseDown
                                                                : InputKind::MouseUp;
            input.x = Clamp32(ox + event.x);
            input.y = Clamp32(oy + event.y);
            input.code = event.code;
            m_queue.push_back(input);
            return true;
        }
        case WIN_HEADLESS_KEYDOWN:
        case WIN_HEADLESS_KEYUP: {
            if (event.code <= 0 || event.code >= WIN_VK_COUNT) return false;
            Input input;
            input.kind = event.kind == WIN_HEADLESS_KEYDOWN ? InputKind::KeyDown : InputKind::KeyUp;
            input.code = event.code;
            m_queue.push_back(input);
            return true;
        }
        case WIN_HEADLESS_CLOSE: return PostToWindow(handle, WIN_MSG_CLOSE, 0);
        }
        return false;
    }

    bool PostToWindow(Win_NativeHandle handle, Win_MessageType type, std::int32_t param) {
        const HeadlessWindow* w = Find(handle);
        if (!w || type == WIN_MSG_NONE || type == WIN_MSG_QUIT) return false;
        Input input;
        input.kind = InputKind::Posted;
        input.message.type = type;
        input.message.window = handle;
        input.message.param = param;
        input.message.rect = w->rect;
        m_queue.push_back(input);
        return true;
    }

    void Schedule(const Win_HeadlessEvent& event, Win_NativeHandle handle, bool snapshot = false) {
        Scheduled s;
        s.time = event.time;
        s.event = event;
        s.event.window = nullptr;  // the object may be gone by then; the handle stays unique
        s.window = handle;
        s.snapshot = snapshot;
        // Keep the list in time order; equal times keep their order.
        const auto at = std::upper_bound(m_schedule.begin(), m_schedule.end(), s.time,
                                         [](double t, const Scheduled& other) { return t < other.time; });
        m_schedule.insert(at, s);
    }

    void ClearSchedule() { m_schedule.clear(); }

    bool Drag(Win_NativeHandle handle, std::int32_t x, std::int32_t y) {
        HeadlessWindow* w = Find(handle);
        if (!w) return false;
        Win_Message moving;
        moving.type = WIN_MSG_MOVING;
        moving.window = handle;
        moving.rect =
            Win_Rect{x, y, Clamp32(std::int64_t{x} + w->rect.Width()), Clamp32(std::int64_t{y} + w->rect.Height())};
        Send(moving);
        return SetWindowRect(handle, moving.rect, false);
    }

    bool Info(Win_NativeHandle handle, Win_HeadlessWindowInfo* info) {
        const HeadlessWindow* w = Find(handle);
        if (!w || !info) return false;
        info->windowRect = w->rect;
        info->clientRect = w->Client();
        info->style = w->style;
        info->visible = w->visible;
        info->enabled = w->enabled;
        info->active = m_active == handle;
        info->focused = m_focus == handle;
        info->captured = m_capture == handle;
        info->shaped = w->shaped;
        info->shapeRects = w->shape.size();
        info->paints = w->paints;
        info->title = w->title.c_str();
        info->className = w->className.c_str();
        return true;
    }

    // The client area as shown, as a top-down image.
    bool CopyFramebuffer(Win_NativeHandle handle, C_Image* out) {
        const HeadlessWindow* w = Find(handle);
        if (!w || !out) return false;
        const auto width = static_cast<std::uint32_t>(w->width);
        const auto height = static_cast<std::uint32_t>(w->height);
        if (!out->CreateEmpty(width, height, GFX_FMT_ARGB8888, GFX_FMT_NONE)) return false;
        out->bottomUp = 0;
        for (std::uint32_t y = 0; y < height; ++y) {
            const std::uint32_t* src = w->pixels.data() + static_cast<std::size_t>(y) * width;
            std::uint8_t* dst = out->data + static_cast<std::size_t>(y) * out->pitch;
            for (std::uint32_t x = 0; x < width; ++x) {
                const std::uint32_t v = src[x];
                dst[4 * x + 0] = static_cast<std::uint8_t>(v);
                dst[4 * x + 1] = static_cast<std::uint8_t>(v >> 8);
                dst[4 * x + 2] = static_cast<std::uint8_t>(v >> 16);
                dst[4 * x + 3] = static_cast<std::uint8_t>(v >> 24);
            }
        }
        return true;
    }

    Win_CursorShape CursorShape() const { return m_cursorShape; }
    const char* LastMessageBox() const { return m_lastMessageBox.c_str(); }

private:
    std::vector<std::unique_ptr<HeadlessWindow>> m_windows;  // creation order
    std::vector<Win_NativeHandle> m_zOrder;                  // bottom first
    Win_NativeHandle m_nextHandle = 0x100;                   // never 1, the answer Create gives for an existing window
    Win_NativeHandle m_active = 0;
    Win_NativeHandle m_focus = 0;
    Win_NativeHandle m_capture = 0;
    std::deque<Input> m_queue;
    std::vector<Scheduled> m_schedule;
    std::vector<Timer> m_timers;
    Win_CursorShape m_cursorShape = WIN_CURSOR_ARROW;
    Win_DisplayMode m_desktop = kDefaultScreen;
    Win_DisplayMode m_screen = kDefaultScreen;
    std::string m_lastMessageBox;
    std::string m_snapshotPath;
    double m_step = 0.0;  // fixed clock step in seconds; 0: real time
    std::uint64_t m_steps = 0;
    bool m_advancePending = false;
    std::chrono::steady_clock::time_point m_origin = std::chrono::steady_clock::now();

    std::chrono::nanoseconds RealElapsed() const {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - m_origin);
    }

    void AdvanceFrameClock() {
        if (m_step <= 0.0) return;
        if (m_advancePending) ++m_steps;  // the last frame never read the clock
        m_advancePending = true;
    }

    void ReleaseScheduled() {
        const double now = Now();
        std::size_t released = 0;
        while (released < m_schedule.size() && m_schedule[released].time <= now) ++released;
        if (released == 0) return;
        // Move them out first: enqueueing cannot add to the schedule, but
        // keep the list consistent regardless.
        std::vector<Scheduled> due(m_schedule.begin(), m_schedule.begin() + static_cast<std::ptrdiff_t>(released));
        m_schedule.erase(m_schedule.begin(), m_schedule.begin() + static_cast<std::ptrdiff_t>(released));
        for (const Scheduled& s : due) {
            // A window that has gone meanwhile takes its events with it.
            if (s.window != 0 && !Find(s.window)) continue;
            if (s.snapshot && !m_snapshotPath.empty()) SaveSnapshot(s.window ? s.window : m_active);
            Enqueue(s.event, s.window);
        }
    }

    void SaveSnapshot(Win_NativeHandle handle) {
        C_Image picture;
        if (!CopyFramebuffer(handle, &picture) || !picture.SaveToFile(m_snapshotPath.c_str(), 0))
            std::fprintf(stderr, "Quillory: could not save the window picture to \"%s\"\n", m_snapshotPath.c_str());
    }

    void SendSimple(Win_MessageType type, Win_NativeHandle handle, std::int32_t param) {
        Win_Message message;
        message.type = type;
        message.window = handle;
        message.param = param;
        Send(message);
    }

    void Activate(Win_NativeHandle handle) {
        if (m_active == handle) return;
        const Win_NativeHandle old = m_active;
        m_active = handle;
        if (old) SendSimple(WIN_MSG_ACTIVATE, old, 0);
        if (handle) SendSimple(WIN_MSG_ACTIVATE, handle, 1);
    }

    void Focus(Win_NativeHandle handle) {
        if (m_focus == handle) return;
        const Win_NativeHandle old = m_focus;
        m_focus = handle;
        if (old) SendSimple(WIN_MSG_KILLFOCUS, old, 0);
        if (handle) SendSimple(WIN_MSG_SETFOCUS, handle, 0);
    }

    // After a move, resize or frame change: the framebuffer follows the
    // client area, and a new client size is announced.
    void AfterFrameChange(Win_NativeHandle handle) {
        HeadlessWindow* w = Find(handle);
        if (!w) return;
        const std::int32_t oldWidth = w->width;
        const std::int32_t oldHeight = w->height;
        w->ResizeFramebuffer();
        if (w->width == oldWidth && w->height == oldHeight) return;
        w->invalid = true;
        Win_Message size;
        size.type = WIN_MSG_SIZE;
        size.window = handle;
        size.x = w->width;
        size.y = w->height;
        Send(size);
    }

    Win_NativeHandle MouseTarget(std::int32_t x, std::int32_t y) {
        if (m_capture && Find(m_capture)) return m_capture;
        for (auto it = m_zOrder.rbegin(); it != m_zOrder.rend(); ++it) {
            const HeadlessWindow* w = Find(*it);
            if (!w || !w->visible || !w->rect.Contains(x, y) || !w->ShapeContains(x, y)) continue;
            // The topmost window under the pointer takes the input; over its
            // frame, or while disabled, no client message is made.
            if (!w->enabled || !w->Client().Contains(x, y)) return 0;
            return *it;
        }
        return 0;
    }

    void SetKey(std::int32_t virtualKey, bool down) {
        if (down && !m_keys[virtualKey]) {
            if (virtualKey == WIN_VK_CAPITAL) m_toggles.capsLock = !m_toggles.capsLock;
            if (virtualKey == WIN_VK_NUMLOCK) m_toggles.numLock = !m_toggles.numLock;
        }
        m_keys[virtualKey] = down;
        // The side-specific modifiers also drive the common one.
        switch (virtualKey) {
        case WIN_VK_LSHIFT:
        case WIN_VK_RSHIFT: m_keys[WIN_VK_SHIFT] = m_keys[WIN_VK_LSHIFT] || m_keys[WIN_VK_RSHIFT]; break;
        case WIN_VK_LCONTROL:
        case WIN_VK_RCONTROL: m_keys[WIN_VK_CONTROL] = m_keys[WIN_VK_LCONTROL] || m_keys[WIN_VK_RCONTROL]; break;
        case WIN_VK_LMENU:
        case WIN_VK_RMENU: m_keys[WIN_VK_MENU] = m_keys[WIN_VK_LMENU] || m_keys[WIN_VK_RMENU]; break;
        default: break;
        }
    }

    // Applies a queue entry's input state and makes it a message for the
    // window it reaches; false when it reaches none.
    bool Deliver(const Input& input, Win_Message* message) {
        *message = Win_Message{};
        switch (input.kind) {
        case InputKind::Posted: *message = input.message; return true;
        case InputKind::MouseMove:
        case InputKind::MouseDown:
        case InputKind::MouseUp: {
            m_cursorX = input.x;
            m_cursorY = input.y;
            if (input.kind != InputKind::MouseMove) m_keys[ButtonKey(input.code)] = input.kind == InputKind::MouseDown;
            const Win_NativeHandle target = MouseTarget(input.x, input.y);
            const HeadlessWindow* w = Find(target);
            if (!w) return false;
            const Win_Rect client = w->Client();
            message->type = input.kind == InputKind::MouseMove   ? WIN_MSG_MOUSEMOVE
                            : input.kind == InputKind::MouseDown ? WIN_MSG_BUTTONDOWN
                                                                 : WIN_MSG_BUTTONUP;
            message->window = target;
            message->param = input.code;
            message->x = Clamp32(std::int64_t{input.x} - client.x0);
            message->y = Clamp32(std::int64_t{input.y} - client.y0);
            return true;
        }
        case InputKind::KeyDown:
        case InputKind::KeyUp: {
            SetKey(input.code, input.kind == InputKind::KeyDown);
            const HeadlessWindow* w = Find(m_focus);
            if (!w || !w->enabled) return false;
            message->type = input.kind == InputKind::KeyDown ? WIN_MSG_KEYDOWN : WIN_MSG_KEYUP;
            message->window = m_focus;
            message->param = input.code;
            return true;
        }
        }
        return false;
    }
};

C_HeadlessBackend* Running() { return dynamic_cast<C_HeadlessBackend*>(Win_GetPlatform()); }

// The native handle of a window that exists, else 0.
Win_NativeHandle HandleOf(const C_Window* window) { return window && window->created == 1 ? window->native.window : 0; }

}  // namespace

C_PlatformBackend* Win_NewHeadlessBackend() { return new C_HeadlessBackend(); }

bool Win_Headless_IsRunning() { return Running() != nullptr; }

bool Win_Headless_SetScreenSize(std::int32_t width, std::int32_t height) {
    C_HeadlessBackend* backend = Running();
    return backend && backend->SetScreenSize(width, height);
}

bool Win_Headless_SetFixedStep(double seconds) {
    C_HeadlessBackend* backend = Running();
    if (!backend || !(seconds >= 0.0) || seconds > 3600.0) return false;
    backend->SetFixedStep(seconds);
    return true;
}

bool Win_Headless_Tick(std::uint32_t steps) {
    C_HeadlessBackend* backend = Running();
    return backend && backend->Tick(steps);
}

double Win_Headless_GetClock() {
    C_HeadlessBackend* backend = Running();
    return backend ? backend->Now() : 0.0;
}

bool Win_Headless_Post(const Win_HeadlessEvent& event) {
    C_HeadlessBackend* backend = Running();
    if (!backend) return false;
    const Win_NativeHandle handle = HandleOf(event.window);
    if (event.window && !handle) return false;
    return backend->Enqueue(event, handle);
}

bool Win_Headless_Schedule(const Win_HeadlessEvent* events, std::size_t count) {
    C_HeadlessBackend* backend = Running();
    if (!backend || (count != 0 && !events)) return false;
    // All or nothing: check every event before queueing any.
    for (std::size_t i = 0; i < count; ++i) {
        const Win_HeadlessEvent& e = events[i];
        if (!(e.time >= 0.0) || (e.window && !HandleOf(e.window))) return false;
        const bool mouse = e.kind == WIN_HEADLESS_MOUSEDOWN || e.kind == WIN_HEADLESS_MOUSEUP;
        const bool key = e.kind == WIN_HEADLESS_KEYDOWN || e.kind == WIN_HEADLESS_KEYUP;
        if (mouse && (e.code < 1 || e.code > 3)) return false;
        if (key && (e.code <= 0 || e.code >= WIN_VK_COUNT)) return false;
        if (e.kind < WIN_HEADLESS_MOUSEMOVE || e.kind > WIN_HEADLESS_CLOSE) return false;
    }
    for (std::size_t i = 0; i < count; ++i) backend->Schedule(events[i], HandleOf(events[i].window));
    return true;
}

bool Win_Headless_ClearSchedule() {
    C_HeadlessBackend* backend = Running();
    if (!backend) return false;
    backend->ClearSchedule();
    return true;
}

namespace {

bool PostEvent(Win_HeadlessEventKind kind, C_Window* window, std::int32_t code, std::int32_t x, std::int32_t y) {
    Win_HeadlessEvent event;
    event.kind = kind;
    event.window = window;
    event.code = code;
    event.x = x;
    event.y = y;
    return Win_Headless_Post(event);
}

}  // namespace

bool Win_Headless_MouseMove(C_Window* window, std::int32_t x, std::int32_t y) {
    return PostEvent(WIN_HEADLESS_MOUSEMOVE, window, 0, x, y);
}

bool Win_Headless_MouseDown(C_Window* window, std::int32_t button, std::int32_t x, std::int32_t y) {
    return PostEvent(WIN_HEADLESS_MOUSEDOWN, window, button, x, y);
}

bool Win_Headless_MouseUp(C_Window* window, std::int32_t button, std::int32_t x, std::int32_t y) {
    return PostEvent(WIN_HEADLESS_MOUSEUP, window, button, x, y);
}

bool Win_Headless_KeyDown(std::int32_t virtualKey) {
    return PostEvent(WIN_HEADLESS_KEYDOWN, nullptr, virtualKey, 0, 0);
}

bool Win_Headless_KeyUp(std::int32_t virtualKey) { return PostEvent(WIN_HEADLESS_KEYUP, nullptr, virtualKey, 0, 0); }

bool Win_Headless_RequestClose(C_Window* window) { return PostEvent(WIN_HEADLESS_CLOSE, window, 0, 0, 0); }

bool Win_Headless_PostMessage(C_Window* window, Win_MessageType type, std::int32_t param) {
    C_HeadlessBackend* backend = Running();
    return backend && backend->PostToWindow(HandleOf(window), type, param);
}

bool Win_Headless_DragWindow(C_Window* window, std::int32_t x, std::int32_t y) {
    C_HeadlessBackend* backend = Running();
    return backend && backend->Drag(HandleOf(window), x, y);
}

bool Win_Headless_GetWindowInfo(const C_Window* window, Win_HeadlessWindowInfo* info) {
    C_HeadlessBackend* backend = Running();
    return backend && backend->Info(HandleOf(window), info);
}

bool Win_Headless_GetShape(const C_Window* window, Win_Rect* rects, std::size_t capacity, std::size_t* count) {
    C_HeadlessBackend* backend = Running();
    if (!backend) return false;
    const HeadlessWindow* w = backend->Find(HandleOf(window));
    if (!w || (capacity != 0 && !rects)) return false;
    if (count) *count = w->shape.size();
    std::copy_n(w->shape.begin(), std::min(capacity, w->shape.size()), rects);
    return true;
}

bool Win_Headless_GetFramebuffer(const C_Window* window, C_Image* out) {
    C_HeadlessBackend* backend = Running();
    return backend && backend->CopyFramebuffer(HandleOf(window), out);
}

bool Win_Headless_SaveFramebuffer(const C_Window* window, const char* path) {
    C_Image picture;
    return path && Win_Headless_GetFramebuffer(window, &picture) && picture.SaveToFile(path, 0);
}

Win_CursorShape Win_Headless_GetCursorShape() {
    C_HeadlessBackend* backend = Running();
    return backend ? backend->CursorShape() : WIN_CURSOR_NONE;
}

const char* Win_Headless_GetLastMessageBox() {
    C_HeadlessBackend* backend = Running();
    return backend ? backend->LastMessageBox() : "";
}

bool Win_Headless_IsDisplayModeSupported(const Win_DisplayMode& mode) {
    C_HeadlessBackend* backend = Running();
    return backend && backend->IsModeSupported(mode);
}
