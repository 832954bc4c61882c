// quillory font TTF OUT.uft: a bitmap font file rendered from TrueType files.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/error.h"
#include "core/string.h"
#include "image/internal/file_replace.h"
#include "text/font.h"
#include "text/truetype.h"
#include "tools/commands.h"
#include "tools/font_build.h"
#include "tools/tool.h"

namespace {

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return items;
        start = comma + 1;
    }
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A whole decimal or 0x-hexadecimal number up to `limit`.
bool ParseNumber(const std::string& text, std::int64_t limit, std::int64_t& value) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::size_t from = hex ? 2 : 0;
    if (text.size() <= from) return false;
    value = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        std::int64_t digit;
        if (std::isdigit(c))
            digit = c - '0';
        else if (hex && std::isxdigit(c))
            digit = std::tolower(c) - 'a' + 10;
        else
            return false;
        value = value * (hex ? 16 : 10) + digit;
        if (value > limit) return false;
    }
    return true;
}

// Whether the file starts like a TrueType or OpenType font (or collection),
// so that a failed import of any other file can say what it is instead.
bool LooksLikeFont(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    unsigned char tag[4] = {};
    const std::size_t got = std::fread(tag, 1, sizeof tag, f);
    std::fclose(f);
    if (got != sizeof tag) return false;
    static const char* const kTags[] = {"\x00\x01\x00\x00", "OTTO", "true", "typ1", "ttcf", "wOFF", "wOF2"};
    for (const char* t : kTags)
        if (std::memcmp(tag, t, 4) == 0) return true;
    return false;
}

template <typename T>
void AddUnique(std::vector<T>& list, T value) {
    if (std::find(list.begin(), list.end(), value) == list.end()) list.push_back(value);
}

