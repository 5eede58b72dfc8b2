// Colour conversions through 8-bit channels, and hue transitions frame by frame.
#include <numbers>

#include "Func/Colour.h"
#include "frame_sequence_support.h"

namespace {

// Percent of an 8-bit channel value.
double byteLevel(int byte)
{
    return byte / 255.0 * 100.0;
}

TEST(Colour, ConversionsGiveQuantisedComponents)
{
    struct Case {
        const char* what;
        std::unique_ptr<ZrFunctionI> fct;
        std::vector<double> args;
        double expected;
    };
    const Case cases[] = {
        {"full red", spawnOf<RGBRedFromRGBICompFunc>(), {100, 0, 0, 100}, 100},
        {"red at half intensity", spawnOf<RGBRedFromRGBICompFunc>(), {100, 0, 0, 50}, byteLevel(127)},
        {"no green in red", spawnOf<RGBGreenFromRGBICompFunc>(), {100, 0, 0, 100}, 0},
        {"grey keeps its level", spawnOf<RGBRedFromRGBICompFunc>(), {50, 50, 50, 100}, byteLevel(127)},
        {"blue of cyan dimmed", spawnOf<RGBBlueFromRGBICompFunc>(), {0, 100, 100, 50}, byteLevel(127)},
        {"out of range components are clamped", spawnOf<RGBRedFromRGBICompFunc>(), {150, -20, 0, 200}, 100},
        {"a NaN component is dark", spawnOf<RGBRedFromRGBICompFunc>(), {NaN, 0, 0, 100}, 0},
        {"a NaN intensity is dark", spawnOf<RGBBlueFromRGBICompFunc>(), {0, 0, 100, NaN}, 0},
        {"red of pure red", spawnOf<RGBRedFromHSIComp>(), {0, 100, 50}, 100},
        {"green of pure red", spawnOf<RGBGreenFromHSIComp>(), {0, 100, 50}, 0},
        {"blue of pure blue", spawnOf<RGBBlueFromHSIComp>(), {200.0 / 3.0, 100, 50}, 100},
        {"unsaturated gives the intensity", spawnOf<RGBBlueFromHSIComp>(), {37, 0, 50}, byteLevel(127)},
        {"hue beyond a turn is clamped", spawnOf<RGBBlueFromHSIComp>(), {150, 100, 50}, 0},
        {"a NaN hue is red", spawnOf<RGBRedFromHSIComp>(), {NaN, 100, 50}, 100},
        {"hue of green", spawnOf<HSIHueFromRGBComp>(), {0, 100, 0}, 100.0 / 3.0},
        {"hue of magenta", spawnOf<HSIHueFromRGBComp>(), {100, 0, 100}, 250.0 / 3.0},
        {"saturation of black", spawnOf<HSISaturationFromRGBComp>(), {0, 0, 0}, 0},
        {"saturation of a dark red", spawnOf<HSISaturationFromRGBComp>(), {20, 0, 0}, 100},
        {"intensity of white", spawnOf<HSIIntensityFromRGBComp>(), {100, 100, 100}, 100},
        {"a NaN component reads as 0", spawnOf<HSIIntensityFromRGBComp>(), {NaN, 100, NaN}, 50},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(call(*c.fct, c.args), c.expected, 1e-9) << c.what;
}

TEST(Colour, RgbThroughHsiAndBackStaysWithinTwoChannelSteps)
{
    HSIHueFromRGBComp hue;
    HSISaturationFromRGBComp saturation;
    HSIIntensityFromRGBComp intensity;
    std::unique_ptr<ZrFunctionI> fromHsi[] = {spawnOf<RGBRedFromHSIComp>(), spawnOf<RGBGreenFromHSIComp>(), spawnOf<RGBBlueFromHSIComp>()};
    std::unique_ptr<ZrFunctionI> fromRgbi[] = {spawnOf<RGBRedFromRGBICompFunc>(), spawnOf<RGBGreenFromRGBICompFunc>(), spawnOf<RGBBlueFromRGBICompFunc>()};
    for (int r = 0; r <= 100; r += 5)
        for (int g = 0; g <= 100; g += 5)
            for (int b = 0; b <= 100; b += 5) {
                const std::vector<double> rgb{double(r), double(g), double(b)};
                const std::vector<double> hsi{call(hue, rgb), call(saturation, rgb), call(intensity, rgb)};
                for (int k = 0; k < 3; ++k) {
                    ASSERT_NEAR(call(*fromHsi[k], hsi), rgb[k], 2.0 / 255.0 * 100.0) << r << ' ' << g << ' ' << b << " channel " << k;
                    // At full intensity a component comes back on its channel step or one below.
                    const int byte = static_cast<int>(rgb[k] / 100.0 * 255.0);
                    const double same = call(*fromRgbi[k], {rgb[0], rgb[1], rgb[2], 100});
                    ASSERT_TRUE(same == byteLevel(byte) || same == byteLevel(byte - 1)) << r << ' ' << g << ' ' << b << " channel " << k;
                }
            }
}

TEST(CircularTransition, RunsTheShorterWayRoundFrameByFrame)
{
    struct Run {
        const char* what;
        std::vector<std::vector<double>> frames; // (nbsteps, value) per frame
        std::vector<double> expected;
    };
    const Run runs[] = {
        {"through 100 is shorter", {{4, 0}, {4, 90}, {4, 90}, {4, 90}, {4, 90}, {4, 90}}, {0, 0, 97.5, 95, 90, 90}},
        {"the first value is already a new target", {{4, 50}, {4, 50}, {4, 50}, {4, 50}, {4, 50}}, {0, 12.5, 25, 50, 50}},
        {"no steps follow the input", {{0, 30}, {0, 80}, {-3, 10}, {NaN, 20}}, {30, 80, 10, 20}},
        {"a longer run keeps its progress", {{4, 50}, {4, 50}, {8, 50}, {8, 50}, {8, 50}, {8, 50}, {8, 50}},
            {0, 12.5, 25, 31.25, 37.5, 50, 50}},
        {"a new target redirects from the current output", {{4, 50}, {4, 50}, {4, 80}, {4, 80}, {4, 80}, {4, 80}},
            {0, 12.5, 4.375, 96.25, 80, 80}},
    };
    for (const Run& run : runs) {
        SCOPED_TRACE(run.what);
        CircularTransitionFct t;
        for (size_t i = 0; i < run.frames.size(); ++i)
            EXPECT_NEAR(call(t, run.frames[i]), run.expected[i], 1e-9) << "frame " << i;
    }
}

TEST(TransitionHue, HueAndSaturationFollowAStraightLineAcrossTheWheel)
{
    TransitionHueFct hue;
    TransitionSatFct saturation;
    // Without steps both jump to the target: hue 0 at full saturation.
    EXPECT_EQ(call(hue, {0, 0, 100}), 0);
    EXPECT_EQ(call(saturation, {0, 0, 100}), 100);
    // A quarter turn in 4 frames: the first three are points on the chord from (100, 0) to
    // (0, 100), the fourth lands on the target and stays there.
    for (int step = 0; step < 3; ++step) {
        const double f = step / 4.0;
        const double x = 100.0 * (1.0 - f);
        const double y = 100.0 * f;
        EXPECT_NEAR(call(hue, {4, 25, 100}), std::atan2(y, x) / (2.0 * std::numbers::pi) * 100.0, 1e-9) << step;
        EXPECT_NEAR(call(saturation, {4, 25, 100}), std::hypot(x, y), 1e-9) << step;
    }
    for (int frame = 0; frame < 2; ++frame) {
        EXPECT_EQ(call(hue, {4, 25, 100}), 25);
        EXPECT_EQ(call(saturation, {4, 25, 100}), 100);
    }
}

TEST(TransitionHue, CrossingTheCentreLosesTheHue)
{
    // Between opposite hues the saturation falls to the centre halfway.
    TransitionSatFct across;
    call(across, {0, 0, 100});
    const double expected[] = {100, 50, 0, 100};
    for (double level : expected)
        EXPECT_NEAR(call(across, {4, 50, 100}), level, 1e-9);

    // A new transition starts at the centre, where there is no hue.
    TransitionHueFct fromCentre;
    EXPECT_TRUE(std::isnan(call(fromCentre, {4, 25, 100})));
    EXPECT_NEAR(call(fromCentre, {4, 25, 100}), 25, 1e-9);

    // A NaN target has no place on the wheel.
    TransitionHueFct unusable;
    call(unusable, {0, 0, 100});
    EXPECT_TRUE(std::isnan(call(unusable, {4, NaN, 100})));
}

} // namespace
