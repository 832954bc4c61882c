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
    if (!(p > T(0)) || (r >= T(0) && r <= p)) return r;
    const T m = std::fmod(a, p) + p;  // fmod keeps a's sign: m is in (0, p]
    return m < p ? m : T(0);
}

// a itself inside [lo, hi]; `above` when a > hi, `below` when a < lo.
template <typename T>
T InRangeOr(T a, T lo, T hi, T above, T below) {
    if (a > hi) return above;
    if (a < lo) return below;
    return a;
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
T SmoothStepOf(T t) {
    return (T(3) - T(2) * t) * (t * t);
}

template <typename T>
T CosWeightOf(T t) {
    return static_cast<T>(0.5 - 0.5 * std::cos(kPi * static_cast<double>(t)));
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

// ---- The eight scalar types ----

template <typename T>
T Math_ScalarOps<T>::Abs(T a) {
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
T Math_ScalarOps<T>::Div(T a, T b) {
    if (b == T(0)) return T(0);
    if constexpr (std::is_integral_v<T>) return static_cast<T>(Wide<T>{a} / Wide<T>{b});
    return a / b;
}

template <typename T>
T Math_ScalarOps<T>::Mod(T a, T b) {
    if constexpr (std::is_integral_v<T>)
        return IntModOf(a, b);
    else
        return FloatModOf(a, b);
}

template <typename T>
T Math_ScalarOps<T>::MirrorMod(T a, T b) {
    if constexpr (std::is_integral_v<T>)
        return IntMirrorModOf(a, b);
    else
        return FloatMirrorModOf(a, b);
}

template <typename T>
T Math_ScalarOps<T>::Wrap(T a, T p) {
    if constexpr (std::is_integral_v<T>)
        return IntWrapOf(a, p);
    else
        return FloatWrapOf(a, p);
}

template <typename T>
T Math_ScalarOps<T>::MirrorWrap(T a, T p) {
    if (a > p) return MirrorMod(a, p);
    if constexpr (std::is_floating_point_v<T>) {
        if (a < T(0)) return MirrorMod(-a, p);
    } else if constexpr (std::is_signed_v<T>) {
        if (a < 0) return MirrorMod(static_cast<T>(-Wide<T>{a}), p);  // the most negative value wraps
    }
    return a;
}

template <typename T>
T Math_ScalarOps<T>::Clamp(T a, T lo, T hi) {
    return InRangeOr(a, lo, hi, hi, lo);
}

template <typename T>
T Math_ScalarOps<T>::ClampSwap(T a, T lo, T hi) {
    return InRangeOr(a, lo, hi, lo, hi);
}

// Written as a < b / a > b so that a tie or a NaN picks b.
template <typename T>
T Math_ScalarOps<T>::Min(T a, T b) {
    return a < b ? a : b;
}

template <typename T>
T Math_ScalarOps<T>::Max(T a, T b) {
    return a > b ? a : b;
}

template <typename T>
int Math_ScalarOps<T>::Compare(T a, T b) {
    if (a > b) return 1;
    if (a == b) return 0;
    return -1;
}

template <typename T>
void Math_ScalarOps<T>::Sort(T* values, std::size_t count) {
    Math_Sort(values, count, sizeof(T), &CompareElements<T>);
}

// Every supported type, compiled here and nowhere else.
template struct Math_ScalarOps<std::uint8_t>;
template struct Math_ScalarOps<std::uint16_t>;
template struct Math_ScalarOps<std::uint32_t>;
template struct Math_ScalarOps<std::int8_t>;
template struct Math_ScalarOps<std::int16_t>;
template struct Math_ScalarOps<std::int32_t>;
template struct Math_ScalarOps<float>;
template struct Math_ScalarOps<double>;

// ---- Curves, float and double ----

template <typename T>
T Math_RealOps<T>::Trunc(T a) {
    if (a >= T(-2147483648.0) && a < T(2147483648.0)) return static_cast<T>(static_cast<std::int32_t>(a));
    return std::trunc(a);
}

template <typename T>
T Math_RealOps<T>::Lerp(T a, T b, T t) {
    return (b - a) * t + a;
}

template <typename T>
T Math_RealOps<T>::SmoothStep(T t) {
    return SmoothStepOf(t);
}

template <typename T>
T Math_RealOps<T>::SmoothLerp(T a, T b, T t) {
    return SmoothStepOf(t) * (b - a) + a;
}

template <typename T>
T Math_RealOps<T>::CosWeight(T t) {
    return CosWeightOf(t);
}

template <typename T>
T Math_RealOps<T>::CosLerp(T a, T b, T t) {
    return CosWeightOf(t) * (b - a) + a;
}

template <typename T>
T Math_RealOps<T>::Sinc(T t) {
    if (t == T(0)) return T(1);
    const double x = kPi * static_cast<double>(t);
    return static_cast<T>(std::sin(x) / x);
}

template <typename T>
T Math_RealOps<T>::Sign(T t) {
    return t >= T(0) ? T(1) : T(-1);
}

template <typename T>
T Math_RealOps<T>::Step(T t) {
    return t >= T(0) ? T(1) : T(0);
}

template <typename T>
T Math_RealOps<T>::Box(T t) {
    return (t > T(-0.5) && t < T(0.5)) ? T(1) : T(0);
}

// The float form computes in double and rounds once.
template <typename T>
T Math_RealOps<T>::Exp(T t) {
    return static_cast<T>(std::exp(static_cast<double>(t)));
}

template <typename T>
T Math_RealOps<T>::Erf(T t) {
    return ErfOf(t);
}

template <typename T>
T Math_RealOps<T>::Erfc(T t) {
    return T(1) - ErfOf(t);
}

template struct Math_RealOps<float>;
template struct Math_RealOps<double>;

// ---- The rest ----

std::int32_t Math_NextPow2(std::int32_t a) {
    if (a < 2) return 1;
    if (a > (1 << 30)) return 0;  // 2^31 is not a 32-bit signed value
    std::int32_t p = 2;
    while (p < a) p <<= 1;
    return p;
}

void Math_Sort(void* base, std::size_t count, std::size_t size, int (*compare)(const void*, const void*)) {
    if (!base || !compare || count < 2 || size == 0) return;
    std::qsort(base, count, size, compare);
}
