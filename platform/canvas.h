/// @file
/// The canvas: an off-screen render target bound to a window. It owns a
/// surface of a chosen size (a GFX_FMT_ARGB8888 colour plane and, on request,
/// a GFX_FMT_CH8 alpha plane, both bottom-up as the window shows them),
/// forwards the framework's drawing operations to it with its own two clip
/// rectangles, keeps display-ready copies of the planes of the source
/// surfaces it makes, and shows its surface in the window with an alignment
/// rule. It can also switch the display to a full-screen mode of its size.
///
/// Life cycle: 127 (constructed) -> Setup / SetupFullscreen -> 128 ->
/// CreateTarget -> 129 (the surface exists) -> DestroyTarget -> 128 -> ...
///
/// Sources drawn through BlitTransformed, DrawInRect and DrawText are read
/// from their planes' `derived` copies, which the canvas makes for the layer
/// surfaces it creates (CreateLayerSurface) when they are told their planes
/// changed (Notify1 with the plane number, or GFX_NOTIFY_ALL_PLANES). A
/// source without copies draws nothing. Fonts whose glyph surfaces should be
/// drawable through a canvas get them from Win_Canvas_NewLayerSurface:
///
///     font.imageAllocator = Win_Canvas_NewLayerSurface;
///     font.allocatorContext = canvas.GetId();
///     font.LoadFromFile("times.uft", 0);
///     font.NotifySurfaces();
#pragma once

#include <cstdint>

#include "../core/list.h"

class C_Color;
class C_Circle;
class C_Font;
class C_FontType;
class C_Frame;
class C_Object;
class C_Rect;
class C_String;
class C_Surface;
class C_Vector2D;
class C_Vector2Di;
class C_Window;
struct C_DrawParams;

/// Canvas states.
enum : std::int32_t {
    GFX_CANVAS_INIT = 127,     ///< constructed, not set up
    GFX_CANVAS_SETUP = 128,    ///< set up, no surface
    GFX_CANVAS_CREATED = 129,  ///< the surface exists; drawing allowed
};

/// Where a canvas is shown: its window and the area of the client region the
/// picture is aligned against (x0, y0 inclusive, x1, y1 exclusive). Neither is
/// owned; both must outlive their use by the canvas. A null area means the
/// whole client area.
struct C_CanvasTarget {
    C_Window* window = nullptr;
    const C_Frame* area = nullptr;
};

/// An off-screen render target shown in a window (see the file comment for
/// its life cycle and how sources are read).
class C_Canvas {
public:
    C_Window* window;     ///< shows the canvas; not owned
    const C_Frame* area;  ///< area of the client region to align against; not owned
    std::uint32_t width;  ///< size of the surface in pixels
    std::uint32_t height;
    std::int32_t bitsPerPixel;  ///< display depth for full-screen use; 32 for a windowed canvas
    std::uint8_t hasAlpha;      ///< 1: the surface gets an alpha plane
    C_Object* extra;            ///< owned user object; see SetExtra
    C_Surface* surface;         ///< the render target (or the surface drawing is redirected to)
    std::int32_t state;         ///< GFX_CANVAS_*
    std::uint8_t fullscreen;    ///< 1: CreateTarget switches the display mode
    std::uint8_t areaAlign;     ///< where the picture sits in `area`; 0x22 centred
    std::uint8_t surfaceAlign;  ///< which point of the picture is placed; 0x22 its centre
    C_Frame* clip2;             ///< owned second clip rectangle of every forwarded call, or null
    C_Frame* clip;              ///< owned first clip rectangle of every forwarded call, or null
    C_Surface* savedSurface;    ///< the canvas's own surface while drawing is redirected

    C_Canvas();
    virtual ~C_Canvas();
    C_Canvas(const C_Canvas&) = delete;
    C_Canvas& operator=(const C_Canvas&) = delete;

