// The registry file: its text format, where it lives, transactional updates that survive
// concurrent writers and never replace a corrupt file, and class lookups through it.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "component_test_support.h"
#include "engine_test_support.h"
#include "zrcomponent/ZrClassTable.h"
#include "zrcomponent/ZrComponentModule.h"
#include "zrcomponent/ZrRegistry.h"
#include "zrsignal/CSignalPlugin.h"

namespace {

using zr::RegistryTree;

TEST(RegistryFile, WritesEveryKeyAsASectionAndReadsItBack)
{
    RegistryTree tree;
    tree.setValue(L"CLSID\\{1}", L"", L"A \"quoted\" C:\\path");
    tree.setValue(L"CLSID\\{1}\\InprocServer32", L"ThreadingModel", L"Free");
    tree.create(L"CLSID\\{1}\\Programmable");
    tree.setValue(L"Prog.Id", L"multi line", L"one\ntwo\ttab \u00e9\u4e2d");

    const std::string text = tree.toText();
    EXPECT_EQ(text.substr(text.find("\n[")), "\n[CLSID]\n"
                                             "\n[CLSID\\{1}]\n@=\"A \\\"quoted\\\" C:\\\\path\"\n"
                                             "\n[CLSID\\{1}\\InprocServer32]\n\"ThreadingModel\"=\"Free\"\n"
                                             "\n[CLSID\\{1}\\Programmable]\n"
                                             "\n[Prog.Id]\n\"multi line\"=\"one\\ntwo\\ttab \xc3\xa9\xe4\xb8\xad\"\n");
    EXPECT_EQ(text.rfind("ZRREGISTRY 1\n", 0), 0u);

    RegistryTree read;
    std::wstring error;
    ASSERT_TRUE(RegistryTree::fromText(text, read, &error)) << narrow(error);
    EXPECT_EQ(read.toText(), text);
    EXPECT_EQ(read.value(L"CLSID\\{1}"), L"A \"quoted\" C:\\path");
    EXPECT_EQ(read.value(L"Prog.Id", L"multi line"), L"one\ntwo\ttab \u00e9\u4e2d");
    EXPECT_NE(read.find(L"CLSID\\{1}\\Programmable"), nullptr);
    EXPECT_FALSE(read.value(L"CLSID\\{1}\\Programmable").has_value());
}

TEST(RegistryFile, AcceptsHandWrittenLayoutAndRejectsMalformedLinesByNumber)
{
    struct Case {
        const char* text;
        const wchar_t* error; // null: accepted
    };
    const Case cases[] = {
        {"", nullptr},
        {"; nothing registered yet\n\n", nullptr},
        {"ZRREGISTRY 1\r\n[A]\r\n  @ = \"x\"  \r\n\"n\"=\"\"\r\n", nullptr},
        {"[A]\n", L"line 1: expected the header \"ZRREGISTRY 1\""},
        {"ZRREGISTRY 2\n", L"line 1: expected the header \"ZRREGISTRY 1\""},
        {"ZRREGISTRY 1\n@=\"x\"\n", L"line 2: value outside any [key]"},
        {"ZRREGISTRY 1\n[A]\n@=\"unterminated\n", L"line 3: expected @=\"value\" or \"name\"=\"value\""},
        {"ZRREGISTRY 1\n[A]\n@=\"bad \\q escape\"\n", L"line 3: expected @=\"value\" or \"name\"=\"value\""},
        {"ZRREGISTRY 1\n[A]\n@=\"x\" trailing\n", L"line 3: expected @=\"value\" or \"name\"=\"value\""},
        {"ZRREGISTRY 1\n[A]\n\"\"=\"empty name\"\n", L"line 3: expected @=\"value\" or \"name\"=\"value\""},
        {"ZRREGISTRY 1\n\n[A\\\\B]\n", L"line 3: malformed key path"},
        {"ZRREGISTRY 1\n[A\n", L"line 2: malformed key path"},
        {"ZRREGISTRY 1\n[A]\n@=\"\xff\"\n", L"the file is not UTF-8 text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        RegistryTree tree;
        std::wstring error;
        EXPECT_EQ(RegistryTree::fromText(c.text, tree, &error), c.error == nullptr);
        EXPECT_EQ(error, c.error ? c.error : L"");
    }
    RegistryTree handWritten;
    ASSERT_TRUE(RegistryTree::fromText(cases[2].text, handWritten));
    EXPECT_EQ(handWritten.value(L"A"), L"x");
    EXPECT_EQ(handWritten.value(L"A", L"n"), L"");
}

TEST(RegistryLocation, FollowsZrRegistryThenXdgConfigHomeThenHome)
{
    struct Case {
        const char* zrRegistry;
        const char* xdgConfigHome;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {"/srv/reg", "/xdg", "/home/u", "/srv/reg"},
        {nullptr, "/xdg", "/home/u", "/xdg/zrparser/registry"},
        {"", "/xdg", "/home/u", "/xdg/zrparser/registry"},
        {nullptr, "relative/xdg", "/home/u", "/home/u/.config/zrparser/registry"},
        {nullptr, nullptr, "/home/u", "/home/u/.config/zrparser/registry"},
    };
    const char* const names[] = {"ZR_REGISTRY", "XDG_CONFIG_HOME", "HOME"};
    std::vector<std::optional<std::string>> saved;
    for (const char* name : names)
        saved.push_back(std::getenv(name) ? std::optional<std::string>(std::getenv(name)) : std::nullopt);
    for (const Case& c : cases) {
        const char* const values[] = {c.zrRegistry, c.xdgConfigHome, c.home};
        for (int i = 0; i < 3; ++i)
            values[i] ? setenv(names[i], values[i], 1) : unsetenv(names[i]);
        EXPECT_EQ(zr::registryPath(), c.expected);
    }
    for (int i = 0; i < 3; ++i)
        saved[i] ? setenv(names[i], saved[i]->c_str(), 1) : unsetenv(names[i]);
}

TEST(RegistryUpdates, ACorruptFileIsReportedAndLeftAsItWas)
{
    TemporaryRegistry registry;
    const std::string corrupt = "ZRREGISTRY 1\n[CLSID]\nthis is not a value\n";
    registry.write(registry.file(), corrupt);

    std::wstring error;
    EXPECT_EQ(zr::updateRegistry([](RegistryTree& t) { t.setValue(L"New", L"", L"x"); }, &error),
              zr::E_REGISTRY_CORRUPT);
    EXPECT_EQ(error, widen(registry.file().string()) + L": line 3: expected @=\"value\" or \"name\"=\"value\"");
    EXPECT_EQ(registry.text(), corrupt);

    RegistryTree tree;
    EXPECT_EQ(zr::readRegistry(tree), zr::E_REGISTRY_CORRUPT);

    // An edit that fails leaves a good file as it was, too.
    registry.write(registry.file(), "ZRREGISTRY 1\n[Kept]\n");
    EXPECT_EQ(zr::updateRegistry([](RegistryTree& t) {
                  t.setValue(L"Gone", L"", L"x");
                  t.create(L"Bad\nName");
              }),
              zr::E_INVALIDARG);
    EXPECT_EQ(registry.text(), "ZRREGISTRY 1\n[Kept]\n");
}

TEST(RegistryUpdates, ConcurrentProcessesLoseNoRegistration)
{
    TemporaryRegistry registry;
    constexpr int PROCESSES = 4;
    constexpr int UPDATES = 25;
    std::vector<pid_t> children;
    for (int p = 0; p < PROCESSES; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int u = 0; u < UPDATES; ++u) {
                const std::wstring key = L"Proc" + std::to_wstring(p) + L"\\Update" + std::to_wstring(u);
                failures += zr::failed(zr::updateRegistry([&](RegistryTree& t) { t.setValue(key, L"", L"x"); }));
            }
            _exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    RegistryTree tree;
    ASSERT_EQ(zr::readRegistry(tree), zr::S_OK);
    for (int p = 0; p < PROCESSES; ++p)
        for (int u = 0; u < UPDATES; ++u)
            EXPECT_EQ(tree.value(L"Proc" + std::to_wstring(p) + L"\\Update" + std::to_wstring(u)), L"x");
    // Only the registry and its lock file remain: no temporary file was left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(registry.directory()), {}), 2);
}

TEST(RegistryLookups, ProgIdsFollowCurVerToTheirClassId)
{
    TemporaryRegistry registry;
    const wchar_t* const current = L"{00000000-0000-0000-0000-0000000000A2}";
    const wchar_t* const older = L"{00000000-0000-0000-0000-0000000000A1}";
    ASSERT_EQ(zr::updateRegistry([&](RegistryTree& t) {
                  t.setValue(L"Test.Thing", L"", L"Thing");
                  t.setValue(L"Test.Thing\\CLSID", L"", older);
                  t.setValue(L"Test.Thing\\CurVer", L"", L"Test.Thing.2");
                  t.setValue(L"Test.Thing.2\\CLSID", L"", current);
                  t.setValue(L"Test.Thing.1\\CLSID", L"", older);
                  // A current version that is not installed leaves the ProgID's own class id.
                  t.setValue(L"Test.Stale\\CLSID", L"", older);
                  t.setValue(L"Test.Stale\\CurVer", L"", L"Test.Stale.3");
                  t.setValue(L"Test.Loop\\CurVer", L"", L"Test.Loop2");
                  t.setValue(L"Test.Loop2\\CurVer", L"", L"Test.Loop");
                  // The class table's own ProgIDs come first.
                  t.setValue(L"ZrSignalPlugin.SignalPlugin\\CLSID", L"", older);
              }),
              zr::S_OK);

    struct Case {
        const wchar_t* text;
        const wchar_t* expected; // null: not found
    };
    const Case cases[] = {
        {L"Test.Thing", current},
        {L"Test.Thing.2", current},
        {L"Test.Thing.1", older},
        {L"Test.Stale", older},
        {L"Test.Loop", nullptr},
        {L"Test.Missing", nullptr},
        {L"CLSID\\{00000000-0000-0000-0000-0000000000A2}", nullptr},
        {L"ZrSignalPlugin.SignalPlugin", L"{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow(c.text));
        zr::CLSID clsid;
        const zr::HRESULT hr = zr::clsidFromString(c.text, clsid);
        if (c.expected) {
            ASSERT_EQ(hr, zr::S_OK);
            EXPECT_EQ(zr::guidToString(clsid), c.expected);
        } else {
            EXPECT_EQ(hr, zr::CO_E_CLASSSTRING);
        }
    }
}

TEST(RegistryLookups, AClassWhoseModuleCannotServeItIsAPluginNotFound)
{
    TemporaryRegistry registry;
    const std::filesystem::path notAModule = registry.write("notamodule.so", "plain text");
    struct Case {
        const wchar_t* classId;
        std::wstring server; // empty: no InprocServer32 key
        zr::HRESULT created;
    };
    const Case cases[] = {
        {L"{00000000-0000-0000-0000-0000000000B1}", L"", zr::REGDB_E_CLASSNOTREG},
        {L"{00000000-0000-0000-0000-0000000000B2}", L"/nonexistent/module.so", zr::CO_E_DLLNOTFOUND},
        {L"{00000000-0000-0000-0000-0000000000B3}", widen(notAModule.string()), zr::CO_E_DLLNOTFOUND},
        // Hex digits of either case name the class.
        {L"{00000000-0000-0000-0000-0000000000b4}", L"/nonexistent/module.so", zr::CO_E_DLLNOTFOUND},
    };
    ASSERT_EQ(zr::updateRegistry([&](RegistryTree& t) {
                  for (const Case& c : cases) {
                      t.setValue(std::wstring(L"CLSID\\") + c.classId, L"", L"Broken");
                      if (!c.server.empty())
                          t.setValue(std::wstring(L"CLSID\\") + c.classId + L"\\InprocServer32", L"", c.server);
                  }
              }),
              zr::S_OK);

    ZrParser parser;
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow(c.classId));
        zr::IUnknown* object = nullptr;
        EXPECT_EQ(zr::createInstance(*zr::guidFromString(c.classId), nullptr, zr::IID_IUnknown,
                                     reinterpret_cast<void**>(&object)),
                  c.created);
        EXPECT_EQ(object, nullptr);
        expectChain([&] { parser.loadPlugin(c.classId); },
                    {{L"ZRDEFEXCEP_PluginNotFound", nullptr, nullptr, c.classId}});
    }
}

} // namespace
