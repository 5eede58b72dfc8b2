// Fixtures patched from profiles: real definitions of QLC+'s fixture library of different shapes
// evaluated into DMX slots, definitions of the tests' own for what the library may lack, and the
// problems a show or a definition file is refused with.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "show_test_support.h"
#include "zrshow/show/FixtureFormulas.h"
#include "zrshow/show/FixtureProfile.h"
#include "zrshow/show/ShowHost.h"
#include "zrshow/show/ShowPatch.h"
#include "zrshow/show/ShowProblems.h"

using namespace zrshow;

namespace {

// A show read from text at `path`, patched, compiled, and evaluated for one frame.
struct EvaluatedShow {
    ShowProblems problems;
    ShowFile show;
    std::vector<DmxSlots> universes;

    EvaluatedShow(const std::string& text, const std::string& path) : problems(path)
    {
        show = parseShowText(text, path, problems);
        if (!problems.empty())
            return;
        ShowPatch patch(show, problems);
        ShowHost host(show, ShowInputFiles{}, problems, {});
        FixtureFormulas formulas(show, patch, host.parser(), problems);
        if (!problems.empty())
            return;
        universes.assign(patch.universes().size(), DmxSlots{});
        formulas.evaluate(universes);
    }
};

// A [[fixture]] of `count` fixtures from slot 11 of universe 1, with its [fixture.formulas].
std::string profileShow(const std::string& profile, const std::string& mode, const std::string& formulas,
                        unsigned count = 2)
{
    return "[[output]]\nuniverse = 1\nprotocol = \"sacn\"\naddress = \"10.77.0.1\"\n"
           "[[fixture]]\nname = \"group\"\nuniverse = 1\naddress = 11\ncount = " +
           std::to_string(count) + "\nprofile = \"" + profile + "\"\nmode = \"" + mode +
           "\"\n[fixture.formulas]\n" + formulas;
}

bool libraryInstalled()
{
    return FixtureLibrary().exists();
}

// ZR_FIXTURE_DIR set for one test.
class FixtureDirectory {
public:
    explicit FixtureDirectory(const std::string& directory)
    {
        if (const char* old = std::getenv("ZR_FIXTURE_DIR"))
            old_ = old;
        setenv("ZR_FIXTURE_DIR", directory.c_str(), 1);
    }
    ~FixtureDirectory()
    {
        if (old_)
            setenv("ZR_FIXTURE_DIR", old_->c_str(), 1);
        else
            unsetenv("ZR_FIXTURE_DIR");
    }
    FixtureDirectory(const FixtureDirectory&) = delete;
    FixtureDirectory& operator=(const FixtureDirectory&) = delete;

private:
    std::optional<std::string> old_;
};

struct SlotValue {
    unsigned slot; // within the fixture, from 1
    int value;
};

struct LibraryCase {
    const char* shape;
    const char* profile;
    const char* mode;
    const char* formulas;
    unsigned footprint;            // the mode's channel count
    std::vector<SlotValue> slots;  // of every fixture of the group
    std::vector<const char*> names; // the show's channel names, in slot order
};

const int HALF = showtest::level8(50);

// Slot values the definitions in /usr/share/qlcplus/fixtures give: where their <Mode> places each
// channel, what their Default says, which channels pair as coarse and fine.
const LibraryCase LIBRARY_CASES[] = {
    {"four-channel dimmer pack: a common name drives every channel that has it, a profile name one",
     "Showtec/MultiDim MK III DMX", "4 Channel", "dimmer = \"50\"\n\"channel 3\" = \"100\"\n", 4,
     {{1, HALF}, {2, HALF}, {3, 255}, {4, HALF}},
     {"Channel 1", "Channel 2", "Channel 3", "Channel 4"}},
    {"RGBW par with a 16-bit dimmer, the pair driven by one formula", "Cameo/TS 60 RGBW", "7 Channel",
     "dimmer = \"50\"\nred = \"100\"\nwhite = \"25\"\n", 7,
     {{1, 0x80}, {2, 0x00}, {3, 0}, {4, 255}, {5, 0}, {6, 0}, {7, showtest::level8(25)}},
     {"dimmer", "Strobe", "red", "green", "blue", "white"}},
    {"moving head with 16-bit pan and tilt: defaults fill the unformulated channels, pairs too",
     "Robe/Robin 150 LEDBeam", "Standard 16-Bit", "pan = \"25\"\n\"Dimmer Intensity\" = \"100\"\n", 22,
     {{1, 0x40}, {2, 0x00}, {3, 128}, {4, 0}, {5, 0}, {7, 2}, {8, 255}, {9, 255}, {17, 45}, {18, 128},
      {19, 0}, {20, 32}, {21, 255}, {22, 255}},
     {"pan", "tilt", "Pan/Tilt Speed - Pan/Tilt Time", "Power/Special Functions", "Virtual Colour Wheel", "red",
      "green", "blue", "white", "CTC", "Color Mix Control", "zoom", "Shutter/Strobe", "dimmer"}},
    {"moving head whose fine channel has a formula of its own: two 8-bit channels",
     "Robe/Robin 150 LEDBeam", "Standard 16-Bit", "pan = \"50\"\n\"pan fine\" = \"100\"\n", 22,
     {{1, HALF}, {2, 255}, {3, 128}, {4, 0}},
     {"pan", "pan fine", "tilt", "Pan/Tilt Speed - Pan/Tilt Time", "Power/Special Functions",
      "Virtual Colour Wheel", "red", "green", "blue", "white", "CTC", "Color Mix Control", "zoom",
      "Shutter/Strobe", "dimmer"}},
    {"pixel bar with four heads: a common name drives every head", "Showtec/LED Pixel Bar 12 RGBW",
     "18 Channel", "red = \"100\"\n\"Green Section 2\" = \"50\"\n", 18,
     {{1, 0}, {2, 0}, {3, 255}, {4, 0}, {7, 255}, {8, HALF}, {11, 255}, {12, 0}, {15, 255}, {18, 0}},
     {"dimmer", "Linear Strobe", "Red Section 1", "Green Section 1", "Blue Section 1", "White Section 1",
      "Red Section 2", "Green Section 2", "Blue Section 2", "White Section 2", "Red Section 3",
      "Green Section 3", "Blue Section 3", "White Section 3", "Red Section 4", "Green Section 4",
      "Blue Section 4", "White Section 4"}},
};

TEST(FixtureProfiles, LibraryDefinitionsLandOnTheirSlots)
{
    if (!libraryInstalled())
        GTEST_SKIP() << "no fixture library at " << FixtureLibrary::defaultDirectory() << " (package qlcplus-data)";
    for (const LibraryCase& test : LIBRARY_CASES) {
        SCOPED_TRACE(test.shape);
        EvaluatedShow loaded(profileShow(test.profile, test.mode, test.formulas), "show.toml");
        ASSERT_TRUE(loaded.problems.empty()) << loaded.problems.text();
        const ShowFixture& fixture = loaded.show.fixtures.at(0);
        EXPECT_EQ(fixture.footprint, test.footprint);
        std::vector<std::string> names;
        for (const ShowChannel& channel : fixture.channels)
            names.push_back(channel.name);
        EXPECT_EQ(names, std::vector<std::string>(test.names.begin(), test.names.end()));
        const DmxSlots& slots = loaded.universes.at(0);
        for (unsigned index = 0; index < 2; ++index) {
            for (const SlotValue& expected : test.slots) {
                const unsigned slot = 10 + index * test.footprint + expected.slot - 1;
                EXPECT_EQ(slots[slot], expected.value) << "fixture #" << index << " slot " << expected.slot;
            }
        }
        EXPECT_EQ(slots[9], 0) << "nothing before the group";
    }
}

// A definition of the tests' own, in the older style: groups with a byte and a colour instead
// of presets, a fine pan apart from its coarse one, a channel defined twice.
const std::string OLD_STYLE = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE FixtureDefinition>
<FixtureDefinition xmlns="http://www.qlcplus.org/FixtureDefinition">
 <Manufacturer>Acme</Manufacturer>
 <Model>Scanner 3</Model>
 <Type>Scanner</Type>
 <Channel Name="Pan" Default="128"><Group Byte="0">Pan</Group></Channel>
 <Channel Name="Tilt" Default="64"><Group Byte="0">Tilt</Group></Channel>
 <Channel Name="Pan fine"><Group Byte="1">Pan</Group></Channel>
 <Channel Name="Lamp" Default="255"><Group Byte="0">Intensity</Group></Channel>
 <Channel Name="R "><Group Byte="0">Intensity</Group><Colour>Red</Colour></Channel>
 <Mode Name="Five">
  <Channel Number="0">Pan</Channel>
  <Channel Number="1">Tilt</Channel>
  <Channel Number="2">Pan fine</Channel>
  <Channel Number="4">Lamp</Channel>
  <Channel Number="3">R </Channel>
 </Mode>
 <Mode Name="Two">
  <Channel Number="0">Lamp</Channel>
  <Channel Number="1">R</Channel>
 </Mode>
</FixtureDefinition>
)xml";

