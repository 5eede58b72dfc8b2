// Host parsers sharing their inputs, and compiling with hints on failure.
#include "zrhost/FormulaSession.h"

#include "zrhost/LibraryFailure.h"

namespace zrhost {

FormulaSession::FormulaSession(const HostDefinitions& definitions, std::size_t formulaCount)
    : inputs_(std::make_unique<FrameInputs>(definitions, variables_))
{
    for (std::size_t i = 0; i < formulaCount; ++i)
        parsers_.push_back(makeHostParser(definitions, variables_));
}

void FormulaSession::compile(std::size_t index, const std::string& formula, const HintWording* hints)
{
    try {
        compileExpression(*parsers_[index], formula);
    } catch (LibraryFailure& failure) {
        if (hints)
            addFormulaHints(failure, FormulaNames::of(*parsers_[index]), *hints);
        throw;
    }
}

std::vector<ZrParser*> FormulaSession::parsers() const
{
    std::vector<ZrParser*> list;
    for (const auto& parser : parsers_)
        list.push_back(parser.get());
    return list;
}

} // namespace zrhost
