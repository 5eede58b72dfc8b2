// Loading plug-ins into a parser: what a host does with the signal plug-in, and how plug-ins
// that cannot be loaded are reported. Modules that are refused show in the module-loading test.
#include "engine_test_support.h"
#include "zrcomponent/ZrClassTable.h"
#include "zrparser/ZrParserInfo.h"
#include "zrparser/ZrParserPluginI.h"
#include "zrsignal/CSignalPlugin.h"

namespace {

TEST(PluginLoading, IntoADefaultParserStopsAtTheFirstFunctionItAlreadyHas)
{
    ZrParser parser;
    const unsigned before = parser.getNbDefinedFuncs();
    expectChain([&] { parser.loadPlugin(PROGID_SignalPlugin); },
                {{L"ZRDEFEXCEP_PluginDefConflict", nullptr,
                  L"The plug-in cannot be loaded because of a conflict with an already defined item.  Plug-in CLSID = "
                  L"ZrSignalPlugin.SignalPlugin",
                  PROGID_SignalPlugin},
                 {L"ZRDEFEXCEP_FuncAlreadyDefined", nullptr, L"Function already defined: 'rand'", L"rand"}});
    // The 26 functions before the conflicting "rand" stay defined.
    EXPECT_EQ(parser.getNbDefinedFuncs(), before + 26);
    EXPECT_EQ(parser.evaluate(L"distance(0, 0, 3, 4)"), 5.0);
}

TEST(PluginLoading, ConstantCallsOfPlugInFunctionsFoldAtCompileTime)
{
    ZrParser parser;
    makeRoomForSignalPlugin(parser);
    parser.loadPlugin(PROGID_SignalPlugin);
    const struct {
        const wchar_t* expr;
        bool folds;
        double value; // checked when the call folds
    } cases[] = {
        {L"map.sin(25)", true, 100},
        {L"rgb.red.hsi(0, 100, 50)", true, 100},
        {L"distance(0,0,3,4)", true, 5},
        {L"select(50, 10, 20, 30) + switch(2, 1, 10, 2, 20)", true, 40},
        {L"__delay(3, 7)", true, 7},
        {L"__fadeinsigmoid(10, 129)", true, 1},
        {L"rand()", false, 0},
        {L"counter(0, 7, 1)", false, 0},
        {L"map.sin(__sin(0.1))", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.expr));
        parser.compile(c.expr);
        EXPECT_EQ(parser.isConstant(), c.folds);
        if (c.folds) {
            EXPECT_EQ(parser.evaluate(), c.value);
        }
    }
}

TEST(PluginLoading, ByClassIdTextOrVersionedProgId)
{
    for (const wchar_t* name : {L"{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}", PROGID_SignalPlugin1}) {
        ZrParser parser;
        makeRoomForSignalPlugin(parser);
        parser.loadPlugin(name);
        EXPECT_EQ(parser.evaluate(L"counter(0, 7, 1) + rgb.red.hsi(0, 100, 50)"), 101.0) << narrow(name);
    }
}

TEST(PluginLoading, FailuresMapToTheirMessages)
{
    ZrParser parser;
    expectChain([&] { parser.loadPlugin(L"No.Such.Plugin"); },
                {{L"ZRDEFEXCEP_PluginNotFound", nullptr,
                  L"The plug-in cannot be found.  Make sure the plug-in is properly registered. CLSID = No.Such.Plugin",
                  L"No.Such.Plugin"}});
    expectChain([&] { parser.loadPlugin(L"{99999999-2222-3333-0404-050506060707}"); },
                {{L"ZRDEFEXCEP_PluginNotFound", nullptr, nullptr, L"{99999999-2222-3333-0404-050506060707}"}});
    // A class that exists but is no plug-in: the info-file reader.
    expectChain([&] { parser.loadPlugin(zr::guidToString(CLSID_ZrParserInfo).c_str()); },
                {{L"ZRDEFEXCEP_PluginTypeLibNotFound", nullptr, nullptr, L"_ZrParserPlugin.tlb"}});
}

} // namespace
