// Macro functions: a user-written prototype and body expression, compiled per use in a
// private child parser whose only variables are the macro's arguments.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "zrparser/ZrParserItemI.h"

class ZrParser;
struct ZrSyntax;

class ZrMacroFct final : public ZrFunctionI {
public:
    ZrMacroFct() = default;
    ZrMacroFct(const ZrMacroFct&) = delete;
    ZrMacroFct& operator=(const ZrMacroFct&) = delete;
    ~ZrMacroFct() override;

    // Checks prototype and body by compiling them once against the defining parser's
    // definitions, then drops the compiled form again.
    void init(const wchar_t* prototype, const wchar_t* body, const wchar_t* description, ZrCompilerI* compiler,
              ZrRegistrarI* registrar);

    const wchar_t* getSymbol() const override { return symbol_.c_str(); }
    const wchar_t* getHelpString() const override { return helpString_.c_str(); }
    const wchar_t* getDescription() const override { return description_.c_str(); }
    bool isConstant() const override { return constantBody_; }
    double evaluate(unsigned nbArgs, const double* args) override;
    int getNbArgs() const override { return static_cast<int>(nbArgs_); }
    bool isShareable() const override { return false; }
    void onCompile(ZrCompilerI* compiler, ZrRegistrarI* registrar) override;
    ZrFunctionI* spawn() const override;

private:
    struct Prototype {
        std::wstring name;
        std::vector<std::wstring> args;
    };
    // Splits a prototype into its name and argument names, checking each name as a variable name.
    static Prototype parsePrototype(const std::wstring& prototype, wchar_t separator);
    void compileMacro(ZrCompilerI* compiler, ZrRegistrarI* registrar);
    void dropCompiled();

    std::unique_ptr<ZrParser> parser_;
    std::wstring description_;
    std::wstring helpString_;
    std::wstring symbol_;
    std::wstring body_;
    std::wstring prototype_;
    unsigned nbArgs_ = 0;
    std::unique_ptr<double[]> argValues_;
    bool compiled_ = false;
    bool constantBody_ = false;
};
