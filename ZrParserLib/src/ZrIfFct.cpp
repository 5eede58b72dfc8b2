// The conditional function: compiles its branches in child parsers and runs one per evaluation.
#include "ZrIfFct.h"

#include "zrparser/ZrParser.h"

const ZrFunctionInfo IfFct::info{L"if", nullptr, L"if(condition, valueIfTrue, valueIfFalse)",
                            L"If the condition is true (>0), return valueIfTrue else return valueIfFalse.", 1, true,
                            true};

IfFct::~IfFct()
{
    delete thenParser_;
    delete elseParser_;
}

bool IfFct::isConstant() const
{
    if (!thenParser_ || !elseParser_)
        return true;
    return thenParser_->isConstant() && elseParser_->isConstant();
}

bool IfFct::hasSpawnedItems()
{
    if (!thenParser_ || !elseParser_)
        return false;
    return thenParser_->getCompiler()->hasSpawnedItems() || elseParser_->getCompiler()->hasSpawnedItems();
}

namespace {

// A branch sees the caller's definitions through its linked registrar, and the caller's
// variables only through the caller's compiler.
ZrParser* makeBranchParser(ZrCompilerI* compiler, ZrRegistrarI* registrar)
{
    auto* parser = new ZrParser(compiler, registrar, true);
    parser->getCompiler()->setOuterCompiler(compiler);
    parser->enableAutoVarDefinition(false, nullptr);
    parser->undefineAllVars();
    return parser;
}

} // namespace

void IfFct::onParams(std::vector<std::wstring> params, ZrCompilerI* compiler, ZrRegistrarI* registrar, unsigned pos)
{
    delete thenParser_;
    thenParser_ = nullptr;
    delete elseParser_;
    elseParser_ = nullptr;
    if (params.size() != 3)
        compiler->throwFuncExcep(L"ZRPARSINGEXCEP_OverloadedFuncNotFound", pos, info.symbol,
                                 static_cast<unsigned>(params.size()));
    thenParser_ = makeBranchParser(compiler, registrar);
    elseParser_ = makeBranchParser(compiler, registrar);
    unsigned argument = 2;
    try {
        thenParser_->compile(params[1].c_str());
        argument = 3;
        elseParser_->compile(params[2].c_str());
        argument = 1;
        compiler->compileSubExpr(params[0].c_str());
    } catch (ZrParserException& e) {
        ZR_RETHROW_WITH(e, ZrExcepData(L"ZRPARSINGEXCEP_InvalidFuncSyntax", L"pos",
                                       std::to_wstring(compiler->getTextPos(pos)), L"itemName", info.symbol, L"param1",
                                       std::to_wstring(argument)));
    }
}

double IfFct::evaluate(unsigned, const double* args)
{
    return args[0] > 0 ? thenParser_->evaluate() : elseParser_->evaluate();
}
