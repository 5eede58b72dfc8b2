// End-to-end runs of `zrsignal run` against real peers: olad receives the sACN, Art-Net and
// olad-client output and ola_recorder records it; OSC messages and file edits change a running
// show. Only run through in-test-network.sh, inside a network namespace of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <pwd.h>

#include <lo/lo.h>

#include "show_test_support.h"

using namespace showtest;
using namespace std::chrono_literals;

namespace {

constexpr const char* ADDRESS = "10.77.0.1";

// olad's plugins as Debian's ola 0.10 has them; every one but those a test enables is disabled.
const char* const OLA_PLUGINS[] = {"artnet", "dummy", "e131", "espnet", "ftdidmx", "gpio", "karate",
                                   "kinet", "milinst", "opendmx", "openpixelcontrol", "osc", "pathport", "renard",
                                   "sandnet", "shownet", "spi", "stageprofi", "uartdmx", "usbdmx", "usbserial"};

// The pid of a child of `parent`, found in /proc; -1 when it has none.
pid_t childOf(pid_t parent)
{
    DIR* proc = opendir("/proc");
    pid_t found = -1;
    while (dirent* entry = proc ? readdir(proc) : nullptr) {
        const std::string stat = readFile(std::string("/proc/") + entry->d_name + "/stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream fields(stat.substr(close + 2)); // state, then ppid
        std::string state;
        pid_t ppid = 0;
        if (fields >> state >> ppid && ppid == parent)
            found = static_cast<pid_t>(std::atoi(entry->d_name));
    }
    if (proc)
        closedir(proc);
    return found;
}

// olad as its own user, with a fresh configuration in which only `enabled` plugins run, bound to
// the namespace's address. Stopped by its own pid.
class Olad {
public:
    Olad(const std::string& directory, const std::vector<std::string>& enabled) : config_(directory + "/olad")
    {
        std::filesystem::create_directories(config_);
        for (const char* plugin : OLA_PLUGINS) {
            const bool on = std::find(enabled.begin(), enabled.end(), plugin) != enabled.end();
            std::ofstream(config_ + "/ola-" + plugin + ".conf")
                << "enabled = " << (on ? "true" : "false") << "\n" << (on ? std::string("ip = ") + ADDRESS + "\n" : "");
        }
        const passwd* user = getpwnam("olad");
        EXPECT_NE(user, nullptr);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(config_))
            EXPECT_EQ(chown(entry.path().c_str(), user->pw_uid, user->pw_gid), 0);
        EXPECT_EQ(chown(config_.c_str(), user->pw_uid, user->pw_gid), 0);
        runuser_ = std::make_unique<Child>(std::vector<std::string>{"runuser", "-u", "olad", "--", "olad", "-c", config_,
                                                                    "--no-http", "--no-register-with-dns-sd"},
                                           directory + "/olad.out", directory + "/olad.err");
        EXPECT_TRUE(waitFor([&] { return (pid_ = childOf(runuser_->pid())) > 0; }, 5s)) << "olad did not start";
        for (const std::string& plugin : enabled)
            EXPECT_TRUE(waitFor([&] { return device(plugin) > 0; }, 10s)) << "olad has no device of " << plugin;
    }
    ~Olad()
    {
        if (pid_ > 0)
            kill(pid_, SIGTERM);
        if (runuser_->wait(10s) < 0 && pid_ > 0)
            kill(pid_, SIGKILL);
    }

    // Stops olad where it is, or lets it go on: a busy olad that has not read what it was sent.
    // runuser stops itself when olad stops, so it is let go on too.
    void pause() const { kill(pid_, SIGSTOP); }
    void resume() const
    {
        kill(pid_, SIGCONT);
        kill(runuser_->pid(), SIGCONT);
    }

    // The alias of the device of `plugin` ("e131", "artnet"), as ola_dev_info lists it; 0 when none.
    int device(const std::string& plugin) const
    {
        const std::string name = plugin == "e131" ? "E1.31" : "ArtNet";
        const RunResult info = run({"ola_dev_info"}, config_);
        std::istringstream lines(info.out);
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with("Device ") && line.find(": " + name) != std::string::npos)
                return std::atoi(line.c_str() + 7);
        }
        return 0;
    }

    void patchInput(const std::string& plugin, unsigned universe) const
    {
        const RunResult patch = run({"ola_patch", "-d", std::to_string(device(plugin)), "-p", "0", "-i", "-u",
                                     std::to_string(universe)},
                                    config_);
        ASSERT_EQ(patch.status, 0) << patch.err;
    }

