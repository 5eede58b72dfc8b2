// Hosting formulas without a front end: the hints after a refused formula (similar names, how
// to define a variable in the front end's words, argument lists) and the catalogue's examples.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "zrhost/FormulaCatalogue.h"
#include "zrhost/FormulaHints.h"
#include "zrhost/FormulaSession.h"
#include "zrhost/LibraryFailure.h"

using namespace zrhost;

namespace {

// A front end's words, with markers that show which sentence a hint took.
const HintWording WORDING{"DEFINE {name} AS {name}=VALUE", "LEVEL FROM AUDIO", "SEARCH THE CATALOGUE"};

// The names a formula can use in a host parser, with `variables` defined as NAME=VALUE.
HostDefinitions definitionsWith(const std::vector<std::string>& variables)
{
    HostDefinitions definitions;
    for (const std::string& text : variables)
        definitions.variables.push_back(parseNamedNumber(text));
    return definitions;
}

FormulaNames hostNames()
{
    FormulaSession session(HostDefinitions{}, 1);
    return FormulaNames::of(session.parser(0));
}

std::vector<std::string> hostFunctionSymbols()
{
    std::vector<std::string> symbols;
    for (const CatalogueRow& function : hostNames().functions)
        symbols.push_back(function.symbol);
    return symbols;
}

// The hints `formula` gets when it is refused.
std::vector<std::string> hintsFor(const std::string& formula, const std::vector<std::string>& variables = {})
{
    FormulaSession session(definitionsWith(variables), 1);
    try {
        session.compile(0, formula, &WORDING);
    } catch (const LibraryFailure& failure) {
        return failure.hints();
    }
    ADD_FAILURE() << formula << " compiled";
    return {};
}

bool anyContains(const std::vector<std::string>& lines, const std::string& text)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

} // namespace

TEST(EditDistance, CountsInsertionsDeletionsSubstitutionsAndSwapsByCharacter)
{
    const struct {
        const char* a;
        const char* b;
        std::size_t distance;
    } cases[] = {
        {"", "", 0},
        {"counter", "counter", 0},
        {"countr", "counter", 1},        // one letter left out
        {"counterr", "counter", 1},      // one too many
        {"cuonter", "counter", 1},       // two neighbours swapped
        {"kitten", "sitting", 3},
        {"Counter", "counter", 0},       // ASCII case is not a difference
        {"", "sin", 3},
        {"\u00e9\u00e8", "ee", 2},       // characters, not UTF-8 bytes
    };
    for (const auto& c : cases) {
        EXPECT_EQ(editDistance(c.a, c.b), c.distance) << c.a << " / " << c.b;
        EXPECT_EQ(editDistance(c.b, c.a), c.distance) << c.b << " / " << c.a;
    }
}

