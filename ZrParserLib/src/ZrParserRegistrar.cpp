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

std::wstring number(unsigned n)
{
    return std::to_wstring(n);
}

[[noreturn]] void raiseNamed(const wchar_t* id, const std::wstring& itemName, const std::wstring& conflict,
                             unsigned line)
{
    zrRaise(ZrExcepData(id, L"itemName", itemName, L"conflictItemName", conflict), line, ZR_SOURCE_FILE);
}

[[noreturn]] void raiseIndex(unsigned index, unsigned line)
{
    zrRaise(ZrExcepData(L"ZRDEFEXCEP_ItemNotFound", L"param1", number(index)), line, ZR_SOURCE_FILE);
}

[[noreturn]] void raiseNotFound(const std::wstring& name, unsigned line)
{
    zrRaise(ZrExcepData(L"ZRDEFEXCEP_ItemNotFound", L"itemName", name), line, ZR_SOURCE_FILE);
}

unsigned bucketOf(wchar_t first)
{
    return static_cast<unsigned>(first) % 26u;
}

bool hasSpace(const std::wstring& name)
{
    return name.find(L' ') != std::wstring::npos;
}

} // namespace

ZrParserRegistrar::~ZrParserRegistrar()
{
    for (OpEntry& e : ops_)
        if (e.owned)
            delete e.item;
    for (FuncEntry& e : funcs_)
        if (e.owned)
            delete e.item;
    for (VarRecord& r : vars_)
        if (r.owned)
            delete r.var;
    delete factory_;
    // Items are gone before their plug-ins are released: a plug-in's module holds their code.
    for (IZrParserPlugin* p : plugins_)
        p->Release();
}

// ---- naming rules -------------------------------------------------------------------------

std::wstring ZrParserRegistrar::syntaxConflict(const std::wstring& name, wchar_t separator) const
{
    for (wchar_t c : name)
        if (c == separator || c == L'(' || c == L')')
            return std::wstring(1, c);
    return {};
}

std::wstring ZrParserRegistrar::operatorInside(const std::wstring& name)
{
    std::wstring symbol;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (matchOpAt(name.c_str() + i, static_cast<unsigned>(name.size() - i), symbol))
            return symbol;
    return {};
}

// ---- variables ----------------------------------------------------------------------------

void ZrParserRegistrar::defineVar(ZrVariableI* var)
{
    std::unique_ptr<ZrVariableI> guard(var);
    const std::wstring name = textOf(var->getSymbol());
    std::wstring conflict;
    if (name.empty())
        raiseNamed(L"ZRDEFEXCEP_VarNameNull", name, L"", __LINE__);
    if (hasSpace(name))
        raiseNamed(L"ZRDEFEXCEP_VarNameSpace", name, L"", __LINE__);
    if (varIndex_.count(name))
        raiseNamed(L"ZRDEFEXCEP_VarAlreadyDefined", name, L"", __LINE__);
    if (isNumericText(name, syntax_.decimalPoint))
        raiseNamed(L"ZRDEFEXCEP_VarNameOnlyNum", name, L"", __LINE__);
    if (constIndex_.count(name))
        raiseNamed(L"ZRDEFEXCEP_VarNameConstConflict", name, L"", __LINE__);
    if (!(conflict = syntaxConflict(name, syntax_.argumentSeparator)).empty())
        raiseNamed(L"ZRDEFEXCEP_VarNameSyntaxConflict", name, conflict, __LINE__);
    if (!(conflict = operatorInside(name)).empty())
        raiseNamed(L"ZRDEFEXCEP_VarNameDelimConflict", name, conflict, __LINE__);
    vars_.push_back({var, static_cast<unsigned>(vars_.size()), true});
    guard.release();
    varIndex_[name] = vars_.back().index;
}

void ZrParserRegistrar::redefineVar(ZrVariableI* var)
{
    std::unique_ptr<ZrVariableI> guard(var);
    const std::wstring name = textOf(var->getSymbol());
    auto it = varIndex_.find(name);
    if (it == varIndex_.end())
        raiseNotFound(name, __LINE__);
    VarRecord& record = vars_[it->second];
    if (record.owned)
        delete record.var;
    record.var = guard.release();
    // The registrar took the new object, so it owns it even where the old one was borrowed.
    record.owned = true;
}

