// zrsignal.Show: a show file run in steps from Python, its slots returned as a NumPy array.
#pragma once

#include <pybind11/pybind11.h>

namespace zrpython {

void bindShows(pybind11::module_& module);

} // namespace zrpython
