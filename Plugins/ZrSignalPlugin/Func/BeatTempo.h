// Beat detection against a moving envelope, beat pulses, a triggered gate, and tempo
// measurement from beat pulses and from taps.
#pragma once

#include <cstdint>

#include "zrparser/ZrFunctionBase.h"

// How far above its envelope the value stands: 5 times the excess, at most 100, when the value
// is more than 10 above the envelope; 0 otherwise.
class BeatFct : public ZrFunctionBase<BeatFct> {
    double envelope = 0.0;

public:
    static constexpr ZrFunctionInfo info{L"beat", nullptr, L"beat(value)", L"Detect beat on the given value.", 1, false,
                                    false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Pulses on the first evaluation of each beat, a beat being a value more than 20 above its
// envelope.
class OnBeatFct : public ZrFunctionBase<OnBeatFct> {
protected:
    bool inBeat = false;
    double envelope = 0.0;

    // True on the first evaluation of a beat. An unusable value is ignored: false, and the
    // envelope and beat state stay as they were.
    bool beatStarts(double value);

public:
    static constexpr ZrFunctionInfo info{L"onbeat", nullptr, L"onbeat(value)",
                                    L"Detect beat on the given value and pulse at the beginning of the beat.", 1,
                                    false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Pulses at the start of every multiple-th beat, counted from the instance's first beat.
class OnBeatMultipleFct : public ZrFunctionBase<OnBeatMultipleFct, OnBeatFct> {
protected:
    std::int32_t offset = 0; // which beat of each group pulses; outside 1..multiple: the last
    std::int32_t beatIndex = 0;

public:
    static constexpr ZrFunctionInfo info{L"onbeat", nullptr, L"onbeat(value, [multiple])",
                                    L"Detect beat on the given value and pulse at the beginning of the beat.", 2,
                                    false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// OnBeatMultipleFct that pulses on the offset-th beat of each group of multiple beats.
class OnBeatMultipleOffsetFct : public ZrFunctionBase<OnBeatMultipleOffsetFct, OnBeatMultipleFct> {
public:
    static constexpr ZrFunctionInfo info{L"onbeat", nullptr, L"onbeat(value, [multiple], [offset])",
                                    L"Pulse when a beat is detected. Use a multiple to pulse on 2nd, 3rd, etc. beat.",
                                    3, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// A gate that opens for duration evaluations when activation rises to thresholdUp, and re-arms
// once activation has fallen to thresholdDown and delay evaluations have passed since it fired.
class TriggerFct : public ZrFunctionBase<TriggerFct> {
    bool isOn = false;
    double framesSinceTrigger = 9999999.0; // far in the past: the first firing ignores the hold-off
    double onFrames = 0.0;
    bool isArmed = true;

public:
    static constexpr ZrFunctionInfo info{L"__trigger", nullptr,
                                    L"trigger(activation, duration, thresholdDown, thresholdUp, delay)",
                                    L"A beat in the activation value starts the trigger for the given duration.", 5,
                                    false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Beats per minute measured over windows of rising beat edges; faster tempos use more beats per
// window. When the beats stop, the reading decays toward 0 in ever wider steps.
class BPMCounterFct : public ZrFunctionBase<BPMCounterFct> {
    bool isHigh = false;
    std::int32_t beatCount = 0;
    std::int32_t frameCount = 0;
    double framesPerBeat = -1.0; // negative: no measurement yet
    double bpm = 0.0;

public:
    static constexpr ZrFunctionInfo info{L"__bpmcounter", nullptr, L"bpmcounter(beatFct, fps)",
                                    L"Count the number of beats per minute in real time.", 2, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Measures a tempo from a series of taps (rising edges of beatFct) and pulses at the last
// measured tempo, once per second until a series has ended.
class TapTempoFct : public ZrFunctionBase<TapTempoFct> {
protected:
    double bpm = 0.0;
    bool isMeasuring = false;
    bool isHigh = false;
    std::int32_t tapCount = 0;
    std::int32_t tapsNeeded = 4;
    std::int32_t framesSinceTap = 0;
    std::int32_t seriesFrames = 0;
    double framesPerBeat = -1.0; // -1: not known yet, becomes fps
    double lastEstimate = -1.0;
    std::int32_t pulseCounter = 0;

    // Advances the series and the pulse generator by one evaluation; true on a pulse.
    bool advance(double beatFct, double fps);

private:
    // Judges the estimate at a tap that closes an interval: sets how many intervals the series
    // needs, and discards the series when the estimate strays from the previous one.
    void judgeEstimate(double fps);
    // Ends the series with its tempo and puts the pulse generator in phase with the last tap.
    void finishSeries(double fps);

public:
    static constexpr ZrFunctionInfo info{L"__taptempo", nullptr, L"taptempo(beatFct, fps)",
                                    L"Generate a pulse based on the detected tempo.", 2, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// The tapped tempo in beats per minute: 0 until a series has ended.
class TapTempoBPMFct : public ZrFunctionBase<TapTempoBPMFct, TapTempoFct> {
public:
    static constexpr ZrFunctionInfo info{L"__taptempobpm", nullptr, L"taptempobpm(beatFct, fps)",
                                    L"Return the detected tempo in beats per minute.", 2, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};
