// The definition registrar: naming rules, operator buckets, function overloads, variables,
// constants, parent links and plug-in loading.
#include "ZrParserRegistrar.h"

#include <algorithm>
#include <cwchar>
#include <memory>
#include <set>

#include "ZrNumericText.h"
#include "zrparser/ZrComponentFactory.h"
#include "zrparser/ZrException.h"
#include "zrparser/ZrOperatorI.h"
#include "zrparser/ZrParserItemI.h"
#include "zrparser/ZrParserPluginI.h"
#include "zrparser/ZrVariableI.h"

namespace {

std::wstring textOf(const wchar_t* s)
{
    return s ? s : L"";
}

[[noreturn]] void raiseNamed(const wchar_t* id, const std::wstring& itemName, const std::wstring& conflict,
                             unsigned line)
{
    zrRaise(ZrExcepData(id, L"itemName", itemName, L"conflictItemName", conflict), line, ZR_SOURCE_FILE);
}

[[noreturn]] void raiseIndex(unsigned index, unsigned line)
{
    zrRaise(ZrExcepData(L"ZRDEFEXCEP_ItemNotFound", L"param1", std::to_wstring(index)), line, ZR_SOURCE_FILE);
}

[[noreturn]] void raiseNotFound(const std::wstring& name, unsigned line)
{
    zrRaise(ZrExcepData(L"ZRDEFEXCEP_ItemNotFound", L"itemName", name), line, ZR_SOURCE_FILE);
}

unsigned bucketOf(wchar_t first)
{
    return static_cast<unsigned>(first) % 26u;
}

} // namespace

// Items go before their plug-ins are released (plugins_ is declared first).
ZrParserRegistrar::~ZrParserRegistrar() = default;

// ---- variables ----------------------------------------------------------------------------

void ZrParserRegistrar::defineVar(ZrVariableI* var)
{
    std::shared_ptr<ZrVariableI> taken(var);
    const std::wstring name = textOf(var->getSymbol());
    checkNamingRules({name}, VARIABLE_RULES);
    vars_.push_back({std::move(taken), static_cast<unsigned>(vars_.size())});
    varIndex_[name] = vars_.back().index;
}

void ZrParserRegistrar::redefineVar(ZrVariableI* var)
{
    std::shared_ptr<ZrVariableI> taken(var);
    const std::wstring name = textOf(var->getSymbol());
    auto it = varIndex_.find(name);
    if (it == varIndex_.end())
        raiseNotFound(name, __LINE__);
    vars_[it->second].var = std::move(taken);
}

void ZrParserRegistrar::undefineVar(const wchar_t* name)
{
    auto it = varIndex_.find(textOf(name));
    if (it == varIndex_.end())
        raiseNotFound(textOf(name), __LINE__);
    vars_.erase(vars_.begin() + it->second);
    rebuildVarIndex();
}

void ZrParserRegistrar::undefineAllVars()
{
    vars_.clear();
    varIndex_.clear();
}

void ZrParserRegistrar::rebuildVarIndex()
{
    varIndex_.clear();
    for (unsigned i = 0; i < vars_.size(); ++i) {
        vars_[i].index = i;
        varIndex_[textOf(vars_[i].var->getSymbol())] = i;
    }
}

ZrVariableI* ZrParserRegistrar::getVar(const wchar_t* name)
{
    auto it = varIndex_.find(textOf(name));
    if (it == varIndex_.end())
        raiseNotFound(textOf(name), __LINE__);
    return vars_[it->second].var.get();
}

ZrVariableI* ZrParserRegistrar::getVarByIndex(unsigned index)
{
    if (index >= vars_.size())
        raiseIndex(index, __LINE__);
    return getVar(vars_[index].var->getSymbol());
}

unsigned ZrParserRegistrar::getNbDefinedVars()
{
    return static_cast<unsigned>(vars_.size());
}

bool ZrParserRegistrar::isVarDefined(const wchar_t* name)
{
    return varIndex_.count(textOf(name)) != 0;
}

void ZrParserRegistrar::setVarFactory(ZrVariableFactoryI* factory)
{
    factory_.reset(factory);
}

void ZrParserRegistrar::defineVarFromFactory(const wchar_t* name)
{
    std::unique_ptr<ZrVariableI> var(factory_ ? factory_->create(name) : nullptr);
    if (!var)
        raiseNotFound(textOf(name), __LINE__);
    defineVar(var.release());
}

