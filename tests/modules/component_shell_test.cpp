// The signal plug-in module's entry points as a host sees them: its version data, its class
// factory, when it may be unloaded, aggregation, objects made by two threads at once, and the
// registry entries it writes and removes.
#include <functional>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "component_test_support.h"
#include "zrcomponent/ZrComponentModule.h"
#include "zrparser/ZrParserPluginI.h"
#include "zrcomponent/ZrRegistry.h"
#include "zrsignal/CSignalPlugin.h"

namespace {

zr::ComponentModule signalModule()
{
    zr::ComponentModule module;
    std::string error;
    EXPECT_EQ(zr::ComponentModule::open(ZR_SIGNAL_MODULE, module, &error), zr::S_OK) << error;
    return module;
}

zr::IClassFactory* classFactory(const zr::ComponentModule& module)
{
    zr::IClassFactory* factory = nullptr;
    EXPECT_EQ(module.getClassObject(CLSID_SignalPlugin, zr::IID_IClassFactory, reinterpret_cast<void**>(&factory)),
              zr::S_OK);
    return factory;
}

zr::IUnknown* createPlugin(zr::IClassFactory& factory)
{
    zr::IUnknown* object = nullptr;
    EXPECT_EQ(factory.CreateInstance(nullptr, IID_IZrParserPlugin, reinterpret_cast<void**>(&object)), zr::S_OK);
    return object;
}

TEST(SignalPluginModule, DescribesItselfWithoutCreatingAnObject)
{
    const zr::ComponentModule module = signalModule();
    const ZrModuleInfo* info = module.info();
    ASSERT_NE(info, nullptr);
    const std::pair<const wchar_t*, const wchar_t*> fields[] = {
        {info->fileVersion, L"1.0.1.11"},
        {info->productVersion, L"1.0.1.11"},
        {info->internalName, L"ZrSignalPlugin.so"},
        {info->originalFilename, L"ZrSignalPlugin.so"},
        {info->projectName, L"ZrSignalPlugin"},
        {info->typeLibName, L"ZrSignalPluginLib"},
        {info->typeLibVersion, L"1.0"},
        {info->typeLibHelpString, L"ZrSignalPlugin 1.0 Type Library"},
        {info->interfaceHelpString, L"ISignalPlugin Interface"},
        {info->classHelpString, L"SignalPlugin Class"},
    };
    for (const auto& [actual, expected] : fields)
        EXPECT_STREQ(actual, expected);
    EXPECT_EQ(module.canUnloadNow(), zr::S_OK);
}

TEST(SignalPluginModule, HandsOutOneCachedClassFactoryForItsClassOnly)
{
    const zr::ComponentModule module = signalModule();
    EXPECT_EQ(module.getClassObject(CLSID_SignalPlugin, zr::IID_IClassFactory, nullptr), zr::E_POINTER);

    void* object = &object;
    EXPECT_EQ(module.getClassObject(IID_IZrParserPlugin, zr::IID_IClassFactory, &object),
              zr::CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(module.getClassObject(CLSID_SignalPlugin, IID_IZrParserPlugin, &object), zr::E_NOINTERFACE);

    zr::IClassFactory* first = classFactory(module);
    zr::IClassFactory* second = classFactory(module);
    zr::IUnknown* asUnknown = nullptr;
    EXPECT_EQ(module.getClassObject(CLSID_SignalPlugin, zr::IID_IUnknown, reinterpret_cast<void**>(&asUnknown)),
              zr::S_OK);
    EXPECT_EQ(first, second);
    EXPECT_EQ(static_cast<zr::IUnknown*>(first), asUnknown);
    for (zr::IUnknown* reference : {static_cast<zr::IUnknown*>(first), static_cast<zr::IUnknown*>(second), asUnknown})
        reference->Release();
    // Holding the class factory does not keep the module in use.
    EXPECT_EQ(module.canUnloadNow(), zr::S_OK);
}

TEST(SignalPluginModule, MayUnloadOnlyWhenNoObjectAndNoServerLockRemain)
{
    const zr::ComponentModule module = signalModule();
    zr::IClassFactory* factory = classFactory(module);
    zr::IUnknown* plugin = nullptr;
    struct Step {
        const char* what;
        std::function<void()> action;
        zr::HRESULT canUnload;
    };
    const Step steps[] = {
        {"create", [&] { plugin = createPlugin(*factory); }, zr::S_FALSE},
        {"second reference", [&] { plugin->AddRef(); }, zr::S_FALSE},
        {"release one of two", [&] { plugin->Release(); }, zr::S_FALSE},
        {"release the last", [&] { plugin->Release(); }, zr::S_OK},
        {"lock the server", [&] { factory->LockServer(true); }, zr::S_FALSE},
        {"create while locked", [&] { plugin = createPlugin(*factory); }, zr::S_FALSE},
        {"release while locked", [&] { plugin->Release(); }, zr::S_FALSE},
        {"unlock the server", [&] { factory->LockServer(false); }, zr::S_OK},
    };
    for (const Step& step : steps) {
        step.action();
        EXPECT_EQ(module.canUnloadNow(), step.canUnload) << "after: " << step.what;
    }
    factory->Release();
}

// An object that aggregates the plug-in: it answers IZrParserPlugin with the inner object's
// interface and counts every reference taken on it.
class Outer final : public zr::IUnknown {
public:
    zr::HRESULT QueryInterface(const zr::IID& iid, void** object) override
    {
        if (iid == zr::IID_IUnknown) {
            *object = this;
            AddRef();
            return zr::S_OK;
        }
        if (iid == IID_IZrParserPlugin)
            return inner->QueryInterface(iid, object);
        *object = nullptr;
        return zr::E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return ++references; }
    std::uint32_t Release() override { return --references; }

    zr::IUnknown* inner = nullptr;
    std::uint32_t references = 1;
};

TEST(SignalPluginModule, AggregatesIntoAnOuterObjectThatOwnsItsIdentity)
{
    const zr::ComponentModule module = signalModule();
    zr::IClassFactory* factory = classFactory(module);
    Outer outer;

    void* refused = &refused;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IZrParserPlugin, &refused), zr::CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(module.canUnloadNow(), zr::S_OK);

    ASSERT_EQ(factory->CreateInstance(&outer, zr::IID_IUnknown, reinterpret_cast<void**>(&outer.inner)), zr::S_OK);
    EXPECT_EQ(outer.references, 1u) << "creating the inner object takes no reference on the outer one";
    EXPECT_EQ(module.canUnloadNow(), zr::S_FALSE);

    IZrParserPlugin* plugin = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IZrParserPlugin, reinterpret_cast<void**>(&plugin)), zr::S_OK);
    EXPECT_EQ(outer.references, 2u) << "the inner object's interfaces count on the outer object";
    int count = 0;
    plugin->getNbFuncs(&count);
    EXPECT_EQ(count, 100);

    zr::IUnknown* identity = nullptr;
    ASSERT_EQ(plugin->QueryInterface(zr::IID_IUnknown, reinterpret_cast<void**>(&identity)), zr::S_OK);
    EXPECT_EQ(identity, &outer);
    identity->Release();
    plugin->Release();
    EXPECT_EQ(outer.references, 1u);

    // The outer object ends the inner one through the inner object's own unknown.
    EXPECT_EQ(outer.inner->Release(), 0u);
    EXPECT_EQ(module.canUnloadNow(), zr::S_OK);
    factory->Release();
}

