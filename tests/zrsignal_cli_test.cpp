// Runs the real zrsignal program: its outputs, exit statuses, error reports and input files.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>

#include <locale.h>

#include "show/show_test_support.h"
#include "zrparser/ZrParser.h"
#include "zrparser/ZrUtf8.h"
#include "zrsignal/CSignalPlugin.h"

namespace {

using showtest::readFile;
using showtest::RunResult;
using showtest::writeFile;

// A file of the current test's own scratch directory.
std::string scratchPath(const std::string& name)
{
    return showtest::scratchDirectory() + "/" + name;
}

// Runs `command` to its end; `environment` adds NAME=VALUE settings to this process's.
RunResult runProgram(const std::vector<std::string>& command, const std::vector<std::string>& environment = {})
{
    showtest::Child child(command, scratchPath("stdout"), scratchPath("stderr"), environment);
    const int status = child.wait();
    return {status, child.out(), child.err()};
}

RunResult zrsignal(const std::vector<std::string>& args, const std::vector<std::string>& environment = {})
{
    std::vector<std::string> command{ZRSIGNAL_PROGRAM};
    command.insert(command.end(), args.begin(), args.end());
    return runProgram(command, environment);
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

// A mono 16-bit WAV of `seconds` at `rate` samples a second; `sample(t)` gives each sample at t
// seconds, clipped to full scale.
std::string wavFile(double seconds, const std::function<double(double)>& sample, std::uint32_t rate = 8000)
{
    const auto count = static_cast<std::uint32_t>(seconds * rate);
    std::string wav;
    auto put = [&wav](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            wav.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    wav += "RIFF";
    put(36 + count * 2, 4);
    wav += "WAVEfmt ";
    for (auto [value, bytes] : {std::pair{16u, 4}, {1u, 2}, {1u, 2}, {rate, 4}, {rate * 2, 4}, {2u, 2}, {16u, 2}})
        put(value, bytes); // PCM, mono, rate, bytes per second, bytes per sample, bits
    wav += "data";
    put(count * 2, 4);
    for (std::uint32_t i = 0; i < count; ++i) {
        const double s = std::clamp(sample(static_cast<double>(i) / rate), -1.0, 1.0);
        put(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(s * 32767.0))), 2);
    }
    return wav;
}

// A 1 kHz sine of the given amplitude (of full scale).
std::function<double(double)> sine(double amplitude)
{
    return [amplitude](double t) { return amplitude * std::sin(2.0 * 3.141592653589793 * 1000.0 * t + 0.3); };
}

// A drum track of parts of `beats` beats at `bpm`: a kick on every beat, a hi-hat on every
// off-beat pushed late by `swing` (of a beat), and quiet noise throughout. `kicks` receives the
// instant of every kick.
struct DrumPart {
    double bpm;
    int beats;
    double swing;
};

std::function<double(double)> drumTrack(const std::vector<DrumPart>& parts, std::vector<double>& kicks, double& length)
{
    std::vector<double> hats;
    double start = 0.0;
    for (const DrumPart& part : parts) {
        const double period = 60.0 / part.bpm;
        for (int beat = 0; beat < part.beats; ++beat) {
            kicks.push_back(start + beat * period);
            hats.push_back(start + (beat + 0.5 + part.swing) * period);
        }
        start += part.beats * period;
    }
    length = start;
    // The newest onset at or before t, or a negative distance when none is near.
    auto since = [](const std::vector<double>& onsets, double t) {
        const auto after = std::upper_bound(onsets.begin(), onsets.end(), t);
        return after == onsets.begin() ? -1.0 : t - *(after - 1);
    };
    return [kicks, hats, since](double t) {
        double value = 0.0;
        if (const double k = since(kicks, t); k >= 0 && k < 0.15) {
            const double frequency = 55.0 + 100.0 * std::exp(-k / 0.01);
            value += 0.8 * std::exp(-k / 0.04) * std::sin(2.0 * 3.141592653589793 * frequency * k);
        }
        // Noise from the sample's instant, the same at every run.
        const double noise = std::sin(t * 1.0e7) * std::cos(t * 7.3e6);
        if (const double h = since(hats, t); h >= 0 && h < 0.03)
            value += 0.2 * std::exp(-h / 0.005) * noise;
        return value + 0.03 * noise;
    };
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
        // An expression that starts with '-' and is no option is the expression.
        OutputCase{{"eval", "--var", "x=3", "-x*2"}, "-6\n"},
        OutputCase{{"eval", "--2", "--frames", "2"}, "2\n2\n"},
        OutputCase{{"eval", "-(1)"}, "-1\n"},
        OutputCase{{"eval", "--var", "x=3", "--", "-x"}, "-3\n"},
        OutputCase{{"check", "--var", "x=3", "-x"}, "ok\n"},
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
        // A tab in the expression stays in the caret line, so the caret lines up under the character.
        FailureCase{{"eval", "--var", "a\tb=1", "a\tb + foo(2)"},
                    "ZRPARSINGEXCEP_UndefinedFunc: Undefined function: 'foo'\na\tb + foo(2)\n \t    ^\n"},
        // The caret of a macro body error points into the body, after the prototype.
        FailureCase{{"eval", "--macro", "f(a)=a+", "f(1)"},
                    "ZRPARSINGEXCEP_UnexpectedOp: Unexpected operator\nf(a)=a+\n      ^\n"}));

