// The conditional function: its two branches are compiled into child parsers of their own and
// only the chosen one runs.
#pragma once

#include <memory>

#include "zrparser/ZrFctParamTokenizer.h"
#include "zrparser/ZrFunctionBase.h"
#include "zrparser/ZrParser.h"

class IfFct final : public ZrFunctionBase<IfFct, ZrFctParamTokenizer::ClientFctI> {
public:
    static const ZrFunctionInfo info;

    // The branches' parsers, null until the call is compiled.
    ZrParser* thenParser() const { return thenParser_.get(); }
    ZrParser* elseParser() const { return elseParser_.get(); }

    // Constant while not compiled; afterwards only when both branches folded.
    bool isConstant() const override;
    bool hasSpawnedItems() override;
    void onParams(std::vector<std::wstring> params, ZrCompilerI* compiler, ZrRegistrarI* registrar,
                  unsigned pos) override;
    // args[0] is the condition; a NaN condition takes the else branch.
    double evaluate(unsigned nbArgs, const double* args) override;

private:
    std::unique_ptr<ZrParser> thenParser_;
    std::unique_ptr<ZrParser> elseParser_;
};
