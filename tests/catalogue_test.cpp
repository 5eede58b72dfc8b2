// The plug-in's catalogue: every entry at its place with its texts and flags, and the plug-in
// operations a loader relies on.
#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <typeinfo>

#include <gtest/gtest.h>

#include "zrparser/ZrOperatorI.h"
#include "zrparser/ZrParserItemI.h"
#include "zrsignal/CSignalPlugin.h"

namespace {

struct CatalogueRow {
    int index;
    const char* className;
    const wchar_t* symbol;
    const wchar_t* id;
    const wchar_t* help;
    int nbArgs;
    bool constant;
    bool shareable;
    const wchar_t* description;
};

// The published catalogue, in createFunc order.
const CatalogueRow kCatalogue[] = {
    {0, "LoopFct", L"loop", L"loop", L"loop(totalDuration, crossfadeDuration, fct1, fct2, fct3, ...)", 3, false, false,
     L"Cycle through all the functions in the given duration. Crossfade when switching function."},
    {1, "RandLoopFct", L"randloop", L"randloop", L"randloop(totalDuration, crossfadeDuration, fct1, fct2, fct3, ...)", 3, false, false,
     L"Select a random function at regular interval. Crossfade when switching function."},
    {2, "SequenceFct", L"sequence", L"sequence", L"sequence(totalDuration, crossfadeDuration, resetFct, fct1, fct2, fct3, ...)", 4, false, false,
     L"Play each function once for the given total duration. Crossfade when switching function. Reset when resetFct is positive."},
    {3, "TimedSequenceFct", L"timedsequence", L"timedsequence", L"timedSequence(nbRepeats, crossfadeDuration, resetFct, time1, fct1, time2, fct2, time3, fct3, ..., [endFct])", 4, false, false,
     L"Play each function for the specified duration. Repeat the sequence nbRepeats times or indefinitely if less than 0. Crossfade when switching function. Reset when resetFct is positive. Optional endFct played when the sequence ends."},
    {4, "TriggerFct", L"__trigger", L"__trigger", L"trigger(activation, duration, thresholdDown, thresholdUp, delay)", 5, false, false,
     L"A beat in the activation value starts the trigger for the given duration."},
    {5, "Distance3Fct", L"distance", L"distance3d", L"distance(x1,y1,[z1], x2,y2,[z2])", 6, true, true,
     L"The distance between two points in 2D or 3D"},
    {6, "DistanceFct", L"distance", L"distance", L"distance(x1,y1, x2,y2)", 4, true, true,
     L"The distance between two points"},
    {7, "ClockFct", L"__clock", L"__clock", L"__clock(radInc)", 1, false, false,
     L"Generate a clock signal 0 and 1"},
    {8, "TimeoutFct", L"__timeout", L"__timeout", L"__timeout(time, value)", 2, false, false,
     L"Pulse if the value never > 0 after the specified time."},
    {9, "DeltaFct", L"delta", L"delta", L"delta(value)", 1, false, false,
     L"Return the difference between the current value and the last value. That's the instantaneous rate of change."},
    {10, "TimeoutOrActiveFct", L"__timeoutoractive", L"__timeoutoractive", L"__timeoutoractive(time, value)", 2, false, false,
     L"Pulse if the value never > 0 after the specified time or as soon as the value is > 0."},
    {11, "OnChangeThresholdFct", L"onchange", L"onchange", L"onchange(value, [threshold])", 2, false, false,
     L"Pulse when the value changes and optionally specify the threshold."},
    {12, "OnChangeFct", L"onchange", L"onchange", L"onchange(value, [threshold])", 1, false, false,
     L"Pulse when the value changes and optionally specify the threshold."},
    {13, "BeatFct", L"beat", L"beat", L"beat(value)", 1, false, false,
     L"Detect beat on the given value."},
    {14, "OnBeatMultipleOffsetFct", L"onbeat", L"onbeat", L"onbeat(value, [multiple], [offset])", 3, false, false,
     L"Pulse when a beat is detected. Use a multiple to pulse on 2nd, 3rd, etc. beat."},
    {15, "OnBeatMultipleFct", L"onbeat", L"onbeat", L"onbeat(value, [multiple])", 2, false, false,
     L"Detect beat on the given value and pulse at the beginning of the beat."},
    {16, "OnBeatFct", L"onbeat", L"onbeat", L"onbeat(value)", 1, false, false,
     L"Detect beat on the given value and pulse at the beginning of the beat."},
    {17, "RestrainFct", L"restrain", L"restrain", L"restrain(value, min, max)", 3, true, true,
     L"Make sure a value is between min and max."},
    {18, "PingCounterWithResetFct", L"pingcounter", L"pingcounter", L"pingcounter(from, to, incrementNow, [resetFct])", 4, false, false,
     L"Ping-Pong counter. +1 when the incrementNow parameter is positive. Reverse after reaching the to value. Reset when the resetFct is positive."},
    {19, "PingCounterFct", L"pingcounter", L"pingcounter", L"pingcounter(from, to, incrementNow)", 3, false, false,
     L"Ping-Pong counter. +1 when the incrementNow parameter is positive. Reverse after reaching the to value."},
    {20, "CounterWithDecrementAndResetFct", L"counter", L"counter", L"counter(from, to, incrementNow, [decrementNow], [resetFct])", 5, false, false,
     L"Counter +-1 when the inc/decrementNow parameters are positive. Loop after reaching the to value. Reset when the resetFct is positive."},
    {21, "CounterWithDecrementFct", L"counter", L"counter", L"counter(from, to, incrementNow, decrementNow)", 4, false, false,
     L"Counter +-1 when the inc/decrementNow parameters are positive. Loop after reaching the to value."},
    {22, "NoLoopCounterWithDecrementAndResetFct", L"noloopcounter", L"noloopcounter", L"noloopcounter(from, to, incrementNow, [decrementNow], [resetFct])", 5, false, false,
     L"Counter +-1 when the inc/decrementNow parameters are positive. Don't loop when reaching the to value. Reset when the resetFct is positive."},
    {23, "NoLoopCounterWithDecrementFct", L"noloopcounter", L"noloopcounter", L"noloopcounter(from, to, incrementNow, decrementNow)", 4, false, false,
     L"Counter +-1 when the inc/decrementNow parameters are positive. Don't loop when reaching the to value."},
    {24, "NoLoopCounterFct", L"noloopcounter", L"noloopcounter", L"noloopcounter(from, to, incrementNow)", 3, false, false,
     L"Counter +1 when the incrementNow parameter is positive. Don't loop when reaching the to value."},
    {25, "CounterFct", L"counter", L"counter", L"counter(from, to, incrementNow)", 3, false, false,
     L"Counter +1 when the incrementNow parameter is positive. Loop after reaching the to value."},
    {26, "RandMinMaxFct", L"rand", L"rand1", L"rand([min=0], [max=100])", 2, false, true,
     L"Random value between min and max."},
    {27, "RandFct", L"rand", L"rand2", L"rand()", 0, false, true,
     L"Random value between 0 and 100"},
    {28, "RandIntFct", L"randint", L"randint", L"randint(min, max)", 2, false, false,
     L"Random integer value between min and max."},
    {29, "RandomClockFct", L"__randclock", L"__randclock", L"__randclock(radInc, probability)", 2, false, false,
     L"Generate a clock signal 0 and 1. After a phase, may randomly stay at the same level another phase"},
    {30, "PulseFct", L"__pulse", L"__pulse", L"pulse(radInc, duration)", 2, false, false,
     L"Generate a pulse at constant time"},
    {31, "RandPulseFct", L"__randpulse", L"__randpulse", L"randpulse(radInc, duration, probability)", 3, false, false,
     L"Generate a pulse at random time given the probability from 0% to 100%."},
    {32, "DelayFct", L"__delay", L"__delay", L"delay(number of delayed values, function)", 2, true, false,
     L"delay a signal"},
    {33, "RecordFct", L"__record", L"__record", L"record(isRecording, inputSignal, playbackInc)", 3, false, false,
     L"Record an input signal and replay it in a loop when not recording."},
    {34, "RecordOnChangeFct", L"recordonchange", L"recordonchange", L"recordOnChange(isRecording, value, goNext, goBack, resetFct)", 5, false, false,
     L"Record only the different values. Playback the next value when goNext > 0 and play backward when goBack > 0. Reset at the first value when resetFct > 0."},
    {35, "CircularTransitionFct", L"__circulartransition", L"__circulartransition", L"circulartransition(nbsteps, function)", 2, false, false,
     L"Compute the transition assuming a circular function's domain"},
    {36, "TransitionHueFct", L"__transition.hue", L"__transition.hue", L"transition.hue(time, targetHue, targetSaturation)", 3, false, false,
     L"Compute the hue to transition to the target values in the specified time."},
    {37, "TransitionSatFct", L"__transition.saturation", L"__transition.saturation", L"transition.saturation(time, targetHue, targetSaturation)", 3, false, false,
     L"Compute the saturation to transition to the target values in the specified time."},
    {38, "FadeinLinearFct", L"__fadeinlinear", L"__fadeinlinear", L"fadein(nbsteps, function)", 2, true, false,
     L"Smoothly fade in to greater values"},
    {39, "FadeinSigmoidFct", L"__fadeinsigmoid", L"__fadeinsigmoid", L"fadein(nbsteps, function)", 2, true, false,
     L"Smoothly fade in to greater values"},
    {40, "FadeinExpFct", L"__fadeinexp", L"__fadeinexp", L"fadein(nbsteps, function)", 2, true, false,
     L"Smoothly fade in to greater values"},
    {41, "FadeinLogFct", L"__fadeinlog", L"__fadeinlog", L"fadein(nbsteps, function)", 2, true, false,
     L"Smoothly fade in to greater values"},
    {42, "FadeoutLinearFct", L"__fadeoutlinear", L"__fadeoutlinear", L"fadeout(step, function)", 2, true, false,
     L"Smoothly fade out to smaller values"},
    {43, "FadeoutSigmoidFct", L"__fadeoutsigmoid", L"__fadeoutsigmoid", L"fadeout(step, function)", 2, true, false,
     L"Smoothly fade out to smaller values"},
    {44, "FadeoutExpFct", L"__fadeoutexp", L"__fadeoutexp", L"fadeout(step, function)", 2, true, false,
     L"Smoothly fade out to smaller values"},
    {45, "FadeoutLogFct", L"__fadeoutlog", L"__fadeoutlog", L"fadeout(step, function)", 2, true, false,
     L"Smoothly fade out to smaller values"},
    {46, "SawtoothFct", L"__sawtooth", L"__sawtooth", L"__sawtooth(radInc)", 1, false, false,
     L"Generate a sawtooth signal"},
    {47, "SawtoothResetableFct", L"__sawtooth", L"__sawtooth", L"__sawtooth(radInc, reset)", 2, false, false,
     L"Generate a sawtooth signal"},
    {48, "SawtoothResetableWithSpeedFct", L"__sawtooth", L"__sawtooth", L"__sawtooth(radInc, reset, speedMult)", 3, false, false,
     L"Generate a sawtooth signal"},
    {49, "SawtoothSyncFct", L"map.sawtooth", L"map.sawtooth", L"map.sawtooth(percent)", 1, true, true,
     L"Map percent to a sawtooth shape"},
    {50, "TriangleFct", L"__triangle", L"__triangle", L"__triangle(radInc)", 1, false, false,
     L"Generate a triangle signal"},
    {51, "TriangleSyncFct", L"map.triangle", L"map.triangle", L"map.triangle(percent)", 1, true, true,
     L"Map percent to a triangle shape"},
    {52, "SigmoidSyncFct", L"map.sigmoid", L"map.sigmoid", L"map.sigmoid(x)", 1, true, true,
     L"Map percent to a sigmoid shape"},
    {53, "ExpSyncFct", L"map.exp", L"map.exp", L"map.exp(percent)", 1, true, true,
     L"Map percent to an exponential shape."},
    {54, "LogSyncFct", L"map.log", L"map.log", L"map.log(percent)", 1, true, true,
     L"Map percent to a log shape."},
    {55, "SinFct", L"__sin", L"__sin", L"__sin(radInc)", 1, false, false,
     L"Generate a sin signal"},
    {56, "CosFct", L"__cos", L"__cos", L"__cos(rad)", 1, false, false,
     L"Generate a cos signal"},
    {57, "OrganicFct", L"__organic", L"__organic", L"__organic(radInc)", 1, false, false,
     L"Generate an organic signal"},
    {58, "RandomOrganicFct", L"__randorganic", L"__randorganic", L"__randorganic(radInc)", 1, false, false,
     L"Generate an random organic signal"},
    {59, "SwitchFct", L"switch", L"switch", L"switch(valueToMatch, case1, value1, case2, value2..., [defaultValue])", -1, true, false,
     L"Compare the valueToMatch with the cases. If a case equals the valueToMatch, then the corresponding value is returned. If no match is found, return the defaultValue or last value."},
    {60, "LatestFct", L"latestindex", L"latestindex", L"latestIndex(value0, value1, value2, ...)", -1, true, false,
     L"Return the index of the latest positive value. The index of the first value is 0."},
    {61, "CoalesceFct", L"coalesce", L"coalesce", L"coalesce(value1, value2, value3, ...)", -1, true, true,
     L"Return the first value that is different than 0."},
    {62, "SelectConditionFct", L"selectcondition", L"selectcondition", L"selectCondition(condition1, value1, condition2, value2, ..., [defaultValue])", -1, true, false,
     L"Return the first value which condition is true (>0). If no condition is true, return the defaultValue or last value."},
    {63, "SelectFct", L"select", L"select", L"select(indexPercent, value1, value2, value3, ...)", -1, true, true,
     L"Return the value at the specified index. 0% is the first value and 100% is the last."},
    {64, "MemFct", L"gmem", L"gmem", L"gmem(id, value)", 2, false, true,
     L"Set global memory value. Id from 0 to 99."},
    {65, "RecallFct", L"grecall", L"grecall", L"grecall(id)", 1, false, true,
     L"Get global memory value. Id from 0 to 99."},
    {66, "LatchWithDefaultFct", L"latch", L"latch", L"latch(updateNow, value, [initialValue])", 3, false, false,
     L"Store a value that is updated when updateNow is positive. Optionally provide an initial value."},
    {67, "LatchFct", L"latch", L"latch", L"latch(updateNow, value)", 2, false, false,
     L"Store a value that is updated when updateNow is positive."},
    {68, "LatchDeltaMinMaxFct", L"latchdelta", L"latchdelta", L"latchDelta(updateNow, value, [min=0], [max=100])", 4, false, false,
     L"Update the stored value by adding the delta value (difference between the current and first values when starting the update). The update starts when updateNow is positive. Optionally specify min and max values."},
    {69, "LatchDeltaMinFct", L"latchdelta", L"latchdelta", L"latchDelta(updateNow, value, [min=0], [max=100])", 3, false, false,
     L"Update the stored value by adding the delta value (difference between the current and first values when starting the update). The update starts when updateNow is positive. Optionally specify min and max values."},
    {70, "LatchDeltaFct", L"latchdelta", L"latchdelta", L"latchDelta(updateNow, value, [min=0], [max=100])", 2, false, false,
     L"Update the stored value by adding the delta value (difference between the current and first values when starting the update). The update starts when updateNow is positive. Optionally specify min and max values."},
    {71, "Timer2Fct", L"timer", L"timer", L"timer(resetTime, [resetFct])", 2, false, false,
     L"Return the elapsed time in seconds. Reset when reaching the reset time (0 to not auto reset) or with a positive resetFct value. The time isn't affected by the grid speed."},
    {72, "Timer1Fct", L"timer", L"timer", L"timer(autoResetTime, [resetFct])", 1, false, false,
     L"Return the elapsed time in seconds. Reset the timer with a positive value."},
    {73, "AveragerFct", L"__averager", L"__averager", L"averager(time, value)", 2, false, false,
     L"Smooth out values by computing the average over a specified time."},
    {74, "BPMCounterFct", L"__bpmcounter", L"__bpmcounter", L"bpmcounter(beatFct, fps)", 2, false, false,
     L"Count the number of beats per minute in real time."},
    {75, "TapTempoFct", L"__taptempo", L"__taptempo", L"taptempo(beatFct, fps)", 2, false, false,
     L"Generate a pulse based on the detected tempo."},
    {76, "TapTempoBPMFct", L"__taptempobpm", L"__taptempobpm", L"taptempobpm(beatFct, fps)", 2, false, false,
     L"Return the detected tempo in beats per minute."},
    {77, "SinSyncFct", L"map.sin", L"map.sin", L"map.sin(percent)", 1, true, true,
     L"Map percent to a sin shape."},
    {78, "CosSyncFct", L"map.cos", L"map.cos", L"map.cos(percent)", 1, true, true,
     L"Map percent to a cos shape."},
    {79, "ScaleFct", L"scale", L"scale", L"scale(value, min, max, toMin, toMax)", 5, true, true,
     L"Scale a value to the specified range"},
    {80, "ScalePercentFct", L"scale", L"scale", L"scale(percentValue, toMin, toMax)", 3, true, true,
     L"Scale a percent value to the specified range"},
    {81, "IsBetweenFct", L"isbetween", L"isbetween", L"isBetween(value, min, max)", 3, true, true,
     L"Return 100% if the value is between min and max, inclusively."},
    {82, "MathCosFct", L"math.cos", L"math.cos", L"math.cos(degrees)", 1, true, true,
     L"Cosinus of an angle in degrees."},
    {83, "MathACosFct", L"math.acos", L"math.acos", L"math.acos(value)", 1, true, true,
     L"Inverse cosinus in degrees."},
    {84, "MathSinFct", L"math.sin", L"math.sin", L"math.sin(degrees)", 1, true, true,
     L"Sinus of an angle in degrees."},
    {85, "MathASinFct", L"math.asin", L"math.asin", L"math.asin(value)", 1, true, true,
     L"Inverse sinus in degrees."},
    {86, "MathTanFct", L"math.tan", L"math.tan", L"math.tan(degrees)", 1, true, true,
     L"Tangent of an angle in degrees."},
    {87, "MathATanFct", L"math.atan", L"math.atan", L"math.atan(value)", 1, true, true,
     L"Inverse tangent in degrees."},
    {88, "MathAngleBetweenFct", L"math.anglebetween", L"math.anglebetween", L"math.anglebetween(x1, y1, x2, y2)", 4, true, true,
     L"Angle in degrees between two points, from p1. 0 is at the right, 90 is up."},
    {89, "MathElevationAngleFct", L"math.elevationangle", L"math.elevationangle", L"math.elevationangle(x1, y1, z1, x2, y2, z2)", 6, true, true,
     L"Elevation angle in degrees looking from p1 to p2. Angle is negative when looking down."},
    {90, "MotorPanFct", L"motor.pan", L"motor.pan", L"motor.pan(gotoDegrees, motorMaxDegrees)", 2, false, false,
     L"Control the pan to go to the desired angle in degrees. Optimized according to the motor limits."},
    {91, "RGBRedFromRGBICompFunc", L"rgb.red", L"rgb.red", L"rgb.red(r,g,b,i)", 4, true, true,
     L"Get the red component from a rgbi color."},
    {92, "RGBGreenFromRGBICompFunc", L"rgb.green", L"rgb.green", L"rgb.green(r,g,b,i)", 4, true, true,
     L"Get the green component from a rgbi color."},
    {93, "RGBBlueFromRGBICompFunc", L"rgb.blue", L"rgb.blue", L"rgb.blue(r,g,b,i)", 4, true, true,
     L"Get the blue component from a rgbi color."},
    {94, "RGBRedFromHSIComp", L"rgb.red.hsi", L"rgb.red.hsi", L"rgb.red.hsi(h,s,i)", 3, true, true,
     L"Get the rgb red component from a hsi color."},
    {95, "RGBGreenFromHSIComp", L"rgb.green.hsi", L"rgb.green.hsi", L"rgb.green.hsi(h,s,i)", 3, true, true,
     L"Get the rgb green component from a hsi color."},
    {96, "RGBBlueFromHSIComp", L"rgb.blue.hsi", L"rgb.blue.hsi", L"rgb.blue.hsi(h,s,i)", 3, true, true,
     L"Get the rgb blue component from a hsi color."},
    {97, "HSIHueFromRGBComp", L"hsi.hue.rgb", L"hsi.hue.rgb", L"hsi.hue.rgb(r,g,b)", 3, true, true,
     L"Get the hsi hue component from a rgb color."},
    {98, "HSISaturationFromRGBComp", L"hsi.saturation.rgb", L"hsi.saturation.rgb", L"hsi.saturation.rgb(r,g,b)", 3, true, true,
     L"Get the hsi saturation component from a rgb color."},
    {99, "HSIIntensityFromRGBComp", L"hsi.intensity.rgb", L"hsi.intensity.rgb", L"hsi.intensity.rgb(r,g,b)", 3, true, true,
     L"Get the hsi intensity component from a rgb color."},
};

std::string className(const ZrFunctionI& item)
{
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> name(abi::__cxa_demangle(typeid(item).name(), nullptr, nullptr, &status),
                                                     &std::free);
    return status == 0 ? name.get() : typeid(item).name();
}

struct PluginRelease {
    void operator()(IZrParserPlugin* p) const { p->Release(); }
};
using PluginPtr = std::unique_ptr<IZrParserPlugin, PluginRelease>;

PluginPtr createPlugin()
{
    void* object = nullptr;
    EXPECT_EQ(CSignalPlugin::create(IID_IZrParserPlugin, &object), zr::S_OK);
    return PluginPtr(static_cast<IZrParserPlugin*>(object));
}

std::unique_ptr<ZrFunctionI> createFunc(IZrParserPlugin& plugin, int index)
{
    ZrFunctionI* func = nullptr;
    EXPECT_EQ(plugin.createFunc(index, &func), zr::S_OK);
    return std::unique_ptr<ZrFunctionI>(func);
}

TEST(Catalogue, EveryEntryMatchesItsRowInPublishedOrder)
{
    PluginPtr plugin = createPlugin();
    int count = -1;
    ASSERT_EQ(plugin->getNbFuncs(&count), zr::S_OK);
    ASSERT_EQ(count, 100);

    for (int i = 0; i < count; ++i) {
        std::unique_ptr<ZrFunctionI> item = createFunc(*plugin, i);
        ASSERT_NE(item, nullptr) << "index " << i;
        const std::string cls = className(*item);
        const CatalogueRow* row = nullptr;
        for (const CatalogueRow& r : kCatalogue)
            if (cls == r.className)
                row = &r;
        ASSERT_NE(row, nullptr) << "index " << i << " holds an unknown class " << cls;
        SCOPED_TRACE(row->className);
        EXPECT_EQ(row->index, i);

        EXPECT_STREQ(item->getSymbol(), row->symbol);
        EXPECT_STREQ(item->getID(), row->id);
        EXPECT_STREQ(item->getHelpString(), row->help);
        EXPECT_STREQ(item->getDescription(), row->description);
        EXPECT_EQ(item->getNbArgs(), row->nbArgs);
        EXPECT_EQ(item->isConstant(), row->constant);
        EXPECT_EQ(item->isShareable(), row->shareable);
    }
}

TEST(Catalogue, CreateFuncGivesIndependentFreshInstances)
{
    PluginPtr plugin = createPlugin();
    int count = 0;
    plugin->getNbFuncs(&count);
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<ZrFunctionI> a = createFunc(*plugin, i);
        std::unique_ptr<ZrFunctionI> b = createFunc(*plugin, i);
        ASSERT_NE(a.get(), b.get());
        EXPECT_EQ(className(*a), className(*b));
        std::unique_ptr<ZrFunctionI> spawned(a->spawn());
        EXPECT_EQ(className(*spawned), className(*a));
    }
}