private:
    std::string config_;
    std::unique_ptr<Child> runuser_;
    pid_t pid_ = -1;
};

// ola_recorder writing what olad receives on one universe: "UNIVERSE v1,v2,..." lines.
class Recorder {
public:
    Recorder(const std::string& directory, unsigned universe) : file_(directory + "/recorded")
    {
        child_ = std::make_unique<Child>(
            std::vector<std::string>{"ola_recorder", "--record", file_, "--universes", std::to_string(universe)},
            directory + "/recorder.out", directory + "/recorder.err");
        EXPECT_TRUE(waitFor([&] { return child_->out().find("Recording") != std::string::npos; }, 10s))
            << child_->err();
    }

    // The frames of slot values recorded so far: ola_recorder writes a line a frame.
    std::vector<std::vector<int>> frames() const
    {
        std::vector<std::vector<int>> frames;
        std::istringstream lines(readFile(file_));
        for (std::string line; std::getline(lines, line);) {
            const auto space = line.find(' ');
            if (space == std::string::npos || line.find_first_not_of("0123456789") != space)
                continue; // the title "OLA Show" and the delays between frames
            std::vector<int> frame;
            std::istringstream cells(line.substr(space + 1));
            for (std::string cell; std::getline(cells, cell, ',');)
                frame.push_back(std::stoi(cell));
            frames.push_back(std::move(frame));
        }
        return frames;
    }

    void stop() { child_->stop(SIGINT); }

    // Every frame recorded, once `last` is among them or 10 s have passed: the last packets may
    // still be on their way through olad, more so on a busy machine. The recording then stops.
    std::vector<std::vector<int>> framesUpTo(const std::vector<int>& last)
    {
        waitFor([&] { const auto frames = this->frames(); return !frames.empty() && frames.back() == last; }, 10s);
        stop();
        return frames();
    }

private:
    std::string file_;
    std::unique_ptr<Child> child_;
};

// Frames of one universe that count up from frame to frame: an 8-bit group with its index
// spread and a 16-bit channel, so slot order, byte order and every frame's values show.
std::string countingShow(const std::string& protocol, const std::string& address)
{
    return "fps = 50\n[[output]]\nuniverse = 1\nprotocol = \"" + protocol + "\"\n" + address +
           "[[fixture]]\nname = \"ramp\"\nuniverse = 1\naddress = 3\ncount = 4\nchannels = [\n"
           "  { name = \"v\", formula = \"(counter(0, 1000, 1) * 0.7 + index * 20) % 100\" },\n"
           "  { name = \"fine\", formula = \"counter(0, 1000, 1) * 0.093\", width = 16 },\n]\n";
}

