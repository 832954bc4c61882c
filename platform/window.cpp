#include "platform/window.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/error.h"
#include "image/format.h"
#include "math/random.h"
#include "platform/internal/compose.h"
#include "platform/internal/system.h"
#include "platform/timing.h"

namespace {

// Style of a new window: the overlapped window with clipping of children
// and siblings, with or without the sizing frame.
constexpr std::uint32_t kStyleResizable = 0x06CF0000u;
constexpr std::uint32_t kStyleFixed = 0x06CB0000u;
// What a border-style change clears, and the framed sets it chooses from.
constexpr std::uint32_t kStyleFrameBits = 0x7F30FFFFu;
constexpr std::uint32_t kFramedResizable = WIN_STYLE_OVERLAPPEDWINDOW;
constexpr std::uint32_t kFramedFixed = WIN_STYLE_OVERLAPPEDWINDOW & ~WIN_STYLE_THICKFRAME;

constexpr std::int32_t kTimerId = 1;
constexpr std::uint32_t kTimerPeriodMs = 1;

// Windows with a native counterpart, by handle: the platform's messages
// find their object here. Never destroyed, so that windows in static objects
// can still unregister during static destruction.
std::vector<std::pair<Win_NativeHandle, C_Window*>>& Registry() {
    static auto* windows = new std::vector<std::pair<Win_NativeHandle, C_Window*>>();
    return *windows;
}

C_Window* FindWindow(Win_NativeHandle handle) {
    for (const auto& entry : Registry())
        if (entry.first == handle) return entry.second;
    return nullptr;
}

void Unregister(Win_NativeHandle handle) {
    auto& windows = Registry();
    windows.erase(
        std::remove_if(windows.begin(), windows.end(), [handle](const auto& entry) { return entry.first == handle; }),
        windows.end());
}

// Wrapping 32-bit results of geometry arithmetic: hostile values must not
// overflow a signed int.
std::int32_t Wrap32(std::int64_t value) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(value)); }

std::int32_t Clamp32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

// One coordinate of the window rectangle from its geometry code. `base` is
// x0 (y0) for the size codes; `keep` is the coordinate's current value.
std::int32_t Place(std::uint8_t code, std::int64_t value, std::int64_t extent, std::int64_t base, bool isSize,
                   std::int32_t keep) {
    switch (code) {
    case WIN_GEOM_FROM_START: return Wrap32(value);
    case WIN_GEOM_FROM_END: return Wrap32(extent - value);
    case WIN_GEOM_FROM_CENTRE: return Wrap32(extent / 2 + value);
    case WIN_GEOM_SIZE: return isSize ? Wrap32(base + value) : keep;
    default: return keep;
    }
}

std::int32_t ButtonState(C_PlatformBackend* platform, std::int32_t virtualKey) {
    return platform->IsKeyDown(virtualKey) ? 1 : 0;
}

}  // namespace

C_Window::C_Window() { C_Window::Init(); }

C_Window::~C_Window() {
    *m_alive = false;
    C_Window::Free();
    DetachFamily();
}

void C_Window::Free() {
    Destroy();
    image.Free();
    image.Init();
}

void C_Window::Init() {
    if (created == 1) Destroy();
    DetachFamily();
    name = "No name";
    title = "Form window";
    geometry = C_Frame(0, 0, 640, 480, 0, 0);
    background[0] = 0;
    background[1] = 2;
    foreground[0] = 0;
    foreground[1] = 15;
    textColor[0] = 0;
    textColor[1] = 15;
    userFlag1 = userFlag2 = movable = resizable = enabled = visible = 1;
    borderStyle = 0;
    userStyle = 0;
    cursorId = WIN_IDC_ARROW;
    userValue1 = userValue3 = userValue4 = userValue5 = userValue6 = 0;
    regionMask = nullptr;
    image.Free();
    image.Init();
    m_onActivate = m_onDeactivate = nullptr;
    m_onButtonUp = m_onDoubleClick = nullptr;
    m_onSetFocus = m_onKillFocus = nullptr;
    m_onKeyDown = m_onKeyUp = nullptr;
    m_onCreate = m_onDestroy = nullptr;
    m_onMouseDown = m_onMouseMove = m_onMouseUp = m_onTimer = nullptr;
    m_onPaint = m_onSize = m_onClose = nullptr;
    created = 0;
    className = "";
    windowRect = C_Frame();
    clientInsets = C_Frame();
    native = Win_NativeBlock{};
    buttonLeft = buttonMiddle = buttonRight = 0.0f;
    captured = 0.0f;
    presentOffset = C_Vector2Di(0, 0, 0);
}

