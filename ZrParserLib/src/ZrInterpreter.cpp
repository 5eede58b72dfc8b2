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
        toOffset(i.dst, DST_BIT, i.relocated);
        toOffset(i.a, A_BIT, i.relocated);
        toOffset(i.b, B_BIT, i.relocated);
        toOffset(i.c, C_BIT, i.relocated);
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

namespace {

// The address a relocated field stands for: an offset from `base` when its bit is set.
template <class Pointer>
inline Pointer shifted(Pointer field, std::uintptr_t base, unsigned relocated, unsigned bit)
{
    const std::uintptr_t mask = 0 - static_cast<std::uintptr_t>((relocated & bit) != 0);
    return reinterpret_cast<Pointer>(reinterpret_cast<std::uintptr_t>(field) + (base & mask));
}

} // namespace

// The cases of the run loop, written once for both loops: DST, A, B and C are an instruction's
// operand addresses, CALL the call of its item, each an expression of the instruction `i`.
// One case per fused pair: inner operation I, outer O, inner result on the left (S = 0) or right.
#define ZR_FUSED_CASE(I, O, S)                                                                                         \
    case FUSED + ((I)*4 + (O)) * 2 + (S):                                                                              \
        *DST = (S) == 0 ? arithmetic<O>(arithmetic<I>(*A, *B), *C) : arithmetic<O>(*C, arithmetic<I>(*A, *B));         \
        break;
#define ZR_FUSED_CASES_OF(I, O) ZR_FUSED_CASE(I, O, 0) ZR_FUSED_CASE(I, O, 1)
#define ZR_FUSED_CASES_INNER(I)                                                                                        \
    ZR_FUSED_CASES_OF(I, 0) ZR_FUSED_CASES_OF(I, 1) ZR_FUSED_CASES_OF(I, 2) ZR_FUSED_CASES_OF(I, 3)
#define ZR_PLAN_CASES                                                                                                  \
    case static_cast<Code>(Op::Copy): *DST = *A; break;                                                                \
    case static_cast<Code>(Op::LoadThrough): *DST = **i.through; break;                                                \
    case static_cast<Code>(Op::Call): *DST = CALL; break;                                                              \
    case static_cast<Code>(Op::Add): *DST = *A + *B; break;                                                            \
    case static_cast<Code>(Op::Subtract): *DST = *A - *B; break;                                                       \
    case static_cast<Code>(Op::Multiply): *DST = *A * *B; break;                                                       \
    case static_cast<Code>(Op::Divide): *DST = *A / *B; break;                                                         \
    case static_cast<Code>(Op::Negate): *DST = negate(*A); break;                                                      \
    case static_cast<Code>(Op::Minimum): *DST = minimum(*A, *B); break;                                                \
    case static_cast<Code>(Op::Maximum): *DST = maximum(*A, *B); break;                                                \
    case static_cast<Code>(Op::Greater): *DST = greater(*A, *B); break;                                                \
    case static_cast<Code>(Op::Less): *DST = less(*A, *B); break;                                                      \
    case static_cast<Code>(Op::GreaterEqual): *DST = greaterOrEqual(*A, *B); break;                                    \
    case static_cast<Code>(Op::LessEqual): *DST = lessOrEqual(*A, *B); break;                                          \
    case static_cast<Code>(Op::Equal): *DST = equal(*A, *B); break;                                                    \
    case static_cast<Code>(Op::NotEqual): *DST = notEqual(*A, *B); break;                                              \
    case static_cast<Code>(Op::And): *DST = logicalAnd(*A, *B); break;                                                 \
    case static_cast<Code>(Op::Or): *DST = logicalOr(*A, *B); break;                                                   \
    case static_cast<Code>(Op::Not): *DST = logicalNot(*A); break;                                                     \
    case static_cast<Code>(Op::Unary): *DST = i.unary(*A); break;                                                      \
    case static_cast<Code>(Op::Binary): *DST = i.binary(*A, *B); break;                                                \
    case static_cast<Code>(Op::Choose): *DST = runBranch(i.branches[*A > 0 ? 0 : 1]); break;                           \
    case static_cast<Code>(Op::Square): *DST = squareAsPow(*A); break;                                                 \
    ZR_FUSED_CASES_INNER(0)                                                                                            \
    ZR_FUSED_CASES_INNER(1)                                                                                            \
    ZR_FUSED_CASES_INNER(2)                                                                                            \
    ZR_FUSED_CASES_INNER(3)                                                                                            \
    default: break;

double ZrInterpreter::run() const
{
    using namespace zr::kernel;
    using Op = ZrPlanOp;
#define DST i.dst
#define A i.a
#define B i.b
#define C i.c
#define CALL i.item->evaluate(i.nbArgs, i.args)
    for (const Instruction& i : code_) {
        switch (i.code) { ZR_PLAN_CASES }
    }
    return *result_;
}

double ZrInterpreter::runRelocated(double* values, ZrParserItemI* const* items) const
{
    using namespace zr::kernel;
    using Op = ZrPlanOp;
    const auto base = reinterpret_cast<std::uintptr_t>(values);
#undef DST
#undef A
#undef B
#undef C
#undef CALL
#define DST shifted(i.dst, base, i.relocated, DST_BIT)
#define A shifted(i.a, base, i.relocated, A_BIT)
#define B shifted(i.b, base, i.relocated, B_BIT)
#define C shifted(i.c, base, i.relocated, C_BIT)
#define CALL                                                                                                           \
    ((i.relocated & ITEM) ? items[i.ownItem] : i.item)->evaluate(i.nbArgs, shifted(i.args, base, i.relocated, ARGS))
    for (const Instruction& i : code_) {
        switch (i.code) { ZR_PLAN_CASES }
    }
    return *shifted(result_, base, DST_BIT, DST_BIT);
}
#undef DST
#undef A
#undef B
#undef C
#undef CALL
