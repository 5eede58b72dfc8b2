// Latches and counters, evaluation by evaluation: holding, following, counting, wrapping,
// clamping, resets, and what unusable arguments do to their state.
#include "Func/LatchesAndCounters.h"
#include "frame_sequence_support.h"

namespace {

constexpr double kInt32Max = 2147483647.0;
constexpr double kInt32Min = -2147483648.0;

TEST(Latches, HoldAndFollowTheirInputs)
{
    const Sequence cases[] = {
        {"latch keeps its first value until updated, then passes updates through", &spawnOf<LatchFct>,
         {{0, 5}, {0, 7}, {-1, 9}, {100, 8}, {100, 6}, {0, 3}}, {5, 5, 5, 8, 6, 6}},
        {"latch with an initial value answers it until the first update", &spawnOf<LatchWithDefaultFct>,
         {{0, 5, 42}, {0, 6, 1}, {100, 7, 1}, {0, 8, 1}}, {42, 42, 7, 7}},
        {"latchdelta moves by the input's change since the update began", &spawnOf<LatchDeltaFct>,
         {{100, 0}, {100, 50}, {0, 99}, {100, 10}, {100, 30}, {0, 0}, {100, 80}, {100, 90}},
         {0, 50, 50, 50, 70, 70, 70, 80}},
        {"latchdelta clamps to 0..100 without accumulating the excess", &spawnOf<LatchDeltaFct>,
         {{100, 0}, {100, 250}, {100, 40}, {100, -30}, {100, 5}}, {0, 100, 40, 0, 5}},
        {"a lower bound given once stays while later ones are unusable", &spawnOf<LatchDeltaMinFct>,
         {{0, 0, 20}, {100, 50, NaN}, {100, 10, NaN}, {100, 10, -50}}, {20, 20, 20, -20}},
        {"an upper bound given once stays while later ones are unusable", &spawnOf<LatchDeltaMinMaxFct>,
         {{100, 0, NaN, 10}, {100, 30, NaN, 10}, {100, 30, -inf, inf}, {100, 30, NaN, 50}}, {0, 10, 10, 30}},
    };
    for (const Sequence& s : cases)
        expectSequence(s);
}

TEST(Counters, CountWrapAndClampEvaluationByEvaluation)
{
    const Sequence cases[] = {
        {"counter wraps from to back to from", &spawnOf<CounterFct>,
         {{0, 3, 100}, {0, 3, 100}, {0, 3, 100}, {0, 3, 100}, {0, 3, 100}}, {1, 2, 3, 0, 1}},
        {"counter starts at 0 when 0 lies in the range", &spawnOf<CounterFct>, {{-5, 5, 0}, {-5, 5, 0}}, {0, 0}},
        {"counter moves to the truncated from when 0 lies outside", &spawnOf<CounterFct>, {{1.9, 5, 0}}, {1}},
        {"counter with decrement starts at the truncated from", &spawnOf<CounterWithDecrementFct>,
         {{-5, 5, 0, 0}}, {-5}},
        {"counter with decrement truncates from toward zero", &spawnOf<CounterWithDecrementFct>,
         {{-1.5, 5, 0, 0}}, {-1}},
        {"counting down below from wraps to to", &spawnOf<CounterWithDecrementFct>,
         {{0, 3, 0, 100}, {0, 3, 0, 100}, {0, 3, 0, 100}, {0, 3, 0, 100}, {0, 3, 0, 100}}, {3, 2, 1, 0, 3}},
        {"increment and decrement together cancel out", &spawnOf<CounterWithDecrementFct>,
         {{0, 3, 100, 0}, {0, 3, 100, 100}, {0, 3, 100, 100}}, {1, 1, 1}},
        {"a reset jumps to from without counting; an unusable from leaves the count",
         &spawnOf<CounterWithDecrementAndResetFct>,
         {{0, 9, 100, 0, 0}, {0, 9, 100, 0, 0}, {3, 9, 100, 0, 100}, {NaN, 9, 100, 0, 100}, {0, 9, 100, 0, 0}},
         {1, 2, 3, 3, 4}},
        {"noloopcounter stops at to", &spawnOf<NoLoopCounterFct>,
         {{0, 3, 100}, {0, 3, 100}, {0, 3, 100}, {0, 3, 100}}, {1, 2, 3, 3}},
        {"noloopcounter with from above to alternates between the two", &spawnOf<NoLoopCounterFct>,
         {{5, 2, 0}, {5, 2, 0}, {5, 2, 0}, {5, 2, 0}}, {5, 2, 5, 2}},
        {"noloopcounter counting down stops at from", &spawnOf<NoLoopCounterWithDecrementFct>,
         {{0, 3, 100, 0}, {0, 3, 0, 100}, {0, 3, 0, 100}, {0, 3, 0, 100}}, {1, 0, 0, 0}},
        {"noloopcounter reset returns to from, then counts and clamps",
         &spawnOf<NoLoopCounterWithDecrementAndResetFct>,
         {{0, 2, 100, 0, 0}, {0, 2, 100, 0, 0}, {0, 2, 100, 0, 0}, {1, 2, 100, 0, 100}, {1, 2, 100, 0, 0}},
         {1, 2, 2, 1, 2}},
        {"pingcounter turns at each end, giving each end once", &spawnOf<PingCounterFct>,
         std::vector<Args>(10, Args{0, 3, 100}), {1, 2, 3, 2, 1, 0, 1, 2, 3, 2}},
        {"a pingcounter reset restarts upward from from", &spawnOf<PingCounterWithResetFct>,
         {{0, 3, 100, 0}, {0, 3, 100, 0}, {0, 3, 100, 0}, {0, 3, 100, 0}, {1, 3, 100, 100}, {1, 3, 100, 0},
          {NaN, 3, 100, 100}, {1, 3, 100, 0}},
         {1, 2, 3, 2, 1, 2, 2, 3}},
    };
    for (const Sequence& s : cases)
        expectSequence(s);
}

// Each instance is brought into a known state, then given unusable arguments: a counter keeps
// its count, latchdelta keeps its value, and the plain latches store what they are given.
TEST(LatchesAndCounters, UnusableArgumentsLeaveTheStateAsItWas)
{
    const Sequence cases[] = {
        {"latch stores NaN like any value", &spawnOf<LatchFct>, {{100, 4}, {100, NaN}, {0, 9}}, {4, NaN, NaN}},
        {"latch with an initial value stores NaN too", &spawnOf<LatchWithDefaultFct>,
         {{0, 1, NaN}, {100, 6, 0}}, {NaN, 6}},
        {"latchdelta", &spawnOf<LatchDeltaFct>, {{100, 0}, {100, 30}, {100, NaN}, {100, inf}, {100, 40}},
         {0, 30, 30, 30, 40}},
        {"counter", &spawnOf<CounterFct>, {{0, 9, 100}, {NaN, 9, 100}, {0, inf, 100}, {0, 9, 100}}, {1, 1, 1, 2}},
        {"counter with decrement, before its first count", &spawnOf<CounterWithDecrementFct>,
         {{-inf, 9, 0, 0}, {4, 9, 0, 0}}, {0, 4}},
        {"counter with reset", &spawnOf<CounterWithDecrementAndResetFct>,
         {{0, 9, 100, 0, 0}, {0, NaN, 100, 0, 0}, {0, 9, 100, 0, 0}}, {1, 1, 2}},
        {"noloopcounter", &spawnOf<NoLoopCounterFct>, {{0, 9, 100}, {inf, 9, 100}, {0, 9, 100}}, {1, 1, 2}},
        {"noloopcounter with decrement", &spawnOf<NoLoopCounterWithDecrementFct>,
         {{0, 9, 100, 0}, {0, -inf, 100, 0}, {0, 9, 100, 0}}, {1, 1, 2}},
        {"noloopcounter with reset", &spawnOf<NoLoopCounterWithDecrementAndResetFct>,
         {{0, 9, 100, 0, 0}, {NaN, 9, 100, 0, 0}, {NaN, 9, 0, 0, 100}, {0, 9, 100, 0, 0}}, {1, 1, 1, 2}},
        {"pingcounter keeps its direction", &spawnOf<PingCounterFct>,
         {{0, 2, 100}, {0, 2, 100}, {0, 2, 100}, {NaN, 2, 100}, {0, 2, 100}}, {1, 2, 1, 1, 0}},
        {"pingcounter with reset", &spawnOf<PingCounterWithResetFct>,
         {{0, 9, 100, 0}, {0, NaN, 100, 0}, {0, 9, 100, 0}}, {1, 1, 2}},
    };
    for (const Sequence& s : cases)
        expectSequence(s);
}

// A count pushed past the 32-bit range wraps around and is then brought back into its range.
TEST(Counters, CountingPastThe32BitRangeWrapsAround)
{
    const Sequence cases[] = {
        {"counter at the top", &spawnOf<CounterFct>,
         {{kInt32Max, 3e9, 100}, {kInt32Max, 3e9, 100}, {kInt32Max, 3e9, 100}}, {kInt32Max, kInt32Max, kInt32Max}},
        {"noloopcounter at the top", &spawnOf<NoLoopCounterFct>,
         {{kInt32Max, 3e9, 100}, {kInt32Max, 3e9, 100}}, {kInt32Max, kInt32Max}},
        {"counter counting down from the bottom", &spawnOf<CounterWithDecrementFct>,
         {{kInt32Min, 0, 0, 100}, {kInt32Min, 0, 0, 100}}, {kInt32Min, kInt32Min}},
        {"pingcounter at the top", &spawnOf<PingCounterFct>,
         {{kInt32Max, 3e9, 100}, {kInt32Max, 3e9, 100}}, {kInt32Max, kInt32Max}},
        {"pingcounter turning at the bottom", &spawnOf<PingCounterFct>,
         {{kInt32Min, kInt32Min, 100}}, {kInt32Max}},
    };
    for (const Sequence& s : cases)
        expectSequence(s);
}

} // namespace