void C_Window::LeaveParent() {
    if (!parent) return;
    C_List& siblings = parent->children;
    for (std::uint32_t i = 0; i < siblings.Count(); ++i) {
        if (siblings.GetAt(i) == this) {
            siblings.RemoveAt(i);
            break;
        }
    }
    parent = nullptr;
}

void C_Window::DetachFamily() {
    LeaveParent();
    for (std::uint32_t i = 0; i < children.Count(); ++i) static_cast<C_Window*>(children.GetAt(i))->parent = nullptr;
    children.Clear();
}

bool C_Window::SetParent(C_Window* newParent) {
    for (const C_Window* w = newParent; w; w = w->parent)
        if (w == this) return false;
    if (newParent == parent) return true;
    LeaveParent();  // our own children stay with us
    if (!newParent) return true;
    if (!newParent->children.Append(this)) return false;
    parent = newParent;
    return true;
}

void C_Window::ComputeWindowRect() {
    std::int64_t extentX = 0;
    std::int64_t extentY = 0;
    std::int64_t originX = 0;
    std::int64_t originY = 0;
    if (parent) {
        // A child is laid out in its parent's client area.
        Win_Rect client;
        if (parent->created != 1 || !Win_GetPlatform()->GetClientRect(parent->native.window, &client)) return;
        extentX = client.Width();
        extentY = client.Height();
        originX = client.x0;
        originY = client.y0;
    } else {
        extentX = Win_GetDisplayCaps(WIN_CAPS_HORZRES);
        extentY = Win_GetDisplayCaps(WIN_CAPS_VERTRES);
    }
    const std::uint8_t codeX = geometry.posAlign & 0x0F;
    const std::uint8_t codeY = geometry.posAlign >> 4;
    const std::uint8_t codeW = geometry.sizeAlign & 0x0F;
    const std::uint8_t codeH = geometry.sizeAlign >> 4;
    const std::int32_t x0 = Place(codeX, geometry.x0, extentX, 0, false, Wrap32(windowRect.x0 - originX));
    const std::int32_t y0 = Place(codeY, geometry.y0, extentY, 0, false, Wrap32(windowRect.y0 - originY));
    const std::int32_t x1 = Place(codeW, geometry.x1, extentX, x0, true, Wrap32(windowRect.x1 - originX));
    const std::int32_t y1 = Place(codeH, geometry.y1, extentY, y0, true, Wrap32(windowRect.y1 - originY));
    windowRect.x0 = Wrap32(x0 + originX);
    windowRect.y0 = Wrap32(y0 + originY);
    windowRect.x1 = Wrap32(x1 + originX);
    windowRect.y1 = Wrap32(y1 + originY);
}

std::uintptr_t C_Window::Create() {
    if (created == 1) return 1;
    C_PlatformBackend* platform = Win_GetPlatform();
    className = C_String(static_cast<std::int32_t>(Math_Rand() + Math_Rand()));
    native.parent = (parent && parent->created == 1) ? parent->native.window : 0;
    ComputeWindowRect();

    std::uint32_t style = resizable == 1 ? kStyleResizable : kStyleFixed;
    if (parent) style |= borderStyle != 0 ? WIN_STYLE_POPUP : WIN_STYLE_CHILD;
    Win_WindowDesc desc;
    desc.className = className.CStr();
    desc.title = title.CStr();
    desc.style = style;
    desc.rect = Win_Rect{windowRect.x0, windowRect.y0, windowRect.x1, windowRect.y1};
    desc.parent = native.parent;
    desc.background = platform->GetSysColor(WIN_COLOR_3DFACE);
    desc.shaped = regionMask != nullptr;
    const Win_NativeHandle handle = platform->CreateNativeWindow(desc);
    if (!handle) {
        Gfx_FailSummary("C_Window::Create");
        return 0;
    }
    native.window = handle;
    platform->ShowNativeWindow(handle, WIN_SHOW_NORMAL);
    platform->SetFocus(handle);
    platform->SetCursorShape(WIN_CURSOR_NONE);

    Registry().emplace_back(handle, this);
    platform->StartTimer(handle, kTimerId, kTimerPeriodMs);
    created = 1;
    Refresh(WIN_CHANGE_ALL);
    return handle;
}

