// Change detectors, timeouts, the timer, the recorders, the delay line and the averager, driven
// evaluation by evaluation.
#include <cstdint>

#include "Func/ChangeTimingRecording.h"
#include "frame_sequence_support.h"

namespace {

// A fresh instance whose buffers exist, as after being placed into a compiled program.
template <class Fct>
std::unique_ptr<ZrFunctionI> compiled()
{
    auto fn = std::make_unique<Fct>();
    fn->onCompile(nullptr, nullptr);
    return fn;
}

TEST(ChangeAndTimeouts, FrameByFrameSequences)
{
    const Sequence cases[] = {
        {"delta of 5 7 7", compiled<DeltaFct>, {{5}, {7}, {7}}, {5, 2, 0}},
        {"delta skips an unusable value", compiled<DeltaFct>, {{5}, {NaN}, {8}, {-inf}, {6}}, {5, 0, 3, 0, -2}},
        {"onchange pulses first, then once the drift reaches 0.00001", compiled<OnChangeFct>,
         {{0}, {0}, {0.000004}, {0.000008}, {0.000012}, {NaN}, {0.000012}}, {100, 0, 0, 0, 100, 0, 0}},
        {"onchange with threshold 10 keeps it through unusable thresholds", compiled<OnChangeThresholdFct>,
         {{0, 10}, {4, 10}, {8, 10}, {12, 10}, {21, NaN}, {22, inf}, {22.5, 0.5}},
         {100, 0, 0, 100, 0, 100, 100}},
        {"timeout pulses every 3 idle evaluations", compiled<TimeoutFct>,
         {{3, 0}, {3, 0}, {3, 0}, {3, 0}, {3, 0}, {3, 0}}, {0, 0, 100, 0, 0, 100}},
        {"timeout restarts on a positive value", compiled<TimeoutFct>,
         {{3, 0}, {3, 0}, {3, 5}, {3, 0}, {3, 0}, {3, 0}}, {0, 0, 0, 0, 0, 100}},
        {"timeout with time 0 or NaN never pulses", compiled<TimeoutFct>,
         {{0, 0}, {0, 0}, {NaN, 0}, {NaN, 0}, {NaN, 0}}, {0, 0, 0, 0, 0}},
        {"timeoutoractive with time 0 always pulses", compiled<TimeoutOrActiveFct>, {{0, 0}, {0, 0}, {0, -1}},
         {100, 100, 100}},
        {"timeoutoractive pulses while active and after 3 idle evaluations", compiled<TimeoutOrActiveFct>,
         {{3, 100}, {3, 100}, {3, 0}, {3, 0}, {3, 0}, {NaN, 0}, {NaN, 1}}, {100, 100, 0, 0, 100, 0, 100}},
        {"averager over 1 follows the value", compiled<AveragerFct>, {{1, 3}, {1, 7}, {0.5, -2}}, {3, 7, -2}},
        {"averager over 4 moves a quarter of the way", compiled<AveragerFct>,
         {{4, NaN}, {4, 0}, {4, 100}, {inf, 0}, {4, 100}}, {zr::UNDEFINED_MARKER, 0, 25, 25, 43.75}},
    };
    for (const Sequence& c : cases)
        expectSequence(c);
}

std::uint64_t simulatedNow = 0;
std::uint64_t simulatedClock() { return simulatedNow; }

class TimerOnSimulatedClock : public ::testing::Test {
protected:
    void SetUp() override { zr::setTickSource(&simulatedClock); }
    void TearDown() override { zr::setTickSource(nullptr); }
};

TEST_F(TimerOnSimulatedClock, FrameByFrameSequences)
{
    struct Step {
        std::uint64_t atMs; // since the first evaluation
        double period;
        double reset;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<double> expected;
    } cases[] = {
        {"period 2 returns exactly 0 once at each wrap",
         {{0, 2, 0}, {300, 2, 0}, {1800, 2, 0}, {2100, 2, 0}, {2400, 2, 0}, {3900, 2, 0}, {4100, 2, 0}},
         {0, 0.3, 1.8, 0, 0.4, 1.9, 0}},
        {"changing the period from 2 to 3 keeps the phase",
         {{0, 2, 0}, {1500, 2, 0}, {1800, 3, 0}, {2900, 3, 0}, {3100, 3, 0}, {3500, 3, 0}},
         {0, 1.5, 1.8, 2.9, 0, 0.5}},
        {"period 0, negative or unusable counts without limit",
         {{0, 0, 0}, {1000000, 0, 0}, {1001500, -2, 0}, {1002000, NaN, 0}, {1003000, inf, 0}},
         {0, 1000, 1001.5, 1002, 1003}},
        {"a positive reset restarts it", {{0, 0, 0}, {1000, 0, 100}, {1250, 0, 0}, {2000, 0, 100}},
         {0, 0, 0.25, 0}},
        {"an auto reset period set later starts the timer again", {{0, 0, 0}, {5000, 1, 0}, {5700, 1, 0}},
         {0, 0, 0.7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Timer2Fct timer;
        std::vector<double> out;
        for (const Step& s : c.steps) {
            simulatedNow = 7000000 + s.atMs;
            out.push_back(call(timer, {s.period, s.reset}));
        }
        EXPECT_EQ(out, c.expected);
    }
}

TEST(Record, PlaysTheTakeBackInALoopWithInterpolation)
{
    auto rec = compiled<RecordFct>();
    EXPECT_EQ(call(*rec, {0, 9, 1}), 0.0) << "nothing recorded yet";
    EXPECT_EQ(callEach(*rec, {{1, 1, 1}, {1, 2, 1}, {1, 3, 1}}), (std::vector<double>{1, 2, 3}));
    std::vector<Args> halfSpeed(9, Args{0, 0, 0.5});
    EXPECT_EQ(callEach(*rec, halfSpeed), (std::vector<double>{1, 1.5, 2, 2.5, 3, 2, 1, 1.5, 2}));
    EXPECT_EQ(callEach(*rec, {{0, 0, -1}, {0, 0, 0}, {0, 0, 0}, {0, 0, 1}, {0, 0, 1}}),
              (std::vector<double>{2.5, 1, 1, 1, 2}))
        << "a negative increment holds the position, 0 rewinds to the first sample";

    EXPECT_EQ(callEach(*rec, {{1, 7, 1}, {1, 8, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}),
              (std::vector<double>{7, 8, 7, 8, 7}))
        << "a new take replaces the old one";
}

TEST(RecordOnChange, StoresDistinctValuesAndStepsByHand)
{
    auto rec = compiled<RecordOnChangeFct>();
    EXPECT_EQ(callEach(*rec, {{1, 1, 0, 0, 0}, {1, 1, 0, 0, 0}, {1, 2, 0, 0, 0}, {1, 2, 0, 0, 0}, {1, 3, 0, 0, 0}}),
              (std::vector<double>{1, 1, 2, 2, 3}));
    // Argss: {isRecording, value, goNext, goBack, reset}; each result is the value before the step.
    EXPECT_EQ(callEach(*rec, {{0, 0, 0, 0, 0},
                             {0, 0, 0, 1, 0},  // back from the first goes to the last
                             {0, 0, 0, 0, 0},
                             {0, 0, 1, 1, 0},  // both hold
                             {0, 0, 1, 0, 0},  // next from the last goes to the first
                             {0, 0, 1, 0, 0},
                             {0, 0, 0, 0, 1}}), // reset before reading
              (std::vector<double>{1, 1, 3, 3, 3, 1, 1}));

    // 5, 5, 6, 6, 5 keeps 5, 6, 5.
    callEach(*rec, {{1, 5, 0, 0, 0}, {1, 5, 0, 0, 0}, {1, 6, 0, 0, 0}, {1, 6, 0, 0, 0}, {1, 5, 0, 0, 0}});
    EXPECT_EQ(callEach(*rec, std::vector<Args>(4, Args{0, 0, 1, 0, 0})), (std::vector<double>{5, 6, 5, 5}));
}

// A take of a whole number of buffer lengths leaves the buffer full of its latest values in
// order, and all of them play; one value more leaves a one-sample take.
TEST(Recorders, TakesThatFillTheBufferExactlyPlayTheWholeBuffer)
{
    const struct {
        std::function<std::unique_ptr<ZrFunctionI>()> make;
        std::uint32_t capacity;
    } recorders[] = {{compiled<RecordFct>, RecordFct::capacity},
                     {compiled<RecordOnChangeFct>, RecordOnChangeFct::capacity}};
    for (const auto& r : recorders) {
        for (std::uint32_t takeLength : {r.capacity, 2 * r.capacity, r.capacity + 1}) {
            auto fn = r.make();
            Args row(static_cast<std::size_t>(fn->getNbArgs()), 0.0);
            row[0] = 1; // recording
            row[2] = 1; // then playing forward one sample per evaluation
            for (std::uint32_t i = 0; i < takeLength; ++i) {
                row[1] = i;
                call(*fn, row);
            }
            row[0] = 0;
            const std::uint32_t played = takeLength % r.capacity == 0 ? r.capacity : takeLength % r.capacity;
            for (std::uint32_t i = 0; i <= played; ++i)
                ASSERT_EQ(call(*fn, row), takeLength - played + i % played) << "take " << takeLength << " at " << i;
        }
    }
}

TEST(Delay, GrowsAndShrinksOneStepPerEvaluation)
{
    auto delay = compiled<DelayFct>();
    EXPECT_EQ(callEach(*delay, {{3, 10}, {3, 20}, {3, 30}, {3, 40}, {3, 50}, {3, 60}}),
              (std::vector<double>{10, 10, 10, 10, 20, 30}))
        << "passes the first value, holds it while growing, then lags by three";
    EXPECT_EQ(callEach(*delay, {{1, 70}, {1, 80}, {1, 90}, {1, 100}}), (std::vector<double>{40, 60, 80, 90}))
        << "shrinking skips one sample per step";
    EXPECT_EQ(callEach(*delay, {{0, 110}, {2.6, 120}, {2.6, 130}, {2.6, 140}, {2.6, 150}, {2.6, 160}}),
              (std::vector<double>{110, 120, 120, 120, 120, 130}))
        << "a delay of 0 restarts the line and passes the current value; 2.6 rounds to 3";
}

TEST(Delay, LongestDelayLagsByTheWholeRing)
{
    for (double requested : {2400.0, 1e6}) {
        auto delay = compiled<DelayFct>();
        for (int k = 0; k < 3 * DelayFct::capacity; ++k)
            ASSERT_EQ(call(*delay, {requested, static_cast<double>(k)}), std::max(0, k - DelayFct::capacity)) << k;
    }
}

} // namespace
