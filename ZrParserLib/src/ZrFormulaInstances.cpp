// Many instances of one formula: one compiled program and plan, and per instance a row of values
// and a row of per-use instances, side by side in the order the instances are evaluated.
#include "zrparser/ZrFormulaInstances.h"

#include <stdexcept>
#include <utility>

#include "ZrInterpreter.h"
#include "ZrParserCompiler.h"
#include "ZrParserRegistrar.h"
#include "ZrPlanBuilder.h"
#include "zrparser/ZrException.h"
#include "zrparser/ZrParser.h"
#include "zrparser/ZrPlatform.h"
#include "zrparser/ZrScratchMemory.h"

// The instances of a formula that compiled without texts of its own. The first instance's
// parser stays as the keeper of the definitions, the recipe and the plan's shared items; its
// program is never run.
struct ZrFormulaInstances::Shared {
    std::unique_ptr<ZrParser> first;
    ZrParserCompiler* compiler = nullptr;
    ZrParserRegistrar* registrar = nullptr;
    std::vector<unsigned> constantIndexes; // of constantNames_ in the first parser's registrar
    std::unique_ptr<ZrInterpreter> plan;   // null when the formula folds into one constant
    std::unique_ptr<ZrInstanceLoopI> loop; // the plan as machine code, where the first parser has some
    std::size_t stride = 0;                // values per instance
    std::size_t ownPerInstance = 0;        // per-use instances per instance
    std::vector<double> values;            // one row per instance
    std::vector<ZrParserItemI*> items;     // one row per instance
    std::vector<std::unique_ptr<ZrParserItemI>> owned; // of every instance but the first
};

ZrFormulaInstances::ZrFormulaInstances(ZrParser& host, std::wstring text, std::vector<std::wstring> constantNames)
    : host_(host), text_(std::move(text)), constantNames_(std::move(constantNames))
{
}

ZrFormulaInstances::~ZrFormulaInstances() = default;

std::unique_ptr<ZrParser> ZrFormulaInstances::compileChild(std::span<const double> values) const
{
    auto parser = std::make_unique<ZrParser>(host_.getCompiler(), host_.getRegistrar(), true);
    for (std::size_t k = 0; k < constantNames_.size(); ++k)
        parser->defineConst(constantNames_[k].c_str(), values[k]);
    if (auto* compiler = dynamic_cast<ZrParserCompiler*>(parser->getCompiler()); compiler && size_ == 0)
        compiler->keepRecipes(true);
    parser->compile(text_.c_str());
    return parser;
}

std::size_t ZrFormulaInstances::add(std::span<const double> values)
{
    if (values.size() != constantNames_.size())
        throw std::invalid_argument("ZrFormulaInstances::add: one value per constant name");
    if (size_ == 0) {
        const unsigned long before = ZrParserCompiler::processStateUseCount();
        std::unique_ptr<ZrParser> first = compileChild(values);
        usesProcessState_ = ZrParserCompiler::processStateUseCount() != before;
        share(std::move(first));
    } else if (shared_) {
        addShared(values);
    } else {
        separate_.push_back(compileChild(values));
    }
    return size_++;
}

