// Frame-driven waveform generators: phase stepping, resets and the wave formulas.
#include "Func/Generators.h"

#include <algorithm>
#include <cmath>

using zr::advancePhase;
using zr::PI;
using zr::THREE_HALF_PI;
using zr::TWO_PI;

namespace {

// -1 while the sine of the phase is negative, else 1 (a sine of exactly 0 gives 1).
double sineSign(double phase)
{
    return std::sin(phase) < 0.0 ? -1.0 : 1.0;
}

// Draws r in 0..9999 and succeeds when r < trunc(probability) × 100, computed in 32-bit
// arithmetic that wraps like the hardware: 100 always succeeds, 0 (and NaN) never, and
// fractions of a percent are dropped.
bool randomDrawSucceeds(double probability)
{
    return zr::rand() % 10000 < zr::wrappingMul(zr::truncToInt32(probability), 100);
}

// The sum of three slow waves whose frequencies and offsets interfere, within [-0.99, 0.99].
double organicWave(double x)
{
    const double a = std::fabs(std::cos(x / 33.0 + 1.5)) * TWO_PI;
    const double b = std::sin(std::fabs(std::cos(x / 7.0 + 1.0)) * TWO_PI * 0.5 + x);
    const double c = std::cos(x / 3.0 + 1.6 + a);
    const double d = std::cos(x / 5.0 + 2.6 + a);
    return 0.33 * d + (0.33 * b + 0.33 * c);
}

} // namespace

double ClockFct::evaluate(unsigned, const double* args)
{
    if (advancePhase(phase, args[0]))
        phase = THREE_HALF_PI;
    return sineSign(phase);
}

double TriangleFct::evaluate(unsigned, const double* args)
{
    if (advancePhase(phase, args[0]))
        phase = PI;
    return std::fabs(std::fmod(phase, TWO_PI) / TWO_PI - 0.5) * 4.0 - 1.0;
}

void SawtoothFct::restartIfAsked(double reset)
{
    if (zr::isUsable(reset) && reset > 0.0)
        phase = 0.0;
}

double SawtoothFct::ramp() const
{
    return 2.0 * (std::fmod(phase, TWO_PI) / TWO_PI - 0.5);
}

double SawtoothFct::evaluate(unsigned, const double* args)
{
    if (advancePhase(phase, args[0]))
        phase = 0.0;
    return ramp();
}

// The restart happens before the increment, so a restarting evaluation already shows it.
double SawtoothResetableFct::evaluate(unsigned, const double* args)
{
    restartIfAsked(args[1]);
    if (advancePhase(phase, args[0]))
        phase = 0.0;
    return ramp();
}

// The phase itself is never wrapped; only the output folds it into one period, upwards for
// negative phases, so that a negative speed runs the ramp backwards within [-1, 1].
double SawtoothResetableWithSpeedFct::evaluate(unsigned, const double* args)
{
    const double radInc = args[0];
    restartIfAsked(args[1]);
    if (advancePhase(phase, radInc, args[2] * radInc))
        phase = 0.0;

    double x = phase;
    if (x > TWO_PI)
        x = std::fmod(x, TWO_PI);
    else if (x < 0.0)
        x = std::fmod(x, TWO_PI) + TWO_PI;
    return 2.0 * (x / TWO_PI - 0.5);
}

double OrganicFct::evaluate(unsigned, const double* args)
{
    if (advancePhase(phase, args[0]))
        phase = 0.0;
    return organicWave(phase);
}

double RandomOrganicFct::randomStartPhase()
{
    return static_cast<double>(zr::rand()) / 32767.0 * 100.0 * TWO_PI;
}

double RandomOrganicFct::evaluate(unsigned, const double* args)
{
    if (advancePhase(phase, args[0]))
        phase = randomStartPhase();
    return organicWave(phase);
}

// Draws only when the sine changes sign; between boundaries the level holds.
double RandomClockFct::evaluate(unsigned, const double* args)
{
    if (advancePhase(phase, args[0])) {
        level = -1.0;
        lastSign = -1.0;
        phase = PI;
    }
    const double sign = sineSign(phase);
    if (sign == lastSign)
        return level;
    lastSign = sign;
    if (randomDrawSucceeds(args[1])) {
        level = sign;
        return sign;
    }
    return level;
}

// The increment is capped at one period so that a pulse starts at most once per evaluation.
// A wrap that finds a pulse still running only ends it; the next evaluation starts the new one.
double PulseFct::evaluate(unsigned, const double* args)
{
    const double radInc = args[0];
    if (advancePhase(phase, radInc, std::min(TWO_PI, radInc))) {
        phase = 0.0;
        remaining = 0;
    }

    const std::int32_t running = remaining;
    if (remaining > 0)
        --remaining;
    if (phase >= TWO_PI) {
        if (running > 0) {
            remaining = 0;
            return -1.0;
        }
        phase = std::fmod(phase, TWO_PI);
        remaining = zr::truncToInt32(args[1] + 0.5);
    }
    return remaining > 0 ? 1.0 : -1.0;
}

// The countdown runs on every evaluation without a floor, wrapping in 32 bits.
double RandPulseFct::evaluate(unsigned, const double* args)
{
    if (advancePhase(phase, args[0])) {
        phase = 0.0;
        lastSign = -1.0;
        signChanges = 0;
        remaining = 0;
    }

    const double sign = sineSign(phase);
    remaining = zr::wrappingAdd(remaining, -1);
    if (sign != lastSign) {
        ++signChanges;
        lastSign = sign;
        if (signChanges >= 2) {
            signChanges = 0;
            if (randomDrawSucceeds(args[2])) {
                remaining = zr::truncToInt32(args[1] + 0.5);
                return 1.0;
            }
        }
    }
    return remaining >= 1 ? 1.0 : -1.0;
}
