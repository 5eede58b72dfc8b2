// Functions that compile their own arguments: the conditional function with its two branch
// parsers, and the hexadecimal and binary literals. Loops and sequences show the splitting of
// argument texts at their own separators only.
#include <limits>

#include "Func/LatchesAndCounters.h"
#include "engine_test_support.h"

namespace {

class ConditionalTest : public ::testing::Test {
protected:
    ConditionalTest()
    {
        parser.defineFunc(new CounterFct());
        parser.defineVar(L"x", &x);
    }
    ZrParser parser;
    double x = 0;
};

// Any value may be a condition: only a value above 0 chooses the first branch. Folded as a
// constant, read from a host variable each frame, and in both cases only the chosen branch's
// counter advances.
TEST_F(ConditionalTest, OnlyAConditionAboveZeroChoosesTheFirstBranch)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const wchar_t* text;
        double value;
        bool chosen;
    } conditions[] = {
        {L"1", 1, true},           {L"0", 0, false},         {L"-1", -1, false},
        {L"-0", -0.0, false},      {L"NaN", NAN, false},     {L"1/0", inf, true},
        {L"-1/0", -inf, false},    {L"2^-1074", 4.9e-324, true}, {L"0.0000001", 1e-7, true},
    };
    for (const auto& c : conditions) {
        SCOPED_TRACE(narrow(c.text));
        parser.compile((L"if(" + std::wstring(c.text) + L", 10, 20)").c_str());
        EXPECT_TRUE(parser.isConstant());
        EXPECT_EQ(parser.evaluate(), c.chosen ? 10.0 : 20.0);
    }
    parser.compile(L"if(x, counter(0, 99, 1), counter(0, 99, 1) + 100)");
    EXPECT_FALSE(parser.isConstant());
    double thenCount = 0, elseCount = 0;
    for (int round = 0; round < 2; ++round)
        for (const auto& c : conditions) {
            SCOPED_TRACE(narrow(c.text));
            x = c.value;
            EXPECT_EQ(parser.evaluate(), c.chosen ? ++thenCount : 100 + ++elseCount);
        }
}

TEST_F(ConditionalTest, BranchesReadTheCallersVariablesEachEvaluation)
{
    parser.compile(L"if(1, x * 2, 0)");
    EXPECT_FALSE(parser.isConstant());
    for (double v : {1.0, 5.0, -3.0}) {
        x = v;
        EXPECT_EQ(parser.evaluate(), v * 2);
    }
    parser.compile(L"if(1, counter(0, 9, 1), 2)");
    EXPECT_FALSE(parser.isConstant()) << "a stateful branch is not constant";
    EXPECT_EQ(parser.evaluate(), 1.0);
    EXPECT_EQ(parser.evaluate(), 2.0);
}

TEST_F(ConditionalTest, NestedUse)
{
    const struct {
        const wchar_t* expr;
        double x;
        double value;
    } cases[] = {
        {L"if(x > 1, if(x > 2, 30, 20), 10)", 3, 30}, {L"if(x > 1, if(x > 2, 30, 20), 10)", 2, 20},
        {L"if(x > 1, if(x > 2, 30, 20), 10)", 0, 10}, {L"if(if(x, 1, 0), hex(ff), bin(11))", 1, 255},
        {L"if(if(x, 1, 0), hex(ff), bin(11))", 0, 3}, {L"2 * if(x > 0, x, -x) + 1", -4, 9},
    };
    for (const auto& c : cases) {
        x = c.x;
        EXPECT_EQ(parser.evaluate(c.expr), c.value) << narrow(c.expr) << " x=" << c.x;
    }
}

TEST_F(ConditionalTest, ErrorsNameTheArgumentThatFailed)
{
    const wchar_t* const syntax = L"ZRPARSINGEXCEP_InvalidFuncSyntax";
    const struct {
        const wchar_t* expr;
        std::vector<ExpectedEntry> chain; // id, pos, text, itemName, param1
    } cases[] = {
        {L"if(0, 1)", {{L"ZRPARSINGEXCEP_OverloadedFuncNotFound", L"2", nullptr, L"if", L"2"}}},
        {L"1 + if(1, nosuch(2), 3)",
         {{syntax, L"6", L"Invalid function argument syntax. Function name: 'if', argument 2", L"if", L"2"},
          {L"ZRPARSINGEXCEP_UndefinedFunc", L"0", nullptr, L"nosuch"}}},
        {L"if(1, 2, y)", {{syntax, L"2", nullptr, L"if", L"3"}, {L"ZRPARSINGEXCEP_UndefinedVar", L"0"}}},
        {L"if(1+, 2, 3)", {{syntax, L"2", nullptr, L"if", L"1"}, {L"ZRPARSINGEXCEP_UnexpectedOp", L"1"}}},
        {L"if(, 2, 3)", {{syntax, L"2", nullptr, L"if", L"1"}, {L"ZRPARSINGEXCEP_InvalidSyntax", L"0"}}},
        {L"if(1, 2", {{L"ZRPARSINGEXCEP_MissingCloseBracket", L"2"}}},
        // Inner context comes after the outer one once the chain has been copied twice.
        {L"if(1, if(1, q, 2), 3)",
         {{syntax, L"2", nullptr, L"if", L"2"}, {L"ZRPARSINGEXCEP_UndefinedVar", L"0"}, {syntax, L"2", nullptr, L"if", L"2"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.expr));
        expectChain([&] { parser.compile(c.expr); }, c.chain);
    }
}

TEST(Literals, HexadecimalAndBinaryTextsBecomeConstants)
{
    const struct {
        const wchar_t* expr;
        double value;
    } cases[] = {
        {L"hex(ff)", 255}, {L"hex(1F)", 31},  {L"bin(101)", 5},         {L"hex()", 0},
        {L"bin()", 0},     {L"hex( f f )", 255}, {L"2*hex(a)+1", 21}, {L"hex(FFFFFFFFFF)", 1099511627775.0},
    };
    ZrParser parser;
    for (const auto& c : cases) {
        parser.compile(c.expr);
        EXPECT_TRUE(parser.isConstant()) << narrow(c.expr);
        EXPECT_EQ(parser.evaluate(), c.value) << narrow(c.expr);
    }
    expectCompileError(parser, L"hex(1G)",
                       {L"ZRPARSINGEXCEP_InvalidFuncSyntax", L"4",
                        L"Invalid function argument syntax. Function name: 'hex', argument 1", L"hex", L"1"});
    expectCompileError(parser, L"1 + bin(102)", {L"ZRPARSINGEXCEP_InvalidFuncSyntax", L"8", nullptr, L"bin", L"1"});
    expectCompileError(parser, L"hex(1,2)", {L"ZRPARSINGEXCEP_InvalidFuncSyntax", L"4"});
    expectCompileError(parser, L"hex(1", {L"ZRPARSINGEXCEP_MissingCloseBracket", L"3"});
    expectCompileError(parser, L"hex(1)2", {L"ZRPARSINGEXCEP_MissingOp", L"6"});
}

} // namespace
