// The show file as designers edit it from the studio: variables with ranges (and the files that
// get them wrong), formulas written into the file in place, saves refused over a file changed
// on disk, and a group edit that a running show then reloads from its own file as no change.
#include <gtest/gtest.h>

#include <atomic>
#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include <unistd.h>

#include "loaded_show.h"
#include "zrhost/FileText.h"
#include "zrhost/InputError.h"
#include "zrshow/ShowEvents.h"
#include "zrshow/ShowRunner.h"
#include "zrshow/show/ShowCommands.h"
#include "zrshow/show/ShowFileEditor.h"

using namespace zrshow;
namespace fs = std::filesystem;

namespace {

// A show with comments everywhere, channels on one line and on several, and every string form.
const std::string SHOW = R"(# The club rig. Comments stay where they are.
fps = 40

[variables]
master = 80       # the desk's fader
bpm = { value = 128, min = 60, max = 200, step = 1 }

[[output]]
universe = 1
protocol = "artnet"
address = "127.0.0.1"

[[fixture]]
name = "pars"     # eight RGB pars
universe = 1
address = 1
count = 4
channels = [ { name = "dimmer", formula = "master" }, { name = "red", formula = 'index * 10' },   # literal
             { name = "gré", formula = "50" },
  { name = "blue", formula = """
100 - index"""},  # multi-line
]
)";

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

class ScratchDirectory {
public:
    ScratchDirectory() : path_(fs::temp_directory_path() / ("zr-show-edit-" + std::to_string(::getpid())))
    {
        fs::create_directories(path_);
    }
    ~ScratchDirectory() { fs::remove_all(path_); }
    std::string file(const std::string& name, const std::string& text) const
    {
        const fs::path path = path_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    std::size_t entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(path_), {})); }

private:
    fs::path path_;
};

TEST(ShowVariables, RangesAreReadAndBadOnesRefusedWithTheirLine)
{
    struct Case {
        const char* entry;
        const char* problem; // nullptr: read
        VariableRange range = {};
    };
    const Case cases[] = {
        {"bpm = { value = 128, min = 60, max = 200, step = 1 }", nullptr, {60, 200, 1.0}},
        {"bpm = { value = 128, min = 60, max = 200 }", nullptr, {60, 200, std::nullopt}},
        // A plain number keeps 0 to 100, widened to a round number when its value lies outside.
        {"bpm = 50", nullptr, {0, 100, std::nullopt}},
        {"bpm = 128", nullptr, {0, 200, std::nullopt}},
        {"bpm = 1000", nullptr, {0, 1000, std::nullopt}},
        {"bpm = -30", nullptr, {-50, 100, std::nullopt}},
        // A table without one bound takes that one from the value's automatic range.
        {"bpm = { value = 128, min = 60 }", nullptr, {60, 200, std::nullopt}},
        {"bpm = { value = 128, min = 200, max = 60 }", "'min' (200) must be less than 'max' (60)"},
        {"bpm = { value = 128, min = 128, max = 128 }", "must be less than 'max'"},
        {"bpm = { value = 300, min = 60, max = 200 }", "'value' 300 is not from 'min' 60 to 'max' 200"},
        {"bpm = { value = 128, min = 60, max = 200, stp = 1 }", "unknown key 'stp'"},
        {"bpm = { value = \"fast\", min = 60, max = 200 }", "'value' must be a number, not a string"},
        {"bpm = { value = 128, min = 60, max = true }", "'max' must be a number, not a boolean"},
        {"bpm = { min = 60, max = 200 }", "missing 'value'"},
        {"bpm = { value = 128, min = 60, max = 200, step = 0 }", "'step' must be more than 0"},
        {"bpm = { value = 128, min = 60, max = 200, step = 500 }", "at most max - min (140)"},
        {"bpm = { value = nan, min = 60, max = 200 }", "'value' must be a finite number"},
        {"bpm = \"128\"", "must be a number or a table"},
    };
    for (const Case& c : cases) {
        const std::string text = "[variables]\nlevel = 0\n" + std::string(c.entry) +
                                 "\n[[output]]\nuniverse = 1\nprotocol = \"artnet\"\naddress = \"127.0.0.1\"\n";
        ShowProblems problems("club.toml");
        const ShowFile show = parseShowText(text, "club.toml", problems);
        if (!c.problem) {
            EXPECT_TRUE(problems.empty()) << c.entry << ": " << problems.text();
            ASSERT_EQ(show.variables.size(), 2u) << c.entry;
            const auto bpm = std::find_if(show.variables.begin(), show.variables.end(),
                                          [](const ShowNumber& variable) { return variable.name == "bpm"; });
            ASSERT_NE(bpm, show.variables.end());
            EXPECT_EQ(sliderRange(*bpm), c.range) << c.entry;
            continue;
        }
        EXPECT_NE(problems.text().find("club.toml:3: "), std::string::npos) << c.entry << ": " << problems.text();
        EXPECT_NE(problems.text().find(c.problem), std::string::npos) << c.entry << ": " << problems.text();
    }
}

