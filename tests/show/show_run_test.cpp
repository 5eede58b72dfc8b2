// Runs `zrsignal run --print csv` on show files: the slot rows it prints, and the show files it
// refuses with every problem listed and nothing printed. No network is used.
#include <gtest/gtest.h>

#include <map>

#include "show_test_support.h"

using namespace showtest;

namespace {

RunResult runShow(const std::string& showText, std::vector<std::string> options,
                  const std::string& directory = scratchDirectory())
{
    writeFile(directory + "/show.toml", showText);
    std::vector<std::string> command{ZRSIGNAL_PROGRAM, "run", directory + "/show.toml", "--print", "csv"};
    // The simulated clock unless the test asks for another.
    if (std::find(options.begin(), options.end(), "--clock") == options.end())
        options.insert(options.begin(), {"--clock", "sim"});
    command.insert(command.end(), options.begin(), options.end());
    return run(command, directory);
}

const std::string TWO_UNIVERSES = R"toml(
fps = 40
[[output]]
universe = 9
protocol = "sacn"
address = "10.77.0.1"
[[output]]
universe = 5
protocol = "artnet"
address = "10.77.0.1"
[[output]]
universe = 2
protocol = "ola"
[[fixture]]
name = "dim"
universe = 5
address = 10
count = 2
channels = [ { name = "level", formula = "index * 50 + 25 + count" } ]
[[fixture]]
name = "pan"
universe = 2
address = 511
channels = [ { name = "pan", formula = "50", width = 16 } ]
[[fixture]]
name = "hold"
universe = 2
address = 1
channels = [ { name = "v", formula = "if(counter(0, 10, 1) < 3, counter(0, 10, 1) * 10, NaN)" } ]
)toml";

TEST(ShowRun, CsvRowsPerFrameAndUniverse)
{
    const RunResult result = runShow(TWO_UNIVERSES, {"--frames", "4"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.out.starts_with("frame,universe,slot1,slot2,"));
    EXPECT_NE(result.out.find(",slot512\n"), std::string::npos);
    const auto rows = csvRows(result.out);
    ASSERT_EQ(rows.size(), 12u);
    const int held[] = {level8(10), level8(20), level8(20), level8(20)}; // NaN from frame 2 on
    for (int frame = 0; frame < 4; ++frame) {
        for (int u = 0; u < 3; ++u) {
            const auto& row = rows[frame * 3 + u];
            ASSERT_EQ(row.size(), 514u);
            EXPECT_EQ(row[0], frame);
            EXPECT_EQ(row[1], std::vector<int>({2, 5, 9})[u]) << "universes in ascending order";
        }
        std::vector<int> two(514, 0), five(514, 0), nine(514, 0);
        two[0] = five[0] = nine[0] = frame;
        two[1] = 2, five[1] = 5, nine[1] = 9;
        two[2 + 0] = held[frame];
        two[2 + 510] = 0x80, two[2 + 511] = 0x00; // coarse at 511, fine at 512
        five[2 + 9] = level8(27), five[2 + 10] = level8(77);
        EXPECT_EQ(rows[frame * 3], two) << "frame " << frame;
        EXPECT_EQ(rows[frame * 3 + 1], five) << "frame " << frame;
        EXPECT_EQ(rows[frame * 3 + 2], nine) << "frame " << frame;
    }
    EXPECT_NE(result.err.find("4 frames"), std::string::npos) << result.err;
}

const std::string LEVEL_SHOW = R"toml(
[variables]
level = 50
[[output]]
universe = 1
protocol = "sacn"
address = "10.77.0.1"
[[fixture]]
name = "a"
universe = 1
address = 1
channels = [ { name = "v", formula = "level" } ]
)toml";

TEST(ShowRun, InputFileFeedsAShowVariable)
{
    const std::string directory = scratchDirectory();
    writeFile(directory + "/levels.csv", "level\n10\n\n90\n");
    const RunResult result = runShow(LEVEL_SHOW, {"--frames", "3", "--input", directory + "/levels.csv"}, directory);
    ASSERT_EQ(result.status, 0) << result.err;
    const auto rows = csvRows(result.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][2], level8(10));
    EXPECT_EQ(rows[1][2], level8(90));
    EXPECT_EQ(rows[2][2], level8(90)) << "after the last row its values stay";

    // A column that names no variable of the show would be read by nothing: a misspelling.
    writeFile(directory + "/typo.csv", "level,levle\n10,20\n");
    const RunResult typo = runShow(LEVEL_SHOW, {"--frames", "3", "--input", directory + "/typo.csv"}, directory);
    EXPECT_EQ(typo.status, 1);
    EXPECT_NE(typo.err.find("typo.csv: column 'levle' is no [variables] entry of the show"), std::string::npos)
        << typo.err;
}

