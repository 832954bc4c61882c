// Scalar math: guarded division and modulo, wrapping and mirroring of
// coordinates, clamps, comparisons, sorting, and interpolation curves.
//
// Each function is a template over the exact fixed-width types it comes in
// (u8, u16, u32, i8, i16, i32, float, double; the curves in float and
// double), so a call takes the variant of its argument type; arguments of
// other or mixed types do not compile. No function reports errors: division
// and modulo by zero give 0, and the integer forms never overflow (they wrap
// where the mathematical result does not fit).
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

/// Whether T is one of the eight types the scalar functions come in.
template <typename T>
inline constexpr bool Math_IsScalarType =
    std::is_same_v<T, std::uint8_t> || std::is_same_v<T, std::uint16_t> || std::is_same_v<T, std::uint32_t> ||
    std::is_same_v<T, std::int8_t> || std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t> ||
    std::is_same_v<T, float> || std::is_same_v<T, double>;

/// Whether T is float or double, the types of the curves.
template <typename T>
inline constexpr bool Math_IsRealType = std::is_same_v<T, float> || std::is_same_v<T, double>;

/// R, for the scalar types only.
template <typename T, typename R = T>
using Math_IfScalar = std::enable_if_t<Math_IsScalarType<T>, R>;

/// R, for float and double only.
template <typename T, typename R = T>
using Math_IfReal = std::enable_if_t<Math_IsRealType<T>, R>;

/// The operations behind the functions below (call those instead). They are
/// defined, and compiled for every supported type, in scalar.cpp alone, so
/// every caller runs the same code (with the same floating-point rounding)
/// whatever its own compiler flags.
template <typename T>
struct Math_ScalarOps {
    static T Abs(T a);
    static T Div(T a, T b);
    static T Mod(T a, T b);
    static T MirrorMod(T a, T b);
    static T Wrap(T a, T p);
    static T MirrorWrap(T a, T p);
    static T Clamp(T a, T lo, T hi);
    static T ClampSwap(T a, T lo, T hi);
    static T Min(T a, T b);
    static T Max(T a, T b);
    static int Compare(T a, T b);
    static void Sort(T* values, std::size_t count);
};

/// The same for the curves, in float and double.
template <typename T>
struct Math_RealOps {
    static T Trunc(T a);
    static T Lerp(T a, T b, T t);
    static T SmoothStep(T t);
    static T SmoothLerp(T a, T b, T t);
    static T CosWeight(T t);
    static T CosLerp(T a, T b, T t);
    static T Sinc(T t);
    static T Sign(T t);
    static T Step(T t);
    static T Box(T t);
    static T Exp(T t);
    static T Erf(T t);
    static T Erfc(T t);
};

/// Absolute value. Unsigned forms return a; the most negative integer stays
/// itself; the float forms multiply values below 0 by -1 (so -0.0 stays -0.0).
template <typename T>
Math_IfScalar<T> Math_Abs(T a) {
    return Math_ScalarOps<T>::Abs(a);
}

/// a / b (truncating for integers); 0 when b is 0.
template <typename T>
Math_IfScalar<T> Math_Div(T a, T b) {
    return Math_ScalarOps<T>::Div(a, b);
}

/// Integers: a % b (truncating, so the sign follows a); 0 when b is 0.
/// Floats: 0 when b is 0; a itself when a <= b (so Math_Mod(b, b) is b and a
/// negative a comes back unchanged); otherwise a - trunc(a / b) * b.
template <typename T>
Math_IfScalar<T> Math_Mod(T a, T b) {
    return Math_ScalarOps<T>::Mod(a, b);
}

/// Toward zero, through a 32-bit integer (float and double). Values outside
/// the 32-bit range (already whole numbers in float) and NaN are truncated
/// directly.
template <typename T>
Math_IfReal<T> Math_Trunc(T a) {
    return Math_RealOps<T>::Trunc(a);
}

/// A triangle wave of period 2b: with q = trunc(a / b), a - q*b when q is
/// even and (q + 1)*b - a when q is odd and positive. An odd negative q
/// returns a unchanged. 0 when b is 0.
template <typename T>
Math_IfScalar<T> Math_MirrorMod(T a, T b) {
    return Math_ScalarOps<T>::MirrorMod(a, b);
}

/// Wraps a coordinate into a period p: Math_Mod(a, p) when a >= p; a when
/// 0 <= a < p; (p - 1) - Math_Mod(-a - 1, p) when a < 0. Because the float
/// Math_Mod keeps a <= p, the float Math_Wrap(p, p) is p, not 0. For a
/// positive period a negative float a always lands in 0..p: where the rule
/// above would leave that range (periods under 1, or a just below a multiple
/// of -p) the result is the exact remainder instead.
template <typename T>
Math_IfScalar<T> Math_Wrap(T a, T p) {
    return Math_ScalarOps<T>::Wrap(a, p);
}

