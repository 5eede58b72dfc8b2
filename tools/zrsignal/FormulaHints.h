// Hints that help a user on after the library refuses a formula: names like the unknown one,
// how to define a variable, and the argument lists of a function called with a wrong number of
// arguments. The library's catalogued messages stay as they are; these lines come after them.
// The command line and the studio use the same hints, each with its own words for inputs.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class ZrParser;

namespace zrsignal {

class LibraryFailure;

// One overload of a function, as a formula calls it.
struct FunctionOverload {
    std::string symbol;
    std::string prototype; // the help string, e.g. "counter(from, to, incrementNow)"
    int arguments = 0;     // -1: any number
};

// The names a formula may use in one parser: what hints are chosen from.
struct FormulaNames {
    std::vector<FunctionOverload> functions;
    std::vector<std::string> variables;
    std::vector<std::string> constants;

    static FormulaNames of(ZrParser& parser);
};

// Where the user defines a variable, for the hint about an unknown one.
enum class VariableSources {
    CommandLine, // --var, --input, --audio
    Studio,      // the studio page's variables, CSV file and audio file
    Show,        // a show file's [variables], and run's --input and --audio
};

// The optimal string alignment distance: insertions, deletions, substitutions and swaps of two
// neighbouring characters each count one. ASCII letters compare without case.
std::size_t editDistance(std::string_view a, std::string_view b);

// Whether `candidate` ends with `name` where one of its parts begins: after a "." or a "_"
// ("map.sin" and "__sin" end with "sin"; "asin" does not). ASCII letters compare without case.
bool endsWithPart(std::string_view candidate, std::string_view name);

// Up to `limit` different names of `candidates` like `name`, best first: the same name in
// another case; names ending with it at a part boundary (names in a family such as "map." before
// the low-level "__" ones); names within a small edit distance of it, whole or by their last
// part, closest first; names whose last part begins with it.
std::vector<std::string> similarNames(std::string_view name, const std::vector<std::string>& candidates,
                                      std::size_t limit = 3);

// The overloads of `symbol`, fewest arguments first and "any number" last.
std::vector<FunctionOverload> overloadsOf(const FormulaNames& names, std::string_view symbol);

// What a failure is about, when hints can help with it.
struct HintSubject {
    enum class Kind { None, UnknownFunction, UnknownVariable, WrongArgumentCount };
    Kind kind = Kind::None;
    std::string name;
    unsigned argumentCount = 0; // WrongArgumentCount: as written in the call
};

// The entry of `failure` that names an unknown item or a call with a wrong argument count (a
// function that compiles its own arguments puts its context entry first).
HintSubject hintSubjectOf(const LibraryFailure& failure);

// The names to suggest for `subject`: functions for an unknown function, variables and
// constants for an unknown variable; nothing for other failures.
std::vector<std::string> suggestionsFor(const HintSubject& subject, const FormulaNames& names);

// The hint lines for `subject`, each beginning with "hint: " or, for argument lists, with
// blanks. Empty when there is nothing to add.
std::vector<std::string> formulaHints(const HintSubject& subject, const FormulaNames& names, VariableSources sources);

// Adds the hints for `failure` to it.
void addFormulaHints(LibraryFailure& failure, const FormulaNames& names, VariableSources sources);

} // namespace zrsignal
