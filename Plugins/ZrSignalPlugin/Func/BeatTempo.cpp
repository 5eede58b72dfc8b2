// Beat detection, beat pulses, the triggered gate, the BPM counter and tap tempo.
#include "Func/BeatTempo.h"

#include <algorithm>
#include <cmath>

#include "zrparser/ZrPlatform.h"

namespace {

// Moves the envelope toward v, quickly upward and slowly downward, and returns how far v stands
// above the updated envelope.
double followEnvelope(double& envelope, double v)
{
    if (v > envelope)
        envelope = 0.75 * envelope + 0.25 * v;
    else
        envelope = 0.9 * envelope + 0.1 * v;
    return v - envelope;
}

} // namespace

// Unusable values are taken as they come: once one reaches the envelope, the envelope stays
// unusable, and the result is 0 from then on (100 on every evaluation after minus infinity).
double BeatFct::evaluate(unsigned, const double* args)
{
    const double excess = followEnvelope(envelope, args[0]);
    return excess > 10.0 ? std::min(100.0, 5.0 * excess) : 0.0;
}

bool OnBeatFct::beatStarts(double value)
{
    if (!zr::isUsable(value))
        return false;
    const bool above = followEnvelope(envelope, value) > 20.0;
    if (above && !inBeat) {
        inBeat = true;
        return true;
    }
    inBeat = above;
    return false;
}

double OnBeatFct::evaluate(unsigned, const double* args)
{
    return beatStarts(args[0]) ? 100.0 : 0.0;
}

// A multiple below 1 (or unusable) counts as 1. The beat index restarts after each group, so a
// smaller multiple takes effect at the next beat.
double OnBeatMultipleFct::evaluate(unsigned, const double* args)
{
    if (!beatStarts(args[0]))
        return 0.0;
    beatIndex = zr::wrappingAdd(beatIndex, 1);
    const std::int32_t multiple = std::max<std::int32_t>(1, zr::truncToInt32(args[1]));
    const std::int32_t target = (offset < 1 || offset > multiple) ? multiple : offset;
    const double result = beatIndex == target ? 100.0 : 0.0;
    if (beatIndex >= multiple)
        beatIndex = 0;
    return result;
}

// The offset is taken on every evaluation, unusable values included.
double OnBeatMultipleOffsetFct::evaluate(unsigned nbArgs, const double* args)
{
    offset = zr::truncToInt32(args[2]);
    return OnBeatMultipleFct::evaluate(nbArgs, args);
}

// Re-arming is tested before firing, so with thresholdDown >= thresholdUp a held activation
// fires again as soon as the hold-off has passed.
double TriggerFct::evaluate(unsigned, const double* args)
{
    const double activation = args[0];
    const double duration = args[1] <= 0.0 ? 1.0 : args[1];
    const double thresholdDown = args[2];
    const double thresholdUp = args[3];
    const double delay = args[4];

    if (thresholdDown >= activation && framesSinceTrigger >= delay)
        isArmed = true;
    if (isArmed && activation >= thresholdUp) {
        isArmed = false;
        onFrames = 0.0;
        framesSinceTrigger = 0.0;
        isOn = true;
    }
    if (isOn) {
        if (onFrames >= duration)
            isOn = false;
        onFrames += 1.0;
    }
    framesSinceTrigger += 1.0;
    return isOn ? 100.0 : 0.0;
}

namespace {

// Beats a window must hold before it is measured, given the seconds per beat seen so far.
std::int32_t beatsNeededForWindow(double secondsPerBeat)
{
    if (secondsPerBeat > 2.0)
        return 3;
    if (secondsPerBeat < 0.3)
        return 8;
    if (secondsPerBeat < 0.4)
        return 7;
    if (secondsPerBeat < 0.7)
        return 6;
    if (secondsPerBeat < 0.8)
        return 5;
    return 4;
}

} // namespace

