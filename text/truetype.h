/// @file
/// Building bitmap fonts from TrueType (and other scalable) font files.
#pragma once

#include "../core/string.h"
#include "font.h"

/// Renders, for every face the font already has, the character at the
/// template's `size` (points at 96 dots per inch) in its render kind
/// (GFX_GLYPH_MONO or GFX_GLYPH_GRAY) and appends one glyph per face, each
/// with its own surface holding the coverage picture as plane 2. The glyphs
/// carry the template's size, render kind and style. A glyph the font file
/// cannot render is skipped; a template of another render kind adds nothing.
/// False without a font, and false with error 11 and nothing added when the
/// file cannot be opened or read as a font, or when the library was built
/// without TrueType support.
bool Gfx_Font_ImportTrueType(const C_String& path, const C_BitmapGlyph& glyphTemplate, C_Font* font);