TEST(Catalogue, IndexOutsideTheCatalogueIsRefused)
{
    PluginPtr plugin = createPlugin();
    int count = 0;
    plugin->getNbFuncs(&count);
    for (int index : {-1, count, count + 100}) {
        ZrFunctionI* func = reinterpret_cast<ZrFunctionI*>(1);
        EXPECT_EQ(plugin->createFunc(index, &func), zr::E_INVALIDARG);
        EXPECT_EQ(func, nullptr);
    }
}

TEST(Catalogue, PluginOperationsReportVersionInfoFileAndNoOperators)
{
    PluginPtr plugin = createPlugin();
    int nbOps = -1;
    EXPECT_EQ(plugin->getNbOps(&nbOps), zr::S_OK);
    EXPECT_EQ(nbOps, 0);
    ZrOperatorI* op = reinterpret_cast<ZrOperatorI*>(1);
    EXPECT_EQ(plugin->createOp(0, &op), zr::S_OK);
    EXPECT_EQ(op, nullptr);

    zr::BSTR version = nullptr;
    EXPECT_EQ(plugin->getParserVersion(&version), zr::S_OK);
    EXPECT_STREQ(version, L"16U");
    zr::sysFreeString(version);

    zr::BSTR file = nullptr, second = nullptr;
    int flag = 0;
    EXPECT_EQ(plugin->getInfoFile(&file, &second, &flag), zr::S_OK);
    EXPECT_STREQ(file, L"ZrCalcPlugin.xml");
    EXPECT_STREQ(second, L"1");
    EXPECT_EQ(flag, 1);
    zr::sysFreeString(file);
    zr::sysFreeString(second);
}

TEST(Catalogue, InterfaceQueries)
{
    PluginPtr plugin = createPlugin();
    void* object = nullptr;
    for (const zr::IID& iid : {IID_ISignalPlugin, IID_IZrParserPlugin, zr::IID_IDispatch, zr::IID_IUnknown,
                               zr::IID_ISupportErrorInfo}) {
        object = nullptr;
        EXPECT_EQ(plugin->QueryInterface(iid, &object), zr::S_OK);
        ASSERT_NE(object, nullptr);
        static_cast<zr::IUnknown*>(object)->Release();
    }
    // The dispatch interface is answered with the plug-in interface.
    plugin->QueryInterface(zr::IID_IDispatch, &object);
    EXPECT_EQ(object, static_cast<void*>(plugin.get()));
    plugin->Release();

    const zr::IID unknownIid{0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(plugin->QueryInterface(unknownIid, &object), zr::E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    plugin->QueryInterface(zr::IID_ISupportErrorInfo, &object);
    auto* errorInfo = static_cast<zr::ISupportErrorInfo*>(object);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_ISignalPlugin), zr::S_OK);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IZrParserPlugin), zr::S_FALSE);
    errorInfo->Release();
}

} // namespace
