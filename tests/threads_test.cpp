// Parsers on different threads are independent: each loads the signal plug-in, compiles and
// runs its formulas while the others do the same, and shares only the global memory, the random
// generator and the class table, which are safe to use from several threads.
#include <thread>
#include <vector>

#include "engine_test_support.h"

namespace {

constexpr int NB_THREADS = 4;
constexpr int NB_FRAMES = 2000;

// Frame-driven formulas give the same sequence on every thread as on one thread alone. The
// global memory slot `slot` is written and read back by one thread only (the difference is 0
// unless another thread wrote there), while every thread writes and reads slot 99.
const wchar_t* const FORMULA =
    L"counter(0, 7, 1) + __sin(0.1) * 50 + __triangle(0.2) + (grecall(gmem(slot, frame + slot) * 0 + slot) - frame - slot)"
    L" + 0 * (rand() + rand(1, 2) + gmem(99, slot) + grecall(99))";

// The values of FORMULA over NB_FRAMES frames in a fresh parser with the plug-in.
std::vector<double> runFormula(double slot)
{
    ZrParser parser;
    makeRoomForSignalPlugin(parser);
    parser.loadPlugin(L"ZrSignalPlugin.SignalPlugin");
    double frame = 0;
    parser.defineConst(L"slot", slot);
    parser.defineVar(L"frame", &frame);
    parser.compile(FORMULA);
    std::vector<double> values;
    for (int i = 0; i < NB_FRAMES; ++i) {
        frame = i;
        values.push_back(parser.evaluate());
    }
    return values;
}

} // namespace

TEST(Threads, ParsersWithThePluginRunSideBySide)
{
    const std::vector<double> alone = runFormula(10);
    std::vector<std::vector<double>> results(NB_THREADS);
    std::vector<std::thread> threads;
    for (int t = 0; t < NB_THREADS; ++t)
        threads.emplace_back([&results, t] { results[t] = runFormula(10 + t); });
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < NB_THREADS; ++t) {
        SCOPED_TRACE("thread " + std::to_string(t));
        ASSERT_EQ(results[t].size(), alone.size());
        for (std::size_t i = 0; i < alone.size(); ++i)
            ASSERT_EQ(results[t][i], alone[i]) << "frame " << i;
    }
}
