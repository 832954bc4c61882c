#include "math/scalar.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>

#include "math/internal/exact_float.h"  // last: it changes how the code below compiles

namespace {

constexpr double kPi = 3.141592653589793;

// A wider type in which the integer forms compute, so no intermediate value
// overflows (signed overflow would be undefined).
template <typename T>
using Wide = std::conditional_t<std::is_signed_v<T>, std::int64_t, std::uint64_t>;

template <typename T>
T AbsOf(T a) {
    if constexpr (std::is_floating_point_v<T>) {
        return a < T(0) ? a * T(-1) : a;
    } else if constexpr (std::is_unsigned_v<T>) {
        return a;
    } else {
        // The most negative value has no positive counterpart; it wraps to itself.
        return a < 0 ? static_cast<T>(-Wide<T>{a}) : a;
    }
}

template <typename T>
T DivOf(T a, T b) {
    if (b == T(0)) return T(0);
    if constexpr (std::is_integral_v<T>) return static_cast<T>(Wide<T>{a} / Wide<T>{b});
    return a / b;
}

template <typename T>
T IntModOf(T a, T b) {
    if (b == 0) return 0;
    return static_cast<T>(Wide<T>{a} % Wide<T>{b});
}

template <typename T>
T FloatModOf(T a, T b) {
    if (b == T(0)) return T(0);
    if (a <= b) return a;
    return a - std::trunc(a / b) * b;
}

template <typename T>
T TruncOf(T a) {
    if (a >= T(-2147483648.0) && a < T(2147483648.0)) return static_cast<T>(static_cast<std::int32_t>(a));
    return std::trunc(a);
}

template <typename T>
T IntMirrorModOf(T a, T b) {
    if (b == 0) return 0;
    const Wide<T> wa = a;
    const Wide<T> wb = b;
    const Wide<T> q = wa / wb;
    if (q % 2 == 0) return static_cast<T>(wa - q * wb);
    if (q > 0) return static_cast<T>((q + 1) * wb - wa);
    return a;
}

template <typename T>
T FloatMirrorModOf(T a, T b) {
    if (b == T(0)) return T(0);
    const T q = std::trunc(a / b);
    if (q == T(0)) return a;  // also keeps an infinite b from turning a into NaN
    if (std::fmod(q, T(2)) == T(0)) return a - q * b;
    if (q > T(0)) return (q + T(1)) * b - a;
    return a;
}

template <typename T>
T IntWrapOf(T a, T p) {
    if (a >= p) return IntModOf(a, p);
    if constexpr (std::is_signed_v<T>) {
        if (a < 0) {
            // b - Math_Mod(~a, b) - 1; ~a is -a - 1 without overflow.
            const Wide<T> m = IntModOf(static_cast<T>(~a), p);
            return static_cast<T>(Wide<T>{p} - m - 1);
        }
    }
    return a;
}

template <typename T>
T FloatWrapOf(T a, T p) {
    if (a >= p) return FloatModOf(a, p);
    if (!(a < T(0))) return a;  // 0 <= a < p, or NaN
    // The integer rule, kept for every result it gets right. It assumes
    // whole-number steps, so just below a multiple of -p (and for periods
    // under 1) it can land outside 0..p; wrap those exactly instead.
    const T r = (p - T(1)) - FloatModOf(-a - T(1), p);
    if (!(p > T(0)) || (r >= T(0) && r < p)) return r;
    const T m = std::fmod(a, p) + p;  // fmod keeps a's sign: m is in (0, p]
    return m < p ? m : T(0);
}

template <typename T>
T MirrorModOf(T a, T b) {
    if constexpr (std::is_integral_v<T>)
        return IntMirrorModOf(a, b);
    else
        return FloatMirrorModOf(a, b);
}

template <typename T>
T MirrorWrapOf(T a, T p) {
    if (a > p) return MirrorModOf(a, p);
    if constexpr (std::is_floating_point_v<T>) {
        if (a < T(0)) return MirrorModOf(-a, p);
    } else if constexpr (std::is_signed_v<T>) {
        if (a < 0) return MirrorModOf(static_cast<T>(-Wide<T>{a}), p);  // the most negative value wraps
    }
    return a;
}

template <typename T>
T ClampOf(T a, T lo, T hi) {
    if (a > hi) return hi;
    if (a < lo) return lo;
    return a;
}

template <typename T>
T ClampSwapOf(T a, T lo, T hi) {
    if (a > hi) return lo;
    if (a < lo) return hi;
    return a;
}

template <typename T>
int CompareOf(T a, T b) {
    if (a > b) return 1;
    if (a == b) return 0;
    return -1;
}

template <typename T>
int CompareElements(const void* a, const void* b) {
    T x;
    T y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    return Math_Compare(x, y);
}

template <typename T>
void SortOf(T* values, std::size_t count) {
    Math_Sort(values, count, sizeof(T), &CompareElements<T>);
}

template <typename T>
T LerpOf(T a, T b, T t) {
    return (b - a) * t + a;
}

template <typename T>
T SmoothStepOf(T t) {
    return (T(3) - T(2) * t) * (t * t);
}

template <typename T>
T CosWeightOf(T t) {
    return static_cast<T>(0.5 - 0.5 * std::cos(kPi * static_cast<double>(t)));
}

template <typename T>
T SincOf(T t) {
    if (t == T(0)) return T(1);
    const double x = kPi * static_cast<double>(t);
    return static_cast<T>(std::sin(x) / x);
}

template <typename T>
T ErfOf(T t) {
    constexpr double a = 0.1400124;
    const double x = static_cast<double>(t);
    const double x2 = x * x;
    const double e = std::exp(-x2 * (4.0 / kPi + a * x2) / (1.0 + a * x2));
    return static_cast<T>((x >= 0.0 ? 1.0 : -1.0) * std::sqrt(1.0 - e));
}

}  // namespace

