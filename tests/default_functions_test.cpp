// The default operators and functions: exact results, NaN rules and integer truncations.
#include <limits>

#include "ZrParserDefFuncs.h"
#include "engine_test_support.h"

namespace {

const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

TEST(DefaultFunctions, ResultsTruncationsAndNaNRules)
{
    const struct {
        const wchar_t* expr;
        double value;
    } cases[] = {
        {L"NaN == NaN", 0},      {L"NaN != 1", 100},        {L"NaN & NaN", 100},       {L"NaN | 0", 100},
        {L"!NaN", 0},            {L"NaN > 1", 0},           {L"NaN <= 1", 0},          {L"0 == -0", 100},
        {L"round(2.5)", 3},      {L"round(-2.5)", -3},      {L"round(0)", 0},          {L"round(-0.4)", 0},
        {L"round(NaN)", -2147483648.0}, {L"round(3000000000)", -2147483648.0},
        {L"fact(0)", 1},         {L"fact(-3)", 1},          {L"fact(2.9)", 2},         {L"fact(12)", 479001600},
        {L"fact(13)", 1932053504}, {L"fact(20)", -2102132736}, {L"fact(33)", -2147483648.0}, {L"fact(34)", 0},
        {L"fact(2000000000)", 0}, {L"fact(NaN)", 1},
        {L"max(NaN, 1)", 1},     {L"max(1, NaN)", nan},     {L"max(NaN, 1, 2, 3)", nan}, {L"max(1, NaN, 2, 3)", 3},
        {L"min(NaN, 1)", 1},     {L"min(1, NaN)", nan},     {L"min(1, 2, NaN)", nan},  {L"max(1, 2, NaN)", nan},
        {L"min(4, 2, 3)", 2},    {L"max(4, 2, 9)", 9},
        {L"sqrt(-1)", nan},      {L"sqrt(16)", 4},          {L"abs(-3)", 3},           {L"ceil(1.2)", 2},
        {L"floor(-1.2)", -2},    {L"log10(1000)", 3},       {L"log(1)", 0},            {L"avg(1, 2, 3, 6)", 3},
        {L"sum(1, 2, 3)", 6},    {L"isNaN(NaN)", 1},        {L"isNaN(1)", 0},          {L"isFinite(1/0)", 0},
        {L"isFinite(2)", 1},     {L"1/0", inf},             {L"-1/0", -inf},           {L"0/0", nan},
        {L"5 % 0", nan},         {L"2^10", 1024},           {L"tanh(0)", 0},           {L"cosh(0)", 1},
    };
    for (const auto& c : cases)
        expectValueEveryWay(c.expr, c.value);
}

TEST(DefaultFunctions, UnaryMinusFlipsTheSignBitOfZero)
{
    ZrParser parser;
    EXPECT_TRUE(std::signbit(parser.evaluate(L"-0")));
    EXPECT_FALSE(std::signbit(parser.evaluate(L"abs(-0)")));
}

TEST(DefaultFunctions, AnyCountFunctionsWithoutArguments)
{
    EXPECT_TRUE(std::isnan(AvgFct().evaluate(0, nullptr)));
    EXPECT_EQ(SumFct().evaluate(0, nullptr), 0.0);
    EXPECT_TRUE(std::isnan(MinUndefFct().evaluate(0, nullptr)));
    EXPECT_TRUE(std::isnan(MaxUndefFct().evaluate(0, nullptr)));
}

} // namespace
