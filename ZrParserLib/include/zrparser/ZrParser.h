// The expression library's public object, and everything a host needs to include.
#pragma once

#include <memory>
#include <string>

#include "zrparser/ZrCompilerI.h"
#include "zrparser/ZrException.h"
#include "zrparser/ZrExecutionPlan.h"
#include "zrparser/ZrExport.h"
#include "zrparser/ZrFunctionBase.h"
#include "zrparser/ZrOperatorI.h"
#include "zrparser/ZrParserItemI.h"
#include "zrparser/ZrPlatform.h"
#include "zrparser/ZrRegistrarI.h"
#include "zrparser/ZrVariableI.h"

struct ZrProgram;
struct ZrProgramItem;
class ZrInterpreter;

// Defines items, compiles one expression and evaluates it, typically once per frame.
// A parser is used by one thread at a time.
class ZR_API ZrParser : public ZrRegistrarPublicI, public ZrCompilerPublicI {
public:
    // A variable bound to a double in memory (the host's, or its own).
    class ZR_API MemVariableEvaluator final : public ZrVariableI {
    public:
        MemVariableEvaluator(const wchar_t* name, double* valuePtr);
        // A variable that owns its value, initially 0.
        explicit MemVariableEvaluator(const wchar_t* name);

        const wchar_t* getSymbol() const override { return name_.c_str(); }
        const wchar_t* getHelpString() const override { return L""; }
        const wchar_t* getDescription() const override { return L""; }
        bool isConstant() const override { return false; }
        double evaluate(unsigned, const double*) override { return *valuePtr_; }
        // Reads the same storage as this object, which must outlive the copy.
        ZrVariableI* spawn() const override;
        // Where the value is read.
        const double* address() const { return valuePtr_; }

    private:
        double* valuePtr_;
        std::wstring name_;
        double ownValue_ = 0.0;
    };

    // Makes variables that own their values, for automatic definition of unknown names.
    class ZR_API MemVariableFactory final : public ZrVariableFactoryI {
    public:
        ZrVariableI* create(const wchar_t* name) override;
        ZrVariableFactoryI* spawn() const override;
    };

    // A parser with the default operators, functions and the constant "NaN".
    ZrParser();
    // A child parser over another parser's definitions: its registrar is spawned from
    // `registrar` (linked to it or a full copy) and its compiler from `compiler`.
    ZrParser(ZrCompilerI* compiler, ZrRegistrarI* registrar, bool linkToParent);
    ZrParser(const ZrParser&) = delete;
    ZrParser& operator=(const ZrParser&) = delete;
    ~ZrParser() override;

    // ---- definitions: passed on to the registrar; what removes a definition resets the program ----
    ZR_REGISTRAR_PUBLIC_OPERATIONS(ZR_DECLARE_OPERATION_OVERRIDE)

    // ---- the parser's own operations ----
    virtual void initFrom(ZrCompilerI* compiler, ZrRegistrarI* registrar, bool linkToParent);
    virtual void copy(ZrParser& other, bool linkToParent);
    // Runs the compiled program once. Allocates nothing, and calls each item that is not a
    // built-in operator or a pure default function once, in program order.
    virtual double evaluate();
    virtual double evaluate(const wchar_t* expr);
    virtual void evaluateBatch(unsigned nbEvals, double* results);
    virtual bool isResultFinite();
    virtual bool isResultNaN();
    // Binds `name` to the double at `address`; the host may change it between evaluations.
    virtual void defineVar(const wchar_t* name, double* address);
    virtual void redefineVar(const wchar_t* name, double* address);
    // factory null: variables that own their values.
    virtual void enableAutoVarDefinition(bool enable, ZrVariableFactoryI* factory);
    virtual void loadAllPlugins(const wchar_t* directory, const wchar_t* searchPattern);
    virtual void defineMacro(const wchar_t* prototype, const wchar_t* macro, const wchar_t* description);
    virtual void undefineFuncById(const wchar_t* id);
    virtual void undefineFuncsBySymbol(const wchar_t* symbol);
    virtual void undefineOpById(const wchar_t* id);
    virtual void undefineOpsBySymbol(const wchar_t* symbol);
    // Decimal point from the calling thread's locale; "," as decimal point makes ";" the separator.
    virtual void useLocaleSettings();
    virtual double getNaN();

    // ---- compilation (passed on to the compiler) ----
    bool isAutoVarDefinitionEnabled() override;
    // Compiles `expr`; when it fails the parser is reset, so evaluate() gives NaN.
    void compile(const wchar_t* expr) override;
    bool isConstant() override;
    unsigned getNbUsedVars() override;
    std::wstring getUsedVar(unsigned index) override;
    std::wstring getExpression() override;
    void reset() override;

    // ---- how the program runs ----
    // The tier this parser runs its programs with from the next compile on; every tier gives
    // the same values and makes the same calls.
    void setExecutionTier(ZrExecutionTier tier);
    // The tier that runs the current program: MachineCode falls back to Interpreter where no
    // code generator is installed or none can make code for the program.
    ZrExecutionTier getExecutionTier() const { return runningTier_; }
    // The tier of parsers made from now on; MachineCode unless changed.
    static void setDefaultExecutionTier(ZrExecutionTier tier);
    static ZrExecutionTier getDefaultExecutionTier();
    // What evaluate() runs for the current program, for plans that run it from within theirs.
    ZrProgramRunner runner() const;

    // Access for functions that compile sub-expressions of their own.
    ZrCompilerI* getCompiler() { return compiler_.get(); }
    ZrRegistrarI* getRegistrar() { return registrar_.get(); }
    // A parser for one argument text of a call that `compiler` is compiling: it sees the
    // calling expression's definitions through a linked registrar and its variables only
    // through `compiler`, so each variable is still read once per evaluation of the caller.
    static std::unique_ptr<ZrParser> makeArgumentParser(ZrCompilerI* compiler, ZrRegistrarI* registrar);

private:
    void refreshView();
    void resetAndRefresh();
    void defineDefaults();
    // Builds the registrar and compiler of a child of `compiler` and `registrar`.
    void spawnFrom(ZrCompilerI* compiler, ZrRegistrarI* registrar, bool linkToParent);
    // Derives how the current program runs at the wanted tier.
    void preparePlan();
    static double runReference(const void* parser);
    static double readConstant(const void* value);

    // The compiler works on the registrar: it goes first, so it is declared last.
    std::unique_ptr<ZrRegistrarI> registrar_;
    std::unique_ptr<ZrCompilerI> compiler_;
    ZrProgram* program_ = nullptr;
    ZrProgramItem* firstItem_ = nullptr;
    ZrProgramItem* endItem_ = nullptr;
    unsigned nbItems_ = 0;
    double constantResult_ = 0.0;

    ZrExecutionTier wantedTier_;
    ZrExecutionTier runningTier_ = ZrExecutionTier::Reference;
    std::unique_ptr<ZrInterpreter> interpreter_;
    std::unique_ptr<ZrMachineCodeI> machineCode_;
    // What evaluate() calls, whatever the tier: one indirect call.
    double (*runner_)(const void*) = &readConstant;
    const void* runnerState_ = &constantResult_;
};
