// Conversion functions: their one argument is literal text, turned into a constant while the
// expression is compiled (hexadecimal and binary numbers).
#pragma once

#include <string>

#include "zrparser/ZrCompilerI.h"
#include "zrparser/ZrFunctionBase.h"

// A function that is also the compiler state of its own argument list.
class ZrConvFunctionI : public ZrFunctionI, public ZrCompilerStateI {
public:
    // The value of the literal text; throws when the text is not valid.
    virtual double convert(const std::wstring& text) = 0;

    ZrCompilerStateI* getCompilerState() override { return this; }
    void init(ZrCompilerI* compiler, ZrRegistrarI* registrar) override;
    void onEnd() override;
    bool onChar(wchar_t) override { return false; }
    void onOp(const std::wstring&) override { compiler_->appendCurChar(); }
    void onOpenBracket() override { compiler_->appendCurChar(); }
    void onArgSeparator() override { compiler_->appendCurChar(); }
    void onCloseBracket() override;
    // Never reached in a program: the call compiles to a constant.
    double evaluate(unsigned, const double*) override { return 0.0; }

protected:
    // Value of a text of digits in `base`, each character mapped through `digitOf` (-1: invalid).
    double convertDigits(const std::wstring& text, double base, int (*digitOf)(wchar_t));

    ZrCompilerI* compiler_ = nullptr;
    ZrRegistrarI* registrar_ = nullptr;
    unsigned startPos_ = 0;
};

class HexConvFunc final : public ZrFunctionBase<HexConvFunc, ZrConvFunctionI> {
public:
    static const ZrFunctionInfo info;
    double convert(const std::wstring& text) override;
};

class BinConvFunc final : public ZrFunctionBase<BinConvFunc, ZrConvFunctionI> {
public:
    static const ZrFunctionInfo info;
    double convert(const std::wstring& text) override;
};
