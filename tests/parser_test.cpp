// The parser façade: a new parser, resets after undefinitions, rebinding, the evaluation loop
// over short and long programs, batches and locale settings.
#include <clocale>
#include <locale.h>

#include "Func/LatchesAndCounters.h"
#include "engine_test_support.h"

namespace {

TEST(Parser, ANewParserEvaluatesToNaNAndKnowsNaN)
{
    ZrParser parser;
    EXPECT_TRUE(std::isnan(parser.evaluate()));
    EXPECT_TRUE(parser.isResultNaN());
    EXPECT_FALSE(parser.isResultFinite());
    EXPECT_TRUE(std::isnan(parser.evaluate(L"NaN")));
}

TEST(Parser, UndefiningAnythingTheProgramMayUseResetsIt)
{
    ZrParser parser;
    double x = 4;
    parser.defineVar(L"x", &x);
    parser.defineConst(L"k", 2);
    const std::function<void()> undefines[] = {
        [&] { parser.undefineVar(L"x"); },         [&] { parser.undefineAllVars(); },
        [&] { parser.undefineConst(L"k"); },       [&] { parser.undefineFuncById(L"abs"); },
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

// k recorded calls joined by "+", with a leading unary minus for even lengths: every call runs
// once per evaluation, in order, whatever the length of the program.
TEST(EvaluationLoop, ShortAndLongProgramsRunEveryCallOnceInOrder)
{
    for (unsigned length : {1u, 2u, 3u, 29u, 30u, 31u, 32u, 61u}) {
        SCOPED_TRACE(length);
        std::vector<double> log;
        ZrParser parser;
        parser.defineFunc(new RecordingFct(&log, L"rec", 1));
        const unsigned calls = (length + 1) / 2;
        std::wstring expr = length % 2 == 0 ? L"-" : L"";
        double expected = 0;
        std::vector<double> expectedLog;
        for (unsigned k = 1; k <= calls; ++k) {
            expr += (k > 1 ? L"+rec(" : L"rec(") + std::to_wstring(k) + L")";
            expected += (k == 1 && length % 2 == 0) ? -1.0 * k : k;
            expectedLog.push_back(k);
        }
        parser.compile(expr.c_str());
        for (int round = 0; round < 2; ++round) {
            log.clear();
            EXPECT_EQ(parser.evaluate(), expected);
            EXPECT_EQ(log, expectedLog);
        }
    }
}

TEST(EvaluationLoop, BatchAdvancesStatefulFunctionsOncePerEvaluation)
{
    ZrParser parser;
    parser.defineFunc(new CounterFct());
    parser.compile(L"counter(0, 3, 1) * 10");
    double results[5];
    parser.evaluateBatch(5, results);
    EXPECT_EQ(std::vector<double>(results, results + 5), (std::vector<double>{10, 20, 30, 0, 10}));
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
    EXPECT_EQ(parser.evaluate(L"max(1,5; 0,5)"), 1.5);
    parser.useLocaleSettings(); // back in the "C" locale
    EXPECT_EQ(parser.evaluate(L"max(1.5, 0.5)"), 1.5);
}

} // namespace
