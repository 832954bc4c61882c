// The platform backend: the handful of native services the window, the clock
// and the display functions are written against. The window logic (setters,
// geometry codes, the window procedure, Present) lives above this line and is
// the same on every platform; a backend only creates native windows, feeds
// their messages in and shows pixels.
//
// The vocabulary (message kinds, style bits, virtual-key codes, system colour
// ids) deliberately follows the desktop platform the framework was first
// written for, so that such a backend maps one to one and the others map to
// their nearest equivalents.
#pragma once

#include <cstddef>
#include <cstdint>

// A native window handle; 0 is no window.
using Win_NativeHandle = std::uintptr_t;

// A rectangle in screen pixels: (x0, y0) inclusive, (x1, y1) exclusive.
struct Win_Rect {
    std::int32_t x0 = 0;
    std::int32_t y0 = 0;
    std::int32_t x1 = 0;
    std::int32_t y1 = 0;

    // Extents saturate rather than overflow for rectangles wider than int32.
    std::int32_t Width() const { return Extent(x0, x1); }
    std::int32_t Height() const { return Extent(y0, y1); }
    bool Contains(std::int32_t x, std::int32_t y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
    bool operator==(const Win_Rect& o) const { return x0 == o.x0 && y0 == o.y0 && x1 == o.x1 && y1 == o.y1; }
    bool operator!=(const Win_Rect& o) const { return !(*this == o); }

private:
    static std::int32_t Extent(std::int32_t from, std::int32_t to) {
        const std::int64_t e = std::int64_t{to} - from;
        return e > INT32_MAX ? INT32_MAX : e < INT32_MIN ? INT32_MIN : static_cast<std::int32_t>(e);
    }
};

// Native messages, as the window procedure sees them.
enum Win_MessageType : std::uint32_t {
    WIN_MSG_NONE = 0,
    WIN_MSG_CREATE,    // sent while the native window is being made
    WIN_MSG_DESTROY,   // sent while the native window is being destroyed
    WIN_MSG_SIZE,      // the client area changed size
    WIN_MSG_ACTIVATE,  // param: 0 inactive, 1 active, 2 activated by a click
    WIN_MSG_SETFOCUS,
    WIN_MSG_KILLFOCUS,
    WIN_MSG_PAINT,       // the client area needs drawing
    WIN_MSG_CLOSE,       // the user (or the window manager) asks to close
    WIN_MSG_SHOWWINDOW,  // param: 1 shown, 0 hidden
    WIN_MSG_KEYDOWN,     // param: virtual-key code
    WIN_MSG_KEYUP,       // param: virtual-key code
    WIN_MSG_TIMER,       // param: timer id
    WIN_MSG_MOUSEMOVE,   // x, y: client coordinates when the message was made
    WIN_MSG_BUTTONDOWN,  // param: 1 left, 2 middle, 3 right; x, y as above
    WIN_MSG_BUTTONUP,
    WIN_MSG_DOUBLECLICK,
    WIN_MSG_MOVING,  // rect: the proposed window rectangle; the handler may replace it
    WIN_MSG_QUIT,    // param: exit code; never dispatched
};

struct Win_Message {
    Win_MessageType type = WIN_MSG_NONE;
    Win_NativeHandle window = 0;
    std::int32_t param = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    Win_Rect rect;
};

// Native style bits.
enum : std::uint32_t {
    WIN_STYLE_POPUP = 0x80000000u,
    WIN_STYLE_CHILD = 0x40000000u,
    WIN_STYLE_CLIPSIBLINGS = 0x04000000u,
    WIN_STYLE_CLIPCHILDREN = 0x02000000u,
    WIN_STYLE_CAPTION = 0x00C00000u,
    WIN_STYLE_SYSMENU = 0x00080000u,
    WIN_STYLE_THICKFRAME = 0x00040000u,
    WIN_STYLE_MINIMIZEBOX = 0x00020000u,
    WIN_STYLE_MAXIMIZEBOX = 0x00010000u,
    WIN_STYLE_OVERLAPPEDWINDOW = 0x00CF0000u,
};

// Virtual-key codes (mouse buttons included: their key state is the button
// state).
enum : std::int32_t {
    WIN_VK_LBUTTON = 0x01,
    WIN_VK_RBUTTON = 0x02,
    WIN_VK_MBUTTON = 0x04,
    WIN_VK_BACK = 0x08,
    WIN_VK_TAB = 0x09,
    WIN_VK_RETURN = 0x0D,
    WIN_VK_SHIFT = 0x10,
    WIN_VK_CONTROL = 0x11,
    WIN_VK_MENU = 0x12,
    WIN_VK_PAUSE = 0x13,
    WIN_VK_CAPITAL = 0x14,
    WIN_VK_ESCAPE = 0x1B,
    WIN_VK_SPACE = 0x20,
    WIN_VK_PRIOR = 0x21,
    WIN_VK_NEXT = 0x22,
    WIN_VK_END = 0x23,
    WIN_VK_HOME = 0x24,
    WIN_VK_LEFT = 0x25,
    WIN_VK_UP = 0x26,
    WIN_VK_RIGHT = 0x27,
    WIN_VK_DOWN = 0x28,
    WIN_VK_SNAPSHOT = 0x2C,
    WIN_VK_INSERT = 0x2D,
    WIN_VK_DELETE = 0x2E,
    WIN_VK_0 = 0x30,  // '0'..'9' are 0x30..0x39
    WIN_VK_A = 0x41,  // 'A'..'Z' are 0x41..0x5A
    WIN_VK_Q = 0x51,
    WIN_VK_Z = 0x5A,
    WIN_VK_LWIN = 0x5B,
    WIN_VK_RWIN = 0x5C,
    WIN_VK_APPS = 0x5D,
    WIN_VK_NUMPAD0 = 0x60,  // NUMPAD0..NUMPAD9 are 0x60..0x69
    WIN_VK_MULTIPLY = 0x6A,
    WIN_VK_ADD = 0x6B,
    WIN_VK_SEPARATOR = 0x6C,
    WIN_VK_SUBTRACT = 0x6D,
    WIN_VK_DECIMAL = 0x6E,
    WIN_VK_DIVIDE = 0x6F,
    WIN_VK_F1 = 0x70,  // F1..F24 are 0x70..0x87
    WIN_VK_NUMLOCK = 0x90,
    WIN_VK_SCROLL = 0x91,
    WIN_VK_LSHIFT = 0xA0,
    WIN_VK_RSHIFT = 0xA1,
    WIN_VK_LCONTROL = 0xA2,
    WIN_VK_RCONTROL = 0xA3,
    WIN_VK_LMENU = 0xA4,
    WIN_VK_RMENU = 0xA5,
    WIN_VK_OEM_1 = 0xBA,       // ;:
    WIN_VK_OEM_PLUS = 0xBB,    // =+
    WIN_VK_OEM_COMMA = 0xBC,   // ,<
    WIN_VK_OEM_MINUS = 0xBD,   // -_
    WIN_VK_OEM_PERIOD = 0xBE,  // .>
    WIN_VK_OEM_2 = 0xBF,       // /?
    WIN_VK_OEM_3 = 0xC0,       // `~
    WIN_VK_OEM_4 = 0xDB,       // [{
    WIN_VK_OEM_5 = 0xDC,       // \|
    WIN_VK_OEM_6 = 0xDD,       // ]}
    WIN_VK_OEM_7 = 0xDE,       // '"
    WIN_VK_COUNT = 256,
};

// System cursor shapes.
enum Win_CursorShape : std::int32_t {
    WIN_CURSOR_NONE = 0,  // no cursor shown
    WIN_CURSOR_APPSTARTING,
    WIN_CURSOR_ARROW,
    WIN_CURSOR_CROSS,
    WIN_CURSOR_HELP,
    WIN_CURSOR_ICON,
    WIN_CURSOR_NO,
    WIN_CURSOR_SIZE,
    WIN_CURSOR_SIZEALL,
    WIN_CURSOR_SIZENESW,
    WIN_CURSOR_SIZENS,
    WIN_CURSOR_SIZENWSE,
    WIN_CURSOR_SIZEWE,
    WIN_CURSOR_UPARROW,
    WIN_CURSOR_WAIT,
};

// System colour ids.
enum Win_SysColorId : std::int32_t {
    WIN_COLOR_SCROLLBAR = 0,
    WIN_COLOR_BACKGROUND = 1,
    WIN_COLOR_ACTIVECAPTION = 2,
    WIN_COLOR_INACTIVECAPTION = 3,
    WIN_COLOR_MENU = 4,
    WIN_COLOR_WINDOW = 5,
    WIN_COLOR_WINDOWFRAME = 6,
    WIN_COLOR_MENUTEXT = 7,
    WIN_COLOR_WINDOWTEXT = 8,
    WIN_COLOR_CAPTIONTEXT = 9,
    WIN_COLOR_ACTIVEBORDER = 10,
    WIN_COLOR_INACTIVEBORDER = 11,
    WIN_COLOR_APPWORKSPACE = 12,
    WIN_COLOR_HIGHLIGHT = 13,
    WIN_COLOR_HIGHLIGHTTEXT = 14,
    WIN_COLOR_3DFACE = 15,
    WIN_COLOR_3DSHADOW = 16,
    WIN_COLOR_GRAYTEXT = 17,
    WIN_COLOR_BTNTEXT = 18,
    WIN_COLOR_INACTIVECAPTIONTEXT = 19,
    WIN_COLOR_3DHIGHLIGHT = 20,
    WIN_COLOR_3DDKSHADOW = 21,
    WIN_COLOR_3DLIGHT = 22,
    WIN_COLOR_INFOTEXT = 23,
    WIN_COLOR_INFOBK = 24,
    WIN_COLOR_NONE = -1,  // no platform colour: black
};

// Show commands.
enum Win_ShowCommand : std::int32_t {
    WIN_SHOW_HIDE = 0,
    WIN_SHOW_NORMAL = 1,      // show and activate
    WIN_SHOW_NOACTIVATE = 2,  // show, keep the active window
};

struct Win_DisplayMode {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t bitsPerPixel = 0;
};

// Pixels handed to the screen. Rows are `pitch` bytes apart and the first
// stored row is the bottom row of the picture.
struct Win_PixelBlock {
    const std::uint8_t* data = nullptr;
    std::int32_t format = -1;  // a pixel format of 16, 24 or 32 bits
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::size_t pitch = 0;
};

// What a native window is made from.
struct Win_WindowDesc {
    const char* className = "";
    const char* title = "";
    std::uint32_t style = 0;
    Win_Rect rect;  // the outer window rectangle, screen pixels
    Win_NativeHandle parent = 0;
    std::uint32_t background = 0;  // 0xRRGGBB the client area starts with
    bool shaped = false;           // a shape will be set (for platforms that decide at creation)
};

// The window layer's entry point for messages a backend delivers at once
// (from inside a native call) rather than through the queue.
using Win_MessageHandler = void (*)(Win_Message& message);

class C_PlatformBackend {
public:
    C_PlatformBackend() = default;
    C_PlatformBackend(const C_PlatformBackend&) = delete;
    C_PlatformBackend& operator=(const C_PlatformBackend&) = delete;
    virtual ~C_PlatformBackend() = default;

