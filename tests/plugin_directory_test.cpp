// Loading every plug-in that the info files of a directory tree describe: search order, what
// is skipped, how unreadable files and failing plug-ins are reported, and the info-file reader.
#include <gtest/gtest.h>

#include "component_test_support.h"
#include "engine_test_support.h"
#include "zrcomponent/ZrClassTable.h"
#include "zrparser/ZrParserInfo.h"
#include "zrparser/ZrParserPluginI.h"
#include "zrsignal/CSignalPlugin.h"

namespace {

std::string infoFile(const char* type, const char* classId)
{
    return std::string("<?xml version=\"1.0\"?>\n<library>\n  <name>Test</name>\n  <type>") + type +
           "</type>\n  <classId>" + classId + "</classId>\n</library>\n";
}

class PluginDirectoryTest : public ::testing::Test {
protected:
    void TearDown() override { zr::registerParserInfo(); }

    TemporaryRegistry tree;
    ZrParser parser;
};

TEST_F(PluginDirectoryTest, LoadsTheGoodPluginAndReportsEachUnreadableFileLaterFirst)
{
    tree.write("plugins/a_broken.xml", "<library><type>plugin</type>");
    tree.write("plugins/good.xml", infoFile("plugin", "{3B7E2A14-5C9D-4F60-8E21-7A4D6B0C9F31}"));
    std::filesystem::create_directories(tree.directory() / "plugins/sub");
    std::filesystem::create_symlink(tree.directory() / "nowhere.xml", tree.directory() / "plugins/sub/z_missing.xml");
    makeRoomForSignalPlugin(parser);
    const unsigned before = parser.getNbDefinedFuncs();

    const std::wstring directory = widen((tree.directory() / "plugins").string());
    expectChain([&] { parser.loadAllPlugins(directory.c_str(), L"*.xml"); },
                {{L"ZRLOCEXCEP_InfoFileOpenFailed", nullptr, nullptr, (directory + L"/sub/z_missing.xml").c_str()},
                 {L"ZRLOCEXCEP_InfoFileOpenFailed", nullptr,
                  (L"Unable to OPEN the library info file: '" + directory +
                   L"/a_broken.xml'. Make sure the file exists and that the schema and xml syntax are valids.")
                      .c_str(),
                  (directory + L"/a_broken.xml").c_str()}});
    EXPECT_EQ(parser.getNbDefinedFuncs(), before + 100);
    EXPECT_EQ(parser.evaluate(L"distance(0, 0, 3, 4)"), 5.0);
}

TEST_F(PluginDirectoryTest, SearchesFilesBeforeSubdirectoriesDepthFirstAndSkipsWhatIsNoPlugin)
{
    // Each plug-in names a class that does not exist, so the order of the failures shows the
    // order of the search; the chain keeps the first four.
    tree.write("root/2.xml", infoFile("plugin", "Order.2"));
    tree.write("root/1.xml", infoFile("plugin", "Order.1"));
    tree.write("root/a/deep/1.xml", infoFile("plugin", "Order.4"));
    tree.write("root/a/1.xml", infoFile("plugin", "Order.3"));
    tree.write("root/b/1.xml", infoFile("plugin", "Order.5"));
    // Not searched: hidden files and directories, names that do not match.
    tree.write("root/.hidden.xml", "broken");
    tree.write("root/.hidden/1.xml", "broken");
    tree.write("root/notes.txt", "broken");
    // Read and skipped silently: another type of library, another kind of document.
    tree.write("root/macros.xml", infoFile("macros", "Order.Never"));
    tree.write("root/feed.xml", "<?xml version=\"1.0\"?><rss><type>plugin</type></rss>");

    const std::wstring directory = widen((tree.directory() / "root").string()) + L"/";
    expectChain([&] { parser.loadAllPlugins(directory.c_str(), L"*.xml"); },
                {{L"ZRDEFEXCEP_PluginNotFound", nullptr, nullptr, L"Order.4"},
                 {L"ZRDEFEXCEP_PluginNotFound", nullptr, nullptr, L"Order.3"},
                 {L"ZRDEFEXCEP_PluginNotFound", nullptr, nullptr, L"Order.2"},
                 {L"ZRDEFEXCEP_PluginNotFound", nullptr, nullptr, L"Order.1"}});
}

TEST_F(PluginDirectoryTest, AnEmptyTreeLoadsNothingButStillNeedsTheReader)
{
    std::filesystem::create_directories(tree.directory() / "empty/sub");
    const std::wstring directory = widen((tree.directory() / "empty").string());
    const unsigned before = parser.getNbDefinedFuncs();
    EXPECT_NO_THROW(parser.loadAllPlugins(directory.c_str(), L"*"));
    EXPECT_EQ(parser.getNbDefinedFuncs(), before);

    zr::unregisterClass(CLSID_ZrParserInfo);
    expectChain([&] { parser.loadAllPlugins(directory.c_str(), L"*"); },
                {{L"ZRLOCEXCEP_ZrParserInfoObjectNotFound", nullptr,
                  L"The ZrParserInfo COM object cannot be instanciated.\tMake sure it is registered."}});
}

// Takes the six texts of a record, freeing them.
std::vector<std::wstring> takeRecord(ZrLibInfo& record)
{
    std::vector<std::wstring> texts;
    for (zr::BSTR* text : {&record.name, &record.version, &record.description, &record.type, &record.module,
                           &record.classId}) {
        texts.emplace_back(*text ? *text : L"<null>");
        zr::sysFreeString(*text);
    }
    return texts;
}

TEST(ParserInfo, TheSignalPluginsInfoFileNamesItsClassAndNoRecordGoesStale)
{
    IZrParserInfo* reader = nullptr;
    ASSERT_EQ(zr::createInstance(CLSID_ZrParserInfo, nullptr, IID_IZrParserInfo, reinterpret_cast<void**>(&reader)),
              zr::S_OK);
    ZrLibInfo record;
    EXPECT_EQ(reader->getLibInfo(&record), zr::E_UNEXPECTED);

    // The file the plug-in names through getInfoFile, as shipped beside the module.
    IZrParserPlugin* plugin = nullptr;
    ASSERT_EQ(CSignalPlugin::create(IID_IZrParserPlugin, reinterpret_cast<void**>(&plugin)), zr::S_OK);
    zr::BSTR fileName = nullptr;
    zr::BSTR second = nullptr;
    int flag = 0;
    plugin->getInfoFile(&fileName, &second, &flag);
    const std::filesystem::path shipped = std::filesystem::path(ZR_SIGNAL_PLUGIN_SOURCE_DIR) / narrow(fileName);
    zr::sysFreeString(fileName);
    zr::sysFreeString(second);
    plugin->Release();

    // It describes a plug-in that loads the signal plug-in's class.
    ASSERT_EQ(reader->loadFile(widen(shipped.string()).c_str()), zr::S_OK);
    ASSERT_EQ(reader->getLibInfo(&record), zr::S_OK);
    const std::vector<std::wstring> texts = takeRecord(record);
    EXPECT_EQ(texts[3], L"plugin");
    EXPECT_EQ(zr::guidFromString(texts[5].c_str()), CLSID_SignalPlugin);

    // A file that fails to load leaves no record behind from the file before it.
    EXPECT_TRUE(zr::failed(reader->loadFile(L"/nonexistent/info.xml")));
    EXPECT_EQ(reader->getLibInfo(&record), zr::E_UNEXPECTED);
    reader->Release();
}

} // namespace
