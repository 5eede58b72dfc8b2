// The conditional function: compiles its branches in child parsers and runs one per evaluation.
#include "ZrIfFct.h"

#include "zrparser/ZrParser.h"

const ZrFunctionInfo IfFct::info{L"if", nullptr, L"if(condition, valueIfTrue, valueIfFalse)",
                            L"If the condition is true (>0), return valueIfTrue else return valueIfFalse.", 1, true,
                            true};

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

void IfFct::onParams(std::vector<std::wstring> params, ZrCompilerI* compiler, ZrRegistrarI* registrar, unsigned pos)
{
    thenParser_.reset();
    elseParser_.reset();
    if (params.size() != 3)
        compiler->throwFuncExcep(L"ZRPARSINGEXCEP_OverloadedFuncNotFound", pos, info.symbol,
                                 static_cast<unsigned>(params.size()));
    thenParser_ = ZrParser::makeArgumentParser(compiler, registrar);
    elseParser_ = ZrParser::makeArgumentParser(compiler, registrar);
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
