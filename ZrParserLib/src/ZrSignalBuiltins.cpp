// The signal functions of a default parser, the global memory and the shared generator steps.
#include "zrparser/ZrSignalBuiltins.h"

#include <cmath>

namespace zr {

namespace {

// Zero when the library is loaded, one copy per process.
std::atomic<double> memorySlots[GLOBAL_MEMORY_SLOTS];

} // namespace

std::atomic<double>* globalMemorySlot(double id)
{
    if (std::isnan(id) || id < 0.0 || id > 99.0)
        return nullptr;
    return &memorySlots[truncToInt32(id)];
}

bool advancePhase(double& phase, double radInc, double step)
{
    if (isUsable(radInc))
        phase += step;
    return radInc == 0.0;
}

double randomFraction()
{
    return static_cast<double>(zr::rand()) / 32767.0;
}

} // namespace zr

double SinFct::evaluate(unsigned, const double* args)
{
    if (zr::advancePhase(phase, args[0]))
        phase = zr::THREE_HALF_PI;
    return std::sin(phase);
}

double CosFct::evaluate(unsigned, const double* args)
{
    if (zr::advancePhase(phase, args[0]))
        phase = zr::THREE_HALF_PI;
    return std::cos(phase);
}

double RandFct::evaluate(unsigned, const double*)
{
    return zr::randomFraction() * 100.0;
}

double RandMinMaxFct::evaluate(unsigned, const double* args)
{
    const double min = args[0];
    const double max = args[1];
    return (max - min) * zr::randomFraction() + min;
}
