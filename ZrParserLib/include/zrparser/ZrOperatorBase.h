// Shared plumbing for operator classes: texts, precedence and kind from one static description.
#pragma once

#include "zrparser/ZrOperatorI.h"

struct ZrOperatorInfo {
    const wchar_t* symbol;
    const wchar_t* id; // null: the symbol
    const wchar_t* help;
    const wchar_t* description;
    int precedence;
    bool unary;
};

// Answers the item contract from Derived::info; operators are constant and stateless.
template <class Derived>
class ZrOperatorBase : public ZrOperatorI {
public:
    const wchar_t* getID() const override { return Derived::info.id ? Derived::info.id : Derived::info.symbol; }
    const wchar_t* getSymbol() const override { return Derived::info.symbol; }
    const wchar_t* getHelpString() const override { return Derived::info.help; }
    const wchar_t* getDescription() const override { return Derived::info.description; }
    bool isConstant() const override { return true; }
    int getPrecedence() const override { return Derived::info.precedence; }
    bool isUnaryOp() const override { return Derived::info.unary; }
    ZrOperatorI* spawn() const override { return new Derived(); }
};
