// Macro functions: prototypes, bodies compiled per use, folding and independent uses.
#include "Func/LatchesAndCounters.h"
#include "engine_test_support.h"

namespace {

ZrFunctionI* findBySymbol(ZrParser& parser, const wchar_t* symbol)
{
    unsigned index = 0;
    return parser.getRegistrar()->findFunc(symbol, index) ? parser.getFunc(index) : nullptr;
}

TEST(Macros, PrototypeGivesNameArgumentsAndHelpString)
{
    ZrParser parser;
    parser.defineMacro(L"avg3( a , b , c )", L"(a+b+c)/3", L"mean of three");
    ZrFunctionI* macro = findBySymbol(parser, L"avg3");
    ASSERT_NE(macro, nullptr);
    EXPECT_EQ(macro->getNbArgs(), 3);
    EXPECT_STREQ(macro->getHelpString(), L"avg3(a, b, c)");
    EXPECT_EQ(parser.evaluate(L"avg3(1, 2, 6) * 2"), 6.0);

    parser.setSyntax(ZrSyntax{L',', L';'});
    parser.defineMacro(L"mid(lo;hi)", L"(lo+hi)/2", L"");
    EXPECT_STREQ(findBySymbol(parser, L"mid")->getHelpString(), L"mid(lo; hi)");
    EXPECT_EQ(parser.evaluate(L"mid(1,5; 2)"), 1.75);
}

TEST(Macros, MalformedPrototypesAreRefusedWithTheirPosition)
{
    ZrParser parser;
    const struct {
        const wchar_t* prototype;
        std::vector<ExpectedEntry> chain;
    } cases[] = {
        {L"two",
         {{L"ZRDEFEXCEP_MacroProtoSyntax", L"2",
           L"The macro prototype syntax is incorrect: 'two'. The proper syntax is: macro(arg1, arg2, arg3...).",
           L"two"}}},
        {L"", {{L"ZRDEFEXCEP_MacroProtoSyntax", L"0", nullptr, L""}}},
        {L"f(a", {{L"ZRDEFEXCEP_MacroProtoSyntax", L"2", nullptr, L"f(a"}}},
        {L"f(a,,b)", {{L"ZRDEFEXCEP_MacroProtoSyntax", L"4", nullptr, L"f(a,,b)"}}},
        {L"f(a, a)",
         {{L"ZRDEFEXCEP_VarAlreadyDefined", nullptr, L"Variable already defined: 'a'"},
          {L"ZRDEFEXCEP_MacroProtoSyntax", L"5", nullptr, L"f(a, a)"}}},
        {L"f(12)",
         {{L"ZRDEFEXCEP_VarNameOnlyNum", nullptr, nullptr, L"12"}, {L"ZRDEFEXCEP_MacroProtoSyntax", L"2"}}},
        {L"f(NaN)", {{L"ZRDEFEXCEP_VarNameConstConflict"}, {L"ZRDEFEXCEP_MacroProtoSyntax", L"2"}}},
        {L"(a)", {{L"ZRDEFEXCEP_FuncNameNull"}}},
        {L"abs(a)", {{L"ZRDEFEXCEP_FuncAlreadyDefined", nullptr, nullptr, L"abs"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.prototype));
        expectChain([&] { parser.defineMacro(c.prototype, L"1", L""); }, c.chain);
    }
    EXPECT_EQ(findBySymbol(parser, L"f"), nullptr) << "nothing of a refused macro stays defined";
}

TEST(Macros, NamesThatOnlyLookNumericAreValidArguments)
{
    ZrParser parser;
    parser.defineMacro(L"f(1x)", L"1x * 2", L"");
    EXPECT_EQ(parser.evaluate(L"f(4)"), 8.0);
    parser.defineMacro(L"two()", L"2", L"");
    EXPECT_EQ(parser.evaluate(L"two() + 1"), 3.0);
}

TEST(Macros, TheBodySeesOnlyItsArguments)
{
    ZrParser parser;
    double x = 1;
    parser.defineVar(L"x", &x);
    expectChain([&] { parser.defineMacro(L"m(a)", L"a + x", L""); },
                {{L"ZRPARSINGEXCEP_UndefinedVar", L"4", L"Undefined variable: 'x'"}});
    parser.defineConst(L"k", 10);
    parser.defineMacro(L"m(a)", L"a * k + abs(-1)", L"");
    x = 3;
    EXPECT_EQ(parser.evaluate(L"m(x)"), 31.0);
}

TEST(Macros, ABodyIndependentOfItsArgumentsFolds)
{
    ZrParser parser;
    double x = 5;
    parser.defineVar(L"x", &x);
    parser.defineMacro(L"m(a)", L"2*3", L"");
    parser.compile(L"m(2) + 1");
    EXPECT_TRUE(parser.isConstant());
    EXPECT_EQ(parser.evaluate(), 7.0);
    parser.compile(L"m(x) + 1");
    EXPECT_FALSE(parser.isConstant());
    EXPECT_EQ(parser.evaluate(), 7.0);

    parser.defineMacro(L"twice(a)", L"a*2", L"");
    parser.compile(L"twice(2)");
    EXPECT_FALSE(parser.isConstant()) << "a body that reads an argument never folds";
    EXPECT_EQ(parser.evaluate(), 4.0);
}

TEST(Macros, EachUseKeepsItsOwnArgumentsAndState)
{
    ZrParser parser;
    parser.defineFunc(new CounterFct());
    parser.defineMacro(L"step(n)", L"counter(0, 100, 1) * n", L"");
    parser.compile(L"step(1) + step(1000)");
    EXPECT_EQ(parser.evaluate(), 1001.0);
    EXPECT_EQ(parser.evaluate(), 2002.0);
}

TEST(Macros, MacrosAndConditionalsNest)
{
    ZrParser parser;
    double x = 0;
    parser.defineVar(L"x", &x);
    parser.defineMacro(L"sign(a)", L"if(a > 0, 1, if(a < 0, -1, 0))", L"");
    parser.compile(L"if(x > 100, 0, sign(x) * 10)");
    for (double v : {5.0, -5.0, 0.0, 200.0}) {
        x = v;
        const double expected = v > 100 ? 0 : (v > 0 ? 10 : v < 0 ? -10 : 0);
        EXPECT_EQ(parser.evaluate(), expected) << v;
    }
    parser.defineMacro(L"pick(c, a, b)", L"if(c, hex(10) + a, b)", L"");
    EXPECT_EQ(parser.evaluate(L"pick(1, 1, 2) + pick(0, 1, 2)"), 19.0);
}

} // namespace
