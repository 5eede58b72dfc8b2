// Hosts that load plug-in modules through the registry: registering with zrregsvr, loading by
// class id and ProgIDs, unregistering, modules that must be refused, exception chains and the
// global memory across the module boundary, and registrations for one process only.
#include <cstdio>

#include <sys/wait.h>

#include <gtest/gtest.h>

#include "component_test_support.h"
#include "engine_test_support.h"
#include "zrcomponent/ZrClassTable.h"
#include "zrcomponent/ZrComponentModule.h"
#include "zrcomponent/ZrRegistry.h"
#include "zrsignal/CSignalPlugin.h"

namespace {

const wchar_t* const SIGNAL_CLASS_ID = L"{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}";

struct ProgramRun {
    int exitStatus;
    std::string output;
};

// Runs zrregsvr with `arguments`; its output and error output together.
ProgramRun zrregsvr(const std::string& arguments)
{
    const std::string command = std::string(ZRREGSVR) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ProgramRun run{-1, ""};
    if (!pipe)
        return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        run.output += buffer;
    const int status = pclose(pipe);
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

zr::ComponentModule openModule(const char* file)
{
    zr::ComponentModule module;
    std::string error;
    EXPECT_EQ(zr::ComponentModule::open(file, module, &error), zr::S_OK) << error;
    return module;
}

class ModuleLoadingTest : public ::testing::Test {
protected:
    // Plug-ins known only to the registry file are loaded through the component runtime.
    void SetUp() override { zr::useComponentRuntime(); }

    TemporaryRegistry registry;
};

TEST_F(ModuleLoadingTest, ARegisteredModuleLoadsByClassIdAndBothProgIdsUntilUnregistered)
{
    const ProgramRun registration = zrregsvr(ZR_SIGNAL_MODULE);
    ASSERT_EQ(registration.exitStatus, 0) << registration.output;
    EXPECT_EQ(registration.output, "");

    const zr::ComponentModule module = openModule(ZR_SIGNAL_MODULE);
    for (const wchar_t* name : {SIGNAL_CLASS_ID, PROGID_SignalPlugin, PROGID_SignalPlugin1}) {
        SCOPED_TRACE(narrow(name));
        {
            ZrParser parser;
            makeRoomForSignalPlugin(parser);
            parser.loadPlugin(name);
            EXPECT_EQ(parser.evaluate(L"distance(0, 0, 3, 4)"), 5.0);
            EXPECT_EQ(module.canUnloadNow(), zr::S_FALSE) << "the parser holds the plug-in";
        }
        EXPECT_EQ(module.canUnloadNow(), zr::S_OK) << "the last release ends the module's use";
    }

    const ProgramRun removal = zrregsvr("-u " + std::string(ZR_SIGNAL_MODULE));
    ASSERT_EQ(removal.exitStatus, 0) << removal.output;
    ZrParser parser;
    for (const wchar_t* name : {SIGNAL_CLASS_ID, PROGID_SignalPlugin, PROGID_SignalPlugin1})
        expectChain([&] { parser.loadPlugin(name); }, {{L"ZRDEFEXCEP_PluginNotFound", nullptr, nullptr, name}});
    EXPECT_EQ(registry.text().substr(registry.text().find("\n[")), "\n[AppID]\n\n[CLSID]\n");
}

TEST_F(ModuleLoadingTest, ZrregsvrReportsWhyItFailed)
{
    const std::string corrupt = "ZRREGISTRY 1\n[CLSID]\n@=unquoted\n";
    struct Case {
        std::string arguments;
        const char* registryText; // null: no registry file
        int exitStatus;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"", nullptr, 2, {"usage: zrregsvr [-u] MODULE.so"}},
        {"/nonexistent/Module.so", nullptr, 1,
         {"DllRegisterServer in /nonexistent/Module.so failed: 0x800401F8 (the module cannot be loaded)",
          "/nonexistent/Module.so: cannot open shared object file"}},
        {"-u " + std::string(ZR_MODULE_WITHOUT_ENTRY_POINTS), nullptr, 1,
         {"DllUnregisterServer in " + std::string(ZR_MODULE_WITHOUT_ENTRY_POINTS) +
          " failed: 0x800401F9 (the module does not export this entry point)"}},
        {ZR_SIGNAL_MODULE, corrupt.c_str(), 1,
         {"failed: 0x800703F1 (the registry file is corrupt; it was left unchanged)",
          registry.file().string() + ": line 3: expected @=\"value\" or \"name\"=\"value\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::filesystem::remove(registry.file());
        if (c.registryText)
            registry.write(registry.file(), c.registryText);
        const ProgramRun run = zrregsvr(c.arguments);
        EXPECT_EQ(run.exitStatus, c.exitStatus);
        for (const std::string& message : c.messages)
            EXPECT_NE(run.output.find(message), std::string::npos) << run.output;
        if (c.registryText)
            EXPECT_EQ(registry.text(), c.registryText);
        else
            EXPECT_FALSE(std::filesystem::exists(registry.file()));
    }
}

TEST_F(ModuleLoadingTest, ModulesThatCannotServeAParserAreRefusedWithTheirMessages)
{
    ASSERT_EQ(openModule(ZR_OLD_PLUGIN_MODULE).registerServer(), zr::S_OK);
    ASSERT_EQ(openModule(ZR_CONFLICTING_PLUGIN_MODULE).registerServer(), zr::S_OK);
    const wchar_t* const withoutEntryPoints = L"{7A5D0C11-0000-4000-8000-0000000000FF}";
    ASSERT_EQ(zr::updateRegistry([&](zr::RegistryTree& t) {
                  t.setValue(std::wstring(L"CLSID\\") + withoutEntryPoints + L"\\InprocServer32", L"",
                             widen(ZR_MODULE_WITHOUT_ENTRY_POINTS));
              }),
              zr::S_OK);

    ZrParser parser;
    const unsigned before = parser.getNbDefinedFuncs();
    expectChain([&] { parser.loadPlugin(L"ZrTest.OldPlugin"); },
                {{L"ZRDEFEXCEP_PluginVersion", nullptr, nullptr, L"ZrTest.OldPlugin", L"15U"}});
    EXPECT_EQ(parser.getNbDefinedFuncs(), before) << "a plug-in of another version defines nothing";

    expectChain([&] { parser.loadPlugin(L"ZrTest.ConflictingPlugin"); },
                {{L"ZRDEFEXCEP_PluginDefConflict", nullptr, nullptr, L"ZrTest.ConflictingPlugin"},
                 {L"ZRDEFEXCEP_FuncAlreadyDefined", nullptr, nullptr, L"abs"}});
    EXPECT_EQ(parser.getNbDefinedFuncs(), before + 2) << "the items before the conflict stay";
    EXPECT_EQ(parser.evaluate(L"twice(5) + thrice(5) + abs(-1)"), 26.0);

    expectChain([&] { parser.loadPlugin(withoutEntryPoints); },
                {{L"ZRDEFEXCEP_PluginNotFound", nullptr, nullptr, withoutEntryPoints}});
}

TEST_F(ModuleLoadingTest, ChainsAndGlobalMemoryCrossTheModuleBoundary)
{
    ASSERT_EQ(openModule(ZR_SIGNAL_MODULE).registerServer(), zr::S_OK);
    const double timeIncrement = 0.1;
    ZrParser writer;
    ZrParser reader;
    for (ZrParser* parser : {&writer, &reader}) {
        makeRoomForSignalPlugin(*parser);
        parser->defineFunc(new TimeIncrementFct(&timeIncrement));
        parser->loadPlugin(PROGID_SignalPlugin);
    }

    // The loop compiles its arguments inside the module, which adds its own entry to the chain
    // that the library raised.
    expectChain([&] { writer.compile(L"loop(4, 1, nosuch(2))"); },
                {{L"ZRPARSINGEXCEP_InvalidFuncSyntax", L"4", nullptr, L"loop", L"3"},
                 {L"ZRPARSINGEXCEP_UndefinedFunc", L"0", L"Undefined function: 'nosuch'", L"nosuch"}});
    EXPECT_THROW(reader.compile(L"loop(4, 1, nosuch(2))"), ZrParserException);

    EXPECT_EQ(writer.evaluate(L"gmem(42, 7.5)"), 7.5);
    EXPECT_EQ(reader.evaluate(L"grecall(42)"), 7.5);
}

TEST_F(ModuleLoadingTest, ARegistrationForThisProcessLeavesTheRegistryFileAlone)
{
    std::vector<std::wstring> classIds;
    std::string error;
    ASSERT_EQ(zr::registerModuleForProcess(ZR_CONFLICTING_PLUGIN_MODULE, classIds, &error), zr::S_OK) << error;
    EXPECT_EQ(classIds, std::vector<std::wstring>{L"{7A5D0C11-0000-4000-8000-000000000016}"});
    EXPECT_FALSE(std::filesystem::exists(registry.file()));

    for (const std::wstring& name : {classIds[0], std::wstring(L"ZrTest.ConflictingPlugin")}) {
        ZrParser parser;
        parser.undefineFuncsBySymbol(L"abs");
        parser.loadPlugin(name.c_str());
        EXPECT_EQ(parser.evaluate(L"never(2) + abs(1)"), 14.0);
    }

    EXPECT_EQ(zr::registerModuleForProcess("/nonexistent/Module.so", classIds, &error), zr::CO_E_DLLNOTFOUND);
    EXPECT_TRUE(classIds.empty());
    EXPECT_NE(error.find("/nonexistent/Module.so"), std::string::npos) << error;
}

} // namespace