void C_Window::Destroy() {
    if (created != 1) return;
    // The platform takes child windows down with their parent.
    for (std::uint32_t i = 0; i < children.Count(); ++i) static_cast<C_Window*>(children.GetAt(i))->Destroy();
    C_PlatformBackend* platform = Win_GetPlatform();
    const Win_NativeHandle handle = native.window;
    Unregister(handle);
    platform->StopTimer(handle, kTimerId);
    platform->DestroyNativeWindow(handle);
    native.window = 0;
    created = 0;
    captured = 0.0f;  // the platform dropped the capture with the window
}

void C_Window::Refresh(std::int32_t code) {
    if (created != 1) return;
    C_PlatformBackend* platform = Win_GetPlatform();
    const Win_NativeHandle handle = native.window;
    switch (code) {
    case WIN_CHANGE_TITLE: platform->SetWindowTitle(handle, title.CStr()); break;
    case WIN_CHANGE_GEOMETRY: ApplyGeometry(); break;
    case WIN_CHANGE_RESIZABLE:
    case WIN_CHANGE_BORDERSTYLE:
        // A new frame changes the client area: lay the window out again so
        // the client area keeps the requested size.
        if (ApplyStyle()) ApplyGeometry();
        break;
    case WIN_CHANGE_ENABLED: platform->EnableNativeWindow(handle, enabled != 0); break;
    case WIN_CHANGE_VISIBLE:
        platform->ShowNativeWindow(handle, visible == 0 ? WIN_SHOW_HIDE : WIN_SHOW_NOACTIVATE);
        break;
    case WIN_CHANGE_REGION: ApplyShape(); break;
    case WIN_CHANGE_ALL:
        for (std::int32_t c = WIN_CHANGE_TITLE; c <= WIN_CHANGE_USERSTYLE; ++c) Refresh(c);
        for (std::int32_t c = WIN_CHANGE_CURSOR; c <= 58; ++c) Refresh(c);
        break;
    case WIN_CHANGE_PAINT: Paint(); break;
    case WIN_CHANGE_CLIENTRECT: StoreClientRect(); break;
    default: break;
    }
}

void C_Window::ApplyGeometry() {
    C_PlatformBackend* platform = Win_GetPlatform();
    const Win_NativeHandle handle = native.window;
    ComputeWindowRect();
    const bool show = visible == 1;
    platform->SetWindowRect(handle, Win_Rect{windowRect.x0, windowRect.y0, windowRect.x1, windowRect.y1}, show);
    if (borderStyle != 0 || created != 1) return;
    // The rectangle was the outer one; grow it by the frame so that the
    // requested size is the client area's.
    Win_Rect client;
    if (!platform->GetClientRect(handle, &client)) return;
    const std::int32_t left = Wrap32(std::int64_t{client.x0} - windowRect.x0);
    const std::int32_t top = Wrap32(std::int64_t{client.y0} - windowRect.y0);
    const std::int32_t right = Wrap32(std::int64_t{windowRect.x1} - client.x1);
    const std::int32_t bottom = Wrap32(std::int64_t{windowRect.y1} - client.y1);
    clientInsets = C_Frame(left, top, right, bottom, clientInsets.posAlign, clientInsets.sizeAlign);
    windowRect.x1 = Wrap32(std::int64_t{windowRect.x1} + left + right);
    windowRect.y1 = Wrap32(std::int64_t{windowRect.y1} + top + bottom);
    platform->SetWindowRect(handle, Win_Rect{windowRect.x0, windowRect.y0, windowRect.x1, windowRect.y1}, show);
}

