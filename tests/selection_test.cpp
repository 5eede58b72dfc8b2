// Selection, range, random and global memory functions: choices by percent, condition, match
// and recency, range mapping, random draws and the process-wide slots.
#include <cstdint>
#include <cstdlib>
#include <set>

#include "Func/Selection.h"
#include "frame_sequence_support.h"

namespace {

constexpr double kInt32Min = std::numeric_limits<std::int32_t>::min();

using Factory = std::unique_ptr<ZrFunctionI> (*)();

struct Case {
    const char* what;
    std::vector<double> args;
    double expected;
};

struct Table {
    const char* name;
    Factory factory;
    std::vector<Case> cases; // evaluated in order on one instance
};

TEST(Selection, ChoicesFollowTheirRulesAndRememberTheLastOne)
{
    const Table tables[] = {
        {"select", spawnOf<SelectFct>,
         {{"middle band", {50, 10, 20, 30}, 20},
          {"just into the second band", {34, 10, 20, 30}, 20},
          {"end of the first band", {33, 10, 20, 30}, 10},
          {"full percent is the last value", {100, 10, 20, 30}, 30},
          {"above 100 is the last value", {250, 10, 20, 30}, 30},
          {"below 0 is the first value", {-5, 10, 20, 30}, 10},
          {"percent is truncated first", {99.9, 10, 20}, 20},
          {"truncation keeps the first band", {49.9, 10, 20}, 10},
          {"NaN is the first value", {NaN, 10, 20, 30}, 10},
          {"no values", {5}, 0},
          {"no arguments", {}, 0}}},
        {"selectcondition", spawnOf<SelectConditionFct>,
         {{"nothing chosen yet", {0, 5, 0, 6}, 0},
          {"first true condition", {1, 5, 0, 6}, 5},
          {"keeps the last choice", {0, 5, 0, 6}, 5},
          {"NaN and negatives are false", {NaN, 1, -1, 2}, 5},
          {"trailing default", {0, 5, 0, 6, 7}, 7},
          {"the default is remembered", {0, 5, 0, 6}, 7},
          {"no arguments", {}, 0},
          {"no arguments leave the last choice", {0, 5}, 7},
          {"a lone argument is the default", {3}, 3}}},
        {"switch", spawnOf<SwitchFct>,
         {{"second case matches", {2, 1, 10, 2, 20}, 20},
          {"cases match within 0.0001", {2.00005, 2, 20}, 20},
          {"no match keeps the last result", {3, 1, 10, 2, 20}, 20},
          {"a single argument after the value is the default", {7, 5}, 5},
          {"trailing default", {3, 1, 10, 2, 20, 99}, 99},
          {"just outside the tolerance", {2.0002, 2, 20}, 99},
          {"value only", {1}, 0},
          {"no arguments", {}, 0},
          {"too few arguments leave the last result", {3, 1, 10}, 99}}},
        {"latestindex", spawnOf<LatestFct>,
         {{"nothing positive yet", {0, 0, 0}, 0},
          {"highest positive index", {0, 1, 1}, 2},
          {"none positive keeps the last", {0, 0, 0}, 2},
          {"no arguments keep the last", {}, 2},
          {"negatives and NaN are not positive", {1, -1, NaN}, 0}}},
        {"coalesce", spawnOf<CoalesceFct>,
         {{"skips zero and NaN", {0, NaN, 3, 4}, 3},
          {"skips infinities", {inf, -inf, 0, -2}, -2},
          {"all zero", {0, 0}, 0},
          {"no arguments", {}, 0}}},
        {"isbetween", spawnOf<IsBetweenFct>,
         {{"bounds are inclusive", {5, 5, 5}, 100},
          {"inside", {3, 0, 10}, 100},
          {"above", {11, 0, 10}, 0},
          {"crossed bounds", {5, 10, 0}, 0},
          {"NaN value", {NaN, 0, 10}, 0},
          {"NaN bound", {5, NaN, 10}, 0}}},
        {"restrain", spawnOf<RestrainFct>,
         {{"inside", {5, 0, 10}, 5},
          {"below", {-1, 0, 10}, 0},
          {"above", {11, 0, 10}, 10},
          {"crossed bounds give min", {5, 10, 0}, 10}}},
        {"scale", spawnOf<ScaleFct>,
         {{"midpoint", {15, 10, 20, 0, 100}, 50},
          {"above max holds at toMax", {25, 10, 20, 0, 100}, 100},
          {"below min holds at toMin", {5, 10, 20, 0, 100}, 0},
          {"reversed target range", {12, 10, 20, 100, 0}, 80}}},
        {"scale percent", spawnOf<ScalePercentFct>,
         {{"half", {50, 0, 10}, 5},
          {"above 100 is clamped", {150, 0, 10}, 10},
          {"below 0 is clamped", {-5, 2, 4}, 2},
          {"reversed target range", {25, 100, 0}, 75}}},
    };
    for (const Table& table : tables) {
        std::unique_ptr<ZrFunctionI> f = table.factory();
        for (const Case& c : table.cases)
            EXPECT_EQ(call(*f, c.args), c.expected) << table.name << ": " << c.what;
    }
}

TEST(Selection, RandomValuesScaleTheDrawnNumber)
{
    RandFct rand;
    RandMinMaxFct randMinMax;
    std::srand(3);
    const double r = zr::rand();
    std::srand(3);
    EXPECT_EQ(call(rand, {}), r / 32767.0 * 100.0);
    std::srand(3);
    EXPECT_EQ(call(randMinMax, {-5, 5}), 10.0 * (r / 32767.0) - 5.0);
}

TEST(Selection, RandomIntegersNeverRepeatTheLastDraw)
{
    std::srand(4);
    struct Range {
        double min, max;
        std::set<double> allowed;
    } ranges[] = {
        {0, 1, {0, 1, 2}}, // a top draw of 32767 lands one past max
        {0, 9, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {-3.7, -1.2, {-3, -2, -1, 0}},
    };
    for (const Range& range : ranges) {
        SCOPED_TRACE(range.min);
        RandIntFct randInt;
        std::set<double> seen;
        double previous = call(randInt, {range.min, range.max});
        for (int i = 0; i < 2000; ++i) {
            const double draw = call(randInt, {range.min, range.max});
            ASSERT_NE(draw, previous);
            ASSERT_TRUE(range.allowed.count(draw)) << draw;
            seen.insert(draw);
            previous = draw;
        }
        EXPECT_GE(seen.size() + 1, range.allowed.size());
    }
}

TEST(Selection, RandomIntegersWithASingleOutcomeRepeatIt)
{
    const Case cases[] = {
        {"one integer", {3, 3}, 3},
        {"crossed bounds give min", {5, 2}, 5},
        {"NaN bound", {NaN, 5}, kInt32Min},
        {"bounds beyond 32 bits", {1e10, 1e10 + 5}, kInt32Min},
    };
    for (const Case& c : cases) {
        RandIntFct randInt;
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(call(randInt, c.args), c.expected) << c.what;
    }
}

TEST(Selection, GlobalMemoryIsSharedAndGuardsItsIds)
{
    MemFct store;
    MemFct otherStore;
    RecallFct recall;

    EXPECT_EQ(zr::globalMemorySlot(57)->load(), 0.0) << "slots start at 0";
    EXPECT_EQ(call(recall, {57}), 0.0);

    EXPECT_EQ(call(store, {3, 7.5}), 7.5);
    EXPECT_EQ(call(recall, {3}), 7.5);
    EXPECT_EQ(zr::globalMemorySlot(3)->load(), 7.5);

    EXPECT_EQ(call(otherStore, {99, 42}), 42);
    EXPECT_EQ(call(store, {99.5, 1}), 0) << "above 99 stores nothing";
    EXPECT_EQ(call(recall, {99}), 42);

    EXPECT_EQ(call(store, {0.9, 1.25}), 1.25);
    EXPECT_EQ(zr::globalMemorySlot(0)->load(), 1.25);
    EXPECT_EQ(call(recall, {0.2}), 1.25);

    for (double badId : {-0.5, 100.0, NaN, inf, -inf}) {
        EXPECT_EQ(call(store, {badId, 5}), 0) << badId;
        EXPECT_EQ(call(recall, {badId}), 0) << badId;
    }
    EXPECT_EQ(zr::globalMemorySlot(0)->load(), 1.25);
    EXPECT_EQ(zr::globalMemorySlot(99)->load(), 42);
}

} // namespace
