// Evaluation of the fades and their eight curves.
#include "Func/Fades.h"

#include <cmath>
#include <cstdint>

#include "zrparser/ZrPlatform.h"

namespace {

// Adopts a fade length of nbstepsArg evaluations, truncated and at least 1. When the length
// changes, a running fade keeps the fraction of the way it has done.
void adoptStepCount(double nbstepsArg, double& step, double& nbSteps)
{
    std::int32_t n = zr::truncToInt32(nbstepsArg);
    if (n < 1)
        n = 1;
    if (static_cast<double>(n) == nbSteps)
        return;
    step = zr::truncToInt32(step / nbSteps * n + 0.5);
    nbSteps = n;
    if (step > n)
        step = n;
}

// S-curve from 1/129 to 128/129 over t in [0, 1], steepest at the middle.
double sigmoid(double t) { return 1.0 / (std::pow(2.0, -(14.0 * t - 7.0)) + 1.0); }

// Exponential curve from 0 to 1 over t in [0, 1]; expRange is 1.3^10.
double exponential(double t, double expRange) { return (std::pow(1.3, 10.0 * t) - 1.0) / (expRange - 1.0); }

// Logarithmic curve from 0 to 1 over t in [0, 1].
double logarithmic(double t) { return std::log10(9.0 * t + 1.0); }

} // namespace

// args: nbsteps, value. nbsteps 0 switches fading off and passes value through. A fade starts
// when value rises above the output and heads for the value of that moment; any input at or
// below the output ends it. The last of nbsteps evaluations lands on the target.
double FadeinFct::evaluate(unsigned /*nbArgs*/, const double* args)
{
    const double nbstepsArg = args[0];
    const double value = args[1];
    if (nbstepsArg == 0.0) {
        step = 0.0;
        nbSteps = 1.0;
        startValue = currentValue = value;
        isFading = false;
        return value;
    }
    adoptStepCount(nbstepsArg, step, nbSteps);
    if (!isFading && value > currentValue) {
        startValue = currentValue;
        targetValue = value;
        isFading = true;
        step = 0.0;
    } else if (currentValue >= value) {
        currentValue = value;
        isFading = false;
        return value;
    } else if (!isFading) {
        // Only a NaN on either side gets here: it passes through without starting a fade.
        currentValue = value;
        return value;
    }
    double out = startValue + shape(step, nbSteps) * (targetValue - startValue);
    step += 1.0;
    if (out > targetValue || step >= nbSteps) {
        out = targetValue;
        isFading = false;
    }
    currentValue = out;
    return out;
}

// args: nbsteps, value. The mirror of FadeinFct::evaluate: a fade starts when value drops
// below the output, and any input at or above the output ends it.
double FadeoutFct::evaluate(unsigned /*nbArgs*/, const double* args)
{
    const double nbstepsArg = args[0];
    const double value = args[1];
    if (nbstepsArg == 0.0) {
        step = 0.0;
        nbSteps = 1.0;
        startValue = currentValue = value;
        isFading = 0.0;
        return value;
    }
    adoptStepCount(nbstepsArg, step, nbSteps);
    if (isFading == 0.0 && currentValue > value) {
        targetValue = value;
        startValue = currentValue;
        isFading = 1.0;
        step = 0.0;
    } else {
        if (value >= currentValue)
            isFading = 0.0;
        if (isFading == 0.0) {
            currentValue = value;
            return value;
        }
    }
    double out = targetValue + shape(step, nbSteps) * (startValue - targetValue);
    step += 1.0;
    if (targetValue > out || step >= nbSteps) {
        out = targetValue;
        isFading = 0.0;
    }
    currentValue = out;
    return out;
}

double FadeinLinearFct::shape(double step, double nbSteps) { return step / nbSteps; }

double FadeinSigmoidFct::shape(double step, double nbSteps) { return sigmoid(step / nbSteps); }

double FadeinExpFct::shape(double step, double nbSteps) { return exponential(step / nbSteps, expRange); }

double FadeinLogFct::shape(double step, double nbSteps) { return logarithmic(step / nbSteps); }

double FadeoutLinearFct::shape(double step, double nbSteps) { return 1.0 - step / nbSteps; }

// Past the end of the fade, or for an empty one, nothing is left to go.
double FadeoutSigmoidFct::shape(double step, double nbSteps)
{
    if (nbSteps <= 0.0 || step > nbSteps)
        return 0.0;
    return 1.0 - sigmoid(step / nbSteps);
}

double FadeoutExpFct::shape(double step, double nbSteps) { return 1.0 - exponential(step / nbSteps, expRange); }

double FadeoutLogFct::shape(double step, double nbSteps) { return 1.0 - logarithmic(step / nbSteps); }
