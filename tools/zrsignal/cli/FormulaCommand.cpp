// Setting up the session of a formula command from its options.
#include "cli/FormulaCommand.h"

#include <cstdlib>

#include "cli/CommandLineHints.h"

namespace zrsignal {

std::unique_ptr<zrhost::FormulaSession> compileFormulas(const DefinitionOptions& options,
                                                        std::optional<unsigned> seed,
                                                        const std::vector<std::string>& expressions)
{
    auto session = std::make_unique<zrhost::FormulaSession>(options.definitions(), expressions.size());
    if (seed)
        std::srand(*seed);
    const zrhost::HintWording* hints = options.wantsHints() ? &commandLineHints() : nullptr;
    for (std::size_t i = 0; i < expressions.size(); ++i)
        session->compile(i, expressions[i], hints);
    return session;
}

} // namespace zrsignal
