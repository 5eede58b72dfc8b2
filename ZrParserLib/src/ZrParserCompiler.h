// The expression compiler: an operator-precedence parser that reads the text once, through a
// replaceable compiler state, and builds a folded postfix program.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "zrparser/ZrCompilerI.h"
#include "ZrProgram.h"
#include "zrparser/ZrRegistrarI.h"
#include "zrparser/ZrVariableI.h"

class ZrParserItemI;

class ZrParserCompiler final : public ZrCompilerI {
public:
    // The item of every use of a variable: reads the value its head step fetched this pass.
    class ZrVarStub final : public ZrVariableI {
    public:
        const double* valuePtr = nullptr;

        const wchar_t* getSymbol() const override { return L""; }
        const wchar_t* getHelpString() const override { return L""; }
        const wchar_t* getDescription() const override { return L""; }
        bool isConstant() const override { return false; }
        double evaluate(unsigned, const double*) override { return *valuePtr; }
        ZrVariableI* spawn() const override { return new ZrVarStub(); }
    };

    explicit ZrParserCompiler(ZrRegistrarI* registrar);
    ZrParserCompiler(const ZrParserCompiler&) = delete;
    ZrParserCompiler& operator=(const ZrParserCompiler&) = delete;
    ~ZrParserCompiler() override = default;

    bool isAutoVarDefinitionEnabled() override { return autoVarDefinition_; }
    void compile(const wchar_t* expr) override;
    bool isConstant() override;
    unsigned getNbUsedVars() override { return static_cast<unsigned>(usedVars_.size()); }
    std::wstring getUsedVar(unsigned index) override;
    std::wstring getExpression() override { return expression_; }
    void reset() override;

    void enableAutoVarDefinition(bool enable) override { autoVarDefinition_ = enable; }
    bool hasSpawnedItems() override { return hasSpawnedItems_; }
    void replaceVar(ZrVariableI* var) override;
    ZrProgram& getProgram() override { return program_; }
    void setOuterCompiler(ZrCompilerI* outer) override { outer_ = outer; }
    void appendCurChar() override { curToken_ += workText_[curPos_]; }
    void endCurToken() override;
    const wchar_t* getCurToken() override { return curToken_.c_str(); }
    unsigned getCurPos() override { return curPos_; }
    void addConstValue(double value) override;
    ZrVariableI* getVarItem(const wchar_t* name) override;
    void addVar(const wchar_t* name) override;
    void addFunc(ZrFunctionI* func, unsigned nbArgs) override;
    void addFuncCall(const wchar_t* name, unsigned nbArgs) override;
    unsigned compileSubExpr(const wchar_t* text) override;
    void resumeState() override;
    void setHasSpawnedItems() override { hasSpawnedItems_ = true; }
    [[noreturn]] void throwFuncExcep(const wchar_t* id, unsigned pos, const wchar_t* name, unsigned nbArgs) override;
    [[noreturn]] void throwItemExcep(const wchar_t* id, unsigned pos, const wchar_t* itemName) override;
    [[noreturn]] void throwPosExcep(const wchar_t* id, unsigned pos) override;
    [[noreturn]] void throwDefExcep(const wchar_t* id, const wchar_t* itemName) override;
    ZrCompilerI* spawn(ZrRegistrarI* registrar) override;
    unsigned getTextPos(unsigned pos) override;

    // ---- compiling one text for many instances ----
    // From the next compile on, keep what it takes to build the program again without the text.
    void keepRecipes(bool keep) { keepsRecipe_ = keep; }
    // The last compile's text can be built again: every per-use instance was spawned from a
    // registrar function (no function compiled argument texts of its own).
    bool hasRecipe() const { return !recipe_.empty(); }
    // A new program for the last compiled text, as compiling the text again would make it with
    // the registrar's current constants: fresh per-use instances, folded and pruned. Its variable
    // uses read the heads of this compiler's own program. Throws what folding throws.
    ZrProgram instantiate();
    // How many calls of functions that share state with the whole process (the random
    // sequence, the global memory) the calling thread has compiled so far, nested texts included.
    static unsigned long processStateUseCount();

private:
    class DefaultState;
    friend class DefaultState;

    enum TokenKind : unsigned { NOTHING = 0, VALUE = 1, OPERATOR = 2, FUNCTION = 3 };
    static constexpr unsigned OPEN_BRACKET = 0xFFFFFFFFu;
    static constexpr unsigned CALL_PRECEDENCE = 10000;

    struct PendingEntry {
        unsigned precedence = 0;
        unsigned position = 0;
        unsigned nbArgs = 0;
        bool hasContent = false;
        unsigned kind = NOTHING; // NOTHING marks a bracket
        unsigned index = 0;
        ZrParserItemI* item = nullptr;
    };
    struct BracketLevel {
        unsigned previousKind = NOTHING;
        unsigned lastKind = NOTHING;
    };
    // A variable the expression reads: through a stub of this compiler (own variables, read by
    // a head step) or through the outer compiler's item (variables of a calling expression).
    struct UsedVar {
        ZrVariableI* item;
        std::unique_ptr<ZrVarStub> ownStub; // null for the outer compiler's item
        std::wstring name;
    };
    struct ParsingContext {
        std::wstring curToken, workText, prevToken;
        wchar_t nextChar;
        std::vector<unsigned> positionMap;
        std::vector<PendingEntry> opStack;
        std::vector<BracketLevel> levelStack;
        ZrCompilerStateI* curState;
        unsigned curPos;
    };

    void parse(const wchar_t* text);
    // Ends the token gathered so far; false when a function's own state took over the call.
    bool endToken();
    void recordKind(unsigned kind);
    void markContent(bool flag);
    void emit(const PendingEntry& entry);
    void finishProgram();
    void releaseParseBuffers();
    void foldConstants(ZrProgram& program);
    void pruneConstants(ZrProgram& program);
    void keepRecipe();
    static void noteProcessState(ZrFunctionI& func);
    void linkVariables();
    void addNaNProgram();
    double toNumber(const std::wstring& token) const;

    // Handlers of the default state.
    void onOp(const std::wstring& symbol);
    void onOpenBracket();
    void onCloseOrSeparator();

    ZrRegistrarI* registrar_;
    ZrSyntax syntax_;
    std::wstring expression_;
    std::wstring workText_;
    std::vector<unsigned> positionMap_;
    unsigned curPos_ = 0;
    wchar_t nextChar_ = 0;
    std::wstring curToken_;
    std::wstring prevToken_;
    std::vector<PendingEntry> opStack_;
    std::vector<BracketLevel> levelStack_;
    // Declared before the program: per-use instances may read the stubs while they are destroyed.
    std::vector<UsedVar> usedVars_;
    std::unordered_map<std::wstring, ZrVariableI*> linkedStubs_; // own variables by name
    ZrProgram program_;
    std::vector<ZrParserItemI*> pendingHeads_;                   // in order of first use
    std::vector<std::unique_ptr<ZrCompilerStateI>> states_;
    unsigned defaultState_ = 0;
    ZrCompilerStateI* curState_ = nullptr;
    ZrCompilerI* outer_ = nullptr;
    bool autoVarDefinition_ = false;
    bool hasSpawnedItems_ = false;
    bool keepsRecipe_ = false;
    std::vector<ZrProgramItem> recipe_; // owned steps hold only their prototype
    std::size_t recipeValueCount_ = 0;
};
