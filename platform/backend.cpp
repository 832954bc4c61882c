#include "platform/backend.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/internal/system.h"

namespace {

struct BackendEntry {
    const char* name;
    C_PlatformBackend* (*make)();
};

// The backends this build carries; the headless one is always there.
constexpr BackendEntry kBackends[] = {
    {"headless", Win_NewHeadlessBackend},
#if defined(QUILLORY_HAVE_SDL)
    {"sdl", Win_NewSdlBackend},
#endif
};

// The running backend. It is never deleted at exit: windows held in static
// objects may still release their native windows during static destruction.
C_PlatformBackend* g_backend = nullptr;

C_PlatformBackend* Start(const char* name) {
    for (const BackendEntry& entry : kBackends) {
        if (std::strcmp(entry.name, name) != 0) continue;
        C_PlatformBackend* backend = entry.make();
        if (!backend) return nullptr;
        if (!backend->Open()) {
            delete backend;
            return nullptr;
        }
        backend->SetMessageHandler(Win_DispatchMessage);
        return backend;
    }
    return nullptr;
}

bool HasDisplay() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

C_PlatformBackend* StartAutomatic() {
    const char* requested = std::getenv("QUILLORY_PLATFORM");
    if (requested && *requested) {
        if (C_PlatformBackend* backend = Start(requested)) return backend;
        std::fprintf(stderr, "Quillory: the platform \"%s\" is not available here; choosing one automatically\n",
                     requested);
    }
    if (HasDisplay()) {
        if (C_PlatformBackend* backend = Start("sdl")) return backend;
    }
    return Start("headless");
}

void Replace(C_PlatformBackend* backend) {
    if (g_backend) {
        g_backend->Close();
        delete g_backend;
    }
    g_backend = backend;
}

// Default colours, indexed by system colour id.
constexpr std::uint32_t kDefaultColors[] = {
    0xC8C8C8,  // scroll bar
    0x000000,  // desktop
    0x99B4D1,  // active caption
    0xBFCDDB,  // inactive caption
    0xF0F0F0,  // menu
    0xFFFFFF,  // window
    0x646464,  // window frame
    0x000000,  // menu text
    0x000000,  // window text
    0x000000,  // caption text
    0xB4B4B4,  // active border
    0xF4F7FC,  // inactive border
    0xABABAB,  // application workspace
    0x0078D7,  // highlight
    0xFFFFFF,  // highlighted text
    0xF0F0F0,  // button face
    0xA0A0A0,  // button shadow
    0x6D6D6D,  // grey text
    0x000000,  // button text
    0x000000,  // inactive caption text
    0xFFFFFF,  // button highlight
    0x696969,  // dark shadow
    0xE3E3E3,  // light
    0x000000,  // tooltip text
    0xFFFFE1,  // tooltip background
};

// Framework colour index to system colour id.
constexpr Win_SysColorId kIndexToColor[] = {
    WIN_COLOR_3DDKSHADOW,
    WIN_COLOR_3DFACE,
    WIN_COLOR_3DFACE,
    WIN_COLOR_3DHIGHLIGHT,
    WIN_COLOR_3DHIGHLIGHT,
    WIN_COLOR_3DHIGHLIGHT,
    WIN_COLOR_3DHIGHLIGHT,
    WIN_COLOR_3DLIGHT,
    WIN_COLOR_3DSHADOW,
    WIN_COLOR_3DSHADOW,
    WIN_COLOR_ACTIVEBORDER,
    WIN_COLOR_ACTIVECAPTION,
    WIN_COLOR_APPWORKSPACE,
    WIN_COLOR_BACKGROUND,
    WIN_COLOR_BACKGROUND,
    WIN_COLOR_BTNTEXT,
    WIN_COLOR_CAPTIONTEXT,
    WIN_COLOR_GRAYTEXT,
    WIN_COLOR_HIGHLIGHT,
    WIN_COLOR_HIGHLIGHTTEXT,
    WIN_COLOR_INACTIVEBORDER,
    WIN_COLOR_INACTIVECAPTION,
    WIN_COLOR_INACTIVECAPTIONTEXT,
    WIN_COLOR_INFOBK,
    WIN_COLOR_INFOTEXT,
    WIN_COLOR_MENU,
    WIN_COLOR_MENUTEXT,
    WIN_COLOR_SCROLLBAR,
    WIN_COLOR_NONE,
    WIN_COLOR_NONE,
    WIN_COLOR_WINDOW,
    WIN_COLOR_WINDOWFRAME,
    WIN_COLOR_WINDOWTEXT,
};

}  // namespace

C_PlatformBackend* Win_GetPlatform() {
    if (!g_backend) g_backend = StartAutomatic();
    return g_backend;
}

const char* Win_GetPlatformName() { return Win_GetPlatform()->Name(); }

bool Win_SelectPlatform(const char* name) {
    if (Win_LiveWindowCount() != 0) return false;
    C_PlatformBackend* backend = name ? Start(name) : StartAutomatic();
    if (!backend) return false;
    Replace(backend);
    return true;
}

std::uint32_t Win_DefaultSysColor(Win_SysColorId id) {
    const auto count = static_cast<std::int32_t>(sizeof kDefaultColors / sizeof kDefaultColors[0]);
    return id >= 0 && id < count ? kDefaultColors[id] : 0x000000;
}

Win_SysColorId Win_SysColorFromIndex(std::int32_t index) {
    const auto count = static_cast<std::int32_t>(sizeof kIndexToColor / sizeof kIndexToColor[0]);
    return index >= 0 && index < count ? kIndexToColor[index] : WIN_COLOR_NONE;
}

std::uint32_t Win_SysColorRGB(std::int32_t index) {
    const Win_SysColorId id = Win_SysColorFromIndex(index);
    return id == WIN_COLOR_NONE ? 0x000000 : Win_GetPlatform()->GetSysColor(id) & 0xFFFFFFu;
}

double Win_EnvSeconds(const char* variable, bool* malformed) {
    if (malformed) *malformed = false;
    const char* text = std::getenv(variable);
    if (!text || !*text) return 0.0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value) || value <= 0.0 || value > 3600.0) {
        if (malformed) *malformed = true;
        return 0.0;
    }
    return value;
}
