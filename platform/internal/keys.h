// Keyboard translation shared by the backends: a virtual-key code and the
// keyboard state give the character the key types, as a US keyboard does.
#pragma once

#include <cstdint>

struct Win_KeyboardState {
    bool shift = false;
    bool control = false;
    bool alt = false;
    bool capsLock = false;
    bool numLock = true;
};

// The character (1..127) or -1 when the key types none.
std::int32_t Win_KeyToChar(std::int32_t virtualKey, const Win_KeyboardState& state);
