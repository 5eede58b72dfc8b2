// The parser façade: construction with the default definitions, child parsers, the view of
// the compiled program and the evaluation loop.
#include "zrparser/ZrParser.h"

#include <array>
#include <atomic>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "ZrParserCompiler.h"
#include "ZrParserDefFuncs.h"
#include "ZrParserRegistrar.h"
#include "ZrFileSearch.h"
#include "ZrInterpreter.h"
#include "ZrPlanBuilder.h"
#include "ZrProgram.h"
#include "zrparser/ZrScratchMemory.h"
#include "zrparser/ZrComponentFactory.h"
#include "zrparser/ZrParserInfo.h"

// ---- memory variables ---------------------------------------------------------------------

ZrParser::MemVariableEvaluator::MemVariableEvaluator(const wchar_t* name, double* valuePtr)
    : valuePtr_(valuePtr), name_(name ? name : L"")
{
}

ZrParser::MemVariableEvaluator::MemVariableEvaluator(const wchar_t* name) : valuePtr_(&ownValue_), name_(name ? name : L"")
{
}

ZrVariableI* ZrParser::MemVariableEvaluator::spawn() const
{
    return new MemVariableEvaluator(name_.c_str(), valuePtr_);
}

ZrVariableI* ZrParser::MemVariableFactory::create(const wchar_t* name)
{
    return new MemVariableEvaluator(name);
}

ZrVariableFactoryI* ZrParser::MemVariableFactory::spawn() const
{
    return new MemVariableFactory();
}

// ---- construction -------------------------------------------------------------------------

namespace {

std::atomic<ZrExecutionTier> defaultTier{ZrExecutionTier::MachineCode};
std::atomic<ZrCodeGeneratorI*> installedGenerator{nullptr};

} // namespace

void zr::installCodeGenerator(ZrCodeGeneratorI* generator)
{
    installedGenerator.store(generator, std::memory_order_release);
}

ZrCodeGeneratorI* zr::codeGenerator()
{
    return installedGenerator.load(std::memory_order_acquire);
}

void ZrParser::setDefaultExecutionTier(ZrExecutionTier tier)
{
    defaultTier.store(tier, std::memory_order_relaxed);
}

ZrExecutionTier ZrParser::getDefaultExecutionTier()
{
    return defaultTier.load(std::memory_order_relaxed);
}

ZrParser::ZrParser()
    : registrar_(std::make_unique<ZrParserRegistrar>()),
      compiler_(std::make_unique<ZrParserCompiler>(registrar_.get())),
      wantedTier_(getDefaultExecutionTier())
{
    registrar_->setSyntax(ZrSyntax{L'.', L','});
    registrar_->setVarFactory(new MemVariableFactory());
    compiler_->enableAutoVarDefinition(false);
    defineDefaults();
    defineConst(L"NaN", getNaN());
    program_ = &compiler_->getProgram();
    compiler_->reset();
    refreshView();
}

void ZrParser::defineDefaults()
{
    for (ZrOperatorI* (*make)() : zrDefaultOperators())
        defineOp(make());
    for (ZrFunctionI* (*make)() : zrDefaultFunctions())
        defineFunc(make());
}

ZrParser::ZrParser(ZrCompilerI* compiler, ZrRegistrarI* registrar, bool linkToParent)
    : wantedTier_(getDefaultExecutionTier())
{
    spawnFrom(compiler, registrar, linkToParent);
}

ZrParser::~ZrParser() = default;

void ZrParser::spawnFrom(ZrCompilerI* compiler, ZrRegistrarI* registrar, bool linkToParent)
{
    registrar_.reset(registrar->spawn(linkToParent));
    compiler_.reset(compiler->spawn(registrar_.get()));
    program_ = &compiler_->getProgram();
    refreshView();
}

void ZrParser::initFrom(ZrCompilerI* compiler, ZrRegistrarI* registrar, bool linkToParent)
{
    compiler_.reset();
    registrar_.reset();
    spawnFrom(compiler, registrar, linkToParent);
}

