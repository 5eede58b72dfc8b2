// Change detection, timeouts, the timer, the recorders, the delay line and the averager.
#include "Func/ChangeTimingRecording.h"

#include <cfloat>
#include <cmath>

namespace {

// Follows isRecording from one evaluation to the next. A rising edge starts a new take at index
// 0; a falling edge fixes the take's length and rewinds playback. A take that filled the buffer
// a whole number of times ends at index 0, yet the buffer then holds its last `capacity` values
// in order, so its length is the whole buffer rather than 0 (which playback could not index).
void followTakeEdges(bool recording, bool wasRecording, std::uint32_t capacity, std::uint32_t& writeIndex,
                     std::int32_t& recordedLength, double& playPosition)
{
    if (recording && !wasRecording)
        writeIndex = 0;
    if (!recording && wasRecording) {
        recordedLength = static_cast<std::int32_t>(writeIndex == 0 ? capacity : writeIndex);
        playPosition = 0.0;
    }
}

} // namespace

double DeltaFct::evaluate(unsigned, const double* args)
{
    const double value = args[0];
    if (!zr::isUsable(value))
        return 0.0;
    const double change = value - lastValue;
    lastValue = value;
    return change;
}

double OnChangeFct::pulseOnChange(double value)
{
    if (!zr::isUsable(value))
        return 0.0;
    if (std::fabs(value - lastValue) >= threshold) {
        lastValue = value;
        return 100.0;
    }
    return 0.0;
}

double OnChangeFct::evaluate(unsigned, const double* args)
{
    return pulseOnChange(args[0]);
}

double OnChangeThresholdFct::evaluate(unsigned, const double* args)
{
    if (zr::isUsable(args[1]))
        threshold = args[1];
    return pulseOnChange(args[0]);
}

// A NaN time never equals 0 and is never reached, so it never pulses.
double TimeoutFct::evaluate(unsigned, const double* args)
{
    const double time = args[0];
    const double value = args[1];
    idleCount = zr::wrappingAdd(idleCount, 1);
    if (value > 0.0 || time == 0.0) {
        idleCount = 0;
        return 0.0;
    }
    if (idleCount >= time) {
        idleCount = 0;
        return 100.0;
    }
    return 0.0;
}

double TimeoutOrActiveFct::evaluate(unsigned, const double* args)
{
    const double time = args[0];
    const double value = args[1];
    idleCount = zr::wrappingAdd(idleCount, 1);
    if (time == 0.0)
        idleCount = 0;
    if (value > 0.0 || idleCount >= time) {
        idleCount = 0;
        return 100.0;
    }
    return 0.0;
}

// Shared by both overloads; only a two-argument call can restart the timer by hand. A change of
// period keeps the phase reached within the old period; the first evaluation after a wrap
// returns exactly 0.
double Timer1Fct::evaluate(unsigned nbArgs, const double* args)
{
    const std::uint64_t now = zr::tickCount();
    if (startTick == 0 || (nbArgs >= 2 && args[1] > 0.0))
        startTick = now;

    const double period = args[0];
    const std::uint32_t requestedMs =
        (!zr::isUsable(period) || period < 0.0) ? 0u : zr::truncToUInt32(period * 1000.0 + 0.5);
    if (requestedMs != periodMs) {
        if (periodMs == 0) {
            lastPhaseMs = 0;
            startTick = now;
        } else {
            startTick = now - ((now - startTick) % periodMs);
        }
        periodMs = requestedMs;
    }

    if (periodMs >= 1) {
        std::uint64_t phase = (now - startTick) % periodMs;
        if (phase < lastPhaseMs)
            phase = 0;
        lastPhaseMs = phase;
        return static_cast<double>(phase) / 1000.0;
    }
    return static_cast<double>(now - startTick) / 1000.0;
}

void RecordFct::onCompile(ZrCompilerI*, ZrRegistrarI*)
{
    if (!samples)
        samples = std::make_unique<double[]>(capacity);
}

