// Operator items: prefix or binary operators with a binding strength.
#pragma once

#include "zrparser/ZrExport.h"
#include "zrparser/ZrParserItemI.h"

class ZR_API ZrOperatorI : public ZrParserItemI {
public:
    // Binding strength 0..9999; a larger value binds more tightly.
    virtual int getPrecedence() const = 0;
    // True for a prefix operator of one operand.
    virtual bool isUnaryOp() const = 0;
    virtual ZrOperatorI* spawn() const = 0;
};
