// quillory: the framework's command-line tool. One subcommand per row of the
// table below; each lives in its own file.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/commands.h"
#include "tools/tool.h"

namespace {

const std::vector<Tool_Command> kCommands = {
    {"info", "info FILE", "show what a picture or font file holds",
     "Prints the size, pixel format, row layout, palette and planes of a picture\n"
     "(.img, .bmp, .pcx, .tga, .png) and the faces, glyphs and glyph surfaces of a\n"
     "font (.uft). Files with another name are recognised by their first bytes.\n",
     Tool_Info},
    {"convert", "convert IN OUT [--format N|NAME] [--opaque]", "convert a picture to another file or format",
     "Reads IN (.img, .bmp, .pcx, .tga or .png) and writes OUT (.img, .png or .raw,\n"
     "chosen by its extension). OUT appears complete or not at all.\n"
     "\n"
     "  --format N|NAME  convert the pixels first, by number (24) or name (ARGB8888)\n"
     "  --opaque         PNG output without alpha, for pictures whose alpha is unused\n"
     "\n"
     "PNG output keeps grey, RGB, RGBA and 8-bit palette pictures as they are; other\n"
     "formats become the nearest of CH8, RGB888 and ARGB8888 unless --format says\n"
     "otherwise. Raw dumps are the bare rows of 8-, 16-, 24- or 32-bit pixels.\n",
     Tool_Convert},
};

const Tool_Command* Find(const std::string& name) {
    for (const Tool_Command& command : kCommands)
        if (name == command.name) return &command;
    return nullptr;
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

void PrintOverview(std::FILE* to) {
    std::fprintf(to, "usage: quillory COMMAND [ARGUMENTS]\n\ncommands:\n");
    for (const Tool_Command& command : kCommands) std::fprintf(to, "  %-10s %s\n", command.name, command.summary);
    std::fprintf(to, "\n'quillory COMMAND --help' describes one command.\n");
}

void PrintHelp(const Tool_Command& command) {
    std::printf("usage: quillory %s\n\n%s.\n\n%s", command.usage, command.summary, command.help);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintOverview(stderr);
        return TOOL_BAD_ARGS;
    }
    if (IsHelp(args[0]) || args[0] == "help") {
        if (args.size() == 1) {
            PrintOverview(stdout);
            return TOOL_OK;
        }
        const Tool_Command* command = Find(args[1]);
        if (!command) {
            std::fprintf(stderr, "quillory: unknown command '%s'\n", args[1].c_str());
            PrintOverview(stderr);
            return TOOL_BAD_ARGS;
        }
        PrintHelp(*command);
        return TOOL_OK;
    }
    if (args[0] == "--version") {
        std::printf("quillory %d.%d.%d\n", QUILLORY_VERSION_MAJOR, QUILLORY_VERSION_MINOR, QUILLORY_VERSION_PATCH);
        return TOOL_OK;
    }
    const Tool_Command* command = Find(args[0]);
    if (!command) {
        std::fprintf(stderr, "quillory: unknown command '%s'\n", args[0].c_str());
        PrintOverview(stderr);
        return TOOL_BAD_ARGS;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const std::string& arg : rest) {
        if (arg == "--") break;  // what follows are names, even "--help"
        if (IsHelp(arg)) {
            PrintHelp(*command);
            return TOOL_OK;
        }
    }
    return command->run(*command, rest);
}
