// The naming rules a definition must pass before the registrar stores it: one table per kind of
// item, giving the rules in the order they are checked (the first broken rule is reported), and
// one check of each rule shared by every kind.
#include "ZrParserRegistrar.h"

#include "ZrNumericText.h"
#include "zrparser/ZrException.h"

namespace {

using Rule = ZrParserRegistrar::NameRule;
using RuleCheck = ZrParserRegistrar::RuleCheck;

std::wstring textOf(const wchar_t* s)
{
    return s ? s : L"";
}

} // namespace

const RuleCheck ZrParserRegistrar::VARIABLE_RULES[] = {
    {Rule::Empty, L"ZRDEFEXCEP_VarNameNull"},
    {Rule::Space, L"ZRDEFEXCEP_VarNameSpace"},
    {Rule::VariableExists, L"ZRDEFEXCEP_VarAlreadyDefined"},
    {Rule::Number, L"ZRDEFEXCEP_VarNameOnlyNum"},
    {Rule::ConstantExists, L"ZRDEFEXCEP_VarNameConstConflict"},
    {Rule::SyntaxCharacter, L"ZRDEFEXCEP_VarNameSyntaxConflict"},
    {Rule::OperatorInside, L"ZRDEFEXCEP_VarNameDelimConflict"},
};

const RuleCheck ZrParserRegistrar::CONSTANT_RULES[] = {
    {Rule::Empty, L"ZRDEFEXCEP_ConstNameNull"},
    {Rule::Space, L"ZRDEFEXCEP_ConstNameSpace"},
    {Rule::ConstantExists, L"ZRDEFEXCEP_ConstAlreadyDefined"},
    {Rule::Number, L"ZRDEFEXCEP_ConstNameOnlyNum"},
    {Rule::SyntaxCharacter, L"ZRDEFEXCEP_ConstNameSyntaxConflict"},
    {Rule::OperatorInside, L"ZRDEFEXCEP_ConstNameOpConflict"},
    {Rule::VariableExists, L"ZRDEFEXCEP_ConstNameVarConflict"},
};

// Functions are not tested as numbers, constants or variables.
const RuleCheck ZrParserRegistrar::FUNCTION_RULES[] = {
    {Rule::Empty, L"ZRDEFEXCEP_FuncNameNull"},
    {Rule::Space, L"ZRDEFEXCEP_FuncNameSpace"},
    {Rule::FunctionExists, L"ZRDEFEXCEP_FuncAlreadyDefined"},
    {Rule::SyntaxCharacter, L"ZRDEFEXCEP_FuncNameSyntaxConflict"},
    {Rule::OperatorInside, L"ZRDEFEXCEP_FuncNameOpConflict"},
};

// A new operator must not split the name of a function or constant defined before it.
const RuleCheck ZrParserRegistrar::OPERATOR_RULES[] = {
    {Rule::Empty, L"ZRDEFEXCEP_OpNameNull"},
    {Rule::Space, L"ZRDEFEXCEP_OpNameSpace"},
    {Rule::PrecedenceRange, L"ZRDEFEXCEP_OpPrecedence"},
    {Rule::OperatorExists, L"ZRDEFEXCEP_OpAlreadyDefined"},
    {Rule::SyntaxCharacter, L"ZRDEFEXCEP_OpNameSyntaxConflict"},
    {Rule::InsideFunctionName, L"ZRDEFEXCEP_FuncNameOpConflict"},
    {Rule::InsideConstantName, L"ZRDEFEXCEP_ConstNameOpConflict"},
};

void ZrParserRegistrar::checkNamingRules(const Candidate& candidate, std::span<const RuleCheck> rules)
{
    for (const RuleCheck& check : rules) {
        // Most rules concern the candidate alone, with no other item involved.
        Conflict conflict{candidate.name, L""};
        if (breaks(check.rule, candidate, conflict))
            zrRaise(ZrExcepData(check.messageId, L"itemName", conflict.itemName, L"conflictItemName",
                                conflict.conflictItemName),
                    __LINE__, ZR_SOURCE_FILE);
    }
}

bool ZrParserRegistrar::breaks(NameRule rule, const Candidate& candidate, Conflict& conflict)
{
    const std::wstring& name = candidate.name;
    unsigned index = 0;
    switch (rule) {
    case Rule::Empty:
        return name.empty();
    case Rule::Space:
        return name.find(L' ') != std::wstring::npos;
    case Rule::Number:
        return isNumericText(name, syntax_.decimalPoint);
    case Rule::SyntaxCharacter:
        conflict.conflictItemName = syntaxConflict(name, syntax_.argumentSeparator);
        return !conflict.conflictItemName.empty();
    case Rule::OperatorInside:
        conflict.conflictItemName = operatorInside(name);
        return !conflict.conflictItemName.empty();
    case Rule::VariableExists:
        return varIndex_.count(name) != 0;
    case Rule::ConstantExists:
        return consts_->index.count(name) != 0;
    case Rule::FunctionExists:
        return findFuncExact(name.c_str(), candidate.nbArgs, index);
    case Rule::OperatorExists:
        return findOp(name.c_str(), candidate.unary, index);
    case Rule::PrecedenceRange:
        return candidate.precedence < 0 || candidate.precedence > 9999;
    case Rule::InsideFunctionName: {
        const unsigned nbFuncs = getNbDefinedFuncs();
        for (unsigned i = 0; i < nbFuncs; ++i)
            if (const std::wstring funcName = textOf(getFunc(i)->getSymbol()); funcName.find(name) != std::wstring::npos) {
                conflict = {funcName, name};
                return true;
            }
        return false;
    }
    case Rule::InsideConstantName:
        for (const auto& constant : consts_->values)
            if (constant.first.find(name) != std::wstring::npos) {
                conflict = {constant.first, name};
                return true;
            }
        return false;
    }
    return false;
}

// The first character of the name that equals the argument separator or a bracket, or empty.
std::wstring ZrParserRegistrar::syntaxConflict(const std::wstring& name, wchar_t separator) const
{
    for (wchar_t c : name)
        if (c == separator || c == L'(' || c == L')')
            return std::wstring(1, c);
    return {};
}

// The first operator symbol that begins at some position of the name, or empty.
std::wstring ZrParserRegistrar::operatorInside(const std::wstring& name)
{
    std::wstring symbol;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (matchOpAt(name.c_str() + i, static_cast<unsigned>(name.size() - i), symbol))
            return symbol;
    return {};
}
