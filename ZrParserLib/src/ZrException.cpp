// Exceptions: the message catalogue, text substitution and the raising helpers.
#include "zrparser/ZrException.h"

#include <cwchar>

namespace {

struct CatalogueEntry {
    const wchar_t* id;
    const wchar_t* text;
};

// Every message the library can show, in a fixed order. Texts are shown to users verbatim.
constexpr CatalogueEntry messageCatalogue[] = {
    {L"ZRDEFEXCEP_OpAlreadyDefined",
     L"Operator already defined: '%itemName'"},
    {L"ZRDEFEXCEP_OpNameNull",
     L"Operator name cannot be null"},
    {L"ZRDEFEXCEP_OpNameSpace",
     L"This operator name contains space characters: '%itemName'"},
    {L"ZRDEFEXCEP_OpNameSyntaxConflict",
     L"Operator name '%itemName' conflicts with the syntax element character: '%conflictItemName'."},
    {L"ZRDEFEXCEP_OpPrecedence",
     L"Operator: '%itemName'; invalid precedence."},
    {L"ZRDEFEXCEP_FuncAlreadyDefined",
     L"Function already defined: '%itemName'"},
    {L"ZRDEFEXCEP_FuncNameNull",
     L"Function name cannot be null"},
    {L"ZRDEFEXCEP_FuncNameSpace",
     L"This function name contains space characters: '%itemName'"},
    {L"ZRDEFEXCEP_FuncNameSyntaxConflict",
     L"Function name '%itemName' conflicts with the syntax element character: '%conflictItemName'"},
    {L"ZRDEFEXCEP_FuncNameOpConflict",
     L"Function name '%itemName' conflicts with the operator '%conflictItemName'"},
    {L"ZRDEFEXCEP_ItemNotFound",
     L"Cannot find the specified item: id = %itemName"},
    {L"ZRDEFEXCEP_VarAlreadyDefined",
     L"Variable already defined: '%itemName'"},
    {L"ZRDEFEXCEP_VarNameNull",
     L"Variable name cannot be null"},
    {L"ZRDEFEXCEP_VarNameSpace",
     L"This variable name contains space characters: '%itemName'"},
    {L"ZRDEFEXCEP_VarNameOnlyNum",
     L"Invalid variable name: '%itemName'.  Cannot be composed only of numbers"},
    {L"ZRDEFEXCEP_VarNameConstConflict",
     L"Variable name '%itemName' conflicts with the constant of the same name."},
    {L"ZRDEFEXCEP_VarNameSyntaxConflict",
     L"Variable name '%itemName'  conflicts with the syntax element character: '%conflictItemName'"},
    {L"ZRDEFEXCEP_VarNameDelimConflict",
     L"Variable name '%itemName' conflicts with the operator: '%conflictItemName'"},
    {L"ZRDEFEXCEP_ConstAlreadyDefined",
     L"Constant already defined: '%itemName'"},
    {L"ZRDEFEXCEP_ConstNameNull",
     L"Constant name cannot be null"},
    {L"ZRDEFEXCEP_ConstNameSpace",
     L"This constant name contains space characters: '%itemName'"},
    {L"ZRDEFEXCEP_ConstNameOnlyNum",
     L"Invalid constant name: '%itemName'.  Cannot be composed only of numbers."},
    {L"ZRDEFEXCEP_ConstNameSyntaxConflict",
     L"Constant name '%itemName' conflicts with the syntax element character: '%conflictItemName'"},
    {L"ZRDEFEXCEP_ConstNameOpConflict",
     L"Constant name '%itemName' conflicts with the operator '%conflictItemName'"},
    {L"ZRDEFEXCEP_ConstNameVarConflict",
     L"Constant name '%itemName' conflicts with the variable of the same name"},
    {L"ZRDEFEXCEP_PluginVersion",
     L"The plug-in version is incompatible with this library.  Plug-in CLSID = %itemName.  Requested version: %conflictItemName.  Plug-in version: %param1"},
    {L"ZRDEFEXCEP_PluginNotFound",
     L"The plug-in cannot be found.  Make sure the plug-in is properly registered. CLSID = %itemName"},
    {L"ZRDEFEXCEP_PluginTypeLibNotFound",
     L"The plug-in type lib file cannot be found: '%itemName'.  This file describes the plug-in interface."},
    {L"ZRDEFEXCEP_PluginDefConflict",
     L"The plug-in cannot be loaded because of a conflict with an already defined item.  Plug-in CLSID = %itemName"},
    {L"ZRDEFEXCEP_MacroProtoSyntax",
     L"The macro prototype syntax is incorrect: '%itemName'. The proper syntax is: macro(arg1, arg2, arg3...)."},
    {L"ZRPARSINGEXCEP_InvalidOpSyntax",
     L"Invalid operator syntax: '%itemName'"},
    {L"ZRPARSINGEXCEP_InvalidFuncSyntax",
     L"Invalid function argument syntax. Function name: '%itemName', argument %param1"},
    {L"ZRPARSINGEXCEP_UnexpectedBeginVarName",
     L"Unexpected begin variable name character"},
    {L"ZRPARSINGEXCEP_UnexpectedEndVarName",
     L"Unexpected end variable name character"},
    {L"ZRPARSINGEXCEP_UnexpectedOp",
     L"Unexpected operator"},
    {L"ZRPARSINGEXCEP_MissingOpenBracket",
     L"Missing opening bracket to macth closing bracket"},
    {L"ZRPARSINGEXCEP_InvalidArgSeparator",
     L"Invalid use of an argument separator outside a function"},
    {L"ZRPARSINGEXCEP_MissingCloseBracket",
     L"Missing closing bracket to match opening bracket"},
    {L"ZRPARSINGEXCEP_OverloadedFuncNotFound",
     L"Invalid number of arguments for function '%itemName'"},
    {L"ZRPARSINGEXCEP_InvalidSyntax",
     L"Invalid syntax"},
    {L"ZRPARSINGEXCEP_MissingOp",
     L"Missing operator before: '%itemName'"},
    {L"ZRPARSINGEXCEP_UndefinedFunc",
     L"Undefined function: '%itemName'"},
    {L"ZRPARSINGEXCEP_UndefinedVar",
     L"Undefined variable: '%itemName'"},
    {L"ZRPARSINGEXCEP_UselessArgSeparator",
     L"Invalid use of an argument separator"},
    {L"ZRPARSINGEXCEP_InternalError",
     L"Internal error"},
    {L"ZRLOCEXCEP_ZrParserInfoObjectNotFound",
     L"The ZrParserInfo COM object cannot be instanciated.\tMake sure it is registered."},
    {L"ZRLOCEXCEP_InfoFileOpenFailed",
     L"Unable to OPEN the library info file: '%itemName'. Make sure the file exists and that the schema and xml syntax are valids."},
    {L"ZRLOCEXCEP_InfoFileLoadFailed",
     L"Unable to LOAD the library info file: '%itemName'. Make sure no xml attribute is missing."},
    {L"ZRLOCEXCEP_InfoFileLocaleFailed",
     L"Locale information not available for the library info file: '%itemName'.  Locale: %conflictItemName"},
    {L"ZRLOCEXCEP_InfoFileBadVersion",
     L"The library info file version is incorrect.  File: '%itemName'"},
    {L"ZREXCEP_OutOfMemory",
     L"Out of memory"},
};

std::wstring orEmpty(const wchar_t* s)
{
    return s ? s : L"";
}

} // namespace

