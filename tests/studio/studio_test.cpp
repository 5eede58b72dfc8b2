// The studio's parts without a browser: hints after a refused formula, the catalogue's search
// and examples, the request checks of the server, and the frame feed of the show pane.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "ErrorReport.h"
#include "FormulaCatalogue.h"
#include "FormulaHints.h"
#include "FormulaSession.h"
#include "RequestGuard.h"
#include "StudioFormulas.h"
#include "StudioShow.h"

using namespace zrsignal;

namespace {

// The names a formula can use in zrsignal, with `variables` defined as with --var.
FormulaNames hostNames(const std::vector<std::string>& variables = {})
{
    DefinitionOptions options;
    options.varTexts = variables;
    options.finish();
    FormulaSession session(options, 1);
    return FormulaNames::of(session.parser(0));
}

std::vector<std::string> hostFunctionSymbols()
{
    std::vector<std::string> symbols;
    for (const FunctionOverload& function : hostNames().functions)
        symbols.push_back(function.symbol);
    return symbols;
}

// The hints `formula` gets when it is refused, worded for `sources`.
std::vector<std::string> hintsFor(const std::string& formula, VariableSources sources = VariableSources::CommandLine,
                                  const std::vector<std::string>& variables = {})
{
    DefinitionOptions options;
    options.varTexts = variables;
    options.finish();
    FormulaSession session(options, 1);
    try {
        session.compile(0, formula, sources);
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
}

TEST(FormulaHints, AnUnknownNameGetsSimilarNamesOrHowToDefineIt)
{
    EXPECT_EQ(hintsFor("1 + sin(1)"), (std::vector<std::string>{"hint: did you mean map.sin, math.sin or __sin?"}));
    EXPECT_TRUE(anyContains(hintsFor("foo(1)"), "zrsignal list")) << "no similar name: how to search";

    const auto level = hintsFor("level * 2");
    EXPECT_TRUE(anyContains(level, "--var level=VALUE"));
    EXPECT_TRUE(anyContains(level, "--audio")) << "the audio file defines level";
    EXPECT_TRUE(anyContains(level, "--input"));
    const auto other = hintsFor("speed * 2");
    EXPECT_TRUE(anyContains(other, "--var speed=VALUE"));
    EXPECT_FALSE(anyContains(other, "--audio")) << "the audio file defines level only";

    EXPECT_TRUE(anyContains(hintsFor("if(x > 1, 2, 3)"), "--var x=VALUE")) << "an entry after the context entry";
    EXPECT_TRUE(anyContains(hintsFor("levle * 2", VariableSources::CommandLine, {"level=1"}), "did you mean level?"));
    EXPECT_TRUE(anyContains(hintsFor("counter * 2"), "counter is a function"));

    const auto studio = hintsFor("level * 2", VariableSources::Studio);
    EXPECT_FALSE(anyContains(studio, "--var")) << "the page has no options";
    EXPECT_TRUE(anyContains(studio, "Variables"));
    EXPECT_TRUE(anyContains(hintsFor("level * 2", VariableSources::Show), "[variables]"));

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
    DefinitionOptions options;
    options.finish();
    FormulaSession session(options, 1);
    try {
        session.compile(0, "countr(0, 7, 1)", VariableSources::CommandLine);
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
    DefinitionOptions options;
    options.finish();
    const auto catalogue = formulaCatalogue();
    ASSERT_GE(catalogue.size(), 100u);
    for (const CatalogueRow& row : catalogue) {
        const std::string example = exampleFormula(row);
        FormulaSession session(options, 1);
        EXPECT_NO_THROW(session.compile(0, example, std::nullopt)) << row.help << ": " << example;
    }
}

TEST(FormulaCatalogue, SearchPutsTheNameFoundBeforeWordsOfDescriptions)
{
    const StudioCatalogue catalogue;
    const std::string counter = catalogue.json("counter");
    EXPECT_EQ(counter.find("\"symbol\":"), counter.find("\"symbol\":\"counter\"")) << counter.substr(0, 200);
    EXPECT_NE(counter.find("\"symbol\":\"pingcounter\""), std::string::npos);
    EXPECT_EQ(counter.find("\"symbol\":\"__sin\""), std::string::npos);
    EXPECT_NE(catalogue.json("hyperbolic sine").find("\"symbol\":\"sinh\""), std::string::npos)
        << "words of the description";
    EXPECT_EQ(catalogue.json("no such words here"), "{\"frames\":120,\"fps\":40,\"rows\":[]}");
}

TEST(StudioFormulas, RequestsBeyondTheLimitsAreRefusedUnevaluated)
{
    const auto request = [](std::vector<std::string> formulas, std::optional<std::uint64_t> frames) {
        FormulaRequest r;
        r.formulas = std::move(formulas);
        r.frames = frames;
        return r;
    };
    const FormulaRequest refused[] = {
        request({std::string(MAX_FORMULA_LENGTH + 1, '1')}, 10),
        request(std::vector<std::string>(MAX_FORMULAS + 1, "1"), 10),
        request({"1"}, MAX_FRAMES + 1),
        request({"1"}, 0),
        request({}, 10),
    };
    for (const FormulaRequest& r : refused)
        EXPECT_EQ(evaluateFormulas(r).rfind("{\"inputError\":", 0), 0u) << evaluateFormulas(r).substr(0, 100);
    const FormulaRequest largest = request(std::vector<std::string>(MAX_FORMULAS, std::string(MAX_FORMULA_LENGTH, '1')), MAX_FRAMES);
    EXPECT_EQ(evaluateFormulas(largest).find("inputError"), std::string::npos);
}

TEST(RequestGuard, AnswersOnlyTheServedHostAndItsOwnPages)
{
    const RequestGuard loopback("127.0.0.1", 8040);
    const RequestGuard lan("192.168.1.20", 8040);
    const RequestGuard ipv6("::1", 8040);
    const struct {
        const RequestGuard& guard;
        const char* host;
        const char* origin;
        bool answered;
    } cases[] = {
        {loopback, "127.0.0.1:8040", "", true},
        {loopback, "localhost:8040", "http://localhost:8040", true},
        {loopback, "LOCALHOST:8040", "http://127.0.0.1:8040", true},
        {loopback, "127.0.0.1:8040", "http://evil.example", false}, // another site's page
        {loopback, "127.0.0.1:8040", "null", false},                // a sandboxed page
        {loopback, "127.0.0.1:8040", "http://127.0.0.1:8041", false},
        {loopback, "evil.example:8040", "", false},                 // a name rebound to this machine
        {loopback, "127.0.0.1:8041", "", false},
        {loopback, "127.0.0.1", "", false},
        {loopback, "", "", false},
        {lan, "192.168.1.20:8040", "http://192.168.1.20:8040", true},
        {lan, "localhost:8040", "", false},
        {ipv6, "[::1]:8040", "http://[::1]:8040", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(!c.guard.refusal(c.host, c.origin), c.answered) << c.host << " / " << c.origin;
    EXPECT_GT(RequestGuard::bodyLimit("/api/audio"), RequestGuard::bodyLimit("/api/evaluate"));
    EXPECT_TRUE(isWildcardAddress("0.0.0.0"));
    EXPECT_FALSE(isWildcardAddress("127.0.0.1"));
}

TEST(FrameFeed, ReadersGetTheNewestFrameThenTheEndAndWakeWhenClosed)
{
    using namespace std::chrono_literals;
    FrameFeed feed;
    std::vector<DmxSlots> universes(1, DmxSlots{});
    std::uint64_t seen = 0;
    DmxFrame frame;
    EXPECT_EQ(feed.next(seen, frame, 1ms), FrameFeed::Next::Quiet);
    for (std::uint64_t n = 0; n < 3; ++n) {
        universes[0][0] = static_cast<std::uint8_t>(n + 10);
        feed.frameDone(n, universes);
    }
    ASSERT_EQ(feed.next(seen, frame, 1ms), FrameFeed::Next::Frame);
    EXPECT_EQ(frame.number, 2u) << "the newest, frames between are skipped";
    EXPECT_EQ(frame.universes.at(0)[0], 12);
    EXPECT_EQ(feed.next(seen, frame, 1ms), FrameFeed::Next::Quiet) << "nothing newer";

    feed.frameDone(3, universes);
    feed.finish();
    EXPECT_EQ(feed.next(seen, frame, 1ms), FrameFeed::Next::Frame) << "the last frame before the end";
    EXPECT_EQ(feed.next(seen, frame, 1ms), FrameFeed::Next::Finished);
    std::uint64_t newReader = 0;
    EXPECT_EQ(feed.next(newReader, frame, 1ms), FrameFeed::Next::Frame) << "a page opened later sees the last frame";

    FrameFeed open;
    std::uint64_t waiting = 0;
    const auto started = std::chrono::steady_clock::now();
    std::thread closer([&] {
        std::this_thread::sleep_for(50ms);
        open.close();
    });
    EXPECT_EQ(open.next(waiting, frame, 10s), FrameFeed::Next::Closed);
    closer.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s) << "closing wakes a waiting reader";
}
