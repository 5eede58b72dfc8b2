// The parser a fuzz target works on: set up the way a host sets it up, with the signal plug-in,
// a few variables, the time base of loops and a macro.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "zrparser/ZrParser.h"
#include "zrsignal/CSignalPlugin.h"

namespace fuzz {

// Bytes as wide characters, one each, so every byte value reaches the compiler.
inline std::wstring toText(const std::uint8_t* data, std::size_t size)
{
    return std::wstring(data, data + size);
}

// "__timeInc()": the frame's time increment, as a host defines it.
class TimeIncrementFct final : public ZrFunctionI {
public:
    const wchar_t* getSymbol() const override { return L"__timeInc"; }
    const wchar_t* getHelpString() const override { return L"__timeInc()"; }
    const wchar_t* getDescription() const override { return L"time increment of the frame"; }
    bool isConstant() const override { return false; }
    int getNbArgs() const override { return 0; }
    bool isShareable() const override { return true; }
    ZrFunctionI* spawn() const override { return new TimeIncrementFct(); }
    double evaluate(unsigned, const double*) override { return zr::TWO_PI / 40.0; }
};

class Host {
public:
    Host()
    {
        registerSignalPlugin();
        parser.undefineFuncsBySymbol(L"__sin");
        parser.undefineFuncsBySymbol(L"__cos");
        parser.undefineFuncsBySymbol(L"rand");
        parser.loadPlugin(L"ZrSignalPlugin.SignalPlugin");
        parser.defineFunc(new TimeIncrementFct());
        parser.defineVar(L"x", &x);
        parser.defineVar(L"y", &y);
        parser.defineVar(L"level", &level);
        parser.defineMacro(L"twice(a)", L"a*2", L"");
    }

    // Compiles `text` in `target` and runs a few frames with moving inputs; catalogued
    // exceptions are the expected answer to bad text.
    void compileAndRun(ZrParser& target, const std::wstring& text)
    {
        try {
            target.compile(text.c_str());
        } catch (const ZrParserException&) {
            return;
        }
        for (int frame = 0; frame < 4; ++frame) {
            x = frame * 33.0;
            y = frame % 2 ? -1.0 : 1.0e300;
            level = frame % 3 ? 0.0 : 100.0;
            target.evaluate();
        }
    }

    ZrParser parser;
    double x = 0, y = 0, level = 0;
};

} // namespace fuzz
