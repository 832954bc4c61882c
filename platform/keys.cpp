#include "platform/internal/keys.h"

#include "platform/backend.h"

namespace {

struct Punctuation {
    std::int32_t virtualKey;
    char plain;
    char shifted;
    std::int32_t control;  // the control character Ctrl gives, or -1
};

constexpr Punctuation kPunctuation[] = {
    {WIN_VK_OEM_1, ';', ':', -1},     {WIN_VK_OEM_PLUS, '=', '+', -1},   {WIN_VK_OEM_COMMA, ',', '<', -1},
    {WIN_VK_OEM_MINUS, '-', '_', -1}, {WIN_VK_OEM_PERIOD, '.', '>', -1}, {WIN_VK_OEM_2, '/', '?', -1},
    {WIN_VK_OEM_3, '`', '~', -1},     {WIN_VK_OEM_4, '[', '{', 27},      {WIN_VK_OEM_5, '\\', '|', 28},
    {WIN_VK_OEM_6, ']', '}', 29},     {WIN_VK_OEM_7, '\'', '"', -1},
};

constexpr char kShiftedDigits[] = ")!@#$%^&*(";

}  // namespace

std::int32_t Win_KeyToChar(std::int32_t vk, const Win_KeyboardState& s) {
    if (s.alt && !s.control) return -1;  // Alt combinations type nothing
    if (vk >= WIN_VK_A && vk <= WIN_VK_Z) {
        if (s.control) return vk - WIN_VK_A + 1;
        const bool upper = s.shift != s.capsLock;
        return upper ? vk : vk + ('a' - 'A');
    }
    if (vk >= WIN_VK_0 && vk <= WIN_VK_0 + 9) {
        if (s.control) return -1;
        return s.shift ? kShiftedDigits[vk - WIN_VK_0] : vk;
    }
    if (vk >= WIN_VK_NUMPAD0 && vk <= WIN_VK_NUMPAD0 + 9) {
        // With Num Lock off (or Shift overriding it) the pad moves the caret.
        if (!s.numLock || s.shift || s.control) return -1;
        return '0' + (vk - WIN_VK_NUMPAD0);
    }
    switch (vk) {
    case WIN_VK_SPACE: return ' ';
    case WIN_VK_RETURN: return s.control ? 10 : 13;
    case WIN_VK_BACK: return s.control ? 127 : 8;
    case WIN_VK_TAB: return s.control ? -1 : 9;
    case WIN_VK_ESCAPE: return 27;
    case WIN_VK_MULTIPLY: return '*';
    case WIN_VK_ADD: return '+';
    case WIN_VK_SUBTRACT: return '-';
    case WIN_VK_DIVIDE: return '/';
    case WIN_VK_DECIMAL: return s.numLock && !s.shift ? '.' : -1;
    default: break;
    }
    for (const Punctuation& p : kPunctuation) {
        if (p.virtualKey != vk) continue;
        if (s.control) return p.control;
        return s.shift ? p.shifted : p.plain;
    }
    return -1;
}
