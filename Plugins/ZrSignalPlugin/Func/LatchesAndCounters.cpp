// Evaluation of the latches and counters: per-frame updates of a held value or a count.
#include "Func/LatchesAndCounters.h"

#include <cstdint>

#include "zrparser/ZrPlatform.h"

namespace {

bool isPositive(double x) { return x > 0.0; }

// The count after one evaluation's increment and decrement requests; both at once cancel out.
std::int32_t incrementAndDecrement(std::int32_t count, double incrementNow, double decrementNow)
{
    if (isPositive(incrementNow))
        count = zr::wrappingAdd(count, 1);
    if (isPositive(decrementNow))
        count = zr::wrappingAdd(count, -1);
    return count;
}

// Keeps a count inside [from, to] by moving it to the end it passed. The lower test comes
// first, so with from > to the count alternates between the two ends.
std::int32_t clampCount(std::int32_t count, double from, double to)
{
    if (from > count)
        return zr::truncToInt32(from);
    if (count > to)
        return zr::truncToInt32(to);
    return count;
}

// Moves count back to from when resetFct is positive; an unusable from leaves it where it is.
// Returns whether a reset was asked for, in which case the evaluation does nothing else.
bool resetCount(std::int32_t& count, double from, double resetFct)
{
    if (!isPositive(resetFct))
        return false;
    if (zr::isUsable(from))
        count = zr::truncToInt32(from);
    return true;
}

} // namespace

// args: updateNow, value. Passes value through on updates and on the very first evaluation.
double LatchFct::evaluate(unsigned /*nbArgs*/, const double* args)
{
    const double updateNow = args[0];
    const double value = args[1];
    if (isPositive(updateNow) || storedValue == zr::UNDEFINED_MARKER) {
        storedValue = value;
        return value;
    }
    return storedValue;
}

// args: updateNow, value, initialValue. initialValue is taken once, on the first evaluation.
double LatchWithDefaultFct::evaluate(unsigned /*nbArgs*/, const double* args)
{
    const double updateNow = args[0];
    const double value = args[1];
    const double initialValue = args[2];
    if (storedValue == zr::UNDEFINED_MARKER)
        storedValue = initialValue;
    if (isPositive(updateNow)) {
        storedValue = value;
        return value;
    }
    return storedValue;
}

// args: updateNow, value. The stored value is recomputed from its value at the start of the
// update on every evaluation, so clamping never accumulates: moving value back inside the range
// brings the result back with it. An unusable value changes nothing.
double LatchDeltaFct::evaluate(unsigned /*nbArgs*/, const double* args)
{
    const double updateNow = args[0];
    const double value = args[1];
    if (!zr::isUsable(value))
        return storedValue;
    if (isPositive(updateNow)) {
        if (!isUpdating) {
            isUpdating = true;
            inputAtStart = value;
            valueAtStart = storedValue;
        }
        storedValue = value + valueAtStart - inputAtStart;
    } else {
        isUpdating = false;
    }
    if (minValue > storedValue)
        storedValue = minValue;
    if (storedValue > maxValue)
        storedValue = maxValue;
    return storedValue;
}

// args: updateNow, value, min. An unusable min keeps the previous bound.
double LatchDeltaMinFct::evaluate(unsigned /*nbArgs*/, const double* args)
{
    if (zr::isUsable(args[2]))
        minValue = args[2];
    return LatchDeltaFct::evaluate(2, args);
}

// args: updateNow, value, min, max. An unusable bound keeps the previous one.
double LatchDeltaMinMaxFct::evaluate(unsigned /*nbArgs*/, const double* args)
{
    if (zr::isUsable(args[2]))
        minValue = args[2];
    if (zr::isUsable(args[3]))
        maxValue = args[3];
    return LatchDeltaFct::evaluate(2, args);
}

