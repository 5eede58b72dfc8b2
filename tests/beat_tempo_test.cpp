// Beat detection, beat pulses, the triggered gate, the BPM counter and tap tempo on generated
// signals and pulse trains.
#include "Func/BeatTempo.h"
#include "frame_sequence_support.h"

namespace {

// Evaluates fn once per value of the first argument, the other arguments fixed.
std::vector<double> evalOver(ZrFunctionI& fn, const std::vector<double>& first, const Args& rest = {})
{
    std::vector<double> out;
    for (double v : first) {
        Args args{v};
        args.insert(args.end(), rest.begin(), rest.end());
        out.push_back(call(fn, args));
    }
    return out;
}

// 1-based evaluation numbers on which fn returned 100.
std::vector<int> pulseFrames(const std::vector<double>& results)
{
    std::vector<int> frames;
    for (std::size_t i = 0; i < results.size(); ++i)
        if (results[i] == 100.0)
            frames.push_back(static_cast<int>(i) + 1);
    return frames;
}

// A signal of `length` evaluations that is 100 on the given 1-based evaluations and 0 elsewhere.
std::vector<double> pulsesAt(const std::vector<int>& frames, int length)
{
    std::vector<double> v(static_cast<std::size_t>(length), 0.0);
    for (int f : frames)
        v[static_cast<std::size_t>(f) - 1] = 100.0;
    return v;
}

// Pulses on the evaluation nearest to each beat of the tempo, the first one period in.
std::vector<double> pulseTrain(double bpm, double fps, int beats)
{
    const double period = 60.0 * fps / bpm;
    std::vector<int> frames;
    for (int k = 1; k <= beats; ++k)
        frames.push_back(static_cast<int>(std::lround(k * period)));
    return pulsesAt(frames, frames.back());
}

TEST(BeatDetection, FrameByFrameOnSteps)
{
    BeatFct beat;
    EXPECT_EQ(evalOver(beat, {0, 0, 100, 100, 100, 100, 100, 100, 100, 100, 100}),
              (std::vector<double>{0, 0, 100, 100, 100, 100, 100, 88.9892578125, 66.741943359375, 50.05645751953125,
                                   0}));

    OnBeatFct onbeat;
    EXPECT_EQ(pulseFrames(evalOver(onbeat, {0, 100, 100, 100, 100, 100, 100, 200, 200})), (std::vector<int>{2, 8}))
        << "a held step pulses once; the next pulse needs the excess to fall to 20 or below first";

    OnBeatFct skipsUnusable;
    EXPECT_EQ(pulseFrames(evalOver(skipsUnusable, {0, 100, NaN, 100, inf, 100, 100, 100, -inf, 100, 200})),
              (std::vector<int>{2, 11}))
        << "unusable values leave the envelope alone";
}

TEST(BeatDetection, MultiplesAndOffsetsSelectBeatsOfEachGroup)
{
    const std::vector<int> kEvery{1, 2, 3, 4, 5, 6, 7, 8, 9};
    struct Case {
        double multiple;
        double offset; // NaN: the two-argument overload
        std::vector<int> beats;
    } cases[] = {
        {3, NaN, {3, 6, 9}}, {3, 1, {1, 4, 7}},   {3, 2, {2, 5, 8}},     {3, 3, {3, 6, 9}},
        {3, 5, {3, 6, 9}},    {3, 0, {3, 6, 9}},   {3.9, -1, {3, 6, 9}},  {4, 1, {1, 5, 9}},
        {1, NaN, kEvery},    {0, NaN, kEvery},   {-2, 1, kEvery},       {NaN, NaN, kEvery},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "multiple " << c.multiple << " offset " << c.offset);
        std::unique_ptr<ZrFunctionI> fn;
        Args rest{c.multiple};
        if (std::isnan(c.offset)) {
            fn = std::make_unique<OnBeatMultipleFct>();
        } else {
            fn = std::make_unique<OnBeatMultipleOffsetFct>();
            rest.push_back(c.offset);
        }
        std::vector<int> beats; // a beat every 10 evaluations
        for (int frame : pulseFrames(evalOver(*fn, pulseTrain(60, 10, 9), rest)))
            beats.push_back(frame / 10);
        EXPECT_EQ(beats, c.beats);
    }
}

