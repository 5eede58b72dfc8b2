// Shows on one Link session: two `zrsignal run` processes and a peer (link_peer) share tempo and
// beat. Each process prints its slot rows live (--print csv, real clock); every row is stamped
// as it arrives, so the two processes are compared at the same instants. Only run through
// in-private-network.sh, inside a network namespace of its own.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>

#include <lo/lo.h>

#include "show_test_support.h"

using namespace showtest;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double FPS = 40.0;
constexpr double PROPOSED_BPM = 90.0;

// Slots 1-2: bpm / 10 and 3-4: beatphase, both 16-bit percent; slot 5: beat.
const std::string SHOW = "fps = 40\n[tempo]\nsource = \"link\"\nbpm = 90\n"
                         "[[output]]\nuniverse = 1\nprotocol = \"artnet\"\naddress = \"127.0.0.1\"\n"
                         "[[fixture]]\nname = \"clock\"\nuniverse = 1\naddress = 1\nchannels = [\n"
                         "  { name = \"bpm\", formula = \"bpm / 10\", width = 16 },\n"
                         "  { name = \"phase\", formula = \"beatphase * 100\", width = 16 },\n"
                         "  { name = \"beat\", formula = \"beat * 100\" },\n]\n";

struct Line {
    Clock::time_point at;
    bool fresh; // the last line of its read: its stamp is when it was written, not later
    std::string text;
};

// A child process whose stdout lines are stamped as they arrive, read by a thread of its own.
// Stopped by its own pid.
class StampedChild {
public:
    StampedChild(const std::vector<std::string>& command, const std::string& errPath)
    {
        std::vector<char*> argv;
        for (const std::string& arg : command)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        int pipeEnds[2];
        if (pipe2(pipeEnds, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(pipeEnds[1]);
        reader_ = std::thread([this, fd = pipeEnds[0]] { readLines(fd); });
    }
    ~StampedChild()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            if (!waitFor([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, 10s)) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
            }
        }
        if (reader_.joinable())
            reader_.join();
    }
    StampedChild(const StampedChild&) = delete;
    StampedChild& operator=(const StampedChild&) = delete;

    std::vector<Line> lines() const
    {
        const std::lock_guard lock(mutex_);
        return lines_;
    }

    // The lines but those of phases, for messages.
    std::string report() const
    {
        std::string text;
        for (const Line& line : lines())
            if (!line.text.starts_with("phase "))
                text += line.text + "\n";
        return text;
    }

    // The first line since `after` that `match` accepts, waiting at most `limit` for it.
    template <class Match>
    std::optional<Line> waitForLine(Match match, Clock::time_point after, std::chrono::milliseconds limit) const
    {
        std::optional<Line> found;
        waitFor([&] {
            for (const Line& line : lines()) {
                if (line.at >= after && match(line.text)) {
                    found = line;
                    break;
                }
            }
            return found.has_value();
        }, limit);
        return found;
    }

private:
    pid_t pid_ = -1;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::vector<Line> lines_;

    void readLines(int fd)
    {
        std::string pending;
        char buffer[65536];
        for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;) {
            const Clock::time_point now = Clock::now();
            pending.append(buffer, static_cast<std::size_t>(got));
            std::vector<Line> complete;
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
                complete.push_back({now, false, pending.substr(0, end)});
            if (!complete.empty())
                complete.back().fresh = true;
            const std::lock_guard lock(mutex_);
            lines_.insert(lines_.end(), complete.begin(), complete.end());
        }
        close(fd);
    }
};

// One frame of a show, read back from its slots.
struct Frame {
    Clock::time_point at;
    bool fresh;
    double bpm;
    double phase;
    bool beat;
};

std::vector<Frame> frames(const StampedChild& show)
{
    std::vector<Frame> frames;
    for (const Line& line : show.lines()) {
        if (line.text.empty() || line.text[0] < '0' || line.text[0] > '9')
            continue; // the header
        std::vector<int> slot;
        std::istringstream cells(line.text);
        for (std::string cell; slot.size() < 7 && std::getline(cells, cell, ',');)
            slot.push_back(std::stoi(cell));
        frames.push_back({line.at, line.fresh, (slot[2] * 256 + slot[3]) / 65535.0 * 1000.0,
                          (slot[4] * 256 + slot[5]) / 65535.0, slot[6] == 255});
    }
    return frames;
}

// The phase in the beat at an instant.
struct Phase {
    Clock::time_point at;
    double phase;
};

