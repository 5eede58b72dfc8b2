// Translating the library's exceptions into the package's Python exceptions.
#include "PythonErrors.h"

#include <sstream>

#include "zrhost/InputError.h"
#include "zrhost/LibraryFailure.h"
#include "zrparser/ZrUtf8.h"
#include "zrshow/show/ShowProblems.h"

namespace py = pybind11;

namespace zrpython {

namespace {

py::object packageAttribute(const char* name)
{
    return py::module_::import("zrsignal").attr(name);
}

// The catalogued lines, the text and the caret: what zrsignal prints where its error output is
// no terminal. Hints, printed last one a line, are left out; they are the exception's `hints`.
std::string failureText(const zrhost::LibraryFailure& failure)
{
    std::ostringstream printed;
    failure.print(printed);
    std::string text = printed.str();
    for (std::size_t i = 0; i < failure.hints().size() && !text.empty(); ++i) {
        text.pop_back();                     // the newline that ends the last line
        text.erase(text.rfind('\n') + 1);    // and the line itself (npos + 1: the first line)
    }
    if (!text.empty())
        text.pop_back();
    return text;
}

} // namespace

const zrhost::HintWording& pythonHints()
{
    static const zrhost::HintWording wording{
        "define {name} with Parser.define_var(\"{name}\", VALUE) before compiling",
        "define level with Parser.define_var(\"level\", VALUE) before compiling, then give its values to run(level=...)",
        "zrsignal.catalogue() lists every function with its prototype and description",
    };
    return wording;
}

void raiseFormulaError(const zrhost::LibraryFailure& failure, const std::vector<std::string>& hints)
{
    py::list entries;
    for (std::size_t i = 0; i < failure.entryLines().size(); ++i) {
        const std::string& line = failure.entryLines()[i];
        const std::string id = i < failure.entries().size() ? zr::toUtf8(failure.entries()[i].id) : std::string();
        const std::string description = line.size() >= id.size() + 2 ? line.substr(id.size() + 2) : line;
        entries.append(py::make_tuple(id, description));
    }
    py::object position = py::none();
    if (failure.caretColumn())
        position = py::int_(*failure.caretColumn());
    py::list hintList;
    for (const std::string& hint : hints)
        hintList.append(hint);
    py::object error = packageAttribute("FormulaError")(failureText(failure), entries, failure.subject(), position, hintList);
    PyErr_SetObject(error.get_type().ptr(), error.ptr());
    throw py::error_already_set();
}

void registerErrorTranslations()
{
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown)
                std::rethrow_exception(thrown);
        } catch (const zrhost::LibraryFailure& failure) {
            try {
                raiseFormulaError(failure, failure.hints());
            } catch (py::error_already_set& raised) {
                raised.restore();
            }
        } catch (const zrshow::ShowRefused& refused) {
            // Each problem begins with "FILE:"; the library's report of a refused formula
            // continues it on lines of its own.
            py::list problems;
            const std::string& path = refused.problems().path();
            std::istringstream lines(refused.problems().text());
            std::string problem;
            for (std::string line; std::getline(lines, line);) {
                if (line.starts_with(path + ":") && !problem.empty()) {
                    problems.append(problem);
                    problem.clear();
                }
                problem += (problem.empty() ? "" : "\n") + line;
            }
            if (!problem.empty())
                problems.append(problem);
            const std::size_t count = refused.problems().count();
            const std::string text = refused.problems().text() + refused.problems().path() + ": refused with " +
                                     std::to_string(count) + (count == 1 ? " problem" : " problems");
            py::object error = packageAttribute("ShowError")(text, problems, refused.problems().path());
            PyErr_SetObject(error.get_type().ptr(), error.ptr());
        } catch (const zrhost::InputError& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        }
    });
}

std::unique_lock<std::mutex> lockWithoutGil(std::mutex& mutex)
{
    const py::gil_scoped_release released;
    return std::unique_lock(mutex);
}

void checkSignals()
{
    if (PyErr_CheckSignals() != 0)
        throw py::error_already_set();
}

} // namespace zrpython