void ZrParserRegistrar::undefineVar(const wchar_t* name)
{
    auto it = varIndex_.find(textOf(name));
    if (it == varIndex_.end())
        raiseNotFound(textOf(name), __LINE__);
    const unsigned index = it->second;
    if (vars_[index].owned)
        delete vars_[index].var;
    vars_.erase(vars_.begin() + index);
    rebuildVarIndex();
}

void ZrParserRegistrar::undefineAllVars()
{
    for (VarRecord& r : vars_)
        if (r.owned)
            delete r.var;
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
    return vars_[it->second].var;
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
    delete factory_;
    factory_ = factory;
}

void ZrParserRegistrar::defineVarFromFactory(const wchar_t* name)
{
    ZrVariableI* var = factory_ ? factory_->create(name) : nullptr;
    if (!var)
        raiseNotFound(textOf(name), __LINE__);
    defineVar(var);
}

// ---- constants ----------------------------------------------------------------------------

void ZrParserRegistrar::defineConst(const wchar_t* rawName, double value)
{
    const std::wstring name = textOf(rawName);
    std::wstring conflict;
    if (name.empty())
        raiseNamed(L"ZRDEFEXCEP_ConstNameNull", name, L"", __LINE__);
    if (hasSpace(name))
        raiseNamed(L"ZRDEFEXCEP_ConstNameSpace", name, L"", __LINE__);
    if (constIndex_.count(name))
        raiseNamed(L"ZRDEFEXCEP_ConstAlreadyDefined", name, L"", __LINE__);
    if (isNumericText(name, syntax_.decimalPoint))
        raiseNamed(L"ZRDEFEXCEP_ConstNameOnlyNum", name, L"", __LINE__);
    if (!(conflict = syntaxConflict(name, syntax_.argumentSeparator)).empty())
        raiseNamed(L"ZRDEFEXCEP_ConstNameSyntaxConflict", name, conflict, __LINE__);
    if (!(conflict = operatorInside(name)).empty())
        raiseNamed(L"ZRDEFEXCEP_ConstNameOpConflict", name, conflict, __LINE__);
    if (varIndex_.count(name))
        raiseNamed(L"ZRDEFEXCEP_ConstNameVarConflict", name, L"", __LINE__);
    consts_.emplace_back(name, value);
    constIndex_[name] = static_cast<unsigned>(consts_.size() - 1);
}

unsigned ZrParserRegistrar::getNbDefinedConsts()
{
    return static_cast<unsigned>(consts_.size());
}

void ZrParserRegistrar::getConst(unsigned index, std::wstring& name, double& value)
{
    if (index >= consts_.size())
        raiseIndex(index, __LINE__);
    name = consts_[index].first;
    value = consts_[index].second;
}

void ZrParserRegistrar::undefineConst(const wchar_t* rawName)
{
    auto it = constIndex_.find(textOf(rawName));
    if (it == constIndex_.end())
        raiseNotFound(textOf(rawName), __LINE__);
    consts_.erase(consts_.begin() + it->second);
    constIndex_.clear();
    for (unsigned i = 0; i < consts_.size(); ++i)
        constIndex_[consts_[i].first] = i;
}

bool ZrParserRegistrar::findConst(const wchar_t* name, unsigned& index)
{
    auto it = constIndex_.find(textOf(name));
    if (it == constIndex_.end())
        return false;
    index = it->second;
    return true;
}

// ---- functions ----------------------------------------------------------------------------

void ZrParserRegistrar::defineFunc(ZrFunctionI* func)
{
    std::unique_ptr<ZrFunctionI> guard(func);
    const std::wstring name = textOf(func->getSymbol());
    std::wstring conflict;
    unsigned index = 0;
    if (name.empty())
        raiseNamed(L"ZRDEFEXCEP_FuncNameNull", name, L"", __LINE__);
    if (hasSpace(name))
        raiseNamed(L"ZRDEFEXCEP_FuncNameSpace", name, L"", __LINE__);
    if (findFuncExact(name.c_str(), func->getNbArgs(), index))
        raiseNamed(L"ZRDEFEXCEP_FuncAlreadyDefined", name, L"", __LINE__);
    if (!(conflict = syntaxConflict(name, syntax_.argumentSeparator)).empty())
        raiseNamed(L"ZRDEFEXCEP_FuncNameSyntaxConflict", name, conflict, __LINE__);
    if (!(conflict = operatorInside(name)).empty())
        raiseNamed(L"ZRDEFEXCEP_FuncNameOpConflict", name, conflict, __LINE__);
    storeFunc(guard.release(), true);
}