ZrExcepData::ZrExcepData(const wchar_t* id) : id(orEmpty(id)) {}

ZrExcepData::ZrExcepData(const wchar_t* id, const wchar_t* name1, const std::wstring& value1) : ZrExcepData(id)
{
    addParam(name1, value1);
}

ZrExcepData::ZrExcepData(const wchar_t* id, const wchar_t* name1, const std::wstring& value1, const wchar_t* name2,
                         const std::wstring& value2)
    : ZrExcepData(id, name1, value1)
{
    addParam(name2, value2);
}

ZrExcepData::ZrExcepData(const wchar_t* id, const wchar_t* name1, const std::wstring& value1, const wchar_t* name2,
                         const std::wstring& value2, const wchar_t* name3, const std::wstring& value3)
    : ZrExcepData(id, name1, value1, name2, value2)
{
    addParam(name3, value3);
}

void ZrExcepData::addParam(const wchar_t* name, const std::wstring& value)
{
    if (nbParams >= MAX_PARAMS)
        return;
    names[nbParams] = orEmpty(name);
    values[nbParams] = value;
    ++nbParams;
}

const wchar_t* ZrExcepData::findParam(const wchar_t* name) const
{
    for (unsigned k = 0; k < nbParams; ++k)
        if (names[k] == orEmpty(name))
            return values[k].c_str();
    return nullptr;
}

const wchar_t* findExcepTemplate(const wchar_t* id)
{
    for (const CatalogueEntry& e : messageCatalogue)
        if (std::wcscmp(e.id, id) == 0)
            return e.text;
    return nullptr;
}

// Each parameter, in the order added, replaces the first occurrence of "%name" in the text
// produced so far; a value put in earlier can thus be replaced by a later parameter.
std::wstring getExcepText(const ZrExcepData& data)
{
    const wchar_t* templ = findExcepTemplate(data.id.c_str());
    if (!templ)
        return L"Unknown exception: " + data.id;
    std::wstring text = templ;
    for (unsigned k = 0; k < data.nbParams; ++k) {
        const std::wstring pattern = L"%" + data.names[k];
        const std::size_t at = text.find(pattern);
        if (at != std::wstring::npos)
            text.replace(at, pattern.size(), data.values[k]);
    }
    return text;
}

void zrRaise(const ZrExcepData& data, unsigned line, const wchar_t* file)
{
    throw ZrParserException(line, file, 0, data, getExcepText(data).c_str());
}

void zrRethrowWith(ZrParserException& caught, const ZrExcepData& data, unsigned line, const wchar_t* file)
{
    caught.add(line, file, 0, data, getExcepText(data).c_str());
    throw ZrParserException(caught);
}