TEST(EndsWithPart, OnlyAtTheStartOfAPart)
{
    const struct {
        const char* candidate;
        const char* name;
        bool ends;
    } cases[] = {
        {"map.sin", "sin", true}, {"__sin", "sin", true},   {"math.SIN", "sin", true},
        {"asin", "sin", false},   {"sin", "sin", false},    {"rgb.red.hsi", "red.hsi", true},
        {"map.sin", "", false},   {"_sin", "in", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(endsWithPart(c.candidate, c.name), c.ends) << c.candidate << " / " << c.name;
}

TEST(SimilarNames, FromTheCatalogueBestFirst)
{
    const std::vector<std::string> symbols = hostFunctionSymbols();
    const struct {
        const char* typed;
        std::vector<std::string> expected;
    } cases[] = {
        {"sin", {"map.sin", "math.sin", "__sin"}}, // by suffix, before asin and sinh
        {"countr", {"counter"}},
        {"Counter", {"counter"}},                  // the same name in another case comes first
        {"sni", {"map.sin", "math.sin", "__sin"}}, // a typo of the last part
        {"fadein", {"__fadeinexp", "__fadeinlinear", "__fadeinlog"}},
        {"tapttempo", {"__taptempo"}},
        {"qqqq", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(similarNames(c.typed, symbols), c.expected) << c.typed;
    EXPECT_EQ(similarNames("level", {"level", "levl", "speed"}), (std::vector<std::string>{"levl"}))
        << "the name itself is no suggestion";
    EXPECT_EQ(similarNames("sin", symbols, 1), (std::vector<std::string>{"map.sin"}));
    // A typo of a whole name goes before the same typo of another name's last part.
    EXPECT_EQ(similarNames("tam", {"math.tan", "tan"}), (std::vector<std::string>{"tan", "math.tan"}));
}

TEST(FormulaHints, AnUnknownNameGetsSimilarNamesOrHowToDefineIt)
{
    EXPECT_EQ(hintsFor("1 + sin(1)"), (std::vector<std::string>{"hint: did you mean map.sin, math.sin or __sin?"}));
    EXPECT_EQ(hintsFor("foo(1)"), (std::vector<std::string>{"hint: no function has a name like 'foo'; SEARCH THE CATALOGUE"}))
        << "no similar name: how to search";

    EXPECT_EQ(hintsFor("level * 2"), (std::vector<std::string>{"hint: LEVEL FROM AUDIO"}))
        << "an audio input defines level";
    EXPECT_EQ(hintsFor("speed * 2"), (std::vector<std::string>{"hint: DEFINE speed AS speed=VALUE"}));
    EXPECT_TRUE(anyContains(hintsFor("if(x > 1, 2, 3)"), "DEFINE x AS x=VALUE")) << "an entry after the context entry";
    EXPECT_TRUE(anyContains(hintsFor("levle * 2", {"level=1"}), "did you mean level?"));
    EXPECT_TRUE(anyContains(hintsFor("counter * 2"), "counter is a function"));

    EXPECT_EQ(hintsFor("1 + (2"), std::vector<std::string>{}) << "a syntax error gets no hint";
}

TEST(FormulaHints, AWrongArgumentCountListsThePrototypesOfThatName)
{
    const struct {
        const char* formula;
        std::vector<std::string> expected;
    } cases[] = {
        {"counter(0, 7)",
         {"hint: counter takes 3, 4 or 5 arguments, not 2:",
          "  counter(from, to, incrementNow)                              3 arguments",
          "  counter(from, to, incrementNow, decrementNow)                4 arguments",
          "  counter(from, to, incrementNow, [decrementNow], [resetFct])  5 arguments"}},
        {"1 + map.sin(1, 2)", {"hint: map.sin takes 1 argument, not 2:", "  map.sin(percent)  1 argument"}},
        {"max()",
         {"hint: max takes 2, 3 or any number of arguments, not 0:", "  max(x,y)           2 arguments",
          "  max(x,y,z)         3 arguments", "  max(v1,v2,v3,...)  any number of arguments"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hintsFor(c.formula), c.expected) << c.formula;
}

TEST(FormulaHints, ComeAfterTheCataloguedLines)
{
    FormulaSession session(HostDefinitions{}, 1);
    try {
        session.compile(0, "countr(0, 7, 1)", &WORDING);
        FAIL() << "compiled";
    } catch (const LibraryFailure& failure) {
        std::ostringstream printed;
        failure.print(printed);
        EXPECT_EQ(printed.str(), "ZRPARSINGEXCEP_UndefinedFunc: Undefined function: 'countr'\ncountr(0, 7, 1)\n^\n"
                                 "hint: did you mean counter?\n");
    }
}

TEST(FormulaCatalogue, EveryExampleCompiles)
{
    const auto catalogue = formulaCatalogue();
    ASSERT_GE(catalogue.size(), 100u);
    for (const CatalogueRow& row : catalogue) {
        const std::string example = exampleFormula(row);
        FormulaSession session(HostDefinitions{}, 1);
        EXPECT_NO_THROW(session.compile(0, example)) << row.help << ": " << example;
    }
}

// Each band hears its own part of the spectrum: a tone loud in its band and all but silent in
// the others, once the automatic gain has a peak to measure against.
TEST(AudioAnalyser, BandsHearTheirOwnPartOfTheSpectrum)
{
    const struct {
        double frequency;
        double AudioFrame::*loud;
    } cases[] = {{60.0, &AudioFrame::bass}, {1000.0, &AudioFrame::mid}, {10000.0, &AudioFrame::high}};
    constexpr double RATE = 44100.0;
    for (const auto& c : cases) {
        // A quiet tone in every band first, so that each has a peak to compare with.
        AudioAnalyser analyser(RATE, nullptr);
        for (int i = 0; i < 44100; ++i)
            analyser.add(0.5 * (std::sin(60.0 * 2 * M_PI * i / RATE) + std::sin(1000.0 * 2 * M_PI * i / RATE) +
                                std::sin(10000.0 * 2 * M_PI * i / RATE)) / 3);
        analyser.endFrame();
        AudioFrame frame;
        for (int i = 0; i < 4410; ++i)
            analyser.add(0.5 * std::sin(c.frequency * 2 * M_PI * i / RATE));
        frame = analyser.endFrame();
        for (double AudioFrame::*band : {&AudioFrame::bass, &AudioFrame::mid, &AudioFrame::high}) {
            if (band == c.loud)
                EXPECT_GT(frame.*band, 90.0) << c.frequency << " Hz in its band";
            else
                EXPECT_LT(frame.*band, 25.0) << c.frequency << " Hz in another band";
        }
        EXPECT_NEAR(frame.level, 50.0, 0.5) << "a sine at half scale";
    }
    AudioAnalyser silent(RATE, nullptr);
    for (int i = 0; i < 4410; ++i)
        silent.add(0.0);
    const AudioFrame quiet = silent.endFrame();
    EXPECT_EQ(quiet.bass + quiet.mid + quiet.high + quiet.level, 0.0) << "silence reads 0, not an amplified hiss";
}

// Beats in, tempo out: a steady beat, a missed one, a change of tempo, and the phase between.
TEST(BeatClock, TempoFromBeatsCountsMissedBeatsAndFollowsAChange)
{
    BeatClock clock;
    for (double t : {0.0, 0.5, 1.0, 1.5, 2.5, 3.0}) // the beat at 2.0 s is missed
        clock.beatAt(t);
    EXPECT_NEAR(clock.bpm(), 120.0, 1e-9);
    EXPECT_NEAR(clock.phaseAt(3.25), 0.5, 1e-9);
    EXPECT_NEAR(clock.phaseAt(3.6), 0.2, 1e-9) << "the phase goes on past a late beat";

    for (double t : {3.4, 3.8, 4.2}) // 150 beats a minute from here on
        clock.beatAt(t);
    EXPECT_NEAR(clock.bpm(), 150.0, 1e-9) << "two beats off the tempo start a new one";

    BeatClock early;
    early.beatAt(1.0);
    early.beatAt(1.5);
    EXPECT_EQ(early.bpm(), 0.0) << "two beats are no tempo yet";
    EXPECT_EQ(early.phaseAt(1.6), 0.0);
}
