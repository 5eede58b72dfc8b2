// Variable items and the factory that makes variables for names a registrar does not know.
#pragma once

#include "zrparser/ZrExport.h"
#include "zrparser/ZrParserItemI.h"

class ZR_API ZrVariableI : public ZrParserItemI {
public:
    // A new variable of the same class; what it reads is the class's choice.
    virtual ZrVariableI* spawn() const = 0;
    // Reserved for hosts; every variable class of the library returns 0.
    virtual int getReserved() const { return 0; }
};

class ZR_API ZrVariableFactoryI {
public:
    // A new variable called `name` that owns its value; the caller owns it.
    virtual ZrVariableI* create(const wchar_t* name) = 0;
    virtual ZrVariableFactoryI* spawn() const = 0;
    virtual ~ZrVariableFactoryI() = default;
};