// ---- constants ----------------------------------------------------------------------------

void ZrParserRegistrar::defineConst(const wchar_t* rawName, double value)
{
    const std::wstring name = textOf(rawName);
    checkNamingRules({name}, CONSTANT_RULES);
    ConstTable& table = ownConsts();
    table.values.emplace_back(name, value);
    table.index[name] = static_cast<unsigned>(table.values.size() - 1);
}

unsigned ZrParserRegistrar::getNbDefinedConsts()
{
    return static_cast<unsigned>(consts_->values.size());
}

void ZrParserRegistrar::getConst(unsigned index, std::wstring& name, double& value)
{
    if (index >= consts_->values.size())
        raiseIndex(index, __LINE__);
    name = consts_->values[index].first;
    value = consts_->values[index].second;
}

void ZrParserRegistrar::undefineConst(const wchar_t* rawName)
{
    const std::wstring name = textOf(rawName);
    if (!consts_->index.count(name))
        raiseNotFound(name, __LINE__);
    ConstTable& table = ownConsts();
    table.values.erase(table.values.begin() + table.index.at(name));
    table.index.clear();
    for (unsigned i = 0; i < table.values.size(); ++i)
        table.index[table.values[i].first] = i;
}

void ZrParserRegistrar::setConstValue(unsigned index, double value)
{
    if (index >= consts_->values.size())
        raiseIndex(index, __LINE__);
    ownConsts().values[index].second = value;
}

bool ZrParserRegistrar::findConst(const wchar_t* name, unsigned& index)
{
    auto it = consts_->index.find(textOf(name));
    if (it == consts_->index.end())
        return false;
    index = it->second;
    return true;
}

// ---- functions ----------------------------------------------------------------------------

void ZrParserRegistrar::defineFunc(ZrFunctionI* func)
{
    std::unique_ptr<ZrFunctionI> taken(func);
    checkNamingRules({textOf(func->getSymbol()), func->getNbArgs()}, FUNCTION_RULES);
    functions_.add(std::move(taken));
}

unsigned ZrParserRegistrar::getNbDefinedFuncs()
{
    return functions_.size() + (parent_ ? parent_->getNbDefinedFuncs() : 0);
}

ZrFunctionI* ZrParserRegistrar::getFunc(unsigned index)
{
    if (index < functions_.size())
        return functions_.at(index);
    if (!parent_)
        raiseIndex(index, __LINE__);
    return parent_->getFunc(index - functions_.size());
}

void ZrParserRegistrar::undefineFunc(ZrFunctionI* func)
{
    const std::wstring name = textOf(func->getSymbol());
    unsigned index = 0;
    // Only own definitions can be removed; a parent's stay with the parent.
    if (!findFuncExact(name.c_str(), func->getNbArgs(), index) || index >= functions_.size())
        raiseNotFound(name, __LINE__);
    functions_.remove(index);
}

bool ZrParserRegistrar::findFunc(const wchar_t* name, unsigned& index)
{
    if (functions_.findOverload(textOf(name), [&](unsigned i, int) { index = i; return true; }))
        return true;
    if (parent_ && parent_->findFunc(name, index)) {
        index += functions_.size();
        return true;
    }
    return false;
}

bool ZrParserRegistrar::findFuncExact(const wchar_t* name, int nbArgs, unsigned& index)
{
    if (functions_.findOverload(textOf(name), [&](unsigned i, int n) { index = i; return n == nbArgs; }))
        return true;
    if (parent_ && parent_->findFuncExact(name, nbArgs, index)) {
        index += functions_.size();
        return true;
    }
    return false;
}

// An exact argument count wins; an any-count overload serves calls with at least one argument.
bool ZrParserRegistrar::findFuncOverload(const wchar_t* name, int nbArgs, unsigned& index)
{
    bool haveFallback = false;
    unsigned fallback = 0;
    const bool exact = functions_.findOverload(textOf(name), [&](unsigned i, int n) {
        if (n == -1 && nbArgs >= 1 && !haveFallback) {
            haveFallback = true;
            fallback = i;
        }
        index = i;
        return n == nbArgs;
    });
    if (exact)
        return true;
    if (haveFallback) {
        index = fallback;
        return true;
    }
    if (parent_ && parent_->findFuncOverload(name, nbArgs, index)) {
        index += functions_.size();
        return true;
    }
    return false;
}

