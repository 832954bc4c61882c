// File handling, messages and argument parsing shared by the subcommands.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "core/error.h"
#include "image/image.h"
#include "image/image_io.h"
#include "image/internal/file_replace.h"
#include "image/png.h"
#include "tools/tool.h"

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The error record's code in words.
const char* ReasonOf(std::int32_t code) {
    switch (code) {
    case GFX_ERR_NO_MEMORY: return "not enough memory";
    case GFX_ERR_COPY: return "copying failed";
    case GFX_ERR_BAD_DATA: return "damaged or not a file of this kind";
    case GFX_ERR_OPEN_READ: return "cannot be opened";
    case GFX_ERR_OPEN_WRITE: return "cannot be created or written";
    case GFX_ERR_NULL_ARG: return "there is nothing to write";
    case GFX_ERR_FORMAT: return "unsupported pixel format";
    case GFX_ERR_PALETTE_FORMAT: return "unsupported palette format";
    default: return "failed";
    }
}

constexpr const char* kFormatNames[] = {
    "?",        "INDEX1",   "INDEX2",   "INDEX4",   "INDEX8",   "CH1",    "CH8",      "CH16",
    "CH24",     "CH32",     "CH32F",    "CH64F",    "RGB332",   "RGB555", "RGB565",   "RGB655",
    "RGB556",   "RGBA5551", "RGBA4444", "ARGB1555", "ARGB4444", "RGB888", "RGB48",    "RGBA8888",
    "ARGB8888", "RGBA64",   "ARGB64",   "BGR233",   "BGR555",   "BGR565", "BGR655",   "BGR556",
    "BGRA5551", "BGRA4444", "ABGR1555", "ABGR4444", "BGR888",   "BGR48",  "BGRA8888", "ABGR8888",
    "BGRA64",   "ABGR64",   "RGB96F",   "RGBA128F", "ARGB128F", "BGR96F", "BGRA128F", "ABGR128F",
};
static_assert(sizeof kFormatNames / sizeof kFormatNames[0] == GFX_FMT_COUNT + 1);

bool SaveByName(C_Image& image, const char* path, Tool_FileKind kind) {
    if (kind == Tool_FileKind::Img) return image.SaveToFile(path, 0);
    return image.Save_RAW_ToFile(path);
}

}  // namespace

int Tool_Usage(const Tool_Command& command, const std::string& problem) {
    std::fprintf(stderr, "quillory %s: %s\nusage: quillory %s\n", command.name, problem.c_str(), command.usage);
    return TOOL_BAD_ARGS;
}

int Tool_Fail(const std::string& file, const char* action, const std::string& tail) {
    const char* detail = Gfx_GetErrorDetail();
    // The plain-words reason when the failing call gave one, else the code's.
    const char* reason = Gfx_GetErrorReason();
    if (std::strcmp(reason, detail) == 0) reason = ReasonOf(Gfx_GetErrorDetailCode());
    std::fprintf(stderr, "quillory: cannot %s '%s'%s", action, file.c_str(), tail.c_str());
    if (*detail)
        std::fprintf(stderr, ": %s [%s]\n", reason, detail);
    else if (*Gfx_GetErrorMessage())
        std::fprintf(stderr, " [%s]\n", Gfx_GetErrorMessage());
    else
        std::fprintf(stderr, "\n");
    return TOOL_FAILED;
}

int Tool_Refuse(const std::string& file, const std::string& message) {
    std::fprintf(stderr, "quillory: '%s': %s\n", file.c_str(), message.c_str());
    return TOOL_FAILED;
}

int Tool_CannotOpen(const std::string& file) {
    if (errno == EISDIR) return Tool_Refuse(file, "is a directory, not a file");
    return Tool_Refuse(file, std::string("cannot be opened: ") + std::strerror(errno));
}

void Tool_NoteWriteReason(int error) {
    if (error != 0 && Gfx_GetErrorDetailCode() == GFX_ERR_OPEN_WRITE) Gfx_SetErrorReason("%s", std::strerror(error));
}

