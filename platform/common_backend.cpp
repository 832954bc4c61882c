#include "platform/internal/common_backend.h"

bool C_CommonBackend::GetCursorPos(std::int32_t* x, std::int32_t* y) {
    if (x) *x = m_cursorX;
    if (y) *y = m_cursorY;
    return true;
}

bool C_CommonBackend::IsKeyDown(std::int32_t virtualKey) {
    return virtualKey >= 0 && virtualKey < WIN_VK_COUNT && m_keys[virtualKey];
}

// The modifiers come from the keys held now; the toggles from their state.
std::int32_t C_CommonBackend::TranslateKey(std::int32_t virtualKey) {
    Win_KeyboardState state = m_toggles;
    state.shift = m_keys[WIN_VK_SHIFT];
    state.control = m_keys[WIN_VK_CONTROL];
    state.alt = m_keys[WIN_VK_MENU];
    return Win_KeyToChar(virtualKey, state);
}

void C_CommonBackend::PostQuitMessage(std::int32_t code) {
    m_quit = true;
    m_quitCode = code;
}

bool C_CommonBackend::TakeQuitMessage(Win_Message* message) {
    if (!m_quit) return false;
    m_quit = false;
    *message = Win_Message{};
    message->type = WIN_MSG_QUIT;
    message->param = m_quitCode;
    return true;
}

void C_CommonBackend::SendNotice(Win_NativeHandle window, Win_MessageType type) {
    Win_Message message;
    message.type = type;
    message.window = window;
    Send(message);
}
