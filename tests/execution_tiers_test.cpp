// Every execution tier against the reference loop: random expressions over operators, default
// functions, host variables, constants and stateful plug-in functions, run frame by frame with
// moving inputs. Each tier must give the same doubles (NaN as NaN, the sign of zero included),
// the same errors and the same calls, in the same order, with the same arguments.
#include <bit>
#include <cstdlib>
#include <random>

#include "ZrArithmetic.h"
#include "engine_test_support.h"
#include "zrparser/ZrFormulaInstances.h"

namespace {

constexpr ZrExecutionTier TIERS[] = {ZrExecutionTier::Reference, ZrExecutionTier::Interpreter,
                                     ZrExecutionTier::MachineCode};
constexpr int NB_FRAMES = 24;

// Inputs that reach the strange cases: signed zeros, NaN, infinities, tiny and huge values.
constexpr double INPUTS[] = {0.0, -0.0, 1.0, -1.0, 0.5, 2.5, 100.0, -37.25, 1e-310, 1e308, -1e308,
                             std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(), 3.0, 50.0, 99.0, 7.0};

class ExpressionMaker {
public:
    explicit ExpressionMaker(unsigned seed) : random_(seed) {}

    std::wstring make(int depth)
    {
        if (depth <= 0 || pick(4) == 0)
            return leaf();
        switch (pick(5)) {
        case 0:
            return L"(" + make(depth - 1) + binaryOperator() + make(depth - 1) + L")";
        case 1:
            return unaryOperator() + L"(" + make(depth - 1) + L")";
        case 2:
            return function(depth);
        case 3:
            return stateful(depth);
        default:
            return make(depth - 1) + binaryOperator() + make(depth - 1);
        }
    }

private:
    unsigned pick(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(random_); }

    std::wstring leaf()
    {
        static const wchar_t* leaves[] = {L"x", L"y", L"z", L"x", L"y", L"0", L"1", L"2", L"2.5", L"100", L"0.1", L"k", L"NaN"};
        return leaves[pick(std::size(leaves))];
    }
    std::wstring binaryOperator()
    {
        static const wchar_t* ops[] = {L"+", L"-", L"*", L"/", L"^", L"%", L">", L"<", L">=", L"<=", L"==", L"!=", L"&", L"|"};
        return ops[pick(std::size(ops))];
    }
    std::wstring unaryOperator()
    {
        static const wchar_t* ops[] = {L"-", L"!", L"+"};
        return ops[pick(std::size(ops))];
    }
    std::wstring function(int depth)
    {
        static const wchar_t* one[] = {L"abs", L"sqrt", L"floor", L"ceil", L"round", L"log", L"log10", L"asin", L"acos",
                                       L"atan", L"sinh", L"cosh", L"tanh", L"tan", L"isNaN", L"isFinite", L"fact"};
        static const wchar_t* two[] = {L"min", L"max", L"rand"};
        static const wchar_t* many[] = {L"min", L"max", L"sum", L"avg"};
        const std::wstring a = make(depth - 1);
        switch (pick(5)) {
        case 0:
            return two[pick(std::size(two))] + (L"(" + a + L", " + make(depth - 1) + L")");
        case 1:
            return many[pick(std::size(many))] + (L"(" + a + L", " + make(depth - 1) + L", " + make(depth - 1) + L")");
        case 2:
            return L"if(" + a + L", " + make(depth - 1) + L", " + make(depth - 1) + L")";
        case 3:
            return L"rec(" + a + L")";
        default:
            return one[pick(std::size(one))] + (L"(" + a + L")");
        }
    }
    std::wstring stateful(int depth)
    {
        const std::wstring a = make(depth - 1);
        switch (pick(7)) {
        case 0:
            return L"counter(0, 7, " + a + L")";
        case 1:
            return L"__sin(" + a + L" * 0.01)";
        case 2:
            return L"__fadeoutlinear(12, " + a + L")";
        case 3:
            return L"latch(" + a + L", " + make(depth - 1) + L")";
        case 4:
            return L"loop(2, 0.5, " + a + L", x * 2)";
        case 5:
            return L"delta(" + a + L")";
        default:
            return L"rand()";
        }
    }

