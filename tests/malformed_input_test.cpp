// Bad input never crashes: malformed, very long and deeply nested texts each give a
// catalogued exception or a value.
#include "engine_test_support.h"
#include "zrparser/ZrException.h"

namespace {

// A parser set up the way a host sets it up, with a variable and the signal plug-in.
class HostParser {
public:
    HostParser()
    {
        makeRoomForSignalPlugin(parser);
        parser.loadPlugin(L"ZrSignalPlugin.SignalPlugin");
        parser.defineVar(L"x", &x);
        parser.defineFunc(new TimeIncrementFct(&timeIncrement));
        parser.defineMacro(L"twice(a)", L"a*2", L"");
    }

    // Compiles and runs a few frames; true when it compiled. Any other exception fails the test.
    bool run(const std::wstring& text)
    {
        try {
            parser.compile(text.c_str());
        } catch (const ZrParserException& e) {
            EXPECT_GE(e.getNbExceptions(), 1u);
            for (unsigned i = 0; i < e.getNbExceptions(); ++i)
                EXPECT_NE(findExcepTemplate(e.getEntry(i).data.id.c_str()), nullptr)
                    << narrow(e.getEntry(i).data.id) << " for " << narrow(text.substr(0, 80));
            EXPECT_TRUE(std::isnan(parser.evaluate()));
            return false;
        }
        for (int frame = 0; frame < 3; ++frame) {
            x = frame * 40.0;
            parser.evaluate();
        }
        return true;
    }

    ZrParser parser;
    double x = 0;
    double timeIncrement = zr::TWO_PI / 40;
};

// The fuzz targets replay their corpus of random texts; these are the shapes people mistype.
TEST(MalformedInput, HandWrittenCasesGiveACataloguedErrorOrAValue)
{
    const wchar_t* texts[] = {
        L")(",       L"(,)",      L"1**2",       L"max(1,2))", L"max(())",   L"x(1)",      L"if(,,)",
        L"if((1,2,3)", L"hex(((", L"bin(1,)",    L"twice(twice(", L"counter(0,7)", L"onbeat(x", L"select()",
        L"1 % % 2",  L"1..2",     L"NaN()",      L"-(-(-(",   L"__sin(__sin(", L"x\x01", L"\u00e9", L"1.",
    };
    HostParser host;
    for (const wchar_t* t : texts) {
        SCOPED_TRACE(narrow(t));
        host.run(t);
    }
}

TEST(MalformedInput, VeryLongAndDeeplyNestedTexts)
{
    HostParser host;
    std::wstring sum = L"1";
    for (int i = 0; i < 100000; ++i)
        sum += L"+1";
    ASSERT_TRUE(host.run(sum));
    EXPECT_EQ(host.parser.evaluate(), 100001.0);

    std::wstring varSum = L"x";
    for (int i = 0; i < 20000; ++i)
        varSum += L"-x";
    ASSERT_TRUE(host.run(varSum));

    const int depth = 50000;
    std::wstring nested = std::wstring(depth, L'(') + L"x" + std::wstring(depth, L')');
    ASSERT_TRUE(host.run(nested));
    host.run(std::wstring(depth, L'(') + L"1" + std::wstring(depth - 1, L')'));
    host.run(std::wstring(depth, L'-') + L"1");

    std::wstring calls;
    for (int i = 0; i < 2000; ++i)
        calls += L"max(1,";
    calls += L"2" + std::wstring(2000, L')');
    ASSERT_TRUE(host.run(calls));
    EXPECT_EQ(host.parser.evaluate(), 2.0);
}

std::wstring nested(int depth, const std::wstring& open, const std::wstring& inner, const std::wstring& close)
{
    std::wstring text;
    for (int i = 0; i < depth; ++i)
        text += open;
    text += inner;
    for (int i = 0; i < depth; ++i)
        text += close;
    return text;
}

bool chainHolds(const ZrParserException& e, const wchar_t* id)
{
    for (unsigned i = 0; i < e.getNbExceptions(); ++i)
        if (e.getEntry(i).data.id == id)
            return true;
    return false;
}

TEST(MalformedInput, NestingOfSelfCompilingFunctionsIsBounded)
{
    HostParser host;
    const struct {
        const wchar_t* open;
        const wchar_t* close;
    } forms[] = {{L"if(x,", L",0)"}, {L"loop(1,0,", L")"}, {L"twice(if(1,", L",2))"}};
    for (const auto& form : forms) {
        SCOPED_TRACE(narrow(form.open));
        EXPECT_TRUE(host.run(nested(20, form.open, L"x", form.close)));
        try {
            host.parser.compile(nested(500, form.open, L"x", form.close).c_str());
            ADD_FAILURE() << "too deep a nesting compiled";
        } catch (const ZrParserException& e) {
            EXPECT_TRUE(chainHolds(e, L"ZRPARSINGEXCEP_InvalidSyntax"));
        }
    }
    // Macros that call macros nest their bodies the same way.
    host.parser.defineMacro(L"m0(a)", L"a+1", L"");
    int level = 1;
    try {
        for (; level < 500; ++level) {
            const std::wstring proto = L"m" + std::to_wstring(level) + L"(a)";
            const std::wstring body = L"m" + std::to_wstring(level - 1) + L"(a)+1";
            host.parser.defineMacro(proto.c_str(), body.c_str(), L"");
        }
        ADD_FAILURE() << "macros nested without bound";
    } catch (const ZrParserException& e) {
        EXPECT_TRUE(chainHolds(e, L"ZRPARSINGEXCEP_InvalidSyntax"));
    }
    EXPECT_GT(level, 20);
    EXPECT_EQ(host.parser.evaluate(L"m20(0)"), 21.0);
}

} // namespace