class ShowOverNetwork : public testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string why = outsideTestNetwork("in-test-network.sh"); !why.empty())
            GTEST_SKIP() << why;
        directory_ = scratchDirectory();
        show_ = directory_ + "/show.toml";
    }

    // What --print csv gives for the show, frame after frame (one universe).
    std::vector<std::vector<int>> expectedFrames(std::uint64_t frames) const
    {
        const RunResult printed = run({ZRSIGNAL_PROGRAM, "run", show_, "--print", "csv", "--clock", "sim", "--frames",
                                       std::to_string(frames)},
                                      directory_);
        EXPECT_EQ(printed.status, 0) << printed.err;
        std::vector<std::vector<int>> slots;
        for (const auto& row : csvRows(printed.out))
            slots.emplace_back(row.begin() + 2, row.end());
        return slots;
    }

    // Sends the show for `frames` frames in real time while olad records universe 1, and checks
    // every recorded frame against --print csv: in order (olad may merge frames, the more so on
    // a busy machine), a tenth of them at least, and the last one exactly. With `busyAtTheEnd`,
    // olad stops reading from 1.5 s into the 2.5 s show until 0.8 s after its last frame.
    void expectRecordedAsPrinted(const Olad& olad, bool busyAtTheEnd = false)
    {
        constexpr std::uint64_t FRAMES = 100;
        Recorder recorder(directory_, 1);
        Child show({ZRSIGNAL_PROGRAM, "run", show_, "--frames", std::to_string(FRAMES)}, directory_ + "/sent.out",
                   directory_ + "/sent.err");
        if (busyAtTheEnd) {
            std::this_thread::sleep_for(1500ms);
            olad.pause();
            std::this_thread::sleep_for(1800ms);
            olad.resume();
        }
        ASSERT_EQ(show.wait(20s), 0) << show.err();
        const std::string sentErr = show.err();
        EXPECT_NE(sentErr.find("; 0 errors"), std::string::npos) << sentErr;
        const auto expected = expectedFrames(FRAMES);
        ASSERT_EQ(expected.size(), FRAMES);
        const auto recorded = recorder.framesUpTo(expected.back());
        ASSERT_FALSE(recorded.empty()) << "olad received nothing";
        std::size_t at = 0;
        std::size_t distinct = 0;
        for (std::size_t r = 0; r < recorded.size(); ++r) {
            const std::size_t before = at;
            while (at < expected.size() && expected[at] != recorded[r])
                ++at;
            ASSERT_LT(at, expected.size()) << "recorded frame " << r << " is no printed frame at or after frame "
                                           << before;
            distinct += r == 0 || at != before ? 1 : 0;
        }
        EXPECT_EQ(recorded.back(), expected.back()) << "the last frame";
        EXPECT_GE(distinct, FRAMES / 10);
    }

    std::string directory_;
    std::string show_;
};

TEST_F(ShowOverNetwork, SacnFramesReachOlad)
{
    writeFile(show_, countingShow("sacn", std::string("address = \"") + ADDRESS + "\"\npriority = 150\n"));
    const Olad olad(directory_, {"e131"});
    olad.patchInput("e131", 1);
    expectRecordedAsPrinted(olad);
}

// No address: the universe's multicast group out of the veth, which olad's E1.31 plugin joins
// there; the show's multicast loops back to it.
TEST_F(ShowOverNetwork, SacnMulticastFramesReachOlad)
{
    writeFile(show_, countingShow("sacn", "interface = \"zra\"\nsync = true\n"));
    const Olad olad(directory_, {"e131"});
    olad.patchInput("e131", 1);
    expectRecordedAsPrinted(olad);
}

TEST_F(ShowOverNetwork, ArtNetFramesReachOlad)
{
    writeFile(show_, countingShow("artnet", std::string("address = \"") + ADDRESS + "\"\n"));
    const Olad olad(directory_, {"e131", "artnet"});
    olad.patchInput("artnet", 1); // port-address 0:0:1
    expectRecordedAsPrinted(olad);
}

// Also the frames olad has not read yet when the show ends: the show waits for olad to take them
// before it hangs up (olad drops what is unread when a client hangs up).
TEST_F(ShowOverNetwork, OlaClientFramesReachOlad)
{
    writeFile(show_, countingShow("ola", ""));
    const Olad olad(directory_, {"e131"});
    expectRecordedAsPrinted(olad, true);
}

