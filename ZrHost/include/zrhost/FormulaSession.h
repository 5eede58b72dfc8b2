// Formulas evaluated side by side over the same frames: one parser each, all bound to the same
// host variables and fed by the same inputs, as a formula editor or a command line runs them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "zrhost/FormulaHints.h"
#include "zrhost/FrameInputs.h"
#include "zrhost/HostParser.h"
#include "zrparser/ZrExport.h"

namespace zrhost {

class ZR_API FormulaSession {
public:
    // Reads the input files first, so a bad file is reported before any formula (InputError),
    // then sets up `formulaCount` host parsers (LibraryFailure for a refused definition).
    FormulaSession(const HostDefinitions& definitions, std::size_t formulaCount);

    // Compiles `formula` into parser `index`. Throws LibraryFailure; with `hints`, the failure
    // carries the hints in those words.
    void compile(std::size_t index, const std::string& formula, const HintWording* hints = nullptr);

    FrameInputs& inputs() { return *inputs_; }
    ZrParser& parser(std::size_t index) { return *parsers_[index]; }
    std::vector<ZrParser*> parsers() const;

private:
    HostVariables variables_; // before the parsers: they read them at every evaluation
    std::unique_ptr<FrameInputs> inputs_;
    std::vector<std::unique_ptr<ZrParser>> parsers_;
};

} // namespace zrhost
