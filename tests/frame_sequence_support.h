// Shared helper of the signal-unit tests: one fresh instance fed one argument row per
// evaluation, checked against the value expected after each one.
#pragma once

#include <cmath>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "zrparser/ZrParserItemI.h"

using Args = std::vector<double>;

// A fresh instance, as the plug-in hands it out.
template <class Fct>
std::unique_ptr<ZrFunctionI> spawnOf()
{
    return std::unique_ptr<ZrFunctionI>(Fct().spawn());
}

struct Sequence {
    const char* what;
    std::function<std::unique_ptr<ZrFunctionI>()> make;
    std::vector<Args> frames;
    std::vector<double> expected;
};

// Runs the sequence on a fresh instance; NaN expects NaN, tolerance 0 demands exact values.
inline void expectSequence(const Sequence& s, double tolerance = 0.0)
{
    SCOPED_TRACE(s.what);
    ASSERT_EQ(s.frames.size(), s.expected.size());
    const std::unique_ptr<ZrFunctionI> fct = s.make();
    for (std::size_t i = 0; i < s.frames.size(); ++i) {
        const double got = fct->evaluate(static_cast<unsigned>(s.frames[i].size()), s.frames[i].data());
        if (std::isnan(s.expected[i]))
            EXPECT_TRUE(std::isnan(got)) << "evaluation " << i << " gave " << got;
        else if (tolerance == 0.0)
            EXPECT_EQ(got, s.expected[i]) << "evaluation " << i;
        else
            EXPECT_NEAR(got, s.expected[i], tolerance) << "evaluation " << i;
    }
}
