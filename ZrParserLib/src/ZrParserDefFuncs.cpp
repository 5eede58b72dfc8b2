// The default operators and functions of a parser, with their texts and exact results.
#include "ZrParserDefFuncs.h"

#include <cmath>
#include <cstdint>

#include "ZrArithmetic.h"
#include "ZrConvFunctions.h"
#include "ZrIfFct.h"
#include "zrparser/ZrPlatform.h"
#include "zrparser/ZrSignalBuiltins.h"

using namespace zr;

namespace {

template <class T>
ZrOperatorI* makeOp()
{
    return new T();
}

template <class T>
ZrFunctionI* makeFunc()
{
    return new T();
}

} // namespace

// ---- operators ----------------------------------------------------------------------------

const ZrOperatorInfo AddOp::info{L"+", nullptr, L"x + y", L"Addition operator", 500, false};
const ZrOperatorInfo UnaryAddOp::info{L"+", L"unaryAdd", L"+x", L"Unary addition operator", 800, true};
const ZrOperatorInfo MinusOp::info{L"-", L"minus", L"x - y", L"Minus operator", 500, false};
const ZrOperatorInfo MultOp::info{L"*", nullptr, L"x * y", L"Multiplication operator", 600, false};
const ZrOperatorInfo DivOp::info{L"/", nullptr, L"x / y", L"Division operator", 600, false};
const ZrOperatorInfo ExpOp::info{L"^", nullptr, L"x ^ y", L"Power operator. Calculates x raised to the power of y", 700, false};
const ZrOperatorInfo UnaryMinusOp::info{L"-", L"unaryMinus", L"-x", L"Unary minus operator", 800, true};
const ZrOperatorInfo ModuloOp::info{L"%", nullptr, L"x % y", L"Modulo; find remainder of the division of x by y", 600, false};
const ZrOperatorInfo GreaterThanOp::info{L">", nullptr, L"x > y",
                                   L"Greater than logical operator.  Returns 100% if true, 0% if false.", 400, false};
const ZrOperatorInfo LesserThanOp::info{L"<", nullptr, L"x < y",
                                  L"Lesser than logical operator.  Returns 100% if true, 0% if false.", 400, false};
const ZrOperatorInfo GreaterEqualThanOp::info{
    L">=", nullptr, L"x >= y", L"Greater than or equal logical operator.  Returns 100% if true, 0% if false.", 400, false};
const ZrOperatorInfo LesserEqualThanOp::info{
    L"<=", nullptr, L"x <= y", L"Lesser than or equal logical operator.  Returns 100% if true, 0% if false.", 400, false};
const ZrOperatorInfo NotEqualOp::info{L"!=", nullptr, L"x != y",
                                L"Not equal logical operator.  Returns 100% if true, 0% if false.", 300, false};
const ZrOperatorInfo EqualOp::info{L"==", nullptr, L"x == y", L"Equal logical operator.  Returns 100% if true, 0% if false.",
                             300, false};
const ZrOperatorInfo AndOp::info{L"&", nullptr, L"x & y", L"And logical operator.  Returns 100% if true, 0% if false.", 200,
                           false};
const ZrOperatorInfo OrOp::info{L"|", nullptr, L"x | y", L"Or logical operator.  Returns 100% if true, 0% if false.", 100,
                          false};
const ZrOperatorInfo NotOp::info{L"!", nullptr, L"!x", L"Not logical operator. Returns 100% if x is 0%, else returns 1", 800,
                           true};

double AddOp::evaluate(unsigned, const double* a) { return kernel::add(a[0], a[1]); }
double UnaryAddOp::evaluate(unsigned, const double* a) { return a[0]; }
double MinusOp::evaluate(unsigned, const double* a) { return kernel::subtract(a[0], a[1]); }
double MultOp::evaluate(unsigned, const double* a) { return kernel::multiply(a[0], a[1]); }
double DivOp::evaluate(unsigned, const double* a) { return kernel::divide(a[0], a[1]); }
double ExpOp::evaluate(unsigned, const double* a) { return kernel::power(a[0], a[1]); }
double UnaryMinusOp::evaluate(unsigned, const double* a) { return kernel::negate(a[0]); }
double ModuloOp::evaluate(unsigned, const double* a) { return kernel::remainder(a[0], a[1]); }
double GreaterThanOp::evaluate(unsigned, const double* a) { return kernel::greater(a[0], a[1]); }
double LesserThanOp::evaluate(unsigned, const double* a) { return kernel::less(a[0], a[1]); }
double GreaterEqualThanOp::evaluate(unsigned, const double* a) { return kernel::greaterOrEqual(a[0], a[1]); }
double LesserEqualThanOp::evaluate(unsigned, const double* a) { return kernel::lessOrEqual(a[0], a[1]); }
double NotEqualOp::evaluate(unsigned, const double* a) { return kernel::notEqual(a[0], a[1]); }
double EqualOp::evaluate(unsigned, const double* a) { return kernel::equal(a[0], a[1]); }
double AndOp::evaluate(unsigned, const double* a) { return kernel::logicalAnd(a[0], a[1]); }
double OrOp::evaluate(unsigned, const double* a) { return kernel::logicalOr(a[0], a[1]); }
double NotOp::evaluate(unsigned, const double* a) { return kernel::logicalNot(a[0]); }

