// The plan interpreter: translation into instructions, fusion of arithmetic pairs, the run loop.
#include "ZrInterpreter.h"

#include <unordered_map>

#include "ZrArithmetic.h"

namespace {

bool isArithmetic(ZrPlanOp op)
{
    return op == ZrPlanOp::Add || op == ZrPlanOp::Subtract || op == ZrPlanOp::Multiply || op == ZrPlanOp::Divide;
}

unsigned arithmeticIndex(ZrPlanOp op)
{
    return static_cast<unsigned>(op) - static_cast<unsigned>(ZrPlanOp::Add);
}

} // namespace

ZrInterpreter::Code ZrInterpreter::fusedCode(ZrPlanOp inner, ZrPlanOp outer, bool innerOnTheLeft)
{
    return static_cast<Code>(FUSED + (arithmeticIndex(inner) * 4 + arithmeticIndex(outer)) * 2 + (innerOnTheLeft ? 0 : 1));
}

ZrInterpreter::Instruction ZrInterpreter::translate(const ZrPlanStep& step, const ZrProgramRunner* branches)
{
    Instruction i{};
    i.code = static_cast<Code>(step.op);
    i.dst = step.dst;
    i.a = step.a;
    i.b = step.b;
    switch (step.op) {
    case ZrPlanOp::Call:
        i.item = step.item;
        i.nbArgs = step.nbArgs;
        i.args = step.args;
        break;
    case ZrPlanOp::LoadThrough:
        i.through = step.through;
        break;
    case ZrPlanOp::Unary:
        i.unary = step.unary;
        break;
    case ZrPlanOp::Binary:
        i.binary = step.binary;
        break;
    case ZrPlanOp::Choose:
        i.branches = branches;
        break;
    default:
        break;
    }
    return i;
}

// The instructions are made and fused in scratch memory; the interpreter keeps one exact copy.
ZrInterpreter::ZrInterpreter(std::span<const ZrPlanStep> steps, const double* result,
                             std::pmr::memory_resource* scratch)
    : result_(result)
{
    std::size_t nbChoices = 0;
    for (const ZrPlanStep& step : steps)
        nbChoices += step.op == ZrPlanOp::Choose ? 1 : 0;
    branches_.reserve(2 * nbChoices); // instructions keep pointers into it
    std::pmr::vector<Instruction> code(scratch);
    code.reserve(steps.size());
    for (const ZrPlanStep& step : steps) {
        const ZrProgramRunner* branches = nullptr;
        if (step.op == ZrPlanOp::Choose) {
            branches = branches_.data() + branches_.size();
            branches_.insert(branches_.end(), {step.branch[0], step.branch[1]});
        }
        code.push_back(translate(step, branches));
    }
    fuseArithmeticPairs(code, scratch);
    code_.assign(code.begin(), code.end());
}

// The inner operation moves to its reader's place. Nothing in between reads its result (only
// the reader does) or writes its operands (every slot is written once, before it is read, and
// host variables are read at their uses only in plans that make no call).
void ZrInterpreter::fuseArithmeticPairs(std::pmr::vector<Instruction>& code, std::pmr::memory_resource* scratch)
{
    std::pmr::unordered_map<const double*, std::size_t> producerOf(scratch);
    for (std::size_t i = 0; i < code.size(); ++i)
        producerOf.emplace(code[i].dst, i);
    std::pmr::vector<bool> fused(code.size(), false, scratch);
    for (Instruction& outer : code) {
        if (outer.code >= FUSED || !isArithmetic(static_cast<ZrPlanOp>(outer.code)))
            continue;
        for (const bool left : {true, false}) {
            const auto producer = producerOf.find(left ? outer.a : outer.b);
            if (producer == producerOf.end())
                continue;
            const Instruction& inner = code[producer->second];
            if (inner.code >= FUSED || fused[producer->second] || !isArithmetic(static_cast<ZrPlanOp>(inner.code)))
                continue;
            fused[producer->second] = true;
            outer.c = left ? outer.b : outer.a;
            outer.a = inner.a;
            outer.b = inner.b;
            outer.code = fusedCode(static_cast<ZrPlanOp>(inner.code), static_cast<ZrPlanOp>(outer.code), left);
            break;
        }
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < code.size(); ++i)
        if (!fused[i])
            code[kept++] = code[i];
    code.resize(kept);
}

