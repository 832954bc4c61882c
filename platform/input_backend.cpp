#include "platform/internal/input_backend.h"

bool C_InputTrackingBackend::GetCursorPos(std::int32_t* x, std::int32_t* y) {
    if (x) *x = m_cursorX;
    if (y) *y = m_cursorY;
    return true;
}

bool C_InputTrackingBackend::IsKeyDown(std::int32_t virtualKey) {
    return virtualKey >= 0 && virtualKey < WIN_VK_COUNT && m_keys[virtualKey];
}

// The modifiers come from the keys held now; the toggles from their state.
std::int32_t C_InputTrackingBackend::TranslateKey(std::int32_t virtualKey) {
    Win_KeyboardState state = m_toggles;
    state.shift = m_keys[WIN_VK_SHIFT];
    state.control = m_keys[WIN_VK_CONTROL];
    state.alt = m_keys[WIN_VK_MENU];
    return Win_KeyToChar(virtualKey, state);
}
