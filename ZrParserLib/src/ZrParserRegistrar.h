// The definition registrar: operators, overloaded functions, variables, constants and syntax,
// each definition checked against the naming rules; optionally linked to a parent registrar.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "zrparser/ZrRegistrarI.h"

class IZrParserPlugin;

class ZrParserRegistrar final : public ZrRegistrarI {
public:
    ZrParserRegistrar() = default;
    ZrParserRegistrar(const ZrParserRegistrar&) = delete;
    ZrParserRegistrar& operator=(const ZrParserRegistrar&) = delete;
    ~ZrParserRegistrar() override;

    void defineVar(ZrVariableI* var) override;
    void redefineVar(ZrVariableI* var) override;
    void undefineVar(const wchar_t* name) override;
    void undefineAllVars() override;
    ZrVariableI* getVar(const wchar_t* name) override;
    ZrVariableI* getVarByIndex(unsigned index) override;
    unsigned getNbDefinedVars() override;
    void loadPlugin(const wchar_t* clsidText) override;
    void defineConst(const wchar_t* name, double value) override;
    unsigned getNbDefinedConsts() override;
    void getConst(unsigned index, std::wstring& name, double& value) override;
    void undefineConst(const wchar_t* name) override;
    void defineFunc(ZrFunctionI* func) override;
    unsigned getNbDefinedFuncs() override;
    ZrFunctionI* getFunc(unsigned index) override;
    void undefineFunc(ZrFunctionI* func) override;
    void defineOp(ZrOperatorI* op) override;
    unsigned getNbDefinedOps() override;
    ZrOperatorI* getOp(unsigned index) override;
    void undefineOp(ZrOperatorI* op) override;
    void setSyntax(const ZrSyntax& syntax) override;
    ZrSyntax getSyntax() override;

    void setVarFactory(ZrVariableFactoryI* factory) override;
    void defineVarFromFactory(const wchar_t* name) override;
    bool isVarDefined(const wchar_t* name) override;
    bool findOp(const wchar_t* symbol, bool unary, unsigned& index) override;
    bool findFunc(const wchar_t* name, unsigned& index) override;
    bool findFuncOverload(const wchar_t* name, int nbArgs, unsigned& index) override;
    std::vector<ZrFunctionI*> getFuncOverloads(const wchar_t* name) override;
    bool findFuncExact(const wchar_t* name, int nbArgs, unsigned& index) override;
    bool findConst(const wchar_t* name, unsigned& index) override;
    bool matchOpAt(const wchar_t* text, unsigned length, std::wstring& symbol) override;
    ZrRegistrarI* spawn(bool linkToParent) override;

private:
    struct OpEntry {
        ZrOperatorI* item;
        std::wstring symbol;
        unsigned symbolLength;
        bool owned;
    };
    struct FuncEntry {
        ZrFunctionI* item;
        std::wstring symbol;
        bool owned;
    };
    struct VarRecord {
        ZrVariableI* var;
        unsigned index;
        bool owned;
    };
    static constexpr unsigned NB_BUCKETS = 26;

    // Naming rules shared by the define operations; each returns the conflicting text or empty.
    std::wstring syntaxConflict(const std::wstring& name, wchar_t separator) const;
    std::wstring operatorInside(const std::wstring& name);

    void storeOp(ZrOperatorI* op, bool owned);
    void storeFunc(ZrFunctionI* func, bool owned);
    void rebuildFuncIndex();
    void rebuildVarIndex();
    void loadPluginItems(IZrParserPlugin& plugin, const wchar_t* clsidText);

    std::vector<OpEntry> ops_;
    std::array<std::vector<unsigned>, NB_BUCKETS> opBuckets_;
    std::vector<FuncEntry> funcs_;
    std::multimap<std::wstring, unsigned> funcIndex_;
    std::vector<VarRecord> vars_;
    std::map<std::wstring, unsigned> varIndex_;
    std::vector<std::pair<std::wstring, double>> consts_;
    std::map<std::wstring, unsigned> constIndex_;
    ZrSyntax syntax_;
    ZrVariableFactoryI* factory_ = nullptr;
    ZrRegistrarI* parent_ = nullptr;
    std::vector<IZrParserPlugin*> plugins_;
};
