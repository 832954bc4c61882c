// Scalar math: guarded division and modulo, wrapping and mirroring of
// coordinates, clamps, comparisons, sorting, and interpolation curves.
//
// Each function comes as one overload per exact fixed-width type (u8, u16,
// u32, i8, i16, i32, float, double), so a call resolves to the variant of its
// argument type. No function reports errors: division and modulo by zero give
// 0, and the integer forms never overflow (they wrap where the mathematical
// result does not fit).
#pragma once

#include <cstddef>
#include <cstdint>

// Absolute value. Unsigned forms return a; the most negative integer stays
// itself; the float forms multiply values below 0 by -1 (so -0.0 stays -0.0).
std::uint8_t Math_Abs(std::uint8_t a);
std::uint16_t Math_Abs(std::uint16_t a);
std::uint32_t Math_Abs(std::uint32_t a);
std::int8_t Math_Abs(std::int8_t a);
std::int16_t Math_Abs(std::int16_t a);
std::int32_t Math_Abs(std::int32_t a);
float Math_Abs(float a);
double Math_Abs(double a);

// a / b (truncating for integers); 0 when b is 0.
std::uint8_t Math_Div(std::uint8_t a, std::uint8_t b);
std::uint16_t Math_Div(std::uint16_t a, std::uint16_t b);
std::uint32_t Math_Div(std::uint32_t a, std::uint32_t b);
std::int8_t Math_Div(std::int8_t a, std::int8_t b);
std::int16_t Math_Div(std::int16_t a, std::int16_t b);
std::int32_t Math_Div(std::int32_t a, std::int32_t b);
float Math_Div(float a, float b);
double Math_Div(double a, double b);

// Integers: a % b (truncating, so the sign follows a); 0 when b is 0.
// Floats: 0 when b is 0; a itself when a <= b (so Math_Mod(b, b) is b and a
// negative a comes back unchanged); otherwise a - trunc(a / b) * b.
std::uint8_t Math_Mod(std::uint8_t a, std::uint8_t b);
std::uint16_t Math_Mod(std::uint16_t a, std::uint16_t b);
std::uint32_t Math_Mod(std::uint32_t a, std::uint32_t b);
std::int8_t Math_Mod(std::int8_t a, std::int8_t b);
std::int16_t Math_Mod(std::int16_t a, std::int16_t b);
std::int32_t Math_Mod(std::int32_t a, std::int32_t b);
float Math_Mod(float a, float b);
double Math_Mod(double a, double b);

// Toward zero, through a 32-bit integer. Values outside the 32-bit range
// (already whole numbers in float) and NaN are truncated directly.
float Math_Trunc(float a);
double Math_Trunc(double a);

// A triangle wave of period 2b: with q = trunc(a / b), a - q*b when q is even
// and (q + 1)*b - a when q is odd and positive. An odd negative q returns a
// unchanged. 0 when b is 0.
std::uint8_t Math_MirrorMod(std::uint8_t a, std::uint8_t b);
std::uint16_t Math_MirrorMod(std::uint16_t a, std::uint16_t b);
std::uint32_t Math_MirrorMod(std::uint32_t a, std::uint32_t b);
std::int8_t Math_MirrorMod(std::int8_t a, std::int8_t b);
std::int16_t Math_MirrorMod(std::int16_t a, std::int16_t b);
std::int32_t Math_MirrorMod(std::int32_t a, std::int32_t b);
float Math_MirrorMod(float a, float b);
double Math_MirrorMod(double a, double b);

// Wraps a coordinate into a period p: Math_Mod(a, p) when a >= p; a when
// 0 <= a < p; (p - 1) - Math_Mod(-a - 1, p) when a < 0. Because the float
// Math_Mod keeps a <= p, the float Math_Wrap(p, p) is p, not 0. For a
// positive period a negative float a always lands in 0..p: where the rule
// above would leave that range (periods under 1, or a just below a multiple
// of -p) the result is the exact remainder instead.
std::uint8_t Math_Wrap(std::uint8_t a, std::uint8_t p);
std::uint16_t Math_Wrap(std::uint16_t a, std::uint16_t p);
std::uint32_t Math_Wrap(std::uint32_t a, std::uint32_t p);
std::int8_t Math_Wrap(std::int8_t a, std::int8_t p);
std::int16_t Math_Wrap(std::int16_t a, std::int16_t p);
std::int32_t Math_Wrap(std::int32_t a, std::int32_t p);
float Math_Wrap(float a, float p);
double Math_Wrap(double a, double p);

// Mirrors a coordinate back and forth over 0..p: Math_MirrorMod(a, p) when
// a > p; a when 0 <= a <= p; Math_MirrorMod(-a, p) when a < 0.
std::uint8_t Math_MirrorWrap(std::uint8_t a, std::uint8_t p);
std::uint16_t Math_MirrorWrap(std::uint16_t a, std::uint16_t p);
std::uint32_t Math_MirrorWrap(std::uint32_t a, std::uint32_t p);
std::int8_t Math_MirrorWrap(std::int8_t a, std::int8_t p);
std::int16_t Math_MirrorWrap(std::int16_t a, std::int16_t p);
std::int32_t Math_MirrorWrap(std::int32_t a, std::int32_t p);
float Math_MirrorWrap(float a, float p);
double Math_MirrorWrap(double a, double p);

