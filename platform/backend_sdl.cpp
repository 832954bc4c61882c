// The SDL2 platform: real windows on the desktop. Each native operation maps
// to its nearest SDL equivalent; pictures reach the screen through the
// window surface (software, no GPU), so they show exactly the pixels given.
#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <deque>
#include <memory>
#include <vector>

#include "platform/backend.h"
#include "platform/internal/compose.h"
#include "platform/internal/common_backend.h"
#include "platform/internal/system.h"

namespace {

struct SdlTimer {
    std::int32_t id = 0;
    double period = 0.0;
    double due = 0.0;
};

struct SdlWindow {
    SDL_Window* window = nullptr;
    Win_NativeHandle handle = 0;
    std::uint32_t style = 0;
    bool enabled = true;
    bool shaped = false;
    bool invalid = true;
    std::int32_t clientWidth = 0;  // the size last announced to the window
    std::int32_t clientHeight = 0;
    std::vector<SdlTimer> timers;
    // While painting: where the pixels go.
    SDL_Surface* surface = nullptr;
    bool direct = false;
    std::vector<std::uint32_t> scratch;
    Win_Framebuffer target;
};

std::int32_t KeyFromScancode(SDL_Scancode code) {
    if (code >= SDL_SCANCODE_A && code <= SDL_SCANCODE_Z) return WIN_VK_A + (code - SDL_SCANCODE_A);
    if (code >= SDL_SCANCODE_1 && code <= SDL_SCANCODE_9) return WIN_VK_0 + 1 + (code - SDL_SCANCODE_1);
    if (code >= SDL_SCANCODE_KP_1 && code <= SDL_SCANCODE_KP_9) return WIN_VK_NUMPAD0 + 1 + (code - SDL_SCANCODE_KP_1);
    if (code >= SDL_SCANCODE_F1 && code <= SDL_SCANCODE_F12) return WIN_VK_F1 + (code - SDL_SCANCODE_F1);
    if (code >= SDL_SCANCODE_F13 && code <= SDL_SCANCODE_F24) return WIN_VK_F1 + 12 + (code - SDL_SCANCODE_F13);
    switch (code) {
    case SDL_SCANCODE_0: return WIN_VK_0;
    case SDL_SCANCODE_KP_0: return WIN_VK_NUMPAD0;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return WIN_VK_RETURN;
    case SDL_SCANCODE_ESCAPE: return WIN_VK_ESCAPE;
    case SDL_SCANCODE_BACKSPACE: return WIN_VK_BACK;
    case SDL_SCANCODE_TAB: return WIN_VK_TAB;
    case SDL_SCANCODE_SPACE: return WIN_VK_SPACE;
    case SDL_SCANCODE_MINUS: return WIN_VK_OEM_MINUS;
    case SDL_SCANCODE_EQUALS: return WIN_VK_OEM_PLUS;
    case SDL_SCANCODE_LEFTBRACKET: return WIN_VK_OEM_4;
    case SDL_SCANCODE_RIGHTBRACKET: return WIN_VK_OEM_6;
    case SDL_SCANCODE_BACKSLASH:
    case SDL_SCANCODE_NONUSHASH: return WIN_VK_OEM_5;
    case SDL_SCANCODE_SEMICOLON: return WIN_VK_OEM_1;
    case SDL_SCANCODE_APOSTROPHE: return WIN_VK_OEM_7;
    case SDL_SCANCODE_GRAVE: return WIN_VK_OEM_3;
    case SDL_SCANCODE_COMMA: return WIN_VK_OEM_COMMA;
    case SDL_SCANCODE_PERIOD: return WIN_VK_OEM_PERIOD;
    case SDL_SCANCODE_SLASH: return WIN_VK_OEM_2;
    case SDL_SCANCODE_CAPSLOCK: return WIN_VK_CAPITAL;
    case SDL_SCANCODE_PRINTSCREEN: return WIN_VK_SNAPSHOT;
    case SDL_SCANCODE_SCROLLLOCK: return WIN_VK_SCROLL;
    case SDL_SCANCODE_PAUSE: return WIN_VK_PAUSE;
    case SDL_SCANCODE_INSERT: return WIN_VK_INSERT;
    case SDL_SCANCODE_HOME: return WIN_VK_HOME;
    case SDL_SCANCODE_PAGEUP: return WIN_VK_PRIOR;
    case SDL_SCANCODE_DELETE: return WIN_VK_DELETE;
    case SDL_SCANCODE_END: return WIN_VK_END;
    case SDL_SCANCODE_PAGEDOWN: return WIN_VK_NEXT;
    case SDL_SCANCODE_RIGHT: return WIN_VK_RIGHT;
    case SDL_SCANCODE_LEFT: return WIN_VK_LEFT;
    case SDL_SCANCODE_DOWN: return WIN_VK_DOWN;
    case SDL_SCANCODE_UP: return WIN_VK_UP;
    case SDL_SCANCODE_NUMLOCKCLEAR: return WIN_VK_NUMLOCK;
    case SDL_SCANCODE_KP_DIVIDE: return WIN_VK_DIVIDE;
    case SDL_SCANCODE_KP_MULTIPLY: return WIN_VK_MULTIPLY;
    case SDL_SCANCODE_KP_MINUS: return WIN_VK_SUBTRACT;
    case SDL_SCANCODE_KP_PLUS: return WIN_VK_ADD;
    case SDL_SCANCODE_KP_PERIOD: return WIN_VK_DECIMAL;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL: return WIN_VK_CONTROL;
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT: return WIN_VK_SHIFT;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT: return WIN_VK_MENU;
    case SDL_SCANCODE_LGUI: return WIN_VK_LWIN;
    case SDL_SCANCODE_RGUI: return WIN_VK_RWIN;
    case SDL_SCANCODE_APPLICATION: return WIN_VK_APPS;
    default: return 0;
    }
}

// Letters follow the keyboard layout (the key that types 'm' is 'M'
// wherever it sits); every other key is known by its position.
std::int32_t VirtualKeyOf(const SDL_Keysym& key) {
    if (key.sym >= SDLK_a && key.sym <= SDLK_z) return WIN_VK_A + (key.sym - SDLK_a);
    return KeyFromScancode(key.scancode);
}

SDL_SystemCursor SdlCursorOf(Win_CursorShape shape) {
    switch (shape) {
    case WIN_CURSOR_APPSTARTING: return SDL_SYSTEM_CURSOR_WAITARROW;
    case WIN_CURSOR_CROSS: return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case WIN_CURSOR_NO: return SDL_SYSTEM_CURSOR_NO;
    case WIN_CURSOR_SIZE:
    case WIN_CURSOR_SIZEALL: return SDL_SYSTEM_CURSOR_SIZEALL;
    case WIN_CURSOR_SIZENESW: return SDL_SYSTEM_CURSOR_SIZENESW;
    case WIN_CURSOR_SIZENS: return SDL_SYSTEM_CURSOR_SIZENS;
    case WIN_CURSOR_SIZENWSE: return SDL_SYSTEM_CURSOR_SIZENWSE;
    case WIN_CURSOR_SIZEWE: return SDL_SYSTEM_CURSOR_SIZEWE;
    case WIN_CURSOR_WAIT: return SDL_SYSTEM_CURSOR_WAIT;
    default: return SDL_SYSTEM_CURSOR_ARROW;  // help, icon and up-arrow have no own shape here
    }
}

// X11 and its peers keep window sizes and places in 16 bits.
int ClampSide(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, 1, 16384)); }
int ClampPlace(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, -32767, 32767)); }

