// quillory render-text FONT.uft TEXT OUT.png: a line or a few lines of text
// drawn with a bitmap font into a PNG just big enough to hold them.
//
// Each line is drawn with its own Gfx_Surface_DrawText call: the text drawer
// aligns only the first line of a block, and a picture of centred or
// right-aligned lines wants every line aligned. The lines go onto a scratch
// surface with a generous margin; what they inked, together with their
// layout box, decides the picture, and one plain blit copies that part onto
// the picture's (transparent or coloured) background.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/string.h"
#include "image/convert.h"
#include "image/image.h"
#include "math/color.h"
#include "math/vector.h"
#include "surface/blit.h"
#include "surface/surface.h"
#include "text/font.h"
#include "text/text_draw.h"
#include "tools/commands.h"
#include "tools/tool.h"

namespace {

// Limits that keep a mistyped number from asking for gigabytes.
constexpr long kMaxSize = 1024;
constexpr long kMaxPadding = 4096;
constexpr long kMaxSide = 32768;
constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 25;  // 160 MiB of colour and alpha

enum class Align { Left, Center, Right };

struct RenderOptions {
    std::string fontPath;
    std::string text;
    std::string outPath;
    float size = 0.0f;  // 0: the font's own size
    C_Color color{0, 0, 0, 255};
    bool bold = false;
    bool italic = false;
    Align align = Align::Left;
    bool hasBackground = false;
    C_Color background{0, 0, 0, 0};
    long padding = 0;
    long width = 0;  // 0: as wide as the text
    int kind = 0;    // 0: the best the font has
};

// A whole decimal number from `lo` to `hi`.
bool ParseWhole(const std::string& text, long lo, long hi, long& value) {
    if (text.empty() || text.size() > 9) return false;
    value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        value = value * 10 + (c - '0');
    }
    return value >= lo && value <= hi;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// "RRGGBB", "#RRGGBB" or "R,G,B" with 0-255 channels; opaque.
bool ParseColor(const std::string& text, C_Color& color) {
    long rgb[3] = {0, 0, 0};
    const std::size_t comma = text.find(',');
    if (comma != std::string::npos) {
        const std::size_t second = text.find(',', comma + 1);
        if (second == std::string::npos) return false;
        const std::string parts[3] = {text.substr(0, comma), text.substr(comma + 1, second - comma - 1),
                                      text.substr(second + 1)};
        for (int i = 0; i < 3; ++i)
            if (!ParseWhole(parts[i], 0, 255, rgb[i])) return false;
    } else {
        const std::string hex = !text.empty() && text[0] == '#' ? text.substr(1) : text;
        if (hex.size() != 6) return false;
        for (int i = 0; i < 3; ++i) {
            const int hi = HexDigit(hex[2 * i]);
            const int lo = HexDigit(hex[2 * i + 1]);
            if (hi < 0 || lo < 0) return false;
            rgb[i] = hi * 16 + lo;
        }
    }
    color = C_Color(static_cast<std::int32_t>(rgb[0]), static_cast<std::int32_t>(rgb[1]),
                    static_cast<std::int32_t>(rgb[2]), 255);
    return true;
}

// Shells make a newline in an argument awkward, so the two characters "\n"
// stand for one; "\\" is a backslash. Other backslashes stay as they are.
std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\')) {
            out += text[i + 1] == 'n' ? '\n' : '\\';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Character codes of the text: well-formed UTF-8 sequences decode to their
// code point, any other byte stands for itself (Latin-1 typed directly).
std::vector<std::int32_t> DecodeCodes(const std::string& text) {
    std::vector<std::int32_t> codes;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                                   : lead >= 0xE0 && lead <= 0xEF ? 3
                                   : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                                  : 1;
        std::int32_t code = length == 1 ? lead : lead & (0x7F >> length);
        bool wellFormed = length > 1 && i + length <= text.size();
        for (std::size_t k = 1; wellFormed && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            wellFormed = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms and surrogates are not characters.
        const std::int32_t least = length == 3 ? 0x800 : length == 4 ? 0x10000 : 0;
        if (wellFormed && code >= least && (code < 0xD800 || code > 0xDFFF) && code <= 0x10FFFF) {
            codes.push_back(code);
            i += length;
        } else {
            codes.push_back(lead);
            ++i;
        }
    }
    return codes;
}

std::string CodeLabel(std::int32_t code) {
    char label[16];
    std::snprintf(label, sizeof label, "U+%04X", static_cast<unsigned>(code));
    return label;
}

// One line: its character codes, drawn as UTF-8.
using Line = std::vector<std::int32_t>;

// The lines' codes. Characters the font has no glyph for are left out and
// listed in `missing`; the drawer would skip them anyway, but a line starting
// with one would make it choose its glyph size from a character it does not
// have.
std::vector<Line> SplitLines(const std::vector<std::int32_t>& codes, const C_Font& font,
                             std::vector<std::int32_t>& missing) {
    std::vector<Line> lines(1);
    for (const std::int32_t code : codes) {
        if (code == '\n') {
            lines.emplace_back();
        } else if (code == '\t' || font.GetFace(code)) {
            lines.back().push_back(code);
        } else if (std::find(missing.begin(), missing.end(), code) == missing.end()) {
            missing.push_back(code);
        }
    }
    return lines;
}

// The line as the UTF-8 text the drawer decodes (GFX_TEXT_UTF8).
std::string Utf8Of(const Line& line) {
    std::string out;
    for (const std::int32_t code : line) {
        const auto c = static_cast<std::uint32_t>(code);
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        const int more = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        out += static_cast<char>(((0xFF00u >> (more + 1)) & 0xFFu) | (c >> (6 * more)));
        for (int k = more - 1; k >= 0; --k) out += static_cast<char>(0x80u | ((c >> (6 * k)) & 0x3Fu));
    }
    return out;
}

// The face the drawer chooses its variant from: the first character above
// the space, else the last.
const C_BitmapFace* KeyFace(const Line& line, const C_Font& font) {
    if (line.empty()) return nullptr;
    for (const std::int32_t code : line)
        if (code > 32) return font.GetFace(code);
    return font.GetFace(line.back());
}

bool Usable(const C_BitmapGlyph* g, std::uint8_t style, std::uint8_t kind) {
    return g && g->style == style && g->format == kind && g->size != 0;
}

bool HasVariant(const C_BitmapFace& face, std::uint8_t style, std::uint8_t kind) {
    for (std::uint32_t i = 0; i < face.GlyphCount(); ++i)
        if (Usable(face.GetGlyph(i), style, kind)) return true;
    return false;
}

// The drawer's choice: the variant of the style and kind nearest in size,
// the first on ties; `position` is its place in every face's list.
const C_BitmapGlyph* NearestVariant(const C_BitmapFace& face, std::uint8_t style, std::uint8_t kind, float size,
                                    std::uint32_t& position) {
    const C_BitmapGlyph* chosen = nullptr;
    float best = 65536.0f;
    for (std::uint32_t i = 0; i < face.GlyphCount(); ++i) {
        const C_BitmapGlyph* g = face.GetGlyph(i);
        if (!Usable(g, style, kind)) continue;
        const float distance = std::fabs(static_cast<float>(g->size) - size);
        if (distance < best) {
            best = distance;
            chosen = g;
            position = i;
        }
    }
    return chosen;
}

const char* KindName(int kind) {
    switch (kind) {
    case GFX_GLYPH_MONO: return "mono";
    case GFX_GLYPH_GRAY: return "gray";
    default: return "sheet";
    }
}

std::string StyleName(std::uint8_t style) {
    switch (style) {
    case GFX_STYLE_BOLD: return "bold";
    case GFX_STYLE_ITALIC: return "italic";
    case GFX_STYLE_BOLD_ITALIC: return "bold italic";
    default: return "regular";
    }
}

// What the lines are drawn with.
struct Choice {
    std::uint8_t kind = 0;
    std::uint8_t style = GFX_STYLE_REGULAR;
    bool emboldened = false;  // bold wanted, none in the font: drawn twice, 1 pixel apart
    float size = 0.0f;
};

// Picks render kind and style from the reference face: the wanted style in
// the best kind (anti-aliased before one-bit before sheet), else, for bold,
// the same without bold, emboldened. False with `problem` set when neither
// exists.
bool ChooseStyle(const C_BitmapFace& face, const RenderOptions& o, Choice& choice, std::string& problem) {
    std::vector<std::uint8_t> kinds = {GFX_GLYPH_GRAY, GFX_GLYPH_MONO, GFX_GLYPH_SHEET};
    if (o.kind != 0) kinds = {static_cast<std::uint8_t>(o.kind)};
    const std::uint8_t wanted = Gfx_FontStyleCode(o.bold, o.italic);
    std::vector<std::uint8_t> styles = {wanted};
    if (o.bold) styles.push_back(Gfx_FontStyleCode(false, o.italic));
    for (const std::uint8_t style : styles)
        for (const std::uint8_t kind : kinds)
            if (HasVariant(face, style, kind)) {
                choice.kind = kind;
                choice.style = style;
                choice.emboldened = style != wanted;
                return true;
            }
    problem = "has no " + StyleName(styles.back()) + " glyphs";
    if (o.kind != 0) problem += std::string(" of render kind ") + KindName(o.kind);
    return false;
}

// The size most characters of the text are rendered at, the larger on ties
// (the sharper picture): drawn at it, nothing is scaled.
float CommonSize(const std::vector<Line>& lines, const C_Font& font, const Choice& choice) {
    std::map<std::uint16_t, std::size_t> counts;
    std::set<std::int32_t> seen;
    for (const Line& line : lines)
        for (const std::int32_t code : line) {
            if (!seen.insert(code).second) continue;
            const C_BitmapFace* face = font.GetFace(code);
            if (!face) continue;
            std::vector<std::uint16_t> sizes;  // each size once per character
            for (std::uint32_t i = 0; i < face->GlyphCount(); ++i) {
                const C_BitmapGlyph* g = face->GetGlyph(i);
                if (Usable(g, choice.style, choice.kind) &&
                    std::find(sizes.begin(), sizes.end(), g->size) == sizes.end())
                    sizes.push_back(g->size);
            }
            for (const std::uint16_t size : sizes) ++counts[size];
        }
    std::uint16_t best = 0;
    std::size_t bestCount = 0;
    for (const auto& [size, count] : counts)
        if (count >= bestCount) {  // ascending sizes: ties go to the larger
            best = size;
            bestCount = count;
        }
    return static_cast<float>(best);
}

// One line's layout as the drawer will do it.
struct LineLayout {
    Line text;
    std::uint32_t variant = 0;
    float scale = 1.0f;
    float advance = 0.0f;   // the pen's furthest reach, from the line's start
    float inkReach = 0.0f;  // how far any glyph picture may stray from the layout box
};

bool LayOutLine(const Line& text, const C_Font& font, const Choice& choice, LineLayout& line) {
    line.text = text;
    if (text.empty()) return true;
    const C_BitmapFace* key = KeyFace(text, font);
    if (!key) {  // only tabs: nothing to draw, a blank line
        line.text.clear();
        return true;
    }
    const C_BitmapGlyph* chosen = NearestVariant(*key, choice.style, choice.kind, choice.size, line.variant);
    if (!chosen) return false;
    line.scale = choice.size / static_cast<float>(chosen->size);
    float x = 0.0f;
    for (const std::int32_t c : text) {
        if (c == '\t') x += GFX_TEXT_TAB_ADVANCE;
        const C_BitmapFace* face = font.GetFace(c);
        const C_BitmapGlyph* g = face ? face->GetGlyph(line.variant) : nullptr;
        if (!g) continue;
        x += static_cast<float>(g->advance.x) * line.scale;
        line.advance = std::max(line.advance, x);
        const float cellW = std::fabs(static_cast<float>(g->frame.x1) - static_cast<float>(g->frame.x0)) + 2.0f;
        const float cellH = std::fabs(static_cast<float>(g->frame.y1) - static_cast<float>(g->frame.y0)) + 2.0f;
        const float reach = std::fabs(static_cast<float>(g->bearing.x)) + std::fabs(static_cast<float>(g->bearing.y)) +
                            (cellW + cellH) * std::max(line.scale, 1.0f);
        line.inkReach = std::max(line.inkReach, reach);
    }
    return true;
}

// Integer rectangle, x1 and y1 exclusive; empty when x1 <= x0.
struct Box {
    long x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Empty() const { return x1 <= x0 || y1 <= y0; }
    void Add(const Box& b) {
        if (b.Empty()) return;
        if (Empty()) {
            *this = b;
            return;
        }
        x0 = std::min(x0, b.x0);
        y0 = std::min(y0, b.y0);
        x1 = std::max(x1, b.x1);
        y1 = std::max(y1, b.y1);
    }
};

// The pixels an alpha plane covers at all.
Box InkBox(const C_Image& alpha) {
    Box ink;
    for (std::uint32_t y = 0; y < alpha.height; ++y) {
        const std::uint8_t* row = alpha.Row(y);
        for (std::uint32_t x = 0; x < alpha.width; ++x)
            if (row[x] != 0) {
                const auto px = static_cast<long>(x);
                const auto py = static_cast<long>(y);
                ink.Add({px, py, px + 1, py + 1});
            }
    }
    return ink;
}

bool FitsLimits(long width, long height) {
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide &&
           static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <= kMaxPixels;
}

std::string SizeLabel(long width, long height) { return std::to_string(width) + " x " + std::to_string(height); }

// A surface of a colour plane (ARGB8888) and an alpha plane, both owned.
bool MakeCanvas(C_Surface& surface, long width, long height, const C_Color& color, std::int32_t alpha) {
    auto* colour = new C_Image;
    auto* coverage = new C_Image;
    const auto w = static_cast<std::uint32_t>(width);
    const auto h = static_cast<std::uint32_t>(height);
    const bool made = colour->CreateEmpty(w, h, GFX_FMT_ARGB8888, GFX_FMT_NONE, color) &&
                      coverage->CreateEmpty(w, h, GFX_FMT_CH8, GFX_FMT_NONE, C_Color(alpha, alpha, alpha, alpha));
    if (!made || !surface.AddPlane(colour, GFX_PLANE_COLOR)) {
        delete colour;
        delete coverage;
        return false;
    }
    if (!surface.AddPlane(coverage, GFX_PLANE_ALPHA)) {
        delete coverage;
        return false;
    }
    return true;
}

int ParseOptions(const Tool_Command& self, const std::vector<std::string>& args, RenderOptions& o) {
    Tool_Args parsed;
    std::string problem;
    if (!Tool_ParseArgs(args, {"--size", "--color", "--align", "--background", "--padding", "--width", "--kind"},
                        {"--bold", "--italic"}, parsed, problem))
        return Tool_Usage(self, problem);
    if (parsed.positional.size() != 3)
        return Tool_Usage(self,
                          parsed.positional.size() < 3 ? "needs FONT.uft, TEXT and OUT.png" : "too many arguments");
    o.fontPath = parsed.positional[0];
    o.text = Unescape(parsed.positional[1]);
    o.outPath = parsed.positional[2];
    if (o.text.empty()) return Tool_Usage(self, "TEXT is empty");
    o.bold = parsed.Has("--bold");
    o.italic = parsed.Has("--italic");
    if (Tool_KindOfName(o.outPath) != Tool_FileKind::Png) return Tool_Usage(self, "OUT must end in .png");
    long number = 0;
    if (const std::string* v = parsed.Value("--size")) {
        if (!ParseWhole(*v, 1, kMaxSize, number))
            return Tool_Usage(self,
                              "sizes are whole numbers from 1 to " + std::to_string(kMaxSize) + ", not '" + *v + "'");
        o.size = static_cast<float>(number);
    }
    if (const std::string* v = parsed.Value("--color"); v && !ParseColor(*v, o.color))
        return Tool_Usage(self, "colours are RRGGBB, #RRGGBB or R,G,B, not '" + *v + "'");
    if (const std::string* v = parsed.Value("--background")) {
        if (!ParseColor(*v, o.background))
            return Tool_Usage(self, "colours are RRGGBB, #RRGGBB or R,G,B, not '" + *v + "'");
        o.hasBackground = true;
    }
    if (const std::string* v = parsed.Value("--align")) {
        if (*v == "left")
            o.align = Align::Left;
        else if (*v == "center" || *v == "centre")
            o.align = Align::Center;
        else if (*v == "right")
            o.align = Align::Right;
        else
            return Tool_Usage(self, "--align is left, center or right, not '" + *v + "'");
    }
    if (const std::string* v = parsed.Value("--padding"); v && !ParseWhole(*v, 0, kMaxPadding, o.padding))
        return Tool_Usage(self, "--padding is a whole number from 0 to " + std::to_string(kMaxPadding));
    if (const std::string* v = parsed.Value("--width"); v && !ParseWhole(*v, 1, kMaxSide, o.width))
        return Tool_Usage(self, "--width is a whole number from 1 to " + std::to_string(kMaxSide));
    if (const std::string* v = parsed.Value("--kind")) {
        if (*v == "mono" || *v == "4")
            o.kind = GFX_GLYPH_MONO;
        else if (*v == "gray" || *v == "grey" || *v == "5")
            o.kind = GFX_GLYPH_GRAY;
        else if (*v == "sheet" || *v == "6")
            o.kind = GFX_GLYPH_SHEET;
        else
            return Tool_Usage(self, "--kind is mono, gray or sheet, not '" + *v + "'");
    }
    return TOOL_OK;
}

void Note(const std::string& text) { std::fprintf(stderr, "quillory: note: %s\n", text.c_str()); }

}  // namespace