TEST(Trigger, OpensForItsDurationAndReArmsAfterFallingAndHoldOff)
{
    struct Case {
        const char* name;
        std::vector<double> activation;
        Args rest; // duration, thresholdDown, thresholdUp, delay
        std::vector<int> onFrames;
    } cases[] = {
        {"opens for 3 evaluations and re-arms after a fall", {0, 60, 60, 60, 60, 60, 0, 60, 30, 60},
         {3, 10, 50, 0}, {2, 3, 4, 8, 9, 10}},
        {"duration below 0 gives one evaluation", {60, 0, 60, 0}, {-1, 10, 50, 0}, {1, 3}},
        {"duration exactly 0 gives one evaluation too", {60, 0, 60, 0}, {0, 10, 50, 0}, {1, 3}},
        {"a fall before the hold-off has passed does not re-arm", pulsesAt({1, 31, 33}, 40), {2, 10, 50, 30},
         {1, 2, 33, 34}},
        {"a held activation fires again after the hold-off when thresholdDown >= thresholdUp",
         std::vector<double>(12, 60.0), {2, 70, 50, 5}, {1, 2, 6, 7, 11, 12}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TriggerFct trigger;
        EXPECT_EQ(pulseFrames(evalOver(trigger, c.activation, c.rest)), c.onFrames);
    }
}

TEST(BPMCounter, MeasuresAfterSixBeatsAt120AndDecaysWhenTheBeatsStop)
{
    BPMCounterFct counter;
    std::vector<double> beats = pulseTrain(120, 60, 6);
    beats.resize(249, 0.0);
    const std::vector<double> out = evalOver(counter, beats, {60});
    for (int frame = 1; frame <= 249; ++frame) {
        const double expected = frame < 180 ? 0 : frame < 241 ? 120 : frame < 244 ? 113.5 : frame < 247 ? 107.325
                                                                                                      : 101.45875;
        ASSERT_DOUBLE_EQ(out[frame - 1], expected) << "frame " << frame;
    }
}

// With beats falling on whole evaluations, a window of n beats spans n periods give or take one
// evaluation; every reading must stay within what that allows (n is at least 3), from the first
// measurement on.
TEST(BPMCounter, ReadingsStayWithinFrameQuantisationAcrossTemposAndRates)
{
    for (double fps : {30.0, 40.0, 60.0}) {
        for (double bpm : {60.0, 120.0, 150.0, 180.0}) {
            SCOPED_TRACE(testing::Message() << bpm << " per minute at " << fps << " fps");
            BPMCounterFct counter;
            const double period = 60.0 * fps / bpm;
            const std::vector<double> out = evalOver(counter, pulseTrain(bpm, fps, 40), {fps});
            const std::size_t firstReading = static_cast<std::size_t>(std::lround(8 * period)) - 1;
            for (std::size_t i = firstReading; i < out.size(); ++i) {
                ASSERT_GE(out[i], 60.0 * fps / (period + 1.0 / 3)) << "frame " << i + 1;
                ASSERT_LE(out[i], 60.0 * fps / (period - 1.0 / 3)) << "frame " << i + 1;
            }
        }
    }
    BPMCounterFct noRate;
    EXPECT_EQ(evalOver(noRate, pulseTrain(120, 60, 12), {0}).back(), 0.0) << "an fps of 0 measures 0";
}

// The window size is re-decided on every evaluation from the seconds per beat so far, gap since
// the last beat included. At 90 per minute that estimate passes 0.8 s four beats into a window,
// before the fifth beat arrives, so the window closes early and the next one starts mid-gap:
// the readings alternate between 75 and about 104.
TEST(BPMCounter, WindowClosesBetweenBeatsWhenTheGapPushesTheEstimateIntoASmallerWindow)
{
    BPMCounterFct counter;
    const std::vector<double> out = evalOver(counter, pulseTrain(90, 30, 20), {30});
    EXPECT_EQ(out[94], 0.0);
    EXPECT_EQ(out[95], 75.0) << "4 beats over 96 evaluations, 16 after the fourth beat";
    EXPECT_EQ(out[198], 75.0);
    EXPECT_NEAR(out[199], 6 / (104.0 / 30) * 60, 1e-9) << "6 beats over the 104 evaluations since";
}

TEST(TapTempo, SeriesRulesDecideWhenATempoIsTaken)
{
    struct Case {
        const char* name;
        std::vector<int> taps;
        int resultFrame; // 0: no tempo
        double bpm;
    } cases[] = {
        {"taps every 30 at 60 fps end on the third tap", {10, 40, 70}, 70, 120},
        {"taps once a second need two intervals", {10, 70, 130}, 130, 60},
        {"slower taps end on the second tap", {10, 100}, 100, 40},
        {"a pause of exactly 3 s still counts", {10, 190}, 190, 20},
        {"a pause of more than 3 s abandons the series", {10, 191}, 0, 0},
        {"a jump of more than 50 discards the series", {10, 40, 50, 80, 110, 140}, 140, 120},
        {"an unsteady estimate waits for one more tap", {10, 40, 66, 96}, 96, 3.0 / (86.0 / 60) * 60},
        {"unsteady past the largest count discards the series", {10, 40, 66, 100, 124}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TapTempoBPMFct tempo;
        const std::vector<double> out = evalOver(tempo, pulsesAt(c.taps, c.taps.back() + 10), {60});
        for (std::size_t i = 0; i < out.size(); ++i) {
            const int frame = static_cast<int>(i) + 1;
            ASSERT_DOUBLE_EQ(out[i], c.resultFrame != 0 && frame >= c.resultFrame ? c.bpm : 0.0) << "frame " << frame;
        }
    }
}

TEST(TapTempo, PulsesOncePerSecondThenAtTheTappedTempoInPhaseWithTheLastTap)
{
    struct Case {
        const char* name;
        std::vector<int> taps;
        std::vector<int> pulses;
    } cases[] = {
        {"the closing tap pulses", {20, 50, 80}, {60, 80, 110, 140, 170}},
        {"no second pulse within 0.2 s of the last one", {10, 40, 70}, {60, 100, 130, 160}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TapTempoFct tempo;
        EXPECT_EQ(pulseFrames(evalOver(tempo, pulsesAt(c.taps, 180), {60})), c.pulses);
    }
    TapTempoFct noRate;
    EXPECT_EQ(evalOver(noRate, std::vector<double>(5, 0.0), {0}), std::vector<double>(5, 100.0))
        << "an fps of 0 pulses on every evaluation";
}

// Taps falling on whole evaluations give a series of n intervals spanning n periods give or take
// one evaluation (n is at least 2 from 60 per minute up), and the pulses then repeat every
// whole number of evaluations within one of the measured period.
TEST(TapTempo, TempoAndPulsesStayWithinFrameQuantisationAcrossTemposAndRates)
{
    for (double fps : {30.0, 40.0, 60.0}) {
        for (double bpm : {60.0, 90.0, 120.0, 150.0, 180.0}) {
            SCOPED_TRACE(testing::Message() << bpm << " per minute at " << fps << " fps");
            const double period = 60.0 * fps / bpm;
            std::vector<double> taps = pulseTrain(bpm, fps, 6);
            taps.resize(taps.size() + static_cast<std::size_t>(8 * period), 0.0);
            TapTempoFct pulses;
            TapTempoBPMFct tempo;
            const std::vector<int> pulseAt = pulseFrames(evalOver(pulses, taps, {fps}));
            const double measured = evalOver(tempo, taps, {fps}).back();
            ASSERT_GE(measured, 60.0 * fps / (period + 0.5));
            ASSERT_LE(measured, 60.0 * fps / (period - 0.5));
            const double measuredPeriod = 60.0 * fps / measured;
            for (std::size_t i = pulseAt.size() - 5; i + 1 < pulseAt.size(); ++i) {
                EXPECT_EQ(pulseAt[i + 1] - pulseAt[i], pulseAt.back() - pulseAt[pulseAt.size() - 2]);
                EXPECT_NEAR(pulseAt[i + 1] - pulseAt[i], measuredPeriod, 1.0);
            }
        }
    }
}

} // namespace
