// The parser façade: construction with the default definitions, child parsers, the view of
// the compiled program and the evaluation loop.
#include "zrparser/ZrParser.h"

#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "ZrParserCompiler.h"
#include "ZrParserDefFuncs.h"
#include "ZrParserRegistrar.h"
#include "ZrFileSearch.h"
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

ZrParser::ZrParser()
{
    auto registrar = std::make_unique<ZrParserRegistrar>();
    auto compiler = std::make_unique<ZrParserCompiler>(registrar.get());
    registrar_ = registrar.release();
    compiler_ = compiler.release();
    try {
        registrar_->setSyntax(ZrSyntax{L'.', L','});
        registrar_->setVarFactory(new MemVariableFactory());
        compiler_->enableAutoVarDefinition(false);
        defineDefaults();
        defineConst(L"NaN", getNaN());
        program_ = &compiler_->getProgram();
        compiler_->reset();
        refreshView();
    } catch (...) {
        delete compiler_;
        delete registrar_;
        throw;
    }
}

void ZrParser::defineDefaults()
{
    for (ZrOperatorI* (*make)() : zrDefaultOperators())
        defineOp(make());
    for (ZrFunctionI* (*make)() : zrDefaultFunctions())
        defineFunc(make());
}

ZrParser::ZrParser(ZrCompilerI* compiler, ZrRegistrarI* registrar, bool linkToParent)
{
    std::unique_ptr<ZrRegistrarI> ownRegistrar(registrar->spawn(linkToParent));
    compiler_ = compiler->spawn(ownRegistrar.get());
    registrar_ = ownRegistrar.release();
    program_ = &compiler_->getProgram();
    refreshView();
}

ZrParser::~ZrParser()
{
    delete compiler_;
    delete registrar_;
}

void ZrParser::initFrom(ZrCompilerI* compiler, ZrRegistrarI* registrar, bool linkToParent)
{
    delete compiler_;
    compiler_ = nullptr;
    delete registrar_;
    registrar_ = nullptr;
    std::unique_ptr<ZrRegistrarI> ownRegistrar(registrar->spawn(linkToParent));
    compiler_ = compiler->spawn(ownRegistrar.get());
    registrar_ = ownRegistrar.release();
    program_ = &compiler_->getProgram();
    refreshView();
}

void ZrParser::copy(ZrParser& other, bool linkToParent)
{
    initFrom(other.compiler_, other.registrar_, linkToParent);
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
    return p[sizeof...(I) - 1].value;
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

double ZrParser::evaluate()
{
    if (nbItems_ == 0)
        return constantResult_;
    if (nbItems_ <= MAX_UNROLLED)
        return runners[nbItems_](firstItem_);
    for (ZrProgramItem* p = firstItem_; p != endItem_; ++p)
        *p->result = p->item->evaluate(p->nbArgs, p->args);
    return endItem_[-1].value;
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
    const double v = nbItems_ == 0 ? constantResult_ : endItem_[-1].value;
    return std::isfinite(v);
}

bool ZrParser::isResultNaN()
{
    const double v = nbItems_ == 0 ? constantResult_ : endItem_[-1].value;
    return std::isnan(v);
}

double ZrParser::getNaN()
{
    return zr::nan();
}

// ---- definitions --------------------------------------------------------------------------

void ZrParser::defineVar(ZrVariableI* var)
{
    registrar_->defineVar(var);
}

void ZrParser::redefineVar(ZrVariableI* var)
{
    try {
        compiler_->replaceVar(var);
    } catch (ZrParserException& e) {
        delete var;
        resetAndRefresh();
        throw ZrParserException(e);
    }
    try {
        registrar_->redefineVar(var);
    } catch (ZrParserException& e) {
        resetAndRefresh();
        throw ZrParserException(e);
    }
}

void ZrParser::undefineVar(const wchar_t* name)
{
    registrar_->undefineVar(name);
    resetAndRefresh();
}

void ZrParser::undefineAllVars()
{
    registrar_->undefineAllVars();
    resetAndRefresh();
}

ZrVariableI* ZrParser::getVar(const wchar_t* name)
{
    return registrar_->getVar(name);
}

ZrVariableI* ZrParser::getVarByIndex(unsigned index)
{
    return registrar_->getVarByIndex(index);
}

unsigned ZrParser::getNbDefinedVars()
{
    return registrar_->getNbDefinedVars();
}

void ZrParser::loadPlugin(const wchar_t* clsidText)
{
    registrar_->loadPlugin(clsidText);
}

void ZrParser::defineConst(const wchar_t* name, double value)
{
    registrar_->defineConst(name, value);
}

unsigned ZrParser::getNbDefinedConsts()
{
    return registrar_->getNbDefinedConsts();
}

void ZrParser::getConst(unsigned index, std::wstring& name, double& value)
{
    registrar_->getConst(index, name, value);
}

void ZrParser::undefineConst(const wchar_t* name)
{
    registrar_->undefineConst(name);
    resetAndRefresh();
}

void ZrParser::defineFunc(ZrFunctionI* func)
{
    registrar_->defineFunc(func);
}

unsigned ZrParser::getNbDefinedFuncs()
{
    return registrar_->getNbDefinedFuncs();
}

ZrFunctionI* ZrParser::getFunc(unsigned index)
{
    return registrar_->getFunc(index);
}

void ZrParser::undefineFunc(ZrFunctionI* func)
{
    registrar_->undefineFunc(func);
    resetAndRefresh();
}

void ZrParser::defineOp(ZrOperatorI* op)
{
    registrar_->defineOp(op);
}

unsigned ZrParser::getNbDefinedOps()
{
    return registrar_->getNbDefinedOps();
}

ZrOperatorI* ZrParser::getOp(unsigned index)
{
    return registrar_->getOp(index);
}

void ZrParser::undefineOp(ZrOperatorI* op)
{
    registrar_->undefineOp(op);
    resetAndRefresh();
}

void ZrParser::setSyntax(const ZrSyntax& syntax)
{
    registrar_->setSyntax(syntax);
}

ZrSyntax ZrParser::getSyntax()
{
    return registrar_->getSyntax();
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

void ZrParser::undefineFuncById(const wchar_t* id)
{
    const std::wstring wanted = id ? id : L"";
    const unsigned count = getNbDefinedFuncs();
    for (unsigned i = 0; i < count; ++i) {
        ZrFunctionI* func = getFunc(i);
        if (wanted == func->getID()) {
            undefineFunc(func);
            return;
        }
    }
}

void ZrParser::undefineFuncsBySymbol(const wchar_t* symbol)
{
    for (ZrFunctionI* func : registrar_->getFuncOverloads(symbol))
        undefineFunc(func);
}

void ZrParser::undefineOpById(const wchar_t* id)
{
    const std::wstring wanted = id ? id : L"";
    const unsigned count = getNbDefinedOps();
    for (unsigned i = 0; i < count; ++i) {
        ZrOperatorI* op = getOp(i);
        if (wanted == op->getID()) {
            undefineOp(op);
            return;
        }
    }
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
