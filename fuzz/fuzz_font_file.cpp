// The font file (".uft"): one font record with its name, its faces and their
// glyph records, and its glyph surfaces.
#include "fuzz_font_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    C_Font font;
    font.name = "before";
    if (!Fuzz_LoadFromBytes(font, data, size)) {
        Fuzz_Check(font.FaceCount() == 0 && font.ImageCount() == 0, "a refused file leaves the font as it was");
        return 0;
    }
    Fuzz_CheckFont(font);
    std::uint64_t held = 0;
    for (std::uint32_t i = 0; i < font.ImageCount(); ++i)
        held += Fuzz_SurfaceBytes(*font.GetImage(static_cast<std::int32_t>(i)));
    Fuzz_Check(held <= size + GFX_LOAD_UNBACKED_BUDGET, "a load stays within its budget");
    // Every load lists each face's glyphs in reverse file order.
    C_Font again1, again2;
    Fuzz_CheckRoundTrip(font, again1, again2, true);
    font.NotifySurfaces();
    Fuzz_DrawWithFont(font);
    return 0;
}