TEST(ShowFileEditor, FormulasAreWrittenInPlaceAndEveryOtherByteStays)
{
    const struct {
        const char* channel;
        const char* formula;
        const char* before; // the formula's text in the file
        const char* after;
    } cases[] = {
        {"dimmer", "master * 0.5", "\"master\"", "\"master * 0.5\""},
        {"red", "index * 20", "'index * 10'", "\"index * 20\""},
        {"gré", "__sin(0.1)", "\"50\"", "\"__sin(0.1)\""}, // a multi-byte character before it on its line
        {"blue", "100 - index * 2", "\"\"\"\n100 - index\"\"\"", "\"100 - index * 2\""},
        // Quotes, backslashes and line breaks are escaped as TOML wants them.
        {"dimmer", "\"a\\b\"\nc", "\"master\"", R"("\"a\\b\"\nc")"},
    };
    for (const auto& c : cases) {
        const std::string edited = withChangedFormulas(SHOW, "club.toml", {{"pars", c.channel, c.formula}});
        EXPECT_EQ(edited, replaced(SHOW, c.before, c.after)) << c.channel;
        ShowProblems problems("club.toml");
        const ShowFile show = parseShowText(edited, "club.toml", problems);
        ASSERT_EQ(show.fixtures.size(), 1u) << problems.text();
        const auto& channels = show.fixtures[0].channels;
        const auto channel = std::find_if(channels.begin(), channels.end(),
                                          [&](const ShowChannel& ch) { return ch.name == c.channel; });
        ASSERT_NE(channel, channels.end());
        EXPECT_EQ(channel->formula, c.formula);
    }
    // Several at once, however they are ordered.
    const std::string both = withChangedFormulas(SHOW, "club.toml", {{"pars", "blue", "1"}, {"pars", "dimmer", "2"}});
    EXPECT_EQ(both, replaced(replaced(SHOW, "\"master\"", "\"2\""), "\"\"\"\n100 - index\"\"\"", "\"1\""));

    const std::pair<FormulaChange, const char*> refused[] = {
        {{"spots", "dimmer", "1"}, "no fixture 'spots'"},
        {{"pars", "white", "1"}, "fixture 'pars' channel 'white' is not in the file"},
    };
    for (const auto& [change, message] : refused) {
        try {
            withChangedFormulas(SHOW, "club.toml", {change});
            ADD_FAILURE() << message;
        } catch (const zrhost::InputError& error) {
            EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
        }
    }
}

TEST(ShowFileSaver, SavesAtomicallyAndRefusesAFileChangedOnDisk)
{
    const ScratchDirectory directory;
    const std::string path = directory.file("club.toml", SHOW);
    ShowFileSaver saver(path);
    EXPECT_EQ(saver.save({{"pars", "dimmer", "70"}}), ShowFileSaver::Outcome::Saved);
    EXPECT_EQ(zrhost::readWholeFile(path), replaced(SHOW, "\"master\"", "\"70\""));
    EXPECT_EQ(directory.entries(), 1u) << "no temporary file is left";
    EXPECT_EQ(saver.save({{"pars", "dimmer", "60"}}), ShowFileSaver::Outcome::Saved) << "its own save is no conflict";

    // Someone else's editor writes the file: the next save writes nothing.
    const std::string theirs = replaced(zrhost::readWholeFile(path), "# The club rig.", "# Their comment.");
    directory.file("club.toml", theirs);
    EXPECT_EQ(saver.save({{"pars", "dimmer", "50"}}), ShowFileSaver::Outcome::Conflict);
    EXPECT_EQ(zrhost::readWholeFile(path), theirs);
    // Their version is the one the next save is made on.
    EXPECT_EQ(saver.save({{"pars", "dimmer", "50"}}), ShowFileSaver::Outcome::Saved);
    EXPECT_EQ(zrhost::readWholeFile(path), replaced(theirs, "\"60\"", "\"50\""));

    // Through a symbolic link: the file it points at is saved, the link stays a link.
    const fs::path link = fs::path(path).parent_path() / "link.toml";
    fs::create_symlink(path, link);
    ShowFileSaver linked(link.string());
    EXPECT_EQ(linked.save({{"pars", "dimmer", "40"}}), ShowFileSaver::Outcome::Saved);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(zrhost::readWholeFile(path), replaced(theirs, "\"60\"", "\"40\""));
}

