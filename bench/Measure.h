// The timing method shared by every column of the speed table: host doubles rewritten from
// pre-generated inputs before each evaluation, results summed, the median of several
// repetitions reported.
#pragma once

#include <chrono>
#include <cstddef>
#include <vector>

namespace bench {

// One set of host inputs.
struct Triple {
    double x, y, z;
};

// The doubles an engine reads; its column rewrites them before every evaluation.
struct HostValues {
    double x = 0, y = 0, z = 0;
};

// A power of two, so the timed loop cycles through the inputs with a mask.
inline constexpr std::size_t inputCount = 65536;

// `inputCount` triples in [0.1, 1.1), the same on every run.
std::vector<Triple> makeInputs();

// Results of timed loops end here, so no loop can be dropped as unused.
extern volatile double sink;

using Clock = std::chrono::steady_clock;

inline double nanosecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

// Takes its argument by value: sorts a copy.
double median(std::vector<double> values);
// The value at fraction `p` (0..1) of the sorted values, nearest rank.
double percentile(std::vector<double> values, double p);

// `count` evaluations, each after writing the next input triple into `host`; returns the sum.
template <class Evaluate>
double runEvaluations(const std::vector<Triple>& inputs, HostValues& host, std::size_t count, Evaluate& evaluate)
{
    double sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const Triple& t = inputs[i & (inputCount - 1)];
        host.x = t.x;
        host.y = t.y;
        host.z = t.z;
        sum += evaluate();
    }
    return sum;
}

// Nanoseconds per evaluation: the median of several repetitions, each long enough (tens of
// milliseconds) that the clock's resolution and a stray interruption do not matter.
template <class Evaluate>
double nsPerEvaluation(const std::vector<Triple>& inputs, HostValues& host, Evaluate evaluate)
{
    constexpr double minRepetitionNs = 20e6;
    constexpr int repetitions = 7;
    // Warms caches and branch predictors, then doubles the count until one pass is long enough.
    std::size_t count = inputCount;
    for (;;) {
        const Clock::time_point start = Clock::now();
        sink = sink + runEvaluations(inputs, host, count, evaluate);
        if (nanosecondsSince(start) >= minRepetitionNs)
            break;
        count *= 2;
    }
    std::vector<double> perEvaluation;
    for (int r = 0; r < repetitions; ++r) {
        const Clock::time_point start = Clock::now();
        sink = sink + runEvaluations(inputs, host, count, evaluate);
        perEvaluation.push_back(nanosecondsSince(start) / double(count));
    }
    return median(perEvaluation);
}

} // namespace bench