// A show's phases from `from` on, at the instants its rows arrived (those that came alone).
std::vector<Phase> phases(const StampedChild& show, Clock::time_point from)
{
    std::vector<Phase> phases;
    for (const Frame& frame : frames(show))
        if (frame.fresh && frame.at >= from)
            phases.push_back({frame.at, frame.phase});
    return phases;
}

// The peer's phases from `from` on, at the instants it gives.
std::vector<Phase> peerPhases(const StampedChild& peer, Clock::time_point from)
{
    std::vector<Phase> phases;
    for (const Line& line : peer.lines()) {
        double phase = 0.0;
        long long micros = 0;
        if (std::sscanf(line.text.c_str(), "phase %lf at %lld", &phase, &micros) != 2)
            continue;
        const Clock::time_point at{std::chrono::microseconds(micros)};
        if (at >= from)
            phases.push_back({at, phase});
    }
    return phases;
}

// How many of `first` have a phase of `second` at most 50 ms before them, and the largest
// difference between the two, in beats: the one of `second` carried forward at the tempo.
std::pair<std::size_t, double> largestDifference(const std::vector<Phase>& first, const std::vector<Phase>& second,
                                                 double beatsPerSecond)
{
    std::size_t compared = 0;
    double largest = 0.0;
    auto before = second.begin();
    for (const Phase& phase : first) {
        while (before != second.end() && before + 1 != second.end() && (before + 1)->at <= phase.at)
            ++before;
        if (before == second.end() || before->at > phase.at || phase.at - before->at > 50ms)
            continue;
        const double seconds = std::chrono::duration<double>(phase.at - before->at).count();
        const double carried = before->phase + seconds * beatsPerSecond;
        double difference = phase.phase - carried;
        difference -= std::round(difference); // on the circle of the beat
        largest = std::max(largest, std::fabs(difference));
        ++compared;
    }
    return {compared, largest};
}

bool near(double bpm, double expected)
{
    return std::fabs(bpm - expected) < 0.02;
}

// The instant `show` first printed a frame at `bpm` after `since`, if it keeps to it from there.
std::optional<Clock::time_point> settledAt(const StampedChild& show, double bpm, Clock::time_point since)
{
    std::optional<Clock::time_point> settled;
    for (const Frame& frame : frames(show)) {
        if (frame.at < since)
            continue;
        if (!near(frame.bpm, bpm))
            settled.reset();
        else if (!settled)
            settled = frame.at;
    }
    return settled;
}

double milliseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

class LinkSession : public testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string why = outsideTestNetwork("in-private-network.sh"); !why.empty())
            GTEST_SKIP() << why;
        directory_ = scratchDirectory();
        writeFile(directory_ + "/show.toml", SHOW);
    }

    // `zrsignal run` of the show, printing its rows as they are made; once it has printed some.
    std::unique_ptr<StampedChild> startShow(const std::string& name, std::vector<std::string> options = {})
    {
        std::vector<std::string> command = {ZRSIGNAL_PROGRAM, "run", directory_ + "/show.toml", "--print", "csv",
                                            "--clock", "real"};
        command.insert(command.end(), options.begin(), options.end());
        auto show = std::make_unique<StampedChild>(command, directory_ + "/" + name + ".err");
        EXPECT_TRUE(waitFor([&] { return frames(*show).size() > 2; }, 10s))
            << name << " prints no frames: " << readFile(directory_ + "/" + name + ".err");
        return show;
    }

    std::unique_ptr<StampedChild> startPeer(std::vector<std::string> options)
    {
        options.insert(options.begin(), LINK_PEER_PROGRAM);
        return std::make_unique<StampedChild>(options, directory_ + "/peer.err");
    }

    std::string directory_;
};

