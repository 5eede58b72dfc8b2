// MIDI into a running show through a real JACK server with no hardware: MIDI clock sets the
// tempo, a note and a controller set show variables from the next frame on.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include <RtMidi.h>

#include "jack_test_support.h"
#include "show_test_support.h"

namespace {

using namespace std::chrono_literals;
using showtest::Child;

const std::string SHOW = R"toml(
[variables]
kick = 0
master = 0
[tempo]
source = "midiclock"
port = "zrtest-out"
[[midi]]
port = "zrtest-out"
note = 36
variable = "kick"
[[midi]]
port = "zrtest-out"
cc = 7
channel = 1
variable = "master"
[[output]]
universe = 1
protocol = "artnet"
address = "127.0.0.1"
[[fixture]]
name = "m"
universe = 1
address = 1
channels = [ { name = "bpm", formula = "bpm / 2", width = 16 }, { name = "beat", formula = "beat * 100" },
             { name = "kick", formula = "kick" }, { name = "master", formula = "master" } ]
)toml";

// Slot values by column: frame, universe, then slots 1-5.
constexpr int BPM_COARSE = 2, BPM_FINE = 3, BEAT = 4, KICK = 5, MASTER = 6;

double bpmOf(const std::vector<int>& row)
{
    return (row[BPM_COARSE] * 256 + row[BPM_FINE]) / 65535.0 * 200.0;
}

class MidiIntoAShow : public testing::Test {
protected:
    void SetUp() override
    {
        directory_ = showtest::scratchDirectory();
        jack_ = std::make_unique<showtest::JackServer>(directory_, 64);
        if (!jack_->running())
            GTEST_SKIP() << "jackd does not run here: " << jack_->log();
        out_ = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "zrtest");
        out_->openVirtualPort("zrtest-out");
        showtest::writeFile(directory_ + "/show.toml", SHOW);
        show_ = std::make_unique<Child>(
            std::vector<std::string>{ZRSIGNAL_PROGRAM, "run", directory_ + "/show.toml", "--clock", "real", "--print", "csv"},
            directory_ + "/rows", directory_ + "/messages", std::vector<std::string>{jack_->environment()});
        ASSERT_TRUE(showtest::waitFor([&] { return rows().size() > 5; }, 10s)) << show_->err();
    }

    void TearDown() override
    {
        if (show_) {
            EXPECT_EQ(show_->stop(), 0) << show_->err();
        }
    }

    std::vector<std::vector<int>> rows() const { return showtest::csvRows(show_->out()); }

    void send(std::vector<unsigned char> message) { out_->sendMessage(&message); }

    std::string directory_;
    std::unique_ptr<showtest::JackServer> jack_;
    std::unique_ptr<RtMidiOut> out_;
    std::unique_ptr<Child> show_;
};

TEST_F(MidiIntoAShow, ClockSetsTheTempoAndItsBeats)
{
    // Start, then clock at 100 beats a minute: a pulse every 25 ms, for four seconds.
    send({0xFA});
    auto next = std::chrono::steady_clock::now();
    const std::size_t rowsAtStart = rows().size();
    for (int pulse = 0; pulse < 24 * 100 * 4 / 60; ++pulse) {
        next += 25ms;
        std::this_thread::sleep_until(next);
        send({0xF8});
    }
    std::this_thread::sleep_for(100ms);
    const auto all = rows();
    ASSERT_GT(all.size(), rowsAtStart + 150);
    // The median of the last second's frames: a pulse that reaches a loaded machine late moves
    // the tempo of a few frames, not the tempo the clock sets.
    std::vector<double> lastSecond;
    for (std::size_t r = all.size() - 40; r < all.size(); ++r)
        lastSecond.push_back(bpmOf(all[r]));
    std::nth_element(lastSecond.begin(), lastSecond.begin() + 20, lastSecond.end());
    EXPECT_NEAR(lastSecond[20], 100.0, 0.5);
    // A beat every 24 pulses: 0.6 s, 24 frames at 40 a second.
    std::vector<std::size_t> beats;
    for (std::size_t r = rowsAtStart + 60; r < all.size(); ++r) {
        if (all[r][BEAT] == 255)
            beats.push_back(r);
    }
    ASSERT_GE(beats.size(), 3u);
    for (std::size_t b = 1; b < beats.size(); ++b)
        EXPECT_NEAR(static_cast<double>(beats[b] - beats[b - 1]), 24.0, 1.0) << "beat " << b;
}

TEST_F(MidiIntoAShow, ANoteAndAControllerReachTheirVariablesOnTheNextFrame)
{
    const std::size_t before = rows().size();
    send({0x90, 36, 127}); // note 36 on, full velocity
    send({0xB0, 7, 64});   // controller 7 on channel 1 to half
    send({0xB1, 7, 127});  // the same controller on channel 2: not mapped
    ASSERT_TRUE(showtest::waitFor([&] { return rows().size() > before + 4; }, 5s));
    const auto all = rows();
    std::size_t first = all.size();
    for (std::size_t r = before; r < all.size() && first == all.size(); ++r) {
        if (all[r][KICK] == 255 && all[r][MASTER] == showtest::level8(64 * 100.0 / 127.0))
            first = r;
    }
    // The messages arrive while a frame is being made, which has read its inputs already, so
    // they show from the frame after it. The rows read before sending may lag the show by a
    // frame, and the frame made as the messages were sent may have begun just before they
    // arrived: three rows on at the most.
    EXPECT_LE(first, before + 3) << "first row with both: " << first << ", rows before sending: " << before;
    EXPECT_EQ(all.back()[MASTER], showtest::level8(64 * 100.0 / 127.0)) << "channel 2 is not mapped";

    // On a loaded machine the JACK server's cycles may lag the frames, so this waits for the
    // release itself rather than for a count of frames.
    send({0x80, 36, 0}); // note off
    EXPECT_TRUE(showtest::waitFor([&] { return rows().back()[KICK] == 0; }, 5s))
        << "kick after note off: " << rows().back()[KICK];
    EXPECT_EQ(rows().back()[MASTER], showtest::level8(64 * 100.0 / 127.0)) << "a note off leaves the controller";
}

} // namespace
