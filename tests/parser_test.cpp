// The parser façade: host variables, the evaluation loop over short and long programs, resets
// after undefinitions, batches, redefinition and locale settings.
#include <clocale>
#include <locale.h>

#include "Func/LatchesAndCounters.h"
#include "ZrProgram.h"
#include "engine_test_support.h"

namespace {

TEST(Parser, ANewParserEvaluatesToNaN)
{
    ZrParser parser;
    EXPECT_TRUE(std::isnan(parser.evaluate()));
    EXPECT_TRUE(parser.isResultNaN());
    EXPECT_FALSE(parser.isResultFinite());
    EXPECT_EQ(parser.getExpression(), L"");
    EXPECT_EQ(std::bit_cast<std::uint64_t>(parser.getNaN()), 0x7FFFFFFFFFFFFFFFull);
    EXPECT_TRUE(std::isnan(parser.evaluate(L"NaN")));
}

TEST(Parser, DefaultVocabularyIsComplete)
{
    ZrParser parser;
    EXPECT_EQ(parser.getNbDefinedOps(), 17u);
    ASSERT_EQ(parser.getNbDefinedFuncs(), 32u);
    const wchar_t* ids[] = {L"round", L"__sin",    L"asin",     L"sinh",  L"__cos",  L"acos",  L"cosh",   L"tan",
                            L"atan",  L"tanh",     L"sqrt",     L"minUndef", L"min2", L"min3", L"maxUndef", L"max2",
                            L"max3",  L"abs",      L"rand2",    L"rand1", L"ceil",   L"floor", L"log",    L"log10",
                            L"avg",   L"sum",      L"fact",     L"if",    L"isNaN",  L"isFinite", L"hex", L"bin"};
    for (unsigned i = 0; i < 32; ++i)
        EXPECT_STREQ(parser.getFunc(i)->getID(), ids[i]) << i;
    EXPECT_EQ(parser.getNbDefinedConsts(), 1u);
}

TEST(Parser, HostVariablesAreReadAtEachEvaluation)
{
    ZrParser parser;
    double x = 4;
    parser.defineVar(L"x", &x);
    parser.compile(L"x*2");
    EXPECT_EQ(parser.evaluate(), 8.0);
    x = 5;
    EXPECT_EQ(parser.evaluate(), 10.0);
    EXPECT_EQ(parser.getExpression(), L"x*2");
}

TEST(Parser, UndefiningAnythingTheProgramMayUseResetsIt)
{
    ZrParser parser;
    double x = 4;
    parser.defineVar(L"x", &x);
    parser.defineConst(L"k", 2);
    const std::function<void()> undefines[] = {
        [&] { parser.undefineVar(L"x"); },
        [&] { parser.undefineAllVars(); },
        [&] { parser.undefineConst(L"k"); },
        [&] { parser.undefineFuncById(L"abs"); },
        [&] { parser.undefineOpById(L"*"); },
    };
    for (const auto& undefine : undefines) {
        if (parser.getNbDefinedVars() == 0)
            parser.defineVar(L"x", &x);
        parser.compile(L"x*2");
        ASSERT_EQ(parser.evaluate(), 8.0);
        undefine();
        EXPECT_TRUE(std::isnan(parser.evaluate()));
    }
}

TEST(Parser, RedefiningAVariableRebindsTheCompiledProgram)
{
    ZrParser parser;
    double a = 1, b = 7;
    parser.defineVar(L"x", &a);
    parser.compile(L"x + 1");
    parser.redefineVar(L"x", &b);
    EXPECT_EQ(parser.evaluate(), 8.0);
    expectChain([&] { parser.redefineVar(L"nosuch", &b); }, {{L"ZRDEFEXCEP_ItemNotFound", nullptr, nullptr, L"nosuch"}});
    EXPECT_TRUE(std::isnan(parser.evaluate()));
}

// A program of n steps made of recorded calls and unary minuses, evaluated against the same
// computation done by hand: every step runs once, in order.
void expectProgramOfLength(unsigned wantedSteps)
{
    SCOPED_TRACE(wantedSteps);
    std::vector<double> log;
    ZrParser parser;
    parser.defineFunc(new RecordingFct(&log, L"rec", 1));
    // k calls joined by k-1 "+" give 2k-1 steps; a leading unary minus adds one.
    const unsigned calls = (wantedSteps + 1) / 2;
    std::wstring expr = wantedSteps % 2 == 0 ? L"-" : L"";
    for (unsigned k = 1; k <= calls; ++k)
        expr += (k > 1 ? L"+rec(" : L"rec(") + std::to_wstring(k) + L")";
    parser.compile(expr.c_str());
    ASSERT_EQ(parser.getCompiler()->getProgram().size(), wantedSteps);
    double expected = 0;
    std::vector<double> expectedLog;
    for (unsigned k = 1; k <= calls; ++k) {
        expected += (k == 1 && wantedSteps % 2 == 0) ? -1.0 * k : k;
        expectedLog.push_back(k);
    }
    for (int round = 0; round < 2; ++round) {
        log.clear();
        EXPECT_EQ(parser.evaluate(), expected);
        EXPECT_EQ(log, expectedLog);
    }
}

TEST(EvaluationLoop, ShortAndLongProgramsRunEveryStepOnceInOrder)
{
    for (unsigned n : {1u, 2u, 3u, 29u, 30u, 31u, 32u, 61u})
        expectProgramOfLength(n);
}

TEST(EvaluationLoop, BatchAdvancesStatefulFunctionsOncePerEvaluation)
{
    ZrParser parser;
    parser.defineFunc(new CounterFct());
    parser.compile(L"counter(0, 3, 1) * 10");
    double results[5];
    parser.evaluateBatch(5, results);
    const double expected[] = {10, 20, 30, 0, 10};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(results[i], expected[i]);
    // Recompiling starts every stateful call again.
    parser.compile(L"counter(0, 3, 1) * 10");
    EXPECT_EQ(parser.evaluate(), 10.0);
}

TEST(Parser, DecimalPointFollowsTheThreadLocale)
{
    locale_t german = newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, "de_DE.UTF-8", static_cast<locale_t>(0));
    if (!german)
        GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
    ZrParser parser;
    locale_t previous = uselocale(german);
    parser.useLocaleSettings();
    uselocale(previous);
    freelocale(german);
    EXPECT_EQ(parser.getSyntax().decimalPoint, L',');
    EXPECT_EQ(parser.getSyntax().argumentSeparator, L';');
    EXPECT_EQ(parser.evaluate(L"max(1,5; 0,5)"), 1.5);

    parser.useLocaleSettings(); // back in the "C" locale
    EXPECT_EQ(parser.getSyntax().decimalPoint, L'.');
    EXPECT_EQ(parser.getSyntax().argumentSeparator, L',');
}

TEST(Parser, CoalesceWithoutArgumentsDoesNotCompileButEvaluatesToZero)
{
    ZrParser parser;
    parser.undefineFuncsBySymbol(L"__sin");
    parser.undefineFuncsBySymbol(L"__cos");
    parser.undefineFuncsBySymbol(L"rand");
    parser.loadPlugin(L"ZrSignalPlugin.SignalPlugin");
    expectCompileError(parser, L"coalesce()", {L"ZRPARSINGEXCEP_OverloadedFuncNotFound", L"0", nullptr, L"coalesce", L"0"});
    unsigned index = 0;
    ASSERT_TRUE(parser.getRegistrar()->findFunc(L"coalesce", index));
    EXPECT_EQ(parser.getFunc(index)->evaluate(0, nullptr), 0.0);
}

} // namespace