std::uint8_t Math_Abs(std::uint8_t a) { return AbsOf(a); }
std::uint16_t Math_Abs(std::uint16_t a) { return AbsOf(a); }
std::uint32_t Math_Abs(std::uint32_t a) { return AbsOf(a); }
std::int8_t Math_Abs(std::int8_t a) { return AbsOf(a); }
std::int16_t Math_Abs(std::int16_t a) { return AbsOf(a); }
std::int32_t Math_Abs(std::int32_t a) { return AbsOf(a); }
float Math_Abs(float a) { return AbsOf(a); }
double Math_Abs(double a) { return AbsOf(a); }

std::uint8_t Math_Div(std::uint8_t a, std::uint8_t b) { return DivOf(a, b); }
std::uint16_t Math_Div(std::uint16_t a, std::uint16_t b) { return DivOf(a, b); }
std::uint32_t Math_Div(std::uint32_t a, std::uint32_t b) { return DivOf(a, b); }
std::int8_t Math_Div(std::int8_t a, std::int8_t b) { return DivOf(a, b); }
std::int16_t Math_Div(std::int16_t a, std::int16_t b) { return DivOf(a, b); }
std::int32_t Math_Div(std::int32_t a, std::int32_t b) { return DivOf(a, b); }
float Math_Div(float a, float b) { return DivOf(a, b); }
double Math_Div(double a, double b) { return DivOf(a, b); }

std::uint8_t Math_Mod(std::uint8_t a, std::uint8_t b) { return IntModOf(a, b); }
std::uint16_t Math_Mod(std::uint16_t a, std::uint16_t b) { return IntModOf(a, b); }
std::uint32_t Math_Mod(std::uint32_t a, std::uint32_t b) { return IntModOf(a, b); }
std::int8_t Math_Mod(std::int8_t a, std::int8_t b) { return IntModOf(a, b); }
std::int16_t Math_Mod(std::int16_t a, std::int16_t b) { return IntModOf(a, b); }
std::int32_t Math_Mod(std::int32_t a, std::int32_t b) { return IntModOf(a, b); }
float Math_Mod(float a, float b) { return FloatModOf(a, b); }
double Math_Mod(double a, double b) { return FloatModOf(a, b); }

float Math_Trunc(float a) { return TruncOf(a); }
double Math_Trunc(double a) { return TruncOf(a); }

std::uint8_t Math_MirrorMod(std::uint8_t a, std::uint8_t b) { return MirrorModOf(a, b); }
std::uint16_t Math_MirrorMod(std::uint16_t a, std::uint16_t b) { return MirrorModOf(a, b); }
std::uint32_t Math_MirrorMod(std::uint32_t a, std::uint32_t b) { return MirrorModOf(a, b); }
std::int8_t Math_MirrorMod(std::int8_t a, std::int8_t b) { return MirrorModOf(a, b); }
std::int16_t Math_MirrorMod(std::int16_t a, std::int16_t b) { return MirrorModOf(a, b); }
std::int32_t Math_MirrorMod(std::int32_t a, std::int32_t b) { return MirrorModOf(a, b); }
float Math_MirrorMod(float a, float b) { return MirrorModOf(a, b); }
double Math_MirrorMod(double a, double b) { return MirrorModOf(a, b); }