bool C_Window::ApplyStyle() {
    C_PlatformBackend* platform = Win_GetPlatform();
    const std::uint32_t old = platform->GetWindowStyle(native.window);
    std::uint32_t style = old & kStyleFrameBits;
    if (borderStyle == 0)
        style |= resizable == 1 ? kFramedResizable : kFramedFixed;
    else
        style |= WIN_STYLE_POPUP;
    if (style == old) return false;
    platform->SetWindowStyle(native.window, style);
    return true;
}

void C_Window::StoreClientRect() {
    if (borderStyle != 0) return;
    Win_Rect client;
    if (!Win_GetPlatform()->GetClientRect(native.window, &client)) return;
    clientInsets = C_Frame(client.x0, client.y0, client.x1, client.y1, clientInsets.posAlign, clientInsets.sizeAlign);
}

void C_Window::ApplyShape() {
    if (!regionMask) return;
    Gfx_FormatDesc desc;
    // The mask is read a byte per pixel; any other pixel size would read
    // past its rows.
    if (!Gfx_GetFormatDesc(regionMask->format, &desc) || desc.bitsPerPixel != 8) {
        Gfx_Fail(GFX_ERR_FORMAT, "C_Window->Refresh", "C_Window->Refresh");
        return;
    }
    C_PlatformBackend* platform = Win_GetPlatform();
    const Win_NativeHandle handle = native.window;
    // Region rectangles are in window coordinates: shift them by the frame
    // so that the mask lies over the client area.
    Win_Rect outer;
    Win_Rect client;
    std::int32_t dx = 0;
    std::int32_t dy = 0;
    if (platform->GetWindowRect(handle, &outer) && platform->GetClientRect(handle, &client)) {
        dx = client.x0 - outer.x0;
        dy = client.y0 - outer.y0;
    }
    std::vector<Win_Rect> rects;
    if (regionMask->data) {
        const auto width = static_cast<std::int32_t>(std::min<std::uint32_t>(regionMask->width, INT32_MAX / 2));
        const auto height = static_cast<std::int32_t>(std::min<std::uint32_t>(regionMask->height, INT32_MAX / 2));
        for (std::int32_t y = 0; y < height; ++y) {
            const std::uint8_t* row = regionMask->Row(static_cast<std::uint32_t>(y));
            std::int32_t x = 0;
            while (x < width) {
                if (row[x] != 255) {
                    ++x;
                    continue;
                }
                const std::int32_t start = x;
                while (x < width && row[x] == 255) ++x;
                rects.push_back(Win_Rect{dx + start, dy + y, dx + x, dy + y + 1});
            }
        }
    }
    platform->SetWindowShape(handle, rects.data(), rects.size());
}

void C_Window::Paint() {
    Gfx_FormatDesc desc;
    if (!Gfx_GetFormatDesc(image.format, &desc)) return;
    C_PlatformBackend* platform = Win_GetPlatform();
    const Win_NativeHandle handle = native.window;
    Win_Rect client;
    if (!platform->GetClientRect(handle, &client)) return;
    if (!platform->BeginPaint(handle)) return;
    const std::int64_t x = presentOffset.x;
    const std::int64_t y = presentOffset.y;
    const std::int64_t w = image.width;
    const std::int64_t h = image.height;
    if (image.data && Win_IsPresentableFormat(image.format)) {
        Win_PixelBlock pixels;
        pixels.data = image.data;
        pixels.format = image.format;
        pixels.width = image.width;
        pixels.height = image.height;
        pixels.pitch = image.pitch;
        platform->DrawPixels(handle, pixels, presentOffset.x, presentOffset.y);
    }
    // The four margins around the picture, in the background colour.
    const std::uint32_t rgb = Win_SysColorRGB(background[1]);
    const std::int32_t right = client.Width();
    const std::int32_t bottom = client.Height();
    platform->FillRect(handle, Win_Rect{0, 0, Clamp32(x), bottom}, rgb);
    platform->FillRect(handle, Win_Rect{Clamp32(x + w), 0, right, bottom}, rgb);
    platform->FillRect(handle, Win_Rect{0, 0, right, Clamp32(y)}, rgb);
    platform->FillRect(handle, Win_Rect{0, Clamp32(y + h), right, bottom}, rgb);
    platform->EndPaint(handle);
}

