// Runs the real zrsignal program: its outputs, exit statuses, error reports and input files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// A scratch directory per test, so tests can run in parallel.
std::string scratchPath(const std::string& name)
{
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string path = std::string("zrsignal_") + test->test_suite_name() + "_" + test->name() + "_" + name;
    std::replace(path.begin(), path.end(), '/', '_');
    return testing::TempDir() + path;
}

// Runs `program` with `args`, capturing stdout and stderr in files.
RunResult runProgram(const char* program, const std::vector<std::string>& args)
{
    const std::string outPath = scratchPath("stdout");
    const std::string errPath = scratchPath("stderr");
    std::vector<char*> argv{const_cast<char*>(program)};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    RunResult result;
    if (posix_spawn(&pid, program, &actions, nullptr, argv.data(), environ) == 0) {
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

RunResult zrsignal(const std::vector<std::string>& args)
{
    return runProgram(ZRSIGNAL_PROGRAM, args);
}

std::size_t occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::vector<double> numbers(const std::string& lines)
{
    std::vector<double> values;
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);)
        values.push_back(std::stod(line));
    return values;
}

// A mono 16-bit WAV: `seconds` of a 1 kHz sine at `amplitude` (of full scale), sampled at 8 kHz.
std::string sineWav(double amplitude, double seconds)
{
    const std::uint32_t rate = 8000;
    const auto count = static_cast<std::uint32_t>(seconds * rate);
    std::string wav;
    auto put = [&wav](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            wav.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    wav += "RIFF";
    put(36 + count * 2, 4);
    wav += "WAVEfmt ";
    put(16, 4);
    put(1, 2);        // PCM
    put(1, 2);        // mono
    put(rate, 4);
    put(rate * 2, 4); // bytes per second
    put(2, 2);        // bytes per sample
    put(16, 2);
    wav += "data";
    put(count * 2, 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        const double s = amplitude * std::sin(2.0 * 3.141592653589793 * 1000.0 * i / rate + 0.3);
        put(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(s * 32767.0))), 2);
    }
    return wav;
}

std::string commandLine(const std::vector<std::string>& args)
{
    std::string line = "zrsignal";
    for (const std::string& arg : args)
        line += " '" + arg + "'";
    return line;
}

struct OutputCase {
    std::vector<std::string> args;
    std::string expected;
};

void PrintTo(const OutputCase& c, std::ostream* os)
{
    *os << commandLine(c.args);
}

class OutputFormats : public testing::TestWithParam<OutputCase> {};

TEST_P(OutputFormats, PrintEveryFrameInTheAskedFormat)
{
    const RunResult run = zrsignal(GetParam().args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, GetParam().expected);
    EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    Eval, OutputFormats,
    testing::Values(
        OutputCase{{"eval", "--frames", "3", "counter(0, 2, 1) / 4"}, "0.25\n0.5\n0\n"},
        OutputCase{{"eval", "--frames", "3", "--format", "csv", "counter(0, 2, 1) / 4"},
                   "frame,value\n0,0.25\n1,0.5\n2,0\n"},
        OutputCase{{"eval", "--frames", "3", "--format", "json", "counter(0, 2, 1) / 4"},
                   "{\"expression\":\"counter(0, 2, 1) / 4\",\"fps\":40,\"values\":[0.25,0.5,0]}\n"},
        OutputCase{{"eval", "--frames", "0", "--format", "json", "1"},
                   "{\"expression\":\"1\",\"fps\":40,\"values\":[]}\n"},
        // Shortest text that reads back to the same double.
        OutputCase{{"eval", "0.1 + 0.2"}, "0.30000000000000004\n"},
        OutputCase{{"eval", "10 ^ 22"}, "1e+22\n"},
        OutputCase{{"eval", "--format", "json", "--var", "x=0", "-1 / x"},
                   "{\"expression\":\"-1 / x\",\"fps\":40,\"values\":[\"-inf\"]}\n"},
        OutputCase{{"eval", "--format", "csv", "NaN"}, "frame,value\n0,nan\n"},
        // The frame's time step (loop durations are in seconds) and the simulated clock follow --fps.
        OutputCase{{"eval", "--fps", "50", "__timeInc()"}, "0.1256637061435918\n"},
        OutputCase{{"eval", "--fps", "2", "--frames", "6", "loop(4, 1, 10, 20)"}, "10\n10\n10\n10\n15\n20\n"},
        OutputCase{{"eval", "--fps", "4", "--frames", "4", "timer(0)"}, "0\n0.25\n0.5\n0.75\n"},
        OutputCase{{"eval", "--fps", "30", "--frames", "4", "timer(0)"}, "0\n0.033\n0.066\n0.1\n"},
        OutputCase{{"check", "2 * 3"}, "constant 6\n"},
        OutputCase{{"check", "--var", "x=2", "x * 3"}, "ok\n"},
        OutputCase{{"check", "--const", "k=2", "--macro", "twok(a)=2*k", "twok(1) + 1"}, "constant 5\n"}));

