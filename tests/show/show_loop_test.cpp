// The parts of the frame loop without a network: pacing, the hand-over to senders, formulas
// per fixture and their live replacement, OSC commands, reload checks, and no allocation.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <cstdlib>
#include <numbers>
#include <new>
#include <thread>

#include "loaded_show.h"
#include "show_test_support.h"
#include "zrshow/FramePacer.h"
#include "zrshow/inputs/AudioInput.h"
#include "zrshow/inputs/MidiClock.h"
#include "zrshow/inputs/TapTempo.h"
#include "zrshow/outputs/FrameHandoff.h"
#include "zrshow/show/FixtureFormulas.h"
#include "zrshow/show/ShowCommands.h"
#include "zrshow/show/ShowHost.h"
#include "zrshow/show/ShowPatch.h"
#include "zrshow/show/ShowProblems.h"

// Every allocation of the process is counted while `counting` is set.
namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* allocate(std::size_t size)
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
// The standard library's sorts take their buffers with these.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

using namespace zrshow;
using zrhost::ClockMode;
using zrhost::FrameClock;
using namespace std::chrono_literals;

namespace {

// A show read from text that must have no problem.
struct LoadedShow : showtest::LoadedShow {
    explicit LoadedShow(const std::string& text, const LiveInputsMaker& makeLiveInputs = {})
        : showtest::LoadedShow(text, "show.toml", {}, makeLiveInputs)
    {
        EXPECT_TRUE(problems.empty()) << problems.text();
    }
};

const std::string COUNTERS = R"toml(
[variables]
level = 10
[[output]]
universe = 7
protocol = "artnet"
address = "10.77.0.1"
[[fixture]]
name = "bar"
universe = 7
address = 3
count = 3
footprint = 4
channels = [ { name = "step", formula = "counter(0, 100, 1) + index * 10" },
             { name = "wide", formula = "level", width = 16, slot = 3 } ]
)toml";

TEST(FixtureFormulas, EachFixtureOfAGroupHasItsOwnStateAndIndex)
{
    LoadedShow loaded(COUNTERS);
    for (int frame = 0; frame < 5; ++frame)
        loaded.formulas->evaluate(loaded.universes);
    const DmxSlots& slots = loaded.universes[0];
    // counter at 5 steps + 10 × index percent; "wide" at slot 3 of each fixture, 10% in 16 bits.
    for (unsigned index = 0; index < 3; ++index) {
        const unsigned first = 2 + index * 4;
        EXPECT_EQ(slots[first], showtest::level8(5 + index * 10)) << "fixture " << index;
        EXPECT_EQ(slots[first + 2] * 256 + slots[first + 3], 6554) << "fixture " << index;
    }
    EXPECT_EQ(slots[1], 0) << "an unpatched slot";
}

TEST(FixtureFormulas, ReplacementStartsFreshOthersKeepTheirState)
{
    LoadedShow loaded(COUNTERS);
    for (int frame = 0; frame < 5; ++frame)
        loaded.formulas->evaluate(loaded.universes);
    const auto steps = loaded.formulas->positionsOf(0, 0);
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_FALSE(loaded.formulas->replace({steps[1]}, "counter(0, 100, 1)"));
    loaded.formulas->evaluate(loaded.universes);
    EXPECT_EQ(loaded.universes[0][2], showtest::level8(6)) << "fixture 0 counts on";
    EXPECT_EQ(loaded.universes[0][6], showtest::level8(1)) << "fixture 1 starts again";

    const auto refused = loaded.formulas->replace(steps, "1 +");
    ASSERT_TRUE(refused);
    loaded.formulas->evaluate(loaded.universes);
    EXPECT_EQ(loaded.universes[0][2], showtest::level8(7)) << "a refused formula leaves the old running";
}

