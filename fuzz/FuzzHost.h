// The parser a fuzz target works on: set up the way a host sets it up, with the signal plug-in,
// a few variables, the time base of loops and a macro.
#pragma once

#include <cstddef>
#include <cstdint>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "zrparser/ZrParser.h"
#include "zrparser/ZrSignalBuiltins.h"
#include "zrmachinecode/ZrMachineCode.h"
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
        zr::useMachineCode();
        zr::setTickSource([] { return ticks; });
        makeRoomForSignalPlugin(parser);
        parser.loadPlugin(L"ZrSignalPlugin.SignalPlugin");
        parser.defineFunc(new TimeIncrementFct());
        parser.defineVar(L"x", &x);
        parser.defineVar(L"y", &y);
        parser.defineVar(L"level", &level);
        parser.defineMacro(L"twice(a)", L"a*2", L"");
    }

    // Compiles `text` over the definitions of `definitions` once per execution tier and runs a
    // few frames with moving inputs; catalogued exceptions are the expected answer to bad text.
    // Every tier must give the reference loop's values, NaN as NaN and zeros with their signs:
    // a difference aborts, so the fuzzer reports it.
    void compileAndRun(ZrParser& definitions, const std::wstring& text)
    {
        const std::vector<std::uint64_t> reference = run(definitions, text, ZrExecutionTier::Reference);
        for (ZrExecutionTier tier : {ZrExecutionTier::Interpreter, ZrExecutionTier::MachineCode})
            if (run(definitions, text, tier) != reference) {
                std::fprintf(stderr, "execution tier %d differs from the reference loop\n", static_cast<int>(tier));
                std::abort();
            }
    }

    ZrParser parser;
    double x = 0, y = 0, level = 0;
    static inline std::uint64_t ticks = 0;

private:
    // The values of `text` over a few frames at `tier` (as bit patterns, so that NaN equals
    // NaN), or nothing when it does not compile.
    std::vector<std::uint64_t> run(ZrParser& definitions, const std::wstring& text, ZrExecutionTier tier)
    {
        ZrParser target(definitions.getCompiler(), definitions.getRegistrar(), true);
        target.setExecutionTier(tier);
        // Every run starts from the same process state: random draws happen when stateful items
        // are made too, formulas share the global memory, and timers read the clock.
        std::srand(1);
        for (unsigned slot = 0; slot < zr::GLOBAL_MEMORY_SLOTS; ++slot)
            zr::globalMemorySlot(slot)->store(0.0);
        ticks = 1000000;
        try {
            target.compile(text.c_str());
        } catch (const ZrParserException&) {
            return {};
        }
        std::vector<std::uint64_t> values;
        for (int frame = 0; frame < 4; ++frame) {
            x = frame * 33.0;
            y = frame % 2 ? -1.0 : 1.0e300;
            level = frame % 3 ? 0.0 : 100.0;
            ticks += 25;
            const double value = target.evaluate();
            values.push_back(std::bit_cast<std::uint64_t>(std::isnan(value) ? zr::nan() : value));
        }
        return values;
    }
};

} // namespace fuzz
