// A plug-in module for the loading tests, built in two variants: one that reports the wrong
// library version (ZR_TEST_OLD_VERSION), and one whose third function conflicts with the
// default "abs". Both register themselves like any third-party module.
#include <string>

#include "zrcomponent/ZrComponentModule.h"
#include "zrparser/ZrParserItemI.h"
#include "zrparser/ZrParserPluginI.h"
#include "zrcomponent/ZrRegistry.h"

using namespace zr;

namespace {

#ifdef ZR_TEST_OLD_VERSION
constexpr const wchar_t* VERSION = L"15U";
constexpr const wchar_t* PROGID = L"ZrTest.OldPlugin";
// {7A5D0C11-0000-4000-8000-000000000015}
constexpr CLSID CLSID_TestPlugin{0x7A5D0C11, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x15}};
#else
constexpr const wchar_t* VERSION = L"16U";
constexpr const wchar_t* PROGID = L"ZrTest.ConflictingPlugin";
// {7A5D0C11-0000-4000-8000-000000000016}
constexpr CLSID CLSID_TestPlugin{0x7A5D0C11, 0x0000, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0x16}};
#endif

// Returns its argument times a factor.
class ScaledFct final : public ZrFunctionI {
public:
    ScaledFct(const wchar_t* symbol, double factor) : symbol_(symbol), factor_(factor) {}
    const wchar_t* getSymbol() const override { return symbol_; }
    const wchar_t* getHelpString() const override { return L"f(x)"; }
    const wchar_t* getDescription() const override { return L"x times a factor"; }
    bool isConstant() const override { return true; }
    int getNbArgs() const override { return 1; }
    bool isShareable() const override { return true; }
    double evaluate(unsigned, const double* args) override { return args[0] * factor_; }
    ZrFunctionI* spawn() const override { return new ScaledFct(symbol_, factor_); }

private:
    const wchar_t* symbol_;
    double factor_;
};

class TestPlugin final : public CountedObject<IZrParserPlugin> {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override
    {
        return queryInterfaceFrom({{IID_IUnknown, this}, {IID_IDispatch, this}, {IID_IZrParserPlugin, this}}, iid,
                                  object);
    }
    HRESULT GetTypeInfoCount(unsigned*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(unsigned, std::uint32_t, void**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(const IID&, wchar_t**, unsigned, std::uint32_t, std::int32_t*) override { return E_NOTIMPL; }
    HRESULT Invoke(std::int32_t, const IID&, std::uint32_t, std::uint16_t, void*, void*, void*, unsigned*) override
    {
        return E_NOTIMPL;
    }

    HRESULT getNbFuncs(int* count) override
    {
        *count = 4;
        return S_OK;
    }
    HRESULT createFunc(int index, ZrFunctionI** func) override
    {
        static constexpr const wchar_t* symbols[] = {L"twice", L"thrice", L"abs", L"never"};
        *func = new ScaledFct(symbols[index], index + 2.0);
        return S_OK;
    }
    HRESULT getNbOps(int* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT createOp(int, ZrOperatorI** op) override
    {
        *op = nullptr;
        return S_OK;
    }
    HRESULT getParserVersion(BSTR* version) override
    {
        *version = sysAllocString(VERSION);
        return S_OK;
    }
    HRESULT getInfoFile(BSTR* fileName, BSTR* second, int* flag) override
    {
        *fileName = sysAllocString(L"TestPlugin.xml");
        *second = sysAllocString(L"1");
        *flag = 1;
        return S_OK;
    }
};

class TestPluginFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override
    {
        return queryInterfaceFrom({{IID_IUnknown, this}, {IID_IClassFactory, this}}, iid, object);
    }
    std::uint32_t AddRef() override { return 1; }
    std::uint32_t Release() override { return 1; }
    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override
    {
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* plugin = new TestPlugin();
        plugin->AddRef();
        const HRESULT hr = plugin->QueryInterface(iid, object);
        plugin->Release();
        return hr;
    }
    HRESULT LockServer(bool) override { return S_OK; }
};

TestPluginFactory factory;

std::wstring classKey()
{
    return L"CLSID\\" + guidToString(CLSID_TestPlugin);
}

} // namespace

ZR_MODULE_EXPORT HRESULT DllGetClassObject(const CLSID& clsid, const IID& iid, void** object)
{
    if (!(clsid == CLSID_TestPlugin)) {
        *object = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return factory.QueryInterface(iid, object);
}

ZR_MODULE_EXPORT HRESULT DllRegisterServer()
{
    const std::wstring path = modulePathOf(reinterpret_cast<const void*>(&DllRegisterServer));
    return updateRegistry([&](RegistryTree& registry) {
        registry.setValue(PROGID, L"", L"Test plug-in");
        registry.setValue(std::wstring(PROGID) + L"\\CLSID", L"", guidToString(CLSID_TestPlugin));
        registry.setValue(classKey() + L"\\InprocServer32", L"", path);
    });
}

ZR_MODULE_EXPORT HRESULT DllUnregisterServer()
{
    return updateRegistry([](RegistryTree& registry) {
        registry.remove(PROGID);
        registry.remove(classKey());
    });
}