    std::mt19937 random_;
};

// What one tier produced: every value, every recorded call, or the error.
struct TierRun {
    std::vector<double> values;
    std::vector<double> calls;
    std::wstring error;
    ZrExecutionTier ran = ZrExecutionTier::Reference;
};

// The items every run defines: the signal plug-in, the frame's time step, rec() writing into
// `calls`, and the variables x, y and z, which move frame by frame through the strange inputs.
struct TestHost {
    double timeIncrement = zr::TWO_PI / 40.0;
    double x = 0, y = 0, z = 0;

    TestHost(ZrParser& parser, std::vector<double>& calls)
    {
        makeRoomForSignalPlugin(parser);
        parser.loadPlugin(L"ZrSignalPlugin.SignalPlugin");
        parser.defineFunc(new TimeIncrementFct(&timeIncrement));
        parser.defineFunc(new RecordingFct(&calls));
        parser.defineVar(L"x", &x);
        parser.defineVar(L"y", &y);
        parser.defineVar(L"z", &z);
    }

    void moveTo(int frame)
    {
        x = INPUTS[frame % std::size(INPUTS)];
        y = INPUTS[(frame * 7 + 3) % std::size(INPUTS)];
        z = frame * 0.25 - 2;
    }
};

TierRun runAtTier(ZrExecutionTier tier, const std::wstring& expr)
{
    ZrParser::setDefaultExecutionTier(tier);
    TierRun run;
    ZrParser parser;
    TestHost items(parser, run.calls);
    parser.defineConst(L"k", -0.0);
    try {
        parser.compile(expr.c_str());
    } catch (const ZrParserException& e) {
        run.error = e.getDescription();
        return run;
    }
    run.ran = parser.isConstant() ? tier : parser.getExecutionTier();
    std::srand(7);
    for (int frame = 0; frame < NB_FRAMES; ++frame) {
        items.moveTo(frame);
        run.values.push_back(parser.evaluate());
    }
    return run;
}

bool identical(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

void expectSameRuns(const TierRun& reference, const TierRun& other)
{
    ASSERT_EQ(other.error, reference.error);
    ASSERT_EQ(other.values.size(), reference.values.size());
    for (std::size_t i = 0; i < reference.values.size(); ++i)
        ASSERT_PRED2(identical, other.values[i], reference.values[i]) << "frame " << i;
    ASSERT_EQ(other.calls.size(), reference.calls.size());
    for (std::size_t i = 0; i < reference.calls.size(); ++i)
        ASSERT_PRED2(identical, other.calls[i], reference.calls[i]) << "call " << i;
}

class ExecutionTiers : public ::testing::Test {
protected:
    void TearDown() override { ZrParser::setDefaultExecutionTier(ZrExecutionTier::MachineCode); }
};

} // namespace

TEST_F(ExecutionTiers, RandomExpressionsGiveTheReferenceValuesAndCalls)
{
    ExpressionMaker maker(20261206);
    int compiled = 0;
    for (int n = 0; n < 1500; ++n) {
        const std::wstring expr = maker.make(1 + n % 5);
        SCOPED_TRACE(narrow(expr));
        const TierRun reference = runAtTier(ZrExecutionTier::Reference, expr);
        compiled += reference.error.empty() ? 1 : 0;
        for (ZrExecutionTier tier : TIERS) {
            SCOPED_TRACE(static_cast<int>(tier));
            const TierRun run = runAtTier(tier, expr);
            if (run.error.empty() && zr::codeGenerator()) {
                ASSERT_EQ(run.ran, tier) << "the tier asked for ran";
            }
            expectSameRuns(reference, run);
            if (HasFatalFailure())
                return;
        }
    }
    EXPECT_GT(compiled, 1000) << "the maker writes mostly valid expressions";
}

namespace {

enum class InstanceWay { ChildParsers, OneByOne, AllAtOnce };

// Three instances of one expression, whose constant k is -0, 2.5 and NaN, evaluated in turn
// each frame: as child parsers of one host, or as the instances of one formula, evaluated one
// by one or all in one call (machine code looping over them).
TierRun runInstances(const std::wstring& expr, InstanceWay way, int* shared = nullptr)
{
    const bool asOneFormula = way != InstanceWay::ChildParsers;
    TierRun run;
    ZrParser host;
    TestHost items(host, run.calls);
    host.defineMacro(L"step(a)", L"counter(0, 3, a) + rec(a)", L"");
    const double constants[] = {-0.0, 2.5, std::numeric_limits<double>::quiet_NaN()};
    std::srand(3); // spawning draws from the random sequence too
    ZrFormulaInstances instances(host, expr, {L"k"});
    std::vector<std::unique_ptr<ZrParser>> children;
    try {
        for (double k : constants) {
            if (asOneFormula) {
                instances.add(std::span(&k, 1));
            } else {
                children.push_back(std::make_unique<ZrParser>(host.getCompiler(), host.getRegistrar(), true));
                children.back()->defineConst(L"k", k);
                children.back()->compile(expr.c_str());
            }
        }
    } catch (const ZrParserException& e) {
        run.error = e.getDescription();
        return run;
    }
    if (shared && instances.isShared())
        ++*shared;
    std::srand(7);
    for (int frame = 0; frame < NB_FRAMES; ++frame) {
        items.moveTo(frame);
        double results[std::size(constants)];
        if (way == InstanceWay::AllAtOnce)
            instances.evaluate(0, std::size(constants), results);
        for (std::size_t i = 0; i < std::size(constants); ++i)
            run.values.push_back(way == InstanceWay::AllAtOnce ? results[i]
                                 : asOneFormula                ? instances.evaluate(i)
                                                               : children[i]->evaluate());
    }
    return run;
}

} // namespace

TEST(FormulaInstances, RandomExpressionsGiveWhatEachInstanceAloneGives)
{
    ExpressionMaker maker(20261207);
    int shared = 0;
    for (int n = 0; n < 600; ++n) {
        std::wstring expr = maker.make(1 + n % 5);
        if (n % 4 == 0)
            expr = L"step(" + expr + L") * k";
        SCOPED_TRACE(narrow(expr));
        const TierRun reference = runInstances(expr, InstanceWay::ChildParsers);
        expectSameRuns(reference, runInstances(expr, InstanceWay::OneByOne, &shared));
        expectSameRuns(reference, runInstances(expr, InstanceWay::AllAtOnce));
        if (HasFatalFailure())
            return;
    }
    EXPECT_GT(shared, 200) << "most expressions share one program";
}

// Plans compute x^2 without pow where the product is provably pow's double (the machine code
// with its own fused error check, which the random expressions of the test above exercise). Squares that lie
// exactly half-way between doubles (odd 27-bit mantissas) are the hardest cases: pow rounds
// about half of them the other way than x * x does.
TEST(SquareIdentity, GivesTheLibraryPowForTiesRandomAndSpecialValues)
{
    volatile double two = 2.0; // keeps the compiler from rewriting pow(x, 2) itself
    const auto expectPow = [&](double x) {
        const double wanted = std::pow(x, two);
        const double got = zr::kernel::squareAsPow(x);
        ASSERT_TRUE(identical(got, wanted)) << "x = " << x;
    };
    for (std::uint64_t m = 94906267; m < (1ull << 27); m += 64)
        for (int e : {-200, -60, 0, 40, 300})
            expectPow(std::ldexp(static_cast<double>(m), e));
    std::mt19937_64 random(11);
    for (int i = 0; i < 2000000; ++i) {
        expectPow(std::bit_cast<double>(random()));
        // The usual range of formulas, where the product is taken most often.
        expectPow(std::ldexp(1.0 + static_cast<double>(random() >> 11) * 0x1p-53, static_cast<int>(random() % 33) - 16));
    }
    for (double x : INPUTS)
        expectPow(x);
    for (double x : {0x1p-480, 0x1p480, 0x1p-540, 0x1p520, 3.0, 0x1p26 + 1, -0x1p26 - 1})
        expectPow(x);
}
