/// @file
/// The window: one native window with its settings as plain fields, input
/// delivered to callbacks held as function pointers, and a picture shown in
/// its client area. A free function pumps the message queue one message per
/// call for the application's frame loop.
#pragma once

#include <cstdint>
#include <memory>

#include "../core/list.h"
#include "../core/object.h"
#include "../core/string.h"
#include "../image/image.h"
#include "../math/shapes.h"
#include "../math/vector.h"
#include "backend.h"

/// Change codes: a setter stores its value and then calls Refresh with its
/// code, which applies the setting to the native window if there is one.
enum : std::int32_t {
    WIN_CHANGE_TITLE = 36,
    WIN_CHANGE_GEOMETRY = 37,
    WIN_CHANGE_BACKGROUND = 38,
    WIN_CHANGE_FOREGROUND = 39,
    WIN_CHANGE_TEXTCOLOR = 40,
    WIN_CHANGE_USERFLAG1 = 41,
    WIN_CHANGE_USERFLAG2 = 42,
    WIN_CHANGE_MOVABLE = 43,
    WIN_CHANGE_RESIZABLE = 44,
    WIN_CHANGE_ENABLED = 45,
    WIN_CHANGE_VISIBLE = 46,
    WIN_CHANGE_BORDERSTYLE = 47,
    WIN_CHANGE_USERSTYLE = 48,
    WIN_CHANGE_CURSOR = 51,
    WIN_CHANGE_USERVALUE1 = 52,
    WIN_CHANGE_REGION = 53,  ///< user values 3..6 are 54..57
    WIN_CHANGE_ALL = 59,     ///< replays 36..48 and 51..58
    WIN_CHANGE_PAINT = 60,
    WIN_CHANGE_CLIENTRECT = 61,
};

/// Geometry codes, one nibble per coordinate: how a value is measured.
enum : std::uint8_t {
    WIN_GEOM_FROM_START = 0,   ///< x, y: from the left / top edge; width, height: the right / bottom edge
    WIN_GEOM_FROM_END = 1,     ///< measured back from the right / bottom edge
    WIN_GEOM_FROM_CENTRE = 2,  ///< measured from the centre
    WIN_GEOM_SIZE = 3,         ///< width, height only: x1 = x0 + value, y1 = y0 + value
};

/// The native side of a window: its handle and its parent's.
struct Win_NativeBlock {
    Win_NativeHandle window = 0;
    Win_NativeHandle parent = 0;
};

/// A native window. Settings are plain fields changed through setters that
/// apply them at once; input arrives through the `m_on...` callbacks while
/// Win_ProcessMessages pumps the queue; Present shows a picture.
///
///     C_Window window;
///     window.SetTitle("Hello");
///     window.SetX(0, WIN_GEOM_FROM_START);
///     window.SetY(0, WIN_GEOM_FROM_START);
///     window.SetWidth(640, WIN_GEOM_SIZE);        // a client area of 640 x 480
///     window.SetHeight(480, WIN_GEOM_SIZE << 4);  // height codes sit in the high nibble
///     window.m_onClose = [](C_Window* w) { w->Destroy(); Win_Quit(); };
///     window.Create();
///     while (Win_ProcessMessages()) { /* draw, then */ window.Present(&backBuffer, C_Vector2Di(0, 0)); }
class C_Window : public C_Object {
public:
    /// Callbacks; the window is always the first argument, x and y are
    /// client-area pixels and button flags are 0 or 1.
    using Callback = void (*)(C_Window* window);
    using CodeCallback = void (*)(C_Window* window, std::int32_t code);
    using KeyCallback = void (*)(C_Window* window, std::int32_t character, std::int32_t virtualKey);
    using MouseCallback = void (*)(C_Window* window, std::int32_t left, std::int32_t middle, std::int32_t right,
                                   std::int32_t x, std::int32_t y);