std::uint8_t Math_Wrap(std::uint8_t a, std::uint8_t p) { return IntWrapOf(a, p); }
std::uint16_t Math_Wrap(std::uint16_t a, std::uint16_t p) { return IntWrapOf(a, p); }
std::uint32_t Math_Wrap(std::uint32_t a, std::uint32_t p) { return IntWrapOf(a, p); }
std::int8_t Math_Wrap(std::int8_t a, std::int8_t p) { return IntWrapOf(a, p); }
std::int16_t Math_Wrap(std::int16_t a, std::int16_t p) { return IntWrapOf(a, p); }
std::int32_t Math_Wrap(std::int32_t a, std::int32_t p) { return IntWrapOf(a, p); }
float Math_Wrap(float a, float p) { return FloatWrapOf(a, p); }
double Math_Wrap(double a, double p) { return FloatWrapOf(a, p); }

std::uint8_t Math_MirrorWrap(std::uint8_t a, std::uint8_t p) { return MirrorWrapOf(a, p); }
std::uint16_t Math_MirrorWrap(std::uint16_t a, std::uint16_t p) { return MirrorWrapOf(a, p); }
std::uint32_t Math_MirrorWrap(std::uint32_t a, std::uint32_t p) { return MirrorWrapOf(a, p); }
std::int8_t Math_MirrorWrap(std::int8_t a, std::int8_t p) { return MirrorWrapOf(a, p); }
std::int16_t Math_MirrorWrap(std::int16_t a, std::int16_t p) { return MirrorWrapOf(a, p); }
std::int32_t Math_MirrorWrap(std::int32_t a, std::int32_t p) { return MirrorWrapOf(a, p); }
float Math_MirrorWrap(float a, float p) { return MirrorWrapOf(a, p); }
double Math_MirrorWrap(double a, double p) { return MirrorWrapOf(a, p); }

std::uint8_t Math_Clamp(std::uint8_t a, std::uint8_t lo, std::uint8_t hi) { return ClampOf(a, lo, hi); }
std::uint16_t Math_Clamp(std::uint16_t a, std::uint16_t lo, std::uint16_t hi) { return ClampOf(a, lo, hi); }
std::uint32_t Math_Clamp(std::uint32_t a, std::uint32_t lo, std::uint32_t hi) { return ClampOf(a, lo, hi); }
std::int8_t Math_Clamp(std::int8_t a, std::int8_t lo, std::int8_t hi) { return ClampOf(a, lo, hi); }
std::int16_t Math_Clamp(std::int16_t a, std::int16_t lo, std::int16_t hi) { return ClampOf(a, lo, hi); }
std::int32_t Math_Clamp(std::int32_t a, std::int32_t lo, std::int32_t hi) { return ClampOf(a, lo, hi); }
float Math_Clamp(float a, float lo, float hi) { return ClampOf(a, lo, hi); }
double Math_Clamp(double a, double lo, double hi) { return ClampOf(a, lo, hi); }

std::uint8_t Math_ClampSwap(std::uint8_t a, std::uint8_t lo, std::uint8_t hi) { return ClampSwapOf(a, lo, hi); }
std::uint16_t Math_ClampSwap(std::uint16_t a, std::uint16_t lo, std::uint16_t hi) { return ClampSwapOf(a, lo, hi); }
std::uint32_t Math_ClampSwap(std::uint32_t a, std::uint32_t lo, std::uint32_t hi) { return ClampSwapOf(a, lo, hi); }
std::int8_t Math_ClampSwap(std::int8_t a, std::int8_t lo, std::int8_t hi) { return ClampSwapOf(a, lo, hi); }
std::int16_t Math_ClampSwap(std::int16_t a, std::int16_t lo, std::int16_t hi) { return ClampSwapOf(a, lo, hi); }
std::int32_t Math_ClampSwap(std::int32_t a, std::int32_t lo, std::int32_t hi) { return ClampSwapOf(a, lo, hi); }
float Math_ClampSwap(float a, float lo, float hi) { return ClampSwapOf(a, lo, hi); }
double Math_ClampSwap(double a, double lo, double hi) { return ClampSwapOf(a, lo, hi); }

// Written as a < b / a > b so that a tie or a NaN picks b.
std::uint8_t Math_Min(std::uint8_t a, std::uint8_t b) { return a < b ? a : b; }
std::uint16_t Math_Min(std::uint16_t a, std::uint16_t b) { return a < b ? a : b; }
std::uint32_t Math_Min(std::uint32_t a, std::uint32_t b) { return a < b ? a : b; }
std::int8_t Math_Min(std::int8_t a, std::int8_t b) { return a < b ? a : b; }
std::int16_t Math_Min(std::int16_t a, std::int16_t b) { return a < b ? a : b; }
std::int32_t Math_Min(std::int32_t a, std::int32_t b) { return a < b ? a : b; }
float Math_Min(float a, float b) { return a < b ? a : b; }
double Math_Min(double a, double b) { return a < b ? a : b; }
std::uint8_t Math_Max(std::uint8_t a, std::uint8_t b) { return a > b ? a : b; }
std::uint16_t Math_Max(std::uint16_t a, std::uint16_t b) { return a > b ? a : b; }
std::uint32_t Math_Max(std::uint32_t a, std::uint32_t b) { return a > b ? a : b; }
std::int8_t Math_Max(std::int8_t a, std::int8_t b) { return a > b ? a : b; }
std::int16_t Math_Max(std::int16_t a, std::int16_t b) { return a > b ? a : b; }
std::int32_t Math_Max(std::int32_t a, std::int32_t b) { return a > b ? a : b; }
float Math_Max(float a, float b) { return a > b ? a : b; }
double Math_Max(double a, double b) { return a > b ? a : b; }

