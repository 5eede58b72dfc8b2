// The default vocabulary of a parser: arithmetic, comparison and logical operators, and the
// library's own mathematical functions.
#pragma once

#include <span>

#include "zrparser/ZrFunctionBase.h"
#include "zrparser/ZrOperatorBase.h"

using ZrOperatorMaker = ZrOperatorI* (*)();
using ZrFunctionMaker = ZrFunctionI* (*)();

// In the order a default parser defines them.
std::span<const ZrOperatorMaker> zrDefaultOperators();
std::span<const ZrFunctionMaker> zrDefaultFunctions();

// ---- operators ----------------------------------------------------------------------------

#define ZR_DECLARE_OPERATOR(Class)                                                                  \
    class Class final : public ZrOperatorBase<Class> {                                            \
    public:                                                                                         \
        static const ZrOperatorInfo info;                                                                 \
        double evaluate(unsigned nbArgs, const double* args) override;                              \
    };

ZR_DECLARE_OPERATOR(AddOp)
ZR_DECLARE_OPERATOR(UnaryAddOp)
ZR_DECLARE_OPERATOR(MinusOp)
ZR_DECLARE_OPERATOR(MultOp)
ZR_DECLARE_OPERATOR(DivOp)
ZR_DECLARE_OPERATOR(ExpOp)
ZR_DECLARE_OPERATOR(UnaryMinusOp)
ZR_DECLARE_OPERATOR(ModuloOp)
ZR_DECLARE_OPERATOR(GreaterThanOp)
ZR_DECLARE_OPERATOR(LesserThanOp)
ZR_DECLARE_OPERATOR(GreaterEqualThanOp)
ZR_DECLARE_OPERATOR(LesserEqualThanOp)
ZR_DECLARE_OPERATOR(NotEqualOp)
ZR_DECLARE_OPERATOR(EqualOp)
ZR_DECLARE_OPERATOR(AndOp)
ZR_DECLARE_OPERATOR(OrOp)
ZR_DECLARE_OPERATOR(NotOp)
#undef ZR_DECLARE_OPERATOR

// ---- functions ----------------------------------------------------------------------------

#define ZR_DECLARE_FUNCTION(Class)                                                                  \
    class Class final : public ZrFunctionBase<Class> {                                            \
    public:                                                                                         \
        static const ZrFunctionInfo info;                                                                \
        double evaluate(unsigned nbArgs, const double* args) override;                              \
    };

ZR_DECLARE_FUNCTION(RoundFct)
ZR_DECLARE_FUNCTION(ArcSinFct)
ZR_DECLARE_FUNCTION(SinhFct)
ZR_DECLARE_FUNCTION(ArcCosFct)
ZR_DECLARE_FUNCTION(CoshFct)
ZR_DECLARE_FUNCTION(TanFct)
ZR_DECLARE_FUNCTION(ArcTanFct)
ZR_DECLARE_FUNCTION(TanhFct)
ZR_DECLARE_FUNCTION(SqrtFct)
ZR_DECLARE_FUNCTION(MinUndefFct)
ZR_DECLARE_FUNCTION(MinFct)
ZR_DECLARE_FUNCTION(Min3Fct)
ZR_DECLARE_FUNCTION(MaxUndefFct)
ZR_DECLARE_FUNCTION(MaxFct)
ZR_DECLARE_FUNCTION(Max3Fct)
ZR_DECLARE_FUNCTION(AbsFct)
ZR_DECLARE_FUNCTION(CeilFct)
ZR_DECLARE_FUNCTION(FloorFct)
ZR_DECLARE_FUNCTION(LogFct)
ZR_DECLARE_FUNCTION(Log10Fct)
ZR_DECLARE_FUNCTION(AvgFct)
ZR_DECLARE_FUNCTION(SumFct)
ZR_DECLARE_FUNCTION(FactorialFct)
ZR_DECLARE_FUNCTION(IsNaNFct)
ZR_DECLARE_FUNCTION(IsFiniteFct)
#undef ZR_DECLARE_FUNCTION
