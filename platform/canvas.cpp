#include "platform/canvas.h"

#include <new>

#include "core/error.h"
#include "image/convert.h"
#include "image/format.h"
#include "image/image.h"
#include "math/color.h"
#include "math/shapes.h"
#include "math/vector.h"
#include "platform/backend.h"
#include "platform/timing.h"
#include "platform/window.h"
#include "surface/blit.h"
#include "surface/blit_kernel.h"
#include "surface/primitives.h"
#include "surface/surface.h"
#include "surface/fill.h"
#include "text/text_draw.h"

// A layer surface: a surface whose notifications reach the canvas that made
// it. It knows its canvas and the canvas knows its layers, so that whichever
// of the two goes first unhooks the other and no notification ever reaches a
// deleted canvas.
class C_CanvasLayer : public C_Surface {
public:
    explicit C_CanvasLayer(C_Canvas* canvas) : m_canvas(canvas) {
        owner = canvas;
        notify[0] = PlanesChanged;
        notify[3] = Released;
    }

    ~C_CanvasLayer() override {
        // Release while the canvas can still hear it, then leave it.
        Free();
        if (m_canvas) m_canvas->ForgetLayer(this);
        Unhook();
    }

    C_CanvasLayer(const C_CanvasLayer&) = delete;
    C_CanvasLayer& operator=(const C_CanvasLayer&) = delete;

    // The canvas is going away: the layer becomes a plain surface.
    void Unhook() {
        if (owner == m_canvas) {
            owner = nullptr;
            notify[0] = nullptr;
            notify[3] = nullptr;
        }
        m_canvas = nullptr;
    }

private:
    static bool PlanesChanged(C_Surface* surface, std::int32_t code) {
        auto* canvas = static_cast<C_Canvas*>(surface->owner);
        return canvas ? canvas->OnPlanesChanged(surface, code) : false;
    }

    static bool Released(C_Surface* surface, std::int32_t code) {
        auto* canvas = static_cast<C_Canvas*>(surface->owner);
        return canvas ? canvas->OnRelease(surface, code) : false;
    }

    C_Canvas* m_canvas;
};

