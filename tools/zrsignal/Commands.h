// The subcommands of zrsignal. Each returns the exit status, or throws InputError (status 1)
// or LibraryFailure (status 2).
#pragma once

#include <string>
#include <vector>

#include "Options.h"

namespace zrsignal {

// Compiles once, evaluates frame after frame and writes the values to stdout.
int runEval(RunOptions& options, const std::string& expression);
// Compiles only; prints "constant VALUE" or "ok".
int runCheck(DefinitionOptions& options, const std::string& expression);
// Evaluates every expression over the same frames and writes an SVG chart to `outputPath`,
// titled `title` or, when it is empty, with the expressions.
int runPlot(RunOptions& options, const std::vector<std::string>& expressions, const std::string& outputPath,
            std::string title);

} // namespace zrsignal
