#include "Measure.h"

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

} // namespace bench