/// Mirrors a coordinate back and forth over 0..p: Math_MirrorMod(a, p) when
/// a > p; a when 0 <= a <= p; Math_MirrorMod(-a, p) when a < 0.
template <typename T>
Math_IfScalar<T> Math_MirrorWrap(T a, T p) {
    return Math_ScalarOps<T>::MirrorWrap(a, p);
}

/// hi when a > hi, lo when a < lo, else a.
template <typename T>
Math_IfScalar<T> Math_Clamp(T a, T lo, T hi) {
    return Math_ScalarOps<T>::Clamp(a, lo, hi);
}

/// Out-of-range values jump to the opposite end: lo when a > hi, hi when
/// a < lo, else a.
template <typename T>
Math_IfScalar<T> Math_ClampSwap(T a, T lo, T hi) {
    return Math_ScalarOps<T>::ClampSwap(a, lo, hi);
}

/// The smaller value; on a tie (and when a float is NaN) b.
template <typename T>
Math_IfScalar<T> Math_Min(T a, T b) {
    return Math_ScalarOps<T>::Min(a, b);
}

/// The larger value; on a tie (and when a float is NaN) b.
template <typename T>
Math_IfScalar<T> Math_Max(T a, T b) {
    return Math_ScalarOps<T>::Max(a, b);
}

/// 1 for a < 2; otherwise the smallest power of two >= a. 0 when that power
/// does not fit (a > 2^30).
std::int32_t Math_NextPow2(std::int32_t a);

/// -1, 0 or 1 for sorting. Floats: 1 when a > b, 0 when equal, -1 otherwise
/// (a < b, or either is NaN).
template <typename T>
Math_IfScalar<T, int> Math_Compare(T a, T b) {
    return Math_ScalarOps<T>::Compare(a, b);
}

/// Sorts `count` elements of `size` bytes with the C library quick sort.
/// Does nothing for a null array or comparison, or fewer than two elements.
void Math_Sort(void* base, std::size_t count, std::size_t size, int (*compare)(const void*, const void*));

/// Sorts ascending by Math_Compare.
template <typename T>
Math_IfScalar<T, void> Math_Sort(T* values, std::size_t count) {
    Math_ScalarOps<T>::Sort(values, count);
}

// Interpolation and shaping curves, in float and in double.

/// (b - a) * t + a.
template <typename T>
Math_IfReal<T> Math_Lerp(T a, T b, T t) {
    return Math_RealOps<T>::Lerp(a, b, t);
}

/// (3 - 2t) * t^2: 0 at 0, 1 at 1, flat at both ends.
template <typename T>
Math_IfReal<T> Math_SmoothStep(T t) {
    return Math_RealOps<T>::SmoothStep(t);
}

/// Math_SmoothStep(t) * (b - a) + a.
template <typename T>
Math_IfReal<T> Math_SmoothLerp(T a, T b, T t) {
    return Math_RealOps<T>::SmoothLerp(a, b, t);
}

/// 0.5 - 0.5 * cos(pi * t).
template <typename T>
Math_IfReal<T> Math_CosWeight(T t) {
    return Math_RealOps<T>::CosWeight(t);
}

/// Math_CosWeight(t) * (b - a) + a.
template <typename T>
Math_IfReal<T> Math_CosLerp(T a, T b, T t) {
    return Math_RealOps<T>::CosLerp(a, b, t);
}

/// 1 at 0, else sin(pi * t) / (pi * t).
template <typename T>
Math_IfReal<T> Math_Sinc(T t) {
    return Math_RealOps<T>::Sinc(t);
}

/// 1 when t >= 0, else -1.
template <typename T>
Math_IfReal<T> Math_Sign(T t) {
    return Math_RealOps<T>::Sign(t);
}

/// 1 when t >= 0, else 0.
template <typename T>
Math_IfReal<T> Math_Step(T t) {
    return Math_RealOps<T>::Step(t);
}

/// 1 when -0.5 < t < 0.5, else 0.
template <typename T>
Math_IfReal<T> Math_Box(T t) {
    return Math_RealOps<T>::Box(t);
}

/// e to the power t.
template <typename T>
Math_IfReal<T> Math_Exp(T t) {
    return Math_RealOps<T>::Exp(t);
}

/// The error function by a closed-form approximation,
/// sign(t) sqrt(1 - exp(-t^2 (4/pi + a t^2) / (1 + a t^2))) with a = 0.1400124
/// (absolute error below 3.5e-4).
template <typename T>
Math_IfReal<T> Math_Erf(T t) {
    return Math_RealOps<T>::Erf(t);
}

/// 1 - Math_Erf(t).
template <typename T>
Math_IfReal<T> Math_Erfc(T t) {
    return Math_RealOps<T>::Erfc(t);
}