bool IsFramed(std::uint32_t style) { return (style & WIN_STYLE_CAPTION) == WIN_STYLE_CAPTION; }

// True colour depths count as one: a 24-bit display serves a 32-bit request.
bool DepthMatches(std::int32_t requested, std::int32_t actual) {
    if (requested == 0 || requested == actual) return true;
    return requested >= 24 && actual >= 24;
}

class C_SdlBackend final : public C_CommonBackend {
public:
    const char* Name() const override { return "sdl"; }

    bool Open() override {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        // The application decides when to quit, through the close callback.
        SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
        // Native software framebuffer: the exact pixels, no GPU on the way.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
        SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
        SDL_StopTextInput();
        SDL_GetGlobalMouseState(&m_cursorX, &m_cursorY);
        m_frequency = static_cast<double>(SDL_GetPerformanceFrequency());
        return true;
    }

    void Close() override {
        for (auto& w : m_windows) SDL_DestroyWindow(w->window);
        m_windows.clear();
        for (SDL_Cursor*& cursor : m_cursors) {
            if (cursor) SDL_FreeCursor(cursor);
            cursor = nullptr;
        }
        m_pending.clear();
        // Counted: a second backend opened before this one closes (a fresh
        // start of the same platform) keeps the video system alive.
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    Win_NativeHandle CreateNativeWindow(const Win_WindowDesc& desc) override {
        const bool framed = IsFramed(desc.style);
        Uint32 flags = SDL_WINDOW_HIDDEN;
        if (desc.style & WIN_STYLE_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
        if (!framed) flags |= SDL_WINDOW_BORDERLESS;
        const int w = ClampSide(desc.rect.Width());
        const int h = ClampSide(desc.rect.Height());
        const int x = ClampPlace(desc.rect.x0);
        const int y = ClampPlace(desc.rect.y0);
        const char* title = desc.title ? desc.title : "";
        SDL_Window* window = nullptr;
        bool shaped = false;
        if (desc.shaped) {
            // Only windows made shaped can take a shape later.
            window = SDL_CreateShapedWindow(title, static_cast<unsigned>(std::max(0, x)),
                                            static_cast<unsigned>(std::max(0, y)), static_cast<unsigned>(w),
                                            static_cast<unsigned>(h), flags | SDL_WINDOW_BORDERLESS);
            shaped = window != nullptr;
        }
        if (!window) window = SDL_CreateWindow(title, x, y, w, h, flags);
        if (!window) return 0;
        auto record = std::make_unique<SdlWindow>();
        record->window = window;
        record->handle = SDL_GetWindowID(window);
        record->style = desc.style;
        record->shaped = shaped;
        SDL_GetWindowSize(window, &record->clientWidth, &record->clientHeight);
        const Win_NativeHandle handle = record->handle;
        m_windows.push_back(std::move(record));
        if (m_fullscreen) EnterFullscreen(window);
        SendNotice(handle, WIN_MSG_CREATE);
        return handle;
    }

    void DestroyNativeWindow(Win_NativeHandle handle) override {
        if (!Find(handle)) return;
        SendNotice(handle, WIN_MSG_DESTROY);
        if (m_capture == handle) ReleaseCapture();
        const auto it =
            std::find_if(m_windows.begin(), m_windows.end(), [handle](const auto& w) { return w->handle == handle; });
        if (it == m_windows.end()) return;
        SDL_DestroyWindow((*it)->window);
        m_windows.erase(it);
    }

    bool SetWindowTitle(Win_NativeHandle handle, const char* title) override {
        SdlWindow* w = Find(handle);
        if (!w) return false;
        SDL_SetWindowTitle(w->window, title ? title : "");
        return true;
    }

    bool SetWindowRect(Win_NativeHandle handle, const Win_Rect& rect, bool show) override {
        SdlWindow* w = Find(handle);
        if (!w) return false;
        int top = 0, left = 0, bottom = 0, right = 0;
        Borders(w, &top, &left, &bottom, &right);
        SDL_SetWindowPosition(w->window, ClampPlace(std::int64_t{rect.x0} + left),
                              ClampPlace(std::int64_t{rect.y0} + top));
        SDL_SetWindowSize(w->window, ClampSide(std::int64_t{rect.Width()} - left - right),
                          ClampSide(std::int64_t{rect.Height()} - top - bottom));
        if (show && !(SDL_GetWindowFlags(w->window) & SDL_WINDOW_SHOWN)) SDL_ShowWindow(w->window);
        AnnounceSize(handle);
        return true;
    }

    bool GetWindowRect(Win_NativeHandle handle, Win_Rect* rect) override {
        SdlWindow* w = Find(handle);
        if (!w || !GetClientRect(handle, rect)) return false;
        int top = 0, left = 0, bottom = 0, right = 0;
        Borders(w, &top, &left, &bottom, &right);
        rect->x0 -= left;
        rect->y0 -= top;
        rect->x1 += right;
        rect->y1 += bottom;
        return true;
    }

    bool GetClientRect(Win_NativeHandle handle, Win_Rect* rect) override {
        SdlWindow* w = Find(handle);
        if (!w || !rect) return false;
        int x = 0, y = 0, width = 0, height = 0;
        SDL_GetWindowPosition(w->window, &x, &y);
        SDL_GetWindowSize(w->window, &width, &height);
        *rect = Win_Rect{x, y, x + width, y + height};
        return true;
    }

    bool SetWindowStyle(Win_NativeHandle handle, std::uint32_t style) override {
        SdlWindow* w = Find(handle);
        if (!w) return false;
        w->style = style;
        if (!w->shaped) SDL_SetWindowBordered(w->window, IsFramed(style) ? SDL_TRUE : SDL_FALSE);
        SDL_SetWindowResizable(w->window, (style & WIN_STYLE_THICKFRAME) ? SDL_TRUE : SDL_FALSE);
        AnnounceSize(handle);
        return true;
    }

    std::uint32_t GetWindowStyle(Win_NativeHandle handle) override {
        SdlWindow* w = Find(handle);
        return w ? w->style : 0;
    }

    bool ShowNativeWindow(Win_NativeHandle handle, Win_ShowCommand command) override {
        SdlWindow* w = Find(handle);
        if (!w) return false;
        switch (command) {
        case WIN_SHOW_HIDE: SDL_HideWindow(w->window); break;
        case WIN_SHOW_NORMAL:
            SDL_ShowWindow(w->window);
            SDL_RaiseWindow(w->window);
            break;
        case WIN_SHOW_NOACTIVATE: SDL_ShowWindow(w->window); break;
        }
        return true;
    }

    bool EnableNativeWindow(Win_NativeHandle handle, bool enable) override {
        SdlWindow* w = Find(handle);
        if (!w) return false;
        w->enabled = enable;  // SDL has no disabled windows: their input is dropped here
        return true;
    }

    bool SetWindowShape(Win_NativeHandle handle, const Win_Rect* rects, std::size_t count) override {
        SdlWindow* w = Find(handle);
        if (!w || !w->shaped || (count != 0 && !rects)) return false;
        int width = 0, height = 0;
        SDL_GetWindowSize(w->window, &width, &height);
        SDL_Surface* mask = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
        if (!mask) return false;
        SDL_FillRect(mask, nullptr, 0x00000000u);
        for (std::size_t i = 0; i < count; ++i) {
            const SDL_Rect r{rects[i].x0, rects[i].y0, rects[i].Width(), rects[i].Height()};
            SDL_FillRect(mask, &r, 0xFFFFFFFFu);
        }
        SDL_WindowShapeMode mode;
        mode.mode = ShapeModeBinarizeAlpha;
        mode.parameters.binarizationCutoff = 128;
        const bool ok = SDL_SetWindowShape(w->window, mask, &mode) == 0;
        SDL_FreeSurface(mask);
        return ok;
    }

    bool SetFocus(Win_NativeHandle handle) override {
        SdlWindow* w = Find(handle);
        return w && SDL_SetWindowInputFocus(w->window) == 0;
    }

    bool SetCapture(Win_NativeHandle handle) override {
        if (!Find(handle)) return false;
        m_capture = handle;
        SDL_CaptureMouse(SDL_TRUE);
        return true;
    }

    bool ReleaseCapture() override {
        m_capture = 0;
        SDL_CaptureMouse(SDL_FALSE);
        return true;
    }

    bool StartTimer(Win_NativeHandle handle, std::int32_t id, std::uint32_t periodMs) override {
        SdlWindow* w = Find(handle);
        if (!w) return false;
        StopTimer(handle, id);
        SdlTimer t;
        t.id = id;
        t.period = static_cast<double>(std::max<std::uint32_t>(periodMs, 1)) / 1000.0;
        t.due = Now() + t.period;
        w->timers.push_back(t);
        return true;
    }

    bool StopTimer(Win_NativeHandle handle, std::int32_t id) override {
        SdlWindow* w = Find(handle);
        if (!w) return false;
        const auto before = w->timers.size();
        w->timers.erase(
            std::remove_if(w->timers.begin(), w->timers.end(), [id](const SdlTimer& t) { return t.id == id; }),
            w->timers.end());
        return w->timers.size() != before;
    }

    bool PeekMessage(Win_Message* message) override {
        SDL_Event event;
        while (m_pending.empty() && SDL_PollEvent(&event)) Translate(event);
        if (!m_pending.empty()) {
            *message = m_pending.front();
            m_pending.pop_front();
            return true;
        }
        *message = Win_Message{};
        if (TakeQuitMessage(message)) return true;
        for (const auto& w : m_windows) {
            if (w->invalid && (SDL_GetWindowFlags(w->window) & SDL_WINDOW_SHOWN)) {
                message->type = WIN_MSG_PAINT;
                message->window = w->handle;
                return true;
            }
        }
        const double now = Now();
        for (const auto& w : m_windows) {
            for (SdlTimer& t : w->timers) {
                if (now < t.due) continue;
                t.due = now + t.period;  // missed ticks are not made up
                message->type = WIN_MSG_TIMER;
                message->window = w->handle;
                message->param = t.id;
                return true;
            }
        }
        return false;
    }

    void DefaultHandling(const Win_Message& message) override {
        if (message.type != WIN_MSG_PAINT) return;
        if (SdlWindow* w = Find(message.window)) w->invalid = false;
    }

    bool BeginPaint(Win_NativeHandle handle) override {
        SdlWindow* w = Find(handle);
        if (!w) return false;
        SDL_Surface* surface = SDL_GetWindowSurface(w->window);
        if (!surface) return false;
        if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return false;
        const Uint32 format = surface->format->format;
        w->surface = surface;
        w->direct = format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888;
        if (w->direct) {
            w->target.pixels = static_cast<std::uint32_t*>(surface->pixels);
            w->target.stride = static_cast<std::size_t>(surface->pitch) / 4;
        } else {
            // Another screen layout: compose in our own, starting from what
            // is shown so that unpainted parts stay.
            w->scratch.resize(static_cast<std::size_t>(surface->w) * static_cast<std::size_t>(surface->h));
            SDL_ConvertPixels(surface->w, surface->h, format, surface->pixels, surface->pitch, SDL_PIXELFORMAT_ARGB8888,
                              w->scratch.data(), surface->w * 4);
            w->target.pixels = w->scratch.data();
            w->target.stride = static_cast<std::size_t>(surface->w);
        }
        w->target.width = surface->w;
        w->target.height = surface->h;
        return true;
    }

    void DrawPixels(Win_NativeHandle handle, const Win_PixelBlock& pixels, std::int32_t x, std::int32_t y) override {
        SdlWindow* w = Find(handle);
        if (w && w->surface) Win_ComposePixels(w->target, pixels, x, y);
    }

    void FillRect(Win_NativeHandle handle, const Win_Rect& rect, std::uint32_t rgb) override {
        SdlWindow* w = Find(handle);
        if (w && w->surface) Win_ComposeFill(w->target, rect, rgb);
    }

    void EndPaint(Win_NativeHandle handle) override {
        SdlWindow* w = Find(handle);
        if (!w || !w->surface) return;
        SDL_Surface* surface = w->surface;
        if (!w->direct)
            SDL_ConvertPixels(surface->w, surface->h, SDL_PIXELFORMAT_ARGB8888, w->scratch.data(), surface->w * 4,
                              surface->format->format, surface->pixels, surface->pitch);
        if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
        w->surface = nullptr;
        w->target = Win_Framebuffer{};
        SDL_UpdateWindowSurface(w->window);
    }

    std::uint32_t GetSysColor(Win_SysColorId id) override { return Win_DefaultSysColor(id); }

    bool SetCursorShape(Win_CursorShape shape) override {
        if (shape == WIN_CURSOR_NONE) {
            SDL_ShowCursor(SDL_DISABLE);
            return true;
        }
        const SDL_SystemCursor id = SdlCursorOf(shape);
        SDL_Cursor*& cursor = m_cursors[static_cast<std::size_t>(id)];
        if (!cursor) cursor = SDL_CreateSystemCursor(id);
        if (cursor) SDL_SetCursor(cursor);
        SDL_ShowCursor(SDL_ENABLE);
        return cursor != nullptr;
    }

    bool GetScreenInfo(Win_DisplayMode* mode) override {
        SDL_DisplayMode current;
        if (!mode || SDL_GetCurrentDisplayMode(0, &current) != 0) return false;
        mode->width = current.w;
        mode->height = current.h;
        mode->bitsPerPixel = static_cast<std::int32_t>(SDL_BITSPERPIXEL(current.format));
        return true;
    }

    bool GetDisplayMode(bool stored, Win_DisplayMode* mode) override {
        SDL_DisplayMode m;
        const int rc = stored ? SDL_GetDesktopDisplayMode(0, &m) : SDL_GetCurrentDisplayMode(0, &m);
        if (!mode || rc != 0) return false;
        mode->width = m.w;
        mode->height = m.h;
        mode->bitsPerPixel = static_cast<std::int32_t>(SDL_BITSPERPIXEL(m.format));
        return true;
    }

    // SDL changes modes through full-screen windows: the chosen mode is
    // given to every window (and to windows made later) until the desktop
    // mode is asked for again.
    bool ChangeDisplayMode(const Win_DisplayMode& mode) override {
        SDL_DisplayMode desktop;
        if (SDL_GetDesktopDisplayMode(0, &desktop) == 0 && desktop.w == mode.width && desktop.h == mode.height) {
            m_fullscreen = false;
            for (const auto& w : m_windows) SDL_SetWindowFullscreen(w->window, 0);
            return true;
        }
        const int count = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode candidate;
            if (SDL_GetDisplayMode(0, i, &candidate) != 0) continue;
            if (candidate.w != mode.width || candidate.h != mode.height ||
                !DepthMatches(mode.bitsPerPixel, static_cast<std::int32_t>(SDL_BITSPERPIXEL(candidate.format))))
                continue;
            m_fullscreen = true;
            m_fullscreenMode = candidate;
            for (const auto& w : m_windows) EnterFullscreen(w->window);
            return true;
        }
        return false;
    }

    void ShowMessageBox(const char* text, const char* caption) override {
        std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption ? caption : "", text ? text : "", nullptr);
    }

