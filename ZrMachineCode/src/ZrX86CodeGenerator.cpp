// Emission of x86-64 code for execution plans, with asmjit: one function per plan that takes no
// argument and returns the result. Values stay in SSE registers between the step that makes
// them and the inline step that reads them; slots are written where a call, a child parser or
// the host reads them, and before every call (all SSE registers are the callee's to change).
#include "ZrX86CodeGenerator.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <unordered_map>
#include <memory_resource>
#include <unordered_set>

#include <asmjit/x86.h>

#include "zrparser/ZrScratchMemory.h"

namespace {

using namespace asmjit;

JitRuntime& runtime()
{
    static JitRuntime instance;
    return instance;
}

// Code made by the runtime, released with it; Interface is ZrMachineCodeI or ZrInstanceLoopI.
template <class Interface>
class X86Code final : public Interface {
public:
    using Entry = typename Interface::Entry;
    explicit X86Code(Entry entry) : entry_(entry) {}
    X86Code(const X86Code&) = delete;
    X86Code& operator=(const X86Code&) = delete;
    ~X86Code() override { runtime().release(entry_); }
    Entry entry() const override { return entry_; }

private:
    Entry entry_;
};

// The function that `item->evaluate` runs, found in the item's virtual table the way the
// x86-64 C++ ABI lays it out: a pointer to a virtual member function holds one plus the
// function's offset in the table. The code calls it directly with the item as `this`.
const void* evaluateFunctionOf(const ZrParserItemI* item)
{
    struct MemberFunctionPointer {
        std::uintptr_t functionOrOffset;
        std::ptrdiff_t thisAdjustment;
    };
    double (ZrParserItemI::*evaluate)(unsigned, const double*) = &ZrParserItemI::evaluate;
    MemberFunctionPointer representation;
    static_assert(sizeof representation == sizeof evaluate);
    std::memcpy(&representation, &evaluate, sizeof representation);
    const auto* table = *reinterpret_cast<const char* const*>(item);
    return *reinterpret_cast<const void* const*>(table + representation.functionOrOffset - 1);
}

// cmpsd predicates.
constexpr std::uint32_t EQUAL = 0, LESS = 1, LESS_EQUAL = 2, NOT_EQUAL = 4;

bool readsOperands(ZrPlanOp op)
{
    return op != ZrPlanOp::LoadThrough && op != ZrPlanOp::Call;
}

class Emitter {
public:
    // With a layout, the block's values are addressed from a row's start and the named per-use
    // instances from a row of them (emitLoop); every other address is absolute.
    Emitter(x86::Assembler& a, std::span<const ZrPlanStep> steps, const double* result,
            std::pmr::memory_resource* scratch, const ZrInstanceLayout* layout = nullptr)
        : a_(a), steps_(steps), result_(result), layout_(layout),
          base_(reinterpret_cast<std::intptr_t>(layout ? layout->block : result)), uses_(scratch),
          registerOf_(scratch), stored_(scratch)
    {
        countUses();
        if (layout_)
            baseRegister_ = x86::rbx;
    }

    // The loop over instances: values (rdi), items (rsi), count (rdx), results (rcx). rbx walks
    // the rows of values, r12 the rows of per-use instances, r13 counts down, r14 the results.
    void emitLoop()
    {
        defineConstantLabels();
        for (const x86::Gp& saved : {x86::rbx, x86::r12, x86::r13, x86::r14, x86::r15})
            a_.push(saved); // five pushes also align the stack for calls
        a_.mov(x86::rbx, x86::rdi);
        a_.mov(x86::r12, x86::rsi);
        a_.mov(x86::r13, x86::rdx);
        a_.mov(x86::r14, x86::rcx);
        const Label next = a_.newLabel();
        const Label done = a_.newLabel();
        a_.test(x86::r13, x86::r13);
        a_.jz(done);
        a_.bind(next);
        for (const ZrPlanStep& step : steps_)
            emitStep(step);
        a_.movsd(x86::qword_ptr(x86::r14), x86::xmm(resultRegister_));
        a_.add(x86::rbx, imm(static_cast<std::int64_t>(layout_->blockSize * sizeof(double))));
        a_.add(x86::r12, imm(static_cast<std::int64_t>(layout_->ownItems.size() * sizeof(void*))));
        a_.add(x86::r14, imm(sizeof(double)));
        a_.dec(x86::r13);
        a_.jnz(next);
        a_.bind(done);
        for (const x86::Gp& saved : {x86::r15, x86::r14, x86::r13, x86::r12, x86::rbx})
            a_.pop(saved);
        a_.ret();
        embedConstants();
    }

