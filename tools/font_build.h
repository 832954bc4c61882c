// Building bitmap font files from TrueType files, shared by "quillory font"
// and "quillory demo-assets".
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class C_Font;

// One TrueType file and the style code its glyphs are recorded under.
struct Tool_FontSource {
    std::string path;
    std::uint8_t style;  // GFX_STYLE_REGULAR .. GFX_STYLE_BOLD_ITALIC
};

// A closed range of character codes.
struct Tool_CharRange {
    std::int32_t first;
    std::int32_t last;
};

// What goes into a font: every source is rendered at every size in every
// render kind, for every character of the ranges.
struct Tool_FontPlan {
    std::string name;  // the font's face name
    std::vector<Tool_FontSource> sources;
    std::vector<std::uint16_t> sizes;  // points at 96 dots per inch
    std::vector<std::uint8_t> kinds;   // GFX_GLYPH_MONO, GFX_GLYPH_GRAY
    std::vector<Tool_CharRange> chars;
};

// Limits that keep a mistyped command line from building a font nobody can
// load: sizes above this render glyphs of several megabytes each.
inline constexpr std::uint16_t TOOL_FONT_MAX_SIZE = 256;
inline constexpr std::size_t TOOL_FONT_MAX_FACES = 65536;

// The printable ASCII codes, 32 to 126.
inline constexpr Tool_CharRange TOOL_FONT_ASCII{32, 126};

// List parsers for the command line. Each returns false with `problem` set
// when the text is not a valid list; duplicates are dropped, order is kept.
// Sizes: "10,12,13"; kinds: "4,5" or "mono,gray"; styles: "7,8" or
// "regular,bold,italic,bold-italic"; characters: "32-126,160-255", codes in
// decimal or 0x hexadecimal.
bool Tool_ParseSizes(const std::string& text, std::vector<std::uint16_t>& out, std::string& problem);
bool Tool_ParseKinds(const std::string& text, std::vector<std::uint8_t>& out, std::string& problem);
bool Tool_ParseStyles(const std::string& text, std::vector<std::uint8_t>& out, std::string& problem);
bool Tool_ParseChars(const std::string& text, std::vector<Tool_CharRange>& out, std::string& problem);

// Called before each TrueType render (one file at one size in one kind) and
// once after the last, with the renders done and the renders in all.
using Tool_FontProgress = std::function<void(std::size_t done, std::size_t total)>;

// Fills an empty font as the plan says. False, with `failedPath` naming the
// TrueType file that could not be read (the error record says why), or with
// `failedPath` empty when the faces could not be made.
bool Tool_BuildFont(const Tool_FontPlan& plan, C_Font& font, std::string& failedPath,
                    const Tool_FontProgress& progress = Tool_FontProgress());

// Writes the font so that the file appears complete or not at all. False
// with the error record set.
bool Tool_SaveFont(C_Font& font, const std::string& path);
