// Exceptions: message texts, parameter substitution and the order of chained entries.
#include <gtest/gtest.h>

#include "engine_test_support.h"
#include "zrparser/ZrException.h"

namespace {

TEST(MessageText, CataloguedTemplatesAreFilledFromParameters)
{
    struct Case {
        ZrExcepData data;
        const wchar_t* text;
    } cases[] = {
        {ZrExcepData(L"ZRPARSINGEXCEP_InvalidFuncSyntax", L"pos", L"7", L"itemName", L"if", L"param1", L"2"),
         L"Invalid function argument syntax. Function name: 'if', argument 2"},
        {ZrExcepData(L"ZRPARSINGEXCEP_MissingOpenBracket"), L"Missing opening bracket to macth closing bracket"},
        {ZrExcepData(L"ZRDEFEXCEP_VarNameOnlyNum", L"itemName", L"12"),
         L"Invalid variable name: '12'.  Cannot be composed only of numbers"},
        {ZrExcepData(L"ZRDEFEXCEP_VarNameSyntaxConflict", L"itemName", L"a,b", L"conflictItemName", L","),
         L"Variable name 'a,b'  conflicts with the syntax element character: ','"},
        {ZrExcepData(L"ZRDEFEXCEP_PluginVersion", L"itemName", L"X", L"conflictItemName", L"16U", L"param1", L"15U"),
         L"The plug-in version is incompatible with this library.  Plug-in CLSID = X.  Requested version: 16U.  "
         L"Plug-in version: 15U"},
        {ZrExcepData(L"ZRLOCEXCEP_ZrParserInfoObjectNotFound"),
         L"The ZrParserInfo COM object cannot be instanciated.\tMake sure it is registered."},
        {ZrExcepData(L"ZRLOCEXCEP_InfoFileOpenFailed", L"itemName", L"a.xml"),
         L"Unable to OPEN the library info file: 'a.xml'. Make sure the file exists and that the schema and xml "
         L"syntax are valids."},
        // A placeholder without its parameter stays as it is.
        {ZrExcepData(L"ZRDEFEXCEP_OpNameSyntaxConflict", L"itemName", L"a"),
         L"Operator name 'a' conflicts with the syntax element character: '%conflictItemName'."},
        // A value put in earlier is searched by later patterns.
        {ZrExcepData(L"ZRPARSINGEXCEP_InvalidFuncSyntax", L"itemName", L"%param1", L"param1", L"3"),
         L"Invalid function argument syntax. Function name: '3', argument %param1"},
        {ZrExcepData(L"ZRDEFEXCEP_SyntaxArgDecConflict", L"itemName", L""),
         L"Unknown exception: ZRDEFEXCEP_SyntaxArgDecConflict"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(getExcepText(c.data), c.text) << narrow(c.data.id);
}

TEST(MessageText, OnlyTheFirstOccurrenceOfAPlaceholderIsReplaced)
{
    // No catalogue template repeats a placeholder; the rule shows through a value that does.
    ZrExcepData data(L"ZRDEFEXCEP_FuncAlreadyDefined", L"itemName", L"%param1 and %param1", L"param1", L"X");
    EXPECT_EQ(getExcepText(data), L"Function already defined: 'X and %param1'");
}

TEST(ExcepData, KeepsAtMostFourParametersInOrder)
{
    ZrExcepData data(L"id");
    for (const wchar_t* name : {L"a", L"b", L"c", L"d", L"e"})
        data.addParam(name, name);
    ASSERT_EQ(data.getNbParams(), 4u);
    EXPECT_EQ(data.getParamName(3), L"d");
    EXPECT_EQ(data.findParam(L"e"), nullptr);
    EXPECT_STREQ(data.findParam(L"b"), L"b");
}

ZrParserException chainOf(const wchar_t* id, unsigned line)
{
    return ZrParserException(line, L"f.cpp", 0, ZrExcepData(id), getExcepText(ZrExcepData(id)).c_str());
}

TEST(Chain, ACaughtChainGivenContextAndCopiedPutsTheContextFirst)
{
    try {
        try {
            throw chainOf(L"ZRPARSINGEXCEP_UndefinedFunc", 10);
        } catch (ZrParserException& e) {
            ZR_RETHROW_WITH(e, ZrExcepData(L"ZRPARSINGEXCEP_InvalidFuncSyntax", L"itemName", L"if", L"param1", L"2"));
        }
    } catch (const ZrParserException& e) {
        ASSERT_EQ(e.getNbExceptions(), 2u);
        EXPECT_EQ(e.getEntry(0).data.id, L"ZRPARSINGEXCEP_InvalidFuncSyntax");
        EXPECT_EQ(e.getEntry(1).data.id, L"ZRPARSINGEXCEP_UndefinedFunc");
        EXPECT_EQ(e.getEntry(1).line, 10u);
        // The base fields still describe the entry added last: the context.
        EXPECT_EQ(e.getDescription(), L"Invalid function argument syntax. Function name: 'if', argument 2");
        EXPECT_EQ(e.getDescription(0), e.getDescription());
        EXPECT_NE(e.getLine(), 10u);
        EXPECT_EQ(e.getFile(), L"exceptions_test.cpp");
    }
}

TEST(Chain, AFifthEntryChangesNothing)
{
    ZrParserException chain = chainOf(L"ZRPARSINGEXCEP_InvalidSyntax", 1);
    for (unsigned line = 2; line <= 4; ++line)
        chain.add(line, L"g.cpp", 0, ZrExcepData(L"ZRPARSINGEXCEP_InternalError"), L"Internal error");
    chain.add(5, L"h.cpp", 0, ZrExcepData(L"ZREXCEP_OutOfMemory"), L"Out of memory");
    EXPECT_EQ(chain.getNbExceptions(), 4u);
    EXPECT_EQ(chain.getLine(), 4u);
    EXPECT_EQ(chain.getFile(), L"g.cpp");
    EXPECT_EQ(chain.getDescription(), L"Internal error");
}

TEST(Chain, AppendingAnotherChainTakesItsNewestEntryFirst)
{
    ZrParserException a = chainOf(L"A", 1);
    ZrParserException b = chainOf(L"B1", 2);
    b.add(3, L"b.cpp", 0, ZrExcepData(L"B2"), L"b2");
    a.appendChain(b);
    ASSERT_EQ(a.getNbExceptions(), 3u);
    EXPECT_EQ(a.getEntry(1).data.id, L"B2");
    EXPECT_EQ(a.getEntry(2).data.id, L"B1");
    EXPECT_EQ(a.getLine(), 2u);
}

} // namespace
