// zrsignal.catalogue() and its entries.
#pragma once

#include <pybind11/pybind11.h>

namespace zrpython {

void bindCatalogue(pybind11::module_& module);

} // namespace zrpython
