// Sets up a ZrParser the way a lighting host does before compiling a formula: the signal
// plug-in, the frame time, host variables, constants and macros.
#pragma once

#include <deque>
#include <memory>
#include <string>

#include "zrhost/HostDefinitions.h"
#include "zrparser/ZrExport.h"
#include "zrparser/ZrParser.h"

namespace zrhost {

// Named doubles at stable addresses: the parsers read them at every evaluation.
class ZR_API HostVariables {
public:
    struct Variable {
        std::string name;
        double value;
        std::string definitionText; // shown when defining it fails
    };

    // Adds a variable and returns where its value lives for the life of this object.
    double* add(const std::string& name, double initial, const std::string& definitionText);
    std::deque<Variable>& all() { return variables_; }
    const std::deque<Variable>& all() const { return variables_; }

private:
    std::deque<Variable> variables_;
};

// A parser with the signal plug-in loaded in place of the default parser's own "__sin",
// "__cos" and "rand", the host function "__timeInc" for `definitions.fps`, the further
// plug-ins, every host variable bound, then the constants and macros (after the locale's
// syntax when asked); without `definitions.signalPlugin`, the default parser with the rest.
// Throws LibraryFailure naming the definition that failed, InputError when the signal
// plug-in's module cannot be loaded.
ZR_API std::unique_ptr<ZrParser> makeHostParser(const HostDefinitions& definitions, HostVariables& variables);

// Defines a macro. Throws LibraryFailure with the caret in the prototype or in the body,
// wherever the failure lies.
ZR_API void defineMacro(ZrParser& parser, const MacroText& macro);

// Compiles `expression` into `parser`. Throws LibraryFailure.
ZR_API void compileExpression(ZrParser& parser, const std::string& expression);

} // namespace zrhost