namespace {

constexpr std::uint32_t kAllFlags = 0xFFFFFFFFu;  // the conversion flags the copies are made with

// Every live canvas, newest first, so that a font allocator holding only a
// canvas's number can find it.
C_Canvas* g_liveCanvases = nullptr;
std::uint32_t g_lastCanvasId = 0;

std::uint32_t NextCanvasId() {
    if (++g_lastCanvasId == 0) ++g_lastCanvasId;  // 0 names no canvas
    return g_lastCanvasId;
}

C_SurfacePlane* EntryAt(const C_List* list, std::uint32_t i) { return static_cast<C_SurfacePlane*>(list->GetAt(i)); }

void DropDerived(C_SurfacePlane& entry) {
    delete entry.derived;
    entry.derived = nullptr;
}

// Builds or refreshes one entry's display-ready copy. A copy of the plane's
// size and format is converted into in place; otherwise (first time, or the
// plane was replaced by one of another size) it is rebuilt, so the copy
// never keeps pixels the plane no longer has.
bool RefreshDerived(C_SurfacePlane& entry, std::int32_t format) {
    const C_Image& image = *entry.image;
    C_Image* copy = entry.derived;
    const bool fits = copy && copy->format == format && copy->width == image.width && copy->height == image.height;
    bool ok = false;
    if (fits) {
        ok = Gfx_Image_Copy_24to32(&image, copy, kAllFlags);
    } else {
        if (!copy) copy = entry.derived = new (std::nothrow) C_Image();
        if (!copy)
            return Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Canvas::OnPlanesChanged{derived}", "C_Canvas::OnPlanesChanged");
        ok = Gfx_Image_Clone(&image, copy, format, GFX_FMT_NONE, kAllFlags);
    }
    if (!ok) DropDerived(entry);
    return ok;
}

// The one-sided alignment offset of an extent: none, all of it or half of it
// backwards, as an align nibble's code 0, 1 or 2 says.
std::int64_t SelfOffset(std::uint32_t code, std::int64_t extent) {
    if (code == 1) return -extent;
    if (code == 2) return -(extent / 2);
    return 0;
}

// Where a point lands in the edges lo..hi of the area: lo, hi or the middle.
std::int64_t AreaPoint(std::uint32_t code, std::int64_t lo, std::int64_t hi) {
    if (code == 1) return hi;
    if (code == 2) return lo + (hi - lo) / 2;
    return lo;
}

std::uint32_t LowCode(std::uint8_t align) {
    const std::uint32_t code = align & 0x0Fu;
    return code <= 2 ? code : 0;
}

std::uint32_t HighCode(std::uint8_t align) {
    const std::uint32_t code = align >> 4;
    return code <= 2 ? code : 0;
}

std::int32_t Saturate(std::int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

// Sets the blit kernel to read the sources' derived copies for the life of
// the scope, and back to the plain planes however the scope is left.
class DerivedPlanes {
public:
    DerivedPlanes() { Gfx_GetBlitKernel().useDerived = 1; }
    ~DerivedPlanes() { Gfx_GetBlitKernel().useDerived = 0; }
    DerivedPlanes(const DerivedPlanes&) = delete;
    DerivedPlanes& operator=(const DerivedPlanes&) = delete;
};

// A cleared plane for the target; null (error recorded) when it cannot be
// made.
C_Image* NewTargetPlane(std::uint32_t width, std::uint32_t height, std::int32_t format) {
    auto* image = new (std::nothrow) C_Image();
    if (!image) {
        Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Canvas::CreateTarget{image}", "C_Canvas::CreateTarget");
        return nullptr;
    }
    if (!image->CreateEmpty(width, height, format, GFX_FMT_NONE, C_Color(0.0f, 0.0f, 0.0f, 0.0f))) {
        delete image;
        Gfx_FailSummary("C_Canvas::CreateTarget");
        return nullptr;
    }
    // Bottom-up, as the window shows pictures.
    image->bottomUp = 1;
    return image;
}

bool AttachPlane(C_Surface& target, C_Image* image, std::uint32_t index) {
    if (image && target.AddPlane(image, index)) return true;
    delete image;
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Life cycle

C_Canvas::C_Canvas() : m_id(NextCanvasId()), m_redirected(false), m_nextLive(g_liveCanvases) {
    g_liveCanvases = this;
    C_Canvas::Init();
}

C_Canvas::~C_Canvas() {
    C_Canvas::Free();
    // Layers that outlive the canvas lose their copies (nothing could free
    // them later) and their hooks.
    for (std::uint32_t i = 0; i < m_layers.Count(); ++i) {
        auto* layer = static_cast<C_CanvasLayer*>(m_layers.GetAt(i));
        if (!layer) continue;
        ReleaseCopies(layer);
        layer->Unhook();
    }
    for (C_Canvas** link = &g_liveCanvases; *link; link = &(*link)->m_nextLive) {
        if (*link == this) {
            *link = m_nextLive;
            break;
        }
    }
}

void C_Canvas::Init() {
    window = nullptr;
    area = nullptr;
    width = 0;
    height = 0;
    bitsPerPixel = 32;
    hasAlpha = 0;
    extra = nullptr;
    surface = nullptr;
    state = GFX_CANVAS_INIT;
    fullscreen = 0;
    areaAlign = 0x22;
    surfaceAlign = 0x22;
    clip2 = nullptr;
    clip = nullptr;
    savedSurface = nullptr;
    m_redirected = false;
}

void C_Canvas::Free() {
    delete extra;
    extra = nullptr;
    DeleteOwnSurface();
    DeleteClip();
    DeleteClip2();
}

bool C_Canvas::Setup(const C_CanvasTarget& target, std::uint32_t newWidth, std::uint32_t newHeight,
                     std::uint8_t withAlpha) {
    Free();
    Init();
    window = target.window;
    area = target.area;
    width = newWidth;
    height = newHeight;
    hasAlpha = withAlpha;
    bitsPerPixel = 32;
    fullscreen = 0;
    state = GFX_CANVAS_SETUP;
    return true;
}

bool C_Canvas::SetupFullscreen(const C_CanvasTarget& target, std::uint32_t newWidth, std::uint32_t newHeight,
                               std::int32_t depth, std::uint8_t withAlpha) {
    Setup(target, newWidth, newHeight, withAlpha);
    bitsPerPixel = depth;
    fullscreen = 1;
    return true;
}

bool C_Canvas::CreateTarget() {
    constexpr const char* kSite = "C_Canvas::CreateTarget";
    if (state != GFX_CANVAS_SETUP) return false;
    if (width == 0 || height == 0) return Gfx_Fail(GFX_ERR_BAD_DATA, "C_Canvas::CreateTarget{width}", kSite);

    auto* target = new (std::nothrow) C_Surface();
    if (!target) return Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Canvas::CreateTarget{surface}", kSite);
    bool ok = AttachPlane(*target, NewTargetPlane(width, height, GFX_FMT_ARGB8888), GFX_PLANE_COLOR);
    if (ok && hasAlpha == 1) ok = AttachPlane(*target, NewTargetPlane(width, height, GFX_FMT_CH8), GFX_PLANE_ALPHA);
    if (!ok) {
        delete target;
        return Gfx_FailSummary(kSite);
    }
    // While drawing is redirected the new surface waits in the saved slot.
    DeleteOwnSurface();
    OwnSurface() = target;

    // A refused mode shows a message and ends the message loop; the target
    // exists either way.
    if (fullscreen == 1)
        Win_SetDisplayMode(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height), bitsPerPixel);
    state = GFX_CANVAS_CREATED;
    return true;
}

void C_Canvas::DestroyTarget() {
    if (state == GFX_CANVAS_CREATED) state = GFX_CANVAS_SETUP;
    delete extra;
    extra = nullptr;
    DeleteOwnSurface();
    surface = nullptr;
    savedSurface = nullptr;
    m_redirected = false;
}

void C_Canvas::DeleteOwnSurface() {
    C_Surface*& own = OwnSurface();
    delete own;
    own = nullptr;
}

void C_Canvas::SetExtra(C_Object* object) {
    if (object == extra) return;
    delete extra;
    extra = object;
}

// ---------------------------------------------------------------------------
// Clip rectangles

namespace {

bool KeepCopy(C_Frame*& slot, const C_Frame* frame, const char* detail, const char* site) {
    if (!frame) {
        delete slot;
        slot = nullptr;
        return true;
    }
    auto* copy = new (std::nothrow) C_Frame(*frame);
    if (!copy) return Gfx_Fail(GFX_ERR_NO_MEMORY, detail, site);
    delete slot;
    slot = copy;
    return true;
}

}  // namespace

void C_Canvas::DeleteClip2() {
    delete clip2;
    clip2 = nullptr;
}

bool C_Canvas::SetClip2(const C_Frame* frame) {
    return KeepCopy(clip2, frame, "C_Canvas::SetClip2{clip2}", "C_Canvas::SetClip2");
}

void C_Canvas::DeleteClip() {
    delete clip;
    clip = nullptr;
}

bool C_Canvas::SetClip(const C_Frame* frame) {
    return KeepCopy(clip, frame, "C_Canvas::SetClip{clip}", "C_Canvas::SetClip");
}

// ---------------------------------------------------------------------------
// Surface, redirection and presenting

std::int32_t C_Canvas::GetFormat() const {
    const C_Image* colour = surface ? surface->GetPlane(GFX_PLANE_COLOR) : nullptr;
    return colour ? colour->format : GFX_FMT_NONE;
}

void C_Canvas::RedirectSurface(C_Surface* target) {
    if (target) {
        // A second redirection replaces the first; the canvas's own surface
        // stays saved.
        if (!m_redirected) savedSurface = surface;
        surface = target;
        m_redirected = true;
        return;
    }
    if (!m_redirected) return;
    surface = savedSurface;
    savedSurface = nullptr;
    m_redirected = false;
}

bool C_Canvas::Present() {
    constexpr const char* kSite = "C_Canvas::Present";
    if (!window) return Gfx_Fail(GFX_ERR_NULL_ARG, "C_Canvas::Present{window}", kSite);
    const C_Image* picture = surface ? surface->GetPlane(GFX_PLANE_COLOR) : nullptr;
    if (!picture) return false;

    // The area; without one, the whole client area.
    std::int64_t a = 0, b = 0, c = 0, d = 0;
    if (area) {
        a = area->x0;
        b = area->y0;
        c = area->x1;
        d = area->y1;
    } else if (window->created) {
        Win_Rect client;
        if (Win_GetPlatform()->GetClientRect(window->GetNativeHandle(), &client)) {
            c = client.Width();
            d = client.Height();
        }
    }

    const std::int64_t x =
        AreaPoint(LowCode(areaAlign), a, c) + SelfOffset(LowCode(surfaceAlign), std::int64_t{picture->width});
    const std::int64_t y =
        AreaPoint(HighCode(areaAlign), b, d) + SelfOffset(HighCode(surfaceAlign), std::int64_t{picture->height});
    return window->Present(picture, C_Vector2Di(Saturate(x), Saturate(y), 0));
}

// ---------------------------------------------------------------------------
// Layer surfaces and their display-ready copies

C_Surface* C_Canvas::CreateLayerSurface() {
    auto* layer = new (std::nothrow) C_CanvasLayer(this);
    if (!layer) {
        Gfx_Fail(GFX_ERR_NO_MEMORY, "C_Canvas::CreateLayerSurface{surface}", "C_Canvas::CreateLayerSurface");
        return nullptr;
    }
    if (!m_layers.Append(layer)) {
        layer->Unhook();  // not listed, so it must not point here
        delete layer;
        Gfx_FailSummary("C_Canvas::CreateLayerSurface");
        return nullptr;
    }
    return layer;
}

void C_Canvas::ForgetLayer(C_Surface* layer) {
    for (std::uint32_t i = 0; i < m_layers.Count(); ++i) {
        if (m_layers.GetAt(i) == layer) {
            m_layers.RemoveAt(i);
            return;
        }
    }
}

bool C_Canvas::OnPlanesChanged(C_Surface* layer, std::int32_t code) {
    constexpr const char* kSite = "C_Canvas::OnPlanesChanged";
    if (!layer) return Gfx_Fail(GFX_ERR_NULL_ARG, "C_Canvas::OnPlanesChanged{surface}", kSite);
    if (!layer->planes) return true;
    bool ok = true;
    for (std::uint32_t i = 0; i < layer->planes->Count(); ++i) {
        C_SurfacePlane* entry = EntryAt(layer->planes, i);
        if (!entry) continue;
        if (code != GFX_NOTIFY_ALL_PLANES && (code < 0 || entry->index != static_cast<std::uint32_t>(code))) continue;
        if (entry->index != GFX_PLANE_COLOR && entry->index != GFX_PLANE_ALPHA) continue;
        if (!entry->image) {  // the plane is gone; so is its copy
            DropDerived(*entry);
            continue;
        }
        const std::int32_t format = entry->index == GFX_PLANE_COLOR ? GFX_FMT_ARGB8888 : GFX_FMT_CH8;
        if (!RefreshDerived(*entry, format)) ok = false;
    }
    return ok ? true : Gfx_FailSummary(kSite);
}

bool C_Canvas::OnRelease(C_Surface* layer, std::int32_t code) {
    if (layer && code == GFX_NOTIFY_ALL_PLANES) ReleaseCopies(layer);
    return true;
}

void C_Canvas::ReleaseCopies(C_Surface* layer) {
    if (!layer->planes) return;
    for (std::uint32_t i = 0; i < layer->planes->Count(); ++i) {
        if (C_SurfacePlane* entry = EntryAt(layer->planes, i)) DropDerived(*entry);
    }
}

// ---------------------------------------------------------------------------
// Forwarded drawing

bool C_Canvas::Blit(const C_Vector2Di* point, const C_Color* color, std::uint32_t extraArg) {
    if (state != GFX_CANVAS_CREATED) return false;
    return Gfx_Surface_Blit(surface, point, color, clip, clip2, extraArg);
}

bool C_Canvas::Blit(const C_Vector2D* start, const C_Vector2D* end, const C_Color* color) {
    if (state != GFX_CANVAS_CREATED) return false;
    return Gfx_Surface_Blit(surface, start, end, color, clip, clip2);
}

bool C_Canvas::Blit(const C_Rect* rect, const C_Color* color, std::uint8_t filled, std::uint32_t extra1,
                    std::uint32_t extra2) {
    if (state != GFX_CANVAS_CREATED) return false;
    return Gfx_Surface_Blit(surface, rect, color, clip, clip2, filled, extra1, extra2);
}

bool C_Canvas::Blit(const C_Circle* circle, const C_Color* color, std::uint8_t filled, std::uint32_t extra1,
                    std::uint32_t extra2) {
    if (state != GFX_CANVAS_CREATED) return false;
    return Gfx_Surface_Blit(surface, circle, color, clip, clip2, filled, extra1, extra2);
}

bool C_Canvas::DrawInRect(C_Surface* src, const C_Rect* srcRect, const C_Rect* destRect, const C_Vector2D* position,
                          std::uint32_t mode, const C_DrawParams* params) {
    if (!surface) return false;
    const DerivedPlanes scope;
    return Gfx_Surface_DrawInRect(src, surface, srcRect, clip, clip2, destRect, position, mode, params);
}

bool C_Canvas::BlitTransformed(C_Surface* src, const C_Rect* srcRect, const C_Vector2D* position, std::uint32_t mode,
                               const C_DrawParams* params) {
    if (!surface) return false;
    const DerivedPlanes scope;
    return Gfx_Surface_BlitTransformed(src, surface, srcRect, clip, clip2, position, mode, params);
}

bool C_Canvas::DrawText(const C_String& text, const C_Font* font, const C_FontType& fontType, const C_Color& color,
                        const C_Vector2D& position, std::uint8_t textAlign, std::uint8_t wrap, std::uint32_t unused,
                        std::uint32_t mode) {
    if (!surface) return false;
    const DerivedPlanes scope;
    return Gfx_Surface_DrawText(text, font, fontType, surface, color, position, textAlign, wrap, unused, clip, clip2,
                                mode);
}

// ---------------------------------------------------------------------------

C_Surface* Win_Canvas_NewLayerSurface(std::uint32_t canvasId) {
    for (C_Canvas* canvas = g_liveCanvases; canvas; canvas = canvas->m_nextLive) {
        if (canvas->GetId() == canvasId) return canvas->CreateLayerSurface();
    }
    return new (std::nothrow) C_Surface();
}
