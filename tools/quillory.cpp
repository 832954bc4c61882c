// quillory: the framework's command-line tool. One subcommand per row of the
// table below; each lives in its own file.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/version.h"
#include "tools/commands.h"
#include "tools/tool.h"

namespace {

const std::vector<Tool_Command> kCommands = {
    {"info", "info FILE", "show what a picture or font file holds",
     "Prints the file type and its variant, the size, pixel format, row layout,\n"
     "palette and planes of a picture (.img, .bmp, .pcx, .tga, .png, .jpg, .gif,\n"
     ".webp) and the faces, glyphs and glyph surfaces of a font (.uft). Pictures\n"
     "are recognised by their first bytes, whatever their name says.\n",
     Tool_Info},
    {"convert", "convert IN OUT [--format N|NAME] [--quality Q] [--opaque]",
     "convert a picture to another file or format",
     "Reads IN (any picture: .img, .bmp, .pcx, .tga, .png, .jpg, .gif, .webp, known\n"
     "by its first bytes) and writes OUT (.img, .png, .jpg, .webp, .bmp, .tga or\n"
     ".raw, chosen by its extension). OUT appears complete or not at all.\n"
     "\n"
     "  --format N|NAME  convert the pixels first, by number (24) or name (ARGB8888)\n"
     "  --quality Q      JPEG and WebP quality, 1 to 100 (default 90), or lossless\n"
     "  --opaque         PNG output without alpha, for pictures whose alpha is unused\n"
     "\n"
     "PNG output keeps grey, RGB, RGBA and 8-bit palette pictures as they are; other\n"
     "formats become the nearest of CH8, RGB888 and ARGB8888 unless --format says\n"
     "otherwise. Raw dumps are the bare rows of 8-, 16-, 24- or 32-bit pixels.\n",
     Tool_Convert},
    {"font", "font TTF[,TTF...] OUT.uft [--sizes LIST] [--kinds LIST] [--styles LIST] [--chars RANGES] [--name NAME]",
     "render a bitmap font file from TrueType files",
     "Renders every character of RANGES from each TrueType file at every size (points\n"
     "at 96 dots per inch) in every render kind, and writes the bitmap font OUT.uft.\n"
     "OUT appears complete or not at all.\n"
     "\n"
     "  --sizes LIST    sizes, default 10,12,13,14,16,18,20,24,28,32 (each 1 to 256)\n"
     "  --kinds LIST    4 or mono (one-bit), 5 or gray (anti-aliased); default 4,5\n"
     "  --styles LIST   the style of each TTF in order: regular, bold, italic,\n"
     "                  bold-italic (or 7 to 10); default regular, bold, italic,\n"
     "                  bold-italic for the first, second, third and fourth file\n"
     "  --chars RANGES  character codes, e.g. 32-126,0xA0-0xFF; default 32-126\n"
     "  --name NAME     the font's name; default the first file's name\n",
     Tool_Font},
    {"render-text",
     "render-text FONT.uft TEXT OUT.png [--size N] [--color C] [--bold] [--italic] [--align left|center|right]\n"
     "                [--background C] [--padding N] [--width N] [--kind mono|gray|sheet]",
     "draw text with a bitmap font into a PNG",
     "Draws TEXT with the bitmap font FONT.uft and writes OUT.png, a picture just big\n"
     "enough for the text: its lines, one line height each, and any glyph reaching\n"
     "beyond them. OUT appears complete or not at all. In TEXT, the two characters\n"
     "\\n start a new line and \\\\ stands for a backslash; UTF-8 characters up to\n"
     "U+00FF are drawn with the font's glyphs of that code. Characters the font\n"
     "lacks are left out, with a note.\n"
     "\n"
     "  --size N          text size, 1 to 1024, in the unit of the font's sizes; the\n"
     "                    nearest rendered size is scaled to it. Default: the size\n"
     "                    most characters of the text are rendered at (the larger\n"
     "                    on ties), drawn unscaled\n"
     "  --color C         text colour, RRGGBB, #RRGGBB or R,G,B; default black\n"
     "  --bold, --italic  the font's bold / italic glyphs; a font without bold ones\n"
     "                    draws the others twice, 1 pixel apart (with a note)\n"
     "  --align A         left (default), center or right: each line's place in the\n"
     "                    text block\n"
     "  --background C    an opaque background of this colour; default transparent\n"
     "  --padding N       clear pixels around the text on every side; default 0\n"
     "  --width N         a picture N pixels wide, the block placed in it by --align\n"
     "                    (inside the padding); text beyond it is cut off\n"
     "  --kind K          glyphs of render kind mono, gray or sheet; default gray,\n"
     "                    else mono, else sheet, whichever the font has\n",
     Tool_RenderText},
    {"demo-assets", "demo-assets DIR", "write the painting demo's data files into DIR",
     "Writes the files the painting demo reads from its working directory: the\n"
     "font times.uft (Liberation Serif, four styles, from the fonts-liberation2\n"
     "package), the brush sheet picture1.img with its alpha plane picture3.img, the\n"
     "background picture2.img and the text prova.txt. The pictures are drawn by the\n"
     "framework itself and come out the same on every run. DIR must exist.\n",
     Tool_DemoAssets},
};

const Tool_Command* Find(const std::string& name) {
    for (const Tool_Command& command : kCommands)
        if (name == command.name) return &command;
    return nullptr;
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

void PrintOverview(std::FILE* to) {
    std::fprintf(to, "usage: quillory COMMAND [ARGUMENTS]\n\ncommands:\n");
    for (const Tool_Command& command : kCommands) std::fprintf(to, "  %-12s %s\n", command.name, command.summary);
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