    // The entry's argument, the result's address, is the base of the program's values: in rdi,
    // or in rbx (saved for the caller) when the code calls out.
    void emitFunction()
    {
        defineConstantLabels();
        if (callsOut_) {
            a_.push(x86::rbx); // also aligns the stack for calls
            a_.mov(x86::rbx, x86::rdi);
        }
        for (const ZrPlanStep& step : steps_)
            emitStep(step);
        a_.movsd(x86::xmm0, x86::xmm(resultRegister_));
        if (callsOut_)
            a_.pop(x86::rbx);
        a_.ret();
        embedConstants();
    }

private:
    void defineConstantLabels()
    {
        hundred_ = a_.newLabel();
        zero_ = a_.newLabel();
        signBit_ = a_.newLabel();
        absoluteMask_ = a_.newLabel();
        smallest_ = a_.newLabel();
        largest_ = a_.newLabel();
        margin_ = a_.newLabel();
    }

    // Constants, 16 bytes each for the packed logical instructions.
    void embedConstants()
    {
        a_.align(AlignMode::kData, 16);
        a_.bind(hundred_);
        a_.embedDouble(100.0, 2);
        a_.bind(zero_);
        a_.embedDouble(0.0, 2);
        a_.bind(signBit_);
        a_.embedUInt64(0x8000000000000000ull, 2);
        a_.bind(absoluteMask_);
        a_.embedUInt64(0x7FFFFFFFFFFFFFFFull, 2);
        a_.bind(smallest_);
        a_.embedDouble(0x1p-16, 2);
        a_.bind(largest_);
        a_.embedDouble(0x1p+16, 2);
        a_.bind(margin_);
        a_.embedDouble(0.49, 2);
    }

    struct Use {
        int inlineReaders = 0;       // operands of later steps that read it where it lies
        bool readFromMemory = false; // by a call's arguments, a child parser or the host
    };

    // ---- what reads each value ----

    void countUses()
    {
        bool calls = false;
        std::pmr::unordered_set<const double*> produced(uses_.get_allocator().resource());
        for (const ZrPlanStep& step : steps_) {
            calls = calls || step.op == ZrPlanOp::Call || step.op == ZrPlanOp::Choose;
            callsOut_ = callsOut_ || step.op == ZrPlanOp::Call || step.op == ZrPlanOp::Unary ||
                        step.op == ZrPlanOp::Binary || step.op == ZrPlanOp::Choose || step.op == ZrPlanOp::Square;
            produced.insert(step.dst);
        }
        baseRegister_ = callsOut_ ? x86::rbx : x86::rdi;
        for (const ZrPlanStep& step : steps_) {
            if (readsOperands(step.op)) {
                ++uses_[step.a].inlineReaders;
                if (step.b)
                    ++uses_[step.b].inlineReaders;
            }
            if (step.op == ZrPlanOp::Call)
                for (unsigned i = 0; i < step.nbArgs; ++i)
                    uses_[step.args + i].readFromMemory = true;
            // A head: child parsers, run by calls, read its slot.
            if (calls && step.op == ZrPlanOp::Copy && !produced.count(step.a))
                uses_[step.dst].readFromMemory = true;
        }
        uses_[result_].readFromMemory = true;
    }

    // ---- registers: xmm2 to xmm15 hold values; xmm0 and xmm1 pass arguments and results ----

    static constexpr int FIRST_REGISTER = 2;
    static constexpr int NB_REGISTERS = 16;

    int allocate()
    {
        for (int r = FIRST_REGISTER; r < NB_REGISTERS; ++r)
            if (!holds_[r] && !busy_[r]) {
                busy_[r] = true;
                return r;
            }
        for (int r = FIRST_REGISTER; r < NB_REGISTERS; ++r)
            if (!busy_[r]) {
                spill(r);
                busy_[r] = true;
                return r;
            }
        return -1; // not reached: a step never keeps more than three registers busy
    }

