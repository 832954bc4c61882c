/// @file
/// Primitive drawing: points, lines, rectangles and circles in one solid
/// colour, written straight into the colour plane (plane 1) of a surface.
/// No blending, no alpha plane, no transform: the colour is converted once to
/// the plane's pixel format and stored pixel by pixel.
///
/// Common arguments:
///   surface  destination; only its colour plane is drawn into
///   color    converted with Gfx_GetFormattedColor_32bit to the plane's format
///   clip     region (x0, y0 inclusive, x1, y1 exclusive); null = the whole plane
///   clip2    when given, the region becomes its intersection with `clip`
/// The region is always also limited to the plane, so nothing outside the
/// image is written whatever rectangles a caller passes.
///
/// Destinations of 8, 16, 24 and 32 bits per pixel are drawn (24-bit pixels
/// receive the three low bytes of the packed value, lowest first, so every
/// channel order gets its own colour); other depths draw nothing, and so do
/// planes of 2^31 or more pixels a side. Rows follow
/// the image's `bottomUp` flag.
///
/// Every form returns false when the surface has no colour plane, when the
/// colour or shape is null (error 14), or when the plane's format is unknown
/// (error 15); true otherwise, also when nothing falls inside the region.
/// Non-finite coordinates draw nothing.
#pragma once

#include <cstdint>

class C_Surface;
class C_Color;
class C_Frame;
class C_Rect;
class C_Circle;
class C_Vector2D;
class C_Vector2Di;

/// One pixel at (x, y) when it lies inside the region. `extra` is not read.
bool Gfx_Surface_Blit(C_Surface* surface, const C_Vector2Di* point, const C_Color* color, const C_Frame* clip,
                      const C_Frame* clip2, std::uint32_t extra = 0);

/// A line walked in 16.16 fixed point from the centre of the start pixel, one
/// pixel per step along the longer axis. The walk stops once it passes the
/// end coordinate itself, so a line drawn rightwards or downwards from whole
/// coordinates leaves out its end pixel, and one drawn the other way keeps it.
/// A line whose ends coincide after conversion draws nothing; so does one
/// with an end beyond 2^40 pixels, where no precision places it.
bool Gfx_Surface_Blit(C_Surface* surface, const C_Vector2D* start, const C_Vector2D* end, const C_Color* color,
                      const C_Frame* clip, const C_Frame* clip2);

/// The rectangle covering columns trunc(min x)..trunc(max x) and rows
/// trunc(min y)..trunc(max y), both ends included, in either corner order.
/// Filled (`filled` nonzero): the part inside the region. Outlined: the four
/// edges, each drawn clipped when its own line lies inside the region and not
/// at all otherwise. `extra1` and `extra2` are not read.
bool Gfx_Surface_Blit(C_Surface* surface, const C_Rect* rect, const C_Color* color, const C_Frame* clip,
                      const C_Frame* clip2, std::uint8_t filled, std::uint32_t extra1 = 0, std::uint32_t extra2 = 0);

/// The midpoint circle of integer centre trunc(centre) and radius
/// trunc(radius). `filled` exactly 1 fills every row between the outermost
/// outline pixels (through the scanline tables of the blit kernel); any other
/// value draws the outline. A radius of 0 draws the centre pixel; a negative
/// radius, or a centre or radius beyond 2^31 pixels, draws nothing.
bool Gfx_Surface_Blit(C_Surface* surface, const C_Circle* circle, const C_Color* color, const C_Frame* clip,
                      const C_Frame* clip2, std::uint8_t filled, std::uint32_t extra1 = 0, std::uint32_t extra2 = 0);

/// Fills, for each row from the scanline tables' firstRow to lastRow, the
/// columns spanMin..spanMax inclusive (rows whose span is empty draw
/// nothing), limited to the region and to the rows the tables hold.
bool Gfx_Surface_FillSpans(C_Surface* surface, const C_Color* color, const C_Frame* clip, const C_Frame* clip2,
                           std::uint32_t extra = 0);

/// Records the outline of `circle` in the scanline tables: firstRow and
/// lastRow widen to the circle's rows, limited to the region, and each region
/// row widens its spanMin / spanMax to the outline pixels on it. The tables
/// must already hold the region's rows (Gfx_ScanlineTables::Reset with the
/// region's y0, y1); false when they do not or an argument is null.
bool Gfx_ScanCircle(const C_Circle* circle, const C_Frame* region);
