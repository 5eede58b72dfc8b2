// Macro functions: prototype parsing, per-use compilation of the body and evaluation.
#include "ZrParserMacroFunc.h"

#include "zrparser/ZrException.h"
#include "zrparser/ZrParser.h"

namespace {

[[noreturn]] void raiseProtoSyntax(unsigned pos, const std::wstring& prototype, unsigned line)
{
    zrRaise(ZrExcepData(L"ZRDEFEXCEP_MacroProtoSyntax", L"pos", std::to_wstring(pos), L"itemName", prototype), line,
            ZR_SOURCE_FILE);
}

} // namespace

ZrMacroFct::~ZrMacroFct() = default;

// The parser goes before the values its variables point at.
void ZrMacroFct::dropCompiled()
{
    parser_.reset();
    argValues_.reset();
    compiled_ = false;
}

ZrMacroFct::Prototype ZrMacroFct::parsePrototype(const std::wstring& prototype, wchar_t separator)
{
    std::wstring text;
    std::vector<unsigned> positions;
    for (unsigned i = 0; i < prototype.size(); ++i)
        if (prototype[i] != L' ') {
            text += prototype[i];
            positions.push_back(i);
        }
    auto posAt = [&](std::size_t i) { return i < positions.size() ? positions[i] : static_cast<unsigned>(prototype.size()); };

    const std::size_t open = text.find(L'(');
    if (text.empty() || open == std::wstring::npos || text.back() != L')')
        raiseProtoSyntax(text.empty() ? 0 : positions.back(), prototype, __LINE__);

    Prototype result;
    result.name = text.substr(0, open);
    const bool noArguments = text.size() >= 2 && text.compare(text.size() - 2, 2, L"()") == 0;

    // Argument names must be valid, distinct variable names: a scratch parser checks them.
    ZrParser scratch;
    double unused = 0.0;
    std::size_t start = open + 1;
    while (start < text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::wstring::npos)
            end = text.find(L')', start);
        if (end == std::wstring::npos)
            break;
        const std::wstring name = text.substr(start, end - start);
        if (!name.empty()) {
            try {
                scratch.defineVar(name.c_str(), &unused);
            } catch (ZrParserException& e) {
                ZR_RETHROW_WITH(e, ZrExcepData(L"ZRDEFEXCEP_MacroProtoSyntax", L"pos", std::to_wstring(posAt(start)),
                                               L"itemName", prototype));
            }
            result.args.push_back(name);
        } else if (!noArguments) {
            raiseProtoSyntax(posAt(start), prototype, __LINE__);
        }
        start = end + 1;
    }
    return result;
}

void ZrMacroFct::init(const wchar_t* prototype, const wchar_t* body, const wchar_t* description, ZrCompilerI* compiler,
                      ZrRegistrarI* registrar)
{
    prototype_ = prototype ? prototype : L"";
    body_ = body ? body : L"";
    description_ = description ? description : L"";
    compileMacro(compiler, registrar);
    dropCompiled();
}

void ZrMacroFct::compileMacro(ZrCompilerI* compiler, ZrRegistrarI* registrar)
{
    dropCompiled();
    parser_ = std::make_unique<ZrParser>(compiler, registrar, true);
    parser_->enableAutoVarDefinition(false, nullptr);
    const Prototype proto = parsePrototype(prototype_, registrar->getSyntax().argumentSeparator);
    // The body sees its arguments only; constants, operators and functions stay reachable.
    parser_->undefineAllVars();
    nbArgs_ = static_cast<unsigned>(proto.args.size());
    argValues_ = std::make_unique<double[]>(nbArgs_);
    const wchar_t separator = parser_->getSyntax().argumentSeparator;
    helpString_ = proto.name + L"(";
    for (unsigned i = 0; i < nbArgs_; ++i) {
        parser_->defineVar(proto.args[i].c_str(), &argValues_[i]);
        helpString_ += proto.args[i];
        if (i + 1 < nbArgs_) {
            helpString_ += separator;
            helpString_ += L' ';
        }
    }
    helpString_ += L")";
    symbol_ = proto.name;
    parser_->compile(body_.c_str());
    constantBody_ = parser_->isConstant();
    compiled_ = true;
}

void ZrMacroFct::onCompile(ZrCompilerI* compiler, ZrRegistrarI* registrar)
{
    if (!compiled_)
        compileMacro(compiler, registrar);
}

ZrFunctionI* ZrMacroFct::spawn() const
{
    auto copy = std::make_unique<ZrMacroFct>();
    copy->description_ = description_;
    copy->helpString_ = helpString_;
    copy->symbol_ = symbol_;
    copy->body_ = body_;
    copy->prototype_ = prototype_;
    copy->nbArgs_ = nbArgs_;
    return copy.release();
}

double ZrMacroFct::evaluate(unsigned, const double* args)
{
    for (unsigned i = 0; i < nbArgs_; ++i)
        argValues_[i] = args[i];
    return parser_->evaluate();
}

// Both the checks of init and the definition's own rules may refuse the macro; it is thrown on
// as a copy either way.
void ZrParser::defineMacro(const wchar_t* prototype, const wchar_t* macro, const wchar_t* description)
{
    auto fct = std::make_unique<ZrMacroFct>();
    try {
        fct->init(prototype, macro, description, compiler_.get(), registrar_.get());
        defineFunc(fct.release());
    } catch (ZrParserException& e) {
        throw ZrParserException(e);
    }
}
