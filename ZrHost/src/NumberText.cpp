// Shortest round-trip number formatting and strict number parsing, both locale-independent.
#include "zrhost/NumberText.h"

#include <charconv>
#include <cmath>

namespace zrhost {

std::string_view formatNumber(double value, char* buffer)
{
    if (std::isnan(value))
        return "nan"; // to_chars would keep the sign bit of a NaN ("-nan")
    const auto result = std::to_chars(buffer, buffer + NUMBER_TEXT_CAPACITY, value);
    return {buffer, static_cast<std::size_t>(result.ptr - buffer)};
}

std::string formatNumber(double value)
{
    char buffer[NUMBER_TEXT_CAPACITY];
    return std::string(formatNumber(value, buffer));
}

std::optional<double> parseNumber(std::string_view text)
{
    // from_chars takes no leading "+"; a second sign after it stays an error.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+')
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace zrhost