// ---- functions ----------------------------------------------------------------------------

const ZrFunctionInfo RoundFct::info{L"round", nullptr, L"round(x)", L"Round the fractional part of a number", 1, true, true};
const ZrFunctionInfo ArcSinFct::info{L"asin", nullptr, L"asin(rad)", L"Arcsine", 1, true, true};
const ZrFunctionInfo SinhFct::info{L"sinh", nullptr, L"sinh(rad)", L"Hyperbolic sine", 1, true, true};
const ZrFunctionInfo ArcCosFct::info{L"acos", nullptr, L"acos(rad)", L"Arccosine", 1, true, true};
const ZrFunctionInfo CoshFct::info{L"cosh", nullptr, L"cosh(rad)", L"Hyperbolic cosine", 1, true, true};
const ZrFunctionInfo TanFct::info{L"tan", nullptr, L"tan(rad)", L"Tangent", 1, true, true};
const ZrFunctionInfo ArcTanFct::info{L"atan", nullptr, L"atan(rad)", L"Arctangent", 1, true, true};
const ZrFunctionInfo TanhFct::info{L"tanh", nullptr, L"tanh(rad)", L"Hyperbolic tangent", 1, true, true};
const ZrFunctionInfo SqrtFct::info{L"sqrt", nullptr, L"sqrt(x)", L"Square root", 1, true, true};
const ZrFunctionInfo MinUndefFct::info{L"min", L"minUndef", L"min(v1,v2,v3,...)", L"Return the smallest value.", -1, true,
                                  true};
const ZrFunctionInfo MinFct::info{L"min", L"min2", L"min(x,y)", L"Return smaller of two values", 2, true, true};
const ZrFunctionInfo Min3Fct::info{L"min", L"min3", L"min(x,y,z)", L"Return smaller of three values", 3, true, true};
const ZrFunctionInfo MaxUndefFct::info{L"max", L"maxUndef", L"max(v1,v2,v3,...)", L"Return the largest value", -1, true,
                                  true};
const ZrFunctionInfo MaxFct::info{L"max", L"max2", L"max(x,y)", L"Return larger of two values", 2, true, true};
const ZrFunctionInfo Max3Fct::info{L"max", L"max3", L"max(x,y,z)", L"Return larger of three values", 3, true, true};
const ZrFunctionInfo AbsFct::info{L"abs", nullptr, L"abs(x)", L"Absolute value", 1, true, true};
const ZrFunctionInfo CeilFct::info{L"ceil", nullptr, L"ceil(x)", L"Return the least succeeding integer", 1, true, true};
const ZrFunctionInfo FloorFct::info{L"floor", nullptr, L"floor(x)", L"Return the greatest preceding integer", 1, true, true};
const ZrFunctionInfo LogFct::info{L"log", nullptr, L"log(x)", L"Natural logarithm", 1, true, true};
const ZrFunctionInfo Log10Fct::info{L"log10", nullptr, L"log10(x)", L"Base-10 logarithm", 1, true, true};
const ZrFunctionInfo AvgFct::info{L"avg", nullptr, L"avg(v1,v2,v3,...)", L"Return the average of a set of values", -1, true,
                             true};
const ZrFunctionInfo SumFct::info{L"sum", nullptr, L"sum(v1,v2,v3,...)", L"Return the sum of a set of values", -1, true, true};
const ZrFunctionInfo FactorialFct::info{L"fact", nullptr, L"fact(x)",
                                   L"Return the factorial of x: x*(x-1)*(x-2)*...(x-x+1)", 1, true, true};
const ZrFunctionInfo IsNaNFct::info{L"isNaN", nullptr, L"isNan(value)", L"Return 1 if the number is a NaN value.", 1, true,
                               true};
const ZrFunctionInfo IsFiniteFct::info{L"isFinite", nullptr, L"isFinite(value)", L"Return 1 if the number is finite.", 1,
                                  true, true};

double RoundFct::evaluate(unsigned, const double* a)
{
    return kernel::roundHalfAway(a[0]);
}

