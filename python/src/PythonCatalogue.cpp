// zrsignal.catalogue(): every function and operator a formula can use, as `zrsignal list` shows them.
#include "PythonCatalogue.h"

#include <pybind11/stl.h>

#include "zrhost/FormulaCatalogue.h"

namespace py = pybind11;

namespace zrpython {

void bindCatalogue(py::module_& module)
{
    py::class_<zrhost::CatalogueRow>(module, "CatalogueEntry", "One function or operator overload of the catalogue.")
        .def_readonly("symbol", &zrhost::CatalogueRow::symbol)
        .def_readonly("prototype", &zrhost::CatalogueRow::help)
        .def_readonly("description", &zrhost::CatalogueRow::description)
        .def_readonly("args", &zrhost::CatalogueRow::args, "The argument count; -1 for any number")
        .def_readonly("constant", &zrhost::CatalogueRow::constant, "Folded when every argument is constant")
        .def_readonly("shareable", &zrhost::CatalogueRow::shareable, "Keeps no state between frames")
        .def_property_readonly("origin", [](const zrhost::CatalogueRow& row) { return std::string(zrhost::originText(row)); })
        .def("__repr__", [](const zrhost::CatalogueRow& row) { return "<zrsignal.CatalogueEntry " + row.help + ">"; });
    module.def("catalogue", &zrhost::formulaCatalogue,
               "Every function and operator a formula of a Parser can use, the signal plug-in's first.");
}

} // namespace zrpython
