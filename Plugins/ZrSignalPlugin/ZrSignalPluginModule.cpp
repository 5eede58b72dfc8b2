// The loadable module ZrSignalPlugin.so: its class factory, its registration entries and the
// entry points through which hosts create CSignalPlugin and register the module.
#include <atomic>
#include <memory>
#include <mutex>
#include <new>

#include "zrcomponent/ZrComponentModule.h"
#include "zrcomponent/ZrRegistry.h"
#include "zrsignal/CSignalPlugin.h"

using namespace zr;

namespace {

// The class factory of CSignalPlugin. The module creates one on first use and owns it for its
// whole life, so its references are counted but never delete it.
class CSignalPluginFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override
    {
        return queryInterfaceFrom({{IID_IUnknown, this}, {IID_IClassFactory, this}}, iid, object);
    }
    std::uint32_t AddRef() override { return refs_.increment(); }
    std::uint32_t Release() override { return refs_.decrement(); }

    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override
    {
        return CSignalPlugin::createInstance(outer, iid, object);
    }

    HRESULT LockServer(bool lock) override
    {
        if (lock)
            CZrSignalPluginModule::lock();
        else
            CZrSignalPluginModule::unlock();
        return S_OK;
    }

private:
    RefCount refs_;
};

// The module object: its one class and the cached class factory, created under the module lock.
class SignalPluginModule {
public:
    SignalPluginModule() { initialised_.store(true, std::memory_order_release); }

    // False only for a call that comes before the module's static initialisation has run.
    bool isInitialised() const { return initialised_.load(std::memory_order_acquire); }

    // The cached class factory, created once.
    CSignalPluginFactory* classFactory()
    {
        std::lock_guard guard(lock_);
        if (!factory_)
            factory_ = std::make_unique<CSignalPluginFactory>();
        return factory_.get();
    }

private:
    std::atomic<bool> initialised_{false};
    std::mutex lock_;
    std::unique_ptr<CSignalPluginFactory> factory_;
};

SignalPluginModule theModule;

// Names used by the registration entries.
constexpr const wchar_t* PROJECT_NAME = L"ZrSignalPlugin";
constexpr const wchar_t* CLASS_DESCRIPTION = L"SignalPlugin Class";
// The application id's module-name key keeps the name that the component model gives it.
constexpr const wchar_t* APPID_MODULE_KEY = L"AppID\\ZrSignalPlugin.DLL";

std::wstring classKeyPath()
{
    return L"CLSID\\" + guidToString(CLSID_SignalPlugin);
}

std::wstring appIdKeyPath()
{
    return L"AppID\\" + guidToString(APPID_ZrSignalPlugin);
}

// The application-id entries: the module's application id under its name.
void addApplicationEntries(RegistryTree& registry)
{
    const std::wstring appId = guidToString(APPID_ZrSignalPlugin);
    registry.setValue(appIdKeyPath(), L"", PROJECT_NAME);
    registry.setValue(APPID_MODULE_KEY, L"AppID", appId);
}

// The class entries: both ProgIDs, and the class id with its server, threading model,
// ProgIDs, application id and type library.
void addClassEntries(RegistryTree& registry, const std::wstring& modulePath)
{
    const std::wstring classId = guidToString(CLSID_SignalPlugin);
    const std::wstring versioned = PROGID_SignalPlugin1;
    const std::wstring independent = PROGID_SignalPlugin;
    registry.setValue(versioned, L"", CLASS_DESCRIPTION);
    registry.setValue(versioned + L"\\CLSID", L"", classId);
    registry.setValue(independent, L"", CLASS_DESCRIPTION);
    registry.setValue(independent + L"\\CLSID", L"", classId);
    registry.setValue(independent + L"\\CurVer", L"", versioned);

    const std::wstring key = classKeyPath();
    registry.setValue(key, L"", CLASS_DESCRIPTION);
    registry.setValue(key, L"AppID", guidToString(APPID_ZrSignalPlugin));
    registry.setValue(key + L"\\ProgID", L"", versioned);
    registry.setValue(key + L"\\VersionIndependentProgID", L"", independent);
    registry.create(key + L"\\Programmable");
    registry.setValue(key + L"\\InprocServer32", L"", modulePath);
    registry.setValue(key + L"\\InprocServer32", L"ThreadingModel", L"Free");
    registry.setValue(key + L"\\TypeLib", L"", guidToString(LIBID_ZrSignalPluginLib));
}

// Removes what the class entries added; the CLSID key itself stays.
void removeClassEntries(RegistryTree& registry)
{
    registry.remove(PROGID_SignalPlugin1);
    registry.remove(PROGID_SignalPlugin);
    registry.remove(classKeyPath());
}

// Removes what the application-id entries added; the AppID key itself stays.
void removeApplicationEntries(RegistryTree& registry)
{
    registry.remove(appIdKeyPath());
    registry.remove(APPID_MODULE_KEY);
}

constexpr ZrModuleInfo moduleInfo{
    .fileVersion = L"1.0.1.11",
    .productVersion = L"1.0.1.11",
    // The module's own file name on this platform.
    .internalName = L"ZrSignalPlugin.so",
    .originalFilename = L"ZrSignalPlugin.so",
    .projectName = PROJECT_NAME,
    .typeLibName = L"ZrSignalPluginLib",
    .typeLibVersion = L"1.0",
    .typeLibHelpString = L"ZrSignalPlugin 1.0 Type Library",
    .interfaceHelpString = L"ISignalPlugin Interface",
    .classHelpString = CLASS_DESCRIPTION,
};

} // namespace

// Hands out the cached class factory of CSignalPlugin.
ZR_MODULE_EXPORT HRESULT DllGetClassObject(const CLSID& clsid, const IID& iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!theModule.isInitialised())
        return E_UNEXPECTED;
    if (!(clsid == CLSID_SignalPlugin))
        return CLASS_E_CLASSNOTAVAILABLE;
    try {
        return theModule.classFactory()->QueryInterface(iid, object);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// S_OK when no object and no server lock keep the module in use.
ZR_MODULE_EXPORT HRESULT DllCanUnloadNow()
{
    return CZrSignalPluginModule::lockCount() == 0 ? S_OK : S_FALSE;
}

// Writes the application-id and class entries, with this module's path as the class's server,
// in one registry transaction: all of them land or none. The thread-locale switch that the
// registration scripts need on their original platform has no meaning here: the entries hold
// no locale-dependent text.
ZR_MODULE_EXPORT HRESULT DllRegisterServer()
{
    const std::wstring modulePath = modulePathOf(reinterpret_cast<const void*>(&DllRegisterServer));
    if (modulePath.empty())
        return E_UNEXPECTED;
    return updateRegistry([&](RegistryTree& registry) {
        addApplicationEntries(registry);
        addClassEntries(registry, modulePath);
    });
}

// Removes the class entries, then the application-id entries, in one registry transaction.
// Entries that are already gone are not an error.
ZR_MODULE_EXPORT HRESULT DllUnregisterServer()
{
    return updateRegistry([](RegistryTree& registry) {
        removeClassEntries(registry);
        removeApplicationEntries(registry);
    });
}

// The module's version block, project name and type-library description.
ZR_MODULE_EXPORT const ZrModuleInfo* ZrGetModuleInfo()
{
    return &moduleInfo;
}
