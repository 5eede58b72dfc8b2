// Frame-driven waveform generators: each call keeps a phase in radians that grows by the
// increment it receives on every evaluation, and derives a wave or an on/off signal from it.
#pragma once

#include <cstdint>

#include "zrparser/ZrFunctionBase.h"
#include "zrparser/ZrPlatform.h"
#include "zrparser/ZrSignalBuiltins.h"

// Every generator below takes its increment (radInc) as first argument: a usable increment is
// added to the phase, exactly 0 returns the generator to its start, NaN or an infinity leaves
// the phase where it is. "__sin" and "__cos" are the expression library's own SinFct and CosFct.

// -1 during the negative half of the sine wave, 1 otherwise.
class ClockFct : public ZrFunctionBase<ClockFct> {
    double phase = zr::THREE_HALF_PI;

public:
    static constexpr ZrFunctionInfo info{L"__clock", nullptr, L"__clock(radInc)", L"Generate a clock signal 0 and 1", 1, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Triangle from -1 (half-way through a period) to 1 (at whole periods).
class TriangleFct : public ZrFunctionBase<TriangleFct> {
    double phase = zr::PI;

public:
    static constexpr ZrFunctionInfo info{L"__triangle", nullptr, L"__triangle(radInc)", L"Generate a triangle signal", 1, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Ramp from -1 to 1 per period. The phase keeps its sign when reduced, so after negative
// increments the ramp runs below -1.
class SawtoothFct : public ZrFunctionBase<SawtoothFct> {
protected:
    double phase = 0.0;

    // Restarts the ramp at phase 0 when reset is a usable positive number.
    void restartIfAsked(double reset);
    // The ramp value of the current phase.
    double ramp() const;

public:
    static constexpr ZrFunctionInfo info{L"__sawtooth", nullptr, L"__sawtooth(radInc)", L"Generate a sawtooth signal", 1, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// The ramp, restarted at 0 before this evaluation's increment whenever reset is positive.
class SawtoothResetableFct : public ZrFunctionBase<SawtoothResetableFct, SawtoothFct> {
public:
    static constexpr ZrFunctionInfo info{L"__sawtooth", nullptr, L"__sawtooth(radInc, reset)", L"Generate a sawtooth signal", 2, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// The restartable ramp advancing by speedMult × radInc; its output stays within [-1, 1] for
// any sign of the speed.
class SawtoothResetableWithSpeedFct : public ZrFunctionBase<SawtoothResetableWithSpeedFct, SawtoothFct> {
public:
    static constexpr ZrFunctionInfo info{L"__sawtooth", nullptr, L"__sawtooth(radInc, reset, speedMult)", L"Generate a sawtooth signal", 3, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Three slow interfering waves summed into [-0.99, 0.99], starting at phase 0.
class OrganicFct : public ZrFunctionBase<OrganicFct> {
    double phase = 0.0;

public:
    static constexpr ZrFunctionInfo info{L"__organic", nullptr, L"__organic(radInc)", L"Generate an organic signal", 1, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// The organic wave from a random starting phase, drawn anew at every instance and every reset,
// so that two calls in one expression do not move in step.
class RandomOrganicFct : public ZrFunctionBase<RandomOrganicFct> {
    double phase = randomStartPhase();

    // A phase of r / 32767 × 100 periods for a fresh draw r.
    static double randomStartPhase();

public:
    static constexpr ZrFunctionInfo info{L"__randorganic", nullptr, L"__randorganic(radInc)", L"Generate an random organic signal", 1, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
    bool usesProcessState() const override { return true; }
};

// A clock that, at each half-period boundary, follows the new half-period with the given
// percent probability and otherwise holds its level for another half period.
class RandomClockFct : public ZrFunctionBase<RandomClockFct> {
    double level = -1.0;    // the current output
    double lastSign = -1.0; // sign of sin(phase) at the previous evaluation
    double phase = zr::PI;

public:
    static constexpr ZrFunctionInfo info{L"__randclock", nullptr, L"__randclock(radInc, probability)",
                                    L"Generate a clock signal 0 and 1. After a phase, may randomly stay at the same level another phase", 2, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
    bool usesProcessState() const override { return true; }
};

// 1 for trunc(duration + 0.5) evaluations each time the phase reaches a whole period, else -1.
class PulseFct : public ZrFunctionBase<PulseFct> {
    std::int32_t remaining = 0; // evaluations left in the running pulse
    double phase = 0.0;

public:
    static constexpr ZrFunctionInfo info{L"__pulse", nullptr, L"pulse(radInc, duration)", L"Generate a pulse at constant time", 2, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Once per period (every second sign change of the sine), starts a pulse of
// trunc(duration + 0.5) evaluations with the given percent probability.
class RandPulseFct : public ZrFunctionBase<RandPulseFct> {
    std::int32_t signChanges = 0;
    double lastSign = -1.0; // sign of sin(phase) at the previous evaluation
    double phase = 0.0;
    std::int32_t remaining = 0; // evaluations left in the running pulse; may go negative

public:
    static constexpr ZrFunctionInfo info{L"__randpulse", nullptr, L"randpulse(radInc, duration, probability)",
                                    L"Generate a pulse at random time given the probability from 0% to 100%.", 3, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
    bool usesProcessState() const override { return true; }
};
