// The arithmetic of the default operators and functions, written once: their items evaluate
// through these functions, and the execution plans compute the same functions inline.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "zrparser/ZrPlatform.h"

namespace zr::kernel {

// Logical results are 100 for true and 0 for false.
inline double truth(bool b)
{
    return b ? 100.0 : 0.0;
}

inline double add(double a, double b) { return a + b; }
inline double subtract(double a, double b) { return a - b; }
inline double multiply(double a, double b) { return a * b; }
inline double divide(double a, double b) { return a / b; }
inline double negate(double a) { return -a; }
inline double power(double a, double b) { return std::pow(a, b); }

// The C library's pow(x, 2). A compiler may not turn it into x * x: it is not always that.
double powerOfTwo(double x);

// The exact error x * x - RN(x * x), by Dekker's product (no fused multiply-add needed).
inline double squareError(double x, double square)
{
    const double split = 134217729.0 * x; // 2^27 + 1
    const double high = split - (split - x);
    const double low = x - high;
    return ((high * high - square) + (high * low + high * low)) + low * low;
}

// pow(x, 2), mostly without calling pow. The C library's pow is within 0.509 ULP + 2 |ln x|
// 1.3 2^-15 ULP of the exact x² (its exp and log parts): at most 0.51 ULP for |x| within
// [2^-16, 2^16], 0.54 ULP up to 2^±480. Wherever the exact x² lies further than that excess
// (0.01, resp. 0.04 ULP) from the midpoints between doubles, pow(x, 2) and x * x are the same
// double, the one nearest to x². Elsewhere, and where the ULP or the error is not simple to
// bound (huge, tiny, non-finite x, a square that rounds to a power of two), pow itself answers.
inline double squareAsPow(double x)
{
    const double magnitude = std::fabs(x);
    if (magnitude > 0x1p-480 && magnitude < 0x1p+480) {
        const double square = x * x;
        const std::uint64_t bits = std::bit_cast<std::uint64_t>(square);
        const std::uint64_t exponentBits = bits & 0x7FF0000000000000ull;
        const double ulp = std::bit_cast<double>(exponentBits - (52ull << 52));
        const double margin = magnitude > 0x1p-16 && magnitude < 0x1p+16 ? 0.49 : 0.45;
        if ((bits & 0x000FFFFFFFFFFFFFull) != 0 && std::fabs(squareError(x, square)) < margin * ulp)
            return square;
    }
    return powerOfTwo(x);
}
inline double remainder(double a, double b) { return std::fmod(a, b); }

inline double greater(double a, double b) { return truth(a > b); }
inline double less(double a, double b) { return truth(a < b); }
inline double greaterOrEqual(double a, double b) { return truth(a >= b); }
inline double lessOrEqual(double a, double b) { return truth(a <= b); }
inline double equal(double a, double b) { return truth(a == b); }
inline double notEqual(double a, double b) { return truth(!(a == b)); }
// NaN is not equal to 0 and therefore counts as true in the logical operators.
inline double logicalAnd(double a, double b) { return truth(!(a == 0.0 || b == 0.0)); }
inline double logicalOr(double a, double b) { return truth(a != 0.0 || b != 0.0); }
inline double logicalNot(double a) { return truth(a == 0.0); }

// A NaN in either place yields the second value.
inline double minimum(double a, double b) { return a < b ? a : b; }
inline double maximum(double a, double b) { return a > b ? a : b; }
inline double minimum3(double a, double b, double c)
{
    const double m = a < b ? a : b;
    return c > m ? m : c;
}
inline double maximum3(double a, double b, double c)
{
    const double m = a > b ? a : b;
    return m > c ? m : c;
}

// Halves round away from zero, through a signed 32-bit integer.
inline double roundHalfAway(double a) { return truncToInt32(a > 0 ? a + 0.5 : a - 0.5); }
inline double squareRoot(double a) { return a < 0 ? nan() : std::sqrt(a); }
inline double absolute(double a) { return std::fabs(a); }
inline double ceiling(double a) { return std::ceil(a); }
inline double floorOf(double a) { return std::floor(a); }
inline double arcSine(double a) { return std::asin(a); }
inline double arcCosine(double a) { return std::acos(a); }
inline double arcTangent(double a) { return std::atan(a); }
inline double hyperbolicSine(double a) { return std::sinh(a); }
inline double hyperbolicCosine(double a) { return std::cosh(a); }
inline double hyperbolicTangent(double a) { return std::tanh(a); }
inline double tangent(double a) { return std::tan(a); }
inline double naturalLog(double a) { return std::log(a); }
inline double decimalLog(double a) { return std::log10(a); }
inline double isNaN(double a) { return std::isnan(a) ? 1.0 : 0.0; }
inline double isFinite(double a) { return std::isfinite(a) ? 1.0 : 0.0; }

// The product wraps in 32-bit arithmetic. 34! and beyond hold 2^32 as a factor, so their
// wrapped product is 0: no need to multiply billions of times for a huge argument.
inline double factorial(double a)
{
    const std::int32_t n = truncToInt32(a);
    if (n <= 0)
        return 1.0;
    if (n >= 34)
        return 0.0;
    std::int32_t product = 1;
    for (std::int32_t k = n; k >= 2; --k)
        product = wrappingMul(product, k);
    return product;
}

} // namespace zr::kernel