TEST(FramePacer, SlowFrameIsCountedAndNotMadeUpByABurst)
{
    using Clock = FramePacer::Clock;
    const Clock::time_point start{};
    Clock::time_point now = start;
    std::vector<long> wakeTimes; // ms after start at which each frame began
    PacerTime time{[&] { return now; }, [&](Clock::time_point until) { now = std::max(now, until); }};
    FrameClock clock(ClockMode::Real, 10.0);
    FramePacer pacer(ClockMode::Real, 10.0, clock, time);
    std::vector<bool> slow;
    for (std::uint64_t frame = 0; frame < 7; ++frame) {
        pacer.beginFrame(frame);
        wakeTimes.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count());
        now += frame == 2 ? 250ms : 10ms; // frame 2 overruns into frame 4's time
        slow.push_back(pacer.endFrame(frame));
    }
    EXPECT_EQ(wakeTimes, (std::vector<long>{0, 100, 200, 450, 550, 650, 750}));
    EXPECT_EQ(slow, (std::vector<bool>{false, false, true, false, false, false, false}));
}

TEST(FrameHandoff, SenderGetsTheNewestWholeFrameAndTheLastOneAfterStop)
{
    FrameHandoff handoff(2);
    std::atomic<bool> torn{false};
    std::vector<std::uint64_t> seen;
    std::thread sender([&] {
        while (const DmxFrame* frame = handoff.takeNewest()) {
            seen.push_back(frame->number);
            for (const DmxSlots& slots : frame->universes) {
                for (std::uint8_t value : slots)
                    torn = torn || value != static_cast<std::uint8_t>(frame->number);
            }
        }
    });
    constexpr std::uint64_t FRAMES = 20000;
    for (std::uint64_t number = 1; number <= FRAMES; ++number) {
        DmxFrame& frame = handoff.writable();
        frame.number = number;
        for (DmxSlots& slots : frame.universes)
            slots.fill(static_cast<std::uint8_t>(number));
        handoff.publish();
    }
    handoff.stop();
    sender.join();
    EXPECT_FALSE(torn) << "a frame was read while being written";
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()) && std::adjacent_find(seen.begin(), seen.end()) == seen.end());
    EXPECT_EQ(seen.back(), FRAMES) << "the last frame must reach the sender";
}

TEST(FrameLoop, StepsOfTheExampleShowAllocateNothing)
{
    LoadedShow loaded(showtest::readFile(ZR_EXAMPLE_SHOW));
    FrameHandoff handoff(loaded.universes.size());
    double* level = loaded.host->showVariable("level");
    ASSERT_NE(level, nullptr);
    auto step = [&](std::uint64_t frame) {
        *level = frame % 20 < 3 ? 90 : 5; // a kick every 20 frames
        loaded.formulas->evaluate(loaded.universes);
        DmxFrame& out = handoff.writable();
        out.number = frame;
        std::copy(loaded.universes.begin(), loaded.universes.end(), out.universes.begin());
        handoff.publish();
        ASSERT_NE(handoff.takeNewest(), nullptr);
    };
    step(0); // first evaluations may set up what the functions keep
    counting = true;
    auto probe = std::make_unique<int>(1); // the counter must see allocations of the library too
    ASSERT_EQ(allocations.exchange(0), 1) << "operator new is not counted";
    EXPECT_EQ(*probe, 1);
    for (std::uint64_t frame = 1; frame < 400; ++frame)
        step(frame);
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
}

// The example show heard through a live audio input (see AudioInput) whose ring a thread
// standing in for the audio callback fills, 256 samples at a time: draining, analysing and
// writing the variables allocate nothing.
TEST(FrameLoop, LiveAudioInputAllocatesNothing)
{
    AudioInput* audio = nullptr;
    double* level = nullptr;
    LoadedShow loaded(showtest::readFile(ZR_EXAMPLE_SHOW), [&](zrhost::HostVariables& variables) {
        std::vector<std::unique_ptr<LiveInput>> inputs;
        inputs.push_back(std::make_unique<AudioInput>(48000.0, variables, nullptr, "a test tone"));
        audio = static_cast<AudioInput*>(inputs.back().get());
        for (auto& variable : variables.all())
            level = variable.name == "level" ? &variable.value : level;
        return inputs;
    });
    ASSERT_NE(level, nullptr);
    std::atomic<bool> stop{false};
    std::thread callback([&] {
        for (std::size_t written = 0; !stop.load(); written += 256) {
            // A 100 Hz tone that sounds for a tenth of every half second: a kick twice a second.
            audio->ring().write(256, [written](std::size_t i) {
                const auto n = static_cast<double>(written + i);
                return std::fmod(n, 24000.0) < 4800.0 ? static_cast<float>(std::sin(n * 0.013)) : 0.0F;
            });
            std::this_thread::sleep_for(1ms);
        }
    });
    double loudest = 0.0;
    auto step = [&](std::uint64_t frame) {
        loaded.host->beforeFrame(frame, std::chrono::steady_clock::now());
        loaded.formulas->evaluate(loaded.universes);
        loudest = std::max(loudest, *level);
        std::this_thread::sleep_for(5ms);
    };
    step(0);
    counting = true;
    for (std::uint64_t frame = 1; frame < 400; ++frame)
        step(frame);
    counting = false;
    stop = true;
    callback.join();
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GT(loudest, 50.0) << "the tone reaches the show's variable";
}