    double CounterFrequency() override { return m_frequency; }
    std::uint64_t Counter() override { return SDL_GetPerformanceCounter(); }
    std::uint32_t Milliseconds() override { return static_cast<std::uint32_t>(SDL_GetTicks64()); }

private:
    std::vector<std::unique_ptr<SdlWindow>> m_windows;
    std::deque<Win_Message> m_pending;  // messages made from one platform event
    Win_NativeHandle m_capture = 0;
    std::array<SDL_Cursor*, SDL_NUM_SYSTEM_CURSORS> m_cursors{};
    bool m_fullscreen = false;
    SDL_DisplayMode m_fullscreenMode{};
    double m_frequency = 0.0;

    SdlWindow* Find(Win_NativeHandle handle) {
        if (handle == 0) return nullptr;
        for (const auto& w : m_windows)
            if (w->handle == handle) return w.get();
        return nullptr;
    }

    double Now() const {
        return m_frequency > 0.0 ? static_cast<double>(SDL_GetPerformanceCounter()) / m_frequency : 0.0;
    }

    void Borders(SdlWindow* w, int* top, int* left, int* bottom, int* right) {
        if (SDL_GetWindowBordersSize(w->window, top, left, bottom, right) != 0) *top = *left = *bottom = *right = 0;
    }