void ZrParser::copy(ZrParser& other, bool linkToParent)
{
    initFrom(other.compiler_.get(), other.registrar_.get(), linkToParent);
}

std::unique_ptr<ZrParser> ZrParser::makeArgumentParser(ZrCompilerI* compiler, ZrRegistrarI* registrar)
{
    auto parser = std::make_unique<ZrParser>(compiler, registrar, true);
    parser->getCompiler()->setOuterCompiler(compiler);
    parser->enableAutoVarDefinition(false, nullptr);
    parser->undefineAllVars();
    return parser;
}

// ---- evaluation ---------------------------------------------------------------------------

// The evaluation view: where the program lies, so that evaluate() needs no call into the
// compiler. A program that folded into one constant runs no step at all.
void ZrParser::refreshView()
{
    firstItem_ = program_->items.data();
    endItem_ = firstItem_ + program_->items.size();
    nbItems_ = static_cast<unsigned>(program_->items.size());
    if (nbItems_ > 0 && endItem_[-1].isConst) {
        constantResult_ = endItem_[-1].value;
        nbItems_ = 0;
    }
    preparePlan();
}

void ZrParser::resetAndRefresh()
{
    compiler_->reset();
    refreshView();
}

namespace {

using Runner = double (*)(ZrProgramItem*);

// Straight-line code for a program of exactly N steps.
template <std::size_t... I>
double runSteps(ZrProgramItem* p, std::index_sequence<I...>)
{
    ((*p[I].result = p[I].item->evaluate(p[I].nbArgs, p[I].args)), ...);
    return *p[sizeof...(I) - 1].result;
}

template <std::size_t N>
double runFixed(ZrProgramItem* p)
{
    return runSteps(p, std::make_index_sequence<N>{});
}

constexpr std::size_t MAX_UNROLLED = 30;

template <std::size_t... N>
constexpr std::array<Runner, sizeof...(N) + 1> makeRunners(std::index_sequence<N...>)
{
    return {nullptr, &runFixed<N + 1>...};
}

constexpr auto runners = makeRunners(std::make_index_sequence<MAX_UNROLLED>{});

} // namespace

// The plain loop: one evaluate call per step, in program order. Every other tier is checked
// against it.
double ZrParser::runReference(const void* state)
{
    const ZrParser& parser = *static_cast<const ZrParser*>(state);
    if (parser.nbItems_ <= MAX_UNROLLED)
        return runners[parser.nbItems_](parser.firstItem_);
    for (ZrProgramItem* p = parser.firstItem_; p != parser.endItem_; ++p)
        *p->result = p->item->evaluate(p->nbArgs, p->args);
    return *parser.endItem_[-1].result;
}

double ZrParser::readConstant(const void* value)
{
    return *static_cast<const double*>(value);
}

ZrProgramRunner ZrParser::runner() const
{
    return {runner_, runnerState_, nbItems_ == 0 ? &constantResult_ : nullptr};
}

double ZrParser::evaluate()
{
    return runner_(runnerState_);
}

void ZrParser::setExecutionTier(ZrExecutionTier tier)
{
    wantedTier_ = tier;
    preparePlan();
}

// Plans are derived after every change of the program, so evaluate() never builds one.
void ZrParser::preparePlan()
{
    interpreter_.reset();
    machineCode_.reset();
    runningTier_ = wantedTier_;
    runner_ = &readConstant;
    runnerState_ = &constantResult_;
    if (nbItems_ == 0)
        return;
    if (wantedTier_ == ZrExecutionTier::Reference) {
        runner_ = &runReference;
        runnerState_ = this;
        return;
    }
    const zr::ScratchScope scratch;
    const std::pmr::vector<ZrPlanStep> plan = buildExecutionPlan(*program_, scratch.memory());
    const double* result = endItem_[-1].result;
    if (ZrCodeGeneratorI* generator = zr::codeGenerator(); generator && wantedTier_ == ZrExecutionTier::MachineCode)
        machineCode_ = generator->generate(plan, result);
    if (machineCode_) {
        runner_ = machineCode_->entry();
        runnerState_ = result;
        return;
    }
    interpreter_ = std::make_unique<ZrInterpreter>(plan, result, scratch.memory());
    runningTier_ = ZrExecutionTier::Interpreter;
    runner_ = &ZrInterpreter::runEntry;
    runnerState_ = interpreter_.get();
}

