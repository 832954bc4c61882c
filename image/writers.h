/// @file
/// BMP and TGA files written from any image.
///
/// Both writers store row 0 of the picture at the top, honouring `bottomUp`,
/// and take:
///   - palette images (formats 1-4) with an integer palette: a 256-colour
///     8-bit BMP, or a TGA of the palette's colours (32-bit when the palette
///     format has alpha, else 24-bit); sub-byte indices are read leftmost
///     pixel in the high bits;
///   - one-channel integer images (GFX_FMT_CH8 and wider): grey (an 8-bit
///     BMP with a grey palette, a grey TGA), from the channel's top 8 bits;
///   - every other integer format, and the 48/64-bit and float RGB(A)
///     formats through the converter: 24-bit when the format has no alpha,
///     otherwise 32-bit with the stored alpha (a BMP with bit-field masks and
///     a V4 header, which viewers honour; alpha 0 is fully transparent).
/// Channels narrower than 8 bits are widened by repeating their bits (5-bit
/// 16 becomes 132). TGAs are run-length encoded with the top-left origin.
///
/// The file appears complete or not at all: it is written under a temporary
/// name beside the destination and renamed into place at the end.
///
/// Failures return false with the error record set, a plain-words reason and
/// the summary line "<function>>>>A fatal error occurred, the entire process
/// has been aborted":
///   14 "Gfx_Image_SaveBMP{image}"        no image, or an image without pixels
///   15 "Gfx_Image_SaveBMP{format}"       a format the writer does not take
///   16 "Gfx_Image_SaveBMP{palFormat}"    a palette image without a usable palette
///   10 "Gfx_Image_SaveBMP{dataSize}"     rows reaching past the pixel buffer, or
///                                        a picture too large for the format
///    3 "Gfx_Image_SaveBMP{row}"          no memory for a row
///   12 "Gfx_Image_SaveBMP(<path>)"       the file cannot be created or written
/// (Gfx_Image_SaveTGA likewise).
#pragma once

class C_Image;

/// Writes `image` as a BMP file.
bool Gfx_Image_SaveBMP(const C_Image* image, const char* path);
/// Writes `image` as a run-length encoded TGA file.
bool Gfx_Image_SaveTGA(const C_Image* image, const char* path);