struct FailureCase {
    std::vector<std::string> args;
    std::string expectedErr;
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << commandLine(c.args);
}

class LibraryFailures : public testing::TestWithParam<FailureCase> {};

TEST_P(LibraryFailures, ListTheChainThenCaretAndExitWithTwo)
{
    const RunResult run = zrsignal(GetParam().args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, GetParam().expectedErr);
}

INSTANTIATE_TEST_SUITE_P(
    CompileAndDefine, LibraryFailures,
    testing::Values(
        FailureCase{{"eval", "1 + foo(2)"}, "ZRPARSINGEXCEP_UndefinedFunc: Undefined function: 'foo'\n1 + foo(2)\n    ^\n"},
        FailureCase{{"check", "level * 2"}, "ZRPARSINGEXCEP_UndefinedVar: Undefined variable: 'level'\nlevel * 2\n^\n"},
        FailureCase{{"eval", "--frames", "5", "1 + (2"},
                    "ZRPARSINGEXCEP_MissingCloseBracket: Missing closing bracket to match opening bracket\n1 + (2\n    ^\n"},
        // A function that compiles its own arguments adds its context as the first entry.
        FailureCase{{"eval", "1 + if(1, 2+, 3)"},
                    "ZRPARSINGEXCEP_InvalidFuncSyntax: Invalid function argument syntax. Function name: 'if', argument 2\n"
                    "ZRPARSINGEXCEP_UnexpectedOp: Unexpected operator\n"
                    "1 + if(1, 2+, 3)\n      ^\n"},
        FailureCase{{"plot", "--output", "unused.svg", "1", "--expr", "counter(1)"},
                    "ZRPARSINGEXCEP_OverloadedFuncNotFound: Invalid number of arguments for function 'counter'\n"
                    "counter(1)\n^\n"},
        FailureCase{{"eval", "--const", "NaN=3", "1"},
                    "ZRDEFEXCEP_ConstAlreadyDefined: Constant already defined: 'NaN'\nNaN=3\n"},
        FailureCase{{"eval", "--var", "x=1", "--var", "x=2", "x"},
                    "ZRDEFEXCEP_VarAlreadyDefined: Variable already defined: 'x'\nx=2\n"},
        // Positions count characters, not UTF-8 bytes.
        FailureCase{{"eval", "\u00e9\u00e8 * (\u00e9"},
                    "ZRPARSINGEXCEP_UndefinedVar: Undefined variable: '\u00e9\u00e8'\n\u00e9\u00e8 * (\u00e9\n^\n"},
        FailureCase{{"eval", "2 * (\u00e9"},
                    "ZRPARSINGEXCEP_UndefinedVar: Undefined variable: '\u00e9'\n2 * (\u00e9\n     ^\n"},
        // The caret of a macro body error points into the body, after the prototype.
        FailureCase{{"eval", "--macro", "f(a)=a+", "f(1)"},
                    "ZRPARSINGEXCEP_UnexpectedOp: Unexpected operator\nf(a)=a+\n      ^\n"}));

TEST(UsageErrors, ExitWithOneAndPrintNothingOnStdout)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"eval"},
        {"eval", "--frames", "-3", "1"},
        {"eval", "--fps", "0", "1"},
        {"eval", "--var", "x=abc", "x"},
        {"eval", "--clock", "sometimes", "1"},
        {"eval", "--format", "xml", "1"},
        {"plot", "1"},
    };
    for (const auto& args : cases) {
        const RunResult run = zrsignal(args);
        EXPECT_EQ(run.status, 1) << commandLine(args);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err, "");
    }
}

TEST(CsvInput, RowsFeedFramesEmptyCellsKeepValuesAndTheLastRowStays)
{
    const std::string csv = scratchPath("in.csv");
    writeFile(csv, "a, b\r\n1,2\r\n,5\r\n\r\n7,\r\n");
    EXPECT_EQ(zrsignal({"eval", "--input", csv, "a * 10 + b"}).out, "12\n15\n75\n");
    EXPECT_EQ(zrsignal({"eval", "--input", csv, "--frames", "5", "a * 10 + b"}).out, "12\n15\n75\n75\n75\n");

    writeFile(csv, "v\nnan\ninf\n-inf\n+0.5\n");
    EXPECT_EQ(zrsignal({"eval", "--input", csv, "--format", "json", "v"}).out,
              "{\"expression\":\"v\",\"fps\":40,\"values\":[\"nan\",\"inf\",\"-inf\",0.5]}\n");
}

