#include "platform/timing.h"

#include "math/color.h"
#include "platform/backend.h"
#include "platform/internal/system.h"
#include "platform/window.h"

namespace {

Win_ClockState g_clock{0, 0.0};

constexpr const char* kErrorCaption = "Error";

// Cursor ids 62..75 in order.
constexpr Win_CursorShape kCursors[] = {
    WIN_CURSOR_APPSTARTING, WIN_CURSOR_ARROW,  WIN_CURSOR_CROSS,   WIN_CURSOR_HELP,     WIN_CURSOR_ICON,
    WIN_CURSOR_NO,          WIN_CURSOR_SIZE,   WIN_CURSOR_SIZEALL, WIN_CURSOR_SIZENESW, WIN_CURSOR_SIZENS,
    WIN_CURSOR_SIZENWSE,    WIN_CURSOR_SIZEWE, WIN_CURSOR_UPARROW, WIN_CURSOR_WAIT,
};

// Reads the mode (current or stored), puts `change` into it and applies it.
bool SwitchDisplayMode(bool stored, const Win_DisplayMode* change) {
    C_PlatformBackend* platform = Win_GetPlatform();
    Win_DisplayMode mode;
    if (!platform->GetDisplayMode(stored, &mode)) {
        platform->ShowMessageBox("Could Not Enum Display Settings", kErrorCaption);
        return false;
    }
    if (change) mode = *change;
    if (!platform->ChangeDisplayMode(mode)) {
        platform->ShowMessageBox("Display Mode Not Compatible", kErrorCaption);
        Win_Quit();
    }
    return true;
}

}  // namespace

bool Win_InitTimer() {
    const double frequency = Win_GetPlatform()->CounterFrequency();
    if (frequency > 0.0) {
        g_clock.useCounter = 1;
        g_clock.secondsPerTick = 1.0 / frequency;
    } else {
        g_clock.useCounter = 0;
        g_clock.secondsPerTick = 0.001;
    }
    return true;
}

double Win_GetTime() {
    if (g_clock.secondsPerTick == 0.0) return 0.0;  // not initialised: leave the platform alone
    C_PlatformBackend* platform = Win_GetPlatform();
    if (g_clock.useCounter) return static_cast<double>(platform->Counter()) * g_clock.secondsPerTick;
    return static_cast<double>(platform->Milliseconds()) * g_clock.secondsPerTick;
}

const Win_ClockState& Win_GetClockState() { return g_clock; }

bool Win_SetCursor(std::int32_t id) {
    const std::int32_t first = WIN_IDC_APPSTARTING;
    const auto count = static_cast<std::int32_t>(sizeof kCursors / sizeof kCursors[0]);
    if (id >= first && id < first + count) Win_GetPlatform()->SetCursorShape(kCursors[id - first]);
    return true;
}

bool Win_GetSysColor(C_Color& color, std::int32_t index) {
    const std::uint32_t rgb = Win_SysColorRGB(index);
    color.r = static_cast<float>((rgb >> 16) & 0xFF) / 255.0f;
    color.g = static_cast<float>((rgb >> 8) & 0xFF) / 255.0f;
    color.b = static_cast<float>(rgb & 0xFF) / 255.0f;
    return true;
}

std::int32_t Win_GetDisplayCaps(std::int32_t id) {
    if (id != WIN_CAPS_HORZRES && id != WIN_CAPS_VERTRES && id != WIN_CAPS_BITSPIXEL) return id;
    Win_DisplayMode screen;
    if (!Win_GetPlatform()->GetScreenInfo(&screen)) return 0;
    if (id == WIN_CAPS_HORZRES) return screen.width;
    if (id == WIN_CAPS_VERTRES) return screen.height;
    return screen.bitsPerPixel;
}

bool Win_SetDisplayMode(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel) {
    Win_DisplayMode mode;
    mode.width = width;
    mode.height = height;
    mode.bitsPerPixel = bitsPerPixel;
    return SwitchDisplayMode(false, &mode);
}

bool Win_RestoreDisplayMode() { return SwitchDisplayMode(true, nullptr); }
