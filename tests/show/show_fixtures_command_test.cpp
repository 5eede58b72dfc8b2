// `zrsignal fixtures` on a fixture library of the tests' own and on QLC+'s, and the example show
// made of profiles run with --print csv.
#include <gtest/gtest.h>

#include <filesystem>

#include "show_test_support.h"
#include "zrshow/show/FixtureProfile.h"

using namespace showtest;

namespace {

const std::string SCANNER = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<FixtureDefinition xmlns="http://www.qlcplus.org/FixtureDefinition">
 <Manufacturer>Acme</Manufacturer>
 <Model>Scanner 3</Model>
 <Type>Scanner</Type>
 <Channel Name="Pan" Default="128" Preset="PositionPan"/>
 <Channel Name="Tilt" Preset="PositionTilt"/>
 <Channel Name="Pan fine" Preset="PositionPanFine"/>
 <Channel Name="Red" Preset="IntensityRed"/>
 <Channel Name="Red fine" Preset="IntensityRedFine"/>
 <Mode Name="Five">
  <Channel Number="0">Pan</Channel>
  <Channel Number="1">Tilt</Channel>
  <Channel Number="2">Pan fine</Channel>
  <Channel Number="3">Red</Channel>
  <Channel Number="4">Red fine</Channel>
  <Head><Channel>3</Channel><Channel>4</Channel></Head>
 </Mode>
 <Mode Name="One">
  <Channel Number="0">Red</Channel>
 </Mode>
</FixtureDefinition>
)xml";

// The lines of `text` with runs of spaces made one, so that columns compare as words.
std::vector<std::string> squeezedLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::string squeezed;
        for (char c : line) {
            if (c != ' ' || (!squeezed.empty() && squeezed.back() != ' '))
                squeezed += c;
        }
        lines.push_back(squeezed);
    }
    return lines;
}

struct CommandCase {
    const char* what;
    std::vector<std::string> arguments;
    bool ownLibrary; // the tests' library; else a directory that is not there
    int status;
    std::vector<const char*> outLines; // whole lines of stdout, spaces squeezed
    const char* errPart;
};

const CommandCase COMMAND_CASES[] = {
    {"a pattern lists makers and models with their modes", {"scan"}, true, 0,
     {"Acme Lighting/Scanner 3: \"Five\", \"One\""}, ""},
    {"a whole maker and model lists the channels of each mode", {"acme_lighting/scanner 3"}, true, 0,
     {"mode \"Five\": 5 slots, 1 head", "slot channel common default head 16-bit",
      "1 Pan pan 128 - 1+3 (apart: two 8-bit channels)", "2 Tilt tilt 0 -",
      "3 Pan fine pan fine 0 - 1+3 (apart: two 8-bit channels)", "4 Red red 0 1 4+5", "5 Red fine red fine 0 1 4+5",
      "mode \"One\": 1 slot", "1 Red red 0"},
     ""},
    {"a pattern nothing matches", {"dimmer"}, true, 1, {}, "no maker or model in "},
    {"a library that is not there", {"par"}, false, 1, {}, "apt install qlcplus-data"},
};

TEST(FixturesCommand, ListsProfilesAndTheirChannels)
{
    // The children inherit this process's environment, whose setting would come first.
    unsetenv("ZR_FIXTURE_DIR");
    for (const CommandCase& test : COMMAND_CASES) {
        SCOPED_TRACE(test.what);
        const std::string directory = scratchDirectory();
        const std::string library = directory + (test.ownLibrary ? "/library" : "/none");
        if (test.ownLibrary) {
            std::filesystem::create_directories(library + "/Acme_Lighting");
            writeFile(library + "/Acme_Lighting/Acme-Scanner-3.qxf", SCANNER);
        }
        std::vector<std::string> command{ZRSIGNAL_PROGRAM, "fixtures"};
        command.insert(command.end(), test.arguments.begin(), test.arguments.end());
        Child child(command, directory + "/stdout", directory + "/stderr", {"ZR_FIXTURE_DIR=" + library});
        EXPECT_EQ(child.wait(), test.status) << child.err();
        const auto lines = squeezedLines(child.out());
        for (const char* line : test.outLines)
            EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << "want: " << line << "\ngot:\n"
                                                                                << child.out();
        EXPECT_NE(child.err().find(test.errPart), std::string::npos) << child.err();
    }
}

TEST(FixturesCommand, ProfileShowOfTheExamplesRuns)
{
    if (!zrshow::FixtureLibrary().exists())
        GTEST_SKIP() << "no fixture library at " << zrshow::FixtureLibrary::defaultDirectory()
                     << " (package qlcplus-data)";
    const RunResult result =
        run({ZRSIGNAL_PROGRAM, "run", ZR_PROFILE_SHOW, "--print", "csv", "--clock", "sim", "--frames", "4"},
            scratchDirectory());
    ASSERT_EQ(result.status, 0) << result.err;
    const auto rows = csvRows(result.out);
    ASSERT_EQ(rows.size(), 4u * 3) << "4 frames of universes 1 to 3";
    // row[k + 1] is slot k. The pars: 7 slots from 1, the strobe at its default (0); the head
    // from 57: tilt at its default 128/0, the shutter 32, the 16-bit dimmer full.
    for (const auto& row : rows) {
        // The pixel strip: 170 pixels in universe 2, the last 30 in universe 3.
        if (row[1] == 2) {
            EXPECT_EQ(row[1 + 511], 0) << "no pixel split across universes";
        }
        if (row[1] == 3) {
            EXPECT_EQ(row[1 + 91], 0) << "nothing after the 200th pixel";
        }
        if (row[1] != 1)
            continue;
        for (unsigned par = 0; par < 8; ++par)
            EXPECT_EQ(row[1 + 3 + par * 7], 0) << "strobe of par " << par;
        EXPECT_EQ(row[1 + 59], 128);
        EXPECT_EQ(row[1 + 60], 0);
        EXPECT_EQ(row[1 + 76], 32);
        EXPECT_EQ(row[1 + 77], 255);
        EXPECT_EQ(row[1 + 78], 255);
        EXPECT_EQ(row[1 + 79], 0) << "nothing after the head";
    }
}

} // namespace