    void release(int r)
    {
        if (holds_[r])
            registerOf_.erase(holds_[r]);
        holds_[r] = nullptr;
        busy_[r] = false;
    }

    // Writes the value in register r to its slot if it is not there yet, and frees r.
    void spill(int r)
    {
        const double* value = holds_[r];
        if (value && !stored_.count(value)) {
            a_.movsd(slot(value, x86::rax), x86::xmm(r));
            stored_.insert(value);
        }
        release(r);
    }

    void spillAll()
    {
        for (int r = FIRST_REGISTER; r < NB_REGISTERS; ++r)
            if (holds_[r])
                spill(r);
    }

    // ---- operands ----

    // True when `address` lies in the rows of values a loop walks.
    bool inRow(const void* address) const
    {
        const auto at = reinterpret_cast<std::intptr_t>(address);
        return at >= base_ && at < base_ + static_cast<std::intptr_t>(layout_->blockSize * sizeof(double));
    }

    // The slot at `address`, relative to the base register when it is near (in a loop: when it
    // is in the row), else through `scratch`.
    x86::Mem slot(const double* address, const x86::Gp& scratch)
    {
        const std::intptr_t offset = reinterpret_cast<std::intptr_t>(address) - base_;
        if (layout_ ? inRow(address) : offset >= INT32_MIN && offset <= INT32_MAX)
            return x86::qword_ptr(baseRegister_, static_cast<std::int32_t>(offset));
        a_.mov(scratch, imm(reinterpret_cast<std::intptr_t>(address)));
        return x86::qword_ptr(scratch);
    }

    // One reader has read the value at `address`.
    void consume(const double* address)
    {
        Use& use = uses_[address];
        if (--use.inlineReaders == 0)
            if (auto held = registerOf_.find(address); held != registerOf_.end())
                release(held->second);
    }

    // Passes the value at `address` to `emit` as a register or a memory operand, then counts the read.
    template <class Emit>
    void read(const double* address, Emit&& emit)
    {
        if (auto held = registerOf_.find(address); held != registerOf_.end())
            emit(x86::xmm(held->second));
        else
            emit(slot(address, x86::rcx));
        consume(address);
    }

    // A register the step may overwrite, holding the value at `address`: that value's own
    // register when this is its last reader, else a copy.
    int takeInto(const double* address)
    {
        auto held = registerOf_.find(address);
        if (held != registerOf_.end() && uses_[address].inlineReaders == 1) {
            const int r = held->second;
            uses_[address].inlineReaders = 0;
            registerOf_.erase(held);
            holds_[r] = nullptr;
            busy_[r] = true;
            return r;
        }
        const int r = allocate();
        read(address, [&](const auto& source) { a_.movsd(x86::xmm(r), source); });
        return r;
    }

    // The step's value is in register r: written to its slot where it is read from memory,
    // kept in r for the steps that read it there.
    void produce(const double* dst, int r)
    {
        const Use& use = uses_[dst];
        if (use.readFromMemory || use.inlineReaders == 0) {
            a_.movsd(slot(dst, x86::rax), x86::xmm(r));
            stored_.insert(dst);
        }
        if (dst == result_)
            resultRegister_ = r;
        if (use.inlineReaders > 0 || dst == result_) {
            holds_[r] = dst;
            registerOf_[dst] = r;
            busy_[r] = false;
        } else {
            release(r);
        }
    }

    // ---- steps ----