std::vector<ZrFunctionI*> ZrParserRegistrar::getFuncOverloads(const wchar_t* name)
{
    std::vector<unsigned> own;
    functions_.findOverload(textOf(name), [&](unsigned i, int) {
        own.push_back(i);
        return false;
    });
    std::vector<ZrFunctionI*> result;
    for (unsigned i : own)
        result.push_back(functions_.at(i));
    if (parent_) {
        std::vector<ZrFunctionI*> inherited = parent_->getFuncOverloads(name);
        result.insert(result.end(), inherited.begin(), inherited.end());
    }
    return result;
}

// ---- operators ----------------------------------------------------------------------------

void ZrParserRegistrar::defineOp(ZrOperatorI* op)
{
    std::unique_ptr<ZrOperatorI> taken(op);
    Candidate candidate{textOf(op->getSymbol())};
    candidate.unary = op->isUnaryOp();
    candidate.precedence = op->getPrecedence();
    checkNamingRules(candidate, OPERATOR_RULES);
    storeOp(std::move(taken));
}

// Buckets keep longer symbols first, so the first match of a bucket is the longest.
void ZrParserRegistrar::storeOp(std::unique_ptr<ZrOperatorI> op)
{
    std::wstring symbol = textOf(op->getSymbol());
    const unsigned length = static_cast<unsigned>(symbol.size());
    if (!opBuckets_)
        opBuckets_ = std::make_unique<std::array<std::vector<unsigned>, NB_BUCKETS>>();
    std::vector<unsigned>& bucket = (*opBuckets_)[bucketOf(symbol[0])];
    auto at = std::find_if(bucket.begin(), bucket.end(), [&](unsigned i) { return ops_[i].symbolLength < length; });
    bucket.insert(at, static_cast<unsigned>(ops_.size()));
    ops_.push_back({std::move(op), std::move(symbol), length});
}

unsigned ZrParserRegistrar::getNbDefinedOps()
{
    return static_cast<unsigned>(ops_.size()) + (parent_ ? parent_->getNbDefinedOps() : 0);
}

ZrOperatorI* ZrParserRegistrar::getOp(unsigned index)
{
    if (index < ops_.size())
        return ops_[index].item.get();
    if (!parent_)
        raiseIndex(index, __LINE__);
    return parent_->getOp(index - static_cast<unsigned>(ops_.size()));
}

void ZrParserRegistrar::undefineOp(ZrOperatorI* op)
{
    const std::wstring symbol = textOf(op->getSymbol());
    unsigned index = 0;
    if (symbol.empty() || !findOp(symbol.c_str(), op->isUnaryOp(), index))
        raiseNotFound(symbol, __LINE__);
    if (!opBuckets_)
        raiseNotFound(symbol, __LINE__);
    std::vector<unsigned>& bucket = (*opBuckets_)[bucketOf(symbol[0])];
    auto at = std::find_if(bucket.begin(), bucket.end(), [&](unsigned i) { return ops_[i].item.get() == op; });
    if (at == bucket.end())
        raiseNotFound(symbol, __LINE__);
    const unsigned removed = *at;
    bucket.erase(at);
    ops_.erase(ops_.begin() + removed);
    for (std::vector<unsigned>& b : *opBuckets_)
        for (unsigned& i : b)
            if (i > removed)
                --i;
}

bool ZrParserRegistrar::findOp(const wchar_t* symbol, bool unary, unsigned& index)
{
    if (symbol && symbol[0]) {
        for (unsigned i : ownOpsStartingWith(symbol[0]))
            if (ops_[i].symbol == symbol && ops_[i].item->isUnaryOp() == unary) {
                index = i;
                return true;
            }
    }
    if (parent_ && parent_->findOp(symbol, unary, index)) {
        index += static_cast<unsigned>(ops_.size());
        return true;
    }
    return false;
}

bool ZrParserRegistrar::matchOpAt(const wchar_t* text, unsigned length, std::wstring& symbol)
{
    if (length == 0)
        return false;
    for (unsigned i : ownOpsStartingWith(text[0])) {
        const OpEntry& e = ops_[i];
        if (e.symbolLength <= length && std::wmemcmp(e.symbol.c_str(), text, e.symbolLength) == 0) {
            symbol = e.symbol;
            return true;
        }
    }
    return parent_ && parent_->matchOpAt(text, length, symbol);
}

