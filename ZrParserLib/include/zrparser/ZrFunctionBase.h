// Shared plumbing for function classes: the catalogue texts and flags come from one static
// description per class, so a class only writes its state and its evaluate.
#pragma once

#include "zrparser/ZrParserItemI.h"

// What a function class tells the registrar and its users about itself.
struct ZrFunctionInfo {
    const wchar_t* symbol;
    const wchar_t* id; // null: the symbol
    const wchar_t* help;
    const wchar_t* description;
    int nbArgs; // -1: any number
    bool constant;
    bool shareable;
};

// Answers the item contract from Derived::info and spawns Derived in its initial state
// (default member initialisers). Base is ZrFunctionI or an intermediate class whose state and
// evaluate the Derived class reuses.
template <class Derived, class Base = ZrFunctionI>
class ZrFunctionBase : public Base {
public:
    const wchar_t* getID() const override { return Derived::info.id ? Derived::info.id : Derived::info.symbol; }
    const wchar_t* getSymbol() const override { return Derived::info.symbol; }
    const wchar_t* getHelpString() const override { return Derived::info.help; }
    const wchar_t* getDescription() const override { return Derived::info.description; }
    bool isConstant() const override { return Derived::info.constant; }
    int getNbArgs() const override { return Derived::info.nbArgs; }
    bool isShareable() const override { return Derived::info.shareable; }
    ZrFunctionI* spawn() const override { return new Derived(); }
};