// The level of a frame is the RMS of exactly the samples that arrived since the frame before
// (× 100 × √2: a full-scale sine reads 100), as for a frame of an audio file; a frame that no
// sample reached keeps the level before it.
TEST(LiveAudio, LevelIsTheRmsOfTheSamplesSinceThePreviousFrame)
{
    zrhost::HostVariables variables;
    AudioInput audio(48000.0, variables, nullptr, "a test tone");
    const double* level = &variables.all().front().value;
    ASSERT_EQ(variables.all().front().name, "level");
    struct Arrival {
        std::vector<std::pair<double, std::size_t>> parts; // amplitude of a 480 Hz sine, samples
        double level;
    };
    const Arrival arrivals[] = {
        {{{1.0, 1200}}, 100.0},
        {{}, 100.0},
        {{{0.5, 600}}, 50.0},
        {{{0.5, 500}, {0.0, 500}}, 50.0 / std::sqrt(2.0)},
        {{{0.5, 100}, {0.5, 100}, {0.5, 100}}, 50.0},
        {{{0.0, 1}}, 0.0},
    };
    for (const Arrival& arrival : arrivals) {
        for (const auto& [amplitude, count] : arrival.parts) {
            // Whole periods of 100 samples, so that the RMS is the sine's.
            audio.ring().write(count, [amplitude](std::size_t i) {
                return static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * static_cast<double>(i) / 100.0));
            });
        }
        audio.beforeFrame(0, std::chrono::steady_clock::now());
        EXPECT_NEAR(*level, arrival.level, 0.01) << arrival.parts.size() << " parts";
    }
}

// The ring keeps the samples in order across its end, and what finds it full is dropped and
// counted, also with the producer and the consumer on two threads.
TEST(LiveAudio, SampleRingKeepsOrderAndCountsWhatFindsNoRoom)
{
    SampleRing ring(1000);
    ASSERT_EQ(ring.capacity(), 1024u);
    std::vector<float> taken;
    auto sequence = [](float from) { return [from](std::size_t i) { return from + static_cast<float>(i); }; };
    EXPECT_EQ(ring.write(700, sequence(0)), 700u);
    EXPECT_EQ(ring.drain([&](float sample) { taken.push_back(sample); }), 700u);
    EXPECT_EQ(ring.write(1100, sequence(700)), 1024u) << "across the end, up to the capacity";
    EXPECT_EQ(ring.dropped(), 76u);
    EXPECT_EQ(ring.drain([&](float sample) { taken.push_back(sample); }), 1024u);
    for (std::size_t i = 0; i < taken.size(); ++i)
        ASSERT_EQ(taken[i], static_cast<float>(i));

    SampleRing shared(256);
    constexpr std::size_t TOTAL = 200000;
    std::thread producer([&] {
        for (std::size_t written = 0; written < TOTAL; written += 100)
            shared.write(100, sequence(static_cast<float>(written)));
    });
    std::size_t received = 0;
    float last = -1.0F;
    bool ordered = true;
    auto take = [&](float sample) {
        ordered = ordered && sample > last;
        last = sample;
        ++received;
    };
    while (received + shared.dropped() < TOTAL)
        shared.drain(take);
    producer.join();
    EXPECT_TRUE(ordered);
    EXPECT_EQ(received + shared.dropped(), TOTAL);
}