// ---- syntax -------------------------------------------------------------------------------

void ZrParserRegistrar::setSyntax(const ZrSyntax& syntax)
{
    if (syntax.decimalPoint == syntax.argumentSeparator)
        raiseNamed(L"ZRDEFEXCEP_SyntaxArgDecConflict", L"", L"", __LINE__);
    std::wstring conflict;
    const unsigned nbOps = getNbDefinedOps();
    for (unsigned i = 0; i < nbOps; ++i) {
        const std::wstring symbol = textOf(getOp(i)->getSymbol());
        if (!(conflict = syntaxConflict(symbol, syntax.argumentSeparator)).empty())
            raiseNamed(L"ZRDEFEXCEP_OpNameSyntaxConflict", symbol, conflict, __LINE__);
    }
    const unsigned nbFuncs = getNbDefinedFuncs();
    for (unsigned i = 0; i < nbFuncs; ++i) {
        const std::wstring name = textOf(getFunc(i)->getSymbol());
        if (!(conflict = syntaxConflict(name, syntax.argumentSeparator)).empty())
            raiseNamed(L"ZRDEFEXCEP_FuncNameSyntaxConflict", name, conflict, __LINE__);
    }
    for (const auto& c : consts_->values)
        if (!(conflict = syntaxConflict(c.first, syntax.argumentSeparator)).empty())
            raiseNamed(L"ZRDEFEXCEP_ConstNameSyntaxConflict", c.first, conflict, __LINE__);
    syntax_ = syntax;
}

ZrSyntax ZrParserRegistrar::getSyntax()
{
    return syntax_;
}

// ---- spawning -----------------------------------------------------------------------------

ZrParserRegistrar::ConstTable& ZrParserRegistrar::ownConsts()
{
    if (consts_.use_count() > 1)
        consts_ = std::make_shared<ConstTable>(*consts_);
    return *consts_;
}

std::span<const unsigned> ZrParserRegistrar::ownOpsStartingWith(wchar_t first) const
{
    if (!opBuckets_)
        return {};
    return (*opBuckets_)[bucketOf(first)];
}

// Non-inheritable functions get a local copy in a linked child, which shadows the parent's in
// every lookup. One copy per overload is enough: the list repeats its ancestors' overloads behind
// their copies, and copying those again would double it at every level. Children of one parent
// share the description of their copies, and make each copy only when they use it.
std::shared_ptr<const ZrFunctionTable::Shadows> ZrParserRegistrar::shadowsForChildren()
{
    std::vector<ZrFunctionI*> prototypes;
    std::set<std::pair<std::wstring, int>> copied;
    const unsigned own = functions_.size();
    const unsigned nbFuncs = getNbDefinedFuncs();
    for (unsigned i = 0; i < nbFuncs; ++i) {
        ZrFunctionI* f = i < own ? functions_.prototypeAt(i) : parent_->getFunc(i - own);
        if (!f->isInheritable() && copied.emplace(textOf(f->getSymbol()), f->getNbArgs()).second)
            prototypes.push_back(f);
    }
    childShadows_ = ZrFunctionTable::describe(std::move(prototypes), childShadows_);
    return childShadows_;
}

ZrRegistrarI* ZrParserRegistrar::spawn(bool linkToParent)
{
    auto child = std::make_unique<ZrParserRegistrar>();
    child->syntax_ = syntax_;
    if (factory_)
        child->factory_.reset(factory_->spawn());
    for (const auto& [name, index] : varIndex_) {
        const std::shared_ptr<ZrVariableI>& var = vars_[index].var;
        child->vars_.push_back({linkToParent ? var : std::shared_ptr<ZrVariableI>(var->spawn()),
                                static_cast<unsigned>(child->vars_.size())});
        child->varIndex_[name] = child->vars_.back().index;
    }
    child->plugins_ = plugins_;
    child->consts_ = consts_;

    const unsigned nbFuncs = getNbDefinedFuncs();
    if (!linkToParent) {
        const unsigned nbOps = getNbDefinedOps();
        for (unsigned i = 0; i < nbOps; ++i)
            child->storeOp(std::unique_ptr<ZrOperatorI>(getOp(i)->spawn()));
        for (unsigned i = 0; i < nbFuncs; ++i)
            child->functions_.add(std::unique_ptr<ZrFunctionI>(getFunc(i)->spawn()));
    } else {
        child->parent_ = this;
        child->functions_.shadow(shadowsForChildren());
    }
    return child.release();
}