bool C_Window::Present(const C_Image* picture, const C_Vector2Di& offset) {
    if (!picture) return Gfx_Fail(GFX_ERR_NULL_ARG, "C_Window::Present{image}", "C_Window::Present");
    if (!Gfx_GetFormatDesc(picture->format, nullptr))
        return Gfx_Fail(GFX_ERR_FORMAT, "C_Window::Present{image->format}", "C_Window::Present");
    if (picture->data && picture->width != 0 && picture->height != 0) {
        // A view, not a copy; the rows keep the picture's own pitch.
        if (!image.CreateLocked(picture->width, picture->height, picture->pitch, picture->format, picture->palFormat,
                                picture->data))
            return false;
    } else {
        image.Free();
        image.Init();
    }
    presentOffset = offset;
    Refresh(WIN_CHANGE_PAINT);
    return true;
}

void C_Window::ReadPointer(std::int32_t* x, std::int32_t* y) const {
    C_PlatformBackend* platform = Win_GetPlatform();
    std::int32_t sx = 0;
    std::int32_t sy = 0;
    Win_Rect client;
    platform->GetCursorPos(&sx, &sy);
    if (!platform->GetClientRect(native.window, &client)) client = Win_Rect{};
    *x = Wrap32(std::int64_t{sx} - client.x0);
    *y = Wrap32(std::int64_t{sy} - client.y0);
}