// Without a buffer (never compiled) nothing is stored: the input comes back while recording
// and playback gives 0, as for an empty recording.
double RecordFct::evaluate(unsigned, const double* args)
{
    const bool recording = args[0] > 0.0;
    const double input = args[1];
    const double playbackInc = args[2];
    if (!samples)
        return recording ? input : 0.0;

    followTakeEdges(recording, wasRecording, capacity, writeIndex, recordedLength, playPosition);
    if (playbackInc == 0.0)
        playPosition = 0.0;

    if (recording) {
        samples[writeIndex] = input;
        writeIndex = (writeIndex + 1) % capacity;
        wasRecording = true;
        return input;
    }

    // playPosition stays within [0, recordedLength), so both indexes are inside the take.
    const double x = playPosition;
    const double n = recordedLength;
    const double i0 = std::floor(x);
    const double a = samples[zr::truncToInt32(i0)];
    const double b = samples[zr::truncToInt32(std::fmod(std::ceil(x), n))];
    const double result = a + (b - a) * (x - i0);

    playPosition = x + (playbackInc > 0.0 ? playbackInc : 0.0);
    if (playPosition >= n)
        playPosition = 0.0;
    wasRecording = false;
    return result;
}

void RecordOnChangeFct::onCompile(ZrCompilerI*, ZrRegistrarI*)
{
    if (!samples)
        samples = std::make_unique<double[]>(capacity);
}

// Without a buffer (never compiled) nothing is stored: the value comes back while recording and
// playback gives 0, as for an empty recording. Playback returns the value at the position
// before this evaluation's step.
double RecordOnChangeFct::evaluate(unsigned, const double* args)
{
    const bool recording = args[0] > 0.0;
    const double value = args[1];
    const bool goNext = args[2] > 0.0;
    const bool goBack = args[3] > 0.0;
    if (!samples)
        return recording ? value : 0.0;

    followTakeEdges(recording, wasRecording, capacity, writeIndex, recordedLength, playPosition);
    if (args[4] > 0.0)
        playPosition = 0.0;

    if (recording) {
        const double previous = writeIndex >= 1 ? samples[writeIndex - 1] : DBL_EPSILON;
        if (value != previous) {
            samples[writeIndex] = value;
            writeIndex = (writeIndex + 1) % capacity;
        }
        wasRecording = true;
        return value;
    }

    const double result = samples[zr::truncToInt32(std::floor(playPosition))];
    const double step = goBack ? (goNext ? 0.0 : -1.0) : (goNext ? 1.0 : 0.0); // both together hold
    playPosition += step;
    if (playPosition >= recordedLength)
        playPosition = 0.0;
    else if (playPosition < 0.0)
        playPosition = recordedLength - 1;
    wasRecording = false;
    return result;
}

void DelayFct::onCompile(ZrCompilerI*, ZrRegistrarI*)
{
    if (!ring)
        ring = std::make_unique<double[]>(capacity);
}

// Without a buffer (never compiled) the value passes straight through. The delayed slot is read
// before the current value overwrites it: for delays below the capacity that makes no difference,
// and it lets the largest delay, 2400, return the value written 2400 evaluations ago instead of
// the one just written. Only a delay of 0 returns the current value.
double DelayFct::evaluate(unsigned, const double* args)
{
    const double delay = args[0];
    const double value = args[1];
    if (!ring)
        return value;

    std::int32_t target = zr::truncToInt32(delay + 0.5);
    if (delay == 0.0) {
        target = 0;
        writeIndex = 0;
        currentDelay = 0;
    } else if (target < 0) {
        target = 0;
    } else if (target > capacity) {
        target = capacity;
    }

    std::int32_t readIndex = writeIndex - currentDelay;
    if (readIndex < 0)
        readIndex += capacity;
    const double delayed = currentDelay == 0 ? value : ring[readIndex];

    ring[writeIndex] = value;
    writeIndex = (writeIndex + 1) % capacity;
    if (target > currentDelay)
        ++currentDelay;
    else if (target < currentDelay)
        --currentDelay;
    return delayed;
}

// Before the first usable pair the average is the undefined marker.
double AveragerFct::evaluate(unsigned, const double* args)
{
    const double time = args[0];
    const double value = args[1];
    if (!zr::isUsable(time) || !zr::isUsable(value))
        return average;
    if (average == zr::UNDEFINED_MARKER) {
        average = value;
    } else if (time > 1.0) {
        const double k = 1.0 / time;
        average = (1.0 - k) * average + k * value;
    } else {
        average = value;
    }
    return average;
}
