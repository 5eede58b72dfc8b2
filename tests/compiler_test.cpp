// The compiler: syntax errors with their positions and texts, precedence and associativity,
// argument counting, constant folding and the shape of compiled programs.
#include "ZrProgram.h"
#include "engine_test_support.h"

namespace {

struct ErrorCase {
    const wchar_t* expr;
    const wchar_t* id;
    const wchar_t* pos;
    const wchar_t* text;
};

TEST(CompileErrors, EachMalformedTextGivesItsMessageAtItsPosition)
{
    const ErrorCase cases[] = {
        {L"1 + * 2", L"ZRPARSINGEXCEP_InvalidOpSyntax", L"4", L"Invalid operator syntax: '*'"},
        {L"*2", L"ZRPARSINGEXCEP_InvalidOpSyntax", L"0", L"Invalid operator syntax: '*'"},
        {L"1+", L"ZRPARSINGEXCEP_UnexpectedOp", L"1", L"Unexpected operator"},
        {L"1 >=", L"ZRPARSINGEXCEP_UnexpectedOp", L"3", L"Unexpected operator"},
        {L"(1+)", L"ZRPARSINGEXCEP_UnexpectedOp", L"3", L"Unexpected operator"},
        {L"max(1+,2)", L"ZRPARSINGEXCEP_UnexpectedOp", L"6", L"Unexpected operator"},
        {L"max(1,)", L"ZRPARSINGEXCEP_UselessArgSeparator", L"5", L"Invalid use of an argument separator"},
        {L"max(,1)", L"ZRPARSINGEXCEP_UselessArgSeparator", L"4", L"Invalid use of an argument separator"},
        {L"max(1,,2)", L"ZRPARSINGEXCEP_UselessArgSeparator", L"6", L"Invalid use of an argument separator"},
        {L"(1,2)", L"ZRPARSINGEXCEP_InvalidArgSeparator", L"2",
         L"Invalid use of an argument separator outside a function"},
        {L"1, 2", L"ZRPARSINGEXCEP_InvalidArgSeparator", L"1",
         L"Invalid use of an argument separator outside a function"},
        {L"2(3)", L"ZRPARSINGEXCEP_UndefinedFunc", L"0", L"Undefined function: '2'"},
        {L"1 + nosuch(2)", L"ZRPARSINGEXCEP_UndefinedFunc", L"4", L"Undefined function: 'nosuch'"},
        {L"(1)(2)", L"ZRPARSINGEXCEP_InvalidSyntax", L"3", L"Invalid syntax"},
        {L"()", L"ZRPARSINGEXCEP_InvalidSyntax", L"0", L"Invalid syntax"},
        {L"(1)2", L"ZRPARSINGEXCEP_MissingOp", L"3", L"Missing operator before: '2'"},
        {L"max(1,2) y", L"ZRPARSINGEXCEP_MissingOp", L"9", L"Missing operator before: 'y'"},
        {L"  (1", L"ZRPARSINGEXCEP_MissingCloseBracket", L"2", L"Missing closing bracket to match opening bracket"},
        {L"max(1, (2", L"ZRPARSINGEXCEP_MissingCloseBracket", L"7",
         L"Missing closing bracket to match opening bracket"},
        {L"1)", L"ZRPARSINGEXCEP_MissingOpenBracket", L"1", L"Missing opening bracket to macth closing bracket"},
        {L"y", L"ZRPARSINGEXCEP_UndefinedVar", L"0", L"Undefined variable: 'y'"},
        {L"2 * 1e3", L"ZRPARSINGEXCEP_UndefinedVar", L"4", L"Undefined variable: '1e3'"},
        {L"1.5.2", L"ZRPARSINGEXCEP_UndefinedVar", L"0", L"Undefined variable: '1.5.2'"},
        {L"sum()", L"ZRPARSINGEXCEP_OverloadedFuncNotFound", L"0", L"Invalid number of arguments for function 'sum'"},
        {L"1 + abs()", L"ZRPARSINGEXCEP_OverloadedFuncNotFound", L"4",
         L"Invalid number of arguments for function 'abs'"},
        {L"abs(1, 2)", L"ZRPARSINGEXCEP_OverloadedFuncNotFound", L"0",
         L"Invalid number of arguments for function 'abs'"},
    };
    ZrParser parser;
    for (const ErrorCase& c : cases)
        expectCompileError(parser, c.expr, {c.id, c.pos, c.text});
}

TEST(CompileErrors, AFailedCompileLeavesTheNaNProgram)
{
    ZrParser parser;
    parser.compile(L"1+2");
    EXPECT_THROW(parser.compile(L"1+"), ZrParserException);
    EXPECT_TRUE(std::isnan(parser.evaluate()));
    EXPECT_TRUE(parser.isResultNaN());
}

TEST(CompileErrors, OverloadErrorCarriesTheArgumentCount)
{
    ZrParser parser;
    expectCompileError(parser, L"2*abs(1,2,3)",
                       {L"ZRPARSINGEXCEP_OverloadedFuncNotFound", L"2", nullptr, L"abs", L"3"});
}

TEST(Evaluation, PrecedenceAssociativityAndUnaryOperators)
{
    const struct {
        const wchar_t* expr;
        double value;
    } cases[] = {
        {L"1 + 2 * 3", 7},       {L"(1+2)*3", 9},           {L"2^3^2", 64},          {L"--2", 2},
        {L"-2^2", 4},            {L"2*-3", -6},             {L"2-3", -1},            {L"10-4-3", 3},
        {L"100/10/5", 2},        {L"7 % 4", 3},             {L"-7 % 4", -3},         {L"3 > 2", 100},
        {L"2 > 3", 0},           {L"!0", 100},              {L"!5", 0},              {L"0 & 7", 0},
        {L"0 | 7", 100},         {L"1 + 2 > 2", 100},       {L"1==1 & 2==2", 100},   {L"5 - -3", 8},
        {L"max(1,2) + 1", 3},    {L"-max(1,2)", -2},        {L"max((1),2)", 2},      {L"sum(1,(2),3)", 6},
        {L"max(min(1,2),3)", 3}, {L"2 * 3", 6},              {L"1 ++ 2", 3},          {L"1 - 2 + 3", 2},
        {L"2 <= 2", 100},        {L"3 != 3", 0},            {L"+5", 5},              {L"-(2+3)*2", -10},
        {L"min(3, 1, 2)", 1},    {L"max(1, 5, 2, 4)", 5},   {L"avg(1, 2, 3, 6)", 3}, {L"(((2)))", 2},
    };
    for (const auto& c : cases)
        expectValueEveryWay(c.expr, c.value);
    // Blanks are dropped before anything else, even inside a number.
    ZrParser parser;
    EXPECT_EQ(parser.evaluate(L"2 3"), 23.0);
}

TEST(Evaluation, CommaDecimalPointWithSemicolonSeparator)
{
    ZrParser parser;
    parser.setSyntax(ZrSyntax{L',', L';'});
    EXPECT_EQ(parser.evaluate(L"1,5 * 2"), 3.0);
    EXPECT_EQ(parser.evaluate(L"max(1,5; 2)"), 2.0);
    expectCompileError(parser, L"1,5,2", {L"ZRPARSINGEXCEP_UndefinedVar", L"0", L"Undefined variable: '1,5,2'"});
}

TEST(Folding, ConstantSubExpressionsLeaveOneStepPerRemainingCall)
{
    ZrParser parser;
    double x = 4;
    parser.defineVar(L"x", &x);
    parser.compile(L"2*3+x");
    ZrProgram& program = parser.getCompiler()->getProgram();
    ASSERT_EQ(program.size(), 3u);
    EXPECT_TRUE(program[0].isVarHead);
    EXPECT_FALSE(program[1].isVarHead);
    EXPECT_EQ(program[2].nbArgs, 2u);
    EXPECT_EQ(program[2].args[0], 6.0);
    EXPECT_EQ(parser.evaluate(), 10.0);
    x = 5;
    EXPECT_EQ(parser.evaluate(), 11.0);

    parser.compile(L"x*x");
    ASSERT_EQ(program.size(), 4u);
    EXPECT_TRUE(program[0].isVarHead);
    EXPECT_FALSE(program[1].isVarHead || program[2].isVarHead);
    EXPECT_EQ(parser.getNbUsedVars(), 1u);
    EXPECT_EQ(parser.evaluate(), 25.0);
}

TEST(Folding, VariablesAreReadOnceEachInOrderOfFirstUse)
{
    ZrParser parser;
    double a = 1, b = 2;
    parser.defineVar(L"a", &a);
    parser.defineVar(L"b", &b);
    parser.compile(L"a + b*a - b");
    ZrProgram& program = parser.getCompiler()->getProgram();
    // Heads come first, latest first use in front.
    ASSERT_TRUE(program[0].isVarHead && program[1].isVarHead);
    EXPECT_STREQ(program[0].item->getSymbol(), L"b");
    EXPECT_STREQ(program[1].item->getSymbol(), L"a");
    EXPECT_EQ(parser.getUsedVar(0), L"a");
    EXPECT_EQ(parser.getUsedVar(1), L"b");
    expectChain([&] { parser.getUsedVar(2); }, {{L"ZRDEFEXCEP_ItemNotFound", nullptr, nullptr, nullptr, L"2"}});
    EXPECT_EQ(parser.evaluate(), 1.0);
}

TEST(Variables, FortyThousandDistinctVariablesEachGetOneHeadStepInFront)
{
    // Automatic definition turns every new name into a variable with a head step of its own.
    // Placing each head step at the front as its name was met made compiling quadratic.
    ZrParser parser;
    parser.enableAutoVarDefinition(true, nullptr);
    std::wstring text = L"v0";
    for (int i = 1; i < 40000; ++i)
        text += L"+v" + std::to_wstring(i);
    parser.compile(text.c_str());
    ZrProgram& program = parser.getCompiler()->getProgram();
    ASSERT_EQ(program.size(), 40000u * 3 - 1);
    EXPECT_STREQ(program[0].item->getSymbol(), L"v39999");
    EXPECT_EQ(parser.evaluate(), 0.0);
}

TEST(Folding, OnlyConstantItemsAreCalledAtCompileTime)
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
}

