// The timing method shared by every column of the speed table: host doubles rewritten from
// pre-generated inputs before each evaluation, results summed, the median of several
// repetitions reported.
#pragma once

#include <chrono>
#include <ctime>
#include <cstddef>
#include <functional>
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

// The calling thread's CPU time: while the thread waits for a core that other work holds, this
// clock stands still. Reading it is a system call (about a microsecond here, and it disturbs
// caches), so it times only long stretches.
inline double threadCpuNs()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
}

// How many frames a show is timed for: warm-up frames first, then at least `atLeast`, more while
// within `seconds` and up to `atMost`.
struct FrameCounts {
    int warmUp;
    std::size_t atLeast, atMost;
    double seconds;
};

// Nanoseconds of each timed run of `runFrame`. Frames are timed by the wall clock: the thread
// clock's system call would disturb the caches and translation buffers that a short frame
// depends on.
template <class RunFrame>
std::vector<double> timeFrames(RunFrame&& runFrame, const FrameCounts& counts)
{
    for (int i = 0; i < counts.warmUp; ++i)
        runFrame();
    std::vector<double> frameNs;
    const Clock::time_point begin = Clock::now();
    while (frameNs.size() < counts.atLeast ||
           (nanosecondsSince(begin) < counts.seconds * 1e9 && frameNs.size() < counts.atMost)) {
        const Clock::time_point start = Clock::now();
        runFrame();
        frameNs.push_back(nanosecondsSince(start));
    }
    return frameNs;
}

// Bytes of heap the process holds: the growth across a construction is what it keeps.
std::size_t heapInUse();

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

// One repetition: CPU nanoseconds per evaluation over `count` evaluations.
template <class Evaluate>
double timeEvaluations(const std::vector<Triple>& inputs, HostValues& host, std::size_t count, Evaluate evaluate)
{
    const double start = threadCpuNs();
    sink = sink + runEvaluations(inputs, host, count, evaluate);
    return (threadCpuNs() - start) / double(count);
}

// A timed loop: runs one repetition of `count` evaluations, returns nanoseconds per evaluation.
using TimedLoop = std::function<double(std::size_t count)>;

// Nanoseconds per evaluation of each loop: the median of several repetitions, each long enough
// (tens of milliseconds) that reading the clock does not matter. The loops take turns,
// repetition by repetition, so that a burst of load from elsewhere on the machine falls on all
// of them rather than on every repetition of one.
std::vector<double> medianNsPerEvaluation(const std::vector<TimedLoop>& loops);

} // namespace bench
