// Text layout and drawing. One glyph variant is chosen per call (by its
// position in the faces' glyph lists), a measuring pass gives the block's
// size for alignment, and a drawing pass issues one transformed blit per
// visible glyph, tinting the glyph's coverage plane with the text colour.
// The layout runs in 32-bit floats.
#include "text/text_draw.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "core/string.h"
#include "image/image.h"
#include "math/color.h"
#include "math/scalar.h"
#include "math/shapes.h"
#include "math/vector.h"
#include "surface/blit.h"
#include "surface/surface.h"
#include "surface/draw_params.h"
#include "surface/internal/mask_run.h"
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

// The flags of the alignment byte; the rest is the anchor.
constexpr std::uint8_t kTextFlags = GFX_TEXT_UTF8 | GFX_TEXT_ALIGN_LINES;

// Walks the text one character code at a time: a byte each, or a decoded
// UTF-8 sequence each. Copies walk on independently (to look ahead).
class CodeReader {
public:
    CodeReader(const C_String& text, bool utf8) : chars_(text.CStr()), length_(text.Length()), utf8_(utf8) {}

    bool Next(std::int32_t& code) {
        if (pos_ >= length_) return false;
        if (utf8_) {
            code = Gfx_Text_DecodeUtf8(chars_, length_, &pos_);
        } else {
            code = static_cast<unsigned char>(chars_[pos_]);
            ++pos_;
        }
        return true;
    }
    bool Utf8() const { return utf8_; }

private:
    const char* chars_;
    std::size_t length_;
    std::size_t pos_ = 0;
    bool utf8_;
};

// The chosen variant and the metrics every character shares.
struct Layout {
    const C_Font* font = nullptr;
    std::uint32_t variant = 0;  // position in every face's glyph list
    float size = 0.0f;          // requested size
    float scale = 1.0f;         // requested size / the variant's size
    float lineHeight = 0.0f;

    // The variant of `c`, or null when the font has none for it. Byte
    // codes are looked up once per call: every character is met twice.
    const C_BitmapGlyph* Glyph(std::int32_t c) const {
        if (c < 0 || c >= kCodes) return Lookup(c);
        const auto i = static_cast<std::size_t>(c);
        if (!looked[i]) {
            glyphs[i] = Lookup(c);
            if (glyphs[i]) advances[i] = Advance(*glyphs[i]);
            looked[i] = 1;
        }
        return glyphs[i];
    }
    float Advance(const C_BitmapGlyph& glyph) const { return static_cast<float>(glyph.advance.x) * scale; }
    // The advance of `glyph`, the variant of `c` (from Glyph): for byte
    // codes the one worked out with the look-up.
    float AdvanceOf(std::int32_t c, const C_BitmapGlyph& glyph) const {
        return c < 0 || c >= kCodes ? Advance(glyph) : advances[static_cast<std::size_t>(c)];
    }

    static constexpr std::int32_t kCodes = 256;

private:
    const C_BitmapGlyph* Lookup(std::int32_t c) const {
        const C_BitmapFace* face = font->GetFace(c);
        return face ? face->GetGlyph(variant) : nullptr;
    }
    mutable std::array<const C_BitmapGlyph*, kCodes> glyphs;
    mutable std::array<std::uint8_t, kCodes> looked{};
    mutable std::array<float, kCodes> advances;
};

// The face the variant is chosen from: the first character above the space,
// else the last. Bytes are read as signed, so 128 to 255 are passed over too;
// decoded UTF-8 characters above U+007F count.
const C_BitmapFace* KeyFace(CodeReader reader, const C_Font& font) {
    std::int32_t code = 0;
    std::int32_t last = -1;
    while (reader.Next(code)) {
        last = code;
        const bool printable = reader.Utf8() ? code > 32 : static_cast<signed char>(code) > 32;
        if (printable) return font.GetFace(code);
    }
    return last < 0 ? nullptr : font.GetFace(last);
}

