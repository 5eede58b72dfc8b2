// Portable platform layer: the few system services and numeric conventions the library relies on.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "zrparser/ZrExport.h"

namespace zr {

// Angles in the signal functions use these literals exactly, never a computed pi.
inline constexpr double TWO_PI = 6.28318530717959;
inline constexpr double PI = 3.141592653589795;
inline constexpr double THREE_HALF_PI = 4.712388980384692;

// Per-instance state that has not seen a value yet starts from this marker.
inline constexpr double UNDEFINED_MARKER = 99999999.0;

// The library's NaN: a quiet NaN with every mantissa bit set (0x7FFFFFFFFFFFFFFF).
ZR_API double nan();

// True when x is neither NaN nor an infinity.
inline bool isUsable(double x) { return x - x == 0.0; }

// Truncation toward zero to a signed 32-bit integer, giving what the x86-64 conversion
// instruction gives: -2147483648 for NaN and for values outside the 32-bit range.
inline std::int32_t truncToInt32(double x)
{
    if (x > -2147483649.0 && x < 2147483648.0)
        return static_cast<std::int32_t>(x);
    return std::numeric_limits<std::int32_t>::min();
}

// Truncation toward zero to a signed 64-bit integer; NaN and out-of-range values give INT64_MIN.
inline std::int64_t truncToInt64(double x)
{
    if (x >= -9223372036854775808.0 && x < 9223372036854775808.0)
        return static_cast<std::int64_t>(x);
    return std::numeric_limits<std::int64_t>::min();
}

// Truncation to an unsigned 32-bit integer the way 64-bit code converts it: through the
// signed 64-bit conversion, keeping the low 32 bits.
inline std::uint32_t truncToUInt32(double x)
{
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(truncToInt64(x)));
}

// 32-bit integer arithmetic that wraps around like the hardware's instead of overflowing:
// counters kept in 32-bit fields keep counting past either end of the range.
inline std::int32_t wrappingAdd(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

inline std::int32_t wrappingMul(std::int32_t a, std::int32_t b)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// The process-wide pseudo-random generator of the C runtime, masked to 0..32767.
// The library never seeds it; hosts and tests call srand() when they want a fixed sequence.
ZR_API int rand();

// Milliseconds of a monotonic clock. A host or a test may replace the source with
// setTickSource (nullptr restores the steady clock) to drive timers with a simulated clock.
using TickSource = std::uint64_t (*)();
ZR_API std::uint64_t tickCount();
ZR_API void setTickSource(TickSource source);

// Upper case of every character, independent of the locale's case rules for ASCII letters.
ZR_API std::wstring toUpper(const std::wstring& text);

// The decimal separator of the calling thread's locale, if it can be read.
ZR_API std::optional<wchar_t> localeDecimalPoint();

} // namespace zr