    virtual const char* Name() const = 0;
    // Starts the platform; false when it cannot be used here.
    virtual bool Open() = 0;
    virtual void Close() = 0;

    void SetMessageHandler(Win_MessageHandler handler) { m_handler = handler; }

    // Native windows. Rectangles are outer window rectangles in screen
    // pixels; client rectangles are in screen pixels too.
    virtual Win_NativeHandle CreateNativeWindow(const Win_WindowDesc& desc) = 0;
    virtual void DestroyNativeWindow(Win_NativeHandle window) = 0;
    virtual bool SetWindowTitle(Win_NativeHandle window, const char* title) = 0;
    virtual bool SetWindowRect(Win_NativeHandle window, const Win_Rect& rect, bool show) = 0;
    virtual bool GetWindowRect(Win_NativeHandle window, Win_Rect* rect) = 0;
    virtual bool GetClientRect(Win_NativeHandle window, Win_Rect* rect) = 0;
    virtual bool SetWindowStyle(Win_NativeHandle window, std::uint32_t style) = 0;
    virtual std::uint32_t GetWindowStyle(Win_NativeHandle window) = 0;
    virtual bool ShowNativeWindow(Win_NativeHandle window, Win_ShowCommand command) = 0;
    virtual bool EnableNativeWindow(Win_NativeHandle window, bool enable) = 0;
    // The visible part of the window: rectangles in window coordinates
    // (relative to the outer rectangle's top-left corner); an empty list
    // hides the whole window.
    virtual bool SetWindowShape(Win_NativeHandle window, const Win_Rect* rects, std::size_t count) = 0;
    virtual bool SetFocus(Win_NativeHandle window) = 0;
    virtual bool SetCapture(Win_NativeHandle window) = 0;
    virtual bool ReleaseCapture() = 0;
    // A timer posts WIN_MSG_TIMER with its id when the queue is otherwise
    // empty and its period has passed; pending ticks do not pile up.
    virtual bool StartTimer(Win_NativeHandle window, std::int32_t id, std::uint32_t periodMs) = 0;
    virtual bool StopTimer(Win_NativeHandle window, std::int32_t id) = 0;

