// Audio from a sound card, end to end on a JACK server with its dummy driver, so no hardware is
// needed: `zrsignal devices` lists the server, `zrsignal run --audio-in` hears the demo's drum
// loop that a JACK client plays into its ports, and the delay from the audio callback to the
// frame that holds a sound is measured. Each test starts its own server under a name of its own
// and stops it by its pid; run inside a network namespace of its own (in-test-network.sh).
#include <gtest/gtest.h>

#include <jack/jack.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <regex>

#include "jack_test_support.h"
#include "show_test_support.h"
#include "zrshow/ShowEvents.h"
#include "zrshow/ShowRunner.h"

using namespace showtest;
using namespace std::chrono_literals;

namespace {

constexpr int RATE = 48000; // as JackServer runs it
constexpr int PERIOD = 256;
constexpr double FPS = 40.0;

// Starts the server for this test, or skips it with the reason.
#define START_JACK(server, directory)                                                                                  \
    const std::string directory = scratchDirectory();                                                                  \
    JackServer server(directory, PERIOD);                                                                              \
    if (!server.running())                                                                                             \
    GTEST_SKIP() << "jackd -d dummy does not run here (scripts/install-deps.sh installs jackd2): "                   \
                 << server.log().substr(0, 300)

// The JACK server's number in `zrsignal devices`: "N  system  (JACK Audio Connection Kit, ...)".
std::string jackDeviceNumber(const std::string& directory)
{
    const RunResult devices = run({ZRSIGNAL_PROGRAM, "devices"}, directory);
    EXPECT_EQ(devices.status, 0) << devices.err;
    std::smatch match;
    if (!std::regex_search(devices.out, match, std::regex(R"((^|\n)(\d+)  system  \(JACK Audio Connection Kit, )")))
        ADD_FAILURE() << "no JACK device in:\n" << devices.out << devices.err;
    return match.size() > 2 ? match[2].str() : "none";
}

// One channel per value the tests read, each a percent: slot 1 level, 2 onbeat(level), 3 beat,
// 4 bpm - 60.
const std::string PROBE_SHOW = R"toml(fps = 40
[[output]]
universe = 1
protocol = "artnet"
address = "127.0.0.1"
[[fixture]]
name = "probe"
universe = 1
address = 1
channels = [
  { name = "level", formula = "level" },
  { name = "pulse", formula = "onbeat(level)" },
  { name = "beat", formula = "beat * 100" },
  { name = "bpm", formula = "bpm - 60" },
]
)toml";