// olad going away while the show runs: the frames it cannot take are counted with the reason, and
// once an olad is back the show reconnects, and its frames, to the last, reach that olad.
TEST_F(ShowOverNetwork, OlaOutputReconnectsWhenOladComesBack)
{
    constexpr std::uint64_t FRAMES = 500; // 10 s: time for a new olad to start, also on a busy machine
    writeFile(show_, countingShow("ola", ""));
    auto olad = std::make_unique<Olad>(directory_, std::vector<std::string>{"e131"});
    Child show({ZRSIGNAL_PROGRAM, "run", show_, "--frames", std::to_string(FRAMES)}, directory_ + "/sent.out",
               directory_ + "/sent.err");
    std::this_thread::sleep_for(1s);
    olad.reset();
    std::this_thread::sleep_for(1s);
    olad = std::make_unique<Olad>(directory_, std::vector<std::string>{"e131"});
    const std::string again = directory_ + "/again";
    std::filesystem::create_directories(again);
    Recorder recorder(again, 1);
    ASSERT_EQ(show.wait(30s), 0) << show.err();
    EXPECT_NE(show.err().find("cannot send: olad does not answer"), std::string::npos) << show.err();
    const auto expected = expectedFrames(FRAMES);
    ASSERT_EQ(expected.size(), FRAMES);
    const auto recorded = recorder.framesUpTo(expected.back());
    ASSERT_FALSE(recorded.empty()) << "the second olad received nothing";
    EXPECT_EQ(recorded.back(), expected.back()) << "the last frame";
}

TEST_F(ShowOverNetwork, OlaOutputWithoutOladIsRefusedBeforeAnything)
{
    writeFile(show_, countingShow("ola", ""));
    const RunResult result = run({ZRSIGNAL_PROGRAM, "run", show_, "--frames", "5"}, directory_);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("cannot reach olad on localhost:9010"), std::string::npos) << result.err;
}

// A running show printing its rows in real time, stopped by its pid at the end.
class RunningShow {
public:
    RunningShow(const std::string& directory, std::vector<std::string> options)
    {
        std::vector<std::string> command{ZRSIGNAL_PROGRAM, "run", directory + "/show.toml", "--print", "csv"};
        command.insert(command.end(), options.begin(), options.end());
        child_ = std::make_unique<Child>(command, directory + "/rows", directory + "/messages");
        EXPECT_TRUE(waitFor([&] { return rows().size() > 10; }, 10s)) << child_->err();
    }
    std::vector<std::vector<int>> rows() const { return csvRows(child_->out()); }
    std::string messages() const { return child_->err(); }

    // Waits until a newly printed row shows `value` at `slot` (from 1); false after `limit`.
    bool waitForSlot(std::size_t slot, int value, std::chrono::milliseconds limit = 5s) const
    {
        return waitFor([&] { const auto all = rows(); return !all.empty() && all.back()[slot + 1] == value; }, limit);
    }
    bool waitForMessage(const std::string& text) const
    {
        return waitFor([&] { return messages().find(text) != std::string::npos; }, 5s);
    }
    int stop() { return child_->stop(SIGTERM); }

private:
    std::unique_ptr<Child> child_;
};

const std::string EDITABLE_SHOW = R"toml(fps = 50
[variables]
level = 0
[[output]]
universe = 1
protocol = "sacn"
address = "10.77.0.1"
[[fixture]]
name = "pars"
universe = 1
address = 1
count = 2
channels = [
  { name = "dimmer", formula = "level" },
  { name = "look", formula = "10" },
  { name = "steps", formula = "counter(0, 60000, 1) / 600", width = 16 },
]
)toml";

