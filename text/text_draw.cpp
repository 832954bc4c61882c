// Text layout and drawing. One glyph variant is chosen per call (by its
// position in the faces' glyph lists), a measuring pass gives the block's
// size for alignment, and a drawing pass issues one transformed blit per
// visible glyph, tinting the glyph's coverage plane with the text colour.
// The layout runs in 32-bit floats.
#include "text/text_draw.h"

#include <cmath>

#include "core/string.h"
#include "image/image.h"
#include "math/color.h"
#include "math/scalar.h"
#include "math/shapes.h"
#include "math/vector.h"
#include "surface/blit.h"
#include "surface/surface.h"
#include "surface/draw_params.h"
#include "text/font.h"

namespace {

constexpr unsigned char kNewline = 10;
constexpr unsigned char kTab = 9;
constexpr unsigned char kSpace = 32;
constexpr unsigned char kCaret = 124;      // "|"
constexpr unsigned char kUnderscore = 95;  // "_"
// Position anchor of every glyph blit: neither nibble names an edge, so the
// blit measures from the clip box's top-left corner.
constexpr std::uint8_t kGlyphAlign = 68;

// The chosen variant and the metrics every character shares.
struct Layout {
    const C_Font* font = nullptr;
    std::uint32_t variant = 0;  // position in every face's glyph list
    float size = 0.0f;          // requested size
    float scale = 1.0f;         // requested size / the variant's size
    float lineHeight = 0.0f;

    // The variant of `c`, or null when the font has none for it.
    const C_BitmapGlyph* Glyph(unsigned char c) const {
        const C_BitmapFace* face = font->GetFace(c);
        return face ? face->GetGlyph(variant) : nullptr;
    }
    float Advance(const C_BitmapGlyph& glyph) const { return static_cast<float>(glyph.advance.x) * scale; }
};

// The face the variant is chosen from: the first character above the space
// (bytes read as signed, so 128 to 255 are passed over too), else the last.
const C_BitmapFace* KeyFace(const C_String& text, const C_Font& font) {
    const char* chars = text.CStr();
    const std::uint32_t n = text.Length();
    std::uint32_t i = 0;
    while (i < n && static_cast<signed char>(chars[i]) <= 32) ++i;
    if (i == n) i = n - 1;
    return font.GetFace(static_cast<unsigned char>(chars[i]));
}

// Picks the variant of the wanted style and render kind whose size is
// closest to the wanted one, the first on ties.
bool ChooseVariant(const C_String& text, const C_FontType& type, Layout& layout) {
    if (text.Length() == 0) return false;
    const C_BitmapFace* face = KeyFace(text, *layout.font);
    if (!face) return false;
    const std::uint8_t style = type.StyleCode();
    float best = 65536.0f;
    const C_BitmapGlyph* chosen = nullptr;
    for (std::uint32_t i = 0; i < face->GlyphCount(); ++i) {
        const C_BitmapGlyph* g = face->GetGlyph(i);
        // A variant of size 0 could not be scaled to any size.
        if (!g || g->style != style || g->format != type.format || g->size == 0) continue;
        const float distance = std::fabs(static_cast<float>(g->size) - type.size);
        if (distance < best) {
            best = distance;
            chosen = g;
            layout.variant = i;
        }
    }
    if (!chosen) return false;
    layout.size = type.size;
    layout.scale = type.size / static_cast<float>(chosen->size);
    layout.lineHeight = type.size / 2.0f + type.size + 1.0f;
    return true;
}

// The measuring pass: the block's width and height, and the last advance.
struct Extent {
    float width = 0.0f;
    float height = 0.0f;
    float lastAdvance = 0.0f;
};

Extent Measure(const C_String& text, const Layout& layout, float startX) {
    float x = 0.0f;
    float y = 0.0f;
    float maxX = 0.0f;
    float maxY = layout.lineHeight;
    Extent e;
    const char* chars = text.CStr();
    for (std::uint32_t i = 0; i < text.Length(); ++i) {
        const auto c = static_cast<unsigned char>(chars[i]);
        if (c == kNewline) {
            y += layout.lineHeight;
            x = startX;
        }
        if (c == kTab) x += GFX_TEXT_TAB_ADVANCE;
        if (const C_BitmapGlyph* g = layout.Glyph(c)) {
            e.lastAdvance = layout.Advance(*g);
            x += e.lastAdvance;
            if (x > maxX) maxX = x;
            // The height follows the line above the pen's, as the layout
            // has always measured it.
            if (y - layout.lineHeight > maxY) maxY = y - layout.lineHeight;
        }
    }
    e.width = maxX - 1.0f;
    e.height = maxY;
    return e;
}

// The drawing side: destination, clip rectangles and the one record all
// glyph blits share.
class TextPainter {
public:
    TextPainter(const Layout& layout, const C_FontType& type, C_Surface* dst, const C_Color& color, const C_Rect& box,
                const C_Frame* clip, const C_Frame* clip2)
        : layout_(layout), type_(type), dst_(dst), box_(box), clip_(clip), clip2_(clip2) {
        params_.scale = C_Vector2D(layout.scale, layout.scale, 0);
        params_.angle = 0.0f;
        params_.pivot = C_Vector2D(0.0f, 0.0f, 0);
        params_.tileOffset = C_Vector2D(0.0f, 0.0f, 0);
        params_.flipV = params_.flipH = 0;
        params_.wrapH = params_.wrapV = 0;
        params_.fillModeH = params_.fillModeV = 0;
        params_.opacity = 1.0f;
        params_.filter = 1;
        params_.useKeyColor = 0;
        // The glyph pictures are coverage planes: the blit draws a surface
        // without colour plane in the fill colour through its alpha.
        params_.fillColor = color;
        params_.useFillColor = 0;
        params_.useBrightness = 0;
        params_.useContrast = 0;
    }