int Tool_RenderText(const Tool_Command& self, const std::vector<std::string>& args) {
    RenderOptions o;
    if (const int status = ParseOptions(self, args, o); status != TOOL_OK) return status;

    Tool_FileKind fontKind = Tool_FileKind::Unknown;
    if (!Tool_KindOfFile(o.fontPath, fontKind)) return Tool_CannotOpen(o.fontPath);
    if (fontKind != Tool_FileKind::Uft && fontKind != Tool_FileKind::Unknown)
        return Tool_Refuse(o.fontPath, std::string("is not a bitmap font file (") + Tool_KindDescription(fontKind) +
                                           "); 'quillory font' makes one from TrueType files");
    C_Font font;
    Gfx_ClearError();
    if (!font.LoadFromFile(o.fontPath.c_str(), 0)) return Tool_Fail(o.fontPath, "read", " as a bitmap font");

    std::vector<std::int32_t> missing;
    const std::vector<Line> texts = SplitLines(DecodeCodes(o.text), font, missing);
    const C_BitmapFace* reference = nullptr;
    for (const Line& text : texts)
        if ((reference = KeyFace(text, font)) != nullptr) break;
    if (!reference) return Tool_Refuse(o.fontPath, "has glyphs for none of the characters of the text");
    if (!missing.empty()) {
        std::string list;
        for (std::size_t i = 0; i < missing.size() && i < 5; ++i) list += (i ? ", " : "") + CodeLabel(missing[i]);
        if (missing.size() > 5) list += ", ...";
        Note("'" + o.fontPath + "' has no glyphs for " + std::to_string(missing.size()) +
             " of the text's characters (" + list + "); they are left out");
    }

    Choice choice;
    std::string problem;
    if (!ChooseStyle(*reference, o, choice, problem)) return Tool_Refuse(o.fontPath, problem);
    if (choice.emboldened)
        Note("'" + o.fontPath + "' has no bold glyphs; the " + StyleName(choice.style) +
             " ones are drawn twice, 1 pixel apart");
    choice.size = o.size > 0.0f ? o.size : CommonSize(texts, font, choice);
    std::uint32_t position = 0;
    if (const C_BitmapGlyph* nearest = NearestVariant(*reference, choice.style, choice.kind, choice.size, position);
        nearest && static_cast<float>(nearest->size) != choice.size)
        Note("'" + o.fontPath + "' has no size " + std::to_string(static_cast<long>(choice.size)) + " glyphs; size " +
             std::to_string(nearest->size) + " is scaled to it");

    std::vector<LineLayout> lines(texts.size());
    float blockWidth = 0.0f;
    float inkReach = 0.0f;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (!LayOutLine(texts[i], font, choice, lines[i]))
            return Tool_Refuse(o.fontPath, "cannot draw line " + std::to_string(i + 1) +
                                               " of the text: its glyphs have no " + StyleName(choice.style) + " " +
                                               KindName(choice.kind) + " variant");
        blockWidth = std::max(blockWidth, lines[i].advance);
        inkReach = std::max(inkReach, lines[i].inkReach);
    }
    const float lineHeight = choice.size / 2.0f + choice.size + 1.0f;
    const long bold = choice.emboldened ? 1 : 0;

    // The scratch surface: the block with room on every side for glyph
    // pictures that reach beyond their advance or line.
    const long margin = static_cast<long>(std::ceil(inkReach + choice.size)) + 4;
    const Box layout{margin, margin, margin + static_cast<long>(std::ceil(blockWidth)) + bold,
                     margin + static_cast<long>(std::ceil(lineHeight * static_cast<float>(lines.size())))};
    const long scratchW = layout.x1 + margin;
    const long scratchH = layout.y1 + margin;
    if (!FitsLimits(scratchW, scratchH))
        return Tool_Refuse(
            o.outPath, "the text needs " + SizeLabel(scratchW, scratchH) + " pixels to draw, more than the tool makes");
    C_Surface scratch;
    Gfx_ClearError();
    if (!MakeCanvas(scratch, scratchW, scratchH, C_Color(0, 0, 0, 0), 0)) return Tool_Fail(o.outPath, "make");

    C_FontType type;
    type.size = choice.size;
    type.format = choice.kind;
    type.bold = choice.style == GFX_STYLE_BOLD || choice.style == GFX_STYLE_BOLD_ITALIC;
    type.italic = choice.style == GFX_STYLE_ITALIC || choice.style == GFX_STYLE_BOLD_ITALIC;
    // The drawer puts a line's left end at the anchor (left), its right end
    // one pixel past it (right) or its middle half a pixel past it (centre):
    // these anchors line the lines up with the block's edges or middle.
    const float left = static_cast<float>(margin);
    const float anchorX = o.align == Align::Left    ? left
                          : o.align == Align::Right ? left + blockWidth - 1.0f
                                                    : left + (blockWidth - 1.0f) / 2.0f;
    const std::uint8_t textAlign = (o.align == Align::Left ? 0 : o.align == Align::Right ? 1 : 2) | GFX_TEXT_UTF8;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].text.empty()) continue;
        const C_String text(Utf8Of(lines[i].text).c_str());
        const float y = static_cast<float>(margin) + lineHeight * static_cast<float>(i);
        for (long pass = 0; pass <= bold; ++pass) {
            const C_Vector2D at(anchorX + static_cast<float>(pass), y, 0);
            if (!Gfx_Surface_DrawText(text, &font, type, &scratch, o.color, at, textAlign, 0, 0, nullptr, nullptr, 0))
                return Tool_Refuse(o.fontPath, "cannot draw line " + std::to_string(i + 1) + " of the text");
        }
    }

    // The picture: the layout box and whatever was inked outside it, plus
    // padding; with --width, the block placed across that width instead.
    Box content = layout;
    const Box ink = InkBox(*scratch.GetPlane(GFX_PLANE_ALPHA));
    content.Add(ink);
    const long pad = o.padding;
    long pictureW = content.x1 - content.x0 + 2 * pad;
    long shiftX = pad - content.x0;
    if (o.width > 0) {
        pictureW = o.width;
        const long blockW = layout.x1 - layout.x0;
        const long placed = o.align == Align::Left    ? pad
                            : o.align == Align::Right ? o.width - pad - blockW
                                                      : (o.width - blockW) / 2;
        shiftX = placed - layout.x0;
        if (!ink.Empty() && (ink.x0 + shiftX < 0 || ink.x1 + shiftX > o.width))
            Note("the text is wider than --width " + std::to_string(o.width) + "; it is cut off");
    }
    const long pictureH = content.y1 - content.y0 + 2 * pad;
    const long shiftY = pad - content.y0;
    if (!FitsLimits(pictureW, pictureH))
        return Tool_Refuse(
            o.outPath, "the picture would be " + SizeLabel(pictureW, pictureH) + " pixels, more than the tool makes");

    C_Surface picture;
    Gfx_ClearError();
    if (!MakeCanvas(picture, pictureW, pictureH, o.hasBackground ? o.background : C_Color(0, 0, 0, 0),
                    o.hasBackground ? 255 : 0))
        return Tool_Fail(o.outPath, "make");
    // A plain copy blends the text by its coverage: onto a clear picture it
    // keeps colour and coverage as drawn, onto a background it mixes them.
    const C_Vector2D at(static_cast<float>(shiftX), static_cast<float>(shiftY), 0);
    if (!Gfx_Surface_BlitTransformed(&scratch, &picture, nullptr, nullptr, nullptr, &at, 0, nullptr))
        return Tool_Fail(o.outPath, "draw");

    C_Image& colour = *picture.GetPlane(GFX_PLANE_COLOR);
    if (!o.hasBackground && !Gfx_Image_SetChannel(picture.GetPlane(GFX_PLANE_ALPHA), &colour, 3))
        return Tool_Fail(o.outPath, "make");
    if (!Tool_SaveImage(colour, o.outPath, Tool_FileKind::Png, o.hasBackground)) return Tool_Fail(o.outPath, "write");
    return TOOL_OK;
}