TEST_F(ShowOverNetwork, OscChangesAVariableAndAFormula)
{
    writeFile(show_, EDITABLE_SHOW);
    RunningShow show(directory_, {"--osc-port", "9123"});
    const lo_server client = lo_server_new_with_proto("9124", LO_UDP, nullptr);
    ASSERT_NE(client, nullptr);
    const lo_address target = lo_address_new("127.0.0.1", "9123");

    lo_send_from(target, client, LO_TT_IMMEDIATE, "/zr/var/level", "f", 80.0f);
    EXPECT_TRUE(show.waitForSlot(1, level8(80))) << show.messages();
    EXPECT_EQ(show.rows().back()[2 + 4], level8(80)) << "both fixtures read the variable";

    lo_send_from(target, client, LO_TT_IMMEDIATE, "/zr/formula/pars/1/look", "s", "55");
    EXPECT_TRUE(show.waitForSlot(6, level8(55))) << show.messages();
    EXPECT_EQ(show.rows().back()[2 + 1], level8(10)) << "fixture 0 keeps its formula";

    // A formula that does not compile: the old one stays, and the sender hears why.
    std::string reply;
    lo_server_add_method(client, "/zr/error", "s",
                         [](const char*, const char*, lo_arg** argv, int, lo_message, void* text) {
                             *static_cast<std::string*>(text) = &argv[0]->s;
                             return 0;
                         },
                         &reply);
    lo_send_from(target, client, LO_TT_IMMEDIATE, "/zr/formula/pars/1/look", "s", "55 +");
    EXPECT_TRUE(waitFor([&] { lo_server_recv_noblock(client, 50); return !reply.empty(); }, 5s));
    EXPECT_NE(reply.find("fixture 'pars' #1 channel 'look': the new formula is refused"), std::string::npos) << reply;
    const std::size_t rowsAtRefusal = show.rows().size();
    EXPECT_TRUE(waitFor([&] { return show.rows().size() > rowsAtRefusal + 10; }, 5s)) << "the show stopped";
    EXPECT_EQ(show.rows().back()[2 + 5], level8(55));
    lo_address_free(target);
    lo_server_free(client);
    EXPECT_EQ(show.stop(), 0) << show.messages();
}

TEST_F(ShowOverNetwork, LiveEditsTakeEffectAndBrokenOnesLeaveTheShowRunning)
{
    writeFile(show_, EDITABLE_SHOW);
    RunningShow show(directory_, {});
    auto edit = [&](const std::string& from, const std::string& to) {
        std::string text = EDITABLE_SHOW;
        writeFile(show_, text.replace(text.find(from), from.size(), to));
    };
    edit("\"10\"", "\"90\"");
    EXPECT_TRUE(show.waitForSlot(2, level8(90))) << show.messages();
    EXPECT_TRUE(show.waitForMessage("fixture 'pars' channel 'look': now 90")) << show.messages();

    edit("\"10\"", "\"90 +\"");
    EXPECT_TRUE(show.waitForMessage("the new formula is refused, the old one keeps running")) << show.messages();
    edit("address = 1\n", "address = 5\n");
    EXPECT_TRUE(show.waitForMessage("structure changed (fixture 'pars'): restart zrsignal run")) << show.messages();
    // Saved with a change that waits for a restart, a formula edit still takes effect.
    std::string both = EDITABLE_SHOW;
    both.replace(both.find("\"10\""), 4, "\"70\"");
    writeFile(show_, both.replace(both.find("fps = 50"), 8, "fps = 25"));
    EXPECT_TRUE(show.waitForSlot(2, level8(70))) << show.messages();
    EXPECT_TRUE(show.waitForMessage("structure changed (fps)")) << show.messages();
    const std::size_t rowsAfterEdits = show.rows().size();
    EXPECT_TRUE(waitFor([&] { return show.rows().size() > rowsAfterEdits + 10; }, 5s)) << "the show stopped";
    EXPECT_EQ(show.stop(), 0) << show.messages();

    // Throughout, the look changed once, and the counter in the same fixtures never restarted.
    const auto rows = show.rows();
    int lookChanges = 0;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        lookChanges += rows[r][2 + 1] != rows[r - 1][2 + 1] ? 1 : 0;
        EXPECT_GT(rows[r][2 + 2] * 256 + rows[r][2 + 3], rows[r - 1][2 + 2] * 256 + rows[r - 1][2 + 3]) << "row " << r;
    }
    EXPECT_EQ(lookChanges, 2);
    EXPECT_EQ(rows.back()[2 + 1], level8(70));
    EXPECT_NE(show.messages().find("frames in"), std::string::npos) << "a summary after SIGTERM";
}

} // namespace