    // One glyph picture with its cell's centre as pivot.
    void DrawGlyph(const C_BitmapGlyph& g, float penX, float y) {
        C_Surface* src = layout_.font->GetImage(g.imageIndex);
        if (!src) return;
        const C_Rect cell(static_cast<float>(g.frame.x0), static_cast<float>(g.frame.y0),
                          static_cast<float>(g.frame.x1), static_cast<float>(g.frame.y1), 0, 0);
        const auto halfW = static_cast<float>((std::int64_t{g.frame.x1} - g.frame.x0) / 2);
        const auto halfH = static_cast<float>((std::int64_t{g.frame.y1} - g.frame.y0) / 2);
        params_.pivot = C_Vector2D(halfW, halfH, 0);
        const float px = std::trunc(static_cast<float>(g.bearing.x) + box_.x0 + halfW + penX);
        const float py = y + box_.y0 - static_cast<float>(g.bearing.y) + layout_.size + halfH;
        Blit(src, &cell, px, py);
    }

    // The caret glyph, twice side by side for a two-pixel bar.
    void DrawCaret(const C_BitmapGlyph& caret, float penX, float y) {
        C_Surface* src = layout_.font->GetImage(caret.imageIndex);
        if (!src) return;
        C_Rect cell;
        const C_Rect* source = WholeOrCell(caret, *src, cell);
        params_.pivot = C_Vector2D(0.0f, static_cast<float>(caret.bearing.y) - layout_.size, 0);
        Blit(src, source, penX + box_.x0 - 1.0f, y + box_.y0);
        Blit(src, source, penX + box_.x0, y + box_.y0);
    }

