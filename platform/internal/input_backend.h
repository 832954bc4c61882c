// The input bookkeeping both backends share: which keys and buttons are
// down, the lock toggles and the cursor position, and the queries answered
// from them. Each backend fills the state from its own events.
#pragma once

#include <cstdint>

#include "platform/backend.h"
#include "platform/internal/keys.h"

class C_InputTrackingBackend : public C_PlatformBackend {
public:
    bool GetCursorPos(std::int32_t* x, std::int32_t* y) override;
    bool IsKeyDown(std::int32_t virtualKey) override;
    std::int32_t TranslateKey(std::int32_t virtualKey) override;

protected:
    bool m_keys[WIN_VK_COUNT] = {};  // by virtual-key code, mouse buttons included
    Win_KeyboardState m_toggles;     // Caps Lock and Num Lock
    std::int32_t m_cursorX = 0;      // screen coordinates
    std::int32_t m_cursorY = 0;
};
