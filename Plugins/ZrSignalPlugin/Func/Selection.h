// Selection, range and random building blocks, and the process-wide memory through which one
// expression hands values to another.
#pragma once

#include <cstdint>

#include "zrparser/ZrFunctionBase.h"
#include "zrparser/ZrSignalBuiltins.h"

// The value at a percent position: the percent range is cut into one equal band per value.
class SelectFct : public ZrFunctionBase<SelectFct> {
public:
    static constexpr ZrFunctionInfo info{L"select", nullptr, L"select(indexPercent, value1, value2, value3, ...)",
                                    L"Return the value at the specified index. 0% is the first value and 100% is the last.", -1, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// The value of the first true condition, else the trailing default, else the previous choice.
class SelectConditionFct : public ZrFunctionBase<SelectConditionFct> {
    double lastValue = 0.0;

public:
    static constexpr ZrFunctionInfo info{L"selectcondition", nullptr, L"selectCondition(condition1, value1, condition2, value2, ..., [defaultValue])",
                                    L"Return the first value which condition is true (>0). If no condition is true, return the defaultValue or last value.", -1, true, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// The value of the first case within 0.0001 of the value to match, else the trailing default,
// else the previous choice.
class SwitchFct : public ZrFunctionBase<SwitchFct> {
    double lastValue = 0.0;

public:
    static constexpr ZrFunctionInfo info{L"switch", nullptr, L"switch(valueToMatch, case1, value1, case2, value2..., [defaultValue])",
                                    L"Compare the valueToMatch with the cases. If a case equals the valueToMatch, then the corresponding value is returned. If no match is found, return the defaultValue or last value.",
                                    -1, true, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// The highest index whose value is positive now, else the previous result.
class LatestFct : public ZrFunctionBase<LatestFct> {
    double lastValue = 0.0;

public:
    static constexpr ZrFunctionInfo info{L"latestindex", nullptr, L"latestIndex(value0, value1, value2, ...)",
                                    L"Return the index of the latest positive value. The index of the first value is 0.", -1, true, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// The first argument that is a usable number other than 0, else 0.
class CoalesceFct : public ZrFunctionBase<CoalesceFct> {
public:
    static constexpr ZrFunctionInfo info{L"coalesce", nullptr, L"coalesce(value1, value2, value3, ...)", L"Return the first value that is different than 0.", -1, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// 100 when min <= value <= max, else 0.
class IsBetweenFct : public ZrFunctionBase<IsBetweenFct> {
public:
    static constexpr ZrFunctionInfo info{L"isbetween", nullptr, L"isBetween(value, min, max)", L"Return 100% if the value is between min and max, inclusively.", 3, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// The value held within [min, max]; min wins when the bounds are crossed.
class RestrainFct : public ZrFunctionBase<RestrainFct> {
public:
    static constexpr ZrFunctionInfo info{L"restrain", nullptr, L"restrain(value, min, max)", L"Make sure a value is between min and max.", 3, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Maps [min, max] linearly onto [toMin, toMax], holding the value within [min, max] first.
class ScaleFct : public ZrFunctionBase<ScaleFct> {
public:
    static constexpr ZrFunctionInfo info{L"scale", nullptr, L"scale(value, min, max, toMin, toMax)", L"Scale a value to the specified range", 5, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Maps a percent, clamped to [0, 100], linearly onto [toMin, toMax].
class ScalePercentFct : public ZrFunctionBase<ScalePercentFct> {
public:
    static constexpr ZrFunctionInfo info{L"scale", nullptr, L"scale(percentValue, toMin, toMax)", L"Scale a percent value to the specified range", 3, true, true};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// A random integer from min to max that never repeats the previous result of the same call when
// the range holds more than one integer.
class RandIntFct : public ZrFunctionBase<RandIntFct> {
    std::int32_t lastDraw = 0;

public:
    static constexpr ZrFunctionInfo info{L"randint", nullptr, L"randint(min, max)", L"Random integer value between min and max.", 2, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
    bool usesProcessState() const override { return true; }
};

// Stores the value into global memory slot trunc(id) and returns it; ids outside [0, 99] store
// nothing and give 0.
class MemFct : public ZrFunctionBase<MemFct> {
public:
    static constexpr ZrFunctionInfo info{L"gmem", nullptr, L"gmem(id, value)", L"Set global memory value. Id from 0 to 99.", 2, false, true};
    double evaluate(unsigned nbArgs, const double* args) override;
    bool usesProcessState() const override { return true; }
};

// The value of global memory slot trunc(id); ids outside [0, 99] give 0.
class RecallFct : public ZrFunctionBase<RecallFct> {
public:
    static constexpr ZrFunctionInfo info{L"grecall", nullptr, L"grecall(id)", L"Get global memory value. Id from 0 to 99.", 1, false, true};
    double evaluate(unsigned nbArgs, const double* args) override;
    bool usesProcessState() const override { return true; }
};