    // Underline, then strike-out, spanning `width` pixels from the pen.
    void DrawLines(float width, float penX, float y) {
        const C_BitmapGlyph* u = layout_.Glyph(kUnderscore);
        if (!u) return;
        if (type_.underline) DrawLine(*u, width, static_cast<float>(u->bearing.y) - layout_.size, penX, y);
        if (type_.strikeout) DrawLine(*u, width, static_cast<float>(u->bearing.y) - layout_.size / 2.0f, penX, y);
    }

private:
    // The underscore glyph stretched horizontally to `width`.
    void DrawLine(const C_BitmapGlyph& u, float width, float pivotY, float penX, float y) {
        C_Surface* src = layout_.font->GetImage(u.imageIndex);
        const float underscoreAdvance = layout_.Advance(u);
        // An underscore without advance cannot be stretched to a width.
        if (!src || !std::isfinite(underscoreAdvance) || underscoreAdvance == 0.0f) return;
        C_Rect cell;
        const C_Rect* source = WholeOrCell(u, *src, cell);
        const float savedScaleX = params_.scale.x;
        params_.scale.x = width / underscoreAdvance * layout_.scale;
        params_.pivot = C_Vector2D(0.0f, pivotY, 0);
        Blit(src, source, penX + box_.x0 - 1.0f, std::trunc(y + box_.y0));
        params_.scale.x = savedScaleX;
    }

    // Caret and lines draw their glyph's whole picture, which for an
    // imported glyph is its cell plus a clear margin. A glyph that shares a
    // larger picture (a sheet) draws only its cell, so that the line is not
    // the whole sheet stretched.
    static const C_Rect* WholeOrCell(const C_BitmapGlyph& g, C_Surface& src, C_Rect& cell) {
        const C_Image* picture = src.GetPlane(1) ? src.GetPlane(1) : src.GetPlane(2);
        if (!picture) return nullptr;
        const bool ownsPicture = g.frame.x0 == 0 && g.frame.y0 == 0 && std::int64_t{g.frame.x1} + 1 >= picture->width &&
                                 std::int64_t{g.frame.y1} + 1 >= picture->height;
        if (ownsPicture) return nullptr;
        cell = C_Rect(static_cast<float>(g.frame.x0), static_cast<float>(g.frame.y0), static_cast<float>(g.frame.x1),
                      static_cast<float>(g.frame.y1), 0, 0);
        return &cell;
    }

    void Blit(C_Surface* src, const C_Rect* source, float x, float y) {
        const C_Vector2D at(x, y, kGlyphAlign);
        // A failed blit (a picture without planes, say) leaves the rest of
        // the text to draw.
        Gfx_Surface_BlitTransformed(src, dst_, source, clip_, clip2_, &at, 0, &params_);
    }

    const Layout& layout_;
    const C_FontType& type_;
    C_Surface* dst_;
    const C_Rect& box_;
    const C_Frame* clip_;
    const C_Frame* clip2_;
    C_DrawParams params_;
};

// The block's start pen for its anchor: the block's left edge is measured
// back from the position by none, half or all of its width, its top likewise
// by its height. Unknown anchor codes act as left / top.
void StartPen(const C_Vector2D& position, const Extent& e, float& x, float& y) {
    switch (Gfx_AlignCodeX(position.align)) {
    case 1: x = position.x - e.width; break;
    case 2: x = position.x - e.width / 2.0f; break;
    default: x = position.x; break;
    }
    switch (Gfx_AlignCodeY(position.align)) {
    case 1: y = -position.y - e.height; break;
    case 2: y = -position.y - e.height / 2.0f; break;
    default: y = -position.y; break;
    }
}

// Where the pen of width `advance` lands when wrapping around inside the
// block width.
float WrappedPen(float x, float advance, float period) { return Math_Wrap(x + advance, period) - advance; }

}  // namespace

