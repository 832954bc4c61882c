// Platform-independent pieces the backends and the window share.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/backend.h"

// The colour of each system colour id on a platform without a theme of its
// own (0xRRGGBB); black for ids outside the table.
std::uint32_t Win_DefaultSysColor(Win_SysColorId id);

// The system colour id behind a framework colour index (the window's
// background index, Win_GetSysColor), WIN_COLOR_NONE where there is none.
Win_SysColorId Win_SysColorFromIndex(std::int32_t index);
// The colour of a framework colour index on the running backend, 0xRRGGBB.
std::uint32_t Win_SysColorRGB(std::int32_t index);

// The window layer's side of the message flow (window.cpp): hands a message
// to the window it belongs to, and counts the windows that have a native
// counterpart.
void Win_DispatchMessage(Win_Message& message);
std::size_t Win_LiveWindowCount();

// Backend factories (the table of backends in backend.cpp).
C_PlatformBackend* Win_NewHeadlessBackend();
#if defined(QUILLORY_HAVE_SDL)
C_PlatformBackend* Win_NewSdlBackend();
#endif

// Reads a positive, finite number of seconds from the environment; 0 when
// the variable is unset or malformed (then `malformed` is set).
double Win_EnvSeconds(const char* variable, bool* malformed);