    /// Makes the surface (state 128 only): width x height, colour plane
    /// cleared to (0, 0, 0, 0), alpha plane cleared to 0 when hasAlpha is 1;
    /// then, for a full-screen canvas, switches the display mode. State 129.
    /// False in any other state, for a zero size, or when memory cannot be
    /// obtained (the state then stays 128).
    virtual bool CreateTarget();
    /// Deletes `extra` and the surface (ending any redirection); 129 becomes
    /// 128.
    virtual void DestroyTarget();
    /// Every field to its default, state 127. Owns nothing afterwards: call
    /// Free first.
    virtual void Init();
    /// Deletes `extra`, the canvas's own surface and both clip rectangles. A
    /// surface drawing is redirected to is never deleted.
    virtual void Free();
    /// Releases whatever the canvas held, then stores the target, the size and
    /// hasAlpha for a windowed canvas (32 bits per pixel). State 128.
    virtual bool Setup(const C_CanvasTarget& target, std::uint32_t newWidth, std::uint32_t newHeight,
                       std::uint8_t withAlpha);
    /// The same for a canvas whose CreateTarget switches the display to
    /// width x height at `depth` bits per pixel.
    virtual bool SetupFullscreen(const C_CanvasTarget& target, std::uint32_t newWidth, std::uint32_t newHeight,
                                 std::int32_t depth, std::uint8_t withAlpha);
    virtual void DeleteClip2();
    /// Keeps a copy of the frame (corners and both code bytes); null deletes.
    /// False only when memory cannot be obtained (the old copy then stays).
    virtual bool SetClip2(const C_Frame* frame);
    virtual void DeleteClip();
    virtual bool SetClip(const C_Frame* frame);
    virtual C_Object* GetExtra() const { return extra; }
    virtual C_Surface* GetSurface() const { return surface; }
    /// The pixel format of the surface's colour plane; -1 without one.
    virtual std::int32_t GetFormat() const;
    virtual std::int32_t GetState() const { return state; }
    /// Non-null: later drawing (and Present) goes to `target` instead, which
    /// the canvas never deletes; a second redirection replaces the first.
    /// Null: back to the canvas's own surface.
    virtual void RedirectSurface(C_Surface* target);
    /// Shows the surface's colour plane in the window. With (a, b, c, d) the
    /// area and W x H the surface: surfaceAlign moves the picture by -W or
    /// -W / 2 (low nibble 1 or 2) and -H or -H / 2 (high nibble 0x10, 0x20),
    /// then areaAlign puts that point at a, c or a + (c - a) / 2, and at b, d
    /// or b + (d - b) / 2. False without a window or a colour plane.
    virtual bool Present();
    /// A new, empty surface bound to this canvas: its planes-changed (slot 1)
    /// and release (slot 4) notifications reach OnPlanesChanged and
    /// OnRelease. The caller deletes it, before or after the canvas; a layer
    /// that outlives its canvas loses its copies and becomes a plain surface.
    /// Null when memory cannot be obtained.
    virtual C_Surface* CreateLayerSurface();
    /// Builds or refreshes the `derived` copy of each entry numbered `code`
    /// (every entry for GFX_NOTIFY_ALL_PLANES): plane 1 in GFX_FMT_ARGB8888,
    /// plane 2 in GFX_FMT_CH8; other planes keep none. An entry without an
    /// image loses its copy. False when a plane could not be converted (its
    /// copy is then dropped, so nothing stale is drawn).
    virtual bool OnPlanesChanged(C_Surface* layer, std::int32_t code);
    /// For GFX_NOTIFY_ALL_PLANES: deletes every `derived` copy of the surface.
    virtual bool OnRelease(C_Surface* layer, std::int32_t code);

    /// Primitives into the surface with the canvas's clip rectangles (state
    /// 129 only, false otherwise); arguments and results as Gfx_Surface_Blit.
    virtual bool Blit(const C_Vector2Di* point, const C_Color* color, std::uint32_t extraArg = 0);
    virtual bool Blit(const C_Vector2D* start, const C_Vector2D* end, const C_Color* color);
    virtual bool Blit(const C_Rect* rect, const C_Color* color, std::uint8_t filled, std::uint32_t extra1 = 0,
                      std::uint32_t extra2 = 0);
    virtual bool Blit(const C_Circle* circle, const C_Color* color, std::uint8_t filled, std::uint32_t extra1 = 0,
                      std::uint32_t extra2 = 0);
    /// Gfx_Surface_DrawInRect, Gfx_Surface_BlitTransformed and
    /// Gfx_Surface_DrawText onto the surface with the canvas's clip
    /// rectangles, reading the sources' derived copies. False when there is
    /// no surface; otherwise the forwarded call's result.
    virtual bool DrawInRect(C_Surface* src, const C_Rect* srcRect, const C_Rect* destRect, const C_Vector2D* position,
                            std::uint32_t mode, const C_DrawParams* params);
    virtual bool BlitTransformed(C_Surface* src, const C_Rect* srcRect, const C_Vector2D* position, std::uint32_t mode,
                                 const C_DrawParams* params);
    virtual bool DrawText(const C_String& text, const C_Font* font, const C_FontType& fontType, const C_Color& color,
                          const C_Vector2D& position, std::uint8_t textAlign, std::uint8_t wrap, std::uint32_t unused,
                          std::uint32_t mode);

    /// Hands the canvas an object it deletes with itself (or at DestroyTarget
    /// or Setup); the previous one is deleted. The framework never sets it.
    void SetExtra(C_Object* object);
    /// A number naming this canvas for Win_Canvas_NewLayerSurface; unique for
    /// the life of the process.
    std::uint32_t GetId() const { return m_id; }
    /// True while drawing goes to a surface given to RedirectSurface.
    bool IsRedirected() const { return m_redirected; }

private:
    friend class C_CanvasLayer;
    friend C_Surface* Win_Canvas_NewLayerSurface(std::uint32_t canvasId);

    /// The surface the canvas made and deletes.
    C_Surface*& OwnSurface() { return m_redirected ? savedSurface : surface; }
    void DeleteOwnSurface();
    void ReleaseCopies(C_Surface* layer);
    void ForgetLayer(C_Surface* layer);

    std::uint32_t m_id;
    bool m_redirected;
    C_List m_layers;       ///< the live layer surfaces made here; not owned
    C_Canvas* m_nextLive;  ///< the process-wide list of canvases, for GetId lookups
};

/// A font surface allocator (C_Font::imageAllocator): a new layer surface of
/// the canvas whose GetId is `canvasId`, or a plain surface when no such
/// canvas exists any more.
C_Surface* Win_Canvas_NewLayerSurface(std::uint32_t canvasId);
