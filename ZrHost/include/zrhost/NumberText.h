// Numbers as text: the shortest form that reads back to the same double, and strict reading.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "zrparser/ZrExport.h"

namespace zrhost {

// Enough room for the longest shortest-form double ("-2.2250738585072014e-308").
inline constexpr std::size_t NUMBER_TEXT_CAPACITY = 32;

// Writes `value` into `buffer` (NUMBER_TEXT_CAPACITY bytes) and returns the text: the shortest
// round-trip form, "nan" for every NaN, "inf" and "-inf" for the infinities.
ZR_API std::string_view formatNumber(double value, char* buffer);
ZR_API std::string formatNumber(double value);

// Reads a whole text as a number: decimal or scientific notation with an optional sign, or
// nan, inf, -inf. Anything else, including surrounding blanks, gives nothing.
ZR_API std::optional<double> parseNumber(std::string_view text);

} // namespace zrhost
