/// @file
/// Text drawing with bitmap fonts: lays a string out and draws every glyph
/// picture through the transformed blit, tinted with one colour and scaled
/// from the nearest rendered size to the requested one.
#pragma once

#include <cstdint>

class C_Color;
class C_Font;
class C_FontType;
class C_Frame;
class C_Rect;
class C_String;
class C_Surface;
class C_Vector2D;

/// Caret index meaning "no caret".
inline constexpr std::uint32_t GFX_TEXT_NO_CARET = 16777215;
/// Pen advance of a tab, in pixels, whatever the size.
inline constexpr float GFX_TEXT_TAB_ADVANCE = 47.0f;

/// Draws `text` on `dst`, anchored against the clip box.
///   position   anchor; its `align` places it inside `clip` (or the whole
///              destination): low nibble 0 left, 1 right, 2 centre; high
///              nibble 0 top, 16 bottom, 32 middle
///   textAlign  where the text block sits relative to the anchor, same coding
///   wrap       1: the pen wraps around horizontally inside the block width
///   clip, clip2  passed on to every blit; null = the whole destination
///   unused, mode accepted and ignored
/// Newline (10) returns the pen to the anchor's x on the next line, so only
/// the first line of centred or right-aligned text is aligned; tab (9)
/// advances GFX_TEXT_TAB_ADVANCE pixels; underline and strike-out are drawn
/// with the font's underscore glyph.
/// False when there is no font or destination, the text is empty, or the font
/// has no glyph variant of the wanted style and render kind for the first
/// printable character; nothing is drawn then.
bool Gfx_Surface_DrawText(const C_String& text, const C_Font* font, const C_FontType& fontType, C_Surface* dst,
                          const C_Color& color, const C_Vector2D& position, std::uint8_t textAlign, std::uint8_t wrap,
                          std::uint32_t unused, const C_Frame* clip, const C_Frame* clip2, std::uint32_t mode);

/// The layout and drawing behind Gfx_Surface_DrawText.
///   box         its top-left is added to every glyph position; x1, y1 bound
///               the visible area
///   position    start point; x as given, y negated (the text runs from -y);
///               `align` is the text block's anchor
///   caretIndex  the caret (the font's "|" glyph) is drawn before the
///               character of this index; GFX_TEXT_NO_CARET for none
bool Gfx_Surface_DrawTextEx(const C_String& text, const C_Font* font, const C_FontType& fontType, C_Surface* dst,
                            const C_Color& color, const C_Rect& box, std::uint8_t wrap, const C_Vector2D& position,
                            std::uint32_t caretIndex, const C_Frame* clip, const C_Frame* clip2);
