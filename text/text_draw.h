/// @file
/// Text drawing with bitmap fonts: lays a string out and draws every glyph
/// picture through the transformed blit, tinted with one colour and scaled
/// from the nearest rendered size to the requested one.
#pragma once

#include <cstddef>
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

/// Flags in the text-alignment byte, beside its anchor nibbles.
/// GFX_TEXT_UTF8: the text is UTF-8. Each character is one code point (any
/// code the font holds); a malformed sequence (a stray continuation byte, a
/// sequence cut short, an overlong form, a surrogate, a code beyond U+10FFFF)
/// becomes one U+FFFD per maximal bad run, drawn when the font has that
/// glyph and skipped like any other code it lacks. The caret index then
/// counts characters, not bytes. Without the flag every byte is one code,
/// 0 to 255.
inline constexpr std::uint8_t GFX_TEXT_UTF8 = 0x40;
/// GFX_TEXT_ALIGN_LINES: every line of a multi-line text is aligned on its
/// own width (centred or right-aligned lines), not only the first.
inline constexpr std::uint8_t GFX_TEXT_ALIGN_LINES = 0x80;
/// The code a malformed UTF-8 sequence stands for.
inline constexpr std::int32_t GFX_TEXT_REPLACEMENT = 0xFFFD;

/// Decodes the UTF-8 character starting at `*index` of `text` (`length`
/// bytes), moves `*index` past it and returns its code point, or
/// GFX_TEXT_REPLACEMENT for a malformed sequence (which is consumed up to the
/// first byte that cannot continue it, so decoding resynchronises). -1, index
/// unchanged, at the end of the text or for null arguments.
std::int32_t Gfx_Text_DecodeUtf8(const char* text, std::size_t length, std::size_t* index);

/// Draws `text` on `dst`, anchored against the clip box.
///   position   anchor; its `align` places it inside `clip` (or the whole
///              destination): low nibble 0 left, 1 right, 2 centre; high
///              nibble 0 top, 16 bottom, 32 middle
///   textAlign  where the text block sits relative to the anchor, same coding,
///              plus the flags GFX_TEXT_UTF8 and GFX_TEXT_ALIGN_LINES
///   wrap       1: the pen wraps around horizontally inside the block width
///   clip, clip2  passed on to every blit; null = the whole destination
///   unused, mode accepted and ignored
/// Newline (10) returns the pen to the anchor's x on the next line, so only
/// the first line of centred or right-aligned text is aligned (every line
/// with GFX_TEXT_ALIGN_LINES); tab (9)
/// advances GFX_TEXT_TAB_ADVANCE pixels; underline and strike-out are drawn
/// with the font's underscore glyph.
/// False when there is no font or destination, the text is empty, or the font
/// has no glyph variant of the wanted style and render kind for the first
/// printable character; nothing is drawn then. False too when a glyph's blit
/// failed (a destination the blit does not draw on, say): the rest of the
/// text is drawn, and the error record says why.
bool Gfx_Surface_DrawText(const C_String& text, const C_Font* font, const C_FontType& fontType, C_Surface* dst,
                          const C_Color& color, const C_Vector2D& position, std::uint8_t textAlign, std::uint8_t wrap,
                          std::uint32_t unused, const C_Frame* clip, const C_Frame* clip2, std::uint32_t mode);

/// The rectangle of destination pixels Gfx_Surface_DrawText would draw with
/// the same arguments, into `covered` (x1, y1 exclusive; within the clip
/// rectangles and the destination); nothing is drawn. Every glyph picture
/// counts whole, including its clear margin, as do underline and strike-out.
/// Nothing visible gives an empty frame (0, 0, 0, 0). Returns what
/// Gfx_Surface_DrawText would return; false also for a null `covered`.
bool Gfx_Font_MeasureText(const C_String& text, const C_Font* font, const C_FontType& fontType, const C_Surface* dst,
                          const C_Color& color, const C_Vector2D& position, std::uint8_t textAlign, std::uint8_t wrap,
                          std::uint32_t unused, const C_Frame* clip, const C_Frame* clip2, std::uint32_t mode,
                          C_Frame* covered);

/// The layout and drawing behind Gfx_Surface_DrawText.
///   box         its top-left is added to every glyph position; x1, y1 bound
///               the visible area
///   position    start point; x as given, y negated (the text runs from -y);
///               `align` is the text block's anchor with the GFX_TEXT_ flags
///   caretIndex  the caret (the font's "|" glyph) is drawn before the
///               character of this index; GFX_TEXT_NO_CARET for none
bool Gfx_Surface_DrawTextEx(const C_String& text, const C_Font* font, const C_FontType& fontType, C_Surface* dst,
                            const C_Color& color, const C_Rect& box, std::uint8_t wrap, const C_Vector2D& position,
                            std::uint32_t caretIndex, const C_Frame* clip, const C_Frame* clip2);