void ZrParserRegistrar::storeFunc(ZrFunctionI* func, bool owned)
{
    std::unique_ptr<ZrFunctionI> guard(owned ? func : nullptr);
    funcs_.push_back({func, textOf(func->getSymbol()), owned});
    guard.release();
    funcIndex_.emplace(funcs_.back().symbol, static_cast<unsigned>(funcs_.size() - 1));
}

void ZrParserRegistrar::rebuildFuncIndex()
{
    funcIndex_.clear();
    for (unsigned i = 0; i < funcs_.size(); ++i)
        funcIndex_.emplace(funcs_[i].symbol, i);
}

unsigned ZrParserRegistrar::getNbDefinedFuncs()
{
    return static_cast<unsigned>(funcs_.size()) + (parent_ ? parent_->getNbDefinedFuncs() : 0);
}

ZrFunctionI* ZrParserRegistrar::getFunc(unsigned index)
{
    if (index < funcs_.size())
        return funcs_[index].item;
    if (!parent_)
        raiseIndex(index, __LINE__);
    return parent_->getFunc(index - static_cast<unsigned>(funcs_.size()));
}

void ZrParserRegistrar::undefineFunc(ZrFunctionI* func)
{
    const std::wstring name = textOf(func->getSymbol());
    unsigned index = 0;
    // Only own definitions can be removed; a parent's stay with the parent.
    if (!findFuncExact(name.c_str(), func->getNbArgs(), index) || index >= funcs_.size())
        raiseNotFound(name, __LINE__);
    if (funcs_[index].owned)
        delete funcs_[index].item;
    funcs_.erase(funcs_.begin() + index);
    rebuildFuncIndex();
}

bool ZrParserRegistrar::findFunc(const wchar_t* name, unsigned& index)
{
    auto it = funcIndex_.find(textOf(name));
    if (it != funcIndex_.end()) {
        index = it->second;
        return true;
    }
    if (parent_ && parent_->findFunc(name, index)) {
        index += static_cast<unsigned>(funcs_.size());
        return true;
    }
    return false;
}

bool ZrParserRegistrar::findFuncExact(const wchar_t* name, int nbArgs, unsigned& index)
{
    auto [first, last] = funcIndex_.equal_range(textOf(name));
    for (auto it = first; it != last; ++it)
        if (funcs_[it->second].item->getNbArgs() == nbArgs) {
            index = it->second;
            return true;
        }
    if (parent_ && parent_->findFuncExact(name, nbArgs, index)) {
        index += static_cast<unsigned>(funcs_.size());
        return true;
    }
    return false;
}

// An exact argument count wins; an any-count overload serves calls with at least one argument.
bool ZrParserRegistrar::findFuncOverload(const wchar_t* name, int nbArgs, unsigned& index)
{
    auto [first, last] = funcIndex_.equal_range(textOf(name));
    bool haveFallback = false;
    unsigned fallback = 0;
    for (auto it = first; it != last; ++it) {
        const int n = funcs_[it->second].item->getNbArgs();
        if (n == nbArgs) {
            index = it->second;
            return true;
        }
        if (n == -1 && nbArgs >= 1 && !haveFallback) {
            haveFallback = true;
            fallback = it->second;
        }
    }
    if (haveFallback) {
        index = fallback;
        return true;
    }
    if (parent_ && parent_->findFuncOverload(name, nbArgs, index)) {
        index += static_cast<unsigned>(funcs_.size());
        return true;
    }
    return false;
}

std::vector<ZrFunctionI*> ZrParserRegistrar::getFuncOverloads(const wchar_t* name)
{
    std::vector<ZrFunctionI*> result;
    auto [first, last] = funcIndex_.equal_range(textOf(name));
    for (auto it = first; it != last; ++it)
        result.push_back(funcs_[it->second].item);
    if (parent_) {
        std::vector<ZrFunctionI*> inherited = parent_->getFuncOverloads(name);
        result.insert(result.end(), inherited.begin(), inherited.end());
    }
    return result;
}

// ---- operators ----------------------------------------------------------------------------

