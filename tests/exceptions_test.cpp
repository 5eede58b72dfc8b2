// Message texts: catalogued templates filled from an entry's parameters. The order of chained
// entries shows in the tests of the functions that compile their arguments and of plug-in loading.
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
        {ZrExcepData(L"ZRDEFEXCEP_PluginVersion", L"itemName", L"X", L"conflictItemName", L"16U", L"param1", L"15U"),
         L"The plug-in version is incompatible with this library.  Plug-in CLSID = X.  Requested version: 16U.  "
         L"Plug-in version: 15U"},
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

} // namespace
