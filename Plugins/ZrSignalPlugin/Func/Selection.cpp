// Selection, range and random functions, and the functions of the global memory.
#include "Func/Selection.h"

#include <algorithm>
#include <cmath>

#include "zrparser/ZrPlatform.h"

namespace {

// min when min > value, otherwise max when value > max, otherwise value (NaN passes through).
double restrain(double value, double min, double max)
{
    if (min > value)
        return min;
    if (value > max)
        return max;
    return value;
}

} // namespace

// The percent is truncated to a whole number before the bands are measured, so 49.9 % of two
// values is still the first band, and NaN picks the first value.
double SelectFct::evaluate(unsigned nbArgs, const double* args)
{
    if (nbArgs < 2)
        return 0.0;
    const std::int64_t count = nbArgs - 1;
    const std::int32_t percent = std::clamp(zr::truncToInt32(args[0]), 0, 100);
    std::int64_t index = zr::truncToInt32(percent / (100.0 / static_cast<double>(count)));
    if (index >= count)
        index = count - 1;
    return args[index + 1];
}

double SelectConditionFct::evaluate(unsigned nbArgs, const double* args)
{
    if (nbArgs == 0)
        return 0.0;
    for (unsigned k = 0; k < nbArgs / 2; ++k)
        if (args[2 * k] > 0.0)
            return lastValue = args[2 * k + 1];
    if (nbArgs % 2 == 1)
        return lastValue = args[nbArgs - 1];
    return lastValue;
}

double SwitchFct::evaluate(unsigned nbArgs, const double* args)
{
    if (nbArgs < 2)
        return 0.0;
    const double toMatch = args[0];
    for (unsigned k = 0; k < (nbArgs - 1) / 2; ++k)
        if (std::fabs(args[1 + 2 * k] - toMatch) < 0.0001)
            return lastValue = args[2 + 2 * k];
    if (nbArgs % 2 == 0)
        return lastValue = args[nbArgs - 1];
    return lastValue;
}

double LatestFct::evaluate(unsigned nbArgs, const double* args)
{
    for (unsigned i = 0; i < nbArgs; ++i)
        if (args[i] > 0.0)
            lastValue = i;
    return lastValue;
}

double CoalesceFct::evaluate(unsigned nbArgs, const double* args)
{
    for (unsigned i = 0; i < nbArgs; ++i)
        if (zr::isUsable(args[i]) && args[i] != 0.0)
            return args[i];
    return 0.0;
}

double IsBetweenFct::evaluate(unsigned, const double* args)
{
    const double value = args[0];
    return value >= args[1] && args[2] >= value ? 100.0 : 0.0;
}

double RestrainFct::evaluate(unsigned, const double* args)
{
    return restrain(args[0], args[1], args[2]);
}

double ScaleFct::evaluate(unsigned, const double* args)
{
    const double min = args[1];
    const double max = args[2];
    const double toMin = args[3];
    const double toMax = args[4];
    const double value = restrain(args[0], min, max);
    return (value - min) / (max - min) * (toMax - toMin) + toMin;
}

double ScalePercentFct::evaluate(unsigned, const double* args)
{
    const double toMin = args[1];
    const double toMax = args[2];
    const double percent = restrain(args[0], 0.0, 100.0);
    return (toMax - toMin) * percent / 100.0 + toMin;
}

// Draws until the result differs from the previous one; a top draw of 32767 lands one integer
// past the range. When every draw maps to the same integer (bounds beyond the 32-bit range),
// that integer is taken as it is, since waiting for another one would never end.
double RandIntFct::evaluate(unsigned, const double* args)
{
    const double min = args[0];
    const double max = args[1];
    const std::int32_t span = zr::wrappingAdd(zr::truncToInt32(max - min), 1);

    std::int32_t draw;
    if (span <= 1) {
        draw = zr::truncToInt32(min);
    } else {
        const auto drawnInteger = [&](double fraction) { return zr::truncToInt32(fraction * span + min); };
        const bool onlyOneInteger = drawnInteger(0.0) == drawnInteger(1.0);
        do {
            draw = drawnInteger(zr::randomFraction());
        } while (draw == lastDraw && !onlyOneInteger);
    }
    lastDraw = draw;
    return draw;
}

double MemFct::evaluate(unsigned, const double* args)
{
    std::atomic<double>* slot = zr::globalMemorySlot(args[0]);
    if (!slot)
        return 0.0;
    slot->store(args[1], std::memory_order_relaxed);
    return args[1];
}

double RecallFct::evaluate(unsigned, const double* args)
{
    const std::atomic<double>* slot = zr::globalMemorySlot(args[0]);
    return slot ? slot->load(std::memory_order_relaxed) : 0.0;
}