bool C_Window::HandleMessage(Win_Message& message) {
    C_PlatformBackend* platform = Win_GetPlatform();
    const std::shared_ptr<const bool> alive = m_alive;
    auto call = [&](Callback callback) {
        if (callback) callback(this);
        return *alive;
    };

    switch (message.type) {
    case WIN_MSG_CREATE: call(m_onCreate); break;
    case WIN_MSG_DESTROY: call(m_onDestroy); break;
    case WIN_MSG_SIZE:
        Refresh(WIN_CHANGE_CLIENTRECT);
        if (call(m_onSize)) call(m_onPaint);
        break;
    case WIN_MSG_ACTIVATE:
        if (message.param == 1)
            call(m_onActivate);
        else if (message.param == 0)
            call(m_onDeactivate);
        break;
    case WIN_MSG_SETFOCUS: call(m_onSetFocus); break;
    case WIN_MSG_KILLFOCUS: call(m_onKillFocus); break;
    case WIN_MSG_PAINT:
        Refresh(WIN_CHANGE_PAINT);
        call(m_onPaint);
        break;
    case WIN_MSG_CLOSE:
        // The window never closes by itself: the application decides.
        call(m_onClose);
        return false;
    case WIN_MSG_SHOWWINDOW: call(m_onPaint); break;
    case WIN_MSG_KEYDOWN:
    case WIN_MSG_KEYUP: {
        const bool down = message.type == WIN_MSG_KEYDOWN;
        const KeyCallback callback = down ? m_onKeyDown : m_onKeyUp;
        if (!callback) break;
        const std::int32_t virtualKey = message.param;
        std::int32_t c = platform->TranslateKey(virtualKey);
        std::int32_t character = 0;
        if (c >= 0) {
            // Shift makes a letter a capital (only letters: other characters
            // have their shifted forms from the translation already).
            if (platform->IsKeyDown(WIN_VK_SHIFT) && c >= 'a' && c <= 'z') c -= 32;
            if (!down && c == 'q' && virtualKey != WIN_VK_Q) c = 0;
            character = static_cast<std::int8_t>(static_cast<std::uint8_t>(c));
        }
        callback(this, character, virtualKey);
        break;
    }
    case WIN_MSG_TIMER:
        if (m_onTimer) {
            std::int32_t x = 0;
            std::int32_t y = 0;
            ReadPointer(&x, &y);
            m_onTimer(this, ButtonState(platform, WIN_VK_LBUTTON), ButtonState(platform, WIN_VK_MBUTTON),
                      ButtonState(platform, WIN_VK_RBUTTON), x, y);
        }
        break;
    case WIN_MSG_MOUSEMOVE: {
        const std::int32_t left = ButtonState(platform, WIN_VK_LBUTTON);
        const std::int32_t middle = ButtonState(platform, WIN_VK_MBUTTON);
        const std::int32_t right = ButtonState(platform, WIN_VK_RBUTTON);
        std::int32_t x = 0;
        std::int32_t y = 0;
        ReadPointer(&x, &y);
        // A button held without our capture was pressed elsewhere: the drag
        // is not ours.
        if (m_onMouseMove) {
            if (!left && !middle && !right)
                m_onMouseMove(this, 0, 0, 0, x, y);
            else if (captured == 1.0f)
                m_onMouseMove(this, left, middle, right, x, y);
            if (!*alive) break;
        }
        buttonLeft = static_cast<float>(left);
        buttonMiddle = static_cast<float>(middle);
        buttonRight = static_cast<float>(right);
        Win_SetCursor(cursorId);
        break;
    }
    case WIN_MSG_BUTTONDOWN: {
        if (message.param < 1 || message.param > 3) break;
        std::int32_t x = 0;
        std::int32_t y = 0;
        ReadPointer(&x, &y);
        if (m_onMouseDown) {
            m_onMouseDown(this, ButtonState(platform, WIN_VK_LBUTTON), ButtonState(platform, WIN_VK_MBUTTON),
                          ButtonState(platform, WIN_VK_RBUTTON), x, y);
            if (!*alive) break;
        }
        if (created == 1) {
            platform->SetCapture(native.window);
            captured = 1.0f;
        }
        break;
    }
    case WIN_MSG_BUTTONUP: {
        const std::int32_t button = message.param;
        if (button < 1 || button > 3 || captured != 1.0f) break;
        std::int32_t x = 0;
        std::int32_t y = 0;
        ReadPointer(&x, &y);
        if (m_onMouseUp) {
            m_onMouseUp(this, button == 1, button == 2, button == 3, x, y);
            if (!*alive) break;
        }
        if (m_onButtonUp) {
            m_onButtonUp(this, button);
            if (!*alive) break;
        }
        const bool anyHeld = platform->IsKeyDown(WIN_VK_LBUTTON) || platform->IsKeyDown(WIN_VK_MBUTTON) ||
                             platform->IsKeyDown(WIN_VK_RBUTTON);
        if (!anyHeld) {
            captured = 0.0f;
            platform->ReleaseCapture();
        }
        break;
    }
    case WIN_MSG_DOUBLECLICK:
        if (m_onDoubleClick && message.param >= 1 && message.param <= 3) m_onDoubleClick(this, message.param);
        break;
    case WIN_MSG_MOVING:
        if (movable == 0) message.rect = Win_Rect{windowRect.x0, windowRect.y0, windowRect.x1, windowRect.y1};
        break;
    default: break;
    }
    return true;
}

// Setters: each stores its value, then applies it through Refresh.

namespace {

template <typename T, typename V>
void Store(C_Window& window, T& field, const V& value, std::int32_t code) {
    field = value;
    window.Refresh(code);
}

// A corner value and its nibble of an anchor byte (0x0F the low, horizontal
// one; 0xF0 the high, vertical one).
void StoreEdge(C_Window& window, std::int32_t& edge, std::uint8_t& align, std::int32_t value, std::uint8_t code,
               std::uint8_t nibble) {
    edge = value;
    align = static_cast<std::uint8_t>((align & ~nibble) | (code & nibble));
    window.Refresh(WIN_CHANGE_GEOMETRY);
}

void StorePair(C_Window& window, std::int32_t (&field)[2], std::int32_t first, std::int32_t second, std::int32_t code) {
    field[0] = first;
    field[1] = second;
    window.Refresh(code);
}

}  // namespace

void C_Window::SetName(const C_String& value) { name = value; }
void C_Window::SetTitle(const C_String& value) { Store(*this, title, value, WIN_CHANGE_TITLE); }
void C_Window::SetTitle(const char* value) { Store(*this, title, value, WIN_CHANGE_TITLE); }
void C_Window::SetGeometry(const C_Frame& value) { Store(*this, geometry, value, WIN_CHANGE_GEOMETRY); }