    void emitStep(const ZrPlanStep& step)
    {
        switch (step.op) {
        case ZrPlanOp::Copy: produce(step.dst, takeInto(step.a)); break;
        case ZrPlanOp::LoadThrough: emitLoadThrough(step); break;
        case ZrPlanOp::Call: emitCall(step); break;
        case ZrPlanOp::Add: arithmetic(step, [&](auto d, const auto& s) { a_.addsd(d, s); }); break;
        case ZrPlanOp::Subtract: arithmetic(step, [&](auto d, const auto& s) { a_.subsd(d, s); }); break;
        case ZrPlanOp::Multiply: arithmetic(step, [&](auto d, const auto& s) { a_.mulsd(d, s); }); break;
        case ZrPlanOp::Divide: arithmetic(step, [&](auto d, const auto& s) { a_.divsd(d, s); }); break;
        // minsd and maxsd return their second operand unless the first is smaller (larger):
        // exactly a < b ? a : b and a > b ? a : b, NaNs and signed zeros included.
        case ZrPlanOp::Minimum: arithmetic(step, [&](auto d, const auto& s) { a_.minsd(d, s); }); break;
        case ZrPlanOp::Maximum: arithmetic(step, [&](auto d, const auto& s) { a_.maxsd(d, s); }); break;
        case ZrPlanOp::Negate: {
            const int r = takeInto(step.a);
            a_.xorpd(x86::xmm(r), x86::ptr(signBit_));
            produce(step.dst, r);
            break;
        }
        // A comparison's mask, all ones or all zeros, and-ed with 100.0 gives 100 or +0.
        case ZrPlanOp::Greater: compare(step.dst, step.b, step.a, LESS); break;
        case ZrPlanOp::Less: compare(step.dst, step.a, step.b, LESS); break;
        case ZrPlanOp::GreaterEqual: compare(step.dst, step.b, step.a, LESS_EQUAL); break;
        case ZrPlanOp::LessEqual: compare(step.dst, step.a, step.b, LESS_EQUAL); break;
        case ZrPlanOp::Equal: compare(step.dst, step.a, step.b, EQUAL); break;
        case ZrPlanOp::NotEqual: compare(step.dst, step.a, step.b, NOT_EQUAL); break; // true when unordered
        case ZrPlanOp::And: logical(step, true); break;
        case ZrPlanOp::Or: logical(step, false); break;
        case ZrPlanOp::Not: {
            const int r = takeInto(step.a);
            a_.cmpsd(x86::xmm(r), x86::ptr(zero_), imm(EQUAL));
            a_.andpd(x86::xmm(r), x86::ptr(hundred_));
            produce(step.dst, r);
            break;
        }
        case ZrPlanOp::Unary: emitFunctionCall(step, reinterpret_cast<const void*>(step.unary), 1); break;
        case ZrPlanOp::Binary: emitFunctionCall(step, reinterpret_cast<const void*>(step.binary), 2); break;
        case ZrPlanOp::Choose: emitChoice(step); break;
        case ZrPlanOp::Square:
            if (hasFma_)
                emitSquare(step);
            else
                emitFunctionCall(step, reinterpret_cast<const void*>(step.unary), 1);
            break;
        }
        for (int r = FIRST_REGISTER; r < NB_REGISTERS; ++r)
            if (!holds_[r])
                busy_[r] = false;
    }

    template <class Operation>
    void arithmetic(const ZrPlanStep& step, Operation&& operation)
    {
        const int r = takeInto(step.a);
        read(step.b, [&](const auto& source) { operation(x86::xmm(r), source); });
        produce(step.dst, r);
    }

    // *dst = first PREDICATE second, as 100 or 0.
    void compare(const double* dst, const double* first, const double* second, std::uint32_t predicate)
    {
        const int r = takeInto(first);
        read(second, [&](const auto& source) { a_.cmpsd(x86::xmm(r), source, imm(predicate)); });
        a_.andpd(x86::xmm(r), x86::ptr(hundred_));
        produce(dst, r);
    }

    // Both operands (and) or either (or) different from 0, NaN counting as different.
    void logical(const ZrPlanStep& step, bool both)
    {
        const int r = takeInto(step.a);
        a_.cmpsd(x86::xmm(r), x86::ptr(zero_), imm(NOT_EQUAL));
        const int other = takeInto(step.b);
        a_.cmpsd(x86::xmm(other), x86::ptr(zero_), imm(NOT_EQUAL));
        if (both)
            a_.andpd(x86::xmm(r), x86::xmm(other));
        else
            a_.orpd(x86::xmm(r), x86::xmm(other));
        release(other);
        a_.andpd(x86::xmm(r), x86::ptr(hundred_));
        produce(step.dst, r);
    }

    void emitLoadThrough(const ZrPlanStep& step)
    {
        const int r = allocate();
        a_.mov(x86::rax, imm(reinterpret_cast<std::intptr_t>(step.through)));
        a_.mov(x86::rax, x86::qword_ptr(x86::rax));
        a_.movsd(x86::xmm(r), x86::qword_ptr(x86::rax));
        produce(step.dst, r);
    }

