// Shared helpers of the signal-function tests: fresh instances, calls with an argument row, and
// sequences of evaluations checked one by one.
#pragma once

#include <cmath>
#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "zrparser/ZrParserItemI.h"
#include "zrparser/ZrPlatform.h"

using Args = std::vector<double>;

inline const double NaN = zr::nan();
inline const double inf = std::numeric_limits<double>::infinity();

// A fresh instance, as the plug-in hands it out.
template <class Fct>
std::unique_ptr<ZrFunctionI> spawnOf()
{
    return std::unique_ptr<ZrFunctionI>(Fct().spawn());
}

// One evaluation with `args`; no arguments are passed as a null pointer, so reading one faults.
inline double call(ZrFunctionI& f, const Args& args)
{
    return f.evaluate(static_cast<unsigned>(args.size()), args.empty() ? nullptr : args.data());
}

// One evaluation per row, in order.
inline std::vector<double> callEach(ZrFunctionI& f, const std::vector<Args>& rows)
{
    std::vector<double> out;
    for (const Args& row : rows)
        out.push_back(call(f, row));
    return out;
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
        const double got = call(*fct, s.frames[i]);
        if (std::isnan(s.expected[i]))
            EXPECT_TRUE(std::isnan(got)) << "evaluation " << i << " gave " << got;
        else if (tolerance == 0.0)
            EXPECT_EQ(got, s.expected[i]) << "evaluation " << i;
        else
            EXPECT_NEAR(got, s.expected[i], tolerance) << "evaluation " << i;
    }
}