TEST(Folding, EmptyExpressionIsNaN)
{
    ZrParser parser;
    parser.compile(L"   ");
    EXPECT_TRUE(parser.isConstant());
    EXPECT_TRUE(std::isnan(parser.evaluate()));
}

TEST(ArgumentCounting, GroupsAndNestedCallsCountOncePerArgument)
{
    std::vector<double> log;
    ZrParser parser;
    auto* two = new RecordingFct(&log, L"f", 2);
    parser.defineFunc(two);
    parser.defineFunc(new RecordingFct(&log, L"f", -1));
    parser.defineFunc(new RecordingFct(&log, L"g", 1));
    parser.defineFunc(new RecordingFct(&log, L"f", 0));
    // Each call resolved its overload by the number of arguments written.
    parser.compile(L"f((1),2)");
    EXPECT_EQ(parser.getCompiler()->getProgram().back().item, two);
    EXPECT_EQ(parser.getCompiler()->getProgram().back().nbArgs, 2u);
    parser.compile(L"f(g(1),2)");
    EXPECT_EQ(parser.getCompiler()->getProgram().back().item, two);
    parser.compile(L"f(1,2,3)");
    EXPECT_EQ(parser.getCompiler()->getProgram().back().nbArgs, 3u);
    parser.compile(L"f(-1)");
    EXPECT_NE(parser.getCompiler()->getProgram().back().item, two);
    EXPECT_EQ(parser.getCompiler()->getProgram().back().nbArgs, 1u);
    parser.compile(L"f()");
    EXPECT_EQ(parser.getCompiler()->getProgram().back().nbArgs, 0u);
}

