// The signal plug-in module's entry points as a host sees them: its class factory, when it may
// be unloaded (also with objects made on two threads at once), aggregation, and the registry
// entries it writes and removes.
#include <algorithm>
#include <functional>
#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "component_test_support.h"
#include "engine_test_support.h"
#include "zrcomponent/ZrComponentModule.h"
#include "zrcomponent/ZrRegistry.h"
#include "zrparser/ZrParserPluginI.h"
#include "zrsignal/CSignalPlugin.h"

namespace {

// The module, opened, with its class factory.
struct SignalModule {
    zr::ComponentModule module;
    zr::IClassFactory* factory = nullptr;

    SignalModule()
    {
        std::string error;
        EXPECT_EQ(zr::ComponentModule::open(ZR_SIGNAL_MODULE, module, &error), zr::S_OK) << error;
        EXPECT_EQ(module.getClassObject(CLSID_SignalPlugin, zr::IID_IClassFactory, reinterpret_cast<void**>(&factory)),
                  zr::S_OK);
    }
    ~SignalModule()
    {
        if (factory)
            factory->Release();
    }

    zr::IUnknown* create() const
    {
        zr::IUnknown* object = nullptr;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IZrParserPlugin, reinterpret_cast<void**>(&object)), zr::S_OK);
        return object;
    }
};

TEST(SignalPluginModule, MayUnloadOnlyWhenNoObjectAndNoServerLockRemain)
{
    SignalModule signal;
    const zr::ComponentModule& module = signal.module;
    EXPECT_NE(module.info(), nullptr) << "the module describes itself without creating an object";
    void* object = &object;
    EXPECT_EQ(module.getClassObject(IID_IZrParserPlugin, zr::IID_IClassFactory, &object), zr::CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(module.getClassObject(CLSID_SignalPlugin, zr::IID_IClassFactory, nullptr), zr::E_POINTER);

    zr::IUnknown* plugin = nullptr;
    const struct {
        const char* what;
        std::function<void()> action;
        zr::HRESULT canUnload;
    } steps[] = {
        {"holding the class factory", [] {}, zr::S_OK},
        {"create", [&] { plugin = signal.create(); }, zr::S_FALSE},
        {"second reference", [&] { plugin->AddRef(); }, zr::S_FALSE},
        {"release one of two", [&] { plugin->Release(); }, zr::S_FALSE},
        {"release the last", [&] { plugin->Release(); }, zr::S_OK},
        {"lock the server", [&] { signal.factory->LockServer(true); }, zr::S_FALSE},
        {"create and release while locked", [&] { signal.create()->Release(); }, zr::S_FALSE},
        {"unlock the server", [&] { signal.factory->LockServer(false); }, zr::S_OK},
    };
    for (const auto& step : steps) {
        step.action();
        EXPECT_EQ(module.canUnloadNow(), step.canUnload) << "after: " << step.what;
    }
}

TEST(SignalPluginModule, CountsObjectsThatTwoThreadsCreateAtOnceExactly)
{
    SignalModule signal;
    constexpr int OBJECTS_PER_THREAD = 150;
    std::vector<zr::IUnknown*> made[2];
    auto work = [&](std::vector<zr::IUnknown*>& kept) {
        for (int i = 0; i < OBJECTS_PER_THREAD; ++i) {
            signal.factory->LockServer(true);
            kept.push_back(signal.create());
            signal.create()->Release();
            signal.factory->LockServer(false);
        }
    };
    std::thread first(work, std::ref(made[0]));
    std::thread second(work, std::ref(made[1]));
    first.join();
    second.join();
    std::vector<zr::IUnknown*> all = made[0];
    all.insert(all.end(), made[1].begin(), made[1].end());
    EXPECT_EQ(std::set<zr::IUnknown*>(all.begin(), all.end()).size(), 2u * OBJECTS_PER_THREAD);
    for (std::size_t i = 0; i + 1 < all.size(); ++i)
        all[i]->Release();
    EXPECT_EQ(signal.module.canUnloadNow(), zr::S_FALSE) << "one object is still alive";
    all.back()->Release();
    EXPECT_EQ(signal.module.canUnloadNow(), zr::S_OK);
}

// An object that aggregates the plug-in: it answers IZrParserPlugin with the inner object's
// interface and counts every reference taken on it.
class Outer final : public zr::IUnknown {
public:
    zr::HRESULT QueryInterface(const zr::IID& iid, void** object) override
    {
        if (iid == IID_IZrParserPlugin)
            return inner->QueryInterface(iid, object);
        return zr::queryInterfaceFrom({{zr::IID_IUnknown, this}}, iid, object);
    }
    std::uint32_t AddRef() override { return ++references; }
    std::uint32_t Release() override { return --references; }

    zr::IUnknown* inner = nullptr;
    std::uint32_t references = 1;
};

TEST(SignalPluginModule, AggregatesIntoAnOuterObjectThatOwnsItsIdentity)
{
    SignalModule signal;
    Outer outer;
    void* refused = &refused;
    EXPECT_EQ(signal.factory->CreateInstance(&outer, IID_IZrParserPlugin, &refused), zr::CLASS_E_NOAGGREGATION)
        << "an outer object must ask for the inner object's own unknown";
    EXPECT_EQ(refused, nullptr);

    ASSERT_EQ(signal.factory->CreateInstance(&outer, zr::IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
              zr::S_OK);
    EXPECT_EQ(outer.references, 1u) << "creating the inner object takes no reference on the outer one";
    IZrParserPlugin* plugin = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IZrParserPlugin, reinterpret_cast<void**>(&plugin)), zr::S_OK);
    EXPECT_EQ(outer.references, 2u) << "the inner object's interfaces count on the outer object";
    zr::IUnknown* identity = nullptr;
    ASSERT_EQ(plugin->QueryInterface(zr::IID_IUnknown, reinterpret_cast<void**>(&identity)), zr::S_OK);
    EXPECT_EQ(identity, &outer);
    identity->Release();
    plugin->Release();
    EXPECT_EQ(outer.references, 1u);
    EXPECT_EQ(outer.inner->Release(), 0u) << "the outer object ends the inner one through its own unknown";
    EXPECT_EQ(signal.module.canUnloadNow(), zr::S_OK);
}

