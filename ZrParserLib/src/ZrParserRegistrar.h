// The definition registrar: operators, overloaded functions, variables, constants and syntax,
// each definition checked against the naming rules; optionally linked to a parent registrar.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ZrFunctionTable.h"
#include "zrparser/ZrCom.h"
#include "zrparser/ZrOperatorI.h"
#include "zrparser/ZrParserItemI.h"
#include "zrparser/ZrParserPluginI.h"
#include "zrparser/ZrRegistrarI.h"
#include "zrparser/ZrVariableI.h"

class ZrParserRegistrar final : public ZrRegistrarI {
public:
    ZrParserRegistrar() = default;
    ZrParserRegistrar(const ZrParserRegistrar&) = delete;
    ZrParserRegistrar& operator=(const ZrParserRegistrar&) = delete;
    ~ZrParserRegistrar() override;

    ZR_REGISTRAR_PUBLIC_OPERATIONS(ZR_DECLARE_OPERATION_OVERRIDE)

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
    // Gives the constant at `index` (of findConst) a new value, in this registrar only.
    void setConstValue(unsigned index, double value);

    // What the naming rules look at in a new definition (ZrNamingRules.cpp).
    enum class NameRule {
        Empty,               // the name is empty
        Space,               // the name holds a space
        Number,              // the name reads as a number
        SyntaxCharacter,     // the name holds the argument separator or a bracket
        OperatorInside,      // a defined operator symbol occurs in the name
        VariableExists,      // a variable of that name is defined
        ConstantExists,      // a constant of that name is defined
        FunctionExists,      // a function of that name takes the same number of arguments
        OperatorExists,      // an operator of that symbol and kind (unary or binary) is defined
        PrecedenceRange,     // the operator's precedence lies outside 0..9999
        InsideFunctionName,  // the operator symbol occurs in a defined function's name
        InsideConstantName,  // the operator symbol occurs in a defined constant's name
    };
    struct RuleCheck {
        NameRule rule;
        const wchar_t* messageId;
    };

private:
    // A definition as the naming rules see it.
    struct Candidate {
        std::wstring name;
        int nbArgs = 0;     // functions
        bool unary = false; // operators
        int precedence = 0; // operators
    };
    // The item and conflicting names of a broken rule.
    struct Conflict {
        std::wstring itemName;
        std::wstring conflictItemName;
    };

    struct OpEntry {
        std::unique_ptr<ZrOperatorI> item;
        std::wstring symbol;
        unsigned symbolLength;
    };
    // Children share their parent's constants until they change them.
    struct ConstTable {
        std::vector<std::pair<std::wstring, double>> values;
        std::map<std::wstring, unsigned> index;
    };
    // Variables are shared with the registrars linked to this one.
    struct VarRecord {
        std::shared_ptr<ZrVariableI> var;
        unsigned index;
    };
    static constexpr unsigned NB_BUCKETS = 26;

    // The naming rules of each kind of item, in the order they are checked.
    static const RuleCheck VARIABLE_RULES[7];
    static const RuleCheck CONSTANT_RULES[7];
    static const RuleCheck FUNCTION_RULES[5];
    static const RuleCheck OPERATOR_RULES[7];

    // Checks `candidate` against `rules` in their order and raises the first that breaks.
    void checkNamingRules(const Candidate& candidate, std::span<const RuleCheck> rules);
    bool breaks(NameRule rule, const Candidate& candidate, Conflict& conflict);
    std::wstring syntaxConflict(const std::wstring& name, wchar_t separator) const;
    std::wstring operatorInside(const std::wstring& name);

    void storeOp(std::unique_ptr<ZrOperatorI> op);
    ConstTable& ownConsts();
    std::span<const unsigned> ownOpsStartingWith(wchar_t first) const;
    std::shared_ptr<const ZrFunctionTable::Shadows> shadowsForChildren();
    void rebuildVarIndex();
    void loadPluginItems(IZrParserPlugin& plugin, const wchar_t* clsidText);

    // Declared first, so released last: a plug-in's module holds the code of its items.
    std::vector<zr::ComPtr<IZrParserPlugin>> plugins_;
    std::vector<OpEntry> ops_;
    // Made with the first own operator: linked children mostly have none.
    std::unique_ptr<std::array<std::vector<unsigned>, NB_BUCKETS>> opBuckets_;
    ZrFunctionTable functions_;
    std::shared_ptr<const ZrFunctionTable::Shadows> childShadows_;
    std::vector<VarRecord> vars_;
    std::map<std::wstring, unsigned> varIndex_;
    std::shared_ptr<ConstTable> consts_ = std::make_shared<ConstTable>();
    ZrSyntax syntax_;
    std::unique_ptr<ZrVariableFactoryI> factory_;
    ZrRegistrarI* parent_ = nullptr;
};