// Picks the variant of the wanted style and render kind whose size is
// closest to the wanted one, the first on ties.
bool ChooseVariant(const CodeReader& text, const C_FontType& type, Layout& layout) {
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

Extent Measure(CodeReader text, const Layout& layout, float startX) {
    float x = 0.0f;
    float y = 0.0f;
    float maxX = 0.0f;
    float maxY = layout.lineHeight;
    Extent e;
    std::int32_t c = 0;
    while (text.Next(c)) {
        if (c == kNewline) {
            y += layout.lineHeight;
            x = startX;
        }
        if (c == kTab) x += GFX_TEXT_TAB_ADVANCE;
        if (const C_BitmapGlyph* g = layout.Glyph(c)) {
            e.lastAdvance = layout.AdvanceOf(c, *g);
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

// The width of the line `text` starts at, measured as the block's width is:
// the pen's furthest reach from the line's start, less one.
float LineWidth(CodeReader text, const Layout& layout) {
    float x = 0.0f;
    float maxX = 0.0f;
    std::int32_t c = 0;
    while (text.Next(c) && c != kNewline) {
        if (c == kTab) x += GFX_TEXT_TAB_ADVANCE;
        if (const C_BitmapGlyph* g = layout.Glyph(c)) {
            x += layout.AdvanceOf(c, *g);
            maxX = std::max(maxX, x);
        }
    }
    return maxX - 1.0f;
}

// An integer rectangle, x1 and y1 exclusive.
struct Cover {
    std::int64_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;

    bool Empty() const { return x1 <= x0 || y1 <= y0; }
    void Intersect(const Cover& o) {
        x0 = std::max(x0, o.x0);
        y0 = std::max(y0, o.y0);
        x1 = std::min(x1, o.x1);
        y1 = std::min(y1, o.y1);
    }
    void Add(const Cover& o) {
        if (o.Empty()) return;
        if (Empty()) {
            *this = o;
            return;
        }
        x0 = std::min(x0, o.x0);
        y0 = std::min(y0, o.y0);
        x1 = std::max(x1, o.x1);
        y1 = std::max(y1, o.y1);
    }
};

Cover CoverOf(const C_Frame& f) { return {f.x0, f.y0, f.x1, f.y1}; }
Cover CoverOf(const C_Image& image) { return {0, 0, image.width, image.height}; }

bool UsableAlpha(const C_Image* alpha) { return alpha && alpha->data && alpha->bpp == 8; }

bool Finite(float v) { return std::isfinite(v) && std::fabs(v) < 1073741824.0f; }

// The destination pixels one blit of the text covers, placed by the blit's
// own rules for what text draws (angle 0, pivot measured from the top-left,
// no mirroring, no wrap copies): at scale 1 the source rectangle's whole
// pixels from the integer position; at any other scale the columns from
// trunc(x + 0.3) to the one holding the right edge, and the rows from
// trunc(y + 0.3) to the one holding the bottom edge + 0.3.
Cover BlitCover(const C_Surface& src, const C_Rect* srcRect, const C_Vector2D& at, const C_DrawParams& p,
                const C_Surface& dst, const C_Frame* clip, const C_Frame* clip2) {
    const C_Image* srcColor = src.GetPlane(GFX_PLANE_COLOR);
    const C_Image* srcAlpha = src.GetPlane(GFX_PLANE_ALPHA);
    const C_Image* dstColor = dst.GetPlane(GFX_PLANE_COLOR);
    const C_Image* dstAlpha = dst.GetPlane(GFX_PLANE_ALPHA);
    const C_Image* sizeImage = srcColor ? srcColor : srcAlpha;
    if (!dstColor || !sizeImage) return {};
    Cover extent = CoverOf(*sizeImage);
    if (srcColor && UsableAlpha(srcAlpha)) extent.Intersect(CoverOf(*srcAlpha));

    // The source rectangle, as the blit limits it.
    const auto imgW = static_cast<float>(extent.x1), imgH = static_cast<float>(extent.y1);
    float fx0 = 0.0f, fy0 = 0.0f, fx1 = imgW, fy1 = imgH;
    if (srcRect) {
        fx0 = std::max(srcRect->x0, 0.0f);
        fy0 = std::max(srcRect->y0, 0.0f);
        fx1 = srcRect->x1 + 0.001f;
        fy1 = srcRect->y1 + 0.001f;
        if (fx1 > imgW) fx1 = imgW;
        if (fy1 > imgH) fy1 = imgH;
    }
    if (!(fx1 > fx0) || !(fy1 > fy0)) return {};

    // The pivot's offset, then the position anchored in the target.
    const C_Vector2D offset(-p.pivot.x * p.scale.x, -p.pivot.y * p.scale.y);
    Cover region = clip ? CoverOf(*clip) : CoverOf(*dstColor);
    const float x = Gfx_AlignCoordIn(at.x + offset.x, static_cast<std::int32_t>(region.x0),
                                     static_cast<std::int32_t>(region.x1), Gfx_AlignCodeX(at.align));
    const float y = Gfx_AlignCoordIn(at.y + offset.y, static_cast<std::int32_t>(region.y0),
                                     static_cast<std::int32_t>(region.y1), Gfx_AlignCodeY(at.align));
    if (!Finite(x) || !Finite(y) || !Finite(p.scale.x) || !Finite(p.scale.y)) return {};
    if (clip2) region.Intersect(CoverOf(*clip2));
    region.Intersect(CoverOf(*dstColor));
    if (UsableAlpha(dstAlpha)) region.Intersect(CoverOf(*dstAlpha));

    Cover c;
    if (p.scale.x == 1.0f && p.scale.y == 1.0f) {
        c.x0 = x >= 0.0f ? static_cast<std::int64_t>(x) : static_cast<std::int64_t>(x - 1.0f);
        c.y0 = y >= 0.0f ? static_cast<std::int64_t>(y) : static_cast<std::int64_t>(y - 1.0f);
        c.x1 = c.x0 + (static_cast<std::int64_t>(fx1) - static_cast<std::int64_t>(fx0));
        c.y1 = c.y0 + (static_cast<std::int64_t>(fy1) - static_cast<std::int64_t>(fy0));
    } else {
        const float right = (x + (fx1 - fx0) * p.scale.x) * 65536.0f;
        const float bottom = (y + (fy1 - fy0) * p.scale.y + 0.3f) * 65536.0f;
        if (!std::isfinite(right) || !std::isfinite(bottom)) return {};
        c.x0 = static_cast<std::int64_t>(x + 0.3f);
        c.y0 = static_cast<std::int64_t>(y + 0.3f);
        c.x1 = (static_cast<std::int64_t>(right) >> 16) + 1;
        c.y1 = static_cast<std::int64_t>(bottom) >> 16;
    }
    c.Intersect(region);
    return c;
}

// Glyph coverage gathered into one plane, a line at a time, and drawn in one
// pass of full rows: a glyph row on its own is too short for the kernels'
// vectors to pay. A zero coverage byte leaves its pixel alone, so as long as
// no two gathered glyphs have ink on the same pixel the pass gives the
// pixels of drawing them one by one; a glyph whose ink meets gathered ink,
// or that falls outside the window, draws what is gathered first.
class CoverageBatch {
public:
    explicit CoverageBatch(Gfx_MaskRun& run) : run_(run) {}

    void Add(const Gfx_RunPlace& p) {
        if (p.w <= 0 || p.h <= 0) return;
        if (p.w > kWidth || p.h > kRows - kAbove) {
            Flush();
            Gfx_MaskRun_Rows(run_, p);
            return;
        }
        if (!empty_ && (!Fits(p) || Clashes(p))) Flush();
        if (empty_) {
            wx_ = p.x;
            wy_ = p.y - kAbove;
            // Nothing gathered yet: the glyph's own extent follows below.
            x0_ = x1_ = p.x;
            y0_ = y1_ = p.y;
            empty_ = false;
        }
        Merge(p);
        x0_ = std::min(x0_, p.x);
        y0_ = std::min(y0_, p.y);
        x1_ = std::max(x1_, p.x + p.w);
        y1_ = std::max(y1_, p.y + p.h);
    }

    // Draws what is gathered and clears its part of the plane.
    void Flush() {
        if (empty_) return;
        Gfx_RunPlace all;
        all.row0 = cover_.data();
        all.pitch = kWidth;
        all.sx = x0_ - wx_;
        all.sy = y0_ - wy_;
        all.x = x0_;
        all.y = y0_;
        all.w = x1_ - x0_;
        all.h = y1_ - y0_;
        Gfx_MaskRun_Rows(run_, all);
        for (std::int64_t i = 0; i < all.h; ++i) std::memset(At(y0_ + i, x0_), 0, static_cast<std::size_t>(all.w));
        empty_ = true;
    }

private:
    static constexpr std::int64_t kWidth = 1024;  // the window, in pixels
    static constexpr std::int64_t kRows = 32;
    static constexpr std::int64_t kAbove = 8;  // room above the first glyph

    std::uint8_t* At(std::int64_t y, std::int64_t x) {
        return cover_.data() + static_cast<std::size_t>((y - wy_) * kWidth + (x - wx_));
    }
    static const std::uint8_t* Source(const Gfx_RunPlace& p, std::int64_t i) {
        return p.row0 + (p.sy + i) * p.pitch + p.sx;
    }

    bool Fits(const Gfx_RunPlace& p) const {
        return p.x >= wx_ && p.x + p.w <= wx_ + kWidth && p.y >= wy_ && p.y + p.h <= wy_ + kRows;
    }

    // Runs `op.At<T>(offset)` over n bytes in 8-byte words (4-byte or single
    // ones for short rows), the last word overlapping the one before rather
    // than reaching past the row.
    template <typename Op>
    static void Words(std::int64_t n, Op&& op) {
        if (n >= 8) {
            for (std::int64_t k = 0; k + 8 <= n; k += 8) op.template At<std::uint64_t>(k);
            if (n % 8 != 0) op.template At<std::uint64_t>(n - 8);
        } else if (n >= 4) {
            op.template At<std::uint32_t>(0);
            op.template At<std::uint32_t>(n - 4);
        } else {
            for (std::int64_t k = 0; k < n; ++k) op.template At<std::uint8_t>(k);
        }
    }

    // High bit of every non-zero byte.
    template <typename T>
    static T NonZero(T v) {
        const T low7 = static_cast<T>(static_cast<T>(~T{0}) / 255 * 0x7F);
        return static_cast<T>(((v & low7) + low7) | v) & static_cast<T>(~low7);
    }

    struct ClashOp {
        const std::uint8_t* from;
        const std::uint8_t* to;
        bool hit;
        template <typename T>
        void At(std::int64_t k) {
            T a, b;
            std::memcpy(&a, from + k, sizeof a);
            std::memcpy(&b, to + k, sizeof b);
            hit = hit || (NonZero(a) & NonZero(b)) != 0;
        }
    };

    template <typename T>
    static T Word(const std::uint8_t* p) {
        T v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    template <typename T>
    static void PutWord(std::uint8_t* p, T v) {
        std::memcpy(p, &v, sizeof v);
    }

    // ORs n source bytes into the plane. A last word overlapping the one
    // before is worked out before anything is stored: reading bytes just
    // stored by a store of another size would stall the load.
    static void OrRow(const std::uint8_t* from, std::uint8_t* to, std::int64_t n) {
        if (n >= 8) {
            const std::uint64_t last = Word<std::uint64_t>(from + n - 8) | Word<std::uint64_t>(to + n - 8);
            for (std::int64_t k = 0; k + 8 <= n; k += 8)
                PutWord(to + k, Word<std::uint64_t>(from + k) | Word<std::uint64_t>(to + k));
            PutWord(to + n - 8, last);
        } else if (n >= 4) {
            const std::uint32_t first = Word<std::uint32_t>(from) | Word<std::uint32_t>(to);
            const std::uint32_t last = Word<std::uint32_t>(from + n - 4) | Word<std::uint32_t>(to + n - 4);
            PutWord(to, first);
            PutWord(to + n - 4, last);
        } else {
            for (std::int64_t k = 0; k < n; ++k) to[k] = static_cast<std::uint8_t>(to[k] | from[k]);
        }
    }

    // Gathered ink lies left of x1_: only the columns before it can meet.
    bool Clashes(const Gfx_RunPlace& p) {
        const std::int64_t n = std::min(p.x + p.w, x1_) - p.x;
        if (n <= 0) return false;
        const std::uint8_t* from = Source(p, 0);
        const std::uint8_t* to = At(p.y, p.x);
        for (std::int64_t i = 0; i < p.h; ++i, from += p.pitch, to += kWidth) {
            ClashOp op{from, to, false};
            Words(n, op);
            if (op.hit) return true;
        }
        return false;
    }

    // Where nothing is gathered the plane is 0, so OR is a copy. Glyphs
    // laid out left to right mostly start right of all that is gathered:
    // their rows are then plain copies, which need not read the plane.
    void Merge(const Gfx_RunPlace& p) {
        const std::uint8_t* from = Source(p, 0);
        std::uint8_t* to = At(p.y, p.x);
        if (p.x < x1_) {
            for (std::int64_t i = 0; i < p.h; ++i, from += p.pitch, to += kWidth) OrRow(from, to, p.w);
            return;
        }
        const std::int64_t n = p.w;
        if (n >= 16) {
            for (std::int64_t i = 0; i < p.h; ++i, from += p.pitch, to += kWidth)
                std::memcpy(to, from, static_cast<std::size_t>(n));
        } else if (n >= 8) {
            CopyRows<std::uint64_t>(from, p.pitch, to, p.h, n);
        } else if (n >= 4) {
            CopyRows<std::uint32_t>(from, p.pitch, to, p.h, n);
        } else {
            for (std::int64_t i = 0; i < p.h; ++i, from += p.pitch, to += kWidth)
                for (std::int64_t k = 0; k < n; ++k) to[k] = from[k];
        }
    }

    // Copies rows of n bytes, sizeof(T) <= n < 2 * sizeof(T), as two words
    // that overlap.
    template <typename T>
    static void CopyRows(const std::uint8_t* from, std::ptrdiff_t pitch, std::uint8_t* to, std::int64_t rows,
                         std::int64_t n) {
        const std::int64_t last = n - static_cast<std::int64_t>(sizeof(T));
        for (std::int64_t i = 0; i < rows; ++i, from += pitch, to += kWidth) {
            const T a = Word<T>(from);
            const T b = Word<T>(from + last);
            PutWord(to, a);
            PutWord(to + last, b);
        }
    }

    Gfx_MaskRun& run_;
    bool empty_ = true;
    std::int64_t wx_ = 0, wy_ = 0;                    // the window's corner on the destination
    std::int64_t x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0;  // what is gathered
    std::array<std::uint8_t, kWidth * kRows> cover_{};
};

// The drawing side: destination, clip rectangles and the one record all
// glyph blits share.
class TextPainter {
public:
    // With `cover` the painter draws nothing and gathers there the pixels
    // its blits would cover; `dst` is then only read.
    TextPainter(const Layout& layout, const C_FontType& type, const C_Surface* dst, const C_Color& color,
                const C_Rect& box, const C_Frame* clip, const C_Frame* clip2, Cover* cover)
        : layout_(layout), type_(type), dst_(dst), box_(box), clip_(clip), clip2_(clip2), cover_(cover) {
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
        // Unscaled glyphs share one set-up of the blit (the common case);
        // whatever the run cannot take is blitted.
        if (!cover_) useRun_ = Gfx_MaskRun_Begin(run_, const_cast<C_Surface*>(dst), clip, clip2, params_, kGlyphAlign);
    }

    // One glyph picture with its cell's centre as pivot.
    void DrawGlyph(const C_BitmapGlyph& g, std::int32_t code, float penX, float y) {
        const GlyphPicture& picture = PictureOf(g, code);
        C_Surface* src = picture.surface;
        if (!src) return;
        // The sums run in the order they always have, so the picture's
        // share of them can be added up once.
        const float px = std::trunc(picture.left + penX);
        const float py = y + box_.y0 - picture.bearingY + layout_.size + picture.halfH;
        if (picture.runs) {
            // The blit's placement of a plain record: the scaled pivot
            // offset added to the position.
            Gfx_RunPlace place;
            if (Gfx_MaskRun_Place(run_, picture.source, px + picture.offsetX, py + picture.offsetY, place)) {
                batch_.Add(place);
                return;
            }
        }
        params_.pivot = C_Vector2D(picture.halfW, picture.halfH, 0);
        const C_Rect cell = CellOf(g);
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
        if (!type_.underline && !type_.strikeout) return;
        const C_BitmapGlyph* u = layout_.Glyph(kUnderscore);
        if (!u) return;
        if (type_.underline) DrawLine(*u, width, static_cast<float>(u->bearing.y) - layout_.size, penX, y);
        if (type_.strikeout) DrawLine(*u, width, static_cast<float>(u->bearing.y) - layout_.size / 2.0f, penX, y);
    }

private:
    static C_Rect CellOf(const C_BitmapGlyph& g) {
        return C_Rect(static_cast<float>(g.frame.x0), static_cast<float>(g.frame.y0), static_cast<float>(g.frame.x1),
                      static_cast<float>(g.frame.y1), 0, 0);
    }

    // A glyph's surface and, when the run can draw it, its coverage source;
    // worked out once per call for byte codes.
    struct GlyphPicture {
        C_Surface* surface = nullptr;
        bool runs = false;
        Gfx_MaskSource source;
        float halfW = 0.0f, halfH = 0.0f;  // the pivot: the cell's centre
        float left = 0.0f;                 // bearing + box edge + halfW
        float bearingY = 0.0f;
        float offsetX = 0.0f, offsetY = 0.0f;  // the scaled pivot offset
    };
    const GlyphPicture& PictureOf(const C_BitmapGlyph& g, std::int32_t code) {
        const auto lookUp = [&](GlyphPicture& p) {
            p.halfW = static_cast<float>((std::int64_t{g.frame.x1} - g.frame.x0) / 2);
            p.halfH = static_cast<float>((std::int64_t{g.frame.y1} - g.frame.y0) / 2);
            p.left = static_cast<float>(g.bearing.x) + box_.x0 + p.halfW;
            p.bearingY = static_cast<float>(g.bearing.y);
            p.offsetX = -p.halfW * params_.scale.x;
            p.offsetY = -p.halfH * params_.scale.y;
            p.surface = layout_.font->GetImage(g.imageIndex);
            const C_Image* coverage = useRun_ && p.surface ? Gfx_MaskRun_Coverage(run_, p.surface) : nullptr;
            p.runs = coverage && Gfx_MaskRun_Source(*coverage, CellOf(g), p.source);
        };
        if (code < 0 || code >= Layout::kCodes) {
            lookUp(uncached_);
            return uncached_;
        }
        const auto i = static_cast<std::size_t>(code);
        if (!pictureKnown_[i]) {
            lookUp(pictures_[i]);
            pictureKnown_[i] = 1;
        }
        return pictures_[i];
    }

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
        batch_.Flush();  // gathered glyphs come first
        const C_Vector2D at(x, y, kGlyphAlign);
        if (cover_) {
            cover_->Add(BlitCover(*src, source, at, params_, *dst_, clip_, clip2_));
            return;
        }
        // A failed blit (a picture without planes, say) leaves the rest of
        // the text to draw, and the call reports the failure at the end.
        // Drawing painters are made with a writable destination
        // (Gfx_Surface_DrawTextEx).
        if (!Gfx_Surface_BlitTransformed(src, const_cast<C_Surface*>(dst_), source, clip_, clip2_, &at, 0, &params_))
            failed_ = true;
    }

public:
    // Draws the glyphs still gathered; true unless a blit failed.
    bool Finish() {
        batch_.Flush();
        return !failed_;
    }

private:
    const Layout& layout_;
    const C_FontType& type_;
    const C_Surface* dst_;
    const C_Rect& box_;
    const C_Frame* clip_;
    const C_Frame* clip2_;
    Cover* cover_;
    bool failed_ = false;
    C_DrawParams params_;
    Gfx_MaskRun run_;
    bool useRun_ = false;
    CoverageBatch batch_{run_};
    std::array<GlyphPicture, Layout::kCodes> pictures_;
    std::array<std::uint8_t, Layout::kCodes> pictureKnown_{};
    GlyphPicture uncached_;
};

// The block's start pen for its anchor: the block's left edge is measured
// back from the position by none, half or all of its width, its top likewise
// by its height. Unknown anchor codes act as left / top.
float StartX(float positionX, std::uint32_t code, float width) {
    switch (code) {
    case 1: return positionX - width;
    case 2: return positionX - width / 2.0f;
    default: return positionX;
    }
}

float StartY(float positionY, std::uint32_t code, float height) {
    switch (code) {
    case 1: return -positionY - height;
    case 2: return -positionY - height / 2.0f;
    default: return -positionY;
    }
}

// Where the pen of width `advance` lands when wrapping around inside the
// block width.
float WrappedPen(float x, float advance, float period) { return Math_Wrap(x + advance, period) - advance; }

// Layout and drawing (or, with `cover`, measuring) of one text.
bool LayOut(const C_String& text, const C_Font* font, const C_FontType& fontType, const C_Surface* dst,
            const C_Color& color, const C_Rect& box, std::uint8_t wrap, const C_Vector2D& position,
            std::uint32_t caretIndex, const C_Frame* clip, const C_Frame* clip2, Cover* cover) {
    if (!font || !dst) return false;
    const CodeReader codes(text, (position.align & GFX_TEXT_UTF8) != 0);
    const bool alignLines = (position.align & GFX_TEXT_ALIGN_LINES) != 0;
    const auto anchor = static_cast<std::uint8_t>(position.align & ~kTextFlags);
    Layout layout;
    layout.font = font;
    if (!ChooseVariant(codes, fontType, layout)) return false;

    const std::uint32_t codeX = Gfx_AlignCodeX(anchor), codeY = Gfx_AlignCodeY(anchor);
    const bool wrapping = wrap == 1;
    // The block's size places it (anchor codes 1 and 2) and bounds the wrap;
    // a block anchored at its top-left corner without wrap does not need it.
    const bool sized = wrapping || (!alignLines && (codeX == 1 || codeX == 2)) || codeY == 1 || codeY == 2;
    const Extent extent = sized ? Measure(codes, layout, position.x) : Extent();
    // Each line's start: the block's, or with GFX_TEXT_ALIGN_LINES its own.
    auto lineStart = [&](const CodeReader& from) {
        return alignLines ? StartX(position.x, codeX, LineWidth(from, layout)) : position.x;
    };
    float x = alignLines ? lineStart(codes) : StartX(position.x, codeX, extent.width);
    float y = StartY(position.y, codeY, extent.height);

    TextPainter painter(layout, fontType, dst, color, box, clip, clip2, cover);
    const float size = layout.size;
    float previousAdvance = extent.lastAdvance;
    CodeReader reader = codes;
    std::int32_t c = 0;
    for (std::uint32_t i = 0; reader.Next(c); ++i) {
        const float xc = wrapping ? WrappedPen(x, previousAdvance, extent.width + previousAdvance) : x;

        if (i == caretIndex) {
            const C_BitmapGlyph* caret = layout.Glyph(kCaret);
            if (caret && xc + box.x0 < box.x1 && y + box.y0 < box.y1 && xc >= -2.0f * size && y >= -2.0f * size)
                painter.DrawCaret(*caret, xc, y);
        }

        if (c == kNewline) {
            y += layout.lineHeight;
            x = lineStart(reader);
        } else if (c == kTab) {
            if (xc + box.x0 < box.x1 && box.y0 - layout.lineHeight + y < box.y1 && xc >= -GFX_TEXT_TAB_ADVANCE &&
                y >= -2.0f * size)
                painter.DrawLines(GFX_TEXT_TAB_ADVANCE, xc, y);
            x += GFX_TEXT_TAB_ADVANCE;
        }

        const C_BitmapGlyph* g = layout.Glyph(c);
        if (!g) continue;
        const float advance = layout.AdvanceOf(c, *g);
        const float xd = wrapping ? WrappedPen(x, advance, extent.width) : x;
        const bool visible = xd + box.x0 < box.x1 && box.y0 - layout.lineHeight + y < box.y1 &&
                             static_cast<float>(g->bearing.x) - advance <= xd && y >= -2.0f * size;
        if (visible) {
            if (c != kSpace) painter.DrawGlyph(*g, c, xd, y);
            painter.DrawLines(advance, xd, y);
        }
        previousAdvance = advance;
        x += advance;
    }
    return painter.Finish();
}

// The box and start point Gfx_Surface_DrawText hands to the layout: the
// anchor resolved inside the clip box (or the whole destination).
void Anchor(const C_Surface& dst, const C_Vector2D& position, std::uint8_t textAlign, const C_Frame* clip, C_Rect& box,
            C_Vector2D& start) {
    // The destination's size is its colour plane's (the surface's own record
    // of it may be stale after the plane was re-created).
    const C_Image* colour = dst.GetPlane(GFX_PLANE_COLOR);
    const std::uint32_t width = colour ? colour->width : dst.GetWidth();
    const std::uint32_t height = colour ? colour->height : dst.GetHeight();
    box = C_Rect(0.0f, 0.0f, static_cast<float>(width), static_cast<float>(height), 0, 0);

    const std::int32_t cx0 = clip ? clip->x0 : 0;
    const std::int32_t cy0 = clip ? clip->y0 : 0;
    const std::int32_t cx1 = clip ? clip->x1 : static_cast<std::int32_t>(width);
    const std::int32_t cy1 = clip ? clip->y1 : static_cast<std::int32_t>(height);
    const float anchorX = Gfx_AlignCoordIn(position.x, cx0, cx1, Gfx_AlignCodeX(position.align));
    const float anchorY = Gfx_AlignCoordIn(position.y, cy0, cy1, Gfx_AlignCodeY(position.align));
    start = C_Vector2D(anchorX, -anchorY, textAlign);
}

}  // namespace

std::int32_t Gfx_Text_DecodeUtf8(const char* text, std::size_t length, std::size_t* index) {
    if (!text || !index || *index >= length) return -1;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::size_t i = *index;
    const unsigned lead = bytes[i++];
    if (lead < 0x80) {
        *index = i;
        return static_cast<std::int32_t>(lead);
    }
    // The continuation bytes a lead allows: the second byte's range is
    // narrowed where wider would give an overlong form, a surrogate or a
    // code beyond U+10FFFF.
    int more = 0;
    std::int32_t code = 0;
    unsigned lo = 0x80, hi = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1;
        code = static_cast<std::int32_t>(lead & 0x1F);
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2;
        code = static_cast<std::int32_t>(lead & 0x0F);
        if (lead == 0xE0) lo = 0xA0;
        if (lead == 0xED) hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3;
        code = static_cast<std::int32_t>(lead & 0x07);
        if (lead == 0xF0) lo = 0x90;
        if (lead == 0xF4) hi = 0x8F;
    } else {
        *index = i;
        return GFX_TEXT_REPLACEMENT;
    }
    for (int k = 0; k < more; ++k, lo = 0x80, hi = 0xBF) {
        if (i >= length || bytes[i] < lo || bytes[i] > hi) {
            *index = i;  // the byte that broke the sequence starts the next
            return GFX_TEXT_REPLACEMENT;
        }
        code = (code << 6) | static_cast<std::int32_t>(bytes[i] & 0x3F);
        ++i;
    }
    *index = i;
    return code;
}

bool Gfx_Surface_DrawTextEx(const C_String& text, const C_Font* font, const C_FontType& fontType, C_Surface* dst,
                            const C_Color& color, const C_Rect& box, std::uint8_t wrap, const C_Vector2D& position,
                            std::uint32_t caretIndex, const C_Frame* clip, const C_Frame* clip2) {
    return LayOut(text, font, fontType, dst, color, box, wrap, position, caretIndex, clip, clip2, nullptr);
}

bool Gfx_Surface_DrawText(const C_String& text, const C_Font* font, const C_FontType& fontType, C_Surface* dst,
                          const C_Color& color, const C_Vector2D& position, std::uint8_t textAlign, std::uint8_t wrap,
                          std::uint32_t /*unused*/, const C_Frame* clip, const C_Frame* clip2, std::uint32_t /*mode*/) {
    if (!dst) return false;
    C_Rect box;
    C_Vector2D start;
    Anchor(*dst, position, textAlign, clip, box, start);
    return Gfx_Surface_DrawTextEx(text, font, fontType, dst, color, box, wrap, start, GFX_TEXT_NO_CARET, clip, clip2);
}

bool Gfx_Font_MeasureText(const C_String& text, const C_Font* font, const C_FontType& fontType, const C_Surface* dst,
                          const C_Color& color, const C_Vector2D& position, std::uint8_t textAlign, std::uint8_t wrap,
                          std::uint32_t /*unused*/, const C_Frame* clip, const C_Frame* clip2, std::uint32_t /*mode*/,
                          C_Frame* covered) {
    if (!covered) return false;
    *covered = C_Frame();
    if (!dst) return false;
    C_Rect box;
    C_Vector2D start;
    Anchor(*dst, position, textAlign, clip, box, start);
    Cover cover;
    if (!LayOut(text, font, fontType, dst, color, box, wrap, start, GFX_TEXT_NO_CARET, clip, clip2, &cover))
        return false;
    if (!cover.Empty()) {
        covered->x0 = static_cast<std::int32_t>(cover.x0);
        covered->y0 = static_cast<std::int32_t>(cover.y0);
        covered->x1 = static_cast<std::int32_t>(cover.x1);
        covered->y1 = static_cast<std::int32_t>(cover.y1);
    }
    return true;
}
