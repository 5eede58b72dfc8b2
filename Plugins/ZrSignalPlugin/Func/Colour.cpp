// Colour functions: components of a colour after an intensity change, conversions between
// red-green-blue and hue-saturation-intensity, and transitions of hues over a number of evaluations.
#include "Func/Colour.h"

#include <cmath>
#include <cstdint>

#include "Func/ShapeMaths.h"
#include "zrparser/ZrPlatform.h"

namespace {

// Written out rather than computed so the hue sectors fall exactly where the channel maths
// expects them.
constexpr double ONE_THIRD = 0.3333333333333333;
constexpr double TWO_THIRDS = 0.6666666666666666;

// Hue offsets of the three channels, in turns.
constexpr double RED_OFFSET = ONE_THIRD;
constexpr double GREEN_OFFSET = 0.0;
constexpr double BLUE_OFFSET = -ONE_THIRD;

// Limits a percent to [0, 100]; NaN counts as 0 so that an unusable component reads as dark.
double clampPercent(double x)
{
    if (!(x > 0.0))
        return 0.0;
    return x > 100.0 ? 100.0 : x;
}

double clampTo(double x, double low, double high)
{
    if (x < low)
        return low;
    return x > high ? high : x;
}

// Percent to an 8-bit channel value 0..255, truncating.
int toByte(double percent)
{
    return zr::truncToInt32(clampPercent(percent) / 100.0 * 255.0);
}

// A channel fraction (nominally 0..1) to percent through an 8-bit channel value: the truncated
// byte keeps its low eight bits, which already lie in 0..255.
double fromByte(double fraction)
{
    const std::uint32_t byte = static_cast<std::uint32_t>(zr::truncToInt32(fraction * 255.0)) & 0xFFu;
    return byte / 255.0 * 100.0;
}

struct Hsl {
    double hueDegrees; // 0..360
    double saturation; // 0..1
    double lightness; // 0..1
};

// Hue, saturation and lightness of 8-bit channel values. Grey has hue and saturation 0.
Hsl rgbToHsl(int red, int green, int blue)
{
    const double r = red / 255.0;
    const double g = green / 255.0;
    const double b = blue / 255.0;
    const double mx = std::fmax(r, std::fmax(g, b));
    const double mn = std::fmin(r, std::fmin(g, b));
    const double lightness = (mx + mn) * 0.5;
    const double d = mx - mn;
    if (d == 0.0)
        return {0.0, 0.0, lightness};

    const double saturation = lightness < 0.5 ? d / (mx + mn) : d / (2.0 - mx - mn);
    const double dr = ((mx - r) / 6.0 + d / 2.0) / d;
    const double dg = ((mx - g) / 6.0 + d / 2.0) / d;
    const double db = ((mx - b) / 6.0 + d / 2.0) / d;
    double h;
    if (r == mx)
        h = db - dg;
    else if (g == mx)
        h = ONE_THIRD + dr - db;
    else
        h = TWO_THIRDS + dg - dr;
    if (h < 0.0)
        h += 1.0;
    if (h > 1.0)
        h -= 1.0;
    return {h * 360.0, saturation, lightness};
}

// One channel of a colour between the levels p and q, t being the channel's hue in turns.
double hueToRgb(double p, double q, double t)
{
    if (t < 0.0)
        t += 1.0;
    if (t > 1.0)
        t -= 1.0;
    if (6.0 * t < 1.0)
        return p + (q - p) * 6.0 * t;
    if (2.0 * t < 1.0)
        return q;
    if (3.0 * t < 2.0)
        return p + (q - p) * (TWO_THIRDS - t) * 6.0;
    return p;
}

// One channel, 0..1, of the colour (hueDegrees, saturation, lightness); offset picks the channel.
double hslComponent(double hueDegrees, double saturation, double lightness, double offset)
{
    if (saturation == 0.0)
        return lightness;
    const double q = lightness < 0.5 ? lightness * (1.0 + saturation) : lightness + saturation - lightness * saturation;
    const double p = 2.0 * lightness - q;
    return hueToRgb(p, q, hueDegrees / 360.0 + offset);
}

Hsl hslOfPercentRgb(const double* rgb)
{
    return rgbToHsl(toByte(rgb[0]), toByte(rgb[1]), toByte(rgb[2]));
}

// Arguments r, g, b, i: the channel picked by offset once the lightness is scaled by i percent.
double rgbiComponent(const double* args, double offset)
{
    const Hsl hsl = hslOfPercentRgb(args);
    const double lightness = clampPercent(args[3]) / 100.0 * hsl.lightness;
    return fromByte(hslComponent(hsl.hueDegrees, hsl.saturation, lightness, offset));
}

// Arguments h, s, i: the channel picked by offset.
double hsiComponent(const double* args, double offset)
{
    const double hueDegrees = clampPercent(args[0]) / 100.0 * 360.0;
    const double saturation = clampPercent(args[1]) / 100.0;
    const double lightness = clampPercent(args[2]) / 100.0;
    return fromByte(hslComponent(hueDegrees, saturation, lightness, offset));
}

// The number of evaluations a run lasts: whole evaluations, 0 (no transition) for negative or
// unusable values.
int runLength(double time)
{
    const std::int32_t n = zr::truncToInt32(time);
    return n < 0 ? 0 : n;
}

// A running transition keeps its proportion of progress when its length changes to n (n > 0).
void rescaleProgress(double& step, double& nbSteps, int n)
{
    if (nbSteps == n)
        return;
    step = zr::truncToInt32(step / nbSteps * n + 0.5);
    nbSteps = n;
    if (step > n)
        step = n;
}

} // namespace

