// The signal functions that every default parser offers and the signal plug-in's catalogue
// shares ("__sin", "__cos" and the two "rand"), the process-wide global memory, and the
// building blocks that frame-driven functions have in common.
#pragma once

#include <atomic>

#include "zrparser/ZrExport.h"
#include "zrparser/ZrFunctionBase.h"
#include "zrparser/ZrPlatform.h"

namespace zr {

// Number of slots in the global memory (ids 0 to 99).
inline constexpr unsigned GLOBAL_MEMORY_SLOTS = 100;

// The global memory slot that `id` names (trunc(id)), or null for ids outside [0, 99] and NaN.
// One memory serves every parser of the process; it is all 0 at start and never cleared. Slots
// are atomic, so parsers on different threads may share it: each read sees some value written,
// with no order between different slots.
ZR_API std::atomic<double>* globalMemorySlot(double id);

// Adds `step` to `phase` when the increment `radInc` is a usable number (neither NaN nor an
// infinity). Returns true when radInc is exactly 0, which asks a generator to go back to its start.
ZR_API bool advancePhase(double& phase, double radInc, double step);
inline bool advancePhase(double& phase, double radInc)
{
    return advancePhase(phase, radInc, radInc);
}

// A draw of the process's random generator as a fraction from 0 to 1 inclusive.
ZR_API double randomFraction();

} // namespace zr

// sin(phase), starting at -1. The phase grows by the increment (radians) at every evaluation; an
// increment of 0 returns it to the start, NaN or an infinity leaves it where it is.
class ZR_API SinFct : public ZrFunctionBase<SinFct> {
    double phase = zr::THREE_HALF_PI;

public:
    static constexpr ZrFunctionInfo info{L"__sin", nullptr, L"__sin(radInc)", L"Generate a sin signal", 1, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// cos(phase), starting at 0, stepped like SinFct.
class ZR_API CosFct : public ZrFunctionBase<CosFct> {
    double phase = zr::THREE_HALF_PI;

public:
    static constexpr ZrFunctionInfo info{L"__cos", nullptr, L"__cos(rad)", L"Generate a cos signal", 1, false, false};
    double evaluate(unsigned nbArgs, const double* args) override;
};

// A fresh random value from 0 to 100 inclusive.
class ZR_API RandFct : public ZrFunctionBase<RandFct> {
public:
    static constexpr ZrFunctionInfo info{L"rand", L"rand2", L"rand()", L"Random value between 0 and 100", 0, false, true};
    double evaluate(unsigned nbArgs, const double* args) override;
    bool usesProcessState() const override { return true; }
};

// A fresh random value from min to max inclusive.
class ZR_API RandMinMaxFct : public ZrFunctionBase<RandMinMaxFct> {
public:
    static constexpr ZrFunctionInfo info{L"rand", L"rand1", L"rand([min=0], [max=100])", L"Random value between min and max.",
                                         2, false, true};
    double evaluate(unsigned nbArgs, const double* args) override;
    bool usesProcessState() const override { return true; }
};