// A valid show with one line replaced.
std::string showWith(const std::string& from, const std::string& to)
{
    std::string text = R"toml(fps = 40
[macros]
"twice(x)" = "x * 2"
[[output]]
universe = 1
protocol = "sacn"
address = "10.77.0.1"
[[fixture]]
name = "pars"
universe = 1
address = 1
count = 4
channels = [
  { name = "dimmer", formula = "twice(25)" },
  { name = "pan", formula = "50", width = 16 },
]
)toml";
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

TEST(ShowRun, RefusedShowsNameFileLineAndProblemAndPrintNothing)
{
    struct Case {
        std::string show;
        std::string expected;
    };
    const Case cases[] = {
        {showWith("address = 1\n", "address = 502\n"),
         "show.toml:15: fixture 'pars' #3 channel 'pan' needs slot 513 of universe 1, beyond the last slot, 512"},
        {showWith("", "") + "[[fixture]]\nname = \"head\"\nuniverse = 1\naddress = 12\n"
                            "channels = [ { name = \"tilt\", formula = \"1\" } ]\n",
         "show.toml:21: slot 12 of universe 1 has two channels: fixture 'pars' #3 channel 'pan' and fixture 'head' "
         "channel 'tilt'"},
        {showWith("\"sacn\"", "\"dmx\""), "show.toml:6: output for universe 1: unknown protocol 'dmx'"},
        {showWith("formula = \"50\"", "formula = \"50 + foo(1)\""),
         "show.toml:15: fixture 'pars' channel 'pan': the formula is refused\n"
         "ZRPARSINGEXCEP_UndefinedFunc: Undefined function: 'foo'\n50 + foo(1)\n     ^\n"},
        {showWith("\"x * 2\"", "\"x * \""), "show.toml:3: macro 'twice(x)' is refused\n"},
        {showWith("count = 4", "count = \"4\""), "show.toml:12: fixture 'pars': 'count' must be an integer, not a string"},
        {showWith("width = 16", "width = 12"), "show.toml:15: fixture 'pars' channel 'pan': 'width' must be 8 or 16"},
        {showWith("address = 1\n", "adress = 1\n"), "show.toml:11: fixture 'pars': unknown key 'adress'"},
        {showWith("universe = 1\naddress", "universe = 2\naddress"), "fixture 'pars': no [[output]] sends universe 2"},
        {showWith("[[fixture]]", "[[fixture]\n"), "show.toml:8:11: "},
        {showWith("formula = \"50\"", "formula = \"50"), "show.toml:15:47: "},
        {showWith("formula = \"50\"", "formula = \"50"), "is a closing quote missing?"},
        {showWith("formula = \"50\"", "formula = \"  \""), "show.toml:15: fixture 'pars' channel 'pan': the formula is empty"},
        {showWith("fps = 40", "fps = 10000"), "show.toml:1: show: 'fps' must be more than 0 and at most 200, not 10000"},
        {"# nothing yet\n", "show.toml: the show file is empty: it needs an [[output]] and a [[fixture]]"},
        // Macros are defined in file order: one may use the macros written above it, not below.
        {showWith("\"twice(x)\" = \"x * 2\"", "\"twice(x)\" = \"x * 2\"\n\"a(x)\" = \"twice(x) + b(x)\"\n\"b(x)\" = \"x\""),
         "show.toml:4: macro 'a(x)' is refused\nZRPARSINGEXCEP_UndefinedFunc: Undefined function: 'b'"},
    };
    for (const Case& c : cases) {
        const RunResult result = runShow(c.show, {"--frames", "2"});
        EXPECT_EQ(result.status, 1) << c.expected;
        EXPECT_EQ(result.out, "") << c.expected;
        EXPECT_NE(result.err.find(c.expected), std::string::npos) << "expected: " << c.expected << "\ngot:\n" << result.err;
        EXPECT_NE(result.err.find("nothing was sent"), std::string::npos) << result.err;
    }
}