void ZrParserRegistrar::defineOp(ZrOperatorI* op)
{
    std::unique_ptr<ZrOperatorI> guard(op);
    const std::wstring symbol = textOf(op->getSymbol());
    std::wstring conflict;
    unsigned index = 0;
    if (symbol.empty())
        raiseNamed(L"ZRDEFEXCEP_OpNameNull", symbol, L"", __LINE__);
    if (hasSpace(symbol))
        raiseNamed(L"ZRDEFEXCEP_OpNameSpace", symbol, L"", __LINE__);
    const int precedence = op->getPrecedence();
    if (precedence < 0 || precedence > 9999)
        raiseNamed(L"ZRDEFEXCEP_OpPrecedence", symbol, L"", __LINE__);
    if (findOp(symbol.c_str(), op->isUnaryOp(), index))
        raiseNamed(L"ZRDEFEXCEP_OpAlreadyDefined", symbol, L"", __LINE__);
    if (!(conflict = syntaxConflict(symbol, syntax_.argumentSeparator)).empty())
        raiseNamed(L"ZRDEFEXCEP_OpNameSyntaxConflict", symbol, conflict, __LINE__);
    const unsigned nbFuncs = getNbDefinedFuncs();
    for (unsigned i = 0; i < nbFuncs; ++i) {
        const std::wstring funcName = textOf(getFunc(i)->getSymbol());
        if (funcName.find(symbol) != std::wstring::npos)
            raiseNamed(L"ZRDEFEXCEP_FuncNameOpConflict", funcName, symbol, __LINE__);
    }
    for (const auto& c : consts_)
        if (c.first.find(symbol) != std::wstring::npos)
            raiseNamed(L"ZRDEFEXCEP_ConstNameOpConflict", c.first, symbol, __LINE__);
    storeOp(guard.release(), true);
}

// Buckets keep longer symbols first, so the first match of a bucket is the longest.
void ZrParserRegistrar::storeOp(ZrOperatorI* op, bool owned)
{
    std::unique_ptr<ZrOperatorI> guard(owned ? op : nullptr);
    const std::wstring symbol = textOf(op->getSymbol());
    const unsigned length = static_cast<unsigned>(symbol.size());
    std::vector<unsigned>& bucket = opBuckets_[bucketOf(symbol[0])];
    auto at = std::find_if(bucket.begin(), bucket.end(), [&](unsigned i) { return ops_[i].symbolLength < length; });
    bucket.insert(at, static_cast<unsigned>(ops_.size()));
    ops_.push_back({op, symbol, length, owned});
    guard.release();
}

unsigned ZrParserRegistrar::getNbDefinedOps()
{
    return static_cast<unsigned>(ops_.size()) + (parent_ ? parent_->getNbDefinedOps() : 0);
}

ZrOperatorI* ZrParserRegistrar::getOp(unsigned index)
{
    if (index < ops_.size())
        return ops_[index].item;
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
    std::vector<unsigned>& bucket = opBuckets_[bucketOf(symbol[0])];
    auto at = std::find_if(bucket.begin(), bucket.end(), [&](unsigned i) { return ops_[i].item == op; });
    if (at == bucket.end())
        raiseNotFound(symbol, __LINE__);
    const unsigned removed = *at;
    bucket.erase(at);
    const bool owned = ops_[removed].owned;
    ops_.erase(ops_.begin() + removed);
    for (std::vector<unsigned>& b : opBuckets_)
        for (unsigned& i : b)
            if (i > removed)
                --i;
    if (owned)
        delete op;
}

