#include "Measure.h"

#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace bench {

volatile double sink = 0;

std::vector<Triple> makeInputs()
{
    std::mt19937_64 generator(20240607);
    std::uniform_real_distribution<double> value(0.1, 1.1);
    std::vector<Triple> inputs(inputCount);
    for (Triple& t : inputs)
        t = {value(generator), value(generator), value(generator)};
    return inputs;
}

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p * double(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

std::vector<double> medianNsPerEvaluation(const std::vector<TimedLoop>& loops)
{
    constexpr double minRepetitionNs = 20e6;
    constexpr int repetitions = 7;
    // Warms caches and branch predictors while doubling each count until a repetition is long
    // enough.
    std::vector<std::size_t> counts;
    for (const TimedLoop& loop : loops) {
        std::size_t count = inputCount;
        while (loop(count) * double(count) < minRepetitionNs)
            count *= 2;
        counts.push_back(count);
    }
    std::vector<std::vector<double>> times(loops.size());
    for (int r = 0; r < repetitions; ++r)
        for (std::size_t i = 0; i < loops.size(); ++i)
            times[i].push_back(loops[i](counts[i]));
    std::vector<double> medians;
    for (const std::vector<double>& t : times)
        medians.push_back(median(t));
    return medians;
}

} // namespace bench