void C_Window::SetX(std::int32_t value, std::uint8_t code) {
    StoreEdge(*this, geometry.x0, geometry.posAlign, value, code, 0x0F);
}
void C_Window::SetY(std::int32_t value, std::uint8_t code) {
    StoreEdge(*this, geometry.y0, geometry.posAlign, value, code, 0xF0);
}
void C_Window::SetWidth(std::int32_t value, std::uint8_t code) {
    StoreEdge(*this, geometry.x1, geometry.sizeAlign, value, code, 0x0F);
}
void C_Window::SetHeight(std::int32_t value, std::uint8_t code) {
    StoreEdge(*this, geometry.y1, geometry.sizeAlign, value, code, 0xF0);
}

void C_Window::SetBackground(std::int32_t first, std::int32_t colorIndex) {
    StorePair(*this, background, first, colorIndex, WIN_CHANGE_BACKGROUND);
}
void C_Window::SetForeground(std::int32_t first, std::int32_t second) {
    StorePair(*this, foreground, first, second, WIN_CHANGE_FOREGROUND);
}
void C_Window::SetTextColor(std::int32_t first, std::int32_t second) {
    StorePair(*this, textColor, first, second, WIN_CHANGE_TEXTCOLOR);
}

void C_Window::SetUserFlag1(std::uint8_t value) { Store(*this, userFlag1, value, WIN_CHANGE_USERFLAG1); }
void C_Window::SetUserFlag2(std::uint8_t value) { Store(*this, userFlag2, value, WIN_CHANGE_USERFLAG2); }
void C_Window::SetMovable(std::uint8_t value) { Store(*this, movable, value, WIN_CHANGE_MOVABLE); }
void C_Window::SetResizable(std::uint8_t value) { Store(*this, resizable, value, WIN_CHANGE_RESIZABLE); }
void C_Window::SetEnabled(std::uint8_t value) { Store(*this, enabled, value, WIN_CHANGE_ENABLED); }
void C_Window::SetVisible(std::uint8_t value) { Store(*this, visible, value, WIN_CHANGE_VISIBLE); }
void C_Window::SetBorderStyle(std::uint16_t value) { Store(*this, borderStyle, value, WIN_CHANGE_BORDERSTYLE); }
void C_Window::SetUserStyle(std::uint16_t value) { Store(*this, userStyle, value, WIN_CHANGE_USERSTYLE); }
void C_Window::SetCursorId(std::uint16_t value) { Store(*this, cursorId, value, WIN_CHANGE_CURSOR); }

bool C_Window::SetUserValue(std::int32_t index, std::intptr_t value) {
    switch (index) {
    case 1: userValue1 = value; break;
    case 3: userValue3 = value; break;
    case 4: userValue4 = value; break;
    case 5: userValue5 = value; break;
    case 6: userValue6 = value; break;
    default: return false;
    }
    Refresh(WIN_CHANGE_USERVALUE1 + index - 1);
    return true;
}

std::intptr_t C_Window::GetUserValue(std::int32_t index) const {
    switch (index) {
    case 1: return userValue1;
    case 3: return userValue3;
    case 4: return userValue4;
    case 5: return userValue5;
    case 6: return userValue6;
    default: return 0;
    }
}

void C_Window::SetRegionMask(C_Image* mask) { Store(*this, regionMask, mask, WIN_CHANGE_REGION); }

// The message flow.

void Win_DispatchMessage(Win_Message& message) {
    C_Window* window = FindWindow(message.window);
    // Messages of windows not (or no longer) attached get the default
    // handling only: creation and destruction pass unseen.
    const bool handleDefault = window ? window->HandleMessage(message) : true;
    if (handleDefault) Win_GetPlatform()->DefaultHandling(message);
}

std::size_t Win_LiveWindowCount() { return Registry().size(); }

bool Win_ProcessMessages() {
    C_PlatformBackend* platform = Win_GetPlatform();
    Win_Message message;
    if (!platform->PeekMessage(&message)) return true;
    if (message.type == WIN_MSG_QUIT) return false;
    Win_DispatchMessage(message);
    return true;
}

void Win_Quit() { Win_GetPlatform()->PostQuitMessage(0); }