TEST(SignalPluginModule, CountsObjectsThatTwoThreadsCreateAtOnceExactly)
{
    const zr::ComponentModule module = signalModule();
    zr::IClassFactory* factory = classFactory(module);
    constexpr int OBJECTS_PER_THREAD = 150;
    std::vector<zr::IUnknown*> made[2];
    auto work = [&](std::vector<zr::IUnknown*>& kept) {
        for (int i = 0; i < OBJECTS_PER_THREAD; ++i) {
            factory->LockServer(true);
            kept.push_back(createPlugin(*factory));
            zr::IUnknown* shortLived = createPlugin(*factory);
            shortLived->Release();
            factory->LockServer(false);
        }
    };
    std::thread first(work, std::ref(made[0]));
    std::thread second(work, std::ref(made[1]));
    first.join();
    second.join();

    std::vector<zr::IUnknown*> all = made[0];
    all.insert(all.end(), made[1].begin(), made[1].end());
    ASSERT_EQ(all.size(), 2u * OBJECTS_PER_THREAD);
    EXPECT_EQ(std::set<zr::IUnknown*>(all.begin(), all.end()).size(), all.size());
    for (std::size_t i = 0; i + 1 < all.size(); ++i)
        all[i]->Release();
    EXPECT_EQ(module.canUnloadNow(), zr::S_FALSE) << "one object is still alive";
    all.back()->Release();
    EXPECT_EQ(module.canUnloadNow(), zr::S_OK);
    factory->Release();
}

