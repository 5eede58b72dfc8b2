// The definition registrar's interfaces: the public part a host uses through the parser, and
// the lookups the compiler uses.
#pragma once

#include <string>
#include <vector>

#include "zrparser/ZrExport.h"

class ZrVariableI;
class ZrVariableFactoryI;
class ZrFunctionI;
class ZrOperatorI;

// The two syntax characters of numeric literals and argument lists.
struct ZrSyntax {
    wchar_t decimalPoint = L'.';
    wchar_t argumentSeparator = L',';
};

// The definition operations a host uses, in their fixed order: the registrar implements them
// and the parser offers them, so they are listed once, here. Each entry is
//   OPERATION(result, name, (parameters), (arguments), effect on a compiled program)
// where the effect is KEEPS (the program stays valid), INVALIDATES (the program may use what
// went away, so the parser resets it) or REBINDS (a variable object is replaced: the parser
// swaps it in the program too).
// Every define operation takes ownership of the item, also when the definition fails.
// loadPlugin creates the plug-in component named by a class id text or ProgID and defines its items.
#define ZR_REGISTRAR_PUBLIC_OPERATIONS(OPERATION)                                                          \
    OPERATION(void, defineVar, (ZrVariableI * var), (var), KEEPS)                                         \
    OPERATION(void, redefineVar, (ZrVariableI * var), (var), REBINDS)                                     \
    OPERATION(void, undefineVar, (const wchar_t* name), (name), INVALIDATES)                              \
    OPERATION(void, undefineAllVars, (), (), INVALIDATES)                                                 \
    OPERATION(ZrVariableI*, getVar, (const wchar_t* name), (name), KEEPS)                                 \
    OPERATION(ZrVariableI*, getVarByIndex, (unsigned index), (index), KEEPS)                              \
    OPERATION(unsigned, getNbDefinedVars, (), (), KEEPS)                                                  \
    OPERATION(void, loadPlugin, (const wchar_t* clsidText), (clsidText), KEEPS)                           \
    OPERATION(void, defineConst, (const wchar_t* name, double value), (name, value), KEEPS)               \
    OPERATION(unsigned, getNbDefinedConsts, (), (), KEEPS)                                                \
    OPERATION(void, getConst, (unsigned index, std::wstring& name, double& value), (index, name, value), KEEPS) \
    OPERATION(void, undefineConst, (const wchar_t* name), (name), INVALIDATES)                            \
    OPERATION(void, defineFunc, (ZrFunctionI * func), (func), KEEPS)                                      \
    OPERATION(unsigned, getNbDefinedFuncs, (), (), KEEPS)                                                 \
    OPERATION(ZrFunctionI*, getFunc, (unsigned index), (index), KEEPS)                                    \
    OPERATION(void, undefineFunc, (ZrFunctionI * func), (func), INVALIDATES)                              \
    OPERATION(void, defineOp, (ZrOperatorI * op), (op), KEEPS)                                            \
    OPERATION(unsigned, getNbDefinedOps, (), (), KEEPS)                                                   \
    OPERATION(ZrOperatorI*, getOp, (unsigned index), (index), KEEPS)                                      \
    OPERATION(void, undefineOp, (ZrOperatorI * op), (op), INVALIDATES)                                    \
    OPERATION(void, setSyntax, (const ZrSyntax& syntax), (syntax), KEEPS)                                 \
    OPERATION(ZrSyntax, getSyntax, (), (), KEEPS)

// Declares one listed operation as an abstract one, or as an override in an implementing class.
#define ZR_DECLARE_ABSTRACT_OPERATION(result, name, parameters, arguments, effect) virtual result name parameters = 0;
#define ZR_DECLARE_OPERATION_OVERRIDE(result, name, parameters, arguments, effect) result name parameters override;

class ZR_API ZrRegistrarPublicI {
public:
    ZR_REGISTRAR_PUBLIC_OPERATIONS(ZR_DECLARE_ABSTRACT_OPERATION)
    virtual ~ZrRegistrarPublicI() = default;
};

class ZR_API ZrRegistrarI : public ZrRegistrarPublicI {
public:
    // Takes ownership; the previous factory is deleted. `factory` must not be null.
    virtual void setVarFactory(ZrVariableFactoryI* factory) = 0;
    virtual void defineVarFromFactory(const wchar_t* name) = 0;
    virtual bool isVarDefined(const wchar_t* name) = 0;
    virtual bool findOp(const wchar_t* symbol, bool unary, unsigned& index) = 0;
    // First overload of `name`, own definitions before the parent's.
    virtual bool findFunc(const wchar_t* name, unsigned& index) = 0;
    // The overload a call with nbArgs arguments uses: exact count first, else one taking any number.
    virtual bool findFuncOverload(const wchar_t* name, int nbArgs, unsigned& index) = 0;
    virtual std::vector<ZrFunctionI*> getFuncOverloads(const wchar_t* name) = 0;
    virtual bool findFuncExact(const wchar_t* name, int nbArgs, unsigned& index) = 0;
    virtual bool findConst(const wchar_t* name, unsigned& index) = 0;
    // The longest defined operator symbol that begins text[0..length).
    virtual bool matchOpAt(const wchar_t* text, unsigned length, std::wstring& symbol) = 0;
    // A new registrar: linked to this one as parent, or a full copy; the caller owns it.
    virtual ZrRegistrarI* spawn(bool linkToParent) = 0;
};
