// Fades: smooth a signal's moves in one direction along a curve over a number of evaluations.
#pragma once

#include <cmath>

#include "zrparser/ZrFunctionBase.h"

// Lets the output climb to a higher input over nbsteps evaluations along the curve of shape();
// a falling input is followed at once. Arguments: nbsteps, value.
class FadeinFct : public ZrFunctionI {
    double step = 0.0;
    double nbSteps = 1.0;
    double startValue = 0.0;
    double currentValue = 0.0;
    double targetValue = 0.0;
    bool isFading = false;

public:
    static constexpr const wchar_t* help = L"fadein(nbsteps, function)";
    static constexpr const wchar_t* description = L"Smoothly fade in to greater values";

    double evaluate(unsigned nbArgs, const double* args) override;
    // Fraction of the way, from 0 toward 1, reached at step of a fade of nbSteps steps.
    virtual double shape(double step, double nbSteps) = 0;
};

// Lets the output fall to a lower input over nbsteps evaluations along the curve of shape();
// a rising input is followed at once. Arguments: nbsteps, value.
class FadeoutFct : public ZrFunctionI {
    double step = 0.0;
    double nbSteps = 1.0;
    double startValue = 0.0;
    double currentValue = 0.0;
    double targetValue = 0.0;
    double isFading = 0.0; // 0 or 1

public:
    static constexpr const wchar_t* help = L"fadeout(step, function)";
    static constexpr const wchar_t* description = L"Smoothly fade out to smaller values";

    double evaluate(unsigned nbArgs, const double* args) override;
    // Fraction of the distance still to go, from 1 toward 0, at step of a fade of nbSteps steps.
    virtual double shape(double step, double nbSteps) = 0;
};

class FadeinLinearFct : public ZrFunctionBase<FadeinLinearFct, FadeinFct> {
public:
    static constexpr ZrFunctionInfo info{L"__fadeinlinear", nullptr, help, description, 2, true, false};
    double shape(double step, double nbSteps) override;
};

class FadeinSigmoidFct : public ZrFunctionBase<FadeinSigmoidFct, FadeinFct> {
public:
    static constexpr ZrFunctionInfo info{L"__fadeinsigmoid", nullptr, help, description, 2, true, false};
    double shape(double step, double nbSteps) override;
};

class FadeinExpFct : public ZrFunctionBase<FadeinExpFct, FadeinFct> {
    double expRange = std::pow(1.3, 10.0);

public:
    static constexpr ZrFunctionInfo info{L"__fadeinexp", nullptr, help, description, 2, true, false};
    double shape(double step, double nbSteps) override;
};

class FadeinLogFct : public ZrFunctionBase<FadeinLogFct, FadeinFct> {
public:
    static constexpr ZrFunctionInfo info{L"__fadeinlog", nullptr, help, description, 2, true, false};
    double shape(double step, double nbSteps) override;
};

class FadeoutLinearFct : public ZrFunctionBase<FadeoutLinearFct, FadeoutFct> {
public:
    static constexpr ZrFunctionInfo info{L"__fadeoutlinear", nullptr, help, description, 2, true, false};
    double shape(double step, double nbSteps) override;
};

class FadeoutSigmoidFct : public ZrFunctionBase<FadeoutSigmoidFct, FadeoutFct> {
public:
    static constexpr ZrFunctionInfo info{L"__fadeoutsigmoid", nullptr, help, description, 2, true, false};
    double shape(double step, double nbSteps) override;
};

class FadeoutExpFct : public ZrFunctionBase<FadeoutExpFct, FadeoutFct> {
    double expRange = std::pow(1.3, 10.0);

public:
    static constexpr ZrFunctionInfo info{L"__fadeoutexp", nullptr, help, description, 2, true, false};
    double shape(double step, double nbSteps) override;
};

class FadeoutLogFct : public ZrFunctionBase<FadeoutLogFct, FadeoutFct> {
public:
    static constexpr ZrFunctionInfo info{L"__fadeoutlog", nullptr, help, description, 2, true, false};
    double shape(double step, double nbSteps) override;
};