    C_String name;   ///< not shown anywhere
    C_String title;  ///< caption text
    /// Requested placement: x0, y0 = x, y; x1, y1 = width, height; posAlign
    /// holds the x code (low nibble) and y code (high), sizeAlign the width
    /// and height codes.
    C_Frame geometry;
    /// Colour pairs; the second value of `background` is the system colour
    /// index that fills the client area around the shown picture. The rest
    /// are stored for the application.
    std::int32_t background[2] = {0, 2};
    std::int32_t foreground[2] = {0, 15};
    std::int32_t textColor[2] = {0, 15};
    std::uint8_t userFlag1 = 1;
    std::uint8_t userFlag2 = 1;
    std::uint8_t movable = 1;
    std::uint8_t resizable = 1;
    std::uint8_t enabled = 1;
    std::uint8_t visible = 1;
    std::uint16_t borderStyle = 0;  ///< 0 framed window, otherwise a frameless popup
    std::uint16_t userStyle = 0;
    std::uint16_t cursorId = 63;  ///< Win_SetCursor id shown over the window
    std::intptr_t userValue1 = 0;
    C_Image* regionMask = nullptr;  ///< not owned: 8-bit values, 255 inside the window's shape
    std::intptr_t userValue3 = 0;
    std::intptr_t userValue4 = 0;
    std::intptr_t userValue5 = 0;
    std::intptr_t userValue6 = 0;
    C_Image image;  ///< a view of the pixels last given to Present

    Callback m_onActivate = nullptr;
    Callback m_onDeactivate = nullptr;
    CodeCallback m_onButtonUp = nullptr;     ///< 1 left, 2 middle, 3 right
    CodeCallback m_onDoubleClick = nullptr;  ///< 1 left, 2 middle, 3 right
    Callback m_onSetFocus = nullptr;
    Callback m_onKillFocus = nullptr;
    KeyCallback m_onKeyDown = nullptr;
    KeyCallback m_onKeyUp = nullptr;
    Callback m_onCreate = nullptr;
    Callback m_onDestroy = nullptr;
    MouseCallback m_onMouseDown = nullptr;
    MouseCallback m_onMouseMove = nullptr;
    MouseCallback m_onMouseUp = nullptr;
    MouseCallback m_onTimer = nullptr;
    Callback m_onPaint = nullptr;
    Callback m_onSize = nullptr;
    Callback m_onClose = nullptr;

    C_Window* parent = nullptr;
    C_List children;           ///< child windows; not owned
    std::int32_t created = 0;  ///< 1 while the native window exists
    C_String className;
    C_Frame windowRect;    ///< native window rectangle, screen pixels
    C_Frame clientInsets;  ///< frame widths (change 37) or the client rectangle (change 61)
    Win_NativeBlock native;
    float buttonLeft = 0.0f;  ///< button states seen at the last mouse move
    float buttonMiddle = 0.0f;
    float buttonRight = 0.0f;
    float captured = 0.0f;      ///< 1.0 while the window holds the mouse after a press
    C_Vector2Di presentOffset;  ///< where the picture's top-left corner goes

    C_Window();
    ~C_Window() override;
    C_Window(const C_Window&) = delete;
    C_Window& operator=(const C_Window&) = delete;

    void Free() override;  ///< destroys the native window and drops the picture view
    void Init() override;  ///< every field to its default
    /// Makes the native window: non-zero (the handle, or 1 when it already
    /// exists) on success, 0 on failure.
    std::uintptr_t Create() override;
    void Destroy() override;
    std::uint32_t GetClassType() const override { return GFX_CLASS_WINDOW; }

    /// Fills windowRect from the geometry and its codes.
    virtual void ComputeWindowRect();
    /// Applies the setting of a change code to the native window.
    virtual void Refresh(std::int32_t code);