namespace {

template <unsigned Operation>
inline double arithmetic(double x, double y)
{
    if constexpr (Operation == 0)
        return x + y;
    else if constexpr (Operation == 1)
        return x - y;
    else if constexpr (Operation == 2)
        return x * y;
    else
        return x / y;
}

} // namespace

// One case per fused pair: inner operation I, outer O, inner result on the left (S = 0) or right.
#define ZR_FUSED_CASE(I, O, S)                                                                                         \
    case FUSED + ((I)*4 + (O)) * 2 + (S):                                                                              \
        *i.dst = (S) == 0 ? arithmetic<O>(arithmetic<I>(*i.a, *i.b), *i.c) : arithmetic<O>(*i.c, arithmetic<I>(*i.a, *i.b)); \
        break;
#define ZR_FUSED_CASES_OF(I, O) ZR_FUSED_CASE(I, O, 0) ZR_FUSED_CASE(I, O, 1)
#define ZR_FUSED_CASES_INNER(I)                                                                                        \
    ZR_FUSED_CASES_OF(I, 0) ZR_FUSED_CASES_OF(I, 1) ZR_FUSED_CASES_OF(I, 2) ZR_FUSED_CASES_OF(I, 3)

double ZrInterpreter::run() const
{
    using namespace zr::kernel;
    using Op = ZrPlanOp;
    for (const Instruction& i : code_) {
        switch (i.code) {
        case static_cast<Code>(Op::Copy): *i.dst = *i.a; break;
        case static_cast<Code>(Op::LoadThrough): *i.dst = **i.through; break;
        case static_cast<Code>(Op::Call): *i.dst = i.item->evaluate(i.nbArgs, i.args); break;
        case static_cast<Code>(Op::Add): *i.dst = *i.a + *i.b; break;
        case static_cast<Code>(Op::Subtract): *i.dst = *i.a - *i.b; break;
        case static_cast<Code>(Op::Multiply): *i.dst = *i.a * *i.b; break;
        case static_cast<Code>(Op::Divide): *i.dst = *i.a / *i.b; break;
        case static_cast<Code>(Op::Negate): *i.dst = negate(*i.a); break;
        case static_cast<Code>(Op::Minimum): *i.dst = minimum(*i.a, *i.b); break;
        case static_cast<Code>(Op::Maximum): *i.dst = maximum(*i.a, *i.b); break;
        case static_cast<Code>(Op::Greater): *i.dst = greater(*i.a, *i.b); break;
        case static_cast<Code>(Op::Less): *i.dst = less(*i.a, *i.b); break;
        case static_cast<Code>(Op::GreaterEqual): *i.dst = greaterOrEqual(*i.a, *i.b); break;
        case static_cast<Code>(Op::LessEqual): *i.dst = lessOrEqual(*i.a, *i.b); break;
        case static_cast<Code>(Op::Equal): *i.dst = equal(*i.a, *i.b); break;
        case static_cast<Code>(Op::NotEqual): *i.dst = notEqual(*i.a, *i.b); break;
        case static_cast<Code>(Op::And): *i.dst = logicalAnd(*i.a, *i.b); break;
        case static_cast<Code>(Op::Or): *i.dst = logicalOr(*i.a, *i.b); break;
        case static_cast<Code>(Op::Not): *i.dst = logicalNot(*i.a); break;
        case static_cast<Code>(Op::Unary): *i.dst = i.unary(*i.a); break;
        case static_cast<Code>(Op::Binary): *i.dst = i.binary(*i.a, *i.b); break;
        case static_cast<Code>(Op::Choose): *i.dst = runBranch(i.branches[*i.a > 0 ? 0 : 1]); break;
        case static_cast<Code>(Op::Square): *i.dst = squareAsPow(*i.a); break;
        ZR_FUSED_CASES_INNER(0)
        ZR_FUSED_CASES_INNER(1)
        ZR_FUSED_CASES_INNER(2)
        ZR_FUSED_CASES_INNER(3)
        default: break;
        }
    }
    return *result_;
}
