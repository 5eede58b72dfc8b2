// The library's failures as Python exceptions: refused formulas as zrsignal.FormulaError, refused
// shows as zrsignal.ShowError, bad inputs as ValueError.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include <pybind11/pybind11.h>

#include "zrhost/FormulaHints.h"

namespace zrhost {
class LibraryFailure;
}

namespace zrpython {

// Registers the translations of zrhost::LibraryFailure, zrhost::InputError and
// zrshow::ShowRefused. The exception classes are the package's own (zrsignal/__init__.py).
void registerErrorTranslations();

// Where a Python user defines a variable and looks a function up, for the hints of a failure.
const zrhost::HintWording& pythonHints();

// Raises zrsignal.FormulaError for `failure` (throws pybind11::error_already_set).
[[noreturn]] void raiseFormulaError(const zrhost::LibraryFailure& failure, const std::vector<std::string>& hints = {});

// Locks `mutex` with the GIL released, so a thread that waits for it never holds up the thread
// that owns it (which takes the GIL now and then while it runs frames).
std::unique_lock<std::mutex> lockWithoutGil(std::mutex& mutex);

// Lets Python handle a pending signal (Ctrl-C) between two batches of frames; throws
// pybind11::error_already_set (KeyboardInterrupt) when the handler raised.
void checkSignals();

} // namespace zrpython