// Every key and value of a registry, one line each: "path" for a key, "path|name=value" for a
// value (name @ for the default value).
std::set<std::wstring> entriesOf(const zr::RegistryKey& key, const std::wstring& path = L"")
{
    std::set<std::wstring> entries;
    if (!path.empty())
        entries.insert(path);
    if (key.defaultValue)
        entries.insert(path + L"|@=" + *key.defaultValue);
    for (const auto& [name, value] : key.values)
        entries.insert(path + L"|" + name + L"=" + value);
    for (const auto& [name, subkey] : key.subkeys)
        entries.merge(entriesOf(subkey, path.empty() ? name : path + L"\\" + name));
    return entries;
}

std::set<std::wstring> registryEntries()
{
    zr::RegistryTree tree;
    EXPECT_EQ(zr::readRegistry(tree), zr::S_OK);
    return entriesOf(tree.root());
}

TEST(SignalPluginModule, RegistersExactlyItsEntriesAndRemovesThemKeepingTheRoots)
{
    TemporaryRegistry registry;
    const zr::ComponentModule module = signalModule();
    ASSERT_EQ(zr::updateRegistry(
                  [](zr::RegistryTree& t) { t.setValue(L"CLSID\\{Other}\\InprocServer32", L"", L"/x.so"); }),
              zr::S_OK);
    const std::set<std::wstring> before = registryEntries();

    ASSERT_EQ(module.registerServer(), zr::S_OK);
    const std::wstring modulePath =
        widen(std::filesystem::absolute(ZR_SIGNAL_MODULE).lexically_normal().string());
    const std::wstring added[] = {
        L"AppID",
        L"AppID\\{7E4D1B93-2A6C-4E85-A0F7-5B3C9D8E2F14}",
        L"AppID\\{7E4D1B93-2A6C-4E85-A0F7-5B3C9D8E2F14}|@=ZrSignalPlugin",
        L"AppID\\ZrSignalPlugin.DLL",
        L"AppID\\ZrSignalPlugin.DLL|AppID={7E4D1B93-2A6C-4E85-A0F7-5B3C9D8E2F14}",
        L"ZrSignalPlugin.SignalPlugin.1",
        L"ZrSignalPlugin.SignalPlugin.1|@=SignalPlugin Class",
        L"ZrSignalPlugin.SignalPlugin.1\\CLSID",
        L"ZrSignalPlugin.SignalPlugin.1\\CLSID|@={3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}",
        L"ZrSignalPlugin.SignalPlugin",
        L"ZrSignalPlugin.SignalPlugin|@=SignalPlugin Class",
        L"ZrSignalPlugin.SignalPlugin\\CLSID",
        L"ZrSignalPlugin.SignalPlugin\\CLSID|@={3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}",
        L"ZrSignalPlugin.SignalPlugin\\CurVer",
        L"ZrSignalPlugin.SignalPlugin\\CurVer|@=ZrSignalPlugin.SignalPlugin.1",
        L"CLSID\\{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}",
        L"CLSID\\{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}|@=SignalPlugin Class",
        L"CLSID\\{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}|AppID={7E4D1B93-2A6C-4E85-A0F7-5B3C9D8E2F14}",
        L"CLSID\\{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}\\ProgID",
        L"CLSID\\{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}\\ProgID|@=ZrSignalPlugin.SignalPlugin.1",
        L"CLSID\\{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}\\VersionIndependentProgID",
        L"CLSID\\{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}\\VersionIndependentProgID|@=ZrSignalPlugin.SignalPlugin",
        L"CLSID\\{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}\\Programmable",
        L"CLSID\\{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}\\InprocServer32",
        L"CLSID\\{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}\\InprocServer32|@=" + modulePath,
        L"CLSID\\{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}\\InprocServer32|ThreadingModel=Free",
        L"CLSID\\{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}\\TypeLib",
        L"CLSID\\{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}\\TypeLib|@={D2C8B6A0-4E7F-4B1D-9C35-8F6A1E0D5C73}",
    };
    std::set<std::wstring> expected = before;
    expected.insert(std::begin(added), std::end(added));
    EXPECT_EQ(registryEntries(), expected);

    const std::string registered = registry.text();
    ASSERT_EQ(module.registerServer(), zr::S_OK);
    EXPECT_EQ(registry.text(), registered) << "registering again changes nothing";

    ASSERT_EQ(module.unregisterServer(), zr::S_OK);
    std::set<std::wstring> remaining = before;
    remaining.insert(L"AppID");
    EXPECT_EQ(registryEntries(), remaining);
    EXPECT_EQ(module.unregisterServer(), zr::S_OK) << "unregistering twice is no error";
}

} // namespace