    /// Shows `picture` with its top-left corner at `offset` in the client
    /// area and fills the rest with the background colour. The first stored
    /// row is shown at the bottom (bottom-up images, as the back buffers of
    /// this framework are). The pixels are not copied: keep them alive until
    /// the next Present. Pictures of 16, 24 or 32 bits per pixel are drawn;
    /// others only get the margins filled.
    bool Present(const C_Image* picture, const C_Vector2Di& offset);

    /// Setters: store, then Refresh with the change code.
    void SetName(const C_String& value);
    void SetTitle(const C_String& value);
    void SetTitle(const char* value);
    void SetGeometry(const C_Frame& value);
    void SetX(std::int32_t value, std::uint8_t code);
    void SetY(std::int32_t value, std::uint8_t code);
    void SetWidth(std::int32_t value, std::uint8_t code);
    void SetHeight(std::int32_t value, std::uint8_t code);
    void SetBackground(std::int32_t first, std::int32_t colorIndex);
    void SetForeground(std::int32_t first, std::int32_t second);
    void SetTextColor(std::int32_t first, std::int32_t second);
    void SetUserFlag1(std::uint8_t value);
    void SetUserFlag2(std::uint8_t value);
    void SetMovable(std::uint8_t value);
    void SetResizable(std::uint8_t value);
    void SetEnabled(std::uint8_t value);
    void SetVisible(std::uint8_t value);
    void SetBorderStyle(std::uint16_t value);
    void SetUserStyle(std::uint16_t value);
    void SetCursorId(std::uint16_t value);
    /// index 1, 3, 4, 5 or 6 (index 2 is the region mask); false otherwise.
    bool SetUserValue(std::int32_t index, std::intptr_t value);
    void SetRegionMask(C_Image* mask);
    /// Makes this window a child (or owned popup) of `newParent` and lists it
    /// there; null detaches it. False when that would make a cycle.
    bool SetParent(C_Window* newParent);

    void GetName(C_String& out) const { out = name; }
    void GetTitle(C_String& out) const { out = title; }
    const C_Frame& GetGeometry() const { return geometry; }
    std::int32_t GetX() const { return geometry.x0; }
    std::int32_t GetY() const { return geometry.y0; }
    std::int32_t GetWidth() const { return geometry.x1; }
    std::int32_t GetHeight() const { return geometry.y1; }
    std::int32_t GetBackground() const { return background[1]; }
    std::uint8_t GetUserFlag1() const { return userFlag1; }
    std::uint8_t GetUserFlag2() const { return userFlag2; }
    std::uint8_t GetMovable() const { return movable; }
    std::uint8_t GetResizable() const { return resizable; }
    std::uint8_t GetEnabled() const { return enabled; }
    std::uint8_t GetVisible() const { return visible; }
    std::uint16_t GetBorderStyle() const { return borderStyle; }
    std::uint16_t GetUserStyle() const { return userStyle; }
    std::uint16_t GetCursorId() const { return cursorId; }
    std::intptr_t GetUserValue(std::int32_t index) const;
    C_Image* GetRegionMask() const { return regionMask; }
    C_Window* GetParent() const { return parent; }
    Win_NativeHandle GetNativeHandle() const { return native.window; }

    /// The window procedure: handles one message. False when the message must
    /// not go on to the platform's default handling.
    bool HandleMessage(Win_Message& message);

private:
    /// False once the window is deleted: a message being handled holds a
    /// copy, so that a callback deleting the window stops the handling before
    /// it touches the window again.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);

    void ApplyGeometry();
    bool ApplyStyle();
    void ApplyShape();
    void Paint();
    void StoreClientRect();
    void LeaveParent();
    void DetachFamily();
    void ReadPointer(std::int32_t* x, std::int32_t* y) const;
};

/// Takes at most one message from the queue, without waiting, and hands it to
/// its window. False once the quit message has been taken, true otherwise.
bool Win_ProcessMessages();
/// Posts the quit message (code 0).
void Win_Quit();