std::size_t CountCodes(const std::vector<Tool_CharRange>& ranges) {
    std::vector<bool> seen;
    std::size_t count = 0;
    for (const Tool_CharRange& r : ranges) {
        if (seen.size() <= static_cast<std::size_t>(r.last)) seen.resize(static_cast<std::size_t>(r.last) + 1);
        for (std::int32_t c = r.first; c <= r.last; ++c)
            if (!seen[static_cast<std::size_t>(c)]) {
                seen[static_cast<std::size_t>(c)] = true;
                ++count;
            }
    }
    return count;
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

bool Tool_ParseSizes(const std::string& text, std::vector<std::uint16_t>& out, std::string& problem) {
    out.clear();
    for (const std::string& item : SplitList(text)) {
        std::int64_t value = 0;
        if (!ParseNumber(item, TOOL_FONT_MAX_SIZE, value) || value < 1) {
            problem =
                "sizes are whole numbers from 1 to " + std::to_string(TOOL_FONT_MAX_SIZE) + ", not '" + item + "'";
            return false;
        }
        AddUnique(out, static_cast<std::uint16_t>(value));
    }
    return true;
}

bool Tool_ParseKinds(const std::string& text, std::vector<std::uint8_t>& out, std::string& problem) {
    out.clear();
    for (const std::string& item : SplitList(text)) {
        const std::string name = Lower(item);
        if (name == "4" || name == "mono")
            AddUnique(out, std::uint8_t{GFX_GLYPH_MONO});
        else if (name == "5" || name == "gray" || name == "grey")
            AddUnique(out, std::uint8_t{GFX_GLYPH_GRAY});
        else {
            problem = "render kinds are 4 (mono) and 5 (gray), not '" + item + "'";
            return false;
        }
    }
    return true;
}

bool Tool_ParseStyles(const std::string& text, std::vector<std::uint8_t>& out, std::string& problem) {
    out.clear();
    for (const std::string& item : SplitList(text)) {
        const std::string name = Lower(item);
        if (name == "7" || name == "regular")
            out.push_back(GFX_STYLE_REGULAR);
        else if (name == "8" || name == "bold")
            out.push_back(GFX_STYLE_BOLD);
        else if (name == "9" || name == "italic")
            out.push_back(GFX_STYLE_ITALIC);
        else if (name == "10" || name == "bold-italic" || name == "bolditalic")
            out.push_back(GFX_STYLE_BOLD_ITALIC);
        else {
            problem = "styles are regular, bold, italic and bold-italic (7 to 10), not '" + item + "'";
            return false;
        }
    }
    return true;
}

bool Tool_ParseChars(const std::string& text, std::vector<Tool_CharRange>& out, std::string& problem) {
    out.clear();
    for (const std::string& item : SplitList(text)) {
        // The dash separates; a leading one would be a sign, which codes lack.
        const std::size_t dash = item.find('-', 1);
        const std::string from = item.substr(0, dash);
        const std::string to = dash == std::string::npos ? from : item.substr(dash + 1);
        std::int64_t first = 0;
        std::int64_t last = 0;
        if (!ParseNumber(from, GFX_FONT_MAX_CODE, first) || !ParseNumber(to, GFX_FONT_MAX_CODE, last) || last < first) {
            problem =
                "characters are codes or ranges such as 32-126 or 0x20-0x7E (at most 0x10FFFF), not '" + item + "'";
            return false;
        }
        out.push_back({static_cast<std::int32_t>(first), static_cast<std::int32_t>(last)});
    }
    if (CountCodes(out) > TOOL_FONT_MAX_FACES) {
        problem = "at most " + std::to_string(TOOL_FONT_MAX_FACES) + " characters per font";
        return false;
    }
    return true;
}

bool Tool_BuildFont(const Tool_FontPlan& plan, C_Font& font, std::string& failedPath,
                    const Tool_FontProgress& progress) {
    failedPath.clear();
    const std::size_t total = plan.sources.size() * plan.sizes.size() * plan.kinds.size();
    std::size_t done = 0;
    font.name = plan.name.c_str();
    for (const Tool_CharRange& range : plan.chars)
        for (std::int32_t code = range.first; code <= range.last; ++code)
            if (!font.GetFace(code) && !font.AddFace(code)) return false;
    // Every face gets its variants in the same order, so a variant's list
    // position means the same size, kind and style for every character.
    for (const Tool_FontSource& source : plan.sources) {
        const C_String path(source.path.c_str());
        for (std::uint16_t size : plan.sizes) {
            for (std::uint8_t kind : plan.kinds) {
                if (progress) progress(done++, total);
                Gfx_ClearError();
                if (!Gfx_Font_ImportTrueType(path, C_BitmapGlyph(size, kind, source.style), &font)) {
                    failedPath = source.path;
                    return false;
                }
            }
        }
    }
    if (progress) progress(done, total);
    return true;
}

bool Tool_SaveFont(C_Font& font, const std::string& path) {
    C_FileReplace out;
    if (!out.Begin(path.c_str()) || !out.CloseFile()) {
        const int error = errno;
        Gfx_SetError(GFX_ERR_OPEN_WRITE, 0, 0, "C_FileReplace::Begin(%s)", path.c_str());
        Tool_NoteWriteReason(error);
        return false;
    }
    if (!font.SaveToFile(out.TempPath(), 0)) return false;  // `out` removes the temporary file
    if (!out.Commit()) {
        const int error = errno;
        Gfx_SetError(GFX_ERR_OPEN_WRITE, 0, 0, "C_FileReplace::Commit(%s)", path.c_str());
        Tool_NoteWriteReason(error);
        return false;
    }
    return true;
}

int Tool_Font(const Tool_Command& self, const std::vector<std::string>& args) {
    Tool_Args parsed;
    std::string problem;
    if (!Tool_ParseArgs(args, {"--sizes", "--kinds", "--styles", "--chars", "--name"}, {}, parsed, problem))
        return Tool_Usage(self, problem);
    if (parsed.positional.size() != 2)
        return Tool_Usage(self, parsed.positional.size() < 2 ? "needs TTF and OUT.uft" : "too many arguments");
    const std::string& out = parsed.positional[1];
    if (Tool_KindOfName(out) != Tool_FileKind::Uft) return Tool_Usage(self, "OUT must end in .uft");

    Tool_FontPlan plan;
    const std::vector<std::string> files = SplitList(parsed.positional[0]);
    for (const std::string& file : files)
        if (file.empty()) return Tool_Usage(self, "an empty TrueType file name");
    std::vector<std::uint8_t> styles = {GFX_STYLE_REGULAR, GFX_STYLE_BOLD, GFX_STYLE_ITALIC, GFX_STYLE_BOLD_ITALIC};
    if (const std::string* text = parsed.Value("--styles")) {
        if (!Tool_ParseStyles(*text, styles, problem)) return Tool_Usage(self, problem);
        if (styles.size() != files.size())
            return Tool_Usage(self,
                              "--styles needs one style per TrueType file (" + std::to_string(files.size()) + ")");
    } else if (files.size() > styles.size()) {
        return Tool_Usage(self, "more than four TrueType files need --styles");
    }
    for (std::size_t i = 0; i < files.size(); ++i) plan.sources.push_back({files[i], styles[i]});

    plan.sizes = {10, 12, 13, 14, 16, 18, 20, 24, 28, 32};
    plan.kinds = {GFX_GLYPH_MONO, GFX_GLYPH_GRAY};
    plan.chars = {TOOL_FONT_ASCII};
    if (const std::string* text = parsed.Value("--sizes"); text && !Tool_ParseSizes(*text, plan.sizes, problem))
        return Tool_Usage(self, problem);
    if (const std::string* text = parsed.Value("--kinds"); text && !Tool_ParseKinds(*text, plan.kinds, problem))
        return Tool_Usage(self, problem);
    if (const std::string* text = parsed.Value("--chars"); text && !Tool_ParseChars(*text, plan.chars, problem))
        return Tool_Usage(self, problem);
    const std::string* name = parsed.Value("--name");
    plan.name = name ? *name : BaseName(files[0]);

    C_Font font;
    std::string failedPath;
    Tool_ProgressBar bar("renders");
    const bool built = Tool_BuildFont(plan, font, failedPath,
                                      [&bar](std::size_t done, std::size_t total) { bar.Update(done, total); });
    bar.Finish();
    if (!built) {
        if (failedPath.empty()) return Tool_Fail(out, "make the faces of");
        Tool_FileKind kind = Tool_FileKind::Unknown;
        if (!Tool_KindOfFile(failedPath, kind)) return Tool_CannotOpen(failedPath);
        if (!LooksLikeFont(failedPath))
            return Tool_Refuse(failedPath, kind == Tool_FileKind::Unknown
                                               ? std::string("is not a TrueType or OpenType font")
                                               : std::string("is a ") + Tool_KindDescription(kind) +
                                                     ", not a TrueType or OpenType font");
        return Tool_Fail(failedPath, "read", " as a font");
    }
    Gfx_ClearError();
    if (!Tool_SaveFont(font, out)) return Tool_Fail(out, "write");
    return TOOL_OK;
}
