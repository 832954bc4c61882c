// A slow, per-pixel model of the transformed blit, written straight from its
// rules so that the real blit can be checked against it pixel for pixel.
//
// It shares no code with surface/: every rule (anchoring, clipping, the three
// drawing paths, edge scan conversion, sampling, the twenty kernels' pixel
// operations) is spelt out again here, one function per rule, evaluated per
// destination pixel. It is meant to be read, not to be fast.
#pragma once

#include <cstdint>

class C_Surface;
class C_Rect;
class C_Frame;
class C_Vector2D;
struct C_DrawParams;

namespace blitref {

// Same arguments and result as Gfx_Surface_BlitTransformed. `useDerived`
// stands for the kernel object's switch: the source planes are then read
// from their entries' derived copies.
bool BlitTransformed(C_Surface* src, C_Surface* dst, const C_Rect* srcRect, const C_Frame* clip, const C_Frame* clip2,
                     const C_Vector2D* position, std::uint32_t mode, const C_DrawParams* params,
                     bool useDerived = false);

// How many pixel accesses the model has refused because they fell outside an
// image since the program started. Anything but 0 is a fault of the model.
int OutOfBoundsAccesses();

}  // namespace blitref