TEST(FixtureProfiles, OlderDefinitionsAndPairsApart)
{
    const std::string directory = showtest::scratchDirectory();
    showtest::writeFile(directory + "/scanner.qxf", OLD_STYLE);
    const FixtureProfile profile = readFixtureProfile(directory + "/scanner.qxf");
    const ProfileMode& five = *profile.findMode("five");
    std::vector<std::string> commons;
    for (unsigned slot = 0; slot < five.slots.size(); ++slot)
        commons.push_back(profile.channelAt(five, slot).common);
    EXPECT_EQ(commons, (std::vector<std::string>{"pan", "tilt", "pan fine", "red", "dimmer"}));
    EXPECT_EQ(five.slots[0].fine, 2u);
    EXPECT_EQ(five.slots[2].coarse, 0u);

    // Relative to the show file; the pair apart is one 16-bit channel: 30 % is 0x4CCD, its high
    // byte on pan's slot, its low byte on pan fine's, two slots further.
    EvaluatedShow loaded(profileShow("scanner.qxf", "Five", "pan = \"30\"\nred = \"100\"\n"),
                         directory + "/show.toml");
    ASSERT_TRUE(loaded.problems.empty()) << loaded.problems.text();
    const DmxSlots& slots = loaded.universes.at(0);
    const int expected[] = {0x4C, 64, 0xCD, 255, 255, 0x4C, 64, 0xCD, 255, 255, 0};
    for (unsigned slot = 0; slot < std::size(expected); ++slot)
        EXPECT_EQ(slots[10 + slot], expected[slot]) << "slot " << slot + 11;
}

