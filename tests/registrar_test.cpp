// The definition registrar: naming rules in their order, overloads, operator matching, syntax
// changes, undefinition and child registrars.
#include <memory>

#include "ZrParserRegistrar.h"
#include "engine_test_support.h"

namespace {

class TestOp final : public ZrOperatorI {
public:
    TestOp(const wchar_t* symbol, bool unary, int precedence = 500)
        : symbol_(symbol), unary_(unary), precedence_(precedence)
    {
    }
    const wchar_t* getSymbol() const override { return symbol_; }
    const wchar_t* getHelpString() const override { return L""; }
    const wchar_t* getDescription() const override { return L""; }
    bool isConstant() const override { return true; }
    double evaluate(unsigned, const double* a) override { return a[0]; }
    int getPrecedence() const override { return precedence_; }
    bool isUnaryOp() const override { return unary_; }
    ZrOperatorI* spawn() const override { return new TestOp(symbol_, unary_, precedence_); }

private:
    const wchar_t* symbol_;
    bool unary_;
    int precedence_;
};

struct NameCase {
    const wchar_t* name;
    const wchar_t* id;
};

std::vector<double> unusedLog;

TEST(NamingRules, VariablesConstantsAndFunctionsAreCheckedInOrder)
{
    ZrParser parser;
    double v = 0;
    parser.defineVar(L"x", &v);
    parser.defineConst(L"k", 1);

    const NameCase varCases[] = {
        {L"", L"ZRDEFEXCEP_VarNameNull"}, {L"a b", L"ZRDEFEXCEP_VarNameSpace"},
        {L"x", L"ZRDEFEXCEP_VarAlreadyDefined"}, {L"1.5", L"ZRDEFEXCEP_VarNameOnlyNum"},
        {L"k", L"ZRDEFEXCEP_VarNameConstConflict"}, {L"a,b", L"ZRDEFEXCEP_VarNameSyntaxConflict"},
        {L"a-b", L"ZRDEFEXCEP_VarNameDelimConflict"}, {L"a<=b", L"ZRDEFEXCEP_VarNameDelimConflict"},
        // A name that breaks several rules gets the message of the first.
        {L"x ", L"ZRDEFEXCEP_VarNameSpace"}, {L"a,b-c", L"ZRDEFEXCEP_VarNameSyntaxConflict"},
    };
    for (const NameCase& c : varCases) {
        SCOPED_TRACE(narrow(c.name));
        expectChain([&] { parser.defineVar(c.name, &v); }, {{c.id, nullptr, nullptr, c.name}});
    }

    const NameCase constCases[] = {
        {L"", L"ZRDEFEXCEP_ConstNameNull"}, {L"a b", L"ZRDEFEXCEP_ConstNameSpace"},
        {L"k", L"ZRDEFEXCEP_ConstAlreadyDefined"}, {L"1.5", L"ZRDEFEXCEP_ConstNameOnlyNum"},
        {L"f(", L"ZRDEFEXCEP_ConstNameSyntaxConflict"}, {L"a*b", L"ZRDEFEXCEP_ConstNameOpConflict"},
        {L"x", L"ZRDEFEXCEP_ConstNameVarConflict"}, {L"k ", L"ZRDEFEXCEP_ConstNameSpace"},
        {L"f(-", L"ZRDEFEXCEP_ConstNameSyntaxConflict"},
    };
    for (const NameCase& c : constCases) {
        SCOPED_TRACE(narrow(c.name));
        expectChain([&] { parser.defineConst(c.name, 1); }, {{c.id, nullptr, nullptr, c.name}});
    }
    // Not numbers, no operator inside: plain names.
    for (const wchar_t* name : {L"1.5.2", L"1e5", L"2pi"})
        EXPECT_NO_THROW(parser.defineConst(name, 2)) << narrow(name);

    const NameCase funcCases[] = {
        {L"", L"ZRDEFEXCEP_FuncNameNull"}, {L"a b", L"ZRDEFEXCEP_FuncNameSpace"},
        {L"abs", L"ZRDEFEXCEP_FuncAlreadyDefined"}, {L"f)", L"ZRDEFEXCEP_FuncNameSyntaxConflict"},
        {L"a!b", L"ZRDEFEXCEP_FuncNameOpConflict"}, {L"abs ", L"ZRDEFEXCEP_FuncNameSpace"},
        {L"f)-", L"ZRDEFEXCEP_FuncNameSyntaxConflict"},
    };
    for (const NameCase& c : funcCases) {
        SCOPED_TRACE(narrow(c.name));
        expectChain([&] { parser.defineFunc(new RecordingFct(&unusedLog, c.name, 1)); },
                    {{c.id, nullptr, nullptr, c.name}});
    }
}

TEST(NamingRules, OperatorsAreCheckedAgainstFunctionsAndConstants)
{
    ZrParser parser;
    parser.defineFunc(new RecordingFct(&unusedLog, L"random", 1));
    parser.defineConst(L"axqb", 1);
    struct Case {
        ZrOperatorI* op;
        const wchar_t* id;
        const wchar_t* itemName;
        const wchar_t* conflict;
    } cases[] = {
        {new TestOp(L"", false), L"ZRDEFEXCEP_OpNameNull", L"", L""},
        {new TestOp(L"a b", false), L"ZRDEFEXCEP_OpNameSpace", L"a b", L""},
        {new TestOp(L"#", false, 10000), L"ZRDEFEXCEP_OpPrecedence", L"#", L""},
        {new TestOp(L"#", false, -1), L"ZRDEFEXCEP_OpPrecedence", L"#", L""},
        {new TestOp(L"+", false), L"ZRDEFEXCEP_OpAlreadyDefined", L"+", L""},
        {new TestOp(L",,", false), L"ZRDEFEXCEP_OpNameSyntaxConflict", L",,", L","},
        {new TestOp(L"ndo", false), L"ZRDEFEXCEP_FuncNameOpConflict", L"random", L"ndo"},
        {new TestOp(L"xq", true), L"ZRDEFEXCEP_ConstNameOpConflict", L"axqb", L"xq"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow(c.itemName));
        expectChain([&] { parser.defineOp(c.op); }, {{c.id, nullptr, nullptr, c.itemName}});
    }
    // A unary operator may share a binary operator's symbol; precedence 9999 is still valid.
    EXPECT_NO_THROW(parser.defineOp(new TestOp(L"*", true, 9999)));
}

TEST(Operators, TheLongestSymbolMatchesWhateverTheDefinitionOrder)
{
    for (const auto& order : {std::pair{L"<", L"<="}, std::pair{L"<=", L"<"}}) {
        ZrParserRegistrar registrar;
        registrar.setSyntax(ZrSyntax{});
        registrar.defineOp(new TestOp(order.first, false));
        registrar.defineOp(new TestOp(order.second, false));
        std::wstring symbol;
        EXPECT_TRUE(registrar.matchOpAt(L"<=3", 3, symbol) && symbol == L"<=");
        EXPECT_TRUE(registrar.matchOpAt(L"<=3", 1, symbol) && symbol == L"<") << "the length limits the match";
        EXPECT_FALSE(registrar.matchOpAt(L"=3", 2, symbol));
    }
}

TEST(Operators, UndefiningRemovesTheVeryObjectAndRenumbers)
{
    ZrParser parser;
    const unsigned before = parser.getNbDefinedOps();
    parser.undefineOpsBySymbol(L"-");
    EXPECT_EQ(parser.getNbDefinedOps(), before - 2);
    // Without "-" the text is one name; the operators after it in the table still work.
    expectCompileError(parser, L"1-2", {L"ZRPARSINGEXCEP_UndefinedVar", L"0", L"Undefined variable: '1-2'"});
    EXPECT_EQ(parser.evaluate(L"2*3+1 >= 7 | !1"), 100.0);
    ZrOperatorI* plus = parser.getOp(0);
    parser.undefineOp(plus);
    TestOp stranger(L"*", false);
    expectChain([&] { parser.undefineOp(&stranger); }, {{L"ZRDEFEXCEP_ItemNotFound", nullptr, nullptr, L"*"}});
}

TEST(Functions, UndefiningByIdAndBySymbol)
{
    ZrParser parser;
    const unsigned before = parser.getNbDefinedFuncs();
    parser.undefineFuncById(L"min3");
    EXPECT_EQ(parser.getNbDefinedFuncs(), before - 1);
    EXPECT_EQ(parser.evaluate(L"min(3, 1, 2)"), 1.0) << "the any-count overload takes over";
    parser.undefineFuncById(L"nosuch");
    EXPECT_EQ(parser.getNbDefinedFuncs(), before - 1);
    parser.undefineFuncsBySymbol(L"min");
    EXPECT_EQ(parser.getNbDefinedFuncs(), before - 3);
    expectCompileError(parser, L"min(1, 2)", {L"ZRPARSINGEXCEP_UndefinedFunc", L"0"});
    expectChain([&] { parser.getFunc(before); },
                {{L"ZRDEFEXCEP_ItemNotFound", nullptr, nullptr, nullptr, std::to_wstring(before).c_str()}});
}

TEST(Syntax, SeparatorChangesAreCheckedAgainstDefinedNames)
{
    ZrParser parser;
    expectChain([&] { parser.setSyntax(ZrSyntax{L',', L','}); },
                {{L"ZRDEFEXCEP_SyntaxArgDecConflict", nullptr, L"Unknown exception: ZRDEFEXCEP_SyntaxArgDecConflict"}});
    EXPECT_NO_THROW(parser.setSyntax(ZrSyntax{L',', L';'}));
    parser.setSyntax(ZrSyntax{});
    parser.defineConst(L"a;b", 1);
    expectChain([&] { parser.setSyntax(ZrSyntax{L',', L';'}); },
                {{L"ZRDEFEXCEP_ConstNameSyntaxConflict", nullptr, nullptr, L"a;b"}});
    EXPECT_EQ(parser.evaluate(L"max(1.5, 2)"), 2.0) << "a refused change leaves the syntax as it was";
}

TEST(Lookups, IndexFailuresCarryTheIndex)
{
    ZrParser parser;
    std::wstring name;
    double value;
    expectChain([&] { parser.getConst(5, name, value); },
                {{L"ZRDEFEXCEP_ItemNotFound", nullptr, L"Cannot find the specified item: id = %itemName", nullptr, L"5"}});
    expectChain([&] { parser.getVarByIndex(0); }, {{L"ZRDEFEXCEP_ItemNotFound", nullptr, nullptr, nullptr, L"0"}});
    expectChain([&] { parser.getVar(L"q"); },
                {{L"ZRDEFEXCEP_ItemNotFound", nullptr, L"Cannot find the specified item: id = q", L"q"}});
    expectChain([&] { parser.undefineConst(L"q"); }, {{L"ZRDEFEXCEP_ItemNotFound", nullptr, nullptr, L"q"}});
}

// A linked child sees what its parent defines, also later, but cannot remove it; an unlinked
// child works on a copy made when it was created.
TEST(ChildRegistrar, ALinkedChildSeesTheParentsDefinitionsAnUnlinkedOneACopy)
{
    ZrParser parent;
    parent.defineConst(L"k", 3);
    ZrParser linked(parent.getCompiler(), parent.getRegistrar(), true);
    ZrParser unlinked(parent.getCompiler(), parent.getRegistrar(), false);
    for (ZrParser* child : {&linked, &unlinked})
        EXPECT_EQ(child->evaluate(L"k * abs(-2) + if(1, 1, 0) - 1"), 6.0);
    parent.defineFunc(new RecordingFct(&unusedLog, L"later", 1));
    EXPECT_EQ(linked.evaluate(L"later(4)"), 4.0);
    expectCompileError(unlinked, L"later(1)", {L"ZRPARSINGEXCEP_UndefinedFunc"});
    unsigned index = 0;
    ASSERT_TRUE(parent.getRegistrar()->findFunc(L"round", index));
    expectChain([&] { linked.undefineFunc(parent.getFunc(index)); },
                {{L"ZRDEFEXCEP_ItemNotFound", nullptr, nullptr, L"round"}});
    EXPECT_EQ(linked.evaluate(L"round(2.5)"), 3.0);
}

} // namespace
