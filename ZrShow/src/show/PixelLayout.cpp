// Positions of strips, grids and CSV point lists, scaled to 0..1 on every axis.
#include "zrshow/show/PixelLayout.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace zrshow {

namespace {

// Place `i` of `n` evenly from 0 to 1; a lone place in the middle.
double along(unsigned i, unsigned n)
{
    return n <= 1 ? 0.5 : static_cast<double>(i) / static_cast<double>(n - 1);
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The numbers of one CSV line, or none when a field is not a finite number.
bool readNumbers(const std::string& line, std::vector<double>& numbers)
{
    numbers.clear();
    std::stringstream fields(line);
    for (std::string field; std::getline(fields, field, ',');) {
        const std::string text = trimmed(field);
        char* end = nullptr;
        errno = 0;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value))
            return false;
        numbers.push_back(value);
    }
    return true;
}

} // namespace

const char* gridStartName(GridStart start)
{
    switch (start) {
    case GridStart::TopLeft: return "top-left";
    case GridStart::TopRight: return "top-right";
    case GridStart::BottomLeft: return "bottom-left";
    case GridStart::BottomRight: return "bottom-right";
    }
    return "";
}

std::vector<PixelPosition> stripPositions(unsigned count)
{
    std::vector<PixelPosition> positions;
    positions.reserve(count);
    for (unsigned i = 0; i < count; ++i)
        positions.push_back({along(i, count), 0.5, 0.5});
    return positions;
}

std::vector<PixelPosition> gridPositions(unsigned width, unsigned height, bool serpentine, GridStart start)
{
    const bool fromRight = start == GridStart::TopRight || start == GridStart::BottomRight;
    const bool fromBottom = start == GridStart::BottomLeft || start == GridStart::BottomRight;
    std::vector<PixelPosition> positions;
    positions.reserve(static_cast<std::size_t>(width) * height);
    for (unsigned row = 0; row < height; ++row) {
        const bool reversed = fromRight != (serpentine && row % 2 == 1);
        for (unsigned i = 0; i < width; ++i) {
            const unsigned column = reversed ? width - 1 - i : i;
            positions.push_back({along(column, width), along(fromBottom ? height - 1 - row : row, height), 0.5});
        }
    }
    return positions;
}

std::vector<PixelPosition> parsePositions(const std::string& text, std::string& error)
{
    std::vector<std::array<double, 3>> points;
    std::size_t axes = 0;
    std::stringstream lines(text);
    std::vector<double> numbers;
    std::size_t lineNumber = 0;
    for (std::string line; std::getline(lines, line);) {
        ++lineNumber;
        line = trimmed(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (!readNumbers(line, numbers)) {
            if (points.empty() && axes == 0 && lineNumber == 1)
                continue; // a header of names
            error = "line " + std::to_string(lineNumber) + ": '" + line + "' is not x, y or x, y, z in numbers";
            return {};
        }
        if (numbers.size() < 2 || numbers.size() > 3) {
            error = "line " + std::to_string(lineNumber) + ": " + std::to_string(numbers.size()) +
                    " numbers where x, y or x, y, z are expected";
            return {};
        }
        axes = std::max(axes, numbers.size());
        points.push_back({numbers[0], numbers[1], numbers.size() == 3 ? numbers[2] : 0.0});
    }
    if (points.empty()) {
        error = "no positions";
        return {};
    }
    std::array<double, 3> low{}, high{};
    for (std::size_t axis = 0; axis < 3; ++axis) {
        low[axis] = high[axis] = points[0][axis];
        for (const auto& point : points) {
            low[axis] = std::min(low[axis], point[axis]);
            high[axis] = std::max(high[axis], point[axis]);
        }
    }
    const auto scaled = [&](const std::array<double, 3>& point, std::size_t axis) {
        return high[axis] == low[axis] ? 0.5 : (point[axis] - low[axis]) / (high[axis] - low[axis]);
    };
    std::vector<PixelPosition> positions;
    positions.reserve(points.size());
    for (const auto& point : points)
        positions.push_back({scaled(point, 0), scaled(point, 1), scaled(point, 2)});
    return positions;
}

} // namespace zrshow