Tool_ProgressBar::Tool_ProgressBar(const char* unit) : unit_(unit), enabled_(isatty(STDERR_FILENO) == 1) {}

void Tool_ProgressBar::Update(std::size_t done, std::size_t total) {
    if (!enabled_ || total == 0) return;
    constexpr std::size_t kWidth = 20;
    const std::size_t filled = (done < total ? done : total) * kWidth / total;
    const std::string bar = std::string(filled, '#') + std::string(kWidth - filled, '.');
    std::fprintf(stderr, "\r[%s] %zu/%zu %s", bar.c_str(), done, total, unit_);
    std::fflush(stderr);
    drawn_ = true;
}

void Tool_ProgressBar::Finish() {
    if (!drawn_) return;
    std::fputc('\n', stderr);
    std::fflush(stderr);
    drawn_ = false;
}

bool Tool_Args::Has(const char* name) const { return Value(name) != nullptr; }

const std::string* Tool_Args::Value(const char* name) const {
    const std::string* found = nullptr;
    for (const auto& option : options)
        if (option.first == name) found = &option.second;
    return found;
}

bool Tool_ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& withValue,
                    const std::vector<std::string>& flags, Tool_Args& out, std::string& problem) {
    const auto listed = [](const std::vector<std::string>& names, const std::string& name) {
        for (const std::string& n : names)
            if (n == name) return true;
        return false;
    };
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            out.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (listed(withValue, name)) {
            if (equals != std::string::npos) {
                out.options.emplace_back(name, arg.substr(equals + 1));
            } else if (i + 1 < args.size()) {
                out.options.emplace_back(name, args[++i]);
            } else {
                problem = "option " + name + " needs a value";
                return false;
            }
        } else if (listed(flags, name) && equals == std::string::npos) {
            out.options.emplace_back(name, std::string());
        } else {
            problem = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

Tool_FileKind Tool_KindOfName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return Tool_FileKind::Unknown;
    const std::string ext = Upper(path.substr(dot + 1));
    if (ext == "IMG") return Tool_FileKind::Img;
    if (ext == "UFT") return Tool_FileKind::Uft;
    if (ext == "BMP") return Tool_FileKind::Bmp;
    if (ext == "PCX") return Tool_FileKind::Pcx;
    if (ext == "TGA") return Tool_FileKind::Tga;
    if (ext == "PNG") return Tool_FileKind::Png;
    if (ext == "RAW") return Tool_FileKind::Raw;
    if (ext == "JPG" || ext == "JPEG") return Tool_FileKind::Jpeg;
    if (ext == "GIF") return Tool_FileKind::Gif;
    if (ext == "WEBP") return Tool_FileKind::Webp;
    return Tool_FileKind::Unknown;
}

bool Tool_KindOfFile(const std::string& path, Tool_FileKind& kind) {
    // A directory opens for reading here, then reads as nothing.
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    unsigned char head[128] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    switch (Gfx_Image_DetectType(head, got)) {
    case GFX_FILE_BMP: kind = Tool_FileKind::Bmp; return true;
    case GFX_FILE_PCX: kind = Tool_FileKind::Pcx; return true;
    case GFX_FILE_PNG: kind = Tool_FileKind::Png; return true;
    case GFX_FILE_JPEG: kind = Tool_FileKind::Jpeg; return true;
    case GFX_FILE_GIF: kind = Tool_FileKind::Gif; return true;
    case GFX_FILE_WEBP: kind = Tool_FileKind::Webp; return true;
    case GFX_FILE_IMG: kind = Tool_FileKind::Img; return true;
    default: break;  // TGA's plausible headers come after the name
    }
    kind = Tool_KindOfName(path);
    if (kind != Tool_FileKind::Unknown) return true;
    if (got >= 2 && head[1] == 0 && head[0] == 6)  // the image record's class tag
        kind = Tool_FileKind::Img;
    else if (got >= 2 && head[1] == 0 && head[0] == 5)  // the font record's class tag
        kind = Tool_FileKind::Uft;
    else if (Gfx_Image_DetectType(head, got) == GFX_FILE_TGA)
        kind = Tool_FileKind::Tga;
    return true;
}

const char* Tool_KindDescription(Tool_FileKind kind) {
    switch (kind) {
    case Tool_FileKind::Img: return "image object file";
    case Tool_FileKind::Uft: return "bitmap font file";
    case Tool_FileKind::Bmp: return "BMP image";
    case Tool_FileKind::Pcx: return "PCX image";
    case Tool_FileKind::Tga: return "TGA image";
    case Tool_FileKind::Png: return "PNG image";
    case Tool_FileKind::Raw: return "raw pixel dump";
    case Tool_FileKind::Jpeg: return "JPEG image";
    case Tool_FileKind::Gif: return "GIF image";
    case Tool_FileKind::Webp: return "WebP image";
    default: return "unknown file";
    }
}

bool Tool_LoadImage(const std::string& path, Tool_FileKind kind, C_Image& image) {
    Gfx_ClearError();
    if (kind == Tool_FileKind::Unknown || kind == Tool_FileKind::Uft || kind == Tool_FileKind::Raw) return false;
    return Gfx_Image_LoadFile(&image, path.c_str(), GFX_FMT_NONE);
}

bool Tool_SaveImage(C_Image& image, const std::string& path, Tool_FileKind kind, bool opaque, std::int32_t quality) {
    Gfx_ClearError();
    // These are written under a temporary name already.
    if (kind != Tool_FileKind::Img && kind != Tool_FileKind::Raw) {
        errno = 0;
        const bool saved = kind == Tool_FileKind::Png && opaque ? Gfx_Image_SavePNG_Opaque(&image, path.c_str())
                                                                : Gfx_Image_SaveFile(&image, path.c_str(), quality);
        if (!saved) Tool_NoteWriteReason(errno);
        return saved;
    }
    if (kind != Tool_FileKind::Img && kind != Tool_FileKind::Raw) return false;
    C_FileReplace out;
    if (!out.Begin(path.c_str()) || !out.CloseFile()) {
        const int error = errno;
        Gfx_SetError(GFX_ERR_OPEN_WRITE, 0, 0, "C_FileReplace::Begin(%s)", path.c_str());
        Tool_NoteWriteReason(error);
        return false;
    }
    if (!SaveByName(image, out.TempPath(), kind)) return false;  // `out` removes the temporary file
    if (!out.Commit()) {
        const int error = errno;
        Gfx_SetError(GFX_ERR_OPEN_WRITE, 0, 0, "C_FileReplace::Commit(%s)", path.c_str());
        Tool_NoteWriteReason(error);
        return false;
    }
    return true;
}

bool Tool_ParseFormat(const std::string& text, std::int32_t& format) {
    if (text.empty()) return false;
    if (std::isdigit(static_cast<unsigned char>(text[0]))) {
        std::int32_t value = 0;
        for (char c : text) {
            if (!std::isdigit(static_cast<unsigned char>(c)) || value > GFX_FMT_COUNT) return false;
            value = value * 10 + (c - '0');
        }
        if (value < 1 || value > GFX_FMT_COUNT) return false;
        format = value;
        return true;
    }
    std::string name = Upper(text);
    if (name.rfind("GFX_FMT_", 0) == 0) name = name.substr(8);
    for (std::int32_t f = 1; f <= GFX_FMT_COUNT; ++f)
        if (name == kFormatNames[f]) {
            format = f;
            return true;
        }
    return false;
}

const char* Tool_FormatName(std::int32_t format) {
    if (format == GFX_FMT_NONE) return "NONE";
    if (format < 1 || format > GFX_FMT_COUNT) return "?";
    return kFormatNames[format];
}

std::string Tool_FormatLabel(std::int32_t format) { return std::to_string(format) + " " + Tool_FormatName(format); }