TEST(ShowCommands, AddressesAndArgumentsAreCheckedAgainstTheShow)
{
    LoadedShow loaded(COUNTERS);
    const ShowCommands commands(loaded.show, *loaded.patch, *loaded.host);
    struct Case {
        const char* address;
        ShowArgument argument;
        const char* refusal; // nullptr: accepted
    };
    const Case cases[] = {
        {"/zr/var/level", 42.0, nullptr},
        {"/zr/var/level", std::string("x"), "takes one number"},
        {"/zr/var/level", std::monostate{}, "takes one number"},
        {"/zr/var/nothing", 1.0, "no variable 'nothing'"},
        // A NaN would freeze every fixture that reads the variable; an infinity is no level either.
        {"/zr/var/level", std::nan(""), "'level' takes a finite number, not nan"},
        {"/zr/var/level", -std::numeric_limits<double>::infinity(), "not -inf"},
        {"/zr/formula/bar/2/wide", std::string("50"), nullptr},
        {"/zr/formula/bar/3/wide", std::string("50"), "no fixture 'bar' number 3"},
        {"/zr/formula/bar/x/wide", std::string("50"), "INDEX must be a number"},
        {"/zr/formula/bar/1/tilt", std::string("50"), "with a channel 'tilt'"},
        {"/zr/formula/bar/1", std::string("50"), "/zr/formula/FIXTURE/INDEX/CHANNEL"},
        {"/zr/formula/bar/1/wide", 5.0, "takes one string"},
        {"/zr/other", 1.0, "unknown address"},
        {"/zr/tap", std::monostate{}, "does not come from taps"},
        {"/zr/tempo", 120.0, "comes from the audio"},
    };
    for (const Case& c : cases) {
        const auto result = commands.interpret(c.address, c.argument);
        if (!c.refusal) {
            EXPECT_TRUE(std::holds_alternative<ShowEdit>(result)) << c.address;
        } else {
            ASSERT_TRUE(std::holds_alternative<std::string>(result)) << c.address;
            EXPECT_NE(std::get<std::string>(result).find(c.refusal), std::string::npos) << std::get<std::string>(result);
        }
    }
    // The formula edit names the patched position of fixture 2's "wide".
    const auto result = commands.interpret("/zr/formula/bar/2/wide", std::string("50"));
    const auto& replace = std::get<ReplaceFormula>(std::get<ShowEdit>(result));
    const PatchedChannel& placed = loaded.patch->channels()[replace.position];
    EXPECT_EQ(placed.slot, 2u + 2 * 4 + 2);
    EXPECT_EQ(replace.what, "fixture 'bar' #2 channel 'wide'");
    // A variable edit points at the variable the formulas read.
    const auto variable = commands.setVariable("level", 42.0);
    EXPECT_EQ(std::get<SetVariable>(std::get<ShowEdit>(variable)).value, loaded.host->showVariable("level"));
}

TEST(ShowReload, OnlyFormulaEditsAreLiveChanges)
{
    ShowProblems problems("show.toml");
    const ShowFile running = parseShowText(COUNTERS, "show.toml", problems);
    auto edited = [&](const std::string& from, const std::string& to) {
        std::string text = COUNTERS;
        text.replace(text.find(from), from.size(), to);
        return describeStructureChange(running, parseShowText(text, "show.toml", problems));
    };
    EXPECT_EQ(edited("index * 10", "index * 20"), "");
    // Every part of a fixture's layout: a group that grows must not be half applied.
    const std::pair<const char*, const char*> layoutEdits[] = {
        {"address = 3", "address = 4"},      {"width = 16", "width = 8"},
        {"count = 3", "count = 4"},          {"footprint = 4", "footprint = 5"},
        {"slot = 3", "slot = 2"},            {"name = \"step\"", "name = \"stop\""},
        {"universe = 7\naddress = 3\ncount = 3",
         "spans = [ { universe = 7, address = 3, count = 2 }, { universe = 7, address = 20, count = 1 } ]"},
        {"[[fixture]]\nname = \"bar\"\nuniverse = 7", "[[output]]\nuniverse = 8\nprotocol = \"artnet\"\n"
                                                       "address = \"10.77.0.1\"\n[[fixture]]\nname = \"bar\"\nuniverse = 8"},
    };
    for (const auto& [from, to] : layoutEdits)
        EXPECT_NE(edited(from, to).find("fixture 'bar'"), std::string::npos) << from << " -> " << to;
    EXPECT_EQ(edited("\"10.77.0.1\"", "\"10.77.0.2\""), "the outputs");
    EXPECT_EQ(edited("level = 10", "level = 10\nother = 1"), "[variables]");
    EXPECT_TRUE(problems.empty()) << problems.text();
}

} // namespace

