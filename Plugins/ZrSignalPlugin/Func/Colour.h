// Colour functions: components of a colour after an intensity change, conversions between
// red-green-blue and hue-saturation-intensity, and transitions of hues over a number of evaluations.
// Every component is in percent; hue is in percent of a full turn.
#pragma once

#include "zrparser/ZrFunctionBase.h"

// rgb.red / rgb.green / rgb.blue (r, g, b, i): one component of the colour whose intensity is
// scaled by i percent, quantised to the steps of an 8-bit channel.
class RGBRedFromRGBICompFunc : public ZrFunctionBase<RGBRedFromRGBICompFunc> {
public:
    static constexpr ZrFunctionInfo info{L"rgb.red", nullptr, L"rgb.red(r,g,b,i)", L"Get the red component from a rgbi color.", 4, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

class RGBGreenFromRGBICompFunc : public ZrFunctionBase<RGBGreenFromRGBICompFunc> {
public:
    static constexpr ZrFunctionInfo info{L"rgb.green", nullptr, L"rgb.green(r,g,b,i)", L"Get the green component from a rgbi color.", 4, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

class RGBBlueFromRGBICompFunc : public ZrFunctionBase<RGBBlueFromRGBICompFunc> {
public:
    static constexpr ZrFunctionInfo info{L"rgb.blue", nullptr, L"rgb.blue(r,g,b,i)", L"Get the blue component from a rgbi color.", 4, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// rgb.red.hsi / rgb.green.hsi / rgb.blue.hsi (h, s, i): one component of a hue-saturation-intensity
// colour, quantised to the steps of an 8-bit channel.
class RGBRedFromHSIComp : public ZrFunctionBase<RGBRedFromHSIComp> {
public:
    static constexpr ZrFunctionInfo info{L"rgb.red.hsi", nullptr, L"rgb.red.hsi(h,s,i)", L"Get the rgb red component from a hsi color.", 3, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

class RGBGreenFromHSIComp : public ZrFunctionBase<RGBGreenFromHSIComp> {
public:
    static constexpr ZrFunctionInfo info{L"rgb.green.hsi", nullptr, L"rgb.green.hsi(h,s,i)", L"Get the rgb green component from a hsi color.", 3, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

class RGBBlueFromHSIComp : public ZrFunctionBase<RGBBlueFromHSIComp> {
public:
    static constexpr ZrFunctionInfo info{L"rgb.blue.hsi", nullptr, L"rgb.blue.hsi(h,s,i)", L"Get the rgb blue component from a hsi color.", 3, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// hsi.hue.rgb / hsi.saturation.rgb / hsi.intensity.rgb (r, g, b): one component of the colour in
// the hue-saturation-intensity model, where intensity is the mean of the largest and the
// smallest component.
class HSIHueFromRGBComp : public ZrFunctionBase<HSIHueFromRGBComp> {
public:
    static constexpr ZrFunctionInfo info{L"hsi.hue.rgb", nullptr, L"hsi.hue.rgb(r,g,b)", L"Get the hsi hue component from a rgb color.", 3, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

class HSISaturationFromRGBComp : public ZrFunctionBase<HSISaturationFromRGBComp> {
public:
    static constexpr ZrFunctionInfo info{L"hsi.saturation.rgb", nullptr, L"hsi.saturation.rgb(r,g,b)",
        L"Get the hsi saturation component from a rgb color.", 3, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

class HSIIntensityFromRGBComp : public ZrFunctionBase<HSIIntensityFromRGBComp> {
public:
    static constexpr ZrFunctionInfo info{L"hsi.intensity.rgb", nullptr, L"hsi.intensity.rgb(r,g,b)",
        L"Get the hsi intensity component from a rgb color.", 3, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// __circulartransition (nbsteps, function): moves its output toward the value of function along
// a circle of circumference 100 (such as a hue), the shorter way round, in nbsteps evaluations.
// A new target during a run redirects it from the current output.
class CircularTransitionFct : public ZrFunctionBase<CircularTransitionFct> {
    double step = 0.0;
    double nbSteps = 1.0;
    double start = 0.0;
    double current = 0.0;
    double target = 0.0;
    double active = 0.0;
    double direction = 1.0;
    double distance = 0.0;

public:
    static constexpr ZrFunctionInfo info{L"__circulartransition", nullptr, L"circulartransition(nbsteps, function)",
        L"Compute the transition assuming a circular function's domain", 2, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;

    // Progress of a run at step of nbSteps: 0 at its first evaluation, rising toward 1.
    virtual double shape(double step, double nbSteps);
};

// __transition.hue (time, targetHue, targetSaturation): moves a hue and saturation pair to its
// target along a straight line across the colour wheel (hue as angle, saturation as radius) in
// time evaluations, and returns the hue. Crossing the centre of the wheel gives no hue (NaN).
class TransitionHueFct : public ZrFunctionBase<TransitionHueFct> {
protected:
    double step = 0.0;
    double nbSteps = 1.0;
    double hue = 0.0;
    double saturation = 0.0;
    double targetHue = 0.0;
    double targetSat = 0.0;
    double active = 0.0;
    double startX = 0.0;
    double startY = 0.0;
    double deltaX = 0.0;
    double deltaY = 0.0;

public:
    static constexpr ZrFunctionInfo info{L"__transition.hue", nullptr, L"transition.hue(time, targetHue, targetSaturation)",
        L"Compute the hue to transition to the target values in the specified time.", 3, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;

    // Progress of a run at step of nbSteps: 0 at its first evaluation, rising toward 1.
    virtual double shape(double step, double nbSteps);

protected:
    // Runs one evaluation of the transition; hue and saturation then hold its output.
    void advance(const double* args);
};

// __transition.saturation: the same transition as __transition.hue, on its own state, returning
// the saturation.
class TransitionSatFct : public ZrFunctionBase<TransitionSatFct, TransitionHueFct> {
public:
    static constexpr ZrFunctionInfo info{L"__transition.saturation", nullptr, L"transition.saturation(time, targetHue, targetSaturation)",
        L"Compute the saturation to transition to the target values in the specified time.", 3, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};