TEST(CsvInput, BadFilesNameFileLineAndColumn)
{
    const std::string csv = scratchPath("bad.csv");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a,b\n1,2\n3\n", ":3:2: row has 1 cells, the header names 2"},
        {"a,b\n1,2\n3,4,5\n", ":3:5: row has 3 cells, the header names 2"},
        {"a,b\n1,2\n3, x1\n", ":3:4: not a number: 'x1'"},
        {"a,,b\n", ":1:3: empty variable name"},
        {"a,b,a\n", ":1:5: variable 'a' already named in column 1"},
        {"", ":1:1: the first row must name the variables"},
    };
    for (const auto& [content, message] : cases) {
        writeFile(csv, content);
        const RunResult run = zrsignal({"eval", "--input", csv, "1"});
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "zrsignal: " + csv + message + "\n");
    }
    const RunResult missing = zrsignal({"eval", "--input", csv + ".missing", "1"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find(csv + ".missing: cannot open"), std::string::npos) << missing.err;
}

TEST(AudioInput, LevelIsTheFrameRmsScaledSoAFullScaleSineReadsOneHundred)
{
    const std::string wav = scratchPath("sine.wav");
    writeFile(wav, sineWav(1.0, 1.0));
    const std::vector<double> full = numbers(zrsignal({"eval", "--audio", wav, "level"}).out);
    ASSERT_EQ(full.size(), 40u); // one second at the default 40 fps
    for (double level : full)
        EXPECT_NEAR(level, 100.0, 0.01);

    writeFile(wav, sineWav(0.25, 1.0));
    // 8000 / 30 samples per frame: 30 frames, the last one partial; after the end, silence.
    const std::vector<double> quarter = numbers(zrsignal({"eval", "--audio", wav, "--fps", "30", "level"}).out);
    ASSERT_EQ(quarter.size(), 30u);
    EXPECT_NEAR(quarter[0], 25.0, 0.05);
    EXPECT_NEAR(quarter[29], 25.0, 0.05);
    EXPECT_EQ(numbers(zrsignal({"eval", "--audio", wav, "--frames", "42", "level"}).out).back(), 0.0);

    writeFile(wav, "not audio");
    const RunResult bad = zrsignal({"eval", "--audio", wav, "level"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find(wav + ": cannot read audio"), std::string::npos) << bad.err;
}

TEST(DemoDrumLoop, CounterOnBeatsStepsOnEveryKick)
{
    const std::string wav = scratchPath("drumloop.wav");
    ASSERT_EQ(runProgram(MAKE_DRUMLOOP_PROGRAM, {wav}).status, 0);
    const std::vector<double> pulses = numbers(zrsignal({"eval", "--audio", wav, "onbeat(level)"}).out);
    ASSERT_EQ(pulses.size(), 640u); // 16 s at 40 fps
    for (std::size_t frame = 0; frame < pulses.size(); ++frame)
        EXPECT_EQ(pulses[frame], frame % 20 == 0 ? 100.0 : 0.0) << "frame " << frame;

    const std::vector<double> steps = numbers(zrsignal({"eval", "--audio", wav, "counter(0, 7, onbeat(level))"}).out);
    ASSERT_EQ(steps.size(), 640u);
    for (std::size_t frame = 0; frame < steps.size(); ++frame)
        EXPECT_EQ(steps[frame], static_cast<double>((frame / 20 + 1) % 8)) << "frame " << frame;
}

TEST(Clock, RealClockPacesFramesAtTheFrameRate)
{
    const std::vector<double> seconds =
        numbers(zrsignal({"eval", "--clock", "real", "--fps", "20", "--frames", "5", "timer(0)"}).out);
    ASSERT_EQ(seconds.size(), 5u);
    EXPECT_GE(seconds.back(), 0.19);
    EXPECT_LT(seconds.back(), 2.0);
}

TEST(Seed, SameSeedGivesTheSameRandomValues)
{
    const std::vector<std::string> args = {"eval", "--seed", "7", "--frames", "5", "rand() + randint(0, 9)"};
    const RunResult first = zrsignal(args);
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.out, zrsignal(args).out);
}

