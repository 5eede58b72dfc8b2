// Pixel maps: the positions of strips, grids and CSV point lists, and pixel groups in a show,
// whose fixtures read their place as x, y, z and continue into the next universe when one is full.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zrshow/show/PixelLayout.h"

using namespace zrshow;

namespace {

// Where pixel `index` of a width × height grid is, computed the long way: its row from the
// start corner, its column running back on every other row of a serpentine.
PixelPosition expectedGridPosition(unsigned index, unsigned width, unsigned height, bool serpentine, GridStart start)
{
    unsigned row = index / width;
    unsigned column = index % width;
    if (serpentine && row % 2 == 1)
        column = width - 1 - column;
    if (start == GridStart::TopRight || start == GridStart::BottomRight)
        column = width - 1 - column;
    if (start == GridStart::BottomLeft || start == GridStart::BottomRight)
        row = height - 1 - row;
    const auto scale = [](unsigned i, unsigned n) { return n == 1 ? 0.5 : double(i) / double(n - 1); };
    return {scale(column, width), scale(row, height), 0.5};
}

} // namespace

TEST(PixelLayout, GridsPlaceEveryPixelFromTheirStartCorner)
{
    struct Case {
        unsigned width, height;
        bool serpentine;
        GridStart start;
    };
    const Case cases[] = {
        {16, 16, true, GridStart::TopLeft},  {16, 16, false, GridStart::TopLeft}, {5, 3, true, GridStart::BottomRight},
        {4, 2, true, GridStart::TopRight},   {3, 4, false, GridStart::BottomLeft}, {1, 5, true, GridStart::TopLeft},
        {7, 1, true, GridStart::BottomLeft},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + (c.serpentine ? " serpentine " : " ") +
                     gridStartName(c.start));
        const std::vector<PixelPosition> positions = gridPositions(c.width, c.height, c.serpentine, c.start);
        ASSERT_EQ(positions.size(), std::size_t(c.width) * c.height);
        for (unsigned i = 0; i < positions.size(); ++i)
            EXPECT_EQ(positions[i], expectedGridPosition(i, c.width, c.height, c.serpentine, c.start)) << "pixel " << i;
    }
    // A serpentine's second row starts under the first row's end.
    const auto snake = gridPositions(4, 2, true, GridStart::TopLeft);
    EXPECT_EQ(snake[4].x, 1.0);
    EXPECT_EQ(snake[3].x, 1.0);
}

TEST(PixelLayout, StripsRunFromZeroToOne)
{
    EXPECT_EQ(stripPositions(1), (std::vector<PixelPosition>{{0.5, 0.5, 0.5}}));
    const auto strip = stripPositions(5);
    ASSERT_EQ(strip.size(), 5u);
    EXPECT_EQ(strip[0].x, 0.0);
    EXPECT_EQ(strip[2].x, 0.5);
    EXPECT_EQ(strip[4].x, 1.0);
}

TEST(PixelLayout, PositionFilesAreScaledOrRefusedWithTheirLine)
{
    struct Case {
        const char* text;
        std::vector<PixelPosition> positions; // empty: refused
        const char* error;
    };
    const Case cases[] = {
        {"x,y\n0,10\n5,20\n10,30\n", {{0, 0, 0.5}, {0.5, 0.5, 0.5}, {1, 1, 0.5}}, ""},
        {"# a ring\n\n2, 2, 1\n4, 2, 3\n", {{0, 0.5, 0}, {1, 0.5, 1}}, ""},
        {"1,1\n1,1\n", {{0.5, 0.5, 0.5}, {0.5, 0.5, 0.5}}, ""},
        {"0,0\n1,x\n", {}, "line 2"},
        {"0,0\n1\n", {}, "line 2"},
        {"0,0\n1,2,3,4\n", {}, "line 2"},
        {"0,0\n1e999,0\n", {}, "line 2"},
        {"x,y\n", {}, "no positions"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string error;
        const auto positions = parsePositions(c.text, error);
        EXPECT_EQ(positions, c.positions);
        if (c.positions.empty())
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        else
            EXPECT_EQ(error, "");
    }
}
