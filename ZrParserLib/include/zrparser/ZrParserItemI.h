// The item contract: what every operator, variable and function offers to the registrar, the
// compiler and the evaluation loop.
#pragma once

#include "zrparser/ZrExport.h"

class ZrCompilerI;
class ZrRegistrarI;
class ZrCompilerStateI;

// Base of every item an expression can name. Texts are literals or members that live as long
// as the item; callers never free them.
class ZR_API ZrParserItemI {
public:
    // Identifier that names one overload exactly; the symbol unless the item says otherwise.
    virtual const wchar_t* getID() const { return getSymbol(); }
    // The name written in expressions.
    virtual const wchar_t* getSymbol() const = 0;
    // The call prototype shown to users.
    virtual const wchar_t* getHelpString() const = 0;
    virtual const wchar_t* getDescription() const = 0;
    // True when the result depends only on the arguments, so a call with constant arguments
    // may be computed once at compile time.
    virtual bool isConstant() const = 0;
    // Computes the result from nbArgs values; may advance the item's own state. The evaluation
    // loop calls this once per step and per evaluation, so it must not allocate.
    virtual double evaluate(unsigned nbArgs, const double* args) = 0;
    virtual ~ZrParserItemI() = default;
};

// A function item. Non-shareable functions are spawned once per call written in an expression,
// so each call keeps its own state.
class ZR_API ZrFunctionI : public ZrParserItemI {
public:
    // Number of arguments; -1 takes any number (including none).
    virtual int getNbArgs() const = 0;
    // True when one instance may serve every call in every expression (no per-use state).
    virtual bool isShareable() const = 0;
    // True when a child registrar linked to its parent may reach this very instance; false when
    // the child gets its own spawned copy.
    virtual bool isInheritable() const { return true; }
    // A non-null state takes over the parsing of this call's argument list; the item keeps it.
    virtual ZrCompilerStateI* getCompilerState() { return nullptr; }
    // Called on the instance a call will use, each time the call is placed into a program.
    virtual void onCompile(ZrCompilerI* /*compiler*/, ZrRegistrarI* /*registrar*/) {}
    // A new instance of the same class in its initial state; the caller owns it.
    virtual ZrFunctionI* spawn() const = 0;
    // True when a call reads or changes state that the whole process shares (the random
    // sequence, the global memory), so calls in different formulas must keep their order.
    virtual bool usesProcessState() const { return false; }
};