// A macro may use the macros written above it, whatever their names.
TEST(ShowRun, MacrosAreDefinedInFileOrder)
{
    std::string show = showWith("\"twice(x)\" = \"x * 2\"",
                                "\"tick(x)\" = \"x * 3\"\n\"chase(x)\" = \"tick(x) + 1\"\n\"twice(x)\" = \"x * 2\"");
    show.replace(show.find("twice(25)"), 9, "chase(10)");
    const RunResult result = runShow(show, {"--frames", "1"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(csvRows(result.out).at(0).at(2), level8(31));
}

TEST(ShowRun, EveryProblemOfAFileIsListed)
{
    std::string show = showWith("\"sacn\"", "\"dmx\"");
    show.replace(show.find("twice(25)"), 9, "twice(");
    show.replace(show.find("width = 16"), 10, "width = 4");
    const RunResult result = runShow(show + "[[fixture]]\nname = \"pars\"\nuniverse = 1\naddress = 100\n"
                                            "channels = [ { name = \"x\", formula = \"1\" } ]\n",
                                     {});
    EXPECT_EQ(result.status, 1);
    for (const char* expected : {"show.toml:6: output for universe 1: unknown protocol", "show.toml:14: fixture 'pars' "
                                 "channel 'dimmer': the formula is refused", "show.toml:15: fixture 'pars' channel 'pan': "
                                 "'width' is 4", "show.toml:17: a second fixture named 'pars'", "refused with 4 problems"})
        EXPECT_NE(result.err.find(expected), std::string::npos) << expected << " in\n" << result.err;
}

TEST(ShowRun, ShowsThatAreNoFileAreRefused)
{
    const std::string directory = scratchDirectory();
    const std::pair<std::string, std::string> cases[] = {
        {"/nonexistent/show.toml", "/nonexistent/show.toml: cannot open"},
        {directory, directory + ": is a directory, not a show file"},
    };
    for (const auto& [path, expected] : cases) {
        const RunResult result = run({ZRSIGNAL_PROGRAM, "run", path, "--print", "csv"}, directory);
        EXPECT_EQ(result.status, 1) << path;
        EXPECT_EQ(result.out, "") << path;
        EXPECT_NE(result.err.find(expected), std::string::npos) << result.err;
    }
}

} // namespace

// A show whose loops count beats: at 120 beats a minute a beat is half a second, so its loops
// move on twice as soon as the same loops counting seconds.
TEST(ShowRun, LoopsInBeatsFollowTheTempo)
{
    const std::string show = R"toml(
fps = 40
[tempo]
source = "tap"
bpm = 120
loops = "LOOPS"
[[output]]
universe = 1
protocol = "artnet"
address = "10.77.0.1"
[[fixture]]
name = "looped"
universe = 1
address = 1
channels = [ { name = "v", formula = "loop(4, 0, 10, 20)" } ]
)toml";
    std::map<std::string, int> firstSwitches;
    for (const char* loops : {"beats", "seconds"}) {
        std::string text = show;
        text.replace(text.find("LOOPS"), 5, loops);
        const RunResult result = runShow(text, {"--frames", "120"});
        ASSERT_EQ(result.status, 0) << result.err;
        const auto rows = csvRows(result.out);
        ASSERT_EQ(rows.size(), 120u);
        int firstSwitch = -1;
        for (std::size_t frame = 1; frame < rows.size() && firstSwitch < 0; ++frame) {
            if (rows[frame][2] != rows[0][2])
                firstSwitch = static_cast<int>(frame);
        }
        EXPECT_EQ(rows[0][2], level8(10)) << loops;
        firstSwitches[loops] = firstSwitch;
    }
    EXPECT_NEAR(firstSwitches["beats"] * 2, firstSwitches["seconds"], 2)
        << "in beats " << firstSwitches["beats"] << ", in seconds " << firstSwitches["seconds"];
    EXPECT_GT(firstSwitches["beats"], 30);
    const RunResult untimed = runShow(R"toml(
[tempo]
source = "audio"
loops = "beats"
)toml", {"--frames", "1"});
    EXPECT_EQ(untimed.status, 1);
}

// One instant a frame: with the real clock, a timer in the first universe and one in the last,
// thousands of formulas apart, read the same millisecond in every frame.
TEST(ShowRun, EveryFormulaOfAFrameReadsTheSameInstant)
{
    std::string show = "fps = 40\n";
    const auto timerFixture = [](const std::string& name, int universe) {
        return "[[fixture]]\nname = \"" + name + "\"\nuniverse = " + std::to_string(universe) +
               "\naddress = 1\nchannels = [ { name = \"ms\", formula = \"(timer(0) * 1000) % 1000 / 10\", width = 16 } ]\n";
    };
    constexpr int UNIVERSES = 32;
    for (int universe = 1; universe <= UNIVERSES; ++universe)
        show += "[[output]]\nuniverse = " + std::to_string(universe) + "\nprotocol = \"artnet\"\naddress = \"10.77.0.1\"\n";
    show += timerFixture("first", 1);
    for (int universe = 2; universe < UNIVERSES; ++universe) {
        show += "[[fixture]]\nname = \"pixels" + std::to_string(universe) + "\"\nuniverse = " + std::to_string(universe) +
                "\naddress = 1\ncount = 170\nchannels = [ { name = \"red\", formula = \"rgb.red.hsi((timer(0) * 10 + "
                "index) % 100, 100, 50)\" }, { name = \"green\", formula = \"rgb.green.hsi((timer(0) * 10 + index) % "
                "100, 100, 50)\" }, { name = \"blue\", formula = \"rgb.blue.hsi((timer(0) * 10 + index) % 100, 100, 50)\" } ]\n";
    }
    show += timerFixture("last", UNIVERSES);
    const RunResult result = runShow(show, {"--clock", "real", "--frames", "40"});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto rows = csvRows(result.out);
    ASSERT_EQ(rows.size(), 40u * UNIVERSES);
    for (std::size_t frame = 0; frame < 40; ++frame) {
        const auto& first = rows[frame * UNIVERSES];
        const auto& last = rows[frame * UNIVERSES + UNIVERSES - 1];
        EXPECT_EQ(first[2] * 256 + first[3], last[2] * 256 + last[3]) << "frame " << frame;
    }
}
