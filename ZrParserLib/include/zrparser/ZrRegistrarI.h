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

class ZR_API ZrRegistrarPublicI {
public:
    // Every define operation takes ownership of the item, also when the definition fails.
    virtual void defineVar(ZrVariableI* var) = 0;
    virtual void redefineVar(ZrVariableI* var) = 0;
    virtual void undefineVar(const wchar_t* name) = 0;
    virtual void undefineAllVars() = 0;
    virtual ZrVariableI* getVar(const wchar_t* name) = 0;
    virtual ZrVariableI* getVarByIndex(unsigned index) = 0;
    virtual unsigned getNbDefinedVars() = 0;
    // Creates the plug-in component named by a class id text or ProgID and defines its items.
    virtual void loadPlugin(const wchar_t* clsidText) = 0;
    virtual void defineConst(const wchar_t* name, double value) = 0;
    virtual unsigned getNbDefinedConsts() = 0;
    virtual void getConst(unsigned index, std::wstring& name, double& value) = 0;
    virtual void undefineConst(const wchar_t* name) = 0;
    virtual void defineFunc(ZrFunctionI* func) = 0;
    virtual unsigned getNbDefinedFuncs() = 0;
    virtual ZrFunctionI* getFunc(unsigned index) = 0;
    virtual void undefineFunc(ZrFunctionI* func) = 0;
    virtual void defineOp(ZrOperatorI* op) = 0;
    virtual unsigned getNbDefinedOps() = 0;
    virtual ZrOperatorI* getOp(unsigned index) = 0;
    virtual void undefineOp(ZrOperatorI* op) = 0;
    virtual void setSyntax(const ZrSyntax& syntax) = 0;
    virtual ZrSyntax getSyntax() = 0;
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