    void emitCall(const ZrPlanStep& step)
    {
        spillAll();
        const auto own = layout_ ? std::find(layout_->ownItems.begin(), layout_->ownItems.end(), step.item)
                                 : std::span<ZrParserItemI* const>::iterator{};
        if (layout_ && own != layout_->ownItems.end())
            a_.mov(x86::rdi, x86::qword_ptr(x86::r12, static_cast<std::int32_t>((own - layout_->ownItems.begin()) * 8)));
        else
            a_.mov(x86::rdi, imm(reinterpret_cast<std::intptr_t>(step.item)));
        a_.mov(x86::esi, imm(step.nbArgs));
        if (layout_ && inRow(step.args))
            a_.lea(x86::rdx, x86::ptr(x86::rbx, static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(step.args) - base_)));
        else
            a_.mov(x86::rdx, imm(reinterpret_cast<std::intptr_t>(step.args)));
        a_.mov(x86::rax, imm(reinterpret_cast<std::intptr_t>(evaluateFunctionOf(step.item))));
        a_.call(x86::rax);
        takeResult(step.dst);
    }

    // A pure default function of one or two arguments, given in xmm0 and xmm1.
    void emitFunctionCall(const ZrPlanStep& step, const void* function, int nbArgs)
    {
        read(step.a, [&](const auto& source) { a_.movsd(x86::xmm0, source); });
        if (nbArgs == 2)
            read(step.b, [&](const auto& source) { a_.movsd(x86::xmm1, source); });
        spillAll();
        a_.mov(x86::rax, imm(reinterpret_cast<std::intptr_t>(function)));
        a_.call(x86::rax);
        takeResult(step.dst);
    }

    // Runs the branch the condition picks (NaN picks the second), directly or as its constant.
    void emitChoice(const ZrPlanStep& step)
    {
        read(step.a, [&](const auto& source) { a_.movsd(x86::xmm0, source); });
        spillAll();
        const Label second = a_.newLabel();
        const Label done = a_.newLabel();
        a_.ucomisd(x86::xmm0, x86::ptr(zero_));
        a_.jbe(second); // not greater, or unordered
        emitBranch(step.branch[0]);
        a_.jmp(done);
        a_.bind(second);
        emitBranch(step.branch[1]);
        a_.bind(done);
        takeResult(step.dst);
    }

    void emitBranch(const ZrProgramRunner& branch)
    {
        if (branch.constant) {
            a_.mov(x86::rax, imm(reinterpret_cast<std::intptr_t>(branch.constant)));
            a_.movsd(x86::xmm0, x86::qword_ptr(x86::rax));
            return;
        }
        a_.mov(x86::rdi, imm(reinterpret_cast<std::intptr_t>(branch.state)));
        a_.mov(x86::rax, imm(reinterpret_cast<std::intptr_t>(branch.run)));
        a_.call(x86::rax);
    }

