// What eval, check and plot share: their formulas compiled side by side in one session.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "zrhost/FormulaSession.h"

namespace zrsignal {

// A session with every expression compiled. The inputs are read first, so a bad file is
// reported before any expression; `seed` seeds the random generator before compiling.
// Throws InputError or LibraryFailure (with hints when the options want them).
std::unique_ptr<zrhost::FormulaSession> compileFormulas(const DefinitionOptions& options,
                                                        std::optional<unsigned> seed,
                                                        const std::vector<std::string>& expressions);

} // namespace zrsignal