TEST(UsageErrors, ExitWithOneAndSayWhichArgumentIsWrong)
{
    const struct {
        std::vector<std::string> args;
        const char* says; // a part of stderr
    } cases[] = {
        {{}, "A subcommand is required"},
        {{"eval"}, "EXPR is required"},
        {{"eval", "--frames", "-3", "1"}, "--frames: must not be negative"},
        {{"run", "show.toml", "--frames", "-1"}, "--frames: must not be negative"},
        {{"eval", "--fps", "0", "1"}, "zrsignal: --fps 0: the frame rate must be a positive number"},
        {{"eval", "--var", "x=abc", "x"}, "zrsignal: --var 'x=abc': the value is not a number"},
        {{"eval", "--var", "=1", "x"}, "zrsignal: --var '=1': expected NAME=VALUE"},
        {{"eval", "--const", "k", "1"}, "zrsignal: --const 'k': expected NAME=VALUE"},
        {{"eval", "--macro", "twice(a)", "1"}, "zrsignal: --macro 'twice(a)': expected PROTOTYPE=BODY"},
        {{"eval", "--clock", "sometimes", "1"}, "--clock: sometimes not in {sim,real}"},
        {{"eval", "--format", "xml", "1"}, "--format: xml not in {lines,csv,json}"},
        {{"plot", "1"}, "--output is required"},
        {{"plot", "--output", "unused.svg"}, "zrsignal: plot: give an expression"},
    };
    for (const auto& c : cases) {
        const RunResult run = zrsignal(c.args);
        EXPECT_EQ(run.status, 1) << commandLine(c.args);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.says), std::string::npos) << commandLine(c.args) << ": " << run.err;
    }
}

// After a refused formula, --hints adds what helps on, in the command line's words; without a
// terminal and without --hints, the catalogued lines stay alone.
TEST(Hints, NameTheOptionsThatDefineAVariable)
{
    const struct {
        std::vector<std::string> args;
        std::string hints; // the lines after the caret
    } cases[] = {
        {{"eval", "--hints", "speed * 2"},
         "hint: define speed with --var speed=VALUE or as a column of --input FILE.csv\n"},
        {{"eval", "--hints", "level * 2"},
         "hint: define level with --var level=VALUE, as a column of --input FILE.csv, or with --audio FILE (the "
         "loudness of the sound)\n"},
        {{"check", "--hints", "qqqq(1)"},
         "hint: no function has a name like 'qqqq'; zrsignal list WORD finds functions by name or by words of the "
         "description\n"},
        {{"eval", "speed * 2"}, ""},
    };
    for (const auto& c : cases) {
        const RunResult run = zrsignal(c.args);
        EXPECT_EQ(run.status, 2) << commandLine(c.args);
        const auto caret = run.err.find("^\n");
        ASSERT_NE(caret, std::string::npos) << run.err;
        EXPECT_EQ(run.err.substr(caret + 2), c.hints) << commandLine(c.args);
    }
}

TEST(UsageErrors, ArgumentsThatLookLikeOptionsSayHowToWriteTheExpression)
{
    const RunResult run = zrsignal({"eval", "-x", "-y"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("zrsignal eval -- '-x'"), std::string::npos) << run.err;
}

// With --locale, a decimal-comma locale reads "1,5" as a number and ";" separates arguments.
TEST(Locale, DecimalCommaLocaleReadsCommaNumbersAndSemicolonSeparators)
{
    locale_t german = newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(0));
    if (!german)
        GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
    freelocale(german);
    const std::vector<std::string> environment = {"LC_ALL=de_DE.UTF-8"};
    EXPECT_EQ(zrsignal({"eval", "--locale", "max(1,5; 2)"}, environment).out, "2\n");
    EXPECT_EQ(zrsignal({"eval", "--locale", "max(1,5; 0,5) * 3"}, environment).out, "4.5\n");
    EXPECT_EQ(zrsignal({"eval", "max(1.5, 2)"}, environment).out, "2\n") << "without --locale: the point";
}