TEST(AudioFromJack, DevicesListTheServerAndUnusableDevicesAreRefusedBeforeAnythingIsSent)
{
    START_JACK(server, directory);
    const RunResult devices = run({ZRSIGNAL_PROGRAM, "devices"}, directory);
    ASSERT_EQ(devices.status, 0) << devices.err;
    EXPECT_NE(devices.out.find("  system  (JACK Audio Connection Kit, 2 channels, 48000 Hz)"), std::string::npos)
        << devices.out;
    EXPECT_EQ(devices.err, "") << "the sound libraries' own messages stay off the terminal";

    writeFile(directory + "/show.toml", PROBE_SHOW);
    writeFile(directory + "/empty.wav", "");
    struct Case {
        std::vector<std::string> options;
        std::string expected;
    };
    const Case cases[] = {
        {{"--audio-in", "no such card"}, "audio input 'no such card': no input device has this name"},
        {{"--audio-in", "4711"}, "audio input 4711: there is no device with this number"},
        {{"--audio-in", "--audio", directory + "/empty.wav"}, "--audio and --audio-in cannot be given together"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> command{ZRSIGNAL_PROGRAM, "run", directory + "/show.toml", "--print", "csv"};
        command.insert(command.end(), c.options.begin(), c.options.end());
        const RunResult result = run(command, directory);
        EXPECT_EQ(result.status, 1) << c.expected;
        EXPECT_EQ(result.out, "") << c.expected;
        EXPECT_NE(result.err.find(c.expected), std::string::npos) << c.expected << " in\n" << result.err;
    }
}

// The drum loop (120 beats a minute, a kick on every beat) played into zrsignal's ports. Its
// first sound is the first kick, and from it there is a kick every 20 frames: onbeat(level)
// pulses within one frame of each kick and nowhere else. The beat tracker hears the loop live:
// nothing before the first sound; from three seconds on a beat from one frame before each kick
// to two after it, and nowhere else; from eight seconds on a tempo of 120 ± 1. (The tracker
// announces a beat once it has heard it, a hop of its analysis after the sound; on a loaded
// machine the samples' way to the frames can add a frame to that.)
TEST(AudioFromJack, DrumLoopKicksFireOnbeatAndBeatAndItsTempoIsFound)
{
#if !ZR_TEST_BEAT_TRACKING
    GTEST_SKIP() << "zrsignal was built without beat tracking (ZR_WITH_GPL=OFF)";
#endif
    START_JACK(server, directory);
    constexpr double SECONDS = 12.0;
    constexpr std::size_t BEAT = 20; // frames
    ASSERT_EQ(run({MAKE_DRUMLOOP_PROGRAM, directory + "/drumloop.wav", std::to_string(SECONDS)}, directory).status, 0);
    writeFile(directory + "/show.toml", PROBE_SHOW);
    const std::string device = jackDeviceNumber(directory);

    Child show({ZRSIGNAL_PROGRAM, "run", directory + "/show.toml", "--audio-in", device, "--print", "csv"},
               directory + "/slots.csv", directory + "/zrsignal.err");
    // The loop starts once the frames run, so that each frame holds only the audio of its own time.
    ASSERT_TRUE(waitFor([&] { return csvRows(show.out()).size() >= 4; }, 20s)) << show.err();
    Child player({JACK_WAV_PLAYER, directory + "/drumloop.wav", "^zrsignal[^:]*:in_"}, directory + "/player.out",
                 directory + "/player.err");
    ASSERT_EQ(player.wait(60s), 0) << player.err() << show.err();
    std::this_thread::sleep_for(1s); // the show runs on past the loop's end
    ASSERT_EQ(show.stop(SIGTERM), 0) << show.err();

    const auto rows = csvRows(show.out());
    auto slot = [&](std::size_t frame, int number) { return rows.at(frame).at(static_cast<std::size_t>(number) + 1); };
    std::size_t first = 4;
    while (first < rows.size() && slot(first, 1) == 0)
        ++first;
    const std::size_t end = first + static_cast<std::size_t>(SECONDS * FPS);
    ASSERT_LT(end + BEAT, rows.size()) << "the loop must be heard to its end";

    // onbeat(level) reads 100 % within one frame of each kick, and only there.
    for (std::size_t frame = first; frame < end; ++frame) {
        const std::size_t off = (frame - first) % BEAT;
        if (slot(frame, 2) == 255) {
            EXPECT_TRUE(off <= 1 || off == BEAT - 1) << "onbeat(level) at " << (frame - first) / FPS << " s";
        }
        if (off == 0) {
            EXPECT_TRUE(slot(frame - 1, 2) == 255 || slot(frame, 2) == 255 || slot(frame + 1, 2) == 255)
                << "no onbeat(level) at the kick at " << (frame - first) / FPS << " s";
        }
    }
    for (std::size_t frame = 0; frame < first; ++frame)
        EXPECT_EQ(slot(frame, 3) + slot(frame, 4), 0) << "beat or bpm before any sound, frame " << frame;
    for (std::size_t frame = first + 3 * static_cast<std::size_t>(FPS); frame < end; ++frame) {
        const std::size_t off = (frame - first) % BEAT;
        if (slot(frame, 3) == 255) {
            EXPECT_TRUE(off <= 2 || off == BEAT - 1) << "a beat off the kicks at " << (frame - first) / FPS << " s";
        }
        if (off == 0) {
            EXPECT_TRUE(slot(frame - 1, 3) == 255 || slot(frame, 3) == 255 || slot(frame + 1, 3) == 255 ||
                        slot(frame + 2, 3) == 255)
                << "no beat at the kick at " << (frame - first) / FPS << " s";
        }
        if (frame >= first + 8 * static_cast<std::size_t>(FPS)) {
            EXPECT_NEAR(slot(frame, 4) / 2.55 + 60.0, 120.0, 1.0) << "bpm at " << (frame - first) / FPS << " s";
        }
    }
}

// The delay from the audio callback to the frame whose level holds a sound, handed to the
// outputs: a JACK client in this process plays bursts (0.1 s of a tone every 0.41 s) into a
// running show's input and notes when each began; the show notes when each frame was done.
// Printed, not asserted: speed depends on the machine. Expected: at most one frame (25 ms) plus
// the frame's work, as the callback's buffer (5.3 ms) is already counted before it runs.
struct Bursts {
    // 77 periods (0.41 s): a burst begins on a period's first sample, each at another point of
    // the frame it falls in (77 × 256 is no whole number of 1200-sample frames).
    static constexpr int EVERY = PERIOD * 77;
    static constexpr int LENGTH = RATE / 10;
    jack_port_t* port = nullptr;
    std::atomic<bool> playing{false};
    long position = 0;
    std::array<std::chrono::steady_clock::time_point, 64> onsets{};
    std::atomic<std::size_t> count{0};
};

int playBursts(jack_nframes_t frames, void* argument)
{
    auto& bursts = *static_cast<Bursts*>(argument);
    auto* out = static_cast<float*>(jack_port_get_buffer(bursts.port, frames));
    const auto now = std::chrono::steady_clock::now();
    const bool playing = bursts.playing.load();
    for (jack_nframes_t i = 0; i < frames; ++i) {
        const long at = playing ? bursts.position++ : -1;
        if (at >= 0 && at % Bursts::EVERY == 0 && bursts.count.load() < bursts.onsets.size()) {
            bursts.onsets[bursts.count.load()] = now; // bursts begin on a period's first sample
            bursts.count.fetch_add(1);
        }
        out[i] = at >= 0 && at % Bursts::EVERY < Bursts::LENGTH ? 0.5F * std::sin(0.1F * static_cast<float>(at)) : 0.0F;
    }
    return 0;
}

class FrameTimes final : public zrshow::FrameObserver, public zrshow::ShowEvents {
public:
    FrameTimes() { frames.reserve(2000); }
    void frameDone(std::uint64_t, const std::vector<zrshow::DmxSlots>& universes) override
    {
        if (frames.size() < frames.capacity())
            frames.push_back({std::chrono::steady_clock::now(), universes[0][0]});
    }
    void message(const std::string&) override {}

    struct Frame {
        std::chrono::steady_clock::time_point done;
        int level;
    };
    std::vector<Frame> frames;
};

TEST(AudioFromJack, LatencyFromCallbackToSentFrame)
{
    START_JACK(server, directory);
    // This process has no beat tracker: level alone.
    writeFile(directory + "/show.toml", PROBE_SHOW.substr(0, PROBE_SHOW.find("  { name = \"pulse\"")) + "]\n");
    zrshow::ShowRunOptions options;
    options.showPath = directory + "/show.toml";
    options.audioInput = jackDeviceNumber(directory);
    options.sendOutputs = false;
    options.frames = static_cast<std::uint64_t>(10 * FPS);
    options.sourceName = "zrtest-show";
    FrameTimes times;
    zrshow::ShowRunner runner(options, times);
    runner.observe(&times);

    Bursts bursts;
    jack_status_t status{};
    jack_client_t* client = jack_client_open("zrtest-bursts", JackNoStartServer, &status);
    ASSERT_NE(client, nullptr);
    bursts.port = jack_port_register(client, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client, &playBursts, &bursts);
    ASSERT_EQ(jack_activate(client), 0);
    for (const char* input : {"zrtest-show:in_0", "zrtest-show:in_1"})
        ASSERT_EQ(jack_connect(client, jack_port_name(bursts.port), input), 0) << input;
    bursts.playing = true;
    const std::atomic<bool> interrupted{false};
    runner.run(interrupted);
    jack_client_close(client);

    // Each frame that is loud after a silent one holds a burst's first samples.
    std::vector<double> delays;
    for (std::size_t f = 1; f < times.frames.size(); ++f) {
        if (times.frames[f].level == 0 || times.frames[f - 1].level != 0)
            continue;
        const auto onset = std::find_if(bursts.onsets.rbegin() + static_cast<long>(bursts.onsets.size() - bursts.count),
                                         bursts.onsets.rend(), [&](auto t) { return t <= times.frames[f].done; });
        ASSERT_NE(onset, bursts.onsets.rend());
        delays.push_back(std::chrono::duration<double, std::milli>(times.frames[f].done - *onset).count());
    }
    ASSERT_GE(delays.size() + 1, bursts.count.load()) << "every burst reaches a frame";
    ASSERT_GE(delays.size(), 20u);
    std::sort(delays.begin(), delays.end());
    for (double delay : delays)
        EXPECT_LT(delay, 1000.0) << "a burst waits for no more than a bounded time";
    std::printf("callback to sent frame, %zu bursts: min %.1f ms, median %.1f ms, max %.1f ms "
                "(one buffer %.1f ms, one frame %.1f ms)\n",
                delays.size(), delays.front(), delays[delays.size() / 2], delays.back(), 1000.0 * PERIOD / RATE,
                1000.0 / FPS);
    RecordProperty("latency_max_ms", std::to_string(delays.back()));
}

} // namespace