// hi when a > hi, lo when a < lo, else a.
std::uint8_t Math_Clamp(std::uint8_t a, std::uint8_t lo, std::uint8_t hi);
std::uint16_t Math_Clamp(std::uint16_t a, std::uint16_t lo, std::uint16_t hi);
std::uint32_t Math_Clamp(std::uint32_t a, std::uint32_t lo, std::uint32_t hi);
std::int8_t Math_Clamp(std::int8_t a, std::int8_t lo, std::int8_t hi);
std::int16_t Math_Clamp(std::int16_t a, std::int16_t lo, std::int16_t hi);
std::int32_t Math_Clamp(std::int32_t a, std::int32_t lo, std::int32_t hi);
float Math_Clamp(float a, float lo, float hi);
double Math_Clamp(double a, double lo, double hi);

// Out-of-range values jump to the opposite end: lo when a > hi, hi when
// a < lo, else a.
std::uint8_t Math_ClampSwap(std::uint8_t a, std::uint8_t lo, std::uint8_t hi);
std::uint16_t Math_ClampSwap(std::uint16_t a, std::uint16_t lo, std::uint16_t hi);
std::uint32_t Math_ClampSwap(std::uint32_t a, std::uint32_t lo, std::uint32_t hi);
std::int8_t Math_ClampSwap(std::int8_t a, std::int8_t lo, std::int8_t hi);
std::int16_t Math_ClampSwap(std::int16_t a, std::int16_t lo, std::int16_t hi);
std::int32_t Math_ClampSwap(std::int32_t a, std::int32_t lo, std::int32_t hi);
float Math_ClampSwap(float a, float lo, float hi);
double Math_ClampSwap(double a, double lo, double hi);

// The smaller and the larger value. On a tie (and when a float is NaN) both
// return b.
std::uint8_t Math_Min(std::uint8_t a, std::uint8_t b);
std::uint16_t Math_Min(std::uint16_t a, std::uint16_t b);
std::uint32_t Math_Min(std::uint32_t a, std::uint32_t b);
std::int8_t Math_Min(std::int8_t a, std::int8_t b);
std::int16_t Math_Min(std::int16_t a, std::int16_t b);
std::int32_t Math_Min(std::int32_t a, std::int32_t b);
float Math_Min(float a, float b);
double Math_Min(double a, double b);
std::uint8_t Math_Max(std::uint8_t a, std::uint8_t b);
std::uint16_t Math_Max(std::uint16_t a, std::uint16_t b);
std::uint32_t Math_Max(std::uint32_t a, std::uint32_t b);
std::int8_t Math_Max(std::int8_t a, std::int8_t b);
std::int16_t Math_Max(std::int16_t a, std::int16_t b);
std::int32_t Math_Max(std::int32_t a, std::int32_t b);
float Math_Max(float a, float b);
double Math_Max(double a, double b);

// 1 for a < 2; otherwise the smallest power of two >= a. 0 when that power
// does not fit (a > 2^30).
std::int32_t Math_NextPow2(std::int32_t a);

// -1, 0 or 1 for sorting. Floats: 1 when a > b, 0 when equal, -1 otherwise
// (a < b, or either is NaN).
int Math_Compare(std::uint8_t a, std::uint8_t b);
int Math_Compare(std::uint16_t a, std::uint16_t b);
int Math_Compare(std::uint32_t a, std::uint32_t b);
int Math_Compare(std::int8_t a, std::int8_t b);
int Math_Compare(std::int16_t a, std::int16_t b);
int Math_Compare(std::int32_t a, std::int32_t b);
int Math_Compare(float a, float b);
int Math_Compare(double a, double b);

// Sorts `count` elements of `size` bytes with the C library quick sort.
// Does nothing for a null array or comparison, or fewer than two elements.
void Math_Sort(void* base, std::size_t count, std::size_t size, int (*compare)(const void*, const void*));
// Ascending by Math_Compare.
void Math_Sort(std::uint8_t* values, std::size_t count);
void Math_Sort(std::uint16_t* values, std::size_t count);
void Math_Sort(std::uint32_t* values, std::size_t count);
void Math_Sort(std::int8_t* values, std::size_t count);
void Math_Sort(std::int16_t* values, std::size_t count);
void Math_Sort(std::int32_t* values, std::size_t count);
void Math_Sort(float* values, std::size_t count);
void Math_Sort(double* values, std::size_t count);

// Interpolation and shaping curves, in float and in double.

// (b - a) * t + a.
float Math_Lerp(float a, float b, float t);
double Math_Lerp(double a, double b, double t);
// (3 - 2t) * t^2: 0 at 0, 1 at 1, flat at both ends.
float Math_SmoothStep(float t);
double Math_SmoothStep(double t);
// Math_SmoothStep(t) * (b - a) + a.
float Math_SmoothLerp(float a, float b, float t);
double Math_SmoothLerp(double a, double b, double t);
// 0.5 - 0.5 * cos(pi * t).
float Math_CosWeight(float t);
double Math_CosWeight(double t);
// Math_CosWeight(t) * (b - a) + a.
float Math_CosLerp(float a, float b, float t);
double Math_CosLerp(double a, double b, double t);
// 1 at 0, else sin(pi * t) / (pi * t).
float Math_Sinc(float t);
double Math_Sinc(double t);
// 1 when t >= 0, else -1.
float Math_Sign(float t);
double Math_Sign(double t);
// 1 when t >= 0, else 0.
float Math_Step(float t);
double Math_Step(double t);
// 1 when -0.5 < t < 0.5, else 0.
float Math_Box(float t);
double Math_Box(double t);
// e to the power t.
float Math_Exp(float t);
double Math_Exp(double t);
// The error function by a closed-form approximation,
// sign(t) sqrt(1 - exp(-t^2 (4/pi + a t^2) / (1 + a t^2))) with a = 0.1400124
// (absolute error below 3.5e-4), and its complement 1 - Math_Erf.
float Math_Erf(float t);
double Math_Erf(double t);
float Math_Erfc(float t);
double Math_Erfc(double t);
