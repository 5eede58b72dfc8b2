// zrsignal.Parser and zrsignal.Formula: host parsers set up as `zrsignal eval` sets them up, and
// formulas run frame after frame on inputs given as NumPy arrays.
#pragma once

#include <pybind11/pybind11.h>

namespace zrpython {

void bindFormulas(pybind11::module_& module);

} // namespace zrpython
