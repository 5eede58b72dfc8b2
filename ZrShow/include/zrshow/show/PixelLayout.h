// Where the fixtures of a group sit: along a strip, on a grid (line by line or serpentine, from
// any corner) or at positions read from a CSV file, each as x, y and z from 0 to 1.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "zrparser/ZrExport.h"

namespace zrshow {

struct PixelPosition {
    double x = 0.0; // 0 at the left, 1 at the right
    double y = 0.0; // 0 at the top, 1 at the bottom
    double z = 0.0; // 0 at the front, 1 at the back

    bool operator==(const PixelPosition&) const = default;
};

// The corner where a grid's first fixture sits.
enum class GridStart { TopLeft, TopRight, BottomLeft, BottomRight };

// The corner's name as the show file writes it ("top-left", ...).
ZR_API const char* gridStartName(GridStart start);

// A group's layout as the show file gives it, and the position of each of its fixtures.
struct PixelLayout {
    enum class Kind { Strip, Grid, Positions };
    Kind kind = Kind::Strip;
    unsigned width = 0;  // strip: its length; grid: its columns
    unsigned height = 1; // grid: its rows
    bool serpentine = false;
    GridStart start = GridStart::TopLeft;
    std::string positionsFile;            // Positions: as the show file names it
    std::vector<PixelPosition> positions; // by index within the group
    std::size_t line = 0;

    bool operator==(const PixelLayout& other) const
    {
        return kind == other.kind && positions == other.positions;
    }
};

// `count` fixtures evenly along x from 0 to 1 (a lone one at 0.5), y and z 0.5.
ZR_API std::vector<PixelPosition> stripPositions(unsigned count);

// A grid of `width` × `height` fixtures filled row by row from `start`, every other row
// reversed when `serpentine`; columns evenly from 0 to 1 in x, rows in y (a lone one at 0.5).
ZR_API std::vector<PixelPosition> gridPositions(unsigned width, unsigned height, bool serpentine, GridStart start);

// Positions from CSV text: one line per fixture, "x, y" or "x, y, z" (a header line of names is
// skipped, as are empty lines and lines starting with '#'). Each axis is scaled to 0..1 over
// the extent of all points; an axis whose points all agree (or is absent) sits at 0.5. On a
// problem `error` says what and on which line, and nothing is returned.
ZR_API std::vector<PixelPosition> parsePositions(const std::string& text, std::string& error);

} // namespace zrshow
