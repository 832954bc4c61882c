/// @file
/// The headless platform: windows without a display, for tests and scripted
/// runs. It keeps a virtual screen (1920 x 1080 unless configured), a message
/// queue fed through the functions below, and one framebuffer per window that
/// receives every Present as the client area would show it.
///
/// Every function returns false (or nothing useful) when the headless platform
/// is not the running one; select it with Win_SelectPlatform("headless") or
/// QUILLORY_PLATFORM=headless.
///
/// Input is applied when its message is taken from the queue: the pointer
/// position and the key and button states a callback sees are those of the
/// event being handled, so a queued script replays the same way every time.
/// Mouse input goes to the window holding the capture, else to the topmost
/// visible window under the pointer (none when the pointer is over a frame or
/// no window, or the window is disabled); keys go to the focus window.
///
/// The clock runs on real time, or on a fixed step (QUILLORY_FIXED_DT seconds
/// at start-up, or Win_Headless_SetFixedStep). With a fixed step time moves
/// one step per frame: the first clock reading after each Win_ProcessMessages
/// call returns the frame's start and the step elapses right after it, so
/// later readings in the same frame see the frame's end. A frame that never
/// reads the clock still advances one step at the next Win_ProcessMessages.
/// The demo's frame timer therefore measures exactly one step per frame.
///
/// A run can end by itself: QUILLORY_HEADLESS_CLOSE_AT (seconds on that
/// clock) queues a close request for the active window, and
/// QUILLORY_HEADLESS_SNAPSHOT names an ".img" file that receives the window's
/// picture just before.
#pragma once

#include <cstddef>
#include <cstdint>

#include "backend.h"

class C_Image;
class C_Window;

/// True when the headless platform is the one running.
bool Win_Headless_IsRunning();

/// The virtual screen size (display capabilities 77 and 78); the default comes
/// from QUILLORY_HEADLESS_SCREEN ("WIDTHxHEIGHT") or is 1920 x 1080.
bool Win_Headless_SetScreenSize(std::int32_t width, std::int32_t height);

/// A fixed clock step in seconds, or 0 for real time. Either way the clock
/// restarts at 0; call Win_InitTimer again afterwards.
bool Win_Headless_SetFixedStep(double seconds);
/// Advances the fixed-step clock by `steps` steps (false on real time).
bool Win_Headless_Tick(std::uint32_t steps);
/// The clock in seconds.
double Win_Headless_GetClock();

enum Win_HeadlessEventKind : std::int32_t {
    WIN_HEADLESS_MOUSEMOVE,  ///< to (x, y)
    WIN_HEADLESS_MOUSEDOWN,  ///< button `code` (1 left, 2 middle, 3 right) at (x, y)
    WIN_HEADLESS_MOUSEUP,
    WIN_HEADLESS_KEYDOWN,  ///< virtual key `code`
    WIN_HEADLESS_KEYUP,
    WIN_HEADLESS_CLOSE,  ///< the user asks the window to close
};

/// One input event for the headless queue.
struct Win_HeadlessEvent {
    double time = 0.0;  ///< clock seconds at which the event enters the queue (scheduled events)
    Win_HeadlessEventKind kind = WIN_HEADLESS_MOUSEMOVE;
    std::int32_t code = 0;
    std::int32_t x = 0;  ///< client coordinates of `window`
    std::int32_t y = 0;
    /// The window the coordinates (or the close request) refer to; null means
    /// the active window when the event enters the queue.
    C_Window* window = nullptr;
};

/// Queues an event now (its time is not used).
bool Win_Headless_Post(const Win_HeadlessEvent& event);
/// Queues events for later: each enters the queue at the first
/// Win_ProcessMessages call at which the clock has reached its time (events
/// of equal time keep their order).
bool Win_Headless_Schedule(const Win_HeadlessEvent* events, std::size_t count);
/// Drops every scheduled event that has not entered the queue yet.
bool Win_Headless_ClearSchedule();

/// Shorthands for Win_Headless_Post.
bool Win_Headless_MouseMove(C_Window* window, std::int32_t x, std::int32_t y);
bool Win_Headless_MouseDown(C_Window* window, std::int32_t button, std::int32_t x, std::int32_t y);
bool Win_Headless_MouseUp(C_Window* window, std::int32_t button, std::int32_t x, std::int32_t y);
bool Win_Headless_KeyDown(std::int32_t virtualKey);
bool Win_Headless_KeyUp(std::int32_t virtualKey);
bool Win_Headless_RequestClose(C_Window* window);
/// Queues any native message for the window (activation, focus, double
/// clicks, ...), as the platform would post it.
bool Win_Headless_PostMessage(C_Window* window, Win_MessageType type, std::int32_t param);
/// Moves the window the way a user dragging its caption does: the window is
/// asked first (and may keep its place).
bool Win_Headless_DragWindow(C_Window* window, std::int32_t x, std::int32_t y);

/// What the headless platform knows of a window, for tests.
struct Win_HeadlessWindowInfo {
    Win_Rect windowRect;  ///< outer rectangle, screen pixels
    Win_Rect clientRect;  ///< client area, screen pixels
    std::uint32_t style = 0;
    bool visible = false;
    bool enabled = false;
    bool active = false;
    bool focused = false;
    bool captured = false;  ///< holds the mouse capture
    bool shaped = false;
    std::size_t shapeRects = 0;
    std::uint64_t paints = 0;  ///< completed paints (every Present is one)
    const char* title = "";    // valid until the window changes
    const char* className = "";
};

/// Fills `info` for the window; false when it has no native window.
bool Win_Headless_GetWindowInfo(const C_Window* window, Win_HeadlessWindowInfo* info);
/// Copies up to `capacity` shape rectangles (window coordinates); `count`
/// receives how many there are.
bool Win_Headless_GetShape(const C_Window* window, Win_Rect* rects, std::size_t capacity, std::size_t* count);

/// The client area as shown: a top-down GFX_FMT_ARGB8888 image, alpha 255.
bool Win_Headless_GetFramebuffer(const C_Window* window, C_Image* out);
/// The same written with the image's SaveToFile (".img").
bool Win_Headless_SaveFramebuffer(const C_Window* window, const char* path);

/// The cursor shape last set; the text of the last message box ("" if none).
Win_CursorShape Win_Headless_GetCursorShape();
const char* Win_Headless_GetLastMessageBox();
/// The display modes the virtual screen accepts: width x height at 16, 24 or
/// 32 bits per pixel (0 also accepted).
bool Win_Headless_IsDisplayModeSupported(const Win_DisplayMode& mode);