    // x * x where it is provably the library's pow(x, 2): |x| within [2^-16, 2^16], the square no
    // power of two, and its exact error, by a fused multiply-subtract, under 0.49 ULP (pow is
    // within 0.51 ULP there). Elsewhere the library's routine, called with the live values saved.
    void emitSquare(const ZrPlanStep& step)
    {
        const int r = takeInto(step.a);
        const x86::Xmm x = x86::xmm(r);
        const int scratch[3] = {allocate(), allocate(), allocate()};
        const x86::Xmm t = x86::xmm(scratch[0]), square = x86::xmm(scratch[1]), error = x86::xmm(scratch[2]);
        const Label slow = a_.newLabel();
        const Label done = a_.newLabel();
        a_.movsd(t, x);
        a_.andpd(t, x86::ptr(absoluteMask_));
        a_.ucomisd(t, x86::ptr(smallest_));
        a_.jbe(slow); // too small, or NaN
        a_.ucomisd(t, x86::ptr(largest_));
        a_.jae(slow);
        a_.movsd(square, x);
        a_.mulsd(square, x);
        a_.movsd(error, square);
        a_.vfmsub231sd(error, x, x); // x * x - square, exactly
        a_.andpd(error, x86::ptr(absoluteMask_));
        a_.movq(x86::rax, square);
        a_.mov(x86::rcx, imm(0x000FFFFFFFFFFFFFll));
        a_.test(x86::rax, x86::rcx);
        a_.jz(slow); // a power of two: the ULP below it is smaller
        a_.mov(x86::rcx, imm(0x7FF0000000000000ll));
        a_.and_(x86::rax, x86::rcx);
        a_.mov(x86::rcx, imm(52ll << 52));
        a_.sub(x86::rax, x86::rcx);
        a_.movq(t, x86::rax); // the ULP of the square
        a_.mulsd(t, x86::ptr(margin_));
        a_.ucomisd(error, t);
        a_.jae(slow);
        a_.movsd(x, square);
        a_.jmp(done);
        a_.bind(slow);
        for (int other = FIRST_REGISTER; other < NB_REGISTERS; ++other)
            if (holds_[other])
                a_.movsd(slot(holds_[other], x86::rax), x86::xmm(other));
        a_.movsd(x86::xmm0, x);
        a_.mov(x86::rax, imm(reinterpret_cast<std::intptr_t>(step.unary)));
        a_.call(x86::rax);
        a_.movsd(x, x86::xmm0);
        for (int other = FIRST_REGISTER; other < NB_REGISTERS; ++other)
            if (holds_[other])
                a_.movsd(x86::xmm(other), slot(holds_[other], x86::rax));
        a_.bind(done);
        for (int s : scratch)
            release(s);
        produce(step.dst, r);
    }

    void takeResult(const double* dst)
    {
        const int r = allocate();
        a_.movsd(x86::xmm(r), x86::xmm0);
        produce(dst, r);
    }

    x86::Assembler& a_;
    std::span<const ZrPlanStep> steps_;
    const double* result_;
    const ZrInstanceLayout* layout_;
    std::intptr_t base_;
    std::pmr::unordered_map<const double*, Use> uses_;
    std::pmr::unordered_map<const double*, int> registerOf_;
    std::pmr::unordered_set<const double*> stored_;
    std::array<const double*, NB_REGISTERS> holds_{};
    std::array<bool, NB_REGISTERS> busy_{};
    int resultRegister_ = 0;
    bool callsOut_ = false;
    x86::Gp baseRegister_ = x86::rbx;
    Label hundred_, zero_, signBit_, absoluteMask_, smallest_, largest_, margin_;
    const bool hasFma_ = CpuInfo::host().hasFeature(CpuFeatures::X86::kFMA);
};

} // namespace

namespace {

// Code that `emit(assembler, scratch)` writes, added to the runtime; null when that fails.
template <class Interface, class Emit>
std::unique_ptr<Interface> assemble(Emit&& emit)
{
    // Reused, with the memory it grew: making code leaves nothing behind on the heap but the
    // code itself.
    thread_local CodeHolder code;
    code.reset(ResetPolicy::kSoft);
    if (code.init(runtime().environment()) != kErrorOk)
        return nullptr;
    x86::Assembler assembler(&code);
    const zr::ScratchScope scratch;
    emit(assembler, scratch.memory());
    typename Interface::Entry entry = nullptr;
    if (runtime().add(&entry, &code) != kErrorOk)
        return nullptr;
    return std::make_unique<X86Code<Interface>>(entry);
}

} // namespace

std::unique_ptr<ZrMachineCodeI> ZrX86CodeGenerator::generate(std::span<const ZrPlanStep> steps, const double* result)
{
    if (steps.empty())
        return nullptr;
    return assemble<ZrMachineCodeI>([&](x86::Assembler& assembler, std::pmr::memory_resource* scratch) {
        Emitter(assembler, steps, result, scratch).emitFunction();
    });
}

std::unique_ptr<ZrInstanceLoopI> ZrX86CodeGenerator::generateLoop(std::span<const ZrPlanStep> steps,
                                                                  const double* result,
                                                                  const ZrInstanceLayout& layout)
{
    for (const ZrPlanStep& step : steps)
        if (step.op == ZrPlanOp::Choose || step.op == ZrPlanOp::LoadThrough)
            return nullptr;
    if (steps.empty())
        return nullptr;
    return assemble<ZrInstanceLoopI>([&](x86::Assembler& assembler, std::pmr::memory_resource* scratch) {
        Emitter(assembler, steps, result, scratch, &layout).emitLoop();
    });
}
