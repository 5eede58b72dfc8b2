// The plan builder: inline forms of the default items, variable reads, and the forwarding of
// values that are only passed on.
#include "ZrPlanBuilder.h"

#include <typeindex>
#include <unordered_map>
#include <vector>

#include "ZrArithmetic.h"
#include "ZrIfFct.h"
#include "ZrParserCompiler.h"
#include "ZrParserDefFuncs.h"
#include "zrparser/ZrParser.h"

namespace {

using namespace zr;

// How a default item is computed inline.
struct InlineForm {
    ZrPlanOp op;
    double (*unary)(double) = nullptr;
    double (*binary)(double, double) = nullptr;
};

// The items that compute a pure function of their arguments, by class. Other items, also
// instances of classes defined elsewhere with the same symbols, are called.
const std::unordered_map<std::type_index, InlineForm>& inlineForms()
{
    static const std::unordered_map<std::type_index, InlineForm> forms = {
        {typeid(AddOp), {ZrPlanOp::Add}},
        {typeid(MinusOp), {ZrPlanOp::Subtract}},
        {typeid(MultOp), {ZrPlanOp::Multiply}},
        {typeid(DivOp), {ZrPlanOp::Divide}},
        {typeid(UnaryMinusOp), {ZrPlanOp::Negate}},
        {typeid(UnaryAddOp), {ZrPlanOp::Copy}},
        {typeid(ExpOp), {ZrPlanOp::Binary, nullptr, &kernel::power}},
        {typeid(ModuloOp), {ZrPlanOp::Binary, nullptr, &kernel::remainder}},
        {typeid(GreaterThanOp), {ZrPlanOp::Greater}},
        {typeid(LesserThanOp), {ZrPlanOp::Less}},
        {typeid(GreaterEqualThanOp), {ZrPlanOp::GreaterEqual}},
        {typeid(LesserEqualThanOp), {ZrPlanOp::LessEqual}},
        {typeid(EqualOp), {ZrPlanOp::Equal}},
        {typeid(NotEqualOp), {ZrPlanOp::NotEqual}},
        {typeid(AndOp), {ZrPlanOp::And}},
        {typeid(OrOp), {ZrPlanOp::Or}},
        {typeid(NotOp), {ZrPlanOp::Not}},
        {typeid(MinFct), {ZrPlanOp::Minimum}},
        {typeid(MaxFct), {ZrPlanOp::Maximum}},
        {typeid(RoundFct), {ZrPlanOp::Unary, &kernel::roundHalfAway}},
        {typeid(SqrtFct), {ZrPlanOp::Unary, &kernel::squareRoot}},
        {typeid(AbsFct), {ZrPlanOp::Unary, &kernel::absolute}},
        {typeid(CeilFct), {ZrPlanOp::Unary, &kernel::ceiling}},
        {typeid(FloorFct), {ZrPlanOp::Unary, &kernel::floorOf}},
        {typeid(ArcSinFct), {ZrPlanOp::Unary, &kernel::arcSine}},
        {typeid(ArcCosFct), {ZrPlanOp::Unary, &kernel::arcCosine}},
        {typeid(ArcTanFct), {ZrPlanOp::Unary, &kernel::arcTangent}},
        {typeid(SinhFct), {ZrPlanOp::Unary, &kernel::hyperbolicSine}},
        {typeid(CoshFct), {ZrPlanOp::Unary, &kernel::hyperbolicCosine}},
        {typeid(TanhFct), {ZrPlanOp::Unary, &kernel::hyperbolicTangent}},
        {typeid(TanFct), {ZrPlanOp::Unary, &kernel::tangent}},
        {typeid(LogFct), {ZrPlanOp::Unary, &kernel::naturalLog}},
        {typeid(Log10Fct), {ZrPlanOp::Unary, &kernel::decimalLog}},
        {typeid(IsNaNFct), {ZrPlanOp::Unary, &kernel::isNaN}},
        {typeid(IsFiniteFct), {ZrPlanOp::Unary, &kernel::isFinite}},
        {typeid(FactorialFct), {ZrPlanOp::Unary, &kernel::factorial}},
    };
    return forms;
}

bool readsOperands(ZrPlanOp op)
{
    return op != ZrPlanOp::LoadThrough && op != ZrPlanOp::Call;
}

// True when `slot` holds the folded constant 2: no step writes it.
bool isConstantTwo(const double* slot, const ZrProgram& program)
{
    if (*slot != 2.0)
        return false;
    for (const ZrProgramItem& step : program.items)
        if (step.result == slot)
            return false;
    return true;
}

// The plan step of one program step.
ZrPlanStep planStep(ZrProgramItem& step, const ZrProgram& program)
{
    ZrPlanStep plan;
    plan.dst = step.result;
    ZrParserItemI& item = *step.item;
    const double* begin = program.values.data();
    const double* end = begin + program.values.size();
    if (auto* stub = dynamic_cast<ZrParserCompiler::ZrVarStub*>(&item)) {
        // A variable of this program was read by its head; one of a calling expression is read
        // where the caller's head puts it, which is known only once the caller is compiled.
        if (stub->valuePtr >= begin && stub->valuePtr < end) {
            plan.op = ZrPlanOp::Copy;
            plan.a = stub->valuePtr;
        } else {
            plan.op = ZrPlanOp::LoadThrough;
            plan.through = &stub->valuePtr;
        }
        return plan;
    }
    if (auto* bound = dynamic_cast<ZrParser::MemVariableEvaluator*>(&item)) {
        plan.op = ZrPlanOp::Copy;
        plan.a = bound->address();
        return plan;
    }
    const auto& forms = inlineForms();
    if (typeid(item) == typeid(ExpOp) && isConstantTwo(step.args + 1, program)) {
        plan.op = ZrPlanOp::Square;
        plan.unary = &kernel::squareAsPow;
        plan.a = step.args;
        return plan;
    }
    if (auto form = forms.find(std::type_index(typeid(item))); form != forms.end()) {
        plan.op = form->second.op;
        plan.unary = form->second.unary;
        plan.binary = form->second.binary;
        plan.a = step.args;
        plan.b = step.nbArgs > 1 ? step.args + 1 : nullptr;
        return plan;
    }
    if (auto* conditional = dynamic_cast<IfFct*>(&item); conditional && conditional->thenParser()) {
        // The branches' programs run directly, as IfFct::evaluate runs them.
        plan.op = ZrPlanOp::Choose;
        plan.a = step.args;
        plan.branch[0] = conditional->thenParser()->runner();
        plan.branch[1] = conditional->elseParser()->runner();
        return plan;
    }
    plan.op = ZrPlanOp::Call;
    plan.item = &item;
    plan.nbArgs = step.nbArgs;
    plan.args = step.args;
    return plan;
}

} // namespace