TEST(CsvInput, RowsFeedFramesEmptyCellsKeepValuesOrStartAtZeroAndTheLastRowStays)
{
    const std::string csv = scratchPath("in.csv");
    writeFile(csv, "a, b\r\n1,2\r\n,5\r\n\r\n7,\r\n");
    EXPECT_EQ(zrsignal({"eval", "--input", csv, "a * 10 + b"}).out, "12\n15\n75\n");
    EXPECT_EQ(zrsignal({"eval", "--input", csv, "--frames", "5", "a * 10 + b"}).out, "12\n15\n75\n75\n75\n");

    writeFile(csv, "a,b,c\n,2,\n3,,\n"); // empty cells in the first row are 0
    EXPECT_EQ(zrsignal({"eval", "--input", csv, "a * 100 + b * 10 + c"}).out, "20\n320\n");

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
    writeFile(wav, wavFile(1.0, sine(1.0)));
    const std::vector<double> full = numbers(zrsignal({"eval", "--audio", wav, "level"}).out);
    ASSERT_EQ(full.size(), 40u); // one second at the default 40 fps
    for (double level : full)
        EXPECT_NEAR(level, 100.0, 0.01);

    writeFile(wav, wavFile(1.0, sine(0.25)));
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

// The beat tracker follows a recording that changes tempo: 96 beats a minute with swing, then
// 128, under noise. Eight seconds into each part, bpm is within one of the truth and every kick
// has a beat within two frames.
TEST(TempoFromAudio, BpmAndBeatsFollowATrackThatChangesTempo)
{
    std::vector<double> kicks;
    double length = 0.0;
    const auto track = drumTrack({{96.0, 26, 0.16}, {128.0, 34, 0.0}}, kicks, length);
    const std::string wav = scratchPath("change.wav");
    writeFile(wav, wavFile(length, track, 44100));
    const RunResult tempo = zrsignal({"eval", "--audio", wav, "bpm"});
    if (tempo.err.find("Undefined variable: 'bpm'") != std::string::npos)
        GTEST_SKIP() << "zrsignal was built without beat tracking (ZR_WITH_GPL=OFF)";
    ASSERT_EQ(tempo.status, 0) << tempo.err;
    const std::vector<double> bpm = numbers(tempo.out);
    const std::vector<double> beat = numbers(zrsignal({"eval", "--audio", wav, "beat"}).out);
    ASSERT_EQ(beat.size(), bpm.size());

    const double change = 26 * 60.0 / 96.0;
    const struct {
        double from, to, truth;
    } parts[] = {{8.0, change, 96.0}, {change + 8.0, length, 128.0}};
    for (const auto& part : parts) {
        for (std::size_t frame = static_cast<std::size_t>(std::ceil(part.from * 40)); frame < part.to * 40; ++frame)
            ASSERT_NEAR(bpm.at(frame), part.truth, 1.0) << "frame " << frame;
        for (double kick : kicks) {
            if (kick < part.from || kick > part.to - 0.1)
                continue;
            const auto frame = static_cast<std::size_t>(kick * 40);
            bool near = false;
            for (std::size_t f = frame - 2; f <= frame + 2 && f < beat.size(); ++f)
                near = near || beat[f] == 1.0;
            EXPECT_TRUE(near) << "no beat within two frames of the kick at " << kick << " s";
        }
    }
}

// Louder than a full-scale sine: a square wave and a clipped sine read 100, never more.
TEST(AudioInput, LevelNeverExceedsOneHundred)
{
    const std::string wav = scratchPath("loud.wav");
    for (const auto& signal : {std::function<double(double)>([](double t) { return std::fmod(t * 100, 1) < 0.5 ? 1 : -1; }),
                               sine(3.0)}) {
        writeFile(wav, wavFile(0.5, signal));
        const std::vector<double> levels = numbers(zrsignal({"eval", "--audio", wav, "level"}).out);
        ASSERT_EQ(levels.size(), 20u);
        for (double level : levels)
            EXPECT_EQ(level, 100.0);
    }
}

// The libraries a command loads, as the dynamic loader reports them: each command loads what it
// uses, so a script that runs the formula commands in a loop pays for no show and no server.
TEST(StartUp, EachCommandLoadsOnlyTheLibrariesItUses)
{
    const std::vector<std::string> showLibraries = {"libZrShow", "libola", "libprotobuf", "liblo.", "libcpp-httplib",
                                                    "libssl", "libportaudio"};
    // A line "calling init: /usr/lib/.../libola.so.1" for each library as it is loaded.
    auto loaded = [](const RunResult& run, const std::string& library) {
        std::istringstream lines(run.err);
        for (std::string line; std::getline(lines, line);) {
            if (line.find("calling init: ") != std::string::npos && line.find("/" + library) != std::string::npos)
                return true;
        }
        return false;
    };
    const std::vector<std::string> trace = {"LD_DEBUG=libs"};
    const std::string wav = scratchPath("sine.wav");
    writeFile(wav, wavFile(0.1, sine(1.0)));
    const std::string show = scratchPath("show.toml");
    writeFile(show, "[[output]]\nuniverse = 1\nprotocol = \"artnet\"\naddress = \"127.0.0.1\"\n[[fixture]]\n"
                    "name = \"par\"\nuniverse = 1\naddress = 1\nchannels = [ { name = \"dimmer\", formula = \"50\" } ]\n");

    for (const auto& args : std::vector<std::vector<std::string>>{{"eval", "1"}, {"check", "1"}, {"list"}, {"help", "counter"}}) {
        const RunResult run = zrsignal(args, trace);
        ASSERT_EQ(run.status, 0) << args[0] << ": " << run.err.substr(0, 400);
        ASSERT_TRUE(loaded(run, "libZrParser")) << "the trace names what is loaded";
        for (const std::string& library : showLibraries)
            EXPECT_FALSE(loaded(run, library)) << args[0] << " loads " << library;
        EXPECT_FALSE(loaded(run, "libsndfile")) << args[0] << " without an audio file";
    }
    EXPECT_TRUE(loaded(zrsignal({"eval", "--audio", wav, "level"}, trace), "libsndfile"));
    const RunResult run = zrsignal({"run", show, "--clock", "sim", "--frames", "1", "--print", "csv"}, trace);
    ASSERT_EQ(run.status, 0) << run.err.substr(0, 400);
    for (const char* library : {"libZrShow", "libola", "libcpp-httplib", "libportaudio"})
        EXPECT_TRUE(loaded(run, library)) << "run loads " << library;
}

TEST(DemoDrumLoop, CounterOnBeatsStepsOnEveryKick)
{
    const std::string wav = scratchPath("drumloop.wav");
    ASSERT_EQ(runProgram({MAKE_DRUMLOOP_PROGRAM, wav}).status, 0);
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

// The listing shows each catalogue entry's own data in catalogue order, as tab-separated rows or
// JSON objects; --all adds the default parser's operators and functions, naming their origin.
TEST(List, ShowsEachCatalogueEntrysOwnDataInOrder)
{
    void* object = nullptr;
    ASSERT_EQ(CSignalPlugin::create(IID_IZrParserPlugin, &object), zr::S_OK);
    auto* plugin = static_cast<IZrParserPlugin*>(object);
    int count = 0;
    plugin->getNbFuncs(&count);
    auto quoted = [](const wchar_t* text) {
        std::string q = "\"";
        for (char c : zr::toUtf8(text))
            q += c == '"' || c == '\\' ? std::string{'\\', c} : std::string{c};
        return q + "\"";
    };
    std::string rows, json = "[\n";
    for (int i = 0; i < count; ++i) {
        ZrFunctionI* created = nullptr;
        ASSERT_EQ(plugin->createFunc(i, &created), zr::S_OK);
        const std::unique_ptr<ZrFunctionI> f(created);
        const std::string index = std::to_string(i), args = std::to_string(f->getNbArgs());
        const std::string constant = f->isConstant() ? "true" : "false", shareable = f->isShareable() ? "true" : "false";
        rows += index + "\t" + zr::toUtf8(f->getSymbol()) + "\t" + zr::toUtf8(f->getID()) + "\t" +
                zr::toUtf8(f->getHelpString()) + "\t" + args + "\t" + constant + "\t" + shareable + "\t" +
                zr::toUtf8(f->getDescription()) + "\n";
        json += "  {\"index\":" + index + ",\"symbol\":" + quoted(f->getSymbol()) + ",\"id\":" + quoted(f->getID()) +
                ",\"help\":" + quoted(f->getHelpString()) + ",\"args\":" + args + ",\"constant\":" + constant +
                ",\"shareable\":" + shareable + ",\"description\":" + quoted(f->getDescription()) +
                (i + 1 < count ? "},\n" : "}\n");
    }
    plugin->Release();
    EXPECT_EQ(zrsignal({"list"}).out, rows);
    EXPECT_EQ(zrsignal({"list", "--json"}).out, json + "]\n");

    const RunResult all = zrsignal({"list", "--all"});
    ZrParser defaults;
    EXPECT_EQ(std::count(all.out.begin(), all.out.end(), '\n'),
              count + static_cast<int>(defaults.getNbDefinedOps() + defaults.getNbDefinedFuncs()));
    EXPECT_EQ(occurrences(all.out, "\tplugin\n"), static_cast<std::size_t>(count));
    EXPECT_EQ(occurrences(all.out, "\toperator\n"), defaults.getNbDefinedOps());
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