TEST_F(LinkSession, ShowsFollowThePeersTempoInPhase)
{
    const auto a = startShow("a");
    const auto b = startShow("b");
    const auto peer = startPeer({"--peers", "2", "--tempo", "128"});
    const auto set = peer->waitForLine([](const std::string& text) { return text.starts_with("set "); }, {}, 20s);
    ASSERT_TRUE(set) << "the peer found no two shows in the session: " << readFile(directory_ + "/peer.err");
    std::this_thread::sleep_for(4s); // rows to compare

    for (const auto* show : {a.get(), b.get()}) {
        const char* name = show == a.get() ? "a" : "b";
        const std::vector<Frame> before = frames(*show);
        ASSERT_FALSE(before.empty());
        EXPECT_TRUE(near(before.front().bpm, PROPOSED_BPM)) << name << " began at " << before.front().bpm;
        const auto settled = settledAt(*show, 128.0, set->at);
        ASSERT_TRUE(settled) << name << " is not at the peer's tempo";
        EXPECT_LE(*settled - set->at, 1s) << name;
        std::cout << name << " at the peer's 128 bpm after " << milliseconds(*settled - set->at) << " ms\n";
    }

    // The phases at the same instants, from a second after the tempo changed: the two shows
    // against each other, and each against the peer, which reads Link's clock itself.
    const auto from = set->at + 1s;
    const double beatsPerSecond = 128.0 / 60.0;
    const double oneFrame = beatsPerSecond / FPS;
    const std::vector<Phase> phasesA = phases(*a, from);
    const std::vector<Phase> phasesB = phases(*b, from);
    const std::vector<Phase> phasesPeer = peerPhases(*peer, from);
    const struct {
        const char* pair;
        const std::vector<Phase>& first;
        const std::vector<Phase>& second;
    } pairs[] = {{"a and b", phasesA, phasesB}, {"a and the peer", phasesA, phasesPeer},
                 {"b and the peer", phasesB, phasesPeer}};
    for (const auto& pair : pairs) {
        const auto [compared, largest] = largestDifference(pair.first, pair.second, beatsPerSecond);
        std::cout << pair.pair << ": " << compared << " instants compared; largest phase difference " << largest
                  << " beat (" << largest / beatsPerSecond * 1000.0 << " ms); one frame is " << oneFrame << " beat\n";
        EXPECT_GT(compared, 40u) << pair.pair;
        EXPECT_LE(largest, oneFrame) << pair.pair;
    }

    // A beat on the frame where the phase starts again, and on no other.
    for (const auto* show : {a.get(), b.get()}) {
        const std::vector<Frame> all = frames(*show);
        std::size_t beats = 0;
        std::size_t misplaced = 0;
        for (std::size_t i = 1; i < all.size(); ++i) {
            if (all[i - 1].at >= from) {
                beats += all[i].beat ? 1 : 0;
                misplaced += all[i].beat != (all[i].phase < all[i - 1].phase) ? 1 : 0;
            }
        }
        EXPECT_GE(beats, 5u) << (show == a.get() ? "a" : "b");
        EXPECT_EQ(misplaced, 0u) << (show == a.get() ? "a" : "b") << ": frames with a beat where the phase goes on, "
                                                                      "or without one where it starts again";
    }
}

TEST_F(LinkSession, OscTempoMovesTheWholeSession)
{
    const auto a = startShow("a", {"--osc-port", "9131"});
    const auto b = startShow("b");
    // Peers meeting join the session that has run longer, by half a second at least (else the
    // one of the lower id): once the shows have run a second, theirs is the peer's.
    ASSERT_TRUE(waitFor([&] { return frames(*b).size() > FPS; }, 10s));
    const auto peer = startPeer({"--peers", "2"});
    ASSERT_TRUE(peer->waitForLine([](const std::string& text) { return text == "peers 2"; }, {}, 20s))
        << "the peer found no two shows in the session";
    ASSERT_TRUE(peer->waitForLine([](const std::string& text) { return text == "tempo 90.000"; }, {}, 5s))
        << "the peer did not take the session's tempo, which the shows proposed:\n" << peer->report();

    const lo_address target = lo_address_new("127.0.0.1", "9131");
    const Clock::time_point sent = Clock::now();
    lo_send(target, "/zr/tempo", "f", 100.0f);
    lo_address_free(target);

    const auto heard =
        peer->waitForLine([](const std::string& text) { return text == "tempo 100.000"; }, sent, 5s);
    ASSERT_TRUE(heard) << "the peer did not follow the tempo sent to a: " << readFile(directory_ + "/a.err");
    EXPECT_LE(heard->at - sent, 1s);
    std::cout << "the peer at 100 bpm after " << milliseconds(heard->at - sent) << " ms\n";
    std::this_thread::sleep_for(1500ms); // rows to look at
    for (const auto* show : {a.get(), b.get()}) {
        const char* name = show == a.get() ? "a" : "b";
        const auto settled = settledAt(*show, 100.0, sent);
        ASSERT_TRUE(settled) << name << " is not at 100 bpm";
        EXPECT_LE(*settled - sent, 1s) << name;
        std::cout << name << " at 100 bpm after " << milliseconds(*settled - sent) << " ms\n";
    }
}

} // namespace
