// Hints that help a user on after the library refuses a formula: names like the unknown one,
// how to define a variable, and the argument lists of a function called with a wrong number of
// arguments. The library's catalogued messages stay as they are; these lines come after them.
// Every front end uses the same hints, each with its own words for where a user defines things.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "zrhost/CatalogueRows.h"
#include "zrparser/ZrExport.h"

class ZrParser;

namespace zrhost {

class LibraryFailure;

// The names a formula may use in one parser: what hints are chosen from.
struct ZR_API FormulaNames {
    std::vector<CatalogueRow> functions; // symbol, prototype (help) and argument count matter here
    std::vector<std::string> variables;
    std::vector<std::string> constants;

    static FormulaNames of(ZrParser& parser);
};

// How a front end tells its user where to define a variable and how to find a function: the
// hints' only words that differ between a command line, a web page and a show file.
struct HintWording {
    std::string defineVariable; // e.g. "define {name} with ..."; "{name}" stands for the name
    std::string defineLevel;    // the same for "level", which an audio input defines
    std::string findFunctions;  // e.g. "search the catalogue by name or by words of the description"
};

// The optimal string alignment distance: insertions, deletions, substitutions and swaps of two
// neighbouring characters each count one. ASCII letters compare without case.
ZR_API std::size_t editDistance(std::string_view a, std::string_view b);

// Whether `candidate` ends with `name` where one of its parts begins: after a "." or a "_"
// ("map.sin" and "__sin" end with "sin"; "asin" does not). ASCII letters compare without case.
ZR_API bool endsWithPart(std::string_view candidate, std::string_view name);

// Up to `limit` different names of `candidates` like `name`, best first: the same name in
// another case; names ending with it at a part boundary (names in a family such as "map." before
// the low-level "__" ones); names within a small edit distance of it, whole or by their last
// part, closest first; names whose last part begins with it.
ZR_API std::vector<std::string> similarNames(std::string_view name, const std::vector<std::string>& candidates,
                                      std::size_t limit = 3);

// What a failure is about, when hints can help with it.
struct HintSubject {
    enum class Kind { None, UnknownFunction, UnknownVariable, WrongArgumentCount };
    Kind kind = Kind::None;
    std::string name;
    unsigned argumentCount = 0; // WrongArgumentCount: as written in the call
};

// The entry of `failure` that names an unknown item or a call with a wrong argument count (a
// function that compiles its own arguments puts its context entry first).
ZR_API HintSubject hintSubjectOf(const LibraryFailure& failure);

// The names to suggest for `subject`: functions for an unknown function, variables and
// constants for an unknown variable; nothing for other failures.
ZR_API std::vector<std::string> suggestionsFor(const HintSubject& subject, const FormulaNames& names);

// The hint lines for `subject`, each beginning with "hint: " or, for argument lists, with
// blanks. Empty when there is nothing to add.
ZR_API std::vector<std::string> formulaHints(const HintSubject& subject, const FormulaNames& names, const HintWording& wording);

// Adds the hints for `failure` to it.
ZR_API void addFormulaHints(LibraryFailure& failure, const FormulaNames& names, const HintWording& wording);

} // namespace zrhost
