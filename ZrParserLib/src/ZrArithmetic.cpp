// The parts of the default arithmetic that must stay out of the compiler's reach.
#include "ZrArithmetic.h"

namespace zr::kernel {

// Compilers rewrite pow(x, 2.0) as x * x, which differs from the library's pow for some x; the
// exponent comes in as a parameter that the optimiser may not see through.
[[gnu::noipa]] static double powerOf(double x, double exponent)
{
    return std::pow(x, exponent);
}

double powerOfTwo(double x)
{
    return powerOf(x, 2.0);
}

} // namespace zr::kernel
