// The plan interpreter: translation into instructions, fusion of arithmetic pairs, the run loop.
#include "ZrInterpreter.h"

#include <type_traits>
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
                             std::pmr::memory_resource* scratch, const ZrInstanceLayout* relocation)
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
    if (relocation)
        relocate(*relocation);
}

// Addresses in the block become byte offsets from its start, calls of the named per-use
// instances become indexes into an instance's table; every other address (a host's variable, a
// shared item) stays as it is.
void ZrInterpreter::relocate(const ZrInstanceLayout& relocation)
{
    const auto begin = reinterpret_cast<std::uintptr_t>(relocation.block);
    const std::uintptr_t end = begin + relocation.blockSize * sizeof(double);
    const auto toOffset = [&](auto& address, std::uint8_t bit, std::uint8_t& relocated) {
        const auto at = reinterpret_cast<std::uintptr_t>(address);
        if (address && at >= begin && at < end) {
            address = reinterpret_cast<std::remove_reference_t<decltype(address)>>(at - begin);
            relocated |= bit;
        }
    };
    for (Instruction& i : code_) {
        i.relocated = 0;
        toOffset(i.dst, DST, i.relocated);
        toOffset(i.a, A, i.relocated);
        toOffset(i.b, B, i.relocated);
        toOffset(i.c, C, i.relocated);
        if (i.code == static_cast<Code>(ZrPlanOp::Call)) {
            toOffset(i.args, ARGS, i.relocated);
            for (std::size_t k = 0; k < relocation.ownItems.size(); ++k)
                if (relocation.ownItems[k] == i.item) {
                    i.ownItem = k;
                    i.relocated |= ITEM;
                    break;
                }
        }
    }
    result_ = reinterpret_cast<const double*>(reinterpret_cast<std::uintptr_t>(result_) - begin);
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
        *dst = (S) == 0 ? arithmetic<O>(arithmetic<I>(*a, *b), *c) : arithmetic<O>(*c, arithmetic<I>(*a, *b));         \
        break;
#define ZR_FUSED_CASES_OF(I, O) ZR_FUSED_CASE(I, O, 0) ZR_FUSED_CASE(I, O, 1)
#define ZR_FUSED_CASES_INNER(I)                                                                                        \
    ZR_FUSED_CASES_OF(I, 0) ZR_FUSED_CASES_OF(I, 1) ZR_FUSED_CASES_OF(I, 2) ZR_FUSED_CASES_OF(I, 3)

namespace {

// The address a relocated field stands for: an offset from `base` when its bit is set.
template <class Pointer>
inline Pointer shifted(Pointer field, std::uintptr_t base, unsigned relocated, unsigned bit)
{
    const std::uintptr_t mask = 0 - static_cast<std::uintptr_t>((relocated & bit) != 0);
    return reinterpret_cast<Pointer>(reinterpret_cast<std::uintptr_t>(field) + (base & mask));
}

} // namespace

template <bool Relocated>
double ZrInterpreter::execute(std::uintptr_t base, ZrParserItemI* const* items) const
{
    using namespace zr::kernel;
    using Op = ZrPlanOp;
    for (const Instruction& i : code_) {
        double* dst = i.dst;
        const double* a = i.a;
        const double* b = i.b;
        const double* c = i.c;
        if constexpr (Relocated) {
            dst = shifted(dst, base, i.relocated, DST);
            a = shifted(a, base, i.relocated, A);
            b = shifted(b, base, i.relocated, B);
            c = shifted(c, base, i.relocated, C);
        }
        switch (i.code) {
        case static_cast<Code>(Op::Copy): *dst = *a; break;
        case static_cast<Code>(Op::LoadThrough): *dst = **i.through; break;
        case static_cast<Code>(Op::Call):
            if constexpr (Relocated)
                *dst = ((i.relocated & ITEM) ? items[i.ownItem] : i.item)
                           ->evaluate(i.nbArgs, shifted(i.args, base, i.relocated, ARGS));
            else
                *dst = i.item->evaluate(i.nbArgs, i.args);
            break;
        case static_cast<Code>(Op::Add): *dst = *a + *b; break;
        case static_cast<Code>(Op::Subtract): *dst = *a - *b; break;
        case static_cast<Code>(Op::Multiply): *dst = *a * *b; break;
        case static_cast<Code>(Op::Divide): *dst = *a / *b; break;
        case static_cast<Code>(Op::Negate): *dst = negate(*a); break;
        case static_cast<Code>(Op::Minimum): *dst = minimum(*a, *b); break;
        case static_cast<Code>(Op::Maximum): *dst = maximum(*a, *b); break;
        case static_cast<Code>(Op::Greater): *dst = greater(*a, *b); break;
        case static_cast<Code>(Op::Less): *dst = less(*a, *b); break;
        case static_cast<Code>(Op::GreaterEqual): *dst = greaterOrEqual(*a, *b); break;
        case static_cast<Code>(Op::LessEqual): *dst = lessOrEqual(*a, *b); break;
        case static_cast<Code>(Op::Equal): *dst = equal(*a, *b); break;
        case static_cast<Code>(Op::NotEqual): *dst = notEqual(*a, *b); break;
        case static_cast<Code>(Op::And): *dst = logicalAnd(*a, *b); break;
        case static_cast<Code>(Op::Or): *dst = logicalOr(*a, *b); break;
        case static_cast<Code>(Op::Not): *dst = logicalNot(*a); break;
        case static_cast<Code>(Op::Unary): *dst = i.unary(*a); break;
        case static_cast<Code>(Op::Binary): *dst = i.binary(*a, *b); break;
        case static_cast<Code>(Op::Choose): *dst = runBranch(i.branches[*a > 0 ? 0 : 1]); break;
        case static_cast<Code>(Op::Square): *dst = squareAsPow(*a); break;
        ZR_FUSED_CASES_INNER(0)
        ZR_FUSED_CASES_INNER(1)
        ZR_FUSED_CASES_INNER(2)
        ZR_FUSED_CASES_INNER(3)
        default: break;
        }
    }
    if constexpr (Relocated)
        return *shifted(result_, base, DST, DST);
    else
        return *result_;
}

double ZrInterpreter::run() const
{
    return execute<false>(0, nullptr);
}

double ZrInterpreter::runRelocated(double* values, ZrParserItemI* const* items) const
{
    return execute<true>(reinterpret_cast<std::uintptr_t>(values), items);
}
