// Waveform generators: frame-by-frame sequences, restarts, resets, unusable increments and the
// random variants.
#include <cstdlib>

#include "Func/Generators.h"
#include "frame_sequence_support.h"

namespace {

using zr::PI;
using zr::TWO_PI;

const double quarter = TWO_PI / 4;

using Factory = std::unique_ptr<ZrFunctionI> (*)();

// A run of frames that all receive the same arguments, with the output expected from each.
struct FrameRun {
    std::vector<double> args;
    std::vector<double> outputs;
};

struct Script {
    const char* what;
    Factory factory;
    std::vector<FrameRun> runs;
};

// Each script starts from a new instance; every frame's result is checked in order.
const Script kScripts[] = {
    {"sin by quarter periods, then reset", spawnOf<SinFct>, {{{PI / 2}, {0, 1, 0, -1, 0}}, {{0}, {-1}}}},
    {"sin at a zero increment stays at its start", spawnOf<SinFct>, {{{0}, {-1, -1}}}},
    {"cos by quarter periods, then reset", spawnOf<CosFct>, {{{PI / 2}, {1, 0, -1, 0}}, {{0}, {0}}}},
    {"clock by half periods, then reset", spawnOf<ClockFct>, {{{PI}, {1, -1, 1}}, {{0}, {-1}}}},
    {"clock is high where the sine is exactly 0", spawnOf<ClockFct>, {{{-zr::THREE_HALF_PI}, {1}}}},
    {"triangle by quarter periods, then reset", spawnOf<TriangleFct>, {{{quarter}, {0, 1, 0, -1, 0}}, {{0}, {-1}}}},
    {"triangle rises above 1 once its phase is negative", spawnOf<TriangleFct>, {{{-quarter}, {0, 1, 2}}}},
    {"sawtooth ramps up and resets", spawnOf<SawtoothFct>, {{{quarter}, {-0.5, 0, 0.5}}, {{0}, {-1}}}},
    {"sawtooth runs below -1 on a negative phase", spawnOf<SawtoothFct>, {{{-quarter}, {-1.5, -2, -2.5}}}},
    {"organic from phase 0", spawnOf<OrganicFct>,
     {{{0}, {-0.15161380586264234}}, {{1}, {-0.2743953746365912, -0.4721083617795657, -0.7250330227860742}}}},
    {"sawtooth restart includes the restarting frame's increment", spawnOf<SawtoothResetableFct>,
     {{{quarter, 0}, {-0.5}}, {{quarter, inf}, {0}}, {{quarter, 1}, {-0.5}}, {{quarter, NaN}, {0}}, {{quarter, -1}, {0.5}}}},
    {"sawtooth speed scales, freezes and reverses within range", spawnOf<SawtoothResetableWithSpeedFct>,
     {{{quarter, 0, 2}, {0}},
      {{quarter, 0, 0}, {0}},
      {{quarter, 0, -1}, {-0.5, -1, 0.5, 0}},
      {{quarter, 1, 1}, {-0.5}},
      {{0, 0, 5}, {-1}},
      {{NaN, 0, 1}, {-1}},
      {{TWO_PI / 8, 0, -1}, {0.75}},
      {{TWO_PI, 1, 1}, {1}}}},
    {"pulse of two frames every four", spawnOf<PulseFct>, {{{quarter, 2}, {-1, -1, -1, 1, 1, -1, -1, 1, 1, -1, -1, 1}}}},
    {"pulse longer than its period is cut for one frame at each wrap", spawnOf<PulseFct>,
     {{{quarter, 5}, {-1, -1, -1, 1, 1, 1, 1, -1, 1, 1, 1, -1}}}},
    {"pulse still running at a wrap only ends", spawnOf<PulseFct>, {{{10, 1}, {1, -1, 1, -1}}}},
    {"pulse increment is capped at one period", spawnOf<PulseFct>, {{{10, 1}, {1}}, {{1, 1}, {-1, -1, -1, -1, -1, -1, 1}}}},
    {"pulse duration rounds to whole frames", spawnOf<PulseFct>,
     {{{TWO_PI, 0.4}, {-1}}, {{TWO_PI, 1.5}, {1}}, {{TWO_PI / 8, 1.5}, {1, -1}}}},
    {"pulse is not resumed by a reset", spawnOf<PulseFct>, {{{TWO_PI, 5}, {1}}, {{TWO_PI / 8, 5}, {1}}, {{0, 5}, {-1}}, {{TWO_PI / 8, 5}, {-1}}}},
    {"random clock reset brings its level back to -1", spawnOf<RandomClockFct>, {{{1, 100}, {-1, -1, -1, 1}}, {{0, 100}, {-1}}}},
    {"random pulse reset ends the running pulse", spawnOf<RandPulseFct>, {{{1, 5, 100}, {-1, -1, -1, 1, 1}}, {{0, 5, 100}, {-1}}}},
    {"random pulse reset restarts the sign count", spawnOf<RandPulseFct>,
     {{{1, 5, 100}, {-1}}, {{0, 5, 100}, {-1}}, {{1, 5, 100}, {-1, -1, -1, 1}}}},
    {"random pulse countdown wraps after a NaN duration", spawnOf<RandPulseFct>, {{{1, NaN, 100}, {-1, -1, -1, 1, 1, 1}}}},
};

TEST(Generators, FollowTheirFrameByFrameSequences)
{
    for (const Script& script : kScripts) {
        SCOPED_TRACE(script.what);
        std::unique_ptr<ZrFunctionI> f = script.factory();
        int frame = 0;
        for (const FrameRun& run : script.runs)
            for (double expected : run.outputs) {
                EXPECT_NEAR(call(*f, run.args), expected, 1e-9) << "frame " << frame;
                ++frame;
            }
    }
}

struct Twin {
    const char* what;
    Factory factory;
    std::vector<double> args; // the increment comes first
};

TEST(Generators, UnusableIncrementKeepsThePhase)
{
    const Twin twins[] = {
        {"sin", spawnOf<SinFct>, {0.4}},
        {"cos", spawnOf<CosFct>, {0.4}},
        {"clock", spawnOf<ClockFct>, {0.4}},
        {"triangle", spawnOf<TriangleFct>, {0.4}},
        {"sawtooth", spawnOf<SawtoothFct>, {0.4}},
        {"restartable sawtooth", spawnOf<SawtoothResetableFct>, {0.4, 0}},
        {"sawtooth with speed", spawnOf<SawtoothResetableWithSpeedFct>, {0.4, 0, 1.5}},
        {"organic", spawnOf<OrganicFct>, {0.4}},
    };
    for (const Twin& twin : twins) {
        SCOPED_TRACE(twin.what);
        std::unique_ptr<ZrFunctionI> f = twin.factory();
        std::unique_ptr<ZrFunctionI> reference = twin.factory();
        double last = 0;
        for (int i = 0; i < 3; ++i) {
            last = call(*reference, twin.args);
            EXPECT_EQ(call(*f, twin.args), last);
        }
        for (double unusable : {NaN, inf, -inf}) {
            std::vector<double> args = twin.args;
            args[0] = unusable;
            EXPECT_EQ(call(*f, args), last) << unusable;
        }
        EXPECT_EQ(call(*f, twin.args), call(*reference, twin.args));
    }
}

TEST(Generators, RandomOrganicStartsAtADrawnPhaseAndRedrawsOnReset)
{
    std::srand(11);
    const double firstDraw = zr::rand();
    std::srand(11);
    RandomOrganicFct a;
    RandomOrganicFct b;
    OrganicFct reference;
    const double aStart = call(a, {NaN});
    EXPECT_EQ(aStart, call(reference, {firstDraw / 32767.0 * 100.0 * TWO_PI}));
    EXPECT_NE(aStart, call(b, {NaN}));

    std::srand(5);
    const double resetDraw = zr::rand();
    std::srand(5);
    OrganicFct resetReference;
    EXPECT_EQ(call(a, {0}), call(resetReference, {resetDraw / 32767.0 * 100.0 * TWO_PI}));
}

TEST(Generators, RandomVariantsNeverChangeBelowOneWholePercent)
{
    std::srand(1);
    for (double probability : {0.0, 0.99, -50.0, NaN}) {
        SCOPED_TRACE(probability);
        RandomClockFct clock;
        RandPulseFct pulse;
        for (int i = 0; i < 300; ++i) {
            ASSERT_EQ(call(clock, {0.3, probability}), -1) << "frame " << i;
            ASSERT_EQ(call(pulse, {0.3, 2, probability}), -1) << "frame " << i;
        }
    }
}

// Seeds the generator so that the next draw r has r mod 10000 == wanted.
void seedForDraw(int wanted)
{
    for (unsigned seed = 1;; ++seed) {
        std::srand(seed);
        if (zr::rand() % 10000 == wanted) {
            std::srand(seed);
            return;
        }
    }
}

TEST(Generators, RandomDecisionNeedsTheDrawBelowTheWholePercentTimes100)
{
    struct Case {
        double probability;
        double afterBoundary; // 1: followed the new half-period, -1: held
    } cases[] = {{12, -1}, {12.99, -1}, {13, 1}, {100, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.probability);
        // Both start in the negative half and meet their first drawn boundary on the 4th frame.
        seedForDraw(1200);
        RandomClockFct clock;
        for (int i = 0; i < 3; ++i)
            call(clock, {1, c.probability});
        EXPECT_EQ(call(clock, {1, c.probability}), c.afterBoundary);

        seedForDraw(1200);
        RandPulseFct pulse;
        for (int i = 0; i < 3; ++i)
            call(pulse, {1, 2, c.probability});
        EXPECT_EQ(call(pulse, {1, 2, c.probability}), c.afterBoundary);
    }
}

TEST(Generators, CertainRandomClockIsAClockStartedHalfAPeriodIn)
{
    RandomClockFct randomClock;
    ClockFct clock;
    call(clock, {-PI / 2});
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(call(randomClock, {0.3, 100}), call(clock, {0.3})) << "frame " << i;
}

TEST(Generators, CertainRandomPulseFiresOncePerPeriod)
{
    struct Case {
        double duration;
        int length;
    } cases[] = {{0, 1}, {1, 1}, {2.5, 3}, {3, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.duration);
        RandPulseFct pulse;
        std::vector<int> starts;
        std::vector<int> lengths;
        double previous = -1;
        for (int frame = 1; frame <= 630; ++frame) {
            const double out = call(pulse, {0.1, c.duration, 100});
            ASSERT_TRUE(out == 1 || out == -1);
            if (out == 1 && previous == -1) {
                starts.push_back(frame);
                lengths.push_back(0);
            }
            if (out == 1)
                ++lengths.back();
            previous = out;
        }
        // The sine first turns negative after phase pi (frame 32), then every 2 pi (~63 frames).
        ASSERT_EQ(starts.size(), 10u);
        EXPECT_EQ(starts.front(), 32);
        EXPECT_EQ(starts[1], 95);
        for (int length : lengths)
            EXPECT_EQ(length, c.length);
    }
}

} // namespace