    // Input state as of the message being handled.
    virtual bool GetCursorPos(std::int32_t* x, std::int32_t* y) = 0;
    virtual bool IsKeyDown(std::int32_t virtualKey) = 0;
    // The character a key gives under the current keyboard state, or -1.
    virtual std::int32_t TranslateKey(std::int32_t virtualKey) = 0;

    // The queue: one message, without waiting. False when there is none.
    virtual bool PeekMessage(Win_Message* message) = 0;
    virtual void PostQuitMessage(std::int32_t code) = 0;
    // What happens to a message nobody handled, and after a handled one.
    virtual void DefaultHandling(const Win_Message& message) = 0;

    // Drawing into a client area: BeginPaint, any number of DrawPixels and
    // FillRect (client coordinates, clipped to the client area), EndPaint.
    virtual bool BeginPaint(Win_NativeHandle window) = 0;
    virtual void DrawPixels(Win_NativeHandle window, const Win_PixelBlock& pixels, std::int32_t x, std::int32_t y) = 0;
    virtual void FillRect(Win_NativeHandle window, const Win_Rect& rect, std::uint32_t rgb) = 0;
    virtual void EndPaint(Win_NativeHandle window) = 0;

    // System services.
    virtual std::uint32_t GetSysColor(Win_SysColorId id) = 0;  // 0xRRGGBB
    virtual bool SetCursorShape(Win_CursorShape shape) = 0;
    virtual bool GetScreenInfo(Win_DisplayMode* mode) = 0;
    // The display mode now in use (stored false) or the one the desktop
    // returns to (stored true).
    virtual bool GetDisplayMode(bool stored, Win_DisplayMode* mode) = 0;
    virtual bool ChangeDisplayMode(const Win_DisplayMode& mode) = 0;
    virtual void ShowMessageBox(const char* text, const char* caption) = 0;

    // The clock: a counter and its frequency (0 when there is none), and a
    // millisecond timer.
    virtual double CounterFrequency() = 0;
    virtual std::uint64_t Counter() = 0;
    virtual std::uint32_t Milliseconds() = 0;

protected:
    // Delivers a message at once to the window layer.
    void Send(Win_Message& message) {
        if (m_handler) m_handler(message);
    }

private:
    Win_MessageHandler m_handler = nullptr;
};

// The running backend. The first call picks one: QUILLORY_PLATFORM names it
// ("sdl" or "headless"); unset, a real display is used when there is one and
// the headless platform otherwise. Never null.
C_PlatformBackend* Win_GetPlatform();
const char* Win_GetPlatformName();
// Switches to the named backend (null: the automatic choice). Refused while a
// native window exists. False when the name is unknown or the backend cannot
// start; the running backend is then unchanged.
bool Win_SelectPlatform(const char* name);