// ---- plug-ins -----------------------------------------------------------------------------

namespace {

// A plug-in whose component cannot be made, or does not answer the plug-in interface.
[[noreturn]] void raisePluginCreationFailure(zr::HRESULT hr, const std::wstring& text)
{
    if (hr == zr::E_NOINTERFACE || hr == zr::TYPE_E_CANTLOADLIBRARY)
        zrRaise(ZrExcepData(L"ZRDEFEXCEP_PluginTypeLibNotFound", L"itemName", L"_ZrParserPlugin.tlb"), __LINE__,
                ZR_SOURCE_FILE);
    zrRaise(ZrExcepData(L"ZRDEFEXCEP_PluginNotFound", L"itemName", text), __LINE__, ZR_SOURCE_FILE);
}

} // namespace

void ZrParserRegistrar::loadPlugin(const wchar_t* clsidText)
{
    const std::wstring text = textOf(clsidText);
    zr::CLSID clsid;
    if (zr::failed(zr::classIdFromText(text.c_str(), clsid)))
        zrRaise(ZrExcepData(L"ZRDEFEXCEP_PluginNotFound", L"itemName", text), __LINE__, ZR_SOURCE_FILE);

    zr::ComPtr<IZrParserPlugin> plugin;
    {
        zr::ComPtr<zr::IUnknown> unknown;
        zr::HRESULT hr = zr::createComponent(clsid, zr::IID_IUnknown, unknown.put());
        if (zr::succeeded(hr))
            hr = unknown->QueryInterface(IID_IZrParserPlugin, plugin.put());
        if (zr::failed(hr))
            raisePluginCreationFailure(hr, text);
    }
    // The list holds the reference for the registrar's whole life.
    plugins_.push_back(plugin);
    loadPluginItems(*plugin.get(), text.c_str());
}

void ZrParserRegistrar::loadPluginItems(IZrParserPlugin& plugin, const wchar_t* clsidText)
{
    auto pluginFailed = [&](unsigned line) {
        zrRaise(ZrExcepData(L"ZRDEFEXCEP_PluginVersion", L"itemName", clsidText, L"conflictItemName", ZR_PARSER_VERSION),
                line, ZR_SOURCE_FILE);
    };

    zr::BSTR version = nullptr;
    if (zr::failed(plugin.getParserVersion(&version)))
        pluginFailed(__LINE__);
    const std::wstring pluginVersion = textOf(version);
    zr::sysFreeString(version);
    if (pluginVersion != ZR_PARSER_VERSION)
        zrRaise(ZrExcepData(L"ZRDEFEXCEP_PluginVersion", L"itemName", clsidText, L"conflictItemName", ZR_PARSER_VERSION,
                            L"param1", pluginVersion),
                __LINE__, ZR_SOURCE_FILE);

    // Defines each item of one kind that the plug-in offers, in its order; items defined before
    // a conflict stay defined.
    const auto defineOffered = [&]<class Item>(zr::HRESULT (IZrParserPlugin::*count)(int*),
                                               zr::HRESULT (IZrParserPlugin::*create)(int, Item**),
                                               void (ZrParserRegistrar::*define)(Item*)) {
        int nbItems = 0;
        if (zr::failed((plugin.*count)(&nbItems)))
            pluginFailed(__LINE__);
        for (int i = 0; i < nbItems; ++i) {
            Item* item = nullptr;
            if (zr::failed((plugin.*create)(i, &item)) || !item)
                pluginFailed(__LINE__);
            try {
                (this->*define)(item);
            } catch (ZrParserException& e) {
                ZR_RETHROW_WITH(e, ZrExcepData(L"ZRDEFEXCEP_PluginDefConflict", L"itemName", clsidText));
            }
        }
    };
    defineOffered(&IZrParserPlugin::getNbOps, &IZrParserPlugin::createOp, &ZrParserRegistrar::defineOp);
    defineOffered(&IZrParserPlugin::getNbFuncs, &IZrParserPlugin::createFunc, &ZrParserRegistrar::defineFunc);
}