TEST(List, RowsFollowTheCatalogueOrderInTextAndJson)
{
    const RunResult text = zrsignal({"list"});
    ASSERT_EQ(text.status, 0);
    std::istringstream rows(text.out);
    int index = 0;
    for (std::string row; std::getline(rows, row); ++index) {
        EXPECT_TRUE(row.starts_with(std::to_string(index) + "\t")) << row;
        EXPECT_EQ(std::count(row.begin(), row.end(), '\t'), 7) << row;
    }
    EXPECT_GE(index, 96);
    EXPECT_NE(text.out.find("\tdistance\tdistance3d\tdistance(x1,y1,[z1], x2,y2,[z2])\t6\ttrue\ttrue\t"
                            "The distance between two points in 2D or 3D\n"),
              std::string::npos);

    const RunResult json = zrsignal({"list", "--json"});
    ASSERT_EQ(json.status, 0);
    EXPECT_TRUE(json.out.starts_with("[\n  {\"index\":0,\"symbol\":"));
    EXPECT_TRUE(json.out.ends_with("}\n]\n"));
    EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), index + 2);
    EXPECT_NE(json.out.find("\"symbol\":\"motor.pan\",\"id\":\"motor.pan\",\"help\":\"motor.pan(gotoDegrees, "
                            "motorMaxDegrees)\",\"args\":2,\"constant\":false,\"shareable\":false,"),
              std::string::npos);

    const RunResult all = zrsignal({"list", "--all"});
    EXPECT_NE(all.out.find("\t+\tunaryAdd\t+x\t1\ttrue\ttrue\tUnary addition operator\toperator\n"), std::string::npos);
    EXPECT_NE(all.out.find("\tif\tif\t"), std::string::npos);
}

TEST(Plot, DrawsOneCurvePerExpressionWithTitleLegendAndGaps)
{
    const std::string svg = scratchPath("plot.svg");
    const std::string csv = scratchPath("gap.csv");
    writeFile(csv, "v\n1\n2\nnan\n4\n5\n");
    const RunResult run = zrsignal({"plot", "--input", csv, "--output", svg, "v", "--expr", "v < 3"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const std::string picture = readFile(svg);
    EXPECT_TRUE(picture.starts_with("<?xml")) << picture.substr(0, 100);
    EXPECT_TRUE(picture.ends_with("</svg>\n"));
    EXPECT_NE(picture.find(">v | v &lt; 3</text>"), std::string::npos);  // title
    EXPECT_NE(picture.find(">v &lt; 3</text>"), std::string::npos);      // legend
    // v breaks at its NaN into two pieces; the comparison is 0 there and stays whole.
    EXPECT_EQ(occurrences(picture, "<polyline"), 3u);
}

TEST(Plot, LongRunsAreThinnedToThePictureWidth)
{
    const std::string svg = scratchPath("long.svg");
    ASSERT_EQ(zrsignal({"plot", "--frames", "200000", "--output", svg, "__sin(0.01)"}).status, 0);
    const std::string picture = readFile(svg);
    EXPECT_EQ(occurrences(picture, "<polyline"), 1u);
    EXPECT_LT(picture.size(), 100000u);
}

} // namespace

namespace {

TEST(Plugins, ModulesAndInfoFileDirectoriesLoadOrReportTheirFailure)
{
    // The module defines "twice" and "thrice", then conflicts on "abs".
    RunResult run = zrsignal({"eval", "--plugin", CONFLICTING_PLUGIN_MODULE, "1"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("ZRDEFEXCEP_PluginDefConflict: The plug-in cannot be loaded because of a conflict", 0), 0u)
        << run.err;
    EXPECT_NE(run.err.find("\nZRDEFEXCEP_FuncAlreadyDefined: Function already defined: 'abs'\n"), std::string::npos);

    run = zrsignal({"eval", "--plugin", OLD_PLUGIN_MODULE, "1"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Requested version: 16U.  Plug-in version: 15U"), std::string::npos) << run.err;

    run = zrsignal({"eval", "--plugin", "No.Such.Plugin", "1"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "ZRDEFEXCEP_PluginNotFound: The plug-in cannot be found.  Make sure the plug-in is properly "
                       "registered. CLSID = No.Such.Plugin\nNo.Such.Plugin\n");

    const std::string dir = scratchPath("plugin-dir");
    std::filesystem::create_directories(dir + "/sub");
    writeFile(dir + "/sub/broken.xml", "<library><type>plugin</type>");
    run = zrsignal({"eval", "--plugin-dir", dir, "1"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "ZRLOCEXCEP_InfoFileOpenFailed: Unable to OPEN the library info file: '" + dir +
                           "/sub/broken.xml'. Make sure the file exists and that the schema and xml syntax are "
                           "valids.\n" +
                           dir + "\n");
    std::filesystem::remove(dir + "/sub/broken.xml");
    run = zrsignal({"eval", "--plugin-dir", dir, "--pattern", "*.xml", "2"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "2\n");
}

} // namespace
