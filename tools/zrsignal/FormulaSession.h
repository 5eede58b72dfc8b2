// Formulas evaluated side by side over the same frames: one parser each, all bound to the same
// host variables and fed by the same inputs. Used by eval, check and plot, and by the studio.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FormulaHints.h"
#include "FrameRunner.h"
#include "HostParser.h"

namespace zrsignal {

class FormulaSession {
public:
    // Reads the input files first, so a bad file is reported before any formula (InputError),
    // then sets up `formulaCount` host parsers (LibraryFailure for a refused definition).
    FormulaSession(const DefinitionOptions& definitions, std::size_t formulaCount);

    // Compiles `formula` into parser `index`. Throws LibraryFailure; with `hints`, the failure
    // carries the hints worded for where the user defines variables.
    void compile(std::size_t index, const std::string& formula, std::optional<VariableSources> hints);

    FrameInputs& inputs() { return *inputs_; }
    ZrParser& parser(std::size_t index) { return *parsers_[index]; }
    std::vector<ZrParser*> parsers() const;

private:
    HostVariables variables_; // before the parsers: they read them at every evaluation
    std::unique_ptr<FrameInputs> inputs_;
    std::vector<std::unique_ptr<ZrParser>> parsers_;
};

} // namespace zrsignal
