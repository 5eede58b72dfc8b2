// The compiler's interfaces: the public part a host uses through the parser, the operations
// compiler states and self-compiling functions use, and the compiler-state interface.
#pragma once

#include <string>

#include "zrparser/ZrExport.h"

class ZrCompilerI;
class ZrRegistrarI;
class ZrFunctionI;
class ZrVariableI;
struct ZrProgram;

// Receives the characters of an expression while it is the compiler's current state.
class ZR_API ZrCompilerStateI {
public:
    virtual void init(ZrCompilerI* compiler, ZrRegistrarI* registrar) = 0;
    virtual void onEnd() = 0;
    // True when the state consumed the character.
    virtual bool onChar(wchar_t c) = 0;
    virtual void onOp(const std::wstring& symbol) = 0;
    virtual void onOpenBracket() = 0;
    virtual void onCloseBracket() = 0;
    virtual void onArgSeparator() = 0;
    virtual ~ZrCompilerStateI() = default;
};

class ZR_API ZrCompilerPublicI {
public:
    virtual bool isAutoVarDefinitionEnabled() = 0;
    virtual void compile(const wchar_t* expr) = 0;
    // True when the whole compiled expression folded into one constant.
    virtual bool isConstant() = 0;
    virtual unsigned getNbUsedVars() = 0;
    virtual std::wstring getUsedVar(unsigned index) = 0;
    virtual std::wstring getExpression() = 0;
    // Empties the program down to the single NaN constant.
    virtual void reset() = 0;
    virtual ~ZrCompilerPublicI() = default;
};

class ZR_API ZrCompilerI : public ZrCompilerPublicI {
public:
    virtual void enableAutoVarDefinition(bool enable) = 0;
    virtual bool hasSpawnedItems() = 0;
    virtual void replaceVar(ZrVariableI* var) = 0;
    virtual ZrProgram& getProgram() = 0;
    // Names this compiler's registrar does not define as variables are resolved through `outer`.
    virtual void setOuterCompiler(ZrCompilerI* outer) = 0;
    virtual void appendCurChar() = 0;
    virtual void endCurToken() = 0;
    virtual const wchar_t* getCurToken() = 0;
    virtual unsigned getCurPos() = 0;
    virtual void addConstValue(double value) = 0;
    virtual ZrVariableI* getVarItem(const wchar_t* name) = 0;
    virtual void addVar(const wchar_t* name) = 0;
    // Appends a call step for an instance a state made; the program owns it from then on.
    virtual void addFunc(ZrFunctionI* func, unsigned nbArgs) = 0;
    virtual void addFuncCall(const wchar_t* name, unsigned nbArgs) = 0;
    // Compiles `text` into the current program; returns the number of steps it had before.
    virtual unsigned compileSubExpr(const wchar_t* text) = 0;
    virtual void resumeState() = 0;
    virtual void setHasSpawnedItems() = 0;
    // Raising operations; every "pos" they add is mapped to the expression text as written.
    [[noreturn]] virtual void throwFuncExcep(const wchar_t* id, unsigned pos, const wchar_t* name, unsigned nbArgs) = 0;
    [[noreturn]] virtual void throwItemExcep(const wchar_t* id, unsigned pos, const wchar_t* itemName) = 0;
    [[noreturn]] virtual void throwPosExcep(const wchar_t* id, unsigned pos) = 0;
    [[noreturn]] virtual void throwDefExcep(const wchar_t* id, const wchar_t* itemName) = 0;
    virtual ZrCompilerI* spawn(ZrRegistrarI* registrar) = 0;
    // The index in the expression text as written of work-text position `pos`.
    virtual unsigned getTextPos(unsigned pos) = 0;
};
