// Loops and sequences compiled through a real parser and played frame by frame: slot timing,
// crossfade weights, empty texts, resets, repeats, paused children, and compile-time errors.
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "Func/LatchesAndCounters.h"
#include "Func/Loops.h"
#include "engine_test_support.h"

namespace {

// The host's per-frame time increment, in radians: 2π × dt.
double timeInc = 0.0;

// A parser with the loop functions, a counter, "__timeInc" and host variables x and r.
struct LoopHost {
    ZrParser parser;
    double x = 0.0;
    double r = 0.0;

    explicit LoopHost(bool withTimeInc = true)
    {
        for (ZrFunctionI* f : std::initializer_list<ZrFunctionI*>{new LoopFct(), new RandLoopFct(), new SequenceFct(),
                                                                  new TimedSequenceFct(), new CounterFct()})
            parser.defineFunc(f);
        if (withTimeInc)
            parser.defineFunc(new TimeIncrementFct(&timeInc));
        parser.defineVar(L"x", &x);
        parser.defineVar(L"r", &r);
        timeInc = zr::TWO_PI * 0.5;
    }
};

// One expression played frame by frame; x and r take the listed values per frame (0 past the
// end), and the time advances by dt per frame (0.5 past the end).
struct Play {
    const wchar_t* expr;
    std::vector<double> expected;
    std::vector<double> x = {};
    std::vector<double> r = {};
    std::vector<double> dt = {};
};

void expectPlays(const Play& p)
{
    SCOPED_TRACE(testing::Message() << std::wstring(p.expr).c_str());
    LoopHost host;
    host.parser.compile(p.expr);
    for (size_t i = 0; i < p.expected.size(); ++i) {
        host.x = i < p.x.size() ? p.x[i] : 0.0;
        host.r = i < p.r.size() ? p.r[i] : 0.0;
        timeInc = zr::TWO_PI * (i < p.dt.size() ? p.dt[i] : 0.5);
        EXPECT_DOUBLE_EQ(host.parser.evaluate(), p.expected[i]) << "frame " << i;
    }
}

TEST(Loops, CycleThroughTheirExpressionsSlotBySlot)
{
    const Play plays[] = {
        {L"loop(4, 0, 1, 10)", {1, 1, 1, 1, 10, 10, 10, 10, 1, 1}},
        // no time passes while the increment is 0
        {L"loop(4, 0, 1, 10)", {1, 1, 1, 1, 1, 1, 1, 10, 1}, {}, {}, {0.5, 0.5, 0, 0, 0, 0.5, 0.5, 2, 0.5}},
        {L"loop(4, 1, 1, 10)", {1, 1, 1, 1, 5.5, 10, 10, 10, 5.5, 1}},
        {L"loop(4, 2, 1, 10)", {1, 1, 1, 1, 3.25, 5.5, 7.75, 10, 7.75, 5.5}},
        // an empty text prolongs the expression before it, without a crossfade
        {L"loop(4, 1, 1, , 10)", {1, 1, 1, 1, 1, 1, 5.5, 10, 10, 5.5}},
        // leading empty texts: the first expression plays first, and the empty slot keeps the last
        {L"loop(3, 0, , 1, 10)", {1, 1, 10, 10, 10, 10, 1, 1}},
        // fixed arguments are expressions of the caller; two calls keep separate state
        {L"loop(2*2, 0, 1, 10) + loop(1+1, 0, 100, 1000)", {101, 101, 1001, 1001, 110, 110, 1010, 1010}},
        // a child's counter advances only while it plays, and on both sides of a crossfade
        {L"loop(4, 0, counter(0, 99, 1), 10)", {1, 2, 3, 4, 10, 10, 10, 10, 5, 6, 7, 8}},
        {L"loop(4, 1, counter(0, 99, 1), 10)", {1, 2, 3, 4, 7.5, 10, 10, 10, 8, 7}},
        // a nested loop pauses with its parent
        {L"loop(4, 0, loop(3, 0, 1, 2, 3), 10)", {1, 1, 2, 2, 10, 10, 10, 10, 3, 3, 1, 1}},
        // the playing child reads the host's variable as it is at each frame
        {L"loop(2, 0, x * 2, 5)", {2, 4, 5, 5, 10, 12}, {1, 2, 3, 4, 5, 6}},
    };
    for (const Play& p : plays)
        expectPlays(p);
}

TEST(Sequences, PlayOnceRepeatAndReset)
{
    const Play plays[] = {
        {L"sequence(6, 0, r, 1, 10, 100)", {1, 1, 1, 1, 10, 10, 10, 10, 100, 100, 100, 100, 100, 100}},
        {L"sequence(6, 0, r, 1, 10, 100)", {1, 1, 1, 1, 10, 10, 1, 1, 1, 1, 1, 10}, {}, {0, 0, 0, 0, 0, 0, 1, 1, 0}},
        {L"sequence(6, 2, r, 1, 10, 100)",
         {1, 1, 1, 1, 3.25, 5.5, 7.75, 10, 32.5, 55, 77.5, 100, 100, 75.25, 50.5, 25.75, 1},
         {}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
        {L"timedsequence(0, 0, 0, 1, 1, 2, 10, 100)", {1, 1, 10, 10, 10, 10, 100, 100, 100, 100, 100, 100}},
        {L"timedsequence(1, 0, 0, 1, 1, 2, 10, 100)", {1, 1, 10, 10, 10, 10, 1, 1, 10, 10, 10, 10, 100, 100}},
        {L"timedsequence(-1, 0, 0, 1, 1, 2, 10, 100)", {1, 1, 10, 10, 10, 10, 1, 1, 10, 10, 10, 10, 1, 1}},
        {L"timedsequence(0, 0, 0, 1, 1, 2, 10)", {1, 1, 10, 10, 10, 10, 10, 10, 10, 10}},
        {L"timedsequence(0, 1, 0, 1, 1, 2, 10, 100)", {1, 1, 5.5, 10, 10, 10, 55, 100, 100}},
        {L"timedsequence(0, 0, 0, 1, 1, 2, , 100)", {1, 1, 1, 1, 1, 1, 100, 100}},
        {L"timedsequence(0, 0, r, 1, 1, 2, 10, 100)", {1, 1, 10, 10, 10, 10, 100, 1, 1, 10},
         {}, {0, 0, 0, 0, 0, 0, 0, 1, 0, 0}},
    };
    for (const Play& p : plays)
        expectPlays(p);
}

TEST(Loops, RandLoopHoldsEachDrawForAWholeSlotAndFadesOnlyOnChange)
{
    std::srand(7);
    LoopHost host;
    host.parser.compile(L"randloop(6, 1, 1, 10, 100)");
    std::vector<double> v;
    for (int i = 0; i < 400; ++i)
        v.push_back(host.parser.evaluate());
    std::set<double> seen;
    for (size_t i = 4; i + 1 < v.size(); i += 4) {
        EXPECT_TRUE(v[i] == v[i - 1] || v[i] == (v[i - 1] + v[i + 1]) / 2) << "frame " << i;
        EXPECT_TRUE(v[i + 1] == v[i + 2] && v[i + 2] == v[i + 3]) << "frame " << i;
        seen.insert(v[i + 1]);
    }
    EXPECT_EQ(seen, (std::set<double>{1, 10, 100}));
}

TEST(LoopErrors, NameTheCallAndTheArgumentEntryByEntry)
{
    const wchar_t* const over = L"ZRPARSINGEXCEP_OverloadedFuncNotFound";
    const wchar_t* const syntax = L"ZRPARSINGEXCEP_InvalidFuncSyntax";
    const struct {
        const wchar_t* expr;
        std::vector<ExpectedEntry> chain; // id, pos, text, itemName, param1
    } cases[] = {
        {L"loop(4, 0)", {{over, L"4", nullptr, L"loop", L"2"}}},
        {L"1 + loop(4, 0, , )", {{syntax, L"8", nullptr, L"loop", L"5"}, {over, L"8", nullptr, L"loop", L"4"}}},
        {L"loop(4, 1, nosuch(2))",
         {{syntax, L"4", nullptr, L"loop", L"3"}, {L"ZRPARSINGEXCEP_UndefinedFunc", L"0", nullptr, L"nosuch"}}},
        {L"loop(, 0, 1)", {{syntax, L"4", nullptr, L"loop", L"1"}, {L"ZRPARSINGEXCEP_InvalidSyntax"}}},
        {L"sequence(6, 0, nosuch, 1)",
         {{syntax, L"8", nullptr, L"sequence", L"3"}, {L"ZRPARSINGEXCEP_UndefinedVar", nullptr, nullptr, L"nosuch"}}},
        // timedsequence needs a pair, and a duration and a first expression it can always evaluate
        {L"timedsequence(0, 0, 0)", {{over, L"13", nullptr, L"timedsequence", L"3"}}},
        {L"timedsequence(0, 0, 0, 1)", {{over, L"13", nullptr, L"timedsequence", L"4"}}},
        {L"timedsequence(0, 0, 0, , 1)", {{syntax, L"13", nullptr, L"timedsequence", L"4"}}},
        {L"timedsequence(0, 0, 0, 1, , 2, 10)", {{syntax, L"13", nullptr, L"timedsequence", L"5"}}},
        {L"timedsequence(0, 0, 0, 1, 1, , 10)", {{syntax, L"13", nullptr, L"timedsequence", L"6"}}},
    };
    LoopHost host;
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.expr));
        expectChain([&] { host.parser.compile(c.expr); }, c.chain);
    }
    LoopHost withoutTimeInc(false);
    expectChain([&] { withoutTimeInc.parser.compile(L"loop(4, 0, 1)"); },
                {{syntax, L"4", nullptr, L"loop", L"4"},
                 {L"ZRPARSINGEXCEP_UndefinedFunc", nullptr, nullptr, L"__timeInc"}});
}

TEST(Loops, AnInstanceWithoutTextsAnswersNaN)
{
    const double args[] = {4, 0, 0, 1};
    for (ZrFunctionI* f :
         std::initializer_list<ZrFunctionI*>{new LoopFct(), new SequenceFct(), new TimedSequenceFct()}) {
        std::unique_ptr<ZrFunctionI> fct(f);
        EXPECT_TRUE(std::isnan(fct->evaluate(static_cast<unsigned>(fct->getNbArgs()), args)));
    }
}

} // namespace