TEST(FixtureProfiles, ScannedLibraryWithoutMapFindsMakerAndModel)
{
    const std::string directory = showtest::scratchDirectory();
    std::filesystem::create_directories(directory + "/Acme_Lighting");
    showtest::writeFile(directory + "/Acme_Lighting/Acme-Scanner-3.qxf", OLD_STYLE);
    const FixtureDirectory library(directory);
    for (const char* name : {"Acme Lighting/Scanner 3", "acme_lighting/SCANNER 3", "Acme Lighting/Acme-Scanner-3"}) {
        EvaluatedShow loaded(profileShow(name, "Two", "lamp = \"100\"\n", 1), "show.toml");
        ASSERT_TRUE(loaded.problems.empty()) << name << ": " << loaded.problems.text();
        EXPECT_EQ(loaded.universes.at(0)[10], 255) << name;
    }
}

struct RefusedCase {
    const char* what;
    const char* definition; // written as broken.qxf; nullptr: the scanner of OLD_STYLE
    const char* fixture;    // the [[fixture]] lines after universe and address, from line 6
    std::vector<const char*> expected;
};

const RefusedCase REFUSED_CASES[] = {
    {"XML that is not well-formed", "<FixtureDefinition>\n <Model>X</Model>\n <Mode Name=\"A\">\n</Fixture>\n",
     "profile = \"broken.qxf\"\n", {"show.toml:6: fixture 'group': profile 'broken.qxf': ", "broken.qxf:4: "}},
    {"a mode naming a channel the file lacks",
     "<FixtureDefinition>\n <Channel Name=\"Red\"/>\n <Mode Name=\"A\">\n  <Channel Number=\"0\">Rouge</Channel>\n"
     " </Mode>\n</FixtureDefinition>\n",
     "profile = \"broken.qxf\"\n", {"broken.qxf:4: mode 'A': channel 0 is 'Rouge', which the file does not define"}},
    {"a default beyond a byte", "<FixtureDefinition>\n <Channel Name=\"Red\" Default=\"300\"/>\n</FixtureDefinition>\n",
     "profile = \"broken.qxf\"\n", {"broken.qxf:2: channel 'Red': Default is '300'"}},
    {"a root that is no fixture definition", "<FixturesMap/>\n", "profile = \"broken.qxf\"\n",
     {"broken.qxf:1: no fixture definition"}},
    {"a mode with a channel number twice",
     "<FixtureDefinition>\n <Channel Name=\"Red\"/>\n <Mode Name=\"A\">\n  <Channel Number=\"0\">Red</Channel>\n"
     "  <Channel Number=\"0\">Red</Channel>\n </Mode>\n</FixtureDefinition>\n",
     "profile = \"broken.qxf\"\n", {"broken.qxf:5: mode 'A': "}},
    {"an unknown mode, with the modes there are", nullptr, "profile = \"scanner.qxf\"\nmode = \"Nine\"\n",
     {"show.toml:7: fixture 'group': profile 'scanner.qxf' has no mode 'Nine' (its modes: \"Five\", \"Two\")"}},
    {"no mode where there are several", nullptr, "profile = \"scanner.qxf\"\n",
     {"show.toml:4: fixture 'group': missing 'mode'", "\"Five\", \"Two\""}},
    {"a formula for a channel the mode lacks, with its channels", nullptr,
     "profile = \"scanner.qxf\"\nmode = \"Two\"\n[fixture.formulas]\npan = \"50\"\n",
     {"show.toml:11: fixture 'group': mode 'Two' of profile 'scanner.qxf' has no channel 'pan' (its channels: 1 Lamp "
      "(dimmer), 2 R (red))"}},
    {"a profile and channels both", nullptr,
     "profile = \"scanner.qxf\"\nmode = \"Two\"\nchannels = [ { name = \"a\", formula = \"1\" } ]\n",
     {"show.toml:8: fixture 'group': give either 'profile' or 'channels', not both"}},
    {"formulas without a profile", nullptr,
     "channels = [ { name = \"a\", formula = \"1\" } ]\n[fixture.formulas]\nred = \"1\"\n",
     {"'formulas' belongs to a fixture with a 'profile'"}},
    {"a profile file that is not there", nullptr, "profile = \"missing.qxf\"\n",
     {"show.toml:6: fixture 'group': profile 'missing.qxf': ", "missing.qxf"}},
};