double RGBRedFromRGBICompFunc::evaluate(unsigned, const double* args)
{
    return rgbiComponent(args, RED_OFFSET);
}

double RGBGreenFromRGBICompFunc::evaluate(unsigned, const double* args)
{
    return rgbiComponent(args, GREEN_OFFSET);
}

double RGBBlueFromRGBICompFunc::evaluate(unsigned, const double* args)
{
    return rgbiComponent(args, BLUE_OFFSET);
}

double RGBRedFromHSIComp::evaluate(unsigned, const double* args)
{
    return hsiComponent(args, RED_OFFSET);
}

double RGBGreenFromHSIComp::evaluate(unsigned, const double* args)
{
    return hsiComponent(args, GREEN_OFFSET);
}

double RGBBlueFromHSIComp::evaluate(unsigned, const double* args)
{
    return hsiComponent(args, BLUE_OFFSET);
}

double HSIHueFromRGBComp::evaluate(unsigned, const double* args)
{
    return clampTo(hslOfPercentRgb(args).hueDegrees, 0.0, 360.0) / 360.0 * 100.0;
}

double HSISaturationFromRGBComp::evaluate(unsigned, const double* args)
{
    return clampTo(hslOfPercentRgb(args).saturation, 0.0, 1.0) * 100.0;
}

double HSIIntensityFromRGBComp::evaluate(unsigned, const double* args)
{
    return clampTo(hslOfPercentRgb(args).lightness, 0.0, 1.0) * 100.0;
}

// Arguments nbsteps, function. A run starts whenever function differs from the target held (NaN
// always does); its first evaluation shows where it starts and its last lands on the target.
// With nbsteps below 1 the output follows function at once.
double CircularTransitionFct::evaluate(unsigned, const double* args)
{
    const double value = args[1];
    const int n = runLength(args[0]);
    if (n == 0) {
        current = value;
        return current;
    }
    rescaleProgress(step, nbSteps, n);

    if (value != target) {
        direction = value > current ? 1.0 : -1.0;
        distance = std::fabs(value - current);
        if (distance > std::fabs(100.0 - distance)) {
            direction = -direction;
            distance = std::fabs(100.0 - distance);
        }
        start = current;
        target = value;
        step = active != 0.0 ? 1.0 : 0.0;
        active = 1.0;
    }
    if (active == 0.0) {
        current = value;
        return current;
    }

    double out = shape(step, nbSteps) * distance * direction + start;
    if (out > 100.0)
        out -= 100.0;
    else if (out < 0.0)
        out += 100.0;
    step += 1.0;
    if (step >= nbSteps) {
        out = target;
        active = 0.0;
    }
    current = out;
    return current;
}

double CircularTransitionFct::shape(double step, double nbSteps)
{
    return step / nbSteps;
}

// Arguments time, targetHue, targetSaturation. A run starts whenever either target differs from
// the one held (NaN always does) and lands on both at its last evaluation; a time below 1 jumps
// to the targets at once without taking them as the held targets.
void TransitionHueFct::advance(const double* args)
{
    const double newHue = args[1];
    const double newSat = args[2];
    const int n = runLength(args[0]);
    if (n == 0) {
        hue = newHue;
        saturation = newSat;
        return;
    }
    rescaleProgress(step, nbSteps, n);

    if (newHue != targetHue || newSat != targetSat) {
        const double a = hue / 100.0 * zr::TWO_PI;
        startX = std::cos(a) * saturation;
        startY = std::sin(a) * saturation;
        const double targetAngle = newHue / 100.0 * zr::TWO_PI;
        deltaX = std::cos(targetAngle) * newSat - startX;
        deltaY = std::sin(targetAngle) * newSat - startY;
        targetHue = newHue;
        targetSat = newSat;
        step = active != 0.0 ? 1.0 : 0.0;
        active = 1.0;
    }
    if (active == 0.0) {
        hue = newHue;
        saturation = newSat;
        return;
    }

    const double f = shape(step, nbSteps);
    const double x = startX + f * deltaX;
    const double y = startY + f * deltaY;
    hue = MathAngleBetweenFct::direction(x, y) / 360.0 * 100.0;
    saturation = std::sqrt(x * x + y * y);
    step += 1.0;
    if (step >= nbSteps) {
        hue = targetHue;
        saturation = targetSat;
        active = 0.0;
    }
}

double TransitionHueFct::evaluate(unsigned, const double* args)
{
    advance(args);
    return hue;
}

double TransitionHueFct::shape(double step, double nbSteps)
{
    return step / nbSteps;
}

double TransitionSatFct::evaluate(unsigned, const double* args)
{
    advance(args);
    return saturation;
}