// Every key and value of the registry, one line each: "path" for a key, "path|name=value" for a
// value (name @ for the default value).
std::set<std::wstring> registryEntries(const zr::RegistryKey* key = nullptr, const std::wstring& path = L"")
{
    zr::RegistryTree tree;
    if (!key) {
        EXPECT_EQ(zr::readRegistry(tree), zr::S_OK);
        key = &tree.root();
    }
    std::set<std::wstring> entries;
    if (!path.empty())
        entries.insert(path);
    if (key->defaultValue)
        entries.insert(path + L"|@=" + *key->defaultValue);
    for (const auto& [name, value] : key->values)
        entries.insert(path + L"|" + name + L"=" + value);
    for (const auto& [name, subkey] : key->subkeys)
        entries.merge(registryEntries(&subkey, path.empty() ? name : path + L"\\" + name));
    return entries;
}

// What a loader follows: both ProgIDs to the class id, the current version, the module's
// absolute path. Registering twice changes nothing; unregistering leaves the roots and what
// others registered.
TEST(SignalPluginModule, RegistersWhatALoaderFollowsAndRemovesItKeepingTheRoots)
{
    TemporaryRegistry registry;
    SignalModule signal;
    ASSERT_EQ(zr::updateRegistry([](zr::RegistryTree& t) { t.setValue(L"CLSID\\{Other}\\InprocServer32", L"", L"/x.so"); }),
              zr::S_OK);
    const std::set<std::wstring> before = registryEntries();

    ASSERT_EQ(signal.module.registerServer(), zr::S_OK);
    const std::wstring classId = L"{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}";
    const std::wstring modulePath = widen(std::filesystem::absolute(ZR_SIGNAL_MODULE).lexically_normal().string());
    const std::set<std::wstring> entries = registryEntries();
    for (const std::wstring& entry :
         {L"ZrSignalPlugin.SignalPlugin.1\\CLSID|@=" + classId, L"ZrSignalPlugin.SignalPlugin\\CLSID|@=" + classId,
          std::wstring(L"ZrSignalPlugin.SignalPlugin\\CurVer|@=ZrSignalPlugin.SignalPlugin.1"),
          L"CLSID\\" + classId + L"\\InprocServer32|@=" + modulePath,
          L"CLSID\\" + classId + L"\\InprocServer32|ThreadingModel=Free"})
        EXPECT_TRUE(entries.contains(entry)) << narrow(entry);
    EXPECT_TRUE(std::includes(entries.begin(), entries.end(), before.begin(), before.end()));

    const std::string registered = registry.text();
    ASSERT_EQ(signal.module.registerServer(), zr::S_OK);
    EXPECT_EQ(registry.text(), registered) << "registering again changes nothing";
    ASSERT_EQ(signal.module.unregisterServer(), zr::S_OK);
    std::set<std::wstring> remaining = before;
    remaining.insert(L"AppID");
    EXPECT_EQ(registryEntries(), remaining);
    EXPECT_EQ(signal.module.unregisterServer(), zr::S_OK) << "unregistering twice is no error";
}

} // namespace