TEST(FixtureProfiles, BrokenDefinitionsAndWrongReferencesAreRefusedWithTheirLines)
{
    for (const RefusedCase& test : REFUSED_CASES) {
        SCOPED_TRACE(test.what);
        const std::string directory = showtest::scratchDirectory();
        showtest::writeFile(directory + "/scanner.qxf", OLD_STYLE);
        if (test.definition)
            showtest::writeFile(directory + "/broken.qxf", test.definition);
        const std::string show = "[[output]]\nuniverse = 1\nprotocol = \"ola\"\n[[fixture]]\nname = \"group\"\n" +
                                 std::string(test.fixture) + "universe = 1\naddress = 1\n";
        // universe and address after the profile's lines would land in [fixture.formulas].
        const std::string ordered = std::string(test.fixture).find("[fixture.formulas]") == std::string::npos
                                        ? show
                                        : "[[output]]\nuniverse = 1\nprotocol = \"ola\"\n[[fixture]]\nname = "
                                          "\"group\"\nuniverse = 1\naddress = 1\n" + std::string(test.fixture);
        ShowProblems problems(directory + "/show.toml");
        parseShowText(ordered, directory + "/show.toml", problems);
        ASSERT_FALSE(problems.empty());
        for (const char* part : test.expected)
            EXPECT_NE(problems.text().find(part), std::string::npos) << "want: " << part << "\ngot:\n" << problems.text();
    }
}

TEST(FixtureProfiles, MissingLibraryIsNamedAndShowsWithoutProfilesRunWithoutIt)
{
    const FixtureDirectory missing("/nonexistent/fixtures");
    ShowProblems problems("show.toml");
    parseShowText(profileShow("Cameo/TS 60 RGBW", "7 Channel", ""), "show.toml", problems);
    EXPECT_NE(problems.text().find("show.toml:10: fixture 'group': profile 'Cameo/TS 60 RGBW': the fixture library "
                                   "/nonexistent/fixtures is not there: "),
              std::string::npos)
        << problems.text();
    EXPECT_NE(problems.text().find("qlcplus-data"), std::string::npos);

    EvaluatedShow plain("[[output]]\nuniverse = 1\nprotocol = \"ola\"\n[[fixture]]\nname = \"dim\"\nuniverse = 1\n"
                        "address = 5\nchannels = [ { name = \"dimmer\", formula = \"100\" } ]\n",
                        "show.toml");
    ASSERT_TRUE(plain.problems.empty()) << plain.problems.text();
    EXPECT_EQ(plain.universes.at(0)[4], 255);
}

TEST(FixtureProfiles, UnknownLibraryProfileSuggestsSimilarModels)
{
    if (!libraryInstalled())
        GTEST_SKIP() << "no fixture library at " << FixtureLibrary::defaultDirectory() << " (package qlcplus-data)";
    ShowProblems problems("show.toml");
    parseShowText(profileShow("Cameoo/TS 60 RGBW", "7 Channel", ""), "show.toml", problems);
    EXPECT_NE(problems.text().find("show.toml:10: fixture 'group': profile 'Cameoo/TS 60 RGBW': no profile "),
              std::string::npos)
        << problems.text();
    EXPECT_NE(problems.text().find("\"Cameo/TS 60 RGBW\""), std::string::npos) << problems.text();
}

} // namespace
