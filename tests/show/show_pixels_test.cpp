// Pixel maps: the positions of strips, grids and CSV point lists, and pixel groups in a show,
// whose fixtures read their place as x, y, z and continue into the next universe when one is full,
// or at the places the file gives.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "loaded_show.h"
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

namespace {

// A show read from text, compiled, and its first frame evaluated into its universes.
struct PixelShow : showtest::LoadedShow {
    // A refused show never runs, as in zrsignal.
    explicit PixelShow(const std::string& text) : showtest::LoadedShow(text, "pixels.toml")
    {
        if (problems.empty())
            evaluate();
    }
};

std::string outputs(std::initializer_list<int> universes)
{
    std::string text;
    for (int u : universes)
        text += "[[output]]\nuniverse = " + std::to_string(u) + "\nprotocol = \"sacn\"\naddress = \"127.0.0.1\"\n";
    return text;
}

// The slot value of `percent`, as levels are written.
std::uint8_t slotOf(double percent)
{
    return static_cast<std::uint8_t>(std::floor(percent * 255.0 / 100.0 + 0.5));
}

} // namespace

TEST(PixelMaps, EveryPixelOfASerpentineGridReadsItsPlace)
{
    const unsigned width = 5, height = 4;
    PixelShow loaded(outputs({1}) + R"toml(
[[fixture]]
name = "wall"
universe = 1
address = 11
layout = { grid = [5, 4], serpentine = true, start = "bottom-right" }
channels = [ { name = "across", formula = "x * 100" }, { name = "down", formula = "y * 100" },
             { name = "depth", formula = "z * 100" }, { name = "number", formula = "index" } ]
)toml");
    ASSERT_TRUE(loaded.problems.empty()) << loaded.problems.text();
    ASSERT_EQ(loaded.show.fixtures[0].count, width * height);
    for (unsigned i = 0; i < width * height; ++i) {
        const PixelPosition place = expectedGridPosition(i, width, height, true, GridStart::BottomRight);
        const std::uint8_t* slots = &loaded.universes[0][10 + 4 * i];
        EXPECT_EQ(slots[0], slotOf(place.x * 100)) << "pixel " << i;
        EXPECT_EQ(slots[1], slotOf(place.y * 100)) << "pixel " << i;
        EXPECT_EQ(slots[2], slotOf(50)) << "pixel " << i;
        EXPECT_EQ(slots[3], slotOf(i)) << "pixel " << i;
    }
}

TEST(PixelMaps, AStripLongerThanAUniverseContinuesInTheNextWithoutSplittingAPixel)
{
    PixelShow loaded(outputs({1, 2}) + R"toml(
[[fixture]]
name = "strip"
universe = 1
address = 1
layout = { strip = 200 }
channels = [ { name = "red", formula = "index / 2" }, { name = "green", formula = "x * 100" },
             { name = "blue", formula = "100" } ]
)toml");
    ASSERT_TRUE(loaded.problems.empty()) << loaded.problems.text();
    ASSERT_EQ(loaded.universes.size(), 2u);
    const auto& first = loaded.universes[0];
    const auto& second = loaded.universes[1];
    EXPECT_EQ(first[507], slotOf(169 / 2.0)) << "pixel 170 ends the first universe";
    EXPECT_EQ(first[509], slotOf(100));
    EXPECT_EQ(first[510], 0) << "no pixel is split across universes";
    EXPECT_EQ(first[511], 0);
    EXPECT_EQ(second[0], slotOf(170 / 2.0)) << "pixel 171 begins the second universe";
    EXPECT_EQ(second[1], slotOf(170.0 / 199.0 * 100));
    EXPECT_EQ(second[3 * 29], slotOf(199 / 2.0)) << "the last pixel";
    EXPECT_EQ(second[3 * 30], 0);
}