std::pmr::vector<ZrPlanStep> buildExecutionPlan(ZrProgram& program, std::pmr::memory_resource* scratch)
{
    std::pmr::vector<ZrPlanStep> steps(scratch);
    steps.reserve(program.size());
    bool hasCalls = false;
    for (ZrProgramItem& step : program.items) {
        steps.push_back(planStep(step, program));
        hasCalls = hasCalls || steps.back().op == ZrPlanOp::Call || steps.back().op == ZrPlanOp::Choose;
    }

    // Every slot has one producer and one reader, except a head's, which every use of its
    // variable reads, child parsers included (through calls). An inline operation reads a value
    // that copies only passed on where the first copy read it. A host variable is read at its
    // uses instead of by its head only when the program makes no call: a call could change it,
    // or run a child parser that reads the head's slot.
    const double* block = program.values.data();
    const std::size_t blockSize = program.values.size();
    const auto slotOf = [&](const double* address) -> std::ptrdiff_t {
        const std::ptrdiff_t slot = address - block;
        return address && slot >= 0 && static_cast<std::size_t>(slot) < blockSize ? slot : -1;
    };
    std::pmr::vector<int> producerOf(blockSize, -1, scratch); // every dst lies in the block
    for (std::size_t i = 0; i < steps.size(); ++i)
        producerOf[static_cast<std::size_t>(slotOf(steps[i].dst))] = static_cast<int>(i);
    const auto producer = [&](const double* address) {
        const std::ptrdiff_t slot = slotOf(address);
        return slot < 0 ? -1 : producerOf[static_cast<std::size_t>(slot)];
    };
    std::pmr::vector<bool> dropped(steps.size(), false, scratch);
    const auto forward = [&](const double*& operand) {
        while (operand) {
            const int p = producer(operand);
            if (p < 0 || steps[p].op != ZrPlanOp::Copy)
                return;
            const bool readsHostVariable = producer(steps[p].a) < 0;
            if (readsHostVariable && hasCalls)
                return;
            operand = steps[p].a;
            if (!readsHostVariable)
                dropped[p] = true;
        }
    };
    for (ZrPlanStep& step : steps)
        if (readsOperands(step.op)) {
            forward(step.a);
            forward(step.b);
        }

    std::pmr::vector<int> readers(blockSize, 0, scratch);
    for (std::size_t i = 0; i < steps.size(); ++i)
        if (!dropped[i])
            for (const double* operand : {steps[i].a, steps[i].b})
                if (const std::ptrdiff_t slot = slotOf(operand); slot >= 0)
                    ++readers[static_cast<std::size_t>(slot)];
    std::pmr::vector<ZrPlanStep> kept(scratch);
    kept.reserve(steps.size());
    for (std::size_t i = 0; i < steps.size(); ++i) {
        // A head all of whose readers now read the host's variable has nothing left to do.
        const bool unreadHead = !hasCalls && steps[i].op == ZrPlanOp::Copy && i + 1 < steps.size() &&
                                readers[static_cast<std::size_t>(slotOf(steps[i].dst))] == 0;
        if (!dropped[i] && !unreadHead)
            kept.push_back(steps[i]);
    }
    return kept;
}
