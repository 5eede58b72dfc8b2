// Latches that hold a value between evaluations, and counters that count positive arguments.
#pragma once

#include <cstdint>

#include "zrparser/ZrFunctionBase.h"
#include "zrparser/ZrPlatform.h"

// Holds value from the last evaluation whose updateNow was positive; the first evaluation
// always stores.
class LatchFct : public ZrFunctionBase<LatchFct> {
    double storedValue = zr::UNDEFINED_MARKER;

public:
    static constexpr ZrFunctionInfo info{L"latch", nullptr, L"latch(updateNow, value)",
                                    L"Store a value that is updated when updateNow is positive.", 2, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// A latch that answers initialValue until its first update.
class LatchWithDefaultFct : public ZrFunctionBase<LatchWithDefaultFct> {
    double storedValue = zr::UNDEFINED_MARKER;

public:
    static constexpr ZrFunctionInfo info{
        L"latch", nullptr, L"latch(updateNow, value, [initialValue])",
        L"Store a value that is updated when updateNow is positive. Optionally provide an initial value.", 3, false,
        false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// A relative latch: while updateNow stays positive, the stored value moves by as much as value
// has moved since the update began. The result is kept within [minValue, maxValue].
class LatchDeltaFct : public ZrFunctionBase<LatchDeltaFct> {
protected:
    bool isUpdating = false;
    double storedValue = 0.0;
    double valueAtStart = 0.0;
    double inputAtStart = 0.0;
    double minValue = 0.0;
    double maxValue = 100.0;

public:
    static constexpr const wchar_t* symbol = L"latchdelta";
    static constexpr const wchar_t* help = L"latchDelta(updateNow, value, [min=0], [max=100])";
    static constexpr const wchar_t* description =
        L"Update the stored value by adding the delta value (difference between the current and first values when "
        L"starting the update). The update starts when updateNow is positive. Optionally specify min and max values.";
    static constexpr ZrFunctionInfo info{symbol, nullptr, help, description, 2, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// LatchDeltaFct with a lower bound that stays in force until a later usable one replaces it.
class LatchDeltaMinFct : public ZrFunctionBase<LatchDeltaMinFct, LatchDeltaFct> {
public:
    static constexpr ZrFunctionInfo info{symbol, nullptr, help, description, 3, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// LatchDeltaFct with both bounds given, each kept until a later usable one replaces it.
class LatchDeltaMinMaxFct : public ZrFunctionBase<LatchDeltaMinMaxFct, LatchDeltaFct> {
public:
    static constexpr ZrFunctionInfo info{symbol, nullptr, help, description, 4, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Counts up on every positive incrementNow and wraps to from after to.
class CounterFct : public ZrFunctionBase<CounterFct> {
    std::int32_t count = 0;

public:
    static constexpr ZrFunctionInfo info{
        L"counter", nullptr, L"counter(from, to, incrementNow)",
        L"Counter +1 when the incrementNow parameter is positive. Loop after reaching the to value.", 3, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Counts up and down, starting at from; wraps at both ends of the range.
class CounterWithDecrementFct : public ZrFunctionBase<CounterWithDecrementFct> {
protected:
    bool isFirst = true;
    std::int32_t count = 0;

public:
    static constexpr ZrFunctionInfo info{
        L"counter", nullptr, L"counter(from, to, incrementNow, decrementNow)",
        L"Counter +-1 when the inc/decrementNow parameters are positive. Loop after reaching the to value.", 4, false,
        false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// CounterWithDecrementFct that jumps back to from while resetFct is positive.
class CounterWithDecrementAndResetFct
    : public ZrFunctionBase<CounterWithDecrementAndResetFct, CounterWithDecrementFct> {
public:
    static constexpr ZrFunctionInfo info{L"counter", nullptr,
                                    L"counter(from, to, incrementNow, [decrementNow], [resetFct])",
                                    L"Counter +-1 when the inc/decrementNow parameters are positive. Loop after "
                                    L"reaching the to value. Reset when the resetFct is positive.",
                                    5, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Counts up on every positive incrementNow and stays within [from, to].
class NoLoopCounterFct : public ZrFunctionBase<NoLoopCounterFct> {
    std::int32_t count = 0;

public:
    static constexpr ZrFunctionInfo info{
        L"noloopcounter", nullptr, L"noloopcounter(from, to, incrementNow)",
        L"Counter +1 when the incrementNow parameter is positive. Don't loop when reaching the to value.", 3, false,
        false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Counts up and down, starting at from, and stays within [from, to].
class NoLoopCounterWithDecrementFct : public ZrFunctionBase<NoLoopCounterWithDecrementFct> {
protected:
    bool isFirst = true;
    std::int32_t count = 0;

public:
    static constexpr ZrFunctionInfo info{L"noloopcounter", nullptr, L"noloopcounter(from, to, incrementNow, decrementNow)",
                                    L"Counter +-1 when the inc/decrementNow parameters are positive. Don't loop when "
                                    L"reaching the to value.",
                                    4, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// NoLoopCounterWithDecrementFct that jumps back to from while resetFct is positive.
class NoLoopCounterWithDecrementAndResetFct
    : public ZrFunctionBase<NoLoopCounterWithDecrementAndResetFct, NoLoopCounterWithDecrementFct> {
public:
    static constexpr ZrFunctionInfo info{L"noloopcounter", nullptr,
                                    L"noloopcounter(from, to, incrementNow, [decrementNow], [resetFct])",
                                    L"Counter +-1 when the inc/decrementNow parameters are positive. Don't loop when "
                                    L"reaching the to value. Reset when the resetFct is positive.",
                                    5, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// Counts back and forth between from and to, turning as soon as it reaches either end.
class PingCounterFct : public ZrFunctionBase<PingCounterFct> {
protected:
    std::int32_t step = 1;
    std::int32_t count = 0;

public:
    static constexpr ZrFunctionInfo info{L"pingcounter", nullptr, L"pingcounter(from, to, incrementNow)",
                                    L"Ping-Pong counter. +1 when the incrementNow parameter is positive. Reverse after "
                                    L"reaching the to value.",
                                    3, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// PingCounterFct that restarts upward from from while resetFct is positive.
class PingCounterWithResetFct : public ZrFunctionBase<PingCounterWithResetFct, PingCounterFct> {
public:
    static constexpr ZrFunctionInfo info{L"pingcounter", nullptr, L"pingcounter(from, to, incrementNow, [resetFct])",
                                    L"Ping-Pong counter. +1 when the incrementNow parameter is positive. Reverse after "
                                    L"reaching the to value. Reset when the resetFct is positive.",
                                    4, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};