double ZrParser::evaluate(const wchar_t* expr)
{
    compile(expr);
    return evaluate();
}

void ZrParser::evaluateBatch(unsigned nbEvals, double* results)
{
    for (unsigned i = 0; i < nbEvals; ++i)
        results[i] = evaluate();
}

bool ZrParser::isResultFinite()
{
    const double v = nbItems_ == 0 ? constantResult_ : *endItem_[-1].result;
    return std::isfinite(v);
}

bool ZrParser::isResultNaN()
{
    const double v = nbItems_ == 0 ? constantResult_ : *endItem_[-1].result;
    return std::isnan(v);
}

double ZrParser::getNaN()
{
    return zr::nan();
}

// ---- definitions ----------------------------------------------------------------------------

// The listed registrar operations, passed on; those that remove a definition reset the program.
#define ZR_FORWARD_KEEPS(result, name, parameters, arguments)                                                          \
    result ZrParser::name parameters { return registrar_->name arguments; }
#define ZR_FORWARD_INVALIDATES(result, name, parameters, arguments)                                                    \
    result ZrParser::name parameters                                                                                   \
    {                                                                                                                  \
        registrar_->name arguments;                                                                                    \
        resetAndRefresh();                                                                                             \
    }
#define ZR_FORWARD_REBINDS(result, name, parameters, arguments) // written out below
#define ZR_FORWARD(result, name, parameters, arguments, effect) ZR_FORWARD_##effect(result, name, parameters, arguments)
ZR_REGISTRAR_PUBLIC_OPERATIONS(ZR_FORWARD)
#undef ZR_FORWARD
#undef ZR_FORWARD_REBINDS
#undef ZR_FORWARD_INVALIDATES
#undef ZR_FORWARD_KEEPS

// The program's head step is swapped first; a program that may have read the old object is
// reset when either step fails.
void ZrParser::redefineVar(ZrVariableI* var)
{
    std::unique_ptr<ZrVariableI> taken(var);
    try {
        compiler_->replaceVar(var);
        registrar_->redefineVar(taken.release());
    } catch (ZrParserException& e) {
        resetAndRefresh();
        throw ZrParserException(e);
    }
    // The plan may read the old object's storage.
    preparePlan();
}

void ZrParser::defineVar(const wchar_t* name, double* address)
{
    registrar_->defineVar(new MemVariableEvaluator(name, address));
}

void ZrParser::redefineVar(const wchar_t* name, double* address)
{
    redefineVar(static_cast<ZrVariableI*>(new MemVariableEvaluator(name, address)));
}

void ZrParser::enableAutoVarDefinition(bool enable, ZrVariableFactoryI* factory)
{
    registrar_->setVarFactory(factory ? factory : new MemVariableFactory());
    compiler_->enableAutoVarDefinition(enable);
}

namespace {

// The first of `count` items, in index order, whose id is exactly `id`; null when there is none.
template <class Item, class Get>
Item* firstWithId(const wchar_t* id, unsigned count, Get get)
{
    const std::wstring wanted = id ? id : L"";
    for (unsigned i = 0; i < count; ++i)
        if (Item* item = get(i); wanted == item->getID())
            return item;
    return nullptr;
}

} // namespace

void ZrParser::undefineFuncById(const wchar_t* id)
{
    if (ZrFunctionI* func = firstWithId<ZrFunctionI>(id, getNbDefinedFuncs(), [&](unsigned i) { return getFunc(i); }))
        undefineFunc(func);
}

