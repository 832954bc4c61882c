// Shared parts of the quillory command-line tool.
//
// Each subcommand is one function in its own file, listed once in the
// command table of quillory.cpp with its usage line and help text. The
// helpers here give every command the same file handling and messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

class C_Image;

// Exit statuses: success, a failure reading or writing files, a command line
// that makes no sense.
enum : int {
    TOOL_OK = 0,
    TOOL_FAILED = 1,
    TOOL_BAD_ARGS = 2,
};

struct Tool_Command;
using Tool_Run = int (*)(const Tool_Command& self, const std::vector<std::string>& args);

struct Tool_Command {
    const char* name;     // as typed after "quillory"
    const char* usage;    // the usage line, after "quillory "
    const char* summary;  // one line for the command list
    const char* help;     // the rest of --help: arguments and options
    Tool_Run run;         // gets the arguments after the name, --help taken out
};

// "quillory <name>: <problem>" and the usage line on stderr; returns
// TOOL_BAD_ARGS.
int Tool_Usage(const Tool_Command& command, const std::string& problem);
// "quillory: cannot <action> '<file>'<tail>: <reason> [<error detail>]" from
// the error record; returns TOOL_FAILED.
int Tool_Fail(const std::string& file, const char* action, const std::string& tail = std::string());
// "quillory: '<file>': <message>" for failures the tool itself finds;
// returns TOOL_FAILED.
int Tool_Refuse(const std::string& file, const std::string& message);
// Tool_Refuse for a file Tool_KindOfFile could not open, with errno's reason.
int Tool_CannotOpen(const std::string& file);
// After a failed write recorded as GFX_ERR_OPEN_WRITE: the OS's reason
// (errno `error`, when not 0) becomes the error's plain-words reason.
void Tool_NoteWriteReason(int error);

// Splits arguments into positionals and options. `withValue` lists the
// options that take a value ("--format N" or "--format=N"); every other
// option must be in `flags`. "--" ends the options. False, with `problem`
// set, on an unknown option or a missing value.
struct Tool_Args {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;  // name, value ("" for flags)
    bool Has(const char* name) const;
    const std::string* Value(const char* name) const;  // the last given, or null
};
bool Tool_ParseArgs(const std::vector<std::string>& args, const std::vector<std::string>& withValue,
                    const std::vector<std::string>& flags, Tool_Args& out, std::string& problem);

// A progress bar on stderr, "[#####.....] 12/40 renders", redrawn in place.
// It draws only when stderr is a terminal: pipes, files and scripts see
// nothing.
class Tool_ProgressBar {
public:
    explicit Tool_ProgressBar(const char* unit);
    ~Tool_ProgressBar() { Finish(); }
    Tool_ProgressBar(const Tool_ProgressBar&) = delete;
    Tool_ProgressBar& operator=(const Tool_ProgressBar&) = delete;

    void Update(std::size_t done, std::size_t total);
    // Ends the bar's line, so that what follows starts on a line of its own.
    void Finish();

private:
    const char* unit_;
    bool enabled_;
    bool drawn_ = false;
};

// Files the tool knows.
enum class Tool_FileKind { Unknown, Img, Uft, Bmp, Pcx, Tga, Png, Raw, Jpeg, Gif, Webp };

// By the name's extension (any case).
Tool_FileKind Tool_KindOfName(const std::string& path);
// By the first bytes where they show a picture type (a photo.png that holds
// a JPEG is a JPEG), else by the name. False when the file cannot be opened;
// errno says why.
bool Tool_KindOfFile(const std::string& path, Tool_FileKind& kind);
const char* Tool_KindDescription(Tool_FileKind kind);

// Reads a picture of an image kind (every kind but Uft and Raw) with
// Gfx_Image_LoadFile, in the file's natural format. On failure the error
// record says why.
bool Tool_LoadImage(const std::string& path, Tool_FileKind kind, C_Image& image);
// Writes a picture as Img, Raw, or any kind Gfx_Image_SaveFile writes (at
// `quality` for JPEG and WebP); the file appears complete or not at all.
// `opaque` drops the alpha channel of a PNG.
bool Tool_SaveImage(C_Image& image, const std::string& path, Tool_FileKind kind, bool opaque, std::int32_t quality = 0);

// Pixel formats by number ("24") or name ("ARGB8888", any case, with or
// without the GFX_FMT_ prefix). Only real formats 1-47 are accepted.
bool Tool_ParseFormat(const std::string& text, std::int32_t& format);
// "ARGB8888"; "NONE" for -1, "?" for numbers without a format.
const char* Tool_FormatName(std::int32_t format);
// "24 ARGB8888".
std::string Tool_FormatLabel(std::int32_t format);