double ArcSinFct::evaluate(unsigned, const double* a) { return kernel::arcSine(a[0]); }
double SinhFct::evaluate(unsigned, const double* a) { return kernel::hyperbolicSine(a[0]); }
double ArcCosFct::evaluate(unsigned, const double* a) { return kernel::arcCosine(a[0]); }
double CoshFct::evaluate(unsigned, const double* a) { return kernel::hyperbolicCosine(a[0]); }
double TanFct::evaluate(unsigned, const double* a) { return kernel::tangent(a[0]); }
double ArcTanFct::evaluate(unsigned, const double* a) { return kernel::arcTangent(a[0]); }
double TanhFct::evaluate(unsigned, const double* a) { return kernel::hyperbolicTangent(a[0]); }
double SqrtFct::evaluate(unsigned, const double* a) { return kernel::squareRoot(a[0]); }
double AbsFct::evaluate(unsigned, const double* a) { return kernel::absolute(a[0]); }
double CeilFct::evaluate(unsigned, const double* a) { return kernel::ceiling(a[0]); }
double FloorFct::evaluate(unsigned, const double* a) { return kernel::floorOf(a[0]); }
double LogFct::evaluate(unsigned, const double* a) { return kernel::naturalLog(a[0]); }
double Log10Fct::evaluate(unsigned, const double* a) { return kernel::decimalLog(a[0]); }
double IsNaNFct::evaluate(unsigned, const double* a) { return kernel::isNaN(a[0]); }
double IsFiniteFct::evaluate(unsigned, const double* a) { return kernel::isFinite(a[0]); }

double MinFct::evaluate(unsigned, const double* a) { return kernel::minimum(a[0], a[1]); }
double MaxFct::evaluate(unsigned, const double* a) { return kernel::maximum(a[0], a[1]); }

double Min3Fct::evaluate(unsigned, const double* a)
{
    return kernel::minimum3(a[0], a[1], a[2]);
}

double Max3Fct::evaluate(unsigned, const double* a)
{
    return kernel::maximum3(a[0], a[1], a[2]);
}

// A NaN first argument stays the result; later NaNs are passed over. No arguments: NaN.
double MinUndefFct::evaluate(unsigned n, const double* a)
{
    if (n == 0)
        return zr::nan();
    double m = a[0];
    for (unsigned i = 1; i < n; ++i)
        if (a[i] < m)
            m = a[i];
    return m;
}

double MaxUndefFct::evaluate(unsigned n, const double* a)
{
    if (n == 0)
        return zr::nan();
    double m = a[0];
    for (unsigned i = 1; i < n; ++i)
        if (a[i] > m)
            m = a[i];
    return m;
}

double SumFct::evaluate(unsigned n, const double* a)
{
    double sum = 0.0;
    for (unsigned i = 0; i < n; ++i)
        sum += a[i];
    return sum;
}

// No arguments: 0 / 0.
double AvgFct::evaluate(unsigned n, const double* a)
{
    double sum = 0.0;
    for (unsigned i = 0; i < n; ++i)
        sum += a[i];
    return sum / static_cast<double>(n);
}

double FactorialFct::evaluate(unsigned, const double* a)
{
    return kernel::factorial(a[0]);
}

// ---- definition order ---------------------------------------------------------------------

std::span<const ZrOperatorMaker> zrDefaultOperators()
{
    static constexpr ZrOperatorMaker operators[] = {
        &makeOp<AddOp>,          &makeOp<UnaryAddOp>,    &makeOp<MinusOp>,           &makeOp<MultOp>,
        &makeOp<DivOp>,          &makeOp<ExpOp>,         &makeOp<UnaryMinusOp>,      &makeOp<ModuloOp>,
        &makeOp<GreaterThanOp>,  &makeOp<LesserThanOp>,  &makeOp<GreaterEqualThanOp>, &makeOp<LesserEqualThanOp>,
        &makeOp<NotEqualOp>,     &makeOp<EqualOp>,       &makeOp<AndOp>,             &makeOp<OrOp>,
        &makeOp<NotOp>,
    };
    return operators;
}

std::span<const ZrFunctionMaker> zrDefaultFunctions()
{
    // "__sin", "__cos" and both "rand" are the signal functions the plug-in's catalogue shares.
    static constexpr ZrFunctionMaker functions[] = {
        &makeFunc<RoundFct>,     &makeFunc<SinFct>,      &makeFunc<ArcSinFct>,     &makeFunc<SinhFct>,
        &makeFunc<CosFct>,       &makeFunc<ArcCosFct>,   &makeFunc<CoshFct>,       &makeFunc<TanFct>,
        &makeFunc<ArcTanFct>,    &makeFunc<TanhFct>,     &makeFunc<SqrtFct>,       &makeFunc<MinUndefFct>,
        &makeFunc<MinFct>,       &makeFunc<Min3Fct>,     &makeFunc<MaxUndefFct>,   &makeFunc<MaxFct>,
        &makeFunc<Max3Fct>,      &makeFunc<AbsFct>,      &makeFunc<RandFct>,       &makeFunc<RandMinMaxFct>,
        &makeFunc<CeilFct>,      &makeFunc<FloorFct>,    &makeFunc<LogFct>,        &makeFunc<Log10Fct>,
        &makeFunc<AvgFct>,       &makeFunc<SumFct>,      &makeFunc<FactorialFct>,  &makeFunc<IfFct>,
        &makeFunc<IsNaNFct>,     &makeFunc<IsFiniteFct>, &makeFunc<HexConvFunc>,   &makeFunc<BinConvFunc>,
    };
    return functions;
}