TEST(ArgumentCounting, ACallWithoutArgumentsNeverReachesTheAnyCountOverload)
{
    ZrParser parser;
    expectCompileError(parser, L"max()", {L"ZRPARSINGEXCEP_OverloadedFuncNotFound", L"0", nullptr, L"max", L"0"});
}

TEST(Variables, AutomaticDefinitionMakesUnknownNamesVariables)
{
    ZrParser parser;
    expectCompileError(parser, L"y+1", {L"ZRPARSINGEXCEP_UndefinedVar", L"0"});
    parser.enableAutoVarDefinition(true, nullptr);
    parser.compile(L"y+1");
    EXPECT_EQ(parser.evaluate(), 1.0);
    EXPECT_EQ(parser.getNbDefinedVars(), 1u);
}

TEST(Variables, UseOfANonShareableFunctionSpawnsOneInstancePerCall)
{
    ZrParser parser;
    parser.compile(L"__sin(0.1) + __sin(0.1)");
    ZrProgram& program = parser.getCompiler()->getProgram();
    ASSERT_EQ(program.size(), 3u);
    EXPECT_NE(program[0].item, program[1].item);
    EXPECT_TRUE(program[0].ownedItem && program[1].ownedItem);
    EXPECT_TRUE(parser.getCompiler()->hasSpawnedItems());
    double phase = zr::THREE_HALF_PI;
    for (int i = 0; i < 5; ++i) {
        phase += 0.1;
        EXPECT_EQ(parser.evaluate(), 2 * std::sin(phase));
    }
}

} // namespace
