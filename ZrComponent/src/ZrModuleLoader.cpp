// Component modules opened by hosts, and objects created through the registry.
#include "ZrModuleLoader.h"

#include <string>

#include "ZrRegistryLayers.h"
#include "ZrSystem.h"
#include "zrparser/ZrUtf8.h"
#include "zrcomponent/ZrClassTable.h"
#include "zrcomponent/ZrComponentModule.h"
#include "zrcomponent/ZrRegistry.h"

namespace zr {

namespace {

// A CurVer chain longer than this is a loop.
constexpr int MAX_CURVER_HOPS = 8;

// The key below CLSID that names `clsid`, whatever the case of its hex digits.
const RegistryKey* classKey(const RegistryTree& tree, const CLSID& clsid)
{
    const RegistryKey* classes = tree.find(L"CLSID");
    if (!classes)
        return nullptr;
    if (const auto exact = classes->subkeys.find(guidToString(clsid)); exact != classes->subkeys.end())
        return &exact->second;
    for (const auto& [name, key] : classes->subkeys)
        if (guidFromString(name.c_str()) == clsid)
            return &key;
    return nullptr;
}

} // namespace

// ---- ComponentModule ----------------------------------------------------------------------

HRESULT ComponentModule::open(const std::filesystem::path& file, ComponentModule& module, std::string* error)
{
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    if (ec)
        absolute = file;
    void* handle = sys::openModule(absolute, error);
    if (!handle)
        return CO_E_DLLNOTFOUND;
    module.handle_ = handle;
    module.file_ = absolute;
    return S_OK;
}

void* ComponentModule::entryPoint(const char* name) const
{
    return handle_ ? sys::findSymbol(handle_, name) : nullptr;
}

HRESULT ComponentModule::getClassObject(const CLSID& clsid, const IID& iid, void** object) const
{
    const auto fn = reinterpret_cast<DllGetClassObjectFn>(entryPoint("DllGetClassObject"));
    if (!fn) {
        if (object)
            *object = nullptr;
        return CO_E_ERRORINDLL;
    }
    return fn(clsid, iid, object);
}

HRESULT ComponentModule::canUnloadNow() const
{
    const auto fn = reinterpret_cast<DllCanUnloadNowFn>(entryPoint("DllCanUnloadNow"));
    return fn ? fn() : CO_E_ERRORINDLL;
}

HRESULT ComponentModule::registerServer() const
{
    const auto fn = reinterpret_cast<DllRegisterServerFn>(entryPoint("DllRegisterServer"));
    return fn ? fn() : CO_E_ERRORINDLL;
}

HRESULT ComponentModule::unregisterServer() const
{
    const auto fn = reinterpret_cast<DllUnregisterServerFn>(entryPoint("DllUnregisterServer"));
    return fn ? fn() : CO_E_ERRORINDLL;
}

const ZrModuleInfo* ComponentModule::info() const
{
    const auto fn = reinterpret_cast<ZrGetModuleInfoFn>(entryPoint("ZrGetModuleInfo"));
    return fn ? fn() : nullptr;
}

// ---- registrations for this process -------------------------------------------------------

HRESULT registerModuleForProcess(const std::filesystem::path& file, std::vector<std::wstring>& classIds,
                                 std::string* error)
{
    classIds.clear();
    useComponentRuntime();
    ComponentModule module;
    HRESULT hr = ComponentModule::open(file, module, error);
    if (failed(hr))
        return hr;
    RegistryTree layer;
    hr = withUpdatesInto(layer, [&] { return module.registerServer(); });
    if (failed(hr))
        return hr;
    if (const RegistryKey* classes = layer.find(L"CLSID"))
        for (const auto& [name, key] : classes->subkeys)
            classIds.push_back(name);
    addToProcessLayer(layer);
    return S_OK;
}

std::wstring modulePathOf(const void* address)
{
    return fromUtf8(sys::modulePathOf(address).string());
}

std::filesystem::path executablePath()
{
    return sys::executablePath();
}

// ---- lookups for the class table ------------------------------------------------------------

std::optional<CLSID> clsidFromRegistry(std::wstring_view progId)
{
    // A ProgID is one key name; a path would reach into other parts of the registry.
    if (progId.empty() || progId.find(L'\\') != std::wstring_view::npos)
        return std::nullopt;
    const RegistryTree tree = effectiveRegistry();
    std::wstring name(progId);
    for (int hop = 0; hop < MAX_CURVER_HOPS; ++hop) {
        const std::optional<std::wstring> current = tree.value(name + L"\\CurVer");
        if (current && *current != name && current->find(L'\\') == std::wstring::npos && tree.find(*current)) {
            name = *current;
            continue;
        }
        const std::optional<std::wstring> text = tree.value(name + L"\\CLSID");
        if (!text)
            return std::nullopt;
        return guidFromString(text->c_str());
    }
    return std::nullopt;
}

HRESULT createFromRegistry(const CLSID& clsid, IUnknown* outer, const IID& iid, void** object)
{
    const RegistryTree tree = effectiveRegistry();
    const RegistryKey* key = classKey(tree, clsid);
    const RegistryKey* server = nullptr;
    if (key)
        if (const auto it = key->subkeys.find(L"InprocServer32"); it != key->subkeys.end())
            server = &it->second;
    if (!server || !server->defaultValue || server->defaultValue->empty())
        return REGDB_E_CLASSNOTREG;

    ComponentModule module;
    HRESULT hr = ComponentModule::open(sys::pathFromWide(*server->defaultValue), module);
    if (failed(hr))
        return hr;
    IClassFactory* factory = nullptr;
    hr = module.getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (failed(hr))
        return hr;
    if (!factory)
        return E_UNEXPECTED;
    hr = factory->CreateInstance(outer, iid, object);
    factory->Release();
    return hr;
}

} // namespace zr
