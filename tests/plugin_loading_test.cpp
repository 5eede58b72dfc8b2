// Loading plug-ins into a parser: what a host does with the signal plug-in, and how every kind
// of failing plug-in is reported.
#include "engine_test_support.h"
#include "zrcomponent/ZrClassTable.h"
#include "zrparser/ZrParserPluginI.h"
#include "zrsignal/CSignalPlugin.h"

namespace {

// A plug-in whose answers the test chooses: "fake", then "abs", which a default parser has.
class FakePlugin final : public zr::CountedObject<IZrParserPlugin> {
public:
    static inline bool failCount = false;
    static inline bool offersPluginInterface = true;
    static inline int liveObjects = 0;

    static zr::HRESULT create(zr::IUnknown* outer, const zr::IID& iid, void** object)
    {
        if (outer)
            return zr::CLASS_E_NOAGGREGATION;
        auto* p = new FakePlugin();
        p->AddRef();
        const zr::HRESULT hr = p->QueryInterface(iid, object);
        p->Release();
        return hr;
    }

    zr::HRESULT QueryInterface(const zr::IID& iid, void** object) override
    {
        if (!offersPluginInterface)
            return zr::queryInterfaceFrom({{zr::IID_IUnknown, this}}, iid, object);
        return zr::queryInterfaceFrom({{zr::IID_IUnknown, this}, {IID_IZrParserPlugin, this}}, iid, object);
    }
    zr::HRESULT GetTypeInfoCount(unsigned*) override { return zr::E_NOTIMPL; }
    zr::HRESULT GetTypeInfo(unsigned, std::uint32_t, void**) override { return zr::E_NOTIMPL; }
    zr::HRESULT GetIDsOfNames(const zr::IID&, wchar_t**, unsigned, std::uint32_t, std::int32_t*) override
    {
        return zr::E_NOTIMPL;
    }
    zr::HRESULT Invoke(std::int32_t, const zr::IID&, std::uint32_t, std::uint16_t, void*, void*, void*, unsigned*) override
    {
        return zr::E_NOTIMPL;
    }
    zr::HRESULT getNbFuncs(int* count) override
    {
        *count = 2;
        return failCount ? zr::E_FAIL : zr::S_OK;
    }
    zr::HRESULT createFunc(int index, ZrFunctionI** func) override
    {
        *func = new RecordingFct(&log_, index == 0 ? L"fake" : L"abs", 1);
        return zr::S_OK;
    }
    zr::HRESULT getNbOps(int* count) override
    {
        *count = 0;
        return zr::S_OK;
    }
    zr::HRESULT createOp(int, ZrOperatorI** op) override
    {
        *op = nullptr;
        return zr::S_OK;
    }
    zr::HRESULT getParserVersion(zr::BSTR* v) override
    {
        *v = zr::sysAllocString(L"16U");
        return zr::S_OK;
    }
    zr::HRESULT getInfoFile(zr::BSTR* f, zr::BSTR* s, int* flag) override
    {
        *f = *s = nullptr;
        *flag = 0;
        return zr::S_OK;
    }

private:
    FakePlugin() { ++liveObjects; }
    ~FakePlugin() override { --liveObjects; }
    std::vector<double> log_;
};

const zr::CLSID CLSID_Fake{0x11111111, 0x2222, 0x3333, {4, 4, 5, 5, 6, 6, 7, 7}};
const wchar_t* const FAKE_TEXT = L"{11111111-2222-3333-0404-050506060707}";

class PluginLoadingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        zr::registerClass(CLSID_Fake, {L"Test.Fake"}, &FakePlugin::create);
        FakePlugin::failCount = false;
        FakePlugin::offersPluginInterface = true;
    }
    void TearDown() override { zr::unregisterClass(CLSID_Fake); }
};

TEST_F(PluginLoadingTest, IntoADefaultParserStopsAtTheFirstFunctionItAlreadyHas)
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

TEST_F(PluginLoadingTest, ConstantCallsOfPlugInFunctionsFoldAtCompileTime)
{
    ZrParser parser;
    makeRoomForTheSignalPlugin(parser);
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

TEST_F(PluginLoadingTest, ByClassIdTextOrVersionedProgId)
{
    for (const wchar_t* name : {L"{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}", PROGID_SignalPlugin1}) {
        ZrParser parser;
        makeRoomForTheSignalPlugin(parser);
        parser.loadPlugin(name);
        EXPECT_EQ(parser.evaluate(L"counter(0, 7, 1) + rgb.red.hsi(0, 100, 50)"), 101.0) << narrow(name);
    }
}

TEST_F(PluginLoadingTest, FailuresMapToTheirMessages)
{
    ZrParser parser;
    expectChain([&] { parser.loadPlugin(L"No.Such.Plugin"); },
                {{L"ZRDEFEXCEP_PluginNotFound", nullptr,
                  L"The plug-in cannot be found.  Make sure the plug-in is properly registered. CLSID = No.Such.Plugin",
                  L"No.Such.Plugin"}});
    expectChain([&] { parser.loadPlugin(L"{99999999-2222-3333-0404-050506060707}"); },
                {{L"ZRDEFEXCEP_PluginNotFound", nullptr, nullptr, L"{99999999-2222-3333-0404-050506060707}"}});

    FakePlugin::offersPluginInterface = false;
    expectChain([&] { parser.loadPlugin(FAKE_TEXT); },
                {{L"ZRDEFEXCEP_PluginTypeLibNotFound", nullptr,
                  L"The plug-in type lib file cannot be found: '_ZrParserPlugin.tlb'.  This file describes the plug-in "
                  L"interface.",
                  L"_ZrParserPlugin.tlb"}});
    FakePlugin::offersPluginInterface = true;

    // A plug-in that cannot count its functions cannot say what it is either.
    FakePlugin::failCount = true;
    expectChain([&] { parser.loadPlugin(L"Test.Fake"); },
                {{L"ZRDEFEXCEP_PluginVersion", nullptr,
                  L"The plug-in version is incompatible with this library.  Plug-in CLSID = Test.Fake.  Requested "
                  L"version: 16U.  Plug-in version: %param1"}});

    // "fake" is defined, then "abs" conflicts with the default function.
    FakePlugin::failCount = false;
    expectChain([&] { parser.loadPlugin(FAKE_TEXT); },
                {{L"ZRDEFEXCEP_PluginDefConflict", nullptr, nullptr, FAKE_TEXT},
                 {L"ZRDEFEXCEP_FuncAlreadyDefined", nullptr, nullptr, L"abs"}});
    EXPECT_EQ(parser.evaluate(L"fake(3)"), 3.0);
}

TEST_F(PluginLoadingTest, PluginObjectsLiveAsLongAsTheirRegistrars)
{
    {
        ZrParser parser;
        parser.undefineFuncsBySymbol(L"abs");
        parser.loadPlugin(L"Test.Fake");
        EXPECT_EQ(FakePlugin::liveObjects, 1);
        {
            ZrParser child(parser.getCompiler(), parser.getRegistrar(), false);
            EXPECT_EQ(child.evaluate(L"fake(2) + abs(5)"), 7.0);
        }
        EXPECT_EQ(FakePlugin::liveObjects, 1);
    }
    EXPECT_EQ(FakePlugin::liveObjects, 0);
}

} // namespace