bool ZrParserRegistrar::findOp(const wchar_t* symbol, bool unary, unsigned& index)
{
    if (symbol && symbol[0]) {
        for (unsigned i : opBuckets_[bucketOf(symbol[0])])
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
    for (unsigned i : opBuckets_[bucketOf(text[0])]) {
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
    for (const auto& c : consts_)
        if (!(conflict = syntaxConflict(c.first, syntax.argumentSeparator)).empty())
            raiseNamed(L"ZRDEFEXCEP_ConstNameSyntaxConflict", c.first, conflict, __LINE__);
    syntax_ = syntax;
}

ZrSyntax ZrParserRegistrar::getSyntax()
{
    return syntax_;
}

// ---- spawning -----------------------------------------------------------------------------

ZrRegistrarI* ZrParserRegistrar::spawn(bool linkToParent)
{
    auto child = std::make_unique<ZrParserRegistrar>();
    child->syntax_ = syntax_;
    if (factory_)
        child->factory_ = factory_->spawn();
    for (const auto& [name, index] : varIndex_) {
        ZrVariableI* var = linkToParent ? vars_[index].var : vars_[index].var->spawn();
        child->vars_.push_back({var, static_cast<unsigned>(child->vars_.size()), !linkToParent});
        child->varIndex_[name] = child->vars_.back().index;
    }
    for (IZrParserPlugin* p : plugins_) {
        p->AddRef();
        child->plugins_.push_back(p);
    }
    child->consts_ = consts_;
    child->constIndex_ = constIndex_;

    const unsigned nbFuncs = getNbDefinedFuncs();
    if (!linkToParent) {
        const unsigned nbOps = getNbDefinedOps();
        for (unsigned i = 0; i < nbOps; ++i)
            child->storeOp(getOp(i)->spawn(), true);
        for (unsigned i = 0; i < nbFuncs; ++i)
            child->storeFunc(getFunc(i)->spawn(), true);
    } else {
        child->parent_ = this;
        // Non-inheritable functions get a local copy that shadows the parent's in every lookup.
        // One copy per overload is enough: the parent's list repeats its ancestors' overloads
        // behind its own copies, and copying those again would double the list at every level.
        std::set<std::pair<std::wstring, int>> copied;
        for (unsigned i = 0; i < nbFuncs; ++i) {
            ZrFunctionI* f = getFunc(i);
            if (!f->isInheritable() && copied.emplace(textOf(f->getSymbol()), f->getNbArgs()).second)
                child->storeFunc(f->spawn(), true);
        }
    }
    return child.release();
}

// ---- plug-ins -----------------------------------------------------------------------------

void ZrParserRegistrar::loadPlugin(const wchar_t* clsidText)
{
    const std::wstring text = textOf(clsidText);
    zr::CLSID clsid;
    if (zr::failed(zr::classIdFromText(text.c_str(), clsid)))
        zrRaise(ZrExcepData(L"ZRDEFEXCEP_PluginNotFound", L"itemName", text), __LINE__, ZR_SOURCE_FILE);

    zr::IUnknown* unknown = nullptr;
    void* pluginPtr = nullptr;
    zr::HRESULT hr = zr::createComponent(clsid, zr::IID_IUnknown, reinterpret_cast<void**>(&unknown));
    if (zr::succeeded(hr)) {
        hr = unknown->QueryInterface(IID_IZrParserPlugin, &pluginPtr);
        unknown->Release();
    }
    if (zr::failed(hr)) {
        if (hr == zr::E_NOINTERFACE || hr == zr::TYPE_E_CANTLOADLIBRARY)
            zrRaise(ZrExcepData(L"ZRDEFEXCEP_PluginTypeLibNotFound", L"itemName", L"_ZrParserPlugin.tlb"), __LINE__,
                    ZR_SOURCE_FILE);
        zrRaise(ZrExcepData(L"ZRDEFEXCEP_PluginNotFound", L"itemName", text), __LINE__, ZR_SOURCE_FILE);
    }
    auto* plugin = static_cast<IZrParserPlugin*>(pluginPtr);
    // The list holds the reference for the registrar's whole life.
    plugins_.push_back(plugin);
    loadPluginItems(*plugin, text.c_str());
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

    int nbOps = 0;
    if (zr::failed(plugin.getNbOps(&nbOps)))
        pluginFailed(__LINE__);
    for (int i = 0; i < nbOps; ++i) {
        ZrOperatorI* op = nullptr;
        if (zr::failed(plugin.createOp(i, &op)) || !op)
            pluginFailed(__LINE__);
        try {
            defineOp(op);
        } catch (ZrParserException& e) {
            ZR_RETHROW_WITH(e, ZrExcepData(L"ZRDEFEXCEP_PluginDefConflict", L"itemName", clsidText));
        }
    }

    int nbFuncs = 0;
    if (zr::failed(plugin.getNbFuncs(&nbFuncs)))
        pluginFailed(__LINE__);
    for (int i = 0; i < nbFuncs; ++i) {
        ZrFunctionI* func = nullptr;
        if (zr::failed(plugin.createFunc(i, &func)) || !func)
            pluginFailed(__LINE__);
        try {
            defineFunc(func);
        } catch (ZrParserException& e) {
            ZR_RETHROW_WITH(e, ZrExcepData(L"ZRDEFEXCEP_PluginDefConflict", L"itemName", clsidText));
        }
    }
}
