// What both backends keep alike: the input bookkeeping (which keys and
// buttons are down, the lock toggles, the cursor position) with the queries
// answered from it, and the pending quit. Each backend fills the state from
// its own events.
#pragma once

#include <cstdint>

#include "platform/backend.h"
#include "platform/internal/keys.h"

class C_CommonBackend : public C_PlatformBackend {
public:
    bool GetCursorPos(std::int32_t* x, std::int32_t* y) override;
    bool IsKeyDown(std::int32_t virtualKey) override;
    std::int32_t TranslateKey(std::int32_t virtualKey) override;
    void PostQuitMessage(std::int32_t code) override;

protected:
    // The quit message, once, after PostQuitMessage; false when none waits.
    bool TakeQuitMessage(Win_Message* message);
    // Delivers a message of `type` for `window` at once (creation and
    // destruction notices).
    void SendNotice(Win_NativeHandle window, Win_MessageType type);

    bool m_keys[WIN_VK_COUNT] = {};  // by virtual-key code, mouse buttons included
    Win_KeyboardState m_toggles;     // Caps Lock and Num Lock
    std::int32_t m_cursorX = 0;      // screen coordinates
    std::int32_t m_cursorY = 0;

private:
    bool m_quit = false;
    std::int32_t m_quitCode = 0;
};
