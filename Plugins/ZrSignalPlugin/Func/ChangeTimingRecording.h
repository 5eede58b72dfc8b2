// Functions that watch a signal over time: change detection, idle timeouts, a wall-clock timer,
// recorders that play a signal back, a delay line and a smoothing average.
#pragma once

#include <cstdint>
#include <memory>

#include "zrparser/ZrFunctionBase.h"
#include "zrparser/ZrPlatform.h"

// The change of value since the previous usable evaluation.
class DeltaFct : public ZrFunctionBase<DeltaFct> {
    double lastValue = 0.0;

public:
    static constexpr ZrFunctionInfo info{
        L"delta", nullptr, L"delta(value)",
        L"Return the difference between the current value and the last value. That's the instantaneous rate of change.",
        1, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Pulses when value has moved by at least the threshold from the value of the last pulse.
class OnChangeFct : public ZrFunctionBase<OnChangeFct> {
protected:
    double threshold = 0.00001;
    double lastValue = zr::UNDEFINED_MARKER;

    // 100 when value is usable and far enough from the last pulsing value (which it then
    // becomes), 0 otherwise.
    double pulseOnChange(double value);

public:
    static constexpr const wchar_t* symbol = L"onchange";
    static constexpr const wchar_t* help = L"onchange(value, [threshold])";
    static constexpr const wchar_t* description = L"Pulse when the value changes and optionally specify the threshold.";
    static constexpr ZrFunctionInfo info{symbol, nullptr, help, description, 1, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// OnChangeFct whose threshold comes from its second argument; a usable threshold is kept for
// later evaluations whose threshold is unusable.
class OnChangeThresholdFct : public ZrFunctionBase<OnChangeThresholdFct, OnChangeFct> {
public:
    static constexpr ZrFunctionInfo info{symbol, nullptr, help, description, 2, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Pulses after time consecutive evaluations without a positive value; time 0 disables it.
class TimeoutFct : public ZrFunctionBase<TimeoutFct> {
    std::int32_t idleCount = 0;

public:
    static constexpr ZrFunctionInfo info{L"__timeout", nullptr, L"__timeout(time, value)",
                                    L"Pulse if the value never > 0 after the specified time.", 2, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Like TimeoutFct, but also pulses on every evaluation whose value is positive.
class TimeoutOrActiveFct : public ZrFunctionBase<TimeoutOrActiveFct> {
    std::int32_t idleCount = 0;

public:
    static constexpr ZrFunctionInfo info{
        L"__timeoutoractive", nullptr, L"__timeoutoractive(time, value)",
        L"Pulse if the value never > 0 after the specified time or as soon as the value is > 0.", 2, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Seconds of real time since the start, read from the millisecond tick count. A period in
// seconds makes it wrap back to 0; a positive second argument (when given) restarts it.
class Timer1Fct : public ZrFunctionBase<Timer1Fct> {
    std::uint64_t startTick = 0; // 0: not started yet
    std::uint32_t periodMs = 0;  // 0: no auto reset
    std::uint64_t lastPhaseMs = 0;

public:
    static constexpr ZrFunctionInfo info{L"timer", nullptr, L"timer(autoResetTime, [resetFct])",
                                    L"Return the elapsed time in seconds. Reset the timer with a positive value.", 1,
                                    false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// The timer with its reset argument.
class Timer2Fct : public ZrFunctionBase<Timer2Fct, Timer1Fct> {
public:
    static constexpr ZrFunctionInfo info{
        L"timer", nullptr, L"timer(resetTime, [resetFct])",
        L"Return the elapsed time in seconds. Reset when reaching the reset time (0 to not auto reset) or with a "
        L"positive resetFct value. The time isn't affected by the grid speed.",
        2, false, false};
};

// Records its input while isRecording is positive and otherwise plays the last take back in a
// loop, interpolating between samples for fractional playback increments.
class RecordFct : public ZrFunctionBase<RecordFct> {
public:
    static constexpr std::uint32_t capacity = 16000;

private:
    std::unique_ptr<double[]> samples; // allocated by onCompile
    std::uint32_t writeIndex = 0;
    double playPosition = 0.0;
    std::int32_t recordedLength = 1;
    bool wasRecording = false;

public:
    static constexpr ZrFunctionInfo info{L"__record", nullptr, L"record(isRecording, inputSignal, playbackInc)",
                                    L"Record an input signal and replay it in a loop when not recording.", 3, false,
                                    false};
    // Allocates the sample buffer on the first call; later calls keep it and its take.
    void onCompile(ZrCompilerI* compiler, ZrRegistrarI* registrar) override;
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Records only values that differ from the previously stored one, then steps through them by
// hand: forward on goNext, backward on goBack, back to the first on resetFct.
class RecordOnChangeFct : public ZrFunctionBase<RecordOnChangeFct> {
public:
    static constexpr std::uint32_t capacity = 500;

private:
    std::unique_ptr<double[]> samples; // allocated by onCompile
    std::uint32_t writeIndex = 0;
    double playPosition = 0.0;
    std::int32_t recordedLength = 1;
    bool wasRecording = false;

public:
    static constexpr ZrFunctionInfo info{
        L"recordonchange", nullptr, L"recordOnChange(isRecording, value, goNext, goBack, resetFct)",
        L"Record only the different values. Playback the next value when goNext > 0 and play backward when goBack > "
        L"0. Reset at the first value when resetFct > 0.",
        5, false, false};
    // Allocates the sample buffer on the first call; later calls keep it and its take.
    void onCompile(ZrCompilerI* compiler, ZrRegistrarI* registrar) override;
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Delays its input by a number of evaluations. The delay moves toward the requested one by one
// step per evaluation so the output never jumps back in time; a delay of exactly 0 restarts the
// line.
class DelayFct : public ZrFunctionBase<DelayFct> {
public:
    static constexpr std::int32_t capacity = 2400;

private:
    std::unique_ptr<double[]> ring; // allocated by onCompile
    std::int32_t writeIndex = 0;
    std::int32_t currentDelay = 0;

public:
    static constexpr ZrFunctionInfo info{L"__delay", nullptr, L"delay(number of delayed values, function)",
                                    L"delay a signal", 2, true, false};
    // Allocates the ring on the first call; later calls keep it.
    void onCompile(ZrCompilerI* compiler, ZrRegistrarI* registrar) override;
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Exponential moving average whose new value weighs 1/time.
class AveragerFct : public ZrFunctionBase<AveragerFct> {
    double average = zr::UNDEFINED_MARKER;

public:
    static constexpr ZrFunctionInfo info{L"__averager", nullptr, L"averager(time, value)",
                                    L"Smooth out values by computing the average over a specified time.", 2, false,
                                    false};
    double evaluate(unsigned nbArgs, const double* args) override;
};