// Messages of the running show, kept for the test to look at.
class KeptEvents final : public ShowEvents {
public:
    void message(const std::string& text) override
    {
        const std::lock_guard lock(mutex_);
        messages_.push_back(text);
        changed_.notify_all();
    }
    void structureChanged(const std::string&, const std::string& changes) override { message("restart: " + changes); }
    // Waits (bounded) for a message containing `text`.
    bool waitFor(const std::string& text)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [&] { return count(text) > 0; });
    }
    std::size_t count(const std::string& text) const
    {
        return static_cast<std::size_t>(std::count_if(messages_.begin(), messages_.end(), [&](const std::string& m) {
            return m.find(text) != std::string::npos;
        }));
    }
    std::vector<std::string> all()
    {
        const std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> messages_;
};

// The red slot of each par, frame by frame.
class RedSlots final : public FrameObserver {
public:
    void frameDone(std::uint64_t, const std::vector<DmxSlots>& universes) override
    {
        const std::lock_guard lock(mutex_);
        for (unsigned par = 0; par < 4; ++par)
            red_[par] = universes[0][par * 4 + 1];
        changed_.notify_all();
    }
    bool waitForEvery(std::uint8_t value)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [&] {
            return std::all_of(red_.begin(), red_.end(), [&](std::uint8_t v) { return v == value; });
        });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::array<std::uint8_t, 4> red_{};
};

TEST(ShowCommands, AGroupEditChangesEveryFixtureAndItsSavedFileReloadsAsNoChange)
{
    const ScratchDirectory directory;
    const std::string path = directory.file("club.toml", SHOW);
    {
        showtest::LoadedShow loaded(SHOW);
        const ShowCommands commands(loaded.show, *loaded.patch, *loaded.host);
        const auto group = commands.interpret("/zr/formula/pars/*/red", std::string("77"));
        ASSERT_TRUE(std::holds_alternative<ShowEdit>(group));
        const auto& edit = std::get<ReplaceFormula>(std::get<ShowEdit>(group));
        ASSERT_TRUE(edit.group);
        EXPECT_EQ(edit.group->fixture, 0u);
        EXPECT_EQ(edit.group->channel, 1u);
        for (const auto& [address, refusal] : {std::pair{"/zr/formula/spots/*/red", "no fixture 'spots'"},
                                               {"/zr/formula/pars/*/white", "with a channel 'white'"},
                                               {"/zr/formula/pars/**/red", "INDEX must be a number from 0, or *"}}) {
            const auto result = commands.interpret(address, std::string("1"));
            ASSERT_TRUE(std::holds_alternative<std::string>(result)) << address;
            EXPECT_NE(std::get<std::string>(result).find(refusal), std::string::npos) << std::get<std::string>(result);
        }
        EXPECT_EQ(std::get<std::string>(commands.interpret("/zr/formula/pars/*/red", 5.0)),
                  "takes one string, the formula");
    }

    ShowRunOptions options;
    options.showPath = path;
    options.sendOutputs = false;
    KeptEvents events;
    RedSlots red;
    ShowRunner runner(options, events);
    runner.observe(&red);
    std::atomic<bool> stop{false};
    std::thread loop([&] { runner.run(stop); });
    struct Stop {
        std::atomic<bool>& stop;
        std::thread& loop;
        ~Stop()
        {
            stop = true;
            loop.join();
        }
    } stopping{stop, loop};

    runner.queue(std::get<ShowEdit>(runner.commands().interpret("/zr/formula/pars/*/red", std::string("77"))));
    EXPECT_TRUE(red.waitForEvery(196)) << "77 % of 255 on every par";

    // Saved as the studio saves it; then a change of another channel, whose message says that the
    // reload of the first save has been taken too (alone, or with the second in one reload).
    ShowFileSaver saver(path);
    ASSERT_EQ(saver.save({{"pars", "red", "77"}}), ShowFileSaver::Outcome::Saved);
    EXPECT_TRUE(red.waitForEvery(196));
    ASSERT_EQ(saver.save({{"pars", "dimmer", "20"}}), ShowFileSaver::Outcome::Saved);
    ASSERT_TRUE(events.waitFor("channel 'dimmer': now 20"));
    const auto messages = events.all();
    std::string all;
    for (const std::string& m : messages)
        all += m + "\n";
    EXPECT_EQ(events.count("channel 'red'"), 1u) << "only the group edit itself recompiled red:\n" << all;
    EXPECT_EQ(events.count("restart"), 0u) << all;
}

} // namespace