std::int32_t Math_NextPow2(std::int32_t a) {
    if (a < 2) return 1;
    if (a > (1 << 30)) return 0;  // 2^31 is not a 32-bit signed value
    std::int32_t p = 2;
    while (p < a) p <<= 1;
    return p;
}

int Math_Compare(std::uint8_t a, std::uint8_t b) { return CompareOf(a, b); }
int Math_Compare(std::uint16_t a, std::uint16_t b) { return CompareOf(a, b); }
int Math_Compare(std::uint32_t a, std::uint32_t b) { return CompareOf(a, b); }
int Math_Compare(std::int8_t a, std::int8_t b) { return CompareOf(a, b); }
int Math_Compare(std::int16_t a, std::int16_t b) { return CompareOf(a, b); }
int Math_Compare(std::int32_t a, std::int32_t b) { return CompareOf(a, b); }
int Math_Compare(float a, float b) { return CompareOf(a, b); }
int Math_Compare(double a, double b) { return CompareOf(a, b); }

void Math_Sort(void* base, std::size_t count, std::size_t size, int (*compare)(const void*, const void*)) {
    if (!base || !compare || count < 2 || size == 0) return;
    std::qsort(base, count, size, compare);
}

void Math_Sort(std::uint8_t* values, std::size_t count) { SortOf(values, count); }
void Math_Sort(std::uint16_t* values, std::size_t count) { SortOf(values, count); }
void Math_Sort(std::uint32_t* values, std::size_t count) { SortOf(values, count); }
void Math_Sort(std::int8_t* values, std::size_t count) { SortOf(values, count); }
void Math_Sort(std::int16_t* values, std::size_t count) { SortOf(values, count); }
void Math_Sort(std::int32_t* values, std::size_t count) { SortOf(values, count); }
void Math_Sort(float* values, std::size_t count) { SortOf(values, count); }
void Math_Sort(double* values, std::size_t count) { SortOf(values, count); }

float Math_Lerp(float a, float b, float t) { return LerpOf(a, b, t); }
double Math_Lerp(double a, double b, double t) { return LerpOf(a, b, t); }
float Math_SmoothStep(float t) { return SmoothStepOf(t); }
double Math_SmoothStep(double t) { return SmoothStepOf(t); }
float Math_SmoothLerp(float a, float b, float t) { return SmoothStepOf(t) * (b - a) + a; }
double Math_SmoothLerp(double a, double b, double t) { return SmoothStepOf(t) * (b - a) + a; }
float Math_CosWeight(float t) { return CosWeightOf(t); }
double Math_CosWeight(double t) { return CosWeightOf(t); }
float Math_CosLerp(float a, float b, float t) { return CosWeightOf(t) * (b - a) + a; }
double Math_CosLerp(double a, double b, double t) { return CosWeightOf(t) * (b - a) + a; }
float Math_Sinc(float t) { return SincOf(t); }
double Math_Sinc(double t) { return SincOf(t); }
float Math_Sign(float t) { return t >= 0.0f ? 1.0f : -1.0f; }
double Math_Sign(double t) { return t >= 0.0 ? 1.0 : -1.0; }
float Math_Step(float t) { return t >= 0.0f ? 1.0f : 0.0f; }
double Math_Step(double t) { return t >= 0.0 ? 1.0 : 0.0; }
float Math_Box(float t) { return (t > -0.5f && t < 0.5f) ? 1.0f : 0.0f; }
double Math_Box(double t) { return (t > -0.5 && t < 0.5) ? 1.0 : 0.0; }
float Math_Exp(float t) { return static_cast<float>(std::exp(static_cast<double>(t))); }
double Math_Exp(double t) { return std::exp(t); }
float Math_Erf(float t) { return ErfOf(t); }
double Math_Erf(double t) { return ErfOf(t); }
float Math_Erfc(float t) { return 1.0f - ErfOf(t); }
double Math_Erfc(double t) { return 1.0 - ErfOf(t); }
