// The plug-in's catalogue as a loader sees it: every entry at its index with its symbol, id,
// argument count and flags; fresh instances; the interfaces the plug-in answers.
#include <memory>

#include <gtest/gtest.h>

#include "zrparser/ZrParserItemI.h"
#include "zrsignal/CSignalPlugin.h"

namespace {

struct CatalogueRow {
    const wchar_t* symbol;
    const wchar_t* id; // null: the symbol
    int nbArgs;
    bool constant;
    bool shareable;
};

// The published catalogue, in createFunc order.
const CatalogueRow kCatalogue[] = {
    {L"loop", nullptr, 3, false, false}, {L"randloop", nullptr, 3, false, false}, // 0, 1
    {L"sequence", nullptr, 4, false, false}, {L"timedsequence", nullptr, 4, false, false}, // 2, 3
    {L"__trigger", nullptr, 5, false, false}, {L"distance", L"distance3d", 6, true, true}, // 4, 5
    {L"distance", nullptr, 4, true, true}, {L"__clock", nullptr, 1, false, false}, // 6, 7
    {L"__timeout", nullptr, 2, false, false}, {L"delta", nullptr, 1, false, false}, // 8, 9
    {L"__timeoutoractive", nullptr, 2, false, false}, {L"onchange", nullptr, 2, false, false}, // 10, 11
    {L"onchange", nullptr, 1, false, false}, {L"beat", nullptr, 1, false, false}, // 12, 13
    {L"onbeat", nullptr, 3, false, false}, {L"onbeat", nullptr, 2, false, false}, // 14, 15
    {L"onbeat", nullptr, 1, false, false}, {L"restrain", nullptr, 3, true, true}, // 16, 17
    {L"pingcounter", nullptr, 4, false, false}, {L"pingcounter", nullptr, 3, false, false}, // 18, 19
    {L"counter", nullptr, 5, false, false}, {L"counter", nullptr, 4, false, false}, // 20, 21
    {L"noloopcounter", nullptr, 5, false, false}, {L"noloopcounter", nullptr, 4, false, false}, // 22, 23
    {L"noloopcounter", nullptr, 3, false, false}, {L"counter", nullptr, 3, false, false}, // 24, 25
    {L"rand", L"rand1", 2, false, true}, {L"rand", L"rand2", 0, false, true}, // 26, 27
    {L"randint", nullptr, 2, false, false}, {L"__randclock", nullptr, 2, false, false}, // 28, 29
    {L"__pulse", nullptr, 2, false, false}, {L"__randpulse", nullptr, 3, false, false}, // 30, 31
    {L"__delay", nullptr, 2, true, false}, {L"__record", nullptr, 3, false, false}, // 32, 33
    {L"recordonchange", nullptr, 5, false, false}, {L"__circulartransition", nullptr, 2, false, false}, // 34, 35
    {L"__transition.hue", nullptr, 3, false, false}, {L"__transition.saturation", nullptr, 3, false, false}, // 36, 37
    {L"__fadeinlinear", nullptr, 2, true, false}, {L"__fadeinsigmoid", nullptr, 2, true, false}, // 38, 39
    {L"__fadeinexp", nullptr, 2, true, false}, {L"__fadeinlog", nullptr, 2, true, false}, // 40, 41
    {L"__fadeoutlinear", nullptr, 2, true, false}, {L"__fadeoutsigmoid", nullptr, 2, true, false}, // 42, 43
    {L"__fadeoutexp", nullptr, 2, true, false}, {L"__fadeoutlog", nullptr, 2, true, false}, // 44, 45
    {L"__sawtooth", nullptr, 1, false, false}, {L"__sawtooth", nullptr, 2, false, false}, // 46, 47
    {L"__sawtooth", nullptr, 3, false, false}, {L"map.sawtooth", nullptr, 1, true, true}, // 48, 49
    {L"__triangle", nullptr, 1, false, false}, {L"map.triangle", nullptr, 1, true, true}, // 50, 51
    {L"map.sigmoid", nullptr, 1, true, true}, {L"map.exp", nullptr, 1, true, true}, // 52, 53
    {L"map.log", nullptr, 1, true, true}, {L"__sin", nullptr, 1, false, false}, // 54, 55
    {L"__cos", nullptr, 1, false, false}, {L"__organic", nullptr, 1, false, false}, // 56, 57
    {L"__randorganic", nullptr, 1, false, false}, {L"switch", nullptr, -1, true, false}, // 58, 59
    {L"latestindex", nullptr, -1, true, false}, {L"coalesce", nullptr, -1, true, true}, // 60, 61
    {L"selectcondition", nullptr, -1, true, false}, {L"select", nullptr, -1, true, true}, // 62, 63
    {L"gmem", nullptr, 2, false, true}, {L"grecall", nullptr, 1, false, true}, // 64, 65
    {L"latch", nullptr, 3, false, false}, {L"latch", nullptr, 2, false, false}, // 66, 67
    {L"latchdelta", nullptr, 4, false, false}, {L"latchdelta", nullptr, 3, false, false}, // 68, 69
    {L"latchdelta", nullptr, 2, false, false}, {L"timer", nullptr, 2, false, false}, // 70, 71
    {L"timer", nullptr, 1, false, false}, {L"__averager", nullptr, 2, false, false}, // 72, 73
    {L"__bpmcounter", nullptr, 2, false, false}, {L"__taptempo", nullptr, 2, false, false}, // 74, 75
    {L"__taptempobpm", nullptr, 2, false, false}, {L"map.sin", nullptr, 1, true, true}, // 76, 77
    {L"map.cos", nullptr, 1, true, true}, {L"scale", nullptr, 5, true, true}, // 78, 79
    {L"scale", nullptr, 3, true, true}, {L"isbetween", nullptr, 3, true, true}, // 80, 81
    {L"math.cos", nullptr, 1, true, true}, {L"math.acos", nullptr, 1, true, true}, // 82, 83
    {L"math.sin", nullptr, 1, true, true}, {L"math.asin", nullptr, 1, true, true}, // 84, 85
    {L"math.tan", nullptr, 1, true, true}, {L"math.atan", nullptr, 1, true, true}, // 86, 87
    {L"math.anglebetween", nullptr, 4, true, true}, {L"math.elevationangle", nullptr, 6, true, true}, // 88, 89
    {L"motor.pan", nullptr, 2, false, false}, {L"rgb.red", nullptr, 4, true, true}, // 90, 91
    {L"rgb.green", nullptr, 4, true, true}, {L"rgb.blue", nullptr, 4, true, true}, // 92, 93
    {L"rgb.red.hsi", nullptr, 3, true, true}, {L"rgb.green.hsi", nullptr, 3, true, true}, // 94, 95
    {L"rgb.blue.hsi", nullptr, 3, true, true}, {L"hsi.hue.rgb", nullptr, 3, true, true}, // 96, 97
    {L"hsi.saturation.rgb", nullptr, 3, true, true}, {L"hsi.intensity.rgb", nullptr, 3, true, true}, // 98, 99
};

struct PluginRelease {
    void operator()(zr::IUnknown* p) const { p->Release(); }
};

std::unique_ptr<IZrParserPlugin, PluginRelease> createPlugin()
{
    void* object = nullptr;
    EXPECT_EQ(CSignalPlugin::create(IID_IZrParserPlugin, &object), zr::S_OK);
    return std::unique_ptr<IZrParserPlugin, PluginRelease>(static_cast<IZrParserPlugin*>(object));
}

TEST(Catalogue, EveryEntryAtItsIndexWithItsNameArgumentsAndFlags)
{
    const auto plugin = createPlugin();
    int count = -1;
    ASSERT_EQ(plugin->getNbFuncs(&count), zr::S_OK);
    ASSERT_EQ(count, static_cast<int>(std::size(kCatalogue)));
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE("index " + std::to_string(i));
        ZrFunctionI* created = nullptr;
        ZrFunctionI* again = nullptr;
        ASSERT_EQ(plugin->createFunc(i, &created), zr::S_OK);
        plugin->createFunc(i, &again);
        const std::unique_ptr<ZrFunctionI> item(created), second(again);
        const CatalogueRow& row = kCatalogue[i];
        EXPECT_STREQ(item->getSymbol(), row.symbol);
        EXPECT_STREQ(item->getID(), row.id ? row.id : row.symbol);
        EXPECT_EQ(item->getNbArgs(), row.nbArgs);
        EXPECT_EQ(item->isConstant(), row.constant);
        EXPECT_EQ(item->isShareable(), row.shareable);
        EXPECT_NE(item.get(), second.get()) << "every call gets a fresh instance";
        EXPECT_NE(std::wstring(item->getHelpString()), L"");
        EXPECT_NE(std::wstring(item->getDescription()), L"");
    }
    for (int index : {-1, count, count + 100}) {
        ZrFunctionI* func = reinterpret_cast<ZrFunctionI*>(1);
        EXPECT_EQ(plugin->createFunc(index, &func), zr::E_INVALIDARG);
        EXPECT_EQ(func, nullptr);
    }
}

TEST(Catalogue, InterfaceQueries)
{
    const auto plugin = createPlugin();
    void* object = nullptr;
    for (const zr::IID& iid : {IID_ISignalPlugin, IID_IZrParserPlugin, zr::IID_IDispatch, zr::IID_IUnknown,
                               zr::IID_ISupportErrorInfo}) {
        object = nullptr;
        EXPECT_EQ(plugin->QueryInterface(iid, &object), zr::S_OK);
        ASSERT_NE(object, nullptr);
        static_cast<zr::IUnknown*>(object)->Release();
    }
    // The dispatch interface is answered with the plug-in interface.
    plugin->QueryInterface(zr::IID_IDispatch, &object);
    EXPECT_EQ(object, static_cast<void*>(plugin.get()));
    plugin->Release();

    const zr::IID unknownIid{0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(plugin->QueryInterface(unknownIid, &object), zr::E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    plugin->QueryInterface(zr::IID_ISupportErrorInfo, &object);
    auto* errorInfo = static_cast<zr::ISupportErrorInfo*>(object);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_ISignalPlugin), zr::S_OK);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IZrParserPlugin), zr::S_FALSE);
    errorInfo->Release();
}

} // namespace