void ZrParser::undefineFuncsBySymbol(const wchar_t* symbol)
{
    for (ZrFunctionI* func : registrar_->getFuncOverloads(symbol))
        undefineFunc(func);
}

void ZrParser::undefineOpById(const wchar_t* id)
{
    if (ZrOperatorI* op = firstWithId<ZrOperatorI>(id, getNbDefinedOps(), [&](unsigned i) { return getOp(i); }))
        undefineOp(op);
}

void ZrParser::undefineOpsBySymbol(const wchar_t* symbol)
{
    unsigned index = 0;
    if (registrar_->findOp(symbol, false, index))
        undefineOp(getOp(index));
    if (registrar_->findOp(symbol, true, index))
        undefineOp(getOp(index));
}

void ZrParser::useLocaleSettings()
{
    const std::optional<wchar_t> point = zr::localeDecimalPoint();
    if (!point)
        return;
    setSyntax(ZrSyntax{*point, *point == L',' ? L';' : L','});
}

namespace {

// Takes one text out of a record and frees it.
std::wstring takeText(zr::BSTR& text)
{
    std::wstring taken = text ? text : L"";
    zr::sysFreeString(text);
    text = nullptr;
    return taken;
}

} // namespace

// Reads every info file of the tree (files of a directory before its subdirectories, depth
// first) and loads each plug-in they describe. A file that cannot be read, or a plug-in that
// fails to load, does not stop the others: their failures are thrown together at the end.
void ZrParser::loadAllPlugins(const wchar_t* directory, const wchar_t* searchPattern)
{
    const std::vector<std::wstring> paths =
        zr::findFiles(directory ? directory : L"", searchPattern ? searchPattern : L"*");

    zr::ComPtr<IZrParserInfo> reader;
    if (zr::failed(zr::createComponent(CLSID_ZrParserInfo, IID_IZrParserInfo, reader.put())) || !reader)
        ZR_RAISE(ZrExcepData(L"ZRLOCEXCEP_ZrParserInfoObjectNotFound"));

    ZrParserException failures;
    for (const std::wstring& path : paths) {
        ZrLibInfo record;
        if (zr::failed(reader->loadFile(path.c_str())) || zr::failed(reader->getLibInfo(&record))) {
            const ZrExcepData data(L"ZRLOCEXCEP_InfoFileOpenFailed", L"itemName", path);
            failures.add(__LINE__, ZR_SOURCE_FILE, 0, data, getExcepText(data).c_str());
            continue;
        }
        takeText(record.name);
        takeText(record.version);
        takeText(record.description);
        const std::wstring type = takeText(record.type);
        takeText(record.module);
        const std::wstring classId = takeText(record.classId);
        if (type != L"plugin")
            continue;
        try {
            loadPlugin(classId.c_str());
        } catch (const ZrParserException& e) {
            failures.appendChain(e);
        }
    }
    if (failures.getNbExceptions() > 0)
        throw ZrParserException(failures);
}

// ---- compilation --------------------------------------------------------------------------

bool ZrParser::isAutoVarDefinitionEnabled()
{
    return compiler_->isAutoVarDefinitionEnabled();
}

void ZrParser::compile(const wchar_t* expr)
{
    try {
        compiler_->compile(expr);
    } catch (...) {
        // Never leave a partly built program to run.
        resetAndRefresh();
        throw;
    }
    refreshView();
}

bool ZrParser::isConstant()
{
    return compiler_->isConstant();
}

unsigned ZrParser::getNbUsedVars()
{
    return compiler_->getNbUsedVars();
}

std::wstring ZrParser::getUsedVar(unsigned index)
{
    return compiler_->getUsedVar(index);
}

std::wstring ZrParser::getExpression()
{
    return compiler_->getExpression();
}

void ZrParser::reset()
{
    resetAndRefresh();
}
