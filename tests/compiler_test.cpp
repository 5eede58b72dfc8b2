// The compiler: syntax errors with their positions and texts, precedence and associativity by
// value, argument counting, and which calls run at compile time.
#include "engine_test_support.h"

namespace {

TEST(CompileErrors, EachMalformedTextGivesItsMessageAtItsPosition)
{
    const struct {
        const wchar_t* expr;
        const wchar_t* id;
        const wchar_t* pos;
        const wchar_t* text;
    } cases[] = {
        {L"1 + * 2", L"ZRPARSINGEXCEP_InvalidOpSyntax", L"4", L"Invalid operator syntax: '*'"},
        {L"*2", L"ZRPARSINGEXCEP_InvalidOpSyntax", L"0", L"Invalid operator syntax: '*'"},
        {L"1+", L"ZRPARSINGEXCEP_UnexpectedOp", L"1", L"Unexpected operator"},
        {L"1 >=", L"ZRPARSINGEXCEP_UnexpectedOp", L"3", L"Unexpected operator"},
        {L"max(1+,2)", L"ZRPARSINGEXCEP_UnexpectedOp", L"6", L"Unexpected operator"},
        {L"max(1,)", L"ZRPARSINGEXCEP_UselessArgSeparator", L"5", L"Invalid use of an argument separator"},
        {L"max(,1)", L"ZRPARSINGEXCEP_UselessArgSeparator", L"4", L"Invalid use of an argument separator"},
        {L"max(1,,2)", L"ZRPARSINGEXCEP_UselessArgSeparator", L"6", L"Invalid use of an argument separator"},
        {L"(1,2)", L"ZRPARSINGEXCEP_InvalidArgSeparator", L"2", L"Invalid use of an argument separator outside a function"},
        {L"1, 2", L"ZRPARSINGEXCEP_InvalidArgSeparator", L"1", L"Invalid use of an argument separator outside a function"},
        {L"2(3)", L"ZRPARSINGEXCEP_UndefinedFunc", L"0", L"Undefined function: '2'"},
        {L"1 + nosuch(2)", L"ZRPARSINGEXCEP_UndefinedFunc", L"4", L"Undefined function: 'nosuch'"},
        {L"(1)(2)", L"ZRPARSINGEXCEP_InvalidSyntax", L"3", L"Invalid syntax"},
        {L"()", L"ZRPARSINGEXCEP_InvalidSyntax", L"0", L"Invalid syntax"},
        {L"(1)2", L"ZRPARSINGEXCEP_MissingOp", L"3", L"Missing operator before: '2'"},
        {L"max(1,2) y", L"ZRPARSINGEXCEP_MissingOp", L"9", L"Missing operator before: 'y'"},
        {L"  (1", L"ZRPARSINGEXCEP_MissingCloseBracket", L"2", L"Missing closing bracket to match opening bracket"},
        {L"max(1, (2", L"ZRPARSINGEXCEP_MissingCloseBracket", L"7", L"Missing closing bracket to match opening bracket"},
        {L"1)", L"ZRPARSINGEXCEP_MissingOpenBracket", L"1", L"Missing opening bracket to macth closing bracket"},
        {L"y", L"ZRPARSINGEXCEP_UndefinedVar", L"0", L"Undefined variable: 'y'"},
        {L"2 * 1e3", L"ZRPARSINGEXCEP_UndefinedVar", L"4", L"Undefined variable: '1e3'"},
        {L"1.5.2", L"ZRPARSINGEXCEP_UndefinedVar", L"0", L"Undefined variable: '1.5.2'"},
        {L"sum()", L"ZRPARSINGEXCEP_OverloadedFuncNotFound", L"0", L"Invalid number of arguments for function 'sum'"},
        {L"1 + abs()", L"ZRPARSINGEXCEP_OverloadedFuncNotFound", L"4", L"Invalid number of arguments for function 'abs'"},
    };
    ZrParser parser;
    for (const auto& c : cases)
        expectCompileError(parser, c.expr, {c.id, c.pos, c.text});
    // The overload error names the function and the count written; "max()" never reaches the
    // any-count overload.
    expectCompileError(parser, L"2*abs(1,2,3)", {L"ZRPARSINGEXCEP_OverloadedFuncNotFound", L"2", nullptr, L"abs", L"3"});
    expectCompileError(parser, L"max()", {L"ZRPARSINGEXCEP_OverloadedFuncNotFound", L"0", nullptr, L"max", L"0"});
    // A failed compile leaves a program that answers NaN, not the one before.
    parser.compile(L"1+2");
    EXPECT_THROW(parser.compile(L"1+"), ZrParserException);
    EXPECT_TRUE(std::isnan(parser.evaluate()));
}

// Each pair of neighbouring precedence levels, with an expression whose value differs under the
// two groupings; then associativity and the unary operators.
TEST(Precedence, NeighbouringLevelsGroupByValue)
{
    const struct {
        const wchar_t* expr;
        double value;
        const char* otherGrouping;
    } cases[] = {
        {L"1 | 0 & 0", 100, "(1 | 0) & 0 = 0"},
        {L"0 & 0 | 1", 100, "0 & (0 | 1) = 0"},
        {L"0 == 0 & 0", 0, "0 == (0 & 0) = 100"},
        {L"2 & 3 == 3", 100, "(2 & 3) == 3 = 0"},
        {L"1 < 2 == 100", 100, "1 < (2 == 100) = 0"},
        {L"5 == 5 > 0", 0, "(5 == 5) > 0 = 100"},
        {L"100 != 2 > 1", 0, "(100 != 2) > 1 = 100"},
        {L"1 + 1 > 1", 100, "1 + (1 > 1) = 1"},
        {L"1 + 2 * 3", 7, "(1 + 2) * 3 = 9"},
        {L"1 + 5 % 3", 3, "(1 + 5) % 3 = 0"},
        {L"7 % 4 + 1", 4, "7 % (4 + 1) = 2"},
        {L"2 * 3 ^ 2", 18, "(2 * 3) ^ 2 = 36"},
        {L"-2 ^ 2", 4, "-(2 ^ 2) = -4"},
        {L"!0 ^ 2", 10000, "!(0 ^ 2) = 100"},
        {L"10 - 4 - 3", 3, "10 - (4 - 3) = 9"},
        {L"100 / 10 / 5", 2, "100 / (10 / 5) = 50"},
        {L"2 ^ 3 ^ 2", 64, "2 ^ (3 ^ 2) = 512"},
        {L"-7 % 4", -3, ""},
        {L"--2", 2, ""},
        {L"5 - -3", 8, ""},
        {L"2*-3", -6, ""},
        {L"-(2+3)*2", -10, ""},
        {L"-max(1,2) + 1", -1, ""},
        {L"max(min(1,2),3) + sum(1,(2),3)", 9, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.otherGrouping);
        expectValueEveryWay(c.expr, c.value);
    }
    // Blanks are dropped before anything else, even inside a number.
    EXPECT_EQ(ZrParser().evaluate(L"2 3"), 23.0);
}

TEST(Syntax, CommaDecimalPointWithSemicolonSeparator)
{
    ZrParser parser;
    parser.setSyntax(ZrSyntax{L',', L';'});
    EXPECT_EQ(parser.evaluate(L"1,5 * 2"), 3.0);
    EXPECT_EQ(parser.evaluate(L"max(1,5; 2)"), 2.0);
    expectCompileError(parser, L"1,5,2", {L"ZRPARSINGEXCEP_UndefinedVar", L"0", L"Undefined variable: '1,5,2'"});
}

TEST(ArgumentCounting, EachCallTakesTheOverloadOfTheCountWritten)
{
    std::vector<double> two, any, none, one;
    ZrParser parser;
    parser.defineFunc(new RecordingFct(&two, L"f", 2));
    parser.defineFunc(new RecordingFct(&any, L"f", -1));
    parser.defineFunc(new RecordingFct(&one, L"g", 1));
    parser.defineFunc(new RecordingFct(&none, L"f", 0));
    parser.evaluate(L"f((1),2) + f(g(3),4) + f(5,6,7) + f(-8) + f()");
    EXPECT_EQ(two, (std::vector<double>{1, 3}));
    EXPECT_EQ(any, (std::vector<double>{5, -8}));
    EXPECT_EQ(none, (std::vector<double>{0}));
}

TEST(Folding, OnlyConstantItemsRunAtCompileTime)
{
    std::vector<double> constantLog, liveLog;
    ZrParser parser;
    parser.defineFunc(new RecordingFct(&constantLog, L"cst", 1, true));
    parser.defineFunc(new RecordingFct(&liveLog, L"live", 1, false));
    parser.compile(L"cst(2) + cst(3)");
    EXPECT_TRUE(parser.isConstant());
    EXPECT_EQ(constantLog.size(), 2u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(parser.evaluate(), 5.0);
    EXPECT_EQ(constantLog.size(), 2u) << "a folded program calls nothing";

    parser.compile(L"cst(live(2))");
    EXPECT_TRUE(liveLog.empty()) << "non-constant items never run at compile time";
    EXPECT_FALSE(parser.isConstant());
    EXPECT_EQ(parser.evaluate(), 2.0);
    EXPECT_EQ(liveLog.size(), 1u);

    parser.compile(L"   ");
    EXPECT_TRUE(parser.isConstant());
    EXPECT_TRUE(std::isnan(parser.evaluate())) << "an empty expression is NaN";
}

TEST(Variables, ReadAtEveryEvaluationAndListedInOrderOfFirstUse)
{
    ZrParser parser;
    double a = 1, b = 2;
    parser.defineVar(L"a", &a);
    parser.defineVar(L"b", &b);
    parser.compile(L"a + b*a - b");
    EXPECT_EQ(parser.evaluate(), 1.0);
    a = 3;
    EXPECT_EQ(parser.evaluate(), 7.0);
    ASSERT_EQ(parser.getNbUsedVars(), 2u);
    EXPECT_EQ(parser.getUsedVar(0), L"a");
    EXPECT_EQ(parser.getUsedVar(1), L"b");
    expectChain([&] { parser.getUsedVar(2); }, {{L"ZRDEFEXCEP_ItemNotFound", nullptr, nullptr, nullptr, L"2"}});
}

TEST(Variables, AutomaticDefinitionMakesUnknownNamesVariablesEvenFortyThousand)
{
    ZrParser parser;
    expectCompileError(parser, L"y+1", {L"ZRPARSINGEXCEP_UndefinedVar", L"0"});
    parser.enableAutoVarDefinition(true, nullptr);
    EXPECT_EQ(parser.evaluate(L"y+1"), 1.0);
    // Placing each new variable's read in front as its name was met once made this quadratic.
    std::wstring text = L"v0";
    for (int i = 1; i < 40000; ++i)
        text += L"+v" + std::to_wstring(i);
    parser.compile(text.c_str());
    EXPECT_EQ(parser.getNbUsedVars(), 40000u);
    EXPECT_EQ(parser.evaluate(), 0.0);
}

} // namespace
