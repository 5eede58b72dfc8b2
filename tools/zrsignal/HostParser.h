// Sets up a ZrParser the way this program hosts formulas: signal plug-in, frame time, host
// variables, constants and macros.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "Options.h"
#include "zrparser/ZrParser.h"

namespace zrsignal {

// Named doubles at stable addresses: the parsers read them at every evaluation.
class HostVariables {
public:
    struct Variable {
        std::string name;
        double value;
        std::string definitionText; // shown when defining it fails
    };

    // Adds a variable and returns where its value lives for the life of this object.
    double* add(const std::string& name, double initial, const std::string& definitionText);
    std::deque<Variable>& all() { return variables_; }

private:
    std::deque<Variable> variables_;
};

// A parser with the plug-in loaded in place of the default parser's own "__sin", "__cos" and
// "rand", the host function "__timeInc" for `fps`, every host variable bound, then the
// constants and macros of `options` (after the locale's syntax when asked).
// Throws LibraryFailure naming the definition that failed.
std::unique_ptr<ZrParser> makeHostParser(const DefinitionOptions& options, HostVariables& variables);

// Defines a macro; its text is PROTOTYPE=BODY. Throws LibraryFailure with the caret in the
// prototype or in the body, wherever the failure lies.
void defineMacro(ZrParser& parser, const MacroText& macro);

// Compiles `expression` into `parser`. Throws LibraryFailure.
void compileExpression(ZrParser& parser, const std::string& expression);

} // namespace zrsignal