// Beat edges use hysteresis: a beat starts above 0.1 and the next one needs a fall to 0.05 or
// below first. An fps of 0 measures 0.
double BPMCounterFct::evaluate(unsigned, const double* args)
{
    const double beat = args[0];
    const double fps = args[1];
    if (!isHigh && beat > 0.1) {
        beatCount = zr::wrappingAdd(beatCount, 1);
        isHigh = true;
    }
    if (isHigh && beat <= 0.05)
        isHigh = false;
    frameCount = zr::wrappingAdd(frameCount, 1);

    const double seconds = frameCount / fps;
    const std::int32_t beatsNeeded = beatCount > 0 ? beatsNeededForWindow(seconds / beatCount) : 4;
    if (beatCount >= beatsNeeded) {
        framesPerBeat = frameCount / beatCount;
        bpm = beatCount / seconds * 60.0;
        beatCount = 0;
        frameCount = 0;
        return bpm;
    }
    if (frameCount > (beatCount + 2.0) * framesPerBeat) {
        framesPerBeat *= 1.05;
        bpm = std::max(0.0, 0.95 * bpm - 0.5);
    }
    return bpm;
}

namespace {

// Tempo bands of a tap series: intervals needed for a result, and the largest interval count up
// to which an unsteady series may wait for one more tap.
struct TapBand {
    std::int32_t tapsNeeded;
    std::int32_t largestUnsteadyCount;
};

TapBand tapBandFor(double estimate)
{
    if (estimate < 60.0)
        return {1, 2};
    if (estimate < 160.0)
        return {2, 4};
    if (estimate < 180.0)
        return {3, 6};
    return {4, 8};
}

} // namespace

void TapTempoFct::judgeEstimate(double fps)
{
    const double estimate = tapCount / (seriesFrames / fps) * 60.0;
    const TapBand band = tapBandFor(estimate);
    tapsNeeded = band.tapsNeeded;
    if (tapCount > 1) {
        const double drift = std::fabs(lastEstimate - estimate);
        if (drift > 50.0) {
            isMeasuring = false;
            tapCount = 0;
        } else if (drift > 5.0) {
            if (tapCount < band.largestUnsteadyCount) {
                tapsNeeded = tapCount + 1;
            } else {
                isMeasuring = false;
                tapCount = 0;
            }
        }
    }
    lastEstimate = estimate;
}

void TapTempoFct::finishSeries(double fps)
{
    bpm = tapCount / (seriesFrames / fps) * 60.0;
    framesPerBeat = seriesFrames / tapCount;
    // A pulse less than 0.2 s ago is not doubled: the next one then comes a beat after this tap.
    pulseCounter = pulseCounter / fps < 0.2 ? -1 : zr::truncToInt32(framesPerBeat);
    tapCount = 0;
    seriesFrames = 0;
    isMeasuring = false;
    tapsNeeded = 4;
}

// Taps use hysteresis: a tap is a rise above 10 and the next one needs a fall to 0.05 or below.
// A pause of more than three seconds abandons a series. The pulse generator runs on every
// evaluation; an fps of 0 makes it pulse on each one.
bool TapTempoFct::advance(double beatFct, double fps)
{
    if (framesPerBeat == -1.0)
        framesPerBeat = fps;
    if (framesSinceTap > 3.0 * fps)
        isMeasuring = false;

    if (!isHigh && beatFct > 10.0) {
        if (!isMeasuring) {
            tapCount = -1;
            seriesFrames = -1;
            isMeasuring = true;
        }
        tapCount = zr::wrappingAdd(tapCount, 1);
        framesSinceTap = 0;
        isHigh = true;
    }
    if (isHigh && beatFct <= 0.05)
        isHigh = false;

    if (isMeasuring) {
        seriesFrames = zr::wrappingAdd(seriesFrames, 1);
        framesSinceTap = zr::wrappingAdd(framesSinceTap, 1);
        if (isHigh && framesSinceTap == 1 && tapCount >= 1)
            judgeEstimate(fps);
        if (isHigh && tapCount >= tapsNeeded)
            finishSeries(fps);
    }

    pulseCounter = zr::wrappingAdd(pulseCounter, 1);
    if (pulseCounter >= framesPerBeat) {
        pulseCounter = 0;
        return true;
    }
    return false;
}

double TapTempoFct::evaluate(unsigned, const double* args)
{
    return advance(args[0], args[1]) ? 100.0 : 0.0;
}

double TapTempoBPMFct::evaluate(unsigned, const double* args)
{
    advance(args[0], args[1]);
    return bpm;
}