// Taps are beats: three give the tempo, the beat runs on between taps, a long pause starts over,
// and a requested tempo runs until taps replace it.
TEST(TapTempo, TapsSetTheTempoAndTheBeatRunsOnBetweenThem)
{
    using Clock = TempoSource::Clock;
    const Clock::time_point start{};
    auto at = [&](double seconds) { return start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)); };
    TapTempo tap(0.0, start);
    EXPECT_EQ(tap.tempoAt(at(0.1)).bpm, 0.0) << "no tempo before taps";
    for (double t : {1.0, 1.5, 2.0})
        tap.tap(at(t));
    // Frames of 40 a second from the third tap: a beat on the frame of each half second.
    std::vector<int> beatFrames;
    for (int frame = 0; frame < 80; ++frame) {
        const auto values = tap.tempoAt(at(2.0 + frame / 40.0));
        EXPECT_NEAR(values.bpm, 120.0, 1e-6);
        EXPECT_NEAR(values.beatphase, std::fmod(frame / 20.0, 1.0), 1e-6) << frame;
        if (values.beat == 1.0)
            beatFrames.push_back(frame);
    }
    EXPECT_EQ(beatFrames, (std::vector<int>{0, 20, 40, 60}));

    for (double t : {10.0, 10.4, 10.8}) // after a pause: a new tempo, 150
        tap.tap(at(t));
    EXPECT_NEAR(tap.tempoAt(at(10.9)).bpm, 150.0, 1e-6);

    tap.requestTempo(90.0);
    EXPECT_EQ(tap.tempoAt(Clock::now()).bpm, 90.0) << "a requested tempo replaces the taps";
}

// MIDI clock: 24 pulses a beat arrive with jitter; the tempo evens it out, a beat begins every
// 24 pulses from start, and a stopped clock keeps its tempo but gives no beats.
TEST(MidiClock, PulsesMakeTheTempoAndTheBeats)
{
    using Clock = TempoSource::Clock;
    const Clock::time_point start{};
    auto at = [&](double seconds) { return start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)); };
    MidiClock clock;
    clock.start();
    // 100 beats a minute: a pulse every 25 ms, each up to 2 ms late.
    int beats = 0;
    for (int pulse = 0; pulse < 24 * 4; ++pulse) {
        const double due = pulse * 0.025;
        clock.pulse(at(due + 0.002 * ((pulse * 7) % 5) / 4.0));
        const auto values = clock.tempoAt(at(due + 0.0125));
        if (values.beat == 1.0) {
            ++beats;
            EXPECT_EQ(pulse % 24, 0) << "a beat begins on every 24th pulse";
        }
        if (pulse >= 24) {
            EXPECT_NEAR(values.bpm, 100.0, 0.5) << "pulse " << pulse;
        }
        if (pulse > 0) {
            EXPECT_NEAR(values.beatphase, (pulse % 24 + 0.5) / 24.0, 0.05) << "pulse " << pulse;
        }
    }
    EXPECT_EQ(beats, 4);
    clock.stop();
    clock.pulse(at(2.4));
    const auto stopped = clock.tempoAt(at(2.41));
    EXPECT_EQ(stopped.beat, 0.0);
    EXPECT_NEAR(stopped.bpm, 100.0, 0.5) << "a stopped clock keeps its tempo";
}