// args: from, to, incrementNow. Starts at 0, moved to from once it leaves the range.
double CounterFct::evaluate(unsigned /*nbArgs*/, const double* args)
{
    const double from = args[0];
    const double to = args[1];
    if (!zr::isUsable(from) || !zr::isUsable(to))
        return count;
    if (isPositive(args[2]))
        count = zr::wrappingAdd(count, 1);
    if (from > count || count > to)
        count = zr::truncToInt32(from);
    return count;
}

// args: from, to, incrementNow, decrementNow. Starts at from; below from wraps to to, above to
// wraps to from.
double CounterWithDecrementFct::evaluate(unsigned /*nbArgs*/, const double* args)
{
    const double from = args[0];
    const double to = args[1];
    if (!zr::isUsable(from) || !zr::isUsable(to))
        return count;
    if (isFirst) {
        count = zr::truncToInt32(from);
        isFirst = false;
    }
    count = incrementAndDecrement(count, args[2], args[3]);
    if (from > count)
        count = zr::truncToInt32(to);
    else if (count > to)
        count = zr::truncToInt32(from);
    return count;
}

// args: from, to, incrementNow, decrementNow, resetFct.
double CounterWithDecrementAndResetFct::evaluate(unsigned nbArgs, const double* args)
{
    if (resetCount(count, args[0], args[4]))
        return count;
    return CounterWithDecrementFct::evaluate(nbArgs, args);
}

// args: from, to, incrementNow. Starts at 0, clamped into the range.
double NoLoopCounterFct::evaluate(unsigned /*nbArgs*/, const double* args)
{
    const double from = args[0];
    const double to = args[1];
    if (!zr::isUsable(from) || !zr::isUsable(to))
        return count;
    if (isPositive(args[2]))
        count = zr::wrappingAdd(count, 1);
    count = clampCount(count, from, to);
    return count;
}

// args: from, to, incrementNow, decrementNow. Starts at from, clamped into the range.
double NoLoopCounterWithDecrementFct::evaluate(unsigned /*nbArgs*/, const double* args)
{
    const double from = args[0];
    const double to = args[1];
    if (!zr::isUsable(from) || !zr::isUsable(to))
        return count;
    if (isFirst) {
        count = zr::truncToInt32(from);
        isFirst = false;
    }
    count = incrementAndDecrement(count, args[2], args[3]);
    count = clampCount(count, from, to);
    return count;
}

// args: from, to, incrementNow, decrementNow, resetFct.
double NoLoopCounterWithDecrementAndResetFct::evaluate(unsigned nbArgs, const double* args)
{
    if (resetCount(count, args[0], args[4]))
        return count;
    return NoLoopCounterWithDecrementFct::evaluate(nbArgs, args);
}

// args: from, to, incrementNow. Each end value is given once and the direction turns at once:
// passing an end lands one step back inside (when the direction turns) or on the end itself.
double PingCounterFct::evaluate(unsigned /*nbArgs*/, const double* args)
{
    const double from = args[0];
    const double to = args[1];
    if (!zr::isUsable(from) || !zr::isUsable(to))
        return count;
    if (isPositive(args[2]))
        count = zr::wrappingAdd(count, step);
    if (from > count) {
        if (step < 0) {
            step = -step;
            count = zr::wrappingAdd(zr::truncToInt32(from), step);
        } else {
            count = zr::truncToInt32(from);
        }
    } else if (count > to) {
        if (step > 0) {
            step = -step;
            count = zr::wrappingAdd(zr::truncToInt32(to), step);
        } else {
            count = zr::truncToInt32(to);
        }
    }
    return count;
}

// args: from, to, incrementNow, resetFct. A reset also turns the counter upward again.
double PingCounterWithResetFct::evaluate(unsigned nbArgs, const double* args)
{
    if (isPositive(args[3])) {
        if (zr::isUsable(args[0])) {
            step = 1;
            count = zr::truncToInt32(args[0]);
        }
        return count;
    }
    return PingCounterFct::evaluate(nbArgs, args);
}