bool Gfx_Surface_DrawTextEx(const C_String& text, const C_Font* font, const C_FontType& fontType, C_Surface* dst,
                            const C_Color& color, const C_Rect& box, std::uint8_t wrap, const C_Vector2D& position,
                            std::uint32_t caretIndex, const C_Frame* clip, const C_Frame* clip2) {
    if (!font || !dst) return false;
    Layout layout;
    layout.font = font;
    if (!ChooseVariant(text, fontType, layout)) return false;

    const Extent extent = Measure(text, layout, position.x);
    float x = 0.0f;
    float y = 0.0f;
    StartPen(position, extent, x, y);

    TextPainter painter(layout, fontType, dst, color, box, clip, clip2);
    const float size = layout.size;
    const bool wrapping = wrap == 1;
    float previousAdvance = extent.lastAdvance;
    const char* chars = text.CStr();
    for (std::uint32_t i = 0; i < text.Length(); ++i) {
        const auto c = static_cast<unsigned char>(chars[i]);
        const float xc = wrapping ? WrappedPen(x, previousAdvance, extent.width + previousAdvance) : x;

        if (i == caretIndex) {
            const C_BitmapGlyph* caret = layout.Glyph(kCaret);
            if (caret && xc + box.x0 < box.x1 && y + box.y0 < box.y1 && xc >= -2.0f * size && y >= -2.0f * size)
                painter.DrawCaret(*caret, xc, y);
        }

        if (c == kNewline) {
            y += layout.lineHeight;
            x = position.x;
        } else if (c == kTab) {
            if (xc + box.x0 < box.x1 && box.y0 - layout.lineHeight + y < box.y1 && xc >= -GFX_TEXT_TAB_ADVANCE &&
                y >= -2.0f * size)
                painter.DrawLines(GFX_TEXT_TAB_ADVANCE, xc, y);
            x += GFX_TEXT_TAB_ADVANCE;
        }

        const C_BitmapGlyph* g = layout.Glyph(c);
        if (!g) continue;
        const float advance = layout.Advance(*g);
        const float xd = wrapping ? WrappedPen(x, advance, extent.width) : x;
        const bool visible = xd + box.x0 < box.x1 && box.y0 - layout.lineHeight + y < box.y1 &&
                             static_cast<float>(g->bearing.x) - advance <= xd && y >= -2.0f * size;
        if (visible) {
            if (c != kSpace) painter.DrawGlyph(*g, xd, y);
            painter.DrawLines(advance, xd, y);
        }
        previousAdvance = advance;
        x += advance;
    }
    return true;
}

bool Gfx_Surface_DrawText(const C_String& text, const C_Font* font, const C_FontType& fontType, C_Surface* dst,
                          const C_Color& color, const C_Vector2D& position, std::uint8_t textAlign, std::uint8_t wrap,
                          std::uint32_t /*unused*/, const C_Frame* clip, const C_Frame* clip2, std::uint32_t /*mode*/) {
    if (!dst) return false;
    // The destination's size is its colour plane's (the surface's own record
    // of it may be stale after the plane was re-created).
    const C_Image* colour = dst->GetPlane(1);
    const std::uint32_t width = colour ? colour->width : dst->GetWidth();
    const std::uint32_t height = colour ? colour->height : dst->GetHeight();
    const C_Rect box(0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height), 0, 0);

    // The anchor inside the clip box (or the whole destination).
    const std::int32_t cx0 = clip ? clip->x0 : 0;
    const std::int32_t cy0 = clip ? clip->y0 : 0;
    const std::int32_t cx1 = clip ? clip->x1 : static_cast<std::int32_t>(width);
    const std::int32_t cy1 = clip ? clip->y1 : static_cast<std::int32_t>(height);
    const float anchorX = Gfx_AlignCoordIn(position.x, cx0, cx1, Gfx_AlignCodeX(position.align));
    const float anchorY = Gfx_AlignCoordIn(position.y, cy0, cy1, Gfx_AlignCodeY(position.align));
    const C_Vector2D start(anchorX, -anchorY, textAlign);
    return Gfx_Surface_DrawTextEx(text, font, fontType, dst, color, box, wrap, start, GFX_TEXT_NO_CARET, clip, clip2);
}
