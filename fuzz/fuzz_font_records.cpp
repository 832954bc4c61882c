// The records nested in a font file (face, glyph) and the stand-alone font
// type record, each read from the same bytes.
#include "fuzz_font_support.h"

namespace {

template <typename T>
void LoadRecord(const std::uint8_t* data, std::size_t size, bool flips) {
    T record;
    if (!Fuzz_LoadFromBytes(record, data, size)) return;
    T again1, again2;
    Fuzz_CheckRoundTrip(record, again1, again2, flips);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    LoadRecord<C_BitmapGlyph>(data, size, false);
    LoadRecord<C_BitmapFace>(data, size, true);  // faces reverse their glyphs at every load
    LoadRecord<C_FontType>(data, size, false);
    return 0;
}
