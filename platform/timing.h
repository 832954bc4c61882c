/// @file
/// The clock, cursor shapes, system colours, display capabilities and the
/// full-screen display-mode switch.
#pragma once

#include <cstdint>

class C_Color;

/// Cursor ids of Win_SetCursor and C_Window::cursorId.
enum : std::int32_t {
    WIN_IDC_APPSTARTING = 62,
    WIN_IDC_ARROW = 63,  ///< the window default
    WIN_IDC_CROSS = 64,
    WIN_IDC_HELP = 65,
    WIN_IDC_ICON = 66,
    WIN_IDC_NO = 67,
    WIN_IDC_SIZE = 68,
    WIN_IDC_SIZEALL = 69,
    WIN_IDC_SIZENESW = 70,
    WIN_IDC_SIZENS = 71,
    WIN_IDC_SIZENWSE = 72,
    WIN_IDC_SIZEWE = 73,
    WIN_IDC_UPARROW = 74,
    WIN_IDC_WAIT = 75,
};

/// Capability ids of Win_GetDisplayCaps.
enum : std::int32_t {
    WIN_CAPS_HORZRES = 77,    ///< horizontal resolution in pixels
    WIN_CAPS_VERTRES = 78,    ///< vertical resolution in pixels
    WIN_CAPS_BITSPIXEL = 79,  ///< bits per pixel
};

/// The clock state: zero until Win_InitTimer.
struct Win_ClockState {
    std::uint8_t useCounter;  ///< 1: the high-resolution counter is read
    double secondsPerTick;    ///< 1 / counter frequency, or 0.001 for the millisecond timer
};

/// Picks the clock source; always true.
bool Win_InitTimer();
/// Seconds from an arbitrary origin; 0 before Win_InitTimer.
double Win_GetTime();
/// The clock source chosen by Win_InitTimer.
const Win_ClockState& Win_GetClockState();

/// Shows the system cursor of `id` (62..75); other ids change nothing. True.
bool Win_SetCursor(std::int32_t id);

/// Sets the colour's red, green and blue to the system colour of `index`
/// (black where the index has none); alpha is kept. True.
bool Win_GetSysColor(C_Color& color, std::int32_t index);

/// 77, 78, 79: the display's width, height and bits per pixel; any other id
/// is returned unchanged.
std::int32_t Win_GetDisplayCaps(std::int32_t id);

/// Switches the display to a full-screen mode. When the current mode cannot
/// be read: a message box and false. When the mode is refused: a message box,
/// the quit message posted, and true.
bool Win_SetDisplayMode(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel);
/// Returns to the desktop's own mode, with the same messages and results.
bool Win_RestoreDisplayMode();