    void EnterFullscreen(SDL_Window* window) {
        SDL_SetWindowDisplayMode(window, &m_fullscreenMode);
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN);
    }

    // Tells the window when its client area changed size, at once, as the
    // platform does inside a resize.
    void AnnounceSize(Win_NativeHandle handle) {
        SdlWindow* w = Find(handle);
        if (!w) return;
        int width = 0, height = 0;
        SDL_GetWindowSize(w->window, &width, &height);
        if (width == w->clientWidth && height == w->clientHeight) return;
        w->clientWidth = width;
        w->clientHeight = height;
        w->invalid = true;
        Win_Message size;
        size.type = WIN_MSG_SIZE;
        size.window = handle;
        size.x = width;
        size.y = height;
        Send(size);
    }

    void Post(Win_MessageType type, Win_NativeHandle handle, std::int32_t param, std::int32_t x = 0,
              std::int32_t y = 0) {
        Win_Message message;
        message.type = type;
        message.window = handle;
        message.param = param;
        message.x = x;
        message.y = y;
        m_pending.push_back(message);
    }

    void TrackPointer(SdlWindow* w, int x, int y) {
        int wx = 0, wy = 0;
        SDL_GetWindowPosition(w->window, &wx, &wy);
        m_cursorX = wx + x;
        m_cursorY = wy + y;
    }

    void TrackModifiers(Uint16 mod) {
        m_keys[WIN_VK_SHIFT] = (mod & KMOD_SHIFT) != 0;
        m_keys[WIN_VK_CONTROL] = (mod & KMOD_CTRL) != 0;
        m_keys[WIN_VK_MENU] = (mod & KMOD_ALT) != 0;
        m_keys[WIN_VK_LSHIFT] = (mod & KMOD_LSHIFT) != 0;
        m_keys[WIN_VK_RSHIFT] = (mod & KMOD_RSHIFT) != 0;
        m_keys[WIN_VK_LCONTROL] = (mod & KMOD_LCTRL) != 0;
        m_keys[WIN_VK_RCONTROL] = (mod & KMOD_RCTRL) != 0;
        m_keys[WIN_VK_LMENU] = (mod & KMOD_LALT) != 0;
        m_keys[WIN_VK_RMENU] = (mod & KMOD_RALT) != 0;
        m_toggles.capsLock = (mod & KMOD_CAPS) != 0;
        m_toggles.numLock = (mod & KMOD_NUM) != 0;
    }

    void TranslateWindowEvent(const SDL_WindowEvent& e) {
        SdlWindow* w = Find(e.windowID);
        if (!w) return;
        const Win_NativeHandle handle = w->handle;
        switch (e.event) {
        case SDL_WINDOWEVENT_SHOWN:
            w->invalid = true;
            Post(WIN_MSG_SHOWWINDOW, handle, 1);
            break;
        case SDL_WINDOWEVENT_HIDDEN: Post(WIN_MSG_SHOWWINDOW, handle, 0); break;
        case SDL_WINDOWEVENT_EXPOSED: w->invalid = true; break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (e.data1 != w->clientWidth || e.data2 != w->clientHeight) {
                w->clientWidth = e.data1;
                w->clientHeight = e.data2;
                w->invalid = true;
                Post(WIN_MSG_SIZE, handle, 0, e.data1, e.data2);
            }
            break;
        case SDL_WINDOWEVENT_MOVED: {
            // Moved by the user: the window may put itself back.
            Win_Message moving;
            moving.type = WIN_MSG_MOVING;
            moving.window = handle;
            if (!GetWindowRect(handle, &moving.rect)) break;
            const Win_Rect proposed = moving.rect;
            Send(moving);
            if (moving.rect != proposed && Find(handle)) SetWindowRect(handle, moving.rect, false);
            break;
        }
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            Post(WIN_MSG_ACTIVATE, handle, 1);
            Post(WIN_MSG_SETFOCUS, handle, 0);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            Post(WIN_MSG_ACTIVATE, handle, 0);
            Post(WIN_MSG_KILLFOCUS, handle, 0);
            break;
        case SDL_WINDOWEVENT_CLOSE: Post(WIN_MSG_CLOSE, handle, 0); break;
        default: break;
        }
    }

    static std::int32_t ButtonOf(Uint8 button) {
        switch (button) {
        case SDL_BUTTON_LEFT: return 1;
        case SDL_BUTTON_MIDDLE: return 2;
        case SDL_BUTTON_RIGHT: return 3;
        default: return 0;
        }
    }

    static std::int32_t ButtonKey(std::int32_t button) {
        return button == 1 ? WIN_VK_LBUTTON : button == 2 ? WIN_VK_MBUTTON : WIN_VK_RBUTTON;
    }

    // Turns one SDL event into messages. Input state is taken here, as the
    // message is taken from the queue.
    void Translate(const SDL_Event& e) {
        switch (e.type) {
        case SDL_WINDOWEVENT: TranslateWindowEvent(e.window); break;
        case SDL_MOUSEMOTION: {
            SdlWindow* w = Find(e.motion.windowID);
            m_keys[WIN_VK_LBUTTON] = (e.motion.state & SDL_BUTTON_LMASK) != 0;
            m_keys[WIN_VK_MBUTTON] = (e.motion.state & SDL_BUTTON_MMASK) != 0;
            m_keys[WIN_VK_RBUTTON] = (e.motion.state & SDL_BUTTON_RMASK) != 0;
            if (!w) break;
            TrackPointer(w, e.motion.x, e.motion.y);
            if (w->enabled) Post(WIN_MSG_MOUSEMOVE, w->handle, 0, e.motion.x, e.motion.y);
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const std::int32_t button = ButtonOf(e.button.button);
            if (button == 0) break;
            const bool down = e.type == SDL_MOUSEBUTTONDOWN;
            m_keys[ButtonKey(button)] = down;
            SdlWindow* w = Find(e.button.windowID);
            if (!w) break;
            TrackPointer(w, e.button.x, e.button.y);
            if (!w->enabled) break;
            Post(down ? WIN_MSG_BUTTONDOWN : WIN_MSG_BUTTONUP, w->handle, button, e.button.x, e.button.y);
            if (down && e.button.clicks == 2) Post(WIN_MSG_DOUBLECLICK, w->handle, button, e.button.x, e.button.y);
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const std::int32_t vk = VirtualKeyOf(e.key.keysym);
            TrackModifiers(e.key.keysym.mod);
            if (vk == 0) break;
            const bool down = e.type == SDL_KEYDOWN;
            m_keys[vk] = down;
            SdlWindow* w = Find(e.key.windowID);
            if (w && w->enabled) Post(down ? WIN_MSG_KEYDOWN : WIN_MSG_KEYUP, w->handle, vk);
            break;
        }
        default: break;
        }
    }
};

}  // namespace

C_PlatformBackend* Win_NewSdlBackend() { return new C_SdlBackend(); }