// The first instance's program becomes the shared one when it can be built again without its
// text and its plan can be relocated; otherwise the parser is the first of separate ones.
void ZrFormulaInstances::share(std::unique_ptr<ZrParser> first)
{
    auto* compiler = dynamic_cast<ZrParserCompiler*>(first->getCompiler());
    auto* registrar = dynamic_cast<ZrParserRegistrar*>(first->getRegistrar());
    if (!compiler || !registrar || !compiler->hasRecipe()) {
        separate_.push_back(std::move(first));
        return;
    }
    auto shared = std::make_unique<Shared>();
    ZrProgram& program = compiler->getProgram();
    if (compiler->isConstant()) {
        shared->stride = 1;
        shared->values.push_back(program.back().value);
    } else {
        const zr::ScratchScope scratch;
        const std::pmr::vector<ZrPlanStep> steps = buildExecutionPlan(program, scratch.memory());
        for (const ZrPlanStep& step : steps)
            if (step.op == ZrPlanOp::Choose || step.op == ZrPlanOp::LoadThrough) {
                separate_.push_back(std::move(first));
                return;
            }
        for (const ZrProgramItem& step : program.items)
            if (step.ownedItem)
                shared->items.push_back(step.ownedItem.get());
        shared->ownPerInstance = shared->items.size();
        const ZrInstanceLayout layout{program.values.data(), program.values.size(), shared->items};
        shared->plan = std::make_unique<ZrInterpreter>(steps, program.back().result, scratch.memory(), &layout);
        if (ZrCodeGeneratorI* generator = zr::codeGenerator();
            generator && first->getExecutionTier() == ZrExecutionTier::MachineCode)
            shared->loop = generator->generateLoop(steps, program.back().result, layout);
        shared->stride = program.values.size();
        shared->values = program.values;
    }
    for (const std::wstring& name : constantNames_) {
        unsigned index = 0;
        registrar->findConst(name.c_str(), index);
        shared->constantIndexes.push_back(index);
    }
    shared->compiler = compiler;
    shared->registrar = registrar;
    shared->first = std::move(first);
    shared_ = std::move(shared);
}

// The registrar of the first instance takes this instance's constants, so that the rebuilt
// program reads them, and so do the texts its per-use instances compile (macros).
void ZrFormulaInstances::addShared(std::span<const double> values)
{
    Shared& shared = *shared_;
    for (std::size_t k = 0; k < values.size(); ++k)
        shared.registrar->setConstValue(shared.constantIndexes[k], values[k]);
    ZrProgram program = shared.compiler->instantiate();
    const bool constant = program.back().isConst;
    std::size_t own = 0;
    for (const ZrProgramItem& step : program.items)
        own += step.ownedItem ? 1 : 0;
    // Constants change values, never which steps fold: every instance has the same layout.
    if (constant != !shared.plan || (!constant && (program.values.size() != shared.stride || own != shared.ownPerInstance)))
        zrRaise(ZrExcepData(L"ZRPARSINGEXCEP_InternalError", L"pos", L"0"), __LINE__, ZR_SOURCE_FILE);
    if (constant) {
        shared.values.push_back(program.back().value);
        return;
    }
    shared.values.insert(shared.values.end(), program.values.begin(), program.values.end());
    for (ZrProgramItem& step : program.items)
        if (step.ownedItem) {
            shared.items.push_back(step.ownedItem.get());
            shared.owned.push_back(std::move(step.ownedItem));
        }
}

void ZrFormulaInstances::shrinkToFit()
{
    separate_.shrink_to_fit();
    if (shared_) {
        shared_->values.shrink_to_fit();
        shared_->items.shrink_to_fit();
        shared_->owned.shrink_to_fit();
    }
}

std::size_t ZrFormulaInstances::evaluate(std::size_t first, std::size_t count, double* results)
{
    if (shared_ && shared_->loop) {
        shared_->loop->entry()(shared_->values.data() + first * shared_->stride,
                               shared_->items.data() + first * shared_->ownPerInstance, count, results);
        return 0;
    }
    std::size_t threw = 0;
    for (std::size_t i = 0; i < count; ++i) {
        try {
            results[i] = evaluate(first + i);
        } catch (...) {
            results[i] = zr::nan();
            ++threw;
        }
    }
    return threw;
}

double ZrFormulaInstances::evaluate(std::size_t instance)
{
    if (!shared_)
        return separate_[instance]->evaluate();
    Shared& shared = *shared_;
    double* row = shared.values.data() + instance * shared.stride;
    if (!shared.plan)
        return *row;
    return shared.plan->runRelocated(row, shared.items.data() + instance * shared.ownPerInstance);
}