TEST(PixelMaps, LayoutsThatCannotBeFollowedAreRefusedWithTheirLine)
{
    struct Case {
        const char* fixture;
        const char* problem;
    };
    const Case cases[] = {
        {"layout = { strip = 200 }", "continues in universe 2, which no output sends"},
        {"layout = { grid = [4, 4] }\ncount = 15", "'count' is 15 but the layout has 16"},
        {"layout = { grid = [4] }", "grid = [WIDTH, HEIGHT]"},
        {"layout = { grid = [4, 4], start = \"middle\" }", "unknown start 'middle'"},
        {"layout = { strip = 10, grid = [2, 5] }", "one of strip, grid"},
        {"layout = { ring = 10 }", "'ring'"},
        {"positions = \"missing.csv\"", "missing.csv"},
        {"positions = \"p.csv\"\nlayout = { strip = 3 }", "either 'layout' or 'positions'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        PixelShow loaded(outputs({1}) + "[[fixture]]\nname = \"pixels\"\nuniverse = 1\naddress = 1\n" + c.fixture +
                         "\nchannels = [ { name = \"red\", formula = \"x * 100\" }, { name = \"green\", formula = \"0\" },"
                         " { name = \"blue\", formula = \"0\" } ]\n");
        EXPECT_NE(loaded.problems.text().find(c.problem), std::string::npos) << loaded.problems.text();
        EXPECT_NE(loaded.problems.text().find("pixels.toml:"), std::string::npos) << loaded.problems.text();
    }
}

// A controller's port often takes fewer pixels a universe than fit: the file gives the spans, and
// each pixel lands where its span says, its place along the strip unchanged.
TEST(PixelMaps, SpansPutEachRunOfPixelsWhereTheFileSays)
{
    PixelShow loaded(outputs({1, 3}) + R"toml(
[[fixture]]
name = "strip"
spans = [ { universe = 1, address = 4, count = 150 }, { universe = 3, address = 100, count = 50 } ]
layout = { strip = 200 }
channels = [ { name = "red", formula = "index / 2" }, { name = "green", formula = "x * 100" },
             { name = "blue", formula = "100" } ]
)toml");
    ASSERT_TRUE(loaded.problems.empty()) << loaded.problems.text();
    ASSERT_EQ(loaded.universes.size(), 2u);
    const auto& first = loaded.universes[0];
    const auto& third = loaded.universes[1];
    EXPECT_EQ(first[2], 0) << "the first span begins at slot 4";
    EXPECT_EQ(first[3 + 3 * 149 + 2], slotOf(100)) << "pixel 150 ends the first span";
    EXPECT_EQ(first[3 + 3 * 150 + 2], 0) << "pixel 151 is not in universe 1";
    EXPECT_EQ(third[98], 0);
    EXPECT_EQ(third[99], slotOf(150 / 2.0)) << "pixel 151 begins the second span at slot 100";
    EXPECT_EQ(third[100], slotOf(150.0 / 199.0 * 100));
    EXPECT_EQ(third[99 + 3 * 49], slotOf(199 / 2.0)) << "the last pixel";
    EXPECT_EQ(third[99 + 3 * 50], 0);
}

TEST(PixelMaps, SpansThatCannotBeFollowedAreRefusedWithTheirLine)
{
    struct Case {
        const char* fixture;
        const char* problem;
    };
    const Case cases[] = {
        {"spans = [ { universe = 1, count = 10 }, { universe = 2, count = 5 } ]\nlayout = { strip = 16 }",
         "the spans hold 15 fixtures but the group has 16"},
        {"spans = [ { universe = 1, address = 500, count = 10 } ]", "needs slot 513 of universe 1"},
        {"spans = [ { universe = 1, count = 4 }, { universe = 5, count = 4 } ]",
         "continues in universe 5, which no output sends"},
        {"spans = [ { universe = 1, count = 4 } ]\nuniverse = 1", "either 'universe' and 'address' or 'spans'"},
        {"spans = [ { universe = 1 } ]", "span 1: missing 'count'"},
        {"spans = [ { universe = 1, count = 4, slot = 3 } ]", "span 1: unknown key 'slot'"},
        {"spans = [ 4 ]", "span 1: must be a table"},
        {"spans = [ ]", "'spans' must be a list"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        PixelShow loaded(outputs({1, 2}) + "[[fixture]]\nname = \"pixels\"\n" + c.fixture +
                         "\nchannels = [ { name = \"red\", formula = \"index\" }, { name = \"green\", formula = \"0\" },"
                         " { name = \"blue\", formula = \"0\" } ]\n");
        EXPECT_NE(loaded.problems.text().find(c.problem), std::string::npos) << loaded.problems.text();
        EXPECT_NE(loaded.problems.text().find("pixels.toml:"), std::string::npos) << loaded.problems.text();
    }
}
