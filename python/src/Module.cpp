// zrsignal._zrsignal: the formula engine's Python module. Formulas run on the library's
// interpreter: Debian's asmjit, which the machine-code tier needs, is built for programs and
// cannot go into a loaded module. Every tier gives the same doubles.
#include <pybind11/pybind11.h>

#include "PythonCatalogue.h"
#include "PythonErrors.h"
#include "PythonFormulas.h"
#include "PythonShows.h"

PYBIND11_MODULE(_zrsignal, module)
{
    zrpython::registerErrorTranslations();
    zrpython::bindFormulas(module);
    zrpython::bindCatalogue(module);
    zrpython::bindShows(module);
}
